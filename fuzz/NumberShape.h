// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// A reference grammar for plain decimal numbers, written apart from the parsers
// it checks so that both cannot share a mistake.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

inline bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

// From s[i] to the end: [sign] (digits [. digits*] | . digits) [(e|E) [sign] digits];
// with integer set, [sign] digits only.
inline bool NumberShapeFrom(std::string_view s, std::size_t i, bool integer)
{
    if (i < s.size() && (s[i] == '+' || s[i] == '-'))
        ++i;
    std::size_t mantissa = 0;
    while (i < s.size() && IsDigit(s[i]))
        ++i, ++mantissa;
    if (integer)
        return mantissa > 0 && i == s.size();
    if (i < s.size() && s[i] == '.') {
        ++i;
        while (i < s.size() && IsDigit(s[i]))
            ++i, ++mantissa;
    }
    if (mantissa == 0)
        return false;
    if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
        ++i;
        if (i < s.size() && (s[i] == '+' || s[i] == '-'))
            ++i;
        std::size_t exp = 0;
        while (i < s.size() && IsDigit(s[i]))
            ++i, ++exp;
        if (exp == 0)
            return false;
    }
    return i == s.size();
}

// The output of a fixed format: "-"? digits{intDigits,} ("." digits{decimals})?
// Give it a QString as Latin-1: anything else becomes "?", which no shape accepts.
inline bool FixedShape(std::string_view s, int intDigits, int decimals)
{
    std::size_t i = !s.empty() && s[0] == '-' ? 1 : 0;
    int whole = 0;
    while (i < s.size() && IsDigit(s[i]))
        ++i, ++whole;
    if (whole < intDigits)
        return false;
    if (decimals == 0)
        return i == s.size();
    if (i >= s.size() || s[i] != '.')
        return false;
    ++i;
    int frac = 0;
    while (i < s.size() && IsDigit(s[i]))
        ++i, ++frac;
    return i == s.size() && frac == decimals;
}

// From s[i] to the end: [sign] digits and nothing else, inside the 32-bit range.
inline std::optional<std::int32_t> ReferenceInt32From(std::string_view s, std::size_t i)
{
    bool negative = false;
    if (i < s.size() && (s[i] == '+' || s[i] == '-'))
        negative = s[i++] == '-';
    if (i == s.size())
        return std::nullopt;
    __int128 v = 0;
    for (; i < s.size(); ++i) {
        if (!IsDigit(s[i]))
            return std::nullopt;
        v = v * 10 + (s[i] - '0');
        if (v > (__int128(1) << 40))
            return std::nullopt;
    }
    if (negative)
        v = -v;
    if (v < INT32_MIN || v > INT32_MAX)
        return std::nullopt;
    return static_cast<std::int32_t>(v);
}

// Blanks (spaces and tabs), then ReferenceInt32From: what every integer of a reply reads as.
inline std::optional<std::int32_t> ReferenceInt32(std::string_view s)
{
    std::size_t i = 0;
    while (i < s.size() && (s[i] == ' ' || s[i] == '\t'))
        ++i;
    return ReferenceInt32From(s, i);
}
