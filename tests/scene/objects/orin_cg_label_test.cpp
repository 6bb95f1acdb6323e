// Picture-font labels: the cell index of each character, the size, the cells drawn by pixels
// (a missing character, alignment, cells wider than the picture, the opacities), the picture
// animation and the save record.
#include "scene/objects/orin_cg_label.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "core/text.h"
#include "params/param_collection.h"
#include "resources/stream.h"
#include "scene/model/mura_collection.h"
#include "scene/model/orin_base_list.h"
#include "scene/model/property_table.h"
#include "scene/scene_test_support.h"
#include "scene/text/text_services.h"

namespace orin {
namespace {

using namespace literals;
using test::GetInt;
using test::SetInt;
using test::SetStr;

constexpr int kPropText = 50;
constexpr int kPropCharset = 129;
constexpr int kPropCellWidth = 130;
constexpr int kPropCellHeight = 131;
constexpr int kPropSpacing = 18;
constexpr int kPropAlignment = 53;

constexpr uint32_t kBack = 0x101010;
// The colours of cells 0-3 of the font: a 2 × 2 grid of 4 × 4 cells.
constexpr uint32_t kCell[] = {0xFF0000, 0x00FF00, 0x0000FF, 0xFFFF00};

std::shared_ptr<const MuraImages> Font(int pictures) {
  auto images = std::make_shared<MuraImages>();
  images->Images.resize(static_cast<size_t>(pictures));
  for (int p = 0; p < pictures; ++p) {
    TDIBSurface& c = images->Images[static_cast<size_t>(p)].Picture.Color;
    c.SetSize(8, 8, 32);
    for (int y = 0; y < 8; ++y)
      for (int x = 0; x < 8; ++x) c.SetPixel(x, y, p == 0 ? kCell[(y / 4) * 2 + x / 4] : 0xFFFFFF);
    images->Images[static_cast<size_t>(p)].Duration = 100;
  }
  return images;
}

struct FontScene {
  FontScene() : cache(nullptr) {
    cache.Add("font.mur", Font(1));
    cache.Add("two.mur", Font(2));
    text.Images = &cache;
    text.Vars = &vars;
    scene.SetServices({.Text = &text});
    scene.SetSize(32, 32);
    scene.ActiveRoot().SetColor(kBack);
  }
  TOrinCGLabel& Label(const std::string& content) {
    auto* label = static_cast<TOrinCGLabel*>(scene.Create(kKindCGLabel));
    label->Rename("clock");
    SetStr(*label, kPropFile, "font.mur");
    SetStr(*label, kPropCharset, "0123");
    SetInt(*label, kPropCellWidth, 4);
    SetInt(*label, kPropCellHeight, 4);
    SetInt(*label, kPropAlpha, 255);
    SetStr(*label, kPropText, content);
    return *label;
  }
  void Draw() {
    scene.ActiveRoot().InvalidateAll();
    scene.Draw();
    scene.ClearDirty();
  }
  uint32_t Pixel(int x, int y) { return scene.ActiveRoot().Surface().GetPixel(x, y) & 0xFFFFFF; }

  TMuraCollection cache;
  TParamCollection vars;
  TextServices text;
  TOrinBaseList scene;
};

TEST(TOrinCGLabel, IndexesCharactersOfTheSetAndSizesByTheLongestLine) {
  FontScene s;
  TOrinCGLabel& label = s.Label("3x1\r\n20");
  SetStr(label, kPropCharset, "0123あ"_sj);
  SetStr(label, kPropText, "3x1\r\n2あ0"_sj);
  EXPECT_EQ(label.Cells(), (std::vector<std::vector<int32_t>>{{3, -1, 1}, {2, 4, 0}}));
  SetInt(label, kPropSpacing, 2);
  EXPECT_EQ(label.Width(), 12);
  EXPECT_EQ(label.Height(), 4 + 2 + 4);
  SetInt(label, kPropCellWidth, 0);
  EXPECT_EQ(GetInt(label, kPropCellWidth), 1);
  EXPECT_EQ(label.Width(), 3);
}

TEST(TOrinCGLabel, DrawsEachCellAndLeavesMissingCharactersEmpty) {
  FontScene s;
  TOrinCGLabel& label = s.Label("3x1\r\n0");
  label.SetLeft(2);
  label.SetTop(2);
  s.Draw();
  EXPECT_EQ(s.Pixel(2, 2), kCell[3]);
  EXPECT_EQ(s.Pixel(2 + 5, 2 + 1), kBack);  // "x" is not in the set
  EXPECT_EQ(s.Pixel(2 + 8, 2 + 3), kCell[1]);
  EXPECT_EQ(s.Pixel(2, 2 + 4), kCell[0]);
  SetInt(label, kPropAlignment, 2);
  s.Draw();
  EXPECT_EQ(s.Pixel(2, 2 + 4), kBack);
  EXPECT_EQ(s.Pixel(2 + 8, 2 + 4), kCell[0]);
}

TEST(TOrinCGLabel, OpacityAndCellSizesThatDrawNothing) {
  struct Case {
    const char* what;
    int32_t opacity;
    int32_t cellWidth;
    uint32_t pixel;
  } cases[] = {
      {"opaque", 255, 4, kCell[0]},
      {"blend", 128, 4, (0x10 * 127 + 0xFF * 128) >> 8 << 16 | (0x10 * 127 >> 8) << 8 | (0x10 * 127 >> 8)},
      {"opacity 0", 0, 4, kBack},
      {"opacity 512", 512, 4, kBack},
      {"cells wider than the picture", 255, 9, kBack},
  };
  for (const Case& c : cases) {
    FontScene s;
    TOrinCGLabel& label = s.Label("0");
    SetInt(label, kPropAlpha, c.opacity);
    SetInt(label, kPropCellWidth, c.cellWidth);
    s.Draw();
    EXPECT_EQ(s.Pixel(0, 0), c.pixel) << c.what;
  }
}

TEST(TOrinCGLabel, WithoutOpacityItShowsOnlyItsChildren) {
  FontScene s;
  auto* label = static_cast<TOrinCGLabel*>(s.scene.Create(kKindCGLabel));
  label->Rename("clock");
  SetStr(*label, kPropFile, "font.mur");
  SetStr(*label, kPropCharset, "0");
  SetInt(*label, kPropCellWidth, 4);
  SetInt(*label, kPropCellHeight, 4);
  SetStr(*label, kPropText, "00");
  EXPECT_EQ(GetInt(*label, kPropAlpha), 0);
  auto* box = static_cast<TOrinControl*>(s.scene.Create(kKindBox));
  box->Rename("child");
  box->SetParent(label);
  box->SetBounds(0, 0, 2, 2);
  box->SetColor(0x00FF00);  // 0x00BBGGRR green
  s.Draw();
  EXPECT_EQ(s.Pixel(0, 0), 0x00FF00u);
  EXPECT_EQ(s.Pixel(3, 3), kBack);
}

// Where the label itself draws nothing, its children are not drawn either.
TEST(TOrinCGLabel, NothingDrawnHidesTheChildrenToo) {
  struct Case {
    const char* what;
    const char* file;
    int32_t cellWidth;
    const char* text;
    uint32_t child;
  } cases[] = {
      {"drawn", "font.mur", 4, "0", 0x00FF00},
      {"no picture", "", 4, "0", kBack},
      {"cells wider than the picture", "font.mur", 9, "0", kBack},
      {"no text: no size", "font.mur", 4, "", kBack},
  };
  for (const Case& c : cases) {
    FontScene s;
    TOrinCGLabel& label = s.Label(c.text);
    SetStr(label, kPropFile, c.file);
    SetInt(label, kPropCellWidth, c.cellWidth);
    auto* box = static_cast<TOrinControl*>(s.scene.Create(kKindBox));
    box->Rename("child");
    box->SetParent(&label);
    box->SetBounds(0, 0, 2, 2);
    box->SetColor(0x00FF00);  // 0x00BBGGRR green
    s.Draw();
    EXPECT_EQ(s.Pixel(0, 0), c.child) << c.what;
  }
}

TEST(TOrinCGLabel, PicturesAnimateByTheirDurations) {
  FontScene s;
  TOrinCGLabel& label = s.Label("0");
  SetStr(label, kPropFile, "two.mur");
  EXPECT_EQ(label.PictureIndex(), 0);
  EXPECT_EQ(GetInt(label, 138), 1);
  auto frame = [&](int32_t delta) {
    s.scene.InputStep(0, delta);
    s.scene.Step();
  };
  frame(100);
  EXPECT_EQ(label.PictureIndex(), 0);  // a picture made current lasts its duration + 1
  frame(1);
  EXPECT_EQ(label.PictureIndex(), 1);
  frame(100);
  EXPECT_EQ(label.PictureIndex(), 0);
}

TEST(TOrinCGLabel, SaveRecordRoundTrip) {
  FontScene s;
  TOrinCGLabel& label = s.Label("12\r\n3");
  SetInt(label, kPropSpacing, 1);
  SetInt(label, kPropAlignment, 1);
  MemoryStream stream;
  label.Save(stream, kSceneSaveVersion);
  stream.SetPosition(0);
  auto* copy = static_cast<TOrinCGLabel*>(s.scene.Create(kKindCGLabel));
  copy->Load(stream, kSceneSaveVersion);
  EXPECT_EQ(stream.GetPosition(), stream.GetSize());
  EXPECT_EQ(copy->Cells(), label.Cells());
  EXPECT_EQ(copy->Width(), 8);
  EXPECT_EQ(copy->Height(), 9);
  EXPECT_EQ(GetInt(*copy, kPropAlignment), 1);
  EXPECT_EQ(GetInt(*copy, kPropAlpha), 255);
  EXPECT_EQ(copy->PictureIndex(), 0);
}

}  // namespace
}  // namespace orin
