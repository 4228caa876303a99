// SPDX-License-Identifier: GPL-3.0-or-later
// The task pump over the real transport and a scripted unit on a
// pseudo-terminal: what the operator queues is checked byte for byte on the
// wire, with the reply waits dispatching timer ticks and operator actions.
#include "AppState.h"
#include "Communication.h"
#include "LinkFixture.h"

#include <QTimer>
#include <QtTest>

#include <memory>

class TestPumpWire : public QObject
{
    Q_OBJECT

    std::unique_ptr<TLinkFixture> f;
    std::unique_ptr<TPumpRig> rig;

    bool Queue(const QString& text, TQueueKind kind = qkSetCommand)
    {
        return rig->Queue(text, kind);
    }

private Q_SLOTS:
    void initTestCase() { PtyUnit::comDir(); }

    void init()
    {
        f = std::make_unique<TLinkFixture>(7, 2000);
        f->unit.onAnyLine([](const QByteArray&) { return PtyReply::Now("OK\r"); });
        f->port.Open();
        f->port.SetAllowEvents(true);
        rig = std::make_unique<TPumpRig>();
    }

    void cleanup()
    {
        QVERIFY(f->prompts.unexpected().isEmpty());
        rig.reset();
        f.reset();
    }

    void threeChangesGoOutInOrder()
    {
        QVERIFY(Queue("CS 012.50"));
        QVERIFY(Queue("RR 001000.0"));
        QVERIFY(Queue("PW 0.0000100"));
        QTRY_VERIFY_WITH_TIMEOUT(f->unit.lines().size() >= 3, 5000);
        QTRY_COMPARE(appState().CommandQueue.Count(), 0);
        QCOMPARE(f->unit.received(),
                 QByteArray(";DC:CS 012.50\r\n;DC:RR 001000.0\r\n;DC:PW 0.0000100\r\n"));
        QTRY_VERIFY(!appState().TaskBusy);
    }

    void queuedTextsWaitForThePoll()
    {
        // A poll is under way: its SS query waits 150 ms for the reply while
        // the task timer keeps ticking and the operator changes a control.
        f->unit.clearRules();
        f->unit.onLine(";DC:SS?", PtyReply::After(150, "5\r"));
        f->unit.onAnyLine([](const QByteArray&) { return PtyReply::Now("OK\r"); });
        appState().StatusBusy = true;
        QTimer::singleShot(20, this, [this] { QVERIFY(Queue("CS 001.00")); });
        QCOMPARE(QueryInteger("SS"), 5);
        QCOMPARE(f->unit.lines(), QList<QByteArray>{";DC:SS?"});
        QTest::qWait(30); // ticks while the poll still holds the link
        QCOMPARE(f->unit.lines(), QList<QByteArray>{";DC:SS?"});
        appState().StatusBusy = false;
        QTRY_VERIFY_WITH_TIMEOUT(f->unit.lines().size() >= 2, 5000);
        QCOMPARE(f->unit.received(), QByteArray(";DC:SS?\r\n;DC:CS 001.00\r\n"));
    }

    void recallGoesFirstThenReadBackThenQueue()
    {
        appState().SelectedBin = 3;
        bool statusTimerOn = true;
        rig->host.StatusTimer = [&](bool on) { statusTimerOn = on; };
        rig->host.ReadBackNow = [&] {
            // A short stand-in for the window's read-back: its controls offer
            // commands that must not be sent back.
            QVERIFY(!statusTimerOn);
            appState().CommandsDisabled = true;
            QueryInteger("CFG");
            QVERIFY(!Queue("CS 000.00"));
            QueryFloat("CS");
            appState().CommandsDisabled = false;
        };
        rig->taskTimer.stop();
        QVERIFY(Queue("CS 012.50"));
        appState().RecallPending = true;
        QTRY_VERIFY_WITH_TIMEOUT(f->unit.lines().size() >= 4, 5000);
        QCOMPARE(f->unit.received(),
                 QByteArray(";DC:RC 3\r\n;DC:CFG?\r\n;DC:CS?\r\n;DC:CS 012.50\r\n"));
        QVERIFY(statusTimerOn);
        QTRY_VERIFY(!appState().RecallPending && !appState().TaskBusy);
    }

    void eachEntryGoesOutAsItsKind()
    {
        rig->taskTimer.stop();
        QVERIFY(Queue("SS?", qkRawLine));
        QVERIFY(Queue("TB 1"));
        QVERIFY(Queue("", qkRawLine));
        QTRY_VERIFY_WITH_TIMEOUT(f->unit.lines().size() >= 3, 5000);
        QCOMPARE(f->unit.received(), QByteArray("SS?\r\n;DC:TB 1\r\n\r\n"));
        QTRY_COMPARE(f->echo.lines().size(), 6);
        QVERIFY(f->echo.lines()[0].text.endsWith(") SS?"));
        QVERIFY(f->echo.lines()[2].text.endsWith(") ;DC:TB 1"));
    }

    void entryQueuedDuringDrainGoesInNextPass()
    {
        f->unit.clearRules();
        f->unit.onLine(";DC:EN 1", PtyReply::After(100, "OK\r"));
        f->unit.onAnyLine([](const QByteArray&) { return PtyReply::Now("OK\r"); });
        int passOfStart = -1;
        QTimer::singleShot(30, this, [&] {
            QVERIFY(appState().TaskBusy); // inside the EN 1 exchange
            passOfStart = rig->passes;
            QVERIFY(Queue("ST 1"));
        });
        QVERIFY(Queue("EN 1"));
        QTRY_VERIFY_WITH_TIMEOUT(f->unit.lines().size() >= 2, 5000);
        QCOMPARE(f->unit.received(), QByteArray(";DC:EN 1\r\n;DC:ST 1\r\n"));
        QVERIFY(rig->passes > passOfStart); // sent by a later pass
        QTRY_COMPARE(appState().CommandQueue.Count(), 0);
    }

    void hundredFirstEntryIsDropped()
    {
        rig->taskTimer.stop();
        for (int i = 0; i < TCommandQueue::Capacity; ++i)
            QVERIFY(Queue(QStringLiteral("X%1 %1").arg(i)));
        QVERIFY(!Queue("Y 1"));
        QVERIFY(!Queue("SS?", qkRawLine));
        QCOMPARE(appState().CommandQueue.Count(), 100);
        QTRY_VERIFY_WITH_TIMEOUT(f->unit.lines().size() >= 100, 5000);
        QTRY_VERIFY(!appState().TaskBusy);
        const QList<QByteArray> lines = f->unit.lines();
        QCOMPARE(lines.size(), 100);
        QCOMPARE(lines.first(), QByteArray(";DC:X0 0"));
        QCOMPARE(lines.last(), QByteArray(";DC:X99 99"));
    }

    void failingLogLeavesPumpRunning()
    {
        QVERIFY(f->StartLog());
        QVERIFY(f->BreakLog());

        QVERIFY(Queue("CS 001.00"));
        QVERIFY(Queue("CS 002.00"));
        QTRY_VERIFY_WITH_TIMEOUT(f->unit.lines().size() >= 2, 5000);
        QTRY_VERIFY(!appState().TaskBusy);
        QVERIFY(rig->taskTimer.isActive());
        QVERIFY(!appState().LoggingEnabled);
        QCOMPARE(f->prompts.textsOf(ScriptedPrompts::Kind::Warning),
                 QStringList{LogFailureMessage()});
        QCOMPARE(f->unit.received(), QByteArray(";DC:CS 001.00\r\n;DC:CS 002.00\r\n"));

        // And the next change still goes out.
        QVERIFY(Queue("CS 003.00"));
        QTRY_VERIFY_WITH_TIMEOUT(f->unit.lines().size() >= 3, 5000);
    }
};

QTEST_GUILESS_MAIN(TestPumpWire)
#include "tst_pumpwire.moc"
