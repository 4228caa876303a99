// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

// Numbers travel with '.' as decimal and ',' as thousands separator whatever
// the operator's locale. Every conversion here is locale-free.
namespace NumberFormat
{
inline constexpr char DecimalSeparator = '.';
inline constexpr char ThousandSeparator = ',';

// Call right after QApplication is constructed (it calls setlocale(LC_ALL,
// "")): puts LC_NUMERIC back to "C" so no C library call depends on it.
void FixProcessNumberFormat();

// Optional leading blanks, optional sign, decimal digits, 32-bit range.
// Nothing else (no trailing text, no hex).
std::optional<qint32> ParseInt32(QByteArrayView text);
// Optional leading blanks, optional sign, digits with an optional '.'
// fraction and an optional exponent; a finite result. No nan/inf/hex.
std::optional<double> ParseFloat(QByteArrayView text);

// Nearest integer, ties to even; saturated to the 32-bit range; NaN gives 0.
qint32 RoundToInt32(double value);
} // namespace NumberFormat
