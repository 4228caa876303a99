// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "TaskPump.h"

#include <functional>

// Connects the task pump to the transport: exchanges go through the current
// CommLink (SendCommand for set commands, SendRawLine for terminal lines, the
// port's InUse as the busy test). The timers and the read-back belong to the
// window and are reached through the three hooks; an unset hook does nothing.
class TTransportPumpHost : public ITaskPumpHost
{
public:
    std::function<void(bool active)> TaskTimer;
    std::function<void(bool active)> StatusTimer;
    std::function<void()> ReadBackNow;

    bool PortInUse() const override;
    void SetTaskTimerActive(bool active) override;
    void SetStatusTimerActive(bool active) override;
    TLineResult SendCommand(const QString& command) override;
    TLineResult SendRawLine(const QString& line) override;
    void ReadBack() override;
};
