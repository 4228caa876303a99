// SPDX-License-Identifier: GPL-3.0-or-later
#include "meroerror.h"
#include "spinnumbers.h"

#include <QtTest>

#include <climits>
#include <cmath>
#include <limits>

using namespace spinnum;

class TestSpinNumbers : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void leadingExponent_data();
    void leadingExponent();
    void exactPowersKeepTheirExponent();
    void roundToInt_data();
    void roundToInt();
    void formatFixed_data();
    void formatFixed();
    void groupDigits_data();
    void groupDigits();
    void digitValue_data();
    void digitValue();
    void parseInBase_data();
    void parseInBase();
    void parseInBaseRejects_data();
    void parseInBaseRejects();
};

void TestSpinNumbers::leadingExponent_data()
{
    QTest::addColumn<int>("base");
    QTest::addColumn<double>("v");
    QTest::addColumn<int>("expected");
    QTest::newRow("0") << 10 << 0.0 << 1;
    QTest::newRow("0.0061") << 10 << 0.0061 << 1;
    QTest::newRow("-0.0061") << 10 << -0.0061 << 2;
    QTest::newRow("9.99") << 10 << 9.99 << 1;
    QTest::newRow("10") << 10 << 10.0 << 1;
    QTest::newRow("99.9") << 10 << 99.9 << 1;
    QTest::newRow("100") << 10 << 100.0 << 2;
    QTest::newRow("1000") << 10 << 1000.0 << 3;
    QTest::newRow("-150") << 10 << -150.0 << 3;
    QTest::newRow("base 2, 8") << 2 << 8.0 << 3;
    QTest::newRow("base 16, 255") << 16 << 255.0 << 1;
    QTest::newRow("base 16, 256") << 16 << 256.0 << 2;
}

void TestSpinNumbers::leadingExponent()
{
    QFETCH(int, base);
    QFETCH(double, v);
    QFETCH(int, expected);
    QCOMPARE(LeadingExponent(base, v), expected);
}

void TestSpinNumbers::exactPowersKeepTheirExponent()
{
    for (int base = MinBase; base <= MaxBase; ++base) {
        double p = base;
        for (int n = 1; n <= 12; ++n, p *= base)
            QVERIFY2(LeadingExponent(base, p) == n,
                     qPrintable(QString("base %1 power %2").arg(base).arg(n)));
    }
}

void TestSpinNumbers::roundToInt_data()
{
    QTest::addColumn<double>("v");
    QTest::addColumn<int>("expected");
    QTest::newRow("2.5 to even") << 2.5 << 2;
    QTest::newRow("3.5 to even") << 3.5 << 4;
    QTest::newRow("-2.5 to even") << -2.5 << -2;
    QTest::newRow("2.6") << 2.6 << 3;
    QTest::newRow("huge saturates") << 1e12 << INT_MAX;
    QTest::newRow("-huge saturates") << -1e12 << INT_MIN;
    QTest::newRow("nan") << std::numeric_limits<double>::quiet_NaN() << 0;
}

void TestSpinNumbers::roundToInt()
{
    QFETCH(double, v);
    QFETCH(int, expected);
    QCOMPARE(RoundToInt(v), expected);
}

void TestSpinNumbers::formatFixed_data()
{
    QTest::addColumn<double>("v");
    QTest::addColumn<int>("decimals");
    QTest::addColumn<QString>("expected");
    QTest::newRow("0 with 2") << 0.0 << 2 << "0.00";
    QTest::newRow("no separator") << 12.0 << 0 << "12";
    QTest::newRow("rounded") << 1.234 << 2 << "1.23";
    QTest::newRow("negative") << -1234.0 << 0 << "-1234";
    QTest::newRow("tiny") << 1e-7 << 7 << "0.0000001";
    QTest::newRow("18 decimals") << 0.5 << 18 << "0.500000000000000000";
    QTest::newRow("negative rounding to zero drops the sign") << -0.001 << 2 << "0.00";
    QTest::newRow("huge, no exponent") << 1e20 << 1 << "100000000000000000000.0";
}

void TestSpinNumbers::formatFixed()
{
    QFETCH(double, v);
    QFETCH(int, decimals);
    QFETCH(QString, expected);
    QCOMPARE(FormatFixed(v, decimals), expected);
}

void TestSpinNumbers::groupDigits_data()
{
    QTest::addColumn<QString>("plain");
    QTest::addColumn<int>("group");
    QTest::addColumn<QString>("expected");
    QTest::newRow("1000000.5") << "1000000.5" << 3 << "1,000,000.5";
    QTest::newRow("0.0000001") << "0.0000001" << 3 << "0.000,000,1";
    QTest::newRow("-1234") << "-1234" << 3 << "-1,234";
    QTest::newRow("-123, none after sign") << "-123" << 3 << "-123";
    QTest::newRow("0.0061") << "0.0061" << 3 << "0.006,1";
    QTest::newRow("fraction of exactly 3") << "1.123" << 3 << "1.123";
    QTest::newRow("groups of 4") << "123456789.123456789" << 4 << "1,2345,6789.1234,5678,9";
}

void TestSpinNumbers::groupDigits()
{
    QFETCH(QString, plain);
    QFETCH(int, group);
    QFETCH(QString, expected);
    QCOMPARE(GroupDigits(plain, u',', group), expected);
}

void TestSpinNumbers::digitValue_data()
{
    QTest::addColumn<QChar>("c");
    QTest::addColumn<int>("expected");
    QTest::newRow("0") << QChar(u'0') << 0;
    QTest::newRow("9") << QChar(u'9') << 9;
    QTest::newRow("A") << QChar(u'A') << 10;
    QTest::newRow("a") << QChar(u'a') << 10;
    QTest::newRow("F") << QChar(u'F') << 15;
    QTest::newRow("z") << QChar(u'z') << 35;
    QTest::newRow("-") << QChar(u'-') << -1;
    QTest::newRow("+") << QChar(u'+') << -1;
    QTest::newRow(".") << QChar(u'.') << -1;
    QTest::newRow("blank") << QChar(u' ') << -1;
    QTest::newRow("_") << QChar(u'_') << -1;
    QTest::newRow("umlaut") << QChar(u'\u00e4') << -1;
}

void TestSpinNumbers::digitValue()
{
    QFETCH(QChar, c);
    QFETCH(int, expected);
    QCOMPARE(DigitValue(c), expected);
}

void TestSpinNumbers::parseInBase_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("base");
    QTest::addColumn<double>("expected");
    QTest::newRow("123.45") << "123.45" << 10 << 123.45;
    QTest::newRow("-12.5") << "-12.5" << 10 << -12.5;
    QTest::newRow("leading zeros") << "0005" << 10 << 5.0;
    QTest::newRow("base 16 ff") << "ff" << 16 << 255.0;
    QTest::newRow("base 16 1A.8") << "1A.8" << 16 << 26.5;
    QTest::newRow("base 2") << "101.1" << 2 << 5.5;
    QTest::newRow("empty reads 0") << "" << 10 << 0.0;
}

void TestSpinNumbers::parseInBase()
{
    QFETCH(QString, text);
    QFETCH(int, base);
    QFETCH(double, expected);
    QCOMPARE(ParseInBase(text, base), expected);
}

void TestSpinNumbers::parseInBaseRejects_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("base");
    QTest::newRow("two separators") << "1.2.3" << 10;
    QTest::newRow("letter in base 10") << "12A" << 10;
    QTest::newRow("digit above base") << "102" << 2;
    QTest::newRow("lone minus") << "-" << 10;
    QTest::newRow("plus") << "+5" << 10;
    QTest::newRow("inner minus") << "1-5" << 10;
    QTest::newRow("blank") << "1 5" << 10;
    QTest::newRow("placeholder") << "_5" << 10;
    QTest::newRow("group separator") << "1,000" << 10;
}

void TestSpinNumbers::parseInBaseRejects()
{
    QFETCH(QString, text);
    QFETCH(int, base);
    try {
        ParseInBase(text, base);
        QFAIL("no error raised");
    } catch (const MeroError& e) {
        QCOMPARE(QString::fromUtf8(e.what()), QStringLiteral("Not a valid number"));
    }
}

QTEST_APPLESS_MAIN(TestSpinNumbers)
#include "tst_spinnumbers.moc"
