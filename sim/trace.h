// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Traffic trace: one line per event, "<microseconds> <KIND> <text>", where the time is
// CLOCK_MONOTONIC in microseconds (comparable with the clock of any process on the machine).
// Bytes outside printable ASCII and the backslash are written as \xHH. Every line is
// flushed at once, so a reader sees it as soon as the event happened.

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

namespace sim
{

std::int64_t monotonicMicros();

class Trace
{
public:
    Trace() = default;
    Trace(const Trace&) = delete;
    Trace& operator=(const Trace&) = delete;
    ~Trace();

    // Returns false (with errno set) when the file cannot be created.
    bool open(const std::string& path);
    void record(std::string_view kind, std::string_view text);

private:
    std::FILE* m_file = nullptr;
};

} // namespace sim
