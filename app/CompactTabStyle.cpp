// SPDX-License-Identifier: GPL-3.0-or-later
#include "CompactTabStyle.h"

int TCompactTabStyle::pixelMetric(PixelMetric metric, const QStyleOption* option,
                                  const QWidget* widget) const
{
    const int value = QProxyStyle::pixelMetric(metric, option, widget);
    if (metric == PM_TabBarTabHSpace)
        return qMin(value, 12);
    return value;
}
