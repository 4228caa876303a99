// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "CommandQueue.h"
#include "LineSubmitter.h"
#include "Restart.h"
#include "StatusBits.h"
#include "Switches.h"

#include <QChar>
#include <QMainWindow>
#include <QPointer>
#include <QSize>
#include <QStringList>

#include <array>
#include <functional>
#include <memory>
#include <optional>

class QLineEdit;
class QTimer;
class QWidget;
class TLamp;
struct TScanReport;
struct TUnitSettings;
class TKxComPort;
class TMeasureSession;
class TMeasureWindow;
class TmvVersionInfo;
class TResponseListEcho;
class TTerminalAssist;
class TTaskPump;
class TTransportPumpHost;

namespace Ui
{
class TMERO_App;
}

// The main window: every control of the program, the serial port, the two
// timers, the start-up sequence, the read-back of the unit's settings and the
// status poll.
//
// Life: construct, then FormCreate runs the start-up sequence; when Ending()
// is false afterwards the window is shown and the event loop runs. ExitApp and
// RestartApp make the window end for good ("ending"): both timers stop, the
// transport is unbound, the port is released (RestartApp) and nothing touches
// the unit again; they only ask the application to quit, so their callers
// return at once.
//
// Handlers are grouped in files by concern: MEROStartup.cpp (start-up and
// shutdown), MEROReadback.cpp, MEROStatus.cpp and the operator handlers.
class TMERO_App : public QMainWindow
{
    Q_OBJECT

public:
    explicit TMERO_App(QWidget* parent = nullptr);
    ~TMERO_App() override;

    // --- start-up and shutdown (MEROStartup.cpp)
    void FormCreate(QObject* Sender);
    void RestartApp();
    void ExitApp();
    void Exit1Click(QObject* Sender);
    // A reference, so the task pump can watch it.
    const bool& Ending() const { return FEnding; }
    bool DemoMode() const { return FDemoMode; }

    // --- read-back (MEROReadback.cpp). Asked for while a reply is awaited or
    // while a read-back runs, it is left to the task pump (ReadBackPending).
    void Initialize();

    // --- status poll (MEROStatus.cpp)
    void StatusTimerTimer(QObject* Sender);
    void UpdateStatus();

    // --- the one way to the wire (MEROPump.cpp): the task pump is the
    // program's line submitter; QueuedCommandToPort submits a control's set
    // command or the terminal's line to it.
    ILineSubmitter& Submitter();
    void QueuedCommandToPort(const QString& commandstr, TQueueKind kind = qkSetCommand);
    void ProcessTasks();

    // Switches the communication log; the menu mark follows its real state.
    void ToggleLoggingState();

    // Operator handlers that tests drive directly; the rest are private.
    void PulseModeSelChange(QObject* Sender);
    void TempFaultBypChange(QObject* Sender);
    void IntlkCntrlBypChange(QObject* Sender);
    void PulseEnableOffChange(QObject* Sender);
    void ExtTrigSelChange(QObject* Sender);
    void SyncSettingSelChange(QObject* Sender);
    void StartbtnClick(QObject* Sender);

    // The window "MERO Measurements" once View > Measurements opened it.
    TMeasureWindow* MeasureWindow() const;

    // Sets the outer size of the window (frame included where the window
    // manager draws one); the client area follows when the frame is known.
    void SetOuterSize(int width, int height);

    Ui::TMERO_App* const ui;
    // Null after RestartApp has released it.
    TKxComPort* ComPort;
    QTimer* const StatusTimer;
    QTimer* const TaskTimer;
    // The measurements of this run: collects from the first poll on, whether
    // the window "MERO Measurements" is open or not.
    TMeasureSession* const Measurements;

    // A read-back asked for while the port was busy; the task pump runs it.
    bool ReadBackPending = false;

    // Process services, replaceable in tests: the command line (program name
    // first) and the start of a new instance of the program.
    QStringList Arguments;
    std::function<void()> StartNewInstance;
    // What a restart passes the new instance: the switches this one was
    // started with (not the picker's), the log when it is on, and the unit in
    // use (or the one still looked for) so that the new instance finds it.
    QStringList RestartArguments() const;

protected:
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    // --- operator handlers, connected in the constructor
    void Initialize1Click(QObject* Sender);
    void TaskTimerTimer(QObject* Sender);
    void EnableLoggingMenuClick(QObject* Sender);
    void About1Click(QObject* Sender);
    void ISettingAdjChange(QObject* Sender);
    void RepRateAdjChange(QObject* Sender);
    void PulseWidthAdjChange(QObject* Sender);
    void BurstCountAdjChange(QObject* Sender);
    void MaxCurrentAdjChange(QObject* Sender);
    void ComplianceVAdjChange(QObject* Sender);
    void MaximumRateAdjChange(QObject* Sender);
    void StorageBinSelChange(QObject* Sender);
    void SaveBinClick(QObject* Sender);
    void RecallBinClick(QObject* Sender);
    void QSWEnableGrpClick(QObject* Sender);
    void QSWDelayAdjChange(QObject* Sender);
    void SpareAnalogOutAdjChange(QObject* Sender);
    void EnablebtnClick(QObject* Sender);
    void IntrlkCntrlGrpClick(QObject* Sender);
    // Key press handlers get the typed character; setting Key to a null
    // character swallows the key.
    void SendEditKeyPress(QObject* Sender, QChar& Key);
    void SendbtnClick(QObject* Sender);
    void SNEditKeyPress(QObject* Sender, QChar& Key);
    void BadgeEditKeyPress(QObject* Sender, QChar& Key);
    void ConfigEditKeyPress(QObject* Sender, QChar& Key);
    void ReloadClick(QObject* Sender);
    void MeasurementsClick(QObject* Sender);

    void ConnectHandlers();
    void ApplyFonts();
    void ShowInitialComboTexts();
    void ApplyOuterSize();
    void FitBottomRow();

    // start-up
    bool PickerStart();
    void DemoStart();
    bool DetectStart();
    bool ReconnectStart(const TRestartUnit& lost);
    bool NoDeviceFound(const TScanReport& report);
    void NoteUnitInUse();
    void CommonSteps();
    void FinishStart();
    void BeginEnding();
    void TryPendingExit();

    // read-back
    bool SkipReadBack();
    QList<QWidget*> SettingControls() const;
    void SetSettingControlsEnabled(bool enabled);
    void ShowSettings(const TUnitSettings& unit);
    void ShowIdentity();
    void ShowVariant(bool extended);
    QString Caption(bool extended) const;

    // status
    void ApplyStatusWord(qint32 word);

    // the unit lost (MEROLoss.cpp)
    void PortLost();
    void AskAfterLoss();
    void AskRestartAfterLoss();
    bool FLossAsked = false;
    bool FPortLost = false;
    // Neither ending nor the unit lost: the timers may run.
    bool Running() const { return !FEnding && !FPortLost; }
    // The lamps of the status bits, in the table's order.
    std::array<TLamp*, kStatusBits.size()> FStatusLamps{};

    // measurements
    void StartMeasurements();
    void ShowRecordingFailure(const QString& message);

    // operator commands
    TTaskPump& Pump();
    void QueueSetting(const QString& commandText);
    void ApplyValueFloors();
    void SetRepRateLimit(double maxRate);
    void ProductionEnter(const char* mnemonic, QLineEdit* edit, qint32& field);

    // terminal (MEROTerminal.cpp)
    void SetUpTerminal();
    TTerminalAssist* FTerminal = nullptr;

    TmvVersionInfo* const VersionInfo;
    std::unique_ptr<TResponseListEcho> FEcho;
    // Built on first use; the host outlives the pump that refers to it.
    std::unique_ptr<TTransportPumpHost> FPumpHost;
    std::unique_ptr<TTaskPump> FPump;
    StartSwitches FSwitches;
    std::optional<TRestartUnit> FUnitInUse;  // identified, or picked by hand
    std::optional<TRestartUnit> FLookingFor; // the restart's unit, not yet found
    QSize FOuterSize;
    QTimer* FExitRetry;
    bool FEnding = false;
    bool FDemoMode = false;
    bool FReadBackRunning = false;
    QPointer<TMeasureWindow> FMeasureWindow;
};
