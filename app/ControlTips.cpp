// SPDX-License-Identifier: GPL-3.0-or-later
#include "ControlTips.h"

#include "StatusBits.h"

#include <QWidget>

namespace
{

// "—" separates the mnemonic from what it means.
constexpr TControlTip Tips[] = {
    // Operating settings
    {"ISettingAdj", "CS \u2014 current setting, 0 to the maximum current, A"},
    {"RepRateAdj", "RR \u2014 pulse rate, 0.1 to the maximum rate, Hz"},
    {"PulseWidthAdj", "PW \u2014 pulse width, s"},
    {"BurstCountAdj", "BC \u2014 burst count, pulses per burst (whole number, 0 or more)"},
    {"PulseModeSel", "PM \u2014 pulse mode: 0 CW, 1 Pulsed, 2 Burst, 3 Single Shot"},
    // Set-up values
    {"MaxCurrentAdj",
     "MC \u2014 maximum current, whole amperes, 0 or more; upper limit of the current setting"},
    {"ComplianceVAdj", "CV \u2014 compliance voltage, 0 or more, V"},
    {"MaximumRateAdj", "MR \u2014 maximum rate, 0 or more, Hz; upper limit of the pulse rate"},
    {"TempFaultByp", "TB \u2014 temperature fault bypass: 0 Enable, 1 Bypass"},
    {"IntlkCntrlByp", "IC \u2014 interlock control: 0 Enable, 1 Bypass"},
    {"IntrlkCntrlGrp", "IC \u2014 interlock control, by item: 0 or 1"},
    {"PulseEnableOff", "PE \u2014 pulsing enable: \"On\" sends PE 1, \"Off\" sends PE 0"},
    // Storage bins
    {"StorageBinSel", "RC / SV \u2014 storage bin, 1 to 5"},
    {"SaveBin", "SV \u2014 save the unit's present settings into the chosen bin (1 to 5)"},
    {"RecallBin", "RC \u2014 recall the chosen bin (1 to 5), then read every setting back"},
    // Enable and start
    {"Enablebtn", "EN \u2014 driver enable: EN 1 enables, EN 0 disables (status bit 0)"},
    {"Startbtn", "ST \u2014 pulsing: ST 1 starts, ST 0 stops (status bit 1)"},
    // Extended variant
    {"QSWDelayAdj", "QD \u2014 Q-switch delay, -0.0061 to 0.0061, s"},
    {"QSWEnableGrp", "QE \u2014 Q-switch enable: 0 Disabled, 1 Enabled"},
    {"ExtTrigSel", "ET \u2014 external trigger setting, by item: 0 Disabled to 8"},
    {"SyncSettingSel",
     "SY \u2014 sync setting: 0 Disabled, 1 Pulse Control, 2 Q-SW Control, 3 Pulse/Q-SW"},
    {"SpareAnalogOutAdj", "AO \u2014 spare analog output, 0 to 10, V"},
    // Production settings
    {"SNEdit", "SER \u2014 serial number of the unit, integer; Enter sends it"},
    {"BadgeEdit", "BDG \u2014 badge number, integer; Enter sends it"},
    {"ConfigEdit", "CFG \u2014 configuration code, integer (1 = extended variant); Enter sends it"},
    // The terminal
    {"SendEdit", "A raw line for the unit, sent without \";DC:\"; Up and Down recall the lines "
                 "sent, Escape clears"},
    // Lamps of the status word's bits: from the status bit table
    {"SpareIn1Light", "I1 \u2014 spare input 1, lit when greater than 0"},
    {"SpareIn2Light", "I2 \u2014 spare input 2, lit when greater than 0"},
    {"SpareIn3Light", "I3 \u2014 spare input 3, lit when greater than 0"},
    // Measurements
    {"CurrentMeasureBar", "CM \u2014 current measurement, 0 to the maximum current (MC), A"},
    {"VoltageMeasureBar",
     "VM \u2014 voltage measurement, 0 to the compliance voltage (CV); the bar shows "
     "hundredths"},
};

} // namespace

std::span<const TControlTip> ControlTips()
{
    return Tips;
}

void ApplyControlTips(QWidget* window)
{
    for (const TControlTip& t : Tips)
        if (auto* w = window->findChild<QWidget*>(QString::fromLatin1(t.control)))
            w->setToolTip(QString::fromUtf8(t.tip));
    for (const TStatusBitInfo& b : kStatusBits)
        if (auto* w = window->findChild<QWidget*>(QString::fromLatin1(b.Lamp)))
            w->setToolTip(StatusBitTip(b));
}
