// TTpWord, the formatted-text document: its settings, its flat list of glyphs and the style
// records they share, the local variables of its variable marks, glyph sizes, the expansion of
// variable marks and the reveal step.
//
// The stored-document format is read and written by scene/word_stream.h, markup by
// scene/word_markup.h, layout into pages by scene/word_layout.h, and a page is drawn by
// scene/word_render.h.
//
// Glyph size: a character's cell is size × size (size 0: the document's); italic adds size/5
// to the width, ruby max(1, size/2) to the height, the border width (−1: the document's) 2 ×
// width to both and the shadow offset (−1: the document's) the offset to both. Images take their
// picture's size (0 × 0 when missing), everything else 0 × 0.
//
// Settings record (the owner's save record carries it), in this order: left, top, font size
// (int32), font name (string), text colour, height, width, render mode, line spacing (int32),
// paging (byte), link colour, active-link colour, fade time, border colour, image alpha (int32),
// reveal suspended (byte), caret x, caret y, wait scale (int32), events enabled (byte); from
// version 110 the shadow colour (int32), from 111 the border width and shadow offset (int32).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "scene/text/decorate.h"
#include "scene/text/word_glyphs.h"

namespace orin {

class Stream;
class TMuraCollection;
class TParamCollection;

// What one reveal step did.
struct RevealResult {
  // The text of the characters (and "*" for images) revealed in this step.
  std::string Text;
  bool AnyRevealed = false;
  // Glyphs whose alpha changed (to repaint).
  std::vector<TWdReal*> Changed;
  // EVENT texts handed over in this step, in order.
  std::vector<std::string> Events;
};

class TTpWord {
 public:
  static constexpr int32_t kDefaultWait = 50;
  // A document holds at most kMaxGlyphs glyphs (about a thousand pages of text, some 150 MB in
  // memory): markup beyond that is refused with an error and a stored document beyond it is
  // damaged. A variable mark shows at most kMaxMarkChars characters of its value, and the marks
  // together only as many as the document has room for; the rest of a value is not shown. Each
  // glyph is an object of its own, so without these a 20 MB text variable shown in a window took
  // gigabytes.
  static constexpr size_t kMaxGlyphs = size_t{1} << 20;
  static constexpr size_t kMaxMarkChars = 65536;
  static const std::string& DefaultFontName();  // "ＭＳ ゴシック"

  TTpWord();
  ~TTpWord();
  TTpWord(const TTpWord&) = delete;
  TTpWord& operator=(const TTpWord&) = delete;

  // --- Settings ---
  int32_t Left = 0;
  int32_t Top = 0;
  int32_t Width = 0;   // 0: as wide as the widest row
  int32_t Height = 0;  // the page height
  int32_t FontSize = 12;
  std::string FontName;
  int32_t TextColor = 0;
  int32_t LinkColor = 0x00FF0000;        // blue
  int32_t ActiveLinkColor = 0x00008000;  // (0, 128, 0)
  int32_t BorderColor = 0x00808080;
  int32_t ShadowColor = 0;
  int32_t BorderWidth = 0;
  int32_t ShadowOffset = 0;
  int32_t LineSpacing = 0;
  uint8_t Paging = 1;
  int32_t FadeTime = 1;
  int32_t ImageAlpha = 255;
  int32_t WaitScale = 256;
  uint8_t EventsEnabled = 0;
  int32_t RenderMode = 3;
  uint8_t RevealSuspended = 0;
  int32_t CaretX = 0;
  int32_t CaretY = 0;
  int32_t CaretHeight = 0;

  // Copies every setting above (not the glyphs) from other.
  void CopySettings(const TTpWord& other);
  void SaveSettings(Stream& s, int version) const;
  void LoadSettings(Stream& s, int version);

  // --- Content ---
  std::vector<std::unique_ptr<TWdGlyph>> Glyphs;
  TDecorateList Styles;
  // The style count before the stored document read last was appended.
  int32_t StyleBase = 0;
  // The header version of the stored document read last (0 without a header).
  int32_t Version = 0;
  bool HadHeader = false;
  // Lines "name=value"; a value's CRs are kept as 0x01 bytes.
  std::vector<std::string> LocalVars;

  // Frees glyphs and styles and forgets the local variables.
  void Clear();
  int32_t GlyphCount() const { return static_cast<int32_t>(Glyphs.size()); }
  // Position in Glyphs of the first glyph whose Index is at least index (Glyphs.size() when none).
  size_t PositionOfIndex(int32_t index) const;

  // The local variables as one text (lines joined with CR LF) and back.
  std::string LocalVarsText() const;
  void SetLocalVarsText(std::string_view text);
  // The value a local variable holds, with 0x01 turned back into CR; false when absent.
  bool LocalVar(std::string_view name, std::string& value) const;

  // --- Sizes ---
  // The size of a glyph; images look their picture up in images (may be null).
  void MeasureGlyph(TWdGlyph& g, TMuraCollection* images) const;
  // The cell height of a character of the default style: the height of an empty row.
  int32_t DefaultCellHeight() const;
  // A style's values with the document's defaults filled in.
  int32_t SizeOf(const TDecorate& d) const { return d.FontSize > 0 ? d.FontSize : FontSize; }
  int32_t BorderOf(const TDecorate& d) const;
  int32_t ShadowOf(const TDecorate& d) const;
  const std::string& FontOf(const TDecorate& d) const;

  // --- Variable marks ---
  // Expands the variable marks among Glyphs[begin, end): the glyphs an earlier expansion made
  // there are removed first; then each mark takes its local variable, or else its name is
  // compiled and evaluated as an expression in vars (a failure inserts nothing) and the value is
  // kept as a local variable. Each character ≥ 0x20 of the value becomes a TWdVarChar with the
  // mark's style (and the wait of the nearest character before the mark, else after it, else
  // defaultWait) and each CR a TWdVarReturn, right after the mark. Returns the new end.
  size_t ExpandVariables(size_t begin, size_t end, TParamCollection* vars, int32_t defaultWait);

  // --- Reveal ---
  // One frame of revealing page by the settings of this document (the page's rows may belong to
  // other documents). pageScroll shifts the rows up; a row whose bottom passes the height after
  // the shift waits until it comes into view.
  RevealResult RevealStep(TWdPage& page, int32_t frameDelta, int32_t pageScroll = 0);
  // Puts the page back to nothing revealed.
  static void ResetReveal(TWdPage& page);
  // Reveals the first count glyphs of the page at once, fully opaque (a restored save).
  static void RevealAtOnce(TWdPage& page, size_t count);
};

}  // namespace orin
