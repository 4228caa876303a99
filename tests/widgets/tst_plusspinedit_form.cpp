// SPDX-License-Identifier: GPL-3.0-or-later
// The control promoted in a Designer form, with properties set by name as a form sets them.
#include "plussped.h"
#include "ui_spinform.h"

#include <QSignalSpy>
#include <QtTest>

class TestSpinEditForm : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void formSetsProperties();
};

void TestSpinEditForm::formSetsProperties()
{
    QWidget form;
    Ui::SpinForm ui;
    ui.setupUi(&form);

    QCOMPARE(ui.ISettingAdj->Decimals(), 2);
    QCOMPARE(ui.ISettingAdj->Increment(), 0.01);
    QCOMPARE(ui.ISettingAdj->IncExponent(), -2);
    QCOMPARE(ui.ISettingAdj->LeadingDigits(), 3);
    QCOMPARE(ui.ISettingAdj->geometry(), QRect(10, 10, 89, 24)); // AutoSize off keeps it
    QCOMPARE(ui.ISettingAdj->Text(), QStringLiteral("0.00"));

    // AutoSize applies once the form is polished (shown), whatever the property order.
    QCOMPARE(ui.PulseWidthAdj->height(), 24);
    form.ensurePolished();
    QCOMPARE(ui.ISettingAdj->geometry(), QRect(10, 10, 89, 24));
    QCOMPARE(ui.PulseWidthAdj->Text(), QStringLiteral("0.000,000,0"));
    QCOMPARE(ui.PulseWidthAdj->IncExponent(), -7);
    QCOMPARE(ui.PulseWidthAdj->width(), 120); // AutoSize with equal limits: height only
    QCOMPARE(ui.PulseWidthAdj->height() % 2, 1);

    QCOMPARE(ui.QSWDelayAdj->Increment(), 2e-7);
    QCOMPARE(ui.QSWDelayAdj->MinValue(), -0.0061);
    QCOMPARE(ui.QSWDelayAdj->MaxValue(), 0.0061);
    QCOMPARE(ui.QSWDelayAdj->Value(), 0.0);

    // The window connects its handlers after setupUi; writes from code then fire them.
    QSignalSpy changes(ui.ISettingAdj, &TPlusSpinEdit::OnChange);
    ui.ISettingAdj->setProperty("Value", 12.5);
    ui.ISettingAdj->setProperty("MaxValue", 10.0);
    QCOMPARE(ui.ISettingAdj->Value(), 10.0);
    QCOMPARE(changes.count(), 2);
}

QTEST_MAIN(TestSpinEditForm)
#include "tst_plusspinedit_form.moc"
