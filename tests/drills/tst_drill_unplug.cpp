// SPDX-License-Identifier: GPL-3.0-or-later
// Fault drill: the unit is unplugged while the program waits for a reply,
// while it reads back every setting and while it drains the command queue.
// The wait must end at the hang-up (long before its 5 s deadline), every flag
// must come back, nothing read after the hang-up may reach a control, and
// "Port no longer available, restart?" must come at once, without waiting
// for the next status tick; then MERO restarts or ends with nothing left
// running.
#include "../operator/OperatorFixture.h"
#include "../sim/simfixture.h"
#include "DrillSupport.h"

#include "Communication.h"
#include "plussped.h"

#include <QComboBox>
#include <QTemporaryDir>
#include <QTextEdit>

namespace
{
constexpr quint32 kResponseMs = 5000;
// An exchange cut by the unplug must end well before its deadline.
constexpr qint64 kEndsWithinMs = 2000;

enum class Phase { ReplyWait, ReadBack, Drain };

// Queued settings of the drain; the unplug comes while the third one waits.
const QStringList kDrainCommands = {"CS 001.00", "RR 000100.0", "PW 0.0000100", "BC 3", "PM 1"};
} // namespace

class TestDrillUnplug : public QObject
{
    Q_OBJECT

    // After the unplug: the box comes by itself once the exchange has ended.
    void LostPortPath(TOperatorFixture& f, IUserPrompts::Answer answer, const int& restarts)
    {
        QTRY_COMPARE(f.prompts.textsOf(ScriptedPrompts::Kind::YesNo),
                     QStringList{"Port no longer available, restart?"});
        const bool restart = answer == IUserPrompts::Answer::Yes;
        QCOMPARE(restarts, restart ? 1 : 0);
        QVERIFY(f.w->Ending());
        QVERIFY(!f.w->StatusTimer->isActive());
        QVERIFY(!f.w->TaskTimer->isActive());
        QCOMPARE(f.w->ComPort == nullptr, restart);
        if (!restart)
            QVERIFY(!f.w->ComPort->Opened());
        QVERIFY(!appState().StatusBusy && !appState().TaskBusy);
        // Nothing is queued, asked or shown any more.
        f.w->QueuedCommandToPort(QStringLiteral("CS 002.00"));
        QCOMPARE(appState().CommandQueue.Count(), 0);
        f.w->StatusTimerTimer(f.w->StatusTimer);
        f.w->Initialize();
        QCOMPARE(f.prompts.shown().size(), 1);
        QVERIFY(f.prompts.unexpected().isEmpty());
    }

private Q_SLOTS:
    void initTestCase() { PtyUnit::comDir(); }
    void unplugMidExchange_data();
    void unplugMidExchange();
    void virtualUnitUnpluggedDuringReadBack();
};

void TestDrillUnplug::unplugMidExchange_data()
{
    QTest::addColumn<int>("phase");
    QTest::addColumn<int>("answer");
    const int yes = int(IUserPrompts::Answer::Yes);
    const int no = int(IUserPrompts::Answer::No);
    QTest::newRow("poll reply wait, restart") << int(Phase::ReplyWait) << yes;
    QTest::newRow("poll reply wait, exit") << int(Phase::ReplyWait) << no;
    QTest::newRow("read-back, restart") << int(Phase::ReadBack) << yes;
    QTest::newRow("read-back, exit") << int(Phase::ReadBack) << no;
    QTest::newRow("drain, restart") << int(Phase::Drain) << yes;
    QTest::newRow("drain, exit") << int(Phase::Drain) << no;
}

void TestDrillUnplug::unplugMidExchange()
{
    QFETCH(int, phase);
    QFETCH(int, answer);
    TOperatorFixture f(12);
    f.w->ComPort->SetResponseTime(kResponseMs);
    int restarts = 0;
    f.w->StartNewInstance = [&] { ++restarts; };
    f.prompts.answerYesNo(IUserPrompts::Answer(answer));

    // The unit answers everything but the line the drill waits in.
    const QByteArray hangLine = Phase(phase) == Phase::ReplyWait ? ";DC:VM?"
                                : Phase(phase) == Phase::ReadBack
                                    ? ";DC:CS?"
                                    : ";DC:" + kDrainCommands[2].toLatin1();
    f.unit.clearRules();
    f.unit.onLine(hangLine, PtyReply::None());
    const auto replies = BasicUnitReplies();
    for (auto it = replies.begin(); it != replies.end(); ++it)
        f.unit.onLine(";DC:" + it.key() + "?", it.value() + "\r");
    f.unit.onAnyLine([](const QByteArray&) { return PtyReply::Now("OK\r"); });

    QElapsedTimer sinceUnplug;
    WhenReady(
        f.w.get(), [&] { return f.w->ComPort->InUse() && f.unit.lines().contains(hangLine); },
        [&] {
            f.unit.unplug();
            sinceUnplug.start();
        });

    switch (Phase(phase)) {
    case Phase::ReplyWait:
        f.w->StatusTimer->start();
        f.w->StatusTimerTimer(f.w->StatusTimer);
        QVERIFY(sinceUnplug.isValid());
        QVERIFY(sinceUnplug.elapsed() < kEndsWithinMs);
        // Read before the unplug, then nothing.
        QCOMPARE(appState().CurrentMeasurement, 2.5);
        QCOMPARE(appState().VoltageMeasurement, 0.0);
        QCOMPARE(appState().StatusWord, 0);
        QCOMPARE(f.unit.lines(), (QList<QByteArray>{";DC:CM?", ";DC:VM?"}));
        break;
    case Phase::ReadBack:
        f.w->Initialize();
        QVERIFY(sinceUnplug.isValid());
        QVERIFY(sinceUnplug.elapsed() < kEndsWithinMs);
        // Nothing read before the hang-up is shown either: a read-back is
        // shown whole or not at all.
        QCOMPARE(appState().MaxCurrent, 0.0);
        QCOMPARE(appState().CurrentSetting, 0.0);
        QCOMPARE(f.Find<TPlusSpinEdit>("MaxCurrentAdj")->Value(), 0.0);
        QVERIFY(!appState().CommandsDisabled);
        QVERIFY(f.Find<TPlusSpinEdit>("ISettingAdj")->Enabled());
        QVERIFY(f.Find<QComboBox>("PulseModeSel")->isEnabled());
        QCOMPARE(f.unit.lines().last(), QByteArray(";DC:CS?"));
        break;
    case Phase::Drain: {
        for (const QString& command : kDrainCommands)
            f.w->QueuedCommandToPort(command);
        QTRY_VERIFY_WITH_TIMEOUT(sinceUnplug.isValid(), 3000);
        QTRY_VERIFY_WITH_TIMEOUT(appState().CommandQueue.Count() == 0 && !appState().TaskBusy,
                                 int(kEndsWithinMs));
        // What the unit got before it vanished, in order; the entries after
        // the hang-up never went out and are not shown as sent.
        QCOMPARE(f.unit.received(), ";DC:" + kDrainCommands[0].toLatin1() + "\r\n;DC:" +
                                        kDrainCommands[1].toLatin1() + "\r\n" + hangLine + "\r\n");
        const QString shown = f.Find<QTextEdit>("ResponseList")->toPlainText();
        for (int i = 0; i < kDrainCommands.size(); ++i)
            QCOMPARE(shown.contains(QStringLiteral(") ;DC:") + kDrainCommands[i]), i <= 2);
        break;
    }
    }
    QVERIFY(!f.w->ComPort || !f.w->ComPort->InUse());
    QVERIFY(!appState().StatusBusy && !appState().TaskBusy);

    LostPortPath(f, IUserPrompts::Answer(answer), restarts);
}

void TestDrillUnplug::virtualUnitUnpluggedDuringReadBack()
{
    // The virtual unit answers every line after 4 s and leaves after 1 s: the
    // read-back's first query is still waiting when the terminal goes away.
    QTemporaryDir traceDir;
    const QString trace = traceDir.filePath(QStringLiteral("trace.txt"));
    SimProcess sim;
    QVERIFY(sim.start({"--com-dir", PtyUnit::comDir(), "--port", "31", "--delay", "4000",
                       "--unplug-after", "1.0", "--trace", trace},
                      31));

    appState().Reset();
    ScriptedKeys keys;
    ScriptedPrompts prompts;
    auto w = std::make_unique<TMERO_App>();
    TKxComPort* port = w->ComPort;
    port->SetShowErrors(false);
    port->SetBaud(115200);
    port->SetEndOfResponse("#13");
    port->SetPort(31);
    port->SetResponseTime(kResponseMs);
    QVERIFY(port->Open());
    port->SetAllowEvents(true);

    prompts.answerYesNo(IUserPrompts::Answer::No);
    QElapsedTimer clock;
    clock.start();
    w->Initialize();
    // Far less than the 4 s reply delay: the hang-up ended the wait.
    QVERIFY2(clock.elapsed() < 3500, qPrintable(QString::number(clock.elapsed())));
    QTRY_COMPARE(sim.process().state(), QProcess::NotRunning);
    QCOMPARE(countTrace(trace, "UNPLUG"), 1);
    QVERIFY(!readTrace(trace).isEmpty());
    QCOMPARE(readTrace(trace).at(1).kind, QByteArray("RX")); // the first query arrived
    QCOMPARE(countTrace(trace, "TX"), 0);
    QVERIFY(!appState().CommandsDisabled);

    QTRY_COMPARE(prompts.textsOf(ScriptedPrompts::Kind::YesNo),
                 QStringList{"Port no longer available, restart?"});
    QVERIFY(w->Ending());
    QVERIFY(!w->StatusTimer->isActive() && !w->TaskTimer->isActive());
    QVERIFY(prompts.unexpected().isEmpty());
    w.reset();
    appState().Reset();
}

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    TestDrillUnplug test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_drill_unplug.moc"
