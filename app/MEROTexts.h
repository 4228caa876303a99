// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "Identity.h"
#include "Restart.h"

#include <QString>

// Texts of the boxes MERO adds to the ones it always had, in their style.

// The read-back gave up: replies kept coming late, twice or unasked.
inline QString UnreliableRepliesText()
{
    return QStringLiteral("Unit replies are not reliable; settings were not read.\n"
                          "Check the connection, then choose Initialize.");
}

// A restart did not find the unit it looked for, but another one.
QString OtherUnitText(const TRestartUnit& lost, int port, const TIdentity& found);
