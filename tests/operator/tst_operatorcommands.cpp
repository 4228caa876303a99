#include "OperatorCommands.h"

#include <QTest>

#include <limits>

class TestOperatorCommands : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void choices_data();
    void choices();
    void typedInteger_data();
    void typedInteger();
    void typedLineStopsAtLineBreak();
    void barMaximum_data();
    void barMaximum();
};

void TestOperatorCommands::choices_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<QString>("expected");

    QTest::newRow("enable from disabled") << ToggleCommand("EN", 0) << "EN 1";
    QTest::newRow("enable from enabled") << ToggleCommand("EN", 1) << "EN 0";
    QTest::newRow("enable from odd read-back") << ToggleCommand("EN", 2) << "";
    QTest::newRow("start from negative") << ToggleCommand("ST", -1) << "";
    QTest::newRow("start from stopped") << ToggleCommand("ST", 0) << "ST 1";

    QTest::newRow("bypass item 1") << ChoiceCommand("TB", 1) << "TB 1";
    QTest::newRow("interlock enable item 0") << ChoiceCommand("IC", 0) << "IC 0";
    QTest::newRow("pulsing On sends 1") << ChoiceCommand("PE", 0, true) << "PE 1";
    QTest::newRow("pulsing Off sends 0") << ChoiceCommand("PE", 1, true) << "PE 0";
    QTest::newRow("two-choice without selection") << ChoiceCommand("PE", -1, true) << "";
    QTest::newRow("two-choice past its items") << ChoiceCommand("TB", 2) << "";

    QTest::newRow("pulse mode without selection") << IndexCommand("PM", -1) << "PM -1";
    QTest::newRow("trigger item 8") << IndexCommand("ET", 8) << "ET 8";
    QTest::newRow("sync item 0") << IndexCommand("SY", 0) << "SY 0";
}

void TestOperatorCommands::choices()
{
    QFETCH(QString, command);
    QFETCH(QString, expected);
    QCOMPARE(command, expected);
    QCOMPARE(BinOfItem(-1), 0);
    QCOMPARE(BinOfItem(2), 3);
}

void TestOperatorCommands::typedInteger_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<int>("value");
    QTest::newRow("one") << "1" << true << 1;
    QTest::newRow("leading blanks and sign") << "  -42" << true << -42;
    QTest::newRow("plus") << "+7" << true << 7;
    QTest::newRow("largest") << "2147483647" << true << std::numeric_limits<qint32>::max();
    QTest::newRow("smallest") << "-2147483648" << true << std::numeric_limits<qint32>::min();
    QTest::newRow("overflow") << "2147483648" << false << 0;
    QTest::newRow("long overflow") << "99999999999999999999" << false << 0;
    QTest::newRow("letters after digits") << "12a" << false << 0;
    QTest::newRow("trailing blank") << "12 " << false << 0;
    QTest::newRow("empty") << "" << false << 0;
    QTest::newRow("sign alone") << "-" << false << 0;
    QTest::newRow("decimal") << "1.5" << false << 0;
    QTest::newRow("hex") << "0x10" << false << 0;
    QTest::newRow("non-ASCII digit") << QString::fromUtf8("\xd9\xa1") << false << 0;
}

void TestOperatorCommands::typedInteger()
{
    QFETCH(QString, text);
    QFETCH(bool, valid);
    QFETCH(int, value);
    const auto parsed = TypedInteger(text);
    QCOMPARE(parsed.has_value(), valid);
    if (valid)
        QCOMPARE(*parsed, value);
    QCOMPARE(NotAnIntegerMessage("12a"), QString("'12a' is not a valid integer value"));
}

void TestOperatorCommands::typedLineStopsAtLineBreak()
{
    QCOMPARE(TypedLine("SS?"), QString("SS?"));
    QCOMPARE(TypedLine("SS?\r\n;DC:EN 1"), QString("SS?"));
    QCOMPARE(TypedLine("a\nb"), QString("a"));
    QCOMPARE(TypedLine(""), QString(""));
}

void TestOperatorCommands::barMaximum_data()
{
    QTest::addColumn<double>("limit");
    QTest::addColumn<int>("expected");
    QTest::newRow("whole") << 20.0 << 20;
    QTest::newRow("half to even down") << 2.5 << 2;
    QTest::newRow("half to even up") << 3.5 << 4;
    QTest::newRow("voltage 5.5 x 100") << 5.5 * 100 << 550;
    QTest::newRow("zero") << 0.0 << 0;
    QTest::newRow("negative") << -3.0 << 0;
    QTest::newRow("huge") << 1e300 << std::numeric_limits<int>::max();
    QTest::newRow("nan") << std::numeric_limits<double>::quiet_NaN() << 0;
}

void TestOperatorCommands::barMaximum()
{
    QFETCH(double, limit);
    QFETCH(int, expected);
    QCOMPARE(BarMaximum(limit), expected);
}

QTEST_GUILESS_MAIN(TestOperatorCommands)
#include "tst_operatorcommands.moc"
