// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>

#include <functional>

// What a line is and therefore how it is sent: a set command goes out framed
// (";DC:" + text), a terminal line unchanged. The kind belongs to the line, so
// a terminal line never changes how a setting is sent.
enum TQueueKind { qkSetCommand, qkRawLine };

// Who an exchange with the unit is for. The first three submit lines through
// ILineSubmitter; the program's own exchanges (scan, read-back, poll) query
// the transport directly.
enum TOrigin {
    orControl,  // a control, button or menu command of the window
    orTerminal, // a line typed into the terminal
    orRemote,   // a client of the script server
    orScan,     // the search for the unit at start-up
    orReadBack, // the read-back of every setting
    orPoll,     // the once-a-second status poll
};

struct TOriginTag {
    TOrigin Origin = orControl;
    int Client = 0; // the remote client's number; 0 for the window's own lines
    QString Source; // who the client is, for the journal (empty for the window)
};

// The origin of the exchanges made while it lives (the transport tags each
// exchange with it); the previous one comes back when it ends. Without any,
// exchanges are the window's own controls'.
class TOriginScope
{
public:
    explicit TOriginScope(TOriginTag origin);
    ~TOriginScope();
    TOriginScope(const TOriginScope&) = delete;
    TOriginScope& operator=(const TOriginScope&) = delete;

private:
    TOriginTag previous;
};
const TOriginTag& CurrentOrigin();

enum TLineFate {
    lfReplied,  // its reply came in time
    lfTimedOut, // no whole reply within the response time
    lfLinkLost, // it went out, but the port failed before its reply
    lfRefused,  // it never reached the wire
};

// Why a line did not reach the wire.
enum TLineRefusal {
    lrNone,
    lrCommandsDisabled, // the settings are being read back
    lrComportInUse,     // a reply is awaited further up the call stack
    lrQueueFull,        // every slot of its lane is taken
    lrReplaced,         // a later value of the same setting took its slot
    lrEnding,           // the program is ending
    lrNoPort,           // there is no port (demo mode, the unit lost)
    lrWithdrawn,        // its submitter withdrew it (lane closed, permission gone)
    lrFailed,           // the exchange raised an error
};

// What became of one line: its trimmed reply (lfReplied; may be empty), the
// part of a reply that came before the response time ran out (lfTimedOut), or
// why it never went out (lfRefused). Untrusted: something that did not belong
// to this line was seen around its reply (another line's late reply, a line
// nobody asked for), so the reply may not be this line's own.
struct TLineResult {
    TLineFate Fate = lfRefused;
    TLineRefusal Refusal = lrNone;
    QByteArray Reply;
    bool Untrusted = false;

    static TLineResult Refused(TLineRefusal why) { return {lfRefused, why, {}, false}; }
};

using TLineDone = std::function<void(const TLineResult&)>;

struct TLineRequest {
    QString Text; // a set command without ";DC:", or a line exactly as typed
    TQueueKind Kind = qkSetCommand;
    TOriginTag Origin;
    // Asked just before the line would go out; anything but lrNone keeps it
    // off the wire and is its result. Unset: always allowed.
    std::function<TLineRefusal()> Gate;
};

// The one way to the wire for every line that is neither a poll's nor a
// read-back's query.
//
// Submit never sends and never waits: the line waits in a lane and goes out
// from the task pump, one exchange at a time. The window's lines (controls,
// terminal) share the operator's queue, whose rules stay as they are; a remote
// client's lines wait in a bounded lane of the client's own, which can never
// take the operator's slots, and the operator's lines always go first.
//
// done is called exactly once: when the line has been exchanged, with its
// reply or its time-out; when it is refused later (withdrawn, replaced, the
// exchange refused by the transport); or, when Submit returns false, at once
// with the reason. Handlers run inside reply waits, so done may run inside a
// later exchange's wait: it must only record and submit, never exchange.
class ILineSubmitter
{
public:
    virtual ~ILineSubmitter() = default;
    virtual bool Submit(const TLineRequest& request, TLineDone done = {}) = 0;
    // A lane of at most capacity waiting lines for remote client `client`;
    // false when the client has one already.
    virtual bool OpenLane(int client, int capacity) = 0;
    // Closes the client's lane; lines still waiting are refused (lrWithdrawn).
    virtual void CloseLane(int client) = 0;
};

// "not allowed while the settings are read back", ... for messages to people.
QString LineRefusalText(TLineRefusal why);
