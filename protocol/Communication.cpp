#include "Communication.h"
#include "AppState.h"
#include "CommLog.h"
#include "KxComPort.h"
#include "Latin1.h"
#include "NumberFormat.h"

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
    // A refused nested call must not purge the reply the waiting exchange collects.
    if (!port || port->InUse())
        return QByteArray();
    TExchange exchange;
    PrepareLine(*port);
    WriteLine(*port, QStringLiteral(";DC:") + FromLatin1Text(mnemonic) + QLatin1Char('?'));
    return ReadReply();
}

qint32 QueryInteger(const QByteArray& mnemonic)
{
    QByteArray reply = QueryText(mnemonic);
    if (reply.isEmpty())
        reply = "0";
    if (const auto value = NumberFormat::ParseInt32(reply))
        return *value;
    Log([&] { return LogExceptionLine(); });
    return 0;
}

double QueryFloat(const QByteArray& mnemonic)
{
    QByteArray reply = QueryText(mnemonic);
    if (reply.isEmpty())
        reply = "0";
    if (const auto value = NumberFormat::ParseFloat(reply))
        return *value;
    Log([&] { return LogExceptionLine(); });
    return 0.0;
}

QByteArray SendCommand(const QString& command)
{
    if (State().CommandsDisabled) {
        Log([&] { return LogCommandDisabledLine(command); });
        return QByteArray();
    }
    TKxComPort* port = current.Port;
    if (!port)
        return QByteArray();
    if (port->InUse()) {
        Log([&] { return LogComportInUseLine(command); });
        return QByteArray();
    }
    TExchange exchange;
    PrepareLine(*port);
    WriteLine(*port, QStringLiteral(";DC:") + command);
    return EchoExchange();
}

void SendRawLine(const QByteArray& line)
{
    if (State().CommandsDisabled)
        return;
    TKxComPort* port = current.Port;
    if (!port || port->InUse())
        return;
    TExchange exchange;
    PrepareLine(*port);
    WriteLine(*port, FromLatin1Text(line));
    EchoExchange();
}

QByteArray EchoExchange()
{
    Echo(TrimTrailing(State().LastCommand), EchoCommandColour);
    const QByteArray reply = ReadReply();
    Echo(FromLatin1Text(reply), EchoReplyColour);
    return reply;
}
