// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Number texts for the wire, independent of the process locale: "." as decimal
// separator, no thousands separator, digits "0".."9" only.
//
// Fixed-decimal and general forms first cut the value to 15 significant decimal
// digits (what the operator sees of a double), then round that decimal text
// half away from zero, so 2.675 with two decimals gives "2.68" and never
// "2.67" through the binary value 2.67499999....
//
// A value that is not finite has no text: every function returns an empty
// string for NaN or an infinity, and callers send nothing in that case.

#include <QByteArrayView>
#include <QString>
#include <cstdint>

// The fixed-decimal patterns of the command set.
inline constexpr char PatternCurrent[] = "000.00";    // CS
inline constexpr char PatternRate[] = "000000.0";     // RR
inline constexpr char PatternSeconds[] = "0.0000000"; // PW, QD
inline constexpr char PatternVoltage[] = "00.0";      // CV
inline constexpr char PatternAnalogOut[] = "0.000";   // AO

// Nearest integer, a half going to the even neighbour (2.5 -> 2, 3.5 -> 4,
// -2.5 -> -2), then held to the 32-bit range; NaN gives 0.
std::int32_t RoundToInt32(double value);

// Decimal digits with "-" in front of a negative value, no leading zeros.
QString FormatInteger(std::int64_t value);

// At least intDigits integer digits (leading zeros) and exactly decimals
// decimals, rounded; "-" in front of a negative result, but never "-0.00".
// intDigits and decimals are clamped to 1..30 and 0..30.
QString FormatFixed(double value, int intDigits, int decimals);

// A pattern of "0"s with at most one "." ("000.00"); an invalid pattern gives
// an empty string.
QString FormatPattern(double value, QByteArrayView pattern);

// At most 15 significant digits, no trailing zeros, no "." for a whole value;
// scientific ("1.5E-5", "1E15") when the magnitude is below 1e-4 or at least
// 1e15 after the cut to 15 digits.
QString FormatGeneral(double value);
