// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QList>
#include <QString>

// Why a port did not open, from the errno of the failing step.
enum class TOpenProblem {
    None,             // it opened
    NoDevice,         // no device file, or no hardware behind it
    PermissionDenied, // the user may not open it (not in the dialout group)
    Busy,             // another program (or another MERO) holds it
    Other,            // anything else; see the errno text
};

TOpenProblem ClassifyOpenError(int error);
// "permission denied", "held by another program", ... for one port.
QString OpenProblemText(TOpenProblem problem, int error);
// What to do about it on Debian, or empty.
QString OpenProblemAdvice(TOpenProblem problem);

struct TPortHolder {
    qint64 pid = 0;
    QString program; // empty when /proc does not say
};

// The processes that hold the device file, found through procRoot (/proc):
// the holders of a lock on it in procRoot/locks, else the processes with a
// descriptor open on it. Whatever cannot be read is left out; never fails.
QList<TPortHolder> FindPortHolders(const QString& devicePath,
                                   const QString& procRoot = QStringLiteral("/proc"));
// "minicom (process 1234)", several joined with ", "; empty for none.
QString HoldersText(const QList<TPortHolder>& holders);
