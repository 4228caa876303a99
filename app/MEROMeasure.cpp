// SPDX-License-Identifier: GPL-3.0-or-later
// The measurements: the session journals the transport's exchanges from
// construction on and takes a sample from every poll; View > Measurements
// shows the window over it.
#include "MEROMain.h"

#include "AppState.h"
#include "KxComPort.h"
#include "MeasureSession.h"
#include "MeasureWindow.h"
#include "UserPrompts.h"

#include <QTimer>

void TMERO_App::StartMeasurements()
{
    Measurements->setObjectName(QStringLiteral("Measurements"));
    Measurements->Listen();
    connect(Measurements, &TMeasureSession::RecordingFailed, this,
            &TMERO_App::ShowRecordingFailure);
}

void TMERO_App::ShowRecordingFailure(const QString& message)
{
    if (FEnding)
        return;
    // A recording write can fail inside an exchange (a command refused during
    // a reply wait, the end of a poll): the box waits until no reply is
    // awaited and neither the poll nor the pump runs, so no exchange ever
    // runs inside the one in progress.
    const AppState& s = appState();
    if ((ComPort && ComPort->InUse()) || s.StatusBusy || s.TaskBusy) {
        QTimer::singleShot(10, this, [this, message] { ShowRecordingFailure(message); });
        return;
    }
    UserPrompts().Warning(message);
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
