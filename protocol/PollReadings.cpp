// SPDX-License-Identifier: GPL-3.0-or-later
#include "PollReadings.h"

#include "Communication.h"

#include <QList>

namespace
{
constexpr const char* kMnemonics[rdCount] = {"CM", "VM", "SS", "AT", "BT",
                                             "PD", "AI", "I1", "I2", "I3"};
constexpr bool kInteger[rdCount] = {false, false, true, true, true, false, false, true, true, true};
constexpr TReadingId kPollOrder[] = {rdThermistorA, rdThermistorB, rdPhotoDiode, rdSpareAnalogIn,
                                     rdSpareIn1,    rdSpareIn2,    rdSpareIn3,   rdCurrent,
                                     rdVoltage,     rdStatusWord};
constexpr int kExtendedInOrder = 7;
} // namespace

const char* ReadingMnemonic(TReadingId id)
{
    return id >= 0 && id < rdCount ? kMnemonics[id] : "";
}

bool IsIntegerReading(TReadingId id)
{
    return id >= 0 && id < rdCount && kInteger[id];
}

bool TPollReadings::Extended() const
{
    for (int i = rdThermistorA; i < rdCount; ++i) {
        if (States[i] != rsNotAsked)
            return true;
    }
    return false;
}

TPollReadings ReadPoll(bool extended, const TReadingShown& show)
{
    TPollReadings readings;
    QList<std::pair<TReadingId, TReading>> taken;
    for (int i = extended ? 0 : kExtendedInOrder; i < int(std::size(kPollOrder)); ++i) {
        const TReadingId id = kPollOrder[i];
        const QByteArray mnemonic(kMnemonics[id]);
        taken.append({id, kInteger[id] ? ReadInteger(mnemonic) : ReadFloat(mnemonic)});
    }
    // A line that came unasked during the poll shows now or at a later reply:
    // only then is it known which readings may be another line's.
    CheckWaitingLine();
    for (auto& [id, reading] : taken) {
        if (!ExchangeTrusted(reading.Exchange))
            reading = {0, rsUntrusted, reading.Exchange};
        readings.Take(id, reading);
        if (show)
            show(id, reading);
    }
    return readings;
}
