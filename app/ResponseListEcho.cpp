// SPDX-License-Identifier: GPL-3.0-or-later
#include "ResponseListEcho.h"

#include <QScrollBar>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextEdit>

void TResponseListEcho::AppendLine(const QString& text, const QColor& colour)
{
    QTextDocument* doc = fList->document();
    QTextCursor cursor(doc);
    cursor.movePosition(QTextCursor::End);
    if (!doc->isEmpty())
        cursor.insertBlock();
    QTextCharFormat format;
    format.setForeground(colour);
    cursor.insertText(text, format);
    fList->verticalScrollBar()->setValue(fList->verticalScrollBar()->maximum());
}

void TResponseListEcho::Clear()
{
    fList->clear();
}
