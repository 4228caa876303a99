// SPDX-License-Identifier: GPL-3.0-or-later
// What the unit must never receive, checked in the virtual unit's trace with real X
// input: a negative setting or a rate of 0 from the arrows, and steps of a held arrow
// after a box that opened under it was answered.
#include "AppState.h"
#include "E2ESupport.h"
#include "MEROApplication.h"
#include "MEROMain.h"
#include "plussped.h"
#include "spinarrowbutton.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QMessageBox>
#include <QProcess>
#include <QStandardPaths>
#include <QTabBar>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <fcntl.h>
#include <unistd.h>

class TestE2ESafeWire : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;
    e2e::SimUnit sim;
    std::unique_ptr<TMERO_App> w;

    template <typename T> T* Find(const char* name) { return e2e::Child<T>(w.get(), name); }
    // Set commands the unit received (queries left out).
    QList<QByteArray> Commands()
    {
        QList<QByteArray> out;
        for (const QByteArray& l : sim.Received())
            if (!l.endsWith('?'))
                out << l;
        return out;
    }
    void Xdo(const QStringList& args) { QVERIFY(e2e::Xdo(args)); }
    void MoveTo(QWidget* widget)
    {
        const QPoint p = widget->mapToGlobal(widget->rect().center());
        // Without --sync: xdotool would wait for ever when the pointer is there already.
        Xdo({"mousemove", QString::number(p.x()), QString::number(p.y())});
    }
    void Click(QWidget* widget)
    {
        MoveTo(widget);
        Xdo({"click", "1"});
    }
    void ShowPage(int index)
    {
        QTabBar* bar = Find<QTabWidget>("PageControl1")->tabBar();
        const QPoint p = bar->mapToGlobal(bar->tabRect(index).center());
        Xdo({"mousemove", QString::number(p.x()), QString::number(p.y()), "click", "1"});
        QTRY_COMPARE(Find<QTabWidget>("PageControl1")->currentIndex(), index);
    }
    // Waits until the unit has taken every command the window queued.
    void Drained()
    {
        QTRY_VERIFY_WITH_TIMEOUT(appState().CommandQueue.Count() == 0 && !appState().TaskBusy,
                                 5000);
        QTest::qWait(300);
    }
    static bool Negative(const QByteArray& line)
    {
        const qsizetype blank = line.indexOf(' ');
        return blank > 0 && line.mid(blank + 1).startsWith('-');
    }

private Q_SLOTS:
    void initTestCase()
    {
        if (qgetenv("QT_QPA_PLATFORM") != "xcb")
            QSKIP("Xvfb not available");
        if (QStandardPaths::findExecutable("xdotool").isEmpty())
            QSKIP("xdotool not installed");
        QVERIFY(dir.isValid());
        // A unit whose MR? answers "0".
        QVERIFY(sim.Start(dir.path(), 3, {"--answer", "MR:0"}));
        qputenv("MERO_COM_DIR", dir.path().toLocal8Bit());
        QDir::setCurrent(dir.path());
        w = std::make_unique<TMERO_App>();
        w->FormCreate(w.get());
        QVERIFY(!w->Ending());
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w.get()));
    }
    void cleanupTestCase()
    {
        w.reset();
        sim.Stop();
    }

    void arrowsNeverSendANegativeValueOrRateZero();
    void heldArrowStopsAtABox();
};

void TestE2ESafeWire::arrowsNeverSendANegativeValueOrRateZero()
{
    // Maximum current 0, then Down on it and on the current.
    ShowPage(1);
    auto* mc = Find<TPlusSpinEdit>("MaxCurrentAdj");
    mc->AssignValue(0);
    Drained();
    for (int i = 0; i < 3; ++i)
        Click(mc->DownButton());
    ShowPage(0);
    auto* cs = Find<TPlusSpinEdit>("ISettingAdj");
    for (int i = 0; i < 3; ++i)
        Click(cs->DownButton());
    Drained();

    // The start-up read-back got "0" for MR?: the rate's arrows.
    QCOMPARE(Find<TPlusSpinEdit>("MaximumRateAdj")->Value(), 0.0);
    auto* rr = Find<TPlusSpinEdit>("RepRateAdj");
    QVERIFY(rr->Value() >= 0.1);
    Click(rr->UpButton());
    Click(rr->DownButton());
    Click(rr->DownButton());
    Drained();

    const QList<QByteArray> commands = Commands();
    QVERIFY(commands.contains(";DC:MC 0"));
    for (const QByteArray& c : commands) {
        QVERIFY2(!Negative(c), c.constData());
        QVERIFY2(c != ";DC:RR 000000.0", c.constData());
    }
    bool rateSent = false;
    for (const QByteArray& c : commands)
        rateSent = rateSent || c.startsWith(";DC:RR ");
    QVERIFY(rateSent); // the rate's Up went out, with a value above 0
}

void TestE2ESafeWire::heldArrowStopsAtABox()
{
    ShowPage(0);
    auto* cs = Find<TPlusSpinEdit>("ISettingAdj");
    Find<TPlusSpinEdit>("MaxCurrentAdj")->AssignValue(0); // no upper limit
    cs->AssignValue(1);
    Drained();

    // Logging on, into a log whose next line fails: the next poll opens the box.
    w->ToggleLoggingState();
    QVERIFY(appState().LoggingEnabled);
    const int full = ::open("/dev/full", O_WRONLY | O_CLOEXEC);
    QVERIFY(full >= 0);
    QVERIFY(::dup2(full, appState().LogFile.Handle()) >= 0);
    ::close(full);

    // The arrow held with the real mouse; the box opens under it. The box runs its own
    // event loop, so it is answered from a timer inside that loop: button up (the box
    // takes it), then a click on OK.
    QString boxText;
    bool answered = false;
    QTimer watch;
    connect(&watch, &QTimer::timeout, this, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box || !boxText.isEmpty())
            return;
        boxText = box->text();
        QTest::qWait(500);
        Xdo({"mouseup", "1"});
        Click(box->button(QMessageBox::Ok));
        answered = true;
    });
    watch.start(50);
    MoveTo(cs->UpButton());
    Xdo({"mousedown", "1"});
    QTRY_VERIFY_WITH_TIMEOUT(answered, 10000);
    QTRY_VERIFY_WITH_TIMEOUT(!QApplication::activeModalWidget(), 5000);
    watch.stop();
    QVERIFY(boxText.startsWith("Log file cannot be written to."));
    Drained();
    const qsizetype stepsAtAnswer = Commands().size();
    const double valueAtAnswer = cs->Value();

    // Two seconds: a repeat that went on would have sent a dozen steps by now.
    QTest::qWait(2000);
    Drained();
    QCOMPARE(cs->Value(), valueAtAnswer);
    QCOMPARE(Commands().size(), stepsAtAnswer);
    QVERIFY(!cs->RepeatTimer()->isActive());
    QVERIFY(!appState().LoggingEnabled);
}

MERO_E2E_MAIN(TMEROApplication, TestE2ESafeWire)
#include "tst_e2e_safewire.moc"
