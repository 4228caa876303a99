// SPDX-License-Identifier: GPL-3.0-or-later
#include "MeasureSample.h"

QString TJournalEvent::Summary() const
{
    const QString arrow = QStringLiteral(" \u2192 ");
    if (Kind == evRefused)
        return Text + arrow + QStringLiteral("refused (") + Refusal + QLatin1Char(')');
    return Text + arrow + (Reply.isEmpty() ? QStringLiteral("(no reply)") : Reply);
}
