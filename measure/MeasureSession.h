// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "CsvFile.h"
#include "ExchangeObserver.h"
#include "SampleStore.h"

#include <QObject>

#include <functional>
#include <optional>

// The measurements of this run: collects a sample per completed status poll
// and a journal event per command sent or refused, keeps them in a bounded
// store and, while recording, writes each as one CSV line the moment it
// arrives. It lives as long as the main window, whether the measurements
// window is open or not; the window and the file are two listeners.
//
// As the exchange observer it is called by the transport and by the poll
// (PollStarted/PollEnded): a sample is made only by a poll that ends; the
// readings of a poll are taken by mnemonic. A failed recording write stops
// the recording (RecordingFailed with the message); the samples stay.
class TMeasureSession : public QObject, public IExchangeObserver
{
    Q_OBJECT

public:
    explicit TMeasureSession(QObject* parent = nullptr,
                             int fullCapacity = TSampleStore::kDefaultFull);
    ~TMeasureSession() override;

    // Becomes the transport's exchange observer until destroyed or Uninstall.
    void Install();
    void Uninstall();

    // Replaceable in tests and benchmarks: wall-clock ms and the set-up
    // limits (maximum current, compliance voltage) stamped on each sample.
    std::function<qint64()> Clock;
    std::function<std::pair<double, double>()> Limits;

    void PollStarted() override;
    void QueryRead(const QByteArray& mnemonic, TReadOutcome outcome, double value) override;
    void PollEnded() override;
    void CommandExchanged(const QString& text, bool raw, const QByteArray& reply,
                          qint64 sentMs) override;
    void CommandRefused(const QString& text, bool raw, TRefusal why) override;

    // Direct feeding (benchmarks, tests).
    void AddSample(const TMeasureSample& sample);
    void AddEvent(const TJournalEvent& event);

    const TSampleStore& Store() const { return fStore; }
    // Time of the session's first sample or event (the CSV's "Seconds" origin).
    qint64 StartMs() const { return fStartMs.value_or(0); }

    bool StartRecording(const QString& path, QString* error);
    void StopRecording();
    bool Recording() const { return fFile.IsOpen(); }
    QString RecordingPath() const { return fFile.Path(); }
    qint64 RecordingSize() const { return fFile.Size(); }
    const TCsvFile& RecordingFile() const { return fFile; }

Q_SIGNALS:
    void SampleAdded();
    void EventAdded();
    void RecordingChanged();
    void RecordingFailed(const QString& message);

private:
    void Record(const QByteArray& line);
    void NoteStart(qint64 ms);

    TSampleStore fStore;
    TCsvFile fFile;
    std::optional<qint64> fStartMs;
    std::optional<TMeasureSample> fPoll; // the poll under way
    bool fInstalled = false;
};
