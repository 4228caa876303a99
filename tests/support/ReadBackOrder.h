// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The queries of a read-back of all settings, in the order they go out,
// framed as on the wire (";DC:CFG?").

#include <QByteArray>
#include <QList>

inline QList<QByteArray> ReadBackQueries(bool extended)
{
    QList<QByteArray> q{"CFG"};
    if (extended)
        q << "QD"
          << "QE"
          << "ET"
          << "SY"
          << "AO";
    q << "MC"
      << "MR"
      << "CS"
      << "RR"
      << "PW"
      << "CV"
      << "RC"
      << "TB"
      << "IC"
      << "PE"
      << "EN"
      << "ST"
      << "BC"
      << "PM"
      << "IC"
      << "BDG";
    QList<QByteArray> lines;
    for (const QByteArray& m : q)
        lines << ";DC:" + m + "?";
    return lines;
}
