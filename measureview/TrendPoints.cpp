// SPDX-License-Identifier: GPL-3.0-or-later
#include "TrendPoints.h"

#include <algorithm>
#include <cmath>

namespace TrendPoints
{

double Clamp(double v)
{
    if (std::isnan(v))
        return 0;
    return std::clamp(v, -kPlotLimit, kPlotLimit);
}

namespace
{
// Buckets are counted from fromMs; samples are read from startMs on.
QList<QPointF> Buckets(const TSampleStore& store, TReadingId id, qint64 fromMs, qint64 startMs,
                       qint64 toMs, int buckets)
{
    QList<QPointF> points;
    if (toMs <= fromMs || buckets < 1)
        return points;
    const double width = double(toMs - fromMs) / buckets;
    qint64 bucket = -1;
    QPointF lo, hi;
    int inBucket = 0;
    auto flush = [&] {
        if (inBucket == 0)
            return;
        if (inBucket == 1 || lo == hi) {
            points << lo;
        } else if (lo.x() <= hi.x()) {
            points << lo << hi;
        } else {
            points << hi << lo;
        }
        inBucket = 0;
    };
    store.ForEach(startMs, toMs, [&](const TMeasureSample& s) {
        if (!s.Has(id))
            return;
        const qint64 b = qint64((s.Ms - fromMs) / width);
        const QPointF p(double(s.Ms), Clamp(s.Values[id]));
        if (b != bucket) {
            flush();
            bucket = b;
        }
        if (inBucket == 0 || p.y() < lo.y())
            lo = p;
        if (inBucket == 0 || p.y() > hi.y())
            hi = p;
        ++inBucket;
    });
    flush();
    return points;
}
} // namespace

QList<QPointF> Reading(const TSampleStore& store, TReadingId id, qint64 fromMs, qint64 toMs,
                       int buckets)
{
    return Buckets(store, id, fromMs, fromMs, toMs, buckets);
}

const QList<QPointF>& TCache::Update(const TSampleStore& store, TReadingId id, qint64 fromMs,
                                     qint64 toMs, int buckets)
{
    const bool same = fValid && fFrom == fromMs && fTo == toMs && fBuckets == buckets &&
                      fArchiveSize == store.Archive().size() &&
                      fArchiveStep == store.ArchiveStepMs();
    fFrom = fromMs;
    fTo = toMs;
    fBuckets = buckets;
    fArchiveSize = store.Archive().size();
    fArchiveStep = store.ArchiveStepMs();
    fValid = toMs > fromMs && buckets > 0;
    if (!same || fPoints.isEmpty()) {
        fPoints = Reading(store, id, fromMs, toMs, buckets);
        return fPoints;
    }
    // Drop the last bucket's points and compute it again with what is new.
    const double width = double(toMs - fromMs) / buckets;
    const qint64 last = qint64((fPoints.last().x() - double(fromMs)) / width);
    const qint64 bucketStart = fromMs + qint64(std::ceil(double(last) * width));
    while (!fPoints.isEmpty() && fPoints.last().x() >= double(bucketStart))
        fPoints.removeLast();
    fPoints += Buckets(store, id, fromMs, bucketStart, toMs, buckets);
    return fPoints;
}

} // namespace TrendPoints
