// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "CsvFile.h"
#include "ExchangeListeners.h"
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
// The status poll hands each completed poll over as a sample (AddSample);
// as an exchange listener (Listen) it journals every set command and terminal
// line the transport sends or refuses. A failed recording write stops the
// recording (RecordingFailed with the message); the samples stay.
class TMeasureSession : public QObject, public IExchangeListener
{
    Q_OBJECT

public:
    explicit TMeasureSession(QObject* parent = nullptr,
                             int fullCapacity = TSampleStore::kDefaultFull);
    ~TMeasureSession() override;

    // Listens to the transport's exchanges until destroyed or Unlisten.
    void Listen();
    void Unlisten();

    // Wall-clock ms, the time stamp of samples and events; replaceable in
    // tests and benchmarks.
    std::function<qint64()> Clock;

    void Exchanged(const TExchangeRecord& record) override;

    // A completed poll (the status poll), or direct feeding (benchmarks, tests).
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
    std::optional<TExchangeListening> fListening;
};
