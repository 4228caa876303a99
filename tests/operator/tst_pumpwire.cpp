// The task pump over the real transport and a scripted unit on a
// pseudo-terminal: what the operator queues is checked byte for byte on the
// wire, with the reply waits dispatching timer ticks and operator actions.
#include "AppState.h"
#include "Communication.h"
#include "KxComPort.h"
#include "PtyUnit.h"
#include "PumpLink.h"
#include "RecordingEcho.h"
#include "ScriptedPrompts.h"

#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <fcntl.h>
#include <memory>
#include <unistd.h>

class TestPumpWire : public QObject
{
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> dir;
    std::unique_ptr<PtyUnit> unit;
    std::unique_ptr<TKxComPort> port;
    std::unique_ptr<ScriptedPrompts> prompts;
    std::unique_ptr<QTimer> taskTimer;
    std::unique_ptr<TTransportPumpHost> host;
    std::unique_ptr<TTaskPump> pump;
    RecordingEcho echo;
    QString oldCwd;
    bool ending = false;
    // The window keeps this flag; here the fixture does.
    bool readBackPending = false;
    int passes = 0;

    TPumpState StateOf(AppState& s)
    {
        return {s.CommandQueue, s.TaskBusy,         s.RecallPending, readBackPending,
                s.StatusBusy,   s.CommandsDisabled, s.SelectedBin,   ending};
    }
    bool Queue(const QString& text, TQueueKind kind = qkSetCommand)
    {
        return pump->Queue(text, kind);
    }

private Q_SLOTS:
    void initTestCase()
    {
        PtyUnit::comDir();
        oldCwd = QDir::currentPath();
    }

    void init()
    {
        appState().Reset();
        dir = std::make_unique<QTemporaryDir>();
        QDir::setCurrent(dir->path());
        unit = std::make_unique<PtyUnit>(7);
        unit->onAnyLine([](const QByteArray&) { return PtyReply::Now("OK\r"); });
        prompts = std::make_unique<ScriptedPrompts>();
        port = std::make_unique<TKxComPort>();
        port->SetPort(7);
        port->SetEndOfResponse("\r");
        port->SetResponseTime(2000);
        port->SetShowErrors(false);
        port->Open();
        port->SetAllowEvents(true);
        echo = RecordingEcho();
        BindCommunication({port.get(), &echo, nullptr});

        taskTimer = std::make_unique<QTimer>();
        taskTimer->setInterval(5);
        host = std::make_unique<TTransportPumpHost>();
        host->TaskTimer = [this](bool on) {
            if (on)
                taskTimer->start();
            else
                taskTimer->stop();
        };
        ending = false;
        readBackPending = false;
        passes = 0;
        pump = std::make_unique<TTaskPump>(StateOf(appState()), *host);
        connect(taskTimer.get(), &QTimer::timeout, this, [this] {
            if (!appState().TaskBusy)
                ++passes;
            pump->Tick();
        });
        taskTimer->start();
    }

    void cleanup()
    {
        QVERIFY(prompts->unexpected().isEmpty());
        taskTimer.reset();
        pump.reset();
        host.reset();
        UnbindCommunication();
        appState().Reset();
        port.reset();
        prompts.reset();
        unit.reset();
        QDir::setCurrent(oldCwd);
        dir.reset();
    }

    void threeChangesGoOutInOrder()
    {
        QVERIFY(Queue("CS 012.50"));
        QVERIFY(Queue("RR 001000.0"));
        QVERIFY(Queue("PW 0.0000100"));
        QTRY_VERIFY_WITH_TIMEOUT(unit->lines().size() >= 3, 5000);
        QTRY_COMPARE(appState().CommandQueue.Count(), 0);
        QCOMPARE(unit->received(),
                 QByteArray(";DC:CS 012.50\r\n;DC:RR 001000.0\r\n;DC:PW 0.0000100\r\n"));
        QTRY_VERIFY(!appState().TaskBusy);
    }

    void queuedTextsWaitForThePoll()
    {
        // A poll is under way: its SS query waits 150 ms for the reply while
        // the task timer keeps ticking and the operator changes a control.
        unit->clearRules();
        unit->onLine(";DC:SS?", PtyReply::After(150, "5\r"));
        unit->onAnyLine([](const QByteArray&) { return PtyReply::Now("OK\r"); });
        appState().StatusBusy = true;
        QTimer::singleShot(20, this, [this] { QVERIFY(Queue("CS 001.00")); });
        QCOMPARE(QueryInteger("SS"), 5);
        QCOMPARE(unit->lines(), QList<QByteArray>{";DC:SS?"});
        QTest::qWait(30); // ticks while the poll still holds the link
        QCOMPARE(unit->lines(), QList<QByteArray>{";DC:SS?"});
        appState().StatusBusy = false;
        QTRY_VERIFY_WITH_TIMEOUT(unit->lines().size() >= 2, 5000);
        QCOMPARE(unit->received(), QByteArray(";DC:SS?\r\n;DC:CS 001.00\r\n"));
    }

    void recallGoesFirstThenReadBackThenQueue()
    {
        appState().SelectedBin = 3;
        bool statusTimerOn = true;
        host->StatusTimer = [&](bool on) { statusTimerOn = on; };
        host->ReadBackNow = [&] {
            // A short stand-in for the window's read-back: its controls offer
            // commands that must not be sent back.
            QVERIFY(!statusTimerOn);
            appState().CommandsDisabled = true;
            QueryInteger("CFG");
            QVERIFY(!Queue("CS 000.00"));
            QueryFloat("CS");
            appState().CommandsDisabled = false;
        };
        taskTimer->stop();
        QVERIFY(Queue("CS 012.50"));
        appState().RecallPending = true;
        QTRY_VERIFY_WITH_TIMEOUT(unit->lines().size() >= 4, 5000);
        QCOMPARE(unit->received(),
                 QByteArray(";DC:RC 3\r\n;DC:CFG?\r\n;DC:CS?\r\n;DC:CS 012.50\r\n"));
        QVERIFY(statusTimerOn);
        QTRY_VERIFY(!appState().RecallPending && !appState().TaskBusy);
    }

    void eachEntryGoesOutAsItsKind()
    {
        taskTimer->stop();
        QVERIFY(Queue("SS?", qkRawLine));
        QVERIFY(Queue("TB 1"));
        QVERIFY(Queue("", qkRawLine));
        QTRY_VERIFY_WITH_TIMEOUT(unit->lines().size() >= 3, 5000);
        QCOMPARE(unit->received(), QByteArray("SS?\r\n;DC:TB 1\r\n\r\n"));
        QTRY_COMPARE(echo.lines().size(), 6);
        QVERIFY(echo.lines()[0].text.endsWith(") SS?"));
        QVERIFY(echo.lines()[2].text.endsWith(") ;DC:TB 1"));
    }

    void entryQueuedDuringDrainGoesInNextPass()
    {
        unit->clearRules();
        unit->onLine(";DC:EN 1", PtyReply::After(100, "OK\r"));
        unit->onAnyLine([](const QByteArray&) { return PtyReply::Now("OK\r"); });
        int passOfStart = -1;
        QTimer::singleShot(30, this, [&] {
            QVERIFY(appState().TaskBusy); // inside the EN 1 exchange
            passOfStart = passes;
            QVERIFY(Queue("ST 1"));
        });
        QVERIFY(Queue("EN 1"));
        QTRY_VERIFY_WITH_TIMEOUT(unit->lines().size() >= 2, 5000);
        QCOMPARE(unit->received(), QByteArray(";DC:EN 1\r\n;DC:ST 1\r\n"));
        QVERIFY(passes > passOfStart); // sent by a later pass
        QTRY_COMPARE(appState().CommandQueue.Count(), 0);
    }

    void hundredFirstEntryIsDropped()
    {
        taskTimer->stop();
        for (int i = 0; i < TCommandQueue::Capacity; ++i)
            QVERIFY(Queue(QStringLiteral("X%1 %1").arg(i)));
        QVERIFY(!Queue("Y 1"));
        QVERIFY(!Queue("SS?", qkRawLine));
        QCOMPARE(appState().CommandQueue.Count(), 100);
        QTRY_VERIFY_WITH_TIMEOUT(unit->lines().size() >= 100, 5000);
        QTRY_VERIFY(!appState().TaskBusy);
        const QList<QByteArray> lines = unit->lines();
        QCOMPARE(lines.size(), 100);
        QCOMPARE(lines.first(), QByteArray(";DC:X0 0"));
        QCOMPARE(lines.last(), QByteArray(";DC:X99 99"));
    }

    void failingLogLeavesPumpRunning()
    {
        appState().LogFile.Bind("log.txt");
        ToggleLoggingState(appState());
        QVERIFY(appState().LoggingEnabled);
        const int full = ::open("/dev/full", O_WRONLY | O_CLOEXEC);
        QVERIFY(full >= 0);
        QVERIFY(::dup2(full, appState().LogFile.Handle()) >= 0);
        ::close(full);

        QVERIFY(Queue("CS 001.00"));
        QVERIFY(Queue("CS 002.00"));
        QTRY_VERIFY_WITH_TIMEOUT(unit->lines().size() >= 2, 5000);
        QTRY_VERIFY(!appState().TaskBusy);
        QVERIFY(taskTimer->isActive());
        QVERIFY(!appState().LoggingEnabled);
        QCOMPARE(prompts->textsOf(ScriptedPrompts::Kind::Warning),
                 QStringList{LogFailureMessage()});
        QCOMPARE(unit->received(), QByteArray(";DC:CS 001.00\r\n;DC:CS 002.00\r\n"));

        // And the next change still goes out.
        QVERIFY(Queue("CS 003.00"));
        QTRY_VERIFY_WITH_TIMEOUT(unit->lines().size() >= 3, 5000);
    }
};

QTEST_GUILESS_MAIN(TestPumpWire)
#include "tst_pumpwire.moc"
