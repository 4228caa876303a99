// SPDX-License-Identifier: GPL-3.0-or-later
// About and the production settings, the command terminal and the logging
// menu, driven through real key events and menu actions on the window.
#include "OperatorFixture.h"
#include "TempWorkingDir.h"

#include "MEROApplication.h"
#include "plussped.h"

#include <QAction>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QTextEdit>

#include <fcntl.h>
#include <unistd.h>

namespace
{
const QString Ts = QStringLiteral(R"(\d\d:\d\d:\d\d\.\d\d\d)");

// Types the text into the box and presses Enter, as the operator does.
void TypeAndEnter(QLineEdit* edit, const QString& text)
{
    edit->clear();
    QTest::keyClicks(edit, text);
    QTest::keyClick(edit, Qt::Key_Return);
}
} // namespace

class TestMeroOperator : public QObject
{
    Q_OBJECT

    std::unique_ptr<TTempWorkingDir> dir;

    QStringList LogLines() const
    {
        QFile file(dir->filePath("log.txt"));
        if (!file.open(QIODevice::ReadOnly))
            return {};
        QStringList lines = QString::fromLatin1(file.readAll()).split(QStringLiteral("\r\n"));
        lines.removeLast();
        return lines;
    }

private Q_SLOTS:
    void init() { dir = std::make_unique<TTempWorkingDir>(); }
    void cleanup() { dir.reset(); }

    void about_data();
    void about();
    void productionEditsActOnEnter_data();
    void productionEditsActOnEnter();
    void configCodeTakesEffectAtNextPoll();
    void reloadNarrowsTheWindow();
    void terminal();
    void loggingMenuStartsAfresh();
    void refusedCommandDuringReadBackIsLogged();
    void loggingFailures();
};

void TestMeroOperator::about_data()
{
    QTest::addColumn<bool>("control");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<QString>("code");
    QTest::addColumn<QString>("message");
    QTest::newRow("without Control") << false << true << ""
                                     << "Halvane";
    QTest::newRow("right code") << true << true << "60728"
                                << "Form Unlocked";
    QTest::newRow("code and a blank") << true << true << "60728 "
                                      << "Incorrect Code";
    QTest::newRow("other text") << true << true << "12345"
                                << "Incorrect Code";
    QTest::newRow("cancelled") << true << false << ""
                               << "Incorrect Code";
}

void TestMeroOperator::about()
{
    QFETCH(bool, control);
    QFETCH(bool, ok);
    QFETCH(QString, code);
    QFETCH(QString, message);

    TOperatorFixture f(21);
    const QSize before = f.w->size();
    f.keys.control = control;
    if (control)
        f.prompts.answerText(ok, code);
    QSize sizeWhileShown;
    f.prompts.onShown = [&](const ScriptedPrompts::Shown&) { sizeWhileShown = f.w->size(); };
    f.Find<QAction>("About1")->trigger();

    const bool unlocked = message == "Form Unlocked";
    QStringList expected;
    if (control)
        expected << "Unsecure Form|Enter Code:";
    expected << message;
    QStringList shown;
    for (const auto& box : f.prompts.shown())
        shown << box.text;
    QCOMPARE(shown, expected);
    QCOMPARE(f.prompts.shown().last().kind, ScriptedPrompts::Kind::Information);
    QCOMPARE(sizeWhileShown, before); // the window changes only after the box
    QCOMPARE(f.w->width(), unlocked ? 475 : before.width());
    QCOMPARE(f.w->height(), before.height());
    QCOMPARE(f.Find<QGroupBox>("CalBox")->isVisibleTo(f.w.get()), unlocked);
}

void TestMeroOperator::productionEditsActOnEnter_data()
{
    QTest::addColumn<QString>("edit");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QByteArray>("wire");
    QTest::addColumn<int>("stored"); // -1: keeps the old value 321
    QTest::newRow("serial number") << "SNEdit"
                                   << "4711" << QByteArray(";DC:SER 4711\r\n") << 4711;
    QTest::newRow("badge") << "BadgeEdit"
                           << "-5" << QByteArray(";DC:BDG -5\r\n") << -5;
    QTest::newRow("badge not a number") << "BadgeEdit"
                                        << "12a" << QByteArray(";DC:BDG 12a\r\n") << -1;
    QTest::newRow("empty config") << "ConfigEdit"
                                  << "" << QByteArray(";DC:CFG \r\n") << -1;
}

void TestMeroOperator::productionEditsActOnEnter()
{
    QFETCH(QString, edit);
    QFETCH(QString, typed);
    QFETCH(QByteArray, wire);
    QFETCH(int, stored);

    TOperatorFixture f(22);
    AppState& s = appState();
    s.SerialNumber = s.BadgeNumber = s.ConfigCode = 321;
    auto* box = f.Find<QLineEdit>(edit.toLatin1().constData());
    TypeAndEnter(box, typed);
    QCOMPARE(f.WireWhenEqual(wire), wire);
    QCOMPARE(box->text(), typed);
    qint32& field = edit == "SNEdit"      ? s.SerialNumber
                    : edit == "BadgeEdit" ? s.BadgeNumber
                                          : s.ConfigCode;
    if (stored == -1) {
        QCOMPARE(field, 321);
        QCOMPARE(f.prompts.textsOf(ScriptedPrompts::Kind::Warning),
                 QStringList{"'" + typed + "' is not a valid integer value"});
    } else {
        QCOMPARE(field, stored);
        QVERIFY(f.prompts.shown().isEmpty());
    }

    // Keys other than Enter are only typing.
    f.unit.clearReceived();
    QTest::keyClicks(box, "7");
    QTest::qWait(20);
    QCOMPARE(f.unit.received(), QByteArray());
}

void TestMeroOperator::configCodeTakesEffectAtNextPoll()
{
    TOperatorFixture f(23);
    auto replies = BasicUnitReplies();
    for (const char* m : {"AT", "BT", "PD", "AI", "I1", "I2", "I3"})
        replies.insert(m, "1");
    f.Answer(replies);
    TypeAndEnter(f.Find<QLineEdit>("ConfigEdit"), "1");
    QCOMPARE(f.WireWhenEqual(";DC:CFG 1\r\n"), QByteArray(";DC:CFG 1\r\n"));
    QCOMPARE(appState().ConfigCode, 1);
    f.unit.clearReceived();
    f.w->StatusTimer->start();
    f.w->StatusTimerTimer(f.w->StatusTimer);
    QByteArray poll;
    for (const char* m : {"AT", "BT", "PD", "AI", "I1", "I2", "I3", "CM", "VM", "SS"})
        poll += QByteArray(";DC:") + m + "?\r\n";
    QCOMPARE(f.unit.received(), poll);
}

void TestMeroOperator::reloadNarrowsTheWindow()
{
    TOperatorFixture f(24);
    f.keys.control = true;
    f.prompts.answerText(true, "60728");
    f.Find<QAction>("About1")->trigger();
    QCOMPARE(f.w->width(), 475);
    f.Find<QPushButton>("Reload")->click();
    QCOMPARE(f.w->width(), 375);
    QCOMPARE(f.w->height(), 620);
    QVERIFY(f.Find<QGroupBox>("CalBox")->isVisibleTo(f.w.get()));
    QCOMPARE(f.unit.lines(), ReadBackQueries(false));
    QCOMPARE(f.Find<QLineEdit>("BadgeEdit")->text(), QString("321"));
}

void TestMeroOperator::terminal()
{
    TOperatorFixture f(25);
    f.unit.clearRules();
    f.unit.onLine("SS?", "5\r");
    f.unit.onAnyLine([](const QByteArray&) { return PtyReply::Now("?\r"); });
    auto* edit = f.Find<QLineEdit>("SendEdit");
    auto* list = f.Find<QTextEdit>("ResponseList");

    TypeAndEnter(edit, "SS?");
    QCOMPARE(f.WireWhenEqual("SS?\r\n"), QByteArray("SS?\r\n"));
    QTRY_COMPARE(list->document()->blockCount(), 2);
    const QTextBlock sent = list->document()->firstBlock();
    const QTextBlock reply = sent.next();
    QVERIFY(IsEchoLine(sent.text(), "SS?"));
    QVERIFY(IsEchoLine(reply.text(), "5"));
    QCOMPARE(sent.begin().fragment().charFormat().foreground().color(), QColor(0, 0, 0));
    QCOMPARE(reply.begin().fragment().charFormat().foreground().color(), QColor(0, 0x80, 0));

    // Enter twice sends twice; the box keeps its line.
    QTest::keyClick(edit, Qt::Key_Return);
    QTest::keyClick(edit, Qt::Key_Return);
    QCOMPARE(f.WireWhenEqual("SS?\r\nSS?\r\nSS?\r\n"), QByteArray("SS?\r\nSS?\r\nSS?\r\n"));
    QCOMPARE(edit->text(), QString("SS?"));

    // An empty line is a line too.
    f.unit.clearReceived();
    edit->clear();
    f.Find<QPushButton>("Sendbtn")->click();
    QCOMPARE(f.WireWhenEqual("\r\n"), QByteArray("\r\n"));

    // During a read-back the line is refused and leaves nothing behind.
    f.unit.clearReceived();
    edit->setText("SS?");
    f.DuringReadBack([&] { QTest::keyClick(edit, Qt::Key_Return); });
    f.Find<TPlusSpinEdit>("ISettingAdj")->AssignValue(1);
    QCOMPARE(f.WireWhenEqual(";DC:CS 001.00\r\n"), QByteArray(";DC:CS 001.00\r\n"));
}

void TestMeroOperator::loggingMenuStartsAfresh()
{
    TOperatorFixture f(26);
    appState().LogFile.Bind("log.txt");
    auto* menu = f.Find<QAction>("EnableLoggingMenu");
    auto* current = f.Find<TPlusSpinEdit>("ISettingAdj");

    menu->trigger();
    QVERIFY(menu->isChecked() && appState().LoggingEnabled);
    current->AssignValue(1);
    QVERIFY(!f.WireWhenEqual(";DC:CS 001.00\r\n").isEmpty());
    QTRY_COMPARE(LogLines().size(), 3);

    menu->trigger();
    QVERIFY(!menu->isChecked() && !appState().LoggingEnabled);
    current->AssignValue(2);
    f.WireWhenEqual(";DC:CS 001.00\r\n;DC:CS 002.00\r\n");

    menu->trigger();
    QVERIFY(menu->isChecked());
    f.Find<QLineEdit>("SendEdit")->setText("SS?");
    f.Find<QPushButton>("Sendbtn")->click();
    f.WireWhenEqual(";DC:CS 001.00\r\n;DC:CS 002.00\r\nSS?\r\n");
    QTRY_COMPARE(LogLines().size(), 3);
    const QStringList log = LogLines();
    QVERIFY2(log[0].startsWith("Communication Log File "), qPrintable(log[0]));
    QVERIFY2(QRegularExpression("^Sent    \\(" + Ts + "\\): SS\\?$").match(log[1]).hasMatch(),
             qPrintable(log[1]));
    QVERIFY2(QRegularExpression("^Received\\(" + Ts + "\\): OK$").match(log[2]).hasMatch(),
             qPrintable(log[2]));
}

void TestMeroOperator::refusedCommandDuringReadBackIsLogged()
{
    TOperatorFixture f(27);
    f.Answer(BasicUnitReplies(), 5);
    appState().LogFile.Bind("log.txt");
    f.Find<QAction>("EnableLoggingMenu")->trigger();
    // "Exit" chosen while the read-back waits for a reply.
    QTimer::singleShot(20, f.w.get(), [&] {
        QVERIFY(appState().CommandsDisabled);
        f.Find<QAction>("Exit1")->trigger();
    });
    f.w->Initialize();
    const QStringList log = LogLines();
    const QStringList refused = log.filter("ST 0");
    QCOMPARE(refused.size(), 1);
    QVERIFY2(QRegularExpression("^Command Disabled:    \\(" + Ts + "\\): ST 0$")
                 .match(refused[0])
                 .hasMatch(),
             qPrintable(refused[0]));
    QVERIFY(!f.unit.received().contains("ST 0"));
}

void TestMeroOperator::loggingFailures()
{
    TOperatorFixture f(28);
    auto* menu = f.Find<QAction>("EnableLoggingMenu");

    // A file that cannot be created: the message once, no check mark.
    appState().LogFile.Bind("missing-folder/log.txt");
    menu->trigger();
    QVERIFY(!menu->isChecked() && !appState().LoggingEnabled);
    QCOMPARE(f.prompts.textsOf(ScriptedPrompts::Kind::Warning), QStringList{LogFailureMessage()});

    // A log that fails while the pump sends: the exchange goes on, the pump
    // is not left busy and its timer keeps running.
    f.prompts.clear();
    appState().LogFile.Bind("log.txt");
    menu->trigger();
    QVERIFY(menu->isChecked());
    const int full = ::open("/dev/full", O_WRONLY | O_CLOEXEC);
    QVERIFY(full >= 0);
    QVERIFY(::dup2(full, appState().LogFile.Handle()) >= 0);
    ::close(full);
    f.Find<TPlusSpinEdit>("ISettingAdj")->AssignValue(3);
    QCOMPARE(f.WireWhenEqual(";DC:CS 003.00\r\n"), QByteArray(";DC:CS 003.00\r\n"));
    QTRY_VERIFY(!appState().TaskBusy);
    QVERIFY(f.w->TaskTimer->isActive());
    QVERIFY(!menu->isChecked() && !appState().LoggingEnabled);
    QCOMPARE(f.prompts.textsOf(ScriptedPrompts::Kind::Warning), QStringList{LogFailureMessage()});
    f.Find<TPlusSpinEdit>("ISettingAdj")->AssignValue(4);
    QCOMPARE(f.WireWhenEqual(";DC:CS 003.00\r\n;DC:CS 004.00\r\n"),
             QByteArray(";DC:CS 003.00\r\n;DC:CS 004.00\r\n"));
}

int main(int argc, char** argv)
{
    // The program's application object reports errors raised by handlers.
    TMEROApplication app(argc, argv);
    TestMeroOperator test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_merooperator.moc"
