// SPDX-License-Identifier: GPL-3.0-or-later
// The once-a-second status poll: measurements, status word, lamps and bars.
#include "MEROMain.h"

#include "ui_MEROMain.h"

#include "AppState.h"
#include "Communication.h"
#include "KxComPort.h"
#include "LineSubmitter.h"
#include "MeasureSession.h"
#include "NumberFormat.h"
#include "PollReadings.h"
#include "StatusBits.h"
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
        if (Running())
            StatusTimer->start();
    });
    UpdateStatus();
}

void TMERO_App::UpdateStatus()
{
    // The port is tested where it is: never closed, unlocked or re-opened.
    if (!ComPort->StillPresent()) {
        AskRestartAfterLoss();
        return;
    }

    AppState& state = appState();
    state.StatusBusy = true;
    auto clearBusy = qScopeGuard([&state] { state.StatusBusy = false; });
    const TOriginScope origin({orPoll, 0, {}});

    TMeasureSample sample;
    sample.Ms = Measurements->Clock();
    // A reading that may be another line's reply, or that never came because
    // the port failed, leaves its field, label, lamp or bar as it was.
    static_cast<TPollReadings&>(sample) =
        ReadPoll(state.ConfigCode == 1, [&](TReadingId id, const TReading& r) {
            if (r.State == rsUntrusted || r.State == rsNotSent)
                return;
            switch (id) {
            case rdThermistorA:
                state.ThermistorA = qint32(r.Value);
                ui->ThermistorAlbl->setText(QStringLiteral("Thermistor A: ") +
                                            QString::number(state.ThermistorA));
                break;
            case rdThermistorB:
                state.ThermistorB = qint32(r.Value);
                ui->ThermistorBlbl->setText(QStringLiteral("Thermistor B: ") +
                                            QString::number(state.ThermistorB));
                break;
            case rdPhotoDiode:
                state.PhotoDiode = r.Value;
                ui->PhotoDiodelbl->setText(QStringLiteral("PhotoDiode: ") +
                                           FormatGeneral(state.PhotoDiode));
                break;
            case rdSpareAnalogIn:
                state.SpareAnalogIn = r.Value;
                ui->SpareAnalogInlbl->setText(QStringLiteral("Spare Analog In: ") +
                                              FormatGeneral(state.SpareAnalogIn));
                break;
            case rdSpareIn1:
                state.SpareIn1 = qint32(r.Value);
                ui->SpareIn1Light->setLit(state.SpareIn1 > 0);
                break;
            case rdSpareIn2:
                state.SpareIn2 = qint32(r.Value);
                ui->SpareIn2Light->setLit(state.SpareIn2 > 0);
                break;
            case rdSpareIn3:
                state.SpareIn3 = qint32(r.Value);
                ui->SpareIn3Light->setLit(state.SpareIn3 > 0);
                break;
            case rdCurrent:
                state.CurrentMeasurement = r.Value;
                ui->CurrentMeasureBar->SetPosition(
                    NumberFormat::RoundToInt32(state.CurrentMeasurement));
                ui->IMeasurelbl->setText(QStringLiteral("Current Measurement: ") +
                                         FormatGeneral(state.CurrentMeasurement));
                break;
            case rdVoltage:
                state.VoltageMeasurement = r.Value;
                ui->VoltageMeasureBar->SetPosition(
                    NumberFormat::RoundToInt32(state.VoltageMeasurement * 100));
                ui->VMeasurelbl->setText(QStringLiteral("Voltage Measurement: ") +
                                         FormatGeneral(state.VoltageMeasurement));
                break;
            case rdStatusWord:
                state.StatusWord = qint32(r.Value);
                ApplyStatusWord(state.StatusWord);
                break;
            case rdCount:
                break;
            }
        });
    // The limits the bars and reference lines stand for at this poll.
    sample.MaxCurrent = state.MaxCurrent;
    sample.ComplianceVoltage = state.ComplianceVoltage;
    Measurements->AddSample(sample);
}

void TMERO_App::ApplyStatusWord(qint32 word)
{
    AppState& state = appState();
    auto bit = [word](int n) { return (word >> n) & 1; };

    // Every lamp of the status bits, bit 0 first; bits 8 and 9 are shown
    // also while their lamps are hidden, bit 7 has none.
    for (size_t i = 0; i < kStatusBits.size(); ++i) {
        const int n = kStatusBits[i].Bit;
        FStatusLamps[i]->setLit(bit(n));
        if (n == 0) {
            state.DriverEnabled = bit(0);
            ui->Enablebtn->setText(bit(0) ? QStringLiteral("Disable") : QStringLiteral("Enable"));
            ui->Startbtn->setEnabled(bit(0));
        } else if (n == 1) {
            state.DriverStarted = bit(1);
            ui->Startbtn->setText(bit(1) ? QStringLiteral("Stop") : QStringLiteral("Start"));
        }
    }
}
