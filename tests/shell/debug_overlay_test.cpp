#include "shell/debug_overlay.h"

#include <gtest/gtest.h>

#include "scene/text_test_support.h"

namespace orin {
namespace {

using test::Sj;

TEST(DebugOverlay, LinesSayWhatTheGameIsDoing) {
  OverlayStats s;
  s.FrameMs = 16.66;
  s.Fps = 60.02;
  s.Page = Sj("開始.osb");
  s.Command = 12;
  s.Objects = 34;
  s.AudioSources = 2;
  s.Trace = {"00000010 : start.osb(0)"};
  EXPECT_EQ(DebugOverlay::Lines(s), (std::vector<std::string>{"frame 16.7 ms  60.0 fps", Sj("page 開始.osb  command 12"),
                                                               "objects 34  audio 2", "00000010 : start.osb(0)"}));
  EXPECT_EQ(DebugOverlay::Lines(OverlayStats{})[1], "page -");
  EXPECT_EQ(DebugOverlay::Lines(OverlayStats{})[2], "objects 0  audio -");
}

TEST(DebugOverlay, DrawsWhiteTextOverTranslucentBlack) {
  DebugOverlay overlay(std::make_unique<test::BoxRasterizer>());
  OverlayStats s;
  s.Trace = {"x", "y"};
  const PixelBuffer& p = overlay.Draw(s);
  ASSERT_EQ(p.Width(), DebugOverlay::kWidth);
  ASSERT_EQ(p.Height(), 5 * DebugOverlay::kLineHeight + 4);
  EXPECT_EQ(p.Pixel(0, 0), DebugOverlay::kBackground);
  EXPECT_EQ(p.Pixel(DebugOverlay::kWidth - 1, p.Height() - 1), DebugOverlay::kBackground);
  // The box glyph of the first character of the first line is solid ink.
  EXPECT_EQ(p.Pixel(6, 8), 0xFFFFFFFFu);
  // Fewer lines, a shorter picture.
  EXPECT_EQ(overlay.Draw(OverlayStats{}).Height(), 3 * DebugOverlay::kLineHeight + 4);
}

TEST(DebugOverlay, RedrawsAtMostEveryQuarterSecond) {
  EXPECT_TRUE(DebugOverlay::Due(std::nullopt, 5));
  EXPECT_FALSE(DebugOverlay::Due(1000, 1249));
  EXPECT_TRUE(DebugOverlay::Due(1000, 1250));
  EXPECT_TRUE(DebugOverlay::Due(0xFFFFFF00u, 0x100));  // across the clock's wrap
}

TEST(TraceTail, KeepsTheLastLinesAndPassesEveryLineOn) {
  struct Sink final : TraceSink {
    void Write(const std::string& line) override { lines.push_back(line); }
    std::vector<std::string> lines;
  } next;
  TraceTail tail(&next);
  for (int i = 0; i < 10; ++i) tail.Write(std::to_string(i));
  EXPECT_EQ(next.lines.size(), 10u);
  EXPECT_EQ(tail.Lines(), (std::vector<std::string>{"4", "5", "6", "7", "8", "9"}));
  TraceTail alone(nullptr);
  alone.Write("a");
  EXPECT_EQ(alone.Lines(), std::vector<std::string>{"a"});
}

}  // namespace
}  // namespace orin
