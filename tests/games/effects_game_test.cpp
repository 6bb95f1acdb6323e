// The test game of tests/games/effects played by orinplay --headless: snow made of particles over
// the lower left, a glowing fire in the lower right and a wave rippling the striped picture in the
// upper half. The headless player seeds the run-time generator with a fixed value, so two runs
// give the same pictures. The colours are those of tests/games/effects/make_effects.cpp.
#include <gtest/gtest.h>

#include <string>

#include "core/text.h"
#include "game_play.h"

namespace orin {
namespace {

using test::Play;
using test::Shot;

constexpr uint32_t kDark = 0x203040, kLight = 0x406080;

uint32_t Stripe(int x) { return (x / 8) % 2 ? kLight : kDark; }
bool Snowy(uint32_t c) { return (c & 0xFF) >= 0xA0 && ((c >> 16) & 0xFF) >= 0xA0; }
bool Flame(uint32_t c) { return ((c >> 16) & 0xFF) >= 0x90 && ((c >> 16) & 0xFF) > (c & 0xFF) + 0x30; }

class EffectsGame : public ::testing::Test {
 protected:
  Play RunWithShots(int run, int frames) {
    return game_.Run("", run, frames, {"--screenshot-every", "1", Shots(run)});
  }
  std::string Shots(int run) { return game_.Dir() / Format("shots%d", run); }
  Shot At(int run, int frame) { return Shot(Shots(run) + Format("/frame-%06d.png", frame)); }

  test::GamePlayer game_{"effects"};
};

TEST_F(EffectsGame, SnowFireAndWaveMoveAndAFixedSeedRepeatsThem) {
  const Play p = RunWithShots(1, 60);
  ASSERT_EQ(p.ExitCode, 0) << p.Err;
  for (const char* kind : {"ParticleNew", "FireNew", "WaveNew"})
    EXPECT_FALSE(p.Has(std::string("-- ") + kind + ": this player has no class for its objects yet; nothing was made"))
        << kind;

  const Shot a = At(1, 40), b = At(1, 50);
  // Snow: flakes in the lower left, moving from frame to frame; none outside their emitter.
  const auto snow = [](const Shot& s, int left, int top, int width, int height) {
    return s.CountIn(left, top, width, height, Snowy);
  };
  EXPECT_GT(snow(a, 0, 60, 90, 60), 10);
  EXPECT_EQ(snow(a, 92, 62, 6, 6), 0);
  int moved = 0;
  for (int y = 60; y < 120; ++y)
    for (int x = 0; x < 90; ++x) moved += Snowy(a.Pixel(x, y)) != Snowy(b.Pixel(x, y)) ? 1 : 0;
  EXPECT_GT(moved, 5);

  // Fire: the bottom of its rectangle burns, its top is mostly the picture, and the flames flicker.
  EXPECT_GT(a.CountIn(100, 110, 60, 10, Flame), 200);
  EXPECT_LT(a.CountIn(100, 70, 60, 6, Flame), a.CountIn(100, 110, 60, 6, Flame));
  int flicker = 0;
  for (int y = 90; y < 120; ++y)
    for (int x = 100; x < 160; ++x) flicker += a.Pixel(x, y) != b.Pixel(x, y) ? 1 : 0;
  EXPECT_GT(flicker, 50);

  // Wave: rows of the upper half are shifted against the stripes, and the shift travels.
  const auto shiftedRows = [](const Shot& s) {
    int rows = 0;
    for (int y = 0; y < 60; ++y) {
      int off = 0;
      for (int x = 8; x < 152; ++x) off += s.Pixel(x, y) != Stripe(x) ? 1 : 0;
      rows += off > 0 ? 1 : 0;
    }
    return rows;
  };
  EXPECT_GT(shiftedRows(a), 30);
  int changed = 0;
  for (int y = 0; y < 60; ++y) changed += a.Pixel(8, y) != b.Pixel(8, y) ? 1 : 0;
  EXPECT_GT(changed, 3);
  // Below the wave the stripes stand (away from the snow and the fire).
  for (int x = 90; x < 100; ++x) EXPECT_EQ(a.Pixel(x, 65), Stripe(x)) << x;

  // The same seed, the same pictures.
  const Play again = RunWithShots(2, 60);
  ASSERT_EQ(again.ExitCode, 0) << again.Err;
  const Shot c = At(2, 50);
  int differ = 0;
  for (int y = 0; y < 120; ++y)
    for (int x = 0; x < 160; ++x) differ += b.Pixel(x, y) != c.Pixel(x, y) ? 1 : 0;
  EXPECT_EQ(differ, 0);
}

}  // namespace
}  // namespace orin
