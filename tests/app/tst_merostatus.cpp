// SPDX-License-Identifier: GPL-3.0-or-later
// The status poll against a scripted unit: queries, lamps, bars, labels,
// captions, and the lost-port box.
#include "WindowFixture.h"

#include "Communication.h"
#include "LampWidget.h"
#include "MeasureBar.h"
#include "ScriptedPrompts.h"

#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QtTest>

#include <sys/file.h>

#include <fcntl.h>
#include <unistd.h>

namespace
{
// Lamps in status-word bit order; bit 7 has none.
const char* const kStatusLamps[] = {
    "EnabledLight",  "ActiveLight",  "ReadyLight", "FaultLight",   "IntlkCntrlLight",
    "OverTempLight", "CrowbarLight", nullptr,      "ExtTrigLight", "QSWLight"};
} // namespace

class TestMeroStatus : public QObject
{
    Q_OBJECT

    PtyUnit unit{2};
    TMERO_App* w = nullptr;
    ScriptedKeys* keys = nullptr;
    ScriptedPrompts* prompts = nullptr;
    int restarts = 0;

    template <typename T> T* Find(const char* name)
    {
        return w->findChild<T*>(QString::fromLatin1(name));
    }
    QString Text(const char* name)
    {
        if (auto* b = Find<QPushButton>(name))
            return b->text();
        return Find<QLabel>(name)->text();
    }
    bool Lit(const char* lamp) { return Find<TLamp>(lamp)->isLit(); }

    void Poll(const QMap<QByteArray, QByteArray>& replies, qint32 config = 0,
              quint32 responseTimeMs = 1000)
    {
        ScriptReplies(unit, replies);
        UsePort(*w, unit, responseTimeMs);
        appState().ConfigCode = config;
        unit.clearReceived();
        w->StatusTimer->start();
        w->StatusTimerTimer(w->StatusTimer);
    }

private Q_SLOTS:
    void init()
    {
        appState().Reset();
        keys = new ScriptedKeys;
        prompts = new ScriptedPrompts;
        w = new TMERO_App;
        restarts = 0;
        w->StartNewInstance = [this] { ++restarts; };
    }
    void cleanup()
    {
        delete w;
        QVERIFY(prompts->unexpected().isEmpty());
        delete prompts;
        delete keys;
    }

    void statusWord_data();
    void statusWord();
    void barsAndLabels_data();
    void barsAndLabels();
    void basicUnitAsksThreeQueries();
    void extendedReadings_data();
    void extendedReadings();
    void silentUnitTurnsEverythingOff();
    void tickSkipped_data();
    void tickSkipped();
    void lostPort_data();
    void lostPort();
    void staysResponsiveWhileTheUnitIsSilent();
    void floodAndLateRepliesReadAsZero();
    void presenceTestKeepsThePort();
};

void TestMeroStatus::statusWord_data()
{
    QTest::addColumn<QByteArray>("word");
    QTest::addColumn<QList<int>>("lit");
    QTest::addColumn<QString>("enableCaption");
    QTest::addColumn<QString>("startCaption");
    QTest::addColumn<bool>("startEnabled");
    QTest::newRow("515") << QByteArray("515") << QList<int>{0, 1, 9} << "Disable"
                         << "Stop" << true;
    QTest::newRow("2") << QByteArray("2") << QList<int>{1} << "Enable"
                       << "Stop" << false;
    QTest::newRow("128") << QByteArray("128") << QList<int>{} << "Enable"
                         << "Start" << false;
    QTest::newRow("1") << QByteArray("1") << QList<int>{0} << "Disable"
                       << "Start" << true;
    QTest::newRow("all ten bits") << QByteArray("1023") << QList<int>{0, 1, 2, 3, 4, 5, 6, 8, 9}
                                  << "Disable"
                                  << "Stop" << true;
    QTest::newRow("bit 10 and up") << QByteArray("-1024") << QList<int>{} << "Enable"
                                   << "Start" << false;
    QTest::newRow("ext trig") << QByteArray("256") << QList<int>{8} << "Enable"
                              << "Start" << false;
}

void TestMeroStatus::statusWord()
{
    QFETCH(QByteArray, word);
    QFETCH(QList<int>, lit);
    QFETCH(QString, enableCaption);
    QFETCH(QString, startCaption);
    QFETCH(bool, startEnabled);
    // Every lamp on first, so the poll has to turn the others off.
    for (const char* lamp : kStatusLamps)
        if (lamp)
            Find<TLamp>(lamp)->setLit(true);
    auto replies = BasicUnitReplies();
    replies["SS"] = word;
    Poll(replies);

    for (int bit = 0; bit < 10; ++bit)
        if (kStatusLamps[bit])
            QVERIFY2(Lit(kStatusLamps[bit]) == lit.contains(bit), kStatusLamps[bit]);
    QCOMPARE(Text("Enablebtn"), enableCaption);
    QCOMPARE(Text("Startbtn"), startCaption);
    QCOMPARE(Find<QPushButton>("Startbtn")->isEnabled(), startEnabled);
    QCOMPARE(appState().StatusWord, word.toInt());
    QCOMPARE(appState().DriverEnabled, lit.contains(0) ? 1 : 0);
    QCOMPARE(appState().DriverStarted, lit.contains(1) ? 1 : 0);
    // Hidden lamps of a basic unit are set all the same.
    QVERIFY(Find<QWidget>("QSWLight")->isHidden());
}

void TestMeroStatus::barsAndLabels_data()
{
    QTest::addColumn<QByteArray>("current");
    QTest::addColumn<QByteArray>("voltage");
    QTest::addColumn<int>("currentBar");
    QTest::addColumn<int>("voltageBar");
    QTest::addColumn<QString>("currentText");
    QTest::addColumn<QString>("voltageText");
    QTest::newRow("halves to even")
        << QByteArray("2.5") << QByteArray("5.5") << 2 << 550 << "Current Measurement: 2.5"
        << "Voltage Measurement: 5.5";
    QTest::newRow("3.5") << QByteArray("3.5") << QByteArray("0.005") << 4 << 0
                         << "Current Measurement: 3.5"
                         << "Voltage Measurement: 0.005";
    QTest::newRow("above the maxima")
        << QByteArray("41") << QByteArray("30") << 40 << 2450 << "Current Measurement: 41"
        << "Voltage Measurement: 30";
    QTest::newRow("negative") << QByteArray("-1") << QByteArray("-0.5") << 0 << 0
                              << "Current Measurement: -1"
                              << "Voltage Measurement: -0.5";
    QTest::newRow("tiny") << QByteArray("0.00001") << QByteArray("12") << 0 << 1200
                          << "Current Measurement: 1E-5"
                          << "Voltage Measurement: 12";
    // A reply that is no number may be another line's: its bar and label keep
    // what they showed (here the designed text); an empty one still reads 0.
    QTest::newRow("not a number") << QByteArray("x") << QByteArray("") << 0 << 0
                                  << "Current Measurement: "
                                  << "Voltage Measurement: 0";
}

void TestMeroStatus::barsAndLabels()
{
    QFETCH(QByteArray, current);
    QFETCH(QByteArray, voltage);
    QFETCH(int, currentBar);
    QFETCH(int, voltageBar);
    QFETCH(QString, currentText);
    QFETCH(QString, voltageText);
    Find<TMeasureBar>("CurrentMeasureBar")->SetMax(40);
    Find<TMeasureBar>("VoltageMeasureBar")->SetMax(2450);
    auto replies = BasicUnitReplies();
    replies["CM"] = current;
    replies["VM"] = voltage;
    Poll(replies);
    QCOMPARE(Find<TMeasureBar>("CurrentMeasureBar")->value(), currentBar);
    QCOMPARE(Find<TMeasureBar>("VoltageMeasureBar")->value(), voltageBar);
    QCOMPARE(Text("IMeasurelbl"), currentText);
    QCOMPARE(Text("VMeasurelbl"), voltageText);
}

void TestMeroStatus::basicUnitAsksThreeQueries()
{
    for (qint32 config : {0, 2}) {
        Poll(BasicUnitReplies(), config);
        QCOMPARE(unit.lines(), (QList<QByteArray>{";DC:CM?", ";DC:VM?", ";DC:SS?"}));
        QVERIFY(!appState().StatusBusy);
        QVERIFY(w->StatusTimer->isActive());
    }
}

void TestMeroStatus::extendedReadings_data()
{
    QTest::addColumn<QByteArray>("spare");
    QTest::addColumn<bool>("lit");
    QTest::newRow("1") << QByteArray("1") << true;
    QTest::newRow("0") << QByteArray("0") << false;
    QTest::newRow("-1") << QByteArray("-1") << false;
    QTest::newRow("7") << QByteArray("7") << true;
}

void TestMeroStatus::extendedReadings()
{
    QFETCH(QByteArray, spare);
    QFETCH(bool, lit);
    auto replies = BasicUnitReplies();
    replies.insert({{"AT", "25"},
                    {"BT", "-3"},
                    {"PD", "0.125"},
                    {"AI", "1e-05"},
                    {"I1", spare},
                    {"I2", spare},
                    {"I3", spare}});
    Poll(replies, 1);
    QCOMPARE(unit.lines(),
             (QList<QByteArray>{";DC:AT?", ";DC:BT?", ";DC:PD?", ";DC:AI?", ";DC:I1?", ";DC:I2?",
                                ";DC:I3?", ";DC:CM?", ";DC:VM?", ";DC:SS?"}));
    QCOMPARE(Text("ThermistorAlbl"), QStringLiteral("Thermistor A: 25"));
    QCOMPARE(Text("ThermistorBlbl"), QStringLiteral("Thermistor B: -3"));
    QCOMPARE(Text("PhotoDiodelbl"), QStringLiteral("PhotoDiode: 0.125"));
    QCOMPARE(Text("SpareAnalogInlbl"), QStringLiteral("Spare Analog In: 1E-5"));
    for (const char* lamp : {"SpareIn1Light", "SpareIn2Light", "SpareIn3Light"})
        QCOMPARE(Lit(lamp), lit);
    QCOMPARE(appState().SpareIn1, spare.toInt());
    QCOMPARE(appState().PhotoDiode, 0.125);
}

void TestMeroStatus::silentUnitTurnsEverythingOff()
{
    Poll(BasicUnitReplies());
    QVERIFY(Lit("EnabledLight"));
    Find<TMeasureBar>("CurrentMeasureBar")->SetMax(40);
    Find<TMeasureBar>("VoltageMeasureBar")->SetMax(2450);
    Poll({}, 1, 50);
    QCOMPARE(unit.lines().size(), 10);
    for (const char* lamp : kStatusLamps)
        if (lamp)
            QVERIFY2(!Lit(lamp), lamp);
    for (const char* lamp : {"SpareIn1Light", "SpareIn2Light", "SpareIn3Light"})
        QVERIFY(!Lit(lamp));
    QCOMPARE(Find<TMeasureBar>("CurrentMeasureBar")->value(), 0);
    QCOMPARE(Find<TMeasureBar>("VoltageMeasureBar")->value(), 0);
    QCOMPARE(Text("IMeasurelbl"), QStringLiteral("Current Measurement: 0"));
    QCOMPARE(Text("ThermistorAlbl"), QStringLiteral("Thermistor A: 0"));
    QCOMPARE(Text("Enablebtn"), QStringLiteral("Enable"));
    QCOMPARE(Text("Startbtn"), QStringLiteral("Start"));
    QVERIFY(!Find<QPushButton>("Startbtn")->isEnabled());
    QVERIFY(!appState().StatusBusy);
}

void TestMeroStatus::tickSkipped_data()
{
    QTest::addColumn<bool>("pumpBusy");
    QTest::newRow("task pump sending") << true;
    QTest::newRow("reply awaited") << false;
}

void TestMeroStatus::tickSkipped()
{
    QFETCH(bool, pumpBusy);
    ScriptReplies(unit, BasicUnitReplies());
    UsePort(*w, unit, 1000);
    w->StatusTimer->start();
    unit.clearReceived();
    if (pumpBusy) {
        appState().TaskBusy = true;
        w->StatusTimerTimer(w->StatusTimer);
    } else {
        // The tick arrives while another exchange waits for its reply.
        unit.clearRules();
        unit.onLine(";DC:ID?", PtyReply::After(200, "x\r"));
        w->ComPort->SetAllowEvents(true);
        QTimer::singleShot(50, w, [this] { w->StatusTimerTimer(w->StatusTimer); });
        QueryText("ID");
    }
    // Nothing but the exchange that was under way, and the timer keeps running.
    QCOMPARE(unit.lines(), pumpBusy ? QList<QByteArray>{} : QList<QByteArray>{";DC:ID?"});
    QVERIFY(w->StatusTimer->isActive());
    QVERIFY(w->ComPort->Opened());
}

void TestMeroStatus::lostPort_data()
{
    QTest::addColumn<int>("answer");
    QTest::addColumn<bool>("restart");
    QTest::addColumn<bool>("unplugged");
    QTest::newRow("yes") << int(IUserPrompts::Answer::Yes) << true << false;
    QTest::newRow("no") << int(IUserPrompts::Answer::No) << false << false;
    QTest::newRow("dismissed") << int(IUserPrompts::Answer::Other) << false << false;
    QTest::newRow("unplugged, yes") << int(IUserPrompts::Answer::Yes) << true << true;
}

void TestMeroStatus::lostPort()
{
    QFETCH(int, answer);
    QFETCH(bool, restart);
    QFETCH(bool, unplugged);
    PtyUnit gone(9);
    ScriptReplies(gone, BasicUnitReplies());
    UsePort(*w, gone, 1000);
    w->TaskTimer->start();
    if (unplugged)
        gone.unplug();
    else
        gone.removeLink();
    gone.clearReceived();
    prompts->answerYesNo(IUserPrompts::Answer(answer));
    w->StatusTimer->start();
    w->StatusTimerTimer(w->StatusTimer);

    QCOMPARE(prompts->textsOf(ScriptedPrompts::Kind::YesNo),
             QStringList{"Port no longer available, restart?"});
    QVERIFY(gone.received().isEmpty());
    QCOMPARE(restarts, restart ? 1 : 0);
    QVERIFY(w->Ending());
    QVERIFY(!w->StatusTimer->isActive());
    QVERIFY(!w->TaskTimer->isActive());
    QCOMPARE(w->ComPort == nullptr, restart);
    QVERIFY(!appState().StatusBusy);
    // Nothing reaches a unit any more.
    w->StatusTimerTimer(w->StatusTimer);
    w->Initialize();
    QCOMPARE(prompts->shown().size(), 1);
}

void TestMeroStatus::staysResponsiveWhileTheUnitIsSilent()
{
    w->show();
    QVERIFY(QTest::qWaitForWindowExposed(w));
    ScriptReplies(unit, {});
    UsePort(*w, unit, 1000);
    w->ComPort->SetAllowEvents(true);
    unit.clearReceived();

    int clicksInWait = 0;
    int paintsInWait = 0;
    auto* lamp = Find<TLamp>("FaultLight");
    struct PaintCounter : QObject {
        int* count;
        TMERO_App* window;
        bool eventFilter(QObject*, QEvent* e) override
        {
            if (e->type() == QEvent::Paint && window->ComPort->InUse())
                ++*count;
            return false;
        }
    } counter;
    counter.count = &paintsInWait;
    counter.window = w;
    lamp->installEventFilter(&counter);
    auto* button = Find<QPushButton>("SaveBin");
    connect(button, &QPushButton::clicked, w, [&] { clicksInWait += w->ComPort->InUse(); });
    QTimer::singleShot(200, w, [&] {
        lamp->setLit(true);
        QTest::mouseClick(button, Qt::LeftButton);
    });
    w->StatusTimerTimer(w->StatusTimer);
    QCOMPARE(clicksInWait, 1);
    QVERIFY(paintsInWait >= 1);
    QCOMPARE(unit.lines().size(), 3);
}

void TestMeroStatus::floodAndLateRepliesReadAsZero()
{
    // Far more than a reply may hold, with no CR; then a reply that comes
    // after its wait has ended; then a good one.
    unit.clearRules();
    unit.onLine(";DC:CM?", QByteArray(200 * 1024, '7'));
    unit.onLine(";DC:VM?", PtyReply::After(400, "1.5\r"));
    unit.onLine(";DC:SS?", "5\r");
    UsePort(*w, unit, 150);
    unit.clearReceived();
    w->StatusTimer->start();
    w->StatusTimerTimer(w->StatusTimer);
    QCOMPARE(appState().CurrentMeasurement, 0.0);
    QCOMPARE(appState().VoltageMeasurement, 0.0);
    QCOMPARE(appState().StatusWord, 5);
    QVERIFY(Lit("EnabledLight"));
    QVERIFY(Lit("ReadyLight"));
    QVERIFY(!Lit("ActiveLight"));

    // The late reply never reaches the next poll's answers.
    unit.clearRules();
    unit.onLine(";DC:CM?", PtyReply::After(100, "3\r"));
    unit.onLine(";DC:VM?", "0.25\r");
    unit.onLine(";DC:SS?", "0\r");
    QTRY_VERIFY(w->ComPort->InCount() >= 4); // "1.5\r" has arrived
    w->StatusTimerTimer(w->StatusTimer);
    QCOMPARE(appState().CurrentMeasurement, 3.0);
    QCOMPARE(appState().VoltageMeasurement, 0.25);
    QCOMPARE(appState().StatusWord, 0);
}

QTEST_MAIN(TestMeroStatus)
// The presence test keeps the port: the same descriptor, locked, from poll
// to poll, so no other program gets in; a device replaced under it fails the
// test and brings the box.
void TestMeroStatus::presenceTestKeepsThePort()
{
    Poll(BasicUnitReplies());
    const int fd = w->ComPort->Handle();
    QVERIFY(fd >= 0);
    for (int tick = 2; tick <= 3; ++tick) {
        unit.clearReceived();
        w->StatusTimerTimer(w->StatusTimer);
        QCOMPARE(unit.lines(), (QList<QByteArray>{";DC:CM?", ";DC:VM?", ";DC:SS?"}));
        QCOMPARE(w->ComPort->Handle(), fd);
        const int other = ::open(QFile::encodeName(unit.linkPath()).constData(),
                                 O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        QVERIFY(other >= 0);
        QCOMPARE(::flock(other, LOCK_EX | LOCK_NB), -1);
        ::close(other);
    }
    QVERIFY(prompts->shown().isEmpty());

    // The descriptor now leads somewhere else: the poll asks nothing and says so.
    const int nowhere = ::open("/dev/null", O_RDWR | O_CLOEXEC);
    QVERIFY(nowhere >= 0);
    QCOMPARE(::dup2(nowhere, fd), fd);
    ::close(nowhere);
    unit.clearReceived();
    prompts->answerYesNo(IUserPrompts::Answer::No);
    w->StatusTimerTimer(w->StatusTimer);
    QVERIFY(unit.lines().isEmpty());
    QCOMPARE(prompts->textsOf(ScriptedPrompts::Kind::YesNo),
             QStringList{"Port no longer available, restart?"});
    QVERIFY(w->Ending());
}

#include "tst_merostatus.moc"
