// SPDX-License-Identifier: GPL-3.0-or-later
// The window as the program runs it, under Xvfb against the virtual unit,
// driven with real X input events (xdotool): the arrow keys change the
// current, Enable and Start make the unit pulse, a bin is saved and
// recalled, a terminal line is typed. The unit's trace must show exactly the
// lines these actions stand for.
//
// Set MERO_E2E_SHOTS to a directory to keep the screenshot (docs/ holds it).
#include "E2ESupport.h"
#include "LampWidget.h"
#include "MEROApplication.h"
#include "MEROMain.h"
#include "MeasureBar.h"
#include "plussped.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QCompleter>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QStandardPaths>
#include <QTabBar>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTextEdit>
#include <QtTest>

class TestE2EOperator : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;
    e2e::SimUnit sim;
    std::unique_ptr<TMERO_App> w;

    template <typename T> T* Find(const char* name) { return e2e::Child<T>(w.get(), name); }

    // Lines the unit received since the last call.
    qsizetype seen = 0;
    QList<QByteArray> NewLines()
    {
        const QList<QByteArray> rx = sim.Received();
        const QList<QByteArray> fresh = rx.mid(seen);
        seen = rx.size();
        return fresh;
    }
    // The set commands and terminal lines among new lines (polls left out).
    QList<QByteArray> NewCommands()
    {
        QList<QByteArray> out;
        for (const QByteArray& l : NewLines())
            if (!l.endsWith('?') || !l.startsWith(";DC:"))
                out << l;
        return out;
    }

    void Xdo(const QStringList& args) { QVERIFY(e2e::Xdo(args)); }
    void Click(QWidget* widget, QPoint at = {})
    {
        const QPoint p = widget->mapToGlobal(at.isNull() ? widget->rect().center() : at);
        Xdo({"mousemove", "--sync", QString::number(p.x()), QString::number(p.y()), "click", "1"});
    }
    void Keys(const QStringList& keys) { Xdo(QStringList{"key", "--delay", "30"} + keys); }
    void ShowPage(int index)
    {
        QTabBar* bar = Find<QTabWidget>("PageControl1")->tabBar();
        Click(bar, bar->tabRect(index).center());
        QTRY_COMPARE(Find<QTabWidget>("PageControl1")->currentIndex(), index);
    }

private Q_SLOTS:
    void initTestCase()
    {
        if (qgetenv("QT_QPA_PLATFORM") != "xcb")
            QSKIP("Xvfb not available");
        for (const char* tool : {"xdotool", "import"})
            if (QStandardPaths::findExecutable(tool).isEmpty())
                QSKIP(qPrintable(QStringLiteral("%1 not installed").arg(tool)));
        QVERIFY(dir.isValid());
        QVERIFY(sim.Start(dir.path(), 3));
        qputenv("MERO_COM_DIR", dir.path().toLocal8Bit());
        QDir::setCurrent(dir.path());
    }
    void cleanupTestCase()
    {
        w.reset();
        sim.Stop();
    }

    void operatorSession();
    void terminalRemembersAndCompletes();
};

void TestE2EOperator::operatorSession()
{
    w = std::make_unique<TMERO_App>();
    w->FormCreate(w.get());
    QVERIFY(!w->Ending());
    w->show();
    QVERIFY(QTest::qWaitForWindowExposed(w.get()));
    QCOMPARE(w->windowTitle(), QString("MERO    Ver: 1.4.1.1"));
    NewLines(); // the scan and the read-back

    // The current setting with the arrow keys: each step is one line.
    ShowPage(0);
    auto* current = Find<TPlusSpinEdit>("ISettingAdj");
    Click(current);
    const double before = current->Value();
    Keys({"Up", "Up", "Up"});
    QTRY_VERIFY(current->Value() != before);
    const double after = current->Value();
    // Each step the control showed went out as one line, in order.
    const double step = (after - before) / 3;
    QList<QByteArray> expected;
    for (int i = 1; i <= 3; ++i)
        expected << ";DC:CS " +
                        QByteArray::number(before + i * step, 'f', 2).rightJustified(6, '0');
    QList<QByteArray> cs;
    QTRY_VERIFY_WITH_TIMEOUT((cs += NewCommands(), cs.size() >= 3), 3000);
    QCOMPARE(cs, expected);

    // Enable, then Start: the lamps and the current bar follow within two polls.
    Click(Find<QPushButton>("Enablebtn"));
    QTRY_VERIFY_WITH_TIMEOUT(Find<TLamp>("EnabledLight")->isLit(), 2500);
    QCOMPARE(Find<QPushButton>("Enablebtn")->text(), QString("Disable"));
    QTRY_VERIFY(Find<QPushButton>("Startbtn")->isEnabled());
    Click(Find<QPushButton>("Startbtn"));
    QTRY_VERIFY_WITH_TIMEOUT(Find<TLamp>("ActiveLight")->isLit(), 2500);
    QTRY_COMPARE_WITH_TIMEOUT(Find<TMeasureBar>("CurrentMeasureBar")->value(), qRound(after), 2500);
    QCOMPARE(NewCommands(), (QList<QByteArray>{";DC:EN 1", ";DC:ST 1"}));

    // Save the setting into bin 2, change it, recall bin 2.
    ShowPage(2);
    auto* bins = Find<QComboBox>("StorageBinSel");
    Click(bins);
    Keys({"Escape"}); // close the list; the box keeps the focus
    const int target = bins->currentIndex() == 1 ? 2 : 1;
    while (bins->currentIndex() != target)
        Keys({bins->currentIndex() < target ? "Down" : "Up"});
    QCOMPARE(bins->currentIndex(), target);
    Click(Find<QPushButton>("SaveBin"));
    QList<QByteArray> saved;
    QTRY_VERIFY_WITH_TIMEOUT((saved += NewCommands(), !saved.isEmpty()), 3000);
    QCOMPARE(saved, QList<QByteArray>{";DC:SV " + QByteArray::number(target + 1)});

    ShowPage(0);
    Click(current);
    Keys({"Up"});
    QTRY_VERIFY(current->Value() != after);
    ShowPage(2);
    Click(Find<QPushButton>("RecallBin"));
    QTRY_COMPARE_WITH_TIMEOUT(current->Value(), after, 5000);
    QList<QByteArray> lines;
    QTRY_VERIFY((lines += NewLines(), lines.contains(";DC:BDG?")));
    QList<QByteArray> recall;
    for (const QByteArray& l : lines)
        if (!l.startsWith(";DC:CS ") && l != ";DC:CM?" && l != ";DC:VM?" && l != ";DC:SS?")
            recall << l;
    QCOMPARE(recall.first(), ";DC:RC " + QByteArray::number(target + 1));
    QCOMPARE(recall.mid(1, 2), (QList<QByteArray>{";DC:CFG?", ";DC:MC?"}));
    QCOMPARE(recall.last(), QByteArray(";DC:BDG?"));

    // A terminal line goes out as typed, without the prefix.
    Click(Find<QLineEdit>("SendEdit"));
    Xdo({"type", "--delay", "30", "SS?"});
    QTRY_COMPARE(Find<QLineEdit>("SendEdit")->text(), QString("SS?"));
    Keys({"Return"});
    QList<QByteArray> typed;
    QTRY_VERIFY_WITH_TIMEOUT((typed += NewCommands(), !typed.isEmpty()), 3000);
    QCOMPARE(typed, QList<QByteArray>{"SS?"});
    auto* list = Find<QTextEdit>("ResponseList");
    QTRY_VERIFY(list->toPlainText().contains(") SS?"));
    QCOMPARE(Find<QLineEdit>("SendEdit")->text(), QString("SS?"));

    // The running, pulsing unit.
    ShowPage(0);
    QTRY_VERIFY_WITH_TIMEOUT(Find<TLamp>("ActiveLight")->isLit(), 2500);
    const QString shots = qEnvironmentVariable("MERO_E2E_SHOTS", dir.path());
    const QString shot = QDir(shots).filePath("operator-pulsing.png");
    QProcess import;
    import.start("import", {"-window", QString::number(w->winId()), shot});
    QTRY_VERIFY_WITH_TIMEOUT(import.state() == QProcess::NotRunning, 10000);
    QVERIFY(!QImage(shot).isNull());
}

// Up brings back the last line sent, Enter sends it again; typing "c"
// offers the mnemonics that start with it.
void TestE2EOperator::terminalRemembersAndCompletes()
{
    if (!w) {
        w = std::make_unique<TMERO_App>();
        w->FormCreate(w.get());
        QVERIFY(!w->Ending());
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w.get()));
    }
    if (Find<QTabWidget>("PageControl1")->currentIndex() != 0)
        ShowPage(0);
    auto* edit = Find<QLineEdit>("SendEdit");
    // Off the centre, where the session's click left the pointer: xdotool's
    // --sync waits for a motion that would never come.
    Click(edit, QPoint(6, edit->height() / 2));
    Keys({"Escape"});
    QTRY_COMPARE(edit->text(), QString());
    NewCommands();
    Xdo({"type", "--delay", "30", "BC?"});
    QTRY_COMPARE(edit->text(), QString("BC?"));
    Keys({"Return"});
    QList<QByteArray> typed;
    QTRY_VERIFY_WITH_TIMEOUT((typed += NewCommands(), !typed.isEmpty()), 3000);
    QCOMPARE(typed, QList<QByteArray>{"BC?"});

    Keys({"Escape"});
    QTRY_COMPARE(edit->text(), QString());
    Keys({"Up"});
    QTRY_COMPARE(edit->text(), QString("BC?"));
    Keys({"Return"});
    typed.clear();
    QTRY_VERIFY_WITH_TIMEOUT((typed += NewCommands(), !typed.isEmpty()), 3000);
    QCOMPARE(typed, QList<QByteArray>{"BC?"});

    Keys({"Escape"});
    QTRY_COMPARE(edit->text(), QString());
    Xdo({"type", "c"});
    QCompleter* completer = edit->completer();
    QVERIFY(completer);
    QTRY_VERIFY(completer->popup()->isVisible());
    QStringList offered;
    for (int row = 0; row < completer->completionModel()->rowCount(); ++row)
        offered << completer->completionModel()->index(row, 0).data().toString();
    QVERIFY2(offered.contains("CS"), qPrintable(offered.join(' ')));
    Keys({"Escape"});
    QTRY_VERIFY(!completer->popup()->isVisible());
    QCOMPARE(edit->text(), QString("c"));
    // Nothing of this was sent.
    QVERIFY(NewCommands().isEmpty());
}

MERO_E2E_MAIN(TMEROApplication, TestE2EOperator)
#include "tst_e2e_operator.moc"
