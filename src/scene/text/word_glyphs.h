// The glyph classes of a text document: TWdGlyph and its descendants — characters, images,
// blanks, line breaks and the control marks (alignment, indent, undent, EVENT, VAR) — and the
// composites TWdRow and TWdPage that layout builds from them.
//
// A document owns its glyphs in a flat list; pages own their rows (and each row its indent
// blank), and rows and pages only point at the document's glyphs. Every glyph carries a type
// tag so that the hot loops (layout, reveal, drawing) dispatch without virtual calls.
//
// Index is the glyph's position in the stored document (or markup) it came from; glyphs that a
// variable mark produced carry their mark's index, so the history can name glyph ranges of the
// stored document whatever the variables expanded to.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "scene/text/decorate.h"

namespace orin {

class TTpWord;
class TWdRow;
struct FrameDrawable;

enum class WdType : uint8_t {
  kChar,
  kVarChar,
  kSpace,
  kImg,
  kReturn,
  kVarReturn,
  kAlign,
  kIndent,
  kUndent,
  kEvent,
  kVar,
  kRow,
  kPage,
};

// Kind bytes of the stored document.
enum WdStreamKind : uint8_t {
  kWdKindChar = 1,
  kWdKindAlign = 2,
  kWdKindReturn = 3,
  kWdKindIndent = 4,
  kWdKindUndent = 5,
  kWdKindEvent = 6,
  kWdKindVar = 7,
  kWdKindImg = 9,
};

// Alignment values of marks and images; index 0 never matches a name.
enum WdAlign : uint8_t { kAlignNone = 0, kAlignLeft = 1, kAlignRight = 2, kAlignCenter = 3, kAlignTop = 4, kAlignBottom = 5 };

class TWdGlyph {
 public:
  explicit TWdGlyph(WdType type) : Type(type) {}
  virtual ~TWdGlyph() = default;
  TWdGlyph(const TWdGlyph&) = delete;
  TWdGlyph& operator=(const TWdGlyph&) = delete;

  const WdType Type;
  int32_t X = 0;
  int32_t Y = 0;
  int32_t Width = 0;
  int32_t Height = 0;
  TWdRow* Row = nullptr;
  int32_t Index = -1;

  // The kind byte of the stored document, 0 for glyphs that are never stored.
  virtual uint8_t StreamKind() const { return 0; }
  bool IsChar() const { return Type == WdType::kChar || Type == WdType::kVarChar; }
  bool IsReal() const { return IsChar() || Type == WdType::kImg; }
  bool IsReturn() const { return Type == WdType::kReturn || Type == WdType::kVarReturn; }
};

class TWdComposite : public TWdGlyph {
 public:
  using TWdGlyph::TWdGlyph;
  std::vector<TWdGlyph*> Children;
};

// Glyphs with a link, a wait and an alpha: characters and images.
class TWdReal : public TWdGlyph {
 public:
  using TWdGlyph::TWdGlyph;
  std::string Link;
  int32_t Wait = 0;
  uint8_t Alpha = 255;
  bool Highlighted = false;
};

class TWdChar : public TWdReal {
 public:
  TWdChar() : TWdReal(WdType::kChar) {}
  uint8_t StreamKind() const override { return kWdKindChar; }
  uint16_t Code = 0;
  DecoratePtr Style;

 protected:
  explicit TWdChar(WdType type) : TWdReal(type) {}
};

// A character a variable mark produced; never stored.
class TWdVarChar : public TWdChar {
 public:
  TWdVarChar() : TWdChar(WdType::kVarChar) {}
  uint8_t StreamKind() const override { return 0; }
};

// A blank of a given width (the indent at the start of a row).
class TWdSpace : public TWdGlyph {
 public:
  TWdSpace() : TWdGlyph(WdType::kSpace) {}
};

class TWdImg : public TWdReal {
 public:
  TWdImg() : TWdReal(WdType::kImg) {}
  uint8_t StreamKind() const override { return kWdKindImg; }
  std::string FileName;
  uint8_t Align = kAlignBottom;
  // Taken from the markup's state for breaking; not stored.
  uint8_t NoBreak = 0;
  std::string Ruby;
  // The picture, looked up when the document is laid out; null for a missing file (0 × 0).
  std::shared_ptr<const FrameDrawable> Picture;
  bool Floats() const { return Align == kAlignLeft || Align == kAlignRight; }
};

class TWdOpeReturn : public TWdGlyph {
 public:
  TWdOpeReturn() : TWdGlyph(WdType::kReturn) {}
  uint8_t StreamKind() const override { return kWdKindReturn; }
  uint8_t NewPage = 0;

 protected:
  explicit TWdOpeReturn(WdType type) : TWdGlyph(type) {}
};

// A line break a variable mark produced; never stored.
class TWdVarReturn : public TWdOpeReturn {
 public:
  TWdVarReturn() : TWdOpeReturn(WdType::kVarReturn) {}
  uint8_t StreamKind() const override { return 0; }
};

class TWdOpeAlign : public TWdGlyph {
 public:
  TWdOpeAlign() : TWdGlyph(WdType::kAlign) {}
  uint8_t StreamKind() const override { return kWdKindAlign; }
  uint8_t Value = kAlignLeft;
};

class TWdOpeIndent : public TWdGlyph {
 public:
  TWdOpeIndent() : TWdGlyph(WdType::kIndent) {}
  uint8_t StreamKind() const override { return kWdKindIndent; }
};

class TWdOpeUndent : public TWdGlyph {
 public:
  TWdOpeUndent() : TWdGlyph(WdType::kUndent) {}
  uint8_t StreamKind() const override { return kWdKindUndent; }
};

class TWdOpeEvent : public TWdGlyph {
 public:
  TWdOpeEvent() : TWdGlyph(WdType::kEvent) {}
  uint8_t StreamKind() const override { return kWdKindEvent; }
  std::string Text;
  bool AtEnd = false;
};

class TWdOpeVar : public TWdGlyph {
 public:
  TWdOpeVar() : TWdGlyph(WdType::kVar) {}
  uint8_t StreamKind() const override { return kWdKindVar; }
  DecoratePtr Style;
  // The variable name or expression text (documents of version 102 and later).
  std::string Name;
  // Carried from version 101 on and written back unchanged.
  int32_t Extra = 0;
  std::string ExtraText;
  // Documents before version 102 store a compiled expression instead of the text: its record,
  // byte for byte.
  std::string Compiled;
  bool HasCompiled = false;
};

class TWdRow : public TWdComposite {
 public:
  TWdRow() : TWdComposite(WdType::kRow) {}
  uint8_t Alignment = kAlignLeft;
  int32_t LeftLimit = 0;
  int32_t RightLimit = 0;
  // The document whose glyphs the row shows (rows of combined pages come from several).
  TTpWord* Document = nullptr;
  // Height of the text band (the tallest glyph that is not an aligned image) and how far
  // aligned images reach above it; the row's height is both plus what reaches below.
  int32_t Base = 0;
  int32_t Above = 0;
  int32_t Below = 0;
  // The indent at the head of the row, when there is one.
  std::unique_ptr<TWdSpace> Blank;
  // Position in the document's glyph list of the first glyph the row took.
  size_t FirstPos = 0;
};

// What reveals a page: where it is, its countdown and fade, and what it hands over.
struct RevealState {
  size_t Next = 0;         // position in the page's sequence of the next glyph to reveal
  bool Started = false;
  int32_t Countdown = 0;
  int64_t FadeAccumulator = 0;
  int32_t Skip = 0;
  std::vector<TWdReal*> Fading;
  std::vector<std::string> PendingEvents;
  std::vector<std::string> AtEndEvents;
  bool AtEndQueued = false;
};

class TWdPage : public TWdComposite {
 public:
  TWdPage() : TWdComposite(WdType::kPage) {}
  std::vector<std::unique_ptr<TWdRow>> Rows;
  // Every glyph the page took, rows' glyphs and marks alike, in document order: the order of
  // revealing.
  std::vector<TWdGlyph*> Sequence;
  // Positions in the document's glyph list (single-document pages) of the first glyph and one
  // past the last, and the layout state the page began with, so the page can be laid out again.
  size_t BeginPos = 0;
  size_t EndPos = 0;
  uint8_t StartAlign = kAlignLeft;
  int32_t StartIndent = 0;
  TTpWord* Document = nullptr;
  RevealState Reveal;

  bool Revealed() const { return Reveal.Next >= Sequence.size(); }
  // All revealed, faded in, and every EVENT handed over.
  bool Complete() const {
    return Revealed() && Reveal.Fading.empty() && Reveal.PendingEvents.empty() &&
           (Reveal.AtEndQueued || Reveal.AtEndEvents.empty());
  }
  // The stored-document index of the first and the last glyph of the page's rows (−1 when none).
  int32_t FirstIndex() const;
  int32_t LastIndex() const;
};

}  // namespace orin
