// The mask kinds with fixed formulas: mask values at known times on tiny screens, the parameter
// clamps, the orders of the dither and block kinds.
#include "imaging/wipes/mask_wipes.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "core/random.h"
#include "imaging/screen_surface.h"
#include "imaging/wipes/wipe_table.h"

namespace orin {
namespace {

constexpr uint32_t kOut = 0x204060, kIn = 0xE0C0A0;

// One-colour pictures and a target, and a wipe attached to them.
struct Screen {
  Screen(int width, int height) : out(width, height, 32), in(width, height, 32), target(width, height, 32) {
    out.Fill(out.Bounds(), kOut);
    in.Fill(in.Bounds(), kIn);
  }
  void Start(TCustomWipe& wipe, int32_t duration, bool reverse = false) {
    wipe.SetReverse(reverse);
    wipe.Attach(target, out, in, duration);
    wipe.Prepare();
  }
  // 'o' outgoing, 'i' incoming, '?' anything else, row by row.
  std::string Row(int y) const {
    std::string s;
    for (int x = 0; x < target.Width(); ++x) {
      const uint32_t p = target.GetPixel(x, y) & 0xFFFFFF;
      s += p == kOut ? 'o' : p == kIn ? 'i' : '?';
    }
    return s;
  }
  ScreenSurface out, in, target;
};

// A kind with its mask in view.
template <class W>
struct Exposed : W {
  using W::Mask;
  std::vector<int> MaskRow(int y) { return std::vector<int>(Mask().ScanLine(y), Mask().ScanLine(y) + Mask().Width()); }
};

bool StepAt(TCustomWipe& wipe, int32_t t) {
  wipe.SetTime(t);
  return wipe.Step();
}

TEST(TWipeBlind, HalfOfEveryBandShowsTheIncomingPictureHalfway) {
  // The defaults p0 = 20, p1 = 1 at t = T ÷ 2: level 19, columns with offset 2·r < 19 are open.
  for (bool reverse : {false, true}) {
    Screen s(40, 2);
    auto wipe = WipeTable::Standard().Make(2);
    s.Start(*wipe, 100, reverse);
    EXPECT_FALSE(StepAt(*wipe, 50));
    const std::string half = reverse ? "ooooooooooiiiiiiiiii" : "iiiiiiiiiioooooooooo";
    EXPECT_EQ(s.Row(0), half + half) << reverse;
    EXPECT_EQ(s.Row(1), half + half) << reverse;
  }
}

TEST(TWipeBlind, SoftBandsFollowTheLevel) {
  // p0 = 4, p1 = 10, t = 40 of 100: level (10 + 8 − 2) × 40 ÷ 100 = 6; offsets 0, 2, 4, 6.
  Exposed<TWipeBlindH> h;
  h.SetParam(0, 4);
  h.SetParam(1, 10);
  Screen s(9, 3);
  s.Start(h, 100);
  StepAt(h, 40);
  EXPECT_EQ(h.Mask().Height(), 1);
  EXPECT_EQ(h.MaskRow(0), (std::vector<int>{153, 102, 51, 0, 153, 102, 51, 0, 153}));

  Exposed<TWipeBlindV> v;
  v.SetParam(0, 4);
  v.SetParam(1, 10);
  Screen sv(3, 9);
  sv.Start(v, 100, true);
  StepAt(v, 40);
  ASSERT_EQ(v.Mask().Height(), 4);
  const int reversed[4] = {0, 51, 102, 153};
  for (int r = 0; r < 4; ++r) EXPECT_EQ(v.MaskRow(r), std::vector<int>(3, reversed[r])) << r;
  // The mask repeats downwards: row 5 is drawn through mask row 1.
  const uint32_t mixed = sv.target.GetPixel(0, 5);
  EXPECT_EQ(mixed & 0xFF, (51u * 0xA0 + 204u * 0x60) >> 8);
}

TEST(TWipeMaskKinds, SetParamClampsAsWritten) {
  const struct {
    int kind, index;
    int32_t value, stored;
  } cases[] = {
      {2, 0, 1, 2},     {2, 0, -9, 2},    {2, 1, 0, 1},  {2, 0, 7, 7},        {3, 0, 0, 2}, {3, 1, -1, 1},
      {4, 0, 0, 1},     {4, 1, -5, 1},    {5, 0, -1, 1}, {5, 1, 3, 3},        {8, 0, 0, 0}, {37, 0, 0, 0},
      {2, 0, 100000, 100000},
  };
  const WipeTable table = WipeTable::Standard();
  for (const auto& c : cases) {
    auto wipe = table.Make(c.kind);
    wipe->SetParam(c.index, c.value);
    EXPECT_EQ(wipe->GetParam(c.index), c.stored) << c.kind << " p" << c.index << " = " << c.value;
  }
}

TEST(TWipeCurtain, BandsOpenOneAfterAnother) {
  // W = 8, p0 = 3, p1 = 16: level = ((3 + 3 − 2) × 16 + 16) × 50 ÷ 100 = 40;
  // offsets (x div 3 + x mod 3) × 16 = 0 16 32 16 32 48 32 48.
  const std::vector<int> forward = {255, 255, 127, 255, 127, 0, 127, 0};
  for (bool reverse : {false, true}) {
    std::vector<int> expect = forward;
    if (reverse) std::reverse(expect.begin(), expect.end());
    Exposed<TWipeCurtainH> h;
    h.SetParam(0, 3);
    h.SetParam(1, 16);
    Screen s(8, 2);
    s.Start(h, 100, reverse);
    StepAt(h, 50);
    EXPECT_EQ(h.MaskRow(0), expect) << reverse;

    Exposed<TWipeCurtainV> v;
    v.SetParam(0, 3);
    v.SetParam(1, 16);
    Screen sv(2, 8);
    sv.Start(v, 100, reverse);
    StepAt(v, 50);
    for (int y = 0; y < 8; ++y) EXPECT_EQ(v.MaskRow(y)[1], expect[static_cast<size_t>(y)]) << reverse << " row " << y;
  }
}

TEST(TWipeGrid, SquaresGrowInTheirCellsInKeyOrder) {
  // 8 × 4, cells of 4: two cells with keys 0 and 1 (reversed 1 and 0); p1 = 4.
  // level = (4 + 4 × 1) × t ÷ 100.
  struct Case {
    bool reverse;
    int32_t t;
    std::vector<std::vector<int>> rows;
  };
  const std::vector<int> z(8, 0);
  const Case cases[] = {
      {false, 0, {z, z, z, z}},
      // level 2: the first cell's square of side 2 and value 127.
      {false, 25, {z, {0, 127, 127, 0, 0, 0, 0, 0}, {0, 127, 127, 0, 0, 0, 0, 0}, z}},
      {false, 75, {{255, 255, 255, 255, 0, 0, 0, 0}, {255, 255, 255, 255, 0, 127, 127, 0},
                   {255, 255, 255, 255, 0, 127, 127, 0}, {255, 255, 255, 255, 0, 0, 0, 0}}},
      {true, 25, {z, {0, 0, 0, 0, 0, 127, 127, 0}, {0, 0, 0, 0, 0, 127, 127, 0}, z}},
  };
  for (const Case& c : cases) {
    Exposed<TWipeGrid> g;
    g.SetParam(0, 4);
    g.SetParam(1, 4);
    Screen s(8, 4);
    s.Start(g, 100, c.reverse);
    StepAt(g, c.t);
    for (int y = 0; y < 4; ++y) EXPECT_EQ(g.MaskRow(y), c.rows[static_cast<size_t>(y)]) << c.reverse << " " << c.t << " row " << y;
  }
}

TEST(TWipeGrid, ColumnAndRowKindsAndTheFarCorner) {
  // Kind 9 orders by column and keeps one band of cells (p0 rows) as its mask.
  Exposed<TWipeGridH> h;
  h.SetParam(0, 2);
  h.SetParam(1, 4);
  Screen s(6, 8);
  s.Start(h, 16);  // level = (4 + 4 × 2) × t ÷ 16 = t × 12 ÷ 16
  EXPECT_EQ(h.Mask().Height(), 2);
  StepAt(h, 8);  // level 6: column cells 0 (full) and 1 (progress 2: side 1, value 127)
  EXPECT_EQ(h.MaskRow(0), (std::vector<int>{255, 255, 127, 0, 0, 0}));
  EXPECT_EQ(h.MaskRow(1), (std::vector<int>{255, 255, 0, 0, 0, 0}));
  StepAt(h, 11);  // level 8: cells 0 and 1 full
  EXPECT_EQ(h.MaskRow(1), (std::vector<int>{255, 255, 255, 255, 0, 0}));
  EXPECT_EQ(s.Row(7), "iiiioo");

  Exposed<TWipeGridV> v;
  v.SetParam(0, 2);
  v.SetParam(1, 4);
  Screen sv(4, 6);
  sv.Start(v, 16, true);  // the bottom row of cells first
  StepAt(v, 6);           // level 4: the last row of cells full
  EXPECT_EQ(sv.Row(5), "iiii");
  EXPECT_EQ(sv.Row(3), "oooo");

  // Kind 8 runs to p1 + 4k for its last key, so the far corner fills before the end:
  // 12 × 12, cells of 4, last key round(hypot(2, 2)) = 3, p1 = 8: level = 20 × t ÷ 20 = t.
  Exposed<TWipeGrid> g;
  g.SetParam(0, 4);
  g.SetParam(1, 8);
  Screen sg(12, 12);
  sg.Start(g, 20);
  StepAt(g, 19);  // the corner cell's progress 19 − 12 = 7: side 3, value 223
  EXPECT_EQ(g.MaskRow(10), (std::vector<int>{255, 255, 255, 255, 255, 255, 255, 255, 223, 223, 223, 0}));
}

TEST(TWipeDither, TheVisitingOrderIsFixed) {
  const std::vector<int32_t> order = TWipeDither::VisitingOrder();
  ASSERT_EQ(order.size(), 4096u);
  // TTpRandom with increment 12341: the first state is 12341, and 12341 mod 4096 = 53.
  EXPECT_EQ(std::vector<int32_t>(order.begin(), order.begin() + 5), (std::vector<int32_t>{53, 337, 1831, 1488, 1664}));
  EXPECT_EQ(TWipeDither::VisitingOrder(), order);
  std::vector<int32_t> sorted = order;
  std::sort(sorted.begin(), sorted.end());
  for (int i = 0; i < 4096; ++i) ASSERT_EQ(sorted[static_cast<size_t>(i)], i);
}

TEST(TWipeDither, TheFirstCellsTurnOverAcrossTheWholeScreen) {
  for (int32_t t : {3, 4093}) {
    Screen s(130, 70);
    TWipeDither wipe;
    s.Start(wipe, 4096);
    StepAt(wipe, t);
    const std::vector<int32_t> order = TWipeDither::VisitingOrder();
    std::vector<bool> on(4096, false);
    for (int32_t i = 0; i < t; ++i) on[static_cast<size_t>(order[static_cast<size_t>(i)])] = true;
    int shown = 0;
    for (int y = 0; y < 70; ++y)
      for (int x = 0; x < 130; ++x) {
        const bool in = (s.target.GetPixel(x, y) & 0xFFFFFF) == kIn;
        ASSERT_EQ(in, on[static_cast<size_t>(y % 64 * 64 + x % 64)]) << t << " at " << x << "," << y;
        shown += in;
      }
    EXPECT_GT(shown, 0);
  }
}

TEST(TWipeCircle, TheDiscGrowsFromTheCentre) {
  // 20 × 10: full radius round(hypot(10, 5)) = 11; halfway 6.
  Screen s(20, 10);
  TWipeCircle wipe;
  s.Start(wipe, 100);
  StepAt(wipe, 0);
  for (int y = 0; y < 10; ++y) EXPECT_EQ(s.Row(y), std::string(20, 'o'));
  StepAt(wipe, 50);
  EXPECT_EQ(s.Row(5), "ooooiiiiiiiiiiiioooo");  // centres 4.5 … 15.5 lie within 6 of 10 (dy 0.5)
  EXPECT_EQ(s.Row(0), "ooooooiiiiiiiioooooo");  // dy 4.5: half width 3.97
  EXPECT_EQ(s.Row(1), "oooooiiiiiiiiiiooooo");  // dy 3.5: half width 4.87
  StepAt(wipe, 99);
  for (int y = 0; y < 10; ++y) EXPECT_EQ(s.Row(y), std::string(20, 'i'));

  Screen r(20, 10);
  TWipeCircle reversed;
  r.Start(reversed, 100, true);
  StepAt(reversed, 0);  // a disc of the outgoing picture covering the corners
  for (int y = 0; y < 10; ++y) EXPECT_EQ(r.Row(y), std::string(20, 'o'));
  StepAt(reversed, 50);
  EXPECT_EQ(r.Row(5), "iiiiooooooooooooiiii");
}

TEST(TWipeBlockCoil, TheSpiralWalksInwards) {
  EXPECT_EQ(TWipeBlockCoil::Spiral(3, 3), (std::vector<int32_t>{0, 1, 2, 5, 8, 7, 6, 3, 4}));
  EXPECT_EQ(TWipeBlockCoil::Spiral(4, 2), (std::vector<int32_t>{0, 1, 2, 3, 7, 6, 5, 4}));
  EXPECT_EQ(TWipeBlockCoil::Spiral(2, 3), (std::vector<int32_t>{0, 1, 3, 5, 4, 2}));
  EXPECT_EQ(TWipeBlockCoil::Spiral(1, 3), (std::vector<int32_t>{0, 1, 2}));
  EXPECT_EQ(TWipeBlockCoil::Spiral(3, 1), (std::vector<int32_t>{0, 1, 2}));
}

TEST(TWipeBlockCoil, BlocksTurnOverAlongTheSpiral) {
  // 30 × 30 in blocks of 10: nine blocks, count × t ÷ 90 of them at t.
  struct Case {
    bool reverse;
    int32_t t;
    std::vector<std::string> blockRows;  // one letter per block
  };
  const Case cases[] = {
      {false, 0, {"ooo", "ooo", "ooo"}},
      {false, 10, {"ioo", "ooo", "ooo"}},
      {false, 50, {"iii", "ooi", "ooi"}},
      {true, 10, {"ooo", "oio", "ooo"}},
      {true, 50, {"ooo", "iio", "iii"}},
      {false, 89, {"iii", "ioi", "iii"}},
  };
  for (const Case& c : cases) {
    Screen s(30, 30);
    auto wipe = WipeTable::Standard().Make(37);
    wipe->SetParam(0, 10);
    s.Start(*wipe, 90, c.reverse);
    StepAt(*wipe, c.t);
    for (int by = 0; by < 3; ++by) {
      std::string blocks;
      for (int bx = 0; bx < 3; ++bx) blocks += s.Row(by * 10 + 5)[static_cast<size_t>(bx * 10 + 5)];
      EXPECT_EQ(blocks, c.blockRows[static_cast<size_t>(by)]) << c.reverse << " " << c.t << " row " << by;
    }
  }
}

TEST(TWipeBlockCoil, TheBlockSizeIsHeldToTheScreenAndTimeMayRunBack) {
  const struct {
    int32_t p0, size;
  } sizes[] = {{0, 10}, {9, 10}, {25, 25}, {100000, 30}, {-4, 10}};
  for (const auto& c : sizes) {
    Screen s(40, 30);
    TWipeBlockCoil wipe;
    wipe.SetParam(0, c.p0);
    s.Start(wipe, 100);
    EXPECT_EQ(wipe.GetParam(0), c.size) << c.p0;
  }
  Screen s(30, 30);
  TWipeBlockCoil wipe;
  wipe.SetParam(0, 10);
  s.Start(wipe, 90);
  StepAt(wipe, 50);
  StepAt(wipe, 10);
  EXPECT_EQ(s.Row(5), std::string(10, 'i') + std::string(20, 'o'));
  EXPECT_EQ(s.Row(25), std::string(30, 'o'));
}

// The order the random kind must give: the remaining list, a block taken out of it at a random
// index each time, as a list with erase does it.
std::vector<int32_t> NaiveRandomOrder(int count, uint32_t seed) {
  RunTimeRandom random(seed);
  std::vector<int32_t> left(static_cast<size_t>(count));
  for (int i = 0; i < count; ++i) left[static_cast<size_t>(i)] = i;
  std::vector<int32_t> order;
  while (!left.empty()) {
    const auto k = static_cast<size_t>(random.Next(static_cast<int32_t>(left.size())));
    order.push_back(left[k]);
    left.erase(left.begin() + static_cast<std::ptrdiff_t>(k));
  }
  return order;
}

TEST(TWipeBlockRandom, DrawsItsOrderFromTheRunTimeGenerator) {
  // 70 × 40 in blocks of 10: 7 × 4 blocks, all turned over one by one.
  for (bool reverse : {false, true}) {
    for (uint32_t seed : {0u, 12345u, 0xFFFFFFFFu}) {
      RunTimeRandom random(seed);
      Screen s(70, 40);
      TWipeBlockRandom wipe;
      wipe.SetParam(0, 10);
      wipe.SetRandom(&random);
      s.Start(wipe, 28, reverse);
      const std::vector<int32_t> expect = NaiveRandomOrder(28, seed);
      // The wipe drew 28 numbers from the shared generator.
      RunTimeRandom after(seed);
      for (int i = 0; i < 28; ++i) after.Next(1);
      EXPECT_EQ(random.State, after.State);
      for (int32_t t = 1; t < 28; ++t) {
        StepAt(wipe, t);
        const int32_t block = expect[static_cast<size_t>(t - 1)];
        const int x = block % 7 * 10 + 5, y = block / 7 * 10 + 5;
        ASSERT_EQ(s.target.GetPixel(x, y) & 0xFFFFFF, kIn) << seed << " step " << t;
        const int32_t next = expect[static_cast<size_t>(t)];
        ASSERT_EQ(s.target.GetPixel(next % 7 * 10 + 5, next / 7 * 10 + 5) & 0xFFFFFF, kOut) << seed << " step " << t;
      }
    }
  }
}

}  // namespace
}  // namespace orin
