// SPDX-License-Identifier: GPL-3.0-or-later
// The window's small widgets: lamp, radio group and measurement bar.
#include "LampWidget.h"
#include "MeasureBar.h"
#include "RadioGroup.h"
#include "ResponseListEcho.h"

#include <QRadioButton>
#include <QSignalSpy>
#include <QTextBlock>
#include <QTextEdit>
#include <QtTest>

class TestAppWidgets : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void lampFillAndNotify();
    void radioIndex_data();
    void radioIndex();
    void radioOperatorClick();
    void radioItemsKeepSelection();
    void barMaxAndPosition_data();
    void barMaxAndPosition();
    void barWithZeroMaxIsNotBusy();
    void echoLinesArePlainColouredText();
};

void TestAppWidgets::lampFillAndNotify()
{
    TLamp lamp;
    QSignalSpy spy(&lamp, &TLamp::litChanged);
    QCOMPARE(lamp.fillColor(), QColor(255, 255, 255));
    lamp.setLit(true);
    lamp.setLit(true);
    QCOMPARE(lamp.fillColor(), QColor(255, 0, 0));
    QCOMPARE(spy.count(), 1);
    lamp.setLit(false);
    QCOMPARE(lamp.fillColor(), QColor(255, 255, 255));
    QCOMPARE(spy.count(), 2);

    // Drawn as a red ring around the fill.
    lamp.resize(17, 17);
    const QImage img = lamp.grab().toImage();
    QCOMPARE(img.pixelColor(8, 8), QColor(255, 255, 255));
    const QColor edge = img.pixelColor(8, 0);
    QVERIFY(edge.red() > 200 && edge.green() < 160 && edge.blue() < 160);
}

void TestAppWidgets::radioIndex_data()
{
    QTest::addColumn<int>("start");
    QTest::addColumn<int>("written");
    QTest::addColumn<int>("shown");
    QTest::addColumn<int>("clicks");
    QTest::newRow("other item") << 0 << 1 << 1 << 1;
    QTest::newRow("same item") << 1 << 1 << 1 << 0;
    QTest::newRow("past the last") << 0 << 5 << 1 << 1;
    QTest::newRow("past the last, already last") << 1 << 5 << 1 << 0;
    QTest::newRow("minus one") << 1 << -1 << -1 << 0;
    QTest::newRow("below minus one") << 0 << -7 << -1 << 0;
    QTest::newRow("from none") << -1 << 0 << 0 << 1;
}

void TestAppWidgets::radioIndex()
{
    QFETCH(int, start);
    QFETCH(int, written);
    QFETCH(int, shown);
    QFETCH(int, clicks);
    TRadioGroup group;
    group.SetItems({"Open", "Closed"});
    group.SetItemIndex(start);
    QSignalSpy spy(&group, &TRadioGroup::OnClick);
    group.SetItemIndex(written);
    QCOMPARE(group.ItemIndex(), shown);
    QCOMPARE(spy.count(), clicks);
    for (int i = 0; i < 2; ++i)
        QCOMPARE(group.Button(i)->isChecked(), i == shown);
}

void TestAppWidgets::radioOperatorClick()
{
    TRadioGroup group;
    group.SetItems({"Disabled", "Enabled"});
    group.SetItemIndex(0);
    group.show();
    QSignalSpy spy(&group, &TRadioGroup::OnClick);
    QTest::mouseClick(group.Button(1), Qt::LeftButton);
    QCOMPARE(group.ItemIndex(), 1);
    QCOMPARE(spy.count(), 1);
    QCOMPARE(spy.at(0).at(0).value<QObject*>(), &group);
    QTest::mouseClick(group.Button(1), Qt::LeftButton);
    QCOMPARE(spy.count(), 1);
}

void TestAppWidgets::radioItemsKeepSelection()
{
    TRadioGroup group;
    group.SetItemIndex(3); // no items yet: nothing to select
    QCOMPARE(group.ItemIndex(), -1);
    group.SetItems({"a", "b", "c"});
    group.SetItemIndex(2);
    group.SetItems({"a", "b"});
    QCOMPARE(group.ItemIndex(), 1);
    QVERIFY(group.Button(1)->isChecked());
}

void TestAppWidgets::barMaxAndPosition_data()
{
    QTest::addColumn<int>("maximum");
    QTest::addColumn<int>("position");
    QTest::addColumn<int>("shownMax");
    QTest::addColumn<int>("shownValue");
    QTest::newRow("inside") << 40 << 2 << 40 << 2;
    QTest::newRow("above") << 40 << 55 << 40 << 40;
    QTest::newRow("negative reading") << 40 << -3 << 40 << 0;
    QTest::newRow("negative maximum") << -5 << 3 << 0 << 0;
    QTest::newRow("zero maximum") << 0 << 3 << 0 << 0;
}

void TestAppWidgets::barMaxAndPosition()
{
    QFETCH(int, maximum);
    QFETCH(int, position);
    QFETCH(int, shownMax);
    QFETCH(int, shownValue);
    TMeasureBar bar;
    bar.SetMax(maximum);
    bar.SetPosition(position);
    QCOMPARE(bar.minimum(), 0);
    QCOMPARE(bar.maximum(), shownMax);
    QCOMPARE(bar.value(), shownValue);
}

void TestAppWidgets::barWithZeroMaxIsNotBusy()
{
    TMeasureBar bar;
    bar.resize(100, 14);
    bar.SetMax(0);
    const QImage zero = bar.grab().toImage();
    bar.SetMax(10);
    bar.SetPosition(0);
    const QImage empty = bar.grab().toImage();
    QCOMPARE(zero, empty);

    // Lowering the maximum under a reading fills the bar; raising it again
    // shows the reading where it was.
    bar.SetMax(1000);
    bar.SetPosition(550);
    bar.SetMax(100);
    QCOMPARE(bar.value(), 100);
    bar.SetMax(2450);
    QCOMPARE(bar.value(), 550);
}

void TestAppWidgets::echoLinesArePlainColouredText()
{
    QTextEdit list;
    list.document()->setMaximumBlockCount(3);
    TResponseListEcho echo(&list);
    echo.AppendLine("(12:00:00.000) ;DC:ST 0", EchoCommandColour);
    echo.AppendLine("(12:00:00.004) <b>OK</b>", EchoReplyColour);
    QCOMPARE(list.toPlainText(),
             QStringLiteral("(12:00:00.000) ;DC:ST 0\n(12:00:00.004) <b>OK</b>"));
    const QTextBlock first = list.document()->firstBlock();
    QCOMPARE(first.begin().fragment().charFormat().foreground().color(), QColor(0, 0, 0));
    QCOMPARE(first.next().begin().fragment().charFormat().foreground().color(), QColor(0, 0x80, 0));
    QVERIFY(!list.document()->firstBlock().next().text().isEmpty());

    // Only the newest lines stay.
    echo.AppendLine("a", EchoCommandColour);
    echo.AppendLine("b", EchoReplyColour);
    QCOMPARE(list.toPlainText(), QStringLiteral("(12:00:00.004) <b>OK</b>\na\nb"));

    echo.Clear();
    QVERIFY(list.document()->isEmpty());
    echo.AppendLine("c", EchoCommandColour);
    QCOMPARE(list.toPlainText(), QStringLiteral("c"));
    QCOMPARE(list.document()->maximumBlockCount(), 3);
}

QTEST_MAIN(TestAppWidgets)
#include "tst_appwidgets.moc"
