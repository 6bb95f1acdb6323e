#include "core/cp932.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/text.h"

namespace orin {
namespace {

using namespace literals;

constexpr size_t npos = std::string_view::npos;

// "ソ" and "表" end in 0x5C, the byte of "\"; "ア" ends in 0x41, the byte of "A"; "ャ" ends in 0x83,
// a lead byte.
const std::string kSo = "\x83\x5C";
const std::string kHyo = "\x95\x5C";
const std::string kA = "\x83\x41";
const std::string kSmallYa = "\x83\x83";

TEST(Cp932, LiteralConvertsOnce) {
  const std::string& a = "ファイル"_sj;
  EXPECT_EQ(a, "\x83\x74\x83\x40\x83\x43\x83\x8B");
  EXPECT_EQ(&a, &"ファイル"_sj);
}

TEST(Cp932, LeadByteRanges) {
  struct Case {
    uint8_t byte;
    bool lead;
  };
  for (Case c : std::vector<Case>{{0x00, false}, {0x5C, false}, {0x7F, false}, {0x80, false}, {0x81, true},
                                  {0x9F, true},  {0xA0, false}, {0xB1, false}, {0xDF, false}, {0xE0, true},
                                  {0xFC, true},  {0xFD, false}, {0xFF, false}})
    EXPECT_EQ(IsLeadByte(c.byte), c.lead) << std::hex << int{c.byte};
}

TEST(Cp932, CharacterIteration) {
  // a, ソ, half-width ｱ, ア, b
  const std::string s = "a" + kSo + "\xB1" + kA + "b";
  std::vector<std::pair<size_t, size_t>> seen;
  ForEachChar(s, [&](size_t at, size_t n) { seen.emplace_back(at, n); });
  EXPECT_EQ(seen, (std::vector<std::pair<size_t, size_t>>{{0, 1}, {1, 2}, {3, 1}, {4, 2}, {6, 1}}));
  EXPECT_EQ(CharCount(s), 5u);
  EXPECT_EQ(CharOffset(s, 0), 0u);
  EXPECT_EQ(CharOffset(s, 2), 3u);
  EXPECT_EQ(CharOffset(s, 4), 6u);
  EXPECT_EQ(CharOffset(s, 9), s.size());
  EXPECT_EQ(CharCodeAt(s, 1), 0x835C);
  EXPECT_EQ(CharCodeAt(s, 3), 0xB1);
  EXPECT_EQ(CharCodeAt(s, 6), 'b');
}

TEST(Cp932, LoneLeadByteAtTheEndStandsAlone) {
  const std::string s = "ab\x83";
  EXPECT_EQ(CharCount(s), 3u);
  EXPECT_EQ(CharLength(s, 2), 1u);
  EXPECT_EQ(CharCodeAt(s, 2), 0x83);
  size_t visited = 0;
  ForEachChar(s, [&](size_t at, size_t n) { visited = at + n; });
  EXPECT_EQ(visited, s.size());
  EXPECT_EQ(UpperCase(s), "AB\x83");
  EXPECT_EQ(FindChar(s, '\x83'), 2u);
}

TEST(Cp932, FindCharSkipsTrailBytes) {
  EXPECT_EQ(FindChar(kSo, '\\'), npos);
  EXPECT_EQ(FindChar(kSo + "\\", '\\'), 2u);
  EXPECT_EQ(FindChar("a\\" + kSo + "\\", '\\', 2), 4u);
  EXPECT_EQ(FindChar(kA, 'A'), npos);
  EXPECT_EQ(FindLastChar("\\" + kSo, '\\'), 0u);
  EXPECT_EQ(FindLastChar("dir\\" + kHyo + kSo, '\\'), 3u);
  EXPECT_EQ(FindLastChar(kHyo, '\\'), npos);
}

TEST(Cp932, UnescapeTextTakesOnlyItsThreeEscapes) {
  const struct {
    std::string in, out;
  } cases[] = {
      {R"(a\"b)", "a\"b"},
      {R"(a\\b)", "a\\b"},
      {R"(a\nb)", "a\r\nb"},
      {R"(a\tb)", R"(a\tb)"},        // not an escape: stays
      {"a\\", "a\\"},                  // a backslash at the end stays
      {"\x83\x5Cn", "\x83\x5Cn"},      // ソ ends in 0x5C: no escape
      {"\x83\x5C\\n", "\x83\x5C\r\n"},
  };
  for (const auto& c : cases) EXPECT_EQ(UnescapeText(c.in), c.out) << c.in;
}

TEST(Cp932, FindTextMatchesOnlyAtCharacterBoundaries) {
  struct Case {
    std::string hay, needle;
    size_t from, expected;
  };
  const std::vector<Case> cases = {
      {kSo, "\\", 0, npos},
      {kSo + "\\x", "\\", 0, 2},
      {kSo + "\\x", "\\x", 0, 2},
      // "\x5C\x83" spans the end of ソ and the start of the next character.
      {kSo + kSo, "\x5C\x83", 0, npos},
      {"a" + kSo + "b", kSo, 0, 1},
      {kSo + "A" + kA + "A", "A", 0, 2},
      {kSo + "A" + kA + "A", "A", 3, 5},
      {"abc", "", 1, 1},
      {"abc", "", 4, npos},
      {"ab", "abc", 0, npos},
      // ャ ends in a lead byte: the half of it must not start a match for ア.
      {kSmallYa + "\x41", kA, 0, npos},
  };
  for (const auto& c : cases)
    EXPECT_EQ(FindText(c.hay, c.needle, c.from), c.expected) << testing::PrintToString(c.hay) << " / "
                                                             << testing::PrintToString(c.needle);
}

TEST(Cp932, CaseMappingLeavesDoubleByteCharactersAlone) {
  // ア is 0x83 0x41 and ャ is 0x83 0x83: folding the trail byte would turn one into another text.
  const std::string mixed = "aZ" + kA + "\xB1" + "\x82\x60" + kSo + "q";  // ..., ｱ, Ａ, ソ, q
  EXPECT_EQ(UpperCase(mixed), "AZ" + kA + "\xB1" + "\x82\x60" + kSo + "Q");
  EXPECT_EQ(LowerCase(mixed), "az" + kA + "\xB1" + "\x82\x60" + kSo + "q");
  std::string inPlace = "x\x83\x61" "y";  // trail byte 'a'
  UpperCaseInPlace(inPlace);
  EXPECT_EQ(inPlace, "X\x83\x61Y");
  EXPECT_EQ(UpperCase("@[`{"), "@[`{");
}

TEST(Cp932, SameTextAndCompareText) {
  EXPECT_TRUE(SameText("Data\\Pic.MUR", "data\\pic.mur"));
  EXPECT_TRUE(SameText("", ""));
  EXPECT_FALSE(SameText("abc", "abcd"));
  EXPECT_FALSE(SameText(kA, "\x83\x61"));  // trail bytes differ only by "case"
  EXPECT_TRUE(SameText(kA + "x", kA + "X"));
  EXPECT_FALSE(SameText("a" + kSo, "a\\\\"));

  EXPECT_EQ(CompareText("abc", "ABC"), 0);
  EXPECT_LT(CompareText("a", "B"), 0);
  EXPECT_GT(CompareText("b", "A"), 0);
  EXPECT_LT(CompareText("abc", "ABCD"), 0);
  EXPECT_GT(CompareText("ABCD", "abc"), 0);
  EXPECT_NE(CompareText(kA, "\x83\x61"), 0);

  EXPECT_TRUE(StartsWithText("Data\\x", "DATA\\"));
  EXPECT_FALSE(StartsWithText(kSo + "x", "\x83"));  // would cut ソ in half
  EXPECT_TRUE(EndsWithText("pic.Mur", ".MUR"));
  EXPECT_FALSE(EndsWithText(kSo, "\\"));
  EXPECT_FALSE(EndsWithText("a", "ab"));
}

TEST(Cp932, Utf8RoundTrips) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"\xE6\x97\xA5\xE6\x9C\xAC", "\x93\xFA\x96\x7B"},  // 日本
      {"\xE3\x82\xBD", kSo},                              // ソ
      {"\xEF\xBD\xB1", "\xB1"},                           // half-width ｱ
      {"\xEF\xBD\x9E", "\x81\x60"},                       // ～ (full-width tilde)
      {"\xE2\x91\xA0", "\x87\x40"},                       // ① (NEC row 13)
      {"\xE2\x85\xB0", "\xFA\x40"},                       // ⅰ (IBM extension)
      {"\xEE\x80\x80", "\xF0\x40"},                       // user-defined area
      {"a\\b", "a\\b"},                                   // 0x5C stays a backslash
      {"", ""},
  };
  for (const auto& [utf8, cp932] : cases) {
    EXPECT_EQ(Utf8ToCp932(utf8), cp932) << utf8;
    EXPECT_EQ(Cp932ToUtf8(cp932), utf8) << utf8;
    EXPECT_EQ(ToUtf8(cp932), utf8);
    EXPECT_EQ(FromUtf8(utf8), cp932);
  }
}

TEST(Cp932, StrictConversionFailsOnUnmappableBytes) {
  for (std::string bad : {std::string("\x85\x40"), std::string("a\xA0"), std::string("\x80"), std::string("\xFD"),
                          std::string("\x81\x7F"), std::string("ab\x83")})
    EXPECT_EQ(Cp932ToUtf8(bad), std::nullopt) << testing::PrintToString(bad);
  for (std::string bad : {std::string("\xF0\x9F\x98\x80"), std::string("a\xFF"), std::string("\xE3\x82"),
                          std::string("\xC3\xA4" /* a-umlaut */)})
    EXPECT_EQ(Utf8ToCp932(bad), std::nullopt) << testing::PrintToString(bad);
}

TEST(Cp932, LossyConversionsNeverFail) {
  EXPECT_EQ(ToUtf8("a\x85\x40" "b"), "a\\x85@b");
  EXPECT_EQ(ToUtf8("ab\x83"), "ab\\x83");
  EXPECT_EQ(ToUtf8(kSo + "\xFD"), "\xE3\x82\xBD\\xFD");
  EXPECT_EQ(FromUtf8("a\xF0\x9F\x98\x80" "b"), "a?b");
  EXPECT_EQ(FromUtf8("a\xFF" "b"), "a?b");
  EXPECT_EQ(FromUtf8("\xE3\x82\xBD\xE3\x82"), kSo + "?");
  // Long input grows the output buffer several times.
  std::string longText;
  for (int i = 0; i < 5000; ++i) longText += kSo;
  std::string longUtf8;
  for (int i = 0; i < 5000; ++i) longUtf8 += "\xE3\x82\xBD";
  EXPECT_EQ(ToUtf8(longText), longUtf8);
  EXPECT_EQ(FromUtf8(longUtf8), longText);
}

}  // namespace
}  // namespace orin
