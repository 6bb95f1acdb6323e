// The test game of tests/games/controls played by orinplay --headless: a click on the second
// item of a three-item menu takes the script down its branch, a click on the slider's track and
// on the scroll bar's track reach the script's variables through their change events, and a
// timer fills the gauge tick by tick; the last screen shows the full gauge and the slider filled
// up to its thumb.
#include <gtest/gtest.h>

#include <string>

#include "game_play.h"

namespace orin {
namespace {

using test::Play;
using test::Shot;

bool Green(uint32_t c) { return (c >> 16 & 0xFF) < 90 && (c >> 8 & 0xFF) > 160 && (c & 0xFF) < 90; }
bool LightGrey(uint32_t c) { return c == 0xC0C0C0; }
bool DarkGrey(uint32_t c) { return c == 0x404040; }
bool Lit(uint32_t c) { return c != 0; }

// Frame 10: "Green" (rows of 16 pixels from y = 20); 20: the slider's track at three quarters;
// 30: the scroll bar's track below its thumb.
constexpr const char* kInput =
    "10 click 110 44\n"
    "20 click 170 208\n"
    "30 click 298 180\n";

TEST(ControlsGame, MenuBranchesSliderAndScrollBarReachVariablesGaugeFollowsTheTimer) {
  test::GamePlayer game("controls");
  const Play p = game.Run(kInput, 1, 150);
  ASSERT_EQ(p.ExitCode, 0) << p.Err;
  EXPECT_TRUE(p.InOrder({
      "start.osb(10)",                                  // the menu
      "<Event>start.osb(70)", "start.osb(71)",          // the choice
      "start.osb(20)", "start.osb(23)",                 // the "green" branch, no other
      "<Event>start.osb(80)", "start.osb(81)",          // the slider's change
      "<Event>start.osb(85)", "start.osb(86)",          // the scroll bar's change
      "start.osb(32)",
      "start.osb(61)",                                  // branch == "green"
      "start.osb(63)",                                  // volume above 50
      "start.osb(65)",                                  // the gauge reached its maximum
  }));
  EXPECT_FALSE(p.Has("start.osb(21)"));
  EXPECT_FALSE(p.Has("start.osb(25)"));
  EXPECT_EQ(p.Count("<Event>start.osb(70)"), 1);

  const Shot shot(game.ShotPath(1));
  // The gauge (20, 170, 200 × 10) is filled in its colour from end to end.
  EXPECT_GT(shot.CountIn(20, 170, 200, 10, Green), 1900);
  // The slider (20, 200, 200 × 16): filled up to its thumb near three quarters, empty beyond.
  EXPECT_GT(shot.CountIn(30, 200, 100, 16, LightGrey), 0);
  EXPECT_GT(shot.CountIn(200, 200, 15, 16, DarkGrey), 0);
  EXPECT_EQ(shot.CountIn(200, 200, 15, 16, LightGrey), 0);
  // The menu's items are drawn.
  EXPECT_GT(shot.CountIn(100, 20, 60, 48, Lit), 50);
}

}  // namespace
}  // namespace orin
