#include "shell/form_config.h"

#include <algorithm>
#include <array>

#include "core/cp932.h"
#include "core/error.h"
#include "core/text.h"
#include "imaging/font_pixel.h"

namespace orin {

using namespace literals;

namespace {

constexpr const char* kSection = "Sound";
constexpr const char* kDirectSoundKey = "DirectSound";
constexpr const char* kDelayTimeKey = "DelayTime";

constexpr int32_t kFontHeight = -12;

// Windows virtual keys the dialog answers.
constexpr int kVkTab = 0x09;
constexpr int kVkReturn = 0x0D;
constexpr int kVkShift = 0x10;
constexpr int kVkEscape = 0x1B;
constexpr int kVkSpace = 0x20;
constexpr int kVkPrior = 0x21;
constexpr int kVkNext = 0x22;
constexpr int kVkEnd = 0x23;
constexpr int kVkHome = 0x24;
constexpr int kVkLeft = 0x25;
constexpr int kVkUp = 0x26;
constexpr int kVkRight = 0x27;
constexpr int kVkDown = 0x28;
constexpr int kVkLShift = 0xA0;
constexpr int kVkRShift = 0xA1;

// The form's layout, client coordinates.
constexpr Rect kBevel{8, 8, 8 + 253, 8 + 113};
constexpr Rect kCheckBox{28, 24, 28 + 185, 24 + 17};
constexpr int kCheckBoxSide = 13;
constexpr int kDelayLabelX = 28, kDelayLabelY = 56;
// The value label is right-aligned; its right edge stays where the design's "500ms" ended.
constexpr int kValueRight = 205, kValueY = 56;
constexpr Rect kTrackBar{28, 72, 28 + 221, 72 + 25};
constexpr Rect kOkButton{100, 140, 100 + 75, 140 + 25};
constexpr Rect kCancelButton{180, 140, 180 + 75, 140 + 25};
// Thumb centres run from kTrackFirst to kTrackLast, one step per position.
constexpr int kTrackFirst = kTrackBar.Left + 10;
constexpr int kTrackLast = kTrackBar.Right - 11;
constexpr int kThumbHalf = 5;
constexpr int kThumbTop = kTrackBar.Top + 2;
constexpr int kThumbBody = 14;   // rows of the thumb's square part
constexpr int kThumbPoint = 5;   // rows of its point, below
constexpr int kTickTop = kThumbTop + kThumbBody + kThumbPoint + 1;

constexpr std::array<TFormConfig::Control, 4> kOrder{
    TFormConfig::Control::kCheckBox, TFormConfig::Control::kTrackBar, TFormConfig::Control::kOk,
    TFormConfig::Control::kCancel};

bool Contains(const Rect& r, int x, int y) {
  return x >= r.Left && x < r.Right && y >= r.Top && y < r.Bottom;
}

uint32_t Blend(uint32_t dest, uint32_t colour, uint32_t coverage) {
  uint32_t out = 0;
  for (int shift = 0; shift < 24; shift += 8) {
    const uint32_t d = (dest >> shift) & 0xFF, c = (colour >> shift) & 0xFF;
    out |= ((d * (255 - coverage) + c * coverage + 127) / 255) << shift;
  }
  return out;
}

const std::string& FontName() {
  return "ＭＳ Ｐゴシック"_sj;
}

}  // namespace

TFormConfig::TFormConfig(std::string readPath, std::string writePath, TFontPixelManager* glyphs)
    : writePath_(std::move(writePath)), glyphs_(glyphs) {
  picture_.Resize(kClientWidth, kClientHeight, kFace);
  ini_.Load(readPath);
  directSound_ = ini_.ReadBool(kSection, kDirectSoundKey, true);
  // The track bar holds the stored value to its range: 250 → 2, 50 → 1, 1234 → 5.
  SetPosition(ini_.ReadInteger(kSection, kDelayTimeKey, 500) / 100);
  focus_ = Control::kCheckBox;
}

const std::string& TFormConfig::Caption() {
  return "動作設定"_sj;
}

std::string TFormConfig::ValueText() const {
  return std::to_string(position_ * 100) + "ms";
}

void TFormConfig::SetDirectSound(bool on) {
  if (on == directSound_) return;
  directSound_ = on;
  // A focus left on a control that turns disabled moves on, as a dialog's does.
  if (!CanFocus(focus_)) MoveFocus(1);
  dirty_ = true;
}

void TFormConfig::SetPosition(int position) {
  position = std::clamp(position, kMinPosition, kMaxPosition);
  if (position == position_) return;
  position_ = position;
  dirty_ = true;
}

void TFormConfig::Ok() {
  IniFile out = ini_;
  out.WriteBool(kSection, kDirectSoundKey, directSound_);
  out.WriteInteger(kSection, kDelayTimeKey, position_ * 100);
  out.Save(writePath_);
  accepted_ = true;
  visible_ = false;
}

void TFormConfig::Cancel() {
  visible_ = false;
}

Rect TFormConfig::ControlRect(Control c) const {
  switch (c) {
    case Control::kCheckBox:
      return kCheckBox;
    case Control::kTrackBar:
      return kTrackBar;
    case Control::kOk:
      return kOkButton;
    case Control::kCancel:
      return kCancelButton;
  }
  return {};
}

bool TFormConfig::CanFocus(Control c) const {
  return c != Control::kTrackBar || DelayEnabled();
}

void TFormConfig::MoveFocus(int step) {
  int index = static_cast<int>(focus_);
  const int n = static_cast<int>(kOrder.size());
  for (int tries = 0; tries < n; ++tries) {
    index = ((index + step) % n + n) % n;
    if (CanFocus(kOrder[static_cast<size_t>(index)])) break;
  }
  focus_ = kOrder[static_cast<size_t>(index)];
  dirty_ = true;
}

void TFormConfig::Press(Control c) {
  switch (c) {
    case Control::kCheckBox:
      SetDirectSound(!directSound_);
      break;
    case Control::kOk:
      Ok();
      break;
    case Control::kCancel:
      Cancel();
      break;
    case Control::kTrackBar:
      break;
  }
}

void TFormConfig::HandleInput(const InputEvent& e) {
  if (!visible_) return;
  switch (e.Kind) {
    case InputKind::kKeyDown:
      KeyDown(e.Key);
      break;
    case InputKind::kKeyUp:
      if (e.Key == kVkShift || e.Key == kVkLShift || e.Key == kVkRShift) shift_ = false;
      break;
    case InputKind::kMouseDown:
      if (e.Button == MouseButton::kLeft) MouseDown(e.X, e.Y);
      break;
    case InputKind::kMouseMove:
      MouseMove(e.X, e.Y);
      break;
    case InputKind::kMouseUp:
      if (e.Button == MouseButton::kLeft) MouseUp(e.X, e.Y);
      break;
    case InputKind::kClose:
      Cancel();
      break;
    case InputKind::kDeactivate:
      // A drag does not survive losing the pointer to another window.
      pressed_ = -1;
      dragging_ = false;
      shift_ = false;
      dirty_ = true;
      break;
    case InputKind::kWheel:
    case InputKind::kActivate:
    case InputKind::kTextInput:
    case InputKind::kTextEditing:
      break;
  }
}

void TFormConfig::KeyDown(int vk) {
  switch (vk) {
    case kVkShift:
    case kVkLShift:
    case kVkRShift:
      shift_ = true;
      return;
    case kVkTab:
      MoveFocus(shift_ ? -1 : 1);
      return;
    case kVkEscape:
      Cancel();
      return;
    case kVkReturn:
      Press(focus_ == Control::kCancel ? Control::kCancel : Control::kOk);
      return;
    case kVkSpace:
      if (focus_ != Control::kTrackBar) Press(focus_);
      return;
    case 'S':
      SetDirectSound(!directSound_);
      focus_ = Control::kCheckBox;
      dirty_ = true;
      return;
    case 'D':
      // The label's mnemonic hands the focus to the track bar, when that can take it.
      if (CanFocus(Control::kTrackBar)) {
        focus_ = Control::kTrackBar;
        dirty_ = true;
      }
      return;
    default:
      break;
  }
  if (focus_ == Control::kTrackBar) {
    switch (vk) {
      case kVkLeft:
      case kVkUp:
      case kVkPrior:
        SetPosition(position_ - 1);
        break;
      case kVkRight:
      case kVkDown:
      case kVkNext:
        SetPosition(position_ + 1);
        break;
      case kVkHome:
        SetPosition(kMinPosition);
        break;
      case kVkEnd:
        SetPosition(kMaxPosition);
        break;
      default:
        break;
    }
    return;
  }
  if (vk == kVkLeft || vk == kVkUp) MoveFocus(-1);
  if (vk == kVkRight || vk == kVkDown) MoveFocus(1);
}

int TFormConfig::ThumbCentre(int position) const {
  return kTrackFirst + (position - kMinPosition) * (kTrackLast - kTrackFirst) /
                           (kMaxPosition - kMinPosition);
}

int TFormConfig::PositionAt(int x) const {
  const int step = (kTrackLast - kTrackFirst) / (kMaxPosition - kMinPosition);
  const int offset = std::clamp(x - kTrackFirst, 0, kTrackLast - kTrackFirst);
  return kMinPosition + (offset + step / 2) / step;
}

void TFormConfig::MouseDown(int x, int y) {
  pressed_ = -1;
  for (Control c : kOrder) {
    if (!Contains(ControlRect(c), x, y) || !CanFocus(c)) continue;
    focus_ = c;
    pressed_ = static_cast<int>(c);
    over_ = true;
    dirty_ = true;
    if (c == Control::kTrackBar) {
      const int centre = ThumbCentre(position_);
      if (x >= centre - kThumbHalf && x <= centre + kThumbHalf) {
        dragging_ = true;
      } else {
        // A click beside the thumb pages toward the pointer (the page size is one step).
        SetPosition(position_ + (x < centre ? -1 : 1));
      }
    }
    return;
  }
}

void TFormConfig::MouseMove(int x, int y) {
  if (pressed_ < 0) return;
  if (dragging_) {
    SetPosition(PositionAt(x));
    return;
  }
  const bool over = Contains(ControlRect(static_cast<Control>(pressed_)), x, y);
  if (over != over_) dirty_ = true;
  over_ = over;
}

void TFormConfig::MouseUp(int x, int y) {
  if (pressed_ < 0) return;
  const auto c = static_cast<Control>(pressed_);
  const bool wasDragging = dragging_;
  pressed_ = -1;
  dragging_ = false;
  dirty_ = true;
  if (wasDragging) {
    SetPosition(PositionAt(x));
    return;
  }
  if (c != Control::kTrackBar && Contains(ControlRect(c), x, y)) Press(c);
}

// --- Drawing ---

int TFormConfig::TextWidth(const std::string& text, bool mnemonics) {
  if (glyphs_ == nullptr) return 0;
  int width = 0;
  bool escaped = false;
  ForEachChar(text, [&](size_t at, size_t length) {
    if (mnemonics && length == 1 && text[at] == '&' && !escaped) {
      escaped = true;
      return;
    }
    escaped = false;
    try {
      const auto glyph = glyphs_->GetGlyph(CharCodeAt(text, at), FontName(), 0, kFontHeight);
      width += glyph->XOffset + glyph->CoverageWidth + glyph->ExtraAdvance;
    } catch (const Error&) {
    }
  });
  return width;
}

void TFormConfig::DrawText(int x, int y, const std::string& text, uint32_t colour,
                           bool mnemonics) {
  if (glyphs_ == nullptr) return;
  bool escaped = false;
  bool underlineNext = false;
  ForEachChar(text, [&](size_t at, size_t length) {
    if (mnemonics && length == 1 && text[at] == '&' && !escaped) {
      escaped = true;
      return;
    }
    underlineNext = mnemonics && escaped && text[at] != '&';
    escaped = false;
    TFontPixelManager::GlyphPtr glyph;
    try {
      glyph = glyphs_->GetGlyph(CharCodeAt(text, at), FontName(), 0, kFontHeight);
    } catch (const Error&) {
      return;
    }
    const int left = x + glyph->XOffset, top = y + glyph->YOffset;
    for (int row = 0; row < glyph->CoverageHeight; ++row) {
      const int py = top + row;
      if (py < 0 || py >= picture_.Height()) continue;
      for (int col = 0; col < glyph->CoverageWidth; ++col) {
        const int px = left + col;
        if (px < 0 || px >= picture_.Width()) continue;
        const uint8_t cover =
            glyph->Coverage[static_cast<size_t>(row) * static_cast<size_t>(glyph->CoverageWidth) +
                            static_cast<size_t>(col)];
        if (cover != 0) picture_.SetPixel(px, py, Blend(picture_.Pixel(px, py), colour, cover));
      }
    }
    const int advance = glyph->XOffset + glyph->CoverageWidth + glyph->ExtraAdvance;
    if (underlineNext) {
      const int lineY = y + glyphs_->Ascent() + 1;
      picture_.FillRect({x, lineY, x + advance, lineY + 1}, colour);
    }
    x += advance;
  });
}

void TFormConfig::DrawLabel(int x, int y, const std::string& text, bool enabled, bool mnemonics) {
  if (enabled) {
    DrawText(x, y, text, kText, mnemonics);
    return;
  }
  // The embossed grey of a disabled control.
  DrawText(x + 1, y + 1, text, kHighlight, mnemonics);
  DrawText(x, y, text, kShadow, mnemonics);
}

void TFormConfig::DrawFocus(const Rect& r) {
  // Every other pixel, as the system's focus rectangle.
  for (int x = r.Left; x < r.Right; ++x) {
    if ((x - r.Left) % 2 != 0) continue;
    picture_.FillRect({x, r.Top, x + 1, r.Top + 1}, kText);
    picture_.FillRect({x, r.Bottom - 1, x + 1, r.Bottom}, kText);
  }
  for (int y = r.Top; y < r.Bottom; ++y) {
    if ((y - r.Top) % 2 != 0) continue;
    picture_.FillRect({r.Left, y, r.Left + 1, y + 1}, kText);
    picture_.FillRect({r.Right - 1, y, r.Right, y + 1}, kText);
  }
}

void TFormConfig::DrawButton(Control c, const std::string& caption) {
  Rect r = ControlRect(c);
  const bool sunk = pressed_ == static_cast<int>(c) && over_;
  // The default button carries a dark frame: the focused button, or OK when the focus is
  // elsewhere.
  const bool isDefault = focus_ == c || (c == Control::kOk && focus_ != Control::kCancel);
  if (isDefault) {
    picture_.FillRect(r, kText);
    r = {r.Left + 1, r.Top + 1, r.Right - 1, r.Bottom - 1};
  }
  picture_.FillRect(r, kFace);
  if (sunk) {
    picture_.FillRect({r.Left, r.Top, r.Right, r.Top + 1}, kShadow);
    picture_.FillRect({r.Left, r.Top, r.Left + 1, r.Bottom}, kShadow);
    picture_.FillRect({r.Left, r.Bottom - 1, r.Right, r.Bottom}, kShadow);
    picture_.FillRect({r.Right - 1, r.Top, r.Right, r.Bottom}, kShadow);
  } else {
    picture_.FillRect({r.Left, r.Top, r.Right, r.Top + 1}, kHighlight);
    picture_.FillRect({r.Left, r.Top, r.Left + 1, r.Bottom}, kHighlight);
    picture_.FillRect({r.Left, r.Bottom - 1, r.Right, r.Bottom}, kDarkShadow);
    picture_.FillRect({r.Right - 1, r.Top, r.Right, r.Bottom}, kDarkShadow);
    picture_.FillRect({r.Left + 1, r.Bottom - 2, r.Right - 1, r.Bottom - 1}, kShadow);
    picture_.FillRect({r.Right - 2, r.Top + 1, r.Right - 1, r.Bottom - 1}, kShadow);
  }
  const int shift = sunk ? 1 : 0;
  const int width = TextWidth(caption, false);
  const int textX = (r.Left + r.Right - width) / 2 + shift;
  const int textY = (r.Top + r.Bottom - 12) / 2 + shift;
  DrawText(textX, textY, caption, kText, false);
  if (focus_ == c) DrawFocus({r.Left + 3, r.Top + 3, r.Right - 3, r.Bottom - 3});
}

void TFormConfig::DrawCheckBox() {
  const int boxTop = kCheckBox.Top + (kCheckBox.Height() - kCheckBoxSide) / 2;
  const Rect box{kCheckBox.Left, boxTop, kCheckBox.Left + kCheckBoxSide, boxTop + kCheckBoxSide};
  const bool sunk = pressed_ == static_cast<int>(Control::kCheckBox) && over_;
  picture_.FillRect(box, kHighlight);
  picture_.FillRect({box.Left, box.Top, box.Right - 1, box.Top + 1}, kShadow);
  picture_.FillRect({box.Left, box.Top, box.Left + 1, box.Bottom - 1}, kShadow);
  picture_.FillRect({box.Left + 1, box.Top + 1, box.Right - 2, box.Top + 2}, kDarkShadow);
  picture_.FillRect({box.Left + 1, box.Top + 1, box.Left + 2, box.Bottom - 2}, kDarkShadow);
  picture_.FillRect({box.Left + 1, box.Bottom - 2, box.Right - 1, box.Bottom - 1}, kFace);
  picture_.FillRect({box.Right - 2, box.Top + 1, box.Right - 1, box.Bottom - 1}, kFace);
  if (sunk) picture_.FillRect({box.Left + 2, box.Top + 2, box.Right - 2, box.Bottom - 2}, kFace);
  if (directSound_) {
    // The tick: a short stroke down and a long one up, three pixels thick.
    const int x0 = box.Left + 3, y0 = box.Top + 5;
    for (int i = 0; i < 7; ++i) {
      const int y = i < 3 ? y0 + i : y0 + 4 - i;
      picture_.FillRect({x0 + i, y, x0 + i + 1, y + 3}, kText);
    }
  }
  const int textX = kCheckBox.Left + kCheckBoxSide + 4;
  const int textY = kCheckBox.Top + (kCheckBox.Height() - 12) / 2;
  const std::string& caption = "DirectSoundを使用する(&S)"_sj;
  DrawText(textX, textY, caption, kText, true);
  if (focus_ == Control::kCheckBox)
    DrawFocus({textX - 1, textY - 1, textX + TextWidth(caption, true) + 1, textY + 14});
}

void TFormConfig::DrawTrackBar() {
  const bool enabled = DelayEnabled();
  // The channel: a sunk groove the thumbs' centres run along.
  const Rect channel{kTrackFirst - 4, kThumbTop + 6, kTrackLast + 5, kThumbTop + 10};
  picture_.FillRect(channel, kHighlight);
  picture_.FillRect({channel.Left, channel.Top, channel.Right - 1, channel.Top + 1}, kShadow);
  picture_.FillRect({channel.Left, channel.Top, channel.Left + 1, channel.Bottom - 1}, kShadow);
  picture_.FillRect({channel.Left + 1, channel.Top + 1, channel.Right - 2, channel.Top + 2},
                    kDarkShadow);
  for (int p = kMinPosition; p <= kMaxPosition; ++p) {
    const int x = ThumbCentre(p);
    picture_.FillRect({x, kTickTop, x + 1, kTickTop + 3}, kText);
  }
  // The thumb, pointing down at the ticks.
  const int c = ThumbCentre(position_);
  const uint32_t face = enabled ? kFace : kHighlight;
  for (int row = 0; row < kThumbBody + kThumbPoint; ++row) {
    const int inset = row < kThumbBody ? 0 : row - kThumbBody + 1;
    const int left = c - kThumbHalf + inset, right = c + kThumbHalf - inset;
    const int y = kThumbTop + row;
    if (right < left) break;
    picture_.FillRect({left, y, right + 1, y + 1}, face);
    if (!enabled) {
      // The dither of a disabled thumb.
      for (int x = left; x <= right; ++x)
        if ((x + y) % 2 == 0) picture_.SetPixel(x, y, kFace);
    }
    picture_.SetPixel(left, y, kHighlight);
    picture_.SetPixel(right, y, kDarkShadow);
    if (right - 1 > left) picture_.SetPixel(right - 1, y, kShadow);
  }
  picture_.FillRect({c - kThumbHalf, kThumbTop, c + kThumbHalf, kThumbTop + 1}, kHighlight);
  if (focus_ == Control::kTrackBar) DrawFocus(kTrackBar);
}

const PixelBuffer& TFormConfig::Draw() {
  picture_.Fill(kFace);
  // The frame around the settings: an etched bevel.
  const Rect& b = kBevel;
  picture_.FillRect({b.Left, b.Top, b.Right - 1, b.Top + 1}, kShadow);
  picture_.FillRect({b.Left, b.Top, b.Left + 1, b.Bottom - 1}, kShadow);
  picture_.FillRect({b.Left, b.Bottom - 1, b.Right, b.Bottom}, kHighlight);
  picture_.FillRect({b.Right - 1, b.Top, b.Right, b.Bottom}, kHighlight);

  DrawCheckBox();
  DrawLabel(kDelayLabelX, kDelayLabelY, "サウンドの遅延時間(&D)："_sj, DelayEnabled(), true);
  const std::string value = ValueText();
  DrawLabel(kValueRight - TextWidth(value, false), kValueY, value, DelayEnabled(), false);
  DrawTrackBar();
  DrawButton(Control::kOk, "OK");
  DrawButton(Control::kCancel, "キャンセル"_sj);
  dirty_ = false;
  return picture_;
}

bool RunConfigDialog(Platform& platform, TFormConfig& dialog,
                     const std::function<bool(int64_t framesRun)>& keepGoing) {
  platform.CreateWindow(
      WindowLayout{TFormConfig::Caption(), TFormConfig::kClientWidth, TFormConfig::kClientHeight, 0});
  int64_t frames = 0;
  std::vector<InputEvent> events;
  while (dialog.Visible()) {
    events.clear();
    platform.PollEvents(frames, events);
    for (const InputEvent& e : events) {
      if (!dialog.Visible()) break;
      try {
        dialog.HandleInput(e);
      } catch (const Error& error) {
        platform.ShowMessage(TFormConfig::Caption(), error.Message(), MessageButtons::kOk,
                             MessageIcon::kError);
      }
    }
    if (dialog.NeedsRedraw()) {
      const PixelBuffer& picture = dialog.Draw();
      platform.Present(picture.View(), {picture.Bounds()});
    }
    ++frames;
    if (!dialog.Visible()) break;
    if (!keepGoing(frames)) {
      dialog.Cancel();
      break;
    }
    // Nothing moves in the dialog by itself: it sleeps until input comes.
    if (events.empty()) platform.WaitEvents(100);
  }
  return dialog.Accepted();
}

}  // namespace orin
