// SPDX-License-Identifier: GPL-3.0-or-later
// Number helpers of the spin edit: ParseInBase, DigitValue, FormatFixed,
// FormatFixedSignificant, GroupDigits, LeadingExponent, RoundToInt.
//
// Asserts: ParseInBase throws only MeroError, and exactly for texts outside
// "[-]digits[.digits]" in the base; it returns finite values, exact for short
// whole numbers; FormatFixed gives "[-]digits.decimals" without "-0" and reads
// back through ParseInBase within half a unit of the last decimal; grouping
// only inserts separators; the leading exponent brackets the value.

#include "FuzzCheck.h"
#include "NumberShape.h"
#include "meroerror.h"
#include "spinnumbers.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <QString>

#include <climits>
#include <cmath>
#include <cstdint>
#include <string>

namespace
{

int RefDigit(char16_t u)
{
    if (u >= u'0' && u <= u'9')
        return u - u'0';
    if (u >= u'A' && u <= u'Z')
        return u - u'A' + 10;
    if (u >= u'a' && u <= u'z')
        return u - u'a' + 10;
    return -1;
}

// Whether text has the shape ParseInBase reads, and its value in long double.
bool RefParse(const QString& text, int base, long double& value, int& digits, bool& point)
{
    const bool negative = text.size() > 1 && text.startsWith(u'-');
    value = 0;
    digits = 0;
    point = false;
    long double scale = 1;
    for (qsizetype i = negative ? 1 : 0; i < text.size(); ++i) {
        if (text[i] == u'.') {
            if (point)
                return false;
            point = true;
            continue;
        }
        const int d = RefDigit(text[i].unicode());
        if (d < 0 || d >= base)
            return false;
        ++digits;
        if (point) {
            scale /= base;
            value += d * scale;
        } else {
            value = value * base + d;
        }
    }
    if (negative)
        value = -value;
    return true;
}

void CheckParse(const QString& text, int base)
{
    long double ref = 0;
    int digits = 0;
    bool point = false;
    const bool shape = RefParse(text, base, ref, digits, point);
    double v = 0;
    bool thrown = false;
    try {
        v = spinnum::ParseInBase(text, base);
    } catch (const MeroError& e) {
        FUZZ_CHECK(std::string(e.what()) == "Not a valid number");
        thrown = true;
    }
    if (!shape) {
        FUZZ_CHECK(thrown);
        return;
    }
    // Right at the top of the double range the two sums may round apart.
    if (std::fabs(ref) > 1e308L && std::fabs(ref) < 2e308L) {
        FUZZ_CHECK(thrown || std::isfinite(v));
        return;
    }
    FUZZ_CHECK(thrown == !std::isfinite(double(ref)));
    if (thrown)
        return;
    FUZZ_CHECK(std::isfinite(v));
    if (!point && digits <= 12) {
        FUZZ_CHECK(v == double(ref)); // below 2^53: exact
    } else {
        const long double diff = std::fabs(static_cast<long double>(v) - ref);
        FUZZ_CHECK(diff <= std::fabs(ref) * 1e-12L + 1e-300L);
    }
}

void CheckFormat(double v, int decimals, int significant)
{
    const QString s = spinnum::FormatFixed(v, decimals);
    if (decimals < 0 || decimals > 18)
        return; // outside what the control uses: only no crash
    FUZZ_CHECK(FixedShape(s.toLatin1().toStdString(), 1, decimals));
    bool anyNonZero = false;
    for (QChar c : s)
        anyNonZero |= c >= u'1' && c <= u'9';
    FUZZ_CHECK(!s.startsWith(u'-') || anyNonZero);
    const double x = std::isfinite(v) ? v : 0;
    const double back = spinnum::ParseInBase(s, 10);
    const double tolerance = 0.5 * std::pow(10.0, -decimals) * (1 + 1e-9) + std::fabs(x) * 1e-12;
    FUZZ_CHECK(std::fabs(back - x) <= tolerance);

    const QString sig = spinnum::FormatFixedSignificant(v, decimals, significant);
    FUZZ_CHECK(FixedShape(sig.toLatin1().toStdString(), 1, decimals));
    if (significant > 0 && significant <= 17) {
        const double back2 = spinnum::ParseInBase(sig, 10);
        const double cut = std::fabs(x) * 0.5 * std::pow(10.0, 1 - significant) * (1 + 1e-9);
        FUZZ_CHECK(std::fabs(back2 - x) <= tolerance + cut);
    }
}

void CheckGroup(const QString& plain, QChar sep, int group)
{
    const QString g = spinnum::GroupDigits(plain, sep, group);
    if (sep.isNull() || group <= 0) {
        FUZZ_CHECK(g == plain);
        return;
    }
    QString stripped = g;
    stripped.remove(sep);
    FUZZ_CHECK(stripped == plain);
    FUZZ_CHECK(!g.startsWith(sep));
    FUZZ_CHECK(!g.startsWith(QString(u'-') + sep));
    FUZZ_CHECK(!g.contains(QString(sep) + u'.') && !g.contains(QString(u'.') + sep));
    FUZZ_CHECK(!g.endsWith(sep));
    // Separators stand every `group` digits, counted away from ".".
    const qsizetype dot = g.indexOf(u'.');
    const QString whole = dot < 0 ? g : g.left(dot);
    int run = 0;
    for (qsizetype i = whole.size() - 1; i >= 0; --i) {
        if (whole[i] == sep) {
            FUZZ_CHECK(run == group);
            run = 0;
        } else if (whole[i] != u'-') {
            ++run;
        }
    }
    if (dot >= 0) {
        run = 0;
        for (qsizetype i = dot + 1; i < g.size(); ++i) {
            if (g[i] == sep) {
                FUZZ_CHECK(run == group);
                run = 0;
            } else {
                ++run;
            }
        }
    }
}

void CheckExponent(int base, double v)
{
    const int n = spinnum::LeadingExponent(base, v);
    FUZZ_CHECK(n >= 1);
    const double a = std::fabs(v);
    if (!std::isfinite(v) || a >= 1e15)
        return;
    const int e = n - (v < 0 ? 1 : 0);
    FUZZ_CHECK(e >= 1);
    double power = 1;
    for (int i = 0; i < e; ++i)
        power *= base;
    if (e > 1)
        FUZZ_CHECK(power <= a);
    FUZZ_CHECK(a < power * base);
}

void CheckRound(double v)
{
    const int r = spinnum::RoundToInt(v);
    if (std::isnan(v)) {
        FUZZ_CHECK(r == 0);
    } else if (v >= double(INT_MAX)) {
        FUZZ_CHECK(r == INT_MAX);
    } else if (v <= double(INT_MIN)) {
        FUZZ_CHECK(r == INT_MIN);
    } else {
        const double diff = double(r) - v;
        FUZZ_CHECK(std::fabs(diff) <= 0.5);
        if (std::fabs(diff) == 0.5)
            FUZZ_CHECK(r % 2 == 0);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    FuzzedDataProvider in(data, size);
    const int base = in.ConsumeIntegralInRange<int>(spinnum::MinBase, spinnum::MaxBase);
    const double raw = in.ConsumeFloatingPoint<double>();
    const double moderate = in.ConsumeFloatingPointInRange<double>(-1e9, 1e9);
    const int decimals = in.ConsumeIntegralInRange<int>(-2, 40);
    const int significant = in.ConsumeIntegralInRange<int>(-1, 20);
    const char16_t sepCode = in.ConsumeIntegral<char16_t>();
    const int group = in.ConsumeIntegralInRange<int>(0, 6);
    const bool wide = in.ConsumeBool();
    const std::string rest = in.ConsumeRemainingBytesAsString();

    // The text: Latin-1 bytes, or pairs of bytes as UTF-16 units.
    QString text =
        wide ? QString(reinterpret_cast<const QChar*>(rest.data()), qsizetype(rest.size() / 2))
             : QString::fromLatin1(rest.data(), qsizetype(rest.size()));
    CheckParse(text, base);
    for (QChar c : text)
        FUZZ_CHECK(spinnum::DigitValue(c) == RefDigit(c.unicode()));

    for (double v : {raw, moderate, std::nearbyint(moderate), moderate / 1024}) {
        CheckFormat(v, decimals, significant);
        CheckExponent(base, v);
        CheckRound(v);
        if (decimals >= 0 && decimals <= 18) {
            const QChar sep(sepCode);
            const bool usable = !sep.isDigit() && sep != u'-' && sep != u'.';
            if (usable)
                CheckGroup(spinnum::FormatFixed(v, decimals), sep, group);
        }
    }
    return 0;
}
