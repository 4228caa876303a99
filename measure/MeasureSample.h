// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QtGlobal>

#include <array>

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

// What a poll learnt of one reading. Only rsValue carries a real value; the
// others are kept as such, never as a 0 that looks measured.
enum TReadingState : quint8 {
    rsNotAsked,   // not part of this poll (basic unit: the extended readings)
    rsValue,      // read
    rsTimedOut,   // no reply within the response time
    rsEmpty,      // an empty reply
    rsUnreadable, // a reply that is not a number
    rsNotSent,    // the query was refused (port in use)
};

// The mnemonic a reading is queried with ("CM", "SS", ...).
const char* ReadingMnemonic(TReadingId id);
// Reading of a mnemonic; rdCount when it is none of the poll's.
TReadingId ReadingOfMnemonic(const char* mnemonic);

// One completed status poll.
struct TMeasureSample {
    qint64 Ms = 0; // local wall-clock time, ms since the epoch
    std::array<double, rdCount> Values{};
    std::array<TReadingState, rdCount> States{};
    // The set-up limits at the time of the poll (reference lines).
    double MaxCurrent = 0;
    double ComplianceVoltage = 0;

    bool Has(TReadingId id) const { return States[id] == rsValue; }
    // True when any extended reading was asked for (configuration code 1).
    bool Extended() const;
    // The status word when it was read; bit n of it.
    bool StatusBit(int n) const
    {
        return Has(rdStatusWord) && ((qint64(Values[rdStatusWord]) >> n) & 1);
    }
};

// One command that went out or was refused.
struct TJournalEvent {
    enum TKind { evCommand, evTerminal, evRefused };
    qint64 Ms = 0;
    TKind Kind = evCommand;
    bool Raw = false; // a terminal line (also when refused)
    QString Text;     // as sent, without ";DC:"
    QString Reply;    // the trimmed reply (may be empty)
    QString Refusal;  // "Command Disabled" or "Comport in use" when refused

    // "CS 012.50 → OK"; "CS 012.50 → refused (Command Disabled)".
    QString Summary() const;
};

// The status bits that have a lamp, with the lamp's caption.
struct TStatusBit {
    int Bit;
    const char* Name;
};
inline constexpr std::array<TStatusBit, 9> kStatusBits{{{0, "Enabled"},
                                                        {1, "Active"},
                                                        {2, "Ready"},
                                                        {3, "Fault"},
                                                        {4, "Interlock Control"},
                                                        {5, "Over Temp"},
                                                        {6, "Crowbar"},
                                                        {8, "Ext Trig Enabled"},
                                                        {9, "Q-SW Enabled"}}};
