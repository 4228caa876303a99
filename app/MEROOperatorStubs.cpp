// Operator handlers: connected, not yet acting. Each is replaced, file by
// file, by the command queue, the setting handlers, the production settings,
// the terminal and the logging menu.
#include "MEROMain.h"

void TMERO_App::QueuedCommandToPort(const QString&) {}
void TMERO_App::TaskTimerTimer(QObject*) {}
void TMERO_App::ProcessTasks() {}

void TMERO_App::EnableLoggingMenuClick(QObject*) {}
void TMERO_App::About1Click(QObject*) {}
void TMERO_App::ISettingAdjChange(QObject*) {}
void TMERO_App::RepRateAdjChange(QObject*) {}
void TMERO_App::PulseWidthAdjChange(QObject*) {}
void TMERO_App::BurstCountAdjChange(QObject*) {}
void TMERO_App::PulseModeSelChange(QObject*) {}
void TMERO_App::MaxCurrentAdjChange(QObject*) {}
void TMERO_App::ComplianceVAdjChange(QObject*) {}
void TMERO_App::MaximumRateAdjChange(QObject*) {}
void TMERO_App::TempFaultBypChange(QObject*) {}
void TMERO_App::IntlkCntrlBypChange(QObject*) {}
void TMERO_App::PulseEnableOffChange(QObject*) {}
void TMERO_App::StorageBinSelChange(QObject*) {}
void TMERO_App::SaveBinClick(QObject*) {}
void TMERO_App::RecallBinClick(QObject*) {}
void TMERO_App::QSWEnableGrpClick(QObject*) {}
void TMERO_App::QSWDelayAdjChange(QObject*) {}
void TMERO_App::ExtTrigSelChange(QObject*) {}
void TMERO_App::SyncSettingSelChange(QObject*) {}
void TMERO_App::SpareAnalogOutAdjChange(QObject*) {}
void TMERO_App::EnablebtnClick(QObject*) {}
void TMERO_App::StartbtnClick(QObject*) {}
void TMERO_App::IntrlkCntrlGrpClick(QObject*) {}
void TMERO_App::SendEditKeyPress(QObject*, QChar&) {}
void TMERO_App::SendbtnClick(QObject*) {}
void TMERO_App::SNEditKeyPress(QObject*, QChar&) {}
void TMERO_App::BadgeEditKeyPress(QObject*, QChar&) {}
void TMERO_App::ConfigEditKeyPress(QObject*, QChar&) {}
void TMERO_App::ReloadClick(QObject*) {}
