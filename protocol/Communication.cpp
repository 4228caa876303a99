// SPDX-License-Identifier: GPL-3.0-or-later
#include "Communication.h"
#include "AppState.h"
#include "CommLog.h"
#include "ExchangeObserver.h"
#include "KxComPort.h"
#include "Latin1.h"
#include "NumberFormat.h"

#include <QDateTime>

#include <chrono>
#include <thread>

namespace
{

CommLink current;
// Whether the last QueryText wrote its line (for the exchange observer).
bool querySent = false;

AppState& State()
{
    return current.State ? *current.State : appState();
}

// A log line costs a clock read, a time-zone look-up and formatting: it is
// made only when it will be written, so an exchange with logging off skips it.
template <typename MakeLine> void Log(MakeLine&& makeLine)
{
    AppState& state = State();
    if (state.LoggingEnabled)
        WriteLogLine(state, makeLine());
}

// Before every line: the 1 ms pause, then the purge. A reply that missed the
// previous exchange's deadline is let in first, so the purge drops it instead
// of this exchange reading it as its own answer.
void PrepareLine(TKxComPort& port)
{
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
    port.DiscardLateReply();
    port.Flush();
}

QString TrimTrailing(const QString& text)
{
    qsizetype n = text.size();
    while (n > 0 && text[n - 1].unicode() <= 32)
        --n;
    return text.left(n);
}

void Echo(const QString& text, const QColor& colour)
{
    if (current.Echo)
        current.Echo->AppendLine(QLatin1Char('(') + TimeStamp() + QStringLiteral(") ") + text,
                                 colour);
}

void WriteLine(TKxComPort& port, const QString& line)
{
    State().LastCommand = line;
    port.Write(ToLatin1Text(line) + "\r\n");
    Log([&] { return LogSentLine(line); });
}

// Observer calls only report; they never change the exchange or its log.
void NoteRead(const QByteArray& mnemonic, bool emptyReply, bool converted, double value)
{
    IExchangeObserver* observer = ExchangeObserver();
    if (!observer)
        return;
    TReadOutcome outcome = roValue;
    if (!querySent)
        outcome = roNotSent;
    else if (emptyReply)
        outcome = current.Port && current.Port->TimedOut() ? roTimedOut : roEmpty;
    else if (!converted)
        outcome = roUnreadable;
    observer->QueryRead(mnemonic, outcome, value);
}

void NoteRefused(const QString& text, bool raw, TRefusal why)
{
    if (IExchangeObserver* observer = ExchangeObserver())
        observer->CommandRefused(text, raw, why);
}

// The clock is read only for an observer.
qint64 ObservedNow()
{
    return ExchangeObserver() ? QDateTime::currentMSecsSinceEpoch() : 0;
}

void NoteExchanged(const QString& text, bool raw, const QByteArray& reply, qint64 sentMs)
{
    if (IExchangeObserver* observer = ExchangeObserver())
        observer->CommandExchanged(text, raw, reply, sentMs);
}
// Marks one exchange, from its line to its reply; a log-failure box owed
// inside it is shown when the outermost one ends.
class TExchange
{
public:
    TExchange() : state(State()) { ++state.ExchangeDepth; }
    ~TExchange()
    {
        --state.ExchangeDepth;
        ShowOwedLogFailure(state);
    }
    TExchange(const TExchange&) = delete;
    TExchange& operator=(const TExchange&) = delete;

private:
    AppState& state;
};

} // namespace

void BindCommunication(const CommLink& link)
{
    current = link;
}

void UnbindCommunication()
{
    current = CommLink{};
}

CommLink CurrentCommLink()
{
    return current;
}

ScopedCommLink::ScopedCommLink(const CommLink& link) : previous(current)
{
    current = link;
}

ScopedCommLink::~ScopedCommLink()
{
    current = previous;
}

QByteArray TrimReply(const QByteArray& reply)
{
    qsizetype n = reply.size();
    while (n > 0 && static_cast<unsigned char>(reply[n - 1]) <= 32)
        --n;
    return reply.left(n);
}

QByteArray ReadReply()
{
    if (!current.Port)
        return QByteArray();
    const QByteArray reply = TrimReply(current.Port->Read());
    Log([&] { return LogReceivedLine(FromLatin1Text(reply)); });
    return reply;
}

QByteArray QueryText(const QByteArray& mnemonic)
{
    TKxComPort* port = current.Port;
    querySent = false;
    // A refused nested call must not purge the reply the waiting exchange collects.
    if (!port || port->InUse())
        return QByteArray();
    querySent = true;
    TExchange exchange;
    PrepareLine(*port);
    WriteLine(*port, QStringLiteral(";DC:") + FromLatin1Text(mnemonic) + QLatin1Char('?'));
    return ReadReply();
}

qint32 QueryInteger(const QByteArray& mnemonic)
{
    QByteArray reply = QueryText(mnemonic);
    const bool empty = reply.isEmpty();
    if (empty)
        reply = "0";
    if (const auto value = NumberFormat::ParseInt32(reply)) {
        NoteRead(mnemonic, empty, true, *value);
        return *value;
    }
    Log([&] { return LogExceptionLine(); });
    NoteRead(mnemonic, empty, false, 0);
    return 0;
}

double QueryFloat(const QByteArray& mnemonic)
{
    QByteArray reply = QueryText(mnemonic);
    const bool empty = reply.isEmpty();
    if (empty)
        reply = "0";
    if (const auto value = NumberFormat::ParseFloat(reply)) {
        NoteRead(mnemonic, empty, true, *value);
        return *value;
    }
    Log([&] { return LogExceptionLine(); });
    NoteRead(mnemonic, empty, false, 0);
    return 0.0;
}

QByteArray SendCommand(const QString& command)
{
    if (State().CommandsDisabled) {
        Log([&] { return LogCommandDisabledLine(command); });
        NoteRefused(command, false, rfCommandsDisabled);
        return QByteArray();
    }
    TKxComPort* port = current.Port;
    if (!port)
        return QByteArray();
    if (port->InUse()) {
        Log([&] { return LogComportInUseLine(command); });
        NoteRefused(command, false, rfComportInUse);
        return QByteArray();
    }
    TExchange exchange;
    PrepareLine(*port);
    const qint64 sentMs = ObservedNow();
    WriteLine(*port, QStringLiteral(";DC:") + command);
    const QByteArray reply = EchoExchange();
    NoteExchanged(command, false, reply, sentMs);
    return reply;
}

void SendRawLine(const QByteArray& line)
{
    if (State().CommandsDisabled) {
        NoteRefused(FromLatin1Text(line), true, rfCommandsDisabled);
        return;
    }
    TKxComPort* port = current.Port;
    if (!port)
        return;
    if (port->InUse()) {
        NoteRefused(FromLatin1Text(line), true, rfComportInUse);
        return;
    }
    TExchange exchange;
    PrepareLine(*port);
    const qint64 sentMs = ObservedNow();
    WriteLine(*port, FromLatin1Text(line));
    const QByteArray reply = EchoExchange();
    NoteExchanged(FromLatin1Text(line), true, reply, sentMs);
}

QByteArray EchoExchange()
{
    Echo(TrimTrailing(State().LastCommand), EchoCommandColour);
    const QByteArray reply = ReadReply();
    Echo(FromLatin1Text(reply), EchoReplyColour);
    return reply;
}
