// The transition bases and the kinds written so far: the mask composition, the end of a run, the
// plain effects at the points where their pictures are known, and the kind table.
#include <gtest/gtest.h>

#include "core/error.h"
#include "imaging/screen_surface.h"
#include "imaging/wipes/custom_wipe.h"
#include "imaging/wipes/plain_wipes.h"
#include "imaging/wipes/wipe_table.h"

namespace orin {
namespace {

// Outgoing and incoming pictures of one colour each, and a target that starts as a marker.
struct Pictures {
  explicit Pictures(int depth = 32, int width = 4, int height = 4)
      : out(width, height, depth), in(width, height, depth), target(width, height, depth) {
    out.Fill(out.Bounds(), out.ColorToPixel(0x204060));  // 0x00BBGGRR: red 0x60
    in.Fill(in.Bounds(), in.ColorToPixel(0xA0C0E0));
    target.Fill(target.Bounds(), kMarker);
  }
  static constexpr uint32_t kMarker = 0x123456;
  ScreenSurface out, in, target;
};

// A mask wipe whose mask is given by the test, two rows high, changed on every step.
class TestMaskWipe : public TWipeMask {
 public:
  int MaskHeight() const override { return 2; }
  bool UpdateMask() override {
    for (int y = 0; y < 2; ++y)
      for (int x = 0; x < Mask().Width(); ++x) Mask().ScanLine(y)[x] = rows[y][x % 4];
    return changed;
  }
  void SetHardEdge(bool v) { hardEdge_ = v; }
  uint8_t rows[2][4] = {{0, 128, 255, 64}, {255, 255, 0, 0}};
  bool changed = true;
};

TEST(TWipeMask, ComposesThroughTheMaskRepeatedDownwards) {
  Pictures p;
  TestMaskWipe wipe;
  wipe.Attach(p.target, p.out, p.in, 100);
  wipe.Prepare();
  wipe.SetTime(50);
  EXPECT_FALSE(wipe.Step());
  const uint32_t out = 0x604020, in = 0xE0C0A0;
  const uint32_t half = (((128 * 0xE0 + 127 * 0x60) >> 8) << 16) | (((128 * 0xC0 + 127 * 0x40) >> 8) << 8) |
                        ((128 * 0xA0 + 127 * 0x20) >> 8);
  for (int y : {0, 2}) {
    EXPECT_EQ(p.target.GetPixel(0, y), out);
    EXPECT_EQ(p.target.GetPixel(1, y), half);
    EXPECT_EQ(p.target.GetPixel(2, y), in);
  }
  for (int y : {1, 3}) {
    EXPECT_EQ(p.target.GetPixel(0, y), in);
    EXPECT_EQ(p.target.GetPixel(3, y), out);
  }
  EXPECT_EQ(wipe.Changed(), p.target.Bounds());

  // A hard edge takes every non-zero value as the incoming picture.
  wipe.SetHardEdge(true);
  wipe.Step();
  EXPECT_EQ(p.target.GetPixel(1, 0), in);
  EXPECT_EQ(p.target.GetPixel(3, 0), in);
  EXPECT_EQ(p.target.GetPixel(0, 0), out);
}

TEST(TWipeMask, AnUnchangedMaskAndTheEndDrawNothing) {
  Pictures p;
  TestMaskWipe wipe;
  wipe.Attach(p.target, p.out, p.in, 100);
  wipe.Prepare();
  wipe.changed = false;
  wipe.SetTime(10);
  EXPECT_FALSE(wipe.Step());
  EXPECT_EQ(p.target.GetPixel(0, 0), Pictures::kMarker);
  wipe.changed = true;
  for (int32_t t : {100, 250}) {
    wipe.SetTime(t);
    EXPECT_TRUE(wipe.Step()) << t;
    EXPECT_EQ(p.target.GetPixel(2, 0), Pictures::kMarker) << t;
  }
}

TEST(TWipeMask, SixteenBitPicturesBlendPerChannel) {
  Pictures p(16);
  TestMaskWipe wipe;
  wipe.Attach(p.target, p.out, p.in, 100);
  wipe.Prepare();
  wipe.SetTime(0);
  wipe.Step();
  EXPECT_EQ(p.target.GetPixel(0, 0), p.out.GetPixel(0, 0));
  EXPECT_EQ(p.target.GetPixel(2, 0), p.in.GetPixel(0, 0));
  const uint32_t a = p.out.GetPixel(0, 0), b = p.in.GetPixel(0, 0);
  uint32_t half = 0;
  for (uint32_t m : {0xF800u, 0x07E0u, 0x001Fu}) half |= ((128 * (b & m) + 127 * (a & m)) >> 8) & m;
  EXPECT_EQ(p.target.GetPixel(1, 0), half);
}

TEST(TCustomWipe, PicturesOfAnotherShapeAreRefused) {
  Pictures p;
  ScreenSurface small(2, 2, 32), deep(4, 4, 16);
  TWipeFade wipe;
  EXPECT_THROW(wipe.Attach(p.target, small, p.in, 10), Error);
  EXPECT_THROW(wipe.Attach(p.target, p.out, deep, 10), Error);
}

TEST(TWipePlain, KnownPicturesAlongTheWay) {
  struct Case {
    const char* name;
    int kind;
    int32_t time;
    uint32_t expect;
  };
  const Case cases[] = {
      {"fade at the start shows the outgoing picture", 1, 0, 0x604020},
      {"fade halfway (opacity 128)", 1, 50,
       ((0x60 * 127 + 0xE0 * 128) >> 8) << 16 | ((0x40 * 127 + 0xC0 * 128) >> 8) << 8 | ((0x20 * 127 + 0xA0 * 128) >> 8)},
      {"white at the midpoint", 12, 50, 0xFFFFFF},
      {"white at the start", 12, 0, 0x604020},
      {"white near the end", 12, 99, 0xE6C6A6},  // a = 505: grey 6 over the incoming picture
      {"black at the midpoint", 13, 50, 0x000000},
      {"flash at the start", 14, 0, 0xFFFFFF},
      {"flash near the end", 14, 99, 0xE3C3A3},  // b = 252: grey 3
  };
  const WipeTable table = WipeTable::Standard();
  for (const Case& c : cases) {
    Pictures p;
    auto wipe = table.Make(c.kind);
    ASSERT_NE(wipe, nullptr) << c.name;
    wipe->Attach(p.target, p.out, p.in, 100);
    wipe->Prepare();
    wipe->SetTime(c.time);
    EXPECT_FALSE(wipe->Step()) << c.name;
    EXPECT_EQ(p.target.GetPixel(1, 1) & 0xFFFFFF, c.expect) << c.name;
    wipe->SetTime(100);
    EXPECT_TRUE(wipe->Step()) << c.name;
  }
}

TEST(TWipePlain, FadeSlidesTheIncomingPictureInByItsParameters) {
  Pictures p(32, 8, 1);
  TWipeFade wipe;
  wipe.SetParam(0, 4);
  wipe.Attach(p.target, p.out, p.in, 10);
  wipe.SetTime(5);  // f = 4 / 10: shifted by round(1.6) = 2
  wipe.Step();
  EXPECT_EQ(p.target.GetPixel(1, 0), 0x604020u);
  EXPECT_NE(p.target.GetPixel(2, 0), 0x604020u);
}

TEST(WipeTable, KindsOutsideTheTableOrWithoutAMakerMakeNothing) {
  WipeTable table = WipeTable::Standard();
  for (int kind : {-1, 0, 39, 1000}) EXPECT_EQ(table.Make(kind), nullptr) << kind;
  table.Set(2, nullptr);
  EXPECT_EQ(table.Make(2), nullptr);
  EXPECT_STREQ(WipeTable::KindName(1), "TWipeFade");
  EXPECT_STREQ(WipeTable::KindName(38), "TWipeBlockRandom");
  EXPECT_EQ(WipeTable::KindName(0), nullptr);
  EXPECT_EQ(WipeTable::KindName(39), nullptr);

  // A maker set later gets the kind's defaults.
  const struct {
    int kind;
    int32_t p0, p1;
  } defaults[] = {{2, 20, 1}, {8, 80, 30}, {24, 5, 0}, {29, 64, 3}, {38, 60, 0}};
  for (const auto& d : defaults) {
    table.Set(d.kind, [] { return std::make_unique<TWipeFade>(); });
    auto wipe = table.Make(d.kind);
    ASSERT_NE(wipe, nullptr) << d.kind;
    EXPECT_EQ(wipe->GetParam(0), d.p0) << d.kind;
    EXPECT_EQ(wipe->GetParam(1), d.p1) << d.kind;
  }
}

}  // namespace
}  // namespace orin
