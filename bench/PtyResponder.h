// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>

#include <atomic>
#include <chrono>
#include <thread>

// The quickest unit there can be: a pseudo-terminal linked as <dir>/COM<n>
// whose own thread answers every CR-terminated line at once with one fixed
// reply (LF bytes are ignored). It keeps its slave end open in raw mode and
// never locks it, so a port or another client can open and close the link at
// will. Benchmarks time the program against it, so all the time they measure
// is spent on the program's side of the line.
class PtyResponder
{
public:
    using Clock = std::chrono::steady_clock;

    PtyResponder(const QString& dir, int comNumber, const QByteArray& reply = "1\r");
    ~PtyResponder();
    PtyResponder(const PtyResponder&) = delete;
    PtyResponder& operator=(const PtyResponder&) = delete;

    int comNumber() const { return com; }
    QString linkPath() const { return link; }

    // While silent, lines are counted but not answered.
    void setSilent(bool on) { silent = on; }
    long long lines() const { return count; }
    // When the CR of the latest line arrived.
    Clock::time_point lastLineAt() const { return Clock::time_point(Clock::duration(lastAt)); }

private:
    void run();

    int com;
    QString link;
    QByteArray answer;
    int master = -1;
    int slave = -1;
    int wake[2] = {-1, -1};
    std::atomic<bool> silent{false};
    std::atomic<long long> count{0};
    std::atomic<Clock::rep> lastAt{0};
    std::thread worker;
};
