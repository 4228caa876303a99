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
    constexpr qint64 kBefore = std::numeric_limits<qint64>::min();
    fStore = &store;
    fSampleCursor = fEventCursor = kBefore;
    fSampleEnd = store.Empty() ? kBefore : store.LastMs();
    fEventEnd = store.Events().empty() ? kBefore : store.Events().back().Ms;
    fStartMs = startMs;
    fTotal = store.Count() + int(store.Events().size());
    fDone = 0;
    QString why;
    if (!fFile.Open(path, &why) || !fFile.WriteLine(Csv::Header(), &why)) {
        fFile.Close();
        fStore = nullptr;
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
    if (!fFile.IsOpen() || !fStore)
        return false;
    QElapsedTimer clock;
    clock.start();
    int lines = 0;
    for (;;) {
        const TMeasureSample* s = fStore->FirstAfter(fSampleCursor);
        const TJournalEvent* e = fStore->FirstEventAfter(fEventCursor);
        if (s && s->Ms > fSampleEnd)
            s = nullptr;
        if (e && e->Ms > fEventEnd)
            e = nullptr;
        if (!s && !e)
            break;
        // An event at the same time as a sample follows it.
        QByteArray line;
        if (s && (!e || s->Ms <= e->Ms)) {
            line = Csv::SampleLine(*s, fStartMs);
            fSampleCursor = s->Ms;
        } else {
            line = Csv::EventLine(*e, fStartMs);
            fEventCursor = e->Ms;
        }
        QString why;
        if (!fFile.WriteLine(line, &why)) {
            End(false, why + QStringLiteral(" The export has stopped."));
            return false;
        }
        ++fDone;
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
    fFile.Close();
    fStore = nullptr;
    Q_EMIT Progress(Done(), Total());
    Q_EMIT Finished(ok, message);
}
