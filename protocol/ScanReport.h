// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// What the scan found on each port it tried, so that "No device found" can
// say why: kept by DetectDevice, turned into lines for the box's details and
// the log. No I/O besides describing the ports when the lines are made.

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

enum class TScanResult {
    NoDevice,         // no device file (or no hardware behind it)
    PermissionDenied, // the device exists; the user may not open it
    Busy,             // another program holds it
    OpenFailed,       // any other reason it would not open (see error)
    SetupFailed,      // opened, line settings refused, no reply
    NoReply,          // opened, nothing within the wait
    NotAccepted,      // answered, but not an accepted unit
    Accepted,         // the unit; the scan ended here
};

struct TScanOutcome {
    int port = 0;
    TScanResult result = TScanResult::NoDevice;
    int error = 0;    // errno of a failed open
    QByteArray reply; // the first reply, right-trimmed (NotAccepted, Accepted)
    QString holders;  // "minicom (process 1234)" when /proc told (Busy)
    QByteArray model; // the model field the identification gave (NotAccepted)
};

struct TScanReport {
    QList<TScanOutcome> outcomes; // in the order tried
    quint32 waitMs = 0;           // the reply wait of the scan
};

// One line per port that exists, in port order; runs of ports without a
// device file as one line of ranges ("COM1-COM2, COM4-COM100: no device file").
QStringList ScanDetailLines(const TScanReport& report);
