// SPDX-License-Identifier: GPL-3.0-or-later
#include "MeasureSample.h"

#include <cstring>

namespace
{
constexpr const char* kMnemonics[rdCount] = {"CM", "VM", "SS", "AT", "BT",
                                             "PD", "AI", "I1", "I2", "I3"};
}

const char* ReadingMnemonic(TReadingId id)
{
    return id >= 0 && id < rdCount ? kMnemonics[id] : "";
}

TReadingId ReadingOfMnemonic(const char* mnemonic)
{
    for (int i = 0; i < rdCount; ++i) {
        if (std::strcmp(kMnemonics[i], mnemonic) == 0)
            return TReadingId(i);
    }
    return rdCount;
}

bool TMeasureSample::Extended() const
{
    for (int i = rdThermistorA; i < rdCount; ++i) {
        if (States[i] != rsNotAsked)
            return true;
    }
    return false;
}

QString TJournalEvent::Summary() const
{
    const QString arrow = QStringLiteral(" \u2192 ");
    if (Kind == evRefused)
        return Text + arrow + QStringLiteral("refused (") + Refusal + QLatin1Char(')');
    return Text + arrow + (Reply.isEmpty() ? QStringLiteral("(no reply)") : Reply);
}
