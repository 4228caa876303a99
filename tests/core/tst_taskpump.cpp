// SPDX-License-Identifier: GPL-3.0-or-later
#include "TaskPump.h"

#include <QTest>

#include <functional>
#include <stdexcept>

namespace
{

// Records every effect of the pump as one line, in order, so a test compares
// the whole story of a pass at once.
class TRecordingHost : public ITaskPumpHost
{
public:
    QStringList events;
    bool inUse = false;
    bool taskTimer = false;
    bool statusTimer = true;
    std::function<void(const QString&)> onSend; // runs inside an exchange
    std::function<void()> onReadBack;

    bool PortInUse() const override { return inUse; }
    void SetTaskTimerActive(bool active) override { taskTimer = active; }
    void SetStatusTimerActive(bool active) override
    {
        statusTimer = active;
        events << (active ? "poll on" : "poll off");
    }
    TLineResult SendCommand(const QString& command) override
    {
        events << ";DC:" + command;
        if (onSend)
            onSend(command);
        return {lfReplied, lrNone, {}};
    }
    TLineResult SendRawLine(const QString& line) override
    {
        events << "raw:" + line;
        if (onSend)
            onSend(line);
        return {lfReplied, lrNone, {}};
    }
    void ReadBack() override
    {
        events << "read-back";
        if (onReadBack)
            onReadBack();
    }
};

struct TFixture {
    TCommandQueue queue;
    bool taskBusy = false;
    bool recallPending = false;
    bool readBackPending = false;
    bool statusBusy = false;
    bool commandsDisabled = false;
    qint32 selectedBin = 0;
    bool ending = false;
    TRecordingHost host;
    TTaskPump pump{TPumpState{queue, taskBusy, recallPending, readBackPending, statusBusy,
                              commandsDisabled, selectedBin, ending},
                   host};
};

} // namespace

class TestTaskPump : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void threeChangesGoOutInOrderOnNextTick();
    void passWaits_data();
    void passWaits();
    void queueRefusals_data();
    void queueRefusals();
    void recallFirstThenReadBackThenQueue();
    void deferredReadBackBeforeQueue();
    void eachEntryKeepsItsKind();
    void entryQueuedDuringDrainGoesInNextPass();
    void tickDuringPassDoesNothing();
    void throwingExchangeLeavesPumpRunning();
    void throwingRecallStillReadsBack();
    void recallClickDuringRecallIsAbsorbed();
    void endingStopsEverything();
};

void TestTaskPump::threeChangesGoOutInOrderOnNextTick()
{
    TFixture f;
    QVERIFY(f.pump.Queue("CS 012.50", qkSetCommand));
    QVERIFY(f.pump.Queue("RR 001000.0", qkSetCommand));
    QVERIFY(f.pump.Queue("PW 0.0000100", qkSetCommand));
    QVERIFY(f.host.taskTimer);
    QVERIFY(f.host.events.isEmpty()); // queuing never sends

    f.pump.Tick();
    QCOMPARE(f.host.events, (QStringList{";DC:CS 012.50", ";DC:RR 001000.0", ";DC:PW 0.0000100"}));
    QCOMPARE(f.queue.Count(), 0);
    QVERIFY(!f.taskBusy);
    QVERIFY(f.host.taskTimer);

    f.host.events.clear();
    f.pump.Tick();
    QVERIFY(f.host.events.isEmpty());
}

void TestTaskPump::passWaits_data()
{
    QTest::addColumn<bool>("statusBusy");
    QTest::addColumn<bool>("portInUse");
    QTest::addColumn<bool>("commandsDisabled");
    QTest::newRow("status poll running") << true << false << false;
    QTest::newRow("reply awaited further up") << false << true << false;
    QTest::newRow("read-back running") << false << false << true;
}

void TestTaskPump::passWaits()
{
    QFETCH(bool, statusBusy);
    QFETCH(bool, portInUse);
    QFETCH(bool, commandsDisabled);

    TFixture f;
    f.pump.Queue("CS 012.50", qkSetCommand);
    f.pump.Queue("SS?", qkRawLine);
    f.recallPending = true;
    f.readBackPending = true;
    f.selectedBin = 2;

    f.statusBusy = statusBusy;
    f.host.inUse = portInUse;
    f.commandsDisabled = commandsDisabled;
    f.pump.Tick();
    f.pump.Tick();
    QVERIFY(f.host.events.isEmpty());
    QCOMPARE(f.queue.Count(), 2);
    QVERIFY(f.recallPending);
    QVERIFY(f.readBackPending);
    QVERIFY(!f.taskBusy);
    QVERIFY(f.host.taskTimer);

    f.statusBusy = f.host.inUse = f.commandsDisabled = false;
    f.pump.Tick();
    QCOMPARE(f.host.events, (QStringList{"poll off", ";DC:RC 2", "read-back", "poll on",
                                         ";DC:CS 012.50", "raw:SS?"}));
    QVERIFY(!f.recallPending);
    QVERIFY(!f.readBackPending);
    QCOMPARE(f.queue.Count(), 0);
}

void TestTaskPump::queueRefusals_data()
{
    QTest::addColumn<bool>("commandsDisabled");
    QTest::addColumn<bool>("ending");
    QTest::addColumn<TQueueKind>("kind");
    QTest::newRow("set command during read-back") << true << false << qkSetCommand;
    QTest::newRow("terminal line during read-back") << true << false << qkRawLine;
    QTest::newRow("after the program ended") << false << true << qkSetCommand;
}

void TestTaskPump::queueRefusals()
{
    QFETCH(bool, commandsDisabled);
    QFETCH(bool, ending);
    QFETCH(TQueueKind, kind);

    TFixture f;
    f.commandsDisabled = commandsDisabled;
    f.ending = ending;
    QVERIFY(!f.pump.Queue("SS?", kind));
    QCOMPARE(f.queue.Count(), 0);
    QVERIFY(!f.host.taskTimer);

    // A refused line leaves nothing behind: what comes later goes out as itself.
    f.commandsDisabled = f.ending = false;
    QVERIFY(f.pump.Queue("CS 001.00", qkSetCommand));
    f.pump.Tick();
    QCOMPARE(f.host.events, QStringList{";DC:CS 001.00"});
}

void TestTaskPump::recallFirstThenReadBackThenQueue()
{
    TFixture f;
    f.selectedBin = 3;
    f.pump.Queue("CS 012.50", qkSetCommand);
    f.recallPending = true;
    // The read-back refills the controls; their handlers offer commands that
    // the queue refuses because the read-back disables commands.
    f.host.onReadBack = [&] {
        f.commandsDisabled = true;
        QVERIFY(!f.pump.Queue("CS 000.00", qkSetCommand));
        QVERIFY(f.taskBusy);
        QVERIFY(!f.host.statusTimer);
        f.commandsDisabled = false;
    };
    f.pump.Tick();
    QCOMPARE(f.host.events,
             (QStringList{"poll off", ";DC:RC 3", "read-back", "poll on", ";DC:CS 012.50"}));
    QVERIFY(!f.recallPending);
    QVERIFY(f.host.statusTimer);
}

void TestTaskPump::deferredReadBackBeforeQueue()
{
    TFixture f;
    f.pump.Queue("MC 20", qkSetCommand);
    f.readBackPending = true;
    f.pump.Tick();
    QCOMPARE(f.host.events, (QStringList{"read-back", ";DC:MC 20"}));
    QVERIFY(!f.readBackPending);
}

void TestTaskPump::eachEntryKeepsItsKind()
{
    TFixture f;
    f.pump.Queue("PE 0", qkSetCommand);
    f.pump.Queue("SS?", qkRawLine);
    f.pump.Queue("TB 1", qkSetCommand);
    f.pump.Queue("", qkRawLine);
    f.pump.Tick();
    QCOMPARE(f.host.events, (QStringList{";DC:PE 0", "raw:SS?", ";DC:TB 1", "raw:"}));
}

void TestTaskPump::entryQueuedDuringDrainGoesInNextPass()
{
    TFixture f;
    f.pump.Queue("EN 1", qkSetCommand);
    f.pump.Queue("ST 1", qkSetCommand);
    int nested = 0;
    f.host.onSend = [&](const QString&) {
        // An operator change and a timer tick inside the reply wait.
        if (nested++ == 0) {
            QVERIFY(f.pump.Queue("CS 020.00", qkSetCommand));
            f.pump.Tick();
        }
    };
    f.pump.Tick();
    QCOMPARE(f.host.events, (QStringList{";DC:EN 1", ";DC:ST 1"}));
    QCOMPARE(f.queue.Count(), 1);

    f.pump.Tick();
    QCOMPARE(f.host.events, (QStringList{";DC:EN 1", ";DC:ST 1", ";DC:CS 020.00"}));
    QCOMPARE(f.queue.Count(), 0);
}

void TestTaskPump::tickDuringPassDoesNothing()
{
    TFixture f;
    f.taskBusy = true;
    f.pump.Queue("CS 001.00", qkSetCommand);
    f.pump.Tick();
    QVERIFY(f.host.events.isEmpty());
    QCOMPARE(f.queue.Count(), 1);
}

void TestTaskPump::throwingExchangeLeavesPumpRunning()
{
    TFixture f;
    f.pump.Queue("A 1", qkSetCommand);
    f.pump.Queue("B 1", qkSetCommand);
    f.pump.Queue("C 1", qkSetCommand);
    f.host.onSend = [](const QString& text) {
        if (text == "B 1")
            throw std::runtime_error("log write failed");
    };
    QVERIFY_THROWS_EXCEPTION(std::runtime_error, f.pump.Tick());
    QVERIFY(!f.taskBusy);
    QVERIFY(f.host.taskTimer);
    QCOMPARE(f.queue.Count(), 1);

    f.host.onSend = nullptr;
    f.pump.Tick();
    QCOMPARE(f.host.events, (QStringList{";DC:A 1", ";DC:B 1", ";DC:C 1"}));
}

void TestTaskPump::throwingRecallStillReadsBack()
{
    TFixture f;
    f.selectedBin = 5;
    f.recallPending = true;
    f.pump.Queue("CS 001.00", qkSetCommand);
    f.host.onSend = [](const QString& text) {
        if (text.startsWith("RC"))
            throw std::runtime_error("log write failed");
    };
    QVERIFY_THROWS_EXCEPTION(std::runtime_error, f.pump.Tick());
    QVERIFY(!f.taskBusy);
    QVERIFY(f.host.taskTimer);
    QVERIFY(f.host.statusTimer);
    QVERIFY(!f.recallPending); // not repeated every tick
    QVERIFY(f.readBackPending);

    f.host.onSend = nullptr;
    f.host.events.clear();
    f.pump.Tick();
    QCOMPARE(f.host.events, (QStringList{"read-back", ";DC:CS 001.00"}));
}

void TestTaskPump::recallClickDuringRecallIsAbsorbed()
{
    // "Recall Bin" clicked while "RC" waits for its reply and again during
    // the read-back: one recall in all.
    TFixture f;
    f.selectedBin = 2;
    f.recallPending = true;
    f.host.onSend = [&](const QString&) { f.recallPending = true; };
    f.host.onReadBack = [&] { f.recallPending = true; };
    f.pump.Tick();
    f.pump.Tick();
    QCOMPARE(f.host.events, (QStringList{"poll off", ";DC:RC 2", "read-back", "poll on"}));
    QVERIFY(!f.recallPending);
    QVERIFY(!f.readBackPending);
}

void TestTaskPump::endingStopsEverything()
{
    TFixture f;
    f.pump.Queue("A 1", qkSetCommand);
    f.recallPending = true;
    f.host.onReadBack = [&] { f.ending = true; }; // "Exit" chosen during the read-back
    f.pump.Tick();
    QCOMPARE(f.host.events, (QStringList{"poll off", ";DC:RC 0", "read-back", "poll on"}));
    f.host.events.clear();
    f.pump.Tick();
    f.pump.ProcessTasks();
    QVERIFY(f.host.events.isEmpty());
}

QTEST_GUILESS_MAIN(TestTaskPump)
#include "tst_taskpump.moc"
