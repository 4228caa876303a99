// Prints the delay from an operator's change of a setting control to its
// command line arriving at the unit, with an idle link: the window as the
// program runs it (5 ms task timer, reply waits dispatching events) and a
// unit on a pseudo-terminal that answers at once.
#include "AppState.h"
#include "KeyState.h"
#include "KxComPort.h"
#include "MEROMain.h"
#include "PtyUnit.h"
#include "ScriptedPrompts.h"
#include "plussped.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <vector>

namespace
{
using Clock = std::chrono::steady_clock;

class NoKeys : public IKeyState
{
public:
    bool LeftShift() override { return false; }
    bool RightShift() override { return false; }
    bool Control() override { return false; }
};

void Wait(int ms)
{
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < ms)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
}
} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int samples = argc > 1 ? std::max(10, atoi(argv[1])) : 300;

    PtyUnit unit(31);
    std::atomic<Clock::rep> arrived{0};
    unit.onAnyLine([&](const QByteArray&) {
        arrived = Clock::now().time_since_epoch().count();
        return PtyReply::Now("OK\r");
    });
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
    auto* current = window.findChild<TPlusSpinEdit*>("ISettingAdj");

    std::vector<double> delays;
    int lost = 0;
    for (int i = 0; i < samples; ++i) {
        // Changes fall at any moment of the timer's period.
        Wait(int(QRandomGenerator::global()->bounded(3, 12)));
        arrived = 0;
        const Clock::time_point start = Clock::now();
        current->AssignValue(double(i % 2 ? 1 : 2));
        QElapsedTimer deadline;
        deadline.start();
        while (arrived == 0 && deadline.elapsed() < 1000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
        if (arrived == 0) {
            ++lost;
            continue;
        }
        delays.push_back(std::chrono::duration<double, std::milli>(Clock::duration(arrived.load()) -
                                                                   start.time_since_epoch())
                             .count());
        while (appState().TaskBusy)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
    }
    InstallKeyState(nullptr);
    if (delays.empty()) {
        std::printf("no line arrived\n");
        return 1;
    }
    std::sort(delays.begin(), delays.end());
    auto at = [&](double q) { return delays[size_t(q * double(delays.size() - 1))]; };
    double sum = 0;
    for (double d : delays)
        sum += d;
    std::printf("Change to wire, idle link, %zu changes (%d lost):\n", delays.size(), lost);
    std::printf("  median %.2f ms (goal < 10 ms), mean %.2f ms, p90 %.2f ms, p99 %.2f ms, "
                "min %.2f ms, max %.2f ms\n",
                at(0.5), sum / double(delays.size()), at(0.9), at(0.99), delays.front(),
                delays.back());
    return 0;
}
