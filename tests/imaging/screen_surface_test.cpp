#include "imaging/screen_surface.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <initializer_list>
#include <random>
#include <vector>

#include "core/error.h"
#include "imaging/row_team.h"

namespace orin {
namespace {

// A picture of the given rows of pixel values (32 bits unless depth says otherwise).
TDIBSurface Picture(std::initializer_list<std::initializer_list<uint32_t>> rows, int depth = 32) {
  const int h = static_cast<int>(rows.size());
  const int w = static_cast<int>(rows.begin()->size());
  TDIBSurface s(w, h, depth);
  int y = 0;
  for (const auto& row : rows) {
    int x = 0;
    for (uint32_t v : row) s.SetPixel(x++, y, v);
    ++y;
  }
  return s;
}

void SetMask(TDIBSurface& s, std::initializer_list<std::initializer_list<uint8_t>> rows) {
  s.CreateAlpha();
  int y = 0;
  for (const auto& row : rows) {
    int x = 0;
    for (uint8_t v : row) s.Alpha->ScanLine(y)[x++] = v;
    ++y;
  }
}

std::vector<uint32_t> Row(const ScreenSurface& s, int y) {
  std::vector<uint32_t> v;
  for (int x = 0; x < s.Width(); ++x) v.push_back(s.GetPixel(x, y));
  return v;
}

ScreenSurface Screen(int w, int h, uint32_t fill, int depth = 32) {
  ScreenSurface s(w, h, depth);
  s.Fill(s.Bounds(), fill);
  s.ClearChanged();
  return s;
}

TEST(ScreenSurface, ClipStackCutsEveryOperationAndChangedGrowsByUnion) {
  ScreenSurface s = Screen(6, 2, 0);
  s.PushClip(Rect{1, 0, 5, 2});
  s.PushClip(Rect{3, 0, 9, 1});  // cut to the clip below: columns 3 and 4 of row 0
  EXPECT_EQ(s.Clip(), (Rect{3, 0, 5, 1}));
  s.Fill(s.Bounds(), 7);
  s.PopClip();
  s.Fill(Rect{0, 1, 2, 2}, 9);  // only column 1 lies in the clip
  s.PopClip();
  s.PopClip();  // popping an empty stack does nothing
  EXPECT_EQ(s.Clip(), s.Bounds());
  EXPECT_EQ(Row(s, 0), (std::vector<uint32_t>{0, 0, 0, 7, 7, 0}));
  EXPECT_EQ(Row(s, 1), (std::vector<uint32_t>{0, 9, 0, 0, 0, 0}));
  EXPECT_EQ(s.Changed(), (Rect{1, 0, 5, 2}));
  s.ClearChanged();
  EXPECT_TRUE(s.Changed().IsEmpty());
}

TEST(ScreenSurface, ColorsArePixelsOfEveryDepth) {
  EXPECT_EQ(ScreenSurface(1, 1, 32).ColorToPixel(0x00332211), 0x112233u);
  EXPECT_EQ(ScreenSurface(1, 1, 16).ColorToPixel(0x00FFFFFF), 0xFFFFu);
  EXPECT_EQ(ScreenSurface(1, 1, 15).ColorToPixel(0x00FFFFFF), 0x7FFFu);
  EXPECT_EQ(ScreenSurface(1, 1, 15).ColorToPixel(0x000000FF), 0x7C00u);
  EXPECT_THROW(ScreenSurface(1, 1, 24), Error);
}

TEST(ScreenSurface, GreyAddAndSubtractSaturatePerChannel) {
  ScreenSurface s = Screen(2, 1, 0x00F01008);
  s.AddGrey(Rect{0, 0, 1, 1}, 0x20);
  s.SubtractGrey(Rect{1, 0, 2, 1}, 0x10);
  EXPECT_EQ(Row(s, 0), (std::vector<uint32_t>{0x00FF3028, 0x00E00000}));
  ScreenSurface h = Screen(1, 1, (30u << 10) | (2u << 5) | 1u, 15);
  h.AddGrey(h.Bounds(), 16);  // 16 is 2 in five bits
  EXPECT_EQ(h.GetPixel(0, 0), (31u << 10) | (4u << 5) | 3u);
}

// Opacity draws of one source pixel 0x0000FF over 0: the table of the opacity conventions.
TEST(ScreenSurface, OpacityConventionsWithoutMask) {
  const TDIBSurface src = Picture({{0x000000FF, 0x00123456}});
  struct Case {
    int opacity;
    uint32_t dst, expect0;
  };
  const Case cases[] = {
      {0, 0x00000010, 0x00000010},       // nothing
      {-5, 0x00000010, 0x00000010},      // nothing
      {128, 0xFF000000, 0x0000007F},     // (0 × 127 + 255 × 128) >> 8, fourth byte 0
      {255, 0x00000010, 0x000000FF},     // copy
      {256 + 128, 0x00000010, 0x0000008F},  // add (255 × 128) >> 8 = 127 to 16
      {256 + 255, 0x000000F0, 0x000000FF},  // saturates
  };
  for (const Case& c : cases) {
    ScreenSurface s = Screen(2, 1, c.dst);
    DrawOptions o;
    o.Opacity = c.opacity;
    o.Key = 0x00123456;  // the second pixel is the key and never drawn
    s.Draw(0, 0, src, src.ClientRect(), nullptr, o);
    EXPECT_EQ(s.GetPixel(0, 0), c.expect0) << "opacity " << c.opacity;
    EXPECT_EQ(s.GetPixel(1, 0), c.dst) << "opacity " << c.opacity;
  }
}

TEST(ScreenSurface, MaskConventions) {
  TDIBSurface src = Picture({{0xFF, 0xFF, 0xFF, 0xFF}});
  SetMask(src, {{0, 128, 255, 2}});
  struct Case {
    int opacity;
    std::vector<uint32_t> expect;
  };
  const Case cases[] = {
      // The mask alone: 0 keeps, 255 writes, 128 blends with α = 128, 2 with α = 2.
      {255, {0x10, (0x10 * 127 + 0xFF * 128) >> 8, 0xFF, (0x10 * 253 + 0xFF * 2) >> 8}},
      // α = 200 at 255, (128 × 200) >> 8 = 100 at 128, and (2 × 200) >> 8 = 1 at 2.
      {200, {0x10, (0x10 * 155 + 0xFF * 100) >> 8, (0x10 * 55 + 0xFF * 200) >> 8, (0x10 * 254 + 0xFF * 1) >> 8}},
      // α = (2 × 100) >> 8 = 0 leaves the pixel alone.
      {100, {0x10, (0x10 * 205 + 0xFF * 50) >> 8, (0x10 * 155 + 0xFF * 100) >> 8, 0x10}},
      // Additive level 100: β = 100, (128 × 100) >> 8 = 50, 0.
      {356, {0x10, 0x10 + ((0xFF * 50) >> 8), 0x10 + ((0xFF * 100) >> 8), 0x10 + ((0xFF * 0) >> 8)}},
  };
  for (const Case& c : cases) {
    ScreenSurface s = Screen(4, 1, 0x10);
    DrawOptions o;
    o.Opacity = c.opacity;
    s.Draw(0, 0, src, src.ClientRect(), src.Alpha.get(), o);
    EXPECT_EQ(Row(s, 0), c.expect) << "opacity " << c.opacity;
  }
}

TEST(ScreenSurface, MirroredDrawsReverseRowsAndColumns) {
  TDIBSurface src = Picture({{1, 2, 3}, {4, 5, 6}});
  SetMask(src, {{255, 255, 0}, {255, 255, 255}});
  struct Case {
    bool flipX, flipY, mask;
    std::vector<uint32_t> row0, row1;
  };
  const Case cases[] = {
      {true, false, false, {3, 2, 1}, {6, 5, 4}},
      {false, true, false, {4, 5, 6}, {1, 2, 3}},
      {true, true, false, {6, 5, 4}, {3, 2, 1}},
      // The mask mirrors with its picture: the clear pixel 3 lands in column 0.
      {true, false, true, {9, 2, 1}, {6, 5, 4}},
  };
  for (const Case& c : cases) {
    ScreenSurface s = Screen(3, 2, 9);
    DrawOptions o;
    o.FlipX = c.flipX;
    o.FlipY = c.flipY;
    s.Draw(0, 0, src, src.ClientRect(), c.mask ? src.Alpha.get() : nullptr, o);
    EXPECT_EQ(Row(s, 0), c.row0);
    EXPECT_EQ(Row(s, 1), c.row1);
  }
}

TEST(ScreenSurface, ScaledDrawsAreNearestNeighbourAndClipsNeverShiftThem) {
  const TDIBSurface src = Picture({{1, 2}, {3, 4}});
  ScreenSurface s = Screen(4, 4, 0);
  s.DrawScaled(Rect{0, 0, 4, 4}, src, src.ClientRect(), nullptr, DrawOptions{});
  EXPECT_EQ(Row(s, 0), (std::vector<uint32_t>{1, 1, 2, 2}));
  EXPECT_EQ(Row(s, 3), (std::vector<uint32_t>{3, 3, 4, 4}));

  // Shrinking takes the source pixel under each destination pixel's centre.
  const TDIBSurface wide = Picture({{1, 2, 3, 4, 5, 6}});
  ScreenSurface n = Screen(3, 1, 0);
  n.DrawScaled(Rect{0, 0, 3, 1}, wide, wide.ClientRect(), nullptr, DrawOptions{});
  EXPECT_EQ(Row(n, 0), (std::vector<uint32_t>{2, 4, 6}));
  DrawOptions mirrored;
  mirrored.FlipX = true;
  n.DrawScaled(Rect{0, 0, 3, 1}, wide, wide.ClientRect(), nullptr, mirrored);
  EXPECT_EQ(Row(n, 0), (std::vector<uint32_t>{5, 3, 1}));

  // The same draw half outside the surface and under a clip shows the matching part of it.
  std::mt19937 rng(5);
  TDIBSurface big(7, 5, 32);
  for (int y = 0; y < 5; ++y)
    for (int x = 0; x < 7; ++x) big.SetPixel(x, y, rng() & 0xFFFFFF);
  ScreenSurface full = Screen(20, 20, 0), cut = Screen(20, 20, 0);
  const Rect dest{-3, 2, 14, 15};
  full.DrawScaled(dest, big, big.ClientRect(), nullptr, mirrored);
  cut.PushClip(Rect{2, 5, 9, 11});
  cut.DrawScaled(dest, big, big.ClientRect(), nullptr, mirrored);
  for (int y = 0; y < 20; ++y)
    for (int x = 0; x < 20; ++x) {
      const bool inside = x >= 2 && x < 9 && y >= 5 && y < 11;
      EXPECT_EQ(cut.GetPixel(x, y), inside ? full.GetPixel(x, y) : 0u) << x << "," << y;
    }
  EXPECT_EQ(cut.Changed(), (Rect{2, 5, 9, 11}));
}

TEST(ScreenSurface, UnscaledDrawCutsSourceAndDestination) {
  const TDIBSurface src = Picture({{1, 2, 3}});
  ScreenSurface s = Screen(4, 1, 0);
  // The source rectangle runs off the picture's left edge by one: the pixels keep their places.
  s.Draw(0, 0, src, Rect{-1, 0, 3, 1}, nullptr, DrawOptions{});
  EXPECT_EQ(Row(s, 0), (std::vector<uint32_t>{0, 1, 2, 3}));
  s.Draw(-2, 0, src, src.ClientRect(), nullptr, DrawOptions{});
  EXPECT_EQ(Row(s, 0), (std::vector<uint32_t>{3, 1, 2, 3}));
}

TEST(ScreenSurface, FillThroughMask) {
  TDIBSurface mask(4, 1, 8);
  const uint8_t m[4] = {0, 128, 255, 255};
  for (int i = 0; i < 4; ++i) mask.ScanLine(0)[i] = m[i];
  ScreenSurface s = Screen(5, 1, 0xFF000010);
  s.FillMasked(1, 0, 0x000000FF, mask, Rect{0, 0, 3, 1}, 128);
  // m' = (128 × m) >> 8: 0 keeps; 64 and 127 blend; the fourth byte becomes 0 where drawn.
  EXPECT_EQ(Row(s, 0), (std::vector<uint32_t>{0xFF000010, 0xFF000010, (0x10 * 191 + 0xFF * 64) >> 8,
                                               (0x10 * 128 + 0xFF * 127) >> 8, 0xFF000010}));
}

TEST(ScreenSurface, CopyWithinOneSurfaceOverlaps) {
  ScreenSurface s = Screen(3, 3, 0);
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 3; ++x) s.Picture().SetPixel(x, y, static_cast<uint32_t>(10 * y + x));
  s.Copy(1, 1, s, Rect{0, 0, 2, 2});
  EXPECT_EQ(Row(s, 1), (std::vector<uint32_t>{10, 0, 1}));
  EXPECT_EQ(Row(s, 2), (std::vector<uint32_t>{20, 10, 11}));
}

TEST(ScreenSurface, RefusesOtherFormats) {
  ScreenSurface s(4, 4, 32);
  TDIBSurface p16(2, 2, 16), p32(2, 2, 32), wrongMask(3, 3, 8);
  EXPECT_THROW(s.Draw(0, 0, p16, p16.ClientRect(), nullptr, DrawOptions{}), Error);
  EXPECT_THROW(s.Draw(0, 0, p32, p32.ClientRect(), &wrongMask, DrawOptions{}), Error);
  ScreenSurface s15(4, 4, 15);
  EXPECT_THROW(s15.Draw(0, 0, p16, p16.ClientRect(), nullptr, DrawOptions{}), Error);  // 565 onto 555
}

TEST(ScreenSurface, SixteenBitDrawsUseTheChannelMasks) {
  const uint32_t white = 0xFFFF;
  TDIBSurface src(2, 1, 16);
  src.SetPixel(0, 0, white);
  src.SetPixel(1, 0, white);
  SetMask(src, {{255, 0}});
  ScreenSurface s = Screen(2, 1, 0, 16);
  DrawOptions o;
  o.Opacity = 128;
  s.Draw(0, 0, src, src.ClientRect(), nullptr, o);
  const uint32_t half = (0xF800 & ((0xF800u * 128) >> 8)) | (0x7E0 & ((0x7E0u * 128) >> 8)) | (0x1F & ((0x1Fu * 128) >> 8));
  EXPECT_EQ(Row(s, 0), (std::vector<uint32_t>{half, half}));
  ScreenSurface t = Screen(2, 1, 0, 16);
  t.Draw(0, 0, src, src.ClientRect(), src.Alpha.get(), DrawOptions{});
  EXPECT_EQ(Row(t, 0), (std::vector<uint32_t>{white, 0}));
}

// Rotated draws: at angle 0 the same pixels as an unrotated draw; quarter turns move each pixel
// exactly; the bounding rectangle is that of the turned, zoomed corners.
TEST(ScreenSurface, RotatedDraws) {
  TDIBSurface src = Picture({{1, 2, 3}, {4, 5, 6}});
  SetMask(src, {{255, 255, 255}, {255, 128, 255}});
  {
    ScreenSurface a = Screen(8, 8, 0), b = Screen(8, 8, 0);
    RotatedDraw g;
    g.CenterX = 4, g.CenterY = 3, g.OriginX = 1, g.OriginY = 1;
    const Rect bounds = a.DrawRotated(g, src, src.Alpha.get(), DrawOptions{});
    b.Draw(3, 2, src, src.ClientRect(), src.Alpha.get(), DrawOptions{});
    EXPECT_EQ(bounds, (Rect{3, 2, 6, 4}));
    for (int y = 0; y < 8; ++y) EXPECT_EQ(Row(a, y), Row(b, y));
  }
  {
    // A quarter turn clockwise about the top-left corner of pixel 1: row 0 becomes the column
    // left of the centre, read downwards.
    ScreenSurface s = Screen(6, 6, 0);
    RotatedDraw g;
    g.CenterX = 3, g.CenterY = 1, g.Angle = 64;
    const Rect bounds = s.DrawRotated(g, src, nullptr, DrawOptions{});
    EXPECT_EQ(bounds, (Rect{1, 1, 3, 4}));
    EXPECT_EQ(Row(s, 1), (std::vector<uint32_t>{0, 4, 1, 0, 0, 0}));
    EXPECT_EQ(Row(s, 2), (std::vector<uint32_t>{0, 5, 2, 0, 0, 0}));
    EXPECT_EQ(Row(s, 3), (std::vector<uint32_t>{0, 6, 3, 0, 0, 0}));
  }
  {
    // Angle 256 is a whole turn (only the low 8 bits count); a half turn with both flips is the
    // picture itself again, placed about the mirrored origin.
    ScreenSurface a = Screen(8, 8, 0), b = Screen(8, 8, 0);
    RotatedDraw g;
    g.CenterX = 4, g.CenterY = 4, g.Angle = 256 + 128;
    DrawOptions flips;
    flips.FlipX = flips.FlipY = true;
    a.DrawRotated(g, src, nullptr, flips);
    b.Draw(3, 3, src, src.ClientRect(), nullptr, DrawOptions{});
    for (int y = 0; y < 8; ++y) EXPECT_EQ(Row(a, y), Row(b, y)) << y;
  }
  {
    // Zoom 512 without a turn is the scaled draw.
    ScreenSurface a = Screen(8, 8, 0), b = Screen(8, 8, 0);
    RotatedDraw g;
    g.CenterX = 1, g.CenterY = 1, g.ZoomX = 512, g.ZoomY = 512;
    EXPECT_EQ(a.DrawRotated(g, src, nullptr, DrawOptions{}), (Rect{1, 1, 7, 5}));
    b.DrawScaled(Rect{1, 1, 7, 5}, src, src.ClientRect(), nullptr, DrawOptions{});
    for (int y = 0; y < 8; ++y) EXPECT_EQ(Row(a, y), Row(b, y)) << y;
  }
  // Bounding rectangles of turned 10 × 10 pictures about their centre.
  struct Bounds {
    int angle;
    Rect expect;
  };
  const Bounds bounds[] = {
      {0, {-5, -5, 5, 5}},
      {64, {-5, -5, 5, 5}},
      {32, {-8, -8, 8, 8}},  // 45°: half-diagonal 7.07
      {16, {-7, -7, 7, 7}},  // 22.5°: 5 (cos + sin) = 6.53
  };
  for (const Bounds& b : bounds) {
    RotatedDraw g;
    g.OriginX = g.OriginY = 5, g.Angle = b.angle;
    EXPECT_EQ(ScreenSurface::RotatedBounds(g, 10, 10, false, false), b.expect) << b.angle;
  }
}


// The 32-bit turned draw steps through the source in fixed point; it must pick the pixels a plain
// per-pixel turn picks, on random pictures, angles, zooms, flips, masks and opacities.
TEST(ScreenSurface, RotatedDrawMatchesAPlainTurn) {
  std::mt19937 rng(17);
  for (int round = 0; round < 40; ++round) {
    SCOPED_TRACE(round);
    const int w = 3 + static_cast<int>(rng() % 40), h = 3 + static_cast<int>(rng() % 40);
    TDIBSurface src(w, h, 32);
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) src.SetPixel(x, y, rng() % 4 == 0 ? 0x00FF00u : rng() & 0xFFFFFF);
    // Some pictures use the fourth byte of their pixels; it must not count as weight.
    if (round % 4 == 2) src.SetPixel(static_cast<int>(rng() % static_cast<unsigned>(w)), h - 1, 0x7F000000u | (rng() & 0xFFFFFF));
    const bool masked = round % 2 == 0;
    if (masked) {
      src.CreateAlpha();
      for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) src.Alpha->SetPixel(x, y, rng() % 3 == 0 ? 255 : rng() % 3 == 0 ? 0 : rng() & 0xFF);
    }
    RotatedDraw g;
    g.CenterX = 20 + static_cast<int>(rng() % 30), g.CenterY = 20 + static_cast<int>(rng() % 30);
    g.OriginX = static_cast<int>(rng() % static_cast<unsigned>(w));
    g.OriginY = static_cast<int>(rng() % static_cast<unsigned>(h));
    do g.Angle = static_cast<int>(rng() % 256);
    while (g.Angle % 64 == 0);
    g.ZoomX = 64 + static_cast<int>(rng() % 600), g.ZoomY = 64 + static_cast<int>(rng() % 600);
    DrawOptions o;
    o.FlipX = rng() % 2 == 0, o.FlipY = rng() % 2 == 0;
    o.Opacity = round % 3 == 0 ? 255 : round % 3 == 1 ? 1 + static_cast<int>(rng() % 254) : 256 + static_cast<int>(rng() % 255);
    o.Key = masked ? -1 : 0x00FF00;
    ScreenSurface fast = Screen(64, 64, 0x404040);
    fast.DrawRotated(g, src, masked ? src.Alpha.get() : nullptr, o);
    // The plain turn: each destination centre back into the source, then the mask's or the key's
    // weight and the documented blend.
    const double phi = g.Angle * (2 * 3.14159265358979323846 / 256), c = std::cos(phi), sn = std::sin(phi);
    const double zx = g.ZoomX / 256.0, zy = g.ZoomY / 256.0;
    const double ox = o.FlipX ? w - g.OriginX - 1 : g.OriginX, oy = o.FlipY ? h - g.OriginY - 1 : g.OriginY;
    for (int y = 0; y < 64; ++y)
      for (int x = 0; x < 64; ++x) {
        const double ex = x + 0.5 - g.CenterX, ey = y + 0.5 - g.CenterY;
        const double u = std::floor(ox + (ex * c + ey * sn) / zx), v = std::floor(oy + (-ex * sn + ey * c) / zy);
        uint32_t expect = 0x404040;
        if (u >= 0 && u < w && v >= 0 && v < h) {
          int sx = static_cast<int>(u), sy = static_cast<int>(v);
          if (o.FlipX) sx = w - 1 - sx;
          if (o.FlipY) sy = h - 1 - sy;
          const uint32_t s = src.GetPixel(sx, sy);
          const int m = masked ? static_cast<int>(src.Alpha->GetPixel(sx, sy)) : s == 0x00FF00u ? 0 : 255;
          uint32_t out = 0;
          for (int shift : {0, 8, 16}) {
            const int dc = (0x404040 >> shift) & 0xFF, sc = static_cast<int>((s >> shift) & 0xFF);
            int r;
            if (o.Opacity >= 256) {
              const int level = o.Opacity - 256, beta = m == 255 ? level : (m * level) >> 8;
              r = std::min(255, dc + ((sc * beta) >> 8));
            } else {
              const int alpha = o.Opacity == 255 ? m : m == 255 ? o.Opacity : (m * o.Opacity) >> 8;
              r = alpha == 0 ? dc : alpha == 255 ? sc : (dc * (255 - alpha) + sc * alpha) >> 8;
            }
            out |= static_cast<uint32_t>(r) << shift;
          }
          expect = out;
        }
        ASSERT_EQ(fast.GetPixel(x, y) & 0xFFFFFF, expect) << x << "," << y;
      }
  }
}

// A turned draw repaints the same pixels whatever clip it is drawn through: a screen redrawn in
// pieces (dirty rectangles) shows no seams against one drawn whole.
TEST(ScreenSurface, TurnedDrawsThroughClipsMatchTheWholeDraw) {
  std::mt19937 rng(5);
  for (int round = 0; round < 12; ++round) {
    SCOPED_TRACE(round);
    TDIBSurface src(37 + static_cast<int>(rng() % 60), 29 + static_cast<int>(rng() % 60), 32);
    for (int y = 0; y < src.Height(); ++y)
      for (int x = 0; x < src.Width(); ++x) src.SetPixel(x, y, rng() & 0xFFFFFF);
    src.CreateAlpha();
    for (int y = 0; y < src.Height(); ++y)
      for (int x = 0; x < src.Width(); ++x) src.Alpha->SetPixel(x, y, rng() % 2 ? 255 : rng() & 0xFF);
    const RotatedDraw g{.CenterX = 60, .CenterY = 50, .OriginX = 20, .OriginY = 15,
                        .Angle = 1 + static_cast<int>(rng() % 255), .ZoomX = 100 + static_cast<int>(rng() % 700),
                        .ZoomY = 100 + static_cast<int>(rng() % 700)};
    const DrawOptions o{.FlipX = round % 2 == 1, .FlipY = round % 3 == 1};
    ScreenSurface whole = Screen(120, 100, 0x203040), pieces = Screen(120, 100, 0x203040);
    whole.DrawRotated(g, src, src.Alpha.get(), o);
    for (int y = 0; y < 100; y += 7)
      for (int x = 0; x < 120; x += 11) {
        pieces.PushClip(Rect{x, y, x + 11, y + 7});
        pieces.DrawRotated(g, src, src.Alpha.get(), o);
        pieces.PopClip();
      }
    for (int y = 0; y < 100; ++y) ASSERT_EQ(Row(whole, y), Row(pieces, y)) << "row " << y;
  }
  // A strong zoom, cut far from the turn's left edge: a draw that started its fixed-point steps
  // at the clip's edge picked a neighbouring source pixel at column 384 of row 41.
  for (int depth : {32, 16}) {
    SCOPED_TRACE(depth);
    std::mt19937 noise(1);
    TDIBSurface src(64, 64, depth);
    for (int y = 0; y < 64; ++y)
      for (int x = 0; x < 64; ++x) src.SetPixel(x, y, noise() & (depth == 32 ? 0xFFFFFF : 0x7FFF));
    const RotatedDraw g{.CenterX = 213, .CenterY = 213, .OriginX = 0, .OriginY = 32, .Angle = 32, .ZoomX = 2414,
                        .ZoomY = 2408};
    ScreenSurface whole(400, 60, depth), pieces(400, 60, depth);
    whole.DrawRotated(g, src, nullptr, DrawOptions{});
    for (const Rect clip : {Rect{0, 0, 384, 60}, Rect{384, 0, 400, 60}}) {
      pieces.PushClip(clip);
      pieces.DrawRotated(g, src, nullptr, DrawOptions{});
      pieces.PopClip();
    }
    for (int y = 0; y < 60; ++y) ASSERT_EQ(Row(whole, y), Row(pieces, y)) << "row " << y;
  }
}

// A turn kept in a layer blends exactly the pixels a direct draw makes, through every clip,
// with a mask or a key, mirrored, at every opacity, partly off the surface, with and without a
// team; the layer is made on the second draw of a turn and dropped when the turn changes.
TEST(ScreenSurface, KeptTurnsDrawTheSamePixelsAsDirectDraws) {
  RowTeam team(2);
  std::mt19937 rng(23);
  TDIBSurface sprite(260, 220, 32);
  for (int y = 0; y < sprite.Height(); ++y)
    for (int x = 0; x < sprite.Width(); ++x) sprite.SetPixel(x, y, x % 9 == 0 ? 0x00FF00u : rng() & 0xFFFFFF);
  sprite.CreateAlpha();
  for (int y = 0; y < sprite.Height(); ++y)
    for (int x = 0; x < sprite.Width(); ++x) sprite.Alpha->SetPixel(x, y, x % 7 == 0 ? 0 : x % 5 == 0 ? 255 : rng() & 0xFF);
  struct Case {
    const char* name;
    RotatedDraw g;
    DrawOptions o;
    bool masked, shared;
  };
  const Case cases[] = {
      {"masked", {.CenterX = 300, .CenterY = 200, .OriginX = 130, .OriginY = 110, .Angle = 37, .ZoomX = 300, .ZoomY = 300},
       {}, true, false},
      {"masked, shared by a team", {.CenterX = 300, .CenterY = 200, .OriginX = 130, .OriginY = 110, .Angle = 37,
       .ZoomX = 300, .ZoomY = 300}, {}, true, true},
      {"keyed, mirrored, blended", {.CenterX = 280, .CenterY = 190, .OriginX = 10, .OriginY = 200, .Angle = 190,
       .ZoomX = 200, .ZoomY = 410}, {.Opacity = 140, .Key = 0x00FF00, .FlipX = true, .FlipY = true}, false, true},
      {"additive, partly off the surface", {.CenterX = 20, .CenterY = 380, .OriginX = 0, .OriginY = 0, .Angle = 100,
       .ZoomX = 256, .ZoomY = 256}, {.Opacity = 400}, true, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const TDIBSurface* mask = c.masked ? sprite.Alpha.get() : nullptr;
    ScreenSurface direct = Screen(600, 400, 0x405060), kept = Screen(600, 400, 0x405060);
    if (c.shared) {
      direct.SetTeam(&team);
      kept.SetTeam(&team);
    }
    TurnedLayer layer;
    const Rect clips[] = {{0, 0, 600, 400}, {0, 0, 600, 400}, {250, 150, 330, 260}, {0, 0, 310, 400},
                          {305, 0, 600, 190}, {-50, 390, 700, 900}};
    int step = 0;
    for (const Rect& clip : clips) {
      SCOPED_TRACE(step);
      direct.PushClip(clip);
      kept.PushClip(clip);
      EXPECT_EQ(direct.DrawRotated(c.g, sprite, mask, c.o), kept.DrawRotated(c.g, sprite, mask, c.o, &layer));
      direct.PopClip();
      kept.PopClip();
      EXPECT_EQ(layer.Holds(), step >= 1);
      EXPECT_EQ(direct.Changed(), kept.Changed());
      for (int y = 0; y < 400; ++y) ASSERT_EQ(Row(direct, y), Row(kept, y)) << "row " << y;
      ++step;
    }
    // Another turn is drawn directly and lets the kept one go.
    RotatedDraw turned = c.g;
    turned.Angle += 3;
    direct.DrawRotated(turned, sprite, mask, c.o);
    kept.DrawRotated(turned, sprite, mask, c.o, &layer);
    EXPECT_FALSE(layer.Holds());
    EXPECT_EQ(layer.Pixels(), 0u);
    for (int y = 0; y < 400; ++y) ASSERT_EQ(Row(direct, y), Row(kept, y)) << "row " << y;
  }
  // Another source at the same turn, and a 16-bit surface, are never served from the layer.
  TurnedLayer layer;
  const RotatedDraw g{.CenterX = 100, .CenterY = 100, .OriginX = 50, .OriginY = 50, .Angle = 20};
  TDIBSurface other(sprite.Width(), sprite.Height(), 32);
  ScreenSurface a = Screen(200, 200, 0), b = Screen(200, 200, 0);
  for (int i = 0; i < 2; ++i) a.DrawRotated(g, sprite, nullptr, DrawOptions{}, &layer);
  ASSERT_TRUE(layer.Holds());
  a.DrawRotated(g, other, nullptr, DrawOptions{}, &layer);
  b.DrawRotated(g, other, nullptr, DrawOptions{});
  for (int y = 0; y < 200; ++y) ASSERT_EQ(Row(a, y), Row(b, y)) << "row " << y;
  TurnedLayer deep;
  TDIBSurface sprite16(40, 40, 16);
  ScreenSurface s16 = Screen(100, 100, 0, 16);
  for (int i = 0; i < 3; ++i) s16.DrawRotated(g, sprite16, nullptr, DrawOptions{}, &deep);
  EXPECT_FALSE(deep.Holds());
}

// A team of helper threads shares the rows of large operations; the pixels and the changed
// rectangle come out exactly as on one thread, for every operation that shares, at both depths,
// with sources whose fourth bytes are used (no packing) and unused (packed turned draws).
TEST(ScreenSurface, TeamDrawsTheSamePixelsAsOneThread) {
  RowTeam team(2);
  for (int depth : {32, 16}) {
    for (bool fourth : {false, true}) {
      SCOPED_TRACE(testing::Message() << depth << " bits, fourth byte " << fourth);
      std::mt19937 rng(99);
      const int storage = depth == 32 ? 32 : 16;
      auto noise = [&](int w, int h) {
        TDIBSurface s(w, h, storage == 32 ? 32 : 16);
        for (int y = 0; y < h; ++y)
          for (int x = 0; x < w; ++x) {
            uint32_t v = rng();
            if (storage == 32 && !fourth) v &= 0xFFFFFF;
            if (storage == 16) v &= 0x7FFF;
            s.SetPixel(x, y, v);
          }
        s.CreateAlpha();
        for (int y = 0; y < h; ++y)
          for (int x = 0; x < w; ++x) s.Alpha->SetPixel(x, y, x % 7 == 0 ? 0 : x % 5 == 0 ? 255 : rng() & 0xFF);
        return s;
      };
      const TDIBSurface background = noise(640, 400), sprite = noise(300, 260);
      ScreenSurface one(640, 400, depth), shared(640, 400, depth);
      shared.SetTeam(&team);
      for (ScreenSurface* s : {&one, &shared}) {
        s->Fill(Rect{3, 5, 600, 390}, 0x1234);
        s->Copy(-7, 11, background, background.ClientRect());
        s->PushClip(Rect{10, 9, 630, 397});
        s->Draw(40, 33, sprite, sprite.ClientRect(), sprite.Alpha.get(), DrawOptions{});
        s->Draw(200, 100, sprite, sprite.ClientRect(), nullptr, DrawOptions{.Opacity = 130, .Key = 0x10});
        s->DrawScaled(Rect{-20, 50, 500, 390}, sprite, Rect{10, 10, 290, 250}, sprite.Alpha.get(),
                      DrawOptions{.Opacity = 300, .FlipX = true, .FlipY = true});
        RotatedDraw g{.CenterX = 320, .CenterY = 200, .OriginX = 150, .OriginY = 130, .Angle = 37, .ZoomX = 340,
                      .ZoomY = 290};
        s->DrawRotated(g, sprite, sprite.Alpha.get(), DrawOptions{.FlipX = true});
        g.Angle = 200;
        s->DrawRotated(g, sprite, nullptr, DrawOptions{.Opacity = 90, .Key = static_cast<int32_t>(sprite.GetPixel(3, 3))});
        s->PopClip();
      }
      EXPECT_EQ(one.Changed(), shared.Changed());
      for (int y = 0; y < 400; ++y) ASSERT_EQ(Row(one, y), Row(shared, y)) << "row " << y;
    }
  }
}

}  // namespace
}  // namespace orin
