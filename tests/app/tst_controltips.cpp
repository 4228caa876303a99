// SPDX-License-Identifier: GPL-3.0-or-later
// Every setting control and lamp of the window carries its tip: the mnemonic
// first, then what it is; a lamp names its status bit.
#include "ControlTips.h"
#include "CsvFormat.h"
#include "LampWidget.h"
#include "MEROMain.h"
#include "StatusBits.h"
#include "plussped.h"

#include <QComboBox>
#include <QLabel>
#include <QRegularExpression>
#include <QtTest>

class TestControlTips : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void everyEntryNamesAControl()
    {
        TMERO_App w;
        for (const TControlTip& t : ControlTips())
            QVERIFY2(w.findChild<QWidget*>(t.control), t.control);
    }

    void settingsAndLampsHaveTips()
    {
        TMERO_App w;
        QCOMPARE(w.findChild<QWidget*>("ISettingAdj")->toolTip(),
                 QString::fromUtf8("CS \u2014 current setting, 0 to the maximum current, A"));
        static const QRegularExpression mnemonicFirst("^[A-Z][A-Z0-9]{1,2}( / [A-Z]{2})? \u2014 ");
        QList<QWidget*> controls;
        for (auto* s : w.findChildren<TPlusSpinEdit*>())
            controls << s;
        for (auto* c : w.findChildren<QComboBox*>())
            controls << c;
        for (QWidget* c : controls)
            QVERIFY2(mnemonicFirst.match(c->toolTip()).hasMatch(),
                     qPrintable(c->objectName() + ": " + c->toolTip()));
        static const QRegularExpression statusBit(
            "^SS bit \\d \\(0x[0-9a-f]{3}\\) \u2014 |^I[123] \u2014 ");
        const QList<TLamp*> lamps = w.findChildren<TLamp*>();
        QCOMPARE(lamps.size(), 12);
        for (TLamp* lamp : lamps)
            QVERIFY2(statusBit.match(lamp->toolTip()).hasMatch(),
                     qPrintable(lamp->objectName() + ": " + lamp->toolTip()));
        QCOMPARE(w.findChild<QWidget*>("FaultLight")->toolTip(),
                 QString::fromUtf8("SS bit 3 (0x008) \u2014 fault"));
    }

    // The one table of the status bits names each lamp of the form, with the
    // caption its label shows, and the CSV has a column for each.
    void statusBitTableMatchesTheForm()
    {
        TMERO_App w;
        const QByteArray header = Csv::Header();
        for (const TStatusBitInfo& b : kStatusBits) {
            auto* lamp = w.findChild<TLamp*>(QString::fromLatin1(b.Lamp));
            QVERIFY2(lamp, b.Lamp);
            const QList<QLabel*> labels = w.findChildren<QLabel*>();
            const auto label = std::find_if(labels.begin(), labels.end(),
                                            [lamp](QLabel* l) { return l->buddy() == lamp; });
            QVERIFY2(label != labels.end(), b.Lamp);
            QCOMPARE((*label)->text(), QString::fromLatin1(b.Caption));
            QVERIFY(header.contains("," + QByteArray(b.CsvColumn) + ","));
            QCOMPARE(lamp->toolTip(), StatusBitTip(b));
        }
    }
};

QTEST_MAIN(TestControlTips)
#include "tst_controltips.moc"
