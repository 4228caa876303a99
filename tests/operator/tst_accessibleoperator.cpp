// SPDX-License-Identifier: GPL-3.0-or-later
// An assistive client driving the window through QAccessible gets what the keyboard gets:
// values clamped on the wire, nothing sent during a read-back, a burst of "increase"
// presses queued in order under the queue's rules.
#include "OperatorFixture.h"

#include "plussped.h"
#include "spinarrowbutton.h"

#include <QAccessible>

namespace
{
QAccessibleInterface* Iface(QObject* o)
{
    return QAccessible::queryAccessibleInterface(o);
}

QStringList QueuedTexts()
{
    QStringList texts;
    const TCommandQueue& q = appState().CommandQueue;
    for (int slot = 1; slot <= q.Count(); ++slot)
        texts << q.Slot(slot).Text;
    return texts;
}
} // namespace

class TestAccessibleOperator : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void valueOutsideTheLimitsIsClamped();
    void nothingIsSentDuringAReadBack();
    void burstOfIncreasesQueuesLikeTheKeys();
};

void TestAccessibleOperator::valueOutsideTheLimitsIsClamped()
{
    TOperatorFixture f(41);
    f.Find<TPlusSpinEdit>("MaxCurrentAdj")->AssignValue(40);
    QCOMPARE(f.WireWhenEqual(";DC:MC 40\r\n"), QByteArray(";DC:MC 40\r\n"));
    f.unit.clearReceived();
    auto* current = f.Find<TPlusSpinEdit>("ISettingAdj");
    Iface(current)->valueInterface()->setCurrentValue(99.0);
    QCOMPARE(current->Value(), 40.0);
    QCOMPARE(f.WireWhenEqual(";DC:CS 040.00\r\n"), QByteArray(";DC:CS 040.00\r\n"));
}

void TestAccessibleOperator::nothingIsSentDuringAReadBack()
{
    TOperatorFixture f(42);
    f.Answer(BasicUnitReplies(), 5);
    auto* current = f.Find<TPlusSpinEdit>("ISettingAdj");
    auto* rate = f.Find<TPlusSpinEdit>("RepRateAdj");
    bool tried = false;
    // A client acts while the read-back waits for a reply.
    QTimer::singleShot(20, f.w.get(), [&] {
        QVERIFY(appState().CommandsDisabled);
        Iface(current)->valueInterface()->setCurrentValue(7.0);
        Iface(current)->actionInterface()->doAction(QAccessibleActionInterface::increaseAction());
        Iface(rate)->actionInterface()->doAction(QAccessibleActionInterface::decreaseAction());
        Iface(current->UpButton())
            ->actionInterface()
            ->doAction(QAccessibleActionInterface::pressAction());
        tried = true;
    });
    f.w->Initialize();
    QVERIFY(tried);
    QCOMPARE(current->Value(), 12.5); // as the unit reported it
    QCOMPARE(rate->Value(), 1000.0);
    QCOMPARE(appState().CommandQueue.Count(), 0);
    QTest::qWait(50); // a pump tick or two: still nothing queued to send
    for (const QByteArray& line : f.unit.received().split('\n'))
        QVERIFY2(line.isEmpty() || line.endsWith("?\r"), line.constData());
}

void TestAccessibleOperator::burstOfIncreasesQueuesLikeTheKeys()
{
    // The pump cannot run inside a burst: the queue fills, then each new "CS" takes the
    // place of the oldest one and goes to the end, so the last 100 steps stay, in order.
    auto burst = [](bool keys) {
        TOperatorFixture f(keys ? 44 : 43);
        auto* current = f.Find<TPlusSpinEdit>("ISettingAdj");
        f.w->TaskTimer->stop();
        current->SelectDigit(-2);
        for (int n = 0; n < 1000; ++n) {
            if (keys) {
                QTest::keyPress(current, Qt::Key_Up);
                QTest::keyRelease(current, Qt::Key_Up);
            } else {
                Iface(current)->actionInterface()->doAction(
                    QAccessibleActionInterface::increaseAction());
            }
        }
        const QStringList queued = QueuedTexts();
        // Every queued step reaches the unit, in order.
        f.w->TaskTimer->start();
        QByteArray expected;
        for (const QString& text : queued)
            expected += ";DC:" + text.toLatin1() + "\r\n";
        const QByteArray wire = f.WireWhenEqual(expected, 10000);
        return std::make_pair(queued, wire == expected);
    };
    const auto [byAction, actionSent] = burst(false);
    const auto [byKeys, keysSent] = burst(true);
    QCOMPARE(byAction.size(), TCommandQueue::Capacity);
    QCOMPARE(byAction.first(), QStringLiteral("CS 009.01"));
    QCOMPARE(byAction.last(), QStringLiteral("CS 010.00"));
    QCOMPARE(byAction, byKeys);
    QVERIFY(actionSent);
    QVERIFY(keysSent);
}

QTEST_MAIN(TestAccessibleOperator)
#include "tst_accessibleoperator.moc"
