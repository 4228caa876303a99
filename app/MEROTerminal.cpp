// SPDX-License-Identifier: GPL-3.0-or-later
// The command terminal: the operator's line goes out unchanged, without the
// ";DC:" prefix, through the same queue as the settings.
#include "MEROMain.h"

#include "ui_MEROMain.h"

#include "OperatorCommands.h"
#include "TerminalAssist.h"

void TMERO_App::SendEditKeyPress(QObject* Sender, QChar& Key)
{
    if (Key != QLatin1Char('\r'))
        return;
    Key = QChar();
    SendbtnClick(Sender);
}

void TMERO_App::SendbtnClick(QObject*)
{
    // The box keeps its text, so the line can be sent again.
    QueuedCommandToPort(TypedLine(ui->SendEdit->text()), qkRawLine);
    FTerminal->Remember(TypedLine(ui->SendEdit->text()));
}

void TMERO_App::SetUpTerminal()
{
    FTerminal = new TTerminalAssist(
        ui->SendEdit,
        [this] {
            QChar key(u'\r');
            SendEditKeyPress(ui->SendEdit, key);
        },
        this);
}
