#include "scene/text/word_layout.h"

#include <gtest/gtest.h>

#include "imaging/frame_drawable.h"
#include "scene/model/mura_collection.h"
#include "scene/text_test_support.h"

namespace orin {
namespace {

using test::PageRows;
using test::Parse;
using Rows = std::vector<std::string>;

LayoutResult Lay(TTpWord& doc, int32_t width, int32_t height = 0, int32_t spacing = 0,
                 TMuraCollection* images = nullptr) {
  LayoutParams p;
  p.Width = width;
  p.Height = height;
  p.LineSpacing = spacing;
  p.Paging = true;
  return LayoutGlyphs(doc, 0, doc.Glyphs.size(), p, images);
}

std::shared_ptr<FrameDrawable> Picture(int w, int h) {
  auto p = std::make_shared<FrameDrawable>();
  p->Color.SetSize(w, h, 32);
  return p;
}

// Characters are 12 × 12 cells (the default size), whatever their byte count.
TEST(TTpWordLayout, BreakingUnitsFollowTheKinsokuRules) {
  struct Case {
    const char* markup;
    int32_t width;
    Rows rows;
  } cases[] = {
      {"あいう。えお", 36, {"あい", "う。え", "お"}},         // 。 never starts a line
      {"あい」」う", 36, {"あ", "い」」", "う"}},               // nor 」, even twice
      {"あい「う」え", 36, {"あい", "「う」", "え"}},          // 「 never ends one
      {"あ「「いう", 36, {"あ", "「「い", "う"}},
      {"hello world", 60, {"hello ", "world"}},                // words stay whole, a space with them
      {"abcdefgh", 36, {"abcdefgh"}},                          // a longer word overflows
      {"ab(cd) ef!", 48, {"ab(cd) ", "ef!"}},
      {"<RUBY VALUE=x>あいう</RUBY>え", 24, {"あいう", "え"}},  // a ruby group stays whole
      {"<RUBY VALUE=x>あ</RUBY><RUBY VALUE=y>い</RUBY>", 12, {"あ", "い"}},
      {"<NOBR>あいう</NOBR>え", 24, {"あいう", "え"}},
      {"あ<NOBR>い</NOBR>う", 12, {"あ", "い", "う"}},           // no-break binds only no-break pairs
      {"あい<EVENT VALUE=e>う", 24, {"あい[EVENT e]", "う"}},   // a mark stays with the text before it
      {"あ<BR>い", 0, {"あ", "い"}},
  };
  for (const Case& c : cases) {
    auto doc = Parse(c.markup);
    EXPECT_EQ(PageRows(Lay(*doc, c.width)), c.rows) << c.markup;
  }
}

TEST(TTpWordLayout, RowsThatPassTheHeightStartANewPage) {
  auto doc = Parse("あいうえおか<BR CLEAR>き");
  // Rows at y 0, 14 and 28; the third would end at 40.
  LayoutResult r = Lay(*doc, 24, 30, 2);
  EXPECT_EQ(PageRows(r), (Rows{"あい", "うえ", "|", "おか", "|", "き"}));
  ASSERT_EQ(r.Pages.size(), 3u);
  EXPECT_EQ(r.Pages[1]->Rows[0]->Y, 0);
  EXPECT_EQ(r.Pages[0]->Rows[1]->Y, 14);
  EXPECT_EQ(r.Pages[1]->FirstIndex(), 4);
  EXPECT_EQ(r.Pages[1]->LastIndex(), 6) << "the page takes its line break";
  // A first row higher than the page stays on its page rather than loop.
  auto tall = Parse("<FONT SIZE=40>あ</FONT>い");
  EXPECT_EQ(PageRows(Lay(*tall, 40, 30)), (Rows{"あ", "|", "い"}));
  // Without paging everything is one page.
  LayoutParams p;
  p.Width = 24;
  p.Height = 30;
  p.Paging = false;
  EXPECT_EQ(LayoutGlyphs(*doc, 0, doc->Glyphs.size(), p, nullptr).Pages.size(), 2u) << "only the CLEAR breaks";
}

TEST(TTpWordLayout, EmptyLinesAreAsHighAsADefaultCharacter) {
  auto doc = Parse("あ<BR><BR><FONT SIZE=20>い</FONT>");
  doc->BorderWidth = 1;
  LayoutResult r = Lay(*doc, 0);
  const auto& rows = r.Pages[0]->Rows;
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(rows[0]->Y, 0);
  EXPECT_EQ(rows[1]->Y, 14) << "12 + 2 × border";
  EXPECT_EQ(rows[2]->Y, 28);
  EXPECT_EQ(rows[2]->Height, 22);
}

TEST(TTpWordLayout, AlignmentIndentAndAutomaticWidth) {
  auto doc = Parse(
      "<DIV ALIGN=CENTER>あ</DIV><BR><DIV ALIGN=RIGHT>いう</DIV><BR>え<INDENT>おかきくけこ<UNDENT>さ<BR>し");
  LayoutResult r = Lay(*doc, 60);
  const auto& rows = r.Pages[0]->Rows;
  ASSERT_EQ(rows.size(), 5u);
  EXPECT_EQ(rows[0]->Children[0]->X, 24);
  EXPECT_EQ(rows[1]->Children[0]->X, 36);
  EXPECT_EQ(rows[2]->Children[0]->X, 0);
  EXPECT_FALSE(rows[2]->Blank) << "an indent begins on the next row";
  ASSERT_TRUE(rows[3]->Blank);
  EXPECT_EQ(rows[3]->Blank->Width, 12) << "as far in as the mark was";
  EXPECT_EQ(test::GlyphText(*rows[3]->Children[1]), "け");
  EXPECT_EQ(rows[3]->Children[1]->X, 12);
  EXPECT_FALSE(rows[4]->Blank) << "undent";

  auto free = Parse("<DIV ALIGN=RIGHT>あ<BR>あいう</DIV>");
  LayoutResult f = Lay(*free, 0);
  EXPECT_EQ(f.TextWidth, 36);
  EXPECT_EQ(f.Pages[0]->Rows[0]->Children[0]->X, 24) << "right against the widest row";
}

TEST(TTpWordLayout, TextFlowsBesideFloatingImages) {
  TMuraCollection images(nullptr);
  images.Add("f.mur", Picture(24, 24));
  images.Add("r.mur", Picture(12, 12));
  auto doc = Parse("<IMG SRC=f.mur ALIGN=LEFT>あいうえおかきくけこ");
  LayoutResult r = Lay(*doc, 60, 0, 0, &images);
  const auto& rows = r.Pages[0]->Rows;
  EXPECT_EQ(PageRows(r), (Rows{"[IMG f.mur]あいう", "えおか", "きくけこ"}));
  EXPECT_EQ(rows[0]->LeftLimit, 24);
  EXPECT_EQ(rows[0]->Children[1]->X, 24);
  EXPECT_EQ(rows[2]->Y, 24);
  EXPECT_EQ(rows[2]->LeftLimit, 0);

  auto right = Parse("あ<IMG SRC=r.mur ALIGN=RIGHT>いうえおか");
  LayoutResult rr = Lay(*right, 36, 0, 0, &images);
  const TWdGlyph* img = rr.Pages[0]->Rows[1]->Children[0];
  EXPECT_EQ(test::GlyphText(*img), "[IMG r.mur]");
  EXPECT_EQ(img->X, 24);
  EXPECT_EQ(img->Y, 12) << "the row before it closed";
  EXPECT_EQ(PageRows(rr), (Rows{"あ", "[IMG r.mur]いう", "えおか"}));

  // A missing picture is 0 × 0.
  auto missing = Parse("あ<IMG SRC=none.mur>い");
  LayoutResult m = Lay(*missing, 0, 0, 0, &images);
  EXPECT_EQ(m.Pages[0]->Rows[0]->Children[1]->Width, 0);
  EXPECT_EQ(m.Pages[0]->Rows[0]->Height, 12);
}

TEST(TTpWordLayout, ImagesAlignedInTheirRow) {
  TMuraCollection images(nullptr);
  images.Add("i.mur", Picture(10, 20));
  struct Case {
    const char* align;
    int32_t height, charY, imageY;
  } cases[] = {{"BOTTOM", 20, 8, 0}, {"TOP", 20, 0, 0}, {"CENTER", 20, 4, 0}};
  for (const Case& c : cases) {
    auto doc = Parse(std::string("あ<IMG SRC=i.mur ALIGN=") + c.align + ">");
    LayoutResult r = Lay(*doc, 0, 0, 0, &images);
    const TWdRow& row = *r.Pages[0]->Rows[0];
    EXPECT_EQ(row.Height, c.height) << c.align;
    EXPECT_EQ(row.Children[0]->Y, c.charY) << c.align;
    EXPECT_EQ(row.Children[1]->Y, c.imageY) << c.align;
  }
}

TEST(TTpWordLayout, CellSizesFollowTheStyle) {
  auto doc = Parse("<I>あ</I><RUBY VALUE=r>い</RUBY><FONT BORDER=2 SHADOW=3>う</FONT><FONT SIZE=21 SHADOW=0>え</FONT>");
  doc->ShadowOffset = 1;
  LayoutResult r = Lay(*doc, 0);
  const auto& g = r.Pages[0]->Rows[0]->Children;
  EXPECT_EQ(g[0]->Width, 12 + 2 + 1);
  EXPECT_EQ(g[1]->Height, 12 + 6 + 1);
  EXPECT_EQ(g[2]->Width, 12 + 4 + 3);
  EXPECT_EQ(g[3]->Width, 21);
}

}  // namespace
}  // namespace orin
