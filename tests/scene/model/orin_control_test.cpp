#include "scene/model/orin_control.h"

#include <gtest/gtest.h>

#include "scene/model/property_table.h"
#include "scene/scene_test_support.h"

namespace orin {
namespace {

using test::ImageControl;
using test::Scene;

// Screen positions of a control 40 × 20 at left 10, top 6 with origin (4, 2), under a parent at
// (100, 50): the zoom, the flips, the scale-position flag and the offsets.
TEST(TOrinControl_Position, ScreenPositionTable) {
  struct Case {
    const char* name;
    int32_t zoomX, zoomY;
    bool flipX, flipY, scalePosition;
    int32_t offsetX, offsetY;
    int32_t x, y;
  };
  const Case cases[] = {
      {"plain", 256, 256, false, false, false, 0, 0, 100 + 10 - 4, 50 + 6 - 2},
      // Zoom 512 doubles the origin part only.
      {"zoomed", 512, 512, false, false, false, 0, 0, 100 + 10 - 8, 50 + 6 - 4},
      // ... and the position too with the scale-position flag.
      {"scaled position", 512, 128, false, false, true, 0, 0, 100 + 20 - 8, 50 + 3 - 1},
      // Mirrored: the origin is counted from the far edge: width − origin − 1.
      {"flipped", 256, 256, true, true, false, 0, 0, 100 + 10 - (40 - 4 - 1), 50 + 6 - (20 - 2 - 1)},
      {"flipped zoomed", 512, 256, true, false, false, 0, 0, 100 + 10 - (40 - 8 - 1), 50 + 6 - 2},
      {"offsets", 256, 256, false, false, false, 7, -3, 100 + 10 - 4 + 7, 50 + 6 - 2 - 3},
  };
  for (const Case& c : cases) {
    Scene s;
    TOrinBox& parent = s.Box("parent", 100, 50, 200, 200);
    auto* ctl = s.list.Make<ImageControl>();
    ctl->SetParent(&parent);
    ctl->SetBounds(10, 6, 40, 20);
    test::SetInt(*ctl, kPropOriginX, 4);
    test::SetInt(*ctl, kPropOriginY, 2);
    test::SetInt(*ctl, kPropZoomX, c.zoomX);
    test::SetInt(*ctl, kPropZoomY, c.zoomY);
    ctl->SetFlips(c.flipX, c.flipY);
    test::SetFlag(*ctl, kPropScalePosition, c.scalePosition);
    test::SetInt(*ctl, kPropOffsetX, c.offsetX);
    test::SetInt(*ctl, kPropOffsetY, c.offsetY);
    EXPECT_EQ(ctl->ScreenX(), c.x) << c.name;
    EXPECT_EQ(ctl->ScreenY(), c.y) << c.name;
  }
}

TEST(TOrinControl_Position, ZoomBelowOneIsStoredAsOneAndPlainControlsHaveNoZoom) {
  Scene s;
  auto* ctl = s.list.Make<ImageControl>();
  test::SetInt(*ctl, kPropZoomX, 0);
  test::SetInt(*ctl, kPropZoomY, -5);
  EXPECT_EQ(test::GetInt(*ctl, kPropZoomX), 1);
  EXPECT_EQ(test::GetInt(*ctl, kPropZoomY), 1);
  TOrinBox& box = s.Box("box", 0, 0, 1, 1);
  test::SetInt(box, kPropZoomX, 512);
  EXPECT_EQ(test::GetInt(box, kPropZoomX), 256);
}

// Children of an image parent with equal zooms and the scale-position flag sit on the parent's
// picture in 16.16 fixed point: the parent shows a 300-pixel image 401 pixels wide.
TEST(TOrinControl_Position, FixedPointPlacementOnAZoomedImageParent) {
  Scene s;
  auto* parent = s.list.Make<ImageControl>();
  parent->imageWidth = 300;
  parent->imageHeight = 100;
  parent->SetBounds(0, 0, 401, 100);
  test::SetInt(*parent, kPropZoomX, 342);
  auto* child = s.list.Make<ImageControl>();
  child->SetParent(parent);
  child->SetBounds(150, 0, 1, 1);
  test::SetInt(*child, kPropZoomX, 342);
  test::SetFlag(*child, kPropScalePosition, true);
  // ratio = (401 << 16) / 300 = 87599; 150 × 87599 = 13139850 = 200 × 65536 + 32650: 200.
  EXPECT_EQ(child->ScreenX(), 200);
  child->SetLeft(151);
  // 151 × 87599 = 13227449 = 201 × 65536 + 54713; the fraction exceeds 0x7FFF: 202.
  EXPECT_EQ(child->ScreenX(), 202);
  // Unequal zooms take the plain path: 151 × 300 / 256 = 176.
  test::SetInt(*child, kPropZoomX, 300);
  EXPECT_EQ(child->ScreenX(), 176);
}

TEST(TOrinControl_Position, CoordinateConversionsAreRelativeToTheScreenPosition) {
  Scene s;
  TOrinBox& parent = s.Box("parent", 10, 20, 100, 100);
  TOrinBox& box = s.Box("box", 5, 5, 10, 10, -1, &parent);
  EXPECT_EQ(box.ToScreenX(1), 16);
  EXPECT_EQ(box.ToScreenY(1), 26);
  EXPECT_EQ(box.ToClientX(16), 1);
  EXPECT_EQ(box.ToClientY(20), -5);
}

// A scrolling container: its content offset moves its children.
class Scroller : public TOrinControl {
 public:
  using TOrinControl::TOrinControl;
  int32_t ContentOffsetX() const override { return scroll; }
  void ScrollTo(int32_t x, bool tell) {
    scroll = x;
    if (tell) PlacementChanged();
  }
  int32_t scroll = 0;
};

// Positions are kept once computed; every change above a control must reach it.
TEST(TOrinControl_Position, KeptPositionsFollowEveryChangeAbove) {
  Scene s;
  TOrinBox& a = s.Box("a", 10, 20, 100, 100);
  auto* scroller = s.list.Make<Scroller>();
  scroller->Rename("scroller");
  scroller->SetParent(&a);
  scroller->SetBounds(5, 5, 50, 50);
  TOrinBox& c = s.Box("c", 1, 2, 10, 10, -1, scroller);
  TOrinBox& d = s.Box("d", 3, 4, 5, 5, -1, &c);
  auto expect = [&](int32_t x, int32_t y, const char* step) {
    EXPECT_EQ(d.ScreenX(), x) << step;
    EXPECT_EQ(d.ScreenY(), y) << step;
    EXPECT_EQ(d.ScreenRect(), (Rect{x, y, x + 5, y + 5})) << step;
  };
  expect(19, 31, "built");
  a.SetLeft(40);
  expect(49, 31, "outermost moved");
  test::SetInt(a, kPropOriginY, 10);
  expect(49, 21, "outermost origin");
  test::SetInt(*scroller, kPropOffsetX, 100);
  expect(149, 21, "middle offset");
  scroller->ScrollTo(30, true);
  expect(119, 21, "middle scrolled");
  c.SetBounds(0, 0, 10, 10);
  expect(118, 19, "parent resized and moved");
  scroller->SetParent(&s.list.ActiveRoot());
  expect(78, 9, "middle re-parented");
  c.SetParent(&a);
  expect(43, 14, "parent re-parented");
  EXPECT_EQ(d.Root(), &s.list.ActiveRoot());
  a.SetParent(&s.list.InactiveRoot());
  EXPECT_EQ(d.Root(), &s.list.InactiveRoot());

  // A class that forgets to say so is right again from the next frame on.
  c.SetParent(scroller);
  expect(78, 9, "under the scroller again");
  scroller->ScrollTo(0, false);
  s.Frame(16);
  expect(108, 9, "scrolled back, seen the next frame");
}

TEST(TOrinControl_Position, ImageParentsTellTheirChildrenOfANewImageSize) {
  Scene s;
  auto* parent = s.list.Make<ImageControl>();
  parent->imageWidth = 100;
  parent->SetBounds(0, 0, 200, 10);
  auto* child = s.list.Make<ImageControl>();
  child->SetParent(parent);
  child->SetBounds(10, 0, 1, 1);
  test::SetFlag(*child, kPropScalePosition, true);
  EXPECT_EQ(child->ScreenX(), 20);
  parent->imageWidth = 50;
  parent->PlacementChanged();
  EXPECT_EQ(child->ScreenX(), 40);
}

TEST(TOrinControl_Position, CabinetsAreSeenThroughKeptPlacements) {
  Scene s;
  TOrinBox& a = s.Box("a", 0, 0, 10, 10);
  TOrinBox& b = s.Box("b", 0, 0, 10, 10, -1, &a);
  EXPECT_FALSE(b.InsideCabinet());
  TOrinControl* cabinet = s.list.Create(kKindCabinet)->AsControl();
  a.SetParent(cabinet);
  EXPECT_TRUE(b.InsideCabinet());
  a.SetParent(&s.list.ActiveRoot());
  EXPECT_FALSE(b.InsideCabinet());
}

TEST(TOrinControl_Draw, ChildrenDrawInOrderInsideTheirParentAndTheClipSubRectangle) {
  Scene s(8, 4);
  const int32_t red = 0x0000FF, green = 0x00FF00, blue = 0xFF0000;  // colours are 0x00BBGGRR
  TOrinBox& back = s.Box("back", 1, 0, 6, 4, red);
  TOrinBox& front = s.Box("front", 0, 1, 8, 2, green, &back);  // sticks out of back on both sides
  s.Box("over", 3, 0, 1, 4, blue).SetDepth(1);
  s.list.Draw();
  const uint32_t R = 0xFF0000, G = 0x00FF00, B = 0x0000FF;
  const std::vector<std::vector<uint32_t>> expect = {
      {0, R, R, B, R, R, R, 0},
      {0, R, G, B, G, G, G, 0},  // front starts at back's x + 0 = 1... and is cut to back
      {0, R, G, B, G, G, G, 0},
      {0, R, R, B, R, R, R, 0},
  };
  // front's left 0 inside back puts it at screen x 1: the first column of back is green too.
  std::vector<std::vector<uint32_t>> want = expect;
  want[1][1] = want[2][1] = G;
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 8; ++x) EXPECT_EQ(s.Pixel(x, y), want[y][x]) << x << "," << y;

  // The clip sub-rectangle shows part of a control; a width below 1 shows nothing.
  s.list.ClearDirty();
  test::SetInt(front, kPropClipLeft, 2);
  test::SetInt(front, kPropClipWidth, 2);
  s.list.Draw();
  EXPECT_EQ(s.Pixel(2, 1), R);
  EXPECT_EQ(s.Pixel(3, 1), B);
  EXPECT_EQ(s.Pixel(4, 1), G);
  EXPECT_EQ(s.Pixel(5, 1), R);
  test::SetInt(front, kPropClipWidth, 0);
  s.list.Draw();
  EXPECT_EQ(s.Pixel(4, 1), R);
}

// A control that wants what lies under it (an effect that bends the picture below).
class UnderlayControl : public TOrinControl {
 public:
  explicit UnderlayControl(TOrinBaseList* owner) : TOrinControl(owner) { underlayFlag_ = true; }
};

TEST(TOrinControl_Draw, UnderlayHoldsThePictureBelowTheControl) {
  Scene s(8, 4);
  s.Box("red", 0, 0, 4, 4, 0x0000FF);
  auto* effect = s.list.Make<UnderlayControl>();
  effect->SetBounds(2, 1, 4, 2);
  effect->SetDepth(1);
  s.list.Draw();
  const TDIBSurface* under = effect->Underlay();
  ASSERT_NE(under, nullptr);
  ASSERT_EQ(under->Width(), 4);
  ASSERT_EQ(under->Height(), 2);
  EXPECT_EQ(under->GetPixel(0, 0), 0xFF0000u);  // screen (2, 1): red
  EXPECT_EQ(under->GetPixel(1, 1), 0xFF0000u);
  EXPECT_EQ(under->GetPixel(2, 0), 0u);  // screen (4, 1): the root's black
}

TEST(TOrinControl_Draw, CinemaScenesHaveCinemaRoots) {
  TOrinBaseListCinema cinema;
  cinema.SetSize(4, 4);
  for (int i = 0; i < 2; ++i) EXPECT_NE(dynamic_cast<TOrinBaseCinema*>(&cinema.Root(i)), nullptr);
  EXPECT_EQ(cinema.FindBySerial(cinema.Root(0).Serial()), &cinema.Root(0));
  cinema.Clear();
  EXPECT_NE(dynamic_cast<TOrinBaseCinema*>(&cinema.Root(1)), nullptr);
}

TEST(TOrinControl_Draw, InvalidationMarksOnlyWhatChanged) {
  Scene s(100, 100);
  TOrinBox& box = s.Box("box", 10, 10, 20, 20, 0xFF);
  s.list.Draw();
  s.list.ClearDirty();
  box.SetLeft(50);
  // The old and the new place; they do not touch, so they stay two rectangles.
  EXPECT_EQ(s.list.ActiveRoot().DirtyRects(), (std::vector<Rect>{{10, 10, 30, 30}, {50, 10, 70, 30}}));
  s.list.Draw();
  EXPECT_EQ(s.Pixel(15, 15), 0u);
  EXPECT_EQ(s.Pixel(55, 15), 0xFF0000u);
  EXPECT_EQ(s.list.ActiveRoot().Surface().Changed(), (Rect{10, 10, 70, 30}));
  s.list.ClearDirty();
  // Changes of an invisible object, or of one on no root, mark nothing.
  box.SetVisibleFlag(false);
  s.list.ClearDirty();
  box.SetLeft(0);
  EXPECT_TRUE(s.list.ActiveRoot().DirtyRects().empty());
  // A child is repainted only inside its parent.
  box.SetVisibleFlag(true);
  s.list.ClearDirty();
  TOrinBox& child = s.Box("child", 15, 15, 20, 20, 0xFF00, &box);
  s.list.ClearDirty();
  child.SetColor(0xFF0000);
  EXPECT_EQ(s.list.ActiveRoot().DirtyRects(), (std::vector<Rect>{{15, 25, 20, 30}}));
}

TEST(TOrinControl_Draw, TouchingDirtyRectanglesMergeAndManyCollapse) {
  Scene s(200, 200);
  TOrinBase& root = s.list.ActiveRoot();
  root.ClearDirty();
  root.AddDirty(Rect{0, 0, 10, 10});
  root.AddDirty(Rect{10, 0, 20, 10});  // touches: merged
  root.AddDirty(Rect{50, 50, 60, 60});
  root.AddDirty(Rect{5, 5, 55, 55});  // joins both
  EXPECT_EQ(root.DirtyRects(), (std::vector<Rect>{{0, 0, 60, 60}}));
  root.ClearDirty();
  for (int i = 0; i < 30; ++i) root.AddDirty(Rect{i * 6, 0, i * 6 + 2, 2});
  EXPECT_LE(root.DirtyRects().size(), TOrinBase::kMaxDirtyRects);
  root.AddDirty(Rect{-50, -50, 1000, 3});
  EXPECT_EQ(root.DirtyRects().back(), (Rect{0, 0, 200, 3}));
}

// Hit tests through input modes: 0 everything, 1 nothing, 2 hover only, 3 right button and
// hover, 4 left button and hover. A control that does not admit a test lets it fall to what is
// below.
TEST(TOrinControl_HitTest, InputModesDecideWhoTakesThePointer) {
  struct Case {
    uint8_t mode;
    bool left, right, hover;
  };
  const Case cases[] = {
      {0, true, true, true}, {1, false, false, false}, {2, false, false, true},
      {3, false, true, true}, {4, true, false, true}, {9, false, false, false},
  };
  for (const Case& c : cases) {
    Scene s;
    TOrinBox& under = s.Box("under", 0, 0, 20, 20);
    TOrinBox& top = s.Box("top", 5, 5, 10, 10);
    top.SetDepth(1);
    test::SetInt(top, kPropInputMode, c.mode);
    TOrinBase& root = s.list.ActiveRoot();
    EXPECT_EQ(root.HitTest(6, 6, kHitLeft), c.left ? &top : &under) << int(c.mode);
    EXPECT_EQ(root.HitTest(6, 6, kHitRight), c.right ? &top : &under) << int(c.mode);
    EXPECT_EQ(root.HitTest(6, 6, kHitHover), c.hover ? &top : &under) << int(c.mode);
  }
}

TEST(TOrinControl_HitTest, InvisibleClippedAndOutsideControlsAreMissed) {
  Scene s;
  TOrinBox& parent = s.Box("parent", 0, 0, 10, 10);
  TOrinBox& child = s.Box("child", 5, 5, 20, 20, -1, &parent);
  TOrinBase& root = s.list.ActiveRoot();
  EXPECT_EQ(root.HitTest(7, 7, kHitLeft), &child);
  EXPECT_EQ(root.HitTest(12, 12, kHitLeft), nullptr);  // outside the parent: not shown there
  EXPECT_EQ(root.HitTest(100, 100, kHitLeft), nullptr);  // the root itself never counts
  test::SetInt(parent, kPropInputMode, 1);
  test::SetInt(child, kPropInputMode, 1);
  EXPECT_EQ(root.HitTest(7, 7, kHitLeft), nullptr);
  test::SetInt(child, kPropInputMode, 0);
  parent.SetVisibleFlag(false);
  EXPECT_EQ(root.HitTest(7, 7, kHitLeft), nullptr);
}

TEST(TOrinControl_Properties, LabelsAndStateReadBack) {
  Scene s;
  TOrinBox& box = s.Box("box", 1, 2, 3, 4);
  for (int code : {34, 35, 36, 37, 38, 39, 40, 41, 43, 103, 113, 144, 145, 146, 148, 149}) {
    const std::string label = std::string("p:l").append(std::to_string(code));
    test::SetStr(box, code, label);
    EXPECT_EQ(test::GetStr(box, code), label);
  }
  EXPECT_EQ(test::GetInt(box, kPropKind), kKindBox);
  EXPECT_EQ(test::GetInt(box, kPropClipWidth), INT32_MAX);
  EXPECT_EQ(test::GetStr(box, 50), "");  // no text: the type's empty value
  test::SetStr(box, 50, "ignored");
  EXPECT_EQ(test::GetStr(box, 50), "");
  test::SetInt(box, kPropBox1, 7);
  EXPECT_EQ(test::GetInt(box, kPropBox1), 7);
  // An internal child takes its parent's paused flag.
  TOrinBox& inner = s.Box("\001inner", 0, 0, 1, 1, -1, &box);
  test::SetFlag(box, kPropPaused, true);
  EXPECT_TRUE(inner.Paused());
}

}  // namespace
}  // namespace orin
