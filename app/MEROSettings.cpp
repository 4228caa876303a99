// SPDX-License-Identifier: GPL-3.0-or-later
// Setting handlers: each turns the operator's change into one command text
// for the queue. They also run while the read-back fills the controls; the
// queue refuses the command then, but fields, limits and bar maxima follow.
#include "MEROMain.h"

#include "ui_MEROMain.h"

#include "AppState.h"
#include "CommandSet.h"
#include "NumberFormat.h"
#include "OperatorCommands.h"

void TMERO_App::QueueSetting(const QString& commandText)
{
    // An empty text is a state that asks for no command (or a value that
    // cannot be written): nothing is queued.
    if (!commandText.isEmpty())
        QueuedCommandToPort(commandText, qkSetCommand);
}

void TMERO_App::ApplyValueFloors()
{
    // The unit holds no negative current, voltage, rate or count, and no rate
    // below the control's own smallest one; the upper sides stay as designed.
    for (TPlusSpinEdit* spin : {ui->ISettingAdj, ui->MaxCurrentAdj, ui->ComplianceVAdj,
                                ui->MaximumRateAdj, ui->BurstCountAdj})
        spin->SetFloorValue(0);
    ui->RepRateAdj->SetFloorValue(ui->RepRateAdj->MinValue());
}

void TMERO_App::SetRepRateLimit(double maxRate)
{
    // A maximum below the smallest rate would pull every rate down to it and
    // send "RR 000000.0"; equal limits leave the rate unlimited instead.
    const double floor = ui->RepRateAdj->MinValue();
    ui->RepRateAdj->SetMaxValue(maxRate < floor ? floor : maxRate);
}

void TMERO_App::ISettingAdjChange(QObject*)
{
    AppState& s = appState();
    s.CurrentSetting = ui->ISettingAdj->Value();
    QueueSetting(SetCommand("CS", s.CurrentSetting));
}

void TMERO_App::RepRateAdjChange(QObject*)
{
    AppState& s = appState();
    s.RepRate = ui->RepRateAdj->Value();
    QueueSetting(SetCommand("RR", s.RepRate));
}

void TMERO_App::PulseWidthAdjChange(QObject*)
{
    AppState& s = appState();
    s.PulseWidth = ui->PulseWidthAdj->Value();
    QueueSetting(SetCommand("PW", s.PulseWidth));
}

void TMERO_App::BurstCountAdjChange(QObject*)
{
    AppState& s = appState();
    s.BurstCount = NumberFormat::RoundToInt32(ui->BurstCountAdj->Value());
    QueueSetting(SetCommand("BC", s.BurstCount));
}

void TMERO_App::MaxCurrentAdjChange(QObject*)
{
    AppState& s = appState();
    s.MaxCurrent = NumberFormat::RoundToInt32(ui->MaxCurrentAdj->Value());
    QueueSetting(SetCommand("MC", s.MaxCurrent));
    // The new limit may clamp the current setting, whose own handler then
    // queues the clamped value behind "MC".
    ui->ISettingAdj->SetMaxValue(s.MaxCurrent);
    ui->CurrentMeasureBar->SetMax(NumberFormat::RoundToInt32(s.MaxCurrent));
}

void TMERO_App::MaximumRateAdjChange(QObject*)
{
    AppState& s = appState();
    s.MaxRate = ui->MaximumRateAdj->Value();
    QueueSetting(SetCommand("MR", s.MaxRate));
    SetRepRateLimit(s.MaxRate);
}

void TMERO_App::ComplianceVAdjChange(QObject*)
{
    AppState& s = appState();
    s.ComplianceVoltage = ui->ComplianceVAdj->Value();
    QueueSetting(SetCommand("CV", s.ComplianceVoltage));
    ui->VoltageMeasureBar->SetMax(NumberFormat::RoundToInt32(s.ComplianceVoltage * 100));
}

void TMERO_App::QSWDelayAdjChange(QObject*)
{
    AppState& s = appState();
    s.QSwitchDelay = ui->QSWDelayAdj->Value();
    QueueSetting(SetCommand("QD", s.QSwitchDelay));
}

void TMERO_App::SpareAnalogOutAdjChange(QObject*)
{
    AppState& s = appState();
    s.SpareAnalogOut = ui->SpareAnalogOutAdj->Value();
    QueueSetting(SetCommand("AO", s.SpareAnalogOut));
}

void TMERO_App::PulseModeSelChange(QObject*)
{
    QueueSetting(IndexCommand("PM", ui->PulseModeSel->currentIndex()));
}

void TMERO_App::ExtTrigSelChange(QObject*)
{
    QueueSetting(IndexCommand("ET", ui->ExtTrigSel->currentIndex()));
}

void TMERO_App::SyncSettingSelChange(QObject*)
{
    QueueSetting(IndexCommand("SY", ui->SyncSettingSel->currentIndex()));
}

void TMERO_App::QSWEnableGrpClick(QObject*)
{
    const int index = ui->QSWEnableGrp->ItemIndex();
    QueueSetting(IndexCommand("QE", index));
    appState().QSwitchEnable = index;
}

void TMERO_App::IntrlkCntrlGrpClick(QObject*)
{
    QueueSetting(IndexCommand("IC", ui->IntrlkCntrlGrp->ItemIndex()));
}

void TMERO_App::TempFaultBypChange(QObject*)
{
    QueueSetting(ChoiceCommand("TB", ui->TempFaultByp->currentIndex()));
}

void TMERO_App::IntlkCntrlBypChange(QObject*)
{
    QueueSetting(ChoiceCommand("IC", ui->IntlkCntrlByp->currentIndex()));
}

void TMERO_App::PulseEnableOffChange(QObject*)
{
    // Item 0 is "On", which the unit takes as 1.
    QueueSetting(ChoiceCommand("PE", ui->PulseEnableOff->currentIndex(), true));
}

void TMERO_App::EnablebtnClick(QObject*)
{
    // By the unit's last reported state, never by the caption; the next poll
    // updates both.
    QueueSetting(ToggleCommand("EN", appState().DriverEnabled));
}

void TMERO_App::StartbtnClick(QObject*)
{
    QueueSetting(ToggleCommand("ST", appState().DriverStarted));
}

void TMERO_App::StorageBinSelChange(QObject*)
{
    appState().SelectedBin = BinOfItem(ui->StorageBinSel->currentIndex());
}

void TMERO_App::SaveBinClick(QObject*)
{
    AppState& s = appState();
    QueueSetting(SetCommand("SV", s.SelectedBin));
    s.StorageBin = s.SelectedBin;
}

void TMERO_App::RecallBinClick(QObject*)
{
    // The pump sends "RC" and reads everything back when the link is free.
    appState().RecallPending = true;
}
