// The test game of tests/games/movie played by orinplay --headless: a 2 s test pattern movie
// plays on the virtual clock, so each screenshot shows the picture of its frame's time; the
// finished label runs once at the end; a looping movie below never finishes and MovieStop with
// no fade removes it at once.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/text.h"
#include "game_play.h"

namespace orin {
namespace {

using test::Play;
using test::Shot;

// The number a picture of the test pattern shows in its eight cells (160 x 120 at x, y).
int Number(const Shot& shot, int x, int y) {
  int n = 0;
  for (int cell = 0; cell < 8; ++cell) {
    const uint32_t p = shot.Pixel(x + (2 * cell + 1) * 160 / 16, y + 90);
    const int brightness = static_cast<int>(((p >> 16) & 0xFF) + ((p >> 8) & 0xFF) + (p & 0xFF)) / 3;
    n = n << 1 | (brightness >= 128);
  }
  return n;
}

TEST(MovieGame, PicturesFollowTheClockTheEndRunsItsLabelOnceAndMovieStopRemovesTheLoop) {
  test::GamePlayer game("movie");
  const std::string shots = game.Dir() / "shots";
  std::filesystem::create_directories(shots);
  const Play p = game.Run("", 1, 200, {"--screenshot-every", "1", shots});
  ASSERT_EQ(p.ExitCode, 0) << p.Err;
  EXPECT_EQ(p.Count("<Event>start.osb(90)"), 1);
  EXPECT_TRUE(p.Has("start.osb(14)"));
  auto shot = [&](int frame) { return Shot(shots + Format("/frame-%06d.png", frame)); };

  // Frames are 16 ms: 25 frames later the movie is 400 ms, ten pictures, further on.
  const int early = Number(shot(20), 0, 0), later = Number(shot(45), 0, 0);
  EXPECT_GE(early, 5);
  EXPECT_NEAR(later - early, 10, 1);
  // The top-left bar is red; the looping movie below shows the same picture.
  EXPECT_EQ(shot(45).Pixel(10, 30) & 0xC0C0C0, 0xC00000u);
  EXPECT_NEAR(Number(shot(45), 0, 120), later, 1);
  int last = -1;
  for (int frame = 10; frame <= 120; frame += 5) {
    const int n = Number(shot(frame), 0, 0);
    EXPECT_GE(n, last) << "frame " << frame;
    last = n;
  }
  // After its end the movie keeps its last picture; the stopped loop is gone (black).
  EXPECT_EQ(Number(shot(160), 0, 0), 49);
  EXPECT_EQ(shot(160).Pixel(10, 150), 0u);
}

}  // namespace
}  // namespace orin
