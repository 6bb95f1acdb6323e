// 10-byte x87 extended floats, the float format of every stored value (variables, expression
// constants, animators). Layout: 64-bit significand with an explicit integer bit, then 15 bits of
// biased exponent (bias 16383) and the sign, little-endian.
//
// On x86 long double is that very format and the conversion is exact. Elsewhere the value passes
// through the widest native format: values outside its range become infinities or zeros, NaNs
// stay NaNs.
#pragma once

#include <array>
#include <cstdint>

namespace orin {

using Extended = std::array<uint8_t, 10>;

long double ExtendedToLongDouble(const uint8_t* tenBytes);
Extended LongDoubleToExtended(long double v);

namespace detail {
// The conversions used where long double is not the x87 format; exposed so that they are tested
// on every machine.
long double PortableExtendedToLongDouble(const uint8_t* tenBytes);
Extended PortableLongDoubleToExtended(long double v);
}  // namespace detail

}  // namespace orin
