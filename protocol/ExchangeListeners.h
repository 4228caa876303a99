// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "LineSubmitter.h"

#include <QString>

enum TExchangeKind { xkQuery, xkSetCommand, xkRawLine };

// One exchange of the transport, as its listeners are told of it.
struct TExchangeRecord {
    TOriginTag Origin;
    TExchangeKind Kind = xkQuery;
    // The mnemonic of a query, a set command without ";DC:", a line as typed.
    QString Text;
    // The trimmed reply, a time-out with what had arrived, or the refusal.
    TLineResult Result;
    // When the line went out, ms since the epoch; 0 when it did not.
    qint64 SentMs = 0;
};

// Hears every exchange the transport makes or refuses, with its origin, in
// the order they end (an exchange nested in another's reply wait ends first).
// Listening never changes what is sent, read or logged.
class IExchangeListener
{
public:
    virtual ~IExchangeListener() = default;
    virtual void Exchanged(const TExchangeRecord& record) = 0;
};

// Keeps a listener registered for as long as it lives. Any number may be
// registered; each is told in the order of registration. A listener may
// register or unregister listeners (itself included) while it is told: one
// unregistered is not told again, one registered hears the next exchange.
class TExchangeListening
{
public:
    explicit TExchangeListening(IExchangeListener& listener);
    ~TExchangeListening();
    TExchangeListening(const TExchangeListening&) = delete;
    TExchangeListening& operator=(const TExchangeListening&) = delete;

private:
    IExchangeListener* fListener;
};

// Tells every registered listener. One that throws is passed over for this
// exchange; neither the exchange nor the other listeners notice.
void NotifyExchange(const TExchangeRecord& record);
// Whether anyone listens (the transport reads the clock only then).
bool ExchangeListened();
