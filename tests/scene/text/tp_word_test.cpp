#include "scene/text/tp_word.h"

#include <gtest/gtest.h>

#include "core/error.h"
#include "params/custom_param.h"
#include "params/param_collection.h"
#include "resources/stream.h"
#include "scene/text_test_support.h"

namespace orin {
namespace {

using test::DocText;
using test::Parse;
using test::Sj;

// A document laid out on one page without width, and its reveal.
struct Revealing {
  explicit Revealing(const char* markup, int32_t height = 0) : doc(Parse(markup)) {
    doc->EventsEnabled = 1;
    doc->Height = height;
    LayoutParams p;
    p.Height = height;
    p.Paging = false;
    pages = LayoutGlyphs(*doc, 0, doc->Glyphs.size(), p, nullptr).Pages;
  }
  TWdPage& Page() { return *pages.at(0); }
  // The text each frame revealed.
  std::vector<std::string> Frames(int n, int32_t delta) {
    std::vector<std::string> out;
    for (int i = 0; i < n; ++i) out.push_back(test::Utf8(doc->RevealStep(Page(), delta).Text));
    return out;
  }
  std::unique_ptr<TTpWord> doc;
  std::vector<std::unique_ptr<TWdPage>> pages;
};

using Texts = std::vector<std::string>;

TEST(TTpWordReveal, WaitsAndTheWaitScale) {
  struct Case {
    const char* markup;
    int32_t scale;
    Texts frames;  // 50 ms each
  } cases[] = {
      {"<WAIT VALUE=100>abc", 256, {"a", "", "b", "", "c", ""}},
      {"<WAIT VALUE=100>abc", 128, {"a", "b", "c", "", "", ""}},
      {"<WAIT VALUE=100>abc", 512, {"a", "", "", "", "b", ""}},
      {"<WAIT VALUE=100>abc", -1, {"abc", "", "", "", "", ""}},   // a negative scale waits for nothing
      {"<WAIT VALUE=-100>abc", 128, {"a", "", "b", "", "c", ""}}, // a negative wait is not scaled
      {"<WAIT VALUE=-100>abc", -1, {"abc", "", "", "", "", ""}},
      {"<WAIT VALUE=0>ab<WAIT VALUE=60>cd", 256, {"abc", "", "d", "", "", ""}},
      {"<WAIT VALUE=20>あい", 256, {"あ", "い", "", "", "", ""}},
  };
  for (const Case& c : cases) {
    Revealing r(c.markup);
    r.doc->WaitScale = c.scale;
    EXPECT_EQ(r.Frames(6, 50), c.frames) << c.markup << " at " << c.scale;
  }
}

TEST(TTpWordReveal, TheFirstFrameSubtractsNothingAndSuspensionHoldsBack) {
  Revealing r("<WAIT VALUE=30>ab");
  EXPECT_EQ(r.Frames(1, 1000), Texts{"a"}) << "no time has passed before the first glyph";
  r.doc->RevealSuspended = 1;
  EXPECT_EQ(r.Frames(2, 1000), (Texts{"", ""}));
  r.doc->RevealSuspended = 0;
  EXPECT_EQ(r.Frames(1, 0), Texts{""}) << "the time of the suspended frames was not counted";
  EXPECT_EQ(r.Frames(1, 30), Texts{"b"});
}

TEST(TTpWordReveal, GlyphsFadeInByTheFadeTime) {
  Revealing r("<WAIT VALUE=0>ab");
  r.doc->FadeTime = 100;
  std::vector<int> alphas;
  for (int i = 0; i < 5; ++i) {
    RevealResult step = r.doc->RevealStep(r.Page(), 20);
    EXPECT_EQ(step.Changed.size(), 2u);
    alphas.push_back(static_cast<const TWdReal&>(*r.doc->Glyphs[0]).Alpha);
  }
  // 20 × 256 = 5120 per frame: 51 each time with the remainder carried, the fifth 52.
  EXPECT_EQ(alphas, (std::vector<int>{51, 102, 153, 204, 255}));
  EXPECT_TRUE(r.Page().Reveal.Fading.empty());
  EXPECT_TRUE(r.Page().Complete());

  Revealing instant("a");
  instant.doc->FadeTime = 0;
  instant.doc->RevealStep(instant.Page(), 0);
  EXPECT_EQ(static_cast<const TWdReal&>(*instant.doc->Glyphs[0]).Alpha, 255) << "fade time 0 shows at once";
}

TEST(TTpWordReveal, EventsAreHandedOverOnceEverythingBeforeThemFadedIn) {
  Revealing r("<WAIT VALUE=0>a<EVENT VALUE=x><EVENT VALUE=y>b<EVENT VALUE=z END>c");
  r.doc->FadeTime = 50;
  std::vector<std::string> log;
  for (int i = 0; i < 8; ++i) {
    RevealResult step = r.doc->RevealStep(r.Page(), 20);
    std::string line = test::Utf8(step.Text);
    for (const std::string& e : step.Events) line += "<" + e + ">";
    log.push_back(line);
  }
  // a fades for three frames (102, 204, 255); x and y go together; then b and c, and z at the
  // end of the page once c has faded in.
  EXPECT_EQ(log, (Texts{"a", "", "<x><y>", "bc", "", "<z>", "", ""}));

  Revealing off("<WAIT VALUE=0>a<EVENT VALUE=x>b");
  off.doc->EventsEnabled = 0;
  EXPECT_EQ(off.Frames(1, 0), Texts{"ab"}) << "without events the marks are passed by";
}

TEST(TTpWordReveal, RowsBelowTheHeightWaitForTheScroll) {
  Revealing r("<WAIT VALUE=0>あ<BR>い", 12);
  EXPECT_EQ(r.Frames(2, 16), (Texts{"あ", ""}));
  EXPECT_EQ(test::Utf8(r.doc->RevealStep(r.Page(), 16, 12).Text), "い");
  EXPECT_EQ(r.doc->CaretY, 0) << "the caret follows the scroll";
}

TEST(TTpWordReveal, TheCaretGoesWhereTheNextGlyphWillBe) {
  Revealing r("<WAIT VALUE=100>あい");
  r.doc->Left = 5;
  r.doc->Top = 7;
  r.doc->RevealStep(r.Page(), 0);
  EXPECT_EQ(r.doc->CaretX, 5 + 12);
  EXPECT_EQ(r.doc->CaretY, 7);
  EXPECT_EQ(r.doc->CaretHeight, 12);
  r.Frames(1, 100);
  EXPECT_EQ(r.doc->CaretX, 5 + 24) << "behind the last glyph";
}

TEST(TTpWordVariables, MarksTakeLocalVariablesOrEvaluateAndKeepTheValue) {
  TParamCollection vars;
  vars.AddVariable(kTypeStr, "name").Value->SetAsStr(Sj("太郎"));
  vars.AddVariable(kTypeStr, "two").Value->SetAsStr("x\ry");
  auto doc = Parse("<VAR NAME=name>さん<VAR NAME=\"1 +\"><VAR NAME=two><VAR NAME=\"name ++ 1\">");
  size_t end = doc->ExpandVariables(0, doc->Glyphs.size(), &vars, 30);
  EXPECT_EQ(end, doc->Glyphs.size());
  EXPECT_EQ(DocText(*doc), "[VAR name]太郎さん[VAR 1 +][VAR two]x[BR]y[VAR name ++ 1]太郎1");
  EXPECT_EQ(doc->LocalVars, (std::vector<std::string>{"name=" + Sj("太郎"), "two=x\x01y", "name ++ 1=" + Sj("太郎") + "1"}));
  const auto& made = static_cast<const TWdChar&>(*doc->Glyphs[1]);
  EXPECT_EQ(made.Type, WdType::kVarChar);
  EXPECT_EQ(made.Wait, 50) << "nothing before it: the wait of the text after it";
  EXPECT_EQ(made.Index, 0) << "the mark's index";
  EXPECT_EQ(made.Style, static_cast<const TWdOpeVar&>(*doc->Glyphs[0]).Style);

  // Again: the earlier expansion goes, and the kept values win over the variables.
  vars.FindVariable("name")->Value->SetAsStr("changed");
  doc->ExpandVariables(0, doc->Glyphs.size(), &vars, 30);
  EXPECT_EQ(DocText(*doc), "[VAR name]太郎さん[VAR 1 +][VAR two]x[BR]y[VAR name ++ 1]太郎1");
  doc->LocalVars.clear();
  doc->ExpandVariables(0, doc->Glyphs.size(), &vars, 30);
  EXPECT_EQ(DocText(*doc), "[VAR name]changedさん[VAR 1 +][VAR two]x[BR]y[VAR name ++ 1]changed1");
  // Without variables, unknown marks insert nothing.
  auto none = Parse("a<VAR NAME=name>");
  none->ExpandVariables(0, none->Glyphs.size(), nullptr, 50);
  EXPECT_EQ(DocText(*none), "a[VAR name]");
}

// A huge value shows only its first kMaxMarkChars characters, and the marks together never grow
// the document past kMaxGlyphs; markup longer than that is refused. Each glyph is an object, so
// unbounded, a 20 MB variable took gigabytes.
TEST(TTpWordVariables, HugeValuesAndTextsAreBounded) {
  TParamCollection vars;
  vars.AddVariable(kTypeStr, "big").Value->SetAsStr(std::string(TTpWord::kMaxMarkChars + 1000, 'x'));
  auto doc = Parse("<VAR NAME=big>a");
  doc->ExpandVariables(0, doc->Glyphs.size(), &vars, 30);
  EXPECT_EQ(doc->Glyphs.size(), 1 + TTpWord::kMaxMarkChars + 1);
  EXPECT_EQ(doc->Glyphs.back()->Type, WdType::kChar) << "the text after the mark stays";

  // Sixteen such marks would make over a million glyphs: they stop at the document's limit.
  std::string marks;
  for (int i = 0; i < 17; ++i) marks += "<VAR NAME=big>";
  auto many = Parse(marks);
  many->ExpandVariables(0, many->Glyphs.size(), &vars, 30);
  EXPECT_EQ(many->Glyphs.size(), TTpWord::kMaxGlyphs + 1) << "the last mark itself is kept";

  TTpWord refused;
  EXPECT_THROW(ParseMarkup(std::string(TTpWord::kMaxGlyphs + 1, 'x'), refused, 30), Error);
}

TEST(TTpWordSettings, RecordOfEachVersion) {
  TTpWord doc;
  doc.Left = 1, doc.Top = 2, doc.FontSize = 3, doc.FontName = "f", doc.TextColor = 4, doc.Height = 5;
  doc.Width = 6, doc.RenderMode = 2, doc.LineSpacing = 7, doc.Paging = 0, doc.LinkColor = 8;
  doc.ActiveLinkColor = 9, doc.FadeTime = 10, doc.BorderColor = 11, doc.ImageAlpha = 300, doc.RevealSuspended = 1;
  doc.CaretX = 12, doc.CaretY = 13, doc.WaitScale = 14, doc.EventsEnabled = 1, doc.ShadowColor = 15;
  doc.BorderWidth = 16, doc.ShadowOffset = 17;
  const struct {
    int version;
    size_t size;
  } cases[] = {{109, 4 * 3 + 5 + 4 * 5 + 1 + 4 * 5 + 1 + 4 * 3 + 1}, {110, 76}, {111, 84}};
  for (const auto& c : cases) {
    MemoryStream s;
    doc.SaveSettings(s, c.version);
    EXPECT_EQ(s.Size(), c.size) << c.version;
    s.SetPosition(0);
    TTpWord back;
    back.LoadSettings(s, c.version);
    EXPECT_EQ(s.Remaining(), 0) << c.version;
    MemoryStream again;
    back.SaveSettings(again, c.version);
    EXPECT_EQ(again.View(), s.View()) << c.version;
    EXPECT_EQ(back.ShadowColor, c.version >= 110 ? 15 : 0);
    EXPECT_EQ(back.ShadowOffset, c.version >= 111 ? 17 : 0);
  }
}

}  // namespace
}  // namespace orin
