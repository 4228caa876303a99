// SPDX-License-Identifier: GPL-3.0-or-later
// A link that misbehaves, with the real program under Xvfb against mero-sim:
// a line the unit sends unasked during the read-back, a unit gone for 0.3 s
// (the box at once, and Yes finds the same unit again with logging still
// on), and two units with the one picked by hand found again after the
// restart, or a box naming both when it is gone.
#include "AppState.h"
#include "CommandSet.h"
#include "E2ESupport.h"
#include "MEROApplication.h"
#include "MEROMain.h"
#include "MEROTexts.h"
#include "ReadBackOrder.h"
#include "plussped.h"
#include "spinarrowbutton.h"

#include <QDir>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

#include <cmath>
#include <csignal>
#include <memory>
#include <sys/types.h>

using e2e::TraceLine;

namespace
{
const QString kCaption = QStringLiteral("MERO    Ver: 1.4.1.1");
const QString kLost = QStringLiteral("Port no longer available, restart?");

// The replies the unit gave to the last asking of each query, from its trace.
QMap<QByteArray, QByteArray> LastReplies(const QList<TraceLine>& trace)
{
    QMap<QByteArray, QByteArray> out;
    QByteArray asked;
    for (const TraceLine& t : trace) {
        if (t.kind == "RX")
            asked = t.text;
        else if (t.kind == "TX" && asked.startsWith(";DC:") && asked.endsWith('?'))
            out[asked.mid(4, asked.size() - 5)] = t.text;
    }
    return out;
}

// The lines received after the first trace line of this kind.
QList<QByteArray> ReceivedAfter(const QList<TraceLine>& trace, const QByteArray& kind)
{
    QList<QByteArray> out;
    bool after = false;
    for (const TraceLine& t : trace) {
        after = after || t.kind == kind;
        if (after && t.kind == "RX")
            out << t.text;
    }
    return out;
}

// A program that a tested one started by itself (the restart), ended by its
// process id when the test is done.
class Adopted
{
public:
    ~Adopted() { End(); }
    void Take(pid_t id) { pid = id; }
    void End()
    {
        if (pid <= 0)
            return;
        ::kill(pid, SIGTERM);
        QTRY_VERIFY_WITH_TIMEOUT(::kill(pid, 0) != 0, 10000);
        pid = -1;
    }

private:
    pid_t pid = -1;
};
} // namespace

class TestE2ESync : public QObject
{
    Q_OBJECT

    e2e::Screen screen{qEnvironmentVariable("DISPLAY")};

    // The window of the instance MERO started on its own, and its process.
    QString Restarted(Adopted& adopted, const QString& title)
    {
        const QString window = screen.WaitForWindow(title, 20000);
        const QByteArray pid = screen.Run("xdotool", {"getwindowpid", window});
        if (pid.toInt() > 0)
            adopted.Take(pid.toInt());
        return window;
    }

private Q_SLOTS:
    void initTestCase()
    {
        if (const QString why = e2e::NotReady(); !why.isEmpty())
            QSKIP(qPrintable(why));
    }

    void unsolicitedLineDuringTheReadBack();
    void unitGoneForAMomentIsFoundAgain();
    void pickedUnitIsFoundAgain_data();
    void pickedUnitIsFoundAgain();
};

// "FAULT 3" arrives just before the reply to MR?: the controls still show
// what the unit holds, and a click on the current's Up arrow sends one step
// above what CS? answered.
void TestE2ESync::unsolicitedLineDuringTheReadBack()
{
    QTemporaryDir dir;
    e2e::SimUnit sim;
    QVERIFY(sim.Start(dir.path(), 3, {"--delay", "30", "--unsolicited", "MR:FAULT 3"}));
    qputenv("MERO_COM_DIR", dir.path().toLocal8Bit());
    const QString cwd = QDir::currentPath();
    QDir::setCurrent(dir.path());
    auto w = std::make_unique<TMERO_App>();
    w->FormCreate(w.get());
    QVERIFY(!w->Ending());
    w->show();
    QVERIFY(QTest::qWaitForWindowExposed(w.get()));
    // The read-back started again after the stray line and ran to its end.
    QCOMPARE(sim.Received().count(";DC:CFG?"), 2);
    QCOMPARE(sim.Received().count(";DC:BDG?"), 1);
    const QMap<QByteArray, QByteArray> unit = LastReplies(sim.Trace());
    for (const auto& [spin, mnemonic] : {std::pair{"ISettingAdj", "CS"},
                                         {"RepRateAdj", "RR"},
                                         {"PulseWidthAdj", "PW"},
                                         {"MaxCurrentAdj", "MC"},
                                         {"MaximumRateAdj", "MR"},
                                         {"ComplianceVAdj", "CV"},
                                         {"BurstCountAdj", "BC"}})
        QCOMPARE(e2e::Child<TPlusSpinEdit>(w.get(), spin)->Value(),
                 unit.value(mnemonic).toDouble());

    auto* cs = e2e::Child<TPlusSpinEdit>(w.get(), "ISettingAdj");
    const double before = cs->Value();
    const double step = std::pow(10.0, cs->IncExponent());
    const QPoint p = cs->UpButton()->mapToGlobal(cs->UpButton()->rect().center());
    QVERIFY(e2e::Xdo({"mousemove", QString::number(p.x()), QString::number(p.y())}));
    QVERIFY(e2e::Xdo({"click", "1"}));
    const QByteArray expected = ";DC:" + SetCommand("CS", before + step).toLatin1();
    QTRY_VERIFY2_WITH_TIMEOUT(
        sim.Received().contains(expected),
        (expected + " not in: " + sim.Received().join(' ').right(300)).constData(), 5000);
    for (const QByteArray& line : sim.Received())
        QVERIFY2(!line.startsWith(";DC:CS ") || line == expected, line.constData());
    w.reset();
    QDir::setCurrent(cwd);
}

// The unit is gone for 0.3 s: the box comes at once, Yes restarts MERO with
// its log switch, and the new instance finds the same unit on its port.
void TestE2ESync::unitGoneForAMomentIsFoundAgain()
{
    QTemporaryDir dir;
    e2e::SimUnit sim;
    QVERIFY(sim.Start(dir.path(), 3, {"--delay", "2", "--flicker-after", "4:300"}));
    e2e::MeroRun mero;
    QVERIFY(mero.Start(screen.Display(), dir.path(), {"-log"}, {"USERNAME=opsuser"}));
    QVERIFY(!screen.WaitForWindow(kCaption).isEmpty());
    QTRY_VERIFY_WITH_TIMEOUT(
        [&] {
            for (const TraceLine& t : sim.Trace())
                if (t.kind == "GONE")
                    return true;
            return false;
        }(),
        10000);
    // At once: well before a poll could find the port back.
    const QString box = screen.WaitForWindow("MERO Application", 2000);
    QVERIFY2(!box.isEmpty(), "no box within 2 s of the unit going");
    QVERIFY(screen.ShowsBox(box, QMessageBox::Warning, kLost, QMessageBox::Yes | QMessageBox::No));
    screen.Key(box, "Return"); // Yes
    QVERIFY(mero.Process().waitForFinished(10000));

    Adopted restarted;
    QVERIFY(!Restarted(restarted, kCaption).isEmpty());
    // After the unit came back: the new instance's scan on its port, then
    // the whole read-back.
    QTRY_VERIFY_WITH_TIMEOUT(ReceivedAfter(sim.Trace(), "BACK").contains(";DC:BDG?"), 10000);
    const QList<QByteArray> again = ReceivedAfter(sim.Trace(), "BACK");
    const QList<QByteArray> expected =
        QList<QByteArray>{";DC:ID?", ";DC:ID?"} + ReadBackQueries(false);
    QCOMPARE(again.mid(0, expected.size()), expected);
    // Logging is still on: a second log, of the new instance, with its scan.
    QTRY_COMPARE_WITH_TIMEOUT(
        QDir(dir.path()).entryList({"MEROControllerLogFile_opsuser_*"}, QDir::Files).size(), 2,
        5000);
    const QStringList logs =
        QDir(dir.path()).entryList({"MEROControllerLogFile_opsuser_*"}, QDir::Files, QDir::Time);
    QFile newest(dir.filePath(logs.first()));
    QVERIFY(newest.open(QIODevice::ReadOnly));
    QVERIFY(newest.readAll().contains("): ;DC:ID?\r\n"));
    restarted.End();
}

void TestE2ESync::pickedUnitIsFoundAgain_data()
{
    QTest::addColumn<bool>("comesBack");
    QTest::newRow("COM5 comes back") << true;
    QTest::newRow("COM5 is gone") << false;
}

// Two units; the operator picks COM5 by hand. Lost and back, COM5's unit is
// used again (never the one on COM3); gone for good, a box names both.
void TestE2ESync::pickedUnitIsFoundAgain()
{
    QFETCH(bool, comesBack);
    QTemporaryDir dir;
    e2e::SimUnit com3, com5;
    QVERIFY(com3.Start(dir.path(), 3, {"--delay", "2", "--serial", "333"}));
    QVERIFY(
        com5.Start(dir.path(), 5,
                   {"--delay", "2", "--serial", "555",
                    comesBack ? "--flicker-after" : "--unplug-after", comesBack ? "5:300" : "5"}));
    e2e::MeroRun mero;
    QVERIFY(mero.Start(screen.Display(), dir.path(), {"-pick"}));
    const QString picker = screen.WaitForWindow("Select Serial Port");
    QVERIFY(!picker.isEmpty());
    // From OK back to the list, which starts empty: COM3, then COM5.
    for (const char* key : {"shift+Tab", "Down", "Down", "Return"})
        screen.Key(picker, key);
    QVERIFY(!screen.WaitForWindow(kCaption).isEmpty());
    QTRY_VERIFY_WITH_TIMEOUT(com5.Received().contains(";DC:BDG?"), 10000);
    QVERIFY(!com3.Received().contains(";DC:CFG?"));

    const QString box = screen.WaitForWindow("MERO Application", 15000);
    QVERIFY(!box.isEmpty());
    QVERIFY(screen.ShowsBox(box, QMessageBox::Warning, kLost, QMessageBox::Yes | QMessageBox::No));
    screen.Key(box, "Return"); // Yes
    QVERIFY(mero.Process().waitForFinished(10000));

    Adopted restarted;
    if (comesBack) {
        QVERIFY(!Restarted(restarted, kCaption).isEmpty());
        QTRY_VERIFY_WITH_TIMEOUT(ReceivedAfter(com5.Trace(), "BACK").contains(";DC:BDG?"), 10000);
        // COM5 was asked first, and found: COM3 was never asked again.
        QVERIFY(!com3.Received().contains(";DC:CFG?"));
        QCOMPARE(com3.Received().count(";DC:ID?"), 0);
    } else {
        const QString other = Restarted(restarted, "MERO Application");
        QVERIFY(!other.isEmpty());
        QVERIFY(screen.ShowsBox(
            other, QMessageBox::Warning,
            OtherUnitText({5, {}, 0}, 3, {"MERO Virtual Unit", "2740", 333, "1.0.0"}),
            QMessageBox::Yes | QMessageBox::No));
        screen.Key(other, "Escape"); // No: the new instance ends
        QTRY_VERIFY_WITH_TIMEOUT(screen.Windows("MERO Application").isEmpty(), 10000);
        QVERIFY(!com3.Received().contains(";DC:CFG?"));
    }
    restarted.End();
}

MERO_E2E_MAIN(TMEROApplication, TestE2ESync)
#include "tst_e2e_sync.moc"
