// SPDX-License-Identifier: GPL-3.0-or-later
#include "MEROAccessibility.h"

#include "MEROMain.h"
#include "ui_MEROMain.h"

#include <QPalette>
#include <QTabBar>

void SetUpAccessibility(TMERO_App& window)
{
    Ui::TMERO_App& ui = *window.ui;
    ui.SpareIn1Light->setAccessibleName(QStringLiteral("Spare input 1"));
    ui.SpareIn2Light->setAccessibleName(QStringLiteral("Spare input 2"));
    ui.SpareIn3Light->setAccessibleName(QStringLiteral("Spare input 3"));
    ui.CurrentMeasureBar->setAccessibleName(QStringLiteral("Current Measurement"));
    ui.VoltageMeasureBar->setAccessibleName(QStringLiteral("Voltage Measurement"));
    ui.ResponseList->setAccessibleName(QStringLiteral("Responses"));
    // A keyboard caret lets a screen reader walk the lines; Tab still leaves the list.
    ui.ResponseList->setTextInteractionFlags(Qt::TextSelectableByMouse |
                                             Qt::TextSelectableByKeyboard);
    ui.ResponseList->setTabChangesFocus(true);
    // The echo writes black and green lines: they keep their light page under any palette.
    QPalette page = ui.ResponseList->palette();
    for (auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        page.setColor(group, QPalette::Base, Qt::white);
        page.setColor(group, QPalette::Text, Qt::black);
    }
    ui.ResponseList->setPalette(page);

    // Tab: the left column, the page's controls top to bottom (a hidden page's are skipped),
    // the terminal, then the production column once it is shown. Chained from the tab bar:
    // a chain from the tab widget itself would start after its pages' controls.
    const QList<QWidget*> order{ui.Enablebtn,
                                ui.Startbtn,
                                ui.IntrlkCntrlGrp,
                                ui.PageControl1->tabBar(),
                                ui.ISettingAdj,
                                ui.RepRateAdj,
                                ui.PulseWidthAdj,
                                ui.BurstCountAdj,
                                ui.PulseModeSel,
                                ui.MaxCurrentAdj,
                                ui.ComplianceVAdj,
                                ui.MaximumRateAdj,
                                ui.TempFaultByp,
                                ui.IntlkCntrlByp,
                                ui.PulseEnableOff,
                                ui.StorageBinSel,
                                ui.SaveBin,
                                ui.RecallBin,
                                ui.QSWEnableGrp,
                                ui.QSWDelayAdj,
                                ui.ExtTrigSel,
                                ui.SyncSettingSel,
                                ui.SpareAnalogOutAdj,
                                ui.SendEdit,
                                ui.Sendbtn,
                                ui.ResponseList,
                                ui.SNEdit,
                                ui.BadgeEdit,
                                ui.ConfigEdit,
                                ui.Reload};
    for (qsizetype n = 1; n < order.size(); ++n)
        QWidget::setTabOrder(order[n - 1], order[n]);
}
