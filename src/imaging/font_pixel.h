// TFontPixel, one cached glyph, and TFontPixelManager, the cache of the 256 most recently used
// glyphs through which every character the player shows is drawn.
//
// The manager asks a GlyphRasterizer for glyphs in the format of its render mode and turns the
// levels into 8-bit coverage through the mode's level map, so that text looks as the Windows
// player's does whatever rasteriser stands behind it. Glyphs are found by the low byte of their
// code among 256 buckets; the font is selected again only when name, height or style change.
// The ABC widths that centre a glyph in its cell are taken when it is rasterised, from the same
// font, so drawing never selects a font. Not thread-safe: the manager belongs to the
// user-interface thread.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <list>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "imaging/dib_surface.h"
#include "imaging/geometry.h"
#include "imaging/glyph_rasterizer.h"

namespace orin {

struct BorderInkCache;

struct TFontPixel {
  // The key: a glyph is found again only when all five are equal.
  uint16_t Code = 0;          // a double-byte character has its lead byte high
  std::string FontName;       // cp932
  int32_t FontHeight = 0;     // the Windows height the font was asked for
  uint8_t Style = 0;          // 1 bold, 2 italic, 4 underline, 8 strike-out
  int RenderMode = 0;         // the mode it was rasterised with

  // The black box: CoverageWidth × CoverageHeight bytes, rows from the top, 0 empty, 255 full.
  // Empty for a glyph without ink.
  std::vector<uint8_t> Coverage;
  int CoverageWidth = 0;
  int CoverageHeight = 0;
  int XOffset = 0;       // max(0, origin x)
  int YOffset = 0;       // max(0, ascent − origin y)
  int ExtraAdvance = 0;  // advance − coverage width − x offset when positive; a blank's whole advance
  int UnderlineSize = 0;   // when the style has 4
  int StrikePosition = 0;  // from the top of the character, when the style has 8
  int StrikeSize = 0;
  // The character's ABC widths in its font, for centring it in a cell.
  int AbcA = 0, AbcB = 0, AbcC = 0;

  bool HasBitmap() const { return !Coverage.empty(); }

  // DrawChar's memo of this glyph's border stamps (draw_char.cpp); not part of what the glyph is,
  // and like the cache not for use from several threads.
  mutable std::shared_ptr<BorderInkCache> InkCache;
};

// The coverage of each level of the mode's glyph format: 2, 5, 17 or 65 entries.
std::span<const uint8_t> LevelMap(int mode);

class TFontPixelManager {
 public:
  static constexpr size_t kCapacity = 256;
  using GlyphPtr = std::shared_ptr<const TFontPixel>;

  explicit TFontPixelManager(std::unique_ptr<GlyphRasterizer> rasterizer);
  ~TFontPixelManager();
  TFontPixelManager(const TFontPixelManager&) = delete;
  TFontPixelManager& operator=(const TFontPixelManager&) = delete;

  // The cached glyph with all five equal, or null; the order of use is not touched.
  GlyphPtr FindGlyph(uint16_t code, const std::string& fontName, int mode, uint8_t style, int32_t height) const;
  // The glyph in the current render mode: a hit becomes the most recently used; a miss is
  // rasterised and cached, and the least recently used glyph goes when more than 256 are held.
  // A glyph handed out stays valid for its holder after it has left the cache. Throws
  // Error("Error:GetOutlineTextMetrics") when the font cannot be made.
  GlyphPtr GetGlyph(uint16_t code, const std::string& fontName, uint8_t style, int32_t height);

  // The ascent of the font selected last (0 before any).
  int Ascent() const { return rasterizer_->Metrics().Ascent; }

  // The mode glyphs are rasterised with, 0-3, default 3. Once the rasteriser has refused a grey
  // format the mode stays 0 whatever is set. A value outside 0-3 (a stored document may carry
  // anything) sets the default.
  int RenderMode() const { return greyRefused_ ? 0 : mode_; }
  void SetRenderMode(int mode) { mode_ = mode >= 0 && mode <= 3 ? mode : 3; }

  size_t Count() const { return mru_.size(); }
  GlyphRasterizer& Rasterizer() { return *rasterizer_; }

  // DrawChar of draw_char.h.
  void DrawChar(const TFontPixel& glyph, TDIBSurface& colour, TDIBSurface& alpha, bool replace, Rect& changed,
                uint32_t shadowColour, uint32_t borderColour, uint32_t textColour, bool joinLeft, bool joinRight,
                int shadowOffset, int borderWidth, const Rect& cell) const;

 private:
  using Entry = std::shared_ptr<TFontPixel>;
  using MruList = std::list<Entry>;

  std::shared_ptr<TFontPixel> Rasterize(uint16_t code, const std::string& fontName, uint8_t style, int32_t height);
  MruList::iterator FindEntry(uint16_t code, const std::string& fontName, int mode, uint8_t style,
                              int32_t height) const;

  std::unique_ptr<GlyphRasterizer> rasterizer_;
  mutable MruList mru_;  // front: most recently used
  std::array<std::vector<MruList::iterator>, 256> buckets_;
  int mode_ = 3;
  bool greyRefused_ = false;
  bool fontSelected_ = false;
  std::string fontName_;
  int32_t fontHeight_ = 0;
  uint8_t fontStyle_ = 0;
};

}  // namespace orin
