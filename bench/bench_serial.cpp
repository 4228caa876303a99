// Prints the processor time of a reply wait that gets no reply, and the
// round-trip time of query exchanges with a unit that answers at once.
#include "AppState.h"
#include "Communication.h"
#include "KxComPort.h"
#include "PtyUnit.h"
#include "ScriptedPrompts.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>

#include <chrono>
#include <cstdio>
#include <sys/resource.h>
#include <thread>

namespace
{

double ThreadCpuSeconds()
{
    rusage u{};
    getrusage(RUSAGE_THREAD, &u);
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

void IdleWait(TKxComPort& port, bool allowEvents)
{
    port.SetAllowEvents(allowEvents);
    port.SetResponseTime(2000);
    QElapsedTimer wall;
    const double cpu0 = ThreadCpuSeconds();
    wall.start();
    port.Read();
    const double cpu = ThreadCpuSeconds() - cpu0;
    const double seconds = double(wall.elapsed()) / 1000.0;
    std::printf("Read waiting %.2f s for no reply (AllowEvents %s): %.1f ms processor time = "
                "%.2f %% of one core (goal < 2 %%)\n",
                seconds, allowEvents ? "on" : "off", cpu * 1000.0, 100.0 * cpu / seconds);
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    ScriptedPrompts prompts;
    PtyUnit unit(9);
    unit.onLine(";DC:X?", "1\r");

    TKxComPort port;
    port.SetPort(9);
    port.SetBaud(115200);
    port.SetEndOfResponse("\r");
    port.SetShowErrors(false);
    if (!port.Open()) {
        std::fprintf(stderr, "cannot open the pseudo-terminal port\n");
        return 1;
    }

    // A steady 5 ms timer, as the main window's task pump would run.
    QTimer pump;
    pump.start(5);
    IdleWait(port, false);
    IdleWait(port, true);
    pump.stop();

    port.SetResponseTime(5000);
    port.SetAllowEvents(false);
    ScopedCommLink link({&port, nullptr, nullptr});
    constexpr int Exchanges = 1000;
    QElapsedTimer wall;
    wall.start();
    int answered = 0;
    for (int i = 0; i < Exchanges; ++i)
        answered += QueryText("X") == "1";
    const double perExchange = double(wall.nsecsElapsed()) / 1e6 / Exchanges;
    std::printf("%d query exchanges (%d answered): %.3f ms per exchange, of which 1 ms is the "
                "fixed pause; overhead %.3f ms (goal < 1.3 ms per exchange)\n",
                Exchanges, answered, perExchange, perExchange - 1.0);

    // The pause alone, as the scheduler delivers it on this machine right now.
    wall.restart();
    for (int i = 0; i < Exchanges; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    const double pause = double(wall.nsecsElapsed()) / 1e6 / Exchanges;
    std::printf("the 1 ms pause alone takes %.3f ms here; the exchange adds %.3f ms to it\n", pause,
                perExchange - pause);
    return answered == Exchanges ? 0 : 1;
}
