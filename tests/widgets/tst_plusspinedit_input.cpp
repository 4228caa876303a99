// SPDX-License-Identifier: GPL-3.0-or-later
// Operator side of the spin edit, driven by real mouse and key events: arrows with
// auto-repeat, keys, digit selection by click, focus, painting and the control's own Enabled.
#include "meroerror.h"
#include "plussped.h"
#include "spinarrowbutton.h"

#include <QLineEdit>
#include <QSignalSpy>
#include <QTimer>
#include <QtTest>

#include <memory>

class TestSpinEditInput : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();

    void heldArrowStepsFiveTimesInOneSecond();
    void heldArrowPausesOffTheButton();
    void downArrowAndLimits();
    void trackSpinOffFiresOnceAtRelease();
    void arrowTakesFocusAndHidesCaret();
    void upDownKeysWithBounds();
    void heldUpKeyStepsPerRepeat();
    void leftRightKeys();
    void ctrlZeroAndTypedZero();
    void typedCharacters_data();
    void typedCharacters();
    void typedDigitsOtherBase();
    void unreadableTypedDigitRaises();
    void clickOnEachDigit();
    void clickOnSeparatorsAndOutside();
    void rightButtonOnlyFocuses();
    void doubleClickZeroesRight();
    void disabledIgnoresInputButTakesTabFocus();
    void paintsSelectionUnderlineAndCaret();
    void fontChangeRemeasures();

private:
    void press(QWidget* w, QPoint pos, Qt::MouseButton b = Qt::LeftButton);
    void release(QWidget* w, QPoint pos, Qt::MouseButton b = Qt::LeftButton);
    void moveWhileHeld(QWidget* w, QPoint pos);
    // One tick of the auto-repeat timer, as the event loop would deliver it.
    void tick() { QMetaObject::invokeMethod(spin->RepeatTimer(), "timeout"); }
    QPoint cellCentre(int e);

    std::unique_ptr<QWidget> window;
    QLineEdit* other = nullptr;
    TPlusSpinEdit* spin = nullptr;
};

void TestSpinEditInput::init()
{
    window = std::make_unique<QWidget>();
    window->resize(300, 120);
    other = new QLineEdit(window.get());
    other->setGeometry(10, 10, 100, 22);
    spin = new TPlusSpinEdit(window.get());
    spin->setObjectName("spin");
    spin->SetBounds(10, 50, 220, 21);
    window->show();
    window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(window.get()));
    spin->setFocus();
    QTRY_VERIFY(spin->hasFocus());
}

void TestSpinEditInput::cleanup()
{
    window.reset();
}

void TestSpinEditInput::press(QWidget* w, QPoint pos, Qt::MouseButton b)
{
    QTest::mousePress(w, b, Qt::NoModifier, pos);
}

void TestSpinEditInput::release(QWidget* w, QPoint pos, Qt::MouseButton b)
{
    QTest::mouseRelease(w, b, Qt::NoModifier, pos);
}

void TestSpinEditInput::moveWhileHeld(QWidget* w, QPoint pos)
{
    QMouseEvent move(QEvent::MouseMove, QPointF(pos), w->mapToGlobal(QPointF(pos)), Qt::NoButton,
                     Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(w, &move);
}

QPoint TestSpinEditInput::cellCentre(int e)
{
    spin->SelectDigit(e);
    return spin->FocusCell().center();
}

void TestSpinEditInput::heldArrowStepsFiveTimesInOneSecond()
{
    QSignalSpy changes(spin, &TPlusSpinEdit::OnChange);
    QWidget* up = spin->UpButton();
    QTimer* timer = spin->RepeatTimer();

    press(up, up->rect().center());
    QCOMPARE(spin->Value(), 1.0);
    QVERIFY(timer->isActive());

    // Let the timer's own intervals be the clock: held for one second.
    QList<int> stepTimes{0};
    int now = 0;
    while (now + timer->interval() <= 1000) {
        now += timer->interval();
        const double before = spin->Value();
        tick();
        if (spin->Value() != before)
            stepTimes << now;
    }
    release(up, up->rect().center());

    QCOMPARE(stepTimes, (QList<int>{0, 500, 650, 800, 950}));
    QCOMPARE(spin->Value(), 5.0);
    QCOMPARE(changes.count(), 5);
    QVERIFY(!timer->isActive());
    QVERIFY(!spin->Spinning());
    tick(); // a stray tick after the release steps nothing
    QCOMPARE(spin->Value(), 5.0);
}

void TestSpinEditInput::heldArrowPausesOffTheButton()
{
    QWidget* up = spin->UpButton();
    press(up, up->rect().center());
    tick();
    QCOMPARE(spin->Value(), 2.0);
    moveWhileHeld(up, QPoint(-30, -30));
    QVERIFY(!spin->UpButton()->isDown());
    tick();
    tick();
    QCOMPARE(spin->Value(), 2.0);
    QVERIFY(spin->RepeatTimer()->isActive());
    moveWhileHeld(up, up->rect().center());
    tick();
    QCOMPARE(spin->Value(), 3.0);
    release(up, up->rect().center());
    QCOMPARE(spin->Value(), 3.0);
}

void TestSpinEditInput::downArrowAndLimits()
{
    spin->SetMinValue(0);
    spin->SetMaxValue(2);
    spin->AssignValue(1.5);
    QSignalSpy changes(spin, &TPlusSpinEdit::OnChange);
    QWidget* down = spin->DownButton();
    press(down, down->rect().center());
    QCOMPARE(spin->Value(), 0.5);
    tick();
    QCOMPARE(spin->Value(), 0.0);
    tick();
    QCOMPARE(spin->Value(), 0.0);
    release(down, down->rect().center());
    QCOMPARE(changes.count(), 2);
}

void TestSpinEditInput::trackSpinOffFiresOnceAtRelease()
{
    spin->SetTrackSpin(false);
    QSignalSpy changes(spin, &TPlusSpinEdit::OnChange);
    QWidget* up = spin->UpButton();
    press(up, up->rect().center());
    for (int i = 0; i < 9; ++i)
        tick();
    QCOMPARE(spin->Value(), 10.0);
    QCOMPARE(changes.count(), 0);
    release(up, up->rect().center());
    QCOMPARE(changes.count(), 1);

    // A spin that changes nothing owes nothing.
    spin->SetMaxValue(10);
    press(up, up->rect().center());
    tick();
    release(up, up->rect().center());
    QCOMPARE(changes.count(), 1);
}

void TestSpinEditInput::arrowTakesFocusAndHidesCaret()
{
    other->setFocus();
    QTRY_VERIFY(other->hasFocus());
    QWidget* up = spin->UpButton();
    press(up, up->rect().center());
    QVERIFY(spin->hasFocus());
    QVERIFY(spin->Spinning());
    QVERIFY(!spin->CaretVisible());
    release(up, up->rect().center());
    QVERIFY(spin->CaretVisible());

    // Only the left button spins.
    press(up, up->rect().center(), Qt::RightButton);
    release(up, up->rect().center(), Qt::RightButton);
    QCOMPARE(spin->Value(), 1.0);
    QVERIFY(!spin->RepeatTimer()->isActive());
}

void TestSpinEditInput::upDownKeysWithBounds()
{
    spin->SetMinValue(0);
    spin->SetMaxValue(2);
    spin->AssignValue(1.5);
    QSignalSpy changes(spin, &TPlusSpinEdit::OnChange);
    QTest::keyClick(spin, Qt::Key_Up);
    QCOMPARE(spin->Value(), 2.0);
    QTest::keyClick(spin, Qt::Key_Up);
    QCOMPARE(spin->Value(), 2.0);
    QTest::keyClick(spin, Qt::Key_Down);
    QTest::keyClick(spin, Qt::Key_Down);
    QTest::keyClick(spin, Qt::Key_Down);
    QCOMPARE(spin->Value(), 0.0);
    QCOMPARE(changes.count(), 3);
    QVERIFY(!spin->RepeatTimer()->isActive()); // keys do not use the timer
}

void TestSpinEditInput::heldUpKeyStepsPerRepeat()
{
    spin->SetTrackSpin(false);
    QSignalSpy changes(spin, &TPlusSpinEdit::OnChange);
    QTest::keyPress(spin, Qt::Key_Up);
    QVERIFY(spin->Spinning());
    QVERIFY(!spin->CaretVisible());
    for (int i = 0; i < 3; ++i) {
        QKeyEvent rel(QEvent::KeyRelease, Qt::Key_Up, Qt::NoModifier, QString(), true);
        QApplication::sendEvent(spin, &rel);
        QKeyEvent rep(QEvent::KeyPress, Qt::Key_Up, Qt::NoModifier, QString(), true);
        QApplication::sendEvent(spin, &rep);
    }
    QCOMPARE(spin->Value(), 4.0);
    QVERIFY(spin->Spinning());
    QCOMPARE(changes.count(), 0);
    // The release of any key ends the spin.
    QTest::keyRelease(spin, Qt::Key_Shift);
    QVERIFY(!spin->Spinning());
    QVERIFY(spin->CaretVisible());
    QCOMPARE(changes.count(), 1);
}

void TestSpinEditInput::leftRightKeys()
{
    QSignalSpy increments(spin, &TPlusSpinEdit::OnSetIncrement);
    QTest::keyClick(spin, Qt::Key_Right);
    QCOMPARE(spin->IncExponent(), -1);
    QTest::keyClick(spin, Qt::Key_Right);
    QTest::keyClick(spin, Qt::Key_Right);
    QCOMPARE(spin->IncExponent(), -2);
    QCOMPARE(spin->Increment(), 0.01);
    QCOMPARE(increments.count(), 2);

    // Left runs until the selected cell reaches the left edge, then stops.
    int last = spin->IncExponent();
    for (int i = 0; i < 60; ++i) {
        QTest::keyClick(spin, Qt::Key_Left);
        if (spin->IncExponent() == last)
            break;
        last = spin->IncExponent();
    }
    QVERIFY(last > 3);
    QVERIFY(spin->FocusCell().left() - 1 <= spin->DigitWidth() - 2);
    QVERIFY(spin->FocusCell().left() >= 0);
    QCOMPARE(spin->Text().front(), QChar(u'_'));

    // With limits the widest limit bounds it.
    spin->SetMaxValue(100);
    spin->SelectDigit(0);
    for (int i = 0; i < 5; ++i)
        QTest::keyClick(spin, Qt::Key_Left);
    QCOMPARE(spin->IncExponent(), 2);
    QCOMPARE(spin->Text(), QStringLiteral("__0.00"));
}

void TestSpinEditInput::ctrlZeroAndTypedZero()
{
    spin->AssignValue(123.45);
    spin->SelectDigit(1);
    QTest::keyClick(spin, Qt::Key_0, Qt::ControlModifier);
    QCOMPARE(spin->Value(), 120.0);
    QCOMPARE(spin->IncExponent(), 1);

    spin->AssignValue(123.45);
    QTest::keyClick(spin, '0');
    QCOMPARE(spin->Value(), 103.45);
    QCOMPARE(spin->IncExponent(), 0);
}

void TestSpinEditInput::typedCharacters_data()
{
    QTest::addColumn<int>("key");
    QTest::addColumn<QString>("text");
    QTest::addColumn<double>("expected");
    QTest::newRow("7 over the tens") << int(Qt::Key_7) << "7" << 173.45;
    QTest::newRow("A in base 10") << int(Qt::Key_A) << "A" << 123.45;
    QTest::newRow("a in base 10") << int(Qt::Key_A) << "a" << 123.45;
    QTest::newRow("minus") << int(Qt::Key_Minus) << "-" << 123.45;
    QTest::newRow("plus") << int(Qt::Key_Plus) << "+" << 123.45;
    QTest::newRow("blank") << int(Qt::Key_Space) << " " << 123.45;
    QTest::newRow("decimal separator") << int(Qt::Key_Period) << "." << 123.45;
    QTest::newRow("enter") << int(Qt::Key_Return) << "\r" << 123.45;
    QTest::newRow("escape") << int(Qt::Key_Escape) << "\x1b" << 123.45;
    QTest::newRow("backspace") << int(Qt::Key_Backspace) << "\b" << 123.45;
}

void TestSpinEditInput::typedCharacters()
{
    QFETCH(int, key);
    QFETCH(QString, text);
    QFETCH(double, expected);
    spin->AssignValue(123.45);
    spin->SelectDigit(1);
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, text);
    QApplication::sendEvent(spin, &press);
    QCOMPARE(press.isAccepted(), expected != 123.45); // unused keys go on to the parent
    QCOMPARE(spin->Value(), expected);
    QCOMPARE(spin->IncExponent(), expected == 123.45 ? 1 : 0);

    // With the editor off no digit is taken.
    spin->SetEditorEnabled(false);
    spin->AssignValue(123.45);
    spin->SelectDigit(1);
    QTest::keyClick(spin, '7');
    QCOMPARE(spin->Value(), 123.45);
}

void TestSpinEditInput::typedDigitsOtherBase()
{
    spin->SetDecimals(0);
    spin->SetBase(16);
    QTest::keyClick(spin, 'a');
    QCOMPARE(spin->Value(), 10.0);
    spin->AssignValue(0);
    QTest::keyClick(spin, 'F');
    QCOMPARE(spin->Value(), 15.0);
    spin->AssignValue(0);
    QTest::keyClick(spin, 'g');
    QCOMPARE(spin->Value(), 0.0);
}

void TestSpinEditInput::unreadableTypedDigitRaises()
{
    spin->SetDecimals(0);
    spin->SetBase(2);
    spin->AssignValue(5);
    spin->SelectDigit(1);
    const QString text = spin->Text();
    QSignalSpy changes(spin, &TPlusSpinEdit::OnChange);
    // The error is reported by the key handling itself; nothing is thrown
    // through Qt's event delivery.
    QStringList reported;
    const MeroErrorReporter previous =
        SetMeroErrorReporter([&](const QString& message) { reported << message; });
    QTest::keyClick(spin, '1');
    SetMeroErrorReporter(previous);
    QCOMPARE(reported, QStringList{"Not a valid number"});
    QCOMPARE(spin->Value(), 5.0);
    QCOMPARE(spin->Text(), text);
    QCOMPARE(spin->IncExponent(), 1);
    QCOMPARE(changes.count(), 0);
}

void TestSpinEditInput::clickOnEachDigit()
{
    spin->SetDecimals(7);
    spin->SetThousandSeparator(",");
    QCOMPARE(spin->Text(), QStringLiteral("0.000,000,0"));
    QMap<int, QRect> cells;
    for (int e = 0; e >= -7; --e) {
        spin->SelectDigit(e);
        cells[e] = spin->FocusCell();
        QVERIFY(cells[e].width() > 2);
    }
    for (int e = 0; e >= -7; --e) {
        const QRect c = cells[e];
        for (int x : {c.left(), c.center().x(), c.right()}) {
            spin->SelectDigit(e == -3 ? -6 : -3);
            QTest::mouseClick(spin, Qt::LeftButton, Qt::NoModifier, QPoint(x, c.center().y()));
            QVERIFY2(spin->IncExponent() == e, qPrintable(QString("digit %1 at x %2 selected %3")
                                                              .arg(e)
                                                              .arg(x)
                                                              .arg(spin->IncExponent())));
        }
    }
    QCOMPARE(spin->Text(), QStringLiteral("0.000,000,0"));
}

void TestSpinEditInput::clickOnSeparatorsAndOutside()
{
    spin->SetDecimals(7);
    spin->SetThousandSeparator(",");
    QMap<int, QRect> cells;
    for (int e = 0; e >= -7; --e) {
        spin->SelectDigit(e);
        cells[e] = spin->FocusCell();
    }
    const int y = cells[0].center().y();
    auto clickAt = [&](int x) {
        spin->SelectDigit(-5);
        QTest::mouseClick(spin, Qt::LeftButton, Qt::NoModifier, QPoint(x, y));
        return spin->IncExponent();
    };
    QCOMPARE(clickAt(cells[0].right() + 1), 0);   // the decimal separator
    QCOMPARE(clickAt(cells[-1].left() - 1), 0);   // its last pixel
    QCOMPARE(clickAt(cells[-3].right() + 1), -4); // a group separator: the digit right of it
    QCOMPARE(clickAt(cells[-7].right() + 2), -7); // between the text and the arrows
    QCOMPARE(clickAt(spin->UpButton()->x() - 1), -7);
    QCOMPARE(clickAt(cells[0].left() - 1), 1); // left of the text: one position left
    QCOMPARE(spin->ShownText(), QStringLiteral("00.000,000,0"));
    QCOMPARE(clickAt(2), 1);

    // With limits, the position left of the text is held to their bounds.
    spin->SetMinValue(0);
    spin->SetMaxValue(5);
    QCOMPARE(clickAt(2), 1);
}

void TestSpinEditInput::rightButtonOnlyFocuses()
{
    spin->AssignValue(123.45);
    const QPoint tens = cellCentre(1);
    spin->SelectDigit(-1);
    other->setFocus();
    QTRY_VERIFY(other->hasFocus());
    QTest::mouseClick(spin, Qt::RightButton, Qt::NoModifier, tens);
    QVERIFY(spin->hasFocus());
    QCOMPARE(spin->IncExponent(), -1);
    QTest::mouseClick(spin, Qt::LeftButton, Qt::NoModifier, tens);
    QCOMPARE(spin->IncExponent(), 1);
}

void TestSpinEditInput::doubleClickZeroesRight()
{
    spin->AssignValue(123.45);
    const QPoint tens = cellCentre(1);
    spin->SelectDigit(-2);
    // What the system delivers: press, release, double click, release.
    QTest::mouseClick(spin, Qt::LeftButton, Qt::NoModifier, tens);
    QTest::mouseDClick(spin, Qt::LeftButton, Qt::NoModifier, tens);
    QTest::mouseRelease(spin, Qt::LeftButton, Qt::NoModifier, tens);
    QCOMPARE(spin->IncExponent(), 1);
    QCOMPARE(spin->Value(), 120.0);
}

void TestSpinEditInput::disabledIgnoresInputButTakesTabFocus()
{
    spin->AssignValue(123.45);
    const QPoint tens = cellCentre(1);
    spin->SelectDigit(-1);
    spin->SetEnabled(false);
    QSignalSpy changes(spin, &TPlusSpinEdit::OnChange);

    other->setFocus();
    QTRY_VERIFY(other->hasFocus());
    QTest::mouseClick(spin, Qt::LeftButton, Qt::NoModifier, tens);
    QTest::mouseDClick(spin, Qt::LeftButton, Qt::NoModifier, tens);
    QVERIFY(other->hasFocus());
    QCOMPARE(spin->IncExponent(), -1);

    QWidget* up = spin->UpButton();
    press(up, up->rect().center());
    QVERIFY(!spin->RepeatTimer()->isActive());
    release(up, up->rect().center());
    QVERIFY(other->hasFocus());

    QTest::keyClick(other, Qt::Key_Tab);
    QVERIFY(spin->hasFocus());
    for (Qt::Key k : {Qt::Key_Up, Qt::Key_Down, Qt::Key_Left, Qt::Key_Right})
        QTest::keyClick(spin, k);
    QTest::keyClick(spin, '7');
    QTest::keyClick(spin, Qt::Key_0, Qt::ControlModifier);
    QCOMPARE(spin->Value(), 123.45);
    QCOMPARE(spin->IncExponent(), -1);
    QCOMPARE(changes.count(), 0);

    // Grey arrows; enabled again, black ones and input works.
    const QImage grey = spin->UpButton()->Glyph().toImage();
    QCOMPARE(grey.pixelColor(grey.width() / 2, grey.height() / 2), QColor(128, 128, 128));
    spin->SetEnabled(true);
    const QImage black = spin->UpButton()->Glyph().toImage();
    QCOMPARE(black.pixelColor(black.width() / 2, black.height() / 2), QColor(Qt::black));
    QTest::keyClick(spin, Qt::Key_Up);
    QCOMPARE(spin->Value(), 123.55);
}

void TestSpinEditInput::paintsSelectionUnderlineAndCaret()
{
    spin->AssignValue(123.45);
    spin->SelectDigit(1);
    const QRect cell = spin->FocusCell();

    QImage img = spin->grab().toImage();
    QCOMPARE(img.pixelColor(cell.left(), cell.top()), QColor(0, 0, 255));
    QCOMPARE(img.pixelColor(cell.left(), cell.bottom()), QColor(Qt::black)); // caret
    QCOMPARE(img.pixelColor(cell.left(), cell.bottom() + 1), QColor(Qt::black));
    QCOMPARE(img.pixelColor(cell.left(), 0), QColor(Qt::black)); // frame

    // During a spin the caret is hidden.
    QTest::keyPress(spin, Qt::Key_Down);
    QVERIFY(cell == spin->FocusCell());
    img = spin->grab().toImage();
    QCOMPARE(img.pixelColor(cell.left(), cell.bottom() + 1), QColor(Qt::white));
    QTest::keyRelease(spin, Qt::Key_Down);

    // Unfocused: a one-pixel underline, no fill.
    other->setFocus();
    QTRY_VERIFY(!spin->hasFocus());
    img = spin->grab().toImage();
    QCOMPARE(img.pixelColor(cell.left(), cell.top()), QColor(Qt::white));
    QCOMPARE(img.pixelColor(cell.left(), cell.bottom()), QColor(Qt::black));
    QCOMPARE(img.pixelColor(cell.right() - 1, cell.bottom()), QColor(Qt::black));
    QCOMPARE(img.pixelColor(cell.left(), cell.bottom() + 1), QColor(Qt::white));
}

void TestSpinEditInput::fontChangeRemeasures()
{
    const int width = spin->DigitWidth();
    QFont f = spin->font();
    f.setPixelSize(26);
    spin->setFont(f);
    QVERIFY(spin->DigitWidth() > width);
    QCOMPARE(spin->UpButton()->width(), spin->DigitWidth() + spin->DigitWidth() / 2 + 8);
    QCOMPARE(spin->height() % 2, 1); // AutoSize re-applied
    QVERIFY(spin->height() >= spin->DigitHeight());
    spin->SelectDigit(0);
    QCOMPARE(spin->FocusCell().height(), spin->DigitHeight());
    QVERIFY(spin->CaretVisible());
}

QTEST_MAIN(TestSpinEditInput)
#include "tst_plusspinedit_input.moc"
