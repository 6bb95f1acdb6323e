// Toolbar: the dock strip above the panel with its two buttons, "終了" (quit) and "画面切替"
// (window / full screen), laid out, drawn and clicked by the host itself.
//
// The dock is as wide as the panel and kDockHeight (button height + 4) high; the buttons are
// 67 × 18, side by side from the dock's left edge, 2 pixels in. A button is drawn as a raised
// bevel, sunk while pressed with the pointer over it. A click is a press and a release on the
// same button. Captions are drawn by a CaptionRenderer when one is given (glyph drawing lives
// above this layer); without one the buttons stay blank.
#pragma once

#include <cstdint>
#include <string>

#include "imaging/geometry.h"
#include "shell/pixels.h"

namespace orin {

class CaptionRenderer {
 public:
  virtual ~CaptionRenderer() = default;
  // Draws a cp932 caption centred in `area` of the dock picture (already cut to it).
  virtual void DrawCaption(PixelBuffer& dock, const Rect& area, const std::string& caption,
                           bool pressed) = 0;
};

class Toolbar {
 public:
  enum class Button { kNone = -1, kQuit = 0, kScreenSwitch = 1 };

  static constexpr int kButtonWidth = 67;
  static constexpr int kButtonHeight = 18;
  static constexpr int kDockHeight = kButtonHeight + 4;
  static constexpr int kInset = 2;

  static constexpr uint32_t kFace = 0xD4D0C8;
  static constexpr uint32_t kHighlight = 0xFFFFFF;
  static constexpr uint32_t kShadow = 0x808080;
  static constexpr uint32_t kDarkShadow = 0x404040;

  explicit Toolbar(int width = 0);

  void SetWidth(int width);
  void SetCaptionRenderer(CaptionRenderer* renderer);

  Rect ButtonRect(Button b) const;
  Button HitTest(int x, int y) const;
  // Cp932 captions.
  static const std::string& Caption(Button b);

  // Pointer input in dock coordinates. MouseUp returns the button clicked, if any.
  void MouseDown(int x, int y);
  void MouseMove(int x, int y);
  Button MouseUp(int x, int y);
  // The button drawn sunk now.
  Button Pressed() const { return (pressed_ != Button::kNone && over_) ? pressed_ : Button::kNone; }

  // Whether the picture changed since the last Draw.
  bool NeedsRedraw() const { return dirty_; }
  const PixelBuffer& Draw();
  const PixelBuffer& Picture() const { return picture_; }

 private:
  void DrawButton(Button b);

  PixelBuffer picture_;
  CaptionRenderer* captions_ = nullptr;
  Button pressed_ = Button::kNone;
  bool over_ = false;
  bool dirty_ = true;
};

}  // namespace orin
