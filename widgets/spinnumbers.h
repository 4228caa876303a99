// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QChar>
#include <QString>

// Number helpers of the spin edit, free of widgets. Texts use "." as decimal separator
// whatever the locale. Bases run from 2 to 20.
namespace spinnum
{

inline constexpr int MinBase = 2;
inline constexpr int MaxBase = 20;
inline constexpr QChar DecimalSeparator = u'.';

// ln(base) from a table rounded to 13 decimal places, so that exact powers of the base
// come out with their own exponent.
double LnBase(int base);
// base^n computed as exp(n * LnBase(base)).
double BasePower(int base, double n);
// Exponent of the leading digit of v (at least 1), one more for a minus sign.
int LeadingExponent(int base, double v);

// Nearest whole number, a half to the even neighbour, saturated to 32 bits; 0 for NaN.
int RoundToInt(double v);

// v with exactly `decimals` digits after ".", no exponent, no grouping. An all-zero
// result carries no minus sign.
QString FormatFixed(double v, int decimals);
// As FormatFixed, after rounding v to at most `significant` significant digits.
QString FormatFixedSignificant(double v, int decimals, int significant);
// Inserts `sep` into a FormatFixed text: groups of `group` digits left and right of ".".
QString GroupDigits(const QString& plain, QChar sep, int group);

// "0".."9" -> 0..9, "A".."Z" and "a".."z" -> 10..35, anything else -> -1.
int DigitValue(QChar c);
// Reads a text of base digits with an optional leading "-" and at most one ".".
// Throws MeroError("Not a valid number") for anything else.
double ParseInBase(const QString& text, int base);

} // namespace spinnum
