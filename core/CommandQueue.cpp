// SPDX-License-Identifier: GPL-3.0-or-later
#include "CommandQueue.h"

#include <algorithm>

QString TCommandQueue::Mnemonic(const QString& text)
{
    const qsizetype blank = text.indexOf(QLatin1Char(' '));
    return blank < 0 ? text : text.left(blank);
}

TCommandQueue::TAppendResult TCommandQueue::Append(const QString& text, TQueueKind kind)
{
    if (!Full()) {
        fEntries.push_back({text, kind});
        return arAppended;
    }
    if (kind != qkSetCommand)
        return arDropped;
    const QString mnemonic = Mnemonic(text);
    if (mnemonic.isEmpty() || mnemonic == QLatin1String("SV"))
        return arDropped;
    if (!RemoveOldestSetCommand(mnemonic))
        return arDropped;
    fEntries.push_back({text, kind});
    return arReplaced;
}

bool TCommandQueue::RemoveOldestSetCommand(const QString& mnemonic)
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
    fEntries.erase(it);
    return true;
}

int TCommandQueue::Drain(const TSender& send)
{
    if (fDraining)
        return 0;
    fDraining = true;
    fBatchLeft = Count();
    struct TEndDrain {
        TCommandQueue& q;
        ~TEndDrain()
        {
            q.fBatchLeft = 0;
            q.fDraining = false;
        }
    } endDrain{*this};

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
