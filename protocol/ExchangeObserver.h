// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>

// What became of one numeric query of the transport.
enum TReadOutcome {
    roValue,      // the reply converted
    roTimedOut,   // no reply within the response time (read as 0)
    roEmpty,      // an empty reply in time (read as 0)
    roUnreadable, // a reply that is not a number (read as 0)
    roNotSent,    // refused: a reply is awaited further up, or no port
};

// Why the transport refused a set command or a terminal line.
enum TRefusal { rfCommandsDisabled, rfComportInUse };

// A listener to the exchanges on the wire, for the measurements journal and
// recording. The transport calls it after each exchange; the main window
// brackets each status poll with PollStarted/PollEnded. Calls never change
// what is sent, read or logged. Only one observer at a time; none by default.
class IExchangeObserver
{
public:
    virtual ~IExchangeObserver() = default;
    virtual void PollStarted() {}
    // value is what the transport returned (0 unless outcome is roValue).
    virtual void QueryRead(const QByteArray& mnemonic, TReadOutcome outcome, double value)
    {
        Q_UNUSED(mnemonic);
        Q_UNUSED(outcome);
        Q_UNUSED(value);
    }
    virtual void PollEnded() {}
    // A set command (without ";DC:") or a terminal line went out at sentMs
    // (ms since the epoch); its reply.
    virtual void CommandExchanged(const QString& text, bool raw, const QByteArray& reply,
                                  qint64 sentMs)
    {
        Q_UNUSED(text);
        Q_UNUSED(raw);
        Q_UNUSED(reply);
        Q_UNUSED(sentMs);
    }
    virtual void CommandRefused(const QString& text, bool raw, TRefusal why)
    {
        Q_UNUSED(text);
        Q_UNUSED(raw);
        Q_UNUSED(why);
    }
};

// Installs the observer (null: none) and returns the previous one.
IExchangeObserver* InstallExchangeObserver(IExchangeObserver* observer);
IExchangeObserver* ExchangeObserver();
