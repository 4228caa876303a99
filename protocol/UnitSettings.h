// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QtGlobal>

// Every setting the read-back asks the unit for, as the unit answered. The
// extended variant's five are asked only when ConfigCode is 1.
struct TUnitSettings {
    qint32 ConfigCode = 0;
    double QSwitchDelay = 0;
    qint32 QSwitchEnable = 0;
    qint32 ExtTrigger = 0;
    qint32 SyncSetting = 0;
    double SpareAnalogOut = 0;
    qint32 MaxCurrent = 0; // integer queries
    qint32 MaxRate = 0;
    double CurrentSetting = 0;
    double RepRate = 0;
    double PulseWidth = 0;
    double ComplianceVoltage = 0;
    qint32 StorageBin = 0;
    qint32 TempFaultBypass = 0;
    qint32 InterlockBypass = 0;
    qint32 PulseEnable = 0;
    qint32 DriverEnabled = 0;
    qint32 DriverStarted = 0;
    qint32 BurstCount = 0;
    qint32 PulseMode = 0;
    qint32 InterlockControl = 0;
    qint32 BadgeNumber = 0;
};

enum TSettingsRead {
    srRead,      // every reply answered its own query
    srDisturbed, // a reply timed out or may have been another line's: read again
    srLinkLost,  // the port failed: nothing read is kept
};

// The read-back's queries through the transport, in the unit's order (CFG,
// the extended five, MC, MR, CS, RR, PW, CV, RC, TB, IC, PE, EN, ST, BC, PM,
// IC, BDG). Stops at the first time-out, reply that may be another line's, or
// failure of the port; a complete read ends by letting the line fall quiet,
// so a reply that comes after the last one still counts.
TSettingsRead ReadUnitSettings(TUnitSettings& out);
