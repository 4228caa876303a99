// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "CommLog.h"
#include "CommandQueue.h"

#include <QByteArray>
#include <QString>

// The plain fields of the application state (everything but the log file).
struct AppStateFields {
    // Run-time flags
    bool CommandsDisabled = false;
    bool LoggingEnabled = false;
    bool StatusBusy = false;
    bool TaskBusy = false;
    bool RecallPending = false;
    // Exchanges under way (nested ones included) and a log-failure box owed
    // until the outermost one has ended.
    int ExchangeDepth = 0;
    bool LogFailureOwed = false;

    // Cached device settings
    qint32 ConfigCode = 0;
    double MaxCurrent = 0;
    double MaxRate = 0;
    double ComplianceVoltage = 0;
    double CurrentSetting = 0;
    double RepRate = 0;
    double PulseWidth = 0;
    qint32 BurstCount = 0;
    qint32 StorageBin = 0;
    qint32 SelectedBin = 0;
    qint32 TempFaultBypass = 0;
    qint32 InterlockBypass = 0;
    qint32 PulseEnable = 0;
    qint32 DriverEnabled = 0;
    qint32 DriverStarted = 0;
    qint32 InterlockControl = 0;
    qint32 PulseMode = 0;
    double QSwitchDelay = 0;
    qint32 QSwitchEnable = 0;
    qint32 ExtTrigger = 0;
    qint32 SyncSetting = 0;
    double SpareAnalogOut = 0;
    qint32 BadgeNumber = 0;

    // Measurements
    double CurrentMeasurement = 0;
    double VoltageMeasurement = 0;
    qint32 ThermistorA = 0;
    qint32 ThermistorB = 0;
    double PhotoDiode = 0;
    double SpareAnalogIn = 0;
    qint32 SpareIn1 = 0;
    qint32 SpareIn2 = 0;
    qint32 SpareIn3 = 0;
    qint32 StatusWord = 0;

    // Identity of the unit (8-bit texts)
    QByteArray CompanyName;
    QByteArray ModelName;
    qint32 SerialNumber = 0;
    QByteArray FirmwareVersion;

    // Logging inputs
    QByteArray UserName; // environment variable USERNAME at start-up
    QByteArray LogStamp; // "mm-dd-yy_hh-nn-ss" of start-up

    // Transport: last line written to the port, without CR LF
    QString LastCommand;

    // The operator's commands waiting for the task pump
    TCommandQueue CommandQueue;
};

// The program's one record of run-time state. One instance per process
// (appState()), created before the main window and alive until the end. At
// start every flag is false, every number 0 and every text empty.
struct AppState : AppStateFields {
    CommLog LogFile;

    // Back to the start values; closes the log file and drops its name and
    // state handler. Tests use it between cases.
    void Reset();
};

// The process-wide instance.
AppState& appState();

// Start-up steps of the log: LoggingEnabled false, UserName from USERNAME,
// LogStamp from now, LogFile bound. Creates nothing.
void PrepareLogging(AppState& state, const QDateTime& now = QDateTime::currentDateTime());

// "mm-dd-yy_hh-nn-ss"
QByteArray FormatLogStamp(const QDateTime& t);
