// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

#include <array>

// The bits of the status word (SS) that have a lamp. The lamps, their tool
// tips, the measurements' status strip and the CSV columns all read this one
// table, in its order (bit 0 first).
struct TStatusBitInfo {
    int Bit;
    const char* Caption;   // the lamp's label and the status strip's row
    const char* Lamp;      // object name of the lamp in the main window
    const char* Meaning;   // the end of the lamp's tool tip
    quint32 StripRgb;      // the row's colour in the strip (0xRRGGBB); fault-like bits warm
    const char* CsvColumn; // its column in the measurements CSV
};

inline constexpr std::array<TStatusBitInfo, 9> kStatusBits{{
    {0, "Enabled", "EnabledLight", "driver enabled", 0x3ca03c, "Enabled"},
    {1, "Active", "ActiveLight", "pulsing active", 0x146ec8, "Active"},
    {2, "Ready", "ReadyLight", "ready", 0x78be5a, "Ready"},
    {3, "Fault", "FaultLight", "fault", 0xdc1e1e, "Fault"},
    {4, "Interlock Control", "IntlkCntrlLight", "interlock control", 0x9664c8, "Interlock Control"},
    {5, "Over Temp", "OverTempLight", "over temperature", 0xe67814, "Over Temp"},
    {6, "Crowbar", "CrowbarLight", "crowbar", 0xaa1478, "Crowbar"},
    {8, "Ext Trig Enabled", "ExtTrigLight", "external trigger enabled", 0x5a96aa,
     "Ext Trig Enabled"},
    {9, "Q-SW Enabled", "QSWLight", "Q-switch enabled", 0x6e6e6e, "Q-SW Enabled"},
}};

// "SS bit 3 (0x008) — fault"
QString StatusBitTip(const TStatusBitInfo& bit);
