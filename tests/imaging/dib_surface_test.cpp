#include "imaging/dib_surface.h"

#include <gtest/gtest.h>

#include "core/error.h"
#include "imaging/imaging_test_support.h"

namespace orin {
namespace {

// A 1 × 1 destination holding d, drawn over by a 1 × 1 source holding s.
struct OnePixel {
  TDIBSurface dst, src;
  OnePixel(int depth, uint32_t d, uint32_t s) : dst(1, 1, depth), src(1, 1, depth) {
    dst.SetPixel(0, 0, d);
    src.SetPixel(0, 0, s);
  }
  uint32_t Result() const { return dst.GetPixel(0, 0); }
};

const Rect kOne{0, 0, 1, 1};

TEST(TDIBSurface, SizeDepthAndRows) {
  struct Case {
    int depth, width, reportedBits, storage, rowSize;
    uint32_t masks[3];
  } cases[] = {
      {1, 33, 1, 1, 8, {0xFF0000, 0xFF00, 0xFF}},   {4, 9, 4, 4, 8, {0xFF0000, 0xFF00, 0xFF}},
      {8, 5, 8, 8, 8, {0xFF0000, 0xFF00, 0xFF}},    {15, 3, 15, 16, 8, {0x7C00, 0x3E0, 0x1F}},
      {16, 3, 16, 16, 8, {0xF800, 0x7E0, 0x1F}},    {24, 3, 24, 24, 12, {0xFF0000, 0xFF00, 0xFF}},
      {32, 3, 32, 32, 12, {0xFF0000, 0xFF00, 0xFF}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.depth);
    TDIBSurface s(c.width, 2, c.depth);
    EXPECT_EQ(s.BitCount(), c.reportedBits);
    EXPECT_EQ(s.StorageBits(), c.storage);
    EXPECT_EQ(s.RowSize(), c.rowSize);
    EXPECT_EQ(s.ScanLine(1) - s.ScanLine(0), s.RowStep());
    for (int i = 0; i < 3; ++i) EXPECT_EQ(s.Masks[i], c.masks[i]);
  }
}

TEST(TDIBSurface, RefusesBadDepthsAndAbsurdSizes) {
  TDIBSurface s;
  EXPECT_THROW(s.SetSize(4, 4, 2), Error);
  EXPECT_THROW(s.SetSize(4, 4, 0), Error);
  EXPECT_THROW(s.SetSize(-1, 4, 8), Error);
  EXPECT_THROW(s.SetSize(40000, 1, 8), Error);
  EXPECT_THROW(s.SetSize(16384, 16384, 8), Error);
  EXPECT_NO_THROW(s.SetSize(0, 0, 8));
}

TEST(TDIBSurface, SubBytePixelsAreStoredHighFirst) {
  TDIBSurface one(10, 1, 1);
  one.SetPixel(0, 0, 1);
  one.SetPixel(9, 0, 1);
  EXPECT_EQ(one.ScanLine(0)[0], 0x80);
  EXPECT_EQ(one.ScanLine(0)[1], 0x40);
  TDIBSurface four(3, 1, 4);
  four.SetPixel(0, 0, 0xA);
  four.SetPixel(1, 0, 0x5);
  four.SetPixel(2, 0, 0xC);
  EXPECT_EQ(four.ScanLine(0)[0], 0xA5);
  EXPECT_EQ(four.ScanLine(0)[1], 0xC0);
  TDIBSurface rgb(1, 1, 24);
  rgb.SetPixel(0, 0, 0x123456);
  EXPECT_EQ(rgb.ScanLine(0)[0], 0x56);  // blue first
  EXPECT_EQ(rgb.ScanLine(0)[2], 0x12);
}

TEST(TDIBSurface, ColorToPixel) {
  struct Case {
    int depth, r, g, b;
    uint32_t value;
  } cases[] = {
      {16, 255, 255, 255, 0xFFFF}, {15, 255, 255, 255, 0x7FFF}, {16, 0x12, 0x34, 0x56, 0x11AA},
      {15, 0x12, 0x34, 0x56, 0x08CA}, {24, 0x12, 0x34, 0x56, 0x123456}, {32, 0x12, 0x34, 0x56, 0x123456},
  };
  for (const Case& c : cases) {
    TDIBSurface s(1, 1, c.depth);
    EXPECT_EQ(s.ColorToPixel(c.r, c.g, c.b), c.value) << c.depth;
  }
}

TEST(TDIBSurface, ColorToPixelTakesTheNearestPaletteEntry) {
  TDIBSurface s(1, 1, 4);
  s.Palette[0] = {0, 0, 0, 0};
  s.Palette[1] = {0, 0, 200, 0};     // red 200
  s.Palette[2] = {0, 0, 200, 0};     // the same again: the first wins
  s.Palette[3] = {250, 250, 250, 0};
  s.Palette[20] = {0, 0, 255, 0};    // beyond the 16 entries a 4-bit picture indexes
  EXPECT_EQ(s.ColorToPixel(255, 0, 0), 1u);
  EXPECT_EQ(s.ColorToPixel(255, 255, 255), 3u);
  EXPECT_EQ(s.ColorToPixel(10, 10, 10), 0u);
}

TEST(TDIBSurface, PixelToRGBWithAndWithoutFill) {
  struct Case {
    int depth;
    uint32_t value;
    bool fill;
    Rgb rgb;
  } cases[] = {
      {16, 0xFFFF, false, {248, 252, 248}}, {16, 0xFFFF, true, {255, 255, 255}},
      {16, 0x0000, true, {0, 0, 0}},        {16, 0x0021, true, {0, 7, 15}},
      {15, 0x7FFF, false, {248, 248, 248}}, {15, 0x7FFF, true, {255, 255, 255}},
      {15, 0x0401, true, {15, 0, 15}},      {24, 0x123456, true, {0x12, 0x34, 0x56}},
      {32, 0xAB123456, false, {0x12, 0x34, 0x56}},
  };
  for (const Case& c : cases) {
    TDIBSurface s(1, 1, c.depth);
    EXPECT_EQ(s.PixelToRGB(c.value, c.fill), c.rgb) << c.depth << " " << std::hex << c.value << " " << c.fill;
  }
  TDIBSurface p(1, 1, 8);
  p.Palette[7] = {1, 2, 3, 0};
  EXPECT_EQ(p.PixelToRGB(7), (Rgb{3, 2, 1}));
}

TEST(TDIBSurface, DrawBlendPerDepth) {
  struct Case {
    const char* what;
    int depth;
    uint32_t d, s;
    int opacity;
    int32_t key;
    uint32_t expected;
  } cases[] = {
      {"24: divides by 255", 24, 0x000000, 0xFFFFFF, 128, -1, 0x808080},
      {"24: per byte", 24, 0x102030, 0xF0E0D0, 77, -1, 0x535960},
      {"24: key matches the three bytes", 24, 0x000000, 0x0000FF, 128, 0x0000FF, 0x000000},
      {"24: key high byte ignored", 24, 0x000000, 0x0000FF, 128, 0x010000FF, 0x000000},
      {"24: other colour drawn", 24, 0x000000, 0x0000FE, 128, 0x0000FF, 0x00007F},
      {"24: opacity 255 is a keyed copy", 24, 0x000000, 0x123456, 255, -1, 0x123456},
      {"24: opacity 0 draws nothing", 24, 0x000000, 0x123456, 0, -1, 0x000000},
      {"24: negative opacity is a keyed copy", 24, 0x000000, 0x123456, -3, -1, 0x123456},
      {"32: divides by 256", 32, 0x00000000, 0x00FFFFFF, 128, -1, 0x007F7F7F},
      {"32: fourth byte becomes 0", 32, 0xAA000000, 0x55000000, 100, -1, 0x00000000},
      {"32: -1 matches only all ones", 32, 0x00000000, 0xFFFFFFFF, 128, -1, 0x00000000},
      {"32: white with fourth byte 0 is drawn", 32, 0x00000000, 0x00FFFFFF, 128, -1, 0x007F7F7F},
      {"32: keyed copy keeps the fourth byte", 32, 0x00000000, 0xAB123456, 255, -1, 0xAB123456},
      {"16", 16, 0x0000, 0xFFFF, 128, -1, 0x7BEF},
      {"16: mixed", 16, 0x1234, 0xABCD, 200, -1, 0x836E},
      {"16: key", 16, 0x1234, 0xABCD, 200, 0xABCD, 0x1234},
      {"15", 15, 0x0000, 0x7FFF, 128, -1, 0x3DEF},
      {"15: mixed", 15, 0x1234, 0x5BCD, 77, -1, 0x2691},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    OnePixel p(c.depth, c.d, c.s);
    p.dst.DrawBlend(0, 0, c.opacity, c.key, kOne, p.src);
    EXPECT_EQ(p.Result(), c.expected) << std::hex << p.Result();
  }
}

// Which of the 4 × 4 destination pixels a palette-depth blend replaces, as a bit mask (bit
// y * 4 + x), for a source drawn at (dx, dy).
uint32_t DitherMask(int depth, int opacity, int dx = 0, int dy = 0, int32_t key = -1) {
  TDIBSurface dst(4 + dx, 4 + dy, depth), src(4, 4, depth);
  src.FillRect(src.ClientRect(), 1);
  dst.DrawBlend(dx, dy, opacity, key, src.ClientRect(), src);
  uint32_t mask = 0;
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 4; ++x)
      if (dst.GetPixel(dx + x, dy + y) == 1) mask |= 1u << ((dy + y) % 4 * 4 + (dx + x) % 4);
  return mask;
}

TEST(TDIBSurface, DrawBlendDithersPaletteDepths) {
  for (int depth : {1, 4, 8}) {
    SCOPED_TRACE(depth);
    EXPECT_EQ(DitherMask(depth, 16), (1u << 0) | (1u << 10));  // (0, 0) and (2, 2)
    EXPECT_EQ(DitherMask(depth, 15), 1u << 0);                  // level 0 still draws one
    EXPECT_EQ(DitherMask(depth, 31), (1u << 0) | (1u << 10));
    EXPECT_EQ(__builtin_popcount(DitherMask(depth, 128)), 9);   // level 8: nine of sixteen
    EXPECT_EQ(__builtin_popcount(DitherMask(depth, 239)), 15);  // level 14
    EXPECT_EQ(DitherMask(depth, 240), 0xFFFFu);                 // level 15: keyed copy
    EXPECT_EQ(DitherMask(depth, 0), 0u);
    // The threshold follows the destination position, not the source's.
    EXPECT_EQ(DitherMask(depth, 16, 1, 3), (1u << 0) | (1u << 10));
    // A source pixel equal to the key is never drawn.
    EXPECT_EQ(DitherMask(depth, 240, 0, 0, 1), 0u);
    EXPECT_EQ(DitherMask(depth, 16, 0, 0, 1), 0u);
  }
}

TEST(TDIBSurface, DrawAlphaPerDepth) {
  struct Case {
    const char* what;
    int depth;
    uint32_t d, s;
    uint8_t alpha;
    int opacity;
    uint32_t expected;
  } cases[] = {
      {"32: half", 32, 0x00000000, 0x00FFFFFF, 128, 255, 0x007F7F7F},
      {"32: opaque writes all four bytes", 32, 0x11111111, 0xAB123456, 255, 255, 0xAB123456},
      {"32: clear keeps", 32, 0x11111111, 0xAB123456, 0, 255, 0x11111111},
      {"32: opacity unused", 32, 0x00000000, 0x00FFFFFF, 128, 10, 0x007F7F7F},
      {"24: half", 24, 0x000000, 0xFFFFFF, 128, 255, 0x7F7F7F},
      {"24: opaque", 24, 0x000000, 0x123456, 255, 255, 0x123456},
      {"24: clear", 24, 0x654321, 0x123456, 0, 255, 0x654321},
      {"24: opacity scales alpha", 24, 0x000000, 0xFFFFFF, 255, 128, 0x7E7E7E},
      {"24: product below 256 keeps", 24, 0x000000, 0xFFFFFF, 255, 1, 0x000000},
      {"24: product of 256 draws", 24, 0xC8C8C8, 0xFFFFFF, 128, 2, 0xC7C7C7},
      {"16", 16, 0x0000, 0xFFFF, 200, 255, 0xC638},
      {"16: mixed", 16, 0x1234, 0xABCD, 100, 255, 0x4AD1},
      {"16: opaque", 16, 0x1234, 0xABCD, 255, 255, 0xABCD},
      {"16: clear", 16, 0x1234, 0xABCD, 0, 255, 0x1234},
      {"15: mixed", 15, 0x1234, 0x5BCD, 100, 255, 0x2ED1},
      {"8: below half keeps", 8, 3, 9, 127, 255, 3},
      {"8: half draws", 8, 3, 9, 128, 255, 9},
      {"4: half draws", 4, 3, 9, 128, 0, 9},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    OnePixel p(c.depth, c.d, c.s);
    p.src.CreateAlpha();
    p.src.Alpha->SetPixel(0, 0, c.alpha);
    p.dst.DrawAlpha(0, 0, c.opacity, kOne, p.src);
    EXPECT_EQ(p.Result(), c.expected) << std::hex << p.Result();
  }
}

TEST(TDIBSurface, DrawAlphaWithoutPlaneBlends) {
  OnePixel p(24, 0x000000, 0xFFFFFF);
  p.dst.DrawAlpha(0, 0, 128, kOne, p.src);
  EXPECT_EQ(p.Result(), 0x808080u);
  // With the key −1 of that blend, a white 32-bit pixel with the fourth byte set is never drawn.
  OnePixel q(32, 0x00000000, 0xFFFFFFFF);
  q.dst.DrawAlpha(0, 0, 255, kOne, q.src);
  EXPECT_EQ(q.Result(), 0u);
}

TEST(TDIBSurface, DrawKeyedComparesTheWholeValue) {
  struct Case {
    int depth;
    uint32_t s;
    int32_t key;
    bool drawn;
  } cases[] = {
      {24, 0xFFFFFF, -1, true},  {24, 0x0000FF, 0xFF, false}, {32, 0xFFFFFFFF, -1, false},
      {32, 0x00FFFFFF, -1, true}, {16, 0xFFFF, -1, true},     {16, 0x1234, 0x1234, false},
      {8, 200, 200, false},      {8, 200, -1, true},          {1, 1, 1, false},
      {4, 7, 6, true},
  };
  for (const Case& c : cases) {
    OnePixel p(c.depth, 0, c.s);
    p.dst.DrawKeyed(0, 0, c.key, kOne, p.src);
    EXPECT_EQ(p.Result(), c.drawn ? c.s : 0u) << c.depth << " " << std::hex << c.s;
  }
}

TEST(TDIBSurface, DrawingIsClippedToBothSurfaces) {
  for (int depth : {1, 4, 8, 16, 24, 32}) {
    SCOPED_TRACE(depth);
    const uint32_t v = depth == 1 ? 1 : 5;
    TDIBSurface src(3, 3, depth), dst(4, 4, depth);
    src.FillRect(src.ClientRect(), v);
    // A source rectangle reaching past the source surface and a position left of and above the
    // destination: only the overlapping 2 × 2 corner is drawn.
    dst.CopyFrom(-1, -1, Rect{0, 0, 10, 10}, src);
    for (int y = 0; y < 4; ++y)
      for (int x = 0; x < 4; ++x) EXPECT_EQ(dst.GetPixel(x, y), x < 2 && y < 2 ? v : 0u) << x << "," << y;
    // Past the right and bottom edges, and a source rectangle left of the source.
    TDIBSurface dst2(4, 4, depth);
    dst2.DrawKeyed(3, 3, -1, Rect{-5, -5, 3, 3}, src);
    EXPECT_EQ(dst2.GetPixel(3, 3), 0u);  // the rectangle's part outside the source is skipped
    dst2.DrawBlend(3, 3, 128, -1, Rect{0, 0, 3, 3}, src);
    dst2.DrawAlpha(3, 3, 255, Rect{0, 0, 3, 3}, src);
    // A clip rectangle limits the destination.
    TDIBSurface dst3(4, 4, depth);
    dst3.ClipRect = Rect{1, 1, 2, 2};
    dst3.CopyFrom(0, 0, Rect{0, 0, 3, 3}, src);
    for (int y = 0; y < 4; ++y)
      for (int x = 0; x < 4; ++x) EXPECT_EQ(dst3.GetPixel(x, y), x == 1 && y == 1 ? v : 0u);
  }
}

TEST(TDIBSurface, DrawingRefusesAnotherDepth) {
  TDIBSurface a(2, 2, 24), b(2, 2, 32), c(2, 2, 16), d(2, 2, 15);
  EXPECT_THROW(a.CopyFrom(0, 0, b.ClientRect(), b), Error);
  EXPECT_THROW(c.DrawBlend(0, 0, 100, -1, d.ClientRect(), d), Error);
}

TEST(TDIBSurface, DrawingOntoItselfReadsTheOriginalPixels) {
  TDIBSurface s(4, 1, 8);
  for (int x = 0; x < 4; ++x) s.SetPixel(x, 0, static_cast<uint32_t>(x + 1));
  s.CopyFrom(1, 0, Rect{0, 0, 3, 1}, s);
  EXPECT_EQ(s.GetPixel(1, 0), 1u);
  EXPECT_EQ(s.GetPixel(2, 0), 2u);
  EXPECT_EQ(s.GetPixel(3, 0), 3u);
}

TEST(TDIBSurface, FillRectIsCutToTheSurface) {
  for (int depth : {1, 4, 8, 15, 16, 24, 32}) {
    TDIBSurface s(5, 3, depth);
    const uint32_t v = depth == 1 ? 1 : depth == 4 ? 9 : 0x7ABC;
    const uint32_t expect = depth == 8 ? (v & 0xFF) : v;
    s.FillRect(Rect{3, -2, 99, 2}, v);
    for (int y = 0; y < 3; ++y)
      for (int x = 0; x < 5; ++x) EXPECT_EQ(s.GetPixel(x, y), x >= 3 && y < 2 ? expect : 0u) << depth;
    // Padding bytes stay clear.
    const size_t used = (5 * static_cast<size_t>(s.StorageBits()) + 7) / 8;
    for (size_t i = used; i < static_cast<size_t>(s.RowSize()); ++i) EXPECT_EQ(s.ScanLine(0)[i], 0) << depth;
  }
}

TEST(TDIBSurface, AlphaPlane) {
  TDIBSurface s(3, 2, 24);
  EXPECT_FALSE(s.HasAlpha());
  s.FillAlpha();  // nothing without a plane
  EXPECT_FALSE(s.HasAlpha());
  s.CreateAlpha();
  ASSERT_TRUE(s.HasAlpha());
  EXPECT_EQ(s.Alpha->BitCount(), 8);
  s.FillAlpha();
  EXPECT_EQ(s.Alpha->GetPixel(2, 1), 255u);
  s.SetSize(5, 4, 24);
  EXPECT_EQ(s.Alpha->Width(), 5);
  EXPECT_EQ(s.Alpha->Height(), 4);
  TDIBSurface plane(5, 4, 8);
  plane.SetPixel(4, 3, 77);
  s.CopyAlpha(plane);
  EXPECT_EQ(s.Alpha->GetPixel(4, 3), 77u);
  TDIBSurface wrong(4, 4, 8);
  EXPECT_THROW(s.CopyAlpha(wrong), Error);
  s.DropAlpha();
  EXPECT_FALSE(s.HasAlpha());
}

TEST(TDIBSurface, OpaqueBoundsAndTrimTo) {
  TDIBSurface s(6, 5, 8);
  s.FillRect(s.ClientRect(), 9);
  EXPECT_EQ(s.OpaqueBounds(-1), s.ClientRect());
  EXPECT_EQ(s.OpaqueBounds(9), Rect{});
  s.SetPixel(1, 3, 2);
  s.SetPixel(4, 1, 2);
  EXPECT_EQ(s.OpaqueBounds(9), (Rect{1, 1, 5, 4}));
  s.CreateAlpha();
  s.Alpha->SetPixel(1, 1, 200);
  s.TrimTo(9);
  EXPECT_EQ(s.Width(), 4);
  EXPECT_EQ(s.Height(), 3);
  EXPECT_EQ(s.GetPixel(0, 2), 2u);
  EXPECT_EQ(s.GetPixel(3, 0), 2u);
  ASSERT_TRUE(s.HasAlpha());
  EXPECT_EQ(s.Alpha->Width(), 4);
  EXPECT_EQ(s.Alpha->GetPixel(0, 0), 200u);

  for (int depth : {1, 4, 8, 15, 16, 24, 32}) {
    TDIBSurface all(7, 3, depth);
    all.TrimTo(0);
    EXPECT_EQ(all.Width(), 1) << depth;
    EXPECT_EQ(all.Height(), 1) << depth;
    TDIBSurface one(7, 3, depth);
    one.SetPixel(6, 2, 1);
    EXPECT_EQ(one.OpaqueBounds(0), (Rect{6, 2, 7, 3})) << depth;
  }
}

TEST(TDIBSurface, CropKeepsDepthPaletteAndAlpha) {
  TDIBSurface s(5, 4, 4);
  test::FillPaletteRandom(s, 3);
  test::FillRandom(s, 4);
  s.CreateAlpha();
  test::FillRandom(*s.Alpha, 5);
  TDIBSurface copy;
  copy.AssignFrom(s);
  s.Crop(Rect{1, 1, 4, 3});
  EXPECT_EQ(s.BitCount(), 4);
  EXPECT_EQ(s.Palette, copy.Palette);
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 3; ++x) {
      EXPECT_EQ(s.GetPixel(x, y), copy.GetPixel(x + 1, y + 1));
      EXPECT_EQ(s.Alpha->GetPixel(x, y), copy.Alpha->GetPixel(x + 1, y + 1));
    }
  // A rectangle beyond the surface is cut to it.
  s.Crop(Rect{2, 1, 50, 50});
  EXPECT_EQ(s.Width(), 1);
  EXPECT_EQ(s.Height(), 1);
}

TEST(TDIBSurface, AssignFromCopiesEverything) {
  TDIBSurface a(3, 2, 15);
  test::FillRandom(a, 1);
  a.CreateAlpha();
  a.Alpha->SetPixel(1, 1, 42);
  TDIBSurface b(9, 9, 32);
  b.AssignFrom(a);
  EXPECT_TRUE(test::SamePixels(a, b));
  EXPECT_EQ(b.BitCount(), 15);
  TDIBSurface none(1, 1, 24);
  b.AssignFrom(none);
  EXPECT_FALSE(b.HasAlpha());
  EXPECT_EQ(b.BitCount(), 24);
}

TEST(TDIBSurface, MovedFromIsEmpty) {
  TDIBSurface a(4, 3, 24);
  a.CreateAlpha();
  TDIBSurface b(std::move(a));
  EXPECT_EQ(b.Width(), 4);
  EXPECT_TRUE(b.HasAlpha());
  EXPECT_EQ(a.Width(), 0);  // NOLINT: checking the moved-from state is the point
  EXPECT_EQ(a.BitCount(), 0);
  EXPECT_EQ(a.ImageSize(), 0u);
  EXPECT_FALSE(a.HasAlpha());
}

TEST(TDIBSurface_Resize, SameSizeChangesNothing) {
  TDIBSurface s(3, 2, 24);
  test::FillRandom(s, 9);
  s.CreateAlpha();
  test::FillRandom(*s.Alpha, 10);
  TDIBSurface before;
  before.AssignFrom(s);
  const uint8_t* bits = s.Bits();
  s.Resize(3, 2, -1, true);
  EXPECT_EQ(s.Bits(), bits);
  EXPECT_TRUE(test::SamePixels(s, before));
}

TEST(TDIBSurface_Resize, NearestNeighbourKeepsDepth) {
  TDIBSurface s(4, 2, 8);
  for (int x = 0; x < 4; ++x) {
    s.SetPixel(x, 0, static_cast<uint32_t>(x));
    s.SetPixel(x, 1, static_cast<uint32_t>(10 + x));
  }
  s.CreateAlpha();
  s.Alpha->SetPixel(3, 1, 99);
  s.Resize(2, 4, -1, false);
  EXPECT_EQ(s.BitCount(), 8);
  const uint32_t expected[4][2] = {{0, 2}, {0, 2}, {10, 12}, {10, 12}};
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 2; ++x) EXPECT_EQ(s.GetPixel(x, y), expected[y][x]) << x << "," << y;
  ASSERT_TRUE(s.HasAlpha());
  EXPECT_EQ(s.Alpha->Width(), 2);
  EXPECT_EQ(s.Alpha->GetPixel(1, 3), 0u);  // column 2 of the old plane, not 3

  TDIBSurface bits(3, 1, 1);
  bits.SetPixel(1, 0, 1);
  bits.Resize(6, 1, -1, false);
  for (int x = 0; x < 6; ++x) EXPECT_EQ(bits.GetPixel(x, 0), x == 2 || x == 3 ? 1u : 0u);
}

TEST(TDIBSurface_Resize, SmoothEnlargingIsBilinear) {
  TDIBSurface s(2, 1, 24);
  s.SetPixel(0, 0, 0x000000);
  s.SetPixel(1, 0, 0x65FF02);  // red 101, green 255, blue 2
  s.Resize(4, 1, -1, true);
  EXPECT_EQ(s.BitCount(), 24);
  EXPECT_EQ(s.GetPixel(0, 0), 0x000000u);
  // Halfway: 50.5, 127.5 and 1 round to even.
  EXPECT_EQ(s.GetPixel(1, 0), 0x328001u);
  EXPECT_EQ(s.GetPixel(2, 0), 0x65FF02u);
  EXPECT_EQ(s.GetPixel(3, 0), 0x65FF02u);  // the neighbour past the edge is the edge
}

TEST(TDIBSurface_Resize, SmoothShrinkingAveragesAndSkipsTheKey) {
  TDIBSurface s(4, 2, 32);
  const uint32_t key = 0x00FF00FF;
  const uint32_t row0[4] = {0x0A0A0A, 0x141414, key, 0x282828};
  const uint32_t row1[4] = {0x0A0A0A, 0x141414, key, key};
  for (int x = 0; x < 4; ++x) {
    s.SetPixel(x, 0, row0[x]);
    s.SetPixel(x, 1, row1[x]);
  }
  s.Resize(2, 1, static_cast<int32_t>(key), true);
  EXPECT_EQ(s.BitCount(), 24);  // a 32-bit surface comes back at 24 bits
  EXPECT_EQ(s.GetPixel(0, 0), 0x0F0F0Fu);
  EXPECT_EQ(s.GetPixel(1, 0), 0x282828u);

  TDIBSurface all(2, 2, 24);
  all.FillRect(all.ClientRect(), key);
  all.Resize(1, 1, static_cast<int32_t>(key), true);
  EXPECT_EQ(all.GetPixel(0, 0), key);
}

TEST(TDIBSurface_Resize, SmoothReturnsToPaletteAndWordDepths) {
  TDIBSurface p(2, 2, 8);
  p.Palette[0] = {0, 0, 0, 0};
  p.Palette[1] = {255, 255, 255, 0};
  p.Palette[2] = {128, 128, 128, 0};
  p.SetPixel(0, 0, 1);
  p.SetPixel(1, 1, 1);
  p.Resize(1, 1, -1, true);  // mean grey 127.5 → 128
  EXPECT_EQ(p.BitCount(), 8);
  EXPECT_EQ(p.GetPixel(0, 0), 2u);

  TDIBSurface w(2, 1, 16);
  w.SetPixel(0, 0, 0xFFFF);  // filled to 255 before averaging
  w.SetPixel(1, 0, 0xFFFF);
  w.Resize(1, 1, -1, true);
  EXPECT_EQ(w.BitCount(), 16);
  EXPECT_EQ(w.GetPixel(0, 0), 0xFFFFu);

  TDIBSurface a(4, 4, 24);
  a.CreateAlpha();
  a.Alpha->FillRect(a.ClientRect(), 200);
  a.Resize(2, 2, -1, true);
  ASSERT_TRUE(a.HasAlpha());
  EXPECT_EQ(a.Alpha->BitCount(), 8);
  EXPECT_EQ(a.Alpha->GetPixel(1, 1), 200u);
}

}  // namespace
}  // namespace orin
