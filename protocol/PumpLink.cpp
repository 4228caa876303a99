// SPDX-License-Identifier: GPL-3.0-or-later
#include "PumpLink.h"

#include "Communication.h"
#include "KxComPort.h"

bool TTransportPumpHost::PortInUse() const
{
    const CommLink link = CurrentCommLink();
    return link.Port && link.Port->InUse();
}

void TTransportPumpHost::SetTaskTimerActive(bool active)
{
    if (TaskTimer)
        TaskTimer(active);
}

void TTransportPumpHost::SetStatusTimerActive(bool active)
{
    if (StatusTimer)
        StatusTimer(active);
}

TLineResult TTransportPumpHost::SendCommand(const QString& command)
{
    return SendLine(command, qkSetCommand);
}

TLineResult TTransportPumpHost::SendRawLine(const QString& line)
{
    return SendLine(line, qkRawLine);
}

void TTransportPumpHost::ReadBack()
{
    if (ReadBackNow)
        ReadBackNow();
}
