// SPDX-License-Identifier: GPL-3.0-or-later
// Start-up paths with injected keys and scripted boxes, and the ways the
// program ends: "Exit", the close box, ExitApp and RestartApp.
#include "WindowFixture.h"

#include "Communication.h"
#include "ScriptedPrompts.h"
#include "plussped.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QDir>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTextEdit>
#include <QTimer>
#include <QtTest>

class TestMeroStartup : public QObject
{
    Q_OBJECT

    TMERO_App* w = nullptr;
    ScriptedKeys* keys = nullptr;
    ScriptedPrompts* prompts = nullptr;
    int restarts = 0;
    QTemporaryDir workDir;
    QString startDir;

    void Create(const QStringList& arguments = {})
    {
        w = new TMERO_App;
        w->Arguments = QStringList{"mero"} + arguments;
        w->StartNewInstance = [this] { ++restarts; };
    }
    // Cancels every dialog that comes up modally (the port picker).
    QTimer* CancelDialogs()
    {
        auto* t = new QTimer(this);
        connect(t, &QTimer::timeout, this, [] {
            if (auto* d = qobject_cast<QDialog*>(QApplication::activeModalWidget()))
                d->reject();
        });
        t->start(20);
        return t;
    }

private Q_SLOTS:
    void initTestCase()
    {
        // The log file lands in the working directory.
        startDir = QDir::currentPath();
        QVERIFY(QDir::setCurrent(workDir.path()));
    }
    void cleanupTestCase() { QDir::setCurrent(startDir); }
    void init()
    {
        appState().Reset();
        keys = new ScriptedKeys;
        prompts = new ScriptedPrompts;
        restarts = 0;
    }
    void cleanup()
    {
        delete w;
        w = nullptr;
        QVERIFY2(prompts->unexpected().isEmpty(),
                 prompts->unexpected().isEmpty() ? "" : qPrintable(prompts->unexpected()[0].text));
        delete prompts;
        delete keys;
        appState().Reset();
    }

    void demoStart_data();
    void demoStart();
    void pickerWinsAndCancelEnds_data();
    void pickerWinsAndCancelEnds();
    void detectStart();
    void pickerChoiceIsReadBack();
    void failedScan_data();
    void failedScan();
    void failedScanExplainsInDetailsAndLog();
    void dismissedBoxGoesOnWithSilentZeros();
    void logSwitch_data();
    void logSwitch();
    void exitSendsStopFirst();
    void exitDuringReadBackSendsNothing();
    void exitWaitsForAPollToFinish();
    void closeBoxSendsNothing();
};

void TestMeroStartup::demoStart_data()
{
    QTest::addColumn<bool>("leftShift");
    QTest::addColumn<QStringList>("arguments");
    QTest::newRow("left shift") << true << QStringList{};
    QTest::newRow("demo switch") << false << QStringList{"/DEMO"};
}

void TestMeroStartup::demoStart()
{
    QFETCH(bool, leftShift);
    QFETCH(QStringList, arguments);
    // A unit on COM1 that would answer everything: demo mode never talks to it.
    PtyUnit com1(1);
    ScriptReplies(com1, BasicUnitReplies());
    com1.onLine(";DC:ID?", "Maker A,2740,10432,3.1.2\r");
    keys->left = leftShift;
    Create(arguments);
    w->FormCreate(w);

    QCOMPARE(prompts->textsOf(ScriptedPrompts::Kind::Information),
             QStringList{"Entering Demo Mode"});
    QVERIFY(!w->Ending());
    QVERIFY(w->DemoMode());
    QVERIFY(!w->isVisible());
    QCOMPARE(w->frameGeometry().size(), QSize(375, 620));
    QCOMPARE(w->windowTitle(), QStringLiteral("MERO"));
    QCOMPARE(w->findChild<QTabWidget*>("PageControl1")->currentWidget()->objectName(),
             QStringLiteral("TabStorage"));
    QVERIFY(!w->StatusTimer->isActive());
    QVERIFY(w->TaskTimer->isActive());
    QCOMPARE(w->ComPort->Port(), 1);
    QVERIFY(w->ComPort->ShowErrors());
    QVERIFY(w->ComPort->AllowEvents());
    QCOMPARE(w->ComPort->Baud(), 115200);
    QCOMPARE(w->ComPort->ResponseTime(), 5000u);
    QVERIFY(!w->ComPort->Opened());

    // Nothing reaches the device, not even "Exit"'s stop command.
    w->StatusTimerTimer(w->StatusTimer);
    w->Initialize();
    w->Exit1Click(w->findChild<QAction*>("Exit1"));
    QTest::qWait(50);
    QVERIFY(com1.received().isEmpty());
}

void TestMeroStartup::pickerWinsAndCancelEnds_data()
{
    QTest::addColumn<bool>("leftShift");
    QTest::addColumn<bool>("rightShift");
    QTest::addColumn<QStringList>("arguments");
    QTest::newRow("right shift") << false << true << QStringList{};
    QTest::newRow("both shift keys") << true << true << QStringList{};
    QTest::newRow("pick switch") << false << false << QStringList{"-pick"};
}

void TestMeroStartup::pickerWinsAndCancelEnds()
{
    QFETCH(bool, leftShift);
    QFETCH(bool, rightShift);
    QFETCH(QStringList, arguments);
    PtyUnit com3(3);
    ScriptReplies(com3, BasicUnitReplies());
    com3.onLine(";DC:ID?", "Maker A,2740,10432,3.1.2\r");
    keys->left = leftShift;
    keys->right = rightShift;
    Create(arguments);
    QTimer* cancel = CancelDialogs();
    w->FormCreate(w);
    delete cancel;

    // No demo box, no scan, no read-back: the program ends unseen.
    QVERIFY(prompts->shown().isEmpty());
    QVERIFY(w->Ending());
    QVERIFY(!w->isVisible());
    QVERIFY(!com3.lines().contains(";DC:ID?"));
    QVERIFY(!com3.lines().contains(";DC:CFG?"));
    QVERIFY(!w->StatusTimer->isActive());
    QVERIFY(!w->TaskTimer->isActive());
    QCOMPARE(restarts, 0);
}

void TestMeroStartup::detectStart()
{
    PtyUnit com2(2); // silent
    PtyUnit com3(3);
    auto replies = BasicUnitReplies();
    replies.insert({{"CFG", "1"}, {"QD", "0"}, {"QE", "0"}, {"ET", "0"}, {"SY", "0"}, {"AO", "0"}});
    ScriptReplies(com3, replies);
    com3.onLine(";DC:ID?", "Maker A,2740,10432,3.1.2\r");
    Create();
    w->FormCreate(w);

    QVERIFY(prompts->shown().isEmpty());
    QVERIFY(!w->Ending());
    QVERIFY(!w->isVisible()); // shown by the caller once start-up is through
    QCOMPARE(com2.lines(), QList<QByteArray>{";DC:ID?"});
    QCOMPARE(com3.lines(), (QList<QByteArray>{";DC:ID?", ";DC:ID?"} + ReadBackQueries(true)));
    QCOMPARE(w->windowTitle(), QStringLiteral("MERO/VRX    Ver: 1.4.1.1"));
    QCOMPARE(w->findChild<QLabel*>("CompanyLabel")->text(), QStringLiteral("Maker A"));
    QCOMPARE(w->findChild<QLabel*>("ModelLabel")->text(), QStringLiteral("Model: 2740"));
    QCOMPARE(w->findChild<QLabel*>("SNLabel")->text(), QStringLiteral("SN: 10432"));
    QCOMPARE(w->findChild<QLabel*>("FWLabel")->text(), QStringLiteral("FW: 3.1.2"));
    QCOMPARE(w->findChild<QLineEdit*>("SNEdit")->text(), QStringLiteral("10432"));
    QCOMPARE(w->ComPort->Port(), 3);
    QVERIFY(w->ComPort->Opened());
    QVERIFY(!w->ComPort->ShowErrors());
    QVERIFY(w->ComPort->AllowEvents());
    QCOMPARE(w->ComPort->Baud(), 115200);
    QCOMPARE(w->ComPort->ResponseTime(), 5000u);
    QVERIFY(w->StatusTimer->isActive());
    QVERIFY(w->TaskTimer->isActive());
    QVERIFY(w->findChild<QTextEdit*>("ResponseList")->document()->isEmpty());
    QCOMPARE(w->findChild<QTabWidget*>("PageControl1")->currentIndex(), 0);
}

void TestMeroStartup::pickerChoiceIsReadBack()
{
    PtyUnit com3(3);
    ScriptReplies(com3, BasicUnitReplies());
    com3.onLine(";DC:ID?", "Maker A,2740,10432,3.1.2\r");
    keys->right = true;
    Create();
    // The operator picks COM3 in the port picker and confirms.
    QStringList offered;
    QTimer pick;
    connect(&pick, &QTimer::timeout, this, [&] {
        auto* d = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        if (!d)
            return;
        auto* list = d->findChild<QComboBox*>();
        for (int i = 0; list && i < list->count(); ++i)
            offered << list->itemText(i);
        if (list)
            list->setCurrentIndex(list->findText("COM3"));
        d->accept();
    });
    pick.start(20);
    w->FormCreate(w);
    pick.stop();

    QCOMPARE(offered, QStringList{"COM3"});
    QVERIFY(!w->Ending());
    QVERIFY(!w->DemoMode());
    QVERIFY(prompts->shown().isEmpty());
    // No identification on this path: the read-back alone, and the identity
    // as at program start.
    QCOMPARE(com3.lines(), ReadBackQueries(false));
    QCOMPARE(w->findChild<QLabel*>("CompanyLabel")->text(), QString());
    QCOMPARE(w->findChild<QLabel*>("ModelLabel")->text(), QStringLiteral("Model: "));
    QCOMPARE(w->findChild<QLabel*>("SNLabel")->text(), QStringLiteral("SN: 0"));
    QCOMPARE(w->findChild<QLabel*>("FWLabel")->text(), QStringLiteral("FW: "));
    QCOMPARE(w->findChild<QLineEdit*>("SNEdit")->text(), QStringLiteral("0"));
    QCOMPARE(w->windowTitle(), QStringLiteral("MERO    Ver: 1.4.1.1"));
    QCOMPARE(w->ComPort->Port(), 3);
    QVERIFY(w->ComPort->Opened());
    QVERIFY(!w->ComPort->ShowErrors());
    QVERIFY(w->ComPort->AllowEvents());
    QCOMPARE(w->ComPort->ResponseTime(), 5000u);
    QVERIFY(w->StatusTimer->isActive());
    QVERIFY(w->TaskTimer->isActive());
    QVERIFY(!w->isVisible());
}

void TestMeroStartup::failedScan_data()
{
    QTest::addColumn<int>("answer");
    QTest::addColumn<bool>("leftShiftAtAnswer");
    QTest::addColumn<bool>("restart");
    QTest::addColumn<bool>("demo");
    QTest::newRow("yes") << int(IUserPrompts::Answer::Yes) << false << true << false;
    QTest::newRow("no") << int(IUserPrompts::Answer::No) << false << false << false;
    QTest::newRow("no with left shift") << int(IUserPrompts::Answer::No) << true << false << true;
}

void TestMeroStartup::failedScan()
{
    QFETCH(int, answer);
    QFETCH(bool, leftShiftAtAnswer);
    QFETCH(bool, restart);
    QFETCH(bool, demo);
    // A device that answers settings but not the identification.
    PtyUnit com5(5);
    ScriptReplies(com5, BasicUnitReplies());
    prompts->answerYesNo(IUserPrompts::Answer(answer));
    prompts->onShown = [this, leftShiftAtAnswer](const ScriptedPrompts::Shown& box) {
        if (box.kind == ScriptedPrompts::Kind::YesNo)
            keys->left = leftShiftAtAnswer;
    };
    Create();
    w->FormCreate(w);

    QCOMPARE(prompts->textsOf(ScriptedPrompts::Kind::YesNo),
             QStringList{"No device found. Try to reconnect?\n\nMake sure unit is fully powered "
                         "on\nbefore selecting Yes"});
    QCOMPARE(restarts, restart ? 1 : 0);
    QCOMPARE(w->Ending(), !demo);
    QCOMPARE(w->DemoMode(), demo);
    QCOMPARE(prompts->textsOf(ScriptedPrompts::Kind::Information),
             demo ? QStringList{"Entering Demo Mode"} : QStringList{});
    QVERIFY(!w->isVisible());
    // The port is not opened again and nothing is read back.
    QVERIFY(!com5.lines().contains(";DC:CFG?"));
    if (restart)
        QVERIFY(!w->ComPort);
    if (demo) {
        QCOMPARE(w->ComPort->Port(), 100);
        QVERIFY(!w->ComPort->ShowErrors());
        QVERIFY(w->TaskTimer->isActive());
    } else {
        QVERIFY(!w->TaskTimer->isActive());
        QVERIFY(!w->StatusTimer->isActive());
    }
}

// The box keeps its text and buttons; why no unit was found goes behind
// "Show Details..." and, with the log on, into the log as extra lines.
void TestMeroStartup::failedScanExplainsInDetailsAndLog()
{
    qputenv("USERNAME", "tester");
    PtyUnit silent(4), other(6);
    other.onLine(";DC:ID?", "MakerX,1234,1,1.0\r");
    prompts->answerYesNo(IUserPrompts::Answer::No);
    Create({"-log"});
    w->FormCreate(w);

    QCOMPARE(prompts->shown().size(), 1);
    const ScriptedPrompts::Shown& box = prompts->shown().first();
    QCOMPARE(box.kind, ScriptedPrompts::Kind::YesNo);
    QCOMPARE(box.text, QStringLiteral("No device found. Try to reconnect?\n\nMake sure unit is "
                                      "fully powered on\nbefore selecting Yes"));
    const QString pty = QStringLiteral("pseudo-terminal");
    const QStringList expected{
        "COM1-COM3, COM5, COM7-COM100: no device file",
        QStringLiteral("COM4 (%1, %2): no reply within 100 ms").arg(silent.linkPath(), pty),
        QStringLiteral("COM6 (%1, %2): answered \"MakerX,1234,1,1.0\": model \"1234\" is not an "
                       "accepted unit (2740, 2640)")
            .arg(other.linkPath(), pty)};
    QCOMPARE(box.details.split('\n'), expected);

    QFile log(QString::fromLatin1(appState().LogFile.BoundName()));
    QVERIFY(log.open(QIODevice::ReadOnly));
    QStringList scanLines;
    for (const QByteArray& line : log.readAll().split('\n'))
        if (line.startsWith("Scan: "))
            scanLines << QString::fromLatin1(line.mid(6).chopped(line.endsWith('\r') ? 1 : 0));
    QCOMPARE(scanLines, expected);
    QVERIFY(w->Ending());
}

void TestMeroStartup::dismissedBoxGoesOnWithSilentZeros()
{
    // "No device found" closed without Yes or No: the start goes on on port 100,
    // which does not open; the read-back reads zeros without a box or a wait.
    PtyUnit com5(5);
    auto replies = BasicUnitReplies();
    ScriptReplies(com5, replies);
    prompts->answerYesNo(IUserPrompts::Answer::Other);
    Create();
    QElapsedTimer t;
    t.start();
    w->FormCreate(w);
    QVERIFY2(t.elapsed() < 4000, qPrintable(QString::number(t.elapsed())));
    QCOMPARE(prompts->shown().size(), 1);
    QCOMPARE(restarts, 0);
    QVERIFY(!w->Ending());
    QVERIFY(!w->DemoMode());
    QCOMPARE(w->ComPort->Port(), 100);
    QVERIFY(!w->ComPort->Opened());
    QVERIFY(!com5.lines().contains(";DC:CFG?"));
    QCOMPARE(w->findChild<QLineEdit*>("ConfigEdit")->text(), QStringLiteral("0"));
    QCOMPARE(w->findChild<QLineEdit*>("BadgeEdit")->text(), QStringLiteral("0"));
    QCOMPARE(w->findChild<QLabel*>("SNLabel")->text(), QStringLiteral("SN: 0"));
    for (const char* spin : {"ISettingAdj", "MaxCurrentAdj", "PulseWidthAdj", "BurstCountAdj"})
        QCOMPARE(w->findChild<TPlusSpinEdit*>(spin)->Value(), 0.0);
    QCOMPARE(w->findChild<QComboBox*>("StorageBinSel")->currentIndex(), -1);
    QCOMPARE(w->findChild<QComboBox*>("PulseModeSel")->currentIndex(), 0);
    QCOMPARE(w->findChild<QPushButton*>("Enablebtn")->text(), QStringLiteral("Enable"));
    QCOMPARE(w->windowTitle(), QStringLiteral("MERO    Ver: 1.4.1.1"));
    QVERIFY(w->StatusTimer->isActive());
    QVERIFY(w->TaskTimer->isActive());
    QVERIFY(!appState().CommandsDisabled);
}

void TestMeroStartup::logSwitch_data()
{
    QTest::addColumn<QString>("argument");
    QTest::addColumn<bool>("logging");
    QTest::newRow("-log") << "-log" << true;
    QTest::newRow("/LOG") << "/LOG" << true;
    QTest::newRow("-Log") << "-Log" << true;
    QTest::newRow("log") << "log" << false;
    QTest::newRow("--log") << "--log" << false;
    QTest::newRow("-logfile") << "-logfile" << false;
}

void TestMeroStartup::logSwitch()
{
    QFETCH(QString, argument);
    QFETCH(bool, logging);
    qputenv("USERNAME", "tester");
    keys->left = true;
    Create({argument});
    w->FormCreate(w);
    QCOMPARE(appState().LoggingEnabled, logging);
    QCOMPARE(w->findChild<QAction*>("EnableLoggingMenu")->isChecked(), logging);
    const QString name = QString::fromLatin1(appState().LogFile.BoundName());
    QVERIFY(name.startsWith("MEROControllerLogFile_tester_"));
    QCOMPARE(QFile::exists(name), logging);

    // Ending closes the log.
    w->ExitApp();
    QVERIFY(!appState().LogFile.IsOpen());
    QVERIFY(w->Ending());
    QFile::remove(name);
}

void TestMeroStartup::exitSendsStopFirst()
{
    PtyUnit com6(6);
    com6.onLine(";DC:ST 0", "OK\r");
    Create();
    UsePort(*w, com6, 1000);
    w->show();
    w->StatusTimer->start();
    w->Exit1Click(w->findChild<QAction*>("Exit1"));
    QCOMPARE(com6.lines(), QList<QByteArray>{";DC:ST 0"});
    QVERIFY(!w->isVisible());
    QVERIFY(w->Ending());
    QVERIFY(!w->StatusTimer->isActive());
}

void TestMeroStartup::exitDuringReadBackSendsNothing()
{
    PtyUnit com7(7);
    auto replies = BasicUnitReplies();
    ScriptReplies(com7, replies);
    com7.clearRules();
    com7.onLine(";DC:CFG?", PtyReply::After(200, "0\r"));
    for (auto it = replies.begin(); it != replies.end(); ++it)
        com7.onLine(";DC:" + it.key() + "?", it.value() + "\r");
    Create();
    UsePort(*w, com7, 1000);
    w->ComPort->SetAllowEvents(true);
    w->show();
    QTimer::singleShot(50, w, [this] { w->Exit1Click(w->findChild<QAction*>("Exit1")); });
    w->Initialize();
    QVERIFY(!com7.lines().contains(";DC:ST 0"));
    QVERIFY(w->Ending());
    QVERIFY(!w->isVisible());
    // The rest of the read-back did not wait for the unit any more.
    QCOMPARE(com7.lines(), QList<QByteArray>{";DC:CFG?"});
    QVERIFY(!w->StatusTimer->isActive());
}

void TestMeroStartup::exitWaitsForAPollToFinish()
{
    PtyUnit com8(8);
    auto replies = BasicUnitReplies();
    com8.onLine(";DC:CM?", PtyReply::After(200, "1\r"));
    com8.onLine(";DC:VM?", "2\r");
    com8.onLine(";DC:SS?", "0\r");
    com8.onLine(";DC:ST 0", "OK\r");
    Create();
    UsePort(*w, com8, 1000);
    w->ComPort->SetAllowEvents(true);
    w->show();
    w->StatusTimer->start();
    QTimer::singleShot(50, w, [this] { w->Exit1Click(w->findChild<QAction*>("Exit1")); });
    w->StatusTimerTimer(w->StatusTimer);
    // The query in progress ends; nothing else of the poll runs before "ST 0",
    // which follows once the port is free.
    QTRY_COMPARE(com8.lines(), (QList<QByteArray>{";DC:CM?", ";DC:ST 0"}));
    QVERIFY(w->Ending());
    QVERIFY(!w->isVisible());
}

void TestMeroStartup::closeBoxSendsNothing()
{
    PtyUnit com6(6);
    ScriptReplies(com6, BasicUnitReplies());
    Create();
    UsePort(*w, com6, 1000);
    w->show();
    w->StatusTimer->start();
    w->TaskTimer->start();
    w->close();
    QTest::qWait(50);
    QVERIFY(com6.received().isEmpty());
    QVERIFY(w->Ending());
    QVERIFY(!w->StatusTimer->isActive());
    QVERIFY(!w->TaskTimer->isActive());
}

QTEST_MAIN(TestMeroStartup)
#include "tst_merostartup.moc"
