#include "imaging/draw_char.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "core/error.h"
#include "imaging/imaging_test_support.h"

namespace orin {
namespace {

using namespace glyph_ink;

// A colour surface and an alpha surface of one size.
struct Layer {
  TDIBSurface colour, alpha;
  Layer(int w, int h, int depth) : colour(w, h, depth), alpha(w, h, 8) {}
  TextLayer View() { return TextLayer{colour, alpha}; }
  uint32_t P(int x, int y) const { return colour.GetPixel(x, y); }
  uint32_t A(int x, int y) const { return alpha.GetPixel(x, y); }
};

// A glyph from rows of coverage.
TFontPixel Glyph(int w, int h, std::vector<uint8_t> coverage) {
  TFontPixel g;
  g.Code = 0x8A;
  g.FontHeight = 16;
  g.CoverageWidth = w;
  g.CoverageHeight = h;
  g.Coverage = std::move(coverage);
  return g;
}

TEST(GlyphInk, LayerOverFormulas) {
  // Colour 0xFFFFFF (white) at 32 bits, starting from a black, partly covered pixel.
  struct Case {
    uint8_t q, a;
    uint32_t p;
    uint8_t expectA;
    uint32_t expectP;
  } cases[] = {
      {255, 0, 0x123456, 255, 0xFFFFFF},
      {0, 77, 0x123456, 77, 0x123456},
      // Over empty alpha the weight is 255: the pure colour, not a step darker.
      {128, 0, 0x123456, 128, 0xFFFFFF},
      // A′ = 100 + 128 × 155 ÷ 255 = 177, w = 128 × 255 ÷ 177 = 184, (184 × 255) >> 8 = 183.
      {128, 100, 0x000000, 177, 0xB7B7B7},
      // Over full alpha w = q: (1 × 255 + 254 × 0) >> 8 = 0.
      {1, 255, 0x000000, 255, 0x000000},
      // Over full alpha the same colour drifts one step: (255 × 255) >> 8 = 254.
      {200, 255, 0xFFFFFF, 255, 0xFEFEFE},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << int(c.q) << " over " << int(c.a));
    Layer l(1, 1, 32);
    l.colour.SetPixel(0, 0, c.p);
    l.alpha.SetPixel(0, 0, c.a);
    const uint8_t q = c.q;
    LayerOver(l.View(), CoverageView{&q, 1, 1, 1}, 0, 0, 0xFFFFFF);
    EXPECT_EQ(l.A(0, 0), c.expectA);
    EXPECT_EQ(l.P(0, 0), c.expectP);
  }
}

TEST(GlyphInk, HalfCoverOverEmptyAlphaKeepsThePureColourAtEveryDepth) {
  for (int depth : {15, 16, 32}) {
    SCOPED_TRACE(depth);
    Layer l(1, 1, depth);
    const uint32_t colour = l.colour.ColorToPixel(255, 128, 8);
    const uint8_t q = 128;
    LayerOver(l.View(), CoverageView{&q, 1, 1, 1}, 0, 0, colour);
    EXPECT_EQ(l.A(0, 0), 128u);
    EXPECT_EQ(l.P(0, 0), colour);
  }
}

TEST(GlyphInk, ChannelsMixThroughTheMasks) {
  // Blend against black with q = 128: each channel (128 × c) >> 8 of its masked value.
  struct Case {
    int depth;
    uint32_t colour, expect;
  } cases[] = {
      {32, 0xFF80FF, 0x7F407F},
      {16, 0xFFFF, (0xF800 & ((128u * 0xF800) >> 8)) | (0x7E0 & ((128u * 0x7E0) >> 8)) | (0x1F & ((128u * 0x1F) >> 8))},
      {15, 0x7FFF, (0x7C00 & ((128u * 0x7C00) >> 8)) | (0x3E0 & ((128u * 0x3E0) >> 8)) | (0x1F & ((128u * 0x1F) >> 8))},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.depth);
    Layer l(2, 1, c.depth);
    const uint8_t q[2] = {128, 255};
    BlendAgainst(l.View(), CoverageView{q, 2, 1, 2}, 0, 0, c.colour, 0);
    EXPECT_EQ(l.P(0, 0), c.expect);
    EXPECT_EQ(l.P(1, 0), c.colour);
    EXPECT_EQ(l.A(0, 0), 0u);  // blending leaves alpha alone
  }
}

TEST(GlyphInk, AlphaPrimitives) {
  Layer l(4, 1, 32);
  const uint8_t q[4] = {0, 1, 128, 255};
  auto setAlpha = [&](std::vector<uint8_t> a) {
    for (int i = 0; i < 4; ++i) l.alpha.SetPixel(i, 0, a[i]);
  };
  auto alphas = [&] {
    std::vector<uint32_t> r;
    for (int i = 0; i < 4; ++i) r.push_back(l.A(i, 0));
    return r;
  };
  setAlpha({9, 9, 200, 9});
  Mark(l.View(), CoverageView{q, 4, 1, 4}, 0, 0);
  EXPECT_EQ(alphas(), (std::vector<uint32_t>{9, 255, 255, 255}));
  setAlpha({9, 9, 200, 9});
  Maximum(l.View(), CoverageView{q, 4, 1, 4}, 0, 0);
  EXPECT_EQ(alphas(), (std::vector<uint32_t>{9, 9, 200, 255}));
  setAlpha({9, 9, 200, 9});
  CopyToAlpha(l.View(), CoverageView{q, 4, 1, 4}, 0, 0);
  EXPECT_EQ(alphas(), (std::vector<uint32_t>{0, 1, 128, 255}));
  // A solid stamp colours every covered pixel and leaves alpha alone.
  StampSolid(l.View(), CoverageView{q, 4, 1, 4}, 0, 0, 0xABCDEF);
  EXPECT_EQ(l.P(0, 0), 0u);
  EXPECT_EQ(l.P(1, 0), 0xABCDEFu);
  EXPECT_EQ(l.P(3, 0), 0xABCDEFu);
}

TEST(GlyphInk, PrimitivesAreCutToTheLayer) {
  Layer l(3, 3, 16);
  std::vector<uint8_t> full(16, 255);
  const CoverageView g{full.data(), 4, 4, 4};
  EXPECT_EQ(LayerOver(l.View(), g, -2, 1, 0xFFFF), (Rect{0, 1, 2, 3}));
  EXPECT_EQ(LayerOver(l.View(), g, 5, 0, 0xFFFF), Rect{});
  EXPECT_EQ(BorderStamp(l.View(), g, 1, 1, 3, 0x1234), (Rect{0, 0, 3, 3}));
  EXPECT_EQ(Bar(l.View(), Rect{-5, 2, 50, 9}, 0x1), (Rect{0, 2, 3, 3}));
  // Surfaces of different sizes: only the common part.
  TDIBSurface colour(5, 5, 32), alpha(2, 7, 8);
  EXPECT_EQ(StampSolid(TextLayer{colour, alpha}, g, 0, 0, 1), (Rect{0, 0, 2, 4}));
}

TEST(GlyphInk, RefusesOtherDepths) {
  std::vector<uint8_t> full(1, 255);
  for (auto [depth, alphaDepth] : {std::pair{24, 8}, std::pair{8, 8}, std::pair{32, 32}}) {
    TDIBSurface colour(2, 2, depth), alpha(2, 2, alphaDepth);
    EXPECT_THROW(LayerOver(TextLayer{colour, alpha}, CoverageView{full.data(), 1, 1, 1}, 0, 0, 0), Error);
  }
}

TEST(GlyphInk, BorderStampMatchesStampAfterStamp) {
  std::mt19937 rng(7);
  for (int depth : {15, 16, 32})
    for (int k : {1, 2, 3})
      for (int round = 0; round < 4; ++round) {
        SCOPED_TRACE(testing::Message() << depth << " k " << k << " round " << round);
        const int w = 3 + static_cast<int>(rng() % 9), h = 3 + static_cast<int>(rng() % 9);
        // Coverage like a glyph's: mostly empty or full, with soft pixels between.
        std::vector<uint8_t> cov(static_cast<size_t>(w * h));
        for (auto& c : cov) {
          const unsigned r = rng() % 4;
          c = r == 0 ? 0 : r == 1 ? 255 : static_cast<uint8_t>(rng());
        }
        const CoverageView g{cov.data(), w, h, w};
        Layer fast(14, 13, depth), slow(14, 13, depth);
        test::FillRandom(fast.colour, rng());
        test::FillRandom(fast.alpha, rng());
        slow.colour.AssignFrom(fast.colour);
        slow.alpha.AssignFrom(fast.alpha);
        // Placed so that it runs off one edge or another in some rounds.
        const int x = static_cast<int>(rng() % 12) - 3, y = static_cast<int>(rng() % 12) - 3;
        const uint32_t colour = fast.colour.ColorToPixel(int(rng() % 256), int(rng() % 256), int(rng() % 256));
        const Rect a = BorderStamp(fast.View(), g, x, y, k, colour);
        const Rect b = BorderStampReference(slow.View(), g, x, y, k, colour);
        EXPECT_TRUE(test::SamePixels(fast.colour, slow.colour));
        EXPECT_TRUE(test::SamePixels(fast.alpha, slow.alpha));
        if (!b.IsEmpty()) {
          EXPECT_LE(a.Left, b.Left);
          EXPECT_LE(a.Top, b.Top);
          EXPECT_GE(a.Right, b.Right);
          EXPECT_GE(a.Bottom, b.Bottom);
        }
      }
}

// The glyph's remembered stamps give what stamping afresh gives, on layers whose alpha is partly
// empty (where soft pixels take the remembered result) and partly not (where they run again).
TEST(GlyphInk, RememberedBorderStampMatchesStampAfterStamp) {
  std::mt19937 rng(11);
  for (int depth : {15, 16, 32}) {
    TFontPixel glyph;
    const int w = 9, h = 7;
    glyph.CoverageWidth = w;
    glyph.CoverageHeight = h;
    for (int i = 0; i < w * h; ++i) {
      const unsigned r = rng() % 4;
      glyph.Coverage.push_back(r == 0 ? 0 : r == 1 ? 255 : static_cast<uint8_t>(rng()));
    }
    for (int round = 0; round < 12; ++round) {
      // Few colours and widths, so that later rounds find them remembered.
      const int k = 1 + round % 4 / 2;
      SCOPED_TRACE(testing::Message() << depth << " k " << k << " round " << round);
      Layer fast(16, 15, depth), slow(16, 15, depth);
      test::FillRandom(fast.colour, rng());
      test::FillRandom(fast.alpha, rng());
      for (int y = 0; y < 15; ++y)
        for (int x = 0; x < 16; ++x)
          if (rng() % 2) fast.alpha.SetPixel(x, y, 0);
      slow.colour.AssignFrom(fast.colour);
      slow.alpha.AssignFrom(fast.alpha);
      const int x = static_cast<int>(rng() % 12) - 3, y = static_cast<int>(rng() % 12) - 3;
      const uint32_t colour = round % 3 == 0 ? fast.colour.ColorToPixel(255, 255, 255) : fast.colour.ColorToPixel(9, 200, 77);
      const uint32_t text = fast.colour.ColorToPixel(250, 20, 130);
      if (round % 2) {
        BorderStamp(fast.View(), glyph, x, y, k, colour);
        BorderStampReference(slow.View(), ViewOf(glyph), x, y, k, colour);
      } else {
        CharacterWithBorder(fast.View(), glyph, x, y, k, colour, text);
        BorderStampReference(slow.View(), ViewOf(glyph), x, y, k, colour);
        Mark(slow.View(), ViewOf(glyph), x, y);
        BlendAgainst(slow.View(), ViewOf(glyph), x, y, text, colour);
      }
      EXPECT_TRUE(test::SamePixels(fast.colour, slow.colour));
      EXPECT_TRUE(test::SamePixels(fast.alpha, slow.alpha));
    }
  }
}

// DrawChar's glyph part, made of the plain primitives: what every faster path must give.
void ReferenceGlyphPart(Layer& l, const TFontPixel& g, int mainX, int mainY, int k, int d, uint32_t shadow,
                        uint32_t border, uint32_t text) {
  const CoverageView view = ViewOf(g);
  if (d > 0) {
    if (k == 0) {
      CopyToAlpha(l.View(), view, mainX + d, mainY + d);
      StampSolid(l.View(), view, mainX + d, mainY + d, shadow);
    } else {
      BorderStampReference(l.View(), view, mainX + d, mainY + d, k, shadow);
    }
  }
  if (k == 0) {
    LayerOver(l.View(), view, mainX, mainY, text);
  } else {
    BorderStampReference(l.View(), view, mainX, mainY, k, border);
    Mark(l.View(), view, mainX, mainY);
    BlendAgainst(l.View(), view, mainX, mainY, text, border);
  }
}

// On clear layers DrawChar copies what it remembers; over ink it works pixels out afresh. Both
// must match the primitives, the first time and when remembered.
TEST(DrawChar, MatchesThePrimitivesOnClearAndInkedLayers) {
  std::mt19937 rng(5);
  for (int depth : {16, 32}) {
    TFontPixel g = Glyph(8, 9, {});
    for (int i = 0; i < 8 * 9; ++i) {
      const unsigned r = rng() % 4;
      g.Coverage.push_back(r == 0 ? 0 : r == 1 ? 255 : static_cast<uint8_t>(rng()));
    }
    g.ExtraAdvance = 100;  // no centring: the glyph sits at the cell's corner
    for (int round = 0; round < 36; ++round) {
      const int k = round % 3, d = round / 3 % 3;
      const bool inked = round / 9 % 2;
      if (k == 0 && d == 0) continue;  // a plain character is stamped, tested above
      SCOPED_TRACE(testing::Message() << depth << " k " << k << " d " << d << (inked ? " inked" : " clear"));
      Layer fast(18, 17, depth), slow(18, 17, depth);
      test::FillRandom(fast.colour, rng());
      if (inked) {
        test::FillRandom(fast.alpha, rng());
        for (int y = 0; y < 17; ++y)
          for (int x = 0; x < 18; ++x)
            if (rng() % 2) fast.alpha.SetPixel(x, y, 0);
      }
      slow.colour.AssignFrom(fast.colour);
      slow.alpha.AssignFrom(fast.alpha);
      const int x = static_cast<int>(rng() % 14) - 4, y = static_cast<int>(rng() % 14) - 4;
      const uint32_t shadow = fast.colour.ColorToPixel(40, 40, 200), border = fast.colour.ColorToPixel(255, 255, 255),
                     text = fast.colour.ColorToPixel(250, 20, 130);
      Rect changed;
      DrawChar(g, fast.colour, fast.alpha, false, changed, shadow, border, text, false, false, d, k,
               Rect{x, y, x + 8 + 2 * k + d, y + 9 + 2 * k + d});
      ReferenceGlyphPart(slow, g, x + k, y + k, k, d, shadow, border, text);
      EXPECT_TRUE(test::SamePixels(fast.colour, slow.colour));
      EXPECT_TRUE(test::SamePixels(fast.alpha, slow.alpha));
    }
  }
}

// A 1 × 1 full glyph in a 5 × 5 cell, drawn with border 1.
TEST(DrawChar, BorderOfWidthOneRingsAFullPixel) {
  for (int depth : {15, 16, 32}) {
    SCOPED_TRACE(depth);
    Layer l(6, 6, depth);
    const uint32_t text = l.colour.ColorToPixel(255, 255, 255), border = l.colour.ColorToPixel(0, 0, 255);
    TFontPixel g = Glyph(1, 1, {255});
    g.FontHeight = 1;
    Rect changed;
    DrawChar(g, l.colour, l.alpha, false, changed, 0, border, text, false, false, 0, 1, Rect{1, 1, 4, 4});
    for (int y = 0; y < 6; ++y)
      for (int x = 0; x < 6; ++x) {
        SCOPED_TRACE(testing::Message() << x << "," << y);
        const bool centre = x == 2 && y == 2;
        const bool ring = x >= 1 && x <= 3 && y >= 1 && y <= 3 && !centre;
        EXPECT_EQ(l.A(x, y), centre || ring ? 255u : 0u);
        EXPECT_EQ(l.P(x, y), centre ? text : ring ? border : 0u);
      }
    EXPECT_EQ(changed, (Rect{1, 1, 4, 4}));
  }
}

TEST(DrawChar, PlainCharacterReplaceOrStamp) {
  const TFontPixel g = Glyph(2, 1, {128, 255});
  const Rect cell{0, 0, 2, 1};
  {
    Layer l(3, 1, 32);
    l.colour.SetPixel(2, 0, 0x777777);
    l.alpha.SetPixel(0, 0, 200);
    Rect changed;
    DrawChar(g, l.colour, l.alpha, true, changed, 0, 0, 0x00FF00, false, false, 0, 0, cell);
    // Replace: the whole box in the colour, the coverage copied.
    EXPECT_EQ(l.P(0, 0), 0x00FF00u);
    EXPECT_EQ(l.A(0, 0), 128u);
    EXPECT_EQ(l.A(1, 0), 255u);
    EXPECT_EQ(l.P(2, 0), 0x777777u);
    EXPECT_EQ(changed, (Rect{0, 0, 2, 1}));
  }
  {
    Layer l(3, 1, 32);
    l.alpha.SetPixel(0, 0, 200);
    Rect changed;
    DrawChar(g, l.colour, l.alpha, false, changed, 0, 0, 0x00FF00, false, false, 0, 0, cell);
    // Otherwise the maximum of alpha.
    EXPECT_EQ(l.P(0, 0), 0x00FF00u);
    EXPECT_EQ(l.A(0, 0), 200u);
    EXPECT_EQ(l.A(1, 0), 255u);
  }
}

TEST(DrawChar, ShadowWithoutBorderIsACopiedCoverageUnderTheCharacter) {
  Layer l(5, 5, 32);
  TFontPixel g = Glyph(2, 2, {255, 128, 0, 255});
  Rect changed;
  DrawChar(g, l.colour, l.alpha, false, changed, 0x0000FF, 0, 0xFFFFFF, false, false, 1, 0, Rect{0, 0, 3, 3});
  // Shadow at (1, 1); the character over it at (0, 0).
  EXPECT_EQ(l.P(0, 0), 0xFFFFFFu);
  EXPECT_EQ(l.A(0, 0), 255u);
  EXPECT_EQ(l.P(2, 2), 0x0000FFu);  // shadow only
  EXPECT_EQ(l.A(2, 2), 255u);
  EXPECT_EQ(l.P(2, 1), 0x0000FFu);  // the shadow of the half pixel
  EXPECT_EQ(l.A(2, 1), 128u);
  // (1, 0): half text over empty alpha → pure text colour, alpha 128.
  EXPECT_EQ(l.P(1, 0), 0xFFFFFFu);
  EXPECT_EQ(l.A(1, 0), 128u);
  // (1, 1): full text over the shadow's full pixel.
  EXPECT_EQ(l.P(1, 1), 0xFFFFFFu);
  EXPECT_EQ(changed, (Rect{0, 0, 3, 3}));
}

TEST(DrawChar, CentresANarrowGlyphByItsAbcWidths) {
  struct Case {
    int a, b, c, xOffset, extra, cellWidth, fontHeight;
    int expectLeft;
  } cases[] = {
      // room = min(20, 20) − 6 = 14; s = round((1 + 3) × 14 / 8) = 7, less the x offset 1.
      {1, 6, 1, 1, 1, 20, 20, 7},
      // A + C = 0: half the room.
      {0, 6, 0, 0, 0, 20, 20, 7},
      // No room beyond offset and advance: no centring.
      {1, 6, 1, 1, 13, 20, 20, 1},
      // The font height limits the room: min(20, 10) − 6 = 4, round(4 × 4 / 8) = 2, − 1.
      {1, 6, 1, 1, 1, 20, 10, 2},
      // A negative height leaves no room.
      {1, 6, 1, 1, 1, 20, -20, 1},
      // Half-way rounds to even: (2 + 3) × 3 / 10 = 1.5 → 2; room 9 − 6 = 3.
      {2, 6, 2, 0, 0, 9, 20, 2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.a << " " << c.b << " " << c.c << " cell " << c.cellWidth);
    Layer l(24, 2, 32);
    TFontPixel g = Glyph(6, 1, std::vector<uint8_t>(6, 255));
    g.AbcA = c.a, g.AbcB = c.b, g.AbcC = c.c;
    g.XOffset = c.xOffset;
    g.ExtraAdvance = c.extra;
    g.FontHeight = c.fontHeight;
    Rect changed;
    DrawChar(g, l.colour, l.alpha, false, changed, 0, 0, 1, false, false, 0, 0, Rect{0, 0, c.cellWidth, 1});
    EXPECT_EQ(changed.Left, c.expectLeft);
    EXPECT_EQ(l.A(c.expectLeft, 0), 255u);
    EXPECT_EQ(l.A(c.expectLeft + 6, 0), 0u);
  }
}

TEST(DrawChar, BarsGetTheTextColour) {
  // A blank with underline and strike-out: the bars alone, in the text colour, over a layer
  // whose colour plane holds something else.
  Layer l(8, 12, 32);
  for (int y = 0; y < 12; ++y)
    for (int x = 0; x < 8; ++x) l.colour.SetPixel(x, y, 0x555555);
  TFontPixel g = Glyph(0, 0, {});
  g.Style = 4 | 8;
  g.UnderlineSize = 1;
  g.StrikePosition = 4;
  g.StrikeSize = 2;
  Rect changed;
  DrawChar(g, l.colour, l.alpha, false, changed, 0, 0, 0xFF0000, false, false, 0, 0, Rect{1, 0, 7, 10});
  for (int y = 0; y < 12; ++y) {
    const bool bar = y == 9 || y == 4 || y == 5;
    SCOPED_TRACE(y);
    EXPECT_EQ(l.A(0, y), 0u);
    EXPECT_EQ(l.A(1, y), bar ? 255u : 0u);
    EXPECT_EQ(l.A(6, y), bar ? 255u : 0u);
    EXPECT_EQ(l.A(7, y), 0u);
    EXPECT_EQ(l.P(3, y), bar ? 0xFF0000u : 0x555555u);
  }
  EXPECT_EQ(changed, (Rect{1, 4, 7, 10}));
}

TEST(DrawChar, BarsWithBorderShadowAndJoins) {
  // Cell 10 wide and 16 high with k = 1 and d = 2: the band is 12 rows from y = 1, the underline
  // of size 2 at rows 11-12 with border rows 10 and 13, its shadow at rows 12-15.
  struct Case {
    bool joinLeft, joinRight;
    int barFrom, barTo, shadowFrom, shadowTo;
  } cases[] = {
      {false, false, 0, 8, 2, 10},
      {true, false, 0, 8, 0, 10},
      {false, true, 0, 10, 2, 10},
      {true, true, 0, 10, 0, 10},
  };
  const uint32_t text = 0xFFFFFF, border = 0x000001, shadow = 0x000002;
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.joinLeft << c.joinRight);
    Layer l(12, 18, 32);
    TFontPixel g = Glyph(0, 0, {});
    g.Style = 4;
    g.UnderlineSize = 2;
    Rect changed;
    DrawChar(g, l.colour, l.alpha, false, changed, shadow, border, text, c.joinLeft, c.joinRight, 2, 1,
             Rect{0, 0, 10, 16});
    auto colourAt = [&](int x, int y) { return l.A(x, y) ? l.P(x, y) : 0xDEADu; };
    for (int x = 0; x < 12; ++x) {
      SCOPED_TRACE(x);
      const bool bar = x >= c.barFrom && x < c.barTo;
      const bool shade = x >= c.shadowFrom && x < c.shadowTo;
      EXPECT_EQ(colourAt(x, 10), bar ? border : 0xDEADu);
      EXPECT_EQ(colourAt(x, 11), bar ? text : 0xDEADu);
      EXPECT_EQ(colourAt(x, 12), bar ? text : shade ? shadow : 0xDEADu);
      EXPECT_EQ(colourAt(x, 13), bar ? border : shade ? shadow : 0xDEADu);
      EXPECT_EQ(colourAt(x, 14), shade ? shadow : 0xDEADu);
      EXPECT_EQ(colourAt(x, 15), shade ? shadow : 0xDEADu);
      EXPECT_EQ(colourAt(x, 16), 0xDEADu);
    }
  }
}

TEST(DrawChar, ChangedRectangleIsCutToTheLayer) {
  Layer l(4, 4, 16);
  TFontPixel g = Glyph(3, 3, std::vector<uint8_t>(9, 255));
  g.ExtraAdvance = 100;  // no centring
  Rect changed{1, 2, 3, 4};
  DrawChar(g, l.colour, l.alpha, false, changed, 1, 2, 3, false, false, 2, 2, Rect{-1, -1, 8, 8});
  EXPECT_EQ(changed, (Rect{0, 0, 4, 4}));
  DrawChar(g, l.colour, l.alpha, false, changed, 1, 2, 3, false, false, 2, 2, Rect{40, 40, 48, 48});
  EXPECT_EQ(changed, Rect{});
}

}  // namespace
}  // namespace orin
