// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "LineSubmitter.h"
#include "PollReadings.h"
#include "ResponseEcho.h"

#include <QByteArray>
#include <QString>

class TKxComPort;
struct AppState;

// The command transport: frames a mnemonic or command text as one line on the
// port, waits for the one-line reply and returns it trimmed (the trailing run
// of bytes <= 32 removed; leading blanks kept). It never opens or closes the
// port (the port's Write/Read open a closed port) and shows no boxes.
//
// The functions reach the port, the echo and the state through the current
// link. The main window binds its ComPort and ResponseList at construction;
// tests bind a port on a pseudo-terminal and a recording echo. The state is
// appState() unless the link names another. With no port bound every call
// returns an empty reply and sends nothing.
struct CommLink {
    TKxComPort* Port = nullptr;
    IResponseEcho* Echo = nullptr; // may be null: no echo
    AppState* State = nullptr;     // null: appState()
};

void BindCommunication(const CommLink& link);
void UnbindCommunication();
CommLink CurrentCommLink();

// RAII binding for tests and nested scopes: restores the previous link.
class ScopedCommLink
{
public:
    explicit ScopedCommLink(const CommLink& link);
    ~ScopedCommLink();
    ScopedCommLink(const ScopedCommLink&) = delete;
    ScopedCommLink& operator=(const ScopedCommLink&) = delete;

private:
    CommLink previous;
};

// Order for every sender: the InUse test first (a refused nested call never
// purges the reply the waiting exchange is collecting), then 1 ms pause and
// Flush, then the line. After an exchange that timed out, the port first lets
// a late reply arrive and drops it (TKxComPort::DiscardLateReply), so it never
// answers the next line. Queries are not echoed and
// are not refused under CommandsDisabled; set commands and raw lines are.
// Log lines (when LoggingEnabled): query Sent, Received [, Exception Error];
// command/raw Sent, Received; a refused set command one Command Disabled or
// Comport in use line; a refused raw line or query nothing.
// Every exchange, refused ones included, is told to the exchange listeners
// (ExchangeListeners.h) with the origin in force (TOriginScope).

// ";DC:" + mnemonic + "?" CR LF; the trimmed reply. Empty when InUse.
QByteArray QueryText(const QByteArray& mnemonic);
// Reply as a 32-bit integer; empty reply = 0; unreadable = 0 + Exception Error line.
qint32 QueryInteger(const QByteArray& mnemonic);
// Reply as a double ('.' decimal point, exponent allowed); unreadable = 0.
double QueryFloat(const QByteArray& mnemonic);
// The same two queries, saying what the value is: read, or why it is 0.
TReading ReadInteger(const QByteArray& mnemonic);
TReading ReadFloat(const QByteArray& mnemonic);
// ";DC:" + command CR LF, echoed; the trimmed reply, or empty when refused.
QByteArray SendCommand(const QString& command);
// The line unchanged + CR LF, echoed; refused silently.
void SendRawLine(const QByteArray& line);
// Either of the two, saying what became of the line.
TLineResult SendLine(const QString& text, TQueueKind kind);
// Echoes LastCommand (black), reads the reply, echoes it (green, also when empty).
QByteArray EchoExchange();
// Reads the reply, trims it, logs the Received line.
QByteArray ReadReply();

// Trust in the replies (see LinkSync.h). Every exchange is numbered
// (TReading::Exchange); one whose reply may have been another line's, found
// then or later, is not trusted.
bool ExchangeTrusted(quint64 exchange);
// Replies distrusted and replies timed out so far on the bound port.
quint64 LinkDisturbances();
// The bound port's device failed or vanished (TKxComPort::Failed).
bool LinkFailed();
// Lets the line fall quiet for quietMs (at most TKxComPort::LateReplyMaxMs in
// all); false, with what came logged and the replies since the line was last
// quiet distrusted, when anything arrived. A read-back ends with it.
bool ConfirmQuietLine(int quietMs);
// Text already waiting now, without waiting for more, is taken like text found
// at a purge. A poll ends with it.
void CheckWaitingLine();

// Trailing bytes of code <= 32 removed.
QByteArray TrimReply(const QByteArray& reply);
