// SPDX-License-Identifier: GPL-3.0-or-later
#include "MeasureSession.h"

#include "CsvFormat.h"

#include <QDateTime>

TMeasureSession::TMeasureSession(QObject* parent, int fullCapacity)
    : QObject(parent), fStore(fullCapacity)
{
    Clock = [] { return QDateTime::currentMSecsSinceEpoch(); };
}

TMeasureSession::~TMeasureSession() = default;

void TMeasureSession::Listen()
{
    if (!fListening)
        fListening.emplace(*this);
}

void TMeasureSession::Unlisten()
{
    fListening.reset();
}

void TMeasureSession::Exchanged(const TExchangeRecord& record)
{
    // The poll's and the read-back's queries are the samples' business.
    if (record.Kind == xkQuery)
        return;
    TJournalEvent e;
    e.Raw = record.Kind == xkRawLine;
    e.Text = record.Text;
    if (record.Result.Fate == lfRefused) {
        // Only what the operator could have sent: a line without a port
        // (demo mode, the unit gone) never was one.
        if (record.Result.Refusal != lrCommandsDisabled && record.Result.Refusal != lrComportInUse)
            return;
        e.Ms = Clock();
        e.Kind = TJournalEvent::evRefused;
        e.Refusal = record.Result.Refusal == lrCommandsDisabled ? QStringLiteral("Command Disabled")
                                                                : QStringLiteral("Comport in use");
    } else {
        e.Ms = record.SentMs ? record.SentMs : Clock();
        e.Kind = e.Raw ? TJournalEvent::evTerminal : TJournalEvent::evCommand;
        e.Reply = QString::fromLatin1(record.Result.Reply);
    }
    AddEvent(e);
}

void TMeasureSession::NoteStart(qint64 ms)
{
    if (!fStartMs)
        fStartMs = ms;
}

void TMeasureSession::AddSample(const TMeasureSample& sample)
{
    NoteStart(sample.Ms);
    fStore.Append(sample);
    if (Recording())
        Record(Csv::SampleLine(sample, StartMs()));
    Q_EMIT SampleAdded();
}

void TMeasureSession::AddEvent(const TJournalEvent& event)
{
    NoteStart(event.Ms);
    fStore.AppendEvent(event);
    if (Recording())
        Record(Csv::EventLine(event, StartMs()));
    Q_EMIT EventAdded();
}

bool TMeasureSession::StartRecording(const QString& path, QString* error)
{
    StopRecording();
    QString why;
    if (!fFile.Open(path, &why) || !fFile.WriteLine(Csv::Header(), &why)) {
        fFile.Close();
        if (error)
            *error = why;
        Q_EMIT RecordingChanged();
        return false;
    }
    Q_EMIT RecordingChanged();
    return true;
}

void TMeasureSession::StopRecording()
{
    if (!fFile.IsOpen())
        return;
    fFile.Close();
    Q_EMIT RecordingChanged();
}

void TMeasureSession::Record(const QByteArray& line)
{
    QString why;
    if (fFile.WriteLine(line, &why))
        return;
    // The file is closed by the failed write; the store keeps everything.
    Q_EMIT RecordingChanged();
    Q_EMIT RecordingFailed(why + QStringLiteral(" Recording has stopped."));
}
