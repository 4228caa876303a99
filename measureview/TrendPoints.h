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
} // namespace TrendPoints
