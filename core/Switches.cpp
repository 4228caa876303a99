// SPDX-License-Identifier: GPL-3.0-or-later
#include "Switches.h"

bool IsSwitch(const QString& argument, const QString& name)
{
    if (argument.size() != name.size() + 1)
        return false;
    const QChar lead = argument.front();
    if (lead != QLatin1Char('-') && lead != QLatin1Char('/'))
        return false;
    // ASCII letters only: no Unicode case folding may turn another letter into one.
    for (qsizetype i = 0; i < name.size(); ++i) {
        const char16_t a = argument[i + 1].unicode();
        const char16_t b = name[i].unicode();
        const auto lower = [](char16_t c) { return c >= 'A' && c <= 'Z' ? char16_t(c + 32) : c; };
        if (lower(a) != lower(b))
            return false;
    }
    return true;
}

StartSwitches ParseSwitches(const QStringList& arguments)
{
    StartSwitches s;
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString& a = arguments[i];
        s.Log = s.Log || IsSwitch(a, QStringLiteral("log"));
        s.Pick = s.Pick || IsSwitch(a, QStringLiteral("pick"));
        s.Demo = s.Demo || IsSwitch(a, QStringLiteral("demo"));
    }
    return s;
}
