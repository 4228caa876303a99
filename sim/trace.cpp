// SPDX-License-Identifier: GPL-3.0-or-later
#include "trace.h"

#include <ctime>

namespace sim
{

std::int64_t monotonicMicros()
{
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return std::int64_t(ts.tv_sec) * 1000000 + ts.tv_nsec / 1000;
}

Trace::~Trace()
{
    if (m_file)
        std::fclose(m_file);
}

bool Trace::open(const std::string& path)
{
    m_file = std::fopen(path.c_str(), "w");
    return m_file != nullptr;
}

void Trace::record(std::string_view kind, std::string_view text)
{
    if (!m_file)
        return;
    std::string line = std::to_string(monotonicMicros());
    line += ' ';
    line += kind;
    line += ' ';
    static const char hex[] = "0123456789ABCDEF";
    for (char c : text) {
        const auto u = static_cast<unsigned char>(c);
        if (u < 0x20 || u > 0x7e || c == '\\') {
            line += "\\x";
            line += hex[u >> 4];
            line += hex[u & 15];
        } else {
            line += c;
        }
    }
    line += '\n';
    std::fwrite(line.data(), 1, line.size(), m_file);
    std::fflush(m_file);
}

} // namespace sim
