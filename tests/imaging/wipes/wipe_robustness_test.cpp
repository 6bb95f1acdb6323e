// Every kind the standard table makes, under hostile parameters, strings, durations and screen
// sizes: no crash, no exception, the outgoing picture at t = 0, closer to the incoming picture
// just before the end than at the start, and nothing drawn once done. With the defaults on a
// screen and pictures of a usual kind the last step before the end is close to the incoming
// picture.
#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "core/runtime_random.h"
#include "imaging/screen_surface.h"
#include "imaging/wipes/wipe_table.h"

namespace orin {
namespace {

constexpr int32_t kMax = std::numeric_limits<int32_t>::max(), kMin = std::numeric_limits<int32_t>::min();

// Kinds whose written formula starts elsewhere than on the outgoing picture (the flash starts
// white).
bool StartsElsewhere(int kind) { return kind == 14; }

// Noise (every pixel its own, the hardest case for kinds that sample), or smooth gradients like
// the pictures of a game.
struct Pictures {
  Pictures(int width, int height, bool smooth = false)
      : out(width, height, 32), in(width, height, 32), target(width, height, 32) {
    std::mt19937 rng(static_cast<uint32_t>(width * 7919 + height));
    for (int y = 0; y < height; ++y)
      for (int x = 0; x < width; ++x) {
        const auto gx = static_cast<uint32_t>(x * 127 / width), gy = static_cast<uint32_t>(y * 127 / height);
        out.Picture().SetPixel(x, y, smooth ? gx << 16 | gy << 8 | 0x40 : rng() & 0x7F7F7F);
        in.Picture().SetPixel(x, y, smooth ? (gy << 16 | 0x6000 | gx) + 0x808080 : (rng() & 0x7F7F7F) | 0x808080);
      }
    target.Copy(0, 0, out, out.Bounds());
  }
  ScreenSurface out, in, target;
};

// The summed channel distance of the target from the incoming picture.
int64_t Distance(const ScreenSurface& a, const ScreenSurface& b) {
  int64_t sum = 0;
  for (int y = 0; y < a.Height(); ++y)
    for (int x = 0; x < a.Width(); ++x) {
      const uint32_t p = a.GetPixel(x, y), q = b.GetPixel(x, y);
      for (int shift = 0; shift < 24; shift += 8)
        sum += std::abs(static_cast<int>((p >> shift) & 0xFF) - static_cast<int>((q >> shift) & 0xFF));
    }
  return sum;
}

bool SamePixels(const ScreenSurface& a, const ScreenSurface& b) {
  for (int y = 0; y < a.Height(); ++y)
    for (int x = 0; x < a.Width(); ++x)
      if ((a.GetPixel(x, y) & 0xFFFFFF) != (b.GetPixel(x, y) & 0xFFFFFF)) return false;
  return true;
}

struct ParamSet {
  const char* name;
  std::optional<int32_t> p0, p1;
};

TEST(WipeRobustness, EveryKindSurvivesHostileParameters) {
  const ParamSet params[] = {
      {"defaults", {}, {}},
      {"zero", 0, 0},
      {"negative", -1, -1},
      {"one", 1, 1},
      {"huge", 100000, 100000},
      {"largest", kMax, kMax},
      {"smallest", kMin, kMin},
      {"thin and very soft", 2, 100000},
      {"wide and hard", 100000, 1},
  };
  const std::string strings[] = {"", std::string(10000, 'x'), "\x81", std::string("\xFF\0\x5C", 3), "%s%n%d"};
  const struct {
    int width, height;
  } sizes[] = {{23, 17}, {1, 1}, {3, 2}, {70, 3}};
  const WipeTable table = WipeTable::Standard();
  int made = 0;
  for (int kind = 1; kind <= WipeTable::kKinds; ++kind) {
    if (!table.Has(kind)) continue;
    ++made;
    int round = 0;
    for (const auto& size : sizes)
      for (const ParamSet& p : params)
        for (bool reverse : {false, true}) {
          ++round;
          for (int32_t duration : {1000, 0, -5}) {
            const int32_t T = std::max(duration, 1);
            SCOPED_TRACE("kind " + std::to_string(kind) + ", " + std::to_string(size.width) + " x " +
                         std::to_string(size.height) + ", " + p.name + (reverse ? ", reversed" : "") + ", T " +
                         std::to_string(duration));
            Pictures pic(size.width, size.height);
            RunTimeRandom random(static_cast<uint32_t>(round));
            auto wipe = table.Make(kind);
            ASSERT_NE(wipe, nullptr);
            wipe->SetRandom(&random);
            wipe->SetReverse(reverse);
            if (p.p0) wipe->SetParam(0, *p.p0);
            if (p.p1) wipe->SetParam(1, *p.p1);
            wipe->SetName(strings[round % std::size(strings)]);
            wipe->Attach(pic.target, pic.out, pic.in, duration);
            ASSERT_NO_THROW(wipe->Prepare());

            wipe->SetTime(0);
            ASSERT_FALSE(wipe->Step());
            if (!StartsElsewhere(kind)) {
              EXPECT_TRUE(SamePixels(pic.target, pic.out)) << "t = 0";
            }
            const int64_t atStart = Distance(pic.target, pic.in);
            for (int32_t t : {T / 2, T - 1}) {
              if (t <= 0) continue;
              wipe->SetTime(t);
              ASSERT_FALSE(wipe->Step()) << "t = " << t;
            }
            EXPECT_LE(Distance(pic.target, pic.in), atStart) << "t = T - 1";
            ScreenSurface before(size.width, size.height, 32);
            before.Copy(0, 0, pic.target, pic.target.Bounds());
            for (int32_t t : {T, T + 1, kMax}) {
              wipe->SetTime(t);
              EXPECT_TRUE(wipe->Step()) << "t = " << t;
            }
            EXPECT_TRUE(SamePixels(pic.target, before)) << "drawn after the end";
          }
        }
  }
  EXPECT_GE(made, 20);
}

TEST(WipeRobustness, WithTheDefaultsTheLastStepIsCloseToTheIncomingPicture) {
  const WipeTable table = WipeTable::Standard();
  for (int kind = 1; kind <= WipeTable::kKinds; ++kind) {
    if (!table.Has(kind)) continue;
    for (bool reverse : {false, true}) {
      SCOPED_TRACE("kind " + std::to_string(kind) + (reverse ? ", reversed" : ""));
      Pictures pic(320, 240, true);
      RunTimeRandom random(7);
      auto wipe = table.Make(kind);
      wipe->SetRandom(&random);
      wipe->SetReverse(reverse);
      wipe->Attach(pic.target, pic.out, pic.in, 1000);
      wipe->Prepare();
      const int64_t full = Distance(pic.out, pic.in);
      for (int32_t t : {0, 250, 500, 750, 999}) {
        wipe->SetTime(t);
        ASSERT_FALSE(wipe->Step()) << t;
      }
      EXPECT_LE(Distance(pic.target, pic.in) * 10, full) << "more than a tenth of the way left at T - 1";
    }
  }
}

}  // namespace
}  // namespace orin
