// SPDX-License-Identifier: GPL-3.0-or-later
#include "TaskPump.h"

namespace
{

// Restores a flag and restarts a timer however the scope is left.
template <typename F> class TOnExit
{
public:
    explicit TOnExit(F f) : f(std::move(f)) {}
    ~TOnExit() { f(); }
    TOnExit(const TOnExit&) = delete;
    TOnExit& operator=(const TOnExit&) = delete;

private:
    F f;
};

} // namespace

bool TTaskPump::Queue(const QString& text, TQueueKind kind)
{
    if (s.Ending || s.CommandsDisabled)
        return false;
    if (s.Queue.Append(text, kind) == TCommandQueue::arDropped)
        return false;
    host.SetTaskTimerActive(true);
    return true;
}

void TTaskPump::Tick()
{
    if (s.TaskBusy || s.Ending)
        return;
    ProcessTasks();
}

void TTaskPump::ProcessTasks()
{
    if (s.Ending)
        return;
    host.SetTaskTimerActive(false);
    if (s.StatusBusy || s.CommandsDisabled || host.PortInUse()) {
        host.SetTaskTimerActive(true);
        return;
    }

    s.TaskBusy = true;
    TOnExit endPass([this] {
        s.TaskBusy = false;
        host.SetTaskTimerActive(true);
    });

    if (s.RecallPending) {
        // Cleared only once the recall has ended, however it ends: a "Recall
        // Bin" click during it is absorbed, and a recall that raises is not
        // repeated every tick. The read-back it owes stays pending until it
        // has run.
        TOnExit endRecall([this] { s.RecallPending = false; });
        s.ReadBackPending = true;
        host.SetStatusTimerActive(false);
        TOnExit restartPoll([this] { host.SetStatusTimerActive(true); });
        host.SendCommand(QStringLiteral("RC ") + QString::number(s.SelectedBin));
        if (s.Ending)
            return;
        s.ReadBackPending = false;
        host.ReadBack();
    } else if (s.ReadBackPending) {
        s.ReadBackPending = false;
        host.ReadBack();
    }
    if (s.Ending)
        return;

    s.Queue.Drain([this](const TQueuedCommand& entry) {
        if (entry.Kind == qkRawLine)
            host.SendRawLine(entry.Text);
        else
            host.SendCommand(entry.Text);
    });
}
