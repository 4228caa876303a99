// SPDX-License-Identifier: GPL-3.0-or-later
#include "OperatorCommands.h"

#include <QTest>

class TestOperatorCommands : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void choices_data();
    void choices();
    void notAnIntegerMessage();
    void typedLineStopsAtLineBreak();
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

void TestOperatorCommands::notAnIntegerMessage()
{
    QCOMPARE(NotAnIntegerMessage("12a"), QString("'12a' is not a valid integer value"));
    QCOMPARE(NotAnIntegerMessage(""), QString("'' is not a valid integer value"));
}

void TestOperatorCommands::typedLineStopsAtLineBreak()
{
    QCOMPARE(TypedLine("SS?"), QString("SS?"));
    QCOMPARE(TypedLine("SS?\r\n;DC:EN 1"), QString("SS?"));
    QCOMPARE(TypedLine("a\nb"), QString("a"));
    QCOMPARE(TypedLine(""), QString(""));
}

QTEST_GUILESS_MAIN(TestOperatorCommands)
#include "tst_operatorcommands.moc"
