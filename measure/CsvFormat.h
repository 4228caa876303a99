// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "MeasureSample.h"

#include <QByteArray>
#include <QString>

// The measurements CSV: UTF-8, comma separated, CR LF line ends, one header
// line. Columns: Time (ISO 8601 local time with ms), Seconds (since the
// session's first sample, 3 decimals), Kind (poll, command, terminal,
// refused), one column per reading, the status word and one 0/1 column per
// lamp bit, Event (a command's text, or what went wrong in a poll) and Reply
// (a command's reply, or why it was refused). A reading that was not read is
// an empty field; numbers always use "." whatever the locale. A field with a
// comma, quote, line break or leading/trailing blank is quoted.
namespace Csv
{
QByteArray Header();
QByteArray SampleLine(const TMeasureSample& sample, qint64 startMs);
QByteArray EventLine(const TJournalEvent& event, qint64 startMs);

// Shortest text that reads back as the same double; empty when not finite.
QByteArray Number(double value);
QByteArray Field(const QString& text);
QByteArray LocalTime(qint64 ms);
// "timed out: CM, VM; not a number: SS" for the readings of a poll that failed.
QString PollProblems(const TMeasureSample& sample);
} // namespace Csv
