#include "shell/gamepad.h"

#include <gtest/gtest.h>

namespace orin {
namespace {

std::string Describe(const InputEvent& e) {
  switch (e.Kind) {
    case InputKind::kKeyDown:
      return "down " + std::to_string(e.Key);
    case InputKind::kKeyUp:
      return "up " + std::to_string(e.Key);
    case InputKind::kMouseDown:
    case InputKind::kMouseUp:
      return std::string(e.Kind == InputKind::kMouseDown ? "press " : "release ") +
             (e.Button == MouseButton::kLeft ? "left " : "right ") + std::to_string(e.X) + "," + std::to_string(e.Y);
    case InputKind::kMouseMove:
      return "move " + std::to_string(e.X) + "," + std::to_string(e.Y);
    case InputKind::kWheel:
      return e.WheelDown ? "wheel down" : "wheel up";
    default:
      return "other";
  }
}

std::vector<std::string> Press(GamepadMapper& pad, PadButton b) {
  std::vector<InputEvent> out;
  pad.Button(b, true, out);
  pad.Button(b, false, out);
  std::vector<std::string> d;
  for (const auto& e : out) d.push_back(Describe(e));
  return d;
}

TEST(GamepadMapper, ButtonsBecomeClicksWheelStepsAndKeys) {
  GamepadMapper pad;
  pad.SetPanelSize(640, 480);
  pad.PointerMoved(100, 50);
  const struct {
    PadButton button;
    std::vector<std::string> events;
  } cases[] = {
      {PadButton::kA, {"press left 100,50", "release left 100,50"}},
      {PadButton::kB, {"press right 100,50", "release right 100,50"}},
      {PadButton::kLeftShoulder, {"wheel up"}},
      {PadButton::kRightShoulder, {"wheel down"}},
      {PadButton::kUp, {"down 38", "up 38"}},
      {PadButton::kDown, {"down 40", "up 40"}},
      {PadButton::kLeft, {"down 37", "up 37"}},
      {PadButton::kRight, {"down 39", "up 39"}},
      {PadButton::kStart, {"down 13", "up 13"}},
      {PadButton::kBack, {"down 27", "up 27"}},
      {PadButton::kX, {}},
      {PadButton::kGuide, {}},
  };
  for (const auto& c : cases) EXPECT_EQ(Press(pad, c.button), c.events) << static_cast<int>(c.button);
}

TEST(GamepadMapper, StickMovesThePointerWithinThePanel) {
  GamepadMapper pad;
  pad.SetPanelSize(640, 480);
  pad.PointerMoved(320, 240);
  std::vector<InputEvent> out;
  // Inside the dead zone nothing moves.
  pad.Axis(PadAxis::kLeftX, GamepadMapper::kDeadZone);
  pad.Tick(16, out);
  EXPECT_TRUE(out.empty());
  // Full tilt right and up: kMaxSpeed pixels a second.
  pad.Axis(PadAxis::kLeftX, 32767);
  pad.Axis(PadAxis::kLeftY, -32768);
  pad.Tick(100, out);
  ASSERT_EQ(out.size(), 1u);
  EXPECT_EQ(Describe(out[0]), "move 410,150");
  // A long stall moves no further than 100 ms would; the edges hold the pointer.
  for (int i = 0; i < 20; ++i) pad.Tick(5000, out);
  EXPECT_EQ(Describe(out.back()), "move 639,0");
  // Slow tilts add up across frames.
  pad.PointerMoved(0, 0);
  pad.Axis(PadAxis::kLeftX, 12000);
  pad.Axis(PadAxis::kLeftY, 0);
  out.clear();
  for (int i = 0; i < 100; ++i) pad.Tick(16, out);
  EXPECT_GT(pad.PointerX(), 5);
  EXPECT_EQ(pad.PointerY(), 0);
}

TEST(GamepadMapper, UnplugReleasesWhatWasHeldAndStrayReleasesAreDropped) {
  GamepadMapper pad;
  pad.SetPanelSize(64, 48);
  std::vector<InputEvent> out;
  pad.Button(PadButton::kA, false, out);  // pressed before we listened
  EXPECT_TRUE(out.empty());
  pad.Button(PadButton::kA, true, out);
  pad.Button(PadButton::kUp, true, out);
  pad.Axis(PadAxis::kLeftX, 32767);
  out.clear();
  pad.AllRemoved(out);
  std::vector<std::string> d;
  for (const auto& e : out) d.push_back(Describe(e));
  EXPECT_EQ(d, (std::vector<std::string>{"up 38", "release left 0,0"}));
  out.clear();
  pad.Tick(100, out);
  EXPECT_TRUE(out.empty()) << "the stick is centred";
}

}  // namespace
}  // namespace orin
