// SPDX-License-Identifier: GPL-3.0-or-later
// The "Logging Enabled" menu item: switches the communication log.
#include "MEROMain.h"

#include "ui_MEROMain.h"

#include "AppState.h"
#include "CommLog.h"

void TMERO_App::EnableLoggingMenuClick(QObject*)
{
    ToggleLoggingState();
}

void TMERO_App::ToggleLoggingState()
{
    ::ToggleLoggingState(appState());
    // The menu item toggles its own mark when clicked; the log's real state
    // decides, also when switching on failed.
    ui->EnableLoggingMenu->setChecked(appState().LoggingEnabled);
}
