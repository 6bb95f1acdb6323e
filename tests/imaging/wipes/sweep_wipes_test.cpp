// The sweeping mask kinds (shadow, clock hand, fans) and the mosaic: where the incoming picture
// shows at known times, both directions.
#include "imaging/wipes/sweep_wipes.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "imaging/screen_surface.h"
#include "imaging/wipes/mosaic_wipe.h"

namespace orin {
namespace {

constexpr uint32_t kOut = 0x204060, kIn = 0xE0C0A0;

struct Screen {
  Screen(int width, int height, int depth = 32)
      : out(width, height, depth), in(width, height, depth), target(width, height, depth) {
    out.Fill(out.Bounds(), out.ColorToPixel(0x604020));
    in.Fill(in.Bounds(), in.ColorToPixel(0xA0C0E0));
  }
  void Run(TCustomWipe& wipe, int32_t duration, int32_t t, bool reverse = false) {
    wipe.SetReverse(reverse);
    wipe.Attach(target, out, in, duration);
    wipe.Prepare();
    wipe.SetTime(t);
    ASSERT_FALSE(wipe.Step());
  }
  // 'o' outgoing, 'i' incoming, '?' a mix.
  char At(int x, int y) const {
    const uint32_t p = target.GetPixel(x, y);
    return p == out.GetPixel(x, y) ? 'o' : p == in.GetPixel(x, y) ? 'i' : '?';
  }
  ScreenSurface out, in, target;
};

TEST(TWipeClockhand, TheHandTurnsFromTwelveOClock) {
  struct Case {
    bool reverse;
    int32_t t;
    // Probes in the four quarters: top right, bottom right, bottom left, top left.
    const char* quarters;
  };
  const Case cases[] = {
      {false, 0, "oooo"}, {false, 24, "iooo"}, {false, 49, "iioo"}, {false, 74, "iiio"}, {false, 99, "iiii"},
      {true, 24, "oooi"}, {true, 49, "ooii"},
  };
  for (const Case& c : cases) {
    Screen s(40, 40);
    TWipeClockhand wipe;
    s.Run(wipe, 100, c.t, c.reverse);
    // Probes on the diagonals, reached when the hand has turned 45° into their quarter.
    const std::string got = {s.At(32, 8), s.At(32, 32), s.At(8, 32), s.At(8, 8)};
    EXPECT_EQ(got, c.quarters) << c.reverse << " " << c.t;
  }
  // Just past 12 o'clock the hand has passed the right side of the top middle, not the left.
  Screen s(40, 40);
  TWipeClockhand wipe;
  s.Run(wipe, 1000, 20);
  EXPECT_EQ(s.At(20, 2), 'i');
  EXPECT_EQ(s.At(19, 2), 'o');
}

TEST(TWipeFan, OpensFromTheLeftOverTheTop) {
  struct Case {
    bool reverse;
    int32_t t;
    const char* probes;  // left low, top middle, right low
  };
  const Case cases[] = {
      {false, 0, "ooo"}, {false, 30, "ioo"}, {false, 70, "iio"}, {false, 99, "iii"}, {true, 30, "ooi"}, {true, 70, "oii"},
  };
  for (const Case& c : cases) {
    Screen s(40, 20);
    TWipeFan wipe;
    s.Run(wipe, 100, c.t, c.reverse);
    const std::string got = {s.At(2, 18), s.At(20, 2), s.At(37, 18)};
    EXPECT_EQ(got, c.probes) << c.reverse << " " << c.t;
  }
}

TEST(TWipeWFan, TwoFansOpenTogetherAndMeetInTheMiddle) {
  for (bool reverse : {false, true}) {
    Screen s(40, 40);
    TWipeWFan wipe;
    s.Run(wipe, 100, 50, reverse);
    const char left = reverse ? 'o' : 'i', right = reverse ? 'i' : 'o';
    // Both halves alike: the upper fan mirrors the lower one.
    for (int y : {5, 15, 24, 34}) {
      EXPECT_EQ(s.At(5, y), left) << reverse << " " << y;
      EXPECT_EQ(s.At(34, y), right) << reverse << " " << y;
    }
    for (int x = 0; x < 40; ++x) EXPECT_EQ(s.At(x, 10), s.At(x, 29)) << x;
  }
}

TEST(TWipeShadow, DarkPartsOfTheIncomingPictureComeFirst) {
  // An incoming picture dark on the left, bright on the right.
  for (bool reverse : {false, true}) {
    Screen s(20, 4);
    s.in.Fill(Rect{0, 0, 10, 4}, 0x101010);
    s.in.Fill(Rect{10, 0, 20, 4}, 0xF0F0F0);
    TWipeShadow wipe;
    s.Run(wipe, 100, 40, reverse);
    EXPECT_EQ(s.At(2, 1), reverse ? 'o' : 'i') << reverse;
    EXPECT_EQ(s.At(15, 1), reverse ? 'i' : 'o') << reverse;
    wipe.SetTime(99);
    wipe.Step();
    EXPECT_EQ(s.At(2, 1), 'i');
    EXPECT_EQ(s.At(15, 1), 'i');
  }
}

TEST(SweepWipe, SixteenBitScreensStartOnTheOutgoingPictureAndMixPerChannel) {
  Screen s(31, 17, 16);
  TWipeClockhand clock;
  s.Run(clock, 100, 0);
  for (int y = 0; y < 17; ++y)
    for (int x = 0; x < 31; ++x) ASSERT_EQ(s.At(x, y), 'o') << x << "," << y;

  // The mosaic halfway blends the two one-colour pictures channel by channel.
  Screen m(31, 17, 16);
  TWipeMosaic mosaic;
  m.Run(mosaic, 1023, 511);
  const uint32_t a = m.out.GetPixel(0, 0), b = m.in.GetPixel(0, 0);
  uint32_t mixed = 0;
  for (uint32_t mask : {0xF800u, 0x07E0u, 0x001Fu}) mixed |= ((127 * (b & mask) + 128 * (a & mask)) >> 8) & mask;
  EXPECT_EQ(m.target.GetPixel(30, 16), mixed);
}

TEST(TWipeMosaic, BlockSizesFollowTheCurve) {
  EXPECT_EQ(TWipeMosaic::BlockSize(0, 1280), 1);
  // From q = 8 on: a quarter of the width × (24 + 239 (q / 255)²) / 256.
  EXPECT_EQ(TWipeMosaic::BlockSize(8, 1280), 30);     // 320 × 24.235 / 256 = 30.3
  EXPECT_EQ(TWipeMosaic::BlockSize(128, 1280), 105);  // 320 × 84.22 / 256 = 105.3
  EXPECT_EQ(TWipeMosaic::BlockSize(255, 1280), 329);  // 320 × 263 / 256 = 328.75
  EXPECT_EQ(TWipeMosaic::BlockSize(255, 8), 2);
  EXPECT_EQ(TWipeMosaic::BlockSize(255, 2), 1);
  for (int q = 1; q < 256; ++q) EXPECT_LE(TWipeMosaic::BlockSize(q - 1, 640), TWipeMosaic::BlockSize(q, 640)) << q;
}

// Pictures whose every pixel differs, so blocks show as runs of one sampled pixel.
struct Painted : Screen {
  Painted(int w, int h) : Screen(w, h) {
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) {
        const auto v = static_cast<uint32_t>(x * 3 + y * 0x0500);
        out.Picture().SetPixel(x, y, 0x200000 | v);
        in.Picture().SetPixel(x, y, 0x800000 | v);
      }
  }
};

TEST(TWipeMosaic, QuartersAndExactEnds) {
  // 39 wide: the largest blocks are round(9.75 × 263 / 256) = 10 pixels.
  {
    Painted s(40, 20);
    TWipeMosaic wipe;
    s.Run(wipe, 1023, 0);
    for (int x = 0; x < 40; ++x) ASSERT_EQ(s.At(x, 7), 'o') << x;
  }
  {
    // a = 1022: the incoming picture in blocks of one pixel.
    Painted s(40, 20);
    TWipeMosaic wipe;
    s.Run(wipe, 1023, 1022);
    for (int x = 0; x < 40; ++x) ASSERT_EQ(s.At(x, 7), 'i') << x;
  }
  for (bool reverse : {false, true}) {
    // a = 511: both pictures in blocks of 10, blended half and half; every block is one colour,
    // that of its centre pixel mixed. Reversed, the blocks line up on the bottom-right corner
    // (the screen is 39 × 23, so they start 1 and 7 pixels before the left and top edges).
    Painted s(39, 23);
    TWipeMosaic wipe;
    s.Run(wipe, 1023, 511, reverse);
    const int ox = reverse ? -1 : 0, oy = reverse ? -7 : 0;
    for (int y = 0; y < 23; ++y)
      for (int x = 0; x < 39; ++x) {
        const int x0 = std::max(ox + (x - ox) / 10 * 10, 0), x1 = std::min(ox + (x - ox) / 10 * 10 + 10, 39);
        const int y0 = std::max(oy + (y - oy) / 10 * 10, 0), y1 = std::min(oy + (y - oy) / 10 * 10 + 10, 23);
        const int sx = (x0 + x1 - 1) / 2, sy = (y0 + y1 - 1) / 2;
        const uint32_t a = s.out.GetPixel(sx, sy), b = s.in.GetPixel(sx, sy);
        const uint32_t w = 127;  // (511 − 256) × 255 ÷ 511
        uint32_t expect = 0;
        for (int shift = 0; shift < 24; shift += 8)
          expect |= ((w * ((b >> shift) & 0xFF) + (255 - w) * ((a >> shift) & 0xFF)) >> 8) << shift;
        ASSERT_EQ(s.target.GetPixel(x, y), expect) << reverse << " at " << x << "," << y;
      }
  }
}

}  // namespace
}  // namespace orin
