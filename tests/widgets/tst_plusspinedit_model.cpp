// SPDX-License-Identifier: GPL-3.0-or-later
// Value model of the spin edit: limits, change events, steps, text format, typed digits.
#include "meroerror.h"
#include "plussped.h"

#include <QSignalSpy>
#include <QtTest>

#include <cmath>
#include <limits>

class TestSpinEditModel : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void defaults();
    void limits_data();
    void limits();
    void changeEventRules();
    void loweringMaxValueClampsAndFiresOnce();
    void notFiniteNeverStored();
    void storedValueKeepsAllDigits();
    void intValueRoundsToEven();
    void formatText_data();
    void formatText();
    void separators_data();
    void separators();
    void placeholders_data();
    void placeholders();
    void increment_data();
    void increment();
    void savedIncrementIsSmallestStep();
    void selectionBoundsAndEvents();
    void selectionNotPinnedByWrittenIncrement();
    void enterDigit();
    void enterDigitInPlaceholdersAndAtLimit();
    void enterDigitNegative();
    void enterDigitOtherBases();
    void enterDigitUnreadableLeavesStateUnchanged();
    void rightZero_data();
    void rightZero();
    void decimalsHeldToRange_data();
    void decimalsHeldToRange();
    void decimalsLoweredBelowSelection();
    void baseChangesStep();
    void autoSize();
    void longTextsCut();
};

void TestSpinEditModel::defaults()
{
    TPlusSpinEdit s;
    QCOMPARE(s.Value(), 0.0);
    QCOMPARE(s.Text(), QStringLiteral("0.00"));
    QCOMPARE(s.Decimals(), 2);
    QCOMPARE(s.Increment(), 1.0);
    QCOMPARE(s.IncExponent(), 0);
    QCOMPARE(s.Base(), 10);
    QVERIFY(s.AutoSize());
    QVERIFY(s.TrackSpin());
    QVERIFY(s.Enabled());
    QVERIFY(s.ThousandSeparator().isEmpty());
    QCOMPARE(s.FocusIndex(), 1);
    // The properties a Designer form sets by name.
    QVERIFY(s.setProperty("Decimals", 7));
    QVERIFY(s.setProperty("ThousandSeparator", QStringLiteral(",")));
    QVERIFY(s.setProperty("Increment", 1e-7));
    QVERIFY(s.setProperty("LeadingDigits", 3));
    QVERIFY(s.setProperty("AutoSize", false));
    QVERIFY(s.setProperty("MinValue", -1.0));
    QVERIFY(s.setProperty("MaxValue", 1.0));
    QVERIFY(s.setProperty("Base", 10));
    QVERIFY(s.setProperty("Value", 0.5));
    QCOMPARE(s.Text(), QStringLiteral("0.500,000,0"));
    QCOMPARE(s.property("Text").toString(), QStringLiteral("0.500,000,0"));
}

void TestSpinEditModel::limits_data()
{
    QTest::addColumn<double>("minValue");
    QTest::addColumn<double>("maxValue");
    QTest::addColumn<double>("write");
    QTest::addColumn<double>("stored");
    QTest::newRow("equal limits, negative") << 0.0 << 0.0 << -1e9 << -1e9;
    QTest::newRow("equal limits, huge") << 0.0 << 0.0 << 1e300 << 1e300;
    QTest::newRow("equal non-zero limits") << 5.0 << 5.0 << 7.0 << 7.0;
    QTest::newRow("0.1/0, write 0") << 0.1 << 0.0 << 0.0 << 0.1;
    QTest::newRow("0.1/0, write 5") << 0.1 << 0.0 << 5.0 << 0.0;
    QTest::newRow("below min") << 0.0 << 10.0 << -1.0 << 0.0;
    QTest::newRow("above max") << 0.0 << 10.0 << 11.0 << 10.0;
    QTest::newRow("inside") << 0.0 << 10.0 << 5.5 << 5.5;
    QTest::newRow("negative range") << -0.0061 << 0.0061 << -1.0 << -0.0061;
}

void TestSpinEditModel::limits()
{
    QFETCH(double, minValue);
    QFETCH(double, maxValue);
    QFETCH(double, write);
    QFETCH(double, stored);
    TPlusSpinEdit s;
    s.SetMinValue(minValue);
    s.SetMaxValue(maxValue);
    s.AssignValue(write);
    QCOMPARE(s.Value(), stored);
    s.SetValue(write);
    QCOMPARE(s.Value(), stored);
}

void TestSpinEditModel::changeEventRules()
{
    TPlusSpinEdit s;
    QSignalSpy changes(&s, &TPlusSpinEdit::OnChange);

    s.AssignValue(3);
    s.AssignValue(3);
    QCOMPARE(changes.count(), 1);
    QCOMPARE(changes.at(0).at(0).value<QObject*>(), &s);

    s.SetValue(4);
    QCOMPARE(s.Value(), 4.0);
    QCOMPARE(changes.count(), 1);

    // A write that the limits turn into the present value is no change.
    s.SetMaxValue(4);
    QCOMPARE(changes.count(), 1);
    s.AssignValue(9);
    QCOMPARE(s.Value(), 4.0);
    QCOMPARE(changes.count(), 1);

    // Program writes fire while the control's own Enabled is false too.
    s.SetEnabled(false);
    s.AssignValue(1);
    QCOMPARE(changes.count(), 2);
    s.setProperty("Value", 2.0);
    QCOMPARE(changes.count(), 3);
    s.SetIntValue(3);
    QCOMPARE(changes.count(), 4);
    QCOMPARE(s.Value(), 3.0);
}

void TestSpinEditModel::loweringMaxValueClampsAndFiresOnce()
{
    TPlusSpinEdit s;
    s.SetMaxValue(100);
    s.AssignValue(50);
    QSignalSpy changes(&s, &TPlusSpinEdit::OnChange);
    double seen = -1;
    connect(&s, &TPlusSpinEdit::OnChange, this, [&] { seen = s.Value(); });
    s.SetMaxValue(20);
    QCOMPARE(s.Value(), 20.0);
    QCOMPARE(changes.count(), 1);
    QCOMPARE(seen, 20.0); // the handler already sees the clamped value
    s.SetMaxValue(20);
    s.SetMaxValue(30);
    QCOMPARE(changes.count(), 1);
}

void TestSpinEditModel::notFiniteNeverStored()
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    TPlusSpinEdit s;
    s.AssignValue(1.5);
    QSignalSpy changes(&s, &TPlusSpinEdit::OnChange);
    for (double bad : {nan, inf, -inf}) {
        s.AssignValue(bad);
        s.SetValue(bad);
        s.SetMaxValue(bad);
        s.SetMinValue(bad);
        s.SetIncrement(bad);
    }
    QCOMPARE(s.Value(), 1.5);
    QCOMPARE(s.Text(), QStringLiteral("1.50"));
    QCOMPARE(s.MaxValue(), 0.0);
    QCOMPARE(s.Increment(), 1.0);
    QCOMPARE(changes.count(), 0);

    // A step past the largest double is refused rather than stored as infinity.
    s.AssignValue(std::numeric_limits<double>::max());
    s.SetIncrement(1e300);
    s.SpinUp(&s);
    QVERIFY(std::isfinite(s.Value()));
}

void TestSpinEditModel::storedValueKeepsAllDigits()
{
    TPlusSpinEdit s;
    s.AssignValue(1.234);
    QCOMPARE(s.Text(), QStringLiteral("1.23"));
    QCOMPARE(s.Value(), 1.234);
}

void TestSpinEditModel::intValueRoundsToEven()
{
    TPlusSpinEdit s;
    s.AssignValue(2.5);
    QCOMPARE(s.IntValue(), 2);
    s.AssignValue(3.5);
    QCOMPARE(s.IntValue(), 4);
    s.AssignValue(-2.5);
    QCOMPARE(s.IntValue(), -2);
    QCOMPARE(s.property("IntValue").toInt(), -2);
}

void TestSpinEditModel::formatText_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<int>("decimals");
    QTest::addColumn<QString>("separator");
    QTest::addColumn<int>("base");
    QTest::addColumn<QString>("text");
    QTest::newRow("1,000,000.5") << 1000000.5 << 1 << "," << 10 << "1,000,000.5";
    QTest::newRow("0.000,000,1") << 1e-7 << 7 << "," << 10 << "0.000,000,1";
    QTest::newRow("0.000,000,0") << 0.0 << 7 << "," << 10 << "0.000,000,0";
    QTest::newRow("-1,234") << -1234.0 << 0 << "," << 10 << "-1,234";
    QTest::newRow("-123") << -123.0 << 0 << "," << 10 << "-123";
    QTest::newRow("0.006,1") << 0.0061 << 4 << "," << 10 << "0.006,1";
    QTest::newRow("0.00") << 0.0 << 2 << "" << 10 << "0.00";
    QTest::newRow("no grouping") << 1234567.0 << 1 << "" << 10 << "1234567.0";
    QTest::newRow("base 16 groups of 4") << 123456.0 << 5 << "," << 16 << "12,3456.0000,0";
}

void TestSpinEditModel::formatText()
{
    QFETCH(double, value);
    QFETCH(int, decimals);
    QFETCH(QString, separator);
    QFETCH(int, base);
    QFETCH(QString, text);
    TPlusSpinEdit s;
    s.SetBase(base);
    s.SetDecimals(decimals);
    s.SetThousandSeparator(separator);
    s.AssignValue(value);
    QCOMPARE(s.Text(), text);
}

void TestSpinEditModel::separators_data()
{
    QTest::addColumn<QString>("written");
    QTest::addColumn<QString>("text");
    QTest::newRow("comma") << ","
                           << "1,234.5";
    QTest::newRow("apostrophe") << "'"
                                << "1'234.5";
    QTest::newRow("digit 5 becomes blank") << "5"
                                           << "1 234.5";
    QTest::newRow("letter x becomes blank") << "x"
                                            << "1 234.5";
    QTest::newRow("decimal separator becomes blank") << "."
                                                     << "1 234.5";
    QTest::newRow("minus becomes blank") << "-"
                                         << "1 234.5";
    QTest::newRow("placeholder mark becomes blank") << "_"
                                                    << "1 234.5";
    QTest::newRow("first character only") << ";x"
                                          << "1;234.5";
    QTest::newRow("none") << ""
                          << "1234.5";
}

void TestSpinEditModel::separators()
{
    QFETCH(QString, written);
    QFETCH(QString, text);
    TPlusSpinEdit s;
    s.SetDecimals(1);
    s.AssignValue(1234.5);
    s.SetThousandSeparator(written);
    QCOMPARE(s.Text(), text);
    QCOMPARE(s.ThousandSeparator(), written.left(1)); // read back as written
    s.SetThousandSeparator(QString());
    QCOMPARE(s.Text(), QStringLiteral("1234.5"));
}

void TestSpinEditModel::placeholders_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("separator");
    QTest::addColumn<int>("digit");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<int>("focusIndex");
    QTest::newRow("hundreds of 5") << 5.0 << "" << 2 << "__5"
                                   << "005" << 1;
    QTest::newRow("thousands of 5 with ,") << 5.0 << "," << 3 << "_,__5"
                                           << "0,005" << 1;
    QTest::newRow("ten-thousands of 5 with ,") << 5.0 << "," << 4 << "__,__5"
                                               << "00,005" << 1;
    QTest::newRow("tens of -5 keeps the sign first") << -5.0 << "" << 1 << "-_5"
                                                     << "-05" << 2;
    QTest::newRow("inside the number") << 123.0 << "" << 1 << "123"
                                       << "123" << 2;
}

void TestSpinEditModel::placeholders()
{
    QFETCH(double, value);
    QFETCH(QString, separator);
    QFETCH(int, digit);
    QFETCH(QString, text);
    QFETCH(QString, shown);
    QFETCH(int, focusIndex);
    TPlusSpinEdit s;
    s.SetDecimals(0);
    s.SetThousandSeparator(separator);
    s.AssignValue(value);
    s.SelectDigit(digit);
    QCOMPARE(s.Text(), text);
    QCOMPARE(s.ShownText(), shown);
    QCOMPARE(s.FocusIndex(), focusIndex);
    // Back to the units digit: the placeholders vanish.
    s.SelectDigit(0);
    QCOMPARE(s.Text(), QString::number(value));
    QCOMPARE(s.FocusIndex(), int(s.Text().size()));
}

void TestSpinEditModel::increment_data()
{
    QTest::addColumn<int>("decimals");
    QTest::addColumn<double>("written");
    QTest::addColumn<double>("step");
    QTest::addColumn<int>("digit");
    QTest::newRow("0.01") << 2 << 0.01 << 0.01 << -2;
    QTest::newRow("0.1") << 2 << 0.1 << 0.1 << -1;
    QTest::newRow("1") << 2 << 1.0 << 1.0 << 0;
    QTest::newRow("5") << 2 << 5.0 << 5.0 << 0;
    QTest::newRow("-0.5") << 2 << -0.5 << 0.5 << -1;
    QTest::newRow("1e-7") << 7 << 1e-7 << 1e-7 << -7;
    QTest::newRow("2e-7") << 7 << 2e-7 << 2e-7 << -7;
    QTest::newRow("just below a power counts as it") << 2 << 0.0099995 << 0.0099995 << -2;
    QTest::newRow("0 steps by the last digit") << 2 << 0.0 << 0.01 << -2;
    QTest::newRow("0 with 7 decimals") << 7 << 0.0 << 1e-7 << -7;
}

void TestSpinEditModel::increment()
{
    QFETCH(int, decimals);
    QFETCH(double, written);
    QFETCH(double, step);
    QFETCH(int, digit);
    TPlusSpinEdit s;
    s.SetDecimals(decimals);
    QSignalSpy increments(&s, &TPlusSpinEdit::OnSetIncrement);
    s.SetIncrement(written);
    QCOMPARE(s.Increment(), step);
    QCOMPARE(s.IncExponent(), digit);
    QCOMPARE(increments.count(), step == 1.0 ? 0 : 1);
    s.SpinUp(&s);
    QCOMPARE(s.Value(), step);
    s.SpinDown(&s);
    s.SpinDown(&s);
    QCOMPARE(s.Value(), -step);
    // Moving the selection never divides by a zero step.
    s.SelectDigit(digit + 1);
    s.SelectDigit(digit);
    QVERIFY(s.Increment() > 0);
}

void TestSpinEditModel::savedIncrementIsSmallestStep()
{
    TPlusSpinEdit s;
    s.SetDecimals(7);
    s.SetIncrement(2e-7);
    s.SelectDigit(-6);
    QCOMPARE(s.Increment(), 1e-6);
    s.SelectDigit(-7);
    QCOMPARE(s.Increment(), 2e-7);
    QCOMPARE(s.IncExponent(), -7);
    s.SpinUp(&s);
    QCOMPARE(s.Value(), 2e-7);
}

void TestSpinEditModel::selectionBoundsAndEvents()
{
    TPlusSpinEdit s;
    QSignalSpy increments(&s, &TPlusSpinEdit::OnSetIncrement);
    s.SelectDigit(0); // already selected
    QCOMPARE(increments.count(), 0);
    s.SelectDigit(-9);
    QCOMPARE(s.IncExponent(), -2);
    QCOMPARE(s.Increment(), 0.01);
    QCOMPARE(increments.count(), 1);

    // With limits the selection stops at the widest limit's leading digit.
    s.SetMaxValue(100);
    s.SelectDigit(5);
    QCOMPARE(s.IncExponent(), 2);
    QCOMPARE(s.Increment(), 100.0);
    // A negative limit allows one position more.
    s.SetMinValue(-150);
    s.SelectDigit(5);
    QCOMPARE(s.IncExponent(), 3);
}

void TestSpinEditModel::selectionNotPinnedByWrittenIncrement()
{
    // Increment 0.1 with 2 decimals: the last digit still steps by 0.1, and the selection
    // must still be able to move back to the first decimal.
    TPlusSpinEdit s;
    s.SetIncrement(0.1);
    s.SelectDigit(-2);
    QCOMPARE(s.IncExponent(), -2);
    QCOMPARE(s.Increment(), 0.1);
    s.SelectDigit(-1);
    QCOMPARE(s.IncExponent(), -1);
    QCOMPARE(s.Increment(), 0.1);
}

void TestSpinEditModel::enterDigit()
{
    TPlusSpinEdit s;
    s.AssignValue(123.45);
    s.SelectDigit(1);
    QSignalSpy changes(&s, &TPlusSpinEdit::OnChange);
    s.EnterDigit(u'7');
    QCOMPARE(s.Value(), 173.45);
    QCOMPARE(s.IncExponent(), 0);
    QCOMPARE(changes.count(), 1);
    // At the last decimal the selection stays.
    s.SelectDigit(-2);
    s.EnterDigit(u'9');
    QCOMPARE(s.Value(), 173.49);
    QCOMPARE(s.IncExponent(), -2);

    TPlusSpinEdit p;
    p.SetDecimals(7);
    p.SetThousandSeparator(",");
    QCOMPARE(p.Text(), QStringLiteral("0.000,000,0"));
    p.EnterDigit(u'1');
    QCOMPARE(p.Value(), 1.0);
    QCOMPARE(p.IncExponent(), -1);
    p.EnterDigit(u'5');
    QCOMPARE(p.Text(), QStringLiteral("1.500,000,0"));
    QCOMPARE(p.IncExponent(), -2);
}

void TestSpinEditModel::enterDigitInPlaceholdersAndAtLimit()
{
    TPlusSpinEdit s;
    s.SetDecimals(0);
    s.SetThousandSeparator(",");
    s.AssignValue(5);
    s.SelectDigit(3);
    QCOMPARE(s.Text(), QStringLiteral("_,__5"));
    s.EnterDigit(u'2');
    QCOMPARE(s.Value(), 2005.0);
    QCOMPARE(s.Text(), QStringLiteral("2,005"));
    QCOMPARE(s.IncExponent(), 2);

    TPlusSpinEdit m;
    m.SetMaxValue(50);
    m.AssignValue(12);
    m.SelectDigit(1);
    m.EnterDigit(u'9');
    QCOMPARE(m.Value(), 50.0);
}

void TestSpinEditModel::enterDigitNegative()
{
    TPlusSpinEdit s;
    s.SetDecimals(0);
    s.AssignValue(-5);
    s.SelectDigit(1);
    s.EnterDigit(u'3');
    QCOMPARE(s.Value(), -35.0);
    s.SelectDigit(2);
    s.EnterDigit(u'1');
    QCOMPARE(s.Value(), -135.0);
}

void TestSpinEditModel::enterDigitOtherBases()
{
    TPlusSpinEdit s;
    s.SetDecimals(0);
    s.SetBase(16);
    s.EnterDigit(u'a');
    QCOMPARE(s.Value(), 10.0);
    s.AssignValue(0);
    s.EnterDigit(u'F');
    QCOMPARE(s.Value(), 15.0);
}

void TestSpinEditModel::enterDigitUnreadableLeavesStateUnchanged()
{
    // The text is decimal; in base 2 a shown "5" cannot be read.
    TPlusSpinEdit s;
    s.SetDecimals(0);
    s.SetBase(2);
    s.AssignValue(5);
    s.SelectDigit(1);
    const QString text = s.Text();
    const int digit = s.IncExponent();
    QSignalSpy changes(&s, &TPlusSpinEdit::OnChange);
    QSignalSpy increments(&s, &TPlusSpinEdit::OnSetIncrement);
    try {
        s.EnterDigit(u'1');
        QFAIL("no error raised");
    } catch (const MeroError& e) {
        QCOMPARE(QString::fromUtf8(e.what()), QStringLiteral("Not a valid number"));
    }
    QCOMPARE(s.Value(), 5.0);
    QCOMPARE(s.Text(), text);
    QCOMPARE(s.IncExponent(), digit);
    QCOMPARE(changes.count(), 0);
    QCOMPARE(increments.count(), 0);
}

void TestSpinEditModel::rightZero_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<int>("decimals");
    QTest::addColumn<int>("digit");
    QTest::addColumn<double>("expected");
    QTest::newRow("tens of 123.45") << 123.45 << 2 << 1 << 120.0;
    QTest::newRow("first decimal of 123.45") << 123.45 << 2 << -1 << 123.4;
    QTest::newRow("units of 123.45") << 123.45 << 2 << 0 << 123.0;
    QTest::newRow("last decimal keeps all") << 123.45 << 2 << -2 << 123.45;
    QTest::newRow("tens of -123.45") << -123.45 << 2 << 1 << -120.0;
    QTest::newRow("no decimals") << 4567.0 << 0 << 2 << 4500.0;
    QTest::newRow("past the leading digit") << 45.0 << 0 << 3 << 0.0;
    QTest::newRow("7 decimals") << 0.0012345 << 7 << -4 << 0.0012;
}

void TestSpinEditModel::rightZero()
{
    QFETCH(double, value);
    QFETCH(int, decimals);
    QFETCH(int, digit);
    QFETCH(double, expected);
    TPlusSpinEdit s;
    s.SetDecimals(decimals);
    s.AssignValue(value);
    s.SelectDigit(digit);
    s.RightZero();
    QCOMPARE(s.Value(), expected);
}

void TestSpinEditModel::decimalsHeldToRange_data()
{
    QTest::addColumn<int>("written");
    QTest::addColumn<int>("stored");
    QTest::newRow("25") << 25 << 18;
    QTest::newRow("-3") << -3 << 0;
    QTest::newRow("7") << 7 << 7;
}

void TestSpinEditModel::decimalsHeldToRange()
{
    QFETCH(int, written);
    QFETCH(int, stored);
    TPlusSpinEdit s;
    s.SetDecimals(written);
    QCOMPARE(s.Decimals(), stored);
    QCOMPARE(s.Text(), stored ? "0." + QString(stored, u'0') : QStringLiteral("0"));
    s.SetLeadingDigits(written);
    QCOMPARE(s.LeadingDigits(), stored);
}

void TestSpinEditModel::decimalsLoweredBelowSelection()
{
    TPlusSpinEdit s;
    s.SetDecimals(7);
    s.SelectDigit(-7);
    s.SetDecimals(2);
    QCOMPARE(s.IncExponent(), -2);
    QCOMPARE(s.Increment(), 0.01);
    QCOMPARE(s.Text(), QStringLiteral("0.00"));
    QCOMPARE(s.FocusIndex(), 4);
    // Raising them again does not move the selection.
    s.SetDecimals(5);
    QCOMPARE(s.IncExponent(), -2);
}

void TestSpinEditModel::baseChangesStep()
{
    TPlusSpinEdit s;
    s.SelectDigit(2);
    QCOMPARE(s.Increment(), 100.0);
    s.SetBase(16);
    QCOMPARE(s.Increment(), 256.0);
    s.SetBase(1); // held to 2..20
    QCOMPARE(s.Base(), 2);
    QCOMPARE(s.Increment(), 4.0);
}

void TestSpinEditModel::autoSize()
{
    TPlusSpinEdit s;
    s.ensurePolished(); // sizes from here on, as once shown
    const int h = s.DigitHeight() + s.DigitHeight() / 3;
    const int expectedHeight = h % 2 == 0 ? h + 1 : h;
    QCOMPARE(s.height(), expectedHeight);

    // Equal limits: the width stays.
    s.resize(200, 40);
    s.SetAutoSize(true);
    QCOMPARE(s.width(), 200);
    QCOMPARE(s.height(), expectedHeight);

    // Different limits: measured on the limit with more positions, the negative one here.
    s.SetDecimals(7);
    s.SetThousandSeparator(",");
    s.SetMinValue(-0.0061);
    s.SetMaxValue(0.0061);
    const QFontMetrics fm(s.font());
    const int neg = fm.horizontalAdvance(QStringLiteral("-0.006,100,0"));
    QVERIFY(s.width() >= neg + expectedHeight);
    QVERIFY(s.width() < fm.horizontalAdvance(QStringLiteral("-0.006,100,0")) + 6 * s.DigitWidth());
    // Whatever it shows of its range fits left of the arrows.
    s.AssignValue(-0.0061);
    QVERIFY(s.FocusCell().left() >= 0);
    s.SelectDigit(0);
    QVERIFY(s.FocusCell().left() >= 1);

    // Off: writes leave the size alone.
    s.SetAutoSize(false);
    s.resize(300, 50);
    s.SetDecimals(3);
    s.SetMaxValue(1e6);
    QCOMPARE(s.size(), QSize(300, 50));
}

void TestSpinEditModel::longTextsCut()
{
    TPlusSpinEdit s;
    s.SetDecimals(18);
    s.AssignValue(1e300);
    QCOMPARE(s.Text().size(), 255);
    s.SelectDigit(1000);
    QVERIFY(s.Text().size() <= 255 + 200);
    QVERIFY(std::isfinite(s.Increment()));
}

QTEST_MAIN(TestSpinEditModel)
#include "tst_plusspinedit_model.moc"
