// SPDX-License-Identifier: GPL-3.0-or-later
// The once-a-second status poll: measurements, status word, lamps and bars.
#include "MEROMain.h"

#include "ui_MEROMain.h"

#include "AppState.h"
#include "Communication.h"
#include "ExchangeObserver.h"
#include "KxComPort.h"
#include "NumberFormat.h"
#include "UserPrompts.h"
#include "ValueFormat.h"

#include <QScopeGuard>
#include <QTimer>

void TMERO_App::StatusTimerTimer(QObject*)
{
    if (FEnding || FDemoMode)
        return;
    // Skipped, not queued: while the pump sends, or while any reply is
    // awaited further up the stack (the port test must never re-open the
    // port under a waiting read).
    if (appState().TaskBusy || !ComPort || ComPort->InUse())
        return;
    StatusTimer->stop();
    auto restart = qScopeGuard([this] {
        if (!FEnding)
            StatusTimer->start();
    });
    UpdateStatus();
}

void TMERO_App::UpdateStatus()
{
    if (!ComPort->Open()) {
        if (UserPrompts().AskYesNo(QStringLiteral("Port no longer available, restart?")) ==
            IUserPrompts::Answer::Yes)
            RestartApp();
        else
            ExitApp();
        return;
    }

    AppState& state = appState();
    state.StatusBusy = true;
    auto clearBusy = qScopeGuard([&state] { state.StatusBusy = false; });
    // The measurements observer brackets the poll; only a poll that ends is a sample.
    if (IExchangeObserver* observer = ExchangeObserver())
        observer->PollStarted();

    if (state.ConfigCode == 1) {
        state.ThermistorA = QueryInteger("AT");
        ui->ThermistorAlbl->setText(QStringLiteral("Thermistor A: ") +
                                    QString::number(state.ThermistorA));
        state.ThermistorB = QueryInteger("BT");
        ui->ThermistorBlbl->setText(QStringLiteral("Thermistor B: ") +
                                    QString::number(state.ThermistorB));
        state.PhotoDiode = QueryFloat("PD");
        ui->PhotoDiodelbl->setText(QStringLiteral("PhotoDiode: ") +
                                   FormatGeneral(state.PhotoDiode));
        state.SpareAnalogIn = QueryFloat("AI");
        ui->SpareAnalogInlbl->setText(QStringLiteral("Spare Analog In: ") +
                                      FormatGeneral(state.SpareAnalogIn));
        state.SpareIn1 = QueryInteger("I1");
        ui->SpareIn1Light->setLit(state.SpareIn1 > 0);
        state.SpareIn2 = QueryInteger("I2");
        ui->SpareIn2Light->setLit(state.SpareIn2 > 0);
        state.SpareIn3 = QueryInteger("I3");
        ui->SpareIn3Light->setLit(state.SpareIn3 > 0);
    }

    state.CurrentMeasurement = QueryFloat("CM");
    ui->CurrentMeasureBar->SetPosition(NumberFormat::RoundToInt32(state.CurrentMeasurement));
    ui->IMeasurelbl->setText(QStringLiteral("Current Measurement: ") +
                             FormatGeneral(state.CurrentMeasurement));

    state.VoltageMeasurement = QueryFloat("VM");
    ui->VoltageMeasureBar->SetPosition(NumberFormat::RoundToInt32(state.VoltageMeasurement * 100));
    ui->VMeasurelbl->setText(QStringLiteral("Voltage Measurement: ") +
                             FormatGeneral(state.VoltageMeasurement));

    state.StatusWord = QueryInteger("SS");
    ApplyStatusWord(state.StatusWord);
    if (IExchangeObserver* observer = ExchangeObserver())
        observer->PollEnded();
}

void TMERO_App::ApplyStatusWord(qint32 word)
{
    AppState& state = appState();
    auto bit = [word](int n) { return (word >> n) & 1; };

    ui->EnabledLight->setLit(bit(0));
    state.DriverEnabled = bit(0);
    ui->Enablebtn->setText(bit(0) ? QStringLiteral("Disable") : QStringLiteral("Enable"));
    ui->Startbtn->setEnabled(bit(0));

    ui->ActiveLight->setLit(bit(1));
    state.DriverStarted = bit(1);
    ui->Startbtn->setText(bit(1) ? QStringLiteral("Stop") : QStringLiteral("Start"));

    ui->ReadyLight->setLit(bit(2));
    ui->FaultLight->setLit(bit(3));
    ui->IntlkCntrlLight->setLit(bit(4));
    ui->OverTempLight->setLit(bit(5));
    ui->CrowbarLight->setLit(bit(6));
    // Bit 7 has no lamp; bits 8 and 9 are shown also while their lamps are hidden.
    ui->ExtTrigLight->setLit(bit(8));
    ui->QSWLight->setLit(bit(9));
}
