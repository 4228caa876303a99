// SPDX-License-Identifier: GPL-3.0-or-later
// The unit lost: a port that fails under a write or a read, or that fails the
// poll's presence test, ends what is under way and asks at once whether to
// restart.
#include "MEROMain.h"

#include "AppState.h"
#include "KxComPort.h"
#include "UserPrompts.h"

#include <QTimer>

void TMERO_App::PortLost()
{
    if (FEnding || FLossAsked || FPortLost)
        return;
    // Nothing more is polled or sent; the box comes once the exchange under
    // way has ended (its remaining queries are refused at once).
    FPortLost = true;
    StatusTimer->stop();
    TaskTimer->stop();
    QTimer::singleShot(0, this, &TMERO_App::AskAfterLoss);
}

void TMERO_App::AskAfterLoss()
{
    if (FEnding || FLossAsked)
        return;
    const AppState& s = appState();
    if ((ComPort && ComPort->InUse()) || s.StatusBusy || s.TaskBusy || FReadBackRunning ||
        s.ExchangeDepth > 0) {
        QTimer::singleShot(10, this, &TMERO_App::AskAfterLoss);
        return;
    }
    AskRestartAfterLoss();
}

void TMERO_App::AskRestartAfterLoss()
{
    if (FEnding || FLossAsked)
        return;
    FLossAsked = true;
    // A start that never identified the unit (the picker, or none at all)
    // still lets the restart look on its port first.
    if (!FUnitInUse && ComPort && !FDemoMode)
        FUnitInUse = TRestartUnit{ComPort->Port(), {}, 0};
    if (UserPrompts().AskYesNo(QStringLiteral("Port no longer available, restart?")) ==
        IUserPrompts::Answer::Yes)
        RestartApp();
    else
        ExitApp();
}
