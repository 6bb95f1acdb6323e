// FreeTypeRasterizer: glyphs of installed fonts through FreeType, found by FontFinder.
//
// Heights are Windows heights: negative is the character height (the em in pixels), positive the
// cell height, which for a face of its own is the face's Windows ascent + descent and for a
// stand-in face (see FontFinder) the em, as it is for the Windows faces the stand-ins replace.
// Height 0 is a cell of 16 pixels; heights beyond ±1024 are refused like a font that cannot be
// made. Mode 0 is FreeType's monochrome rendering (with the hinting made for it); modes 1-3 are
// its anti-aliased rendering with the 256 coverage levels rounded to 5, 17 or 65 levels. Bold
// without a bold face widens the outline; italic without an italic face slants it.
//
// A character the face lacks is drawn from the stand-in of "ＭＳ ゴシック" when that has it, else
// as the face's missing-glyph shape; a code cp932 does not assign is a blank as wide as the
// missing glyph.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <utility>

#include "imaging/font_finder.h"
#include "imaging/glyph_rasterizer.h"

struct FT_LibraryRec_;
struct FT_FaceRec_;

namespace orin {

class FreeTypeRasterizer final : public GlyphRasterizer {
 public:
  static constexpr int kMaxHeight = 1024;

  explicit FreeTypeRasterizer(FontFinder& finder);
  ~FreeTypeRasterizer() override;
  FreeTypeRasterizer(const FreeTypeRasterizer&) = delete;
  FreeTypeRasterizer& operator=(const FreeTypeRasterizer&) = delete;

  void SelectFont(const std::string& name, int32_t height, uint8_t style) override;
  const FontMetrics& Metrics() const override { return metrics_; }
  RasterResult Rasterize(uint16_t code, int mode, RasterGlyph& out) override;
  int TextWidth(uint16_t code) override;

  // What the current font is made of, for diagnostics.
  const StyledFace& CurrentFace() const { return styled_; }
  int PixelsPerEm() const { return ppem_; }

 private:
  FT_FaceRec_* OpenFace(const FontFaceInfo& info);
  // The face and glyph index that draw a code point: the current face, else the fallback.
  std::pair<FT_FaceRec_*, unsigned> GlyphFor(char32_t codePoint);
  // Loads and, for synthesised styles, reshapes the glyph in the face's slot.
  bool LoadGlyph(FT_FaceRec_* face, unsigned index, int mode);
  int Advance(FT_FaceRec_* face) const;

  FontFinder& finder_;
  FT_LibraryRec_* library_ = nullptr;
  std::map<std::pair<std::string, int>, FT_FaceRec_*> faces_;
  FT_FaceRec_* face_ = nullptr;
  FT_FaceRec_* fallback_ = nullptr;  // null when the current face is the fallback or none exists
  StyledFace styled_;
  StyledFace fallbackStyled_;
  FontMetrics metrics_;
  int ppem_ = 0;
  long emboldenStrength_ = 0;  // 26.6 pixels a synthetic bold adds to the outline's width
};

}  // namespace orin
