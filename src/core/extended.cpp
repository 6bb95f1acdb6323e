#include "core/extended.h"

#include <cfloat>
#include <cmath>
#include <cstring>
#include <limits>

namespace orin {

namespace {

constexpr bool kNativeX87 = std::numeric_limits<long double>::digits == 64 &&
                            std::numeric_limits<long double>::max_exponent == 16384;

constexpr int kBias = 16383;

}  // namespace

namespace detail {

long double PortableExtendedToLongDouble(const uint8_t* b) {
  uint64_t mantissa = 0;
  for (int i = 7; i >= 0; --i) mantissa = mantissa << 8 | b[i];
  int exponent = (b[8] | (b[9] & 0x7F) << 8);
  bool negative = (b[9] & 0x80) != 0;
  long double v;
  if (exponent == 0x7FFF) {
    v = (mantissa << 1) == 0 ? std::numeric_limits<long double>::infinity()
                             : std::numeric_limits<long double>::quiet_NaN();
  } else if (exponent == 0 && mantissa == 0) {
    v = 0;
  } else {
    // Denormals have exponent field 0 but scale like field 1.
    int e = (exponent == 0 ? 1 : exponent) - kBias - 63;
    v = std::ldexp(static_cast<long double>(mantissa), e);
  }
  return negative ? -v : v;
}

Extended PortableLongDoubleToExtended(long double v) {
  Extended out{};
  bool negative = std::signbit(v);
  uint64_t mantissa = 0;
  int field = 0;
  if (std::isnan(v)) {
    field = 0x7FFF;
    mantissa = 0xC000000000000000ull;
  } else if (std::isinf(v)) {
    field = 0x7FFF;
    mantissa = 0x8000000000000000ull;
  } else if (v != 0) {
    int e = 0;
    long double frac = std::frexp(std::fabs(v), &e);  // frac in [0.5, 1), |v| = frac * 2^e
    field = e - 1 + kBias;
    // Below the smallest normal the exponent field stays 0 and the significand shrinks; a
    // wider native format (quad) can hold such values, and they must not wrap the field.
    int shift = field > 0 ? 64 : 64 + field - 1;
    if (field <= 0) field = 0;
    // Round to nearest even, as the x87 does when it stores a wider value.
    long double scaled = std::nearbyint(std::ldexp(frac, shift));
    if (scaled >= 18446744073709551616.0L) {  // rounded up to 2^64: one more binade
      scaled = 9223372036854775808.0L;
      ++field;
    } else if (field == 0 && scaled >= 9223372036854775808.0L) {
      field = 1;  // a denormal rounded up to the smallest normal
    }
    mantissa = static_cast<uint64_t>(scaled);
    if (field >= 0x7FFF) {  // beyond the format: infinity
      field = 0x7FFF;
      mantissa = 0x8000000000000000ull;
    }
  }
  for (int i = 0; i < 8; ++i) out[i] = static_cast<uint8_t>(mantissa >> (8 * i));
  out[8] = static_cast<uint8_t>(field);
  out[9] = static_cast<uint8_t>((field >> 8) | (negative ? 0x80 : 0));
  return out;
}

}  // namespace detail

long double ExtendedToLongDouble(const uint8_t* b) {
  if constexpr (kNativeX87) {
    long double v = 0;
    std::memcpy(&v, b, 10);
    return v;
  } else {
    return detail::PortableExtendedToLongDouble(b);
  }
}

Extended LongDoubleToExtended(long double v) {
  if constexpr (kNativeX87) {
    Extended out{};
    std::memcpy(out.data(), &v, 10);
    return out;
  } else {
    return detail::PortableLongDoubleToExtended(v);
  }
}

}  // namespace orin
