#include "params/script_text.h"

#include <gtest/gtest.h>

#include "core/cp932.h"

namespace orin {
namespace {

std::string Sj(const char* utf8) {
  auto r = Utf8ToCp932(utf8);
  EXPECT_TRUE(r) << utf8;
  return r.value_or("");
}

// The half-width katakana block in code order, 0xA1-0xDF, and its full-width forms (written in
// UTF-8, independently of the tables under test).
constexpr const char* kFullKana =
    "。「」、・ヲァィゥェォャュョッーアイウエオカキクケコサシスセソタチツテトナニヌネノ"
    "ハヒフヘホマミムメモヤユヨラリルレロワン゛゜";
constexpr const char* kFullAscii =
    "　！”＃＄％＆’（）＊＋，－．／０１２３４５６７８９：；＜＝＞？"
    "＠ＡＢＣＤＥＦＧＨＩＪＫＬＭＮＯＰＱＲＳＴＵＶＷＸＹＺ［￥］＾＿"
    "‘ａｂｃｄｅｆｇｈｉｊｋｌｍｎｏｐｑｒｓｔｕｖｗｘｙｚ｛｜｝～";

std::string Range(int first, int last) {
  std::string s;
  for (int b = first; b <= last; ++b) s += static_cast<char>(b);
  return s;
}

TEST(HanToZen, EveryPrintableAsciiAndHalfWidthCharacter) {
  EXPECT_EQ(HanToZen(Range(0x20, 0x7E)), Sj(kFullAscii));
  EXPECT_EQ(HanToZen(Range(0xA1, 0xDF)), Sj(kFullKana));
}

TEST(HanToZen, VoicedAndSemiVoicedCombinations) {
  struct Case {
    const char* half;
    const char* full;
  };
  const Case cases[] = {
      {"ｶﾞｷﾞｸﾞｹﾞｺﾞ", "ガギグゲゴ"},
      {"ｻﾞｼﾞｽﾞｾﾞｿﾞ", "ザジズゼゾ"},
      {"ﾀﾞﾁﾞﾂﾞﾃﾞﾄﾞ", "ダヂヅデド"},
      {"ﾊﾞﾋﾞﾌﾞﾍﾞﾎﾞ", "バビブベボ"},
      {"ﾊﾟﾋﾟﾌﾟﾍﾟﾎﾟ", "パピプペポ"},
      {"ｳﾞ", "ヴ"},
      // No voiced form: the mark stays a character of its own.
      {"ｱﾞﾅﾟｶﾟﾞ", "ア゛ナ゜カ゜゛"},
      {"ﾞﾟ", "゛゜"},
      // Double-byte characters and control bytes pass.
      {"漢\tｶ", "漢\tカ"},
  };
  for (const Case& c : cases) EXPECT_EQ(HanToZen(Sj(c.half)), Sj(c.full)) << c.half;
  // A lone lead byte at the end stays as it is.
  EXPECT_EQ(HanToZen("a\x82"), Sj("ａ") + "\x82");
}

TEST(ZenToHan, RoundTripsEveryHalfWidthSequence) {
  // Every half-width character alone, and every pair of a kana with each mark.
  for (int b = 0x20; b <= 0xDF; ++b) {
    if (b > 0x7E && b < 0xA1) continue;
    const std::string one(1, static_cast<char>(b));
    EXPECT_EQ(ZenToHan(HanToZen(one)), one) << b;
    for (char mark : {'\xDE', '\xDF'}) {
      const std::string pair = one + mark;
      EXPECT_EQ(ZenToHan(HanToZen(pair)), pair) << b;
    }
  }
  const std::string all = Range(0x20, 0x7E) + Range(0xA1, 0xDF);
  EXPECT_EQ(ZenToHan(HanToZen(all)), all);
}

TEST(ZenToHan, OtherFullWidthForms) {
  struct Case {
    const char* full;
    const char* half;
  };
  const Case cases[] = {
      {"“”＂", "\"\"\""},
      {"’＇", "''"},
      {"‘｀", "``"},
      {"￥＼", "\\\\"},
      {"ヴガパ", "ｳﾞｶﾞﾊﾟ"},
      // Kana without a half-width form, hiragana and kanji pass.
      {"ヮヵあ漢", "ヮヵあ漢"},
  };
  for (const Case& c : cases) EXPECT_EQ(ZenToHan(Sj(c.full)), Sj(c.half)) << c.full;
}

TEST(LocaleCase, FullWidthGreekAndCyrillicLetters) {
  EXPECT_EQ(LocaleUpperCase(Sj("abｚａαωаноя漢ｱ")), Sj("ABＺＡΑΩАНОЯ漢ｱ"));
  EXPECT_EQ(LocaleLowerCase(Sj("ABＺＡΑΩАНОЯ漢ｱ")), Sj("abｚａαωаноя漢ｱ"));
  EXPECT_EQ(LocaleCompareText(Sj("ａＢc"), Sj("ＡｂC")), 0);
  EXPECT_LT(LocaleCompareText("a", "B"), 0);
  EXPECT_GT(LocaleCompareText("ab", "A"), 0);
  EXPECT_LT(LocaleCompareText("", "a"), 0);
}

TEST(SplitLines, TextListRule) {
  using Lines = std::vector<std::string>;
  EXPECT_EQ(SplitLines(""), Lines{});
  EXPECT_EQ(SplitLines("a"), Lines{"a"});
  EXPECT_EQ(SplitLines("a\r\nb\nc\rd"), (Lines{"a", "b", "c", "d"}));
  EXPECT_EQ(SplitLines("a\r\n"), Lines{"a"});
  EXPECT_EQ(SplitLines("\r\n"), Lines{""});
  EXPECT_EQ(SplitLines("a\r\n\r\nb"), (Lines{"a", "", "b"}));
}

}  // namespace
}  // namespace orin
