// SPDX-License-Identifier: GPL-3.0-or-later
#include "CommandSet.h"

#include "ValueFormat.h"

#include <cmath>

namespace
{

constexpr bool Ext = true;

constexpr TCommandInfo Commands[] = {
    // Identity and configuration
    {"ID", "identity of the unit", rkText, vfNone, nullptr, false},
    {"CFG", "configuration code", rkInteger, vfTypedText, nullptr, false},
    {"SER", "serial number of the unit", rkNone, vfTypedText, nullptr, false},
    {"BDG", "badge number", rkInteger, vfTypedText, nullptr, false},
    // Operating settings
    {"CS", "current setting, amperes", rkNumber, vfPattern, PatternCurrent, false},
    {"RR", "pulse rate, hertz", rkNumber, vfPattern, PatternRate, false},
    {"PW", "pulse width, seconds", rkNumber, vfPattern, PatternSeconds, false},
    {"BC", "burst count", rkInteger, vfGeneralRounded, nullptr, false},
    {"PM", "pulse mode", rkInteger, vfInteger, nullptr, false},
    // Set-up values
    {"MC", "maximum current, amperes", rkInteger, vfGeneralRounded, nullptr, false},
    {"CV", "compliance voltage", rkNumber, vfPattern, PatternVoltage, false},
    {"MR", "maximum rate, hertz", rkInteger, vfGeneral, nullptr, false},
    {"TB", "temperature fault bypass", rkInteger, vfFixed, nullptr, false},
    {"IC", "interlock control", rkInteger, vfInteger, nullptr, false},
    {"PE", "pulsing enable", rkInteger, vfFixed, nullptr, false},
    // Storage bins
    {"RC", "recall storage bin", rkInteger, vfInteger, nullptr, false},
    {"SV", "save settings into a storage bin", rkNone, vfInteger, nullptr, false},
    // Enable and start
    {"EN", "driver enabled", rkInteger, vfFixed, nullptr, false},
    {"ST", "pulsing started", rkInteger, vfFixed, nullptr, false},
    // Extended variant settings
    {"QD", "Q-switch delay, seconds", rkNumber, vfPattern, PatternSeconds, Ext},
    {"QE", "Q-switch enable", rkInteger, vfInteger, nullptr, Ext},
    {"ET", "external trigger setting", rkInteger, vfInteger, nullptr, Ext},
    {"SY", "sync setting", rkInteger, vfInteger, nullptr, Ext},
    {"AO", "spare analog output, volts", rkNumber, vfPattern, PatternAnalogOut, Ext},
    // Status and measurements
    {"SS", "status word", rkInteger, vfNone, nullptr, false},
    {"CM", "current measurement", rkNumber, vfNone, nullptr, false},
    {"VM", "voltage measurement", rkNumber, vfNone, nullptr, false},
    {"AT", "thermistor A", rkInteger, vfNone, nullptr, Ext},
    {"BT", "thermistor B", rkInteger, vfNone, nullptr, Ext},
    {"PD", "photodiode", rkNumber, vfNone, nullptr, Ext},
    {"AI", "spare analog input", rkNumber, vfNone, nullptr, Ext},
    {"I1", "spare input 1", rkInteger, vfNone, nullptr, Ext},
    {"I2", "spare input 2", rkInteger, vfNone, nullptr, Ext},
    {"I3", "spare input 3", rkInteger, vfNone, nullptr, Ext},
};

QString Command(const TCommandInfo& info, const QString& value)
{
    return QLatin1StringView(info.Mnemonic) + u' ' + value;
}

} // namespace

std::span<const TCommandInfo> CommandSet()
{
    return Commands;
}

const TCommandInfo* FindCommand(QByteArrayView mnemonic)
{
    for (const TCommandInfo& c : Commands)
        if (mnemonic == QByteArrayView(c.Mnemonic))
            return &c;
    return nullptr;
}

QString SetCommand(QByteArrayView mnemonic, double value)
{
    const TCommandInfo* info = FindCommand(mnemonic);
    if (!info || !std::isfinite(value))
        return {};
    switch (info->Set) {
    case vfPattern:
        return Command(*info, FormatPattern(value, info->Pattern));
    case vfGeneral:
        return Command(*info, FormatGeneral(value));
    case vfGeneralRounded:
    case vfInteger:
    case vfFixed:
        return Command(*info, FormatInteger(RoundToInt32(value)));
    case vfNone:
    case vfTypedText:
        break;
    }
    return {};
}

QString SetCommandText(QByteArrayView mnemonic, const QString& typed)
{
    const TCommandInfo* info = FindCommand(mnemonic);
    if (!info || info->Set != vfTypedText)
        return {};
    qsizetype end = typed.size();
    for (qsizetype i = 0; i < typed.size(); ++i) {
        if (typed[i] == u'\r' || typed[i] == u'\n') {
            end = i;
            break;
        }
    }
    return Command(*info, typed.left(end));
}
