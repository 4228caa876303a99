#pragma once

// A reference grammar for plain decimal numbers, written apart from the parsers
// it checks so that both cannot share a mistake.

#include <cstddef>
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
