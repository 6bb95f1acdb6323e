#include "params/param_text.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

namespace orin {
namespace {

TEST(ParamText, GeneralFloatText) {
  struct Case {
    long double value;
    const char* text;
  };
  const std::vector<Case> cases = {
      {0, "0"},
      {1, "1"},
      {-2.5L, "-2.5"},
      {3.5L, "3.5"},
      {1e15L, "1E15"},
      {1e20L, "1E20"},
      {123456789012345678.0L, "1.23456789012346E17"},
      {999999999999999.0L, "999999999999999"},
      {9.99999999999999e14L, "999999999999999"},
      // Rounded to 15 digits it reaches the exponent form.
      {999999999999999.9L, "1E15"},
      {0.0001L, "0.0001"},
      {0.00001L, "0.00001"},
      {-0.000025L, "-0.000025"},
      {0.0000099L, "9.9E-6"},
      {1.5e-7L, "1.5E-7"},
      {-2.5e-6L, "-2.5E-6"},
      {1e-300L, "1E-300"},
      {1.0L / 3, "0.333333333333333"},
      {2.0L / 3, "0.666666666666667"},
      {-2.0L / 3, "-0.666666666666667"},
      {100, "100"},
      {1234.5678L, "1234.5678"},
      {0.1L, "0.1"},
      {2147483648.0L, "2147483648"},
      {std::numeric_limits<long double>::infinity(), "INF"},
      {-std::numeric_limits<long double>::infinity(), "-INF"},
      {std::numeric_limits<long double>::quiet_NaN(), "NAN"},
  };
  for (const Case& c : cases) EXPECT_EQ(FloatToText(c.value), c.text) << c.text;
}

TEST(ParamText, IntegerText) {
  EXPECT_EQ(IntToText(0), "0");
  EXPECT_EQ(IntToText(-5), "-5");
  EXPECT_EQ(IntToText(std::numeric_limits<int32_t>::min()), "-2147483648");
}

TEST(ParamText, IntegerParse) {
  struct Case {
    const char* text;
    std::optional<int32_t> value;
  };
  const std::vector<Case> cases = {
      {"0", 0},
      {"42", 42},
      {"  42", 42},
      {"+7", 7},
      {"-7", -7},
      {"$FF", 255},
      {"$ff", 255},
      {"-$10", -16},
      {"$FFFFFFFF", -1},
      {"2147483647", 2147483647},
      {"-2147483648", std::numeric_limits<int32_t>::min()},
      {"2147483648", std::nullopt},
      {"$100000000", std::nullopt},
      {"99999999999999999999", std::nullopt},
      {"", std::nullopt},
      {"-", std::nullopt},
      {"$", std::nullopt},
      {"12abc", std::nullopt},
      {"3.5", std::nullopt},
      {"42 ", std::nullopt},
      {"0x10", std::nullopt},
      {"TRUE", std::nullopt},
  };
  for (const Case& c : cases) EXPECT_EQ(ParseInt(c.text), c.value) << '"' << c.text << '"';
}

TEST(ParamText, FloatParse) {
  struct Case {
    const char* text;
    std::optional<long double> value;
  };
  const std::vector<Case> cases = {
      {"3.5", 3.5L},
      {" -3.5 ", -3.5L},
      {"+2", 2.0L},
      {"1e3", 1000.0L},
      {"1.5E-2", 0.015L},
      {".5", 0.5L},
      {"5.", 5.0L},
      {"1e-99999", 0.0L},
      {"1e99999", std::nullopt},
      {"", std::nullopt},
      {".", std::nullopt},
      {"1e", std::nullopt},
      {"abc", std::nullopt},
      {"inf", std::nullopt},
      {"nan", std::nullopt},
      {"0x1p3", std::nullopt},
      {"1,5", std::nullopt},
      {"3.5x", std::nullopt},
  };
  for (const Case& c : cases) EXPECT_EQ(ParseFloat(c.text), c.value) << '"' << c.text << '"';
}

TEST(ParamText, TruncationKeepsLow32BitsOfTheWideResult) {
  EXPECT_EQ(TruncToInt(2.9L), 2);
  EXPECT_EQ(TruncToInt(-2.9L), -2);
  EXPECT_EQ(TruncToInt(4294967297.0L), 1);
  EXPECT_EQ(TruncToInt(2147483648.0L), std::numeric_limits<int32_t>::min());
  EXPECT_EQ(TruncToInt(1e30L), 0);
  EXPECT_EQ(TruncToInt(std::numeric_limits<long double>::quiet_NaN()), 0);
}

}  // namespace
}  // namespace orin
