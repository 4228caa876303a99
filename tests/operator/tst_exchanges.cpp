// SPDX-License-Identifier: GPL-3.0-or-later
// The window's one way to the wire and the exchange listeners, against a
// scripted unit: listeners beside the measurements session hear every
// exchange with its origin, and submitted lines hear their own replies.
#include "OperatorFixture.h"

#include "ExchangeRecorder.h"
#include "MeasureSession.h"
#include "SampleStore.h"
#include "plussped.h"

#include <QAction>
#include <QLineEdit>
#include <QPushButton>

#include <memory>

class TestExchanges : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { PtyUnit::comDir(); }

    void listenersBesideTheSessionHearEverything()
    {
        TOperatorFixture f(31);
        TExchangeRecorder a, b;
        auto la = std::make_unique<TExchangeListening>(a);
        const TExchangeListening lb(b);

        f.w->UpdateStatus();
        f.Find<TPlusSpinEdit>("ISettingAdj")->AssignValue(13);
        QTRY_COMPARE(a.heard.size(), 4);
        f.Find<QLineEdit>("SendEdit")->setText(QStringLiteral("SS?"));
        f.Find<QPushButton>("Sendbtn")->click();
        QTRY_COMPARE(a.heard.size(), 5);
        const QStringList first{"poll/query CM -> 2.5", "poll/query VM -> 5.5",
                                "poll/query SS -> 5", "control/set CS 013.00 -> OK",
                                "terminal/raw SS? -> OK"};
        QCOMPARE(a.heard, first);
        QCOMPARE(b.heard, first);

        // One listener leaves; the other and the session go on. "Exit" chosen
        // during a read-back: its "ST 0" is refused, the read-back's queries
        // after it find no port.
        la.reset();
        f.Answer(BasicUnitReplies(), 5);
        QTimer::singleShot(20, f.w.get(), [&] { f.Find<QAction>("Exit1")->trigger(); });
        f.w->Initialize();
        QCOMPARE(a.heard, first);
        const QStringList later = b.heard.mid(first.size());
        QVERIFY(later.size() > 2);
        QCOMPARE(later.first(), QStringLiteral("read-back/query CFG -> 0"));
        QVERIFY2(later.contains(
                     QStringLiteral("control/set ST 0 -> refused %1").arg(lrCommandsDisabled)),
                 qPrintable(later.join('\n')));
        QCOMPARE(later.last(), QStringLiteral("read-back/query BDG -> refused %1").arg(lrNoPort));

        // The session heard the same: one poll, the setting, the line, the refusal.
        const TSampleStore& store = f.w->Measurements->Store();
        QCOMPARE(store.Count(), 1);
        QCOMPARE(store.Newest()->Values[rdStatusWord], 5.0);
        QStringList journal;
        for (const TJournalEvent& e : store.Events())
            journal << e.Summary();
        QCOMPARE(journal, (QStringList{"CS 013.00 \u2192 OK", "SS? \u2192 OK",
                                       "ST 0 \u2192 refused (Command Disabled)"}));
    }

    // Lines submitted one after another hear their own replies, exactly once
    // and in order, while the status poll runs between them.
    void submittedLinesHearTheirRepliesWhilePollsRun()
    {
        TOperatorFixture f(32);
        // Every line gets a reply of its own; "NR?" none (it times out).
        f.unit.clearRules();
        for (auto [m, r] : {std::pair{"CM", "2.5"}, {"VM", "5.5"}, {"SS", "5"}})
            f.unit.onLine(QByteArray(";DC:") + m + "?", PtyReply::After(2, QByteArray(r) + "\r"));
        f.unit.onAnyLine([](const QByteArray& line) -> std::optional<PtyReply> {
            if (line == "NR?")
                return PtyReply::None();
            return PtyReply::After(2, "re " + line + "\r");
        });
        f.w->ComPort->SetResponseTime(300);
        f.w->StatusTimer->setInterval(20);
        f.w->StatusTimer->start();

        QStringList heard;
        QStringList want;
        auto submit = [&](const QString& text, TQueueKind kind) {
            TLineRequest r;
            r.Text = text;
            r.Kind = kind;
            r.Origin.Origin = kind == qkRawLine ? orTerminal : orControl;
            f.w->Submitter().Submit(r, [&heard, text](const TLineResult& result) {
                heard << text + (result.Fate == lfReplied    ? ": " + result.Reply
                                 : result.Fate == lfTimedOut ? QStringLiteral(": timed out")
                                                             : QStringLiteral(": refused"));
            });
        };
        constexpr int kLines = 60;
        for (int i = 0; i < kLines; ++i) {
            const QString text = i == 30 ? QStringLiteral("NR?") : QStringLiteral("L%1?").arg(i);
            const bool raw = i % 2 == 1;
            submit(raw ? text : QStringLiteral("BC %1").arg(i), raw ? qkRawLine : qkSetCommand);
            want << (raw ? (text == "NR?" ? "NR?: timed out" : text + ": re " + text)
                         : QStringLiteral("BC %1: re ;DC:BC %1").arg(i));
            // A few lines at a time, so polls fall between them.
            if (i % 6 == 5)
                QTRY_COMPARE_WITH_TIMEOUT(heard.size(), i + 1, 5000);
        }
        QTRY_COMPARE_WITH_TIMEOUT(heard.size(), kLines, 5000);
        QCOMPARE(heard, want);
        QTest::qWait(100); // nobody hears twice
        QCOMPARE(heard.size(), kLines);
        // The polls ran in between.
        const QList<QByteArray> lines = f.unit.lines();
        const qsizetype firstLine = lines.indexOf(";DC:BC 0");
        const qsizetype lastLine = lines.indexOf(";DC:BC 58");
        QVERIFY(firstLine >= 0 && lastLine > firstLine);
        QVERIFY2(lines.mid(firstLine, lastLine - firstLine).count(";DC:SS?") >= 2,
                 "no poll between the submitted lines");
    }
};

QTEST_MAIN(TestExchanges)
#include "tst_exchanges.moc"
