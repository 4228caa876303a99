// SPDX-License-Identifier: GPL-3.0-or-later
// The measurements window over the main window and a scripted unit: opened
// from View > Measurements, samples and events from real polls and drains,
// markers, spans and following, hover read-out, recording, bad values.
#include "WindowFixture.h"

#include "Communication.h"
#include "MeasureSession.h"
#include "MeasureWindow.h"
#include "ScriptedPrompts.h"
#include "StatusStrip.h"
#include "TrendChart.h"

#include <QDateTimeAxis>
#include <QFile>
#include <QLabel>
#include <QMenuBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QValueAxis>
#include <QtTest>

#include <cmath>
#include <fcntl.h>
#include <limits>
#include <unistd.h>

class TestMeasureWindow : public QObject
{
    Q_OBJECT

    PtyUnit unit{4};
    TMERO_App* w = nullptr;
    ScriptedKeys* keys = nullptr;
    ScriptedPrompts* prompts = nullptr;

    void Poll(const QMap<QByteArray, QByteArray>& replies, quint32 responseTimeMs = 1000)
    {
        ScriptReplies(unit, replies);
        unit.onLine(";DC:CS 012.50", "OK\r");
        UsePort(*w, unit, responseTimeMs);
        w->StatusTimer->start();
        w->StatusTimerTimer(w->StatusTimer);
    }
    TMeasureWindow* Open()
    {
        w->findChild<QAction*>(QStringLiteral("Measurements1"))->trigger();
        TMeasureWindow* m = w->MeasureWindow();
        if (m)
            m->RefreshNow();
        return m;
    }

private Q_SLOTS:
    void init()
    {
        appState().Reset();
        keys = new ScriptedKeys;
        prompts = new ScriptedPrompts;
        w = new TMERO_App;
        w->StartNewInstance = [] {};
    }
    void cleanup()
    {
        delete w;
        QVERIFY(prompts->unexpected().isEmpty());
        delete prompts;
        delete keys;
    }

    void viewMenuOpensTheWindow()
    {
        const QSize mainSize = w->size();
        const QList<QAction*> top = w->menuBar()->actions();
        QCOMPARE(top[1]->text(), QStringLiteral("&View"));
        QAction* item = top[1]->menu()->actions().value(0);
        QCOMPARE(item->text(), QStringLiteral("Measurements"));
        QCOMPARE(item->shortcut(), QKeySequence(QStringLiteral("Ctrl+M")));
        QVERIFY(!w->MeasureWindow());

        // Samples are collected before the window was ever opened.
        Poll(BasicUnitReplies());
        TMeasureWindow* m = Open();
        QVERIFY(m);
        QCOMPARE(m->windowTitle(), QStringLiteral("MERO Measurements"));
        QVERIFY(m->isWindow() && m->isVisible() && !m->isModal());
        QVERIFY(m->minimumSize() != m->maximumSize()); // resizable
        QCOMPARE(w->size(), mainSize);
        QCOMPARE(m->Trend()->PointCount(0), 1);

        m->close();
        QVERIFY(!m->isVisible());
        Poll(BasicUnitReplies()); // while closed
        QCOMPARE(Open(), m);
        QVERIFY(m->isVisible());
        QCOMPARE(m->Trend()->PointCount(0), 2);
        QCOMPARE(w->Measurements->Store().Count(), 2);
    }

    // A silent unit is drawn as a gap and named in the strip, not as zeros.
    void silentPollIsNoPoint()
    {
        TMeasureWindow* m = Open();
        Poll(BasicUnitReplies());
        Poll({}, 100); // nothing answers
        m->RefreshNow();
        const TMeasureSample& s = *w->Measurements->Store().Newest();
        QCOMPARE(s.States[rdCurrent], rsTimedOut);
        QCOMPARE(s.States[rdStatusWord], rsTimedOut);
        QCOMPARE(m->Trend()->PointCount(0), 1);
        QCOMPARE(m->Strip()->OnAt(s), QStringList{QStringLiteral("No reply")});
        // The main window still shows the specified zeros.
        QCOMPARE(appState().CurrentMeasurement, 0.0);
    }

    void commandsBecomeMarkers()
    {
        TMeasureWindow* m = Open();
        Poll(BasicUnitReplies());
        w->QueuedCommandToPort(QStringLiteral("CS 012.50"));
        w->ProcessTasks();
        appState().CommandsDisabled = true;
        w->ProcessTasks(); // nothing: the pump waits during a read-back
        appState().CommandsDisabled = false;
        m->SetSpan(TMeasureWindow::spAll);
        m->RefreshNow();
        QCOMPARE(m->Trend()->MarkerTexts(), QStringList{QStringLiteral("CS 012.50 \u2192 OK")});
        QCOMPARE(m->Trend()->MarkerCount(), 1);
    }

    void spansAndFollowing()
    {
        TMeasureWindow* m = Open();
        TMeasureSession& session = *w->Measurements;
        const qint64 t0 = session.Clock();
        for (int i = 0; i < 7200; ++i) {
            TMeasureSample s;
            s.Ms = t0 + qint64(i) * 1000;
            s.Values[rdCurrent] = i % 50;
            s.States[rdCurrent] = rsValue;
            session.AddSample(s);
        }
        const qint64 newest = session.Store().LastMs();
        const struct {
            TMeasureWindow::TSpan span;
            qint64 ms;
        } spans[] = {{TMeasureWindow::spMinute, 60'000},
                     {TMeasureWindow::spTenMinutes, 600'000},
                     {TMeasureWindow::spHour, 3'600'000},
                     {TMeasureWindow::spAll, newest - t0}};
        for (const auto& s : spans) {
            m->SetSpan(s.span);
            if (s.span == TMeasureWindow::spAll) {
                // From the first sample; the right edge moves in steps of
                // about 1/64 of the span.
                QCOMPARE(m->FromMs(), t0);
                QVERIFY(m->ToMs() > newest && m->ToMs() - newest <= s.ms / 32);
            } else {
                QCOMPARE(m->ToMs(), newest);
                QCOMPARE(m->ToMs() - m->FromMs(), s.ms);
            }
            // A day's worth of points is thinned to the plot's width.
            QVERIFY(m->Trend()->PointCount(0) <= 2 * m->Trend()->width());
        }
        m->SetSpan(TMeasureWindow::spTenMinutes);

        // Scrolling back stops following; new samples leave the view alone.
        QWheelEvent wheel(QPointF(200, 100), m->Trend()->mapToGlobal(QPointF(200, 100)), {},
                          QPoint(0, 120), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(m->Trend()->viewport(), &wheel);
        QVERIFY(!m->Following());
        const qint64 to = m->ToMs();
        QVERIFY(to < newest);
        TMeasureSample later;
        later.Ms = newest + 1000;
        session.AddSample(later);
        m->RefreshNow();
        QCOMPARE(m->ToMs(), to);
        auto* follow = m->findChild<QPushButton*>();
        QVERIFY(follow);
        m->Follow();
        QVERIFY(m->Following());
        QCOMPARE(m->ToMs(), newest + 1000);
    }

    void hoverShowsTheValues()
    {
        TMeasureWindow* m = Open();
        m->resize(1000, 640);
        Poll(BasicUnitReplies());
        m->SetSpan(TMeasureWindow::spMinute);
        QTRY_VERIFY(m->Trend()->PlotRight() > m->Trend()->PlotLeft());
        const QPoint at(m->Trend()->PlotRight() - 2, m->Trend()->height() / 2);
        QMouseEvent move(QEvent::MouseMove, QPointF(at),
                         m->Trend()->viewport()->mapToGlobal(QPointF(at)), Qt::NoButton,
                         Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(m->Trend()->viewport(), &move);
        const QString text = m->ReadOut()->text();
        QVERIFY2(text.contains(QStringLiteral("Current: 2.5 A")), qPrintable(text));
        QVERIFY2(text.contains(QStringLiteral("Voltage: 5.5 V")), qPrintable(text));
        QVERIFY2(text.contains(QStringLiteral("Status: 5 (Enabled, Ready)")), qPrintable(text));
    }

    // NaN, infinities and absurd values never make an axis infinite or empty.
    void badValuesKeepAxesFinite_data()
    {
        QTest::addColumn<double>("value");
        QTest::newRow("nan") << std::numeric_limits<double>::quiet_NaN();
        QTest::newRow("inf") << std::numeric_limits<double>::infinity();
        QTest::newRow("-inf") << -std::numeric_limits<double>::infinity();
        QTest::newRow("huge") << 1e308;
        QTest::newRow("-huge") << -1e308;
    }
    void badValuesKeepAxesFinite()
    {
        QFETCH(double, value);
        TMeasureWindow* m = Open();
        TMeasureSession& session = *w->Measurements;
        for (int i = 0; i < 3; ++i) {
            TMeasureSample s;
            s.Ms = session.Clock() + i * 1000;
            s.Values[rdCurrent] = i == 1 ? value : 2.0;
            s.Values[rdVoltage] = value;
            s.States[rdCurrent] = s.States[rdVoltage] = rsValue;
            s.MaxCurrent = value;
            s.ComplianceVoltage = value;
            session.AddSample(s);
        }
        m->RefreshNow();
        for (QValueAxis* a : {m->Trend()->LeftAxis(), m->Trend()->RightAxis()}) {
            QVERIFY(std::isfinite(a->min()) && std::isfinite(a->max()));
            QVERIFY(a->max() > a->min());
        }
    }

    void recordFromTheWindow()
    {
        TMeasureWindow* m = Open();
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("rec.csv"));
        m->AskFileName = [&](const QString&, const QString& suggested) {
            return suggested.endsWith(QStringLiteral(".csv")) ? path : QString();
        };
        m->RecordClick();
        QVERIFY(w->Measurements->Recording());
        QCOMPARE(m->RecordButton()->text(), QStringLiteral("&Stop Recording"));
        Poll(BasicUnitReplies());
        QVERIFY(m->RecordState()->text().contains(path));
        QVERIFY(m->RecordState()->text().contains(QString::number(QFile(path).size()) +
                                                  QStringLiteral(" bytes")));
        m->RecordClick();
        QVERIFY(!w->Measurements->Recording());
        QCOMPARE(m->RecordButton()->text(), QStringLiteral("&Record…"));
        QCOMPARE(m->RecordState()->text(), QStringLiteral("Not recording"));

        // A file that cannot be taken: the message, nothing recorded.
        m->AskFileName = [](const QString&, const QString&) { return QStringLiteral("/dev/full"); };
        m->RecordClick();
        QVERIFY(!w->Measurements->Recording());
        QCOMPARE(
            prompts->textsOf(ScriptedPrompts::Kind::Warning),
            QStringList{QStringLiteral("Cannot write \"/dev/full\": it is not a regular file.")});
    }

    // A recording write that fails inside an exchange (a command refused as
    // in use while the poll waits for its reply) shows its box only once no
    // reply is awaited and the poll has ended; the samples stay.
    void recordingFailureWaitsForTheExchange()
    {
        QTemporaryDir dir;
        QString error;
        QVERIFY(w->Measurements->StartRecording(dir.filePath(QStringLiteral("r.csv")), &error));
        const int full = ::open("/dev/full", O_WRONLY | O_CLOEXEC);
        QVERIFY(::dup2(full, w->Measurements->RecordingFile().Handle()) >= 0);
        ::close(full);
        bool busyAtBox = true;
        prompts->onShown = [&](const ScriptedPrompts::Shown&) {
            busyAtBox = w->ComPort->InUse() || appState().StatusBusy;
        };
        auto replies = BasicUnitReplies();
        replies.remove("CM"); // answered late, below
        ScriptReplies(unit, replies);
        unit.onLine(";DC:CM?", PtyReply::After(300, "2.5\r"));
        UsePort(*w, unit, 1000);
        w->ComPort->SetAllowEvents(true);
        // Refused as in use: an event, whose line cannot be written.
        QTimer::singleShot(50, [] { SendCommand(QStringLiteral("CS 012.50")); });
        w->StatusTimer->start();
        w->StatusTimerTimer(w->StatusTimer);
        w->ComPort->SetAllowEvents(false);
        QTRY_COMPARE(prompts->textsOf(ScriptedPrompts::Kind::Warning).size(), 1);
        QVERIFY(!busyAtBox);
        QVERIFY(prompts->textsOf(ScriptedPrompts::Kind::Warning)[0].endsWith(
            QStringLiteral("Recording has stopped.")));
        QVERIFY(!w->Measurements->Recording());
        QCOMPARE(w->Measurements->Store().Count(), 1);
        QCOMPARE(w->Measurements->Store().Events().front().Refusal,
                 QStringLiteral("Comport in use"));
    }
};

QTEST_MAIN(TestMeasureWindow)
#include "tst_measurewindow.moc"
