// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "PollReadings.h"
#include "StatusBits.h"

#include <QString>
#include <QtGlobal>

// One completed status poll: what it read, when, and the set-up limits in
// force (reference lines).
struct TMeasureSample : TPollReadings {
    qint64 Ms = 0; // local wall-clock time of the poll's start, ms since the epoch
    double MaxCurrent = 0;
    double ComplianceVoltage = 0;
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
