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
    bool pollDue = false;
    // Lines whose exchange times out; every other one is answered "re:" + text.
    QStringList timeOut;
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
        return Result(command);
    }
    TLineResult SendRawLine(const QString& line) override
    {
        events << "raw:" + line;
        if (onSend)
            onSend(line);
        return Result(line);
    }
    bool PollDue() const override { return pollDue; }
    TLineResult Result(const QString& text) const
    {
        if (timeOut.contains(text))
            return {lfTimedOut, lrNone, {}};
        return {lfReplied, lrNone, "re:" + text.toLatin1()};
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

// What each submitter heard, one line per answer: "<text>: <reply>",
// "<text>: timed out" or "<text>: refused <n>".
struct TAnswers {
    QStringList heard;
    TLineDone For(const QString& text)
    {
        return [this, text](const TLineResult& r) {
            if (r.Fate == lfReplied)
                heard << text + ": " + QString::fromLatin1(r.Reply);
            else if (r.Fate == lfTimedOut)
                heard << text + ": timed out";
            else
                heard << text + QStringLiteral(": refused %1").arg(int(r.Refusal));
        };
    }
};

TLineRequest Line(const QString& text, TOrigin origin = orControl, int client = 0,
                  TQueueKind kind = qkSetCommand)
{
    TLineRequest r;
    r.Text = text;
    r.Kind = kind;
    r.Origin.Origin = origin;
    r.Origin.Client = client;
    return r;
}

TLineRequest Client(int client, const QString& text)
{
    return Line(text, orRemote, client, qkRawLine);
}

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

    // The line submitter and the remote lanes.
    void everySubmitterHearsOnce();
    void replacedAndDroppedLinesAreTold();
    void operatorFirstThenLanesInTurn();
    void operatorLineArrivingMidRoundGoesNext();
    void laneIsBoundedApartFromOperatorQueue();
    void lanesWaitForReadBackRecallAndPoll();
    void closedLaneRefusesItsWaitingLines();
    void gateKeepsALineOffTheWire();
    void throwingExchangeIsToldFailed();
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

void TestTaskPump::everySubmitterHearsOnce()
{
    TFixture f;
    TAnswers a;
    QVERIFY(f.pump.Submit(Line("CS 012.50"), a.For("CS")));
    QVERIFY(f.pump.Submit(Line("SS?", orTerminal, 0, qkRawLine), a.For("SS?")));
    QVERIFY(f.pump.Submit(Line("PW 0.0000100"), a.For("PW")));
    f.host.timeOut << "PW 0.0000100";
    QVERIFY(a.heard.isEmpty()); // nothing is told before the exchange

    f.commandsDisabled = true;
    QVERIFY(!f.pump.Submit(Line("RR 000010.0"), a.For("RR")));
    QCOMPARE(a.heard, QStringList{QStringLiteral("RR: refused %1").arg(lrCommandsDisabled)});
    f.commandsDisabled = false;

    f.pump.Tick();
    f.pump.Tick();
    QCOMPARE(a.heard, (QStringList{QStringLiteral("RR: refused %1").arg(lrCommandsDisabled),
                                   "CS: re:CS 012.50", "SS?: re:SS?", "PW: timed out"}));
    QCOMPARE(f.host.events, (QStringList{";DC:CS 012.50", "raw:SS?", ";DC:PW 0.0000100"}));

    f.ending = true;
    QVERIFY(!f.pump.Submit(Line("ST 0"), a.For("ST")));
    QCOMPARE(a.heard.last(), QStringLiteral("ST: refused %1").arg(lrEnding));
}

void TestTaskPump::replacedAndDroppedLinesAreTold()
{
    TFixture f;
    TAnswers a;
    QVERIFY(f.pump.Submit(Line("CS 001.00"), a.For("CS 1")));
    for (int i = 1; i < TCommandQueue::Capacity; ++i)
        QVERIFY(f.pump.Queue(QStringLiteral("X%1 %1").arg(i), qkSetCommand));
    // Full: the newer current takes the older one's place, which hears so.
    QVERIFY(f.pump.Submit(Line("CS 002.00"), a.For("CS 2")));
    QCOMPARE(a.heard, QStringList{QStringLiteral("CS 1: refused %1").arg(lrReplaced)});
    // Nothing to replace: refused at once.
    QVERIFY(!f.pump.Submit(Line("XY?", orTerminal, 0, qkRawLine), a.For("XY?")));
    QCOMPARE(a.heard.last(), QStringLiteral("XY?: refused %1").arg(lrQueueFull));
    QCOMPARE(f.queue.Count(), TCommandQueue::Capacity);

    f.pump.Tick();
    QCOMPARE(a.heard.last(), QStringLiteral("CS 2: re:CS 002.00"));
    QCOMPARE(a.heard.size(), 3);
}

void TestTaskPump::operatorFirstThenLanesInTurn()
{
    TFixture f;
    TAnswers a;
    QVERIFY(f.pump.OpenLane(7, 16));
    QVERIFY(f.pump.OpenLane(3, 16));
    QVERIFY(!f.pump.OpenLane(3, 16));
    for (const char* line : {"A1?", "A2?", "A3?"})
        QVERIFY(f.pump.Submit(Client(7, line), a.For(line)));
    QVERIFY(f.pump.Submit(Client(3, "B1?"), a.For("B1?")));
    QVERIFY(f.pump.Queue("CS 001.00", qkSetCommand));
    QCOMPARE(f.pump.LaneCount(7), 3);
    QCOMPARE(f.pump.LaneCount(9), -1);

    f.pump.Tick();
    // One line of each client in turn (by number, 3 before 7), round after round.
    QCOMPARE(f.host.events,
             (QStringList{";DC:CS 001.00", "raw:B1?", "raw:A1?", "raw:A2?", "raw:A3?"}));
    QCOMPARE(a.heard, (QStringList{"B1?: re:B1?", "A1?: re:A1?", "A2?: re:A2?", "A3?: re:A3?"}));
    QCOMPARE(f.pump.LaneCount(7), 0);

    // The next pass goes on after the client served last.
    f.host.events.clear();
    QVERIFY(f.pump.Submit(Client(7, "A4?"), a.For("A4?")));
    QVERIFY(f.pump.Submit(Client(3, "B2?"), a.For("B2?")));
    f.pump.Tick();
    QCOMPARE(f.host.events, (QStringList{"raw:B2?", "raw:A4?"}));
}

void TestTaskPump::operatorLineArrivingMidRoundGoesNext()
{
    TFixture f;
    TAnswers a;
    f.pump.OpenLane(1, 16);
    f.pump.OpenLane(2, 16);
    f.pump.Submit(Client(1, "A1?"), a.For("A1?"));
    f.pump.Submit(Client(1, "A2?"), a.For("A2?"));
    f.pump.Submit(Client(2, "B1?"), a.For("B1?"));
    // The operator changes a control while A1's reply is awaited.
    f.host.onSend = [&](const QString& text) {
        if (text == "A1?")
            QVERIFY(f.pump.Queue("CS 003.00", qkSetCommand));
    };
    f.pump.Tick();
    QCOMPARE(f.host.events, (QStringList{"raw:A1?", ";DC:CS 003.00", "raw:B1?", "raw:A2?"}));
}

void TestTaskPump::laneIsBoundedApartFromOperatorQueue()
{
    TFixture f;
    TAnswers a;
    f.pump.OpenLane(4, 2);
    QVERIFY(f.pump.Submit(Client(4, "A1?"), a.For("A1?")));
    QVERIFY(f.pump.Submit(Client(4, "A2?"), a.For("A2?")));
    QVERIFY(!f.pump.Submit(Client(4, "A3?"), a.For("A3?")));
    QCOMPARE(a.heard, QStringList{QStringLiteral("A3?: refused %1").arg(lrQueueFull)});
    // A full lane takes nothing from the operator, and a full operator queue
    // nothing from the lane.
    for (int i = 0; i < TCommandQueue::Capacity; ++i)
        QVERIFY(f.pump.Queue(QStringLiteral("X%1 %1").arg(i), qkSetCommand));
    QVERIFY(!f.pump.Queue("SS?", qkRawLine));
    f.pump.Tick();
    QCOMPARE(f.host.events.size(), TCommandQueue::Capacity + 2);
    QCOMPARE(f.host.events.mid(TCommandQueue::Capacity), (QStringList{"raw:A1?", "raw:A2?"}));
    QVERIFY(f.pump.Submit(Client(4, "A3?"), a.For("A3?")));
    // An unknown client has no lane: nothing queued anywhere.
    QVERIFY(!f.pump.Submit(Client(5, "C1?"), a.For("C1?")));
    QCOMPARE(a.heard.last(), QStringLiteral("C1?: refused %1").arg(lrWithdrawn));
    QCOMPARE(f.queue.Count(), 0);
}

void TestTaskPump::lanesWaitForReadBackRecallAndPoll()
{
    TFixture f;
    TAnswers a;
    f.pump.OpenLane(1, 16);
    // During a read-back a client's line waits instead of being refused.
    f.commandsDisabled = true;
    QVERIFY(f.pump.Submit(Client(1, "A1?"), a.For("A1?")));
    f.pump.Tick();
    QVERIFY(f.host.events.isEmpty());
    f.commandsDisabled = false;

    // A due poll: the operator's queue still goes, the lanes wait.
    f.host.pollDue = true;
    f.pump.Queue("CS 001.00", qkSetCommand);
    f.pump.Tick();
    QCOMPARE(f.host.events, QStringList{";DC:CS 001.00"});
    QCOMPARE(f.pump.LaneCount(1), 1);
    f.host.pollDue = false;

    // A recall clicked during a client's exchange runs before the next client line.
    f.pump.Submit(Client(1, "A2?"), a.For("A2?"));
    f.host.onSend = [&](const QString& text) {
        if (text == "A1?")
            f.recallPending = true;
    };
    f.host.events.clear();
    f.pump.Tick();
    QCOMPARE(f.host.events, QStringList{"raw:A1?"});
    f.pump.Tick();
    QCOMPARE(f.host.events,
             (QStringList{"raw:A1?", "poll off", ";DC:RC 0", "read-back", "poll on", "raw:A2?"}));
}

void TestTaskPump::closedLaneRefusesItsWaitingLines()
{
    TFixture f;
    TAnswers a;
    f.pump.OpenLane(1, 16);
    for (const char* line : {"A1?", "A2?", "A3?"})
        f.pump.Submit(Client(1, line), a.For(line));
    // The client leaves while its first line's reply is awaited.
    f.host.onSend = [&](const QString& text) {
        if (text == "A1?")
            f.pump.CloseLane(1);
    };
    f.pump.Tick();
    QCOMPARE(f.host.events, QStringList{"raw:A1?"});
    QCOMPARE(a.heard,
             (QStringList{QStringLiteral("A2?: refused %1").arg(lrWithdrawn),
                          QStringLiteral("A3?: refused %1").arg(lrWithdrawn), "A1?: re:A1?"}));
    QCOMPARE(f.pump.LaneCount(1), -1);
}

void TestTaskPump::gateKeepsALineOffTheWire()
{
    TFixture f;
    TAnswers a;
    f.pump.OpenLane(1, 16);
    bool allowed = true;
    TLineRequest r = Client(1, "CS 005.00");
    r.Gate = [&allowed] { return allowed ? lrNone : lrWithdrawn; };
    f.pump.Submit(r, a.For("first"));
    f.pump.Submit(r, a.For("second"));
    f.host.onSend = [&](const QString&) { allowed = false; }; // control revoked meanwhile
    f.pump.Tick();
    QCOMPARE(f.host.events, QStringList{"raw:CS 005.00"});
    QCOMPARE(a.heard, (QStringList{"first: re:CS 005.00",
                                   QStringLiteral("second: refused %1").arg(lrWithdrawn)}));
}

void TestTaskPump::throwingExchangeIsToldFailed()
{
    TFixture f;
    TAnswers a;
    f.pump.Submit(Line("A 1"), a.For("A"));
    f.pump.Submit(Line("B 1"), a.For("B"));
    f.host.onSend = [](const QString& text) {
        if (text == "A 1")
            throw std::runtime_error("log write failed");
    };
    QVERIFY_THROWS_EXCEPTION(std::runtime_error, f.pump.Tick());
    QCOMPARE(a.heard, QStringList{QStringLiteral("A: refused %1").arg(lrFailed)});
    f.host.onSend = nullptr;
    f.pump.Tick();
    QCOMPARE(a.heard.last(), QStringLiteral("B: re:B 1"));
}

QTEST_GUILESS_MAIN(TestTaskPump)
#include "tst_taskpump.moc"
