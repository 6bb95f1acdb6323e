// GamepadMapper: what a game controller does in the player, as a pure function from controller
// events to the player's own input — so the mapping is tested without a device, and the SDL back
// end only translates its events into these.
//
//   left stick     moves the pointer (speed grows with the tilt; a dead zone in the middle)
//   A / B          left / right mouse button at the pointer
//   shoulders      wheel: left one step up, right one step down
//   d-pad          the arrow keys
//   Start / Back   Enter / Escape
// Other buttons and axes do nothing. A controller that goes away releases what it held.
#pragma once

#include <cstdint>
#include <vector>

#include "shell/platform.h"

namespace orin {

enum class PadButton {
  kA, kB, kX, kY, kBack, kGuide, kStart, kLeftStick, kRightStick, kLeftShoulder, kRightShoulder,
  kUp, kDown, kLeft, kRight, kOther,
};
enum class PadAxis { kLeftX, kLeftY, kOther };

class GamepadMapper {
 public:
  static constexpr int kDeadZone = 8000;          // of 32767
  static constexpr double kMaxSpeed = 900.0;      // panel pixels per second at full tilt

  // The panel the pointer stays in.
  void SetPanelSize(int width, int height);
  // The real pointer moved there (panel coordinates): the stick goes on from it.
  void PointerMoved(int x, int y);
  void Button(PadButton button, bool down, std::vector<InputEvent>& out);
  // value: −32768 … 32767, as controllers report.
  void Axis(PadAxis axis, int value);
  // ms since the last tick: moves the pointer by the stick's tilt.
  void Tick(uint32_t ms, std::vector<InputEvent>& out);
  // Every controller went away: held buttons and keys are released, the stick is centred.
  void AllRemoved(std::vector<InputEvent>& out);

  int PointerX() const { return static_cast<int>(x_); }
  int PointerY() const { return static_cast<int>(y_); }

 private:
  static double Speed(int value);

  int width_ = 0;
  int height_ = 0;
  double x_ = 0;
  double y_ = 0;
  int stickX_ = 0;
  int stickY_ = 0;
  std::vector<PadButton> held_;
};

}  // namespace orin
