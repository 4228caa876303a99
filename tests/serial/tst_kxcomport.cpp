// SPDX-License-Identifier: GPL-3.0-or-later
// The serial port against scripted units on pseudo-terminals.
#include "KxComPort.h"
#include "LineSettings.h"
#include "PtyUnit.h"
#include "ScriptedPrompts.h"

#include <QElapsedTimer>
#include <QTimer>
#include <QtTest>

#include <memory>
#include <termios.h>

using Kind = ScriptedPrompts::Kind;
using Answer = IUserPrompts::Answer;

namespace
{
termios SettingsOf(int fd)
{
    termios t{};
    tcgetattr(fd, &t);
    return t;
}
} // namespace

class TestKxComPort : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { PtyUnit::comDir(); }

    void startValues()
    {
        TKxComPort port;
        QCOMPARE(port.Baud(), 9600);
        QCOMPARE(port.Port(), 1);
        QCOMPARE(port.ResponseTime(), 1000u);
        QVERIFY(port.ShowErrors());
        QVERIFY(!port.AllowEvents());
        QVERIFY(!port.Opened());
        QVERIFY(!port.InUse());
        QVERIFY(!port.TimedOut());
        QCOMPARE(port.Handshaking(), hsNone);
        QCOMPARE(port.Parity(), parNone);
        QCOMPARE(port.InCount(), 0);
        QVERIFY(!port.State());
    }

    void devicePathTable()
    {
        const QByteArray saved = qgetenv("MERO_COM_DIR");
        qunsetenv("MERO_COM_DIR");
        QCOMPARE(TKxComPort::DevicePath(1), QStringLiteral("/dev/ttyS0"));
        QCOMPARE(TKxComPort::DevicePath(32), QStringLiteral("/dev/ttyS31"));
        QCOMPARE(TKxComPort::DevicePath(33), QStringLiteral("/dev/ttyUSB0"));
        QCOMPARE(TKxComPort::DevicePath(65), QStringLiteral("/dev/ttyACM0"));
        QCOMPARE(TKxComPort::DevicePath(96), QStringLiteral("/dev/ttyACM31"));
        QCOMPARE(TKxComPort::DevicePath(100), QStringLiteral("/dev/ttyAMA3"));
        QCOMPARE(TKxComPort::DevicePath(101), QString());
        qputenv("MERO_COM_DIR", saved);
        QCOMPARE(TKxComPort::DevicePath(7), PtyUnit::comDir() + QStringLiteral("/COM7"));
    }

    void openAppliesSettingsAndReopens()
    {
        PtyUnit unit(3);
        ScriptedPrompts prompts;
        TKxComPort port;
        port.SetPort(3);
        port.SetBaud(115200);
        QVERIFY(port.Open());
        QVERIFY(port.Opened());
        QVERIFY(port.State());
        termios t = SettingsOf(port.Handle());
        QCOMPARE(cfgetospeed(&t), speed_t(B115200));
        QCOMPARE(t.c_cflag & CSIZE, tcflag_t(CS8));
        QCOMPARE(t.c_cflag & (PARENB | CSTOPB | CRTSCTS), tcflag_t(0));
        QCOMPARE(t.c_lflag & (ICANON | ECHO), tcflag_t(0));

        // Open on an open port re-opens it and applies the settings again.
        cfsetospeed(&t, B9600);
        tcsetattr(port.Handle(), TCSANOW, &t);
        QVERIFY(port.Open());
        t = SettingsOf(port.Handle());
        QCOMPARE(cfgetospeed(&t), speed_t(B115200));

        // A pseudo-terminal keeps 8N1 whatever is asked: a parity change
        // must still leave a working, open port.
        port.SetParity(parEven);
        QVERIFY(port.Opened());
        port.SetHandshaking(hsAssertAll);
        QVERIFY(port.Opened());

        port.Close();
        QVERIFY(!port.Opened());
        QVERIFY(!port.State());
        QVERIFY(port.Open()); // the lock and the exclusive flag were released
        QVERIFY(prompts.shown().isEmpty());
    }

    void lineSettings_data()
    {
        QTest::addColumn<int>("parity");
        QTest::addColumn<int>("handshake");
        QTest::addColumn<uint>("cflagBits");
        QTest::newRow("none/none") << int(parNone) << int(hsNone) << uint(0);
        QTest::newRow("even") << int(parEven) << int(hsNone) << uint(PARENB);
        QTest::newRow("odd") << int(parOdd) << int(hsNone) << uint(PARENB | PARODD);
        QTest::newRow("hardware") << int(parNone) << int(hsHardware) << uint(CRTSCTS);
        QTest::newRow("assert all") << int(parNone) << int(hsAssertAll) << uint(0);
    }
    void lineSettings()
    {
        QFETCH(int, parity);
        QFETCH(int, handshake);
        QFETCH(uint, cflagBits);
        termios t{};
        t.c_cflag = CSTOPB | PARENB | PARODD | CRTSCTS | CS7;
        t.c_iflag = INPCK | IXON | IXOFF | ICRNL;
        t.c_lflag = ICANON | ECHO;
        QVERIFY(BuildLineSettings(t, 115200, TParity(parity), THandshake(handshake)));
        QCOMPARE(uint(t.c_cflag & (PARENB | PARODD | CRTSCTS)), cflagBits);
        QCOMPARE(t.c_cflag & (CSIZE | CSTOPB), tcflag_t(CS8));
        QVERIFY(t.c_cflag & CLOCAL);
        QVERIFY(t.c_cflag & CREAD);
        QCOMPARE(t.c_iflag & (INPCK | IXON | IXOFF | ICRNL), tcflag_t(0));
        QCOMPARE(t.c_lflag & (ICANON | ECHO), tcflag_t(0));
        QCOMPARE(t.c_cc[VMIN], cc_t(0));
        QCOMPARE(cfgetospeed(&t), speed_t(B115200));
        QCOMPARE(cfgetispeed(&t), speed_t(B115200));

        termios untouched = t;
        QVERIFY(!BuildLineSettings(t, 12345, parNone, hsNone));
        QCOMPARE(memcmp(&t, &untouched, sizeof t), 0);
    }

    void settersReopenOnlyOnChange()
    {
        PtyUnit unit(3);
        PtyUnit other(4);
        ScriptedPrompts prompts;
        TKxComPort port;
        port.SetPort(3);
        port.SetBaud(115200);
        QVERIFY(port.Open());
        // Change the line behind the component's back: only a re-open undoes it.
        termios t = SettingsOf(port.Handle());
        cfsetospeed(&t, B9600);
        tcsetattr(port.Handle(), TCSANOW, &t);
        port.SetBaud(115200);
        port.SetPort(3);
        port.SetParity(parNone);
        port.SetHandshaking(hsNone);
        termios now = SettingsOf(port.Handle());
        QCOMPARE(cfgetospeed(&now), speed_t(B9600));
        port.SetBaud(57600);
        now = SettingsOf(port.Handle());
        QCOMPARE(cfgetospeed(&now), speed_t(B57600));

        // A new port number moves the open port there.
        port.SetPort(4);
        QVERIFY(port.Opened());
        QVERIFY(port.Write("hello\r\n"));
        QVERIFY(other.waitForLines(1));
        QCOMPARE(unit.received(), QByteArray());

        // On a closed port a setter only stores.
        port.Close();
        port.SetPort(3);
        port.SetBaud(9600);
        QVERIFY(!port.Opened());
        QVERIFY(prompts.shown().isEmpty());
    }

    void missingPortWithoutPrompts()
    {
        ScriptedPrompts prompts;
        TKxComPort port;
        port.SetPort(7);
        port.SetShowErrors(false);
        QVERIFY(!port.Open());
        QVERIFY(!port.Opened());
        QVERIFY(prompts.shown().isEmpty());
        // Read and Write try to open and give up quietly.
        QCOMPARE(port.Read(), QByteArray());
        QVERIFY(!port.Write("x"));
        QVERIFY(!port.InUse());
        QVERIFY(prompts.shown().isEmpty());
    }

    void missingPortAsksAbortRetry()
    {
        ScriptedPrompts prompts;
        TKxComPort port;
        port.SetPort(7);
        prompts.answerAbortRetry(Answer::Abort);
        QVERIFY(!port.Open());
        QCOMPARE(prompts.textsOf(Kind::AbortRetry),
                 QStringList{QStringLiteral("Error opening COM7: ")});

        // Retry tries again: the device appears while the box is up.
        prompts.clear();
        std::unique_ptr<PtyUnit> unit;
        prompts.answerAbortRetry(Answer::Retry);
        prompts.onShown = [&](const ScriptedPrompts::Shown&) {
            unit = std::make_unique<PtyUnit>(7);
        };
        QVERIFY(port.Open());
        QCOMPARE(prompts.shown().size(), 1);
        QVERIFY(prompts.unexpected().isEmpty());
    }

    void portHeldElsewhereDoesNotOpen()
    {
        PtyUnit unit(3);
        ScriptedPrompts prompts;
        TKxComPort first, second;
        first.SetPort(3);
        second.SetPort(3);
        second.SetShowErrors(false);
        QVERIFY(first.Open());
        QVERIFY(!second.Open());
        first.Close();
        QVERIFY(second.Open());
        QVERIFY(prompts.shown().isEmpty());
    }

    void replyInPiecesIsJoined()
    {
        PtyUnit unit(3);
        unit.onLine("Q", PtyReply::InPieces({"AB", "CD", "EF\r"}, 30));
        TKxComPort port;
        port.SetPort(3);
        port.SetEndOfResponse("\r");
        QVERIFY(port.Write("Q\r\n"));
        QCOMPARE(port.Read(), QByteArray("ABCDEF\r"));
        QVERIFY(!port.TimedOut());
        QVERIFY(!port.InUse());
    }

    void bytesOfAnyKindArriveUnchanged()
    {
        PtyUnit unit(3);
        const QByteArray reply("\x00\x01\xff\xe9 x\x7f\r", 8);
        unit.onLine("Q", reply);
        TKxComPort port;
        port.SetPort(3);
        port.SetEndOfResponse("\r");
        port.Write("Q\r\n");
        QCOMPARE(port.Read(), reply);
    }

    void endOfResponseDecoding_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QByteArray>("raw");
        QTest::newRow("CR") << QByteArray("\r") << QByteArray("\r");
        QTest::newRow("#13#10") << QByteArray("#13#10") << QByteArray("\r\n");
        QTest::newRow("OK#13") << QByteArray("OK#13") << QByteArray("OK\r");
        QTest::newRow("#13OK literal") << QByteArray("#13OK") << QByteArray("#13OK");
        QTest::newRow("## literal") << QByteArray("##") << QByteArray("##");
        QTest::newRow("#13x literal") << QByteArray("#13x") << QByteArray("#13x");
        QTest::newRow("# alone literal") << QByteArray("#") << QByteArray("#");
        QTest::newRow("OK# literal") << QByteArray("OK#") << QByteArray("OK#");
        QTest::newRow("#13# literal") << QByteArray("#13#") << QByteArray("#13#");
        QTest::newRow("empty") << QByteArray() << QByteArray();
        QTest::newRow("#0") << QByteArray("#0") << QByteArray(1, '\0');
        QTest::newRow("#233 Latin-1") << QByteArray("#233") << QByteArray("\xe9");
        QTest::newRow("#300 no byte") << QByteArray("#300") << QByteArray("?");
        QTest::newRow("huge code literal")
            << QByteArray("#99999999999") << QByteArray("#99999999999");
    }
    void endOfResponseDecoding()
    {
        QFETCH(QByteArray, text);
        QFETCH(QByteArray, raw);
        TKxComPort port;
        port.SetEndOfResponse(text);
        QCOMPARE(port.EndOfResponse(), text);
        QCOMPARE(port.EndOfResponseRaw(), raw);
    }

    void multiByteEndOfResponseWaitsForAll()
    {
        PtyUnit unit(3);
        unit.onLine("Q", PtyReply::InPieces({"A\r", "B\r", "\n"}, 40));
        TKxComPort port;
        port.SetPort(3);
        port.SetEndOfResponse("#13#10");
        port.Write("Q\r\n");
        QCOMPARE(port.Read(), QByteArray("A\rB\r\n"));
        QVERIFY(!port.TimedOut());
    }

    void noEndOfResponseReturnsWhatWaits()
    {
        PtyUnit unit(3);
        TKxComPort port;
        port.SetPort(3);
        QVERIFY(port.Open());
        QCOMPARE(port.Read(), QByteArray());
        unit.send("xyz");
        QTRY_COMPARE(port.InCount(), 3);
        QCOMPARE(port.Read(), QByteArray("xyz"));
        QVERIFY(!port.TimedOut());
    }

    void timeoutReturnsPartialReply()
    {
        PtyUnit unit(3);
        unit.onLine("Q", "part");
        ScriptedPrompts prompts;
        TKxComPort port;
        port.SetPort(3);
        port.SetEndOfResponse("\r");
        port.SetResponseTime(200);
        port.SetShowErrors(false);
        int timeouts = 0;
        port.SetOnTimeout([&](TKxComPort* sender) {
            QCOMPARE(sender, &port);
            QVERIFY(sender->InUse());
            ++timeouts;
        });
        port.Write("Q\r\n");
        QElapsedTimer clock;
        clock.start();
        QCOMPARE(port.Read(), QByteArray("part"));
        QVERIFY(clock.elapsed() >= 200);
        QVERIFY(clock.elapsed() < 1500);
        QVERIFY(port.TimedOut());
        QCOMPARE(timeouts, 0); // OnTimeout needs AllowEvents
        QVERIFY(prompts.shown().isEmpty());

        port.SetAllowEvents(true);
        port.Write("Q\r\n");
        QCOMPARE(port.Read(), QByteArray("part"));
        QCOMPARE(timeouts, 1);
        QVERIFY(prompts.shown().isEmpty());

        // With prompts: the box, then Abort keeps the partial reply.
        port.SetShowErrors(true);
        prompts.answerAbortRetry(Answer::Abort);
        port.Write("Q\r\n");
        QCOMPARE(port.Read(), QByteArray("part"));
        QVERIFY(port.TimedOut());
        QCOMPARE(prompts.textsOf(Kind::AbortRetry),
                 QStringList{QStringLiteral("Timeout waiting for response.")});
    }

    void retryKeepsWaitingWithBytesSoFar()
    {
        PtyUnit unit(3);
        unit.onLine("Q", "part");
        ScriptedPrompts prompts;
        TKxComPort port;
        port.SetPort(3);
        port.SetEndOfResponse("\r");
        port.SetResponseTime(150);
        prompts.answerAbortRetry(Answer::Retry);
        prompts.onShown = [&](const ScriptedPrompts::Shown&) { unit.sendAfter(30, "-rest\r"); };
        port.Write("Q\r\n");
        QCOMPARE(port.Read(), QByteArray("part-rest\r"));
        QVERIFY(!port.TimedOut());
        QCOMPARE(prompts.shown().size(), 1);
    }

    void nestedReadIsRefused()
    {
        PtyUnit unit(3);
        unit.onLine("Q", PtyReply::After(150, "outer\r"));
        ScriptedPrompts prompts;
        TKxComPort port;
        port.SetPort(3);
        port.SetEndOfResponse("\r");
        port.SetAllowEvents(true);
        QByteArray nested = "not run";
        bool nestedSawInUse = false;
        QTimer::singleShot(20, this, [&] {
            nestedSawInUse = port.InUse();
            nested = port.Read();
        });
        port.Write("Q\r\n");
        QCOMPARE(port.Read(), QByteArray("outer\r"));
        QVERIFY(nestedSawInUse);
        QCOMPARE(nested, QByteArray());
        QVERIFY(!port.TimedOut());
        QCOMPARE(prompts.textsOf(Kind::Information),
                 QStringList{QStringLiteral("Port is in use -- operation aborted")});

        // Without ShowErrors the refusal is silent; ReadRaw is refused too.
        prompts.clear();
        port.SetShowErrors(false);
        qsizetype raw = -1;
        QTimer::singleShot(20, this, [&] {
            char buffer[16];
            raw = port.ReadRaw(buffer, sizeof buffer);
            nested = port.Read();
        });
        port.Write("Q\r\n");
        QCOMPARE(port.Read(), QByteArray("outer\r"));
        QCOMPARE(raw, 0);
        QCOMPARE(nested, QByteArray());
        QVERIFY(prompts.shown().isEmpty());
    }

    void versionStaysFixed()
    {
        TKxComPort port;
        port.SetVersion("9.9.9");
        port.setProperty("Version", QByteArray("1.0"));
        QCOMPARE(port.Version(), QByteArray("2.0.2"));
        QCOMPARE(port.property("Version").toByteArray(), QByteArray("2.0.2"));
    }

    void replyIsBoundedInMemory_data()
    {
        QTest::addColumn<bool>("terminated");
        QTest::newRow("no CR: waits to the deadline") << false;
        QTest::newRow("CR after the limit still ends the wait") << true;
    }
    void replyIsBoundedInMemory()
    {
        QFETCH(bool, terminated);
        PtyUnit unit(3);
        QByteArray flood(200 * 1024, 'x');
        if (terminated)
            flood.append('\r');
        unit.onLine("Q", flood);
        TKxComPort port;
        port.SetPort(3);
        port.SetEndOfResponse("\r");
        port.SetResponseTime(terminated ? 5000 : 700);
        port.SetShowErrors(false);
        port.Write("Q\r\n");
        const QByteArray reply = port.Read();
        QCOMPARE(reply.size(), TKxComPort::MaxReplyBytes);
        QCOMPARE(reply, flood.left(TKxComPort::MaxReplyBytes));
        QCOMPARE(port.TimedOut(), !terminated);
    }

    void vanishedDeviceEndsTheWait()
    {
        PtyUnit unit(3);
        ScriptedPrompts prompts;
        TKxComPort port;
        port.SetPort(3);
        port.SetEndOfResponse("\r");
        port.SetResponseTime(5000);
        port.SetShowErrors(false);
        QVERIFY(port.Open());
        unit.send("half");
        QTRY_COMPARE(port.InCount(), 4);
        // Joined before `unit` goes out of scope: unplug() may still be
        // returning when the port has already seen the hang-up.
        std::thread unplugger([&] {
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
            unit.unplug();
        });
        QElapsedTimer clock;
        clock.start();
        const QByteArray reply = port.Read();
        unplugger.join();
        QCOMPARE(reply, QByteArray("half"));
        QVERIFY2(clock.elapsed() < 2000, "the wait must end at the hang-up");
        QVERIFY(port.TimedOut());
        QVERIFY(!port.InUse());
        QVERIFY(prompts.shown().isEmpty());
    }

    void longWriteIsCompleted()
    {
        PtyUnit unit(3);
        TKxComPort port;
        port.SetPort(3);
        QByteArray line(100 * 1024, 'a');
        line.append("\r\n");
        QVERIFY(port.Write(line));
        QVERIFY(unit.waitForLines(1));
        QCOMPARE(unit.lines().first().size(), 100 * 1024);
    }

    void readRawRespectsCapacity()
    {
        PtyUnit unit(3);
        TKxComPort port;
        port.SetPort(3);
        QVERIFY(port.Open());
        unit.send("0123456789");
        QTRY_COMPARE(port.InCount(), 10);
        char buffer[5] = {};
        QCOMPARE(port.ReadRaw(buffer, 4), 4);
        QCOMPARE(QByteArray(buffer, 4), QByteArray("0123"));
        QCOMPARE(buffer[4], '\0');
        QCOMPARE(port.InCount(), 6);
        QVERIFY(!port.InUse());
    }

    void lateReplyIsLetInAndDropped_data()
    {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<int>("then");
        QTest::addColumn<bool>("waits");
        QTest::newRow("after a timeout") << QByteArray("T") << 0 << true;
        QTest::newRow("after a reply") << QByteArray("R") << 0 << false;
        QTest::newRow("after a timeout and a re-open") << QByteArray("T") << 1 << true;
        QTest::newRow("after a timeout and another port") << QByteArray("T") << 2 << false;
    }
    void lateReplyIsLetInAndDropped()
    {
        QFETCH(QByteArray, line);
        QFETCH(int, then);
        QFETCH(bool, waits);
        PtyUnit unit(3);
        PtyUnit other(4);
        unit.onLine("T", PtyReply::After(52, "late\r")); // 2 ms after the deadline
        unit.onLine("R", "here\r");
        TKxComPort port;
        port.SetPort(3);
        port.SetEndOfResponse("\r");
        port.SetResponseTime(50);
        port.SetShowErrors(false);
        port.Write(line + "\r\n");
        QCOMPARE(port.Read().isEmpty(), line == "T");
        if (then == 1)
            QVERIFY(port.Open());
        else if (then == 2)
            port.SetPort(4);
        QVERIFY(port.Opened());
        QCOMPARE(port.LateReplyPossible(), waits);

        QElapsedTimer clock;
        clock.start();
        port.DiscardLateReply();
        const qint64 took = clock.elapsed();
        QVERIFY(!port.LateReplyPossible());
        if (waits) {
            // The late reply came while the line was watched, and is gone.
            QVERIFY(took >= TKxComPort::LateReplyQuietMs);
            QVERIFY(took < TKxComPort::LateReplyMaxMs + 50);
            QCOMPARE(port.InCount(), 0);
            QCOMPARE(unit.received(), QByteArray("T\r\n"));
        } else {
            QVERIFY(took < TKxComPort::LateReplyQuietMs);
        }
    }

    void lateReplyWaitKeepsTheWindowGoing()
    {
        // The line stays busy for the whole 100 ms; the window must not freeze meanwhile,
        // and nothing nested may use the port.
        PtyUnit unit(3);
        TKxComPort port;
        port.SetPort(3);
        port.SetEndOfResponse("\r");
        port.SetResponseTime(30);
        port.SetShowErrors(false);
        port.Write("T\r\n");
        QVERIFY(port.Read().isEmpty());
        QVERIFY(port.LateReplyPossible());
        for (int ms = 0; ms <= 140; ms += 10)
            unit.sendAfter(ms, "noise");
        port.SetAllowEvents(true);
        int ticks = 0;
        bool nestedSawInUse = false;
        QTimer tick;
        connect(&tick, &QTimer::timeout, this, [&] {
            ++ticks;
            nestedSawInUse = port.InUse();
        });
        tick.start(5);
        port.DiscardLateReply();
        tick.stop();
        QVERIFY(ticks > 0);
        QVERIFY(nestedSawInUse);
        QVERIFY(!port.InUse());
    }

    void flushDiscardsWaitingBytes()
    {
        PtyUnit unit(3);
        TKxComPort port;
        port.SetPort(3);
        QVERIFY(port.Open());
        unit.send("stale");
        QTRY_COMPARE(port.InCount(), 5);
        port.Flush();
        QCOMPARE(port.InCount(), 0);
    }
};

QTEST_GUILESS_MAIN(TestKxComPort)
#include "tst_kxcomport.moc"
