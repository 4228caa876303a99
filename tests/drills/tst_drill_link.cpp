// Fault drill on the bare link: a reply that comes 1 ms after its deadline is
// a timeout, and it never becomes the answer to the exchange that follows
// (queries of a poll, set commands of a drain), also when every reply of a
// virtual unit comes too late.
#include "../sim/simfixture.h"
#include "AppState.h"
#include "Communication.h"
#include "LinkFixture.h"

#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QtTest>

namespace
{
constexpr quint32 kDeadlineMs = 100;

// One exchange of the given kind with mnemonic m; the reply.
QByteArray Exchange(bool command, const QByteArray& m)
{
    return command ? SendCommand(QString::fromLatin1(m) + QStringLiteral(" 1")) : QueryText(m);
}
QByteArray LineOf(bool command, const QByteArray& m)
{
    return ";DC:" + m + (command ? " 1" : "?");
}
} // namespace

class TestDrillLink : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { PtyUnit::comDir(); }

    void lateReplyNeverAnswersTheNextExchange_data()
    {
        QTest::addColumn<bool>("lateIsCommand");
        QTest::addColumn<bool>("nextIsCommand");
        QTest::newRow("query, then query") << false << false;
        QTest::newRow("set command, then set command") << true << true;
        QTest::newRow("set command, then query") << true << false;
        QTest::newRow("query, then set command") << false << true;
    }
    void lateReplyNeverAnswersTheNextExchange()
    {
        QFETCH(bool, lateIsCommand);
        QFETCH(bool, nextIsCommand);
        TLinkFixture f(21, kDeadlineMs);
        QVERIFY(f.StartLog());
        // Every reply names the line it answers.
        f.unit.onLine(
            LineOf(lateIsCommand, "LA"),
            PtyReply::After(kDeadlineMs + 1, "late " + LineOf(lateIsCommand, "LA") + "\r"));
        f.unit.onAnyLine([](const QByteArray& line) { return PtyReply::Now("re " + line + "\r"); });

        for (int round = 0; round < 8; ++round) {
            QElapsedTimer clock;
            clock.start();
            QCOMPARE(Exchange(lateIsCommand, "LA"), QByteArray());
            QVERIFY(clock.elapsed() >= kDeadlineMs);
            QVERIFY(f.port.TimedOut());
            QCOMPARE(Exchange(nextIsCommand, "NX"), "re " + LineOf(nextIsCommand, "NX"));
        }
        // The late replies reached nothing: not the echo, not the log.
        for (const RecordingEcho::Line& line : f.echo.lines())
            QVERIFY2(!line.text.contains(QLatin1String("late")), qPrintable(line.text));
        const QStringList log = f.LogLines();
        QCOMPARE(log.size(), 8 * 4);
        QVERIFY(log.filter(QStringLiteral("late")).isEmpty());
        QVERIFY(f.prompts.shown().isEmpty());
    }

    void virtualUnitAlwaysLate()
    {
        // Every reply of the virtual unit comes 1 ms after the deadline: each
        // exchange times out, and none returns the reply of the one before.
        SimProcess sim;
        QVERIFY(sim.start({"--com-dir", PtyUnit::comDir(), "--port", "22", "--delay",
                           QString::number(kDeadlineMs + 1)},
                          22));
        TLinkFixture f(23, kDeadlineMs);
        f.port.SetPort(22);
        QVERIFY(f.port.Open());
        const QList<QByteArray> mnemonics = {"CS", "MC", "RR", "PW", "CV", "ID", "SS", "CM"};
        for (const QByteArray& m : mnemonics) {
            QCOMPARE(QueryText(m), QByteArray());
            QVERIFY(f.port.TimedOut());
            QCOMPARE(SendCommand(QStringLiteral("TB 1")), QByteArray());
        }
        // With time to answer, the unit is still there and answers its own line.
        f.port.SetResponseTime(1000);
        QVERIFY(QueryText("ID").contains("2740"));
    }
};

QTEST_GUILESS_MAIN(TestDrillLink)
#include "tst_drill_link.moc"
