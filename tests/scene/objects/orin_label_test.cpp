// Text labels: the text property's lines, the layout's size, the text layer rebuilt only on a
// change, the drawing paths by pixels, and the save record.
#include "scene/objects/orin_label.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/text.h"
#include "imaging/font_pixel.h"
#include "params/param_collection.h"
#include "resources/stream.h"
#include "scene/model/orin_base_list.h"
#include "scene/model/property_table.h"
#include "scene/scene_test_support.h"
#include "scene/text/text_services.h"
#include "scene/text_test_support.h"

namespace orin {
namespace {

using namespace literals;
using test::GetInt;
using test::GetStr;
using test::SetFlag;
using test::SetInt;
using test::SetStr;

constexpr int kPropFontName = 15;
constexpr int kPropFontSize = 16;
constexpr int kPropSpacing = 18;
constexpr int kPropTextColour = 19;
constexpr int kPropText = 50;
constexpr int kPropAlignment = 53;

// A scene of 64 × 48 on black with box glyphs: a single-byte character is half the font size
// wide, a double-byte one the whole size, every pixel of its box full.
struct LabelScene {
  LabelScene() : glyphs(std::make_unique<test::BoxRasterizer>()) {
    services.Glyphs = &glyphs;
    services.Vars = &vars;
    scene.SetServices({.Text = &services});
    scene.SetSize(64, 48);
    scene.ActiveRoot().SetColor(0);
  }

  TOrinLabel& Label(const std::string& text, int32_t size = 8) {
    auto* label = static_cast<TOrinLabel*>(scene.Create(kKindLabel));
    label->Rename("label");
    SetInt(*label, kPropFontSize, size);
    SetInt(*label, kPropTextColour, 0x0000FF);  // red
    SetStr(*label, kPropText, text);
    return *label;
  }
  void Draw() {
    scene.ActiveRoot().InvalidateAll();
    scene.Draw();
    scene.ClearDirty();
  }
  uint32_t Pixel(int x, int y) { return scene.ActiveRoot().Surface().GetPixel(x, y) & 0xFFFFFF; }

  TFontPixelManager glyphs;
  TParamCollection vars;
  TextServices services;
  TOrinBaseList scene;
};

TEST(TOrinLabel, TextSplitsAtLineBreaksAndDropsOneEmptyLastLine) {
  struct Case {
    std::string text;
    std::vector<std::string> lines;
    std::string get;
  } cases[] = {
      {"A\r\n\r\n", {"A"}, "A"},
      {"A\nB", {"A", "B"}, "A\r\nB"},
      {"A\rB\r\n", {"A", "B"}, "A\r\nB"},
      {"A\r\n\r\nB", {"A", "", "B"}, "A\r\n\r\nB"},
      {"\r\n", {}, ""},
      {"", {}, ""},
      // A double-byte character stays whole: "ソ" is 0x83 0x5C.
      {"ソ"_sj + "\n", {"ソ"_sj}, "ソ"_sj},
  };
  for (const Case& c : cases) {
    LabelScene s;
    TOrinLabel& label = s.Label("x");
    SetStr(label, kPropText, c.text);
    EXPECT_EQ(label.Lines(), c.lines) << c.text;
    EXPECT_EQ(GetStr(label, kPropText), c.get) << c.text;
  }
}

TEST(TOrinLabel, SizeFollowsLinesSpacingAndZoom) {
  LabelScene s;
  TOrinLabel& label = s.Label("AB\r\nA\r\nABCD", 12);
  SetInt(label, kPropSpacing, 4);
  // Widest line: four characters of 6; three lines of 12 + 4, the spacing after the last too.
  EXPECT_EQ(label.TextWidth(), 24);
  EXPECT_EQ(label.TextHeight(), 48);
  EXPECT_EQ(label.Height(), 48);
  SetInt(label, kPropZoomY, 128);
  EXPECT_EQ(label.Height(), 24);
  SetInt(label, kPropZoomX, 0);
  EXPECT_EQ(GetInt(label, kPropZoomX), 1);
  EXPECT_EQ(label.Width(), 0);
  // A double-byte character is one character of the whole size.
  SetStr(label, kPropText, "あ"_sj);
  EXPECT_EQ(label.TextWidth(), 12);
}

TEST(TOrinLabel, FontDefaultsAndEmptyName) {
  LabelScene s;
  TOrinLabel& label = s.Label("A");
  EXPECT_EQ(GetStr(label, kPropFontName), "ＭＳ Ｐゴシック"_sj);
  EXPECT_EQ(GetInt(label, kPropAlpha), 255);
  SetStr(label, kPropFontName, "");
  EXPECT_NE(s.glyphs.FindGlyph('A', "ＭＳ ゴシック"_sj, 0, 0, 8), nullptr);
}

TEST(TOrinLabel, LaysOutOnlyWhenALaidOutPropertyChanges) {
  LabelScene s;
  TOrinLabel& label = s.Label("Score 10");
  const uint64_t before = label.Layouts();
  SetStr(label, kPropText, "Score 10");
  SetInt(label, kPropFontSize, 8);
  SetInt(label, kPropTextColour, 0x0000FF);
  SetInt(label, kPropAlpha, 128);  // repaints only
  SetFlag(label, kPropFlipX, true);
  SetInt(label, kPropRotation, 3);
  EXPECT_EQ(label.Layouts(), before);
  SetStr(label, kPropText, "Score 20");
  EXPECT_EQ(label.Layouts(), before + 1);
  SetInt(label, kPropAlignment, 2);
  EXPECT_EQ(label.Layouts(), before + 2);
}

// The fill through the alpha weighs the colour by m' and shifts by 8: full ink is 254.
constexpr uint32_t kInk = 0xFE0000;

TEST(TOrinLabel, DrawsLineRectanglesThroughTheAlphaAtNaturalSize) {
  LabelScene s;
  TOrinLabel& label = s.Label("A\r\nAAA");
  label.SetLeft(2);
  label.SetTop(3);
  SetInt(label, kPropAlignment, 1);
  s.Draw();
  // Line 0 ("A", 4 wide) is centred in 12: columns 4-7; line 1 fills 0-11.
  EXPECT_EQ(s.Pixel(2 + 3, 3), 0u);
  EXPECT_EQ(s.Pixel(2 + 4, 3), kInk);
  EXPECT_EQ(s.Pixel(2 + 7, 3 + 7), kInk);
  EXPECT_EQ(s.Pixel(2 + 8, 3), 0u);
  EXPECT_EQ(s.Pixel(2, 3 + 8), kInk);
  EXPECT_EQ(s.Pixel(2 + 11, 3 + 15), kInk);
  EXPECT_EQ(s.Pixel(2 + 12, 3 + 8), 0u);
  ASSERT_EQ(label.LineRects().size(), 2u);
  EXPECT_EQ(label.LineRects()[0], (Rect{4, 0, 8, 8}));
}

TEST(TOrinLabel, OpacityByPath) {
  struct Case {
    int32_t opacity;
    int32_t zoom;
    uint32_t pixel;
  } cases[] = {
      {255, 256, kInk},
      {300, 256, kInk},             // natural size: the alpha alone
      {128, 256, 126},  // m' = (128 × 255) >> 8, then (m' × 255) >> 8 over black
      {300, 512, (255 * 44) >> 8},   // scaled: additive at level 44
      {0, 256, 0},
  };
  for (const Case& c : cases) {
    LabelScene s;
    TOrinLabel& label = s.Label("A");
    SetInt(label, kPropAlpha, c.opacity);
    SetInt(label, kPropZoomX, c.zoom);
    SetInt(label, kPropZoomY, c.zoom);
    s.Draw();
    const uint32_t expected = c.pixel <= 0xFF ? c.pixel << 16 : c.pixel;
    EXPECT_EQ(s.Pixel(1, 1), expected) << c.opacity << " at zoom " << c.zoom;
  }
}

TEST(TOrinLabel, ScaledAndTurnedDraws) {
  LabelScene s;
  TOrinLabel& label = s.Label("A");
  SetInt(label, kPropZoomX, 512);
  s.Draw();
  EXPECT_EQ(s.Pixel(7, 0), 0xFF0000u);
  EXPECT_EQ(s.Pixel(8, 0), 0u);
  // A half turn about the origin point (0, 0) puts the glyph up and to the left of it.
  SetInt(label, kPropZoomX, 256);
  label.SetLeft(20);
  label.SetTop(20);
  SetInt(label, kPropRotation, 128);
  s.Draw();
  EXPECT_EQ(s.Pixel(17, 17), 0xFF0000u);
  EXPECT_EQ(s.Pixel(22, 22), 0u);
  const Rect r = label.ScreenRect();
  EXPECT_LE(r.Right, 21);
  EXPECT_LE(r.Bottom, 21);
  EXPECT_EQ(label.HitTest(17, 17, kHitLeft), &label);
  EXPECT_EQ(label.HitTest(22, 22, kHitLeft), nullptr);
}

TEST(TOrinLabel, SaveRecordRoundTrip) {
  for (int version : {kSceneSaveVersion, 103}) {
    LabelScene s;
    TOrinLabel& label = s.Label("One\r\nTwo", 10);
    SetInt(label, kPropSpacing, 2);
    SetInt(label, kPropAlignment, 2);
    SetInt(label, kPropZoomY, 512);
    SetStr(label, kPropEveryFrameLabel, "tick");
    MemoryStream stream;
    label.Save(stream, version);
    stream.SetPosition(0);
    LabelScene t;
    auto* copy = static_cast<TOrinLabel*>(t.scene.Create(kKindLabel));
    copy->Load(stream, version);
    EXPECT_EQ(stream.GetPosition(), stream.GetSize()) << version;
    EXPECT_EQ(copy->Lines(), (std::vector<std::string>{"One", "Two"}));
    EXPECT_EQ(GetInt(*copy, kPropAlignment), 2);
    EXPECT_EQ(copy->TextHeight(), 24);
    if (version > 103) {
      EXPECT_EQ(GetInt(*copy, kPropZoomY), 512);
      EXPECT_EQ(copy->Height(), 48);
      EXPECT_EQ(GetStr(*copy, kPropEveryFrameLabel), "tick");
    } else {
      EXPECT_EQ(GetInt(*copy, kPropZoomY), 256);
    }
  }
}

}  // namespace
}  // namespace orin
