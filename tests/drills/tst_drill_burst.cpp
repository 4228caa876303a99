// SPDX-License-Identifier: GPL-3.0-or-later
// Fault drill: 10,000 setting changes in a burst while the task pump sends.
// The queue never holds more than 100 entries, the event loop keeps turning,
// and the wire shows each setting's values in the order they were made, the
// last one included (a full queue replaces the oldest entry of the same
// mnemonic).
#include "../operator/OperatorFixture.h"
#include "DrillSupport.h"

#include "CommandSet.h"
#include "plussped.h"

#include <QTextEdit>

#include <algorithm>

namespace
{
constexpr int kChanges = 10000;
const char* const kControls[] = {"ISettingAdj", "RepRateAdj", "PulseWidthAdj", "BurstCountAdj"};
const QByteArray kMnemonics[] = {"CS", "RR", "PW", "BC"};
constexpr int kKinds = 4;

// The n-th value (n from 1) given to control k: strictly rising.
double ValueOf(int k, int n)
{
    switch (k) {
    case 0:
        return n / 100.0;
    case 1:
        return double(n);
    case 2:
        return n * 1e-7;
    default:
        return double(n);
    }
}
} // namespace

class TestDrillBurst : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { PtyUnit::comDir(); }
    void tenThousandChanges_data();
    void tenThousandChanges();
};

void TestDrillBurst::tenThousandChanges_data()
{
    QTest::addColumn<int>("perEvent");
    QTest::newRow("50 changes per event") << 50;
    QTest::newRow("all in one event") << kChanges;
}

void TestDrillBurst::tenThousandChanges()
{
    QFETCH(int, perEvent);
    TOperatorFixture f(18);
    f.w->Initialize(); // the unit's maxima become the controls' limits
    QVERIFY(!appState().CommandsDisabled);
    f.unit.clearReceived();
    TPlusSpinEdit* spins[kKinds];
    for (int k = 0; k < kKinds; ++k)
        spins[k] = f.Find<TPlusSpinEdit>(kControls[k]);
    const qint64 residentBefore = ResidentKiB();

    int made = 0;
    int mostQueued = 0;
    const auto noteQueue = [&] {
        mostQueued = std::max(mostQueued, appState().CommandQueue.Count());
    };
    // A heartbeat: the longest gap between its ticks while the burst runs.
    QElapsedTimer sinceBeat;
    qint64 longestGap = 0;
    int beatsDuringBurst = 0;
    QTimer heartbeat;
    heartbeat.setInterval(2);
    connect(&heartbeat, &QTimer::timeout, &heartbeat, [&] {
        noteQueue();
        if (made > 0 && made < kChanges) {
            ++beatsDuringBurst;
            longestGap = std::max(longestGap, sinceBeat.elapsed());
        }
        sinceBeat.restart();
    });
    sinceBeat.start();
    heartbeat.start();

    // The burst arrives as events, perEvent changes each.
    QElapsedTimer burstClock;
    burstClock.start();
    QTimer burst;
    burst.setInterval(0);
    connect(&burst, &QTimer::timeout, &burst, [&] {
        for (int i = 0; i < perEvent && made < kChanges; ++i, ++made) {
            const int k = made % kKinds;
            spins[k]->AssignValue(ValueOf(k, made / kKinds + 1));
            noteQueue();
        }
        if (made >= kChanges)
            burst.stop();
    });
    burst.start();
    QTRY_VERIFY_WITH_TIMEOUT(made == kChanges, 30000);
    const qint64 burstMs = burstClock.elapsed();
    QTRY_VERIFY_WITH_TIMEOUT(appState().CommandQueue.Count() == 0 && !appState().TaskBusy, 30000);
    heartbeat.stop();
    qInfo("burst %lld ms, longest event-loop gap %lld ms, most queued %d, lines on the wire %lld",
          burstMs, longestGap, mostQueued, qint64(f.unit.lines().size()));

    QVERIFY(mostQueued <= TCommandQueue::Capacity);
    QCOMPARE(mostQueued, TCommandQueue::Capacity); // the burst did fill it
    if (perEvent < kChanges)
        QVERIFY(beatsDuringBurst > 0);
    QVERIFY2(longestGap < 2000, qPrintable(QString::number(longestGap)));

    // Per setting: values on the wire only ever rise, and the last is the
    // value the control shows.
    QList<double> sent[kKinds];
    for (const QByteArray& line : f.unit.lines()) {
        QVERIFY2(line.startsWith(";DC:"), line.constData());
        if (line.endsWith('?'))
            continue; // the status poll goes on meanwhile
        const QList<QByteArray> parts = line.mid(4).split(' ');
        QCOMPARE(parts.size(), 2);
        const int k = int(std::find(std::begin(kMnemonics), std::end(kMnemonics), parts[0]) -
                          std::begin(kMnemonics));
        QVERIFY2(k < kKinds, line.constData());
        bool ok = false;
        const double value = parts[1].toDouble(&ok);
        QVERIFY(ok);
        if (!sent[k].isEmpty())
            QVERIFY2(value > sent[k].last(), line.constData());
        sent[k] << value;
    }
    for (int k = 0; k < kKinds; ++k) {
        QVERIFY(!sent[k].isEmpty());
        const QString last = SetCommand(kMnemonics[k], spins[k]->Value());
        QCOMPARE(QString::fromLatin1(";DC:") + last, [&] {
            QString found;
            for (const QByteArray& line : f.unit.lines())
                if (line.startsWith(";DC:" + kMnemonics[k] + ' '))
                    found = QString::fromLatin1(line);
            return found;
        }());
    }
    QCOMPARE(spins[0]->Value(), ValueOf(0, kChanges / kKinds));

    // The response list keeps its bounded history; memory stays in bounds.
    QVERIFY(f.Find<QTextEdit>("ResponseList")->document()->blockCount() <= 10000);
    if (ResidentMemoryIsMeaningful)
        QVERIFY2(ResidentKiB() - residentBefore < 32 * 1024,
                 qPrintable(QString::number(ResidentKiB() - residentBefore)));
    QVERIFY(f.prompts.shown().isEmpty());
}

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    TestDrillBurst test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_drill_burst.moc"
