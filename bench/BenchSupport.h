// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "KeyState.h"

#include <QByteArray>

#include <vector>

struct AppState;
class PtyResponder;
class TKxComPort;
class TMERO_App;

// Measurement pieces shared by the benchmark programs. Times are in
// milliseconds, measured with a monotonic clock.

struct Summary {
    int count = 0;
    double mean = 0, median = 0, p99 = 0, min = 0, max = 0;
};
// Empty samples give a summary of zeros.
Summary Summarize(std::vector<double> samples);

// Processor time (user + system) in seconds: RUSAGE_SELF or RUSAGE_THREAD.
double CpuSeconds(int who);

// One bare 1 ms sleep, timed like an exchange: the floor under every exchange.
double TimePause();
// One query exchange through the program's transport (the port must be bound
// through the current link): its time in ms, and the trimmed reply.
QByteArray TimeQuery(const QByteArray& mnemonic, double& ms);

// Runs the event loop for ms milliseconds.
void WaitWithEvents(int ms);

// One start-up scan over COM1..COM100 with MERO_COM_DIR as it is set now.
double ScanMs(AppState& state);

// Processor use, in percent of one core, of the whole process while the port
// waits ms milliseconds for a reply that never comes (a 5 ms timer runs
// beside it, as the task pump would).
double SilentWaitCpuPercent(TKxComPort& port, int ms, bool allowEvents);

// Delays from a change of the current setting in the window to its line
// arriving at the responder, idle link, changes at random moments of the
// task timer's period. The window's port must be open on the responder and
// its task timer running. Changes whose line never came count in lost.
std::vector<double> ChangeToWire(TMERO_App& window, const PtyResponder& unit, int samples,
                                 int& lost);

// No modifier key is ever held.
class NoKeys : public IKeyState
{
public:
    bool LeftShift() override { return false; }
    bool RightShift() override { return false; }
    bool Control() override { return false; }
};
