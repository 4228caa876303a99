// SPDX-License-Identifier: GPL-3.0-or-later
// Application state, locale-free number conversions and command-line switches.
#include "AppState.h"
#include "NumberFormat.h"
#include "Switches.h"

#include <QScopeGuard>
#include <QtTest>

#include <clocale>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>

class TestAppState : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void switches_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<bool>("log");
        QTest::addColumn<bool>("pick");
        QTest::addColumn<bool>("demo");
        QTest::newRow("-log") << QStringList{"-log"} << true << false << false;
        QTest::newRow("/LOG") << QStringList{"/LOG"} << true << false << false;
        QTest::newRow("-Log") << QStringList{"-Log"} << true << false << false;
        QTest::newRow("log") << QStringList{"log"} << false << false << false;
        QTest::newRow("--log") << QStringList{"--log"} << false << false << false;
        QTest::newRow("-logfile") << QStringList{"-logfile"} << false << false << false;
        QTest::newRow("- log") << QStringList{"- log"} << false << false << false;
        QTest::newRow("empty") << QStringList{""} << false << false << false;
        QTest::newRow("/pick -DEMO") << QStringList{"/pick", "-DEMO"} << false << true << true;
        QTest::newRow("all") << QStringList{"-demo", "/Log", "-PICK"} << true << true << true;
        QTest::newRow("Kelvin sign is not k")
            << QStringList{QString::fromUtf8("-pic\u212A")} << false << false << false;
    }
    void switches()
    {
        QFETCH(QStringList, args);
        QFETCH(bool, log);
        QFETCH(bool, pick);
        QFETCH(bool, demo);
        args.prepend(QStringLiteral("/usr/bin/mero"));
        const StartSwitches s = ParseSwitches(args);
        QCOMPARE(s.Log, log);
        QCOMPARE(s.Pick, pick);
        QCOMPARE(s.Demo, demo);
    }

    void programPathIsNotASwitch() { QVERIFY(!ParseSwitches({QStringLiteral("/log")}).Log); }

    void integers_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<int>("value");
        QTest::newRow("plain") << QByteArray("123") << true << 123;
        QTest::newRow("blanks") << QByteArray("   -5") << true << -5;
        QTest::newRow("plus") << QByteArray("+7") << true << 7;
        QTest::newRow("trailing blank") << QByteArray("7 ") << false << 0;
        QTest::newRow("sign only") << QByteArray("-") << false << 0;
        QTest::newRow("empty") << QByteArray("") << false << 0;
        QTest::newRow("decimal") << QByteArray("1.0") << false << 0;
        QTest::newRow("thousands") << QByteArray("1,000") << false << 0;
        QTest::newRow("max") << QByteArray("2147483647") << true << 2147483647;
        QTest::newRow("min") << QByteArray("-2147483648") << true << int(-2147483648LL);
        QTest::newRow("over") << QByteArray("2147483648") << false << 0;
        QTest::newRow("far over") << QByteArray("99999999999999999999999") << false << 0;
    }
    void integers()
    {
        QFETCH(QByteArray, text);
        QFETCH(bool, ok);
        QFETCH(int, value);
        const auto r = NumberFormat::ParseInt32(text);
        QCOMPARE(r.has_value(), ok);
        if (ok)
            QCOMPARE(*r, value);
    }

    void floats_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<double>("value");
        QTest::newRow("12.5") << QByteArray("12.5") << true << 12.5;
        QTest::newRow("blanks") << QByteArray("  -0.25") << true << -0.25;
        QTest::newRow("point first") << QByteArray(".5") << true << 0.5;
        QTest::newRow("point last") << QByteArray("5.") << true << 5.0;
        QTest::newRow("exponent") << QByteArray("1E+2") << true << 100.0;
        QTest::newRow("bare exponent") << QByteArray("1e") << false << 0.0;
        QTest::newRow("comma") << QByteArray("12,5") << false << 0.0;
        QTest::newRow("nan") << QByteArray("NaN") << false << 0.0;
        QTest::newRow("infinity") << QByteArray("-inf") << false << 0.0;
        QTest::newRow("hex") << QByteArray("0x1p3") << false << 0.0;
        QTest::newRow("overflow") << QByteArray("1e999") << false << 0.0;
        QTest::newRow("point only") << QByteArray(".") << false << 0.0;
    }
    void floats()
    {
        QFETCH(QByteArray, text);
        QFETCH(bool, ok);
        QFETCH(double, value);
        const auto r = NumberFormat::ParseFloat(text);
        QCOMPARE(r.has_value(), ok);
        if (ok)
            QCOMPARE(*r, value);
    }

    void conversionsIgnoreTheLocale()
    {
        // A German process locale must not turn "12.5" into 125 or fail it.
        // The locale comes from the system or from the test build (LOCPATH).
        const char* had = std::setlocale(LC_ALL, nullptr);
        const QByteArray saved = had ? QByteArray(had) : QByteArray("C");
        if (!std::setlocale(LC_ALL, "de_DE.UTF-8"))
            QSKIP("de_DE.UTF-8 can be neither set nor built here (no localedef)");
        auto restore = qScopeGuard([&saved] {
            QLocale::setDefault(QLocale::c());
            std::setlocale(LC_ALL, saved.constData());
        });
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
        // The locale is really in effect: naive C conversions would use ",".
        char naive[16];
        std::snprintf(naive, sizeof naive, "%.1f", 12.5);
        QCOMPARE(QByteArray(naive), QByteArray("12,5"));
        QCOMPARE(std::strtod("12,5", nullptr), 12.5);
        QCOMPARE(NumberFormat::ParseFloat("12.5").value_or(-1), 12.5);
        QVERIFY(!NumberFormat::ParseFloat("12,5"));
        QCOMPARE(NumberFormat::ParseFloat("-1.25e1").value_or(-1), -12.5);
        NumberFormat::FixProcessNumberFormat();
        QCOMPARE(QByteArray(std::localeconv()->decimal_point), QByteArray("."));
    }

    void roundingTiesToEven_data()
    {
        QTest::addColumn<double>("value");
        QTest::addColumn<int>("rounded");
        QTest::newRow("0.5") << 0.5 << 0;
        QTest::newRow("1.5") << 1.5 << 2;
        QTest::newRow("2.5") << 2.5 << 2;
        QTest::newRow("-2.5") << -2.5 << -2;
        QTest::newRow("2.6") << 2.6 << 3;
        QTest::newRow("huge") << 1e20 << std::numeric_limits<int>::max();
        QTest::newRow("-huge") << -1e20 << std::numeric_limits<int>::min();
        QTest::newRow("inf") << std::numeric_limits<double>::infinity()
                             << std::numeric_limits<int>::max();
        QTest::newRow("nan") << std::nan("") << 0;
    }
    void roundingTiesToEven()
    {
        QFETCH(double, value);
        QFETCH(int, rounded);
        QCOMPARE(NumberFormat::RoundToInt32(value), rounded);
    }

    void resetRestoresStartValues()
    {
        AppState& s = appState();
        s.CommandsDisabled = s.TaskBusy = true;
        s.MaxCurrent = 40;
        s.ModelName = "2740";
        s.LastCommand = QStringLiteral(";DC:ID?");
        s.CommandQueue.Append(QStringLiteral("CS 1"), qkSetCommand);
        s.CommandQueue.Append(QStringLiteral("RR 10"), qkRawLine);
        s.LogFile.Bind("x.txt");
        s.Reset();
        QVERIFY(!s.CommandsDisabled && !s.TaskBusy && !s.LoggingEnabled);
        QCOMPARE(s.MaxCurrent, 0.0);
        QVERIFY(s.ModelName.isEmpty());
        QVERIFY(s.LastCommand.isEmpty());
        QVERIFY(!s.CommandQueue.Pending());
        QCOMPARE(s.CommandQueue.Count(), 0);
        QVERIFY(s.LogFile.BoundName().isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestAppState)
#include "tst_appstate.moc"
