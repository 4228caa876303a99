// SPDX-License-Identifier: GPL-3.0-or-later
// Prints the processor time the main window uses while its unit is silent:
// every status query waits the full 5 s response time, both timers run and
// the window keeps handling events. Goal: under 5 % of one core.
#include "AppState.h"
#include "BenchSupport.h"
#include "KxComPort.h"
#include "MEROMain.h"
#include "PtyUnit.h"
#include "ScriptedPrompts.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>

#include <cstdio>
#include <sys/resource.h>

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int seconds = argc > 1 ? std::max(1, atoi(argv[1])) : 20;
    ScriptedPrompts prompts;
    PtyUnit unit(7); // answers nothing

    TMERO_App window;
    window.show();
    TKxComPort* port = window.ComPort;
    port->SetShowErrors(false);
    port->SetBaud(115200);
    port->SetEndOfResponse("#13");
    port->SetPort(unit.comNumber());
    port->SetResponseTime(5000);
    port->Open();
    port->SetAllowEvents(true);
    window.StatusTimer->start();
    window.TaskTimer->start();

    QElapsedTimer wall;
    const double process0 = CpuSeconds(RUSAGE_SELF);
    const double thread0 = CpuSeconds(RUSAGE_THREAD);
    wall.start();
    QTimer::singleShot(seconds * 1000, &app, &QCoreApplication::quit);
    app.exec();
    const double elapsed = double(wall.elapsed()) / 1000.0;
    const double process = CpuSeconds(RUSAGE_SELF) - process0;
    const double thread = CpuSeconds(RUSAGE_THREAD) - thread0;
    std::printf("Silent unit, %.1f s with the window polling (%d queries sent):\n"
                "  process: %.0f ms processor time = %.2f %% of one core (goal < 5 %%)\n"
                "  GUI thread alone: %.0f ms = %.2f %%\n",
                elapsed, int(unit.lines().size()), process * 1000, 100 * process / elapsed,
                thread * 1000, 100 * thread / elapsed);
    return 0;
}
