// SPDX-License-Identifier: GPL-3.0-or-later
#include "Communication.h"
#include "AppState.h"
#include "CommLog.h"
#include "ExchangeListeners.h"
#include "KxComPort.h"
#include "Latin1.h"
#include "NumberFormat.h"

#include <QDateTime>
#include <QScopeGuard>

#include <chrono>
#include <thread>

namespace
{

CommLink current;

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

// The clock is read only for a listener.
qint64 ListenedNow()
{
    return ExchangeListened() ? QDateTime::currentMSecsSinceEpoch() : 0;
}

// Listeners only hear; they never change the exchange or its log.
void Tell(TExchangeKind kind, const QString& text, const TLineResult& result, qint64 sentMs)
{
    if (!ExchangeListened())
        return;
    TExchangeRecord record;
    record.Origin = CurrentOrigin();
    record.Kind = kind;
    record.Text = text;
    record.Result = result;
    record.SentMs = sentMs;
    NotifyExchange(record);
}

TLineResult Answer(const QByteArray& reply)
{
    const bool timedOut = current.Port && current.Port->TimedOut();
    return {timedOut ? lfTimedOut : lfReplied, lrNone, reply};
}

// Marks one exchange, from its line to its reply; a log-failure box owed
// inside it is shown when the outermost one ends.
auto MarkExchange()
{
    AppState& state = State();
    ++state.ExchangeDepth;
    return qScopeGuard([&state] {
        --state.ExchangeDepth;
        ShowOwedLogFailure(state);
    });
}

TLineResult Query(const QByteArray& mnemonic)
{
    TKxComPort* port = current.Port;
    const QString text = FromLatin1Text(mnemonic);
    // A refused nested call must not purge the reply the waiting exchange collects.
    if (!port || port->InUse()) {
        const TLineResult refused = TLineResult::Refused(port ? lrComportInUse : lrNoPort);
        Tell(xkQuery, text, refused, 0);
        return refused;
    }
    const auto exchange = MarkExchange();
    PrepareLine(*port);
    const qint64 sentMs = ListenedNow();
    WriteLine(*port, QStringLiteral(";DC:") + text + QLatin1Char('?'));
    const TLineResult result = Answer(ReadReply());
    Tell(xkQuery, text, result, sentMs);
    return result;
}

// The one body of the numeric queries: an empty reply reads as 0, one that
// does not convert as 0 with the Exception Error line.
template <typename Parse> TReading ReadNumber(const QByteArray& mnemonic, Parse parse)
{
    const TLineResult result = Query(mnemonic);
    if (result.Fate == lfRefused)
        return {0, rsNotSent};
    const bool empty = result.Reply.isEmpty();
    if (const auto value = parse(empty ? QByteArrayLiteral("0") : result.Reply)) {
        if (!empty)
            return {double(*value), rsValue};
        return {double(*value), result.Fate == lfTimedOut ? rsTimedOut : rsEmpty};
    }
    Log([&] { return LogExceptionLine(); });
    return {0, rsUnreadable};
}

// A set command (";DC:" + text) or a terminal line (text unchanged), echoed.
TLineResult Exchange(const QString& text, TQueueKind kind)
{
    const bool raw = kind == qkRawLine;
    const TExchangeKind what = raw ? xkRawLine : xkSetCommand;
    auto refuse = [&](TLineRefusal why) {
        const TLineResult refused = TLineResult::Refused(why);
        Tell(what, text, refused, 0);
        return refused;
    };
    if (State().CommandsDisabled) {
        if (!raw)
            Log([&] { return LogCommandDisabledLine(text); });
        return refuse(lrCommandsDisabled);
    }
    TKxComPort* port = current.Port;
    if (!port)
        return refuse(lrNoPort);
    if (port->InUse()) {
        if (!raw)
            Log([&] { return LogComportInUseLine(text); });
        return refuse(lrComportInUse);
    }
    const auto exchange = MarkExchange();
    PrepareLine(*port);
    const qint64 sentMs = ListenedNow();
    WriteLine(*port, raw ? text : QStringLiteral(";DC:") + text);
    const TLineResult result = Answer(EchoExchange());
    Tell(what, text, result, sentMs);
    return result;
}

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
    return Query(mnemonic).Reply;
}

TReading ReadInteger(const QByteArray& mnemonic)
{
    return ReadNumber(mnemonic, [](const QByteArray& r) { return NumberFormat::ParseInt32(r); });
}

TReading ReadFloat(const QByteArray& mnemonic)
{
    return ReadNumber(mnemonic, [](const QByteArray& r) { return NumberFormat::ParseFloat(r); });
}

qint32 QueryInteger(const QByteArray& mnemonic)
{
    // An integer reading holds a 32-bit value exactly.
    return qint32(ReadInteger(mnemonic).Value);
}

double QueryFloat(const QByteArray& mnemonic)
{
    return ReadFloat(mnemonic).Value;
}

QByteArray SendCommand(const QString& command)
{
    return Exchange(command, qkSetCommand).Reply;
}

void SendRawLine(const QByteArray& line)
{
    Exchange(FromLatin1Text(line), qkRawLine);
}

TLineResult SendLine(const QString& text, TQueueKind kind)
{
    // A terminal line reaches the wire as Latin-1, like SendRawLine's.
    return Exchange(kind == qkRawLine ? FromLatin1Text(ToLatin1Text(text)) : text, kind);
}

QByteArray EchoExchange()
{
    Echo(TrimTrailing(State().LastCommand), EchoCommandColour);
    const QByteArray reply = ReadReply();
    Echo(FromLatin1Text(reply), EchoReplyColour);
    return reply;
}
