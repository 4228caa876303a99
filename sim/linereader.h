// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Cuts the received byte stream into lines. CR, LF and CR LF all end a line (an LF right
// after a CR belongs to that CR). Empty lines are dropped. Every other byte, NUL included,
// is kept for the unit to judge. Memory is bounded: a line longer than the limit keeps only
// its first `maxLine` bytes and is reported as overlong when its end arrives; a line whose
// end never arrives holds at most `maxLine` bytes.

#include <cstddef>
#include <string>
#include <string_view>

namespace sim
{

class LineReader
{
public:
    explicit LineReader(std::size_t maxLine = 128);

    // Calls onLine(std::string_view text, bool overlong) for each line completed by `data`.
    template <typename F> void feed(std::string_view data, F&& onLine)
    {
        for (char c : data) {
            if (c == '\r' || c == '\n') {
                const bool swallow = c == '\n' && m_lastWasCr;
                m_lastWasCr = c == '\r';
                if (swallow)
                    continue;
                if (!m_line.empty() || m_overlong)
                    onLine(std::string_view(m_line), m_overlong);
                m_line.clear();
                m_overlong = false;
                continue;
            }
            m_lastWasCr = false;
            if (m_line.size() < m_maxLine)
                m_line.push_back(c);
            else
                m_overlong = true;
        }
    }

    std::size_t pending() const { return m_line.size(); }

private:
    std::size_t m_maxLine;
    std::string m_line;
    bool m_overlong = false;
    bool m_lastWasCr = false;
};

} // namespace sim
