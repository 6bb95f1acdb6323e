#include "shell/toolbar.h"

#include "core/text.h"

namespace orin {

using namespace literals;

Toolbar::Toolbar(int width) {
  SetWidth(width);
}

void Toolbar::SetWidth(int width) {
  picture_.Resize(width, kDockHeight, kFace);
  dirty_ = true;
}

void Toolbar::SetCaptionRenderer(CaptionRenderer* renderer) {
  captions_ = renderer;
  dirty_ = true;
}

Rect Toolbar::ButtonRect(Button b) const {
  if (b == Button::kNone) return {};
  const int left = kInset + static_cast<int>(b) * kButtonWidth;
  return Rect{left, kInset, left + kButtonWidth, kInset + kButtonHeight};
}

Toolbar::Button Toolbar::HitTest(int x, int y) const {
  for (Button b : {Button::kQuit, Button::kScreenSwitch}) {
    const Rect r = ButtonRect(b);
    if (x >= r.Left && x < r.Right && y >= r.Top && y < r.Bottom && r.Right <= picture_.Width())
      return b;
  }
  return Button::kNone;
}

const std::string& Toolbar::Caption(Button b) {
  static const std::string none;
  switch (b) {
    case Button::kQuit:
      return "終了"_sj;
    case Button::kScreenSwitch:
      return "画面切替"_sj;
    case Button::kNone:
      break;
  }
  return none;
}

void Toolbar::MouseDown(int x, int y) {
  pressed_ = HitTest(x, y);
  over_ = pressed_ != Button::kNone;
  if (pressed_ != Button::kNone) dirty_ = true;
}

void Toolbar::MouseMove(int x, int y) {
  if (pressed_ == Button::kNone) return;
  const bool over = HitTest(x, y) == pressed_;
  if (over != over_) dirty_ = true;
  over_ = over;
}

Toolbar::Button Toolbar::MouseUp(int x, int y) {
  const Button clicked =
      (pressed_ != Button::kNone && HitTest(x, y) == pressed_) ? pressed_ : Button::kNone;
  if (pressed_ != Button::kNone) dirty_ = true;
  pressed_ = Button::kNone;
  over_ = false;
  return clicked;
}

void Toolbar::DrawButton(Button b) {
  Rect r;
  if (!IntersectRect(r, ButtonRect(b), picture_.Bounds()) || r != ButtonRect(b)) return;
  const bool sunk = Pressed() == b;
  picture_.FillRect(r, kFace);
  const uint32_t topLeft = sunk ? kDarkShadow : kHighlight;
  const uint32_t bottomRight = sunk ? kHighlight : kDarkShadow;
  const uint32_t inner = sunk ? kFace : kShadow;
  picture_.FillRect({r.Left, r.Top, r.Right, r.Top + 1}, topLeft);
  picture_.FillRect({r.Left, r.Top, r.Left + 1, r.Bottom}, topLeft);
  picture_.FillRect({r.Left, r.Bottom - 1, r.Right, r.Bottom}, bottomRight);
  picture_.FillRect({r.Right - 1, r.Top, r.Right, r.Bottom}, bottomRight);
  picture_.FillRect({r.Left + 1, r.Bottom - 2, r.Right - 1, r.Bottom - 1}, inner);
  picture_.FillRect({r.Right - 2, r.Top + 1, r.Right - 1, r.Bottom - 1}, inner);
  if (captions_ != nullptr) {
    Rect face{r.Left + 2, r.Top + 2, r.Right - 2, r.Bottom - 2};
    if (sunk) face = {face.Left + 1, face.Top + 1, face.Right + 1, face.Bottom + 1};
    captions_->DrawCaption(picture_, face, Caption(b), sunk);
  }
}

const PixelBuffer& Toolbar::Draw() {
  picture_.Fill(kFace);
  DrawButton(Button::kQuit);
  DrawButton(Button::kScreenSwitch);
  dirty_ = false;
  return picture_;
}

}  // namespace orin
