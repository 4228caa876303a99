// SPDX-License-Identifier: GPL-3.0-or-later
// The restart after the unit was lost: what the new instance is given (the
// switches this one was started with, not the picker's; the log when it is
// on; the unit), and how the new instance finds that unit again, also on
// another port, and asks before it takes another one.
#include "WindowFixture.h"

#include "MEROTexts.h"
#include "Restart.h"
#include "ScriptedPrompts.h"

#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QDir>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <memory>
#include <optional>

Q_DECLARE_METATYPE(std::optional<TRestartUnit>)

class TestMeroRestart : public QObject
{
    Q_OBJECT

    QTemporaryDir workDir;
    QString startDir;

private Q_SLOTS:
    void initTestCase()
    {
        PtyUnit::comDir();
        startDir = QDir::currentPath();
        QVERIFY(QDir::setCurrent(workDir.path()));
    }
    void cleanupTestCase() { QDir::setCurrent(startDir); }
    void init() { appState().Reset(); }
    void cleanup() { appState().Reset(); }

    void argumentsHandedOn_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<bool>("loggingOn");
        QTest::addColumn<std::optional<TRestartUnit>>("unit");
        QTest::addColumn<QStringList>("handedOn");
        const std::optional<TRestartUnit> none;
        const std::optional<TRestartUnit> com5 = TRestartUnit{5, "2740", 10432};
        QTest::newRow("nothing") << QStringList{} << false << none << QStringList{};
        QTest::newRow("log switch kept") << QStringList{"/LOG"} << true << com5
                                         << QStringList{"/LOG", "--reconnect=5:2740:10432"};
        QTest::newRow("log switched on by hand")
            << QStringList{} << true << com5 << QStringList{"-log", "--reconnect=5:2740:10432"};
        QTest::newRow("log switched off by hand")
            << QStringList{"-log"} << false << none << QStringList{"-log"};
        QTest::newRow("picker not handed on")
            << QStringList{"-pick", "/PICK", "--pick", "-demo"} << false
            << std::optional<TRestartUnit>(TRestartUnit{7, {}, 0})
            << QStringList{"-demo", "--reconnect=7"};
        QTest::newRow("other switches kept, an earlier unit replaced")
            << QStringList{"--listen", "5025", "--remote-control", "--reconnect=3:2640:1"} << false
            << com5
            << QStringList{"--listen", "5025", "--remote-control", "--reconnect=5:2740:10432"};
    }
    void argumentsHandedOn()
    {
        QFETCH(QStringList, arguments);
        QFETCH(bool, loggingOn);
        QFETCH(std::optional<TRestartUnit>, unit);
        QFETCH(QStringList, handedOn);
        QCOMPARE(RestartArguments(QStringList{"mero"} + arguments, loggingOn, unit), handedOn);
        // What is handed on reads back as the same unit.
        QCOMPARE(ParseRestartUnit(QStringList{"mero"} + handedOn), unit);
    }

    void unitArgument_data()
    {
        QTest::addColumn<QString>("argument");
        QTest::addColumn<int>("port"); // 0: not a unit
        QTest::addColumn<QByteArray>("model");
        QTest::addColumn<int>("serial");
        QTest::newRow("identified") << "--reconnect=33:2640:7" << 33 << QByteArray("2640") << 7;
        QTest::newRow("port only") << "--reconnect=100" << 100 << QByteArray() << 0;
        QTest::newRow("port 0") << "--reconnect=0" << 0 << QByteArray() << 0;
        QTest::newRow("port 101") << "--reconnect=101:2740:1" << 0 << QByteArray() << 0;
        QTest::newRow("two fields") << "--reconnect=5:2740" << 0 << QByteArray() << 0;
        QTest::newRow("serial not a number") << "--reconnect=5:2740:x" << 0 << QByteArray() << 0;
        QTest::newRow("empty model") << "--reconnect=5::1" << 0 << QByteArray() << 0;
        QTest::newRow("no value") << "--reconnect=" << 0 << QByteArray() << 0;
        QTest::newRow("not it") << "--reconnect" << 0 << QByteArray() << 0;
    }
    void unitArgument()
    {
        QFETCH(QString, argument);
        QFETCH(int, port);
        QFETCH(QByteArray, model);
        QFETCH(int, serial);
        const auto unit = ParseRestartUnit({QStringLiteral("mero"), argument});
        QCOMPARE(unit.has_value(), port != 0);
        if (unit)
            QCOMPARE(*unit, (TRestartUnit{port, model, serial}));
    }

    void findsTheSameUnit_data()
    {
        QTest::addColumn<QString>("argument");
        QTest::addColumn<int>("port");
        QTest::newRow("on its port") << "--reconnect=5:2740:555" << 5;
        // Re-plugged: the adapter came back under another number.
        QTest::newRow("on another port") << "--reconnect=4:2740:555" << 5;
        // Picked by hand, never identified: whatever answers on its port.
        QTest::newRow("picked by hand") << "--reconnect=5" << 5;
        QTest::newRow("picked by hand, gone") << "--reconnect=6" << 0;
        QTest::newRow("gone") << "--reconnect=6:2740:777" << 0;
    }
    // Two accepted units, on COM3 and COM5. The one looked for is taken
    // without a box wherever it answers; when it is nowhere, the first other
    // one is offered in a box naming both.
    void findsTheSameUnit()
    {
        QFETCH(QString, argument);
        QFETCH(int, port);
        PtyUnit com3(3), com5(5);
        ScriptReplies(com3, BasicUnitReplies());
        ScriptReplies(com5, BasicUnitReplies());
        com3.onLine(";DC:ID?", "Maker A,2740,111,1.0\r");
        com5.onLine(";DC:ID?", "Maker B,2740,555,2.0\r");
        for (const auto answer : {IUserPrompts::Answer::Yes, IUserPrompts::Answer::No}) {
            if (port != 0 && answer == IUserPrompts::Answer::No)
                continue;
            appState().Reset();
            com3.clearReceived();
            com5.clearReceived();
            ScriptedKeys keys;
            ScriptedPrompts prompts;
            prompts.answerYesNo(answer);
            auto w = std::make_unique<TMERO_App>();
            w->Arguments = {QStringLiteral("mero"), argument};
            int restarts = 0;
            w->StartNewInstance = [&] { ++restarts; };
            w->FormCreate(w.get());
            if (port != 0) {
                QVERIFY(prompts.shown().isEmpty());
                QCOMPARE(w->ComPort->Port(), port);
                QVERIFY(w->ComPort->Opened());
                QCOMPARE(appState().SerialNumber, 555);
                // Its own port is asked first; the other unit is never read back.
                QCOMPARE(com3.lines().isEmpty(), argument.startsWith("--reconnect=5"));
                QVERIFY(!com3.lines().contains(";DC:BDG?"));
                QVERIFY(com5.lines().contains(";DC:BDG?"));
                QVERIFY(w->RestartArguments().contains(QStringLiteral("--reconnect=5:2740:555")));
                break;
            }
            const auto lost = ParseRestartUnit(w->Arguments);
            TIdentity other{"Maker A", "2740", 111, "1.0"};
            QCOMPARE(prompts.textsOf(ScriptedPrompts::Kind::YesNo),
                     QStringList{OtherUnitText(*lost, 3, other)});
            QCOMPARE(w->Ending(), answer == IUserPrompts::Answer::No);
            QCOMPARE(restarts, 0);
            if (answer == IUserPrompts::Answer::Yes) {
                QCOMPARE(w->ComPort->Port(), 3);
                QVERIFY(com3.lines().contains(";DC:BDG?"));
                QCOMPARE(appState().SerialNumber, 111);
                QVERIFY(w->RestartArguments().contains(QStringLiteral("--reconnect=3:2740:111")));
            }
        }
    }

    // Nothing found at all: the specified box, and its Yes keeps looking for
    // the same unit.
    void noUnitAtAll()
    {
        ScriptedKeys keys;
        ScriptedPrompts prompts;
        prompts.answerYesNo(IUserPrompts::Answer::Yes);
        auto w = std::make_unique<TMERO_App>();
        w->Arguments = {QStringLiteral("mero"), QStringLiteral("--reconnect=5:2740:555"),
                        QStringLiteral("-log")};
        int restarts = 0;
        w->StartNewInstance = [&] { ++restarts; };
        w->FormCreate(w.get());
        QCOMPARE(prompts.textsOf(ScriptedPrompts::Kind::YesNo).size(), 1);
        QVERIFY(prompts.textsOf(ScriptedPrompts::Kind::YesNo)[0].startsWith(
            QStringLiteral("No device found. Try to reconnect?")));
        QCOMPARE(restarts, 1);
        QCOMPARE(w->RestartArguments(), (QStringList{"-log", "--reconnect=5:2740:555"}));
    }

    // The picker's unit is the one a restart looks for, on its port.
    void pickerStartHandsOnItsPort()
    {
        PtyUnit com4(4);
        ScriptReplies(com4, BasicUnitReplies());
        ScriptedKeys keys;
        ScriptedPrompts prompts;
        auto w = std::make_unique<TMERO_App>();
        w->Arguments = {QStringLiteral("mero"), QStringLiteral("-pick")};
        // The picker: choose COM4 as soon as it is up.
        QTimer chooser;
        connect(&chooser, &QTimer::timeout, &chooser, [] {
            if (auto* d = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
                auto* list = d->findChild<QComboBox*>();
                if (list)
                    list->setCurrentIndex(list->findText(QStringLiteral("COM4")));
                d->accept();
            }
        });
        chooser.start(20);
        w->FormCreate(w.get());
        chooser.stop();
        QCOMPARE(w->ComPort->Port(), 4);
        QCOMPARE(w->RestartArguments(), (QStringList{"--reconnect=4"}));
    }
};

QTEST_MAIN(TestMeroRestart)
#include "tst_merorestart.moc"
