// GlyphRasterizer: what the glyph cache (TFontPixelManager) asks of an outline-font rasteriser.
//
// A rasteriser hands glyphs over in the formats of the four render modes, the way a system glyph
// call does: mode 0 one bit per pixel, most significant bit first, rows padded to 32 bits; modes
// 1, 2 and 3 one level byte per pixel (0-4, 0-16 and 0-64), rows padded to 4 bytes. The cache
// turns them into coverage through its level maps. FreeTypeRasterizer is the implementation; the
// tests use their own.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace orin {

// One glyph in the format of a mode.
struct RasterGlyph {
  int BlackBoxWidth = 0;
  int BlackBoxHeight = 0;
  int OriginX = 0;  // left edge of the black box, from the pen position
  int OriginY = 0;  // top edge of the black box, above the baseline
  int CellIncX = 0; // the advance
  // The ABC widths of the character: A from the pen to the black box, B the black box, C from
  // there to the advance (A + B + C is the advance).
  int AbcA = 0, AbcB = 0, AbcC = 0;
  std::vector<uint8_t> Data;  // the rows; empty for a glyph without ink
};

// The metrics of the selected font, in pixels.
struct FontMetrics {
  int Ascent = 0;
  int UnderscoreSize = 0;
  int StrikeoutPosition = 0;  // top of the strike-out bar, above the baseline
  int StrikeoutSize = 0;
};

enum class RasterResult {
  kOk,
  kFormatRefused,  // this rasteriser cannot produce the mode's format at all
  kFailed,         // this glyph could not be made; it is left without ink
};

class GlyphRasterizer {
 public:
  virtual ~GlyphRasterizer() = default;

  // Makes the font of a cp932 face name, a Windows height (negative: character height, positive:
  // cell height) and the style bits (1 bold, 2 italic, 4 underline, 8 strike-out) current. Throws
  // Error("Error:GetOutlineTextMetrics") when no font can be made; the previous font stays then.
  virtual void SelectFont(const std::string& name, int32_t height, uint8_t style) = 0;
  virtual const FontMetrics& Metrics() const = 0;
  // The glyph of a cp932 character code in the current font.
  virtual RasterResult Rasterize(uint16_t code, int mode, RasterGlyph& out) = 0;
  // The advance of a character in the current font.
  virtual int TextWidth(uint16_t code) = 0;
};

}  // namespace orin
