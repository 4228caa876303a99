// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A pseudo-terminal pair whose slave side is linked as <dir>/COM<n>. The unit keeps its own
// slave descriptor open in raw mode for its whole life, so a client may close and re-open
// the link as often as it likes without the master ever seeing a hang-up; the unit never
// locks the slave, so a client can take its own flock. The constructor throws
// std::runtime_error with a readable reason; close() (also run by the destructor) removes
// the link only while it still points at this slave, then closes both sides.

#include <string>

namespace sim
{

class PtyLink
{
public:
    // An empty `dir` makes a new temporary directory, removed again by close() when empty.
    PtyLink(const std::string& dir, int port);
    PtyLink(const PtyLink&) = delete;
    PtyLink& operator=(const PtyLink&) = delete;
    ~PtyLink();

    int master() const { return m_master; }
    const std::string& dir() const { return m_dir; }
    const std::string& slavePath() const { return m_slavePath; }
    const std::string& linkPath() const { return m_linkPath; }

    // A client may have switched echo on; echoing the unit's own replies back to it would
    // make it answer them, so echo is switched off again.
    void keepEchoOff();

    void close();

    // The device vanishes (both sides closed, the link removed) and later
    // comes back on the same link name with a new pseudo-terminal; false with
    // errno set when it cannot.
    void vanish();
    bool reappear();
    bool present() const { return m_master >= 0; }

private:
    void openPty();  // throws std::runtime_error
    void makeLink(); // throws std::runtime_error

    int m_master = -1;
    int m_slave = -1;
    std::string m_dir;
    bool m_ownDir = false;
    std::string m_slavePath;
    std::string m_linkPath;
    int m_port = 0;
};

} // namespace sim
