// SPDX-License-Identifier: GPL-3.0-or-later
#include "numbers.h"

#include <charconv>
#include <cmath>
#include <cstdio>

namespace sim
{

namespace
{

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

// Length of a run of digits starting at `pos`.
std::size_t digitRun(std::string_view text, std::size_t pos)
{
    std::size_t n = 0;
    while (pos + n < text.size() && isDigit(text[pos + n]))
        ++n;
    return n;
}

} // namespace

std::optional<std::int32_t> parseInteger(std::string_view text)
{
    std::size_t pos = 0;
    if (pos < text.size() && (text[pos] == '+' || text[pos] == '-'))
        ++pos;
    const std::size_t digits = digitRun(text, pos);
    if (digits == 0 || pos + digits != text.size())
        return std::nullopt;
    // from_chars rejects a leading '+', so skip it ourselves.
    const char* first = text.data() + (text[0] == '+' ? 1 : 0);
    std::int32_t value = 0;
    const auto res = std::from_chars(first, text.data() + text.size(), value);
    if (res.ec != std::errc() || res.ptr != text.data() + text.size())
        return std::nullopt;
    return value;
}

std::optional<double> parseNumber(std::string_view text)
{
    std::size_t pos = 0;
    if (pos < text.size() && (text[pos] == '+' || text[pos] == '-'))
        ++pos;
    const std::size_t intDigits = digitRun(text, pos);
    pos += intDigits;
    std::size_t fracDigits = 0;
    if (pos < text.size() && text[pos] == '.') {
        ++pos;
        fracDigits = digitRun(text, pos);
        pos += fracDigits;
    }
    if (intDigits + fracDigits == 0)
        return std::nullopt;
    if (pos < text.size() && (text[pos] == 'e' || text[pos] == 'E')) {
        ++pos;
        if (pos < text.size() && (text[pos] == '+' || text[pos] == '-'))
            ++pos;
        const std::size_t expDigits = digitRun(text, pos);
        if (expDigits == 0)
            return std::nullopt;
        pos += expDigits;
    }
    if (pos != text.size())
        return std::nullopt;
    const char* first = text.data() + (text[0] == '+' ? 1 : 0);
    double value = 0;
    const auto res = std::from_chars(first, text.data() + text.size(), value);
    if (res.ec != std::errc() || res.ptr != text.data() + text.size() || !std::isfinite(value))
        return std::nullopt;
    return value;
}

std::string formatFixed(double value, int decimals)
{
    char buf[64];
    const int n = std::snprintf(buf, sizeof buf, "%.*f", decimals, value);
    std::string text;
    if (n >= static_cast<int>(sizeof buf)) {
        // A large value needs more room than the buffer (1e300 has 301 digits).
        text.resize(static_cast<std::size_t>(n));
        std::snprintf(text.data(), text.size() + 1, "%.*f", decimals, value);
    } else if (n > 0) {
        text.assign(buf, static_cast<std::size_t>(n));
    }
    if (!text.empty() && text[0] == '-' && text.find_first_not_of("-0.") == std::string::npos)
        text.erase(0, 1);
    return text;
}

double quantize(double value, int decimals)
{
    const double scale = std::pow(10.0, decimals);
    return std::nearbyint(value * scale) / scale;
}

} // namespace sim
