// SPDX-License-Identifier: GPL-3.0-or-later
// Prints the delay from an operator's change of a setting control to its
// command line arriving at the unit, with an idle link: the window as the
// program runs it (5 ms task timer, reply waits dispatching events) and a
// unit on a pseudo-terminal that answers at once.
#include "BenchSupport.h"
#include "KxComPort.h"
#include "MEROMain.h"
#include "PtyResponder.h"
#include "ScriptedPrompts.h"

#include <QApplication>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int samples = argc > 1 ? std::max(10, atoi(argv[1])) : 300;

    QTemporaryDir dir;
    qputenv("MERO_COM_DIR", QFile::encodeName(dir.path()));
    PtyResponder unit(dir.path(), 31, "OK\r");
    NoKeys keys;
    InstallKeyState(&keys);
    ScriptedPrompts prompts;

    TMERO_App window;
    TKxComPort* port = window.ComPort;
    port->SetShowErrors(false);
    port->SetEndOfResponse("\r");
    port->SetPort(unit.comNumber());
    port->SetResponseTime(1000);
    port->Open();
    port->SetAllowEvents(true);
    window.TaskTimer->start();

    int lost = 0;
    const Summary d = Summarize(ChangeToWire(window, unit, samples, lost));
    InstallKeyState(nullptr);
    if (d.count == 0) {
        std::printf("no line arrived\n");
        return 1;
    }
    std::printf("Change to wire, idle link, %d changes (%d lost):\n", d.count, lost);
    std::printf("  median %.2f ms (goal < 10 ms), mean %.2f ms, p99 %.2f ms, min %.2f ms, "
                "max %.2f ms\n",
                d.median, d.mean, d.p99, d.min, d.max);
    return 0;
}
