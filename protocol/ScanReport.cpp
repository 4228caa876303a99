// SPDX-License-Identifier: GPL-3.0-or-later
#include "ScanReport.h"

#include "EscapedText.h"
#include "KxComPort.h"
#include "PortInfo.h"
#include "PortProblem.h"

namespace
{

QString Com(int n)
{
    return QStringLiteral("COM%1").arg(n);
}

QString Ranges(const QList<int>& ports)
{
    QStringList parts;
    for (qsizetype i = 0; i < ports.size();) {
        qsizetype j = i;
        while (j + 1 < ports.size() && ports[j + 1] == ports[j] + 1)
            ++j;
        parts << (i == j ? Com(ports[i]) : Com(ports[i]) + QLatin1Char('-') + Com(ports[j]));
        i = j + 1;
    }
    return parts.join(QStringLiteral(", "));
}

QString What(const TScanOutcome& o, quint32 waitMs)
{
    switch (o.result) {
    case TScanResult::NoDevice:
        return OpenProblemText(TOpenProblem::NoDevice, o.error);
    case TScanResult::PermissionDenied:
        return OpenProblemText(TOpenProblem::PermissionDenied, o.error) + QStringLiteral(": ") +
               OpenProblemAdvice(TOpenProblem::PermissionDenied);
    case TScanResult::Busy:
        return OpenProblemText(TOpenProblem::Busy, o.error) +
               (o.holders.isEmpty() ? QString() : QStringLiteral(": ") + o.holders);
    case TScanResult::OpenFailed:
        return OpenProblemText(TOpenProblem::Other, o.error);
    case TScanResult::SetupFailed:
        return QStringLiteral("opened, but its line settings could not be set; no reply within "
                              "%1 ms")
            .arg(waitMs);
    case TScanResult::NoReply:
        return QStringLiteral("no reply within %1 ms").arg(waitMs);
    case TScanResult::NotAccepted: {
        const QString why =
            o.model.isEmpty() ? QStringLiteral("not an identification")
                              : QStringLiteral("model \"%1\" is not an accepted unit (2740, 2640)")
                                    .arg(EscapedLatin1(o.model, 40));
        return QStringLiteral("answered \"%1\": %2").arg(EscapedLatin1(o.reply), why);
    }
    case TScanResult::Accepted:
        return QStringLiteral("answered \"%1\": accepted unit").arg(EscapedLatin1(o.reply));
    }
    return QString();
}

} // namespace

QStringList ScanDetailLines(const TScanReport& report)
{
    QList<int> absent;
    QList<const TScanOutcome*> present;
    for (const TScanOutcome& o : report.outcomes)
        (o.result == TScanResult::NoDevice ? absent.append(o.port) : present.append(&o));

    QList<QString> paths;
    for (const TScanOutcome* o : present)
        paths << TKxComPort::DevicePath(o->port);
    const QList<TPortDescription> described = DescribePorts(paths);

    QStringList lines;
    if (!absent.isEmpty())
        lines << Ranges(absent) + QStringLiteral(": ") + OpenProblemText(TOpenProblem::NoDevice, 0);
    for (qsizetype i = 0; i < present.size(); ++i) {
        const TScanOutcome& o = *present[i];
        lines << QStringLiteral("%1 (%2, %3): %4")
                     .arg(Com(o.port), EscapedText(paths[i], 200), described[i].Summary(),
                          What(o, report.waitMs));
    }
    return lines;
}
