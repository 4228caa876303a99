// SPDX-License-Identifier: GPL-3.0-or-later
#include "CommandSet.h"
#include "ValueFormat.h"

#include <QLocale>
#include <QSet>
#include <QTest>

#include <clocale>
#include <cmath>
#include <cstdio>
#include <limits>

// Every number form the program writes, as one table: a row names either a
// mnemonic (the whole command text is checked) or a form ("general", or a
// pattern such as "000.00") and the value.
class TestValueFormat : public QObject
{
    Q_OBJECT

    static void addFormatRows();
    static QString render(const QByteArray& mnemonic, const QByteArray& form, double value);

private Q_SLOTS:
    void format_data() { addFormatRows(); }
    void format();
    void formatUnderLocale_data();
    void formatUnderLocale();
    void roundToInt32_data();
    void roundToInt32();
    void nonFiniteHasNoText();
    void typedTextCommands_data();
    void typedTextCommands();
    void commandTable();
    void formatInteger();
    void invalidPatterns();
};

void TestValueFormat::addFormatRows()
{
    QTest::addColumn<QByteArray>("mnemonic");
    QTest::addColumn<QByteArray>("form");
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("expected");

    auto cmd = [](const char* name, const char* mnemonic, double v, const char* text) {
        QTest::newRow(name) << QByteArray(mnemonic) << QByteArray() << v << QString(text);
    };
    auto form = [](const char* name, const char* f, double v, const char* text) {
        QTest::newRow(name) << QByteArray() << QByteArray(f) << v << QString(text);
    };

    // The unit's documented examples.
    cmd("CS 12.5", "CS", 12.5, "CS 012.50");
    cmd("PW 10us", "PW", 0.00001, "PW 0.0000100");
    cmd("QD -100us", "QD", -0.0001, "QD -0.0001000");
    cmd("CV 5.5", "CV", 5.5, "CV 05.5");
    cmd("AO 2.5", "AO", 2.5, "AO 2.500");
    cmd("RR 1000", "RR", 1000, "RR 001000.0");
    cmd("BC 7", "BC", 7, "BC 7");
    cmd("MR 20", "MR", 20, "MR 20");
    // MC and BC are rounded half to even; MR is not rounded at all.
    cmd("BC 2.5 -> 2", "BC", 2.5, "BC 2");
    cmd("BC 3.5 -> 4", "BC", 3.5, "BC 4");
    cmd("MC -2.5 -> -2", "MC", -2.5, "MC -2");
    cmd("MC 12.5 -> 12", "MC", 12.5, "MC 12");
    cmd("MC 12.51 -> 13", "MC", 12.51, "MC 13");
    cmd("BC saturates", "BC", 1e12, "BC 2147483647");
    cmd("MR 20.5 kept", "MR", 20.5, "MR 20.5");
    cmd("MR 1e15", "MR", 1e15, "MR 1E15");
    cmd("PM index", "PM", 3, "PM 3");
    cmd("IC index", "IC", 1, "IC 1");
    cmd("RC bin", "RC", 5, "RC 5");
    cmd("SV bin", "SV", 2, "SV 2");
    cmd("TB bypass", "TB", 1, "TB 1");
    cmd("PE off", "PE", 0, "PE 0");
    cmd("EN on", "EN", 1, "EN 1");
    cmd("ST stop", "ST", 0, "ST 0");
    cmd("QD max", "QD", 0.0061, "QD 0.0061000");
    cmd("QD min", "QD", -0.0061, "QD -0.0061000");
    cmd("RR 0.1", "RR", 0.1, "RR 000000.1");
    cmd("CS 0", "CS", 0, "CS 000.00");
    // Commands the program never sets, and unknown or lower-case mnemonics.
    cmd("ID has no set form", "ID", 1, "");
    cmd("SS has no set form", "SS", 1, "");
    cmd("CFG is typed text", "CFG", 1, "");
    cmd("unknown", "XX", 1, "");
    cmd("lower case", "cs", 1, "");

    // Fixed-decimal patterns: rounding of the decimal text, signs, widths.
    form("2.675 rounds up", "0.00", 2.675, "2.68");
    form("1.005 rounds up", "0.00", 1.005, "1.01");
    form("carry into new digit", "0.00", 9.995, "10.00");
    form("carry past the pattern", "00.0", 99.96, "100.0");
    form("first dropped digit only", "0.00", 0.005, "0.01");
    form("just below a half", "0.00", 0.0049999, "0.00");
    form("far below the last place", "0.0000000", 1e-12, "0.0000000");
    form("negative half", "0.00", -2.675, "-2.68");
    form("negative rounds to zero", "000.00", -0.001, "000.00");
    form("negative zero", "000.00", -0.0, "000.00");
    form("negative", "000.00", -12.5, "-012.50");
    form("wider than pattern", "000.00", 1234.567, "1234.57");
    form("rate rounding", "000000.0", 123456.75, "123456.8");
    form("no decimals", "000", 7.5, "008");
    form("huge", "0.0", 1e20, "100000000000000000000.0");
    form("accumulated error", "000.00", 0.1 + 0.2, "000.30");
    form("seconds", "0.0000000", 0.0000333, "0.0000333");

    // General number form around its edges.
    form("zero", "general", 0, "0");
    form("negative zero", "general", -0.0, "0");
    form("whole", "general", 20, "20");
    form("hundred", "general", 100, "100");
    form("fraction", "general", 12345.678, "12345.678");
    form("negative fraction", "general", -1.5, "-1.5");
    form("binary noise hidden", "general", 0.1 + 0.2, "0.3");
    form("third", "general", 1.0 / 3, "0.333333333333333");
    form("two thirds", "general", 2.0 / 3, "0.666666666666667");
    form("1e-4 fixed", "general", 0.0001, "0.0001");
    form("-1e-4 fixed", "general", -0.0001, "-0.0001");
    form("0.000123 fixed", "general", 0.000123, "0.000123");
    form("below 1e-4", "general", 0.00009999, "9.999E-5");
    form("negative below 1e-4", "general", -0.00001, "-1E-5");
    form("rounds up to 1e-4", "general", 0.00009999999999999999, "0.0001");
    form("15 digits fixed", "general", 999999999999999, "999999999999999");
    form("1e14", "general", 1e14, "100000000000000");
    form("1e15", "general", 1e15, "1E15");
    form("rounds up to 1e15", "general", 999999999999999.9, "1E15");
    form("18 digits", "general", 123456789012345678.0, "1.23456789012346E17");
    form("negative 18 digits", "general", -123456789012345678.0, "-1.23456789012346E17");
    form("large", "general", 1.5e300, "1.5E300");
    form("max", "general", std::numeric_limits<double>::max(), "1.79769313486232E308");
    form("tiny", "general", 1e-300, "1E-300");
    form("denormal", "general", std::numeric_limits<double>::denorm_min(), "4.94065645841247E-324");
}

QString TestValueFormat::render(const QByteArray& mnemonic, const QByteArray& form, double value)
{
    if (!mnemonic.isEmpty())
        return SetCommand(mnemonic, value);
    if (form == "general")
        return FormatGeneral(value);
    return FormatPattern(value, form);
}

void TestValueFormat::format()
{
    QFETCH(QByteArray, mnemonic);
    QFETCH(QByteArray, form);
    QFETCH(double, value);
    QFETCH(QString, expected);
    QCOMPARE(render(mnemonic, form, value), expected);
}

// The same table under process locales whose decimal separator is ",". The
// locales come from the system or from the test build (LOCPATH).
namespace
{

// The process locales with "," as decimal separator that can be set here; they
// come from the system or from the test build (LOCPATH).
QList<const char*> CommaLocales()
{
    QList<const char*> found;
    for (const char* name : {"de_DE.UTF-8", "fr_FR.UTF-8"}) {
        if (std::setlocale(LC_ALL, name))
            found << name;
    }
    std::setlocale(LC_ALL, "C");
    return found;
}

} // namespace

// The same table under each such locale.
void TestValueFormat::formatUnderLocale_data()
{
    if (CommaLocales().isEmpty()) {
        QTest::addColumn<QByteArray>("mnemonic");
        QTest::addColumn<QByteArray>("form");
        QTest::addColumn<double>("value");
        QTest::addColumn<QString>("expected");
        QTest::newRow("no locale") << QByteArray() << QByteArray() << 0.0 << QString();
        return;
    }
    addFormatRows();
}

void TestValueFormat::formatUnderLocale()
{
    QFETCH(QByteArray, mnemonic);
    QFETCH(QByteArray, form);
    QFETCH(double, value);
    QFETCH(QString, expected);

    const QList<const char*> locales = CommaLocales();
    if (locales.isEmpty())
        QSKIP("neither de_DE.UTF-8 nor fr_FR.UTF-8 can be set");
    for (const char* name : locales) {
        std::setlocale(LC_ALL, name);
        QLocale::setDefault(QLocale(QString::fromLatin1(name).left(5)));
        // The locale is really in effect: naive formatting would send "12,50".
        char naive[16];
        std::snprintf(naive, sizeof naive, "%.2f", 12.5);
        const QByteArray naiveText(naive);
        const QString qtDecimalPoint = QLocale().decimalPoint();

        const QString got = render(mnemonic, form, value);
        std::setlocale(LC_ALL, "C");
        QLocale::setDefault(QLocale::c());
        QCOMPARE(naiveText, QByteArray("12,50"));
        QCOMPARE(qtDecimalPoint, QStringLiteral(","));
        QVERIFY2(got == expected, qPrintable(QString::fromLatin1(name) + QStringLiteral(": ") +
                                             got + QStringLiteral(" != ") + expected));
    }
}

void TestValueFormat::roundToInt32_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<int>("expected");
    constexpr double inf = std::numeric_limits<double>::infinity();
    constexpr int maxInt = std::numeric_limits<int>::max();
    constexpr int minInt = std::numeric_limits<int>::min();
    QTest::newRow("2.5") << 2.5 << 2;
    QTest::newRow("3.5") << 3.5 << 4;
    QTest::newRow("-2.5") << -2.5 << -2;
    QTest::newRow("-3.5") << -3.5 << -4;
    QTest::newRow("0.5") << 0.5 << 0;
    QTest::newRow("-0.5") << -0.5 << 0;
    QTest::newRow("2.4999") << 2.4999 << 2;
    QTest::newRow("2.5001") << 2.5001 << 3;
    QTest::newRow("max") << 2147483647.0 << maxInt;
    QTest::newRow("just above max") << 2147483647.6 << maxInt;
    QTest::newRow("min") << -2147483648.0 << minInt;
    QTest::newRow("just below min") << -2147483648.6 << minInt;
    QTest::newRow("1e10") << 1e10 << maxInt;
    QTest::newRow("-1e10") << -1e10 << minInt;
    QTest::newRow("+inf") << inf << maxInt;
    QTest::newRow("-inf") << -inf << minInt;
    QTest::newRow("nan") << std::nan("") << 0;
}

void TestValueFormat::roundToInt32()
{
    QFETCH(double, value);
    QFETCH(int, expected);
    QCOMPARE(RoundToInt32(value), expected);
}

void TestValueFormat::nonFiniteHasNoText()
{
    for (double v : {std::nan(""), std::numeric_limits<double>::infinity(),
                     -std::numeric_limits<double>::infinity()}) {
        QVERIFY(FormatGeneral(v).isEmpty());
        QVERIFY(FormatPattern(v, PatternCurrent).isEmpty());
        QVERIFY(FormatFixed(v, 3, 2).isEmpty());
        // Not even the integer forms: a command must never carry a made-up value.
        for (const TCommandInfo& c : CommandSet())
            QVERIFY2(SetCommand(c.Mnemonic, v).isEmpty(), c.Mnemonic);
    }
}

void TestValueFormat::typedTextCommands_data()
{
    QTest::addColumn<QByteArray>("mnemonic");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("expected");
    QTest::newRow("config") << QByteArray("CFG") << "1"
                            << "CFG 1";
    QTest::newRow("serial as typed") << QByteArray("SER") << " 0042x"
                                     << "SER  0042x";
    QTest::newRow("badge empty") << QByteArray("BDG") << ""
                                 << "BDG ";
    QTest::newRow("cut at CR") << QByteArray("BDG") << "12\r;DC:ST 1"
                               << "BDG 12";
    QTest::newRow("cut at LF") << QByteArray("SER") << "7\nEN 1"
                               << "SER 7";
    QTest::newRow("numeric form refused") << QByteArray("CS") << "12"
                                          << "";
    QTest::newRow("unknown") << QByteArray("XYZ") << "1"
                             << "";
}

void TestValueFormat::typedTextCommands()
{
    QFETCH(QByteArray, mnemonic);
    QFETCH(QString, typed);
    QFETCH(QString, expected);
    QCOMPARE(SetCommandText(mnemonic, typed), expected);
}

// Shape of the table itself: unique mnemonics of two or three upper-case
// letters or digits, a pattern exactly where the form needs one.
void TestValueFormat::commandTable()
{
    QSet<QByteArray> seen;
    for (const TCommandInfo& c : CommandSet()) {
        const QByteArray m(c.Mnemonic);
        QVERIFY2(m.size() == 2 || m.size() == 3, c.Mnemonic);
        for (char ch : m)
            QVERIFY2((ch >= 'A' && ch <= 'Z') || (ch >= '0' && ch <= '9'), c.Mnemonic);
        QVERIFY2(!seen.contains(m), c.Mnemonic);
        seen.insert(m);
        QCOMPARE(c.Pattern != nullptr, c.Set == vfPattern);
        QVERIFY2(c.Query != rkNone || c.Set != vfNone, c.Mnemonic);
        QCOMPARE(FindCommand(m), &c);
    }
    QCOMPARE(seen.size(), 34);
    QCOMPARE(FindCommand("ID")->Query, rkText);
    QCOMPARE(FindCommand("MR")->Query, rkInteger);
    QCOMPARE(FindCommand("CM")->Query, rkNumber);
    QVERIFY(FindCommand("I3")->Extended);
    QVERIFY(!FindCommand("SS")->Extended);
    QCOMPARE(FindCommand("C"), nullptr);
    QCOMPARE(FindCommand("CSX"), nullptr);
}

void TestValueFormat::formatInteger()
{
    QCOMPARE(FormatInteger(0), QStringLiteral("0"));
    QCOMPARE(FormatInteger(3), QStringLiteral("3"));
    QCOMPARE(FormatInteger(-42), QStringLiteral("-42"));
    QCOMPARE(FormatInteger(std::numeric_limits<std::int64_t>::min()),
             QStringLiteral("-9223372036854775808"));
}

void TestValueFormat::invalidPatterns()
{
    for (const char* p : {"", ".", ".00", "0.", "#0.00", "0,00", "0.0.0", "00a"})
        QVERIFY2(FormatPattern(1.5, p).isEmpty(), p);
}

QTEST_GUILESS_MAIN(TestValueFormat)
#include "tst_valueformat.moc"
