// SPDX-License-Identifier: GPL-3.0-or-later
// Fault drill on the bare link: a reply that comes 1 ms after its deadline is
// a timeout, and it never becomes the answer to the exchange that follows
// (queries of a poll, set commands of a drain), also when every reply of a
// virtual unit comes too late.
#include "../sim/simfixture.h"
#include "AppState.h"
#include "Communication.h"
#include "DrillSupport.h"
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
        // No log: its write between the line and the wait would move the
        // deadline later than the unit's count.
        TLinkFixture f(21, kDeadlineMs);
        // Every reply names the line it answers.
        f.unit.onLine(
            LineOf(lateIsCommand, "LA"),
            PtyReply::After(kDeadlineMs + 1, "late " + LineOf(lateIsCommand, "LA") + "\r"));
        f.unit.onAnyLine([](const QByteArray& line) { return PtyReply::Now("re " + line + "\r"); });

        LateReplyTally tally;
        for (int round = 0; round < 8; ++round) {
            QElapsedTimer clock;
            clock.start();
            tally.begin();
            const QByteArray first = Exchange(lateIsCommand, "LA");
            QVERIFY(clock.elapsed() >= kDeadlineMs);
            // Taken only in the wait's last pass when this thread ran late,
            // and then it is its own reply.
            tally.end(!first.isEmpty());
            if (!first.isEmpty())
                QCOMPARE(first, "late " + LineOf(lateIsCommand, "LA"));
            else
                QVERIFY(f.port.TimedOut());
            // Never the late reply of the exchange before.
            QCOMPARE(Exchange(nextIsCommand, "NX"), "re " + LineOf(nextIsCommand, "NX"));
        }
        QVERIFY2(tally.deadlineHonoured(), tally.summary().constData());
        if (tally.taken())
            qInfo("%s", tally.summary().constData());
        // The late replies reached nothing else on the screen.
        int lateShown = 0;
        for (const RecordingEcho::Line& line : f.echo.lines())
            lateShown += line.text.contains(QLatin1String("late"));
        QCOMPARE(lateShown, lateIsCommand ? tally.taken() : 0);
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
        // Queries alternate with set commands (answered "OK"), so a reply
        // taken by the wrong exchange shows.
        const QList<QByteArray> mnemonics = {"CS", "MC", "RR", "PW", "CV", "ID", "SS", "CM"};
        LateReplyTally tally;
        for (const QByteArray& m : mnemonics) {
            tally.begin();
            const QByteArray query = QueryText(m);
            tally.end(!query.isEmpty());
            QVERIFY2(query != "OK", query.constData());
            tally.begin();
            const QByteArray command = SendCommand(QStringLiteral("TB 1"));
            tally.end(!command.isEmpty());
            QVERIFY2(command.isEmpty() || command == "OK", command.constData());
        }
        QVERIFY2(tally.deadlineHonoured(), tally.summary().constData());
        // With time to answer, the unit is still there and answers its own line.
        f.port.SetResponseTime(1000);
        QVERIFY(QueryText("ID").contains("2740"));
    }
};

QTEST_GUILESS_MAIN(TestDrillLink)
#include "tst_drill_link.moc"
