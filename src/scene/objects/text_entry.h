// TextEntry: what the two entry fields share — TOrinEdit (kind 5, one line) and TOrinMemo
// (kind 11, lines) derive from it and differ only in their kind, whether line breaks are text,
// and their length limit.
//
// The text is cp932, held whole with "\r\n" between lines (a memo) or without line breaks (an
// edit field). The caret and the selection's other end (the anchor) are byte offsets at
// character boundaries. Lines break only at line breaks (no wrapping); the view scrolls to
// keep the caret in sight (offset x and y, properties 159 and 160, are that scroll, in pixels).
//
// What the user types arrives as UTF-8 (TextInput, the clipboard) and is converted character by
// character: a character cp932 cannot hold, broken UTF-8 and control characters are refused and
// never stored; the field then shows its refusal hint (a red frame, RefusalHintMs long) and
// Refusal() names what was refused. Text beyond the limit is refused the same way, whole
// characters kept. Text from a script (property 50, a load) is cut to the limit at a character
// boundary, a broken last lead byte dropped.
//
// Keys (the focused field, on key-down and auto-repeat): arrows, Home and End (with Ctrl: the
// whole text), Page Up/Down (memo), Backspace, Delete, Enter (memo: a line break), Shift with a
// move extends the selection; Ctrl+A selects all, Ctrl+C/Ctrl+Insert copy, Ctrl+X/Shift+Delete
// cut, Ctrl+V/Shift+Insert paste. While the input method composes, keys belong to it. The
// pointer places the caret (Shift extends) and drags a selection. With the edit flag (98) off
// the text cannot be changed by the user; moving, selecting and copying still work.
//
// The change label (33) is queued when the user changes the text (typing, deleting, cut,
// paste), with the new text as its argument; a script setting property 50 queues nothing, so a
// handler that rewrites the text does not call itself.
//
// Properties: text 50, font name 15 ("ＭＳ ゴシック"), font size 16 (12), style 17, text
// colour 19 (0), colour 8 (the background, negative: none), alignment 53 (memo), edit flag 98
// (1), change label 33, offsets 159/160 (the scroll), caret 78/79 and row height 161 read only.
//
// Save record, after the control record: record version (int32, kSaveVersion), font name, font
// size (int32), style (byte), text colour (int32), alignment (byte), edit flag (byte), change
// label, text, caret, anchor, scroll x, scroll y (int32). A record of a later version is refused.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "imaging/dib_surface.h"
#include "imaging/geometry.h"
#include "scene/model/orin_control.h"
#include "scene/objects/object_classes.h"

namespace orin {

// The longest prefix of cp932 text that is at most maxBytes long and ends at a character
// boundary; a lead byte without its trail byte at the end is dropped.
std::string CutCp932(std::string_view text, size_t maxBytes);

class TextEntry : public TOrinControl {
 public:
  static constexpr int32_t kSaveVersion = 1;
  static constexpr int32_t kPadding = 2;  // pixels between the frame and the text
  static constexpr int32_t RefusalHintMs = 1000;
  static constexpr int32_t kCaretBlinkMs = 530;

  TextEntry(TOrinBaseList* owner, const SceneServices& services, bool multiLine, size_t maxBytes);
  ~TextEntry() override;

  bool MultiLine() const { return multiLine_; }
  size_t MaxBytes() const { return maxBytes_; }
  const std::string& Text() const { return text_; }
  // From a script: line breaks normalised (dropped in an edit field), cut to the limit; the
  // caret goes to the end, nothing selected, no change label.
  void SetText(const std::string& cp932);
  bool Editable() const { return editable_; }
  void SetEditable(bool on) { editable_ = on; }

  size_t Caret() const { return caret_; }
  size_t Anchor() const { return anchor_; }
  size_t SelectionStart() const { return std::min(caret_, anchor_); }
  size_t SelectionEnd() const { return std::max(caret_, anchor_); }
  std::string SelectedText() const;
  // Moves the caret to a byte offset (snapped back to a character boundary); extend keeps the
  // anchor.
  void SetCaret(size_t offset, bool extend = false);
  void SelectAll();

  // --- Editing as the user does it (refused while not editable) ---
  // Replaces the selection with UTF-8 text; false when any of it was refused.
  bool TypeUtf8(const std::string& utf8);
  void Backspace();
  void DeleteForward();
  void NewLine();
  void CopySelection();
  void CutSelection();
  void Paste();
  const std::string& Composition() const { return composition_; }
  // What was refused last (UTF-8, for the trace and tests); empty when nothing was.
  const std::string& Refusal() const { return refusal_; }
  bool ShowsRefusal() const { return refusalLeftMs_ > 0; }

  // --- Layout ---
  int32_t LineCount() const { return static_cast<int32_t>(lineStarts_.size()); }
  int32_t LineOf(size_t offset) const;
  int32_t RowHeight() const { return fontSize_ > 0 ? fontSize_ : 1; }
  // The caret's place relative to the control's corner (the scroll applied).
  int32_t CaretX() const;
  int32_t CaretY() const;
  int32_t ScrollX() const { return scrollX_; }
  int32_t ScrollY() const { return scrollY_; }
  // The byte offset nearest to a point relative to the control's corner.
  size_t OffsetAt(int32_t x, int32_t y) const;

  // --- Control ---
  void Draw(ScreenSurface& surface) override;
  bool Step() override;
  void MouseDown(MouseButton button, int32_t x, int32_t y) override;
  void MouseMove(int32_t x, int32_t y) override;
  void KeyRepeat() override;
  void FocusIn() override;
  void FocusOut() override;
  void TextInput(const std::string& utf8) override;
  void TextEditing(const std::string& utf8, int cursor) override;
  bool TakesText(Rect& caret) const override;
  void RebuildSurfaces() override { layerDirty_ = true; }
  void AfterMove() override;
  const std::string& Label(int code) const override;
  void SetLabel(int code, const std::string& label) override;

  void GetProp(int number, TCustomParam& dest) override;
  void SetProp(int number, const TCustomParam& value) override;
  void Save(Stream& s, int version) const override;
  void Load(Stream& s, int version) override;
  void BeforeFree() override { Invalidate(); }

 private:
  // The text changed: line starts again, the view follows the caret, a repaint.
  void TextChanged();
  // The user changed it: the same, and the change label.
  void UserChanged();
  void Refuse(const std::string& what);
  void ReplaceSelection(const std::string& cp932);
  void ScrollToCaret();
  void Repaint();
  int32_t Advance(uint16_t code) const;
  int32_t WidthOf(std::string_view line) const;
  size_t LineStart(int32_t line) const { return lineStarts_[static_cast<size_t>(line)]; }
  size_t LineEnd(int32_t line) const;
  int32_t LineX(int32_t line) const;  // where the line starts (alignment), before the scroll
  int32_t XInLine(int32_t line, size_t offset) const;
  size_t OffsetInLine(int32_t line, int32_t x) const;
  size_t PreviousChar(size_t offset) const;
  size_t NextChar(size_t offset) const;
  void BuildLayer();
  std::string FontName() const;

  SceneServices services_;
  bool multiLine_;
  size_t maxBytes_;
  std::string text_;
  std::vector<size_t> lineStarts_{0};
  size_t caret_ = 0;
  size_t anchor_ = 0;
  int32_t scrollX_ = 0;
  int32_t scrollY_ = 0;
  std::string fontName_;
  int32_t fontSize_ = 12;
  uint8_t style_ = 0;
  int32_t textColour_ = 0;
  uint8_t alignment_ = 0;
  bool editable_ = true;
  std::string changeLabel_;
  std::string composition_;  // cp932, shown at the caret, never stored
  std::string refusal_;
  int32_t refusalLeftMs_ = 0;
  int32_t blinkMs_ = 0;
  bool focused_ = false;
  bool dragging_ = false;
  // The text as drawn: a colour layer of the screen's depth and its alpha, the field's size.
  TDIBSurface colour_;
  TDIBSurface alpha_;
  bool layerDirty_ = true;
};

}  // namespace orin
