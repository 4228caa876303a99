// SPDX-License-Identifier: GPL-3.0-or-later
#include "LineSubmitter.h"

namespace
{
TOriginTag& Current()
{
    static TOriginTag current;
    return current;
}
} // namespace

TOriginScope::TOriginScope(TOriginTag origin) : previous(std::move(Current()))
{
    Current() = std::move(origin);
}

TOriginScope::~TOriginScope()
{
    Current() = std::move(previous);
}

const TOriginTag& CurrentOrigin()
{
    return Current();
}

QString LineRefusalText(TLineRefusal why)
{
    switch (why) {
    case lrNone:
        return QString();
    case lrCommandsDisabled:
        return QStringLiteral("not sent while the settings are read back");
    case lrComportInUse:
        return QStringLiteral("not sent while a reply is awaited");
    case lrQueueFull:
        return QStringLiteral("too many lines waiting");
    case lrReplaced:
        return QStringLiteral("replaced by a later value of the same setting");
    case lrEnding:
        return QStringLiteral("MERO is ending");
    case lrNoPort:
        return QStringLiteral("the port is gone");
    case lrWithdrawn:
        return QStringLiteral("withdrawn");
    case lrFailed:
        return QStringLiteral("the exchange failed");
    }
    return QString();
}
