// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "CommandQueue.h"

#include <deque>
#include <utility>

// The lines of one remote client, in arrival order, at most Capacity() of
// them. Unlike the operator's queue nothing is ever replaced: a line that
// finds the lane full is refused.
class TLineLane
{
public:
    explicit TLineLane(int capacity) : fCapacity(capacity) {}

    bool Append(TQueuedCommand entry)
    {
        if (Count() >= fCapacity)
            return false;
        fEntries.push_back(std::move(entry));
        return true;
    }
    bool Pending() const { return !fEntries.empty(); }
    int Count() const { return int(fEntries.size()); }
    int Capacity() const { return fCapacity; }
    TQueuedCommand Take()
    {
        TQueuedCommand entry = std::move(fEntries.front());
        fEntries.pop_front();
        return entry;
    }
    // Takes every waiting line out, oldest first.
    std::deque<TQueuedCommand> TakeAll() { return std::exchange(fEntries, {}); }

private:
    int fCapacity;
    std::deque<TQueuedCommand> fEntries;
};
