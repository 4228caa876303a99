// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QtGlobal>

#include <array>
#include <functional>

// What a numeric query learnt. Only rsValue carries a real value; the others
// are kept as such, never as a 0 that looks measured (the transport still
// returns 0 for them, as the controls and labels expect).
enum TReadingState : quint8 {
    rsNotAsked,   // not part of this poll (basic unit: the extended readings)
    rsValue,      // read
    rsTimedOut,   // no reply within the response time
    rsEmpty,      // an empty reply
    rsUnreadable, // a reply that is not a number
    rsNotSent,    // the query was refused (port in use), there is no port, or it failed
    rsUntrusted,  // the reply may have been another line's: never shown or recorded as read
};

struct TReading {
    double Value = 0; // what the transport returned: 0 unless State is rsValue
    TReadingState State = rsValue;
    quint64 Exchange = 0; // the transport's number of its exchange (0: none)
};

// The readings of one status poll, in the order of the CSV columns.
enum TReadingId {
    rdCurrent,
    rdVoltage,
    rdStatusWord,
    rdThermistorA,
    rdThermistorB,
    rdPhotoDiode,
    rdSpareAnalogIn,
    rdSpareIn1,
    rdSpareIn2,
    rdSpareIn3,
    rdCount
};

// The mnemonic a reading is queried with ("CM", "SS", ...).
const char* ReadingMnemonic(TReadingId id);
// Whether the reading is an integer query (SS, AT, BT, I1..I3).
bool IsIntegerReading(TReadingId id);

// What one status poll read, reading by reading.
struct TPollReadings {
    std::array<double, rdCount> Values{};
    std::array<TReadingState, rdCount> States{};

    void Take(TReadingId id, const TReading& reading)
    {
        Values[id] = reading.State == rsValue ? reading.Value : 0.0;
        States[id] = reading.State;
    }
    bool Has(TReadingId id) const { return States[id] == rsValue; }
    // True when any extended reading was asked for (configuration code 1).
    bool Extended() const;
    // The status word when it was read; bit n of it.
    bool StatusBit(int n) const
    {
        return Has(rdStatusWord) && ((qint64(Values[rdStatusWord]) >> n) & 1);
    }
};

// The queries of one status poll through the transport, in the unit's order:
// with extended, AT, BT, PD, AI, I1, I2, I3 first; then CM, VM and SS. Once
// all are read, each reading whose reply may have been another line's is
// marked rsUntrusted, and each is handed to show, in the poll's order.
using TReadingShown = std::function<void(TReadingId id, const TReading& reading)>;
TPollReadings ReadPoll(bool extended, const TReadingShown& show);
