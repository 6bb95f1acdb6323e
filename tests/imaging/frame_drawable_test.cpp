#include "imaging/frame_drawable.h"

#include <gtest/gtest.h>

namespace orin {
namespace {

TEST(CopyToDrawable, EveryDepthBecomesZeroXRGB) {
  struct Case {
    int depth;
    uint32_t pixel;
    uint32_t expected;
  } cases[] = {
      {24, 0x123456, 0x123456}, {32, 0xAB123456, 0x123456}, {16, 0xFFFF, 0xF8FCF8},
      {15, 0x7FFF, 0xF8F8F8},   {8, 7, 0x030201},           {4, 7, 0x030201},
      {1, 1, 0x0A0B0C},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.depth);
    TMuraFrameList list;
    TMuraFrame& f = list.AddFrame();
    f.Surface.SetSize(3, 2, c.depth);
    f.Surface.Palette[7] = {1, 2, 3, 0};
    f.Surface.Palette[1] = {0x0C, 0x0B, 0x0A, 0};
    f.Surface.SetPixel(2, 1, c.pixel);
    FrameDrawable d;
    CopyToDrawable(f, d);
    ASSERT_EQ(d.Color.BitCount(), 32);
    EXPECT_EQ(d.Color.Width(), 3);
    EXPECT_EQ(d.Color.GetPixel(2, 1), c.expected);
    EXPECT_FALSE(d.Color.HasAlpha());
    EXPECT_EQ(d.TransparentValue, -1);
  }
}

TEST(CopyToDrawable, AlphaKeyAndRectangles) {
  TMuraFrameList list;
  TMuraFrame& f = list.AddFrame();
  f.Surface.SetSize(2, 2, 16);
  f.Surface.SetPixel(0, 0, 0xF800);
  f.TransparentValue = 0xF800;
  f.TransparentColor = 0x0000F8;  // red 248, as the reader computes it
  f.Surface.CreateAlpha();
  f.Surface.Alpha->SetPixel(1, 1, 9);
  f.RectsA = {Rect{0, 0, 1, 1}};
  f.RectsB = {Rect{1, 1, 2, 2}};
  FrameDrawable d;
  CopyToDrawable(f, d);
  // The key is the converted pixel exactly, so keyed drawing still finds it.
  EXPECT_EQ(d.TransparentValue, static_cast<int32_t>(d.Color.GetPixel(0, 0)));
  EXPECT_EQ(d.TransparentValue, 0xF80000);
  ASSERT_TRUE(d.Color.HasAlpha());
  EXPECT_EQ(d.Color.Alpha->GetPixel(1, 1), 9u);
  EXPECT_EQ(d.RectsA, f.RectsA);
  EXPECT_EQ(d.RectsB, f.RectsB);
}

}  // namespace
}  // namespace orin
