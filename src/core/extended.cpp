#include "core/extended.h"

#include <cfloat>
#include <cmath>
#include <cstring>
#include <limits>

namespace orin {

namespace {

constexpr bool kNativeX87 = std::numeric_limits<long double>::digits == 64 &&
                            std::numeric_limits<long double>::max_exponent == 16384;

}  // namespace

long double ExtendedToLongDouble(const uint8_t* b) {
  if constexpr (kNativeX87) {
    long double v = 0;
    std::memcpy(&v, b, 10);
    return v;
  } else {
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
      int e = (exponent == 0 ? 1 : exponent) - 16383 - 63;
      v = std::ldexp(static_cast<long double>(mantissa), e);
    }
    return negative ? -v : v;
  }
}

Extended LongDoubleToExtended(long double v) {
  Extended out{};
  if constexpr (kNativeX87) {
    std::memcpy(out.data(), &v, 10);
    return out;
  } else {
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
      long double frac = std::frexp(std::fabs(v), &e);  // frac in [0.5, 1)
      mantissa = static_cast<uint64_t>(std::ldexp(frac, 64));
      field = e - 1 + 16383;
    }
    for (int i = 0; i < 8; ++i) out[i] = static_cast<uint8_t>(mantissa >> (8 * i));
    out[8] = static_cast<uint8_t>(field);
    out[9] = static_cast<uint8_t>((field >> 8) | (negative ? 0x80 : 0));
    return out;
  }
}

}  // namespace orin
