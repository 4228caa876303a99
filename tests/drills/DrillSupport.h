// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Small helpers shared by the fault drills.

#include <QElapsedTimer>
#include <QFile>
#include <QTimer>

#include <functional>
#include <unistd.h>

// AddressSanitizer keeps freed blocks in a quarantine (256 MB by default), so in
// that build resident memory says nothing about the program's own use.
#if defined(__SANITIZE_ADDRESS__)
inline constexpr bool ResidentMemoryIsMeaningful = false;
#else
inline constexpr bool ResidentMemoryIsMeaningful = true;
#endif

// Resident memory of this process in KiB (from /proc/self/statm).
inline qint64 ResidentKiB()
{
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly))
        return -1;
    const QList<QByteArray> fields = statm.readAll().split(' ');
    if (fields.size() < 2)
        return -1;
    return fields[1].toLongLong() * (::sysconf(_SC_PAGESIZE) / 1024);
}

// Runs action once, from the event loop, as soon as condition holds (checked
// every millisecond while events are dispatched, e.g. inside a reply wait).
// The watcher is a child of parent and stops after it fired.
inline QTimer* WhenReady(QObject* parent, std::function<bool()> condition,
                         std::function<void()> action)
{
    auto* watch = new QTimer(parent);
    watch->setInterval(1);
    QObject::connect(watch, &QTimer::timeout, watch, [watch, condition, action] {
        if (!condition())
            return;
        watch->stop();
        action();
    });
    watch->start();
    return watch;
}

// Nanoseconds this thread has spent runnable but waiting for a processor
// (/proc/thread-self/schedstat), or -1 where the kernel does not say.
inline qint64 RunQueueWaitNs()
{
    QFile stat(QStringLiteral("/proc/thread-self/schedstat"));
    if (!stat.open(QIODevice::ReadOnly))
        return -1;
    const QList<QByteArray> fields = stat.readAll().split(' ');
    return fields.size() >= 2 ? fields[1].toLongLong() : -1;
}

// A reply that came 1 ms after its deadline can still be read in the wait's
// last pass when this thread ran late at the deadline: kept off the processor
// (seen in its run-queue wait) or its whole machine paused by the host (seen
// nowhere). A wait that honoured a later deadline takes the late reply every
// time, so a drill counts its rounds and wants most of them to time out.
constexpr qint64 kLateThreadNs = 200 * 1000;
inline bool ThreadWasHeldUp(qint64 runQueueWaitBefore)
{
    const qint64 now = RunQueueWaitNs();
    return now < 0 || runQueueWaitBefore < 0 || now - runQueueWaitBefore >= kLateThreadNs;
}

class LateReplyTally
{
public:
    // Call right before the exchange whose reply comes late.
    void begin() { FWaitBefore = RunQueueWaitNs(); }
    // Call after it, with whether the late reply was taken as its answer.
    void end(bool taken)
    {
        ++FRounds;
        if (!taken)
            return;
        ++FTaken;
        if (!ThreadWasHeldUp(FWaitBefore))
            ++FUnexplained;
    }
    int taken() const { return FTaken; }
    // Late replies taken without a held-up thread are rare hiccups, never
    // the rule.
    bool deadlineHonoured() const { return FUnexplained * 2 < FRounds; }
    QByteArray summary() const
    {
        return QByteArray::number(FTaken) + " of " + QByteArray::number(FRounds) +
               " late replies taken, " + QByteArray::number(FUnexplained) +
               " without a held-up thread";
    }

private:
    qint64 FWaitBefore = -1;
    int FRounds = 0;
    int FTaken = 0;
    int FUnexplained = 0;
};
