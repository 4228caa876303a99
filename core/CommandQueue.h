// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "LineSubmitter.h"

#include <QString>

#include <deque>
#include <functional>

// A line waiting for the pump, with whoever is to hear what became of it.
struct TQueuedCommand : TLineRequest {
    TLineDone Done;
};

// The operator's outgoing commands, in arrival order, at most 100 of them.
//
// Append never sends and never waits. While all slots are occupied a new set
// command takes the place of the oldest queued set command with the same
// mnemonic (setting values are absolute, so the unit still ends up with the
// value the control shows) and goes to the end; with no such entry, and for
// every terminal line, the new entry is dropped. Saving a bin ("SV") is an
// action rather than a value and is never replaced. A replaced entry hears
// lrReplaced; a dropped one is the caller's to answer.
//
// Drain sends exactly the entries queued when it starts. Each entry leaves
// its slot just before it is handed to the sender, so an entry appended while
// a send waits for its reply (the reply wait dispatches events) stays queued
// for the next drain, and the slots in use never exceed 100. If the sender
// throws, the entry it was given is gone and the rest stay queued. A drain
// started from inside a running drain sends nothing.
class TCommandQueue
{
public:
    static constexpr int Capacity = 100;

    enum TAppendResult { arAppended, arReplaced, arDropped };

    TAppendResult Append(const QString& text, TQueueKind kind);
    TAppendResult Append(TQueuedCommand entry);

    int Count() const { return int(fEntries.size()); }
    bool Pending() const { return !fEntries.empty(); }
    bool Full() const { return Count() >= Capacity; }
    // Slot 1 is the oldest entry.
    const TQueuedCommand& Slot(int slot) const { return fEntries.at(size_t(slot - 1)); }

    using TSender = std::function<void(TQueuedCommand&)>;
    // Returns the number of entries handed to send.
    int Drain(const TSender& send);

    // Empties the queue; the entries are not answered (start-up, tests).
    void Clear();
    // Empties the queue and answers every entry with the refusal.
    void RefuseAll(TLineRefusal why);

    // The mnemonic of a set command text: everything before its first blank.
    static QString Mnemonic(const QString& text);

private:
    bool RemoveOldestSetCommand(const QString& mnemonic, TLineDone& done);

    std::deque<TQueuedCommand> fEntries;
    // Entries at the front that belong to the drain under way.
    int fBatchLeft = 0;
    bool fDraining = false;
};
