// SPDX-License-Identifier: GPL-3.0-or-later
#include "ValueFormat.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>
#include <string>

namespace
{

constexpr int SignificantDigits = 15;

// |value| cut to 15 significant digits: Digits[0] is at the place 10^Exponent.
// to_chars never looks at the locale.
struct TDecimal {
    std::string Digits;
    int Exponent = 0;
};

TDecimal ToDecimal(double magnitude)
{
    TDecimal d;
    if (magnitude == 0) {
        d.Digits = "0";
        return d;
    }
    char buf[64];
    const auto res = std::to_chars(buf, buf + sizeof buf, magnitude, std::chars_format::scientific,
                                   SignificantDigits - 1);
    const std::string_view text(buf, res.ptr - buf); // "d.ddddddddddddddde+XX"
    const auto e = text.find('e');
    d.Digits.reserve(SignificantDigits);
    for (char c : text.substr(0, e))
        if (c != '.')
            d.Digits += c;
    std::from_chars(text.data() + e + (text[e + 1] == '+' ? 2 : 1), text.data() + text.size(),
                    d.Exponent);
    return d;
}

// Keeps the digits down to the place 10^-decimals, rounding the first dropped
// digit half away from zero. An empty Digits means the value rounded to zero.
TDecimal RoundToPlaces(TDecimal d, int decimals)
{
    const int keep = d.Exponent + decimals + 1;
    if (keep >= static_cast<int>(d.Digits.size()))
        return d;
    if (keep < 0) {
        d.Digits.clear();
        return d;
    }
    const bool up = d.Digits[keep] >= '5';
    d.Digits.resize(keep);
    if (up) {
        int i = keep - 1;
        for (; i >= 0 && d.Digits[i] == '9'; --i)
            d.Digits[i] = '0';
        if (i >= 0) {
            ++d.Digits[i];
        } else {
            d.Digits.insert(d.Digits.begin(), '1');
            ++d.Exponent;
        }
    }
    if (d.Digits.find_first_not_of('0') == std::string::npos)
        d.Digits.clear();
    return d;
}

QString Latin1(const std::string& s)
{
    return QString::fromLatin1(s.data(), qsizetype(s.size()));
}

} // namespace

std::int32_t RoundToInt32(double value)
{
    if (std::isnan(value))
        return 0;
    const double r = std::nearbyint(value);
    if (r <= double(std::numeric_limits<std::int32_t>::min()))
        return std::numeric_limits<std::int32_t>::min();
    if (r >= double(std::numeric_limits<std::int32_t>::max()))
        return std::numeric_limits<std::int32_t>::max();
    return static_cast<std::int32_t>(r);
}

QString FormatInteger(std::int64_t value)
{
    char buf[24];
    const auto res = std::to_chars(buf, buf + sizeof buf, value);
    return QString::fromLatin1(buf, res.ptr - buf);
}

QString FormatFixed(double value, int intDigits, int decimals)
{
    if (!std::isfinite(value))
        return {};
    intDigits = std::clamp(intDigits, 1, 30);
    decimals = std::clamp(decimals, 0, 30);
    const TDecimal d = RoundToPlaces(ToDecimal(std::fabs(value)), decimals);
    const int top = d.Digits.empty() ? intDigits - 1 : std::max(d.Exponent, intDigits - 1);
    auto digitAt = [&](int place) {
        const int i = d.Exponent - place;
        return i >= 0 && i < static_cast<int>(d.Digits.size()) ? d.Digits[i] : '0';
    };
    std::string s;
    s.reserve(top + decimals + 3);
    if (value < 0 && !d.Digits.empty())
        s += '-';
    for (int place = top; place >= 0; --place)
        s += digitAt(place);
    if (decimals > 0) {
        s += '.';
        for (int place = -1; place >= -decimals; --place)
            s += digitAt(place);
    }
    return Latin1(s);
}

QString FormatPattern(double value, QByteArrayView pattern)
{
    const qsizetype point = pattern.indexOf('.');
    const qsizetype intDigits = point < 0 ? pattern.size() : point;
    const qsizetype decimals = point < 0 ? 0 : pattern.size() - point - 1;
    if (intDigits < 1 || intDigits > 30 || decimals > 30 || (point >= 0 && decimals == 0))
        return {};
    for (qsizetype i = 0; i < pattern.size(); ++i)
        if (i != point && pattern[i] != '0')
            return {};
    return FormatFixed(value, int(intDigits), int(decimals));
}

QString FormatGeneral(double value)
{
    if (!std::isfinite(value))
        return {};
    if (value == 0)
        return QStringLiteral("0");
    TDecimal d = ToDecimal(std::fabs(value));
    d.Digits.erase(d.Digits.find_last_not_of('0') + 1);
    const int len = static_cast<int>(d.Digits.size());
    std::string s;
    if (value < 0)
        s += '-';
    if (d.Exponent < -4 || d.Exponent >= SignificantDigits) {
        s += d.Digits[0];
        if (len > 1) {
            s += '.';
            s.append(d.Digits, 1);
        }
        s += 'E';
        char buf[8];
        const auto res = std::to_chars(buf, buf + sizeof buf, d.Exponent);
        s.append(buf, res.ptr);
    } else if (d.Exponent >= 0) {
        const int intLen = d.Exponent + 1;
        s.append(d.Digits, 0, std::min(len, intLen));
        if (len < intLen)
            s.append(intLen - len, '0');
        if (len > intLen) {
            s += '.';
            s.append(d.Digits, intLen);
        }
    } else {
        s += "0.";
        s.append(-d.Exponent - 1, '0');
        s += d.Digits;
    }
    return Latin1(s);
}
