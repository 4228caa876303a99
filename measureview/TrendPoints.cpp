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

QList<QPointF> Reading(const TSampleStore& store, TReadingId id, qint64 fromMs, qint64 toMs,
                       int buckets)
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
    store.ForEach(fromMs, toMs, [&](const TMeasureSample& s) {
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

} // namespace TrendPoints
