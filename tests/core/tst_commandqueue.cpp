// SPDX-License-Identifier: GPL-3.0-or-later
#include "CommandQueue.h"

#include <QTest>

#include <stdexcept>

namespace
{

QStringList texts(const TCommandQueue& q)
{
    QStringList out;
    for (int i = 1; i <= q.Count(); ++i)
        out << q.Slot(i).Text;
    return out;
}

// Fills all slots with distinct set commands "Xn n" so that no mnemonic repeats.
void fillDistinct(TCommandQueue& q)
{
    for (int i = 0; i < TCommandQueue::Capacity; ++i)
        QCOMPARE(q.Append(QStringLiteral("X%1 %1").arg(i), qkSetCommand),
                 TCommandQueue::arAppended);
}

} // namespace

class TestCommandQueue : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void keepsOrderAndKind();
    void fullQueue_data();
    void fullQueue();
    void replacementKeepsOthersInOrder();
    void drainSendsOnlyTheBatch();
    void appendDuringDrainWaitsForNextDrain();
    void capacityDuringDrainCountsUnsentOnly();
    void replacementInsideBatchMovesToNextDrain();
    void throwingSenderKeepsTheRest();
    void nestedDrainSendsNothing();
};

void TestCommandQueue::keepsOrderAndKind()
{
    TCommandQueue q;
    QVERIFY(!q.Pending());
    q.Append("CS 012.50", qkSetCommand);
    q.Append("SS?", qkRawLine);
    q.Append("", qkRawLine);
    QCOMPARE(q.Count(), 3);
    QVERIFY(q.Pending());
    QCOMPARE(texts(q), (QStringList{"CS 012.50", "SS?", ""}));
    QCOMPARE(q.Slot(1).Kind, qkSetCommand);
    QCOMPARE(q.Slot(2).Kind, qkRawLine);
    QCOMPARE(q.Slot(3).Kind, qkRawLine);
}

void TestCommandQueue::fullQueue_data()
{
    QTest::addColumn<QString>("earlier"); // replaces slot 50 of the full queue
    QTest::addColumn<TQueueKind>("earlierKind");
    QTest::addColumn<QString>("offered");
    QTest::addColumn<TQueueKind>("offeredKind");
    QTest::addColumn<int>("expected");

    QTest::newRow("set command, no earlier mnemonic: dropped")
        << "X49 49" << qkSetCommand << "CS 001.00" << qkSetCommand << int(TCommandQueue::arDropped);
    QTest::newRow("set command replaces earlier same mnemonic")
        << "CS 005.00" << qkSetCommand << "CS 001.00" << qkSetCommand
        << int(TCommandQueue::arReplaced);
    QTest::newRow("terminal line never replaces")
        << "SS?" << qkRawLine << "SS?" << qkRawLine << int(TCommandQueue::arDropped);
    QTest::newRow("set command never replaces a terminal line")
        << "CS 005.00" << qkRawLine << "CS 001.00" << qkSetCommand << int(TCommandQueue::arDropped);
    QTest::newRow("terminal line never takes a set command's slot")
        << "CS 005.00" << qkSetCommand << "CS 001.00" << qkRawLine << int(TCommandQueue::arDropped);
    QTest::newRow("saving a bin is an action, never replaced")
        << "SV 2" << qkSetCommand << "SV 3" << qkSetCommand << int(TCommandQueue::arDropped);
    QTest::newRow("mnemonic compared whole, not by prefix")
        << "CSX 1" << qkSetCommand << "CS 001.00" << qkSetCommand << int(TCommandQueue::arDropped);
}

void TestCommandQueue::fullQueue()
{
    QFETCH(QString, earlier);
    QFETCH(TQueueKind, earlierKind);
    QFETCH(QString, offered);
    QFETCH(TQueueKind, offeredKind);
    QFETCH(int, expected);

    TCommandQueue q;
    for (int i = 0; i < TCommandQueue::Capacity; ++i) {
        if (i == 49)
            q.Append(earlier, earlierKind);
        else
            q.Append(QStringLiteral("X%1 %1").arg(i), qkSetCommand);
    }
    QVERIFY(q.Full());
    const QStringList before = texts(q);

    QCOMPARE(int(q.Append(offered, offeredKind)), expected);
    QCOMPARE(q.Count(), TCommandQueue::Capacity);
    if (expected == TCommandQueue::arDropped) {
        QCOMPARE(texts(q), before);
    } else {
        QStringList after = before;
        after.removeAt(49);
        after << offered;
        QCOMPARE(texts(q), after);
        QCOMPARE(q.Slot(TCommandQueue::Capacity).Kind, offeredKind);
    }
}

void TestCommandQueue::replacementKeepsOthersInOrder()
{
    TCommandQueue q;
    q.Append("CS 001.00", qkSetCommand);
    q.Append("MC 20", qkSetCommand);
    q.Append("CS 002.00", qkSetCommand);
    for (int i = 3; i < TCommandQueue::Capacity; ++i)
        q.Append(QStringLiteral("X%1 %1").arg(i), qkSetCommand);

    // Oldest CS goes; the newer CS and everything else keep their order.
    QCOMPARE(q.Append("CS 003.00", qkSetCommand), TCommandQueue::arReplaced);
    QCOMPARE(q.Slot(1).Text, QString("MC 20"));
    QCOMPARE(q.Slot(2).Text, QString("CS 002.00"));
    QCOMPARE(q.Slot(100).Text, QString("CS 003.00"));
    QCOMPARE(q.Append("CS 004.00", qkSetCommand), TCommandQueue::arReplaced);
    QCOMPARE(q.Slot(99).Text, QString("CS 003.00"));
    QCOMPARE(q.Slot(100).Text, QString("CS 004.00"));
    QCOMPARE(q.Count(), 100);
}

void TestCommandQueue::drainSendsOnlyTheBatch()
{
    TCommandQueue q;
    q.Append("CS 012.50", qkSetCommand);
    q.Append("SS?", qkRawLine);
    q.Append("RR 001000.0", qkSetCommand);
    QList<TQueuedCommand> sent;
    QCOMPARE(q.Drain([&](const TQueuedCommand& e) { sent << e; }), 3);
    QCOMPARE(sent.size(), 3);
    QCOMPARE(sent[0].Text, QString("CS 012.50"));
    QCOMPARE(sent[1].Text, QString("SS?"));
    QCOMPARE(sent[1].Kind, qkRawLine);
    QCOMPARE(sent[2].Text, QString("RR 001000.0"));
    QVERIFY(!q.Pending());
    QCOMPARE(q.Drain([&](const TQueuedCommand&) { QFAIL("empty queue sent something"); }), 0);
}

void TestCommandQueue::appendDuringDrainWaitsForNextDrain()
{
    TCommandQueue q;
    q.Append("A 1", qkSetCommand);
    q.Append("B 1", qkSetCommand);
    QStringList sent;
    q.Drain([&](const TQueuedCommand& e) {
        sent << e.Text;
        // What an operator does while the reply is awaited.
        q.Append(e.Text + "0", qkSetCommand);
    });
    QCOMPARE(sent, (QStringList{"A 1", "B 1"}));
    QCOMPARE(texts(q), (QStringList{"A 10", "B 10"}));

    sent.clear();
    q.Drain([&](const TQueuedCommand& e) { sent << e.Text; });
    QCOMPARE(sent, (QStringList{"A 10", "B 10"}));
    QVERIFY(!q.Pending());
}

void TestCommandQueue::capacityDuringDrainCountsUnsentOnly()
{
    TCommandQueue q;
    fillDistinct(q);
    int sent = 0;
    int accepted = 0;
    int maxCount = 0;
    q.Drain([&](const TQueuedCommand&) {
        ++sent;
        // Two offers per exchange: the slot just freed takes one, the other
        // finds the queue full.
        for (int k = 0; k < 2; ++k) {
            if (q.Append(QStringLiteral("N%1%2 1").arg(sent).arg(k), qkSetCommand) !=
                TCommandQueue::arDropped)
                ++accepted;
            maxCount = std::max(maxCount, q.Count());
        }
    });
    QCOMPARE(sent, 100);
    QCOMPARE(accepted, 100);
    QCOMPARE(maxCount, 100);
    QCOMPARE(q.Count(), 100);
    QCOMPARE(q.Slot(1).Text, QString("N10 1"));
}

void TestCommandQueue::replacementInsideBatchMovesToNextDrain()
{
    TCommandQueue q;
    q.Append("CS 001.00", qkSetCommand);
    q.Append("MC 20", qkSetCommand);
    for (int i = 2; i < TCommandQueue::Capacity; ++i)
        q.Append(QStringLiteral("X%1 %1").arg(i), qkSetCommand);
    q.Append("PW 0.0000100", qkSetCommand); // dropped: full, no PW queued

    QStringList sent;
    bool offered = false;
    q.Drain([&](const TQueuedCommand& e) {
        sent << e.Text;
        if (!offered) {
            offered = true;
            // Still full (99 queued + one free slot taken by this offer)...
            QCOMPARE(q.Append("X98 0", qkSetCommand), TCommandQueue::arAppended);
            // ...so this one replaces the queued MC 20 of the running batch.
            QCOMPARE(q.Append("MC 30", qkSetCommand), TCommandQueue::arReplaced);
        }
    });
    QCOMPARE(sent.size(), 99);
    QVERIFY(!sent.contains("MC 20"));
    QVERIFY(!sent.contains("MC 30"));
    QCOMPARE(texts(q), (QStringList{"X98 0", "MC 30"}));
}

void TestCommandQueue::throwingSenderKeepsTheRest()
{
    TCommandQueue q;
    q.Append("A 1", qkSetCommand);
    q.Append("B 1", qkSetCommand);
    q.Append("C 1", qkSetCommand);
    QStringList sent;
    QVERIFY_THROWS_EXCEPTION(std::runtime_error, q.Drain([&](const TQueuedCommand& e) {
        sent << e.Text;
        if (e.Text == "B 1")
            throw std::runtime_error("log write failed");
    }));
    QCOMPARE(sent, (QStringList{"A 1", "B 1"}));
    QCOMPARE(texts(q), QStringList{"C 1"});

    // The queue is usable again afterwards.
    sent.clear();
    QCOMPARE(q.Drain([&](const TQueuedCommand& e) { sent << e.Text; }), 1);
    QCOMPARE(sent, QStringList{"C 1"});
}

void TestCommandQueue::nestedDrainSendsNothing()
{
    TCommandQueue q;
    q.Append("A 1", qkSetCommand);
    q.Append("B 1", qkSetCommand);
    QStringList sent;
    q.Drain([&](const TQueuedCommand& e) {
        sent << e.Text;
        QCOMPARE(q.Drain([&](const TQueuedCommand& n) { sent << "nested " + n.Text; }), 0);
    });
    QCOMPARE(sent, (QStringList{"A 1", "B 1"}));
}

QTEST_GUILESS_MAIN(TestCommandQueue)
#include "tst_commandqueue.moc"
