#include "scene/text/word_render.h"

#include <gtest/gtest.h>

#include "imaging/font_pixel.h"
#include "imaging/screen_surface.h"
#include "scene/text_test_support.h"

namespace orin {
namespace {

using test::Parse;

struct Rendered {
  explicit Rendered(const char* markup) : doc(Parse(markup)), glyphs(std::make_unique<test::BoxRasterizer>()) {
    doc->TextColor = 0xFFFFFF;
    LayoutParams p;
    p.Paging = false;
    pages = LayoutGlyphs(*doc, 0, doc->Glyphs.size(), p, nullptr).Pages;
    Draw();
  }
  void Draw() {
    layer.Render(*pages[0], *doc, &glyphs, 40, 30, 32, 0, 0);
    layer.UpdateAll(*pages[0]);
    screen.SetSize(40, 30, 32);
    layer.Draw(screen, 0, 0, *pages[0], *doc);
  }
  TWdReal& Glyph(size_t i) { return static_cast<TWdReal&>(*doc->Glyphs[i]); }
  uint32_t Pixel(int x, int y) const { return screen.GetPixel(x, y) & 0xFFFFFF; }

  std::unique_ptr<TTpWord> doc;
  TFontPixelManager glyphs;
  std::vector<std::unique_ptr<TWdPage>> pages;
  PageLayer layer;
  ScreenSurface screen;
};

TEST(PageLayer, RubyIsSpreadOverItsGroup) {
  // Two 12-pixel characters under a ruby of two half-width characters of size 6 (3 wide): their
  // centres are at 6 and 18 of the 24-pixel group, each moved left by a quarter of 6.
  Rendered r("<RUBY VALUE=ab>あい</RUBY>");
  const int rubyAt[] = {5, 17};
  for (int x = 0; x < 24; ++x) {
    const bool ink = (x >= rubyAt[0] && x < rubyAt[0] + 3) || (x >= rubyAt[1] && x < rubyAt[1] + 3);
    EXPECT_EQ(r.Pixel(x, 2), ink ? 0xFFFFFFu : 0u) << "ruby row, x " << x;
  }
  EXPECT_EQ(r.Pixel(0, 5), 0u);
  EXPECT_EQ(r.Pixel(0, 6), 0xFFFFFFu) << "the main glyph below the ruby";
  EXPECT_EQ(r.Pixel(23, 17), 0xFFFFFFu);
  EXPECT_EQ(r.Pixel(24, 10), 0u);
}

TEST(PageLayer, ColoursLinksAndHighlight) {
  Rendered r("<FONT COLOR=#FF0000>あ</FONT><A HREF=x>い</A>う");
  EXPECT_EQ(r.Pixel(1, 1), 0xFF0000u) << "#FF0000 is red";
  EXPECT_EQ(r.Pixel(13, 1), 0x0000FFu) << "the link colour";
  EXPECT_EQ(r.Pixel(25, 1), 0xFFFFFFu) << "the text colour";
  EXPECT_EQ(r.Pixel(13, 11), 0x0000FFu) << "links are underlined: the box's bottom row";
  r.Glyph(1).Highlighted = true;
  r.Draw();
  EXPECT_EQ(r.Pixel(13, 1), 0x008000u) << "the active-link colour";
}

TEST(PageLayer, CellsShowTheirGlyphsAlpha) {
  Rendered r("<FONT COLOR=#FF0000>あい</FONT>");
  r.Glyph(0).Alpha = 128;
  r.Glyph(1).Alpha = 0;
  r.Draw();
  EXPECT_EQ(r.Pixel(1, 1), 0x7F0000u);
  EXPECT_EQ(r.Pixel(13, 1), 0u);
  r.Glyph(1).Alpha = 255;
  const Rect cell = r.layer.UpdateAlpha(r.Glyph(1));
  EXPECT_EQ(cell, (Rect{12, 0, 24, 12}));
  r.screen.SetSize(40, 30, 32);
  r.layer.Draw(r.screen, 0, 0, *r.pages[0], *r.doc);
  EXPECT_EQ(r.Pixel(13, 1), 0xFF0000u);
}

}  // namespace
}  // namespace orin
