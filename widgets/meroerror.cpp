// SPDX-License-Identifier: GPL-3.0-or-later
#include "meroerror.h"

#include <QDebug>
#include <utility>

namespace
{
MeroErrorReporter& Reporter()
{
    static MeroErrorReporter reporter;
    return reporter;
}
} // namespace

MeroErrorReporter SetMeroErrorReporter(MeroErrorReporter reporter)
{
    return std::exchange(Reporter(), std::move(reporter));
}

void ReportMeroError(const std::exception& error)
{
    const QString message = QString::fromUtf8(error.what());
    if (Reporter())
        Reporter()(message);
    else
        qWarning().noquote() << message;
}
