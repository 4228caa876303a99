// SPDX-License-Identifier: GPL-3.0-or-later
// Fault drills of a link that misbehaves the way real ones do: a line the unit
// sends unasked, replies that come late or in two pieces, a unit that is gone
// for 0.3 s, and other programs that want the port. Whatever happens, no
// control, lamp or sample shows another line's reply, nothing is sent from
// such a value, and the operator hears at once when the unit is lost.
#include "../operator/OperatorFixture.h"
#include "DrillSupport.h"

#include "MEROTexts.h"
#include "MeasureSession.h"
#include "SampleStore.h"
#include "plussped.h"

#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>

#include <atomic>
#include <memory>
#include <sys/stat.h>

namespace
{

// The basic unit's replies, each told apart from the others, ending in CR LF
// like a real unit's, after delayMs; one query (the first time it comes) is
// answered in the drill's own way.
struct TDrillUnit {
    int delayMs = 30;
    QByteArray special;    // the query answered the drill's way, e.g. "MR"
    PtyReply specialReply; // its pieces; "%R" in one stands for its own reply
    std::shared_ptr<std::atomic<bool>> done = std::make_shared<std::atomic<bool>>(false);

    void Apply(PtyUnit& unit) const
    {
        unit.clearRules();
        const auto replies = BasicUnitReplies();
        const TDrillUnit self = *this;
        unit.onAnyLine([replies, self](const QByteArray& line) -> std::optional<PtyReply> {
            QByteArray reply = "OK";
            if (line.startsWith(";DC:") && line.endsWith('?'))
                reply = replies.value(line.mid(4, line.size() - 5), "0");
            if (line == ";DC:" + self.special + "?" && !self.done->exchange(true)) {
                PtyReply r = self.specialReply;
                for (auto& piece : r.pieces)
                    piece.bytes.replace("%R", reply);
                return r;
            }
            return PtyReply::After(self.delayMs, reply + "\r\n");
        });
    }
};

QStringList LogLines(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    QStringList lines = QString::fromLatin1(f.readAll()).split(QStringLiteral("\r\n"));
    lines.removeLast();
    return lines;
}

} // namespace

class TestDrillSync : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;
    QString oldCwd;

    void StartLog()
    {
        appState().LogFile.Bind("log.txt");
        ToggleLoggingState(appState());
        QVERIFY(appState().LoggingEnabled);
    }
    QStringList Log() const { return LogLines(dir.filePath(QStringLiteral("log.txt"))); }

    // Every control of the read-back shows what the unit holds.
    static void ShowsTheUnit(TOperatorFixture& f)
    {
        QCOMPARE(f.Find<TPlusSpinEdit>("MaxCurrentAdj")->Value(), 40.0);
        QCOMPARE(f.Find<TPlusSpinEdit>("MaximumRateAdj")->Value(), 5000.0);
        QCOMPARE(f.Find<TPlusSpinEdit>("ISettingAdj")->Value(), 12.5);
        QCOMPARE(f.Find<TPlusSpinEdit>("RepRateAdj")->Value(), 1000.0);
        QCOMPARE(f.Find<TPlusSpinEdit>("PulseWidthAdj")->Value(), 1e-05);
        QCOMPARE(f.Find<TPlusSpinEdit>("ComplianceVAdj")->Value(), 24.5);
        QCOMPARE(f.Find<TPlusSpinEdit>("BurstCountAdj")->Value(), 7.0);
        QCOMPARE(f.Find<QComboBox>("PulseModeSel")->currentIndex(), 1);
        QCOMPARE(f.Find<QComboBox>("StorageBinSel")->currentIndex(), 2);
        QCOMPARE(f.Find<QLineEdit>("BadgeEdit")->text(), QStringLiteral("321"));
    }

    // No poll ever took another query's reply: each reading is its own or none.
    static void PollsReadTheirOwn(TOperatorFixture& f)
    {
        const AppState& s = appState();
        QVERIFY2(s.CurrentMeasurement == 0 || s.CurrentMeasurement == 2.5,
                 qPrintable(QString::number(s.CurrentMeasurement)));
        QVERIFY2(s.VoltageMeasurement == 0 || s.VoltageMeasurement == 5.5,
                 qPrintable(QString::number(s.VoltageMeasurement)));
        QVERIFY2(s.StatusWord == 0 || s.StatusWord == 5, qPrintable(QString::number(s.StatusWord)));
        for (const TMeasureSample& m : f.w->Measurements->Store().Full()) {
            QVERIFY(!m.Has(rdCurrent) || m.Values[rdCurrent] == 2.5);
            QVERIFY(!m.Has(rdVoltage) || m.Values[rdVoltage] == 5.5);
            QVERIFY(!m.Has(rdStatusWord) || m.Values[rdStatusWord] == 5);
        }
    }

private Q_SLOTS:
    void initTestCase()
    {
        PtyUnit::comDir();
        QVERIFY(dir.isValid());
        oldCwd = QDir::currentPath();
        QDir::setCurrent(dir.path());
    }
    void cleanupTestCase() { QDir::setCurrent(oldCwd); }

    void unsolicitedLineAroundReadBack_data();
    void unsolicitedLineAroundReadBack();
    void unsolicitedLineInThePollAfterIt();
    void lateRepliesNeverAnswerAnotherLine_data();
    void lateRepliesNeverAnswerAnotherLine();
    void replyInTwoPieces_data();
    void replyInTwoPieces();
    void unitGoneForAMoment_data();
    void unitGoneForAMoment();
    void competingProgramsNeverGetThePort_data();
    void competingProgramsNeverGetThePort();
};

void TestDrillSync::unsolicitedLineAroundReadBack_data()
{
    QTest::addColumn<QByteArray>("query");
    QTest::newRow("before the first reply") << QByteArray("CFG");
    QTest::newRow("during the read-back") << QByteArray("MR");
    QTest::newRow("before the last reply") << QByteArray("BDG");
}

// "FAULT 3" comes unasked just before a query's reply: the read-back reads
// again and shows what the unit holds; a click then sends one step from it.
void TestDrillSync::unsolicitedLineAroundReadBack()
{
    QFETCH(QByteArray, query);
    TOperatorFixture f(51);
    StartLog();
    TDrillUnit unit;
    unit.special = query;
    unit.specialReply = PtyReply::InPieces({"FAULT 3\r\n", "%R\r\n"}, 30);
    unit.Apply(f.unit);
    f.w->Initialize();
    ShowsTheUnit(f);
    QVERIFY(f.prompts.shown().isEmpty());
    // The read-back asked again from its start.
    const QList<QByteArray> lines = f.unit.lines();
    QCOMPARE(lines.count(";DC:CFG?"), 2);
    QCOMPARE(lines.last(), QByteArray(";DC:BDG?"));
    // The stray line is in the log as what it was, a line received.
    QVERIFY(
        !Log().filter(QRegularExpression(QStringLiteral("^Received\\(.*\\): FAULT 3$"))).isEmpty());

    f.unit.clearReceived();
    auto* cs = f.Find<TPlusSpinEdit>("ISettingAdj");
    cs->SelectDigit(0);
    cs->SpinDown();
    QCOMPARE(f.WireWhenEqual(";DC:CS 011.50\r\n"), QByteArray(";DC:CS 011.50\r\n"));
    ToggleLoggingState(appState());
}

// The line comes during the first poll after the read-back: no reading of
// that poll is another query's.
void TestDrillSync::unsolicitedLineInThePollAfterIt()
{
    TOperatorFixture f(52);
    TDrillUnit unit;
    unit.special = "CM";
    unit.specialReply = PtyReply::InPieces({"FAULT 3\r\n", "%R\r\n"}, 30);
    unit.Apply(f.unit);
    f.w->UpdateStatus();
    PollsReadTheirOwn(f);
    QCOMPARE(appState().VoltageMeasurement, 5.5);
    QCOMPARE(appState().StatusWord, 5);
    QCOMPARE(f.Find<QPushButton>("Startbtn")->isEnabled(), true);
    f.w->UpdateStatus();
    QCOMPARE(appState().CurrentMeasurement, 2.5);
    PollsReadTheirOwn(f);
}

void TestDrillSync::lateRepliesNeverAnswerAnotherLine_data()
{
    QTest::addColumn<int>("lateMs");
    QTest::newRow("30 ms late") << 30;
    QTest::newRow("60 ms late") << 60;
    QTest::newRow("500 ms late") << 500;
    QTest::newRow("3 s late") << 3000;
}

// CS? is answered that much after the response time, once. The read-back
// reads again; the polls that follow never take the late reply as theirs.
void TestDrillSync::lateRepliesNeverAnswerAnotherLine()
{
    QFETCH(int, lateMs);
    constexpr int kResponseMs = 300;
    TOperatorFixture f(53);
    f.w->ComPort->SetResponseTime(kResponseMs);
    TDrillUnit unit;
    unit.delayMs = 2;
    unit.special = "CS";
    unit.specialReply = PtyReply::After(kResponseMs + lateMs, "%R\r\n");
    unit.Apply(f.unit);
    f.w->Initialize();
    ShowsTheUnit(f);
    QVERIFY(f.prompts.shown().isEmpty());

    // Polls every 50 ms until well after the late reply came.
    QTimer check;
    connect(&check, &QTimer::timeout, &check, [&] { PollsReadTheirOwn(f); });
    check.start(5);
    f.w->StatusTimer->setInterval(50);
    f.w->StatusTimer->start();
    QTest::qWait(kResponseMs + lateMs + 600);
    check.stop();
    PollsReadTheirOwn(f);
    QVERIFY(f.w->Measurements->Store().Count() > 3);
    QCOMPARE(appState().CurrentMeasurement, 2.5);
    ShowsTheUnit(f);
}

void TestDrillSync::replyInTwoPieces_data()
{
    QTest::addColumn<int>("pauseMs");
    QTest::addColumn<int>("readBacks");
    QTest::newRow("pause within the response time") << 100 << 1;
    // The rest comes 50 ms after the time-out, while the line is let fall quiet.
    QTest::newRow("pause past the response time") << 350 << 2;
}

void TestDrillSync::replyInTwoPieces()
{
    QFETCH(int, pauseMs);
    QFETCH(int, readBacks);
    TOperatorFixture f(54);
    f.w->ComPort->SetResponseTime(300);
    TDrillUnit unit;
    unit.delayMs = 2;
    unit.special = "CS";
    unit.specialReply = PtyReply::InPieces({"12", ".5\r\n"}, pauseMs);
    unit.Apply(f.unit);
    f.w->Initialize();
    ShowsTheUnit(f);
    QCOMPARE(f.unit.lines().count(";DC:CFG?"), readBacks);
}

void TestDrillSync::unitGoneForAMoment_data()
{
    QTest::addColumn<QByteArray>("during");
    QTest::newRow("read-back") << QByteArray(";DC:CS?");
    QTest::newRow("poll") << QByteArray(";DC:VM?");
    QTest::newRow("burst of changes") << QByteArray(";DC:BC 3");
}

// Gone for 0.3 s while a line waits for its reply: "Port no longer
// available, restart?" comes at once (not at a later poll, whose re-open
// would succeed), nothing read after it is shown, and no line that did not
// leave is logged as sent. The restart looks for the same port.
void TestDrillSync::unitGoneForAMoment()
{
    QFETCH(QByteArray, during);
    TOperatorFixture f(55);
    StartLog();
    TDrillUnit unit;
    unit.Apply(f.unit);
    int restarts = 0;
    f.w->StartNewInstance = [&] { ++restarts; };
    f.prompts.answerYesNo(IUserPrompts::Answer::Yes);
    const QStringList burst{"CS 001.00", "RR 000100.0", "BC 3", "PM 2", "PW 0.0000200"};
    WhenReady(
        f.w.get(), [&] { return f.unit.lines().contains(during); },
        [&] { f.unit.flicker(0, 300); });

    if (during == ";DC:CS?") {
        f.w->Initialize();
        // Nothing of the interrupted read-back is shown.
        QCOMPARE(f.Find<TPlusSpinEdit>("MaxCurrentAdj")->Value(), 0.0);
        QCOMPARE(f.Find<TPlusSpinEdit>("PulseWidthAdj")->Value(), 0.0);
    } else if (during == ";DC:VM?") {
        f.w->UpdateStatus();
        QCOMPARE(appState().CurrentMeasurement, 2.5);
        QCOMPARE(appState().VoltageMeasurement, 0.0);
    } else {
        for (const QString& c : burst)
            f.w->QueuedCommandToPort(c);
    }
    QTRY_COMPARE(f.prompts.textsOf(ScriptedPrompts::Kind::YesNo),
                 QStringList{"Port no longer available, restart?"});
    QCOMPARE(restarts, 1);
    QVERIFY(f.w->Ending());
    QVERIFY(f.w->RestartArguments().contains(QStringLiteral("--reconnect=55")));
    QVERIFY(f.w->RestartArguments().contains(QStringLiteral("-log")));

    // Every line the unit received is logged as sent, and only those.
    const QStringList log = Log();
    QStringList sent;
    for (const QString& l : log)
        if (l.startsWith(QStringLiteral("Sent    (")))
            sent << l.mid(l.indexOf(QStringLiteral("): ")) + 3);
    QStringList received;
    for (const QByteArray& l : f.unit.lines())
        received << QString::fromLatin1(l);
    QCOMPARE(sent, received);
    if (during == ";DC:BC 3") {
        QVERIFY(!log.filter(QStringLiteral("Not sent(")).isEmpty());
        QVERIFY(log.filter(QStringLiteral("PW 0.0000200")).first().startsWith("Not sent("));
    }
    appState().LoggingEnabled = false;
}

void TestDrillSync::competingProgramsNeverGetThePort_data()
{
    QTest::addColumn<QString>("mode");
    QTest::newRow("a flock loop") << QStringLiteral("flock");
    QTest::newRow("a plain open") << QStringLiteral("open");
}

// For 10 s of polls (every 20 ms here) another program tries to take the port.
void TestDrillSync::competingProgramsNeverGetThePort()
{
    QFETCH(QString, mode);
    TOperatorFixture f(56);
    TDrillUnit unit;
    unit.delayMs = 1;
    unit.Apply(f.unit);
    // The device itself: the link's folder is this test's own.
    QStringList args{mode, f.unit.slavePath(), QStringLiteral("10")};
    // Root passes the port's exclusive flag: the plain open becomes nobody,
    // as another user would be (the flock works for anyone).
    if (mode == QStringLiteral("open") && ::geteuid() == 0) {
        QCOMPARE(::chmod(QFile::encodeName(f.unit.slavePath()).constData(), 0666), 0);
        args << QStringLiteral("--as-nobody");
    }
    QProcess competitor;
    competitor.start(QStringLiteral(MERO_PORT_COMPETITOR), args);
    QVERIFY(competitor.waitForStarted());
    int polls = 0;
    connect(f.w->StatusTimer, &QTimer::timeout, f.w.get(), [&] { ++polls; });
    f.w->StatusTimer->setInterval(20);
    f.w->StatusTimer->start();
    QTRY_VERIFY_WITH_TIMEOUT(competitor.state() == QProcess::NotRunning, 15000);
    const QByteArray said = competitor.readAllStandardOutput();
    QVERIFY2(said.isEmpty(), said.constData());
    QCOMPARE(competitor.exitCode(), 1);
    QVERIFY(f.prompts.shown().isEmpty());
    QVERIFY2(polls > 100, qPrintable(QString::number(polls)));
}

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    TestDrillSync test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_drill_sync.moc"
