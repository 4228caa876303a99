// SPDX-License-Identifier: GPL-3.0-or-later
// The read-back against a scripted unit on a pseudo-terminal: the queries on
// the wire, and what every control shows afterwards.
#include "WindowFixture.h"

#include "Communication.h"
#include "LampWidget.h"
#include "MEROTexts.h"
#include "MeasureBar.h"
#include "RadioGroup.h"
#include "ScriptedPrompts.h"
#include "plussped.h"

#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTextEdit>
#include <QTimer>
#include <QtTest>

class TestMeroReadback : public QObject
{
    Q_OBJECT

    // One unit for the whole program; each case scripts it afresh.
    PtyUnit unit{4};
    TMERO_App* w = nullptr;
    ScriptedKeys* keys = nullptr;
    ScriptedPrompts* prompts = nullptr;

    template <typename T> T* Find(const char* name)
    {
        return w->findChild<T*>(QString::fromLatin1(name));
    }
    double Value(const char* spin) { return Find<QWidget>(spin)->property("Value").toDouble(); }
    int Index(const char* box) { return Find<QComboBox>(box)->currentIndex(); }
    QString Text(const char* name)
    {
        if (auto* b = Find<QPushButton>(name))
            return b->text();
        if (auto* e = Find<QLineEdit>(name))
            return e->text();
        return Find<QLabel>(name)->text();
    }
    void ReadBack(const QMap<QByteArray, QByteArray>& replies, quint32 responseTimeMs = 1000)
    {
        ScriptReplies(unit, replies);
        UsePort(*w, unit, responseTimeMs);
        unit.clearReceived();
        w->Initialize();
    }

private Q_SLOTS:
    void init()
    {
        appState().Reset();
        keys = new ScriptedKeys;
        prompts = new ScriptedPrompts;
        w = new TMERO_App;
    }
    void cleanup()
    {
        delete w;
        QVERIFY(prompts->unexpected().isEmpty());
        delete prompts;
        delete keys;
    }

    void querySequence_data();
    void querySequence();
    void settingsShown();
    void replyRules_data();
    void replyRules();
    void currentAboveMaximumIsClamped();
    void repliesNotInTheirFormAreReadAgain_data();
    void repliesNotInTheirFormAreReadAgain();
    void negativeComplianceKeepsTheBarAtZero();
    void leftShiftSkipsEverythingButTheSize();
    void listClearedAndSettingsPageShown();
    void narrowsAnUnlockedWindow();
    void deferredWhileAReplyIsAwaited_data();
    void deferredWhileAReplyIsAwaited();
};

void TestMeroReadback::querySequence_data()
{
    QTest::addColumn<QByteArray>("config");
    QTest::addColumn<bool>("extended");
    QTest::newRow("basic 0") << QByteArray("0") << false;
    QTest::newRow("extended 1") << QByteArray("1") << true;
    QTest::newRow("basic 2") << QByteArray("2") << false;
}

void TestMeroReadback::querySequence()
{
    QFETCH(QByteArray, config);
    QFETCH(bool, extended);
    auto replies = BasicUnitReplies();
    replies["CFG"] = config;
    replies.insert({{"QD", "-0.0001"}, {"QE", "1"}, {"ET", "3"}, {"SY", "2"}, {"AO", "2.5"}});
    ReadBack(replies);

    QCOMPARE(unit.lines(), ReadBackQueries(extended));
    QCOMPARE(unit.lines().size(), extended ? 22 : 17);
    QCOMPARE(w->windowTitle(), extended ? QStringLiteral("MERO/VRX    Ver: 1.4.1.1")
                                        : QStringLiteral("MERO    Ver: 1.4.1.1"));
    QCOMPARE(Text("ConfigEdit"), QString::fromLatin1(config));
    auto* tabs = Find<QTabWidget>("PageControl1");
    QCOMPARE(tabs->isTabVisible(3), extended);
    QCOMPARE(tabs->isTabEnabled(3), extended);
    for (const char* name : {"ExtTrigEnabledlbl", "ExtTrigLight", "QswEnabledlbl", "QSWLight"})
        QCOMPARE(!Find<QWidget>(name)->isHidden(), extended);
    if (extended) {
        QCOMPARE(Value("QSWDelayAdj"), -0.0001);
        QCOMPARE(Find<TRadioGroup>("QSWEnableGrp")->ItemIndex(), 1);
        QCOMPARE(Index("ExtTrigSel"), 3);
        QCOMPARE(Index("SyncSettingSel"), 2);
        QCOMPARE(Value("SpareAnalogOutAdj"), 2.5);
        QCOMPARE(appState().QSwitchDelay, -0.0001);
        QCOMPARE(appState().SpareAnalogOut, 2.5);
    } else {
        // Page 3 keeps what it showed.
        QCOMPARE(Value("QSWDelayAdj"), 0.0);
        QCOMPARE(Index("ExtTrigSel"), -1);
    }
}

namespace
{
const char* const kSettingControls[] = {
    "ISettingAdj",    "RepRateAdj",     "PulseWidthAdj",    "MaxCurrentAdj", "ComplianceVAdj",
    "MaximumRateAdj", "StorageBinSel",  "TempFaultByp",     "IntlkCntrlByp", "PulseEnableOff",
    "BurstCountAdj",  "PulseModeSel",   "IntrlkCntrlGrp",   "QSWEnableGrp",  "QSWDelayAdj",
    "ExtTrigSel",     "SyncSettingSel", "SpareAnalogOutAdj"};

// Disabled by the program: a spin edit through its own flag, which keeps it
// reachable by Tab; every other control as a widget.
bool SwitchedOff(QWidget* control)
{
    if (control->inherits("TPlusSpinEdit"))
        return !control->property("Enabled").toBool();
    return control->testAttribute(Qt::WA_ForceDisabled);
}
} // namespace

void TestMeroReadback::settingsShown()
{
    // Look at the window while the unit takes its time over one reply.
    auto replies = BasicUnitReplies();
    ScriptReplies(unit, replies);
    unit.clearRules();
    unit.onLine(";DC:PW?", PtyReply::After(200, "1e-05\r"));
    for (auto it = replies.begin(); it != replies.end(); ++it)
        unit.onLine(";DC:" + it.key() + "?", it.value() + "\r");
    UsePort(*w, unit, 1000);
    w->ComPort->SetAllowEvents(true);
    w->StatusTimer->start();
    int disabledDuring = 0;
    bool commandsDisabledDuring = false, timerStoppedDuring = false;
    QTimer::singleShot(100, w, [&] {
        for (const char* name : kSettingControls)
            disabledDuring += SwitchedOff(Find<QWidget>(name));
        commandsDisabledDuring = appState().CommandsDisabled;
        timerStoppedDuring = !w->StatusTimer->isActive();
    });
    w->Initialize();
    QCOMPARE(disabledDuring, 18);
    QVERIFY(commandsDisabledDuring);
    QVERIFY(timerStoppedDuring);

    const AppState& s = appState();

    QCOMPARE(Value("MaxCurrentAdj"), 40.0);
    QCOMPARE(s.MaxCurrent, 40.0);
    QCOMPARE(Find<TMeasureBar>("CurrentMeasureBar")->maximum(), 40);
    QCOMPARE(Value("MaximumRateAdj"), 5000.0);
    QCOMPARE(Value("ISettingAdj"), 12.5);
    QCOMPARE(Find<QWidget>("ISettingAdj")->property("MaxValue").toDouble(), 40.0);
    QCOMPARE(Value("RepRateAdj"), 1000.0);
    QCOMPARE(Find<QWidget>("RepRateAdj")->property("MaxValue").toDouble(), 5000.0);
    QCOMPARE(Value("PulseWidthAdj"), 1e-05);
    QCOMPARE(Value("ComplianceVAdj"), 24.5);
    QCOMPARE(Find<TMeasureBar>("VoltageMeasureBar")->maximum(), 2450);
    QCOMPARE(Find<QComboBox>("StorageBinSel")->currentText(), QStringLiteral("3"));
    QCOMPARE(s.StorageBin, 3);
    QCOMPARE(s.SelectedBin, 3);
    QCOMPARE(Find<QComboBox>("TempFaultByp")->currentText(), QStringLiteral("Bypass"));
    QCOMPARE(Find<QComboBox>("IntlkCntrlByp")->currentText(), QStringLiteral("Enable"));
    QCOMPARE(Find<QComboBox>("PulseEnableOff")->currentText(), QStringLiteral("Off"));
    QCOMPARE(Text("Enablebtn"), QStringLiteral("Enable"));
    QCOMPARE(Text("Startbtn"), QStringLiteral("Start"));
    QCOMPARE(Value("BurstCountAdj"), 7.0);
    QCOMPARE(Find<QComboBox>("PulseModeSel")->currentText(), QStringLiteral("Pulsed"));
    QCOMPARE(Find<TRadioGroup>("IntrlkCntrlGrp")->ItemIndex(), 0);
    QCOMPARE(Text("BadgeEdit"), QStringLiteral("321"));
    QCOMPARE(s.BadgeNumber, 321);

    // The identity was never read: it shows the values from program start.
    QCOMPARE(Text("CompanyLabel"), QString());
    QCOMPARE(Text("ModelLabel"), QStringLiteral("Model: "));
    QCOMPARE(Text("SNLabel"), QStringLiteral("SN: 0"));
    QCOMPARE(Text("FWLabel"), QStringLiteral("FW: "));
    QCOMPARE(Text("SNEdit"), QStringLiteral("0"));

    // Flags, controls and timer as a finished read-back leaves them.
    QVERIFY(!s.CommandsDisabled);
    for (const char* name : kSettingControls)
        QVERIFY2(!SwitchedOff(Find<QWidget>(name)), name);
    QVERIFY(w->StatusTimer->isActive());
    QVERIFY(!w->ReadBackPending);
}

void TestMeroReadback::replyRules_data()
{
    QTest::addColumn<QByteArray>("mnemonic");
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<QString>("control");
    QTest::addColumn<QString>("shown");
    QTest::newRow("enable 2") << QByteArray("EN") << QByteArray("2") << "Enablebtn"
                              << "Disable";
    QTest::newRow("enable -1") << QByteArray("EN") << QByteArray("-1") << "Enablebtn"
                               << "Disable";
    QTest::newRow("start 0") << QByteArray("ST") << QByteArray("0") << "Startbtn"
                             << "Start";
    QTest::newRow("start 1") << QByteArray("ST") << QByteArray("1") << "Startbtn"
                             << "Stop";
    QTest::newRow("bin 3") << QByteArray("RC") << QByteArray("3") << "StorageBinSel"
                           << "3";
    QTest::newRow("bin 0") << QByteArray("RC") << QByteArray("0") << "StorageBinSel"
                           << "";
    QTest::newRow("bin 6") << QByteArray("RC") << QByteArray("6") << "StorageBinSel"
                           << "";
    QTest::newRow("pulse enable 1") << QByteArray("PE") << QByteArray("1") << "PulseEnableOff"
                                    << "Off";
    QTest::newRow("pulse enable 0") << QByteArray("PE") << QByteArray("0") << "PulseEnableOff"
                                    << "On";
    QTest::newRow("pulse mode 3") << QByteArray("PM") << QByteArray("3") << "PulseModeSel"
                                  << "Single Shot";
    QTest::newRow("pulse mode 4") << QByteArray("PM") << QByteArray("4") << "PulseModeSel"
                                  << "";
    QTest::newRow("interlock 5") << QByteArray("IC") << QByteArray("5") << "IntrlkCntrlGrp"
                                 << "Closed";
    QTest::newRow("interlock -1") << QByteArray("IC") << QByteArray("-1") << "IntrlkCntrlGrp"
                                  << "";
    QTest::newRow("badge") << QByteArray("BDG") << QByteArray("-17") << "BadgeEdit"
                           << "-17";
}

void TestMeroReadback::replyRules()
{
    QFETCH(QByteArray, mnemonic);
    QFETCH(QByteArray, reply);
    QFETCH(QString, control);
    QFETCH(QString, shown);
    auto replies = BasicUnitReplies();
    replies[mnemonic] = reply;
    ReadBack(replies);

    QWidget* c = w->findChild<QWidget*>(control);
    QVERIFY(c);
    if (auto* box = qobject_cast<QComboBox*>(c)) {
        QCOMPARE(box->currentIndex() < 0 ? QString() : box->currentText(), shown);
        QCOMPARE(box->currentText(), shown); // nothing selected shows no text
    } else if (auto* group = qobject_cast<TRadioGroup*>(c)) {
        const int i = group->ItemIndex();
        QCOMPARE(i < 0 ? QString() : group->Items().at(i), shown);
    } else if (c->inherits("TPlusSpinEdit")) {
        QCOMPARE(QString::number(c->property("Value").toDouble()), shown);
    } else {
        QCOMPARE(Text(qPrintable(control)), shown);
    }
    if (mnemonic == "RC")
        QCOMPARE(appState().SelectedBin, reply.toInt());
}

void TestMeroReadback::currentAboveMaximumIsClamped()
{
    auto replies = BasicUnitReplies();
    replies["MC"] = "40";
    replies["CS"] = "55.5";
    ReadBack(replies);
    QCOMPARE(Value("ISettingAdj"), 40.0);
    QCOMPARE(appState().CurrentSetting, 40.0);
    // Nothing but queries went to the unit.
    QCOMPARE(unit.lines(), ReadBackQueries(false));
}

void TestMeroReadback::repliesNotInTheirFormAreReadAgain_data()
{
    QTest::addColumn<QByteArray>("mnemonic");
    QTest::addColumn<QByteArray>("reply"); // empty: none at all
    QTest::newRow("silent unit") << QByteArray("CFG") << QByteArray();
    QTest::newRow("configuration 1x") << QByteArray("CFG") << QByteArray("1x");
    QTest::newRow("max current 12.5") << QByteArray("MC") << QByteArray("12.5");
    QTest::newRow("max current 0x28") << QByteArray("MC") << QByteArray("0x28");
    QTest::newRow("current 1e999") << QByteArray("CS") << QByteArray("1e999");
    QTest::newRow("rate nan") << QByteArray("RR") << QByteArray("nan");
    QTest::newRow("bin 99999999999") << QByteArray("RC") << QByteArray("99999999999");
    QTest::newRow("mode 3000 bytes") << QByteArray("PM") << QByteArray(3000, '\xff');
}

// A reply that is not a number of its query's kind, or none, may belong to
// another line: the read-back starts again, three times in all, then says so
// and leaves every control as it was. Nothing but queries reaches the unit.
void TestMeroReadback::repliesNotInTheirFormAreReadAgain()
{
    QFETCH(QByteArray, mnemonic);
    QFETCH(QByteArray, reply);
    ReadBack(BasicUnitReplies());
    QCOMPARE(Value("ISettingAdj"), 12.5);
    const qint32 configBefore = appState().ConfigCode;

    auto replies = BasicUnitReplies();
    if (reply.isEmpty())
        replies.remove(mnemonic);
    else
        replies[mnemonic] = reply;
    ReadBack(replies, 100);
    // Each attempt stops at the reply it cannot trust.
    QList<QByteArray> once;
    for (const QByteArray& q : ReadBackQueries(false)) {
        once << q;
        if (q == ";DC:" + mnemonic + "?")
            break;
    }
    QCOMPARE(unit.lines(), once + once + once);
    QCOMPARE(prompts->textsOf(ScriptedPrompts::Kind::Warning),
             QStringList{UnreliableRepliesText()});
    const AppState& s = appState();
    QCOMPARE(s.ConfigCode, configBefore);
    QCOMPARE(s.MaxCurrent, 40.0);
    QCOMPARE(s.CurrentSetting, 12.5);
    QCOMPARE(s.RepRate, 1000.0);
    QCOMPARE(s.StorageBin, 3);
    QCOMPARE(s.PulseMode, 1);
    QCOMPARE(Value("ISettingAdj"), 12.5);
    QCOMPARE(Value("MaxCurrentAdj"), 40.0);
    QCOMPARE(Index("PulseModeSel"), 1);
    QCOMPARE(Text("BadgeEdit"), QStringLiteral("321"));
    QVERIFY(!s.CommandsDisabled);
    QVERIFY(Find<TPlusSpinEdit>("ISettingAdj")->Enabled());
    QVERIFY(w->StatusTimer->isActive());
}

void TestMeroReadback::negativeComplianceKeepsTheBarAtZero()
{
    auto replies = BasicUnitReplies();
    replies["CV"] = "-24.5";
    ReadBack(replies);
    // A negative compliance voltage cannot give the bar a range below 0.
    QCOMPARE(Find<TMeasureBar>("VoltageMeasureBar")->maximum(), 0);
    QVERIFY(!appState().CommandsDisabled);
    QVERIFY(w->StatusTimer->isActive());
}

void TestMeroReadback::leftShiftSkipsEverythingButTheSize()
{
    for (bool timerRunning : {false, true}) {
        if (timerRunning)
            w->StatusTimer->start();
        keys->left = true;
        ReadBack(BasicUnitReplies());
        QCOMPARE(w->frameGeometry().size(), QSize(375, 620));
        QVERIFY(unit.received().isEmpty());
        QCOMPARE(w->windowTitle(), QStringLiteral("MERO"));
        QCOMPARE(Find<QTabWidget>("PageControl1")->currentWidget()->objectName(),
                 QStringLiteral("TabStorage"));
        QVERIFY(Find<QTabWidget>("PageControl1")->isTabVisible(3));
        QCOMPARE(Find<QComboBox>("PulseModeSel")->currentText(), QStringLiteral("PulseModeSel"));
        QVERIFY(!Find<QWidget>("Startbtn")->isEnabled());
        QVERIFY(!appState().CommandsDisabled);
        QCOMPARE(w->StatusTimer->isActive(), timerRunning);
    }
}

void TestMeroReadback::listClearedAndSettingsPageShown()
{
    auto* list = Find<QTextEdit>("ResponseList");
    list->setPlainText("(12:00:00.000) ;DC:ST 0\n(12:00:00.010) OK");
    Find<QTabWidget>("PageControl1")->setCurrentIndex(2);
    ReadBack(BasicUnitReplies());
    QVERIFY(list->document()->isEmpty());
    QCOMPARE(Find<QTabWidget>("PageControl1")->currentWidget()->objectName(),
             QStringLiteral("TabSettings"));
}

void TestMeroReadback::narrowsAnUnlockedWindow()
{
    w->SetOuterSize(475, 620);
    Find<QWidget>("CalBox")->show();
    ReadBack(BasicUnitReplies());
    QCOMPARE(w->frameGeometry().size(), QSize(375, 620));
    // Still visible, but beyond the window's right edge.
    auto* cal = Find<QWidget>("CalBox");
    QVERIFY(!cal->isHidden());
    QVERIFY(cal->mapTo(w, QPoint(0, 0)).x() >= w->width());
}

void TestMeroReadback::deferredWhileAReplyIsAwaited_data()
{
    QTest::addColumn<bool>("duringReadBack");
    QTest::newRow("during a query") << false;
    QTest::newRow("during a read-back") << true;
}

void TestMeroReadback::deferredWhileAReplyIsAwaited()
{
    QFETCH(bool, duringReadBack);
    auto replies = BasicUnitReplies();
    ScriptReplies(unit, replies);
    // The first query's reply comes late; meanwhile the operator asks for a
    // read-back.
    unit.clearRules();
    unit.onLine(";DC:CFG?", PtyReply::After(300, "0\r"));
    for (auto it = replies.begin(); it != replies.end(); ++it)
        unit.onLine(";DC:" + it.key() + "?", it.value() + "\r");
    UsePort(*w, unit, 2000);
    w->ComPort->SetAllowEvents(true);
    unit.clearReceived();

    bool portWasInUse = false;
    QTimer::singleShot(100, w, [&] {
        portWasInUse = w->ComPort->InUse();
        w->Initialize();
    });
    if (duringReadBack) {
        w->Initialize();
        QCOMPARE(unit.lines(), ReadBackQueries(false));
    } else {
        QCOMPARE(QueryInteger("CFG"), 0);
        QCOMPARE(unit.lines(), QList<QByteArray>{";DC:CFG?"});
    }
    QVERIFY(portWasInUse);
    QVERIFY(w->ReadBackPending);
    QVERIFY(!appState().CommandsDisabled);
}

QTEST_MAIN(TestMeroReadback)
#include "tst_meroreadback.moc"
