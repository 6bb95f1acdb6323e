// The text forms of numbers that scripts see: integer and float to text, and the integer and float
// parses used by every conversion of a value (string values read as numbers, numeric tokens of the
// expression compiler). Games compare and print these strings, so their exact shape matters.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace orin {

// Decimal text, "-" for negatives.
std::string IntToText(int32_t v);

// The general float text: at most 15 significant digits, no trailing zeros, "." as separator.
// Exponent form ("1E20", "1.5E-7", "-2.5E-6") when the decimal exponent of the value rounded to
// 15 digits is 15 or more or the value is below 0.00001 in magnitude; fixed form otherwise
// ("999999999999999", "0.00001"). Zero is "0"; infinities "INF" / "-INF"; NaN "NAN".
std::string FloatToText(long double v);

// Integer parse: optional blanks (spaces), an optional sign, then decimal digits or "$" and
// hexadecimal digits; the whole text must be consumed. Decimal values must fit int32; hexadecimal
// ones may use all 32 bits ("$FFFFFFFF" is -1). nullopt on any failure.
std::optional<int32_t> ParseInt(std::string_view text);

// Float parse: optional blanks, optional sign, digits with an optional "." part (at least one
// digit in all), an optional exponent "E"/"e" with optional sign and digits, optional trailing
// blanks. Values beyond the float range fail. nullopt on any failure.
std::optional<long double> ParseFloat(std::string_view text);

// Float to integer as stored values convert it: truncation toward zero, keeping the low 32 bits
// of the 64-bit result; values without a 64-bit form (NaN, infinities, |x| >= 2^63) give 0.
int32_t TruncToInt(long double v);

}  // namespace orin
