// SPDX-License-Identifier: GPL-3.0-or-later
// The command queue and the task pump: operator commands wait in the queue
// and go out one exchange at a time from the 5 ms task timer.
#include "MEROMain.h"

#include "AppState.h"
#include "PumpLink.h"
#include "TaskPump.h"

#include <QTimer>

TTaskPump& TMERO_App::Pump()
{
    if (!FPump) {
        FPumpHost = std::make_unique<TTransportPumpHost>();
        // Starting a running QTimer would restart its period, so every change
        // would wait a whole interval; a running timer is left alone.
        FPumpHost->TaskTimer = [this](bool active) {
            if (!active || !Running())
                TaskTimer->stop();
            else if (!TaskTimer->isActive())
                TaskTimer->start();
        };
        // Demo mode never polls, so a recall there leaves the poll off.
        FPumpHost->StatusTimer = [this](bool active) {
            if (!active || !Running() || FDemoMode)
                StatusTimer->stop();
            else if (!StatusTimer->isActive())
                StatusTimer->start();
        };
        FPumpHost->ReadBackNow = [this] { Initialize(); };
        AppState& s = appState();
        FPump = std::make_unique<TTaskPump>(TPumpState{s.CommandQueue, s.TaskBusy, s.RecallPending,
                                                       ReadBackPending, s.StatusBusy,
                                                       s.CommandsDisabled, s.SelectedBin, FEnding},
                                            *FPumpHost);
    }
    return *FPump;
}

ILineSubmitter& TMERO_App::Submitter()
{
    return Pump();
}

void TMERO_App::QueuedCommandToPort(const QString& commandstr, TQueueKind kind)
{
    TLineRequest request;
    request.Text = commandstr;
    request.Kind = kind;
    request.Origin.Origin = kind == qkRawLine ? orTerminal : orControl;
    Submitter().Submit(request);
}

void TMERO_App::TaskTimerTimer(QObject*)
{
    Pump().Tick();
}

void TMERO_App::ProcessTasks()
{
    Pump().ProcessTasks();
}
