// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <optional>

// The unit a restarted MERO looks for first: where it was and, when it was
// identified, its model and serial number. On the command line it travels as
// "--reconnect=PORT" or "--reconnect=PORT:MODEL:SERIAL".
struct TRestartUnit {
    int Port = 0;
    QByteArray Model; // empty: not identified
    qint32 Serial = 0;

    friend bool operator==(const TRestartUnit&, const TRestartUnit&) = default;
};

QString RestartUnitArgument(const TRestartUnit& unit);
// The last well-formed "--reconnect=" argument; none when there is none.
std::optional<TRestartUnit> ParseRestartUnit(const QStringList& arguments);
// Whether the argument is a "--reconnect=" one (well-formed or not).
bool IsRestartUnitArgument(const QString& argument);

// What a restart passes the new instance: every argument this one was started
// with (program name first, as QCoreApplication::arguments()) but the picker
// switch and an earlier unit to look for, "-log" when logging is on now
// without having been asked for, and the unit to look for.
QStringList RestartArguments(const QStringList& arguments, bool loggingOn,
                             const std::optional<TRestartUnit>& unit);
