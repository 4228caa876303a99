// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringList>

// Command-line switches: a whole argument of '-' or '/' followed by the name
// in any letter case ("-log", "/LOG"). "--log" and "-logfile" are not switches.
struct StartSwitches {
    bool Log = false;  // logging on from the start
    bool Pick = false; // as Right Shift held at start-up: the port picker
    bool Demo = false; // as Left Shift held at start-up and at every read-back
};

bool IsSwitch(const QString& argument, const QString& name);
// arguments as from QCoreApplication::arguments(); the first (program) is skipped.
StartSwitches ParseSwitches(const QStringList& arguments);
