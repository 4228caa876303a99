// SPDX-License-Identifier: GPL-3.0-or-later
// What the window must never put on the wire: a value the unit cannot hold,
// a second recall nobody asked for, a read-back that misreads a wild reply.
#include "OperatorFixture.h"

#include "MeasureBar.h"
#include "plussped.h"

#include <QAction>
#include <QComboBox>
#include <QPushButton>

#include <climits>
#include <functional>

namespace
{
// Lets the pump run a few passes, so that a command it owes is on the wire.
void Settle(TOperatorFixture& f)
{
    QTRY_COMPARE(appState().CommandQueue.Count(), 0);
    QTRY_VERIFY(!appState().TaskBusy);
    QTest::qWait(30);
    Q_UNUSED(f);
}
} // namespace

class TestSafeWire : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void noValueBelowTheFloor_data();
    void noValueBelowTheFloor();
    void silentMaximumRateLeavesTheRateFree_data();
    void silentMaximumRateLeavesTheRateFree();
    void storageBinOutsideTheListSelectsNone_data();
    void storageBinOutsideTheListSelectsNone();
    void aboutBoxesArePlain_data();
    void aboutBoxesArePlain();
    void exitEndsAfterTheExchangeInProgress_data();
    void exitEndsAfterTheExchangeInProgress();
};

void TestSafeWire::noValueBelowTheFloor_data()
{
    QTest::addColumn<TAction>("action");
    QTest::addColumn<QByteArray>("wire");

    auto down = [](const char* name) {
        return TAction([name](TOperatorFixture& f) { f.Find<TPlusSpinEdit>(name)->SpinDown(); });
    };
    QTest::newRow("maximum current Down at 0") << down("MaxCurrentAdj") << QByteArray();
    QTest::newRow("compliance voltage Down at 0") << down("ComplianceVAdj") << QByteArray();
    QTest::newRow("maximum rate Down at 0") << down("MaximumRateAdj") << QByteArray();
    QTest::newRow("burst count Down at 0") << down("BurstCountAdj") << QByteArray();
    QTest::newRow("current Down at 0, no maximum") << down("ISettingAdj") << QByteArray();
    QTest::newRow("maximum current Down from 1 stops at 0") << TAction([](TOperatorFixture& f) {
        auto* mc = f.Find<TPlusSpinEdit>("MaxCurrentAdj");
        f.DuringReadBack([&] { mc->AssignValue(1); });
        mc->SpinDown();
        mc->SpinDown();
        mc->AssignValue(-5);
        QCOMPARE(mc->Value(), 0.0);
        QCOMPARE(f.Find<TPlusSpinEdit>("ISettingAdj")->MaxValue(), 0.0);
    }) << QByteArray(";DC:MC 0\r\n");
    // The specified chains (MC 40 to 20, MR below the rate) are pinned in tst_merosettings.
    QTest::newRow("MR 0 leaves the rate as it is") << TAction([](TOperatorFixture& f) {
        f.DuringReadBack([&] {
            f.Find<TPlusSpinEdit>("MaximumRateAdj")->AssignValue(1);
            f.Find<TPlusSpinEdit>("RepRateAdj")->AssignValue(1);
        });
        f.Find<TPlusSpinEdit>("MaximumRateAdj")->SpinDown();
        QCOMPARE(f.Find<TPlusSpinEdit>("RepRateAdj")->Value(), 1.0);
    }) << QByteArray(";DC:MR 0\r\n");
}

void TestSafeWire::noValueBelowTheFloor()
{
    QFETCH(TAction, action);
    QFETCH(QByteArray, wire);
    TOperatorFixture f(41);
    action(f);
    QCOMPARE(f.WireWhenEqual(wire), wire);
    Settle(f);
    QCOMPARE(f.unit.received(), wire);
}

void TestSafeWire::silentMaximumRateLeavesTheRateFree_data()
{
    QTest::addColumn<QByteArray>("mr");
    QTest::addColumn<QByteArray>("mc");
    QTest::addColumn<bool>("read"); // false: the read-back gives up
    QTest::newRow("MR? 0") << QByteArray("0") << QByteArray("40") << true;
    QTest::newRow("MR? decimal") << QByteArray("0.5") << QByteArray("40") << false;
    QTest::newRow("MR? silent, MC? negative") << QByteArray() << QByteArray("-5") << false;
}

void TestSafeWire::silentMaximumRateLeavesTheRateFree()
{
    QFETCH(QByteArray, mr);
    QFETCH(QByteArray, mc);
    QFETCH(bool, read);
    TOperatorFixture f(42);
    auto replies = BasicUnitReplies();
    if (mr.isEmpty())
        replies.remove("MR");
    else
        replies["MR"] = mr;
    replies["MC"] = mc;
    f.Answer(replies);
    f.w->ComPort->SetResponseTime(200);
    auto* rr = f.Find<TPlusSpinEdit>("RepRateAdj");
    auto* cs = f.Find<TPlusSpinEdit>("ISettingAdj");
    const double rateBefore = rr->Value();
    const double currentBefore = cs->Value();
    f.w->Initialize();
    // A maximum that is no integer, or none, may be another line's reply:
    // nothing of that read-back is shown.
    QCOMPARE(f.prompts.textsOf(ScriptedPrompts::Kind::Warning).size(), read ? 0 : 1);
    QCOMPARE(rr->Value(), read ? 1000.0 : rateBefore);
    QCOMPARE(cs->Value(), read ? 12.5 : currentBefore);
    QVERIFY(cs->Value() >= 0);
    QVERIFY(cs->MaxValue() >= 0);
    QCOMPARE(f.Find<TMeasureBar>("CurrentMeasureBar")->maximum() >= 0, true);

    f.unit.clearReceived();
    rr->SelectDigit(0);
    rr->SpinUp();
    cs->SelectDigit(0);
    cs->SpinDown();
    QVERIFY(rr->Value() >= 0.1 && cs->Value() >= 0);
    if (!read) {
        // The arrows step from what the controls showed before.
        Settle(f);
        QVERIFY(!f.unit.received().contains("RR 000000.0"));
        QVERIFY(!f.unit.received().contains(" -"));
        return;
    }
    const QByteArray wire(";DC:RR 001001.0\r\n;DC:CS 011.50\r\n");
    QCOMPARE(f.WireWhenEqual(wire), wire);
    Settle(f);
    QCOMPARE(f.unit.received(), wire);
}

void TestSafeWire::storageBinOutsideTheListSelectsNone_data()
{
    QTest::addColumn<QByteArray>("rc");
    QTest::addColumn<int>("item");
    QTest::newRow("bin 5") << QByteArray("5") << 4;
    QTest::newRow("bin 1") << QByteArray("1") << 0;
    QTest::newRow("bin 0") << QByteArray("0") << -1;
    QTest::newRow("bin 6") << QByteArray("6") << -1;
    QTest::newRow("smallest integer") << QByteArray("-2147483648") << -1;
    QTest::newRow("largest integer") << QByteArray("2147483647") << -1;
}

void TestSafeWire::storageBinOutsideTheListSelectsNone()
{
    QFETCH(QByteArray, rc);
    QFETCH(int, item);
    TOperatorFixture f(43);
    auto replies = BasicUnitReplies();
    replies["RC"] = rc;
    f.Answer(replies);
    f.w->Initialize();
    QCOMPARE(f.Find<QComboBox>("StorageBinSel")->currentIndex(), item);
    QCOMPARE(appState().SelectedBin, rc.toInt());
}

void TestSafeWire::aboutBoxesArePlain_data()
{
    QTest::addColumn<bool>("control");
    QTest::addColumn<QString>("code");
    QTest::newRow("Halvane") << false << QString();
    QTest::newRow("Form Unlocked") << true << QStringLiteral("60728");
    QTest::newRow("Incorrect Code") << true << QStringLiteral("1");
}

void TestSafeWire::aboutBoxesArePlain()
{
    QFETCH(bool, control);
    QFETCH(QString, code);
    TOperatorFixture f(44);
    f.keys.control = control;
    if (control)
        f.prompts.answerText(true, code);
    f.Find<QAction>("About1")->trigger();
    QVERIFY(!f.prompts.shown().isEmpty());
    QVERIFY2(f.prompts.shown().last().plain, qPrintable(f.prompts.shown().last().text));
}

void TestSafeWire::exitEndsAfterTheExchangeInProgress_data()
{
    // What runs while the unit is slow to answer, and the one line Exit waits for.
    QTest::addColumn<TAction>("start");
    QTest::addColumn<QByteArray>("slow");
    QTest::newRow("recall's RC") << TAction([](TOperatorFixture& f) {
        Choose(f.Find<QComboBox>("StorageBinSel"), 2);
        f.Find<QPushButton>("RecallBin")->click();
        f.Find<TPlusSpinEdit>("ISettingAdj")->AssignValue(7);
    }) << QByteArray(";DC:RC 3");
    QTest::newRow("poll, then a deferred read-back and a change")
        << TAction([](TOperatorFixture& f) {
               QTimer::singleShot(20, f.w.get(), [&f] {
                   f.w->Initialize(); // deferred: the poll holds the port
                   f.Find<TPlusSpinEdit>("ISettingAdj")->AssignValue(7);
               });
               f.w->StatusTimer->start();
               f.w->StatusTimerTimer(f.w->StatusTimer);
           })
        << QByteArray(";DC:CM?");
    QTest::newRow("queued change") << TAction([](TOperatorFixture& f) {
        f.Find<TPlusSpinEdit>("ISettingAdj")->AssignValue(7);
        f.Find<TPlusSpinEdit>("ISettingAdj")->AssignValue(8);
    }) << QByteArray(";DC:CS 007.00");
}

void TestSafeWire::exitEndsAfterTheExchangeInProgress()
{
    QFETCH(TAction, start);
    QFETCH(QByteArray, slow);
    TOperatorFixture f(45);
    f.w->show();
    f.unit.clearRules();
    f.unit.onLine(slow, PtyReply::After(300, "1\r"));
    const auto replies = BasicUnitReplies();
    for (auto it = replies.begin(); it != replies.end(); ++it)
        f.unit.onLine(";DC:" + it.key() + "?", it.value() + "\r");
    f.unit.onAnyLine([](const QByteArray&) { return PtyReply::Now("OK\r"); });
    QElapsedTimer t;
    t.start();
    QTimer::singleShot(60, f.w.get(), [&f] { f.Find<QAction>("Exit1")->trigger(); });
    start(f);
    const QByteArray wire = slow + "\r\n;DC:ST 0\r\n";
    QCOMPARE(f.WireWhenEqual(wire), wire);
    QTRY_VERIFY(!f.w->isVisible());
    // One response time (1 s here) bounds the whole exit, against the 20 s a
    // read-back and drain would take.
    QVERIFY2(t.elapsed() < 1500, qPrintable(QString::number(t.elapsed())));
    QTest::qWait(50);
    QCOMPARE(f.unit.received(), wire);
}

QTEST_MAIN(TestSafeWire)
#include "tst_safewire.moc"
