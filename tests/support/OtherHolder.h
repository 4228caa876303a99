// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QProcess>
#include <QString>

// Another program holding a device: flock(1) takes an exclusive lock on it and
// keeps it (the descriptor closed before its child runs) until this object
// ends. Started() is false when flock(1) is not installed.
class OtherHolder
{
public:
    explicit OtherHolder(const QString& path)
    {
        process.start("flock", {"-o", path, "sleep", "60"});
        started = process.waitForStarted();
    }
    ~OtherHolder()
    {
        process.kill();
        process.waitForFinished();
    }
    OtherHolder(const OtherHolder&) = delete;
    OtherHolder& operator=(const OtherHolder&) = delete;

    bool Started() const { return started; }
    qint64 Pid() const { return process.processId(); }

private:
    QProcess process;
    bool started = false;
};
