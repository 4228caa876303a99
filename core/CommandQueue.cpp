// SPDX-License-Identifier: GPL-3.0-or-later
#include "CommandQueue.h"

#include <QScopeGuard>

#include <algorithm>

QString TCommandQueue::Mnemonic(const QString& text)
{
    const qsizetype blank = text.indexOf(QLatin1Char(' '));
    return blank < 0 ? text : text.left(blank);
}

TCommandQueue::TAppendResult TCommandQueue::Append(const QString& text, TQueueKind kind)
{
    TQueuedCommand entry;
    entry.Text = text;
    entry.Kind = kind;
    return Append(std::move(entry));
}

TCommandQueue::TAppendResult TCommandQueue::Append(TQueuedCommand entry)
{
    if (!Full()) {
        fEntries.push_back(std::move(entry));
        return arAppended;
    }
    if (entry.Kind != qkSetCommand)
        return arDropped;
    const QString mnemonic = Mnemonic(entry.Text);
    if (mnemonic.isEmpty() || mnemonic == QLatin1String("SV"))
        return arDropped;
    TLineDone replacedDone;
    if (!RemoveOldestSetCommand(mnemonic, replacedDone))
        return arDropped;
    fEntries.push_back(std::move(entry));
    // Told last: whatever it does, the queue is whole again.
    if (replacedDone)
        replacedDone(TLineResult::Refused(lrReplaced));
    return arReplaced;
}

bool TCommandQueue::RemoveOldestSetCommand(const QString& mnemonic, TLineDone& done)
{
    const auto it = std::find_if(fEntries.begin(), fEntries.end(), [&](const TQueuedCommand& e) {
        return e.Kind == qkSetCommand && Mnemonic(e.Text) == mnemonic;
    });
    if (it == fEntries.end())
        return false;
    // An entry taken out of the batch under way shortens that batch; its
    // successor goes in the next pass.
    if (it - fEntries.begin() < fBatchLeft)
        --fBatchLeft;
    done = std::move(it->Done);
    fEntries.erase(it);
    return true;
}

int TCommandQueue::Drain(const TSender& send)
{
    if (fDraining)
        return 0;
    fDraining = true;
    fBatchLeft = Count();
    const auto endDrain = qScopeGuard([this] {
        fBatchLeft = 0;
        fDraining = false;
    });

    int sent = 0;
    while (fBatchLeft > 0 && !fEntries.empty()) {
        TQueuedCommand entry = std::move(fEntries.front());
        fEntries.pop_front();
        --fBatchLeft;
        ++sent;
        send(entry);
    }
    return sent;
}

void TCommandQueue::Clear()
{
    fEntries.clear();
    fBatchLeft = 0;
}

void TCommandQueue::RefuseAll(TLineRefusal why)
{
    std::deque<TQueuedCommand> entries;
    entries.swap(fEntries);
    fBatchLeft = 0;
    for (TQueuedCommand& e : entries) {
        if (e.Done)
            e.Done(TLineResult::Refused(why));
    }
}
