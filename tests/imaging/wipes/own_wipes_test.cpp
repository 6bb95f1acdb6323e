// The transitions that draw their own geometry: for every kind and both directions, the start is
// exactly the outgoing picture, the last step is close to the incoming one, the middle is
// neither, the end draws nothing; mirrored pictures give mirrored runs where the kind mirrors;
// hostile parameters and tiny screens are survived; and a few pictures whose pixels are known.
#include <gtest/gtest.h>

#include <climits>
#include <cstdlib>
#include <random>

#include "imaging/screen_surface.h"
#include "imaging/wipes/distort_wipes.h"
#include "imaging/wipes/wipe_rows.h"
#include "imaging/wipes/wipe_table.h"
#include "imaging/wipes/zoom_wipes.h"

namespace orin {
namespace {

constexpr uint32_t kMarker = 0x123456;
constexpr int32_t kT = 1000;

// Two smooth pictures (neighbouring pixels differ little, so a sampling one pixel off stays
// close) and a target that starts as a marker.
struct Pictures {
  Pictures(int width, int height, int depth = 32)
      : out(width, height, depth), in(width, height, depth), target(width, height, depth) {
    for (int y = 0; y < height; ++y)
      for (int x = 0; x < width; ++x) {
        Put(out, x, y, 0x30 + x * 2, 0x20 + y * 3, 0x50);
        Put(in, x, y, 0xE0 - y * 2, 0xC0, 0x90 + x);
      }
    target.Fill(target.Bounds(), kMarker);
  }
  static void Put(ScreenSurface& s, int x, int y, int r, int g, int b) {
    const uint32_t pixel = s.ColorToPixel((b & 0xFF) << 16 | (g & 0xFF) << 8 | (r & 0xFF));
    s.Fill(Rect{x, y, x + 1, y + 1}, pixel);
  }
  ScreenSurface out, in, target;
};

// The mean difference per colour channel (0 … 255) between two surfaces.
double MeanDifference(const ScreenSurface& a, const ScreenSurface& b) {
  double sum = 0;
  for (int y = 0; y < a.Height(); ++y)
    for (int x = 0; x < a.Width(); ++x) {
      const uint32_t p = a.GetPixel(x, y), q = b.GetPixel(x, y);
      const Rgb c = a.Picture().PixelToRGB(p, false), d = b.Picture().PixelToRGB(q, false);
      sum += std::abs(c.Red - d.Red) + std::abs(c.Green - d.Green) + std::abs(c.Blue - d.Blue);
    }
  return sum / (3.0 * a.Width() * a.Height());
}

bool Same(const ScreenSurface& a, const ScreenSurface& b) {
  for (int y = 0; y < a.Height(); ++y)
    for (int x = 0; x < a.Width(); ++x)
      if (a.GetPixel(x, y) != b.GetPixel(x, y)) return false;
  return true;
}

std::unique_ptr<TCustomWipe> RunKind(int kind, Pictures& p, bool reverse, int32_t time,
                                     RunTimeRandom* random = nullptr) {
  auto wipe = WipeTable::Standard().Make(kind);
  EXPECT_NE(wipe, nullptr) << kind;
  if (!wipe) return nullptr;
  if (kind == 29) wipe->SetParam(0, 16);  // pieces enough for a small screen
  if (kind == 30) {                       // the player gives kind 30 the screen's centre
    wipe->SetParam(0, p.out.Width() / 2);
    wipe->SetParam(1, p.out.Height() / 2);
  }
  wipe->SetRandom(random);
  wipe->SetReverse(reverse);
  wipe->Attach(p.target, p.out, p.in, kT);
  wipe->Prepare();
  wipe->SetTime(time);
  EXPECT_FALSE(wipe->Step()) << kind;
  return wipe;
}

constexpr int kOwnKinds[] = {6, 7, 16, 17, 18, 20, 21, 22, 23, 24, 25, 26, 27, 28, 29, 30, 32, 33};

TEST(OwnWipes, RunFromTheOutgoingToTheIncomingPictureBothWays) {
  for (int depth : {32, 16})
    for (int kind : kOwnKinds)
      for (bool reverse : {false, true}) {
        SCOPED_TRACE(testing::Message()
                     << "kind " << kind << (reverse ? " reversed" : "") << " at " << depth);
        Pictures p(64, 48, depth);
        auto wipe = RunKind(kind, p, reverse, 0);
        EXPECT_TRUE(Same(p.target, p.out));
        EXPECT_EQ(wipe->Changed(), p.target.Bounds());

        wipe->SetTime(kT / 2 + 37);
        EXPECT_FALSE(wipe->Step());
        EXPECT_GT(MeanDifference(p.target, p.out), 2.0);
        EXPECT_GT(MeanDifference(p.target, p.in), 2.0);

        wipe->SetTime(kT - 1);
        EXPECT_FALSE(wipe->Step());
        EXPECT_LT(MeanDifference(p.target, p.in), 3.0);

        // Done: nothing is drawn any more.
        p.target.Fill(p.target.Bounds(), kMarker);
        const uint32_t marker = p.target.GetPixel(0, 0);
        for (int32_t t : {kT, kT + 1, INT32_MAX}) {
          wipe->SetTime(t);
          EXPECT_TRUE(wipe->Step());
        }
        EXPECT_EQ(p.target.GetPixel(0, 0), marker);
      }
}

// Mirrored pictures run reversed give the mirror image of the plain run, for the kinds whose
// reverse is a mirror.
TEST(OwnWipes, ReverseMirrorsTheRun) {
  const struct {
    int kind;
    bool acrossX;  // mirrored left to right; otherwise top to bottom
  } cases[] = {{6, true},  {7, false},  {16, true}, {17, false}, {20, true},
               {21, true}, {27, false}, {28, true}, {32, true},  {33, false}};
  for (const auto& c : cases)
    for (int32_t t : {123, 500, 871}) {
      SCOPED_TRACE(testing::Message() << "kind " << c.kind << " at " << t);
      const int w = 40, h = 30;
      Pictures plain(w, h), mirrored(w, h);
      for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
          const int mx = c.acrossX ? w - 1 - x : x, my = c.acrossX ? y : h - 1 - y;
          mirrored.out.Fill(Rect{mx, my, mx + 1, my + 1}, plain.out.GetPixel(x, y));
          mirrored.in.Fill(Rect{mx, my, mx + 1, my + 1}, plain.in.GetPixel(x, y));
        }
      RunKind(c.kind, plain, false, t);
      RunKind(c.kind, mirrored, true, t);
      int differing = 0;
      for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
          const int mx = c.acrossX ? w - 1 - x : x, my = c.acrossX ? y : h - 1 - y;
          differing += plain.target.GetPixel(x, y) != mirrored.target.GetPixel(mx, my);
        }
      // Rounding at the half pixel may fall the other way on a line or two.
      EXPECT_LE(differing, c.acrossX ? 2 * h : 2 * w);
    }
}

TEST(OwnWipes, HostileParametersAndTinyScreensAreSurvived) {
  const int32_t hostile[] = {INT32_MIN, -1, 0, 1, 7, INT32_MAX};
  for (int kind : kOwnKinds)
    for (auto [w, h] : {std::pair{1, 1}, std::pair{2, 3}, std::pair{5, 1}, std::pair{33, 17}})
      for (int32_t v : hostile) {
        SCOPED_TRACE(testing::Message()
                     << "kind " << kind << " " << w << "x" << h << " params " << v);
        Pictures p(w, h);
        auto wipe = WipeTable::Standard().Make(kind);
        wipe->SetParam(0, v);
        wipe->SetParam(1, v);
        wipe->SetName("\x82\xa0,9");
        wipe->Attach(p.target, p.out, p.in, 7);
        wipe->Prepare();
        for (int32_t t = 0; t < 7; ++t) {
          wipe->SetTime(t);
          EXPECT_FALSE(wipe->Step());
          if (t == 0) {
            EXPECT_TRUE(Same(p.target, p.out));
          }
        }
      }
}

TEST(OwnWipes, KnownPicturesAlongTheWay) {
  const uint32_t black = 0, white = 0xFFFFFF;
  struct Case {
    const char* name;
    int kind;
    bool reverse;
    int32_t time;
    int x, y;
    bool fromIncoming;  // expected: a pixel of this picture …
    int sx, sy;         // … at this place, or a colour when sx < 0
    uint32_t colour;
  };
  const Case cases[] = {
      {"scroll H halfway: the incoming left half on the right", 6, false, 500, 40, 5, true, 8, 5,
       0},
      {"scroll H halfway: the outgoing right half on the left", 6, false, 500, 3, 5, false, 35, 5,
       0},
      {"scroll H reversed: the incoming comes from the left", 6, true, 250, 0, 5, true, 48, 5, 0},
      {"scroll V a quarter: the incoming top rows at the bottom", 7, false, 250, 5, 36, true, 5, 0,
       0},
      {"spot at the midpoint is black", 18, false, 500, 32, 24, false, -1, 0, black},
      {"spot's first half keeps the middle", 18, false, 250, 32, 24, false, 32, 24, 0},
      {"spot's first half blacks out the corners", 18, false, 250, 0, 0, false, -1, 0, black},
      {"spot reversed: a black disc in the middle", 18, true, 250, 32, 24, false, -1, 0, black},
      {"spot reversed keeps the corners", 18, true, 250, 0, 0, false, 0, 0, 0},
      {"blur white is white at the midpoint", 25, false, 500, 10, 10, false, -1, 0, white},
      {"blur black is black at the midpoint", 26, false, 500, 10, 10, false, -1, 0, black},
      {"a light band's middle is white", 20, false, 500, 32, 9, false, -1, 0, white},
      {"a shadow band's middle is black", 21, false, 500, 32, 9, false, -1, 0, black},
      {"behind the band the incoming picture", 20, false, 500, 2, 9, true, 2, 9, 0},
      {"ahead of the band the outgoing picture", 20, false, 500, 62, 9, false, 62, 9, 0},
      {"a twisted row edge-on is black", 27, false, 133, 0, 0, false, -1, 0, black},
      {"rows not yet turning are whole", 27, false, 133, 0, 47, false, 0, 47, 0},
      {"sudare V: the top is closed early", 17, false, 400, 7, 0, true, 7, 0, 0},
      {"sudare V: the bottom is still open", 17, false, 400, 7, 47, false, 7, 47, 0},
      {"small: around the shrunken picture the incoming one", 22, false, 500, 0, 0, true, 0, 0, 0},
      {"big: around the grown picture the outgoing one", 23, false, 300, 0, 0, false, 0, 0, 0},
      {"rubber V: the seam halfway", 33, false, 500, 5, 47, true, 5, 47, 0},
  };
  for (const Case& c : cases) {
    Pictures p(64, 48);
    RunKind(c.kind, p, c.reverse, c.time);
    const uint32_t expect =
        c.sx < 0 ? c.colour : (c.fromIncoming ? p.in : p.out).GetPixel(c.sx, c.sy) & 0xFFFFFF;
    EXPECT_EQ(p.target.GetPixel(c.x, c.y) & 0xFFFFFF, expect) << c.name;
  }
}

// The column twist is the row twist turned on its side: both sample with the same arithmetic, so
// the fast column path must give exactly the transposed picture of the plain row path.
TEST(TWipeTwistV, IsTheRowTwistTransposed) {
  std::mt19937 rng(28);
  const int w = 83, h = 45;
  Pictures cols(w, h), rows(h, w);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const uint32_t a = rng() & 0xFFFFFF, b = rng() & 0xFFFFFF;
      cols.out.Fill(Rect{x, y, x + 1, y + 1}, a);
      cols.in.Fill(Rect{x, y, x + 1, y + 1}, b);
      rows.out.Fill(Rect{y, x, y + 1, x + 1}, a);
      rows.in.Fill(Rect{y, x, y + 1, x + 1}, b);
    }
  for (bool reverse : {false, true})
    for (int32_t time : {1, 133, 380, 500, 650, 999}) {
      SCOPED_TRACE(std::to_string(time) + (reverse ? " reversed" : ""));
      RunKind(28, cols, reverse, time);
      RunKind(27, rows, reverse, time);
      int wrong = 0;
      for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) wrong += cols.target.GetPixel(x, y) != rows.target.GetPixel(y, x);
      EXPECT_EQ(wrong, 0);
    }
}

TEST(TWipeZoomin, ZoomsIntoItsPointNamedByParametersOrString) {
  // Halfway in, the pixel at the point stays the outgoing picture's (dimmed into the incoming
  // one, which also keeps its pixel there); far from the point the pictures are swollen.
  Pictures a(64, 48), b(64, 48);
  auto wa = WipeTable::Standard().Make(30);
  wa->SetParam(0, 10);
  wa->SetParam(1, 40);
  auto wb = WipeTable::Standard().Make(30);
  wb->SetName("10,40");
  EXPECT_EQ(wb->GetParam(0), 10);
  EXPECT_EQ(wb->GetParam(1), 40);
  for (auto* w : {wa.get(), wb.get()}) w->SetTime(400);
  wa->Attach(a.target, a.out, a.in, kT);
  wb->Attach(b.target, b.out, b.in, kT);
  wa->Prepare();
  wb->Prepare();
  wa->Step();
  wb->Step();
  EXPECT_TRUE(Same(a.target, b.target));
  // Both pictures keep their pixel at the point itself: there the outgoing one (weight
  // 1 − ease(0.4), 166 of 256) is mixed into the incoming one.
  const uint32_t in = a.in.GetPixel(10, 40), out = a.out.GetPixel(10, 40);
  uint32_t mixed = 0;
  wipes::RefMixRow32(reinterpret_cast<uint8_t*>(&mixed), reinterpret_cast<const uint8_t*>(&in),
                     reinterpret_cast<const uint8_t*>(&out), 1, 166);
  EXPECT_EQ(a.target.GetPixel(10, 40), mixed);
  EXPECT_NE(a.target.GetPixel(0, 0), a.out.GetPixel(0, 0));

  // Strings that are not two numbers leave the point alone.
  for (const char* bad : {"", "5", "1,2,3", "x,y", "1;2", "- 4,3"}) {
    auto w = WipeTable::Standard().Make(30);
    w->SetParam(0, 7);
    w->SetName(bad);
    EXPECT_EQ(w->GetParam(0), 7) << bad;
  }
  auto w = WipeTable::Standard().Make(30);
  w->SetName("-3 200");
  EXPECT_EQ(w->GetParam(0), -3);
  EXPECT_EQ(w->GetParam(1), 200);
}

TEST(TWipeCrack, ThePiecesComeFromTheRunTimeGenerator) {
  auto frame = [](uint32_t seed) {
    RunTimeRandom random(seed);
    auto p = std::make_unique<Pictures>(64, 48);
    RunKind(29, *p, false, 400, &random);
    return p;
  };
  auto a = frame(1), b = frame(1), c = frame(99);
  EXPECT_TRUE(Same(a->target, b->target));
  EXPECT_FALSE(Same(a->target, c->target));

  // The generator is drawn in Prepare only, twice per piece (16-pixel pieces: 4 × 3 of them).
  RunTimeRandom random(5);
  Pictures p(64, 48);
  auto wipe = RunKind(29, p, false, 100, &random);
  RunTimeRandom expected(5);
  for (int i = 0; i < 12; ++i) {
    expected.Next(1000);
    expected.Next(7);
  }
  EXPECT_EQ(random.State, expected.State);
  wipe->SetTime(600);
  wipe->Step();
  EXPECT_EQ(random.State, expected.State);
}

TEST(WipeTable, TheOwnKindsCarryTheirDefaults) {
  const WipeTable table = WipeTable::Standard();
  for (int kind : kOwnKinds) EXPECT_TRUE(table.Has(kind)) << kind;
  EXPECT_EQ(table.Make(24)->GetParam(0), 5);
  EXPECT_EQ(table.Make(29)->GetParam(0), 64);
  EXPECT_EQ(table.Make(29)->GetParam(1), 3);
}

TEST(WipeRows, TheFastRowsMatchTheReference) {
  std::mt19937 rng(7);
  std::uniform_int_distribution<int> byte(0, 255);
  for (int count : {0, 1, 3, 4, 7, 64, 131}) {
    std::vector<uint8_t> a(4 * static_cast<size_t>(count)), b(a.size()), g(a.size()),
        fast(a.size()), ref(a.size());
    for (size_t i = 0; i < a.size(); ++i) {
      a[i] = static_cast<uint8_t>(byte(rng));
      b[i] = static_cast<uint8_t>(byte(rng));
      g[i] = i % 4 == 3 ? 0 : static_cast<uint8_t>(byte(rng));
    }
    for (int w : {0, 1, 128, 255, 256}) {
      wipes::MixRow32(fast.data(), a.data(), b.data(), count, w);
      wipes::RefMixRow32(ref.data(), a.data(), b.data(), count, w);
      EXPECT_EQ(fast, ref) << count << " w " << w;
    }
    wipes::AddGreyRow32(fast.data(), a.data(), g.data(), count);
    wipes::RefAddGreyRow32(ref.data(), a.data(), g.data(), count);
    EXPECT_EQ(fast, ref) << count;
    wipes::SubGreyRow32(fast.data(), a.data(), g.data(), count);
    wipes::RefSubGreyRow32(ref.data(), a.data(), g.data(), count);
    EXPECT_EQ(fast, ref) << count;
  }
  // The ends of a mix are the rows themselves.
  const uint8_t x[4] = {1, 2, 3, 4}, y[4] = {250, 251, 252, 253};
  uint8_t d[4];
  wipes::RefMixRow32(d, x, y, 1, 256);
  EXPECT_EQ(d[2], 252);
  wipes::RefMixRow32(d, x, y, 1, 0);
  EXPECT_EQ(d[2], 3);
}

}  // namespace
}  // namespace orin
