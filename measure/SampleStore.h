// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "MeasureSample.h"

#include <algorithm>
#include <deque>

// The samples and journal events of this session, bounded in memory.
//
// The newest FullCapacity samples (24 h at one poll a second by default) are
// kept as they came. Older ones move to a thinned archive: one sample per
// step (a minute at first) that holds the peak current and voltage of its
// step and every status bit seen in it, so a short fault stays visible. When
// the archive is full, neighbouring pairs merge and the step doubles, so any
// session length fits. Events beyond EventCapacity drop the oldest.
//
// Times are expected to rise; a sample older than the newest is still kept
// in arrival order (a clock set back does not lose data).
class TSampleStore
{
public:
    static constexpr int kDefaultFull = 24 * 60 * 60;
    static constexpr int kDefaultArchive = 20000;
    static constexpr int kDefaultEvents = 100000;
    static constexpr qint64 kFirstStepMs = 60 * 1000;

    explicit TSampleStore(int fullCapacity = kDefaultFull, int archiveCapacity = kDefaultArchive,
                          int eventCapacity = kDefaultEvents);

    void Append(const TMeasureSample& sample);
    void AppendEvent(const TJournalEvent& event);
    void Clear();

    const std::deque<TMeasureSample>& Full() const { return fFull; }
    const std::deque<TMeasureSample>& Archive() const { return fArchive; }
    const std::deque<TJournalEvent>& Events() const { return fEvents; }
    qint64 ArchiveStepMs() const { return fStep; }

    bool Empty() const { return fFull.empty() && fArchive.empty(); }
    int Count() const { return int(fFull.size() + fArchive.size()); }
    qint64 FirstMs() const;
    qint64 LastMs() const;
    const TMeasureSample* Newest() const { return fFull.empty() ? nullptr : &fFull.back(); }

    // Archive then full samples with fromMs <= Ms <= toMs, oldest first.
    // A template: the plots call it for a whole day of samples per redraw.
    template <typename Visit> void ForEach(qint64 fromMs, qint64 toMs, Visit&& visit) const
    {
        for (const auto* part : {&fArchive, &fFull}) {
            auto it =
                std::lower_bound(part->begin(), part->end(), fromMs,
                                 [](const TMeasureSample& s, qint64 ms) { return s.Ms < ms; });
            for (; it != part->end() && it->Ms <= toMs; ++it)
                visit(*it);
        }
    }
    // The oldest sample (event) later than ms, or null.
    const TMeasureSample* FirstAfter(qint64 ms) const;
    const TJournalEvent* FirstEventAfter(qint64 ms) const;
    // The sample nearest in time to ms, or null when there is none.
    const TMeasureSample* Nearest(qint64 ms) const;

private:
    void ToArchive(const TMeasureSample& sample);
    static void Merge(TMeasureSample& into, const TMeasureSample& from);

    int fFullCapacity;
    int fArchiveCapacity;
    int fEventCapacity;
    qint64 fStep = kFirstStepMs;
    std::deque<TMeasureSample> fFull;
    std::deque<TMeasureSample> fArchive;
    std::deque<TJournalEvent> fEvents;
};
