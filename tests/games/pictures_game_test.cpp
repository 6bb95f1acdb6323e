// The test game of tests/games/pictures played by orinplay --headless: a background, an animated
// sprite with an alpha plane, an arrow turned and zoomed by a motion file, a button with hover,
// down and click pictures, a radio group of three, and a save made with all of it on screen that
// loads back pixel for pixel. The colours are those of tests/games/pictures/make_pictures.cpp.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/text.h"
#include "game_play.h"

namespace orin {
namespace {

using test::Play;
using test::Shot;

constexpr uint32_t kBackground = 0x305070;
constexpr uint32_t kSpriteColours[3] = {0xE02020, 0x20E020, 0x2020E0};
constexpr uint32_t kButtonNormal = 0x808080, kButtonHover = 0xC0C0C0, kButtonDown = 0x404040;
constexpr uint32_t kClick0 = 0xFF8000, kClick1 = 0xFFFF00;
constexpr uint32_t kRadioOff = 0x606060, kRadioOn = 0x00C000;

// Frame numbers of the input (events arrive after that many frames). The button lies at
// (8, 40) 32 × 16, the radio buttons at (8, 80), (32, 80), (56, 80), 16 × 16 each, the save box at
// (136, 96), the sprite at (8, 8), the arrow turns about (120, 30).
constexpr const char* kInput =
    "5 move 20 45\n"     // over the button: hover
    "10 down 20 45\n"    // down
    "15 up 20 45\n"      // the click: its animation of two 100 ms pictures
    "38 move 40 88\n"    // over the second radio button, which has no hover picture
    "40 click 40 88\n"   // selects it
    "50 click 64 88\n"   // selects the third
    "60 click 64 88\n"   // the third again: a radio group without allow-none keeps it on
    "70 move 100 100\n"  // nowhere
    "80 click 144 104\n";  // the save box: stops the animations and saves

class PicturesGame : public ::testing::Test {
 protected:
  Play RunWithShots(const std::string& input, int run, int frames) {
    return game_.Run(input, run, frames, {"--screenshot-every", "1", Shots(run)});
  }
  std::string Shots(int run) { return game_.Dir() / Format("shots%d", run); }
  Shot At(int run, int frame) { return Shot(Shots(run) + Format("/frame-%06d.png", frame)); }

  test::GamePlayer game_{"pictures"};
};

TEST_F(PicturesGame, ShowsAnimatesAndReactsToThePointer) {
  const Play p = RunWithShots(kInput, 1, 100);
  ASSERT_EQ(p.ExitCode, 0) << p.Err;
  EXPECT_FALSE(p.Has("-- ImgNew: this player has no class for its objects yet; nothing was made"));

  // The background, and the sprite's transparent corner over it.
  const Shot first = At(1, 2);
  EXPECT_EQ(first.Pixel(100, 60), kBackground);
  EXPECT_EQ(first.Pixel(8, 8), kBackground);
  EXPECT_EQ(first.Pixel(16, 16), kSpriteColours[0]);

  // The sprite steps through its three pictures in order, 100 ms each, and loops.
  std::vector<uint32_t> seen;
  for (int frame = 1; frame <= 40; ++frame) {
    const uint32_t c = At(1, frame).Pixel(16, 16);
    if (seen.empty() || seen.back() != c) seen.push_back(c);
  }
  ASSERT_GE(seen.size(), 4u);
  for (size_t i = 0; i < seen.size(); ++i) EXPECT_EQ(seen[i], kSpriteColours[i % 3]) << i;

  // The arrow turns and grows: its pictures differ, and half-way through its turn (frame 32 of
  // the motion, at 1.5 times its size) it covers more pixels than at the start.
  auto arrowPixels = [&](int frame) {
    return At(1, frame).CountIn(96, 6, 48, 48, [](uint32_t c) { return c != kBackground; });
  };
  const int small = arrowPixels(3), large = arrowPixels(34);
  EXPECT_GT(large, small * 3 / 2);
  int differ = 0;
  const Shot a = At(1, 10), b = At(1, 20);
  for (int y = 6; y < 54; ++y)
    for (int x = 96; x < 144; ++x) differ += a.Pixel(x, y) != b.Pixel(x, y) ? 1 : 0;
  EXPECT_GT(differ, 20);

  // The button: normal, hover under the pointer, down while pressed, the click animation, then
  // normal again (the pointer has not moved since the click).
  EXPECT_EQ(At(1, 4).Pixel(20, 45), kButtonNormal);
  EXPECT_EQ(At(1, 7).Pixel(20, 45), kButtonHover);
  EXPECT_EQ(At(1, 12).Pixel(20, 45), kButtonDown);
  EXPECT_EQ(At(1, 17).Pixel(20, 45), kClick0);
  EXPECT_EQ(At(1, 24).Pixel(20, 45), kClick1);
  EXPECT_EQ(At(1, 32).Pixel(20, 45), kButtonNormal);
  // One click (event 33), then the end of its animation (event 43).
  EXPECT_TRUE(p.InOrder({"<Event>start.osb(90)", "start.osb(91)", "<Event>start.osb(93)"}));
  EXPECT_EQ(p.Count("<Event>start.osb(90)"), 1);
  EXPECT_EQ(p.Count("<Event>start.osb(93)"), 1);

  // The radio group: the first button starts on; a hovered one keeps its normal picture.
  EXPECT_EQ(At(1, 36).Pixel(12, 84), kRadioOn);
  EXPECT_EQ(At(1, 39).Pixel(40, 88), kRadioOff);
  auto radios = [&](int frame) {
    const Shot s = At(1, frame);
    std::string out;
    for (int x : {12, 36, 60}) out += s.Pixel(x, 84) == kRadioOn ? '1' : s.Pixel(x, 84) == kRadioOff ? '0' : '?';
    return out;
  };
  EXPECT_EQ(radios(36), "100");
  EXPECT_EQ(radios(45), "010");
  EXPECT_EQ(radios(55), "001");
  EXPECT_EQ(radios(65), "001");
  // The handler sees the toggles after each click: the second, the third, the third again.
  EXPECT_TRUE(p.InOrder({"<Event>start.osb(95)", "start.osb(99)", "<Event>start.osb(95)", "start.osb(101)",
                         "<Event>start.osb(95)", "start.osb(101)"}));
  EXPECT_EQ(p.Count("<Event>start.osb(95)"), 3);
  EXPECT_FALSE(p.Has("start.osb(97)"));

  // The save box stopped the animations and saved.
  EXPECT_TRUE(p.InOrder({"<Event>start.osb(103)", "start.osb(104)", "start.osb(105)", "start.osb(106)"}));
  const Shot end = game_.Screen(1);
  EXPECT_EQ(end.Pixel(16, 16), At(1, 85).Pixel(16, 16));
}

TEST_F(PicturesGame, ASaveWithPicturesLoadsPixelForPixel) {
  ASSERT_EQ(game_.Run(kInput, 1, 100).ExitCode, 0);
  const Play p = game_.Run("", 2, 30);
  ASSERT_EQ(p.ExitCode, 0) << p.Err;
  EXPECT_TRUE(p.Has("start.osb(4)"));    // GameLoad
  EXPECT_FALSE(p.Has("start.osb(10)"));  // nothing was built again
  const Shot saved = game_.Screen(1), loaded = game_.Screen(2);
  int differ = 0;
  for (int y = 0; y < 120; ++y)
    for (int x = 0; x < 160; ++x) differ += saved.Pixel(x, y) != loaded.Pixel(x, y) ? 1 : 0;
  EXPECT_EQ(differ, 0);
  // What was saved: the third radio button on, the button normal, the stopped arrow visible.
  EXPECT_EQ(loaded.Pixel(60, 84), kRadioOn);
  EXPECT_EQ(loaded.Pixel(12, 84), kRadioOff);
  EXPECT_EQ(loaded.Pixel(20, 45), kButtonNormal);
  EXPECT_GT(loaded.CountIn(96, 6, 48, 48, [](uint32_t c) { return c != kBackground; }), 20);

  // The loaded buttons work: a click on the first radio button selects it.
  const Play q = game_.Run("5 click 12 84\n", 3, 20);
  ASSERT_EQ(q.ExitCode, 0) << q.Err;
  EXPECT_TRUE(q.InOrder({"start.osb(4)", "<Event>start.osb(95)", "start.osb(97)"}));
  EXPECT_EQ(game_.Screen(3).Pixel(12, 84), kRadioOn);
  EXPECT_EQ(game_.Screen(3).Pixel(60, 84), kRadioOff);
}

}  // namespace
}  // namespace orin
