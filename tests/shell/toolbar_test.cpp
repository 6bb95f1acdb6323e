#include "shell/toolbar.h"

#include <gtest/gtest.h>

#include <vector>

#include "core/cp932.h"

namespace orin {
namespace {

class RecordingCaptions final : public CaptionRenderer {
 public:
  void DrawCaption(PixelBuffer&, const Rect& area, const std::string& caption,
                   bool pressed) override {
    calls.push_back(ToUtf8(caption) + (pressed ? " sunk " : " ") + std::to_string(area.Left) + "," +
                    std::to_string(area.Top) + "-" + std::to_string(area.Right) + "," +
                    std::to_string(area.Bottom));
  }
  std::vector<std::string> calls;
};

TEST(Toolbar, LayoutAndHitTest) {
  Toolbar t(200);
  EXPECT_EQ(Toolbar::kDockHeight, 22);
  EXPECT_EQ(t.ButtonRect(Toolbar::Button::kQuit), (Rect{2, 2, 69, 20}));
  EXPECT_EQ(t.ButtonRect(Toolbar::Button::kScreenSwitch), (Rect{69, 2, 136, 20}));
  EXPECT_EQ(t.HitTest(2, 2), Toolbar::Button::kQuit);
  EXPECT_EQ(t.HitTest(68, 19), Toolbar::Button::kQuit);
  EXPECT_EQ(t.HitTest(69, 19), Toolbar::Button::kScreenSwitch);
  EXPECT_EQ(t.HitTest(69, 20), Toolbar::Button::kNone);
  EXPECT_EQ(t.HitTest(1, 10), Toolbar::Button::kNone);
  EXPECT_EQ(t.HitTest(136, 10), Toolbar::Button::kNone);
  Toolbar narrow(100);  // the second button does not fit: it is not there
  EXPECT_EQ(narrow.HitTest(70, 10), Toolbar::Button::kNone);
}

TEST(Toolbar, BevelRaisedThenSunkWhilePressedOver) {
  Toolbar t(140);
  const PixelBuffer& raised = t.Draw();
  EXPECT_EQ(raised.Pixel(0, 0), Toolbar::kFace);
  EXPECT_EQ(raised.Pixel(2, 2), Toolbar::kHighlight);
  EXPECT_EQ(raised.Pixel(68, 19), Toolbar::kDarkShadow);
  EXPECT_EQ(raised.Pixel(67, 10), Toolbar::kShadow);
  EXPECT_EQ(raised.Pixel(30, 10), Toolbar::kFace);
  EXPECT_FALSE(t.NeedsRedraw());

  t.MouseDown(10, 10);
  EXPECT_TRUE(t.NeedsRedraw());
  EXPECT_EQ(t.Pressed(), Toolbar::Button::kQuit);
  EXPECT_EQ(t.Draw().Pixel(2, 2), Toolbar::kDarkShadow);
  t.MouseMove(100, 10);  // off the button: raised again, still held
  EXPECT_EQ(t.Pressed(), Toolbar::Button::kNone);
  EXPECT_EQ(t.Draw().Pixel(2, 2), Toolbar::kHighlight);
  t.MouseMove(10, 10);
  EXPECT_EQ(t.MouseUp(10, 10), Toolbar::Button::kQuit);
  EXPECT_EQ(t.Draw().Pixel(2, 2), Toolbar::kHighlight);
  t.MouseDown(10, 10);
  EXPECT_EQ(t.MouseUp(100, 10), Toolbar::Button::kNone);
}

TEST(Toolbar, CaptionsDrawnOnlyThroughARenderer) {
  Toolbar t(140);
  RecordingCaptions captions;
  t.SetCaptionRenderer(&captions);
  t.Draw();
  t.MouseDown(80, 10);
  t.Draw();
  EXPECT_EQ(captions.calls,
            (std::vector<std::string>{"終了 4,4-67,18", "画面切替 71,4-134,18", "終了 4,4-67,18",
                                      "画面切替 sunk 72,5-135,19"}));
}

}  // namespace
}  // namespace orin
