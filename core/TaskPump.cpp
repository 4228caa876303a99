// SPDX-License-Identifier: GPL-3.0-or-later
#include "TaskPump.h"

#include <QScopeGuard>

#include <utility>

bool TTaskPump::Queue(const QString& text, TQueueKind kind)
{
    TLineRequest request;
    request.Text = text;
    request.Kind = kind;
    request.Origin.Origin = kind == qkRawLine ? orTerminal : orControl;
    return Submit(request);
}

bool TTaskPump::Submit(const TLineRequest& request, TLineDone done)
{
    auto refuse = [&done](TLineRefusal why) {
        if (done)
            done(TLineResult::Refused(why));
        return false;
    };
    if (s.Ending)
        return refuse(lrEnding);
    TQueuedCommand entry;
    static_cast<TLineRequest&>(entry) = request;
    entry.Done = done;
    if (request.Origin.Origin == orRemote) {
        const auto lane = fLanes.find(request.Origin.Client);
        if (lane == fLanes.end())
            return refuse(lrWithdrawn);
        if (!lane->second.Append(std::move(entry)))
            return refuse(lrQueueFull);
    } else {
        if (s.CommandsDisabled)
            return refuse(lrCommandsDisabled);
        if (s.Queue.Append(std::move(entry)) == TCommandQueue::arDropped)
            return refuse(lrQueueFull);
    }
    host.SetTaskTimerActive(true);
    return true;
}

bool TTaskPump::OpenLane(int client, int capacity)
{
    if (client <= 0)
        return false;
    return fLanes.try_emplace(client, capacity).second;
}

void TTaskPump::CloseLane(int client)
{
    const auto lane = fLanes.find(client);
    if (lane == fLanes.end())
        return;
    std::deque<TQueuedCommand> waiting = lane->second.TakeAll();
    fLanes.erase(lane);
    for (TQueuedCommand& e : waiting) {
        if (e.Done)
            e.Done(TLineResult::Refused(lrWithdrawn));
    }
}

int TTaskPump::LaneCount(int client) const
{
    const auto lane = fLanes.find(client);
    return lane == fLanes.end() ? -1 : lane->second.Count();
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
    const auto endPass = qScopeGuard([this] {
        s.TaskBusy = false;
        host.SetTaskTimerActive(true);
    });

    if (s.RecallPending) {
        // Cleared only once the recall has ended, however it ends: a "Recall
        // Bin" click during it is absorbed, and a recall that raises is not
        // repeated every tick. The read-back it owes stays pending until it
        // has run.
        const auto endRecall = qScopeGuard([this] { s.RecallPending = false; });
        s.ReadBackPending = true;
        host.SetStatusTimerActive(false);
        const auto restartPoll = qScopeGuard([this] { host.SetStatusTimerActive(true); });
        {
            const TOriginScope origin({orControl, 0, {}});
            host.SendCommand(QStringLiteral("RC ") + QString::number(s.SelectedBin));
        }
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

    DrainOperatorQueue();
    ServeLanes();
}

void TTaskPump::DrainOperatorQueue()
{
    s.Queue.Drain([this](TQueuedCommand& entry) { Send(entry); });
}

bool TTaskPump::LanesMustWait() const
{
    return s.Ending || s.CommandsDisabled || s.RecallPending || s.ReadBackPending || host.PollDue();
}

int TTaskPump::NextLane() const
{
    for (auto it = fLanes.upper_bound(fLastLane); it != fLanes.end(); ++it) {
        if (it->second.Pending())
            return it->first;
    }
    for (auto it = fLanes.begin(); it != fLanes.end() && it->first <= fLastLane; ++it) {
        if (it->second.Pending())
            return it->first;
    }
    return 0;
}

void TTaskPump::ServeLanes()
{
    // With no remote line waiting this returns at once, so the operator's
    // entries queued during the drain keep waiting for the next pass.
    while (!LanesMustWait()) {
        const int client = NextLane();
        if (client == 0)
            return;
        if (s.Queue.Pending()) {
            DrainOperatorQueue();
            continue;
        }
        // Taken out before the exchange: a lane closed during the reply wait
        // no longer holds it, and it is still answered.
        TQueuedCommand entry = fLanes.at(client).Take();
        fLastLane = client;
        Send(entry);
    }
}

void TTaskPump::Send(TQueuedCommand& entry)
{
    auto answer = [&entry](const TLineResult& result) {
        if (entry.Done)
            std::exchange(entry.Done, {})(result);
    };
    if (entry.Gate) {
        if (const TLineRefusal why = entry.Gate(); why != lrNone) {
            answer(TLineResult::Refused(why));
            return;
        }
    }
    TLineResult result;
    try {
        const TOriginScope origin(entry.Origin);
        result =
            entry.Kind == qkRawLine ? host.SendRawLine(entry.Text) : host.SendCommand(entry.Text);
    } catch (...) {
        answer(TLineResult::Refused(lrFailed));
        throw;
    }
    answer(result);
}
