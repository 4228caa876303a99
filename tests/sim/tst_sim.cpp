// SPDX-License-Identifier: GPL-3.0-or-later
// Drives mero-sim over its pseudo-terminal with a plain client, as MERO would.

#include "linereader.h"
#include "numbers.h"
#include "simfixture.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <poll.h>
#include <random>

namespace
{

const QStringList Extended = {"--config", "1", "--no-noise"};

enum class Kind { Integer, Number, Text };

qint64 residentKiB(qint64 pid)
{
    QFile f(QStringLiteral("/proc/%1/status").arg(pid));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : f.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLongLong();
    }
    return -1;
}

quint32 status(UnitClient& c)
{
    qint32 v = -1;
    const QByteArray r = c.query("SS");
    return readsAsInteger(r, &v) ? quint32(v) : 0xFFFFFFFFu;
}

// Asks for the status word until (word & mask) == want or the deadline passes; each
// exchange waits for the unit's reply, so this does not spin. Returns the last word.
quint32 waitForStatus(UnitClient& c, quint32 mask, quint32 want, int timeoutMs = 5000)
{
    QDeadlineTimer deadline(timeoutMs);
    quint32 word = status(c);
    while ((word & mask) != want && !deadline.hasExpired())
        word = status(c);
    return word;
}

} // namespace

Q_DECLARE_METATYPE(Kind)

class TestSim : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void identity_data();
    void identity();
    void everyQueryReadsInItsKind_data();
    void everyQueryReadsInItsKind();
    void extendedMnemonicsNeedConfigOne();
    void setThenQuery_data();
    void setThenQuery();
    void loweredLimitsPullSettingsDown();
    void storageBins();
    void enableAndStartInStatusWord();
    void extendedStatusBits();
    void pulseEnableReadsInverted();
    void measurementsFollowSettings();
    void noiseIsSeeded();
    void overTemperatureAndBypass();
    void crowbarTripsBeyondCompliance();
    void lineFraming_data();
    void lineFraming();
    void crOnlyReplies();
    void badInputIsRefused_data();
    void badInputIsRefused();
    void endlessLineKeepsMemoryBounded();
    void randomBytesNeverStopIt();
    void lineReaderIsBounded();
    void numberTexts_data();
    void numberTexts();
    void silentAndSilentAfter();
    void delayHoldsReplies();
    void dropEveryLosesLines();
    void garbageHasNoCr();
    void fixedAnswer();
    void unplugRemovesLinkAndHangsUp();
    void traceRecordsTrafficInOrder();
    void stopSignalRemovesLink_data();
    void stopSignalRemovesLink();
    void instancesShareDirectory();
    void reopenKeepsLink();
    void commandLine();
};

void TestSim::identity_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("defaults") << QStringList() << QByteArray("MERO Virtual Unit,2740,10001,1.0.0");
    QTest::newRow("given") << QStringList{"--company", "Maker A", "--model",    "2640",
                                          "--serial",  "10432",   "--firmware", "1.0,beta"}
                           << QByteArray("Maker A,2640,10432,1.0,beta");
    QTest::newRow("model not accepted by MERO")
        << QStringList{"--model", "2840"} << QByteArray("MERO Virtual Unit,2840,10001,1.0.0");
}

void TestSim::identity()
{
    QFETCH(QStringList, args);
    QFETCH(QByteArray, expected);
    SimProcess sim;
    QVERIFY(sim.start(args));
    UnitClient c;
    QVERIFY(c.open(sim.link()));
    QCOMPARE(c.query("ID"), expected);
    // The serial number of the ID reply follows "SER n".
    QCOMPARE(c.command("SER 77"), QByteArray("OK"));
    QCOMPARE(c.query("ID").split(',').value(2), QByteArray("77"));
}

void TestSim::everyQueryReadsInItsKind_data()
{
    QTest::addColumn<QByteArray>("mnemonic");
    QTest::addColumn<Kind>("kind");
    const char* integers[] = {"CFG", "BDG", "BC", "PM", "MC", "MR", "TB", "IC", "PE", "RC", "EN",
                              "ST",  "QE",  "ET", "SY", "SS", "AT", "BT", "I1", "I2", "I3"};
    const char* numbers[] = {"CS", "RR", "PW", "CV", "QD", "AO", "CM", "VM", "PD", "AI"};
    for (const char* m : integers)
        QTest::newRow(m) << QByteArray(m) << Kind::Integer;
    for (const char* m : numbers)
        QTest::newRow(m) << QByteArray(m) << Kind::Number;
    QTest::newRow("ID") << QByteArray("ID") << Kind::Text;
}

void TestSim::everyQueryReadsInItsKind()
{
    QFETCH(QByteArray, mnemonic);
    QFETCH(Kind, kind);
    SimProcess sim;
    QVERIFY(sim.start({"--config", "1"}));
    UnitClient c;
    QVERIFY(c.open(sim.link()));
    // Asked idle and while pulsing, so measurements are read in both states.
    for (int pass = 0; pass < 2; ++pass) {
        const QByteArray r = c.query(mnemonic);
        QVERIFY2(!r.isEmpty() && !r.startsWith("ERR"), r.constData());
        if (kind == Kind::Integer)
            QVERIFY2(readsAsInteger(r), r.constData());
        else if (kind == Kind::Number)
            QVERIFY2(readsAsNumber(r), r.constData());
        else
            QVERIFY(r.count(',') >= 3 && r.size() >= 11);
        QCOMPARE(c.command("CS 010.00"), QByteArray("OK"));
        QCOMPARE(c.command("EN 1"), QByteArray("OK"));
        QCOMPARE(c.command("ST 1"), QByteArray("OK"));
    }
}

void TestSim::extendedMnemonicsNeedConfigOne()
{
    SimProcess sim;
    QVERIFY(sim.start({}));
    UnitClient c;
    QVERIFY(c.open(sim.link()));
    for (const char* m : {"QD", "QE", "ET", "SY", "AO", "AT", "BT", "PD", "AI", "I1", "I2", "I3"})
        QVERIFY2(c.query(m).startsWith("ERR "), m);
    QVERIFY(c.command("ET 1").startsWith("ERR "));
    QCOMPARE(c.command("CFG 1"), QByteArray("OK"));
    QCOMPARE(c.query("CFG"), QByteArray("1"));
    QCOMPARE(c.query("ET"), QByteArray("0"));
}

void TestSim::setThenQuery_data()
{
    QTest::addColumn<QByteArray>("mnemonic");
    QTest::addColumn<QByteArray>("value");
    QTest::addColumn<QByteArray>("readBack"); // empty: the command is refused

    auto ok = [](const char* name, const char* m, const char* v, const char* r) {
        QTest::newRow(name) << QByteArray(m) << QByteArray(v) << QByteArray(r);
    };
    auto refused = [](const char* name, const char* m, const char* v) {
        QTest::newRow(name) << QByteArray(m) << QByteArray(v) << QByteArray();
    };
    ok("CS", "CS", "012.50", "12.50");
    ok("CS at MC", "CS", "050.00", "50.00");
    refused("CS above MC", "CS", "050.01");
    refused("CS negative", "CS", "-001.00");
    refused("CS comma", "CS", "12,5");
    refused("CS text", "CS", "abc");
    refused("CS infinite", "CS", "1e999");
    ok("RR", "RR", "001000.0", "1000.0");
    ok("RR lowest", "RR", "000000.1", "0.1");
    refused("RR zero", "RR", "000000.0");
    refused("RR above MR", "RR", "010000.1");
    ok("PW", "PW", "0.0000100", "0.0000100");
    refused("PW zero", "PW", "0.0000000");
    ok("BC", "BC", "7", "7");
    refused("BC fraction", "BC", "7.5");
    refused("BC zero", "BC", "0");
    ok("PM", "PM", "3", "3");
    refused("PM", "PM", "4");
    ok("MC", "MC", "20", "20");
    refused("MC fraction", "MC", "12.5");
    refused("MC above", "MC", "201");
    ok("MR", "MR", "5000", "5000");
    ok("MR general number", "MR", "2.5E3", "2500");
    refused("MR zero", "MR", "0");
    ok("CV", "CV", "05.5", "5.5");
    refused("CV above", "CV", "60.1");
    ok("TB", "TB", "1", "1");
    refused("TB", "TB", "2");
    ok("IC", "IC", "1", "1");
    refused("IC", "IC", "-1");
    ok("QD", "QD", "-0.0001000", "-0.0001000");
    ok("QD top", "QD", "0.0061000", "0.0061000");
    refused("QD above", "QD", "0.0061002");
    ok("QE", "QE", "1", "1");
    ok("ET", "ET", "8", "8");
    refused("ET", "ET", "9");
    ok("SY", "SY", "3", "3");
    refused("SY", "SY", "4");
    ok("AO", "AO", "2.500", "2.500");
    refused("AO above", "AO", "10.001");
    ok("BDG", "BDG", "1234", "1234");
    ok("CFG", "CFG", "1", "1");
    refused("CFG hex", "CFG", "0x1");
    ok("RC", "RC", "3", "3");
    refused("RC zero", "RC", "0");
    refused("RC six", "RC", "6");
    ok("EN", "EN", "1", "1");
    refused("EN", "EN", "2");
    refused("ST while disabled", "ST", "1");
    refused("read-only SS", "SS", "1");
    refused("read-only ID", "ID", "x");
}

void TestSim::setThenQuery()
{
    QFETCH(QByteArray, mnemonic);
    QFETCH(QByteArray, value);
    QFETCH(QByteArray, readBack);
    SimProcess sim;
    QVERIFY(sim.start(Extended));
    UnitClient c;
    QVERIFY(c.open(sim.link()));
    const QByteArray before = c.query(mnemonic);
    const QByteArray reply = c.command(mnemonic + ' ' + value);
    if (readBack.isEmpty()) {
        QVERIFY2(reply.startsWith("ERR "), reply.constData());
        QCOMPARE(c.query(mnemonic), before);
    } else {
        QCOMPARE(reply, QByteArray("OK"));
        QCOMPARE(c.query(mnemonic), readBack);
    }
}

void TestSim::loweredLimitsPullSettingsDown()
{
    SimProcess sim;
    QVERIFY(sim.start(Extended));
    UnitClient c;
    QVERIFY(c.open(sim.link()));
    QCOMPARE(c.command("CS 040.00"), QByteArray("OK"));
    QCOMPARE(c.command("MC 20"), QByteArray("OK"));
    QCOMPARE(c.query("CS"), QByteArray("20.00"));
    QVERIFY(c.command("CS 020.01").startsWith("ERR "));
    QCOMPARE(c.command("RR 005000.0"), QByteArray("OK"));
    QCOMPARE(c.command("MR 1000"), QByteArray("OK"));
    QCOMPARE(c.query("RR"), QByteArray("1000.0"));
    QCOMPARE(c.command("MC 60"), QByteArray("OK"));
    QCOMPARE(c.query("CS"), QByteArray("20.00")); // raising a limit leaves the setting alone
}

void TestSim::storageBins()
{
    SimProcess sim;
    QVERIFY(sim.start(Extended));
    UnitClient c;
    QVERIFY(c.open(sim.link()));
    QCOMPARE(c.query("RC"), QByteArray("1"));
    const QList<QByteArray> first = {"CS 010.00", "RR 000100.0", "PW 0.0000500", "BC 5", "PM 2"};
    const QList<QByteArray> second = {"CS 020.00", "RR 000200.0", "PW 0.0001000", "BC 9", "PM 0"};
    for (const QByteArray& cmd : first)
        QCOMPARE(c.command(cmd), QByteArray("OK"));
    QCOMPARE(c.command("SV 2"), QByteArray("OK"));
    QCOMPARE(c.query("RC"), QByteArray("2"));
    for (const QByteArray& cmd : second)
        QCOMPARE(c.command(cmd), QByteArray("OK"));
    QCOMPARE(c.command("SV 5"), QByteArray("OK"));

    QCOMPARE(c.command("RC 2"), QByteArray("OK"));
    QCOMPARE(c.query("RC"), QByteArray("2"));
    QCOMPARE(c.query("CS"), QByteArray("10.00"));
    QCOMPARE(c.query("RR"), QByteArray("100.0"));
    QCOMPARE(c.query("PW"), QByteArray("0.0000500"));
    QCOMPARE(c.query("BC"), QByteArray("5"));
    QCOMPARE(c.query("PM"), QByteArray("2"));

    QCOMPARE(c.command("RC 5"), QByteArray("OK"));
    QCOMPARE(c.query("CS"), QByteArray("20.00"));
    QCOMPARE(c.query("PM"), QByteArray("0"));

    // A recalled current above a since lowered maximum is held at the maximum.
    QCOMPARE(c.command("MC 15"), QByteArray("OK"));
    QCOMPARE(c.command("RC 5"), QByteArray("OK"));
    QCOMPARE(c.query("CS"), QByteArray("15.00"));

    QVERIFY(c.command("SV 6").startsWith("ERR "));
    QVERIFY(c.query("SV").startsWith("ERR "));
}

void TestSim::enableAndStartInStatusWord()
{
    SimProcess sim;
    QVERIFY(sim.start({"--no-noise"}));
    UnitClient c;
    QVERIFY(c.open(sim.link()));
    QCOMPARE(status(c), 0u);
    QVERIFY(c.command("ST 1").startsWith("ERR "));
    QCOMPARE(c.command("EN 1"), QByteArray("OK"));
    QCOMPARE(status(c), 0x005u); // enabled, ready
    QCOMPARE(c.command("ST 1"), QByteArray("OK"));
    QCOMPARE(status(c), 0x007u);
    QCOMPARE(c.query("EN"), QByteArray("1"));
    QCOMPARE(c.query("ST"), QByteArray("1"));
    QCOMPARE(c.command("ST 0"), QByteArray("OK"));
    QCOMPARE(status(c), 0x005u);
    QCOMPARE(c.command("ST 1"), QByteArray("OK"));
    QCOMPARE(c.command("EN 0"), QByteArray("OK")); // disabling also stops pulsing
    QCOMPARE(status(c), 0x000u);
    QCOMPARE(c.query("ST"), QByteArray("0"));
    QCOMPARE(c.command("IC 1"), QByteArray("OK"));
    QCOMPARE(status(c), 0x010u);
}

void TestSim::extendedStatusBits()
{
    SimProcess sim;
    QVERIFY(sim.start(Extended));
    UnitClient c;
    QVERIFY(c.open(sim.link()));
    QCOMPARE(status(c) & 0x300u, 0u);
    QCOMPARE(c.command("ET 3"), QByteArray("OK"));
    QCOMPARE(status(c) & 0x300u, 0x100u);
    QCOMPARE(c.command("QE 1"), QByteArray("OK"));
    QCOMPARE(status(c) & 0x300u, 0x300u);
    QCOMPARE(c.command("ET 0"), QByteArray("OK"));
    QCOMPARE(status(c) & 0x300u, 0x200u);
    QCOMPARE(c.command("ET 1"), QByteArray("OK"));
    // A basic unit never reports them, whatever it held before.
    QCOMPARE(c.command("CFG 0"), QByteArray("OK"));
    QCOMPARE(status(c) & 0x300u, 0u);
    QCOMPARE(c.command("CFG 1"), QByteArray("OK"));
    QCOMPARE(status(c) & 0x300u, 0x300u);
}

void TestSim::pulseEnableReadsInverted()
{
    SimProcess sim;
    QVERIFY(sim.start({}));
    UnitClient c;
    QVERIFY(c.open(sim.link()));
    QCOMPARE(c.command("PE 1"), QByteArray("OK"));
    QCOMPARE(c.query("PE"), QByteArray("0"));
    QCOMPARE(c.command("PE 0"), QByteArray("OK"));
    QCOMPARE(c.query("PE"), QByteArray("1"));
    QVERIFY(c.command("PE 2").startsWith("ERR "));
    QCOMPARE(c.query("PE"), QByteArray("1"));
}

void TestSim::measurementsFollowSettings()
{
    SimProcess sim;
    QVERIFY(sim.start(Extended));
    UnitClient c;
    QVERIFY(c.open(sim.link()));
    QCOMPARE(c.command("CS 020.00"), QByteArray("OK"));
    QCOMPARE(c.command("AO 4.000"), QByteArray("OK"));
    QCOMPARE(c.command("EN 1"), QByteArray("OK"));
    QCOMPARE(c.query("CM"), QByteArray("0.000"));
    QCOMPARE(c.query("VM"), QByteArray("0.000"));
    QCOMPARE(c.query("PD"), QByteArray("0.0000"));
    QCOMPARE(c.command("ST 1"), QByteArray("OK"));
    QCOMPARE(c.query("CM"), QByteArray("20.000"));
    QCOMPARE(c.query("VM"), QByteArray("3.500")); // 1.5 V + 0.1 ohm x 20 A
    QCOMPARE(c.query("PD"), QByteArray("0.4000"));
    QCOMPARE(c.query("AI"), QByteArray("4.000"));
    QCOMPARE(c.query("I1"), QByteArray("1"));
    QCOMPARE(c.query("I2"), QByteArray("1"));
    qint32 at = 0, bt = 0;
    QVERIFY(readsAsInteger(c.query("AT"), &at));
    QVERIFY(readsAsInteger(c.query("BT"), &bt));
    QVERIFY(at >= 25 && at <= 60 && bt >= 25 && bt <= at);
}

void TestSim::noiseIsSeeded()
{
    auto readings = [](const QStringList& args) {
        SimProcess sim;
        UnitClient c;
        QByteArrayList out;
        if (!sim.start(args) || !c.open(sim.link()))
            return out;
        c.command("CS 030.00");
        c.command("EN 1");
        c.command("ST 1");
        for (int i = 0; i < 10; ++i)
            out << c.query("CM") << c.query("VM");
        return out;
    };
    const QByteArrayList a = readings({"--seed", "7"});
    const QByteArrayList b = readings({"--seed", "7"});
    QCOMPARE(a.size(), 20);
    QCOMPARE(a, b);
    QVERIFY(QSet<QByteArray>(a.cbegin(), a.cend()).size() > 2); // it does vary
    for (int i = 0; i < a.size(); i += 2) {
        double cm = 0, vm = 0;
        QVERIFY(readsAsNumber(a[i], &cm) && readsAsNumber(a[i + 1], &vm));
        QVERIFY2(std::abs(cm - 30.0) < 0.2, a[i].constData());
        QVERIFY2(std::abs(vm - 4.5) < 0.05, a[i + 1].constData());
    }
}

void TestSim::overTemperatureAndBypass()
{
    SimProcess sim;
    QVERIFY(sim.start({"--config", "1", "--thermal-tau", "0.3", "--no-noise"}));
    UnitClient c;
    QVERIFY(c.open(sim.link()));
    QCOMPARE(c.command("CS 020.00"), QByteArray("OK"));
    QCOMPARE(c.command("EN 1"), QByteArray("OK"));
    QCOMPARE(c.command("ST 1"), QByteArray("OK"));
    // 20 A warms it (towards 33 deg C) without ever reaching over temperature.
    qint32 at = 0;
    QTRY_VERIFY_WITH_TIMEOUT(readsAsInteger(c.query("AT"), &at) && at >= 30, 5000);
    QCOMPARE(status(c), 0x007u);

    QCOMPARE(c.command("CS 050.00"), QByteArray("OK"));
    const quint32 hot = waitForStatus(c, 0x020u, 0x020u);
    QCOMPARE(hot, 0x029u); // enabled, fault, over temperature; pulsing stopped, not ready
    QVERIFY(c.command("ST 1").startsWith("ERR "));
    QCOMPARE(c.query("CM"), QByteArray("0.000"));

    // It cools down by itself; then the bypass keeps it pulsing although it runs hot.
    QCOMPARE(waitForStatus(c, 0xFFFu, 0x005u), 0x005u);
    QCOMPARE(c.command("TB 1"), QByteArray("OK"));
    QCOMPARE(c.command("ST 1"), QByteArray("OK"));
    QCOMPARE(waitForStatus(c, 0x020u, 0x020u), 0x027u); // active, ready, no fault
    QCOMPARE(c.command("TB 0"), QByteArray("OK"));
    QCOMPARE(status(c), 0x029u); // the fault is back and pulsing stops
}

void TestSim::crowbarTripsBeyondCompliance()
{
    SimProcess sim;
    QVERIFY(sim.start({"--no-noise"}));
    UnitClient c;
    QVERIFY(c.open(sim.link()));
    QCOMPARE(c.command("CV 02.0"), QByteArray("OK"));
    QCOMPARE(c.command("CS 005.00"), QByteArray("OK")); // needs exactly 2.0 V
    QCOMPARE(c.command("EN 1"), QByteArray("OK"));
    QCOMPARE(c.command("ST 1"), QByteArray("OK"));
    QCOMPARE(status(c), 0x007u);
    QCOMPARE(c.query("VM"), QByteArray("2.000"));
    QCOMPARE(c.command("CS 010.00"), QByteArray("OK")); // would need 2.5 V
    QCOMPARE(status(c), 0x049u);                        // crowbar, fault, enabled
    QVERIFY(c.command("ST 1").startsWith("ERR "));
    QCOMPARE(c.command("EN 0"), QByteArray("OK"));
    QCOMPARE(status(c), 0x000u);
}

void TestSim::lineFraming_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QByteArrayList>("replies");
    const QByteArrayList id = {"MERO Virtual Unit,2740,10001,1.0.0"};
    QTest::newRow("prefix CR LF") << QByteArray(";DC:ID?\r\n") << id;
    QTest::newRow("prefix CR") << QByteArray(";DC:ID?\r") << id;
    QTest::newRow("raw CR LF") << QByteArray("ID?\r\n") << id;
    QTest::newRow("raw CR") << QByteArray("ID?\r") << id;
    QTest::newRow("lower case") << QByteArray("id?\r") << id;
    QTest::newRow("blanks around") << QByteArray("  CS   012.50 \r\n") << QByteArrayList{"OK"};
    QTest::newRow("empty lines ignored") << QByteArray("\r\n\r\r\nPM?\r\n") << QByteArrayList{"1"};
    QTest::newRow("several in one write")
        << QByteArray(";DC:BC 4\r\n;DC:BC?\r\nPM 2\rPM?\r") << QByteArrayList{"OK", "4", "OK", "2"};
}

void TestSim::lineFraming()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QByteArrayList, replies);
    SimProcess sim;
    QVERIFY(sim.start({}));
    UnitClient c;
    QVERIFY(c.open(sim.link()));
    QVERIFY(c.write(bytes));
    for (const QByteArray& expected : replies)
        QCOMPARE(c.readUntil('\n'), expected + "\r\n");
    QVERIFY(c.nothingWaiting());

    // A line split across writes, its CR LF split too, is still one line.
    QVERIFY(c.write(";DC:C"));
    QVERIFY(c.write("FG?\r"));
    QCOMPARE(c.readUntil('\n'), QByteArray("0\r\n"));
    QVERIFY(c.write("\n;DC:CFG?\r\n"));
    QCOMPARE(c.readUntil('\n'), QByteArray("0\r\n"));
}

void TestSim::crOnlyReplies()
{
    SimProcess sim;
    QVERIFY(sim.start({"--cr-only"}));
    UnitClient c;
    QVERIFY(c.open(sim.link()));
    QVERIFY(c.write(";DC:PM?\r\n;DC:EN?\r\n"));
    QCOMPARE(c.readBytes(4), QByteArray("1\r0\r"));
    QVERIFY(c.nothingWaiting());
}

void TestSim::badInputIsRefused_data()
{
    QTest::addColumn<QByteArray>("line");
    QTest::newRow("NUL") << QByteArray("ID\0?", 4);
    QTest::newRow("8-bit") << QByteArray("CS 1\xe9");
    QTest::newRow("escape") << QByteArray("\x1b[A");
    QTest::newRow("overlong") << QByteArray(5000, 'A');
    QTest::newRow("overlong command") << QByteArray("CS ") + QByteArray(300, '1');
    QTest::newRow("prefix only") << QByteArray(";DC:");
    QTest::newRow("unknown") << QByteArray("XY?");
    QTest::newRow("long mnemonic") << QByteArray("ABCD?");
    QTest::newRow("digit first") << QByteArray("1C?");
    QTest::newRow("query with value") << QByteArray("CS? 1");
    QTest::newRow("no value") << QByteArray("CS ");
    QTest::newRow("no blank") << QByteArray("CS12");
    QTest::newRow("double query") << QByteArray("CS??");
}

void TestSim::badInputIsRefused()
{
    QFETCH(QByteArray, line);
    SimProcess sim;
    QVERIFY(sim.start({}));
    UnitClient c;
    QVERIFY(c.open(sim.link()));
    const QByteArray reply = c.exchange(line);
    QVERIFY2(reply.startsWith("ERR "), reply.constData());
    QCOMPARE(c.query("PM"), QByteArray("1"));
    QCOMPARE(sim.process().state(), QProcess::Running);
}

void TestSim::endlessLineKeepsMemoryBounded()
{
    SimProcess sim;
    QVERIFY(sim.start({}));
    UnitClient c;
    QVERIFY(c.open(sim.link()));
    QCOMPARE(c.query("PM"), QByteArray("1"));
    const qint64 before = residentKiB(sim.pid());
    QVERIFY(before > 0);
    QByteArray chunk(64 * 1024, 'A');
    for (int i = 0; i < 32; ++i) // 2 MiB without a line end, with NULs and 8-bit bytes
        QVERIFY(c.write(i % 2 ? chunk : QByteArray(64 * 1024, '\0') + "\xff\x80"));
    QCOMPARE(c.exchange(""), QByteArray("ERR line too long"));
    QCOMPARE(c.query("PM"), QByteArray("1"));
    const qint64 after = residentKiB(sim.pid());
    QVERIFY2(after - before < 1024,
             qPrintable(QStringLiteral("%1 -> %2 KiB").arg(before).arg(after)));
}

void TestSim::randomBytesNeverStopIt()
{
    SimProcess sim;
    QVERIFY(sim.start({"--config", "1"}));
    UnitClient c;
    QVERIFY(c.open(sim.link()));
    std::mt19937 rng(12345);
    QByteArray noise;
    for (int i = 0; i < 256 * 1024; ++i) {
        // Mostly command-like bytes with line ends, so many lines reach the parser.
        const unsigned r = rng() % 16;
        noise.append(r == 0 ? '\r' : r == 1 ? char(rng()) : "CS?EN 1;DC:0.9-"[rng() % 15]);
    }
    QVERIFY(c.write(noise));
    // Replies to the noise come first, and those nobody read in time are dropped; a marker
    // the noise cannot form, asked until it comes back, tells when they are through.
    QVERIFY(c.write("\r;DC:BDG 4242\r\n"));
    QDeadlineTimer deadline(10000);
    bool marker = false;
    while (!marker && !deadline.hasExpired()) {
        QVERIFY(c.write(";DC:BDG?\r\n"));
        QByteArray line;
        do
            line = c.readUntil('\n', 200);
        while (!line.isEmpty() && line != "4242\r\n");
        marker = line == "4242\r\n";
    }
    QVERIFY(marker);
    QCOMPARE(c.query("CFG"), QByteArray("1"));
    QCOMPARE(sim.process().state(), QProcess::Running);
}

void TestSim::lineReaderIsBounded()
{
    sim::LineReader reader(16);
    QByteArrayList lines;
    QList<bool> overlong;
    auto take = [&](std::string_view l, bool o) {
        lines << QByteArray(l.data(), qsizetype(l.size()));
        overlong << o;
    };
    const std::string big(100000, 'x');
    reader.feed(big, take);
    QVERIFY(reader.pending() <= 16);
    reader.feed("\r", take);
    reader.feed("\nOK?\r", take);
    QCOMPARE(lines, (QByteArrayList{QByteArray(16, 'x'), "OK?"}));
    QCOMPARE(overlong, (QList<bool>{true, false}));
}

void TestSim::numberTexts_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<int>("decimals");
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<double>("readBack");
    QTest::newRow("two decimals") << 12.5 << 2 << QByteArray("12.50") << 12.5;
    QTest::newRow("no -0") << -0.0001 << 3 << QByteArray("0.000") << 0.0;
    QTest::newRow("negative") << -3.25 << 2 << QByteArray("-3.25") << -3.25;
    // Longer than a line buffer: every digit is there and nothing past it is read.
    QTest::newRow("1e100") << 1e100 << 0
                           << QByteArray(
                                  "1000000000000000015902891109759918046836080856394528138978"
                                  "1327557747838772170381060813469985856815104")
                           << 1e100;
    QTest::newRow("-1e300 with decimals")
        << -1e300 << 7
        << QByteArray("-10000000000000000525047602552044202487044685811081591549158"
                      "541155118024579889081957863713750804478640437044438328838781"
                      "769425232353604305756447921847867069828483872009265758037378"
                      "302337947880900593689532349707999450811190389676408800746527"
                      "427801424945792587888200568428381156694721963868654594005401"
                      "60.0000000")
        << -1e300;
}

void TestSim::numberTexts()
{
    QFETCH(double, value);
    QFETCH(int, decimals);
    QFETCH(QByteArray, text);
    QFETCH(double, readBack);
    const std::string s = sim::formatFixed(value, decimals);
    QCOMPARE(QByteArray::fromStdString(s), text);
    const auto back = sim::parseNumber(s);
    QVERIFY(back.has_value());
    QCOMPARE(*back, readBack);
}

void TestSim::silentAndSilentAfter()
{
    QTemporaryDir tmp;
    const QString trace = tmp.filePath("trace.txt");
    {
        SimProcess sim;
        QVERIFY(sim.start({"--silent", "--trace", trace}));
        UnitClient c;
        QVERIFY(c.open(sim.link()));
        QVERIFY(c.write(";DC:ID?\r\n"));
        QTRY_COMPARE_WITH_TIMEOUT(countTrace(trace, "MUTE"), 1, 5000);
        QVERIFY(c.nothingWaiting());
        QCOMPARE(countTrace(trace, "TX"), 0);
    }
    {
        SimProcess sim;
        QVERIFY(sim.start({"--silent-after", "2", "--trace", trace}));
        UnitClient c;
        QVERIFY(c.open(sim.link()));
        QCOMPARE(c.command("PM 2"), QByteArray("OK"));
        QCOMPARE(c.query("PM"), QByteArray("2"));
        QVERIFY(c.write(";DC:PM 3\r\n"));
        QTRY_COMPARE_WITH_TIMEOUT(countTrace(trace, "MUTE"), 1, 5000);
        QVERIFY(c.nothingWaiting());
        QCOMPARE(countTrace(trace, "TX"), 2);
    }
}

void TestSim::delayHoldsReplies()
{
    QTemporaryDir tmp;
    const QString trace = tmp.filePath("trace.txt");
    SimProcess sim;
    QVERIFY(sim.start({"--delay", "150", "--trace", trace}));
    UnitClient c;
    QVERIFY(c.open(sim.link()));
    const qint64 sent = monotonicMicrosNow();
    QCOMPARE(c.query("PM"), QByteArray("1"));
    QVERIFY(monotonicMicrosNow() - sent >= 150000);
    QList<TraceLine> lines = readTrace(trace);
    QCOMPARE(lines.size(), 3);
    QCOMPARE(lines[1].kind, QByteArray("RX"));
    QCOMPARE(lines[2].kind, QByteArray("TX"));
    QVERIFY(lines[2].micros - lines[1].micros >= 150000);
}

void TestSim::dropEveryLosesLines()
{
    QTemporaryDir tmp;
    const QString trace = tmp.filePath("trace.txt");
    SimProcess sim;
    QVERIFY(sim.start({"--drop-every", "3", "--trace", trace}));
    UnitClient c;
    QVERIFY(c.open(sim.link()));
    QCOMPARE(c.command("PM 2"), QByteArray("OK"));
    QCOMPARE(c.query("PM"), QByteArray("2"));
    QVERIFY(c.write(";DC:PM 3\r\n")); // the third line is lost, command and reply
    QTRY_COMPARE_WITH_TIMEOUT(countTrace(trace, "DROP"), 1, 5000);
    QVERIFY(c.nothingWaiting());
    QCOMPARE(c.query("PM"), QByteArray("2"));
    QCOMPARE(c.query("PM"), QByteArray("2"));
    QVERIFY(c.write(";DC:PM?\r\n"));
    QTRY_COMPARE_WITH_TIMEOUT(countTrace(trace, "DROP"), 2, 5000);
    QVERIFY(c.nothingWaiting());
}

void TestSim::garbageHasNoCr()
{
    SimProcess sim;
    QVERIFY(sim.start({"--garbage", "CS:40", "--garbage", "vm:3"}));
    UnitClient c;
    QVERIFY(c.open(sim.link()));
    QVERIFY(c.write(";DC:CS?\r\n;DC:PM?\r\n"));
    const QByteArray garbage = c.readBytes(40);
    QCOMPARE(garbage.size(), 40);
    QVERIFY(!garbage.contains('\r'));
    QCOMPARE(c.readUntil('\n'), QByteArray("1\r\n")); // nothing else came before the next reply
    QVERIFY(c.write(";DC:VM?\r\n;DC:PM?\r\n"));
    const QByteArray three = c.readBytes(3);
    QCOMPARE(three.size(), 3);
    QVERIFY(!three.contains('\r'));
    QCOMPARE(c.readUntil('\n'), QByteArray("1\r\n"));
}

void TestSim::fixedAnswer()
{
    SimProcess sim;
    QVERIFY(sim.start({"--answer", "mr:0"}));
    UnitClient c;
    QVERIFY(c.open(sim.link()));
    QCOMPARE(c.query("MR"), QByteArray("0"));
    QCOMPARE(c.query("PM"), QByteArray("1")); // other queries as the unit holds them
}

void TestSim::unplugRemovesLinkAndHangsUp()
{
    SimProcess sim;
    QVERIFY(sim.start({"--unplug-after", "0.3"}));
    UnitClient c;
    QVERIFY(c.open(sim.link()));
    QCOMPARE(c.query("PM"), QByteArray("1"));
    QVERIFY(sim.process().waitForFinished(5000));
    QCOMPARE(sim.process().exitStatus(), QProcess::NormalExit);
    QCOMPARE(sim.process().exitCode(), 0);
    QVERIFY(!QFileInfo::exists(sim.link()));
    QVERIFY(!QFileInfo(sim.link()).isSymLink());
    pollfd p{c.fd(), POLLIN, 0};
    QCOMPARE(::poll(&p, 1, 1000), 1);
    QVERIFY(p.revents & (POLLHUP | POLLERR));
    QVERIFY(c.exchange("PM?", 100).isEmpty());
}

void TestSim::traceRecordsTrafficInOrder()
{
    QTemporaryDir tmp;
    const QString trace = tmp.filePath("trace.txt");
    SimProcess sim;
    QVERIFY(sim.start({"--trace", trace}));
    UnitClient c;
    QVERIFY(c.open(sim.link()));
    const qint64 t0 = monotonicMicrosNow();
    QCOMPARE(c.command("BC 12"), QByteArray("OK"));
    QCOMPARE(c.query("BC"), QByteArray("12"));
    QVERIFY(c.exchange(QByteArray("X\0Y", 3)).startsWith("ERR "));
    const qint64 t1 = monotonicMicrosNow();
    QVERIFY(sim.stop(SIGTERM));

    const QList<TraceLine> lines = readTrace(trace);
    QByteArrayList seen;
    for (const TraceLine& l : lines)
        seen << l.kind + ' ' + l.text;
    QCOMPARE(seen.mid(1, 6), (QByteArrayList{"RX ;DC:BC 12", "TX OK", "RX ;DC:BC?", "TX 12",
                                             "RX X\\x00Y", "TX ERR bad character"}));
    QVERIFY(lines.first().kind == "START" && lines.first().text.contains("COM3"));
    QCOMPARE(lines.last().kind, QByteArray("STOP"));
    for (int i = 1; i <= 6; ++i) {
        QVERIFY(lines[i].micros >= lines[i - 1].micros);
        QVERIFY(lines[i].micros >= t0 && lines[i].micros <= t1);
    }
}

void TestSim::stopSignalRemovesLink_data()
{
    QTest::addColumn<int>("sig");
    QTest::newRow("SIGTERM") << int(SIGTERM);
    QTest::newRow("SIGINT") << int(SIGINT);
}

void TestSim::stopSignalRemovesLink()
{
    QFETCH(int, sig);
    SimProcess sim;
    QVERIFY(sim.start({}));
    QVERIFY(QFileInfo(sim.link()).isSymLink());
    UnitClient c;
    QVERIFY(c.open(sim.link()));
    QVERIFY(sim.stop(sig));
    QCOMPARE(sim.process().exitStatus(), QProcess::NormalExit);
    QCOMPARE(sim.process().exitCode(), 0);
    QVERIFY(!QFileInfo(sim.link()).isSymLink());
    QVERIFY(!QFileInfo::exists(sim.dir())); // the temporary directory it made is gone too
}

void TestSim::instancesShareDirectory()
{
    QTemporaryDir tmp;
    SimProcess a, b, clash;
    QVERIFY(a.start({"--com-dir", tmp.path(), "--port", "3", "--serial", "3"}, 3));
    QVERIFY(b.start({"--com-dir", tmp.path(), "--port", "4", "--serial", "4"}, 4));
    QCOMPARE(a.dir(), QDir(tmp.path()).canonicalPath());
    QCOMPARE(b.dir(), a.dir());
    // A port that is already served is refused, and its link stays.
    QVERIFY(!clash.start({"--com-dir", tmp.path(), "--port", "3"}, 3));
    QVERIFY(clash.process().state() == QProcess::NotRunning ||
            clash.process().waitForFinished(5000));
    QCOMPARE(clash.process().exitCode(), 1);

    UnitClient ca, cb;
    QVERIFY(ca.open(a.link()));
    QVERIFY(cb.open(b.link()));
    QCOMPARE(ca.query("ID").split(',').value(2), QByteArray("3"));
    QCOMPARE(cb.query("ID").split(',').value(2), QByteArray("4"));
    QVERIFY(a.stop(SIGTERM));
    QVERIFY(!QFileInfo(a.link()).isSymLink());
    QVERIFY(QFileInfo(b.link()).isSymLink());
    QCOMPARE(cb.query("ID").split(',').value(2), QByteArray("4"));
    QVERIFY(b.stop(SIGTERM));
    QVERIFY(QFileInfo::exists(tmp.path())); // a given directory is left in place
}

void TestSim::reopenKeepsLink()
{
    QTemporaryDir tmp;
    const QString trace = tmp.filePath("trace.txt");
    SimProcess sim;
    QVERIFY(sim.start({"--trace", trace}));
    UnitClient c;
    for (int i = 0; i < 5; ++i) {
        QVERIFY2(c.open(sim.link()), "re-open refused");
        QCOMPARE(c.command(QByteArray("BC ") + QByteArray::number(i + 1)), QByteArray("OK"));
        // A second client is kept out while the first holds the port.
        UnitClient other;
        QVERIFY(!other.open(sim.link()));
        c.close();
    }
    // A reply nobody read before the close does not reach the next exchange.
    QVERIFY(c.open(sim.link()));
    QVERIFY(c.write(";DC:ID?\r\n"));
    c.close();
    QTRY_COMPARE_WITH_TIMEOUT(countTrace(trace, "TX"), 6, 5000);
    QVERIFY(c.open(sim.link()));
    QCOMPARE(c.query("BC"), QByteArray("5"));
}

void TestSim::commandLine()
{
    QProcess help;
    help.start(QStringLiteral(MERO_SIM_PATH), {"--help"});
    QVERIFY(help.waitForFinished(5000));
    QCOMPARE(help.exitCode(), 0);
    const QByteArray text = help.readAllStandardOutput();
    for (const char* opt :
         {"--com-dir", "--port",         "--cr-only",      "--company",     "--model",
          "--serial",  "--firmware",     "--config",       "--thermal-tau", "--no-noise",
          "--seed",    "--silent",       "--silent-after", "--delay",       "--drop-every",
          "--garbage", "--unplug-after", "--trace",        "--help",        "MERO_COM_DIR"})
        QVERIFY2(text.contains(opt), opt);

    for (const QStringList& bad : {QStringList{"--bogus"}, QStringList{"--port", "101"},
                                   QStringList{"--garbage", "CS"}, QStringList{"--delay"}}) {
        QProcess p;
        p.start(QStringLiteral(MERO_SIM_PATH), bad);
        QVERIFY(p.waitForFinished(5000));
        QCOMPARE(p.exitCode(), 2);
        QVERIFY(p.readAllStandardOutput().isEmpty()); // no link was made
    }
}

QTEST_GUILESS_MAIN(TestSim)
#include "tst_sim.moc"
