// SPDX-License-Identifier: GPL-3.0-or-later
// The transport against a scripted unit: bytes on the wire, echo, log lines.
#include "AppState.h"
#include "Communication.h"
#include "LinkFixture.h"

#include <QRegularExpression>
#include <QThread>
#include <QTimer>
#include <QtTest>

#include <memory>

namespace
{
const QString Ts = QStringLiteral(R"(\d\d:\d\d:\d\d\.\d\d\d)");

// "(ts) text" in the echo.
bool IsEchoOf(const QString& line, const QString& text)
{
    return QRegularExpression(QStringLiteral("^\\(") + Ts + QStringLiteral("\\) ") +
                              QRegularExpression::escape(text) + QLatin1Char('$'))
        .match(line)
        .hasMatch();
}
} // namespace

class TestCommunication : public QObject
{
    Q_OBJECT

    std::unique_ptr<TLinkFixture> f;

    void startLog() { QVERIFY(f->StartLog()); }
    // Log lines after the header.
    QStringList logLines() { return f->LogLines(); }

private Q_SLOTS:
    void initTestCase() { PtyUnit::comDir(); }

    void init() { f = std::make_unique<TLinkFixture>(5, 1000); }

    void cleanup()
    {
        QVERIFY(f->prompts.unexpected().isEmpty());
        f.reset();
    }

    void queryWritesFramedLineAndTrimsReply()
    {
        f->unit.onLine(";DC:ID?", "Acme,2740,123,1.0\r\n");
        QCOMPARE(QueryText("ID"), QByteArray("Acme,2740,123,1.0"));
        QCOMPARE(f->unit.received(), QByteArray(";DC:ID?\r\n"));
        QCOMPARE(appState().LastCommand, QStringLiteral(";DC:ID?"));
        QVERIFY(f->echo.lines().isEmpty()); // queries are not echoed
    }

    void setCommandIsEchoedInColour()
    {
        f->unit.onLine(";DC:ST 0", "OK\r");
        QCOMPARE(SendCommand(QStringLiteral("ST 0")), QByteArray("OK"));
        QCOMPARE(f->unit.received(), QByteArray(";DC:ST 0\r\n"));
        QCOMPARE(f->echo.lines().size(), 2);
        QVERIFY(IsEchoOf(f->echo.lines()[0].text, QStringLiteral(";DC:ST 0")));
        QCOMPARE(f->echo.lines()[0].colour, QColor(0, 0, 0));
        QVERIFY(IsEchoOf(f->echo.lines()[1].text, QStringLiteral("OK")));
        QCOMPARE(f->echo.lines()[1].colour, QColor(0, 0x80, 0));
    }

    void rawLineGoesOutUnchanged()
    {
        f->unit.onLine("hello  world ", "hi\r");
        SendRawLine("hello  world ");
        QCOMPARE(f->unit.received(), QByteArray("hello  world \r\n"));
        QCOMPARE(appState().LastCommand, QStringLiteral("hello  world "));
        QCOMPARE(f->echo.lines().size(), 2);
        QVERIFY(IsEchoOf(f->echo.lines()[0].text, QStringLiteral("hello  world")));
        QVERIFY(IsEchoOf(f->echo.lines()[1].text, QStringLiteral("hi")));
    }

    void emptyReplyStillEchoed()
    {
        f->port.SetResponseTime(100);
        QCOMPARE(SendCommand(QStringLiteral("EN 1")), QByteArray());
        QCOMPARE(f->echo.lines().size(), 2);
        QVERIFY(IsEchoOf(f->echo.lines()[1].text, QString()));
    }

    void refusedWhileCommandsDisabled()
    {
        startLog();
        f->unit.onLine(";DC:CS?", "1.5\r");
        appState().CommandsDisabled = true;
        QCOMPARE(SendCommand(QStringLiteral("CS 012.50")), QByteArray());
        SendRawLine("raw");
        QCOMPARE(QueryFloat("CS"), 1.5); // queries still go
        QCOMPARE(f->unit.received(), QByteArray(";DC:CS?\r\n"));
        QVERIFY(f->echo.lines().isEmpty());
        const QStringList log = logLines();
        QCOMPARE(log.size(), 3);
        QVERIFY(QRegularExpression(QStringLiteral("^Command Disabled:    \\(") + Ts +
                                   QStringLiteral("\\): CS 012\\.50$"))
                    .match(log[0])
                    .hasMatch());
        QVERIFY(log[1].startsWith(QStringLiteral("Sent    (")));
        QVERIFY(log[2].startsWith(QStringLiteral("Received(")));
    }

    void nestedCallsRefusedWhileReplyAwaited()
    {
        startLog();
        f->port.SetAllowEvents(true);
        QByteArray nestedCommand = "x", nestedQuery = "x";
        QTimer::singleShot(30, this, [&] {
            // The reply is waiting, not yet collected: the refused calls must leave it.
            f->unit.send("7\r");
            QDeadlineTimer deadline(2000);
            while (f->port.InCount() < 2 && !deadline.hasExpired())
                QThread::yieldCurrentThread();
            nestedCommand = SendCommand(QStringLiteral("ST 0"));
            SendRawLine("raw");
            nestedQuery = QueryText("ID");
        });
        QCOMPARE(QueryInteger("SS"), 7);
        QCOMPARE(nestedCommand, QByteArray());
        QCOMPARE(nestedQuery, QByteArray());
        QCOMPARE(f->unit.received(), QByteArray(";DC:SS?\r\n"));
        QCOMPARE(appState().LastCommand, QStringLiteral(";DC:SS?"));
        QVERIFY(f->echo.lines().isEmpty());
        const QStringList log = logLines();
        QCOMPARE(log.size(), 3);
        QVERIFY(log[0].startsWith(QStringLiteral("Sent    (")));
        QVERIFY(QRegularExpression(QStringLiteral("^Comport in use: \\(") + Ts +
                                   QStringLiteral("\\): ST 0$"))
                    .match(log[1])
                    .hasMatch());
        QVERIFY(log[2].endsWith(QStringLiteral("): 7")));
        QVERIFY(!f->port.InUse());
    }

    void logLinesPerExchange()
    {
        startLog();
        f->unit.onLine(";DC:ID?", "Acme \r\n");
        f->unit.onLine(";DC:CS?", "12.5\r");
        f->unit.onLine(";DC:RC 3", "\r");
        f->unit.onLine("term", "ok\r");
        QueryText("ID");
        QCOMPARE(QueryInteger("CS"), 0);
        SendCommand(QStringLiteral("RC 3"));
        SendRawLine("term");
        const QStringList expected = {QStringLiteral("Sent    \\(%1\\): ;DC:ID\\?"),
                                      QStringLiteral("Received\\(%1\\): Acme"),
                                      QStringLiteral("Sent    \\(%1\\): ;DC:CS\\?"),
                                      QStringLiteral("Received\\(%1\\): 12\\.5"),
                                      QStringLiteral("Exception Error\\. \\(%1\\)"),
                                      QStringLiteral("Sent    \\(%1\\): ;DC:RC 3"),
                                      QStringLiteral("Received\\(%1\\): "),
                                      QStringLiteral("Sent    \\(%1\\): term"),
                                      QStringLiteral("Received\\(%1\\): ok")};
        const QStringList log = logLines();
        QCOMPARE(log.size(), expected.size());
        for (int i = 0; i < log.size(); ++i)
            QVERIFY2(QRegularExpression(QLatin1Char('^') + expected[i].arg(Ts) + QLatin1Char('$'))
                         .match(log[i])
                         .hasMatch(),
                     qPrintable(log[i]));
    }

    void noLogLinesWhenLoggingOff()
    {
        // A bound log that was on and is switched off again: every kind of line an
        // exchange can log (sent, received, exception, refused) stays out of it.
        f->unit.onLine(";DC:CS?", "x\r");
        f->unit.onLine(";DC:ST 0", "OK\r");
        startLog();
        QCOMPARE(QueryInteger("CS"), 0);
        QCOMPARE(logLines().size(), 3); // sent, received, exception: the log works
        ToggleLoggingState(appState());
        QVERIFY(!appState().LoggingEnabled);
        const QByteArray before = f->LogBytes();

        QCOMPARE(QueryInteger("CS"), 0);
        QCOMPARE(SendCommand(QStringLiteral("ST 0")), QByteArray("OK"));
        appState().CommandsDisabled = true;
        SendCommand(QStringLiteral("CS 1"));
        appState().CommandsDisabled = false;
        QCOMPARE(f->LogBytes(), before);
        QCOMPARE(QDir(f->dir.path()).entryList(QDir::Files),
                 QStringList{QStringLiteral("log.txt")});
    }

    void conversions_data()
    {
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<int>("integer");
        QTest::addColumn<bool>("integerFails");
        QTest::addColumn<double>("number");
        QTest::addColumn<bool>("numberFails");
        QTest::newRow("empty") << QByteArray("") << 0 << false << 0.0 << false;
        QTest::newRow("12.5") << QByteArray("12.5") << 0 << true << 12.5 << false;
        QTest::newRow("leading blanks") << QByteArray("  42") << 42 << false << 42.0 << false;
        QTest::newRow("sign") << QByteArray("-17") << -17 << false << -17.0 << false;
        QTest::newRow("exponent") << QByteArray("1.5e3") << 0 << true << 1500.0 << false;
        QTest::newRow("negative exponent") << QByteArray("25E-2") << 0 << true << 0.25 << false;
        QTest::newRow("int max") << QByteArray("2147483647") << 2147483647 << false << 2147483647.0
                                 << false;
        QTest::newRow("int overflow")
            << QByteArray("2147483648") << 0 << true << 2147483648.0 << false;
        QTest::newRow("int min") << QByteArray("-2147483648") << int(-2147483648LL) << false
                                 << -2147483648.0 << false;
        QTest::newRow("comma") << QByteArray("12,5") << 0 << true << 0.0 << true;
        QTest::newRow("hex") << QByteArray("0x10") << 0 << true << 0.0 << true;
        QTest::newRow("nan") << QByteArray("nan") << 0 << true << 0.0 << true;
        QTest::newRow("inf") << QByteArray("inf") << 0 << true << 0.0 << true;
        QTest::newRow("float overflow") << QByteArray("1e999") << 0 << true << 0.0 << true;
        QTest::newRow("text") << QByteArray("ERR") << 0 << true << 0.0 << true;
        QTest::newRow("inner blank") << QByteArray("1 2") << 0 << true << 0.0 << true;
    }
    void conversions()
    {
        QFETCH(QByteArray, reply);
        QFETCH(int, integer);
        QFETCH(bool, integerFails);
        QFETCH(double, number);
        QFETCH(bool, numberFails);
        startLog();
        f->unit.onLine(";DC:V?", reply + "  \r\n");
        QCOMPARE(QueryInteger("V"), integer);
        QCOMPARE(QueryFloat("V"), number);
        const QStringList errors = logLines().filter(QStringLiteral("Exception Error. ("));
        QCOMPARE(errors.size(), int(integerFails) + int(numberFails));
    }

    void replyKeepsLeadingBlanks()
    {
        f->unit.onLine(";DC:ID?", QByteArray("  7 \t \x01\r\n"));
        QCOMPARE(QueryText("ID"), QByteArray("  7"));
    }

    void leftoverLineFeedNeverReachesNextReply()
    {
        f->unit.onLine(";DC:A?", PtyReply::InPieces({"A\r", "\n"}, 50));
        f->unit.onLine(";DC:B?", "B\r");
        QCOMPARE(QueryText("A"), QByteArray("A"));
        QTRY_COMPARE(f->port.InCount(), 1); // the LF is waiting now
        QCOMPARE(QueryText("B"), QByteArray("B"));
    }

    void nothingBoundSendsNothing()
    {
        UnbindCommunication();
        QCOMPARE(QueryText("ID"), QByteArray());
        QCOMPARE(QueryInteger("ID"), 0);
        QCOMPARE(SendCommand(QStringLiteral("ST 0")), QByteArray());
        SendRawLine("x");
        QCOMPARE(f->unit.received(), QByteArray());
    }

    void failingLogWriteTurnsLoggingOff()
    {
        startLog();
        QList<bool> states;
        appState().LogFile.OnStateChanged = [&](bool on) { states << on; };
        f->unit.onLine(";DC:ID?", "Acme\r");
        f->unit.onLine(";DC:ST 0", "OK\r");
        QVERIFY(f->BreakLog());

        QCOMPARE(QueryText("ID"), QByteArray("Acme"));
        QVERIFY(!appState().LoggingEnabled);
        QCOMPARE(states, QList<bool>{false});
        QCOMPARE(f->prompts.textsOf(ScriptedPrompts::Kind::Warning),
                 QStringList{QStringLiteral("Log file cannot be written to. Please run program "
                                            "from writable location. Logging will be disabled.")});
        QVERIFY(!f->port.InUse());
        QCOMPARE(appState().LastCommand, QStringLiteral(";DC:ID?"));
        // The transport goes on normally, and the box is not shown again.
        QCOMPARE(SendCommand(QStringLiteral("ST 0")), QByteArray("OK"));
        QCOMPARE(f->prompts.shown().size(), 1);
        QCOMPARE(f->echo.lines().size(), 2);
    }

    void logFailureBoxWaitsForTheReply()
    {
        // The box's own event loop lets the poll or the pump run an exchange;
        // shown while "ST 0" still waits, that exchange would purge its reply.
        startLog();
        f->port.SetResponseTime(300);
        f->unit.onLine(";DC:ST 0", "STOPPED\r");
        f->unit.onLine(";DC:SS?", "5\r");
        QVERIFY(f->BreakLog());
        QByteArray nested = "not run";
        f->prompts.onShown = [&](const ScriptedPrompts::Shown&) {
            QTest::qWait(30); // the box stays up a moment; any reply is in by then
            nested = QueryText("SS");
        };
        QCOMPARE(SendCommand(QStringLiteral("ST 0")), QByteArray("STOPPED"));
        QCOMPARE(nested, QByteArray("5"));
        QCOMPARE(f->prompts.textsOf(ScriptedPrompts::Kind::Warning),
                 QStringList{LogFailureMessage()});
        QCOMPARE(appState().ExchangeDepth, 0);
    }
};

QTEST_GUILESS_MAIN(TestCommunication)
#include "tst_communication.moc"
