// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "CommandQueue.h"
#include "LineLane.h"
#include "LineSubmitter.h"

#include <QString>

#include <map>

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
// timers, the two senders and the full read-back. The senders exchange one
// line with the unit, tagged with the origin in force (TOriginScope), and
// say what became of it.
class ITaskPumpHost
{
public:
    virtual ~ITaskPumpHost() = default;
    virtual bool PortInUse() const = 0;
    virtual void SetTaskTimerActive(bool active) = 0;
    virtual void SetStatusTimerActive(bool active) = 0;
    virtual TLineResult SendCommand(const QString& command) = 0;
    virtual TLineResult SendRawLine(const QString& line) = 0;
    virtual void ReadBack() = 0;
    // True once the status poll is due: a pass serving remote lanes ends
    // before its next line, so a busy client never holds the poll back.
    virtual bool PollDue() const { return false; }
};

// Sends the operator's commands, and remote clients' lines, one exchange at a
// time from the 5 ms timer. It is the program's ILineSubmitter.
//
// Queue/Submit only append (see TCommandQueue, TLineLane) and start the
// timer; the operator's queue refuses everything while a read-back runs
// (CommandsDisabled) and everything is refused once the program ends.
//
// One pass of ProcessTasks, in this order: a pending bin recall ("RC n"), a
// read-back (the recall's own, or one asked for while the port was busy),
// then every entry of the operator's queue queued when the drain starts, then
// the remote lanes in turn, one line each, round after round until they are
// empty, the operator's newer entries drained before each line. The lanes
// give way (the pass ends) to a due poll, a recall, a read-back or the end. A
// recall asked for while one runs is the same recall: RecallPending is
// cleared when it has ended. The pass does nothing and keeps all its work
// while a status poll runs, while a reply is awaited (port in use) or while a
// read-back runs. TaskBusy is set for the pass and cleared, and the timer
// restarted, on every way out, exceptions included; an exception still
// leaves the pass, to be reported by the caller.
class TTaskPump : public ILineSubmitter
{
public:
    TTaskPump(const TPumpState& state, ITaskPumpHost& host) : s(state), host(host) {}

    // A line of the window's own: a control's set command or a terminal line.
    // True when the text was taken into the queue.
    bool Queue(const QString& text, TQueueKind kind);

    bool Submit(const TLineRequest& request, TLineDone done = {}) override;
    bool OpenLane(int client, int capacity) override;
    void CloseLane(int client) override;
    // Lines waiting in a client's lane; -1 when the client has none.
    int LaneCount(int client) const;

    // The timer tick: nothing while a pass is under way.
    void Tick();
    void ProcessTasks();

private:
    void DrainOperatorQueue();
    void ServeLanes();
    // The client whose lane is next in turn and has a line; 0 when none has.
    int NextLane() const;
    bool LanesMustWait() const;
    void Send(TQueuedCommand& entry);

    TPumpState s;
    ITaskPumpHost& host;
    std::map<int, TLineLane> fLanes;
    int fLastLane = 0; // client served last
};
