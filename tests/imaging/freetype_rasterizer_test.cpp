// Glyphs of the IPA fonts (installed by scripts/setup.sh) through FreeType, alone and through the
// glyph cache and DrawChar. Exact rasters change with font and FreeType versions, so the tests
// look at properties: levels, boxes, metrics, the border ring and the shadow.
#include "imaging/freetype_rasterizer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <set>
#include <string>

#include "core/cp932.h"
#include "core/error.h"
#include "core/text.h"
#include "imaging/draw_char.h"
#include "imaging/font_pixel.h"

namespace orin {
namespace {

using namespace literals;

FontFinder& Finder() {
  static FontFinder finder;
  return finder;
}

uint16_t Code(const std::string& cp932) { return CharCodeAt(cp932, 0); }

const std::string& Gothic() { return "ＭＳ ゴシック"_sj; }

TEST(FreeTypeRasterizer, HeightsAsWindowsMeansThem) {
  FreeTypeRasterizer r(Finder());
  // A stand-in's em fills the cell, whichever sign the height has.
  r.SelectFont(Gothic(), 24, 0);
  EXPECT_EQ(r.PixelsPerEm(), 24);
  const int ascent = r.Metrics().Ascent;
  EXPECT_GE(ascent, 19);
  EXPECT_LE(ascent, 22);
  r.SelectFont(Gothic(), -24, 0);
  EXPECT_EQ(r.PixelsPerEm(), 24);
  EXPECT_EQ(r.Metrics().Ascent, ascent);
  // A face named by its own name has a cell of its Windows ascent + descent, taller than its em.
  r.SelectFont("IPAGothic", 24, 0);
  EXPECT_LT(r.PixelsPerEm(), 24);
  r.SelectFont("IPAGothic", -24, 0);
  EXPECT_EQ(r.PixelsPerEm(), 24);
  // Height 0 is a default size, not nothing.
  r.SelectFont(Gothic(), 0, 0);
  EXPECT_GT(r.PixelsPerEm(), 8);
  EXPECT_GE(r.Metrics().UnderscoreSize, 1);
  EXPECT_GE(r.Metrics().StrikeoutSize, 1);
  EXPECT_GT(r.Metrics().StrikeoutPosition, 0);
  EXPECT_LT(r.Metrics().StrikeoutPosition, r.Metrics().Ascent);
}

TEST(FreeTypeRasterizer, AbsurdHeightsAreRefused) {
  FreeTypeRasterizer r(Finder());
  r.SelectFont(Gothic(), 16, 0);
  for (int32_t h : {100000, -100000, FreeTypeRasterizer::kMaxHeight + 1}) {
    try {
      r.SelectFont(Gothic(), h, 0);
      FAIL() << h;
    } catch (const Error& e) {
      EXPECT_EQ(e.Message(), "Error:GetOutlineTextMetrics");
    }
  }
  // The previous font stays.
  EXPECT_EQ(r.PixelsPerEm(), 16);
}

TEST(FreeTypeRasterizer, GlyphFormatsPerMode) {
  FreeTypeRasterizer r(Finder());
  r.SelectFont(Gothic(), 24, 0);
  const int maxLevel[] = {1, 4, 16, 64};
  for (int mode = 0; mode < 4; ++mode) {
    SCOPED_TRACE(mode);
    RasterGlyph g;
    ASSERT_EQ(r.Rasterize(Code("漢"_sj), mode, g), RasterResult::kOk);
    EXPECT_GT(g.BlackBoxWidth, 12);
    EXPECT_LE(g.BlackBoxWidth, 24);
    EXPECT_GT(g.BlackBoxHeight, 12);
    EXPECT_LE(g.BlackBoxHeight, 25);
    EXPECT_EQ(g.CellIncX, 24);
    EXPECT_EQ(g.AbcA + g.AbcB + g.AbcC, g.CellIncX);
    const size_t rowBytes = mode == 0 ? (g.BlackBoxWidth + 31) / 32 * 4 : (g.BlackBoxWidth + 3) / 4 * 4;
    ASSERT_EQ(g.Data.size(), rowBytes * g.BlackBoxHeight);
    if (mode == 0) continue;
    std::set<int> levels(g.Data.begin(), g.Data.end());
    EXPECT_LE(*levels.rbegin(), maxLevel[mode]);
    EXPECT_TRUE(levels.count(maxLevel[mode]));
    // Anti-aliased: some level between empty and full.
    EXPECT_GE(levels.size(), 3u);
  }
}

TEST(FreeTypeRasterizer, BlanksAndCharactersWithoutAMapping) {
  FreeTypeRasterizer r(Finder());
  r.SelectFont(Gothic(), 24, 0);
  struct Case {
    uint16_t code;
    int advance;  // 0: any positive
  } cases[] = {
      {0x20, 12},    // half-width space
      {0x8140, 24},  // full-width space
      {0x8540, 0},   // not assigned in cp932
      {0x81, 0},     // a lone lead byte
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.code);
    RasterGlyph g;
    ASSERT_EQ(r.Rasterize(c.code, 3, g), RasterResult::kOk);
    EXPECT_TRUE(g.Data.empty());
    if (c.advance)
      EXPECT_EQ(g.CellIncX, c.advance);
    else
      EXPECT_GT(g.CellIncX, 0);
    EXPECT_EQ(r.TextWidth(c.code), g.CellIncX);
  }
}

TEST(FreeTypeRasterizer, SyntheticBoldAndItalicWiden) {
  FreeTypeRasterizer r(Finder());
  RasterGlyph plain, bold, italic;
  r.SelectFont(Gothic(), 32, 0);
  // A vertical bar shows the slant as width.
  ASSERT_EQ(r.Rasterize('|', 3, plain), RasterResult::kOk);
  r.SelectFont(Gothic(), 32, 1);
  EXPECT_TRUE(r.CurrentFace().SynthesizeBold);
  ASSERT_EQ(r.Rasterize('|', 3, bold), RasterResult::kOk);
  r.SelectFont(Gothic(), 32, 2);
  EXPECT_TRUE(r.CurrentFace().SynthesizeItalic);
  ASSERT_EQ(r.Rasterize('|', 3, italic), RasterResult::kOk);
  EXPECT_GT(bold.BlackBoxWidth, plain.BlackBoxWidth);
  EXPECT_GE(bold.CellIncX, plain.CellIncX);
  EXPECT_GT(italic.BlackBoxWidth, plain.BlackBoxWidth + 3);
  EXPECT_EQ(italic.BlackBoxHeight, plain.BlackBoxHeight);
}

TEST(FreeTypeRasterizer, MissingCharactersComeFromTheDefaultStandIn) {
  // IPAMincho and IPAGothic cover the same characters, so a face without kana is needed: the
  // Latin-only faces are not guaranteed on every machine, so this only runs where one exists.
  std::string latin;
  for (const FontFaceInfo& f : Finder().Faces())
    if (!f.Japanese) {
      latin = f.Families.front();
      break;
    }
  if (latin.empty()) GTEST_SKIP() << "no face without Japanese installed";
  FreeTypeRasterizer r(Finder());
  // A character height: a Latin face's cell may be much taller than its em.
  r.SelectFont(latin, -24, 0);
  RasterGlyph g;
  ASSERT_EQ(r.Rasterize(Code("あ"_sj), 3, g), RasterResult::kOk);
  EXPECT_FALSE(g.Data.empty());
  EXPECT_GT(g.BlackBoxWidth, 12);
}

// Through the cache: coverage holds only the levels of the mode's map.
TEST(FreeTypeRasterizer, CachedGlyphsCarryTheModesLevels) {
  TFontPixelManager manager(std::make_unique<FreeTypeRasterizer>(Finder()));
  for (int mode = 0; mode < 4; ++mode) {
    SCOPED_TRACE(mode);
    manager.SetRenderMode(mode);
    auto g = manager.GetGlyph(Code("あ"_sj), Gothic(), 0, 24);
    ASSERT_TRUE(g->HasBitmap());
    EXPECT_EQ(g->RenderMode, mode);
    const auto map = LevelMap(mode);
    std::set<uint8_t> allowed(map.begin(), map.end());
    for (uint8_t q : g->Coverage) ASSERT_TRUE(allowed.count(q)) << int(q);
    EXPECT_EQ(*std::max_element(g->Coverage.begin(), g->Coverage.end()), 255);
    EXPECT_LE(g->YOffset + g->CoverageHeight, 25);
    EXPECT_LE(g->XOffset + g->CoverageWidth + g->ExtraAdvance, 24);
    EXPECT_GE(g->XOffset + g->CoverageWidth + g->ExtraAdvance, 23);
  }
  FreeTypeRasterizer alone(Finder());
  alone.SelectFont(Gothic(), 24, 0);
  EXPECT_EQ(manager.Ascent(), alone.Metrics().Ascent);
  // A space: no coverage, only an advance.
  auto space = manager.GetGlyph(0x20, Gothic(), 0, 24);
  EXPECT_FALSE(space->HasBitmap());
  EXPECT_EQ(space->ExtraAdvance, 12);
}

// Chebyshev neighbourhood of radius k around (x, y) in glyph coordinates: whether any coverage
// reaches `atLeast`.
bool NearCoverage(const TFontPixel& g, int x, int y, int k, int atLeast) {
  for (int dy = -k; dy <= k; ++dy)
    for (int dx = -k; dx <= k; ++dx) {
      const int gx = x + dx, gy = y + dy;
      if (gx < 0 || gy < 0 || gx >= g.CoverageWidth || gy >= g.CoverageHeight) continue;
      if (g.Coverage[gy * g.CoverageWidth + gx] >= atLeast) return true;
    }
  return false;
}

TEST(DrawChar_FreeType, BorderAndShadowAroundARenderedGlyph) {
  TFontPixelManager manager(std::make_unique<FreeTypeRasterizer>(Finder()));
  auto g = manager.GetGlyph(Code("国"_sj), Gothic(), 0, 24);
  ASSERT_TRUE(g->HasBitmap());
  const int k = 2, d = 2;
  TDIBSurface colour(40, 40, 32), alpha(40, 40, 8);
  const uint32_t text = 0xFFFFFF, border = 0x000000, shadow = 0x0000FF;  // black never drifts
  const Rect cell{4, 4, 4 + 24 + 2 * k + d, 4 + 24 + 2 * k + d};
  Rect changed;
  manager.DrawChar(*g, colour, alpha, false, changed, shadow, border, text, false, false, d, k, cell);
  // Where the glyph sits: changed starts at the glyph's box less nothing, the main glyph k in.
  const int gx0 = changed.Left + k, gy0 = changed.Top + k;
  EXPECT_EQ(changed.Width(), g->CoverageWidth + 2 * k + d);
  EXPECT_EQ(changed.Height(), g->CoverageHeight + 2 * k + d);
  int ring = 0, shade = 0;
  for (int y = 0; y < 40; ++y)
    for (int x = 0; x < 40; ++x) {
      SCOPED_TRACE(testing::Message() << x << "," << y);
      const int lx = x - gx0, ly = y - gy0;
      const bool inBox = lx >= 0 && ly >= 0 && lx < g->CoverageWidth && ly < g->CoverageHeight;
      const uint8_t q = inBox ? g->Coverage[ly * g->CoverageWidth + lx] : 0;
      const uint32_t p = colour.GetPixel(x, y), a = alpha.GetPixel(x, y);
      if (q == 255) {
        EXPECT_EQ(p, text);
        EXPECT_EQ(a, 255u);
      } else if (q == 0 && NearCoverage(*g, lx, ly, k, 255)) {
        // Border ring: a full glyph pixel within k.
        EXPECT_EQ(p, border);
        EXPECT_EQ(a, 255u);
        ++ring;
      } else if (!NearCoverage(*g, lx, ly, k, 1) && NearCoverage(*g, lx - d, ly - d, k, 255)) {
        // Clear of the character and its border, in the shadow's full part. Partial stamps after
        // a full one darken a channel by a few steps ((255 × 255) >> 8 is 254).
        EXPECT_EQ(p & 0xFFFF00, 0u);
        EXPECT_GE(p & 0xFF, 0xE0u);
        EXPECT_EQ(a, 255u);
        ++shade;
      } else if (!NearCoverage(*g, lx, ly, k, 1) && !NearCoverage(*g, lx - d, ly - d, k, 1)) {
        EXPECT_EQ(a, 0u);
      }
      if (a) {
        EXPECT_GE(x, changed.Left);
        EXPECT_LT(x, changed.Right);
        EXPECT_GE(y, changed.Top);
        EXPECT_LT(y, changed.Bottom);
      }
    }
  EXPECT_GT(ring, 50);
  EXPECT_GT(shade, 10);
}

}  // namespace
}  // namespace orin
