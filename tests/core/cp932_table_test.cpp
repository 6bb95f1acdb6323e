// Tests of core/cp932_table.h. They live with the imaging tests, the table's first user.
#include "core/cp932_table.h"

#include <gtest/gtest.h>

#include <string>

#include "core/cp932.h"
#include "core/text.h"

namespace orin {
namespace {

using namespace literals;

TEST(Cp932CodeToUnicode, SingleAndDoubleByteCodes) {
  struct Case {
    uint16_t code;
    char32_t unicode;
  } cases[] = {
      {0x41, U'A'},       {0x20, U' '},        {0xB1, U'\uFF71'},   // half-width katakana
      {0x82A0, U'あ'},    {0x8140, U'\u3000'}, {0x8ABF, U'漢'},
      {0x8740, U'\u2460'},                                           // NEC row 13: circled 1
      {0xFA40, U'\u2170'},                                           // IBM extension: small roman 1
      {0x81, kNoUnicode}, {0xE0, kNoUnicode},                        // lone lead bytes
      {0x8540, kNoUnicode},                                          // unassigned row
      {0x4141, kNoUnicode},                                          // high byte not a lead byte
      {0x823F, kNoUnicode},                                          // trail byte below 0x40
  };
  for (const Case& c : cases) EXPECT_EQ(Cp932CodeToUnicode(c.code), c.unicode) << std::hex << c.code;
}

TEST(Cp932CodeToUnicode, AgreesWithTheStringConversion) {
  // Every assigned double-byte code of a few rows converts as the string form does.
  for (uint16_t lead : {0x82, 0x88, 0x93, 0xE0, 0xFA})
    for (int trail = 0x40; trail <= 0xFC; ++trail) {
      const std::string bytes{static_cast<char>(lead), static_cast<char>(trail)};
      const auto utf8 = Cp932ToUtf8(bytes);
      const char32_t u = Cp932CodeToUnicode(static_cast<uint16_t>(lead << 8 | trail));
      if (!utf8) {
        EXPECT_EQ(u, kNoUnicode) << std::hex << lead << " " << trail;
        continue;
      }
      std::string back;
      if (u < 0x800)
        back = {static_cast<char>(0xC0 | u >> 6), static_cast<char>(0x80 | (u & 0x3F))};
      else
        back = {static_cast<char>(0xE0 | u >> 12), static_cast<char>(0x80 | ((u >> 6) & 0x3F)),
                static_cast<char>(0x80 | (u & 0x3F))};
      EXPECT_EQ(*utf8, back) << std::hex << lead << " " << trail;
    }
}

}  // namespace
}  // namespace orin
