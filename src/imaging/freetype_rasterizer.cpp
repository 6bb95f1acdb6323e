#include "imaging/freetype_rasterizer.h"

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_OUTLINE_H
#include FT_TRUETYPE_TABLES_H

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <tuple>

#include "core/cp932_table.h"
#include "core/error.h"
#include "core/text.h"

namespace orin {

using namespace literals;

namespace {

[[noreturn]] void CannotMakeFont() { throw Error("Error:GetOutlineTextMetrics"); }

// Font units to whole pixels at a size, rounded to nearest.
int Scale(long units, int ppem, int unitsPerEm) {
  return static_cast<int>(std::lround(static_cast<double>(units) * ppem / unitsPerEm));
}

constexpr int kLevelCount[4] = {2, 5, 17, 65};

// The coverage (0-255) of a pixel of a rendered bitmap of any of FreeType's pixel modes.
int CoverageAt(const FT_Bitmap& b, const unsigned char* row, unsigned x) {
  switch (b.pixel_mode) {
    case FT_PIXEL_MODE_MONO:
      return (row[x >> 3] >> (7 - (x & 7))) & 1 ? 255 : 0;
    case FT_PIXEL_MODE_GRAY2:
      return ((row[x >> 2] >> (6 - 2 * (x & 3))) & 3) * 85;
    case FT_PIXEL_MODE_GRAY4:
      return ((row[x >> 1] >> (4 - 4 * (x & 1))) & 15) * 17;
    case FT_PIXEL_MODE_GRAY: {
      const int greys = b.num_grays > 1 ? b.num_grays : 256;
      return std::min(255, row[x] * 255 / (greys - 1));
    }
    case FT_PIXEL_MODE_BGRA:
      return row[4 * x + 3];
    default:
      return 0;
  }
}

// The slot's bitmap in the format of the mode.
void ConvertBitmap(const FT_Bitmap& b, int mode, RasterGlyph& out) {
  const unsigned width = b.width, rows = b.rows;
  const size_t rowBytes = mode == 0 ? (width + 31) / 32 * 4 : (width + 3) / 4 * 4;
  out.Data.assign(rowBytes * rows, 0);
  const int maxLevel = kLevelCount[mode] - 1;
  for (unsigned y = 0; y < rows; ++y) {
    const unsigned char* src =
        b.pitch >= 0 ? b.buffer + static_cast<size_t>(y) * static_cast<size_t>(b.pitch)
                     : b.buffer + static_cast<size_t>(rows - 1 - y) * static_cast<size_t>(-b.pitch);
    uint8_t* dst = out.Data.data() + y * rowBytes;
    if (mode == 0 && b.pixel_mode == FT_PIXEL_MODE_MONO) {
      std::copy_n(src, (width + 7) / 8, dst);
      continue;
    }
    for (unsigned x = 0; x < width; ++x) {
      const int c = CoverageAt(b, src, x);
      if (mode == 0) {
        if (c >= 128) dst[x >> 3] = static_cast<uint8_t>(dst[x >> 3] | 0x80 >> (x & 7));
      } else {
        dst[x] = static_cast<uint8_t>((c * maxLevel + 127) / 255);
      }
    }
  }
}

}  // namespace

FreeTypeRasterizer::FreeTypeRasterizer(FontFinder& finder) : finder_(finder) {
  if (FT_Init_FreeType(&library_) != 0) {
    library_ = nullptr;
    CannotMakeFont();
  }
}

FreeTypeRasterizer::~FreeTypeRasterizer() {
  for (auto& [key, face] : faces_) FT_Done_Face(face);
  if (library_) FT_Done_FreeType(library_);
}

FT_Face FreeTypeRasterizer::OpenFace(const FontFaceInfo& info) {
  const auto key = std::make_pair(info.File, info.Index);
  if (auto it = faces_.find(key); it != faces_.end()) return it->second;
  FT_Face face = nullptr;
  if (FT_New_Face(library_, info.File.c_str(), info.Index, &face) != 0) return nullptr;
  if (!FT_IS_SCALABLE(face) || face->units_per_EM == 0) {
    FT_Done_Face(face);
    return nullptr;
  }
  // Faces without a Unicode map are of no use to text that arrives as Unicode.
  if (FT_Select_Charmap(face, FT_ENCODING_UNICODE) != 0) {
    FT_Done_Face(face);
    return nullptr;
  }
  faces_.emplace(key, face);
  return face;
}

void FreeTypeRasterizer::SelectFont(const std::string& name, int32_t height, uint8_t style) {
  if (height < -kMaxHeight || height > kMaxHeight) CannotMakeFont();
  const FontChoice& choice = finder_.Find(name);
  const StyledFace styled = FontFinder::PickFace(choice, style & 1, style & 2);
  FT_Face face = styled.Face ? OpenFace(*styled.Face) : nullptr;
  if (!face) CannotMakeFont();

  const int upem = face->units_per_EM;
  const auto* os2 = static_cast<const TT_OS2*>(FT_Get_Sfnt_Table(face, FT_SFNT_OS2));
  const bool hasOs2 = os2 && os2->version != 0xFFFF;
  long ascender, descender;  // the cell above and below the baseline, font units, both positive
  if (choice.StandIn() && hasOs2 && os2->sTypoAscender - os2->sTypoDescender > 0) {
    ascender = os2->sTypoAscender;
    descender = -os2->sTypoDescender;
  } else if (!choice.StandIn() && hasOs2 && os2->usWinAscent + os2->usWinDescent > 0) {
    ascender = os2->usWinAscent;
    descender = os2->usWinDescent;
  } else {
    ascender = face->ascender;
    descender = -face->descender;
  }
  if (ascender + descender <= 0) ascender = upem, descender = 0;
  // A stand-in's em is its cell, as the replaced Windows faces have it.
  const long cellUnits = choice.StandIn() ? upem : ascender + descender;

  const int cellHeight = height == 0 ? 16 : height;
  int ppem;
  int ascent;
  if (cellHeight > 0) {
    ppem = Scale(cellHeight, upem, static_cast<int>(cellUnits));
    ascent = Scale(ascender * cellHeight, 1, static_cast<int>(ascender + descender));
  } else {
    ppem = -cellHeight;
    ascent = Scale(ascender * ppem, 1, static_cast<int>(choice.StandIn() ? ascender + descender : upem));
  }
  ppem = std::max(ppem, 1);
  if (FT_Set_Pixel_Sizes(face, 0, static_cast<FT_UInt>(ppem)) != 0) CannotMakeFont();

  FontMetrics m;
  m.Ascent = ascent;
  m.UnderscoreSize = std::max(1, Scale(face->underline_thickness, ppem, upem));
  if (hasOs2 && os2->yStrikeoutSize > 0) {
    m.StrikeoutSize = std::max(1, Scale(os2->yStrikeoutSize, ppem, upem));
    m.StrikeoutPosition = Scale(os2->yStrikeoutPosition, ppem, upem);
  } else {
    m.StrikeoutSize = m.UnderscoreSize;
    m.StrikeoutPosition = (ppem * 3 + 5) / 10;
  }

  // The missing characters of a face come from the stand-in of the default Windows face.
  FT_Face fallback = nullptr;
  const FontChoice& standard = finder_.Find("ＭＳ ゴシック"_sj);
  const StyledFace fallbackStyled = FontFinder::PickFace(standard, style & 1, style & 2);
  if (fallbackStyled.Face) fallback = OpenFace(*fallbackStyled.Face);
  if (fallback == face) fallback = nullptr;
  if (fallback && FT_Set_Pixel_Sizes(fallback, 0, static_cast<FT_UInt>(ppem)) != 0) fallback = nullptr;

  face_ = face;
  fallback_ = fallback;
  styled_ = styled;
  fallbackStyled_ = fallbackStyled;
  metrics_ = m;
  ppem_ = ppem;
  // Synthetic bold widens strokes by about a twenty-fourth of the em, at least half a pixel.
  emboldenStrength_ = std::max<long>(32, (ppem * 64L + 12) / 24);
}

std::pair<FT_Face, unsigned> FreeTypeRasterizer::GlyphFor(char32_t codePoint) {
  const FT_UInt index = FT_Get_Char_Index(face_, codePoint);
  if (index == 0 && fallback_) {
    if (const FT_UInt other = FT_Get_Char_Index(fallback_, codePoint); other != 0) return {fallback_, other};
  }
  return {face_, index};
}

bool FreeTypeRasterizer::LoadGlyph(FT_Face face, unsigned index, int mode) {
  const StyledFace& styled = face == fallback_ ? fallbackStyled_ : styled_;
  const bool reshape = styled.SynthesizeBold || styled.SynthesizeItalic;
  FT_Int32 flags = mode == 0 ? FT_LOAD_TARGET_MONO : (FT_LOAD_TARGET_NORMAL | FT_LOAD_NO_BITMAP);
  // Embedded bitmaps cannot be slanted or widened.
  if (reshape) flags |= FT_LOAD_NO_BITMAP;
  if (FT_Load_Glyph(face, index, flags) != 0) return false;
  FT_GlyphSlot slot = face->glyph;
  if (reshape && slot->format == FT_GLYPH_FORMAT_OUTLINE) {
    if (styled.SynthesizeItalic) {
      // The slant FreeType itself uses for obliques, about 12 degrees.
      FT_Matrix shear{0x10000, 0x0366A, 0, 0x10000};
      FT_Outline_Transform(&slot->outline, &shear);
    }
    if (styled.SynthesizeBold) FT_Outline_EmboldenXY(&slot->outline, emboldenStrength_, 0);
  }
  return true;
}

int FreeTypeRasterizer::Advance(FT_Face face) const {
  const StyledFace& styled = face == fallback_ ? fallbackStyled_ : styled_;
  const long gained = styled.SynthesizeBold ? emboldenStrength_ : 0;
  return static_cast<int>((face->glyph->advance.x + gained + 32) >> 6);
}

RasterResult FreeTypeRasterizer::Rasterize(uint16_t code, int mode, RasterGlyph& out) {
  out = RasterGlyph{};
  if (!face_) return RasterResult::kFailed;
  if (mode < 0 || mode > 3) mode = 3;
  const char32_t codePoint = Cp932CodeToUnicode(code);
  if (codePoint == kNoUnicode) {
    // A code without a character is a blank as wide as the face's missing glyph.
    if (FT_Load_Glyph(face_, 0, FT_LOAD_DEFAULT) != 0) return RasterResult::kFailed;
    out.CellIncX = Advance(face_);
    out.AbcC = out.CellIncX;
    return RasterResult::kOk;
  }
  const auto [face, index] = GlyphFor(codePoint);
  if (!LoadGlyph(face, index, mode)) return RasterResult::kFailed;
  FT_GlyphSlot slot = face->glyph;
  out.CellIncX = Advance(face);
  if (slot->format != FT_GLYPH_FORMAT_BITMAP) {
    const FT_Error error = FT_Render_Glyph(slot, mode == 0 ? FT_RENDER_MODE_MONO : FT_RENDER_MODE_NORMAL);
    if (error == FT_Err_Cannot_Render_Glyph && mode != 0) return RasterResult::kFormatRefused;
    if (error != 0) return RasterResult::kFailed;
  }
  const FT_Bitmap& bitmap = slot->bitmap;
  if (bitmap.width == 0 || bitmap.rows == 0 || !bitmap.buffer) {
    out.AbcC = out.CellIncX;
    return RasterResult::kOk;
  }
  out.BlackBoxWidth = static_cast<int>(bitmap.width);
  out.BlackBoxHeight = static_cast<int>(bitmap.rows);
  out.OriginX = slot->bitmap_left;
  out.OriginY = slot->bitmap_top;
  out.AbcA = out.OriginX;
  out.AbcB = out.BlackBoxWidth;
  out.AbcC = out.CellIncX - out.AbcA - out.AbcB;
  ConvertBitmap(bitmap, mode, out);
  return RasterResult::kOk;
}

int FreeTypeRasterizer::TextWidth(uint16_t code) {
  if (!face_) return 0;
  const char32_t codePoint = Cp932CodeToUnicode(code);
  FT_Face face = face_;
  unsigned index = 0;
  if (codePoint != kNoUnicode) std::tie(face, index) = GlyphFor(codePoint);
  if (FT_Load_Glyph(face, index, FT_LOAD_DEFAULT) != 0) return 0;
  return Advance(face);
}

}  // namespace orin
