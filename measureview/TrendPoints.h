// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "SampleStore.h"

#include <QList>
#include <QPointF>

// The points a plot of one reading needs over a time range: at most two per
// bucket (the lowest and highest, in time order), so a day of samples fits a
// few hundred pixels without losing a peak. Readings that were not read are
// left out; values are clamped to +-kPlotLimit so no axis ever sees an
// infinite or absurd range. x is ms since the epoch.
namespace TrendPoints
{
inline constexpr double kPlotLimit = 1e12;

double Clamp(double v);
QList<QPointF> Reading(const TSampleStore& store, TReadingId id, qint64 fromMs, qint64 toMs,
                       int buckets);

// The same points kept between redraws: while the range, the bucket count
// and the thinned archive stay as they were, only the newest bucket and what
// came after it are computed again, so a day of samples costs a few buckets
// per poll instead of every sample.
class TCache
{
public:
    const QList<QPointF>& Update(const TSampleStore& store, TReadingId id, qint64 fromMs,
                                 qint64 toMs, int buckets);

private:
    QList<QPointF> fPoints;
    qint64 fFrom = 0, fTo = 0;
    int fBuckets = 0;
    size_t fArchiveSize = 0;
    qint64 fArchiveStep = 0;
    bool fValid = false;
};
} // namespace TrendPoints
