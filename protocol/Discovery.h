// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Finding the unit at start-up. Both functions reach the port, the echo and
// the application state through the current communication link
// (Communication.h); without a bound port DetectDevice returns false at once.

#include "Identity.h"
#include "ScanReport.h"

#include <QByteArray>

struct AppState;

// Scans COM1..COM100 in ascending order with Baud 115200, end of response CR,
// AllowEvents and ShowErrors off and a 100 ms response time. A port that opens
// is given 100 ms, then asked "ID"; a port that does not open or stays silent
// is closed and skipped. An answering port runs ParseIDN; an accepted model
// ("2740", "2640") clears the echo and ends the scan with true, the port left
// open on that number. Otherwise the port is closed and the scan goes on; after
// COM100 the result is false, every port closed and the number 100.
bool DetectDevice();
// The same scan; report (when given) gets one outcome per port tried.
bool DetectDevice(TScanReport* report);

// The unit a restart looks for: its port and, when it was identified, its
// model and serial number.
struct TLostUnit {
    int Port = 0;
    QByteArray ModelName; // empty: not identified (a start through the picker)
    qint32 SerialNumber = 0;

    bool IdentityKnown() const { return !ModelName.isEmpty(); }
    // The same unit: the same model and serial number wherever it answers;
    // not identified, whatever accepted unit answers on its port.
    bool Matches(int port, const TIdentity& found) const;
};

struct TReconnect {
    enum TFound { Nothing, SameUnit, OtherUnit } Found = Nothing;
    int Port = 0;       // where it answered
    TIdentity Identity; // what it answered
};

// Looks for the lost unit with the scan's settings and steps: on its port
// first, then on the others in ascending order, taking the first accepted
// unit that Matches. SameUnit leaves the port open on it (the echo cleared);
// otherwise every port is closed, the number is 100 and OtherUnit names the
// first other accepted unit found (its identity stored in the state) or
// Nothing none.
TReconnect FindLostUnit(const TLostUnit& lost, TScanReport* report = nullptr);

// Asks "ID" once more and updates the identity fields of the link's state with
// ParseIdentity; ends with the fields as ParseIdentity leaves them.
void ParseIDN();

// The identity fields of the application state as one record, and back.
TIdentity IdentityOf(const AppState& state);
void StoreIdentity(AppState& state, const TIdentity& identity);
