// SPDX-License-Identifier: GPL-3.0-or-later
#include "CsvFormat.h"

#include <QDateTime>
#include <QLocale>
#include <QStringList>

#include <cmath>

namespace Csv
{

namespace
{

const char* const kReadingColumns[rdCount] = {
    "Current (A)", "Voltage (V)",     "Status Word", "Thermistor A", "Thermistor B",
    "PhotoDiode",  "Spare Analog In", "Spare In 1",  "Spare In 2",   "Spare In 3"};

QByteArray Seconds(qint64 ms, qint64 startMs)
{
    const qint64 d = ms - startMs;
    // Integer arithmetic: no locale and no rounding surprises.
    const qint64 a = d < 0 ? -d : d;
    QByteArray text =
        QByteArray::number(a / 1000) + '.' + QByteArray::number(a % 1000).rightJustified(3, '0');
    return d < 0 ? '-' + text : text;
}

QByteArray Reading(const TMeasureSample& s, TReadingId id)
{
    return s.Has(id) ? Number(s.Values[id]) : QByteArray();
}

QByteArray Line(const QList<QByteArray>& fields)
{
    QByteArray line;
    for (qsizetype i = 0; i < fields.size(); ++i) {
        if (i)
            line += ',';
        line += fields[i];
    }
    return line + "\r\n";
}

// Time, Seconds, Kind and the reading and bit columns left empty.
QList<QByteArray> EmptyRow(qint64 ms, qint64 startMs, const QByteArray& kind)
{
    QList<QByteArray> row{LocalTime(ms), Seconds(ms, startMs), kind};
    for (int i = 0; i < rdCount + int(kStatusBits.size()); ++i)
        row << QByteArray();
    return row;
}

} // namespace

QByteArray Header()
{
    QList<QByteArray> cols{"Time", "Seconds", "Kind"};
    for (int i = 0; i <= rdStatusWord; ++i)
        cols << kReadingColumns[i];
    for (const TStatusBitInfo& b : kStatusBits)
        cols << b.CsvColumn;
    for (int i = rdThermistorA; i < rdCount; ++i)
        cols << kReadingColumns[i];
    cols << "Event"
         << "Reply";
    return Line(cols);
}

QByteArray SampleLine(const TMeasureSample& s, qint64 startMs)
{
    QList<QByteArray> row{LocalTime(s.Ms), Seconds(s.Ms, startMs), "poll"};
    for (int i = 0; i <= rdStatusWord; ++i)
        row << Reading(s, TReadingId(i));
    for (const TStatusBitInfo& b : kStatusBits)
        row << (s.Has(rdStatusWord) ? QByteArray(s.StatusBit(b.Bit) ? "1" : "0") : QByteArray());
    for (int i = rdThermistorA; i < rdCount; ++i)
        row << Reading(s, TReadingId(i));
    row << Field(PollProblems(s)) << QByteArray();
    return Line(row);
}

QByteArray EventLine(const TJournalEvent& e, qint64 startMs)
{
    QByteArray kind = e.Kind == TJournalEvent::evRefused    ? "refused"
                      : e.Kind == TJournalEvent::evTerminal ? "terminal"
                                                            : "command";
    QList<QByteArray> row = EmptyRow(e.Ms, startMs, kind);
    row << Field(e.Text) << Field(e.Kind == TJournalEvent::evRefused ? e.Refusal : e.Reply);
    return Line(row);
}

QByteArray Number(double value)
{
    if (!std::isfinite(value))
        return QByteArray();
    // QByteArray::number never uses the locale.
    return QByteArray::number(value, 'g', QLocale::FloatingPointShortest);
}

QByteArray Field(const QString& text)
{
    QByteArray bytes = text.toUtf8();
    const bool quote = bytes.contains(',') || bytes.contains('"') || bytes.contains('\n') ||
                       bytes.contains('\r') ||
                       (!bytes.isEmpty() && (bytes.front() == ' ' || bytes.back() == ' ' ||
                                             bytes.front() == '\t' || bytes.back() == '\t'));
    if (!quote)
        return bytes;
    bytes.replace("\"", "\"\"");
    return '"' + bytes + '"';
}

QByteArray LocalTime(qint64 ms)
{
    return QLocale::c()
        .toString(QDateTime::fromMSecsSinceEpoch(ms), QStringLiteral("yyyy-MM-dd'T'HH:mm:ss.zzz"))
        .toLatin1();
}

QString PollProblems(const TMeasureSample& s)
{
    struct Group {
        TReadingState state;
        const char* label;
    };
    static const Group groups[] = {{rsTimedOut, "timed out"},
                                   {rsEmpty, "empty reply"},
                                   {rsUnreadable, "not a number"},
                                   {rsNotSent, "not sent"}};
    QStringList parts;
    for (const Group& g : groups) {
        QStringList names;
        for (int i = 0; i < rdCount; ++i) {
            if (s.States[i] == g.state)
                names << QString::fromLatin1(ReadingMnemonic(TReadingId(i)));
        }
        if (!names.isEmpty())
            parts << QString::fromLatin1(g.label) + QStringLiteral(": ") +
                         names.join(QStringLiteral(", "));
    }
    return parts.join(QStringLiteral("; "));
}

} // namespace Csv
