// SPDX-License-Identifier: GPL-3.0-or-later
// The read-back: every setting asked of the unit and shown in its control.
#include "MEROMain.h"

#include "ui_MEROMain.h"

#include "AppState.h"
#include "Communication.h"
#include "KeyState.h"
#include "KxComPort.h"
#include "LineSubmitter.h"
#include "MEROTexts.h"
#include "NumberFormat.h"
#include "ResponseListEcho.h"
#include "UnitSettings.h"
#include "UserPrompts.h"
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

// A unit whose replies keep coming late, twice or unasked is read this often.
constexpr int kReadBackAttempts = 3;

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
        if (Running())
            StatusTimer->start();
    });
    const TOriginScope origin({orReadBack, 0, {}});

    // A reply that may be another line's, or none at all, makes the whole
    // read-back start again: the controls only ever show a complete read.
    TUnitSettings unit;
    TSettingsRead read = srDisturbed;
    for (int attempt = 0; attempt < kReadBackAttempts && read == srDisturbed && Running();
         ++attempt)
        read = ReadUnitSettings(unit);
    if (read == srRead)
        ShowSettings(unit);

    SetSettingControlsEnabled(true);
    ShowVariant(state.ConfigCode == 1);
    ui->PageControl1->setCurrentIndex(0);
    state.CommandsDisabled = false;
    FReadBackRunning = false;
    if (FEcho)
        FEcho->Clear();
    restore.dismiss();
    if (Running())
        StatusTimer->start();
    // A lost port brings its own box.
    if (read == srDisturbed && Running())
        UserPrompts().Warning(UnreliableRepliesText());
}

void TMERO_App::ShowSettings(const TUnitSettings& unit)
{
    AppState& state = appState();

    state.ConfigCode = unit.ConfigCode;
    ui->ConfigEdit->setText(Decimal(state.ConfigCode));
    if (state.ConfigCode == 1) {
        state.QSwitchDelay = unit.QSwitchDelay;
        ui->QSWDelayAdj->AssignValue(state.QSwitchDelay);
        state.QSwitchEnable = unit.QSwitchEnable;
        ui->QSWEnableGrp->SetItemIndex(state.QSwitchEnable);
        state.ExtTrigger = unit.ExtTrigger;
        SelectItem(ui->ExtTrigSel, state.ExtTrigger);
        state.SyncSetting = unit.SyncSetting;
        SelectItem(ui->SyncSettingSel, state.SyncSetting);
        state.SpareAnalogOut = unit.SpareAnalogOut;
        ui->SpareAnalogOutAdj->AssignValue(state.SpareAnalogOut);
    }

    // The change handlers of the controls run inside each step. The limits
    // that follow from the maxima are set here as well, so the current and
    // the rate are clamped by the unit's own maxima whatever the handlers do;
    // each field ends up holding what its control shows.
    // A negative maximum is held at the control's floor of 0 and taken as that.
    state.MaxCurrent = unit.MaxCurrent;
    ui->MaxCurrentAdj->AssignValue(state.MaxCurrent);
    state.MaxCurrent = ui->MaxCurrentAdj->Value();
    ui->CurrentMeasureBar->SetMax(NumberFormat::RoundToInt32(state.MaxCurrent));
    ui->ISettingAdj->SetMaxValue(state.MaxCurrent);

    state.MaxRate = unit.MaxRate;
    ui->MaximumRateAdj->AssignValue(state.MaxRate);
    state.MaxRate = ui->MaximumRateAdj->Value();
    SetRepRateLimit(state.MaxRate);

    state.CurrentSetting = unit.CurrentSetting;
    ui->ISettingAdj->AssignValue(state.CurrentSetting);
    ui->ISettingAdj->SetMaxValue(state.MaxCurrent);
    state.CurrentSetting = ui->ISettingAdj->Value();

    state.RepRate = unit.RepRate;
    ui->RepRateAdj->AssignValue(state.RepRate);
    SetRepRateLimit(state.MaxRate);
    state.RepRate = ui->RepRateAdj->Value();

    state.PulseWidth = unit.PulseWidth;
    ui->PulseWidthAdj->AssignValue(state.PulseWidth);

    state.ComplianceVoltage = unit.ComplianceVoltage;
    ui->ComplianceVAdj->AssignValue(state.ComplianceVoltage);
    ui->VoltageMeasureBar->SetMax(NumberFormat::RoundToInt32(state.ComplianceVoltage * 100));

    state.StorageBin = unit.StorageBin;
    // Tested before subtracting: a reply of the smallest integer must not overflow.
    const bool knownBin = state.StorageBin >= 1 && state.StorageBin <= ui->StorageBinSel->count();
    SelectItem(ui->StorageBinSel, knownBin ? state.StorageBin - 1 : -1);
    state.SelectedBin = state.StorageBin;

    state.TempFaultBypass = unit.TempFaultBypass;
    SelectItem(ui->TempFaultByp, state.TempFaultBypass);
    state.InterlockBypass = unit.InterlockBypass;
    SelectItem(ui->IntlkCntrlByp, state.InterlockBypass);
    // The reply is the item index: 0 "On", 1 "Off".
    state.PulseEnable = unit.PulseEnable;
    SelectItem(ui->PulseEnableOff, state.PulseEnable);

    state.DriverEnabled = unit.DriverEnabled;
    ui->Enablebtn->setText(state.DriverEnabled == 0 ? QStringLiteral("Enable")
                                                    : QStringLiteral("Disable"));
    state.DriverStarted = unit.DriverStarted;
    ui->Startbtn->setText(state.DriverStarted == 0 ? QStringLiteral("Start")
                                                   : QStringLiteral("Stop"));

    state.BurstCount = unit.BurstCount;
    ui->BurstCountAdj->AssignValue(state.BurstCount);
    state.PulseMode = unit.PulseMode;
    SelectItem(ui->PulseModeSel, state.PulseMode);
    state.InterlockControl = unit.InterlockControl;
    ui->IntrlkCntrlGrp->SetItemIndex(state.InterlockControl);

    ShowIdentity();
    state.BadgeNumber = unit.BadgeNumber;
    ui->BadgeEdit->setText(Decimal(state.BadgeNumber));
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
