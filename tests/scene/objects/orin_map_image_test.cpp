// Image maps: the cut-out by pixels, selection by pointer and keys with its events, choosing and
// closing, the shared pictures left as they were, region files that are missing or damaged, and
// the save record.
#include "scene/objects/orin_map_image.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "imaging/mura.h"
#include "params/param_collection.h"
#include "resources/file_manager.h"
#include "resources/stream.h"
#include "resources/temp_folder.h"
#include "scene/model/mura_collection.h"
#include "scene/model/orin_base_list.h"
#include "scene/model/property_table.h"
#include "scene/scene_test_support.h"
#include "scene/text/text_services.h"
#include "support/byte_builder.h"
#include "support/test_support.h"

namespace orin {
namespace {

using test::GetInt;
using test::SetFlag;
using test::SetInt;
using test::SetStr;

constexpr int kPropHighlight = 83;
constexpr int kPropRegions = 106;
constexpr int kPropCancel = 73;
constexpr int kKeyUp = 0x26;
constexpr int kKeyDown = 0x28;
constexpr int kKeyEnter = 0x0D;

constexpr uint32_t kRed = 0xFF0000;
constexpr uint32_t kGreen = 0x00FF00;
constexpr uint32_t kGrey = 0x404040;

// One 16 × 16 frame of one colour, with an alpha plane that is 255 except a transparent left
// column, so the cut-out has a plane of the picture's own to keep.
std::string Picture(uint32_t colour) {
  TMuraFrameList list;
  TMuraFrame& f = list.AddFrame();
  f.Surface.SetSize(16, 16, 32);
  f.Surface.CreateAlpha();
  for (int y = 0; y < 16; ++y)
    for (int x = 0; x < 16; ++x) {
      f.Surface.SetPixel(x, y, colour);
      f.Surface.Alpha->SetPixel(x, y, x == 0 ? 0 : 255);
    }
  MemoryStream s;
  list.SaveToStream(s, TMuraFrameList::kZlib, 70);
  return std::string(s.View());
}

MapRegion Rectangle(const std::string& name, int32_t l, int32_t t, int32_t r, int32_t b) {
  MapRegion region;
  region.Name = name;
  region.Left = l;
  region.Top = t;
  region.Right = r;
  region.Bottom = b;
  return region;
}

// Four regions: two squares at the top, a triangle and an ellipse below.
std::string FourRegions() {
  RegionFile file;
  file.Regions = {Rectangle("north", 0, 0, 7, 7), Rectangle("east", 8, 0, 15, 7)};
  MapRegion triangle;
  triangle.Name = "south";
  triangle.ShapeByte = 2;
  triangle.Points = {{0, 8}, {8, 8}, {0, 16}};
  MapRegion ellipse = Rectangle("west", 8, 8, 15, 15);
  ellipse.ShapeByte = 1;
  file.Regions.push_back(triangle);
  file.Regions.push_back(ellipse);
  return file.Write();
}

class MapScene {
 public:
  MapScene() : files(temp, pending, {}), cache(&files) {
    files.SetBaseFolder(dir.Path());
    text.Images = &cache;
    text.Vars = &vars;
    cache.SetReporter([this](const std::string& line) { reported.push_back(line); });
    scene.SetServices({.Text = &text});
    scene.SetFiles(&files);
    scene.SetSize(32, 32);
    scene.ActiveRoot().SetColor(kGrey);
    dir.Write("base.mur", Picture(kRed));
    dir.Write("hi.mur", Picture(kGreen));
    dir.Write("map.dat", FourRegions());
  }

  TOrinMapImage& Map(const std::string& regions = "map.dat") {
    auto* map = static_cast<TOrinMapImage*>(scene.Create(kKindMapImage));
    map->Rename("map");
    map->SetLeft(4);
    map->SetTop(4);
    SetInt(*map, kPropAlpha, 255);
    SetStr(*map, kPropFile, "base.mur");
    SetStr(*map, kPropHighlight, "hi.mur");
    SetStr(*map, kPropRegions, regions);
    for (auto [code, label] : {std::pair{104, "in"}, {105, "out"}, {72, "chosen"}}) SetStr(*map, code, label);
    return *map;
  }
  void Frame(int32_t delta = 16) {
    clock += delta;
    scene.InputStep(clock, delta);
    scene.Step();
  }
  void Draw() {
    scene.ActiveRoot().InvalidateAll();
    scene.Draw();
    scene.ClearDirty();
  }
  uint32_t Pixel(int x, int y) { return scene.ActiveRoot().Surface().GetPixel(x, y) & 0xFFFFFF; }
  std::vector<std::string> TakeEvents() {
    std::vector<std::string> out;
    TTimerList& q = scene.Events();
    for (int i = 0; i < q.Count(); ++i) {
      std::string line = std::to_string(q[i].Code) + " " + q[i].Label;
      for (const std::string& a : q[i].Args) line += " " + a;
      out.push_back(line);
      q[i].Level = 1;
    }
    q.RemoveLevel(1);
    return out;
  }
  void Point(int x, int y) {
    scene.MouseMove(x, y);
    Frame();
  }

  test::TempDir dir;
  TempFolder temp;
  PendingDeletes pending;
  TVrFileManager files;
  TMuraCollection cache;
  TParamCollection vars;
  TextServices text;
  TOrinBaseList scene;
  std::vector<std::string> reported;
  int32_t clock = 0;
};

TEST(TOrinMapImage, ShowsTheHighlightExactlyInsideTheCurrentRegion) {
  MapScene s;
  TOrinMapImage& map = s.Map();
  EXPECT_EQ(map.Width(), 16);
  s.Draw();
  EXPECT_EQ(s.Pixel(4 + 8, 4 + 3), kRed);
  EXPECT_EQ(s.Pixel(4, 4 + 3), kGrey);  // the picture's own transparent column
  s.Point(4 + 10, 4 + 3);
  ASSERT_EQ(map.CurrentRegion(), 1);
  s.Draw();
  EXPECT_EQ(s.Pixel(4 + 8, 4 + 3), kGreen);
  EXPECT_EQ(s.Pixel(4 + 15, 4 + 7), kGreen);
  EXPECT_EQ(s.Pixel(4 + 7, 4 + 3), kRed);
  EXPECT_EQ(s.Pixel(4 + 10, 4 + 8), kRed);
  // The triangle: the highlight keeps the picture's transparent column too.
  s.Point(4 + 1, 4 + 9);
  ASSERT_EQ(map.CurrentRegion(), 2);
  s.Draw();
  EXPECT_EQ(s.Pixel(4 + 1, 4 + 9), kGreen);
  EXPECT_EQ(s.Pixel(4, 4 + 9), kGrey);
  EXPECT_EQ(s.Pixel(4 + 8, 4 + 3), kRed);
  EXPECT_EQ(s.Pixel(4 + 7, 4 + 14), kRed);
}

// The pictures are drawn with the object's zoom and flips, inside the object's own rectangle;
// the regions keep their pixels relative to the object's screen position.
TEST(TOrinMapImage, ZoomAndFlipsScaleAndMirrorThePictures) {
  {
    MapScene s;
    TOrinMapImage& map = s.Map();
    SetInt(map, kPropZoomX, 128);
    SetInt(map, kPropZoomY, 128);
    EXPECT_EQ(map.Width(), 16);
    s.Draw();
    EXPECT_EQ(s.Pixel(4 + 4, 4 + 1), kRed);    // source (8, 2)
    EXPECT_EQ(s.Pixel(4 + 12, 4 + 1), kGrey);  // beyond the halved picture
    s.Point(4 + 10, 4 + 3);
    ASSERT_EQ(map.CurrentRegion(), 1);
    s.Draw();
    EXPECT_EQ(s.Pixel(4 + 4, 4 + 1), kGreen);
    EXPECT_EQ(s.Pixel(4 + 3, 4 + 1), kRed);
  }
  {
    MapScene s;
    TOrinMapImage& map = s.Map();
    map.SetLeft(19);  // mirrored about its left edge, the picture starts at 19 − 15
    SetFlag(map, kPropFlipX, true);
    ASSERT_EQ(map.ScreenX(), 4);
    s.Draw();
    EXPECT_EQ(s.Pixel(4 + 15, 4 + 3), kGrey);  // the transparent column, now on the right
    EXPECT_EQ(s.Pixel(4, 4 + 3), kRed);
    s.Point(4 + 10, 4 + 3);
    ASSERT_EQ(map.CurrentRegion(), 1);
    s.Draw();
    EXPECT_EQ(s.Pixel(4 + 1, 4 + 3), kGreen);  // region 1's pixels, mirrored
    EXPECT_EQ(s.Pixel(4 + 10, 4 + 3), kRed);
  }
}

TEST(TOrinMapImage, SharedPicturesAreNeverChanged) {
  MapScene s;
  TOrinMapImage& map = s.Map();
  std::shared_ptr<const MuraImages> base = s.cache.Images("base.mur?m");
  std::shared_ptr<const MuraImages> high = s.cache.Images("hi.mur?m");
  auto planeOf = [](const std::shared_ptr<const MuraImages>& images) {
    const TDIBSurface& plane = *images->Images[0].Picture.Color.Alpha;
    std::string bytes;
    for (int y = 0; y < plane.Height(); ++y)
      bytes.append(reinterpret_cast<const char*>(plane.ScanLine(y)), static_cast<size_t>(plane.Width()));
    return bytes;
  };
  const std::string baseBefore = planeOf(base), highBefore = planeOf(high);
  for (int k = 0; k < 4; ++k) {
    map.SelectRegion(k);
    s.Draw();
    EXPECT_EQ(planeOf(base), baseBefore);
    EXPECT_EQ(planeOf(high), highBefore);
  }
  // Another object showing the same file sees it whole while the map shows a cut-out.
  auto* other = s.scene.Create(kKindImages)->AsControl();
  other->Rename("other");
  other->SetLeft(20);
  other->SetTop(20);
  SetStr(*other, kPropFile, "base.mur?m");
  s.Draw();
  EXPECT_EQ(s.Pixel(20 + 5, 20 + 5), kRed);
  EXPECT_EQ(s.Pixel(20, 20 + 5), kGrey);
  s.scene.Delete(map);
  s.Frame();
  EXPECT_EQ(planeOf(base), baseBefore);
}

TEST(TOrinMapImage, PointerSelectionQueuesLeftBeforeEntered) {
  MapScene s;
  TOrinMapImage& map = s.Map();
  s.Point(4 + 2, 4 + 2);
  EXPECT_EQ(s.TakeEvents(), (std::vector<std::string>{"104 in north 0"}));
  s.Point(4 + 9, 4 + 2);
  EXPECT_EQ(s.TakeEvents(), (std::vector<std::string>{"105 out north 0", "104 in east 1"}));
  s.Point(4 + 9, 4 + 3);
  EXPECT_TRUE(s.TakeEvents().empty());
  s.Point(30, 30);
  EXPECT_EQ(s.TakeEvents(), (std::vector<std::string>{"105 out east 1"}));
  EXPECT_EQ(map.CurrentRegion(), -1);
}

TEST(TOrinMapImage, ArrowKeysWrapAndEnterChooses) {
  MapScene s;
  TOrinMapImage& map = s.Map();
  SetFlag(map, kPropFocusable, true);
  auto press = [&](int key) {
    s.scene.KeyDown(key);
    s.Frame();
    s.scene.KeyUp(key);
    s.Frame();
  };
  press(kKeyUp);
  EXPECT_EQ(map.CurrentRegion(), 3);
  press(kKeyDown);
  EXPECT_EQ(map.CurrentRegion(), 0);
  press(kKeyUp);
  EXPECT_EQ(map.CurrentRegion(), 3);
  s.TakeEvents();
  press(kKeyEnter);
  EXPECT_EQ(s.TakeEvents(), (std::vector<std::string>{"72 chosen west 3"}));
  EXPECT_EQ(s.vars.SelStr, "west");
  EXPECT_EQ(s.vars.SelIndex, 3);
}

TEST(TOrinMapImage, ChoosingWithFreeWhenFinishedClosesAndFreesTwoFramesLater) {
  MapScene s;
  TOrinMapImage& map = s.Map();
  SetFlag(map, kPropOneShot, true);
  s.Point(4 + 2, 4 + 12);
  s.TakeEvents();
  s.scene.MouseDown(MouseButton::kLeft, 4 + 2, 4 + 12);
  s.Frame();
  EXPECT_EQ(s.TakeEvents(), (std::vector<std::string>{"72 chosen south 2"}));
  EXPECT_EQ(s.vars.SelIndex, 2);
  EXPECT_TRUE(map.Closed());
  // Closed: the pointer selects nothing more.
  s.Point(4 + 2, 4 + 2);
  EXPECT_TRUE(s.TakeEvents().empty());
  s.Frame();
  EXPECT_EQ(s.scene.Find("map"), nullptr);
}

TEST(TOrinMapImage, RightPressCancelsWithTheCancelFlag) {
  MapScene s;
  TOrinMapImage& map = s.Map();
  s.vars.SelIndex = 5;
  SetFlag(map, kPropCancel, true);
  s.Point(4 + 2, 4 + 2);
  s.TakeEvents();
  s.scene.MouseDown(MouseButton::kRight, 4 + 2, 4 + 2);
  s.Frame();
  EXPECT_TRUE(s.TakeEvents().empty());
  EXPECT_EQ(s.vars.SelIndex, -1);
  EXPECT_TRUE(map.Closed());
  s.Frame();
  s.Frame();
  EXPECT_EQ(s.scene.Find("map"), nullptr);
}

TEST(TOrinMapImage, MissingOrDamagedRegionFilesLeaveNoRegions) {
  MapScene s;
  s.dir.Write("cut.dat", test::Bytes().I32(1000000000).Get());
  for (const char* file : {"none.dat", "cut.dat"}) {
    TOrinMapImage& map = s.Map(file);
    EXPECT_TRUE(map.Regions().Regions.empty()) << file;
    s.Point(4 + 2, 4 + 2);
    EXPECT_EQ(map.CurrentRegion(), -1);
    s.Draw();
    EXPECT_EQ(s.Pixel(4 + 2, 4 + 2), kRed);
    s.scene.Destroy(map);
  }
  ASSERT_EQ(s.reported.size(), 1u);
  EXPECT_NE(s.reported[0].find("cut.dat"), std::string::npos);
}

TEST(TOrinMapImage, SaveRecordRoundTrip) {
  MapScene s;
  TOrinMapImage& map = s.Map();
  SetInt(map, 42, 20);
  SetFlag(map, kPropCancel, true);
  MemoryStream stream;
  map.Save(stream, kSceneSaveVersion);
  stream.SetPosition(0);
  auto* copy = static_cast<TOrinMapImage*>(s.scene.Create(kKindMapImage));
  copy->Load(stream, kSceneSaveVersion);
  EXPECT_EQ(stream.GetPosition(), stream.GetSize());
  EXPECT_EQ(copy->Regions().Regions.size(), 4u);
  EXPECT_EQ(GetInt(*copy, 42), 20);
  EXPECT_EQ(GetInt(*copy, kPropCancel), 1);
  EXPECT_EQ(test::GetStr(*copy, 72), "chosen");
  EXPECT_EQ(copy->Width(), 16);
  EXPECT_EQ(copy->BaseIndex(), 0);
}

}  // namespace
}  // namespace orin
