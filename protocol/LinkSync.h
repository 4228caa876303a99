// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QtGlobal>

#include <chrono>
#include <deque>
#include <utility>

// Which replies can be trusted to answer the line they followed.
//
// A line protocol has no numbers: a reply that comes late, a line the unit
// sends unasked, or a reply given twice is read as the answer to whatever
// line is asked next, and every reply after it shifts by one. The transport
// numbers its exchanges, and whenever it sees something that did not belong
// (bytes waiting before a line, a reply that is not in the query's form, a
// second line in a reply, a line arriving just after a reply while a late
// reply is owed) it distrusts every exchange since the line was last known
// quiet, and lets the line fall quiet before the next one. Callers ask about
// their own exchanges afterwards (Trusted) or count the events (Distrusts).
class TLinkSync
{
public:
    using Clock = std::chrono::steady_clock;

    // Another port, or the device was opened anew: nothing is owed or known.
    void Reset();

    // Numbers a new exchange.
    quint64 Begin() { return ++fLast; }
    quint64 Last() const { return fLast; }

    // Every exchange after the line was last known quiet, through upTo, may
    // have read another line's reply. The line must fall quiet before the
    // next exchange.
    void Distrust(quint64 upTo);
    bool Trusted(quint64 exchange) const;
    // How many times anything was distrusted or a reply timed out; a
    // read-back that saw this count change reads again.
    quint64 Disturbances() const { return fDisturbances; }
    // A reply timed out: its late reply may come until `until`, and the line
    // must fall quiet before the next exchange.
    void TimedOut(Clock::time_point until);

    // The line has been quiet since the last exchange begun.
    void Quiet();
    bool QuietWanted() const { return fQuietWanted; }

    // While a late reply is owed, each reply is watched for a line right behind it.
    bool Owed(Clock::time_point now = Clock::now()) const { return fOwed && now < fOwedUntil; }
    // The late reply came (and was dropped) or the line was found quiet.
    void Paid() { fOwed = false; }

private:
    quint64 fLast = 0;
    quint64 fQuietAfter = 0; // exchanges up to this one ended on a quiet line
    quint64 fDisturbances = 0;
    bool fQuietWanted = false;
    bool fOwed = false;
    Clock::time_point fOwedUntil{};
    // Distrusted ranges (first, last), oldest first; only recent ones matter.
    std::deque<std::pair<quint64, quint64>> fUntrusted;
};

// True when the bytes hold anything but line ends and blanks: a leftover LF
// behind a reply's CR is harmless, a line of text is not.
bool HoldsText(const QByteArray& bytes);
