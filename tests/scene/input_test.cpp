// Pointer dispatch, focus and the keyboard tables of the scene container.
#include <gtest/gtest.h>

#include <algorithm>

#include "scene/model/property_table.h"
#include "scene/scene_test_support.h"

namespace orin {
namespace {

using test::Scene;
using Lines = std::vector<std::string>;

// A box at (10, 20) under a parent at (5, 5), with every pointer label set.
struct PointerScene : Scene {
  PointerScene() : parent(Box("parent", 5, 5, 50, 50)), box(Box("box", 10, 20, 20, 10, -1, &parent)) {
    for (int code : {34, 35, 36, 37, 38, 39, 40, 41, 103}) box.SetLabel(code, std::string("p:").append(std::to_string(code)));
  }
  TOrinBox& parent;
  TOrinBox& box;
};

TEST(Pointer, PressAndReleaseCarryCoordinatesRelativeToTheObject) {
  PointerScene s;
  s.list.MouseMove(17, 27);
  s.Frame(16);
  EXPECT_EQ(s.Events(), (Lines{"103 p:103", "34 p:34 2,2"}));
  s.HandleEvents();
  s.list.MouseDown(MouseButton::kLeft, 18, 28);
  s.Frame(16);
  EXPECT_TRUE(s.list.ActiveRoot().LClick());
  EXPECT_TRUE(s.list.ActiveRoot().LPush());
  EXPECT_EQ(s.Events(), (Lines{"36 p:36 3,3", "34 p:34 3,3"}));
  EXPECT_TRUE(s.box.Pressed());
  s.HandleEvents();
  // The press is a pulse of one frame.
  s.Frame(16);
  EXPECT_FALSE(s.list.ActiveRoot().LClick());
  // While held, the pressed object follows the pointer even outside it, with no enter or leave.
  s.list.MouseMove(200, 5);
  s.Frame(16);
  EXPECT_EQ(s.Events(), (Lines{"34 p:34 185,-20"}));
  s.HandleEvents();
  s.list.MouseUp(MouseButton::kLeft, 200, 5);
  s.Frame(16);
  // The release goes to the pressed object; then the pointer is found to be elsewhere.
  EXPECT_EQ(s.Events(), (Lines{"37 p:37 185,-20", "35 p:35"}));
  EXPECT_FALSE(s.box.Pressed());
  EXPECT_FALSE(s.list.ActiveRoot().LPush());
}

TEST(Pointer, EventsOfACodeAreNotQueuedTwiceWhilePending) {
  PointerScene s;
  s.list.MouseMove(17, 27);
  s.Frame(16);
  s.list.MouseMove(18, 27);
  s.Frame(16);
  s.list.MouseDown(MouseButton::kRight, 18, 27);
  s.list.MouseUp(MouseButton::kRight, 18, 27);
  s.list.MouseDown(MouseButton::kRight, 19, 27);
  s.Frame(16);
  // One move (the first is still pending), one right press, one right release.
  EXPECT_EQ(s.Events(), (Lines{"103 p:103", "34 p:34 2,2", "38 p:38 3,2", "39 p:39 3,2"}));
}

TEST(Pointer, InputModesAndStoppedDecideWhichEventsAreRaised) {
  struct Case {
    uint8_t mode;
    bool stopped;
    Lines expect;
  };
  const Case cases[] = {
      {0, false, {"103 p:103", "36 p:36 1,1", "38 p:38 1,1", "40 p:40"}},
      // Hover only: the presses fall through to the parent (which has no labels).
      {2, false, {"103 p:103", "40 p:40"}},
      {3, false, {"103 p:103", "38 p:38 1,1", "40 p:40"}},
      {4, false, {"103 p:103", "36 p:36 1,1", "40 p:40"}},
      {1, false, {}},
      // A stopped object still takes the pointer but raises nothing.
      {0, true, {}},
  };
  for (const Case& c : cases) {
    PointerScene s;
    test::SetInt(s.box, kPropInputMode, c.mode);
    s.box.SetStopped(c.stopped);
    s.list.MouseMove(16, 26);
    s.Frame(16);
    s.list.MouseDown(MouseButton::kLeft, 16, 26);
    s.list.MouseDown(MouseButton::kRight, 16, 26);
    s.list.MouseWheel(true);
    s.Frame(16);
    Lines got = s.Events();
    // The move event is not what this table is about.
    std::erase_if(got, [](const std::string& l) { return l.starts_with("34 "); });
    EXPECT_EQ(got, c.expect) << "mode " << int(c.mode) << (c.stopped ? " stopped" : "");
  }
}

TEST(Pointer, WheelAndPressOnNothingSetTheFlagsOnly) {
  PointerScene s;
  s.list.MouseMove(1, 1);
  s.list.MouseDown(MouseButton::kLeft, 1, 1);
  s.list.MouseWheel(false);
  s.Frame(16);
  EXPECT_TRUE(s.list.ActiveRoot().LClick());
  EXPECT_TRUE(s.list.ActiveRoot().WheelUp());
  EXPECT_FALSE(s.list.ActiveRoot().WheelDown());
  EXPECT_TRUE(s.Events().empty());
}

// A control that closes on a right press, as a menu with its cancel flag does.
class CancelMenu : public TOrinControl {
 public:
  using TOrinControl::TOrinControl;
  bool OfferCancel() override {
    ++offers;
    return takes;
  }
  int offers = 0;
  bool takes = true;
};

TEST(Pointer, RightPressIsOfferedToMenusFirst) {
  PointerScene s;
  auto* menu = s.list.Make<CancelMenu>();
  s.list.RegisterMenu(menu);
  s.list.MouseDown(MouseButton::kRight, 16, 26);
  s.Frame(16);
  EXPECT_EQ(menu->offers, 1);
  Lines got = s.Events();
  EXPECT_TRUE(std::find(got.begin(), got.end(), "38 p:38 1,1") == got.end());
  // A menu that does not take it lets the press through.
  menu->takes = false;
  s.HandleEvents();
  s.list.MouseDown(MouseButton::kRight, 16, 26);
  s.Frame(16);
  got = s.Events();
  EXPECT_TRUE(std::find(got.begin(), got.end(), "38 p:38 1,1") != got.end());
  // A hidden menu is not asked; a freed one is forgotten.
  menu->SetVisibleFlag(false);
  s.list.MouseDown(MouseButton::kRight, 16, 26);
  s.Frame(16);
  EXPECT_EQ(menu->offers, 2);
  s.list.Destroy(*menu);
  s.list.MouseDown(MouseButton::kRight, 16, 26);
  s.Frame(16);
}

TEST(Focus, LeftPressFocusesAndFocusMovesWhenTheFocusedControlIsHidden) {
  Scene s;
  TOrinBox& a = s.Box("a", 0, 0, 10, 10);
  TOrinBox& b = s.Box("b", 20, 0, 10, 10);
  for (TOrinBox* box : {&a, &b}) {
    test::SetFlag(*box, kPropFocusable, true);
    box->SetLabel(kEventFocusIn, std::string("p:in_").append(box->Name()));
    box->SetLabel(kEventFocusOut, std::string("p:out_").append(box->Name()));
  }
  s.Frame(16);
  // The topmost focusable control takes the focus at first: b is drawn after a.
  EXPECT_EQ(s.list.Focus(), &b);
  EXPECT_EQ(s.Events(), (Lines{"148 p:in_b"}));
  s.HandleEvents();
  s.list.MouseDown(MouseButton::kLeft, 5, 5);
  s.Frame(16);
  EXPECT_EQ(s.list.Focus(), &a);
  EXPECT_EQ(s.Events(), (Lines{"149 p:out_b", "148 p:in_a"}));
  s.HandleEvents();
  a.SetVisibleFlag(false);
  s.Frame(16);
  EXPECT_EQ(s.list.Focus(), &b);
  // A stopped or unfocusable control does not take the focus by a press.
  a.SetVisibleFlag(true);
  a.SetStopped(true);
  s.list.MouseDown(MouseButton::kLeft, 5, 5);
  s.Frame(16);
  EXPECT_EQ(s.list.Focus(), &b);
  EXPECT_FALSE(s.list.SetFocus(&s.list.ActiveRoot()));
}

TEST(Keys, KeyEventsGoToTheFocusedControlOnce) {
  Scene s;
  TOrinBox& box = s.Box("box", 0, 0, 10, 10);
  test::SetFlag(box, kPropFocusable, true);
  box.SetLabel(kEventKeyDown, "p:down");
  box.SetLabel(kEventKeyUp, "p:up");
  box.SetLabel(kEventKeyRepeat, "p:rep");
  s.Frame(16);
  s.list.KeyDown(0x20);
  s.Frame(16);
  EXPECT_EQ(s.Events(), (Lines{"144 p:down", "146 p:rep"}));
  EXPECT_TRUE(s.list.KeyClick(0x20));
  EXPECT_TRUE(s.list.KeyPush(0x20));
  EXPECT_TRUE(s.list.KeyRepeat(0x20));
  // A second key while the first events are pending queues nothing new.
  s.list.KeyDown(0x41);
  s.Frame(16);
  EXPECT_EQ(s.list.Events().Count(), 2);
  EXPECT_TRUE(s.list.KeyClick(0x41));
  EXPECT_FALSE(s.list.KeyClick(0x20));
  s.HandleEvents();
  s.list.KeyUp(0x20);
  s.list.KeyUp(0x41);
  s.Frame(16);
  EXPECT_EQ(s.Events(), (Lines{"145 p:up"}));
  EXPECT_FALSE(s.list.KeyPush(0x20));
  // Keys outside 0-255 are ignored; an unfocusable control gets nothing.
  s.HandleEvents();
  s.list.KeyDown(300);
  test::SetFlag(box, kPropFocusable, false);
  s.list.KeyDown(0x20);
  s.Frame(16);
  EXPECT_TRUE(s.Events().empty());
}

// Repeat timing: the first repeat 500 ms after the press, then one every 33 ms; a long frame
// repeats once and catches up over the next frames. A countdown that runs out during a frame's
// input step shows as KeyRepeat in the next frame.
TEST(Keys, RepeatAfterTheInitialDelayThenAtTheInterval) {
  Scene s;
  s.list.KeyDown(0x26);
  s.Frame(10);  // the press itself is an edge; 490 ms left
  EXPECT_TRUE(s.list.KeyRepeat(0x26));
  struct Step {
    int32_t delta;
    bool repeat;
  };
  const Step steps[] = {
      {250, false},  // 240 left
      {230, false},  // 10
      {9, false},    // 1
      {1, false},    // 0: runs out now, 33 to the next
      {20, true},    // 13
      {13, false},   // 0: runs out, 33
      {100, true},   // -67: runs out once, -34
      {0, true},     // -1
      {0, true},     // 32
      {0, true},
      {0, false},
  };
  for (const Step& st : steps) {
    s.Frame(st.delta);
    EXPECT_EQ(s.list.KeyRepeat(0x26), st.repeat) << "at " << s.clock;
  }
}

TEST(Keys, ReleaseInputLetsGoOfEverything) {
  Scene s;
  s.list.KeyDown(0x10);
  s.list.MouseDown(MouseButton::kLeft, 1, 1);
  s.list.ReleaseInput();
  s.Frame(16);
  EXPECT_FALSE(s.list.KeyPush(0x10));
  EXPECT_FALSE(s.list.ActiveRoot().LPush());
  EXPECT_FALSE(s.list.ActiveRoot().LClick());
}

}  // namespace
}  // namespace orin
