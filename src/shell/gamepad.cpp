#include "shell/gamepad.h"

#include <algorithm>
#include <cmath>

namespace orin {

namespace {

constexpr int kVkReturn = 0x0D;
constexpr int kVkEscape = 0x1B;
constexpr int kVkLeft = 0x25;
constexpr int kVkUp = 0x26;
constexpr int kVkRight = 0x27;
constexpr int kVkDown = 0x28;

int KeyOf(PadButton b) {
  switch (b) {
    case PadButton::kUp:
      return kVkUp;
    case PadButton::kDown:
      return kVkDown;
    case PadButton::kLeft:
      return kVkLeft;
    case PadButton::kRight:
      return kVkRight;
    case PadButton::kStart:
      return kVkReturn;
    case PadButton::kBack:
      return kVkEscape;
    default:
      return 0;
  }
}

}  // namespace

void GamepadMapper::SetPanelSize(int width, int height) {
  if (width == width_ && height == height_) return;
  width_ = width;
  height_ = height;
  x_ = std::clamp<double>(x_, 0, std::max(0, width_ - 1));
  y_ = std::clamp<double>(y_, 0, std::max(0, height_ - 1));
}

void GamepadMapper::PointerMoved(int x, int y) {
  // The pointer the stick itself put there keeps its fraction of a pixel.
  if (x == PointerX() && y == PointerY()) return;
  x_ = std::clamp<double>(x, 0, std::max(0, width_ - 1));
  y_ = std::clamp<double>(y, 0, std::max(0, height_ - 1));
}

void GamepadMapper::Button(PadButton button, bool down, std::vector<InputEvent>& out) {
  const auto held = std::find(held_.begin(), held_.end(), button);
  // A release without its press (the press came before we listened) is no input.
  if (down == (held != held_.end())) return;
  if (down)
    held_.push_back(button);
  else
    held_.erase(held);
  const int x = PointerX(), y = PointerY();
  switch (button) {
    case PadButton::kA:
    case PadButton::kB: {
      const MouseButton mouse = button == PadButton::kA ? MouseButton::kLeft : MouseButton::kRight;
      out.push_back(down ? InputEvent::MouseDown(mouse, x, y) : InputEvent::MouseUp(mouse, x, y));
      return;
    }
    case PadButton::kLeftShoulder:
    case PadButton::kRightShoulder:
      if (down) out.push_back(InputEvent::Wheel(button == PadButton::kRightShoulder));
      return;
    default:
      if (const int key = KeyOf(button); key != 0)
        out.push_back(down ? InputEvent::KeyDown(key) : InputEvent::KeyUp(key));
      return;
  }
}

void GamepadMapper::Axis(PadAxis axis, int value) {
  if (axis == PadAxis::kLeftX) stickX_ = value;
  if (axis == PadAxis::kLeftY) stickY_ = value;
}

double GamepadMapper::Speed(int value) {
  const int magnitude = std::abs(value);
  if (magnitude <= kDeadZone) return 0;
  // Quadratic past the dead zone: fine control near the middle, speed at full tilt.
  const double t = std::min(1.0, (magnitude - kDeadZone) / double(32767 - kDeadZone));
  return (value < 0 ? -1 : 1) * t * t * kMaxSpeed;
}

void GamepadMapper::Tick(uint32_t ms, std::vector<InputEvent>& out) {
  const double vx = Speed(stickX_), vy = Speed(stickY_);
  if ((vx == 0 && vy == 0) || width_ <= 0 || height_ <= 0) return;
  const int beforeX = PointerX(), beforeY = PointerY();
  // Long gaps (a stalled frame) do not throw the pointer across the screen.
  const double seconds = std::min<uint32_t>(ms, 100) / 1000.0;
  x_ = std::clamp(x_ + vx * seconds, 0.0, double(width_ - 1));
  y_ = std::clamp(y_ + vy * seconds, 0.0, double(height_ - 1));
  if (PointerX() != beforeX || PointerY() != beforeY) out.push_back(InputEvent::MouseMove(PointerX(), PointerY()));
}

void GamepadMapper::AllRemoved(std::vector<InputEvent>& out) {
  while (!held_.empty()) Button(held_.back(), false, out);
  stickX_ = stickY_ = 0;
}

}  // namespace orin
