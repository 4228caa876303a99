// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "TerminalHistory.h"

#include <QObject>
#include <QStringList>
#include <functional>

class QCompleter;
class QLineEdit;

// Help for typing in the command terminal's edit box: Up and Down walk the
// lines sent this session, Escape clears the box, and a completer offers the
// unit's mnemonics (with or without ";DC:", any case). Enter while the
// completer's list is open still sends the box's line, as without a list.
// Keys it does not use go on to the window's own handling.
class TTerminalAssist : public QObject
{
    Q_OBJECT
public:
    // sendLine runs the window's Enter handling for the box.
    TTerminalAssist(QLineEdit* edit, std::function<void()> sendLine, QObject* parent);

    // A line was sent (Enter or "Send").
    void Remember(const QString& line);
    const TTerminalHistory& History() const { return fHistory; }
    QCompleter* Completer() const { return fCompleter; }

    // What the completer knows: every mnemonic, plain and with ";DC:".
    static QStringList Completions();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QLineEdit* fEdit;
    std::function<void()> fSendLine;
    QCompleter* fCompleter;
    TTerminalHistory fHistory;
};
