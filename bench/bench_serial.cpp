// SPDX-License-Identifier: GPL-3.0-or-later
// Prints the processor time of a reply wait that gets no reply, and the
// round-trip time of query exchanges with a unit that answers at once.
#include "BenchSupport.h"
#include "Communication.h"
#include "KxComPort.h"
#include "PtyResponder.h"
#include "ScriptedPrompts.h"

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>

#include <cstdio>
#include <vector>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    ScriptedPrompts prompts;
    QTemporaryDir dir;
    qputenv("MERO_COM_DIR", QFile::encodeName(dir.path()));
    PtyResponder unit(dir.path(), 9);

    TKxComPort port;
    port.SetPort(9);
    port.SetBaud(115200);
    port.SetEndOfResponse("\r");
    port.SetShowErrors(false);
    if (!port.Open()) {
        std::fprintf(stderr, "cannot open the pseudo-terminal port\n");
        return 1;
    }

    unit.setSilent(true);
    for (bool allowEvents : {false, true})
        std::printf("Read waiting 2 s for no reply (AllowEvents %s): %.2f %% of one core "
                    "(goal < 2 %%)\n",
                    allowEvents ? "on" : "off", SilentWaitCpuPercent(port, 2000, allowEvents));
    unit.setSilent(false);

    port.SetResponseTime(5000);
    port.SetAllowEvents(false);
    ScopedCommLink link({&port, nullptr, nullptr});
    constexpr int Exchanges = 1000;
    std::vector<double> exchanges, pauses;
    int answered = 0;
    for (int i = 0; i < Exchanges; ++i) {
        // Interleaved, so both see the same load on the machine.
        pauses.push_back(TimePause());
        double ms = 0;
        answered += TimeQuery("X", ms) == "1";
        exchanges.push_back(ms);
    }
    const Summary x = Summarize(exchanges);
    const Summary p = Summarize(pauses);
    std::printf("%d query exchanges (%d answered): median %.3f ms, mean %.3f ms, p99 %.3f ms "
                "(goal: median < 1.3 ms)\n",
                Exchanges, answered, x.median, x.mean, x.p99);
    std::printf("the 1 ms pause alone: median %.3f ms, mean %.3f ms; the exchange adds %.3f ms "
                "(median)\n",
                p.median, p.mean, x.median - p.median);
    return answered == Exchanges ? 0 : 1;
}
