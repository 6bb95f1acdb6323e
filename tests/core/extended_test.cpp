#include "core/extended.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <limits>
#include <vector>

namespace orin {
namespace {

struct Pattern {
  const char* what;
  long double value;
  Extended bytes;
};

// Significand (explicit integer bit) in bytes 0-7, then the biased exponent and the sign.
const std::vector<Pattern>& Patterns() {
  static const std::vector<Pattern> patterns = {
      {"1.0", 1.0L, {0, 0, 0, 0, 0, 0, 0, 0x80, 0xFF, 0x3F}},
      {"-2.5", -2.5L, {0, 0, 0, 0, 0, 0, 0, 0xA0, 0x00, 0xC0}},
      {"0", 0.0L, {0, 0, 0, 0, 0, 0, 0, 0, 0, 0}},
      {"-0", -0.0L, {0, 0, 0, 0, 0, 0, 0, 0, 0, 0x80}},
      {"100", 100.0L, {0, 0, 0, 0, 0, 0, 0, 0xC8, 0x05, 0x40}},
      {"0.1", 0.1L, {0xCD, 0xCC, 0xCC, 0xCC, 0xCC, 0xCC, 0xCC, 0xCC, 0xFB, 0x3F}},
      {"2^-1074", std::ldexp(1.0L, -1074), {0, 0, 0, 0, 0, 0, 0, 0x80, 0xCD, 0x3B}},
      {"smallest normal", std::ldexp(1.0L, -16382), {0, 0, 0, 0, 0, 0, 0, 0x80, 0x01, 0x00}},
      {"largest denormal part", std::ldexp(1.0L, -16383), {0, 0, 0, 0, 0, 0, 0, 0x40, 0x00, 0x00}},
      {"smallest denormal", std::ldexp(1.0L, -16445), {1, 0, 0, 0, 0, 0, 0, 0, 0x00, 0x00}},
      {"largest", LDBL_MAX, {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFE, 0x7F}},
      {"+inf", std::numeric_limits<long double>::infinity(), {0, 0, 0, 0, 0, 0, 0, 0x80, 0xFF, 0x7F}},
      {"-inf", -std::numeric_limits<long double>::infinity(), {0, 0, 0, 0, 0, 0, 0, 0x80, 0xFF, 0xFF}},
  };
  return patterns;
}

// The tables assume the x87 format's range; the portable conversions are exact on x86 (long double
// is that format), so both pairs are checked against the same bytes there.
constexpr bool kX87 = std::numeric_limits<long double>::digits == 64;

TEST(Extended, KnownPatterns) {
  if (!kX87) GTEST_SKIP() << "long double is not the x87 format";
  for (const auto& p : Patterns()) {
    EXPECT_EQ(LongDoubleToExtended(p.value), p.bytes) << p.what;
    long double back = ExtendedToLongDouble(p.bytes.data());
    EXPECT_EQ(back, p.value) << p.what;
    EXPECT_EQ(std::signbit(back), std::signbit(p.value)) << p.what;
  }
}

TEST(Extended, PortableConversionsMatchThePatterns) {
  if (!kX87) GTEST_SKIP() << "long double is not the x87 format";
  for (const auto& p : Patterns()) {
    EXPECT_EQ(detail::PortableLongDoubleToExtended(p.value), p.bytes) << p.what;
    long double back = detail::PortableExtendedToLongDouble(p.bytes.data());
    EXPECT_EQ(back, p.value) << p.what;
    EXPECT_EQ(std::signbit(back), std::signbit(p.value)) << p.what;
  }
}

TEST(Extended, NaNStaysNaN) {
  const Extended quiet = {0, 0, 0, 0, 0, 0, 0, 0xC0, 0xFF, 0x7F};
  EXPECT_TRUE(std::isnan(ExtendedToLongDouble(quiet.data())));
  EXPECT_TRUE(std::isnan(detail::PortableExtendedToLongDouble(quiet.data())));
  Extended e = LongDoubleToExtended(std::numeric_limits<long double>::quiet_NaN());
  EXPECT_EQ(e[9] & 0x7F, 0x7F);
  EXPECT_EQ(e[8], 0xFF);
  EXPECT_TRUE(std::isnan(ExtendedToLongDouble(e.data())));
  Extended p = detail::PortableLongDoubleToExtended(std::numeric_limits<long double>::quiet_NaN());
  EXPECT_TRUE(std::isnan(detail::PortableExtendedToLongDouble(p.data())));
}

TEST(Extended, RoundTrips) {
  const std::vector<long double> values = {
      1.0L / 3, -123.456L, 3.14159265358979323846264338327950288L, 1e300L, -1e-300L, 4294967296.0L,
      -2147483648.0L, LDBL_MIN, LDBL_TRUE_MIN, LDBL_EPSILON, 1e4000L, -7e-4000L,
  };
  for (long double v : values) {
    Extended e = LongDoubleToExtended(v);
    EXPECT_EQ(ExtendedToLongDouble(e.data()), v);
    Extended p = detail::PortableLongDoubleToExtended(v);
    EXPECT_EQ(p, e);
    EXPECT_EQ(detail::PortableExtendedToLongDouble(p.data()), v);
  }
}

}  // namespace
}  // namespace orin
