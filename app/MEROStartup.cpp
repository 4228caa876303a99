// SPDX-License-Identifier: GPL-3.0-or-later
// Start-up sequence, restart, exit and the File menu's "Exit" and "Initialize".
#include "MEROMain.h"

#include "ui_MEROMain.h"

#include "AppState.h"
#include "CommLog.h"
#include "Communication.h"
#include "Discovery.h"
#include "KeyState.h"
#include "KxComPort.h"
#include "LineSubmitter.h"
#include "MEROTexts.h"
#include "NumberFormat.h"
#include "ResponseListEcho.h"
#include "Restart.h"
#include "UserPrompts.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QThread>
#include <QTimer>
#include <exception>

namespace
{
const QByteArray kEndOfResponse = QByteArrayLiteral("#13"); // a single CR
constexpr int kBaud = 115200;
constexpr quint32 kResponseTimeMs = 5000;
constexpr int kRestartPauseMs = 500;

QString NoDeviceText()
{
    return QStringLiteral("No device found. Try to reconnect?\n\n"
                          "Make sure unit is fully powered on\n"
                          "before selecting Yes");
}
} // namespace

void TMERO_App::FormCreate(QObject*)
{
    bool reachedCommonSteps = false;
    try {
        NumberFormat::FixProcessNumberFormat();
        AppState& state = appState();
        state.CommandQueue.Clear();
        PrepareLogging(state);
        FSwitches = ParseSwitches(Arguments);
        if (FSwitches.Log)
            ToggleLoggingState();

        // Right Shift is asked first, so it wins when both are held.
        IKeyState& keys = KeyState();
        if (keys.RightShift() || FSwitches.Pick) {
            if (!PickerStart())
                return;
        } else if (keys.LeftShift() || FSwitches.Demo) {
            DemoStart();
        } else if (const auto lost = ParseRestartUnit(Arguments)) {
            if (!ReconnectStart(*lost))
                return;
        } else if (!DetectStart()) {
            return;
        }
        reachedCommonSteps = true;
        CommonSteps();
    } catch (const std::exception& e) {
        UserPrompts().Warning(QString::fromUtf8(e.what()));
        // Whatever went wrong, a window that is shown keeps polling the unit
        // and sending the operator's commands.
        if (reachedCommonSteps)
            FinishStart();
    }
}

bool TMERO_App::PickerStart()
{
    if (!ComPort->Pick()) {
        ExitApp();
        return false;
    }
    // Error prompts are still on: a port that will not open says so.
    ComPort->Open();
    // Not identified on this path: a restart looks for whatever answers there.
    FUnitInUse = TRestartUnit{ComPort->Port(), {}, 0};
    ComPort->SetBaud(kBaud);
    ComPort->SetEndOfResponse(kEndOfResponse);
    ComPort->SetAllowEvents(false);
    ComPort->SetShowErrors(false);
    ComPort->SetResponseTime(kResponseTimeMs);
    return true;
}

void TMERO_App::DemoStart()
{
    UserPrompts().Information(QStringLiteral("Entering Demo Mode"));
    // Nothing is written to whatever device may sit on the port: with no
    // port bound every exchange is empty.
    FDemoMode = true;
    BindCommunication({nullptr, FEcho.get(), nullptr});
}

bool TMERO_App::DetectStart()
{
    TScanReport report;
    if (DetectDevice(&report)) {
        NoteUnitInUse();
        return true;
    }
    return NoDeviceFound(report);
}

bool TMERO_App::ReconnectStart(const TRestartUnit& lost)
{
    // The restarted instance of a MERO that lost its unit: that unit first,
    // wherever it answers now (a USB adapter comes back under another name).
    FLookingFor = lost;
    TScanReport report;
    const TReconnect found = FindLostUnit({lost.Port, lost.Model, lost.Serial}, &report);
    switch (found.Found) {
    case TReconnect::SameUnit:
        NoteUnitInUse();
        return true;
    case TReconnect::OtherUnit:
        if (UserPrompts().AskYesNo(OtherUnitText(lost, found.Port, found.Identity)) !=
            IUserPrompts::Answer::Yes) {
            ExitApp();
            return false;
        }
        ComPort->SetPort(found.Port);
        ComPort->Open();
        NoteUnitInUse();
        return true;
    case TReconnect::Nothing:
        break;
    }
    return NoDeviceFound(report);
}

void TMERO_App::NoteUnitInUse()
{
    const AppState& s = appState();
    FUnitInUse = TRestartUnit{ComPort->Port(), s.ModelName, s.SerialNumber};
}

QStringList TMERO_App::RestartArguments() const
{
    // The unit in use, else the one this instance was itself looking for.
    return ::RestartArguments(Arguments, appState().LoggingEnabled,
                              FUnitInUse ? FUnitInUse : FLookingFor);
}

bool TMERO_App::NoDeviceFound(const TScanReport& report)
{
    // Why no unit was found, behind "Show Details..." and in the log; the
    // box itself says what it always said.
    const QStringList details = ScanDetailLines(report);
    for (const QString& line : details)
        WriteLogLine(appState(), QStringLiteral("Scan: ") + line);
    switch (UserPrompts().AskYesNoWithDetails(NoDeviceText(), details.join(QLatin1Char('\n')))) {
    case IUserPrompts::Answer::Yes:
        RestartApp();
        return false;
    case IUserPrompts::Answer::No:
        if (KeyState().LeftShift()) {
            DemoStart();
            return true;
        }
        ExitApp();
        return false;
    default:
        // Dismissed without a choice: go on with the last port tried.
        return true;
    }
}

void TMERO_App::CommonSteps()
{
    ComPort->SetBaud(kBaud);
    ComPort->SetEndOfResponse(kEndOfResponse);
    if (!FDemoMode)
        ComPort->Open();
    FEcho->Clear();
    ComPort->SetResponseTime(kResponseTimeMs);
    Initialize();
    FinishStart();
}

void TMERO_App::FinishStart()
{
    if (!Running())
        return;
    // A demo start has no unit to poll.
    if (!FDemoMode)
        StatusTimer->start();
    TaskTimer->start();
    if (ComPort)
        ComPort->SetAllowEvents(true);
}

void TMERO_App::BeginEnding()
{
    FEnding = true;
    StatusTimer->stop();
    TaskTimer->stop();
    FExitRetry->stop();
    // From here on every exchange is empty and nothing reaches the port.
    UnbindCommunication();
}

void TMERO_App::RestartApp()
{
    BeginEnding();
    if (ComPort) {
        ComPort->Close();
        delete ComPort;
        ComPort = nullptr;
    }
    QThread::msleep(kRestartPauseMs);
    if (StartNewInstance)
        StartNewInstance();
    QCoreApplication::quit();
}

void TMERO_App::ExitApp()
{
    BeginEnding();
    if (ComPort)
        ComPort->Close();
    AppState& state = appState();
    if (state.LoggingEnabled) {
        state.LogFile.Close();
        state.LoggingEnabled = false;
    }
    QCoreApplication::quit();
}

void TMERO_App::Exit1Click(QObject*)
{
    if (FEnding)
        return;
    // A poll's or the pump's exchange waiting for its reply finishes first,
    // and nothing after it: no further query, read-back, recall or queued
    // command runs before the unit is told to stop pulsing. During a
    // read-back the command is refused and the program ends at once.
    if (ComPort && ComPort->InUse() && !appState().CommandsDisabled) {
        FEnding = true;
        StatusTimer->stop();
        TaskTimer->stop();
        // Whatever the waiting caller would ask next comes back empty at once.
        UnbindCommunication();
        FExitRetry->start();
        return;
    }
    {
        const TOriginScope origin({orControl, 0, {}});
        SendCommand(QStringLiteral("ST 0"));
    }
    close();
}

void TMERO_App::TryPendingExit()
{
    if (ComPort && ComPort->InUse())
        return;
    FExitRetry->stop();
    BindCommunication({ComPort, FEcho.get(), nullptr});
    {
        const TOriginScope origin({orControl, 0, {}});
        SendCommand(QStringLiteral("ST 0"));
    }
    close();
}

void TMERO_App::Initialize1Click(QObject*)
{
    Initialize();
}

void TMERO_App::closeEvent(QCloseEvent* event)
{
    // Closing sends nothing; it only makes sure no timer reaches the unit
    // while the program winds down.
    BeginEnding();
    QMainWindow::closeEvent(event);
}
