// SPDX-License-Identifier: GPL-3.0-or-later
// Reply conversions and wire number texts: NumberFormat::ParseInt32,
// NumberFormat::ParseFloat, both RoundToInt32, FormatFixed, FormatPattern,
// FormatGeneral and FormatInteger.
//
// Asserts: the parsers accept exactly the documented shapes (checked by a
// separate grammar) and read the same value as the C library; a float is
// always finite; rounding is ties-to-even and saturated, the same in both
// copies; every formatted text has the documented shape, no "-0", and reads
// back as the value within the rounding it describes.

#include "FuzzCheck.h"
#include "NumberFormat.h"
#include "NumberShape.h"
#include "ValueFormat.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cerrno>
#include <cfloat>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>

namespace
{

std::size_t SkipBlanks(std::string_view s)
{
    std::size_t i = 0;
    while (i < s.size() && (s[i] == ' ' || s[i] == '\t'))
        ++i;
    return i;
}

// blanks [sign] (digits [. digits*] | . digits) [(e|E) [sign] digits]
bool FloatShape(std::string_view s)
{
    return NumberShapeFrom(s, SkipBlanks(s), false);
}

// strtod in the "C" locale (the fuzzer never changes it).
double CRead(const std::string& s, bool& range)
{
    errno = 0;
    const double v = std::strtod(s.c_str(), nullptr);
    range = errno == ERANGE;
    return v;
}

void CheckParsers(std::string_view text)
{
    const QByteArrayView view(text.data(), qsizetype(text.size()));

    const auto i = NumberFormat::ParseInt32(view);
    const auto ri = ReferenceInt32(text);
    FUZZ_CHECK(i.has_value() == ri.has_value());
    FUZZ_CHECK(!i || *i == *ri);

    const auto f = NumberFormat::ParseFloat(view);
    const bool shape = FloatShape(text);
    if (f) {
        FUZZ_CHECK(shape);
        FUZZ_CHECK(std::isfinite(*f));
    }
    if (shape) {
        bool range = false;
        const double c = CRead(std::string(text), range);
        // Normal results must be read, and read exactly as the C library does;
        // what underflows may be refused.
        if (!range && std::isfinite(c) && (c == 0 || std::fabs(c) >= DBL_MIN))
            FUZZ_CHECK(f.has_value());
        if (f)
            FUZZ_CHECK(*f == c || (std::fabs(c) < DBL_MIN && std::fabs(*f) < DBL_MIN));
        if (!std::isfinite(c))
            FUZZ_CHECK(!f.has_value());
    }
}

void CheckRounding(double v)
{
    const std::int32_t a = NumberFormat::RoundToInt32(v);
    const std::int32_t b = ::RoundToInt32(v);
    FUZZ_CHECK(a == b);
    if (std::isnan(v)) {
        FUZZ_CHECK(a == 0);
        return;
    }
    if (v >= 2147483647.0) {
        FUZZ_CHECK(a == INT32_MAX);
        return;
    }
    if (v <= -2147483648.0) {
        FUZZ_CHECK(a == INT32_MIN);
        return;
    }
    const double diff = double(a) - v;
    FUZZ_CHECK(std::fabs(diff) <= 0.5);
    if (std::fabs(diff) == 0.5)
        FUZZ_CHECK(a % 2 == 0);
}

void CheckFixed(double v, int intDigits, int decimals)
{
    const QString s = FormatFixed(v, intDigits, decimals);
    if (!std::isfinite(v)) {
        FUZZ_CHECK(s.isEmpty());
        return;
    }
    const int id = std::clamp(intDigits, 1, 30);
    const int dd = std::clamp(decimals, 0, 30);
    FUZZ_CHECK(FixedShape(s.toLatin1().toStdString(), id, dd));
    // Read back in long double: the 15-digit cut of the largest doubles is
    // beyond the double range.
    const std::string text = s.toStdString();
    const long double back = std::strtold(text.c_str(), nullptr);
    // "-" only in front of a value that is not zero.
    if (s.startsWith(u'-'))
        FUZZ_CHECK(back != 0);
    // The text is v cut to 15 digits, then rounded to dd decimals.
    const long double tolerance =
        0.5L * std::pow(10.0L, -dd) * (1 + 1e-9L) + std::fabs(static_cast<long double>(v)) * 1e-14L;
    FUZZ_CHECK(std::fabs(back - v) <= tolerance);
    FUZZ_CHECK(back == 0 || std::signbit(back) == std::signbit(v));

    // The same through a pattern of that shape.
    std::string pattern(std::size_t(id), '0');
    if (dd > 0)
        pattern += '.' + std::string(std::size_t(dd), '0');
    FUZZ_CHECK(FormatPattern(v, QByteArrayView(pattern.data(), qsizetype(pattern.size()))) == s);
}

void CheckGeneral(double v)
{
    const QString s = FormatGeneral(v);
    if (!std::isfinite(v)) {
        FUZZ_CHECK(s.isEmpty());
        return;
    }
    for (QChar c : s)
        FUZZ_CHECK((c >= u'0' && c <= u'9') || c == u'-' || c == u'.' || c == u'E');
    // The wire text reads back through the reply parser, to 15 digits.
    const QByteArray bytes = s.toLatin1();
    const auto back = NumberFormat::ParseFloat(bytes);
    // Past 1e308 the 15-digit cut may round beyond the double range.
    if ((std::fabs(v) >= DBL_MIN && std::fabs(v) < 1e308) || v == 0) {
        FUZZ_CHECK(back.has_value());
        FUZZ_CHECK(std::fabs(*back - v) <= std::fabs(v) * 1e-14);
    }
    FUZZ_CHECK(!s.startsWith(u'-') || v < 0);
}

void CheckInteger(std::int64_t v)
{
    const QByteArray s = FormatInteger(v).toLatin1();
    std::int64_t back = 0;
    const auto res = std::from_chars(s.constData(), s.constData() + s.size(), back);
    FUZZ_CHECK(res.ec == std::errc() && res.ptr == s.constData() + s.size() && back == v);
    if (v >= INT32_MIN && v <= INT32_MAX) {
        const auto i = NumberFormat::ParseInt32(s);
        FUZZ_CHECK(i && *i == v);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    CheckParsers(std::string_view(reinterpret_cast<const char*>(data), size));

    FuzzedDataProvider in(data, size);
    const double raw = in.ConsumeFloatingPoint<double>();
    // Values of the size the unit uses matter most; also read the input as text.
    const double small = in.ConsumeFloatingPointInRange<double>(-1e7, 1e7);
    const int intDigits = in.ConsumeIntegralInRange<int>(-2, 34);
    const int decimals = in.ConsumeIntegralInRange<int>(-2, 34);
    const std::int64_t whole = in.ConsumeIntegral<std::int64_t>();
    const std::string rest = in.ConsumeRemainingBytesAsString();
    bool range = false;
    const double parsed = CRead(rest, range);

    for (double v : {raw, small, parsed, std::nearbyint(small), small / 8}) {
        CheckRounding(v);
        CheckFixed(v, intDigits, decimals);
        CheckGeneral(v);
    }
    CheckInteger(whole);
    CheckInteger(std::int32_t(whole));
    return 0;
}
