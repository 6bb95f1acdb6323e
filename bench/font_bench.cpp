// Speed of the glyph cache and DrawChar: rasterising through the cache against FreeType drawing
// the same glyphs alone, and drawing a cached glyph with border and shadow.
#include <benchmark/benchmark.h>

#include <ft2build.h>
#include FT_FREETYPE_H

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "bench_support.h"
#include "core/cp932.h"
#include "core/cp932_table.h"
#include "core/text.h"
#include "imaging/dib_surface.h"
#include "imaging/draw_char.h"
#include "imaging/font_finder.h"
#include "imaging/font_pixel.h"
#include "imaging/freetype_rasterizer.h"

namespace orin {
namespace {

using namespace literals;

constexpr int kKanjiCount = 5000;
constexpr int kSize = 24;

// The first 5,000 kanji of cp932 (level 1 from 0x889F on, then level 2).
const std::vector<uint16_t>& Kanji() {
  static const std::vector<uint16_t> codes = [] {
    std::vector<uint16_t> out;
    for (unsigned code = 0x889F; code <= 0xEAFC && out.size() < kKanjiCount; ++code) {
      const unsigned trail = code & 0xFF;
      if (trail < 0x40 || trail > 0xFC || trail == 0x7F) continue;
      if (Cp932CodeToUnicode(static_cast<uint16_t>(code)) != kNoUnicode) out.push_back(static_cast<uint16_t>(code));
    }
    return out;
  }();
  return codes;
}

FontFinder& Finder() {
  static FontFinder finder;
  return finder;
}

// Every request a miss: 5,000 distinct glyphs through a cache of 256.
void BM_CacheMisses(benchmark::State& state) {
  TFontPixelManager manager(std::make_unique<FreeTypeRasterizer>(Finder()));
  const std::string& font = "ＭＳ ゴシック"_sj;
  const auto& codes = Kanji();
  size_t i = 0;
  for (auto _ : state) {
    auto g = manager.GetGlyph(codes[i], font, 0, kSize);
    benchmark::DoNotOptimize(g.get());
    if (++i == codes.size()) i = 0;
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations()));
}
BENCHMARK(BM_CacheMisses);

// FreeType alone on the same face, size, characters and rendering.
void BM_FreeTypeAlone(benchmark::State& state) {
  const FontChoice& choice = Finder().Find("ＭＳ ゴシック"_sj);
  FT_Library library;
  FT_Init_FreeType(&library);
  FT_Face face;
  if (FT_New_Face(library, choice.Faces.front()->File.c_str(), choice.Faces.front()->Index, &face) != 0) {
    state.SkipWithError("cannot open the face");
    return;
  }
  FT_Set_Pixel_Sizes(face, 0, kSize);
  std::vector<char32_t> text;
  for (uint16_t code : Kanji()) text.push_back(Cp932CodeToUnicode(code));
  size_t i = 0;
  for (auto _ : state) {
    FT_Load_Glyph(face, FT_Get_Char_Index(face, text[i]), FT_LOAD_TARGET_NORMAL | FT_LOAD_NO_BITMAP);
    FT_Render_Glyph(face->glyph, FT_RENDER_MODE_NORMAL);
    benchmark::DoNotOptimize(face->glyph->bitmap.buffer);
    if (++i == text.size()) i = 0;
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations()));
  FT_Done_Face(face);
  FT_Done_FreeType(library);
}
BENCHMARK(BM_FreeTypeAlone);

void DrawCached(benchmark::State& state, int depth, int border, int shadow, bool clear, bool draw) {
  TFontPixelManager manager(std::make_unique<FreeTypeRasterizer>(Finder()));
  auto glyph = manager.GetGlyph(CharCodeAt("漢"_sj, 0), "ＭＳ ゴシック"_sj, 0, kSize);
  const int cellSide = kSize + 2 * border + shadow;
  TDIBSurface colour(cellSide + 8, cellSide + 8, depth), alpha(cellSide + 8, cellSide + 8, 8);
  const uint32_t text = colour.ColorToPixel(255, 255, 255), edge = colour.ColorToPixel(0, 0, 0),
                 shade = colour.ColorToPixel(64, 64, 64);
  const Rect cell{4, 4, 4 + cellSide, 4 + cellSide};
  Rect changed;
  for (auto _ : state) {
    // A character goes onto a clear part of its layer, as on a new page of a message window.
    if (clear) {
      colour.FillRect(cell, 0);
      alpha.FillRect(cell, 0);
    }
    if (draw)
      manager.DrawChar(*glyph, colour, alpha, false, changed, shade, edge, text, false, false, shadow, border, cell);
    benchmark::DoNotOptimize(changed);
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations()));
}
void BM_ClearCell(benchmark::State& state) { DrawCached(state, 32, 2, 2, true, false); }
void BM_DrawChar(benchmark::State& state) { DrawCached(state, 32, 0, 0, true, true); }
void BM_DrawCharBorder2Shadow2(benchmark::State& state) { DrawCached(state, 32, 2, 2, true, true); }
void BM_DrawCharBorder2Shadow2_16(benchmark::State& state) { DrawCached(state, 16, 2, 2, true, true); }
// Over its own earlier drawing: the partly covered border pixels are worked out every time.
void BM_DrawCharBorder2Shadow2_Over(benchmark::State& state) { DrawCached(state, 32, 2, 2, false, true); }
BENCHMARK(BM_ClearCell);
BENCHMARK(BM_DrawChar);
BENCHMARK(BM_DrawCharBorder2Shadow2);
BENCHMARK(BM_DrawCharBorder2Shadow2_16);
BENCHMARK(BM_DrawCharBorder2Shadow2_Over);

}  // namespace
}  // namespace orin

int main(int argc, char** argv) {
  return orin::bench::RunWithRatios(argc, argv, {{"BM_FreeTypeAlone", "BM_CacheMisses", 0.7}});
}
