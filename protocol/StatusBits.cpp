// SPDX-License-Identifier: GPL-3.0-or-later
#include "StatusBits.h"

QString StatusBitTip(const TStatusBitInfo& bit)
{
    return QStringLiteral("SS bit %1 (0x%2) \u2014 %3")
        .arg(bit.Bit)
        .arg(1u << bit.Bit, 3, 16, QLatin1Char('0'))
        .arg(QString::fromLatin1(bit.Meaning));
}
