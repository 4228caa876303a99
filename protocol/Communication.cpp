// SPDX-License-Identifier: GPL-3.0-or-later
#include "Communication.h"
#include "AppState.h"
#include "CommLog.h"
#include "ExchangeListeners.h"
#include "KxComPort.h"
#include "Latin1.h"
#include "LinkSync.h"
#include "NumberFormat.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QScopeGuard>

#include <algorithm>
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

// The trust in the replies of the port bound now (see LinkSync.h).
struct {
    TLinkSync links;
    const TKxComPort* port = nullptr;
    int number = 0;
    QElapsedTimer lastEnd; // since the last exchange ended
} linkTrust;

TLinkSync& SyncFor(const TKxComPort& port)
{
    // Another device: nothing late can come from there.
    if (linkTrust.port != &port || linkTrust.number != port.Port()) {
        linkTrust.links.Reset();
        linkTrust.port = &port;
        linkTrust.number = port.Port();
        linkTrust.lastEnd.invalidate();
    }
    return linkTrust.links;
}

// How long a reply that timed out may still come: twice the response time,
// at least 5 s (a late reply lands in whatever is asked next).
std::chrono::milliseconds OwedFor(const TKxComPort& port)
{
    return std::chrono::milliseconds(std::max<qint64>(2 * qint64(port.ResponseTime()), 5000));
}

constexpr int kQuietMs = TKxComPort::LateReplyQuietMs;
constexpr int kQuietMaxMs = TKxComPort::LateReplyMaxMs;

// Lines nobody asked for go into the log as what they are: received lines.
void LogStray(const QByteArray& bytes)
{
    if (!HoldsText(bytes))
        return;
    for (const QByteArray& line : bytes.split('\r')) {
        const QByteArray text = TrimReply(line.startsWith('\n') ? line.mid(1) : line);
        if (HoldsText(text))
            Log([&] { return LogReceivedLine(FromLatin1Text(text)); });
    }
}

// Lets the line fall quiet, dropping (and logging) what arrives.
void LetFallQuiet(TKxComPort& port, TLinkSync& links)
{
    bool quiet = false;
    LogStray(port.WaitQuiet(kQuietMs, kQuietMaxMs, &quiet));
    if (quiet)
        links.Quiet();
}

// Before every line: the 1 ms pause, then the purge. A reply that missed the
// previous exchange's deadline is let in first, so the purge drops it instead
// of this exchange reading it as its own answer; likewise the line is let
// fall quiet after anything was distrusted. Text found waiting at the purge
// came unasked: the replies read since the line was last quiet may be shifted.
void PrepareLine(TKxComPort& port, TLinkSync& links)
{
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
    if (port.LateReplyPossible()) {
        bool quiet = false;
        const QByteArray late = port.DiscardLateReply(&quiet);
        if (HoldsText(late))
            links.Paid();
        LogStray(late);
        if (quiet)
            links.Quiet();
    }
    if (links.QuietWanted())
        LetFallQuiet(port, links);
    const QByteArray waiting = port.TakeWaiting();
    if (HoldsText(waiting)) {
        LogStray(waiting);
        links.Distrust(links.Last());
        links.Paid();
        LetFallQuiet(port, links);
    } else if (linkTrust.lastEnd.isValid() && linkTrust.lastEnd.elapsed() >= kQuietMs) {
        // Nothing came since the last exchange ended, long enough ago for a
        // second or late reply to have arrived: the line is quiet (between
        // polls, after a pause of the pump).
        links.Quiet();
    }
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

// Writes the line; false, logged "Not sent", when the port did not take it all.
bool WriteLine(TKxComPort& port, const QString& line)
{
    State().LastCommand = line;
    if (!port.Write(ToLatin1Text(line) + "\r\n")) {
        Log([&] { return LogNotSentLine(line); });
        return false;
    }
    Log([&] { return LogSentLine(line); });
    return true;
}

// More than one line of text in one reply: a line came unasked or twice.
bool HasSecondLine(const QByteArray& reply)
{
    int lines = 0;
    for (const QByteArray& part : reply.split('\r')) {
        for (const QByteArray& piece : part.split('\n'))
            lines += HoldsText(piece) ? 1 : 0;
    }
    return lines > 1;
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

// What became of exchange k, whose reply was just read, and whether the
// reply can be its own. While a late reply is owed, a good reply is watched
// for a line right behind it (the late one came first and this is the real
// answer, or the other way round).
TLineResult Judge(TKxComPort& port, TLinkSync& links, quint64 k, const QByteArray& reply)
{
    TLineResult r{lfReplied, lrNone, reply, false};
    if (port.Failed()) {
        // Not another line's reply: no reply at all. What came before stays.
        r.Fate = lfLinkLost;
    } else if (port.TimedOut()) {
        r.Fate = lfTimedOut;
        links.TimedOut(TLinkSync::Clock::now() + OwedFor(port));
        if (HoldsText(reply))
            links.Distrust(k);
    } else if (HasSecondLine(reply)) {
        links.Distrust(k);
    } else if (HoldsText(reply) && links.Owed()) {
        bool quiet = false;
        const QByteArray behind = port.WaitQuiet(kQuietMs, kQuietMaxMs, &quiet);
        if (HoldsText(behind)) {
            LogStray(behind);
            links.Distrust(k);
            links.Paid();
        }
        if (quiet)
            links.Quiet();
    }
    r.Untrusted = !links.Trusted(k);
    linkTrust.lastEnd.start();
    return r;
}

// A line that cannot go out because the port has failed.
TLineResult NotSent(const QString& line)
{
    Log([&] { return LogNotSentLine(line); });
    return TLineResult::Refused(lrNoPort);
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

TLineResult Query(const QByteArray& mnemonic, quint64* exchange = nullptr)
{
    TKxComPort* port = current.Port;
    const QString text = FromLatin1Text(mnemonic);
    const QString line = QStringLiteral(";DC:") + text + QLatin1Char('?');
    // A refused nested call must not purge the reply the waiting exchange collects.
    if (!port || port->InUse()) {
        const TLineResult refused = TLineResult::Refused(port ? lrComportInUse : lrNoPort);
        Tell(xkQuery, text, refused, 0);
        return refused;
    }
    const auto mark = MarkExchange();
    TLinkSync& links = SyncFor(*port);
    if (!port->Failed())
        PrepareLine(*port, links);
    if (port->Failed()) {
        const TLineResult refused = NotSent(line);
        Tell(xkQuery, text, refused, 0);
        return refused;
    }
    const quint64 k = links.Begin();
    if (exchange)
        *exchange = k;
    const qint64 sentMs = ListenedNow();
    if (!WriteLine(*port, line)) {
        const TLineResult refused = TLineResult::Refused(port->Failed() ? lrNoPort : lrFailed);
        Tell(xkQuery, text, refused, 0);
        return refused;
    }
    const TLineResult result = Judge(*port, links, k, ReadReply());
    Tell(xkQuery, text, result, sentMs);
    return result;
}

// The one body of the numeric queries: an empty reply reads as 0, one that
// does not convert as 0 with the Exception Error line.
// A reply that is not in the query's form may be another line's: it is
// distrusted like a line that came unasked.
template <typename Parse> TReading ReadNumber(const QByteArray& mnemonic, Parse parse)
{
    quint64 k = 0;
    const TLineResult result = Query(mnemonic, &k);
    if (result.Fate == lfRefused || result.Fate == lfLinkLost)
        return {0, rsNotSent, k};
    const bool empty = result.Reply.isEmpty();
    if (const auto value = parse(empty ? QByteArrayLiteral("0") : result.Reply)) {
        if (!empty)
            return {double(*value), rsValue, k};
        return {double(*value), result.Fate == lfTimedOut ? rsTimedOut : rsEmpty, k};
    }
    Log([&] { return LogExceptionLine(); });
    if (current.Port && k == linkTrust.links.Last())
        linkTrust.links.Distrust(k);
    return {0, rsUnreadable, k};
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
    const QString line = raw ? text : QStringLiteral(";DC:") + text;
    const auto mark = MarkExchange();
    TLinkSync& links = SyncFor(*port);
    if (!port->Failed())
        PrepareLine(*port, links);
    if (port->Failed()) {
        const TLineResult refused = NotSent(line);
        Tell(what, text, refused, 0);
        return refused;
    }
    const quint64 k = links.Begin();
    const qint64 sentMs = ListenedNow();
    if (!WriteLine(*port, line)) {
        const TLineResult refused = TLineResult::Refused(port->Failed() ? lrNoPort : lrFailed);
        Tell(what, text, refused, 0);
        return refused;
    }
    const TLineResult result = Judge(*port, links, k, EchoExchange());
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

quint64 LinkDisturbances()
{
    return linkTrust.links.Disturbances();
}

bool ExchangeTrusted(quint64 exchange)
{
    return exchange == 0 || linkTrust.links.Trusted(exchange);
}

bool LinkFailed()
{
    return current.Port && current.Port->Failed();
}

bool ConfirmQuietLine(int quietMs)
{
    TKxComPort* port = current.Port;
    if (!port || port->InUse() || port->Failed() || !port->Opened())
        return !LinkFailed();
    TLinkSync& links = SyncFor(*port);
    bool quiet = false;
    const QByteArray behind = port->WaitQuiet(quietMs, kQuietMaxMs, &quiet);
    if (HoldsText(behind)) {
        LogStray(behind);
        links.Distrust(links.Last());
        links.Paid();
        return false;
    }
    if (quiet)
        links.Quiet();
    return quiet && !port->Failed();
}

void CheckWaitingLine()
{
    TKxComPort* port = current.Port;
    if (!port || port->InUse() || port->Failed() || port->InCount() <= 0)
        return;
    TLinkSync& links = SyncFor(*port);
    const QByteArray waiting = port->TakeWaiting();
    if (HoldsText(waiting)) {
        LogStray(waiting);
        links.Distrust(links.Last());
        links.Paid();
    }
}

QByteArray EchoExchange()
{
    Echo(TrimTrailing(State().LastCommand), EchoCommandColour);
    const QByteArray reply = ReadReply();
    Echo(FromLatin1Text(reply), EchoReplyColour);
    return reply;
}
