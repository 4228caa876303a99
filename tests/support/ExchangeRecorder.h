// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ExchangeListeners.h"

#include <QStringList>

#include <functional>

// Each exchange in one line: "<origin>/<kind> <text> -> <reply>", with
// "timed out" or "refused <n>" (the TLineRefusal) in place of the reply.
inline QString DescribeExchange(const TExchangeRecord& r)
{
    static const char* const origins[] = {"control", "terminal",  "remote",
                                          "scan",    "read-back", "poll"};
    static const char* const kinds[] = {"query", "set", "raw"};
    QString out =
        QStringLiteral("%1/%2 %3 -> ")
            .arg(QLatin1String(origins[r.Origin.Origin]), QLatin1String(kinds[r.Kind]), r.Text);
    if (r.Result.Fate == lfReplied)
        return out + QString::fromLatin1(r.Result.Reply);
    if (r.Result.Fate == lfTimedOut)
        return out + QStringLiteral("timed out");
    return out + QStringLiteral("refused %1").arg(int(r.Result.Refusal));
}

// A listener that writes down what it hears; `during` runs inside each call.
struct TExchangeRecorder : IExchangeListener {
    QStringList heard;
    std::function<void()> during;
    void Exchanged(const TExchangeRecord& r) override
    {
        heard << DescribeExchange(r);
        if (during)
            during();
    }
};
