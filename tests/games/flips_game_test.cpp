// The test game of tests/games/flips played by orinplay --headless: five clicks flip through
// six screens with a fade, a blind, a circle, a white-out and a spot; the frames in the middle of
// each transition are read back by pixels (and those of a fade a handler starts during the
// white-out); a timer that fires during an uninterruptible flip runs only after it; a save made during the spot loads showing the incoming screen from the first frame.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/text.h"
#include "game_play.h"

namespace orin {
namespace {

using test::Play;
using test::Shot;

constexpr uint32_t kRed = 0xFF0000, kGreen = 0x00FF00, kBlue = 0x0000FF, kYellow = 0xFFFF00,
                   kWhite = 0xFFFFFF;

class FlipsGame : public ::testing::Test {
 protected:
  // Plays with a screenshot of every frame.
  Play Run(const std::string& input, int run, int frames) {
    shots_ = game_.Dir() / Format("shots%d", run);
    std::filesystem::create_directories(shots_);
    return game_.Run(input, run, frames, {"--screenshot-every", "1", shots_});
  }
  Shot Frame(int frame) const { return Shot(shots_ + Format("/frame-%06d.png", frame)); }
  // The frame in which the command ran (frames are 16 ms; the first ends at 16).
  static int FrameOf(const Play& p, const std::string& command) {
    const int line = p.Find(command);
    EXPECT_GE(line, 0) << command;
    return line < 0 ? 0 : static_cast<int>(p.Trace[static_cast<size_t>(line)].Clock / 16);
  }

  test::GamePlayer game_{"flips"};
  std::string shots_;
};

constexpr const char* kClicks = "5 click 32 24\n40 click 32 24\n75 click 32 24\n110 click 32 24\n145 click 32 24\n";

TEST_F(FlipsGame, TransitionsShowTheirMiddleFramesAndASaveDuringOneLoadsTheIncomingScreen) {
  const Play p = Run(kClicks, 1, 250);
  ASSERT_EQ(p.ExitCode, 0) << p.Err;
  EXPECT_TRUE(p.InOrder({"start.osb(21)", "start.osb(32)", "<Event>start.osb(93)", "start.osb(41)", "start.osb(62)",
                         "<Event>start.osb(101)", "start.osb(104)", "start.osb(52)", "<Event>start.osb(97)", "start.osb(54)"}));

  // A flip that begins in frame f starts its clock in frame f + 1; frame f + 1 + k shows the
  // transition at 16 k ms of its 320.
  const int fade = FrameOf(p, "start.osb(21)") + 1, blind = FrameOf(p, "start.osb(32)") + 1,
            circle = FrameOf(p, "start.osb(41)") + 1, spot = FrameOf(p, "start.osb(52)") + 1;

  // Up to the start of the clock the old screen shows unchanged.
  EXPECT_EQ(Frame(fade).Pixel(32, 24), kRed);
  // The fade halfway: opacity 128 of 256.
  EXPECT_EQ(Frame(fade + 10).Pixel(5, 5), 0x7E7F00u);
  // The blind halfway (hard-edged bands of 20 rows): every row is wholly green or blue.
  {
    const Shot s = Frame(blind + 10);
    const int green = s.CountIn(0, 0, 64, 48, [](uint32_t c) { return c == kGreen; });
    const int blue = s.CountIn(0, 0, 64, 48, [](uint32_t c) { return c == kBlue; });
    EXPECT_GT(green, 0);
    EXPECT_GT(blue, 0);
    EXPECT_EQ(green + blue, 64 * 48);
  }
  // The circle halfway: yellow in the middle, still blue in the corners.
  EXPECT_EQ(Frame(circle + 10).Pixel(32, 24), kYellow);
  EXPECT_EQ(Frame(circle + 10).Pixel(0, 0), kBlue);
  // A fade started by a handler during the white-out takes over from the picture on the screen
  // (yellow gone half white), reaches cyan after its 160 ms, and when both flips have ended, each
  // having switched the screens, the yellow screen shows again.
  {
    const int white = FrameOf(p, "start.osb(62)") + 1, fade2 = FrameOf(p, "start.osb(103)") + 1;
    EXPECT_EQ(fade2 - white, 7);
    const uint32_t shown = Frame(fade2 - 1).Pixel(32, 24);
    EXPECT_EQ(shown, 0xFFFF7Fu);
    EXPECT_EQ(Frame(fade2).Pixel(32, 24), shown);
    EXPECT_EQ(Frame(fade2 + 5).Pixel(32, 24), 0x7EFEBEu);
    EXPECT_EQ(Frame(fade2 + 10).Pixel(0, 0), 0x00FFFFu);
    EXPECT_EQ(Frame(fade2 + 11).Pixel(32, 24), kYellow);
  }
  // The spot closes on the yellow screen, then opens on the white one.
  EXPECT_EQ(Frame(spot + 5).Pixel(32, 24), kYellow);
  EXPECT_EQ(Frame(spot + 5).Pixel(0, 0), 0u);
  EXPECT_EQ(Frame(spot + 10).Pixel(32, 24), 0u);
  EXPECT_EQ(Frame(spot + 15).Pixel(32, 24), kWhite);
  EXPECT_EQ(Frame(spot + 15).Pixel(0, 47), 0u);
  EXPECT_EQ(Frame(spot + 21).Pixel(0, 0), kWhite);

  // The blind could not be interrupted: its timer, due 96 ms in, ran when it had ended.
  const uint32_t blindClock = p.Trace[static_cast<size_t>(p.Find("start.osb(32)"))].Clock;
  EXPECT_GE(p.Trace[static_cast<size_t>(p.Find("<Event>start.osb(93)"))].Clock,
            blindClock + 16 + 320);
  // The spot could: its timer saved the game while the spot ran.
  const int save = FrameOf(p, "<Event>start.osb(97)");
  EXPECT_GT(save, spot);
  EXPECT_LT(save, spot + 20);

  // The second run loads that save: the spot is over at once and the white screen shows from
  // the first frame drawn after the load (the frame of the load itself is not drawn).
  const Play q = Run("", 2, 100);
  ASSERT_EQ(q.ExitCode, 0) << q.Err;
  EXPECT_TRUE(q.InOrder({"start.osb(4)", "start.osb(52)", "start.osb(53)", "start.osb(54)"}));
  const int loaded = FrameOf(q, "start.osb(4)") + 1;
  EXPECT_EQ(Frame(loaded).Pixel(32, 24), kWhite);
  EXPECT_EQ(Frame(loaded).Pixel(0, 0), kWhite);
  EXPECT_EQ(game_.Screen(2).Pixel(10, 40), kWhite);
}

}  // namespace
}  // namespace orin
