// SPDX-License-Identifier: GPL-3.0-or-later
#include "LinkSync.h"

#include <QByteArray>

namespace
{
// A poll or a read-back asks about its own exchanges within a few dozen.
constexpr size_t kRangesKept = 256;
} // namespace

void TLinkSync::Reset()
{
    fQuietAfter = fLast;
    fQuietWanted = false;
    fOwed = false;
}

void TLinkSync::Distrust(quint64 upTo)
{
    ++fDisturbances;
    fQuietWanted = true;
    if (upTo <= fQuietAfter)
        return;
    fUntrusted.emplace_back(fQuietAfter + 1, upTo);
    if (fUntrusted.size() > kRangesKept)
        fUntrusted.pop_front();
}

bool TLinkSync::Trusted(quint64 exchange) const
{
    for (auto it = fUntrusted.rbegin(); it != fUntrusted.rend(); ++it) {
        if (exchange >= it->first && exchange <= it->second)
            return false;
    }
    return true;
}

void TLinkSync::Quiet()
{
    fQuietAfter = fLast;
    fQuietWanted = false;
}

void TLinkSync::TimedOut(Clock::time_point until)
{
    ++fDisturbances;
    fOwed = true;
    fOwedUntil = until;
}

bool HoldsText(const QByteArray& bytes)
{
    for (const char c : bytes) {
        if (static_cast<unsigned char>(c) > 32)
            return true;
    }
    return false;
}
