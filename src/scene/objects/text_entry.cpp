#include "scene/objects/text_entry.h"

#include <algorithm>

#include "core/cp932.h"
#include "core/error.h"
#include "core/text.h"
#include "imaging/font_pixel.h"
#include "imaging/screen_surface.h"
#include "params/custom_param.h"
#include "resources/stream.h"
#include "scene/model/clipboard.h"
#include "scene/model/orin_base_list.h"
#include "scene/model/property_table.h"

namespace orin {

using namespace literals;

namespace {

constexpr int kPropFontName = 15;
constexpr int kPropFontSize = 16;
constexpr int kPropFontStyle = 17;
constexpr int kPropTextColour = 19;
constexpr int kPropText = 50;
constexpr int kPropAlignment = 53;
constexpr int kPropEditFlag = 98;

// Windows virtual-key numbers the fields answer.
constexpr int kVkBack = 8, kVkReturn = 13, kVkShift = 16, kVkControl = 17, kVkPageUp = 33,
              kVkPageDown = 34, kVkEnd = 35, kVkHome = 36, kVkLeft = 37, kVkUp = 38,
              kVkRight = 39, kVkDown = 40, kVkInsert = 45, kVkDelete = 46;

// Windows' selection colour (0x00BBGGRR) and the refusal frame's red.
constexpr int32_t kSelectionColour = 0x00D77800;
constexpr int32_t kRefusalColour = 0x000000FF;

int32_t Clamp32(int64_t v) {
  return static_cast<int32_t>(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX));
}

// The length of the UTF-8 sequence at i, or 0 when it is broken.
size_t Utf8Length(std::string_view s, size_t i) {
  const uint8_t b = static_cast<uint8_t>(s[i]);
  size_t n = b < 0x80 ? 1 : b >= 0xC2 && b < 0xE0 ? 2 : b >= 0xE0 && b < 0xF0 ? 3 : b >= 0xF0 && b < 0xF5 ? 4 : 0;
  if (n == 0 || i + n > s.size()) return 0;
  for (size_t k = 1; k < n; ++k)
    if ((static_cast<uint8_t>(s[i + k]) & 0xC0) != 0x80) return 0;
  return n;
}

// Line breaks of any kind as "\r\n" (or none at all), other control characters but tab gone.
std::string Normalise(std::string_view text, bool multiLine) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size();) {
    const size_t n = CharLength(text, i);
    const char c = text[i];
    if (n == 1 && (c == '\r' || c == '\n')) {
      if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
      if (multiLine) out += "\r\n";
      ++i;
      continue;
    }
    if (n == 1 && static_cast<uint8_t>(c) < 0x20 && c != '\t') {
      ++i;
      continue;
    }
    out.append(text, i, n);
    i += n;
  }
  return out;
}

}  // namespace

std::string CutCp932(std::string_view text, size_t maxBytes) {
  size_t end = 0;
  while (end < text.size()) {
    const size_t n = CharLength(text, end);
    if (IsLeadByte(text[end]) && end + 1 >= text.size()) break;  // a lead byte without its trail
    if (end + n > maxBytes) break;
    end += n;
  }
  return std::string(text.substr(0, end));
}

TextEntry::TextEntry(TOrinBaseList* owner, const SceneServices& services, bool multiLine, size_t maxBytes)
    : TOrinControl(owner),
      services_(services),
      multiLine_(multiLine),
      maxBytes_(maxBytes),
      fontName_("ＭＳ ゴシック"_sj) {
  // An entry field is there to be typed into: it takes the keyboard unless a script says no.
  SetFocusable(true);
  SetColor(0x00FFFFFF);
}

TextEntry::~TextEntry() = default;

std::string TextEntry::FontName() const { return fontName_.empty() ? "ＭＳ ゴシック"_sj : fontName_; }

// ---- Text

void TextEntry::SetText(const std::string& cp932) {
  std::string text = CutCp932(Normalise(cp932, multiLine_), maxBytes_);
  if (text == text_) return;
  text_ = std::move(text);
  caret_ = anchor_ = text_.size();
  TextChanged();
}

std::string TextEntry::SelectedText() const {
  return text_.substr(SelectionStart(), SelectionEnd() - SelectionStart());
}

void TextEntry::SetCaret(size_t offset, bool extend) {
  offset = std::min(offset, text_.size());
  // Snap back to the start of the character the offset falls in.
  size_t boundary = 0;
  while (boundary < offset) {
    const size_t n = CharLength(text_, boundary);
    if (boundary + n > offset) break;
    boundary += n;
  }
  // Never between the two bytes of a line break.
  if (boundary > 0 && boundary < text_.size() && text_[boundary - 1] == '\r' && text_[boundary] == '\n')
    --boundary;
  caret_ = boundary;
  if (!extend) anchor_ = caret_;
  blinkMs_ = 0;
  ScrollToCaret();
  Repaint();
}

void TextEntry::SelectAll() {
  anchor_ = 0;
  caret_ = text_.size();
  ScrollToCaret();
  Repaint();
}

void TextEntry::TextChanged() {
  lineStarts_.assign(1, 0);
  if (multiLine_) {
    for (size_t i = 0; i < text_.size();) {
      const size_t n = CharLength(text_, i);
      if (n == 1 && text_[i] == '\n') lineStarts_.push_back(i + 1);
      i += n;
    }
  }
  caret_ = std::min(caret_, text_.size());
  anchor_ = std::min(anchor_, text_.size());
  ScrollToCaret();
  Repaint();
}

void TextEntry::UserChanged() {
  TextChanged();
  const std::vector<std::string> args{text_};
  QueueEvent(changeLabel_, kEventFire, &args);
}

void TextEntry::Refuse(const std::string& what) {
  refusal_ = what;
  refusalLeftMs_ = RefusalHintMs;
  Repaint();
}

void TextEntry::ReplaceSelection(const std::string& cp932) {
  const size_t start = SelectionStart();
  text_.replace(start, SelectionEnd() - start, cp932);
  caret_ = anchor_ = start + cp932.size();
}

bool TextEntry::TypeUtf8(const std::string& utf8) {
  if (!editable_) return false;
  std::string accepted;
  std::string refused;
  bool tooLong = false;
  const size_t room = maxBytes_ - std::min(maxBytes_, text_.size() - (SelectionEnd() - SelectionStart()));
  for (size_t i = 0; i < utf8.size();) {
    const size_t n = Utf8Length(utf8, i);
    if (n == 0) {
      refused += "\xEF\xBF\xBD";  // the replacement character names a broken byte
      ++i;
      continue;
    }
    const std::string_view ch(utf8.data() + i, n);
    i += n;
    if (ch == "\r" || ch == "\n") {
      if (ch == "\r" && i < utf8.size() && utf8[i] == '\n') ++i;
      if (!multiLine_) continue;  // one line: breaks in pasted text are dropped quietly
      if (accepted.size() + 2 > room) {
        tooLong = true;
        break;
      }
      accepted += "\r\n";
      continue;
    }
    if (n == 1 && (static_cast<uint8_t>(ch[0]) < 0x20 || ch[0] == 0x7F) && ch[0] != '\t') {
      refused.append(ch);
      continue;
    }
    const std::optional<std::string> cp932 = Utf8ToCp932(ch);
    if (!cp932 || cp932->empty()) {
      refused.append(ch);
      continue;
    }
    if (accepted.size() + cp932->size() > room) {
      tooLong = true;
      break;
    }
    accepted += *cp932;
  }
  const bool changed = !accepted.empty() || SelectionStart() != SelectionEnd();
  if (!accepted.empty() || (changed && refused.empty() && !tooLong)) ReplaceSelection(accepted);
  if (!refused.empty() || tooLong) {
    std::string why;
    if (!refused.empty()) why = "characters this text cannot hold: " + refused;
    if (tooLong) why += std::string(why.empty() ? "" : "; ") + "the text is full";
    Refuse(why);
  }
  if (!accepted.empty()) UserChanged();
  return refused.empty() && !tooLong;
}

void TextEntry::Backspace() {
  if (!editable_) return;
  if (caret_ == anchor_) {
    if (caret_ == 0) return;
    anchor_ = PreviousChar(caret_);
  }
  ReplaceSelection({});
  UserChanged();
}

void TextEntry::DeleteForward() {
  if (!editable_) return;
  if (caret_ == anchor_) {
    if (caret_ >= text_.size()) return;
    anchor_ = NextChar(caret_);
  }
  ReplaceSelection({});
  UserChanged();
}

void TextEntry::NewLine() {
  if (multiLine_) TypeUtf8("\n");
}

void TextEntry::CopySelection() {
  if (caret_ == anchor_ || !services_.Clip) return;
  services_.Clip->SetText(ToUtf8(SelectedText()));
}

void TextEntry::CutSelection() {
  if (caret_ == anchor_) return;
  CopySelection();
  if (!editable_) return;
  ReplaceSelection({});
  UserChanged();
}

void TextEntry::Paste() {
  if (!editable_ || !services_.Clip) return;
  std::string text = services_.Clip->Text();
  // More than the field can ever hold is not read through: the excess is refused as "full".
  const size_t cap = maxBytes_ * 4 + 8;
  if (text.size() > cap) {
    text.resize(cap);
    text += '\x01';  // a refused control character marks the cut
  }
  TypeUtf8(text);
}

// ---- Layout

size_t TextEntry::PreviousChar(size_t offset) const {
  if (offset == 0) return 0;
  const size_t start = LineStart(LineOf(offset));
  if (offset == start) return offset - 2;  // over the "\r\n" that ends the line before
  size_t prev = start;
  for (size_t k = start; k < offset; k += CharLength(text_, k)) prev = k;
  return prev;
}

size_t TextEntry::NextChar(size_t offset) const {
  if (offset >= text_.size()) return text_.size();
  if (text_[offset] == '\r' && offset + 1 < text_.size() && text_[offset + 1] == '\n') return offset + 2;
  return std::min(text_.size(), offset + CharLength(text_, offset));
}

int32_t TextEntry::LineOf(size_t offset) const {
  const auto it = std::upper_bound(lineStarts_.begin(), lineStarts_.end(), offset);
  return static_cast<int32_t>(it - lineStarts_.begin()) - 1;
}

size_t TextEntry::LineEnd(int32_t line) const {
  if (line + 1 < LineCount()) return LineStart(line + 1) - 2;  // before "\r\n"
  return text_.size();
}

int32_t TextEntry::Advance(uint16_t code) const {
  if (TFontPixelManager* glyphs = services_.Glyphs()) {
    try {
      glyphs->SetRenderMode(3);
      if (auto g = glyphs->GetGlyph(code, FontName(), style_, fontSize_))
        return g->CoverageWidth + g->XOffset + g->ExtraAdvance;
    } catch (const Error&) {
      // A font that cannot be made at this size: the fallback widths below.
    }
  }
  const int32_t size = std::max(fontSize_, 1);
  return code > 0xFF ? size : std::max(size / 2, 1);
}

int32_t TextEntry::WidthOf(std::string_view line) const {
  int64_t w = 0;
  ForEachChar(line, [&](size_t offset, size_t) { w += Advance(CharCodeAt(line, offset)); });
  return Clamp32(w);
}

int32_t TextEntry::LineX(int32_t line) const {
  if (alignment_ == 0) return kPadding;
  const int32_t inner = Width() - 2 * kPadding;
  const int32_t w = WidthOf(std::string_view(text_).substr(LineStart(line), LineEnd(line) - LineStart(line)));
  if (w >= inner) return kPadding;
  return kPadding + (alignment_ == 1 ? (inner - w) / 2 : inner - w);
}

int32_t TextEntry::XInLine(int32_t line, size_t offset) const {
  const size_t start = LineStart(line);
  return Clamp32(int64_t{LineX(line)} + WidthOf(std::string_view(text_).substr(start, offset - start)));
}

size_t TextEntry::OffsetInLine(int32_t line, int32_t x) const {
  const size_t start = LineStart(line), end = LineEnd(line);
  int64_t at = LineX(line);
  for (size_t i = start; i < end;) {
    const size_t n = CharLength(text_, i);
    const int32_t a = Advance(CharCodeAt(text_, i));
    if (x < at + a / 2) return i;
    at += a;
    i += n;
  }
  return end;
}

int32_t TextEntry::CaretX() const {
  return Clamp32(int64_t{XInLine(LineOf(caret_), caret_)} - scrollX_);
}

int32_t TextEntry::CaretY() const {
  return Clamp32(int64_t{kPadding} + int64_t{LineOf(caret_)} * RowHeight() - scrollY_);
}

size_t TextEntry::OffsetAt(int32_t x, int32_t y) const {
  const int64_t row = (int64_t{y} + scrollY_ - kPadding) / RowHeight();
  const int32_t line = static_cast<int32_t>(std::clamp<int64_t>(row, 0, LineCount() - 1));
  return OffsetInLine(line, Clamp32(int64_t{x} + scrollX_));
}

void TextEntry::ScrollToCaret() {
  const int32_t line = LineOf(caret_);
  const int64_t x = XInLine(line, caret_);
  const int64_t inner = std::max(Width() - 2 * kPadding, 1);
  if (x - scrollX_ < kPadding) scrollX_ = Clamp32(std::max<int64_t>(0, x - kPadding));
  if (x - scrollX_ > kPadding + inner - 1) scrollX_ = Clamp32(x - kPadding - inner + 1);
  const int64_t top = int64_t{line} * RowHeight();
  const int64_t innerH = std::max(Height() - 2 * kPadding, RowHeight());
  if (top - scrollY_ < 0) scrollY_ = Clamp32(top);
  if (top + RowHeight() - scrollY_ > innerH) scrollY_ = Clamp32(top + RowHeight() - innerH);
}

void TextEntry::Repaint() {
  layerDirty_ = true;
  Invalidate();
}

void TextEntry::AfterMove() {
  layerDirty_ = true;
  ScrollToCaret();
}

// ---- Drawing

void TextEntry::BuildLayer() {
  layerDirty_ = false;
  const int32_t w = Width(), h = Height();
  const int depth = Owner() && Owner()->Depth() ? Owner()->Depth() : 32;
  if (w <= 0 || h <= 0) return;
  try {
    if (colour_.Width() != w || colour_.Height() != h || colour_.BitCount() != depth) {
      colour_.SetSize(w, h, depth, false);
      alpha_.SetSize(w, h, 8, false);
    }
  } catch (const Error&) {
    // A field too large for a surface shows no text.
    colour_ = TDIBSurface();
    alpha_ = TDIBSurface();
    return;
  }
  alpha_.FillRect(alpha_.ClientRect(), 0);
  TFontPixelManager* glyphs = services_.Glyphs();
  if (!glyphs) return;
  glyphs->SetRenderMode(3);
  const std::string font = FontName();
  const uint32_t pixel = colour_.ColorToPixel(textColour_ & 0xFF, textColour_ >> 8 & 0xFF, textColour_ >> 16 & 0xFF);
  const Rect client = alpha_.ClientRect();
  const int32_t caretLine = LineOf(caret_);
  const int64_t firstRow = std::max<int64_t>(0, (int64_t{scrollY_} - kPadding) / RowHeight());
  for (int64_t row = firstRow; row < LineCount(); ++row) {
    const int64_t y = kPadding + row * RowHeight() - scrollY_;
    if (y >= h) break;
    const int32_t line = static_cast<int32_t>(row);
    int64_t x = int64_t{LineX(line)} - scrollX_;
    auto drawRun = [&](std::string_view run) {
      ForEachChar(run, [&](size_t offset, size_t) {
        if (x >= w) return;
        const uint16_t code = CharCodeAt(run, offset);
        TFontPixelManager::GlyphPtr g;
        try {
          g = glyphs->GetGlyph(code, font, style_, fontSize_);
        } catch (const Error&) {
        }
        const int64_t a = g ? int64_t{g->CoverageWidth} + g->XOffset + g->ExtraAdvance : Advance(code);
        if (g && x + a > 0) {
          Rect changed;
          const Rect cell{Clamp32(x), Clamp32(y), Clamp32(x + a), Clamp32(y + fontSize_)};
          Rect cut;
          if (IntersectRect(cut, cell, client))
            glyphs->DrawChar(*g, colour_, alpha_, false, changed, 0, 0, pixel, true, true, 0, 0, cell);
        }
        x += a;
      });
    };
    const std::string_view all(text_);
    const size_t start = LineStart(line), end = LineEnd(line);
    if (line == caretLine && !composition_.empty()) {
      drawRun(all.substr(start, caret_ - start));
      const int64_t from = x;
      drawRun(composition_);
      // The composition is underlined, as input methods show it.
      const int64_t under = y + fontSize_ - 1;
      const Rect u{Clamp32(std::max<int64_t>(from, 0)), Clamp32(under), Clamp32(std::min<int64_t>(x, w)), Clamp32(under + 1)};
      Rect cut;
      if (IntersectRect(cut, u, client)) alpha_.FillRect(cut, 255);
      drawRun(all.substr(caret_, end - caret_));
    } else {
      drawRun(all.substr(start, end - start));
    }
  }
}

void TextEntry::Draw(ScreenSurface& surface) {
  const Rect own = TOrinControl::ScreenRect();
  if (own.IsEmpty()) return;
  if (Color() >= 0) surface.Fill(surface.Clip(), surface.ColorToPixel(Color()));
  // The selection's rows, under the text.
  if (caret_ != anchor_) {
    const uint32_t sel = surface.ColorToPixel(kSelectionColour);
    const int32_t first = LineOf(SelectionStart()), last = LineOf(SelectionEnd());
    for (int32_t line = first; line <= last; ++line) {
      const int64_t y = int64_t{own.Top} + kPadding + int64_t{line} * RowHeight() - scrollY_;
      if (y >= own.Bottom) break;
      if (y + RowHeight() <= own.Top) continue;
      const size_t a = std::max(SelectionStart(), LineStart(line));
      const size_t b = std::min(SelectionEnd(), LineEnd(line));
      int64_t x0 = int64_t{own.Left} + XInLine(line, a) - scrollX_;
      int64_t x1 = int64_t{own.Left} + XInLine(line, b) - scrollX_;
      if (line < last) x1 += std::max(fontSize_ / 2, 1);  // the line break shows as selected too
      surface.Fill(Rect{Clamp32(x0), Clamp32(y), Clamp32(x1), Clamp32(y + RowHeight())}, sel);
    }
  }
  if (layerDirty_) BuildLayer();
  if (alpha_.Width() > 0 && colour_.BitCount() == surface.Depth())
    surface.FillMasked(own.Left, own.Top, surface.ColorToPixel(textColour_), alpha_, alpha_.ClientRect(), 255);
  if (focused_ && composition_.empty() && blinkMs_ < kCaretBlinkMs) {
    const int32_t x = own.Left + CaretX(), y = own.Top + CaretY();
    surface.Fill(Rect{x, y, x + 1, Clamp32(int64_t{y} + RowHeight())}, surface.ColorToPixel(textColour_));
  }
  if (refusalLeftMs_ > 0) {
    const uint32_t red = surface.ColorToPixel(kRefusalColour);
    surface.Fill(Rect{own.Left, own.Top, own.Right, own.Top + 1}, red);
    surface.Fill(Rect{own.Left, own.Bottom - 1, own.Right, own.Bottom}, red);
    surface.Fill(Rect{own.Left, own.Top, own.Left + 1, own.Bottom}, red);
    surface.Fill(Rect{own.Right - 1, own.Top, own.Right, own.Bottom}, red);
  }
}

bool TextEntry::Step() {
  const int32_t delta = Owner() ? std::max(Owner()->FrameDelta(), 0) : 0;
  if (refusalLeftMs_ > 0) {
    refusalLeftMs_ -= delta;
    if (refusalLeftMs_ <= 0) {
      refusalLeftMs_ = 0;
      Invalidate();
    }
  }
  if (focused_) {
    const bool shown = blinkMs_ < kCaretBlinkMs;
    blinkMs_ = (blinkMs_ + delta) % (2 * kCaretBlinkMs);
    if (shown != (blinkMs_ < kCaretBlinkMs)) Invalidate();
  }
  return TOrinControl::Step();
}

// ---- Input

void TextEntry::MouseDown(MouseButton button, int32_t x, int32_t y) {
  TOrinControl::MouseDown(button, x, y);
  if (button != MouseButton::kLeft || !composition_.empty()) return;
  const bool shift = Owner() && Owner()->KeyPush(kVkShift);
  SetCaret(OffsetAt(ToClientX(x), ToClientY(y)), shift);
  dragging_ = true;
}

void TextEntry::MouseMove(int32_t x, int32_t y) {
  TOrinControl::MouseMove(x, y);
  if (!Pressed()) dragging_ = false;
  if (dragging_) SetCaret(OffsetAt(ToClientX(x), ToClientY(y)), true);
}

void TextEntry::KeyRepeat() {
  TOrinControl::KeyRepeat();
  TOrinBaseList* o = Owner();
  if (!o || !composition_.empty()) return;
  const bool shift = o->KeyPush(kVkShift), ctrl = o->KeyPush(kVkControl);
  auto hit = [&](int vk) { return o->KeyRepeat(vk); };
  if (ctrl && hit('A')) SelectAll();
  if ((ctrl && hit('C')) || (ctrl && hit(kVkInsert))) CopySelection();
  if ((ctrl && hit('X')) || (shift && hit(kVkDelete))) CutSelection();
  if ((ctrl && hit('V')) || (shift && !ctrl && hit(kVkInsert))) Paste();
  if (hit(kVkLeft)) SetCaret(caret_ != anchor_ && !shift ? SelectionStart() : PreviousChar(caret_), shift);
  if (hit(kVkRight)) SetCaret(caret_ != anchor_ && !shift ? SelectionEnd() : NextChar(caret_), shift);
  const int32_t line = LineOf(caret_);
  auto toLine = [&](int32_t target) {
    target = std::clamp(target, 0, LineCount() - 1);
    SetCaret(OffsetInLine(target, XInLine(line, caret_)), shift);
  };
  const int32_t page = std::max((Height() - 2 * kPadding) / RowHeight(), 1);
  if (hit(kVkUp)) toLine(line - 1);
  if (hit(kVkDown)) toLine(line + 1);
  if (multiLine_ && hit(kVkPageUp)) toLine(line - page);
  if (multiLine_ && hit(kVkPageDown)) toLine(line + page);
  if (hit(kVkHome)) SetCaret(ctrl ? 0 : LineStart(line), shift);
  if (hit(kVkEnd)) SetCaret(ctrl ? text_.size() : LineEnd(line), shift);
  if (hit(kVkBack)) Backspace();
  if (!shift && hit(kVkDelete)) DeleteForward();
  if (hit(kVkReturn)) NewLine();
}

void TextEntry::FocusIn() {
  TOrinControl::FocusIn();
  focused_ = true;
  blinkMs_ = 0;
  Invalidate();
}

void TextEntry::FocusOut() {
  TOrinControl::FocusOut();
  focused_ = false;
  dragging_ = false;
  if (!composition_.empty()) {
    composition_.clear();
    Repaint();
  }
  Invalidate();
}

void TextEntry::TextInput(const std::string& utf8) {
  composition_.clear();
  if (TypeUtf8(utf8)) return;
  Repaint();
}

void TextEntry::TextEditing(const std::string& utf8, int /*cursor*/) {
  if (!editable_) return;
  // Shown only: a character cp932 lacks shows as "?" here and is refused when it is committed.
  std::string shown;
  for (size_t i = 0; i < utf8.size() && shown.size() < 1024;) {
    const size_t n = Utf8Length(utf8, i);
    if (n == 0) {
      shown += '?';
      ++i;
      continue;
    }
    const std::optional<std::string> c = Utf8ToCp932(std::string_view(utf8).substr(i, n));
    shown += c && !c->empty() && static_cast<uint8_t>((*c)[0]) >= 0x20 ? *c : "?";
    i += n;
  }
  if (shown == composition_) return;
  composition_ = std::move(shown);
  Repaint();
}

bool TextEntry::TakesText(Rect& caret) const {
  if (!editable_ || !Showing()) return false;
  const int32_t x = ScreenX() + CaretX(), y = ScreenY() + CaretY();
  caret = Rect{x, y, x + 1, Clamp32(int64_t{y} + RowHeight())};
  return true;
}

// ---- Scripts

const std::string& TextEntry::Label(int code) const {
  if (code == kEventFire) return changeLabel_;
  return TOrinControl::Label(code);
}

void TextEntry::SetLabel(int code, const std::string& label) {
  if (code == kEventFire)
    changeLabel_ = label;
  else
    TOrinControl::SetLabel(code, label);
}

void TextEntry::GetProp(int number, TCustomParam& dest) {
  switch (number) {
    case kPropText:
      dest.SetAsStr(text_);
      return;
    case kPropFontName:
      dest.SetAsStr(fontName_);
      return;
    case kPropFontSize:
      dest.SetAsInt(fontSize_);
      return;
    case kPropFontStyle:
      dest.SetAsInt(style_);
      return;
    case kPropTextColour:
      dest.SetAsInt(textColour_);
      return;
    case kPropAlignment:
      dest.SetAsInt(alignment_);
      return;
    case kPropEditFlag:
      dest.SetAsFlag(editable_);
      return;
    case kPropFireLabel:
      dest.SetAsStr(changeLabel_);
      return;
    case kPropOffsetX:
      dest.SetAsInt(scrollX_);
      return;
    case kPropOffsetY:
      dest.SetAsInt(scrollY_);
      return;
    case kPropCaretX:
      dest.SetAsInt(CaretX());
      return;
    case kPropCaretY:
      dest.SetAsInt(CaretY());
      return;
    case kPropRowHeight:
      dest.SetAsInt(RowHeight());
      return;
    default:
      TOrinControl::GetProp(number, dest);
  }
}

void TextEntry::SetProp(int number, const TCustomParam& value) {
  auto relayout = [&](auto& field, auto v) {
    if (field == v) return;
    field = v;
    TextChanged();
  };
  switch (number) {
    case kPropText:
      SetText(value.GetAsStr());
      return;
    case kPropFontName:
      relayout(fontName_, value.GetAsStr());
      return;
    case kPropFontSize:
      // Sizes a surface row could not hold are refused as the glyph cache would refuse them.
      relayout(fontSize_, std::clamp<int32_t>(value.GetAsInt(), 1, 1024));
      return;
    case kPropFontStyle:
      relayout(style_, static_cast<uint8_t>(value.GetAsInt()));
      return;
    case kPropTextColour:
      relayout(textColour_, value.GetAsInt());
      return;
    case kPropAlignment:
      relayout(alignment_, static_cast<uint8_t>(std::clamp<int32_t>(value.GetAsInt(), 0, 2)));
      return;
    case kPropEditFlag:
      editable_ = value.GetAsFlag();
      if (!editable_ && !composition_.empty()) {
        composition_.clear();
        Repaint();
      }
      return;
    case kPropFireLabel:
      changeLabel_ = value.GetAsStr();
      return;
    case kPropOffsetX:
      scrollX_ = std::max(value.GetAsInt(), 0);
      Repaint();
      return;
    case kPropOffsetY:
      scrollY_ = std::max(value.GetAsInt(), 0);
      Repaint();
      return;
    default:
      TOrinControl::SetProp(number, value);
  }
}

void TextEntry::Save(Stream& s, int version) const {
  TOrinControl::Save(s, version);
  WriteInt32(s, kSaveVersion);
  WriteString(s, fontName_);
  WriteInt32(s, fontSize_);
  WriteByte(s, style_);
  WriteInt32(s, textColour_);
  WriteByte(s, alignment_);
  WriteByte(s, editable_);
  WriteString(s, changeLabel_);
  WriteString(s, text_);
  WriteInt32(s, static_cast<int32_t>(caret_));
  WriteInt32(s, static_cast<int32_t>(anchor_));
  WriteInt32(s, scrollX_);
  WriteInt32(s, scrollY_);
}

void TextEntry::Load(Stream& s, int version) {
  TOrinControl::Load(s, version);
  const int32_t record = ReadInt32(s);
  if (record < 1 || record > kSaveVersion)
    throw Error(Format("entry field record of version %d cannot be read", record));
  fontName_ = ReadString(s);
  fontSize_ = std::clamp<int32_t>(ReadInt32(s), 1, 1024);
  style_ = ReadByte(s);
  textColour_ = ReadInt32(s);
  alignment_ = static_cast<uint8_t>(std::min<int>(ReadByte(s), 2));
  editable_ = ReadByte(s) != 0;
  changeLabel_ = ReadString(s);
  text_ = CutCp932(Normalise(ReadString(s), multiLine_), maxBytes_);
  const int32_t caret = ReadInt32(s), anchor = ReadInt32(s);
  scrollX_ = std::max(ReadInt32(s), 0);
  scrollY_ = std::max(ReadInt32(s), 0);
  composition_.clear();
  TextChanged();
  SetCaret(static_cast<size_t>(std::max(anchor, 0)));
  SetCaret(static_cast<size_t>(std::max(caret, 0)), true);
}

}  // namespace orin
