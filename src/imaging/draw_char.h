// DrawChar: one cached glyph onto a text layer, with its border, its drop shadow and its
// underline and strike-out bars; and the coverage primitives it is made of.
//
// A text layer is a colour surface of 15, 16 or 32 bits and an 8-bit alpha surface (0
// transparent); the owner later puts the pair on the screen. Colours are pixel values of the
// colour surface. Everything is cut to the area both surfaces cover; nothing outside is touched.
//
// Per pixel, with coverage q, colour pixel P and alpha A (colour channels computed separately
// through the surface's channel masks, the fourth byte of a 32-bit pixel becoming 0 in a mix):
//   solid stamp      q ≠ 0: P = colour
//   blend against    q = 255: P = colour; 0 < q < 255: channel = (q × colour + (255 − q) × bg) >> 8
//   layer over       q = 255: P = colour, A = 255; 0 < q < 255: A += q × (255 − A) ÷ 255, then
//                    w = q × 255 ÷ A and channel = (w × colour + (255 − w) × P) >> 8, where
//                    w = 255 gives the colour itself (a soft edge over empty alpha keeps the pure
//                    colour rather than one step darker)
//   mark             q ≠ 0: A = 255
//   maximum          A = max(A, q)
//   border stamp k   layer over with the glyph moved to every (dx, dy), −k ≤ dx, dy ≤ k, except
//                    (0, 0), dy the outer and dx the inner loop, each from −k up
#pragma once

#include <cstddef>
#include <cstdint>

#include "imaging/dib_surface.h"
#include "imaging/font_pixel.h"
#include "imaging/geometry.h"

namespace orin {

// Borders wider than this are drawn this wide: the cost grows with the square of the width, and
// the width comes from stored documents.
inline constexpr int kMaxBorderWidth = 32;

// Draws a character into the cell rectangle (a cell includes the border on every side and the
// shadow offset at the right and the bottom):
//  1. The glyph is centred in the cell by its ABC widths when its box leaves room in
//     min(cell width, font height).
//  2. Without border and shadow the glyph is stamped in the text colour and its coverage goes
//     into the alpha surface (replace: the box is filled and the coverage copied; otherwise a
//     solid stamp and the maximum).
//  3. A shadow is drawn first, d to the right and d down, in the shadow colour (with a border:
//     as a border stamp).
//  4. The character: without border layered over; with one, a border stamp in the border colour,
//     marked, and the glyph blended against the border colour so its edge fades into the border.
//  5. Underline (at the bottom of the character band, cell height − 2k − d high) and strike-out
//     (its position from the band's top) bars in the text colour with alpha 255, framed above and
//     below by k rows of the border colour, over a shadow of the whole bar. A bar spans the cell
//     without the shadow's columns; joined on the right it runs to the cell's end, and its shadow,
//     which starts d in, starts at the cell's left edge when joined on the left, so that a run of
//     joined characters shows one unbroken bar with one unbroken shadow.
// changed receives everything drawn, cut to the layer. Negative offsets and widths count as 0.
void DrawChar(const TFontPixel& glyph, TDIBSurface& colour, TDIBSurface& alpha, bool replace, Rect& changed,
              uint32_t shadowColour, uint32_t borderColour, uint32_t textColour, bool joinLeft, bool joinRight,
              int shadowOffset, int borderWidth, const Rect& cell);

// The primitives, for DrawChar and the tests. Each puts the glyph's top-left at (x, y), returns
// the rectangle it may have changed (cut to the layer) and throws Error when the layer's surfaces
// are not 15/16/32 and 8 bits.
namespace glyph_ink {

struct CoverageView {
  const uint8_t* Data = nullptr;
  int Width = 0;
  int Height = 0;
  ptrdiff_t Stride = 0;
};

inline CoverageView ViewOf(const TFontPixel& g) {
  return CoverageView{g.Coverage.data(), g.CoverageWidth, g.CoverageHeight, g.CoverageWidth};
}

struct TextLayer {
  TDIBSurface& Colour;
  TDIBSurface& Alpha;
};

Rect StampSolid(TextLayer layer, CoverageView g, int x, int y, uint32_t colour);
Rect BlendAgainst(TextLayer layer, CoverageView g, int x, int y, uint32_t colour, uint32_t background);
Rect LayerOver(TextLayer layer, CoverageView g, int x, int y, uint32_t colour);
Rect Mark(TextLayer layer, CoverageView g, int x, int y);
Rect Maximum(TextLayer layer, CoverageView g, int x, int y);
// A = q over the whole box, empty pixels included.
Rect CopyToAlpha(TextLayer layer, CoverageView g, int x, int y);
Rect BorderStamp(TextLayer layer, CoverageView g, int x, int y, int k, uint32_t colour);
// The same for a cached glyph, remembering the result per width, colour and pixel format in the
// glyph, so that the next stamp of that kind copies rows: a pixel the stamp covers fully ends
// the same whatever the layer held, one it covers only partly ends the same wherever the layer's
// alpha was 0, and is worked out afresh elsewhere.
Rect BorderStamp(TextLayer layer, const TFontPixel& glyph, int x, int y, int k, uint32_t colour);
// Border stamp, mark and blend against the border colour: the character over its border, as
// DrawChar draws it, remembered in the glyph in the same way.
Rect CharacterWithBorder(TextLayer layer, const TFontPixel& glyph, int x, int y, int k, uint32_t border,
                         uint32_t text);
// The border stamp done stamp after stamp, as the definition reads; the tests hold BorderStamp
// to it.
Rect BorderStampReference(TextLayer layer, CoverageView g, int x, int y, int k, uint32_t colour);
// DrawChar's shadow and character (with the border when k > 0) where the layer's alpha is 0
// over the whole box the two cover: the result is remembered in the glyph per widths, colours
// and pixel format, and copied. Returns false, drawing nothing, where some alpha is not 0 (or
// there is nothing to remember: no ink, or neither border nor shadow).
bool DrawOnClear(TextLayer layer, const TFontPixel& glyph, int mainX, int mainY, int k, int d, uint32_t shadow,
                 uint32_t border, uint32_t text);
// P = colour and A = 255 over the rectangle.
Rect Bar(TextLayer layer, const Rect& r, uint32_t colour);

}  // namespace glyph_ink

}  // namespace orin
