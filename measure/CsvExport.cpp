// SPDX-License-Identifier: GPL-3.0-or-later
#include "CsvExport.h"

#include "CsvFormat.h"
#include "SampleStore.h"

#include <QElapsedTimer>

TCsvExport::TCsvExport(QObject* parent) : QObject(parent)
{
    fTimer.setInterval(0);
    connect(&fTimer, &QTimer::timeout, this, [this] { Slice(kSliceBudgetMs); });
}

bool TCsvExport::Start(const QString& path, const TSampleStore& store, qint64 startMs,
                       QString* error)
{
    fTimer.stop();
    fSamples.assign(store.Archive().begin(), store.Archive().end());
    fSamples.insert(fSamples.end(), store.Full().begin(), store.Full().end());
    fEvents.assign(store.Events().begin(), store.Events().end());
    fNextSample = fNextEvent = 0;
    fStartMs = startMs;
    QString why;
    if (!fFile.Open(path, &why) || !fFile.WriteLine(Csv::Header(), &why)) {
        fFile.Close();
        fSamples.clear();
        fEvents.clear();
        if (error)
            *error = why;
        return false;
    }
    fTimer.start();
    return true;
}

void TCsvExport::Finish()
{
    while (Slice(1 << 30)) {
    }
}

bool TCsvExport::Slice(int budgetMs)
{
    if (!fFile.IsOpen())
        return false;
    QElapsedTimer clock;
    clock.start();
    int lines = 0;
    while (fNextSample < fSamples.size() || fNextEvent < fEvents.size()) {
        // An event at the same time as a sample follows it.
        const bool sampleFirst =
            fNextEvent >= fEvents.size() ||
            (fNextSample < fSamples.size() && fSamples[fNextSample].Ms <= fEvents[fNextEvent].Ms);
        const QByteArray line = sampleFirst ? Csv::SampleLine(fSamples[fNextSample++], fStartMs)
                                            : Csv::EventLine(fEvents[fNextEvent++], fStartMs);
        QString why;
        if (!fFile.WriteLine(line, &why)) {
            End(false, why + QStringLiteral(" The export has stopped."));
            return false;
        }
        // The clock is read every few lines only; a line costs microseconds.
        if (++lines % 64 == 0 && clock.elapsed() >= budgetMs) {
            Q_EMIT Progress(Done(), Total());
            return true;
        }
    }
    End(true, QString());
    return false;
}

void TCsvExport::End(bool ok, const QString& message)
{
    fTimer.stop();
    const int total = Total();
    fFile.Close();
    fSamples.clear();
    fEvents.clear();
    Q_EMIT Progress(total, total);
    Q_EMIT Finished(ok, message);
}
