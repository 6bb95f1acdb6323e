// The test game of tests/games/labels played by orinplay --headless: clicks on three regions of
// the map branch the script and raise the score, which the score label shows; the picture-font
// clock shows the seconds of its timer; the region under the pointer is shown from the highlight
// picture; a click on the fourth region (an ellipse) ends the game.
#include <gtest/gtest.h>

#include <string>

#include "core/text.h"
#include "game_play.h"

namespace orin {
namespace {

using test::Play;
using test::Shot;

// The clock's cell of digit d, and its colon.
constexpr uint32_t Digit(int d) { return static_cast<uint32_t>(0x20 + 0x10 * d) << 16 | 0x8040; }
constexpr uint32_t kColon = 0xFFFFFF;

bool Lit(uint32_t c) { return c != 0; }

// The map lies at (0, 40); its regions: red (0-79, 0-39), green (80-159, 0-39), blue (0-79,
// 40-79) and the yellow ellipse inscribed in (80-159, 40-79).
// A region is chosen by a press on the region under the pointer, so each click follows a move.
constexpr const char* kInput =
    "18 move 20 50\n20 click 20 50\n"
    "38 move 120 50\n40 click 120 50\n"
    "58 move 20 100\n60 click 20 100\n"
    "78 move 20 100\n80 click 20 100\n"
    "150 move 81 41\n"
    "168 move 120 100\n170 click 120 100\n";

class LabelsGame : public ::testing::Test {
 protected:
  Play Run(const std::string& input, int frames) {
    shots_ = game_.Dir() / "shots";
    std::filesystem::create_directories(shots_);
    return game_.Run(input, 1, frames, {"--screenshot-every", "1", shots_});
  }
  Shot Frame(int frame) const { return Shot(shots_ + Format("/frame-%06d.png", frame)); }

  test::GamePlayer game_{"labels"};
  std::string shots_;
};

TEST_F(LabelsGame, MapChoicesBranchTheScoreLabelFollowsAndTheClockTicks) {
  const Play p = Run(kInput, 300);
  ASSERT_EQ(p.ExitCode, 0) << p.Err;
  // Red, green, blue twice (each with its own branch), then the yellow ellipse ends the game;
  // the clock's timer ticks in between.
  EXPECT_TRUE(p.InOrder({"<Event>start.osb(20)", "start.osb(22)", "<Event>start.osb(20)", "start.osb(24)",
                         "<Event>start.osb(20)", "start.osb(26)", "<Event>start.osb(40)", "start.osb(43)",
                         "<Event>start.osb(20)", "start.osb(26)", "<Event>start.osb(40)", "start.osb(43)",
                         "<Event>start.osb(20)", "start.osb(28)", "start.osb(15)"}));
  EXPECT_EQ(p.Count("<Event>start.osb(20)"), 5);
  EXPECT_EQ(p.Count("start.osb(22)"), 1);
  EXPECT_EQ(p.Count("start.osb(24)"), 1);
  EXPECT_EQ(p.Count("start.osb(26)"), 2);
  EXPECT_EQ(p.Count("start.osb(28)"), 1);

  // The region under the pointer shows from the highlight picture, the others from the base.
  EXPECT_EQ(Frame(10).Pixel(20, 50), 0x400000u);
  EXPECT_EQ(Frame(25).Pixel(20, 50), 0xFF0000u);
  EXPECT_EQ(Frame(25).Pixel(120, 50), 0x004000u);
  EXPECT_EQ(Frame(45).Pixel(120, 50), 0x00FF00u);
  EXPECT_EQ(Frame(45).Pixel(20, 50), 0x400000u);
  EXPECT_EQ(Frame(65).Pixel(20, 100), 0x0000FFu);
  // (81, 1) in the map is green's; the ellipse below stays dark.
  EXPECT_EQ(Frame(155).Pixel(120, 50), 0x00FF00u);
  EXPECT_EQ(Frame(155).Pixel(120, 100), 0x404000u);

  // The clock: "00:00", then the seconds of its timer, cell by cell.
  const int cells[] = {113, 121, 129, 137, 145};
  const uint32_t start[] = {Digit(0), Digit(0), kColon, Digit(0), Digit(0)};
  for (int i = 0; i < 5; ++i) EXPECT_EQ(Frame(10).Pixel(cells[i], 5), start[i]) << i;
  EXPECT_EQ(Frame(60).Pixel(145, 5), Digit(0));
  EXPECT_EQ(Frame(70).Pixel(145, 5), Digit(1));
  EXPECT_EQ(Frame(130).Pixel(145, 5), Digit(2));
  EXPECT_EQ(Frame(130).Pixel(129, 5), kColon);

  // The score label: "SCORE 0" at the start, and more ink for "SCORE 211" than for "SCORE 1".
  const int first = Frame(10).CountIn(0, 0, 100, 20, Lit), one = Frame(25).CountIn(0, 0, 100, 20, Lit),
            last = Frame(165).CountIn(0, 0, 100, 20, Lit);
  EXPECT_GT(first, 50);
  EXPECT_NE(one, first);
  EXPECT_GT(last, one);
}

}  // namespace
}  // namespace orin
