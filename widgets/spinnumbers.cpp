// SPDX-License-Identifier: GPL-3.0-or-later
#include "spinnumbers.h"

#include "meroerror.h"

#include <array>
#include <charconv>
#include <climits>
#include <cmath>
#include <system_error>

namespace spinnum
{

namespace
{

// Natural logarithms of 2..20, rounded to 13 decimal places.
constexpr std::array<double, 19> LnTable = {
    0.6931471805599, 1.0986122886681, 1.3862943611199, 1.6094379124341, 1.7917594692281,
    1.9459101090932, 2.0794415416798, 2.1972245773362, 2.3025850929940, 2.3978952727984,
    2.4849066497880, 2.5649493574615, 2.6390573296153, 2.7080502011022, 2.7725887222398,
    2.8332133440562, 2.8903717578962, 2.9444389791664, 2.9957322735540};

QString FixedText(double v, int decimals)
{
    // Big enough for the longest finite double with 18 decimals.
    char buf[400];
    auto res = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed, decimals);
    if (res.ec != std::errc())
        return QString();
    return QString::fromLatin1(buf, res.ptr - buf);
}

} // namespace

double LnBase(int base)
{
    if (base < MinBase || base > MaxBase)
        base = 10;
    return LnTable[static_cast<size_t>(base - MinBase)];
}

double BasePower(int base, double n)
{
    return std::exp(n * LnBase(base));
}

int LeadingExponent(int base, double v)
{
    const double a = std::fabs(v);
    double n = 0;
    if (a > 1)
        n = std::nearbyint(std::log(a) / LnBase(base));
    // The power itself by multiplication: exp() of a table value rounded up would put an
    // exact power (256 in base 16) below its own exponent.
    double power = 1;
    for (int i = 0; i < n; ++i)
        power *= base;
    if (a < power)
        n -= 1;
    if (n < 1)
        n = 1;
    if (v < 0)
        n += 1;
    return static_cast<int>(n);
}

int RoundToInt(double v)
{
    if (std::isnan(v))
        return 0;
    const double r = std::nearbyint(v);
    if (r >= static_cast<double>(INT_MAX))
        return INT_MAX;
    if (r <= static_cast<double>(INT_MIN))
        return INT_MIN;
    return static_cast<int>(r);
}

QString FormatFixed(double v, int decimals)
{
    if (!std::isfinite(v))
        v = 0;
    QString s = FixedText(v, decimals);
    if (s.startsWith(u'-')) {
        bool allZero = true;
        for (QChar c : s)
            if (c.isDigit() && c != u'0')
                allZero = false;
        if (allZero)
            s.remove(0, 1);
    }
    return s;
}

QString FormatFixedSignificant(double v, int decimals, int significant)
{
    if (std::isfinite(v) && v != 0 && significant > 0) {
        char buf[64];
        auto res =
            std::to_chars(buf, buf + sizeof buf, v, std::chars_format::scientific, significant - 1);
        double rounded = v;
        if (res.ec == std::errc())
            std::from_chars(buf, res.ptr, rounded);
        v = rounded;
    }
    return FormatFixed(v, decimals);
}

QString GroupDigits(const QString& plain, QChar sep, int group)
{
    if (sep.isNull() || group <= 0)
        return plain;
    const qsizetype dot = plain.indexOf(DecimalSeparator);
    const QString whole = dot < 0 ? plain : plain.left(dot);
    const QString fraction = dot < 0 ? QString() : plain.mid(dot + 1);

    QString out;
    // Whole part: a separator before every group-th digit counted from the right,
    // never in front of the first digit (so never after the sign).
    const bool negative = whole.startsWith(u'-');
    const QString digits = negative ? whole.mid(1) : whole;
    for (qsizetype i = 0; i < digits.size(); ++i) {
        const qsizetype fromRight = digits.size() - i;
        if (i > 0 && fromRight % group == 0)
            out += sep;
        out += digits[i];
    }
    if (negative)
        out.prepend(u'-');
    if (dot < 0)
        return out;

    out += DecimalSeparator;
    for (qsizetype i = 0; i < fraction.size(); ++i) {
        if (i > 0 && i % group == 0)
            out += sep;
        out += fraction[i];
    }
    return out;
}

int DigitValue(QChar c)
{
    const char16_t u = c.unicode();
    if (u >= u'0' && u <= u'9')
        return u - u'0';
    if (u >= u'A' && u <= u'Z')
        return u - u'A' + 10;
    if (u >= u'a' && u <= u'z')
        return u - u'a' + 10;
    return -1;
}

double ParseInBase(const QString& text, int base)
{
    const bool negative = text.size() > 1 && text.startsWith(u'-');
    double value = 0;
    double scale = 1;
    bool fraction = false;
    for (qsizetype i = negative ? 1 : 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c == DecimalSeparator) {
            if (fraction)
                throw MeroError("Not a valid number");
            fraction = true;
            scale = 1.0 / base;
            continue;
        }
        int d = DigitValue(c);
        if (d < 0 || d >= base)
            throw MeroError("Not a valid number");
        if (negative)
            d = -d;
        if (fraction) {
            value += d * scale;
            scale /= base;
        } else {
            value = value * base + d;
        }
    }
    if (!std::isfinite(value))
        throw MeroError("Not a valid number");
    return value;
}

} // namespace spinnum
