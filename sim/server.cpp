// SPDX-License-Identifier: GPL-3.0-or-later
#include "server.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <poll.h>
#include <unistd.h>

namespace sim
{

namespace
{

constexpr std::size_t MaxPendingReplies = 256;

} // namespace

Server::Server(const SimOptions& options, Unit& unit, PtyLink& link, Trace& trace)
    : m_opt(options), m_unit(unit), m_link(link), m_trace(trace),
      m_garbageRng(options.unit.seed ^ 0x9e3779b97f4a7c15ULL), m_start(monotonicMicros())
{
    if (options.unplugAfter >= 0.0)
        m_unplugAt = m_start + static_cast<std::int64_t>(std::llround(options.unplugAfter * 1e6));
    if (options.flickerAfter >= 0.0) {
        m_goneAt = m_start + static_cast<std::int64_t>(std::llround(options.flickerAfter * 1e6));
        m_backAt = m_goneAt + std::int64_t(options.flickerMs) * 1000;
    }
    m_unsolicitedSent.assign(options.unsolicited.size(), false);
}

void Server::flicker(std::int64_t now)
{
    if (m_goneAt >= 0 && now >= m_goneAt && m_link.present()) {
        m_trace.record("GONE", m_link.linkPath());
        m_link.vanish();
        for (const Pending& p : m_pending)
            m_trace.record("LOST", p.bytes);
        m_pending.clear();
        m_reader = LineReader();
        m_goneAt = -1;
    }
    if (m_goneAt < 0 && m_backAt >= 0 && now >= m_backAt) {
        if (m_link.reappear())
            m_trace.record("BACK", m_link.linkPath() + " -> " + m_link.slavePath());
        else
            std::fprintf(stderr, "mero-sim: cannot come back: %s\n", std::strerror(errno));
        m_backAt = -1;
    }
}

int Server::run(int signalFd)
{
    for (;;) {
        const std::int64_t now = monotonicMicros();
        if (m_unplugAt >= 0 && now >= m_unplugAt) {
            m_trace.record("UNPLUG", m_link.linkPath());
            m_link.close();
            return 0;
        }
        flicker(now);
        writeDue(now);

        // While the unit is gone only the stop signal is watched.
        pollfd fds[2] = {{signalFd, POLLIN, 0}, {m_link.master(), POLLIN, 0}};
        const int n = poll(fds, m_link.present() ? 2 : 1, pollTimeout(now));
        if (n < 0 && errno != EINTR) {
            std::fprintf(stderr, "mero-sim: poll: %s\n", std::strerror(errno));
            return 1;
        }
        if (n <= 0)
            continue;
        if (fds[0].revents & POLLIN) {
            unsigned char sig = 0;
            const ssize_t got = read(signalFd, &sig, 1);
            m_trace.record("STOP", got == 1 ? strsignal(sig) : "signal");
            m_link.close();
            return 0;
        }
        if (m_link.present() && (fds[1].revents & (POLLIN | POLLHUP | POLLERR))) {
            if (!readInput()) {
                std::fprintf(stderr, "mero-sim: the pseudo-terminal failed: %s\n",
                             std::strerror(errno));
                m_link.close();
                return 1;
            }
        }
    }
}

// Reads what is waiting; false on a failure other than "nothing there".
bool Server::readInput()
{
    char buf[4096];
    const ssize_t n = read(m_link.master(), buf, sizeof buf);
    if (n < 0)
        return errno == EAGAIN || errno == EINTR;
    if (n == 0)
        return false;
    m_reader.feed(std::string_view(buf, static_cast<std::size_t>(n)),
                  [this](std::string_view line, bool overlong) { onLine(line, overlong); });
    return true;
}

void Server::onLine(std::string_view text, bool overlong)
{
    ++m_received;
    m_trace.record("RX", text);
    if (m_opt.dropEvery > 0 && m_received % m_opt.dropEvery == 0) {
        m_trace.record("DROP", text);
        return;
    }
    if (m_opt.silentAfter >= 0 && m_answered >= m_opt.silentAfter) {
        m_trace.record("MUTE", text);
        return;
    }

    const std::int64_t now = monotonicMicros();
    Pending reply{now + std::int64_t(m_opt.delayMs) * 1000, {}, true};
    const ParsedLine parsed = parseLine(text);
    const bool query = !overlong && parsed.kind == ParsedLine::Kind::Query;
    if (query) {
        for (const LateRule& rule : m_opt.late)
            if (rule.mnemonic == parsed.mnemonic)
                reply.due = now + std::int64_t(rule.ms) * 1000;
    }
    if (overlong) {
        reply.bytes = "ERR line too long";
    } else {
        reply.bytes = m_unit.handle(text, double(now - m_start) / 1e6);
        if (!m_opt.answers.empty()) {
            const ParsedLine p = parseLine(text);
            for (const AnswerRule& rule : m_opt.answers)
                if (p.kind == ParsedLine::Kind::Query && rule.mnemonic == p.mnemonic)
                    reply.bytes = rule.text;
        }
        if (auto garbage = garbageFor(text)) {
            reply.bytes = std::move(*garbage);
            reply.lineEnd = false;
        }
    }
    ++m_answered;
    const std::int64_t replyDue = reply.due;
    for (std::size_t i = 0; query && i < m_opt.unsolicited.size(); ++i) {
        const UnsolicitedRule& rule = m_opt.unsolicited[i];
        if (m_unsolicitedSent[i] || rule.mnemonic != parsed.mnemonic)
            continue;
        m_unsolicitedSent[i] = true;
        // Before the reply: due now, and ahead of it in the queue.
        schedule({rule.afterMs < 0 ? now : replyDue + std::int64_t(rule.afterMs) * 1000 + 1,
                  rule.text, true, true});
    }
    schedule(std::move(reply));
    writeDue(monotonicMicros());
}

void Server::schedule(Pending p)
{
    if (m_pending.size() >= MaxPendingReplies) {
        m_trace.record("LOST", p.bytes);
        return;
    }
    // In due order; equal dues keep their order of arrival.
    auto at = m_pending.end();
    while (at != m_pending.begin() && std::prev(at)->due > p.due)
        --at;
    m_pending.insert(at, std::move(p));
}

// Random bytes, never a CR, when a garbage rule names the line's mnemonic.
std::optional<std::string> Server::garbageFor(std::string_view text)
{
    if (m_opt.garbage.empty())
        return std::nullopt;
    const ParsedLine p = parseLine(text);
    for (const GarbageRule& rule : m_opt.garbage) {
        if (p.kind == ParsedLine::Kind::Bad || rule.mnemonic != p.mnemonic)
            continue;
        std::string out;
        std::uniform_int_distribution<int> byte(0, 255);
        while (out.size() < rule.bytes) {
            const int b = byte(m_garbageRng);
            if (b != '\r')
                out.push_back(static_cast<char>(b));
        }
        return out;
    }
    return std::nullopt;
}

void Server::writeDue(std::int64_t now)
{
    while (!m_pending.empty() && m_pending.front().due <= now) {
        const Pending reply = std::move(m_pending.front());
        m_pending.pop_front();
        std::string bytes = reply.bytes;
        if (reply.lineEnd)
            bytes += m_opt.crOnly ? "\r" : "\r\n";
        m_link.keepEchoOff();
        // Traced before the write: a client may act on the reply at once, and then finds
        // the reply in the trace already.
        m_trace.record(reply.unasked ? "SEND" : "TX", reply.bytes);
        const ssize_t n = write(m_link.master(), bytes.data(), bytes.size());
        const std::size_t written = n > 0 ? static_cast<std::size_t>(n) : 0;
        if (written < bytes.size())
            m_trace.record("LOST", std::string_view(bytes).substr(written));
    }
}

int Server::pollTimeout(std::int64_t now) const
{
    std::int64_t next = -1;
    if (!m_pending.empty())
        next = m_pending.front().due;
    if (m_unplugAt >= 0 && (next < 0 || m_unplugAt < next))
        next = m_unplugAt;
    for (const std::int64_t at : {m_goneAt, m_backAt})
        if (at >= 0 && (next < 0 || at < next))
            next = at;
    if (next < 0)
        return -1;
    const std::int64_t waitUs = std::max<std::int64_t>(0, next - now);
    return static_cast<int>((waitUs + 999) / 1000);
}

} // namespace sim
