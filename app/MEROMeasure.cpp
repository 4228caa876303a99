// SPDX-License-Identifier: GPL-3.0-or-later
// The measurements: the session listens to the transport and the poll from
// construction on; View > Measurements shows the window over it.
#include "MEROMain.h"

#include "AppState.h"
#include "MeasureSession.h"
#include "MeasureWindow.h"
#include "UserPrompts.h"

void TMERO_App::StartMeasurements()
{
    Measurements->setObjectName(QStringLiteral("Measurements"));
    Measurements->Limits = [] {
        const AppState& s = appState();
        return std::pair{s.MaxCurrent, s.ComplianceVoltage};
    };
    Measurements->Install();
    // A failed recording write happens inside an exchange: the box waits for
    // the event loop, so no other exchange runs inside the one in progress.
    connect(
        Measurements, &TMeasureSession::RecordingFailed, this,
        [](const QString& message) { UserPrompts().Warning(message); }, Qt::QueuedConnection);
}

void TMERO_App::MeasurementsClick(QObject*)
{
    if (!FMeasureWindow) {
        // A window of its own (not a child of the fixed-size main window).
        FMeasureWindow = new TMeasureWindow(*Measurements);
        FMeasureWindow->setParent(this, Qt::Window);
    }
    FMeasureWindow->show();
    FMeasureWindow->raise();
    FMeasureWindow->activateWindow();
}

TMeasureWindow* TMERO_App::MeasureWindow() const
{
    return FMeasureWindow;
}
