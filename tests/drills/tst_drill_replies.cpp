// SPDX-License-Identifier: GPL-3.0-or-later
// Fault drills on what the unit sends back, through the real window: a
// megabyte of noise without a CR during a poll, replies holding NUL and 8-bit
// bytes, replies that come 1 ms after their deadline, and a log file that
// fails while a poll or a read-back runs.
#include "../operator/OperatorFixture.h"
#include "DrillSupport.h"
#include "TempWorkingDir.h"

#include "Communication.h"
#include "LampWidget.h"
#include "plussped.h"

#include <QAction>
#include <QLineEdit>
#include <QPushButton>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QTextEdit>

#include <fcntl.h>
#include <memory>
#include <unistd.h>

namespace
{
const QString Ts = QStringLiteral(R"(\d\d:\d\d:\d\d\.\d\d\d)");

bool BreakLog()
{
    const int full = ::open("/dev/full", O_WRONLY | O_CLOEXEC);
    const bool ok = full >= 0 && ::dup2(full, appState().LogFile.Handle()) >= 0;
    if (full >= 0)
        ::close(full);
    return ok;
}
} // namespace

class TestDrillReplies : public QObject
{
    Q_OBJECT

    std::unique_ptr<TTempWorkingDir> dir;

    QByteArray LogBytes() const
    {
        QFile file(dir->filePath(QStringLiteral("log.txt")));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    void Poll(TOperatorFixture& f)
    {
        f.w->StatusTimer->start();
        f.w->StatusTimerTimer(f.w->StatusTimer);
    }

private Q_SLOTS:
    void initTestCase() { PtyUnit::comDir(); }
    void init() { dir = std::make_unique<TTempWorkingDir>(); }
    void cleanup() { dir.reset(); }

    void megabyteWithoutCrDuringPoll();
    void nulAndEightBitReplies();
    void replyOneMsLateIsATimeout_data();
    void replyOneMsLateIsATimeout();
    void logOnFullDevice_data();
    void logOnFullDevice();
};

void TestDrillReplies::megabyteWithoutCrDuringPoll()
{
    constexpr quint32 kDeadlineMs = 300;
    QByteArray noise(1024 * 1024, Qt::Uninitialized);
    QRandomGenerator rng(20261210);
    for (char& c : noise) {
        c = char(rng.bounded(256));
        if (c == '\r')
            c = 'x';
    }
    TOperatorFixture f(13);
    f.unit.clearRules();
    f.unit.onLine(";DC:CM?", noise);
    f.unit.onLine(";DC:VM?", "2.5\r");
    f.unit.onLine(";DC:SS?", "5\r");
    f.unit.onLine(";DC:ID?", noise);
    f.w->ComPort->SetResponseTime(kDeadlineMs);

    // Straight through the transport: the reply keeps its first 64 KiB.
    QCOMPARE(QueryText("ID"), TrimReply(noise.left(TKxComPort::MaxReplyBytes)));
    QVERIFY(f.w->ComPort->TimedOut());

    const qint64 before = ResidentKiB();
    QElapsedTimer clock;
    clock.start();
    Poll(f);
    const qint64 took = clock.elapsed();
    QVERIFY2(took >= kDeadlineMs && took < kDeadlineMs + 700, qPrintable(QString::number(took)));
    QCOMPARE(appState().CurrentMeasurement, 0.0);
    QCOMPARE(appState().VoltageMeasurement, 2.5);
    QCOMPARE(appState().StatusWord, 5);
    QVERIFY(!appState().StatusBusy);
    QVERIFY(f.w->StatusTimer->isActive());
    // Nothing of the megabyte stays behind (generous: a few MiB of slack).
    QVERIFY2(ResidentKiB() - before < 4096, qPrintable(QString::number(ResidentKiB() - before)));

    // And the next poll reads the unit as usual.
    f.unit.clearRules();
    f.unit.onLine(";DC:CM?", "3\r");
    f.unit.onLine(";DC:VM?", "1.5\r");
    f.unit.onLine(";DC:SS?", "1\r");
    Poll(f);
    QCOMPARE(appState().CurrentMeasurement, 3.0);
    QCOMPARE(appState().VoltageMeasurement, 1.5);
    QCOMPARE(appState().StatusWord, 1);
    QVERIFY(f.prompts.shown().isEmpty());
}

void TestDrillReplies::nulAndEightBitReplies()
{
    const QByteArray odd("A\0B\xE9\xFF\x80z", 7);
    TOperatorFixture f(14);
    auto* menu = f.Find<QAction>("EnableLoggingMenu");
    appState().LogFile.Bind("log.txt");
    menu->trigger();
    QVERIFY(appState().LoggingEnabled);
    f.unit.clearRules();
    f.unit.onLine("PING", odd + "\r\n");
    f.unit.onLine(";DC:CM?", QByteArray("1\0"
                                        "2\r",
                                        4));
    f.unit.onLine(";DC:VM?", "\xB5\r");
    f.unit.onLine(";DC:SS?", QByteArray("5\0\xE9", 3) + "\r");

    // The terminal: the reply is echoed and logged byte for byte.
    f.Find<QLineEdit>("SendEdit")->setText(QStringLiteral("PING"));
    f.Find<QPushButton>("Sendbtn")->click();
    QTRY_VERIFY(f.unit.lines().contains("PING"));
    QTRY_VERIFY(!appState().TaskBusy && appState().CommandQueue.Count() == 0);
    auto* list = f.Find<QTextEdit>("ResponseList");
    QTRY_COMPARE(list->document()->blockCount(), 2);
    const QString echoed = list->document()->lastBlock().text();
    QVERIFY2(QRegularExpression(QLatin1String("^\\(") + Ts + QLatin1String("\\) "))
                 .match(echoed)
                 .hasMatch(),
             qPrintable(echoed));
    // Every byte is one character; nothing after the NUL is lost.
    QCOMPARE(echoed.mid(15), QString::fromLatin1(odd));

    // The poll: none of these is a number.
    Poll(f);
    QCOMPARE(appState().CurrentMeasurement, 0.0);
    QCOMPARE(appState().VoltageMeasurement, 0.0);
    QCOMPARE(appState().StatusWord, 0);
    QVERIFY(!f.Find<TLamp>("EnabledLight")->isLit());

    const QByteArray log = LogBytes();
    const QList<QByteArray> lines = log.split('\n');
    QCOMPARE(lines.last(), QByteArray()); // ends in CR LF
    QList<QByteArray> received;
    for (const QByteArray& line : lines)
        if (line.startsWith("Received("))
            received << line.mid(24); // after "Received(hh:nn:ss.zzz): "
    QCOMPARE(received, (QList<QByteArray>{odd + "\r",
                                          QByteArray("1\0"
                                                     "2\r",
                                                     4),
                                          "\xB5\r", QByteArray("5\0\xE9\r", 4)}));
    QCOMPARE(log.count("Exception Error. ("), 3);
    QVERIFY(f.prompts.shown().isEmpty());
}

void TestDrillReplies::replyOneMsLateIsATimeout_data()
{
    QTest::addColumn<QByteArray>("late");
    QTest::newRow("CM late, VM next") << QByteArray("CM");
    QTest::newRow("VM late, SS next") << QByteArray("VM");
    QTest::newRow("SS late, next poll's CM next") << QByteArray("SS");
}

void TestDrillReplies::replyOneMsLateIsATimeout()
{
    QFETCH(QByteArray, late);
    constexpr int kDeadlineMs = 100;
    // Each reply is told apart from the others.
    const QMap<QByteArray, QByteArray> replies{{"CM", "11"}, {"VM", "22"}, {"SS", "5"}};
    TOperatorFixture f(15);
    f.unit.clearRules();
    for (auto it = replies.begin(); it != replies.end(); ++it)
        f.unit.onLine(";DC:" + it.key() + "?",
                      it.key() == late ? PtyReply::After(kDeadlineMs + 1, it.value() + "\r")
                                       : PtyReply::Now(it.value() + "\r"));
    f.w->ComPort->SetResponseTime(kDeadlineMs);

    // Polls back to back, so the next query always starts right after the
    // timed-out one.
    LateReplyTally tally;
    for (int round = 0; round < 8; ++round) {
        tally.begin();
        Poll(f);
        const AppState& s = appState();
        // The late one reads as a timeout (0), or as its own value when the
        // wait's last pass ran late on a held-up thread; every other query
        // gets its own answer.
        const bool lateTaken = late == "CM"   ? s.CurrentMeasurement != 0.0
                               : late == "VM" ? s.VoltageMeasurement != 0.0
                                              : s.StatusWord != 0;
        tally.end(lateTaken);
        QCOMPARE(s.CurrentMeasurement, late == "CM" && !lateTaken ? 0.0 : 11.0);
        QCOMPARE(s.VoltageMeasurement, late == "VM" && !lateTaken ? 0.0 : 22.0);
        QCOMPARE(s.StatusWord, late == "SS" && !lateTaken ? 0 : 5);
    }
    QVERIFY2(tally.deadlineHonoured(), tally.summary().constData());
    QVERIFY(f.prompts.shown().isEmpty());
}

void TestDrillReplies::logOnFullDevice_data()
{
    QTest::addColumn<bool>("readBack");
    QTest::newRow("during a poll") << false;
    QTest::newRow("during a read-back") << true;
}

void TestDrillReplies::logOnFullDevice()
{
    QFETCH(bool, readBack);
    TOperatorFixture f(16);
    auto* menu = f.Find<QAction>("EnableLoggingMenu");
    appState().LogFile.Bind("log.txt");
    menu->trigger();
    QVERIFY(menu->isChecked());
    QVERIFY(BreakLog());
    f.unit.clearReceived();

    if (readBack) {
        f.w->Initialize();
        QCOMPARE(f.unit.lines(), ReadBackQueries(false));
        QCOMPARE(appState().CurrentSetting, 12.5);
        QCOMPARE(f.Find<TPlusSpinEdit>("ISettingAdj")->Value(), 12.5);
        QVERIFY(!appState().CommandsDisabled);
        QVERIFY(f.Find<TPlusSpinEdit>("ISettingAdj")->Enabled());
    } else {
        Poll(f);
        QCOMPARE(f.unit.lines(), (QList<QByteArray>{";DC:CM?", ";DC:VM?", ";DC:SS?"}));
        QCOMPARE(appState().CurrentMeasurement, 2.5);
        QCOMPARE(appState().StatusWord, 5);
        QVERIFY(!appState().StatusBusy);
    }
    QVERIFY(f.w->StatusTimer->isActive());
    QVERIFY(!menu->isChecked() && !appState().LoggingEnabled);
    QCOMPARE(f.prompts.textsOf(ScriptedPrompts::Kind::Warning), QStringList{LogFailureMessage()});
    QCOMPARE(f.prompts.shown().size(), 1);
    // Only the header reached the file.
    QCOMPARE(LogBytes().count("\r\n"), 1);
}

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    TestDrillReplies test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_drill_replies.moc"
