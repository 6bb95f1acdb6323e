// The page text: pages rebuilt byte for byte from their text, expressions as source, operation
// lists or bytes, labels, indentation, property sets, and errors that name their line.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>

#include "core/endian.h"
#include "core/error.h"
#include "core/extended.h"
#include "core/text.h"
#include "params/build_orin_parser.h"
#include "script/commands_flow.h"
#include "script/commands_object.h"
#include "script/commands_text.h"
#include "script/expr_text.h"
#include "script/page_text.h"
#include "script_test_support.h"

namespace orin {
namespace {

using namespace literals;
using test::BuildEveryKindPage;
using test::PageBytes;

std::string RoundTripBytes(const TPage& page, const PageTextOptions& options = {}) {
  std::string text = PageToText(page, options);
  TPage back;
  PageFromText(text, back);
  return PageBytes(back);
}

// The page a text describes.
void Assemble(TPage& page, std::string_view text) { PageFromText(text, page); }

class PageText_EveryKind : public ::testing::TestWithParam<int32_t> {};

TEST_P(PageText_EveryKind, TextRebuildsThePageByteForByte) {
  TPage page;
  BuildEveryKindPage(page, GetParam());
  EXPECT_EQ(RoundTripBytes(page), PageBytes(page));
  // The filler names pages "nameN"; with one of them as the page's own name its targets become
  // labels, which must give the same indices back.
  auto& jump = static_cast<TComJump&>(*page.Commands[4]);
  PageTextOptions self;
  self.SelfName = jump.PageName;
  std::string text = PageToText(page, self);
  EXPECT_NE(text.find("target=@"), std::string::npos) << text;
  EXPECT_EQ(RoundTripBytes(page, self), PageBytes(page));
}

INSTANTIATE_TEST_SUITE_P(Versions, PageText_EveryKind, ::testing::Values(103, 104, 106, 107, 108, 110));

std::string ReadBack(const std::string& fieldText) {
  std::vector<TextItem> items = SplitLine(fieldText, 1);
  EXPECT_EQ(items.size(), 1u) << fieldText;
  CommandExpr e;
  ExprFromText(items.at(0).value, e);
  return e.Record();
}

// Pages no writer of ours makes (random bytes changed in a valid page) still come back byte for
// byte whenever the player would read them.
TEST(PageText, DamagedButReadablePagesComeBackExactly) {
  TPage page;
  BuildEveryKindPage(page, 110, 1);
  const std::string base = PageBytes(page);
  std::mt19937 rng(1);
  int readable = 0;
  for (int round = 0; round < 400; ++round) {
    std::string bytes = base;
    for (int k = 0, edits = 1 + static_cast<int>(rng() % 4); k < edits; ++k)
      bytes[rng() % bytes.size()] = static_cast<char>(rng());
    TPage damaged;
    try {
      test::LoadPageBytes(damaged, bytes);
    } catch (const Error&) {
      continue;
    }
    if (damaged.Version > 110 || damaged.Version <= 102) continue;
    ++readable;
    ASSERT_EQ(RoundTripBytes(damaged), bytes) << "round " << round;
  }
  EXPECT_GT(readable, 50);
}

TEST(ExprText, CompiledExpressionsComeBackAsTheirSource) {
  const char* const sources[] = {
      "x > 3",
      "x = x + 1",
      "(a + b) * c",
      "a - (b - c)",
      "a - b - c",
      "1 + 2 * 3 << 1",
      "Length(\"ab\") + 1",
      "Copy(s, i + 1, 2) ++ \"!\"",
      "a[1, j * 2] = 5",
      "\"ab\" ++ 1 == 1",
      "3 * -2",
      "(a > 1) & (b < 2)",
      "x",
      "TRUE",
      "1.5",
      "\"a \\\"quoted\\\" \\\\ path\\nnext\"",
      "@Result <> 0",
  };
  for (const char* source : sources) {
    CommandExpr e;
    e.Compile(source);
    std::string text = ExprToText(e);
    EXPECT_EQ(text, std::string("{") + source + "}");
    EXPECT_EQ(ReadBack(text), e.Record()) << source;
  }
}

TEST(ExprText, JapaneseLiteralsAreUtf8InTheText) {
  CommandExpr e;
  e.Compile("\"こんにちは\" ++ 名前"_sj);
  EXPECT_EQ(ExprToText(e), "{\"こんにちは\" ++ 名前}");
  EXPECT_EQ(ReadBack(ExprToText(e)), e.Record());
}

// Little-endian builder of expression records.
struct Rec {
  std::string b;
  Rec& I32(int32_t v) {
    char x[4];
    StoreI32LE(x, v);
    b.append(x, 4);
    return *this;
  }
  Rec& U8(uint8_t v) {
    b += static_cast<char>(v);
    return *this;
  }
  Rec& Str(std::string_view s) {
    I32(static_cast<int32_t>(s.size()));
    b.append(s);
    return *this;
  }
  Rec& Float(long double v) {
    Extended x = LongDoubleToExtended(v);
    b.append(reinterpret_cast<const char*>(x.data()), x.size());
    return *this;
  }
};

TEST(ExprText, RecordsNoCompilerMakesKeepTheirExactForm) {
  Extended nanPayload = LongDoubleToExtended(std::numeric_limits<long double>::quiet_NaN());
  nanPayload[0] = 0x5A;
  struct Case {
    const char* what;
    std::string record;
    const char* form;  // the text begins with it
  } cases[] = {
      {"a negative constant", Rec().I32(1).U8(1).Str("____arg").I32(1).U8(1).I32(-5).b, "ops{____arg = ocTo -5}"},
      {"a negative float", Rec().I32(1).U8(1).Str("____arg").I32(1).U8(2).Float(-2.5L).b,
       "ops{____arg = ocTo -2.5}"},
      {"an operation code without a name", Rec().I32(1).U8(31).Str("____0").I32(2).U8(1).I32(1).U8(1).I32(2).b,
       "ops{____0 = oc31 1, 2}"},
      {"a function code beyond the table",
       Rec().I32(1).U8(11).Str("____0").I32(1).U8(200).U8(3).U8(1).b, "ops{____0 = ocFunc #200 TRUE}"},
      {"a variable name with a blank", Rec().I32(1).U8(1).Str("____arg").I32(1).U8(0).Str("my var").b,
       "ops{____arg = ocTo $\"my var\"}"},
      {"a value with two uses", Rec().I32(2).U8(2).Str("____0").I32(2).U8(1).I32(1).U8(1).I32(2)
                                    .U8(4).Str("____arg").I32(2).U8(0).Str("____0").U8(0).Str("____0").b,
       "ops{"},
      {"an operand kind with the top bit", Rec().I32(1).U8(1).Str("____arg").I32(1).U8(0x81).I32(5).b, "hex{"},
      {"a flag byte of 2", Rec().I32(1).U8(1).Str("____arg").I32(1).U8(3).U8(2).b, "hex{"},
      {"a NaN with a payload", Rec().I32(1).U8(1).Str("____arg").I32(1).U8(2).b +
                                   std::string(reinterpret_cast<const char*>(nanPayload.data()), 10),
       "hex{"},
  };
  for (const Case& c : cases) {
    CommandExpr e;
    e.SetRecord(c.record);
    std::string text = ExprToText(e);
    EXPECT_EQ(text.rfind(c.form, 0), 0u) << c.what << ": " << text;
    EXPECT_EQ(ReadBack(text), c.record) << c.what;
  }
}

TEST(ExprText, EmptyBracesMeanNoOperations) {
  EXPECT_EQ(ReadBack("{}"), std::string(4, '\0'));
  EXPECT_EQ(ReadBack("{   }"), std::string(4, '\0'));
  EXPECT_EQ(ReadBack("ops{}"), std::string(4, '\0'));
  CommandExpr empty;
  EXPECT_EQ(ExprToText(empty), "{}");
}

TEST(PageText, LabelsGiveTheIndicesOfTheCommandsThatFollowThem) {
  TPage page;
  Assemble(page,
           "page version=110 return=int\n"
           "Label \"top\"\n"           // 0
           "loop:\n"
           "While {i < 3} exit=@out\n"  // 1
           "  Break {i == 2} target=@out\n"  // 2
           "  Continue {} target=-1\n"       // 3
           "  Jump page=\"other.osb\" target=@loop cond={TRUE}\n"  // 4: the number is the label's
           "WhileLoop {i = i + 1} start=@loop\n"  // 5
           "out:\n");
  ASSERT_EQ(page.Count(), 6);
  EXPECT_EQ(static_cast<TComWhile&>(*page.Commands[1]).ExitIndex, 6);
  EXPECT_EQ(static_cast<TComBreak&>(*page.Commands[2]).Target, 6);
  EXPECT_EQ(static_cast<TComContinue&>(*page.Commands[3]).Target, -1);
  EXPECT_EQ(static_cast<TComJump&>(*page.Commands[4]).Target, 1);
  EXPECT_EQ(static_cast<TComWhileLoop&>(*page.Commands[5]).LoopStart, 1);
  EXPECT_EQ(page.Commands[2]->Indent, 1);

  // Written back, a target on a Label command takes the label's name; other targets get L and
  // the index; the Jump into another page stays a number.
  auto& label = static_cast<TComLabel&>(*page.Commands[0]);
  static_cast<TComWhileLoop&>(*page.Commands[5]).LoopStart = 0;
  label.LabelName = "top";
  std::string text = PageToText(page);
  EXPECT_NE(text.find("top:\nLabel \"top\""), std::string::npos) << text;
  EXPECT_NE(text.find("start=@top"), std::string::npos) << text;
  EXPECT_NE(text.find("exit=@L6"), std::string::npos) << text;
  EXPECT_NE(text.find("target=1 "), std::string::npos) << text;
  EXPECT_NE(text.find("\nL6:\n"), std::string::npos) << text;
}

TEST(PageText, IndentationAndHeaderAttributes) {
  TPage page;
  Assemble(page,
           "Calc {1}\n"
           "    Calc {2} id=-7 chain=2 disabled hibit\n"
           "Calc {3} indent=-4\n");
  ASSERT_EQ(page.Count(), 3);
  EXPECT_EQ(page.Version, 110) << "the default version";
  EXPECT_EQ(page.Commands[1]->Indent, 2);
  EXPECT_EQ(page.Commands[1]->Id, -7);
  EXPECT_EQ(page.Commands[1]->Chain, 2);
  EXPECT_EQ(page.Commands[1]->Disabled, 1);
  EXPECT_TRUE(page.Commands[1]->KindHighBit);
  EXPECT_EQ(page.Commands[2]->Indent, -4);
  page.Commands[0]->Indent = 1000;
  EXPECT_EQ(RoundTripBytes(page), PageBytes(page));
}

TEST(PageText, PropertySetsComeFromPropsetLinesOrFromUse) {
  TPage page;
  Assemble(page,
           "propset Sound 0 2 26-28\n"
           "Sound name={\"bgm\"} file={\"bgm.ogg\"}\n"
           "ImgNew name={\"a\"}\n"
           "ImgNew\n"
           "    left={10}\n"
           "    p151={\"note\"}\n");
  const PropSet& sound = page.PropSets[static_cast<size_t>(ComKind::Sound)];
  for (int p : {0, 2, 26, 27, 28}) EXPECT_TRUE(sound.Test(p)) << p;
  EXPECT_FALSE(sound.Test(3));
  const PropSet& img = page.PropSets[static_cast<size_t>(ComKind::ImgNew)];
  for (int p : {0, 3, 151}) EXPECT_TRUE(img.Test(p)) << p;
  EXPECT_FALSE(img.Test(2));
  auto& second = static_cast<TComComponent&>(*page.Commands[2]);
  ASSERT_EQ(second.Properties.size(), 3u);
  EXPECT_TRUE(second.Property(0)->Empty()) << "a property of the set that the command omits";
  EXPECT_FALSE(second.Property(151)->Empty());
  EXPECT_EQ(RoundTripBytes(page), PageBytes(page));
}

TEST(PageText, FileLayoutDetailsSurviveTheText) {
  TPage page;
  Assemble(page,
           "page version=108 return=str\n"
           "kindtable count=63 length=23 surplus=hex{" +
               std::string(61 * 2 * 2 - 2, '0') + "ff" + std::string(2 * 23 * 2, '1') +
               "}\n"
               "trailer hex{00 01 02}\n"
               "TextIns text=hex{" +
               std::string(200, 'a') + "} window={\"mes\"}\n");
  EXPECT_EQ(page.ReturnType, 4);
  EXPECT_EQ(page.KindRecordCount, 63);
  EXPECT_EQ(page.KindRecordLength, 23);
  EXPECT_EQ(page.Trailer, std::string("\0\1\2", 3));
  EXPECT_EQ(static_cast<TComTextIns&>(*page.Commands[0]).TextData, std::string(100, '\xaa'));
  EXPECT_EQ(RoundTripBytes(page), PageBytes(page));
}

TEST(PageText, ErrorsNameTheLineAndTheFault) {
  struct Case {
    std::string text;
    const char* message;  // the message begins with it
  } cases[] = {
      {"Calc {1}\nIf {x >}", "line 2: the expression {x >} does not compile: "},
      {"Jump target=@nowhere", "line 1: the label nowhere is not defined"},
      {"Frobnicate {1}", "line 1: unknown command kind 'Frobnicate'"},
      {"If {x} cond={y}", "line 1: If: too many values (If has 1 field)"},
      {"Wait cond={x} cond={y}", "line 1: Wait: cond is given twice"},
      {"page version=106\nWait nointerrupt={1}", "line 2: Wait: nointerrupt needs page version 107 or later"},
      {"   If {x}", "line 1: indentation is two spaces per level"},
      {"\tIf {x}", "line 1: indent with spaces"},
      {"left={1}", "line 1: 'left=' continues no command"},
      {"Calc {1} {2}", "line 1: Calc: too many values"},
      {"If {\"abc}", "line 1: a string in braces is not closed"},
      {"ImgNew p500={1}", "line 1: ImgNew has no field 'p500'"},
      {"Label \"a\"\nIf {x", "line 2: '{' has no closing '}'"},
      {"propset ImgNew 0\nImgNew\n    left={1}", "line 3: property 3 is not in the propset of ImgNew"},
      {"VarNew type=300", "line 1: type must be between 0 and 255"},
      {"Calc ops{____arg = ocFoo 1}", "line 1: ops{}: unknown operation 'ocFoo'"},
      {"Calc hex{0g}", "line 1: hex{} holds something"},
      {"Calc hex{01000000}", "line 1: damaged expression"},
      {"Calc {1}\npage version=103", "line 2: the page line comes once, before the commands"},
      {"Label \"\\q\"", "line 1: unknown escape \\q"},
      {"loop:\nloop:\nCalc {1}", "line 2: the label loop is defined twice"},
      {"Call args={1}", "line 1: args must be a list"},
  };
  for (const Case& c : cases) {
    TPage page;
    try {
      Assemble(page, c.text);
      ADD_FAILURE() << "no error for: " << c.text;
    } catch (const Error& e) {
      std::string message = ToUtf8(e.Message());
      EXPECT_EQ(message.rfind(c.message, 0), 0u) << c.text << "\n  gave: " << message;
    }
    EXPECT_EQ(page.Count(), 0);
  }
}

TEST(PageText, StringsKeepBytesWithoutAUtf8Form) {
  TPage page;
  auto& label = page.Add<TComLabel>(ComKind::Label);
  label.LabelName = std::string("a\x81\x7f" "b\xfd\r\n\t\"\\", 10);  // a broken lead byte, a byte no character has
  std::string text = PageToText(page);
  EXPECT_NE(text.find("\\x81\\x7Fb\\xFD\\r\\n\\t\\\"\\\\"), std::string::npos) << text;
  EXPECT_EQ(RoundTripBytes(page), PageBytes(page));
}

}  // namespace
}  // namespace orin
