// SPDX-License-Identifier: GPL-3.0-or-later
// The spin edit never steps on by itself: a held arrow whose release the control cannot
// see stops repeating, a right or middle double click changes nothing, a floor holds.
#include "plussped.h"
#include "spinarrowbutton.h"

#include <QDialog>
#include <QSignalSpy>
#include <QtTest>

#include <functional>
#include <memory>

using TTakeAway = std::function<void(QWidget* window, TPlusSpinEdit* spin)>;
Q_DECLARE_METATYPE(TTakeAway)

class TestSpinEditSafety : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();

    void repeatStopsWithoutTheRelease_data();
    void repeatStopsWithoutTheRelease();
    void owedChangeIsPaidOnce();
    void onlyTheLeftDoubleClickZeroes_data();
    void onlyTheLeftDoubleClickZeroes();
    void floorHoldsWhateverTheLimits();

private:
    void tick() { QMetaObject::invokeMethod(spin->RepeatTimer(), "timeout"); }
    void pressUp() { QTest::mousePress(spin->UpButton(), Qt::LeftButton); }

    std::unique_ptr<QWidget> window;
    TPlusSpinEdit* spin = nullptr;
};

void TestSpinEditSafety::init()
{
    window = std::make_unique<QWidget>();
    window->resize(300, 120);
    spin = new TPlusSpinEdit(window.get());
    spin->SetBounds(10, 50, 220, 21);
    window->show();
    window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(window.get()));
}

void TestSpinEditSafety::cleanup()
{
    window.reset();
}

void TestSpinEditSafety::repeatStopsWithoutTheRelease_data()
{
    QTest::addColumn<TTakeAway>("takeAway");
    QTest::addColumn<TTakeAway>("giveBack");

    // A modal box takes the release; it is answered before the arrow is let go.
    auto dialog = std::make_shared<std::unique_ptr<QDialog>>();
    QTest::newRow("modal box") << TTakeAway([dialog](QWidget*, TPlusSpinEdit*) {
        *dialog = std::make_unique<QDialog>();
        (*dialog)->setModal(true);
        (*dialog)->show();
        QVERIFY(QApplication::activeModalWidget() == dialog->get());
    }) << TTakeAway([dialog](QWidget*, TPlusSpinEdit*) { dialog->reset(); });
    auto other = std::make_shared<std::unique_ptr<QWidget>>();
    QTest::newRow("window deactivated") << TTakeAway([other](QWidget* w, TPlusSpinEdit*) {
        *other = std::make_unique<QWidget>();
        (*other)->show();
        (*other)->activateWindow();
        QTRY_VERIFY(!w->isActiveWindow());
    }) << TTakeAway([other](QWidget* w, TPlusSpinEdit*) {
        other->reset();
        w->activateWindow();
        QTRY_VERIFY(w->isActiveWindow());
    });
    QTest::newRow("own Enabled false")
        << TTakeAway([](QWidget*, TPlusSpinEdit* s) { s->SetEnabled(false); })
        << TTakeAway([](QWidget*, TPlusSpinEdit* s) { s->SetEnabled(true); });
    QTest::newRow("widget disabled")
        << TTakeAway([](QWidget*, TPlusSpinEdit* s) { s->setEnabled(false); })
        << TTakeAway([](QWidget*, TPlusSpinEdit* s) { s->setEnabled(true); });
    QTest::newRow("hidden") << TTakeAway([](QWidget*, TPlusSpinEdit* s) { s->hide(); })
                            << TTakeAway([](QWidget*, TPlusSpinEdit* s) { s->show(); });
}

void TestSpinEditSafety::repeatStopsWithoutTheRelease()
{
    QFETCH(TTakeAway, takeAway);
    QFETCH(TTakeAway, giveBack);
    pressUp();
    tick();
    QCOMPARE(spin->Value(), 2.0);

    takeAway(window.get(), spin);
    tick();
    giveBack(window.get(), spin);
    // Nothing released the arrow, and nothing steps any more.
    for (int i = 0; i < 5; ++i)
        tick();
    QCOMPARE(spin->Value(), 2.0);
    QVERIFY(!spin->RepeatTimer()->isActive());
    QVERIFY(!spin->Spinning());
    QVERIFY(!spin->UpButton()->isDown());

    // The next press is an ordinary spin again.
    pressUp();
    tick();
    QCOMPARE(spin->Value(), 4.0);
    QTest::mouseRelease(spin->UpButton(), Qt::LeftButton);
}

void TestSpinEditSafety::owedChangeIsPaidOnce()
{
    spin->SetTrackSpin(false);
    QSignalSpy changes(spin, &TPlusSpinEdit::OnChange);
    pressUp();
    tick();
    QCOMPARE(changes.count(), 0);
    QDialog box;
    box.setModal(true);
    box.show();
    tick();
    QCOMPARE(changes.count(), 1);
    QCOMPARE(spin->Value(), 2.0);
    box.hide();
    tick();
    QTest::mouseRelease(spin->UpButton(), Qt::LeftButton);
    QCOMPARE(changes.count(), 1);
}

void TestSpinEditSafety::onlyTheLeftDoubleClickZeroes_data()
{
    QTest::addColumn<Qt::MouseButton>("button");
    QTest::addColumn<double>("value");
    QTest::newRow("left") << Qt::LeftButton << 120.0;
    QTest::newRow("right") << Qt::RightButton << 123.45;
    QTest::newRow("middle") << Qt::MiddleButton << 123.45;
}

void TestSpinEditSafety::onlyTheLeftDoubleClickZeroes()
{
    QFETCH(Qt::MouseButton, button);
    QFETCH(double, value);
    spin->AssignValue(123.45);
    spin->SelectDigit(1);
    const QPoint tens = spin->FocusCell().center();
    QSignalSpy changes(spin, &TPlusSpinEdit::OnChange);
    QTest::mouseClick(spin, button, Qt::NoModifier, tens);
    QTest::mouseDClick(spin, button, Qt::NoModifier, tens);
    QTest::mouseRelease(spin, button, Qt::NoModifier, tens);
    QCOMPARE(spin->Value(), value);
    QCOMPARE(changes.count(), value == 123.45 ? 0 : 1);
}

void TestSpinEditSafety::floorHoldsWhateverTheLimits()
{
    QSignalSpy changes(spin, &TPlusSpinEdit::OnChange);
    spin->SetFloorValue(0);
    QCOMPARE(spin->Value(), 0.0);
    spin->SpinDown(spin);
    spin->AssignValue(-3);
    QCOMPARE(spin->Value(), 0.0);
    QCOMPARE(changes.count(), 0);
    spin->AssignValue(1e6); // the upper side stays unlimited
    QCOMPARE(spin->Value(), 1e6);

    // With limits, the floor applies after them: a maximum below it gives the floor.
    spin->SetFloorValue(0.1);
    spin->SetMinValue(0.1);
    spin->SetMaxValue(-5);
    QCOMPARE(spin->Value(), 0.1);
    spin->SetFloorValue(-std::numeric_limits<double>::infinity());
    spin->AssignValue(7);
    QCOMPARE(spin->Value(), -5.0);
}

QTEST_MAIN(TestSpinEditSafety)
#include "tst_plusspinedit_safety.moc"
