// SPDX-License-Identifier: GPL-3.0-or-later
#include "PumpLink.h"

#include "Communication.h"
#include "KxComPort.h"
#include "Latin1.h"

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

void TTransportPumpHost::SendCommand(const QString& command)
{
    ::SendCommand(command);
}

void TTransportPumpHost::SendRawLine(const QString& line)
{
    ::SendRawLine(ToLatin1Text(line));
}

void TTransportPumpHost::ReadBack()
{
    if (ReadBackNow)
        ReadBackNow();
}
