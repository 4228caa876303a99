// SPDX-License-Identifier: GPL-3.0-or-later
// The virtual unit's input side: LineReader (in random chunks), parseLine,
// Unit::handle, and its number reading and writing.
//
// Asserts: the lines cut from a stream do not depend on how it was split into
// reads and match a separate splitter (CR, LF, CR LF; no empty lines; long
// lines cut to the limit and marked); a parsed line is a 2-3 character
// upper-case mnemonic with a "?" or a trimmed value, or an "ERR " reply;
// every reply of the unit is one line of printable ASCII; the number readers
// accept exactly the plain decimal shapes, and written numbers read back.

#include "FuzzCheck.h"
#include "NumberShape.h"
#include "linereader.h"
#include "numbers.h"
#include "unit.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

namespace
{

struct TLine {
    std::string Text;
    bool Overlong;
    bool operator==(const TLine&) const = default;
};

std::vector<TLine> RefSplit(std::string_view s, std::size_t max, std::size_t& pending)
{
    std::vector<TLine> out;
    std::string cur;
    std::size_t len = 0;
    bool lastCr = false;
    for (char c : s) {
        if (c == '\r' || c == '\n') {
            const bool swallow = c == '\n' && lastCr;
            lastCr = c == '\r';
            if (swallow)
                continue;
            if (len > 0)
                out.push_back({cur, len > max});
            cur.clear();
            len = 0;
            continue;
        }
        lastCr = false;
        if (cur.size() < max)
            cur += c;
        ++len;
    }
    pending = cur.size();
    return out;
}

bool Printable(std::string_view s)
{
    for (char c : s)
        if (static_cast<unsigned char>(c) < 0x20 || static_cast<unsigned char>(c) > 0x7E)
            return false;
    return true;
}

// [sign] digits [. digits] | [sign] . digits, then [(e|E) [sign] digits]
bool NumberShape(std::string_view s, bool integer)
{
    return NumberShapeFrom(s, 0, integer);
}

void CheckNumbers(std::string_view text, double value, int decimals)
{
    const auto i = sim::parseInteger(text);
    if (i) {
        FUZZ_CHECK(NumberShape(text, true));
        FUZZ_CHECK(std::to_string(*i) ==
                   std::to_string(std::strtoll(std::string(text).c_str(), nullptr, 10)));
    }
    const auto f = sim::parseNumber(text);
    if (f) {
        FUZZ_CHECK(NumberShape(text, false));
        FUZZ_CHECK(std::isfinite(*f));
    }
    if (NumberShape(text, true) && text.size() < 10)
        FUZZ_CHECK(i.has_value());

    const std::string s = sim::formatFixed(value, decimals);
    if (!std::isfinite(value))
        return;
    const auto back = sim::parseNumber(s);
    FUZZ_CHECK(back.has_value());
    FUZZ_CHECK(std::fabs(*back - value) <=
               0.5 * std::pow(10.0, -decimals) * (1 + 1e-9) + std::fabs(value) * 1e-15);
    FUZZ_CHECK(s.find_first_not_of("-0.") != std::string::npos || s[0] != '-');
    const double q = sim::quantize(value, decimals);
    FUZZ_CHECK(!std::isfinite(q) ||
               std::fabs(q - value) <=
                   0.5 * std::pow(10.0, -decimals) * (1 + 1e-9) + std::fabs(value) * 1e-15);
}

void CheckParsed(std::string_view line)
{
    const sim::ParsedLine p = sim::parseLine(line);
    switch (p.kind) {
    case sim::ParsedLine::Kind::Bad:
        FUZZ_CHECK(p.error.rfind("ERR ", 0) == 0 && Printable(p.error));
        break;
    case sim::ParsedLine::Kind::Set:
        FUZZ_CHECK(!p.value.empty() && p.value.front() != ' ' && p.value.back() != ' ');
        FUZZ_CHECK(Printable(p.value));
        [[fallthrough]];
    case sim::ParsedLine::Kind::Query:
        FUZZ_CHECK(p.mnemonic.size() == 2 || p.mnemonic.size() == 3);
        FUZZ_CHECK(!IsDigit(p.mnemonic[0]));
        for (char c : p.mnemonic)
            FUZZ_CHECK((c >= 'A' && c <= 'Z') || IsDigit(c));
        FUZZ_CHECK(p.error.empty());
        FUZZ_CHECK(Printable(line));
        break;
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    FuzzedDataProvider in(data, size);
    const std::size_t max = in.ConsumeBool() ? 128 : in.ConsumeIntegralInRange<std::size_t>(0, 200);
    const double value = in.ConsumeFloatingPoint<double>();
    const int decimals = in.ConsumeIntegralInRange<int>(0, 9);
    const int config = in.ConsumeIntegralInRange<int>(0, 1);
    const std::size_t cuts = in.ConsumeIntegralInRange<std::size_t>(0, 8);
    std::vector<std::size_t> chunk;
    for (std::size_t i = 0; i < cuts; ++i)
        chunk.push_back(in.ConsumeIntegralInRange<std::size_t>(0, 64));
    const std::string stream = in.ConsumeRemainingBytesAsString();

    CheckNumbers(stream, value, decimals);

    // The stream in uneven reads gives the same lines as in one.
    sim::LineReader reader(max);
    std::vector<TLine> got;
    auto collect = [&got](std::string_view text, bool overlong) {
        got.push_back({std::string(text), overlong});
    };
    std::size_t pos = 0;
    for (std::size_t n : chunk) {
        n = std::min(n, stream.size() - pos);
        reader.feed(std::string_view(stream).substr(pos, n), collect);
        pos += n;
    }
    reader.feed(std::string_view(stream).substr(pos), collect);
    std::size_t pending = 0;
    FUZZ_CHECK(got == RefSplit(stream, max, pending));
    FUZZ_CHECK(reader.pending() == pending);

    sim::UnitOptions options;
    options.config = config;
    options.noise = false;
    sim::Unit unit(options);
    double now = 0;
    for (const TLine& line : got) {
        FUZZ_CHECK(line.Text.size() <= max);
        FUZZ_CHECK(line.Text.find_first_of("\r\n") == std::string::npos);
        CheckParsed(line.Text);
        if (line.Overlong)
            continue;
        now += 0.25;
        const std::string reply = unit.handle(line.Text, now);
        FUZZ_CHECK(!reply.empty() && Printable(reply));
        const sim::ParsedLine p = sim::parseLine(line.Text);
        if (p.kind != sim::ParsedLine::Kind::Query)
            FUZZ_CHECK(reply == "OK" || reply.rfind("ERR ", 0) == 0);
    }
    return 0;
}
