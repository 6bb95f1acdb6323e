#include "shell/dock_captions.h"

#include <vector>

#include "core/cp932.h"
#include "core/error.h"
#include "core/text.h"
#include "imaging/font_pixel.h"
#include "imaging/freetype_rasterizer.h"

namespace orin {

using namespace literals;

const std::string& DockCaptions::FontName() {
  return "ＭＳ Ｐゴシック"_sj;
}

DockCaptions::DockCaptions(FontFinder& fonts)
    : DockCaptions(std::make_unique<FreeTypeRasterizer>(fonts)) {}

DockCaptions::DockCaptions(std::unique_ptr<GlyphRasterizer> rasterizer)
    : glyphs_(std::make_unique<TFontPixelManager>(std::move(rasterizer))) {}

DockCaptions::~DockCaptions() = default;

void DockCaptions::DrawCaption(PixelBuffer& dock, const Rect& area, const std::string& caption,
                               bool) {
  std::vector<TFontPixelManager::GlyphPtr> glyphs;
  int width = 0;
  try {
    ForEachChar(caption, [&](size_t offset, size_t) {
      auto glyph = glyphs_->GetGlyph(CharCodeAt(caption, offset), FontName(), 0, kFontHeight);
      width += glyph->XOffset + glyph->CoverageWidth + glyph->ExtraAdvance;
      glyphs.push_back(std::move(glyph));
    });
  } catch (const Error&) {
    return;
  }
  // The line is the font's cell: 12 pixels for height −12 in the stand-in faces, whose em is the
  // asked height; centred in the face like the Windows toolbar's caption.
  const int lineHeight = -kFontHeight;
  int x = area.Left + (area.Width() - width) / 2;
  const int top = area.Top + (area.Height() - lineHeight) / 2;
  const Rect clip = [&] {
    Rect r;
    IntersectRect(r, area, dock.Bounds());
    return r;
  }();
  for (const auto& g : glyphs) {
    const int left = x + g->XOffset, gTop = top + g->YOffset;
    for (int row = 0; row < g->CoverageHeight; ++row) {
      const int y = gTop + row;
      if (y < clip.Top || y >= clip.Bottom) continue;
      for (int col = 0; col < g->CoverageWidth; ++col) {
        const int px = left + col;
        if (px < clip.Left || px >= clip.Right) continue;
        const uint32_t cover = g->Coverage[static_cast<size_t>(row) * g->CoverageWidth + col];
        if (cover == 0) continue;
        const uint32_t under = dock.Pixel(px, y);
        uint32_t out = 0;
        for (int shift = 0; shift < 24; shift += 8) {
          const uint32_t a = (under >> shift) & 0xFF, b = (kTextColour >> shift) & 0xFF;
          out |= ((a * (255 - cover) + b * cover + 127) / 255) << shift;
        }
        dock.SetPixel(px, y, out);
      }
    }
    x += g->XOffset + g->CoverageWidth + g->ExtraAdvance;
  }
}

}  // namespace orin
