#include "shell/dock_captions.h"

#include <gtest/gtest.h>

#include <memory>

#include "core/error.h"
#include "imaging/font_finder.h"
#include "imaging/freetype_rasterizer.h"

namespace orin {
namespace {

// The box of the pixels darker than the button face inside r; empty when there are none.
Rect InkBox(const PixelBuffer& p, const Rect& r) {
  Rect box{r.Right, r.Bottom, r.Left, r.Top};
  for (int y = r.Top; y < r.Bottom; ++y)
    for (int x = r.Left; x < r.Right; ++x) {
      const uint32_t px = p.Pixel(x, y) & 0xFFFFFF;
      // Caption ink is grey to black; the bevel's own greys lie on the button's outer two rows
      // and columns, outside the face passed here.
      if ((px & 0xFF) >= 0x90 || px == Toolbar::kFace) continue;
      box = {std::min(box.Left, x), std::min(box.Top, y), std::max(box.Right, x + 1),
             std::max(box.Bottom, y + 1)};
    }
  return box.IsEmpty() ? Rect{} : box;
}

class DockCaptionsTest : public testing::Test {
 protected:
  void SetUp() override {
    try {
      fonts_ = std::make_unique<FontFinder>(FontFinder::FontDirFromEnvironment());
      FreeTypeRasterizer probe(*fonts_);
      probe.SelectFont(DockCaptions::FontName(), DockCaptions::kFontHeight, 0);
    } catch (const Error&) {
      GTEST_SKIP() << "no outline font on this machine";
    }
    captions_ = std::make_unique<DockCaptions>(*fonts_);
  }
  std::unique_ptr<FontFinder> fonts_;
  std::unique_ptr<DockCaptions> captions_;
};

// The captions are really drawn (the dock used to show blank buttons), inside their buttons,
// centred, dark on the face, and move with a sunk button.
TEST_F(DockCaptionsTest, BothCaptionsDrawnCentredInTheirButtons) {
  Toolbar t(200);
  t.SetCaptionRenderer(captions_.get());
  const PixelBuffer raised = t.Draw();
  for (Toolbar::Button b : {Toolbar::Button::kQuit, Toolbar::Button::kScreenSwitch}) {
    const Rect button = t.ButtonRect(b);
    const Rect face{button.Left + 2, button.Top + 2, button.Right - 2, button.Bottom - 2};
    const Rect ink = InkBox(raised, face);
    ASSERT_FALSE(ink.IsEmpty()) << static_cast<int>(b);
    // Two characters of a 12-pixel font are about 24 wide, four about 48.
    const int chars = b == Toolbar::Button::kQuit ? 2 : 4;
    EXPECT_GE(ink.Width(), chars * 12 - 8);
    EXPECT_LE(ink.Width(), chars * 12 + 2);
    EXPECT_GE(ink.Height(), 8);
    EXPECT_LE(ink.Height(), 12);
    EXPECT_NEAR((ink.Left + ink.Right) / 2.0, (face.Left + face.Right) / 2.0, 2.5);
    EXPECT_NEAR((ink.Top + ink.Bottom) / 2.0, (face.Top + face.Bottom) / 2.0, 2.5);
    // The darkest pixel is (near) black: the caption is text, not a shade.
    uint32_t darkest = 0xFF;
    for (int y = ink.Top; y < ink.Bottom; ++y)
      for (int x = ink.Left; x < ink.Right; ++x)
        darkest = std::min(darkest, raised.Pixel(x, y) & 0xFF);
    EXPECT_LE(darkest, 0x20u);
  }
  // No ink between or beside the buttons.
  EXPECT_TRUE(InkBox(raised, Rect{136, 0, 200, Toolbar::kDockHeight}).IsEmpty());

  const Rect quit = t.ButtonRect(Toolbar::Button::kQuit);
  const Rect face{quit.Left + 2, quit.Top + 2, quit.Right - 2, quit.Bottom - 2};
  const Rect before = InkBox(raised, face);
  t.MouseDown(10, 10);
  const Rect sunk = InkBox(t.Draw(), face);
  EXPECT_EQ(sunk.Left, before.Left + 1);
  EXPECT_EQ(sunk.Top, before.Top + 1);
}

// A caption wider than its area is cut to the area, never drawn outside or past the picture.
TEST_F(DockCaptionsTest, CutToItsArea) {
  PixelBuffer dock(30, Toolbar::kDockHeight, Toolbar::kFace);
  captions_->DrawCaption(dock, Rect{10, 2, 40, 20}, Toolbar::Caption(Toolbar::Button::kScreenSwitch),
                         false);
  EXPECT_TRUE(InkBox(dock, Rect{0, 0, 10, Toolbar::kDockHeight}).IsEmpty());
  EXPECT_FALSE(InkBox(dock, Rect{10, 2, 30, 20}).IsEmpty());
}

}  // namespace
}  // namespace orin
