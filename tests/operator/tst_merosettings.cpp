// SPDX-License-Identifier: GPL-3.0-or-later
// Every setting control of the window, from the operator's change to the
// exact bytes on the wire, through the queue and the 5 ms task pump.
#include "OperatorFixture.h"

#include "MeasureBar.h"
#include "RadioGroup.h"
#include "plussped.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

#include <functional>

class TestMeroSettings : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void changeGoesOnTheWire_data();
    void changeGoesOnTheWire();
    void maxCurrentClampsCurrentSetting();
    void changeKeepsTheTimersPeriod();
    void readBackQueuesNothingButLimitsFollow();
    void queuedTextsWaitForThePoll();
    void recallSendsRcThenReadBackThenQueue();
    void terminalLineAndSettingKeepTheirKinds();
};

void TestMeroSettings::changeGoesOnTheWire_data()
{
    QTest::addColumn<TAction>("action");
    QTest::addColumn<QByteArray>("wire");

    QTest::newRow("current 12.5") << TAction([](TOperatorFixture& f) {
        f.Find<TPlusSpinEdit>("ISettingAdj")->AssignValue(12.5);
    }) << QByteArray(";DC:CS 012.50\r\n");
    QTest::newRow("three quick changes in order") << TAction([](TOperatorFixture& f) {
        f.DuringReadBack([&] { f.Find<TPlusSpinEdit>("RepRateAdj")->SetMaxValue(5000); });
        f.Find<TPlusSpinEdit>("ISettingAdj")->AssignValue(12.5);
        f.Find<TPlusSpinEdit>("RepRateAdj")->AssignValue(1000);
        f.Find<TPlusSpinEdit>("PulseWidthAdj")->AssignValue(0.00001);
    }) << QByteArray(";DC:CS 012.50\r\n;DC:RR 001000.0\r\n;DC:PW 0.0000100\r\n");
    QTest::newRow("Q-switch delay -100 us") << TAction([](TOperatorFixture& f) {
        f.Find<TPlusSpinEdit>("QSWDelayAdj")->AssignValue(-0.0001);
    }) << QByteArray(";DC:QD -0.0001000\r\n");
    QTest::newRow("spare analog out 2.5") << TAction([](TOperatorFixture& f) {
        f.Find<TPlusSpinEdit>("SpareAnalogOutAdj")->AssignValue(2.5);
    }) << QByteArray(";DC:AO 2.500\r\n");
    QTest::newRow("burst count rounds half to even") << TAction([](TOperatorFixture& f) {
        f.Find<TPlusSpinEdit>("BurstCountAdj")->SetDecimals(1);
        f.Find<TPlusSpinEdit>("BurstCountAdj")->AssignValue(2.5);
    }) << QByteArray(";DC:BC 2\r\n");
    QTest::newRow("maximum rate clamps the rate") << TAction([](TOperatorFixture& f) {
        f.DuringReadBack([&] {
            f.Find<TPlusSpinEdit>("RepRateAdj")->SetMaxValue(5000);
            f.Find<TPlusSpinEdit>("RepRateAdj")->AssignValue(1000);
        });
        f.Find<TPlusSpinEdit>("MaximumRateAdj")->AssignValue(500);
    }) << QByteArray(";DC:MR 500\r\n;DC:RR 000500.0\r\n");
    QTest::newRow("pulsing Off") << TAction([](TOperatorFixture& f) {
        Choose(f.Find<QComboBox>("PulseEnableOff"), 1);
    }) << QByteArray(";DC:PE 0\r\n");
    QTest::newRow("pulsing On") << TAction([](TOperatorFixture& f) {
        Choose(f.Find<QComboBox>("PulseEnableOff"), 0);
    }) << QByteArray(";DC:PE 1\r\n");
    QTest::newRow("temperature fault Bypass")
        << TAction([](TOperatorFixture& f) { Choose(f.Find<QComboBox>("TempFaultByp"), 1); })
        << QByteArray(";DC:TB 1\r\n");
    QTest::newRow("interlock bypass Enable")
        << TAction([](TOperatorFixture& f) { Choose(f.Find<QComboBox>("IntlkCntrlByp"), 0); })
        << QByteArray(";DC:IC 0\r\n");
    QTest::newRow("pulse mode Burst")
        << TAction([](TOperatorFixture& f) { Choose(f.Find<QComboBox>("PulseModeSel"), 2); })
        << QByteArray(";DC:PM 2\r\n");
    QTest::newRow("interlock control Closed") << TAction([](TOperatorFixture& f) {
        f.Find<TRadioGroup>("IntrlkCntrlGrp")->Button(1)->click();
    }) << QByteArray(";DC:IC 1\r\n");
    QTest::newRow("Q-switch Enabled, kept in the state") << TAction([](TOperatorFixture& f) {
        f.Find<QWidget>("TabVRX")->setEnabled(true); // an extended unit
        f.Find<TRadioGroup>("QSWEnableGrp")->Button(1)->click();
        QCOMPARE(appState().QSwitchEnable, 1);
    }) << QByteArray(";DC:QE 1\r\n");
    QTest::newRow("no selection: index -1, two-choice boxes silent")
        << TAction([](TOperatorFixture& f) {
               f.w->PulseModeSelChange(f.Find<QComboBox>("PulseModeSel"));
               f.w->ExtTrigSelChange(f.Find<QComboBox>("ExtTrigSel"));
               f.w->SyncSettingSelChange(f.Find<QComboBox>("SyncSettingSel"));
               f.w->TempFaultBypChange(f.Find<QComboBox>("TempFaultByp"));
               f.w->IntlkCntrlBypChange(f.Find<QComboBox>("IntlkCntrlByp"));
               f.w->PulseEnableOffChange(f.Find<QComboBox>("PulseEnableOff"));
           })
        << QByteArray(";DC:PM -1\r\n;DC:ET -1\r\n;DC:SY -1\r\n");
    QTest::newRow("external trigger Gate (Active Low)") << TAction([](TOperatorFixture& f) {
        f.Find<QWidget>("TabVRX")->setEnabled(true); // an extended unit
        Choose(f.Find<QComboBox>("ExtTrigSel"), 8);
    }) << QByteArray(";DC:ET 8\r\n");
    QTest::newRow("sync Pulse/Q-SW") << TAction([](TOperatorFixture& f) {
        f.Find<QWidget>("TabVRX")->setEnabled(true);
        Choose(f.Find<QComboBox>("SyncSettingSel"), 3);
    }) << QByteArray(";DC:SY 3\r\n");
    QTest::newRow("Enable twice before the poll") << TAction([](TOperatorFixture& f) {
        f.Find<QPushButton>("Enablebtn")->click();
        f.Find<QPushButton>("Enablebtn")->click();
    }) << QByteArray(";DC:EN 1\r\n;DC:EN 1\r\n");
    QTest::newRow("Enable with driver state 2 sends nothing, Start from started")
        << TAction([](TOperatorFixture& f) {
               appState().DriverEnabled = 2;
               appState().DriverStarted = 1;
               f.Find<QPushButton>("Enablebtn")->click();
               f.w->StartbtnClick(f.Find<QPushButton>("Startbtn"));
           })
        << QByteArray(";DC:ST 0\r\n");
    QTest::newRow("Save before any selection")
        << TAction([](TOperatorFixture& f) { f.Find<QPushButton>("SaveBin")->click(); })
        << QByteArray(";DC:SV 0\r\n");
    QTest::newRow("Save bin 4") << TAction([](TOperatorFixture& f) {
        Choose(f.Find<QComboBox>("StorageBinSel"), 3);
        f.Find<QPushButton>("SaveBin")->click();
        QCOMPARE(appState().StorageBin, 4);
    }) << QByteArray(";DC:SV 4\r\n");
}

void TestMeroSettings::changeGoesOnTheWire()
{
    QFETCH(TAction, action);
    QFETCH(QByteArray, wire);
    TOperatorFixture f(11);
    action(f);
    QCOMPARE(f.WireWhenEqual(wire), wire);
    QTRY_COMPARE(appState().CommandQueue.Count(), 0);
    QTRY_VERIFY(!appState().TaskBusy);
    QTest::qWait(20); // a few more ticks add nothing
    QCOMPARE(f.unit.received(), wire);
}

void TestMeroSettings::maxCurrentClampsCurrentSetting()
{
    TOperatorFixture f(12);
    f.DuringReadBack([&] {
        f.Find<TPlusSpinEdit>("MaxCurrentAdj")->AssignValue(40);
        f.Find<TPlusSpinEdit>("ISettingAdj")->AssignValue(30);
    });
    QCOMPARE(f.Find<TMeasureBar>("CurrentMeasureBar")->maximum(), 40);
    f.Find<TPlusSpinEdit>("MaxCurrentAdj")->AssignValue(20);
    const QByteArray wire(";DC:MC 20\r\n;DC:CS 020.00\r\n");
    QCOMPARE(f.WireWhenEqual(wire), wire);
    QCOMPARE(f.Find<TMeasureBar>("CurrentMeasureBar")->maximum(), 20);
    QCOMPARE(f.Find<TPlusSpinEdit>("ISettingAdj")->Value(), 20.0);
    QCOMPARE(appState().CurrentSetting, 20.0);
    QCOMPARE(appState().MaxCurrent, 20.0);

    // The compliance voltage sets the voltage bar's maximum.
    f.unit.clearReceived();
    f.Find<TPlusSpinEdit>("ComplianceVAdj")->AssignValue(5.5);
    QCOMPARE(f.WireWhenEqual(";DC:CV 05.5\r\n"), QByteArray(";DC:CV 05.5\r\n"));
    QCOMPARE(f.Find<TMeasureBar>("VoltageMeasureBar")->maximum(), 550);
}

void TestMeroSettings::changeKeepsTheTimersPeriod()
{
    // Restarting the running task timer on every change would hold each
    // command back for a whole period.
    TOperatorFixture f(17);
    f.w->TaskTimer->setInterval(1000);
    f.w->TaskTimer->start();
    QTest::qWait(50);
    const int before = f.w->TaskTimer->remainingTime();
    f.Find<TPlusSpinEdit>("ISettingAdj")->AssignValue(1);
    QVERIFY(f.w->TaskTimer->isActive());
    QVERIFY2(f.w->TaskTimer->remainingTime() <= before,
             qPrintable(QString("%1 > %2").arg(f.w->TaskTimer->remainingTime()).arg(before)));
}

void TestMeroSettings::readBackQueuesNothingButLimitsFollow()
{
    TOperatorFixture f(13);
    f.w->Initialize();
    QCOMPARE(f.Find<TPlusSpinEdit>("ISettingAdj")->MaxValue(), 40.0);
    QCOMPARE(f.Find<TPlusSpinEdit>("ISettingAdj")->Value(), 12.5);
    QCOMPARE(f.Find<TMeasureBar>("CurrentMeasureBar")->maximum(), 40);
    QCOMPARE(f.Find<TMeasureBar>("VoltageMeasureBar")->maximum(), 2450);
    QCOMPARE(f.Find<TPlusSpinEdit>("RepRateAdj")->MaxValue(), 5000.0);
    QCOMPARE(appState().CommandQueue.Count(), 0);
    QTest::qWait(30);
    QList<QByteArray> expected = ReadBackQueries(false);
    QCOMPARE(f.unit.lines(), expected);
}

void TestMeroSettings::queuedTextsWaitForThePoll()
{
    TOperatorFixture f(14);
    f.Answer({{"CM", "2.5"}, {"VM", "5.5"}, {"SS", "5"}}, 60);
    // Changes made while the poll waits for its replies.
    QTimer::singleShot(20, f.w.get(),
                       [&] { f.Find<TPlusSpinEdit>("ISettingAdj")->AssignValue(1); });
    QTimer::singleShot(90, f.w.get(),
                       [&] { f.Find<TPlusSpinEdit>("ISettingAdj")->AssignValue(2); });
    f.w->StatusTimer->start();
    f.w->StatusTimerTimer(f.w->StatusTimer);
    const QByteArray wire(";DC:CM?\r\n;DC:VM?\r\n;DC:SS?\r\n;DC:CS 001.00\r\n;DC:CS 002.00\r\n");
    QCOMPARE(f.WireWhenEqual(wire), wire);
}

void TestMeroSettings::recallSendsRcThenReadBackThenQueue()
{
    TOperatorFixture f(15);
    Choose(f.Find<QComboBox>("StorageBinSel"), 2);
    QCOMPARE(appState().SelectedBin, 3);
    f.Find<QPushButton>("RecallBin")->click();
    f.Find<TPlusSpinEdit>("ISettingAdj")->AssignValue(7); // same interval, sent after the read-back
    QByteArray wire(";DC:RC 3\r\n");
    for (const QByteArray& q : ReadBackQueries(false))
        wire += q + "\r\n";
    wire += ";DC:CS 007.00\r\n";
    QCOMPARE(f.WireWhenEqual(wire), wire);
    QTRY_VERIFY(!appState().RecallPending && !appState().TaskBusy);
    QVERIFY(f.w->StatusTimer->isActive());
    QVERIFY(f.w->TaskTimer->isActive());
    // The read-back showed what the unit holds after the recall.
    QCOMPARE(f.Find<QComboBox>("StorageBinSel")->currentIndex(), 2);
    QCOMPARE(f.Find<QComboBox>("PulseModeSel")->currentIndex(), 1);
}

void TestMeroSettings::terminalLineAndSettingKeepTheirKinds()
{
    TOperatorFixture f(16);
    f.Find<QLineEdit>("SendEdit")->setText("SS?");
    f.Find<QPushButton>("Sendbtn")->click();
    Choose(f.Find<QComboBox>("TempFaultByp"), 1);
    const QByteArray wire("SS?\r\n;DC:TB 1\r\n");
    QCOMPARE(f.WireWhenEqual(wire), wire);
}

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    TestMeroSettings test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_merosettings.moc"
