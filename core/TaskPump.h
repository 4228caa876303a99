// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "CommandQueue.h"

#include <QString>

// The fields of the application record that the pump reads and writes. The
// main window binds them to its state once; tests bind them to locals.
struct TPumpState {
    TCommandQueue& Queue;
    bool& TaskBusy;
    bool& RecallPending;
    // A read-back asked for while the port was busy; the pump runs it.
    bool& ReadBackPending;
    const bool& StatusBusy;
    const bool& CommandsDisabled;
    const qint32& SelectedBin;
    // After ExitApp/RestartApp nothing is queued or sent any more.
    const bool& Ending;
};

// What the pump needs of its surroundings: the port's busy test, the two
// timers, the two senders and the full read-back.
class ITaskPumpHost
{
public:
    virtual ~ITaskPumpHost() = default;
    virtual bool PortInUse() const = 0;
    virtual void SetTaskTimerActive(bool active) = 0;
    virtual void SetStatusTimerActive(bool active) = 0;
    virtual void SendCommand(const QString& command) = 0;
    virtual void SendRawLine(const QString& line) = 0;
    virtual void ReadBack() = 0;
};

// Sends the operator's commands one exchange at a time from the 5 ms timer.
//
// Queue only appends (see TCommandQueue) and starts the timer; it refuses
// everything while a read-back runs (CommandsDisabled) or the program ends.
//
// One pass of ProcessTasks, in this order: a pending bin recall ("RC n"), a
// read-back (the recall's own, or one asked for while the port was busy),
// then every entry queued when the drain starts. A recall asked for while
// one runs is the same recall: RecallPending is cleared when it has ended. The pass does nothing
// and keeps all its work while a status poll runs, while a reply is awaited (port in use) or while
// a read-back runs. TaskBusy is set for the pass and cleared, and the timer restarted, on every way
// out, exceptions included; an exception still leaves the pass, to be reported by the caller.
class TTaskPump
{
public:
    TTaskPump(const TPumpState& state, ITaskPumpHost& host) : s(state), host(host) {}

    // True when the text was taken into the queue.
    bool Queue(const QString& text, TQueueKind kind);
    // The timer tick: nothing while a pass is under way.
    void Tick();
    void ProcessTasks();

private:
    TPumpState s;
    ITaskPumpHost& host;
};
