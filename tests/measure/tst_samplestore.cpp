// SPDX-License-Identifier: GPL-3.0-or-later
// The bounded store: full samples kept, older ones thinned without losing
// peaks or status bits, memory bounded over any length of session.
#include "SampleStore.h"

#include <QtTest>

namespace
{
TMeasureSample Sample(qint64 ms, double current, qint32 status = 0)
{
    TMeasureSample s;
    s.Ms = ms;
    s.Values[rdCurrent] = current;
    s.States[rdCurrent] = rsValue;
    s.Values[rdStatusWord] = status;
    s.States[rdStatusWord] = rsValue;
    return s;
}
} // namespace

class TestSampleStore : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void keepsEverySampleUpToCapacity()
    {
        TSampleStore store(100);
        for (int i = 0; i < 100; ++i)
            store.Append(Sample(i * 1000, i));
        QCOMPARE(int(store.Full().size()), 100);
        QVERIFY(store.Archive().empty());
        QCOMPARE(store.FirstMs(), 0);
        QCOMPARE(store.LastMs(), 99000);
        QCOMPARE(store.Newest()->Values[rdCurrent], 99.0);
    }

    void defaultHoldsADayAtOneHertz()
    {
        TSampleStore store;
        for (int i = 0; i < 24 * 3600; ++i)
            store.Append(Sample(qint64(i) * 1000, 1));
        QCOMPARE(int(store.Full().size()), 24 * 3600);
        QVERIFY(store.Archive().empty());
        store.Append(Sample(qint64(24 * 3600) * 1000, 1));
        QCOMPARE(int(store.Full().size()), 24 * 3600);
        QCOMPARE(int(store.Archive().size()), 1);
    }

    // A one-second fault and a one-second current spike an hour before the
    // full window still show in the thinned archive.
    void thinningKeepsPeaksAndStatusBits()
    {
        TSampleStore store(60);
        const qint64 base = 1'700'000'000'000;
        for (int i = 0; i < 600; ++i) {
            const qint32 status = i == 95 ? 0x8 : 0x1;
            store.Append(Sample(base + i * 1000, i == 130 ? 50.0 : 2.0, status));
        }
        QCOMPARE(int(store.Full().size()), 60);
        QVERIFY(!store.Archive().empty());
        QVERIFY(int(store.Archive().size()) <= 11);
        bool fault = false;
        double peak = 0;
        for (const TMeasureSample& s : store.Archive()) {
            fault = fault || s.StatusBit(3);
            peak = std::max(peak, s.Values[rdCurrent]);
            QVERIFY(s.StatusBit(0));
        }
        QVERIFY(fault);
        QCOMPARE(peak, 50.0);
    }

    // An unreadable reading never overwrites a real one when merged, and a
    // step where nothing was read stays unread.
    void thinningKeepsUnreadAsUnread()
    {
        TSampleStore store(1);
        TMeasureSample silent;
        silent.Ms = 0;
        silent.States[rdCurrent] = rsTimedOut;
        store.Append(silent);
        store.Append(Sample(1000, 3.0));
        silent.Ms = 2000;
        store.Append(silent);
        store.Append(silent); // pushes the rest out
        QCOMPARE(int(store.Archive().size()), 1);
        QVERIFY(store.Archive().front().Has(rdCurrent));
        QCOMPARE(store.Archive().front().Values[rdCurrent], 3.0);

        TSampleStore quiet(1);
        silent.Ms = 0;
        quiet.Append(silent);
        silent.Ms = 1000;
        quiet.Append(silent);
        QCOMPARE(int(quiet.Archive().size()), 1);
        QVERIFY(!quiet.Archive().front().Has(rdCurrent));
    }

    // Months at 1 Hz through a small store: the archive never outgrows its
    // capacity and still spans the whole session.
    void memoryIsBoundedOverAnyLength()
    {
        TSampleStore store(100, 50, 10);
        const qint64 n = 200'000;
        for (qint64 i = 0; i < n; ++i)
            store.Append(Sample(i * 1000, 1));
        QCOMPARE(int(store.Full().size()), 100);
        QVERIFY(int(store.Archive().size()) <= 50);
        QVERIFY(store.ArchiveStepMs() > TSampleStore::kFirstStepMs);
        QVERIFY(store.FirstMs() < 10 * 60 * 1000);
        QCOMPARE(store.LastMs(), (n - 1) * 1000);
        for (int i = 0; i < 25; ++i)
            store.AppendEvent({i, TJournalEvent::evCommand, false, QString::number(i), {}, {}});
        QCOMPARE(int(store.Events().size()), 10);
        QCOMPARE(store.Events().front().Text, QStringLiteral("15"));
    }

    void rangeAndNearest()
    {
        TSampleStore store(5);
        for (int i = 0; i < 10; ++i)
            store.Append(Sample(i * 1000, i));
        QList<qint64> seen;
        store.ForEach(6000, 8000, [&](const TMeasureSample& s) { seen << s.Ms; });
        QCOMPARE(seen, (QList<qint64>{6000, 7000, 8000}));
        QCOMPARE(store.Nearest(7400)->Ms, 7000);
        QCOMPARE(store.Nearest(7600)->Ms, 8000);
        QCOMPARE(store.Nearest(99999)->Ms, 9000);
        QVERIFY(TSampleStore().Nearest(0) == nullptr);
    }
};

QTEST_GUILESS_MAIN(TestSampleStore)
#include "tst_samplestore.moc"
