// SPDX-License-Identifier: GPL-3.0-or-later
#include "SampleStore.h"

#include <algorithm>
#include <cmath>

TSampleStore::TSampleStore(int fullCapacity, int archiveCapacity, int eventCapacity)
    : fFullCapacity(std::max(1, fullCapacity)), fArchiveCapacity(std::max(2, archiveCapacity)),
      fEventCapacity(std::max(1, eventCapacity))
{
}

void TSampleStore::Append(const TMeasureSample& sample)
{
    fFull.push_back(sample);
    while (int(fFull.size()) > fFullCapacity) {
        ToArchive(fFull.front());
        fFull.pop_front();
    }
}

void TSampleStore::AppendEvent(const TJournalEvent& event)
{
    fEvents.push_back(event);
    while (int(fEvents.size()) > fEventCapacity)
        fEvents.pop_front();
}

void TSampleStore::Clear()
{
    fFull.clear();
    fArchive.clear();
    fEvents.clear();
    fStep = kFirstStepMs;
}

qint64 TSampleStore::FirstMs() const
{
    if (!fArchive.empty())
        return fArchive.front().Ms;
    return fFull.empty() ? 0 : fFull.front().Ms;
}

qint64 TSampleStore::LastMs() const
{
    if (!fFull.empty())
        return fFull.back().Ms;
    return fArchive.empty() ? 0 : fArchive.back().Ms;
}

// Peaks of the readings and every status bit seen survive the merge; the
// time is the earlier sample's (a step starts where its first sample was),
// the limits the later one's.
void TSampleStore::Merge(TMeasureSample& into, const TMeasureSample& from)
{
    for (int i = 0; i < rdCount; ++i) {
        if (!from.Has(TReadingId(i)))
            continue;
        if (!into.Has(TReadingId(i))) {
            into.Values[i] = from.Values[i];
            into.States[i] = rsValue;
        } else if (i == rdStatusWord) {
            into.Values[i] = double(qint64(into.Values[i]) | qint64(from.Values[i]));
        } else if (std::fabs(from.Values[i]) > std::fabs(into.Values[i])) {
            into.Values[i] = from.Values[i];
        }
    }
    into.Ms = std::min(into.Ms, from.Ms);
    into.MaxCurrent = from.MaxCurrent;
    into.ComplianceVoltage = from.ComplianceVoltage;
}

void TSampleStore::ToArchive(const TMeasureSample& sample)
{
    if (!fArchive.empty() && sample.Ms / fStep == fArchive.back().Ms / fStep) {
        Merge(fArchive.back(), sample);
        return;
    }
    fArchive.push_back(sample);
    if (int(fArchive.size()) <= fArchiveCapacity)
        return;
    // Full: pairs merge and the step doubles.
    std::deque<TMeasureSample> merged;
    for (size_t i = 0; i < fArchive.size(); i += 2) {
        TMeasureSample s = fArchive[i];
        if (i + 1 < fArchive.size())
            Merge(s, fArchive[i + 1]);
        merged.push_back(s);
    }
    fArchive.swap(merged);
    fStep *= 2;
}

const TMeasureSample* TSampleStore::FirstAfter(qint64 ms) const
{
    for (const auto* part : {&fArchive, &fFull}) {
        auto it = std::upper_bound(part->begin(), part->end(), ms,
                                   [](qint64 t, const TMeasureSample& s) { return t < s.Ms; });
        if (it != part->end())
            return &*it;
    }
    return nullptr;
}

const TJournalEvent* TSampleStore::FirstEventAfter(qint64 ms) const
{
    auto it = std::upper_bound(fEvents.begin(), fEvents.end(), ms,
                               [](qint64 t, const TJournalEvent& e) { return t < e.Ms; });
    return it == fEvents.end() ? nullptr : &*it;
}

const TMeasureSample* TSampleStore::Nearest(qint64 ms) const
{
    const TMeasureSample* best = nullptr;
    auto consider = [&](const std::deque<TMeasureSample>& part) {
        if (part.empty())
            return;
        auto it = std::lower_bound(part.begin(), part.end(), ms,
                                   [](const TMeasureSample& s, qint64 t) { return s.Ms < t; });
        for (auto c : {it, it == part.begin() ? it : std::prev(it)}) {
            if (c == part.end())
                continue;
            if (!best || std::llabs(c->Ms - ms) < std::llabs(best->Ms - ms))
                best = &*c;
        }
    };
    consider(fArchive);
    consider(fFull);
    return best;
}
