// SPDX-License-Identifier: GPL-3.0-or-later
#include "MeasureSession.h"

#include "CsvFormat.h"

#include <QDateTime>

TMeasureSession::TMeasureSession(QObject* parent, int fullCapacity)
    : QObject(parent), fStore(fullCapacity)
{
    Clock = [] { return QDateTime::currentMSecsSinceEpoch(); };
}

TMeasureSession::~TMeasureSession()
{
    Uninstall();
}

void TMeasureSession::Install()
{
    InstallExchangeObserver(this);
    fInstalled = true;
}

void TMeasureSession::Uninstall()
{
    // Only our own installation is undone.
    if (fInstalled && ExchangeObserver() == this)
        InstallExchangeObserver(nullptr);
    fInstalled = false;
}

void TMeasureSession::PollStarted()
{
    fPoll.emplace();
    fPoll->Ms = Clock();
}

void TMeasureSession::QueryRead(const QByteArray& mnemonic, TReadOutcome outcome, double value)
{
    if (!fPoll)
        return; // a read-back's query, not a poll's
    const TReadingId id = ReadingOfMnemonic(mnemonic.constData());
    if (id == rdCount)
        return;
    static constexpr TReadingState kStates[] = {rsValue, rsTimedOut, rsEmpty, rsUnreadable,
                                                rsNotSent};
    fPoll->States[id] = kStates[outcome];
    fPoll->Values[id] = outcome == roValue ? value : 0.0;
}

void TMeasureSession::PollEnded()
{
    if (!fPoll)
        return;
    TMeasureSample sample = *fPoll;
    fPoll.reset();
    if (Limits)
        std::tie(sample.MaxCurrent, sample.ComplianceVoltage) = Limits();
    AddSample(sample);
}

void TMeasureSession::CommandExchanged(const QString& text, bool raw, const QByteArray& reply,
                                       qint64 sentMs)
{
    TJournalEvent e;
    e.Ms = sentMs ? sentMs : Clock();
    e.Kind = raw ? TJournalEvent::evTerminal : TJournalEvent::evCommand;
    e.Raw = raw;
    e.Text = text;
    e.Reply = QString::fromLatin1(reply);
    AddEvent(e);
}

void TMeasureSession::CommandRefused(const QString& text, bool raw, TRefusal why)
{
    TJournalEvent e;
    e.Ms = Clock();
    e.Kind = TJournalEvent::evRefused;
    e.Raw = raw;
    e.Text = text;
    e.Refusal = why == rfCommandsDisabled ? QStringLiteral("Command Disabled")
                                          : QStringLiteral("Comport in use");
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
