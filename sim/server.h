// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The unit's event loop: reads lines from the pseudo-terminal, lets the unit answer them,
// applies the fault-injection options and writes the replies, until a byte arrives on
// `signalFd` (the number of a stop signal) or the unplug time has come. Replies that the terminal
// cannot take at once (nobody reads) are dropped like bytes sent down an unconnected line, so
// memory stays bounded whatever the client does.

#include "linereader.h"
#include "options.h"
#include "ptylink.h"
#include "trace.h"
#include "unit.h"

#include <cstdint>
#include <deque>
#include <optional>
#include <random>
#include <string>
#include <vector>

namespace sim
{

class Server
{
public:
    Server(const SimOptions& options, Unit& unit, PtyLink& link, Trace& trace);

    // Returns the process exit code.
    int run(int signalFd);

private:
    struct Pending {
        std::int64_t due; // monotonic microseconds
        std::string bytes;
        bool lineEnd = true;  // false for garbage, which goes out without one
        bool unasked = false; // a line the unit sends of its own accord
    };

    bool readInput();
    void onLine(std::string_view text, bool overlong);
    std::optional<std::string> garbageFor(std::string_view text);
    void writeDue(std::int64_t now);
    void schedule(Pending p);
    void flicker(std::int64_t now);
    int pollTimeout(std::int64_t now) const;

    const SimOptions& m_opt;
    Unit& m_unit;
    PtyLink& m_link;
    Trace& m_trace;
    LineReader m_reader;
    std::deque<Pending> m_pending;
    std::mt19937_64 m_garbageRng;
    std::int64_t m_start;
    std::int64_t m_unplugAt = -1;
    std::int64_t m_goneAt = -1; // the flicker: gone from, back at
    std::int64_t m_backAt = -1;
    std::vector<bool> m_unsolicitedSent;
    long m_received = 0;
    long m_answered = 0;
};

} // namespace sim
