// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Finding the unit at start-up. Both functions reach the port, the echo and
// the application state through the current communication link
// (Communication.h); without a bound port DetectDevice returns false at once.

#include "Identity.h"
#include "ScanReport.h"

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

// Asks "ID" once more and updates the identity fields of the link's state with
// ParseIdentity; ends with the fields as ParseIdentity leaves them.
void ParseIDN();

// The identity fields of the application state as one record, and back.
TIdentity IdentityOf(const AppState& state);
void StoreIdentity(AppState& state, const TIdentity& identity);
