// Sliders, scroll bars and gauges: the thumb's place, presses on the thumb, the arrows and the
// track, dragging, keys, the change and drag events, bad ranges, the gauge's run, drawing by
// value and the save records.
#include "scene/objects/orin_slider.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "core/error.h"
#include "resources/stream.h"
#include "scene/model/mura_collection.h"
#include "scene/scene_test_support.h"
#include "scene/text/text_services.h"

namespace orin {
namespace {

using test::GetInt;
using test::GetStr;
using test::SetFlag;
using test::SetInt;
using test::SetStr;

constexpr int kVk_Left = 0x25, kVk_Up = 0x26, kVk_Right = 0x27, kVk_Down = 0x28;

class ControlScene : public test::Scene {
 public:
  ControlScene() : test::Scene(320, 240), cache(nullptr) {
    text.Images = &cache;
    list.SetServices(SceneServices{.Text = &text});
  }

  // A picture of one colour; transparentColumns of each of `parts` parts have alpha 0, the rest
  // 255 (no alpha plane when 0).
  void Picture(const std::string& name, int w, int h, uint32_t colour, int parts = 1, int transparentColumns = 0) {
    auto images = std::make_shared<MuraImages>();
    images->Name = name;
    MuraImage image;
    image.Picture.Color.SetSize(w, h, 32);
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) image.Picture.Color.SetPixel(x, y, colour);
    if (transparentColumns > 0) {
      image.Picture.Color.CreateAlpha();
      for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
          image.Picture.Color.Alpha->SetPixel(x, y, x % (w / parts) < transparentColumns ? 0 : 255);
    }
    images->Images.push_back(std::move(image));
    cache.Add(name, images);
  }

  TOrinSlider& Slider(uint8_t kind = kKindSlider, int32_t width = 100, int32_t height = 10) {
    auto* s = static_cast<TOrinSlider*>(list.Create(kind));
    s->Rename("slider");
    s->SetBounds(10, 20, width, height);
    SetStr(*s, 33, "change");
    SetStr(*s, 135, "drag");
    SetStr(*s, 136, "drop");
    return *s;
  }

  void Press(int32_t x, int32_t y) {
    list.MouseMove(x, y);
    list.MouseDown(MouseButton::kLeft, x, y);
    Frame(16);
  }
  void Release(int32_t x, int32_t y) {
    list.MouseUp(MouseButton::kLeft, x, y);
    Frame(16);
  }
  void Key(int key) {
    list.KeyDown(key);
    Frame(16);
    list.KeyUp(key);
    Frame(16);
  }

  TMuraCollection cache;
  TextServices text;
};

TEST(TOrinSlider, ThumbOffsetFollowsValueRangeAndTrack) {
  struct Case {
    uint8_t Kind;
    int32_t Min, Max, Value;
    int32_t Offset;
    int32_t ReadValue;
  } cases[] = {
      {kKindSlider, 0, 100, 50, 50, 50},
      {kKindSlider, 0, 3, 1, 33, 1},
      {kKindSlider, 0, 3, 2, 67, 2},
      {kKindSlider, -50, 50, 0, 50, 0},
      {kKindSlider, 5, 5, 5, 0, 5},        // max = min: the thumb stays at 0
      {kKindSlider, 10, 0, 5, 0, 5},       // reversed: kept, no offset
      {kKindSlider, 0, 100, 150, 100, 100},  // outside: held at the end
      {kKindSlider, 0, 100, -7, 0, 0},
      {kKindScrollbar, 0, 100, 50, 46, 50},  // over the track less the 8-pixel thumb
      {kKindScrollbar, 0, 100, 100, 92, 100},
  };
  for (const Case& c : cases) {
    ControlScene scene;
    TOrinSlider& s = scene.Slider(c.Kind);
    SetInt(s, 123, c.Min);
    SetInt(s, 124, c.Max);
    SetInt(s, 125, c.Value);
    EXPECT_EQ(s.ThumbOffset(), c.Offset) << c.Min << " " << c.Max << " " << c.Value;
    EXPECT_EQ(GetInt(s, 125), c.ReadValue);
    // Values set by scripts raise nothing.
    EXPECT_TRUE(scene.Events().empty());
  }
}

TEST(TOrinSlider, TrackClickJumpsRaisesOnceThenDrags) {
  ControlScene scene;
  TOrinSlider& s = scene.Slider();
  scene.Press(10 + 30, 25);
  EXPECT_EQ(s.Value(), 30);
  EXPECT_EQ(scene.Events(), (std::vector<std::string>{"135 drag", "33 change 30"}));
  scene.HandleEvents();
  scene.list.MouseMove(10 + 61, 90);  // dragging follows the pointer anywhere
  scene.Frame(16);
  EXPECT_EQ(s.Value(), 61);
  scene.list.MouseMove(300, 90);
  scene.Frame(16);
  EXPECT_EQ(s.Value(), 100);
  scene.Release(300, 90);
  EXPECT_EQ(scene.Events(), (std::vector<std::string>{"33 change 61", "33 change 100", "136 drop"}));
  EXPECT_EQ(s.PressModeNow(), TOrinSlider::kPressNone);
}

TEST(TOrinSlider, ThumbDragKeepsWhereTheThumbWasTaken) {
  ControlScene scene;
  TOrinSlider& s = scene.Slider();
  SetInt(s, 125, 50);  // thumb 56 … 64 on the screen
  scene.Press(10 + 52, 25);  // taken 2 left of its centre
  EXPECT_EQ(s.Value(), 50);
  EXPECT_EQ(scene.Events(), (std::vector<std::string>{"135 drag"}));
  scene.list.MouseMove(10 + 62, 25);
  scene.Frame(16);
  EXPECT_EQ(s.Value(), 60);
}

TEST(TOrinSlider, EqualOrReversedRangeIgnoresPressesAndKeys) {
  for (auto [min, max] : {std::pair{5, 5}, std::pair{10, 0}}) {
    ControlScene scene;
    TOrinSlider& s = scene.Slider();
    SetInt(s, 123, min);
    SetInt(s, 124, max);
    SetInt(s, 125, 5);
    SetFlag(s, 147, true);
    ASSERT_TRUE(scene.list.SetFocus(&s));
    scene.Press(10 + 50, 25);
    scene.Release(10 + 50, 25);
    scene.Key(kVk_Right);
    EXPECT_EQ(s.Value(), 5);
    EXPECT_TRUE(scene.Events().empty());
  }
}

TEST(TOrinSlider, KeysStepWithinTheRange) {
  struct Case {
    bool Vertical;
    int32_t Start;
    std::vector<int> Keys;
    int32_t Value;
    size_t Events;
  } cases[] = {
      {false, 50, {kVk_Right}, 55, 1},
      {false, 50, {kVk_Left, kVk_Left}, 40, 2},
      {false, 100, {kVk_Right}, 100, 0},  // at the maximum: nothing, no event
      {false, 3, {kVk_Left}, 0, 1},
      {false, 50, {kVk_Up, kVk_Down}, 50, 0},
      {true, 50, {kVk_Up}, 55, 1},
      {true, 50, {kVk_Down}, 45, 1},
      {true, 50, {kVk_Right}, 50, 0},
  };
  for (const Case& c : cases) {
    ControlScene scene;
    TOrinSlider& s = scene.Slider(kKindSlider, c.Vertical ? 10 : 100, c.Vertical ? 100 : 10);
    SetFlag(s, 126, c.Vertical);
    SetInt(s, 127, 5);
    SetInt(s, 125, c.Start);
    SetFlag(s, 147, true);
    ASSERT_TRUE(scene.list.SetFocus(&s));
    for (int k : c.Keys) scene.Key(k);
    EXPECT_EQ(s.Value(), c.Value) << c.Vertical << " " << c.Start;
    EXPECT_EQ(scene.Events().size(), c.Events);
  }
}

TEST(TOrinSlider, ArrowsStepRepeatAndAreHitOnlyWhereOpaque) {
  ControlScene scene;
  // Six 10 × 10 parts; the first 3 columns of each are transparent.
  scene.Picture("arrows.mur", 60, 10, 0x808080, 6, 3);
  TOrinSlider& s = scene.Slider(kKindSlider, 120, 10);
  SetStr(s, 122, "arrows.mur");
  SetInt(s, 127, 5);
  SetInt(s, 125, 50);
  EXPECT_EQ(s.TrackLength(), 100);
  scene.Press(10 + 110 + 1, 25);  // a transparent pixel of the second arrow: nothing
  scene.Release(10 + 110 + 1, 25);
  EXPECT_EQ(s.Value(), 50);
  scene.Press(10 + 110 + 6, 25);
  EXPECT_EQ(s.Value(), 55);
  scene.Frame(483);
  EXPECT_EQ(s.Value(), 55);
  scene.Frame(1);
  EXPECT_EQ(s.Value(), 60);
  scene.Frame(TOrinBaseList::kKeyRepeatInterval);
  EXPECT_EQ(s.Value(), 65);
  scene.Release(10 + 110 + 6, 25);
  scene.Press(10 + 6, 25);  // the first arrow subtracts
  EXPECT_EQ(s.Value(), 60);
  scene.Release(10 + 6, 25);
}

TEST(TOrinScrollbar, TrackPressPagesTowardsThePointerUntilTheThumbIsThere) {
  ControlScene scene;
  TOrinSlider& s = scene.Slider(kKindScrollbar);
  SetInt(s, 128, 10);
  scene.Press(10 + 60, 25);
  EXPECT_EQ(s.Value(), 10);
  for (int i = 0; i < 30; ++i) scene.Frame(100);
  // The thumb (8 wide over 92 pixels) covers x = 60 at value 60 … 65; paging stops there.
  EXPECT_EQ(s.Value(), 60);
  scene.Release(10 + 60, 25);
  scene.Press(10 + 1, 25);
  EXPECT_EQ(s.Value(), 50);
  scene.Release(10 + 1, 25);
}

TEST(TOrinSlider, VerticalValuesGrowUpwards) {
  ControlScene scene;
  TOrinSlider& s = scene.Slider(kKindSlider, 10, 100);
  SetFlag(s, 126, true);
  scene.Press(15, 20 + 100 - 30);
  EXPECT_EQ(s.Value(), 30);
  scene.Release(15, 20 + 100 - 30);
  EXPECT_EQ(s.ThumbOffset(), 30);
}

TEST(TOrinSlider_Save, RoundTripInEveryVersion) {
  for (int version : {107, 118, 119, 128, 134}) {
    ControlScene scene;
    scene.Picture("bar.mur", 200, 12, 0x404040);
    TOrinSlider& s = scene.Slider(kKindScrollbar);
    SetStr(s, 2, "bar.mur");
    SetInt(s, 123, -10);
    SetInt(s, 124, 90);
    SetInt(s, 125, 40);
    SetInt(s, 127, 3);
    SetInt(s, 128, 7);
    SetFlag(s, 126, false);
    SetInt(s, 11, 77);
    MemoryStream stream;
    scene.list.Save(stream, version);

    ControlScene other;
    other.Picture("bar.mur", 200, 12, 0x404040);
    stream.SetPosition(0);
    other.list.Load(stream, version);
    EXPECT_EQ(stream.Remaining(), 0);
    auto* loaded = dynamic_cast<TOrinScrollbar*>(other.list.Find("slider"));
    ASSERT_NE(loaded, nullptr) << version;
    for (int p : {11, 123, 124, 125, 127, 128}) EXPECT_EQ(GetInt(*loaded, p), GetInt(s, p)) << p;
    for (int p : {2, 33, 135, 136}) EXPECT_EQ(GetStr(*loaded, p), GetStr(s, p)) << p;
    EXPECT_EQ(loaded->TrackLength(), 100);
    EXPECT_EQ(loaded->ThumbOffset(), s.ThumbOffset());
  }
}

TEST(TOrinGauge, RunsDownAfterItsCountdownAndUpToItsEnd) {
  ControlScene scene;
  auto* g = static_cast<TOrinGauge*>(scene.list.Create(kKindGauge));
  SetInt(*g, 125, 100);
  SetInt(*g, 120, 20);   // a run down stops here
  SetInt(*g, 137, 50);   // a run up stops here
  SetInt(*g, 26, 1000);  // the whole range in a second
  SetInt(*g, 128, 200);  // countdown
  SetInt(*g, 127, TOrinGauge::kRunDown);
  std::vector<int32_t> values;
  for (int i = 0; i < 5; ++i) {
    scene.Frame(100);
    values.push_back(GetInt(*g, 125));
  }
  EXPECT_EQ(values, (std::vector<int32_t>{100, 100, 90, 80, 70}));
  for (int i = 0; i < 10; ++i) scene.Frame(100);
  EXPECT_EQ(GetInt(*g, 125), 20);
  EXPECT_EQ(g->RunStateNow(), 0);
  SetInt(*g, 127, TOrinGauge::kRunUp);
  for (int i = 0; i < 10; ++i) scene.Frame(100);
  EXPECT_EQ(GetInt(*g, 125), 50);
  EXPECT_FALSE(GetInt(*g, 138));
  // A target outside the range ends the run at the range's end.
  SetInt(*g, 137, 1000);
  SetInt(*g, 127, TOrinGauge::kRunUp);
  for (int i = 0; i < 10; ++i) scene.Frame(100);
  EXPECT_EQ(GetInt(*g, 125), 100);
  EXPECT_EQ(g->RunStateNow(), 0);
}

TEST(TOrinGauge, DrawsTheFilledPartByValue) {
  struct Case {
    bool Vertical;
    int32_t Value;
    int X, Y;
    bool Filled;
  } cases[] = {
      {false, 30, 29, 5, true}, {false, 30, 30, 5, false}, {false, 0, 0, 5, false},
      {true, 25, 5, 99 - 24, true}, {true, 25, 5, 99 - 25, false},
  };
  for (const Case& c : cases) {
    ControlScene scene;
    auto* g = static_cast<TOrinGauge*>(scene.list.Create(kKindGauge));
    g->SetBounds(0, 0, c.Vertical ? 10 : 100, c.Vertical ? 100 : 10);
    g->SetColor(0x0000FF);
    SetFlag(*g, 126, c.Vertical);
    SetInt(*g, 125, c.Value);
    scene.list.Draw();
    EXPECT_EQ((scene.Pixel(c.X, c.Y) & 0xFFFFFF) == 0xFF0000u, c.Filled) << c.Vertical << " " << c.Value;
  }
}

TEST(TOrinGauge, SaveRoundTripAndDamagedValue) {
  ControlScene scene;
  auto* g = static_cast<TOrinGauge*>(scene.list.Create(kKindGauge));
  g->Rename("gauge");
  SetInt(*g, 123, 10);
  SetInt(*g, 124, 60);
  SetInt(*g, 125, 33);
  SetInt(*g, 127, TOrinGauge::kRunUp);
  SetInt(*g, 137, 55);
  SetFlag(*g, 126, true);
  MemoryStream stream;
  scene.list.Save(stream, kSceneSaveVersion);
  ControlScene other;
  stream.SetPosition(0);
  other.list.Load(stream, kSceneSaveVersion);
  auto* loaded = other.list.Find("gauge");
  ASSERT_NE(loaded, nullptr);
  for (int p : {123, 124, 125, 126, 127, 137}) EXPECT_EQ(GetInt(*loaded, p), GetInt(*g, p)) << p;
}

}  // namespace
}  // namespace orin
