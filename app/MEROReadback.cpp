// SPDX-License-Identifier: GPL-3.0-or-later
// The read-back: every setting asked of the unit and shown in its control.
#include "MEROMain.h"

#include "ui_MEROMain.h"

#include "AppState.h"
#include "Communication.h"
#include "KeyState.h"
#include "KxComPort.h"
#include "LineSubmitter.h"
#include "NumberFormat.h"
#include "ResponseListEcho.h"
#include "mvVersionInfo.h"

#include <QScopeGuard>
#include <QTimer>

namespace
{

// An index outside the list leaves no item selected.
void SelectItem(QComboBox* box, int index)
{
    box->setCurrentIndex(index >= 0 && index < box->count() ? index : -1);
}

QString Decimal(qint32 value)
{
    return QString::number(value);
}

} // namespace

QString TMERO_App::Caption(bool extended) const
{
    return (extended ? QStringLiteral("MERO/VRX    Ver: ") : QStringLiteral("MERO    Ver: ")) +
           VersionInfo->FileVersion();
}

bool TMERO_App::SkipReadBack()
{
    // Left Shift held (or the "demo" switch) means demo mode: no unit to ask.
    return FDemoMode || FSwitches.Demo || KeyState().LeftShift();
}

QList<QWidget*> TMERO_App::SettingControls() const
{
    return {ui->ISettingAdj,    ui->RepRateAdj,       ui->PulseWidthAdj, ui->MaxCurrentAdj,
            ui->ComplianceVAdj, ui->MaximumRateAdj,   ui->StorageBinSel, ui->TempFaultByp,
            ui->IntlkCntrlByp,  ui->PulseEnableOff,   ui->BurstCountAdj, ui->PulseModeSel,
            ui->IntrlkCntrlGrp, ui->QSWEnableGrp,     ui->QSWDelayAdj,   ui->ExtTrigSel,
            ui->SyncSettingSel, ui->SpareAnalogOutAdj};
}

void TMERO_App::SetSettingControlsEnabled(bool enabled)
{
    // A spin edit has an enabled flag of its own: greyed and deaf to input,
    // it still takes the focus by Tab.
    for (QWidget* control : SettingControls()) {
        if (auto* spin = qobject_cast<TPlusSpinEdit*>(control))
            spin->SetEnabled(enabled);
        else
            control->setEnabled(enabled);
    }
}

void TMERO_App::Initialize()
{
    if (FEnding)
        return;
    // Nested in another exchange's reply wait every query would read 0:
    // the task pump runs it as soon as the port is free.
    if (FReadBackRunning || (ComPort && ComPort->InUse())) {
        ReadBackPending = true;
        return;
    }
    SetOuterSize(375, 620);
    if (SkipReadBack())
        return;
    setWindowTitle(Caption(false));
    StatusTimer->stop();

    AppState& state = appState();
    state.CommandsDisabled = true;
    FReadBackRunning = true;
    SetSettingControlsEnabled(false);
    // Flags, controls and the poll come back on every way out.
    auto restore = qScopeGuard([this, &state] {
        SetSettingControlsEnabled(true);
        state.CommandsDisabled = false;
        FReadBackRunning = false;
        if (!FEnding)
            StatusTimer->start();
    });
    const TOriginScope origin({orReadBack, 0, {}});

    ReadSettings();
    ShowIdentity();
    state.BadgeNumber = QueryInteger("BDG");
    ui->BadgeEdit->setText(Decimal(state.BadgeNumber));

    SetSettingControlsEnabled(true);
    ShowVariant(state.ConfigCode == 1);
    ui->PageControl1->setCurrentIndex(0);
    state.CommandsDisabled = false;
    FReadBackRunning = false;
    if (FEcho)
        FEcho->Clear();
    restore.dismiss();
    if (!FEnding)
        StatusTimer->start();
}

void TMERO_App::ReadSettings()
{
    AppState& state = appState();

    state.ConfigCode = QueryInteger("CFG");
    ui->ConfigEdit->setText(Decimal(state.ConfigCode));
    if (state.ConfigCode == 1) {
        state.QSwitchDelay = QueryFloat("QD");
        ui->QSWDelayAdj->AssignValue(state.QSwitchDelay);
        state.QSwitchEnable = QueryInteger("QE");
        ui->QSWEnableGrp->SetItemIndex(state.QSwitchEnable);
        state.ExtTrigger = QueryInteger("ET");
        SelectItem(ui->ExtTrigSel, state.ExtTrigger);
        state.SyncSetting = QueryInteger("SY");
        SelectItem(ui->SyncSettingSel, state.SyncSetting);
        state.SpareAnalogOut = QueryFloat("AO");
        ui->SpareAnalogOutAdj->AssignValue(state.SpareAnalogOut);
    }

    // The change handlers of the controls run inside each step. The limits
    // that follow from the maxima are set here as well, so the current and
    // the rate are clamped by the unit's own maxima whatever the handlers do;
    // each field ends up holding what its control shows.
    // A negative maximum is held at the control's floor of 0 and taken as that.
    state.MaxCurrent = QueryInteger("MC");
    ui->MaxCurrentAdj->AssignValue(state.MaxCurrent);
    state.MaxCurrent = ui->MaxCurrentAdj->Value();
    ui->CurrentMeasureBar->SetMax(NumberFormat::RoundToInt32(state.MaxCurrent));
    ui->ISettingAdj->SetMaxValue(state.MaxCurrent);

    state.MaxRate = QueryInteger("MR");
    ui->MaximumRateAdj->AssignValue(state.MaxRate);
    state.MaxRate = ui->MaximumRateAdj->Value();
    SetRepRateLimit(state.MaxRate);

    state.CurrentSetting = QueryFloat("CS");
    ui->ISettingAdj->AssignValue(state.CurrentSetting);
    ui->ISettingAdj->SetMaxValue(state.MaxCurrent);
    state.CurrentSetting = ui->ISettingAdj->Value();

    state.RepRate = QueryFloat("RR");
    ui->RepRateAdj->AssignValue(state.RepRate);
    SetRepRateLimit(state.MaxRate);
    state.RepRate = ui->RepRateAdj->Value();

    state.PulseWidth = QueryFloat("PW");
    ui->PulseWidthAdj->AssignValue(state.PulseWidth);

    state.ComplianceVoltage = QueryFloat("CV");
    ui->ComplianceVAdj->AssignValue(state.ComplianceVoltage);
    ui->VoltageMeasureBar->SetMax(NumberFormat::RoundToInt32(state.ComplianceVoltage * 100));

    state.StorageBin = QueryInteger("RC");
    // Tested before subtracting: a reply of the smallest integer must not overflow.
    const bool knownBin = state.StorageBin >= 1 && state.StorageBin <= ui->StorageBinSel->count();
    SelectItem(ui->StorageBinSel, knownBin ? state.StorageBin - 1 : -1);
    state.SelectedBin = state.StorageBin;

    state.TempFaultBypass = QueryInteger("TB");
    SelectItem(ui->TempFaultByp, state.TempFaultBypass);
    state.InterlockBypass = QueryInteger("IC");
    SelectItem(ui->IntlkCntrlByp, state.InterlockBypass);
    // The reply is the item index: 0 "On", 1 "Off".
    state.PulseEnable = QueryInteger("PE");
    SelectItem(ui->PulseEnableOff, state.PulseEnable);

    state.DriverEnabled = QueryInteger("EN");
    ui->Enablebtn->setText(state.DriverEnabled == 0 ? QStringLiteral("Enable")
                                                    : QStringLiteral("Disable"));
    state.DriverStarted = QueryInteger("ST");
    ui->Startbtn->setText(state.DriverStarted == 0 ? QStringLiteral("Start")
                                                   : QStringLiteral("Stop"));

    state.BurstCount = QueryInteger("BC");
    ui->BurstCountAdj->AssignValue(state.BurstCount);
    state.PulseMode = QueryInteger("PM");
    SelectItem(ui->PulseModeSel, state.PulseMode);
    state.InterlockControl = QueryInteger("IC");
    ui->IntrlkCntrlGrp->SetItemIndex(state.InterlockControl);
}

void TMERO_App::ShowIdentity()
{
    const AppState& state = appState();
    ui->CompanyLabel->setText(QString::fromLatin1(state.CompanyName));
    ui->ModelLabel->setText(QStringLiteral("Model: ") + QString::fromLatin1(state.ModelName));
    ui->SNEdit->setText(Decimal(state.SerialNumber));
    ui->SNLabel->setText(QStringLiteral("SN: ") + Decimal(state.SerialNumber));
    ui->FWLabel->setText(QStringLiteral("FW: ") + QString::fromLatin1(state.FirmwareVersion));
}

void TMERO_App::ShowVariant(bool extended)
{
    setWindowTitle(Caption(extended));
    const int vrx = ui->PageControl1->indexOf(ui->TabVRX);
    ui->PageControl1->setTabEnabled(vrx, extended);
    ui->PageControl1->setTabVisible(vrx, extended);
    for (QWidget* w :
         {static_cast<QWidget*>(ui->ExtTrigEnabledlbl), static_cast<QWidget*>(ui->ExtTrigLight),
          static_cast<QWidget*>(ui->QswEnabledlbl), static_cast<QWidget*>(ui->QSWLight)})
        w->setVisible(extended);
}
