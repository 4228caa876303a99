// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Strict number reading and plain number writing for the virtual unit's wire texts.
// Reading accepts only plain decimal notation: optional sign, digits, an optional "."
// fraction and an optional exponent (numbers only); no blanks, hex, "inf" or "nan".
// Writing never depends on the process locale and never produces "-0".

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace sim
{

std::optional<std::int32_t> parseInteger(std::string_view text);
std::optional<double> parseNumber(std::string_view text);

// Fixed notation with exactly `decimals` digits after the point ("12.50").
std::string formatFixed(double value, int decimals);

// Rounds to `decimals` places, halves to the even neighbour.
double quantize(double value, int decimals);

} // namespace sim
