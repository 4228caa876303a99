// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "CsvFile.h"
#include "MeasureSample.h"

#include <QObject>
#include <QTimer>

#include <limits>

class TSampleStore;

// Writes everything a store holds (thinned archive, full samples and events,
// merged by time) to a CSV file, a slice at a time from the event loop so a
// long session never holds up a status poll or a queued command: each slice
// stops after SliceBudgetMs. The export walks the store by time (nothing is
// copied), up to the newest sample and event at its start; what arrives
// later is not part of it. The store must outlive the export.
// Finished(ok, message) ends it.
class TCsvExport : public QObject
{
    Q_OBJECT

public:
    explicit TCsvExport(QObject* parent = nullptr);

    static constexpr int kSliceBudgetMs = 4;

    // False (with the message) when the file cannot be created.
    bool Start(const QString& path, const TSampleStore& store, qint64 startMs, QString* error);
    bool Running() const { return fTimer.isActive(); }
    int Total() const { return fTotal; }
    int Done() const { return fDone; }
    QString Path() const { return fFile.Path(); }
    // Writes everything left at once (tests).
    void Finish();

Q_SIGNALS:
    void Finished(bool ok, const QString& message);
    void Progress(int done, int total);

private:
    // One slice; false when the export has ended.
    bool Slice(int budgetMs);
    void End(bool ok, const QString& message);

    QTimer fTimer;
    TCsvFile fFile;
    const TSampleStore* fStore = nullptr;
    qint64 fSampleCursor = 0; // time of the last sample written
    qint64 fEventCursor = 0;
    qint64 fSampleEnd = 0; // newest at the start
    qint64 fEventEnd = 0;
    qint64 fStartMs = 0;
    int fTotal = 0;
    int fDone = 0;
};
