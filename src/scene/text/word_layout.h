// Layout of a text document into pages of rows: breaking units with the kinsoku rules, rows
// with their alignment and indent, images that float at an edge with text flowing beside them,
// vertically aligned images, and paging by height.
//
// Breaking: a unit starts at a glyph and grows while a break before the next glyph is not
// allowed; a line break ends the unit it belongs to. A break before n (the glyph before being
// p) is not allowed when both are no-break, when n has the same (non-empty) ruby as p, when both
// codes are in 33–255 (single-byte words stay whole), when n is a space and p is not, when n is
// one of "。、｣」』)）､｡!?！？】", and before an EVENT or VAR mark (a mark stays with the text
// before it). A unit of one of "｢「『（([<【" alone takes the next unit with it. Alignment,
// indent and undent marks and floating images are never inside a unit.
//
// Rows: a row opens at the current y with the current alignment, the indent as a leading blank,
// and the span between the floating images at that y. A unit that does not fit what is left of
// a non-empty row's span (documents with a width only) closes the row (y += row height + line
// spacing); a unit wider than an empty row overflows it. A line break closes the row (an empty
// row is as high as a character of the default style) and, with its new-page flag, the page.
// With paging, a row whose bottom passes the height on a page that already has a row goes to a
// new page whole; a floating image that passes it likewise.
//
// Rows are finished by alignment (LEFT at the left limit, RIGHT against the right limit,
// CENTER in the middle of the span). The text band is as high as the tallest glyph that is not
// an aligned image; a CENTER image reaches (height − band + 1)/2 above and below it, a TOP image
// height − band below, a BOTTOM image height − band above. Glyphs sit on the band's bottom, TOP
// images at its top, CENTER images in its middle. A document without width is as wide as its
// widest row.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "scene/text/word_glyphs.h"

namespace orin {

class TMuraCollection;
class TTpWord;

struct LayoutParams {
  int32_t Width = 0;
  int32_t Height = 0;
  int32_t LineSpacing = 0;
  bool Paging = true;
  uint8_t StartAlign = kAlignLeft;
  int32_t StartIndent = 0;
};

struct LayoutResult {
  std::vector<std::unique_ptr<TWdPage>> Pages;
  // The widest row's right edge.
  int32_t TextWidth = 0;
};

// The document's own width, height, line spacing and paging.
LayoutParams LayoutParamsOf(const TTpWord& doc);

// Measures doc.Glyphs[begin, end) (images through images, which may be null) and lays them out.
LayoutResult LayoutGlyphs(TTpWord& doc, size_t begin, size_t end, const LayoutParams& params,
                          TMuraCollection* images);

// Whether a line may break between p and n.
bool BreakAllowed(const TWdGlyph& p, const TWdGlyph& n);
// One past the last glyph of the breaking unit that starts at glyphs[begin] (before end).
size_t UnitEnd(const std::vector<std::unique_ptr<TWdGlyph>>& glyphs, size_t begin, size_t end);

}  // namespace orin
