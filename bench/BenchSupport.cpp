// SPDX-License-Identifier: GPL-3.0-or-later
#include "BenchSupport.h"

#include "AppState.h"
#include "Communication.h"
#include "Discovery.h"
#include "KxComPort.h"
#include "MEROMain.h"
#include "PtyResponder.h"
#include "plussped.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <numeric>
#include <sys/resource.h>
#include <thread>

namespace
{
using Clock = std::chrono::steady_clock;

double MsSince(Clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}
} // namespace

Summary Summarize(std::vector<double> samples)
{
    Summary s;
    if (samples.empty())
        return s;
    std::sort(samples.begin(), samples.end());
    const size_t n = samples.size();
    s.count = int(n);
    s.mean = std::accumulate(samples.begin(), samples.end(), 0.0) / double(n);
    s.median = n % 2 ? samples[n / 2] : (samples[n / 2 - 1] + samples[n / 2]) / 2;
    // Nearest rank: the smallest sample at or above 99 % of all.
    s.p99 = samples[std::min(n - 1, size_t(std::ceil(0.99 * double(n))) - 1)];
    s.min = samples.front();
    s.max = samples.back();
    return s;
}

double CpuSeconds(int who)
{
    rusage u{};
    getrusage(who, &u);
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

double TimePause()
{
    const Clock::time_point start = Clock::now();
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
    return MsSince(start);
}

QByteArray TimeQuery(const QByteArray& mnemonic, double& ms)
{
    const Clock::time_point start = Clock::now();
    const QByteArray reply = QueryText(mnemonic);
    ms = MsSince(start);
    return reply;
}

void WaitWithEvents(int ms)
{
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < ms)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
}

double ScanMs(AppState& state)
{
    TKxComPort port;
    port.SetShowErrors(false);
    ScopedCommLink link({&port, nullptr, &state});
    const Clock::time_point start = Clock::now();
    DetectDevice();
    return MsSince(start);
}

double SilentWaitCpuPercent(TKxComPort& port, int ms, bool allowEvents)
{
    port.SetAllowEvents(allowEvents);
    port.SetResponseTime(quint32(ms));
    QTimer pump;
    pump.start(5);
    const double cpu0 = CpuSeconds(RUSAGE_SELF);
    const Clock::time_point start = Clock::now();
    port.Read();
    const double wall = MsSince(start) / 1000.0;
    return 100.0 * (CpuSeconds(RUSAGE_SELF) - cpu0) / wall;
}

std::vector<double> ChangeToWire(TMERO_App& window, const PtyResponder& unit, int samples,
                                 int& lost)
{
    auto* current = window.findChild<TPlusSpinEdit*>(QStringLiteral("ISettingAdj"));
    std::vector<double> delays;
    lost = 0;
    for (int i = 0; i < samples; ++i) {
        // Changes fall at any moment of the timer's period.
        WaitWithEvents(int(QRandomGenerator::global()->bounded(3, 12)));
        const long long before = unit.lines();
        const Clock::time_point start = Clock::now();
        current->AssignValue(double(i % 2 ? 1 : 2));
        QElapsedTimer deadline;
        deadline.start();
        while (unit.lines() == before && deadline.elapsed() < 1000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
        if (unit.lines() == before) {
            ++lost;
            continue;
        }
        delays.push_back(
            std::chrono::duration<double, std::milli>(unit.lastLineAt() - start).count());
        while (appState().TaskBusy)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
    }
    return delays;
}
