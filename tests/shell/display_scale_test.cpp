#include "shell/display_scale.h"

#include <gtest/gtest.h>

namespace orin {
namespace {

struct LayoutCase {
  ScaleMode mode;
  int cw, ch, ow, oh;
  Rect expected;
};

TEST(ScaledRect, EachModeAtTypicalAndDegenerateSizes) {
  const LayoutCase cases[] = {
      // Fit: bars left and right on a wide screen, above and below on a tall window.
      {ScaleMode::kFit, 640, 480, 1920, 1080, {240, 0, 1680, 1080}},
      {ScaleMode::kFit, 1280, 720, 1920, 1080, {0, 0, 1920, 1080}},
      {ScaleMode::kFit, 640, 480, 640, 1000, {0, 260, 640, 740}},
      {ScaleMode::kFit, 640, 480, 320, 240, {0, 0, 320, 240}},
      // A window resized to one pixel still shows one pixel, never a negative size.
      {ScaleMode::kFit, 640, 480, 1, 1, {0, 0, 1, 1}},
      {ScaleMode::kFit, 640, 480, 1000, 1, {499, 0, 500, 1}},
      // Integer: the largest whole multiple that fits; shrinking falls back to fit.
      {ScaleMode::kInteger, 640, 480, 1920, 1080, {320, 60, 1600, 1020}},
      {ScaleMode::kInteger, 640, 480, 1279, 960, {319, 240, 959, 720}},
      {ScaleMode::kInteger, 640, 480, 1280, 960, {0, 0, 1280, 960}},
      {ScaleMode::kInteger, 640, 480, 320, 240, {0, 0, 320, 240}},
      // Stretch: everything.
      {ScaleMode::kStretch, 640, 480, 1920, 1080, {0, 0, 1920, 1080}},
      // Nothing to show or nowhere to show it.
      {ScaleMode::kFit, 640, 480, 0, 480, {}},
      {ScaleMode::kInteger, 640, 480, 640, 0, {}},
      {ScaleMode::kStretch, 0, 480, 640, 480, {}},
      {ScaleMode::kFit, 640, 480, -5, 480, {}},
  };
  for (const LayoutCase& c : cases) {
    SCOPED_TRACE(testing::Message() << static_cast<int>(c.mode) << " " << c.cw << "x" << c.ch
                                    << " in " << c.ow << "x" << c.oh);
    EXPECT_EQ(ScaledRect(c.mode, c.cw, c.ch, c.ow, c.oh), c.expected);
  }
}

// Every output pixel maps to the picture pixel whose scaled span holds its centre, and every
// picture pixel is reached: clicking what is seen hits what is seen, in every mode.
TEST(OutputToContent, ExactInEveryModeAndEveryPixel) {
  struct Case {
    ScaleMode mode;
    int cw, ch, ow, oh;
  };
  const Case cases[] = {
      {ScaleMode::kFit, 64, 48, 192, 108},     {ScaleMode::kFit, 64, 48, 100, 77},
      {ScaleMode::kInteger, 64, 48, 200, 150}, {ScaleMode::kInteger, 64, 48, 50, 40},
      {ScaleMode::kStretch, 64, 48, 97, 31},   {ScaleMode::kFit, 7, 5, 7, 5},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << static_cast<int>(c.mode) << " " << c.ow << "x" << c.oh);
    const Rect shown = ScaledRect(c.mode, c.cw, c.ch, c.ow, c.oh);
    ASSERT_FALSE(shown.IsEmpty());
    std::vector<int> hitsX(static_cast<size_t>(c.cw)), hitsY(static_cast<size_t>(c.ch));
    for (int x = shown.Left; x < shown.Right; ++x) {
      const ContentPoint p = OutputToContent(shown, c.cw, c.ch, x, shown.Top);
      ASSERT_TRUE(p.Inside);
      // The centre of output pixel x lies inside the span of picture column p.X.
      const double centre = (x - shown.Left + 0.5) * c.cw / shown.Width();
      EXPECT_LE(p.X, centre);
      EXPECT_GT(p.X + 1, centre);
      ++hitsX[static_cast<size_t>(p.X)];
    }
    for (int y = shown.Top; y < shown.Bottom; ++y)
      ++hitsY[static_cast<size_t>(OutputToContent(shown, c.cw, c.ch, shown.Left, y).Y)];
    // Shrunk pictures skip columns; enlarged ones reach every column.
    if (shown.Width() >= c.cw) {
      for (int h : hitsX) EXPECT_GT(h, 0);
    }
    if (shown.Height() >= c.ch) {
      for (int h : hitsY) EXPECT_GT(h, 0);
    }
  }
}

TEST(OutputToContent, WholeMultiplesAndBarsAndNothing) {
  // 640 × 480 at 2× in 1920 × 1080: (320, 60) is picture (0, 0); (1599, 1019) is (639, 479).
  const Rect shown = ScaledRect(ScaleMode::kInteger, 640, 480, 1920, 1080);
  struct Case {
    int x, y, cx, cy;
    bool inside;
  };
  const Case cases[] = {
      {320, 60, 0, 0, true},       {321, 61, 0, 0, true},       {322, 62, 1, 1, true},
      {1599, 1019, 639, 479, true}, {960, 540, 320, 240, true},
      // On the bars: the nearest edge, marked outside.
      {0, 0, 0, 0, false},         {1919, 1079, 639, 479, false}, {100, 540, 0, 240, false},
  };
  for (const Case& c : cases) {
    const ContentPoint p = OutputToContent(shown, 640, 480, c.x, c.y);
    EXPECT_EQ(p.X, c.cx) << c.x << "," << c.y;
    EXPECT_EQ(p.Y, c.cy) << c.x << "," << c.y;
    EXPECT_EQ(p.Inside, c.inside) << c.x << "," << c.y;
  }
  EXPECT_TRUE(IsWholeMultiple(shown, 640, 480));
  EXPECT_FALSE(IsWholeMultiple(ScaledRect(ScaleMode::kFit, 640, 480, 1920, 1080), 640, 480));
  EXPECT_FALSE(IsWholeMultiple(ScaledRect(ScaleMode::kStretch, 640, 480, 1280, 1440), 640, 480));
  // A window of no height maps everything to 0 instead of dividing by it.
  const ContentPoint none = OutputToContent(Rect{}, 640, 480, 10, 10);
  EXPECT_EQ(none.X, 0);
  EXPECT_EQ(none.Y, 0);
  EXPECT_FALSE(none.Inside);
}

TEST(WindowToOutput, HiDpiDrawableTwiceTheWindow) {
  EXPECT_EQ(WindowToOutput(0, 640, 1280), 0);
  EXPECT_EQ(WindowToOutput(639, 640, 1280), 1278);
  EXPECT_EQ(WindowToOutput(100, 640, 640), 100);
  EXPECT_EQ(WindowToOutput(100, 0, 640), 0);
  EXPECT_EQ(WindowToOutput(100, 640, 0), 0);
}

TEST(ParseScaleOptions, WordsAndRefusals) {
  EXPECT_EQ(ParseScaleMode("fit"), ScaleMode::kFit);
  EXPECT_EQ(ParseScaleMode("integer"), ScaleMode::kInteger);
  EXPECT_EQ(ParseScaleMode("stretch"), ScaleMode::kStretch);
  EXPECT_FALSE(ParseScaleMode("Fit"));
  EXPECT_EQ(ParseScaleFilter("nearest"), ScaleFilter::kNearest);
  EXPECT_EQ(ParseScaleFilter("linear"), ScaleFilter::kLinear);
  EXPECT_FALSE(ParseScaleFilter("auto"));
}

}  // namespace
}  // namespace orin
