// SPDX-License-Identifier: GPL-3.0-or-later
#include "TerminalAssist.h"

#include "CommandSet.h"

#include <QAbstractItemView>
#include <QCompleter>
#include <QKeyEvent>
#include <QLineEdit>
#include <QStringListModel>

TTerminalAssist::TTerminalAssist(QLineEdit* edit, std::function<void()> sendLine, QObject* parent)
    : QObject(parent), fEdit(edit), fSendLine(std::move(sendLine)),
      fCompleter(new QCompleter(Completions(), this))
{
    fCompleter->setCaseSensitivity(Qt::CaseInsensitive);
    fCompleter->setCompletionMode(QCompleter::PopupCompletion);
    fCompleter->setModelSorting(QCompleter::CaseInsensitivelySortedModel);
    fEdit->setCompleter(fCompleter);
    // Installed after the completer's own filter, so this one sees keys first.
    fCompleter->popup()->installEventFilter(this);
    fEdit->installEventFilter(this);
    connect(fEdit, &QLineEdit::textEdited, this, [this] { fHistory.EndWalk(); });
}

QStringList TTerminalAssist::Completions()
{
    QStringList out;
    for (const TCommandInfo& c : CommandSet())
        out << QString::fromLatin1(c.Mnemonic);
    out.removeDuplicates();
    const QStringList plain = out;
    for (const QString& m : plain)
        out << QStringLiteral(";DC:") + m;
    // The completer searches a sorted model.
    out.sort(Qt::CaseInsensitive);
    return out;
}

void TTerminalAssist::Remember(const QString& line)
{
    fHistory.Add(line);
}

bool TTerminalAssist::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() != QEvent::KeyPress)
        return QObject::eventFilter(watched, event);
    const int key = static_cast<QKeyEvent*>(event)->key();
    if (watched == fCompleter->popup()) {
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            // The box already shows a highlighted completion; send what it shows.
            fCompleter->popup()->hide();
            fSendLine();
            return true;
        }
        return false;
    }
    if (watched != fEdit)
        return false;
    switch (key) {
    case Qt::Key_Up:
        if (const auto line = fHistory.Older(fEdit->text()))
            fEdit->setText(*line);
        return true;
    case Qt::Key_Down:
        if (const auto line = fHistory.Newer())
            fEdit->setText(*line);
        return true;
    case Qt::Key_Escape:
        fHistory.EndWalk();
        fEdit->clear();
        return true;
    default:
        return false;
    }
}
