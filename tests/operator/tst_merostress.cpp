// SPDX-License-Identifier: GPL-3.0-or-later
// Operator actions at random moments, also inside other exchanges' reply
// waits, against a unit that answers after random delays: every line on the
// wire is well formed, every accepted terminal line arrives once and in
// order, and the pump always comes back to rest.
#include "OperatorFixture.h"

#include "plussped.h"

#include <QAction>
#include <QLineEdit>
#include <QPushButton>
#include <QRandomGenerator>

class TestMeroStress : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void randomActions_data();
    void randomActions();
};

void TestMeroStress::randomActions_data()
{
    QTest::addColumn<quint32>("seed");
    for (quint32 seed : {1u, 2u, 3u})
        QTest::newRow(qPrintable(QString("seed %1").arg(seed))) << seed;
}

void TestMeroStress::randomActions()
{
    QFETCH(quint32, seed);
    QRandomGenerator rng(seed);
    TOperatorFixture f(40 + int(seed));
    std::mutex rngMutex;
    QRandomGenerator unitRng(seed * 7919);
    f.unit.clearRules();
    const auto replies = BasicUnitReplies();
    f.unit.onAnyLine([&](const QByteArray& line) {
        std::lock_guard lock(rngMutex);
        const int delay = int(unitRng.bounded(4));
        QByteArray reply = "OK";
        if (line.startsWith(";DC:") && line.endsWith('?'))
            reply = replies.value(line.mid(4, line.size() - 5), "0");
        return std::optional<PtyReply>(PtyReply::After(delay, reply + "\r"));
    });
    f.w->StatusTimer->setInterval(40);
    f.w->StatusTimer->start();

    auto* current = f.Find<TPlusSpinEdit>("ISettingAdj");
    auto* maxCurrent = f.Find<TPlusSpinEdit>("MaxCurrentAdj");
    auto* edit = f.Find<QLineEdit>("SendEdit");
    QList<QByteArray> acceptedLines;
    int next = 0;
    auto act = [&] {
        // Mostly setting changes and terminal lines; now and then a recall
        // or a read-back.
        const quint32 pick = rng.bounded(40);
        if (pick < 14) {
            current->AssignValue(rng.bounded(3000) / 100.0);
        } else if (pick < 18) {
            maxCurrent->AssignValue(double(rng.bounded(10, 60)));
        } else if (pick < 32) {
            const QByteArray line = "T" + QByteArray::number(next++);
            edit->setText(QString::fromLatin1(line));
            if (!appState().CommandsDisabled)
                acceptedLines << line;
            f.Find<QPushButton>("Sendbtn")->click();
        } else if (pick < 36) {
            f.Find<QPushButton>("Enablebtn")->click();
        } else if (pick < 38) {
            f.Find<QPushButton>("RecallBin")->click();
        } else {
            f.Find<QAction>("Initialize1")->trigger();
        }
    };
    // Actions arrive from timers, so many of them land inside reply waits.
    QTimer actions;
    connect(&actions, &QTimer::timeout, &actions, [&] {
        actions.setInterval(int(rng.bounded(1, 8)));
        act();
    });
    actions.start(1);
    QTest::qWait(1500);
    actions.stop();

    QTRY_VERIFY_WITH_TIMEOUT(appState().CommandQueue.Count() == 0 && !appState().TaskBusy &&
                                 !appState().RecallPending && !f.w->ReadBackPending &&
                                 !appState().CommandsDisabled,
                             10000);
    QVERIFY(f.w->TaskTimer->isActive());
    QTest::qWait(50);

    static const QRegularExpression wellFormed(
        QStringLiteral(R"(^(;DC:[A-Z][A-Z0-9]{1,2}(\?| -?[0-9][0-9.]*)|T[0-9]+)$)"));
    QList<QByteArray> terminal;
    int setCommands = 0;
    for (const QByteArray& line : f.unit.lines()) {
        QVERIFY2(wellFormed.match(QString::fromLatin1(line)).hasMatch(), line.constData());
        if (line.startsWith('T'))
            terminal << line;
        else if (!line.endsWith('?'))
            ++setCommands;
    }
    QCOMPARE(terminal, acceptedLines);
    QVERIFY(setCommands > 10);
    QVERIFY(acceptedLines.size() > 10);
}

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    TestMeroStress test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_merostress.moc"
