// SPDX-License-Identifier: GPL-3.0-or-later
#include "Restart.h"

#include "NumberFormat.h"
#include "Switches.h"

namespace
{
const QString kReconnect = QStringLiteral("--reconnect=");
} // namespace

QString RestartUnitArgument(const TRestartUnit& unit)
{
    QString arg = kReconnect + QString::number(unit.Port);
    if (!unit.Model.isEmpty())
        arg += QLatin1Char(':') + QString::fromLatin1(unit.Model) + QLatin1Char(':') +
               QString::number(unit.Serial);
    return arg;
}

bool IsRestartUnitArgument(const QString& argument)
{
    return argument.startsWith(kReconnect);
}

std::optional<TRestartUnit> ParseRestartUnit(const QStringList& arguments)
{
    std::optional<TRestartUnit> found;
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        if (!IsRestartUnitArgument(arguments[i]))
            continue;
        const QStringList parts = arguments[i].mid(kReconnect.size()).split(QLatin1Char(':'));
        if (parts.size() != 1 && parts.size() != 3)
            continue;
        const auto port = NumberFormat::ParseInt32(parts[0].toLatin1());
        if (!port || *port < 1 || *port > 100)
            continue;
        TRestartUnit unit;
        unit.Port = *port;
        if (parts.size() == 3) {
            const auto serial = NumberFormat::ParseInt32(parts[2].toLatin1());
            if (parts[1].isEmpty() || !serial)
                continue;
            unit.Model = parts[1].toLatin1();
            unit.Serial = *serial;
        }
        found = unit;
    }
    return found;
}

QStringList RestartArguments(const QStringList& arguments, bool loggingOn,
                             const std::optional<TRestartUnit>& unit)
{
    QStringList out;
    bool logSwitch = false;
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString& a = arguments[i];
        if (IsRestartUnitArgument(a) || IsSwitch(a, QStringLiteral("pick")) ||
            a.compare(QStringLiteral("--pick"), Qt::CaseInsensitive) == 0)
            continue;
        logSwitch = logSwitch || ParseSwitches({QString(), a}).Log;
        out << a;
    }
    if (loggingOn && !logSwitch)
        out << QStringLiteral("-log");
    if (unit)
        out << RestartUnitArgument(*unit);
    return out;
}
