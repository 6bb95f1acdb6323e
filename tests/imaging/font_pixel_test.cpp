#include "imaging/font_pixel.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/error.h"

namespace orin {
namespace {

// A rasteriser whose glyphs the test decides, and which records what it was asked.
class FakeRasterizer : public GlyphRasterizer {
 public:
  void SelectFont(const std::string& name, int32_t height, uint8_t style) override {
    if (name == "missing") throw Error("Error:GetOutlineTextMetrics");
    selects.push_back(name + "/" + std::to_string(height) + "/" + std::to_string(style));
  }
  const FontMetrics& Metrics() const override { return metrics; }
  RasterResult Rasterize(uint16_t code, int mode, RasterGlyph& out) override {
    modes.push_back(mode);
    if (refuse && refuse(mode)) return RasterResult::kFormatRefused;
    out = make ? make(code, mode) : Box(mode);
    return RasterResult::kOk;
  }
  int TextWidth(uint16_t code) override { return code < 0x100 ? 7 : 13; }

  // A 2 × 1 glyph, both pixels at the mode's highest level.
  static RasterGlyph Box(int mode) {
    RasterGlyph g;
    g.BlackBoxWidth = 2;
    g.BlackBoxHeight = 1;
    g.OriginX = 1;
    g.OriginY = 15;
    g.CellIncX = 10;
    g.AbcA = 1, g.AbcB = 2, g.AbcC = 7;
    if (mode == 0)
      g.Data = {0xC0, 0, 0, 0};
    else
      g.Data = {uint8_t(LevelMap(mode).size() - 1), uint8_t(LevelMap(mode).size() - 1), 0, 0};
    return g;
  }

  FontMetrics metrics{20, 2, 9, 3};
  std::function<bool(int mode)> refuse;
  std::function<RasterGlyph(uint16_t, int)> make;
  std::vector<std::string> selects;
  std::vector<int> modes;
};

struct Fixture {
  FakeRasterizer* fake;
  TFontPixelManager manager;
  Fixture() : Fixture(std::make_unique<FakeRasterizer>()) {}
  explicit Fixture(std::unique_ptr<FakeRasterizer> f) : fake(f.get()), manager(std::move(f)) {}
  size_t Rasterised() const { return fake->modes.size(); }
};

const std::string kFont = "font";

TEST(TFontPixelManager, HitsDoNotRasteriseAndMissesAreCached) {
  Fixture f;
  auto a = f.manager.GetGlyph(0x82A0, kFont, 0, 24);
  EXPECT_EQ(f.Rasterised(), 1u);
  auto b = f.manager.GetGlyph(0x82A0, kFont, 0, 24);
  EXPECT_EQ(f.Rasterised(), 1u);
  EXPECT_EQ(a, b);
  // Each part of the key makes another glyph.
  f.manager.GetGlyph(0x82A1, kFont, 0, 24);
  f.manager.GetGlyph(0x82A0, "other", 0, 24);
  f.manager.GetGlyph(0x82A0, kFont, 1, 24);
  f.manager.GetGlyph(0x82A0, kFont, 0, 25);
  EXPECT_EQ(f.Rasterised(), 5u);
  EXPECT_EQ(f.manager.Count(), 5u);
  EXPECT_NE(f.manager.FindGlyph(0x82A0, kFont, 3, 0, 24), nullptr);
  EXPECT_EQ(f.manager.FindGlyph(0x82A0, kFont, 0, 0, 24), nullptr);
}

TEST(TFontPixelManager, The257thGlyphEvictsTheLeastRecentlyUsed) {
  Fixture f;
  // Codes that share buckets (same low byte) as well as spread over them.
  auto code = [](int i) { return static_cast<uint16_t>(0x8100 + (i % 3) * 0x100 + i / 3); };
  for (int i = 0; i < 256; ++i) f.manager.GetGlyph(code(i), kFont, 0, 24);
  EXPECT_EQ(f.manager.Count(), 256u);
  // Touching the oldest makes the second oldest the one to go.
  auto kept = f.manager.GetGlyph(code(0), kFont, 0, 24);
  auto firstToGo = f.manager.FindGlyph(code(1), kFont, 3, 0, 24);
  ASSERT_NE(firstToGo, nullptr);
  f.manager.GetGlyph(code(256), kFont, 0, 24);
  EXPECT_EQ(f.manager.Count(), 256u);
  EXPECT_EQ(f.manager.FindGlyph(code(1), kFont, 3, 0, 24), nullptr);
  EXPECT_NE(f.manager.FindGlyph(code(0), kFont, 3, 0, 24), nullptr);
  EXPECT_NE(f.manager.FindGlyph(code(2), kFont, 3, 0, 24), nullptr);
  // A glyph handed out outlives its eviction.
  EXPECT_EQ(firstToGo->Code, code(1));
  EXPECT_EQ(firstToGo->CoverageWidth, 2);
  // Asking again rasterises again.
  const size_t before = f.Rasterised();
  f.manager.GetGlyph(code(1), kFont, 0, 24);
  EXPECT_EQ(f.Rasterised(), before + 1);
  EXPECT_EQ(f.manager.FindGlyph(code(2), kFont, 3, 0, 24), nullptr);
}

TEST(TFontPixelManager, FontIsSelectedOnlyWhenNameHeightOrStyleChange) {
  Fixture f;
  f.manager.GetGlyph(1, kFont, 0, 24);
  f.manager.GetGlyph(2, kFont, 0, 24);
  f.manager.SetRenderMode(0);
  f.manager.GetGlyph(3, kFont, 0, 24);
  f.manager.GetGlyph(3, kFont, 4, 24);
  f.manager.GetGlyph(4, kFont, 4, -24);
  f.manager.GetGlyph(5, "other", 4, -24);
  f.manager.GetGlyph(6, "other", 4, -24);
  EXPECT_EQ(f.fake->selects, (std::vector<std::string>{"font/24/0", "font/24/4", "font/-24/4", "other/-24/4"}));
}

TEST(TFontPixelManager, LevelsMapThroughTheModeTable) {
  for (int mode = 0; mode < 4; ++mode) {
    SCOPED_TRACE(mode);
    Fixture f;
    const auto map = LevelMap(mode);
    // One row holding every level once, plus a level beyond the table.
    f.fake->make = [&](uint16_t, int m) {
      RasterGlyph g;
      const int n = static_cast<int>(map.size()) + 1;
      g.BlackBoxWidth = n;
      g.BlackBoxHeight = 1;
      g.CellIncX = n;
      if (m == 0) {
        g.Data.assign((n + 31) / 32 * 4, 0);
        g.Data[0] = 0x40;  // 0, 1, then 1 for the extra pixel
        g.Data[0] |= 0x20;
      } else {
        g.Data.assign((n + 3) / 4 * 4, 0);
        for (int i = 0; i < n; ++i) g.Data[i] = static_cast<uint8_t>(i);
      }
      return g;
    };
    f.manager.SetRenderMode(mode);
    auto g = f.manager.GetGlyph(0x41, kFont, 0, 16);
    EXPECT_EQ(g->RenderMode, mode);
    ASSERT_EQ(g->Coverage.size(), map.size() + 1);
    for (size_t i = 0; i < map.size(); ++i) EXPECT_EQ(g->Coverage[i], map[i]) << i;
    EXPECT_EQ(g->Coverage.back(), 255);
  }
  EXPECT_EQ(LevelMap(1)[2], 127);
  EXPECT_EQ(LevelMap(2)[8], 159);
  EXPECT_EQ(LevelMap(3)[27], 128);
  EXPECT_EQ(LevelMap(3).size(), 65u);
}

TEST(TFontPixelManager, RowsPaddedPerModeAndDataDecidesTheHeight) {
  struct Case {
    int mode;
    int boxHeight;
    size_t dataRows;
    int expectRows;
  } cases[] = {
      {3, 2, 2, 2},
      {3, 1, 3, 3},  // more data than the box says: the data's rows
      {3, 4, 2, 2},  // less: only what is there is read
      {0, 2, 3, 3},
      {0, 5, 1, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.mode << " " << c.boxHeight << " " << c.dataRows);
    Fixture f;
    f.fake->make = [&](uint16_t, int m) {
      RasterGlyph g;
      g.BlackBoxWidth = 5;
      g.BlackBoxHeight = c.boxHeight;
      g.CellIncX = 6;
      const size_t rowBytes = m == 0 ? 4 : 8;
      g.Data.assign(rowBytes * c.dataRows, 0);
      for (size_t r = 0; r < c.dataRows; ++r) g.Data[r * rowBytes] = m == 0 ? 0x80 : 1;
      return g;
    };
    f.manager.SetRenderMode(c.mode);
    auto g = f.manager.GetGlyph(0x41, kFont, 0, 16);
    EXPECT_EQ(g->CoverageWidth, 5);
    EXPECT_EQ(g->CoverageHeight, c.expectRows);
    ASSERT_EQ(g->Coverage.size(), size_t(5 * c.expectRows));
    for (int r = 0; r < c.expectRows; ++r) EXPECT_NE(g->Coverage[r * 5], 0);
  }
}

TEST(TFontPixelManager, OffsetsAdvanceAndBarMetrics) {
  Fixture f;
  f.fake->make = [](uint16_t code, int) {
    RasterGlyph g = FakeRasterizer::Box(3);
    if (code == 2) g.OriginX = -2, g.OriginY = 25, g.CellIncX = 1;
    return g;
  };
  auto g = f.manager.GetGlyph(1, kFont, 4 | 8, 16);
  EXPECT_EQ(g->XOffset, 1);
  EXPECT_EQ(g->YOffset, 20 - 15);
  EXPECT_EQ(g->ExtraAdvance, 10 - 2 - 1);
  EXPECT_EQ(g->UnderlineSize, 2);
  EXPECT_EQ(g->StrikePosition, 20 - 9);
  EXPECT_EQ(g->StrikeSize, 3);
  EXPECT_EQ(g->AbcA + g->AbcB + g->AbcC, 10);
  EXPECT_EQ(f.manager.Ascent(), 20);
  // Offsets never go negative, nor does the extra advance.
  auto h = f.manager.GetGlyph(2, kFont, 0, 16);
  EXPECT_EQ(h->XOffset, 0);
  EXPECT_EQ(h->YOffset, 0);
  EXPECT_EQ(h->ExtraAdvance, 0);
  EXPECT_EQ(h->UnderlineSize, 0);
  EXPECT_EQ(h->StrikeSize, 0);
}

TEST(TFontPixelManager, ABlankHasOnlyItsAdvance) {
  Fixture f;
  f.fake->make = [](uint16_t, int) {
    RasterGlyph g;
    g.CellIncX = 99;  // a blank's advance is the text width, not the glyph's
    return g;
  };
  auto narrow = f.manager.GetGlyph(0x20, kFont, 4, 16);
  EXPECT_FALSE(narrow->HasBitmap());
  EXPECT_EQ(narrow->CoverageWidth, 0);
  EXPECT_EQ(narrow->ExtraAdvance, 7);
  // An underlined blank keeps its bar, so the line under the text does not break.
  EXPECT_EQ(narrow->UnderlineSize, 2);
  EXPECT_EQ(f.manager.GetGlyph(0x8140, kFont, 0, 16)->ExtraAdvance, 13);
}

TEST(TFontPixelManager, RefusedGreyFallsBackToMode0ForGood) {
  Fixture f;
  f.fake->refuse = [](int mode) { return mode != 0; };
  EXPECT_EQ(f.manager.RenderMode(), 3);
  auto g = f.manager.GetGlyph(0x41, kFont, 0, 16);
  EXPECT_EQ(f.fake->modes, (std::vector<int>{3, 0}));
  EXPECT_EQ(g->RenderMode, 0);
  EXPECT_EQ(g->Coverage, (std::vector<uint8_t>{255, 255}));
  EXPECT_EQ(f.manager.RenderMode(), 0);
  // The glyph is found again under the mode it was made with.
  f.manager.GetGlyph(0x41, kFont, 0, 16);
  EXPECT_EQ(f.fake->modes.size(), 2u);
  // Setting a grey mode again changes nothing: every later glyph is asked for in mode 0 at once.
  f.manager.SetRenderMode(2);
  EXPECT_EQ(f.manager.RenderMode(), 0);
  f.fake->refuse = nullptr;
  f.manager.GetGlyph(0x42, kFont, 0, 16);
  EXPECT_EQ(f.fake->modes, (std::vector<int>{3, 0, 0}));
}

TEST(TFontPixelManager, SecondRefusalLeavesABlank) {
  Fixture f;
  f.fake->refuse = [](int) { return true; };
  auto g = f.manager.GetGlyph(0x41, kFont, 0, 16);
  EXPECT_FALSE(g->HasBitmap());
  EXPECT_EQ(g->ExtraAdvance, 7);
  EXPECT_EQ(g->RenderMode, 0);
}

TEST(TFontPixelManager, RenderModeOutsideTheRangeIsTheDefault) {
  Fixture f;
  f.manager.SetRenderMode(1);
  EXPECT_EQ(f.manager.RenderMode(), 1);
  f.manager.SetRenderMode(7);
  EXPECT_EQ(f.manager.RenderMode(), 3);
  f.manager.SetRenderMode(-1);
  EXPECT_EQ(f.manager.RenderMode(), 3);
}

TEST(TFontPixelManager, FontThatCannotBeMadeRaisesAndLeavesTheCacheUsable) {
  Fixture f;
  f.manager.GetGlyph(0x41, kFont, 0, 16);
  try {
    f.manager.GetGlyph(0x41, "missing", 0, 16);
    FAIL() << "no error";
  } catch (const Error& e) {
    EXPECT_EQ(e.Message(), "Error:GetOutlineTextMetrics");
  }
  EXPECT_EQ(f.manager.Count(), 1u);
  // The font is asked for again next time, not taken as current.
  f.manager.GetGlyph(0x42, kFont, 0, 16);
  EXPECT_EQ(f.fake->selects.size(), 1u);
  f.manager.GetGlyph(0x43, "other", 0, 16);
  EXPECT_EQ(f.fake->selects.size(), 2u);
}

}  // namespace
}  // namespace orin
