// PageLayer: how a laid-out page reaches the screen.
//
// The page's characters are drawn once into a text layer (a colour surface of the screen's
// depth and an 8-bit coverage surface) with the glyph cache's DrawChar: font, colours, border,
// shadow, underline and strike-out from each character's style with the document's defaults,
// linked characters underlined and in the link colour (the active-link colour while
// highlighted), borders and shadows of neighbours with the same colours and widths joined, and
// ruby spread over its group. A third, display surface holds each character cell's coverage
// scaled by the character's alpha; a reveal step only rewrites the cells of the characters that
// faded, and drawing is one masked copy of the dirty part. Ink outside a character's cell is
// not shown.
//
// Ruby: drawn at the top of the cell at size max(1, size/2) by the first character of a group
// of neighbours with the same ruby; ruby character i is centred at
// (2i + 1) × group width / (2 × ruby count), rounded to nearest, from the group's start, and
// moved left by half the ruby size (double-byte) or a quarter (single-byte).
//
// Images inside the text are drawn straight from the image cache at their place with the
// document's image alpha (above 255: added with strength alpha − 256), scaled by their own
// reveal alpha; at 15- and 16-bit depths they are not shown.
#pragma once

#include <cstdint>
#include <string>

#include "imaging/dib_surface.h"
#include "imaging/geometry.h"

namespace orin {

class ScreenSurface;
class TFontPixelManager;
class TTpWord;
class TWdGlyph;
class TWdPage;
class TWdReal;

class PageLayer {
 public:
  // Draws page into a layer of width × height at depth (15, 16 or 32); a glyph at (x, y) of
  // the document lands at (x + dx, y + dy) of the layer. glyphs may be null (no characters).
  void Render(const TWdPage& page, const TTpWord& settings, TFontPixelManager* glyphs, int width, int height,
              int depth, int dx, int dy);
  void Clear();
  bool Valid() const { return valid_; }
  int Width() const { return colour_.Width(); }
  int Height() const { return colour_.Height(); }
  int Depth() const { return colour_.BitCount(); }

  // The glyph's cell in layer coordinates (not cut to the layer).
  Rect CellOf(const TWdGlyph& g) const;
  // Sets the glyph's cell in the display surface from its alpha; returns the cell cut to the
  // layer (empty for glyphs that are not characters).
  Rect UpdateAlpha(const TWdReal& g);
  // Every glyph of the page.
  void UpdateAll(const TWdPage& page);

  // Draws the part of the layer under the surface's clip with the layer's top-left corner at
  // (x, y): the page's images, then its text.
  void Draw(ScreenSurface& surface, int x, int y, const TWdPage& page, const TTpWord& settings) const;

 private:
  void DrawOne(TFontPixelManager& glyphs, uint16_t code, const std::string& font, uint8_t style, int32_t size,
               uint32_t shadow, uint32_t border, uint32_t text, bool joinLeft, bool joinRight, int32_t d, int32_t k,
               const Rect& cell);

  TDIBSurface colour_;
  TDIBSurface coverage_;
  TDIBSurface display_;
  int dx_ = 0;
  int dy_ = 0;
  bool valid_ = false;
};

}  // namespace orin
