// Image objects: files through the shared cache, the image animation, brightness, the drawing
// modes, rotation and zoom, and the save record.
#include "scene/objects/orin_images.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "core/text.h"
#include "imaging/mura.h"
#include "params/build_orin_parser.h"
#include "params/orin_parser.h"
#include "params/param_collection.h"
#include "resources/file_manager.h"
#include "resources/stream.h"
#include "resources/temp_folder.h"
#include "scene/model/motion_film.h"
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

constexpr int kPropBrightness = 42;

// One frame of a fixture: every pixel one colour (0x00RRGGBB) unless pixels are given, an
// optional alpha plane, a colour key (a pixel value) and a duration.
struct FrameShape {
  int Width = 4;
  int Height = 4;
  uint32_t Fill = 0;
  std::vector<uint32_t> Pixels = {};  // row by row, overrides Fill
  std::vector<uint8_t> Alpha = {};  // row by row; empty: no plane
  int32_t Key = -1;
  int32_t Delay = 100;
};

std::string MurBytes(const std::vector<FrameShape>& shapes) {
  TMuraFrameList list;
  for (const FrameShape& shape : shapes) {
    TMuraFrame& f = list.AddFrame();
    f.Surface.SetSize(shape.Width, shape.Height, 32);
    for (int y = 0; y < shape.Height; ++y)
      for (int x = 0; x < shape.Width; ++x)
        f.Surface.SetPixel(x, y, shape.Pixels.empty() ? shape.Fill : shape.Pixels[static_cast<size_t>(y * shape.Width + x)]);
    if (!shape.Alpha.empty()) {
      f.Surface.CreateAlpha();
      for (int y = 0; y < shape.Height; ++y)
        for (int x = 0; x < shape.Width; ++x)
          f.Surface.Alpha->SetPixel(x, y, shape.Alpha[static_cast<size_t>(y * shape.Width + x)]);
    }
    f.TransparentValue = shape.Key;
    f.Delay = shape.Delay;
  }
  MemoryStream s;
  list.SaveToStream(s, TMuraFrameList::kZlib, 70);
  return std::string(s.View());
}

// A scene whose objects load pictures from a folder through one shared cache, with variables for
// end-delay expressions and the reported lines kept.
class ImageScene {
 public:
  ImageScene() : files(temp, pending, {}), cache(&files), scene(&files, SceneServices{.Text = &text}) {
    files.SetBaseFolder(dir.Path());
    text.Images = &cache;
    text.Vars = &vars;
    cache.SetReporter([this](const std::string& line) { reported.push_back(line); });
    scene.SetSize(64, 48);
    scene.ActiveRoot().SetColor(0x404040);
  }

  void Write(const std::string& name, const std::vector<FrameShape>& frames) { dir.Write(name, MurBytes(frames)); }

  TOrinImages& Image(const std::string& name, const std::string& file = {}, int32_t left = 0, int32_t top = 0) {
    auto* image = static_cast<TOrinImages*>(scene.Create(kKindImages));
    image->Rename(name);
    image->SetLeft(left);
    image->SetTop(top);
    if (!file.empty()) SetStr(*image, kPropFile, file);
    return *image;
  }

  void Frame(int32_t delta) {
    clock += delta;
    scene.InputStep(clock, delta);
    scene.Step();
  }
  void Draw() {
    scene.Draw();
    scene.ClearDirty();
  }
  uint32_t Pixel(int x, int y) { return scene.ActiveRoot().Surface().GetPixel(x, y) & 0xFFFFFF; }
  void HandleEvents() {
    for (int i = 0; i < scene.Events().Count(); ++i) scene.Events()[i].Level = 1;
    scene.Events().RemoveLevel(1);
  }
  std::vector<std::string> Events() {
    std::vector<std::string> out;
    for (int i = 0; i < scene.Events().Count(); ++i)
      out.push_back(std::to_string(scene.Events()[i].Code) + " " + scene.Events()[i].Label);
    return out;
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

uint32_t Blend(uint32_t d, uint32_t s, int a) {
  uint32_t out = 0;
  for (int shift : {0, 8, 16}) {
    const uint32_t dc = (d >> shift) & 0xFF, sc = (s >> shift) & 0xFF;
    out |= (((dc * (255 - a) + sc * a) >> 8) & 0xFF) << shift;
  }
  return out;
}

uint32_t Add(uint32_t d, uint32_t s, int level) {
  uint32_t out = 0;
  for (int shift : {0, 8, 16}) {
    const uint32_t dc = (d >> shift) & 0xFF, sc = (s >> shift) & 0xFF;
    out |= std::min<uint32_t>(255, dc + ((sc * level) >> 8)) << shift;
  }
  return out;
}

std::unique_ptr<TOrinParser> Expression(const std::string& text) {
  TBuildOrinParser build;
  build.Compile(text);
  MemoryStream s;
  build.WriteTo(s);
  s.SetPosition(0);
  auto parser = std::make_unique<TOrinParser>();
  parser->LoadFromStream(s);
  return parser;
}

// ---- Files and the cache

TEST(TOrinImages, FileLoadsEveryImageAndTheSizeFollowsTheImage) {
  ImageScene s;
  s.Write("pic/anim.mur", {{.Width = 8, .Height = 6, .Fill = 0xFF0000}, {.Width = 5, .Height = 3, .Fill = 0x00FF00}});
  TOrinImages& image = s.Image("a", "PIC\\Anim.MUR");
  EXPECT_EQ(image.ImageCount(), 2);
  EXPECT_EQ(GetInt(image, kPropIndex), 0);
  EXPECT_EQ(image.Width(), 8);
  EXPECT_EQ(image.Height(), 6);
  SetInt(image, kPropIndex, 1);
  EXPECT_EQ(image.Width(), 5);
  EXPECT_EQ(image.Height(), 3);
  EXPECT_EQ(test::GetStr(image, kPropFile), "PIC\\Anim.MUR");
  EXPECT_EQ(GetInt(image, kPropKind), kKindImages);
}

TEST(TMuraCollection, FiftyObjectsShareOneDecodeAndTheFileGoesWithTheLast) {
  ImageScene s;
  s.Write("bg.mur", {{.Width = 16, .Height = 16, .Fill = 0x123456}});
  std::vector<TOrinImages*> images;
  for (int i = 0; i < 50; ++i) images.push_back(&s.Image(Format("i%d", i), i % 2 ? "BG.MUR" : "bg.mur"));
  EXPECT_EQ(s.cache.Decodes(), 1u);
  EXPECT_EQ(images[0]->CurrentPicture(), images[49]->CurrentPicture());
  EXPECT_EQ(s.cache.Count(), 1u);
  // Text pictures share the same decode.
  EXPECT_NE(s.cache.Picture("Bg.mur"), nullptr);
  EXPECT_EQ(s.cache.Decodes(), 1u);
  for (TOrinImages* image : images) s.scene.Delete(*image);
  s.Frame(16);
  EXPECT_EQ(s.cache.Count(), 0u);
  // Shown again, it is read again.
  s.Image("again", "bg.mur");
  EXPECT_EQ(s.cache.Decodes(), 2u);
}

// What cannot be shown leaves the object empty (0 × 0, nothing drawn), says so once, and the game
// goes on.
TEST(TOrinImages, UnshowableFilesLeaveTheObjectEmpty) {
  ImageScene s;
  const std::string good = MurBytes({{.Width = 32, .Height = 32, .Fill = 0xFFFFFF}});
  s.dir.Write("cut.mur", good.substr(0, good.size() / 2));
  // A header that claims a picture of 30000 × 30000 and a billion frames, with nothing behind it.
  test::Bytes huge;
  huge.Raw("Mura106").U32(40).U32(106).U32(30000).U32(30000).U32(32).U32(1000000000);
  huge.U8(1).U8(0).U8(1).U8(0).U32(0).U32(0).U32(0).U8(0).U8(0).U16(0);
  huge.U32(6).Raw("Frame1").I32(-1).I32(100).U8(2).U32(0).U32(1).U32(30000).U32(30000).U32(32);
  s.dir.Write("huge.mur", huge.Get());
  s.dir.Write("text.mur", "this is not a picture at all");
  struct Case {
    const char* File;
    bool Reported;
  } cases[] = {{"missing.mur", true}, {"cut.mur", true}, {"huge.mur", true}, {"text.mur", true},
               {"picture.png", false}, {"notes.txt", false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.File);
    const size_t before = s.reported.size();
    std::string name = "x";
    name.append(c.File);
    TOrinImages& image = s.Image(name, c.File, 5, 5);
    TOrinBox& child = *static_cast<TOrinBox*>(s.scene.Create(kKindBox));
    child.SetParent(&image);
    child.SetBounds(0, 0, 4, 4);
    child.SetColor(0x0000FF);
    EXPECT_EQ(image.Width(), 0);
    EXPECT_EQ(image.Height(), 0);
    EXPECT_EQ(image.ImageCount(), 0);
    EXPECT_EQ(GetInt(image, kPropIndex), -1);
    EXPECT_FALSE(image.Busy());
    EXPECT_EQ(s.reported.size(), before + (c.Reported ? 1 : 0));
    if (c.Reported) {
      EXPECT_NE(s.reported.back().find(c.File), std::string::npos) << s.reported.back();
    }
    s.Frame(16);
    s.scene.ActiveRoot().InvalidateAll();
    s.Draw();
    EXPECT_EQ(s.Pixel(6, 6), 0x404040u);
  }
  // A second object asking for a missing file does not read it again, nor say it again.
  const size_t before = s.reported.size();
  s.Image("again", "missing.mur");
  EXPECT_EQ(s.reported.size(), before);
}

// "?m" gives a keyed picture an alpha plane; "?t" crops it to its visible part and draws the part
// where it lay in the frame. Each form is cached apart from the plain one.
TEST(TMuraCollection, MaskAndTrimForms) {
  ImageScene s;
  const uint32_t k = 0x00FF00, r = 0xFF0000;
  s.Write("spot.mur", {{.Width = 4, .Height = 3, .Pixels = {k, k, k, k, k, k, r, r, k, k, r, r}, .Key = 0x00FF00}});
  EXPECT_FALSE(s.cache.Images("spot.mur")->Images[0].Picture.Color.HasAlpha());
  auto masked = s.cache.Images("spot.mur?m");
  ASSERT_TRUE(masked->Images[0].Picture.Color.HasAlpha());
  EXPECT_EQ(masked->Images[0].Picture.Color.Alpha->GetPixel(0, 0), 0u);
  EXPECT_EQ(masked->Images[0].Picture.Color.Alpha->GetPixel(2, 1), 255u);
  TOrinImages& image = s.Image("t", "spot.mur?t", 10, 10);
  EXPECT_EQ(image.Width(), 2);
  EXPECT_EQ(image.Height(), 2);
  s.Draw();
  EXPECT_EQ(s.Pixel(12, 11), r);
  EXPECT_EQ(s.Pixel(13, 12), r);
  EXPECT_EQ(s.Pixel(10, 10), 0x404040u);
  EXPECT_EQ(s.cache.Decodes(), 3u);
}

// ---- The animation

TEST(TOrinImages, TwoImagesWithoutLoopRaiseFinishedOnceAndStay) {
  ImageScene s;
  s.Write("two.mur", {{.Fill = 0xFF0000, .Delay = 100}, {.Fill = 0x00FF00, .Delay = 50}});
  TOrinImages& image = s.Image("a", "two.mur");
  image.SetLabel(kEventMotionFinished, "done");
  EXPECT_TRUE(image.Busy());
  s.Frame(60);
  EXPECT_EQ(image.Index(), 0);
  s.Frame(60);  // 100 ms are over: image 1 with its 50 ms
  EXPECT_EQ(image.Index(), 1);
  s.Frame(30);
  EXPECT_TRUE(s.Events().empty());
  EXPECT_TRUE(test::GetInt(image, kPropBusy));
  s.Frame(30);
  EXPECT_EQ(s.Events(), std::vector<std::string>{"43 done"});
  EXPECT_FALSE(image.Busy());
  s.HandleEvents();
  for (int i = 0; i < 5; ++i) s.Frame(30);
  EXPECT_TRUE(s.Events().empty());
  EXPECT_EQ(image.Index(), 1);
}

TEST(TOrinImages, LoopingWrapsAndFreeWhenFinishedDeletes) {
  ImageScene s;
  s.Write("three.mur", {{.Fill = 1, .Delay = 20}, {.Fill = 2, .Delay = 20}, {.Fill = 3, .Delay = 20}});
  TOrinImages& looping = s.Image("loop", "three.mur");
  SetFlag(looping, kPropLoop, true);
  TOrinImages& once = s.Image("once", "three.mur");
  SetFlag(once, kPropOneShot, true);
  std::vector<int32_t> seen;
  for (int i = 0; i < 4; ++i) {
    s.Frame(20);
    seen.push_back(looping.Index());
  }
  EXPECT_EQ(seen, (std::vector<int32_t>{1, 2, 0, 1}));
  EXPECT_TRUE(looping.Busy());
  EXPECT_EQ(s.scene.Find("once"), nullptr);
  EXPECT_TRUE(s.Events().empty());
}

// Images of no duration cannot hold the frame: one pass through the list per step.
TEST(TOrinImages, ZeroDurationsDoNotSpin) {
  ImageScene s;
  s.Write("zero.mur", {{.Fill = 1, .Delay = 0}, {.Fill = 2, .Delay = 0}, {.Fill = 3, .Delay = 0}});
  TOrinImages& image = s.Image("a", "zero.mur");
  SetFlag(image, kPropLoop, true);
  s.Frame(16);
  s.Frame(16);
  EXPECT_GE(image.Index(), 0);
}

TEST(TOrinImages, StoppedPausedOrHiddenObjectsDoNotAnimate) {
  ImageScene s;
  s.Write("two.mur", {{.Fill = 1, .Delay = 10}, {.Fill = 2, .Delay = 10}});
  for (int prop : {kPropStopped, kPropPaused, kPropVisible}) {
    SCOPED_TRACE(prop);
    TOrinImages& image = s.Image(Format("p%d", prop), "two.mur");
    SetFlag(image, prop, prop != kPropVisible);
    s.Frame(50);
    EXPECT_EQ(image.Index(), 0);
    if (prop != kPropVisible) {
      EXPECT_FALSE(image.Busy());
    }
  }
}

// The end delay is evaluated each time the last image of a list of two or more is entered.
TEST(TOrinImages, EndDelayLengthensTheLastImage) {
  ImageScene s;
  s.Write("two.mur", {{.Fill = 1, .Delay = 100}, {.Fill = 2, .Delay = 100}});
  s.Write("one.mur", {{.Fill = 1, .Delay = 100}});
  TOrinImages& image = s.Image("a");
  image.SetEndDelay(*Expression("delay * 2"));
  TParamCollectionItem& delay = s.vars.AddVariable(kTypeInt, "delay");
  delay.Value->SetAsInt(0);
  SetInt(image, kPropIndex, 0);
  SetStr(image, kPropFile, "two.mur");
  EXPECT_EQ(image.ImageTimer(), 100);
  delay.Value->SetAsInt(150);
  SetInt(image, kPropIndex, 1);
  EXPECT_EQ(image.ImageTimer(), 100 + 100 + 300);
  // A loaded object keeps its saved timer; the expression is not run while the game loads (its
  // variables are not back yet).
  MemoryStream saved;
  s.scene.Save(saved, kSceneSaveVersion);
  saved.SetPosition(0);
  ImageScene t;
  t.Write("two.mur", {{.Fill = 1, .Delay = 100}, {.Fill = 2, .Delay = 100}});
  TParamCollectionItem& counter = t.vars.AddVariable(kTypeInt, "delay");
  counter.Value->SetAsInt(1000);
  t.scene.Load(saved, kSceneSaveVersion);
  auto* loaded = dynamic_cast<TOrinImages*>(t.scene.FindControl("a"));
  ASSERT_NE(loaded, nullptr);
  EXPECT_EQ(loaded->Index(), 1);
  EXPECT_EQ(loaded->ImageTimer(), 500);
  // A single image is not lengthened.
  SetStr(image, kPropFile, "one.mur");
  EXPECT_EQ(image.ImageTimer(), 100);
}

// The end delay runs each time the last image is entered, but not while a game loads: the
// variables it reads are not back yet, and the saved timer already holds its value.
TEST(TOrinImages, EndDelayIsNotRunWhileLoading) {
  ImageScene s;
  s.Write("two.mur", {{.Fill = 1, .Delay = 100}, {.Fill = 2, .Delay = 100}});
  TParamCollectionItem& runs = s.vars.AddVariable(kTypeInt, "runs");
  runs.Value->SetAsInt(0);
  TOrinImages& image = s.Image("a", "two.mur");
  image.SetEndDelay(*Expression("runs = runs + 1"));
  SetInt(image, kPropIndex, 1);
  SetInt(image, kPropIndex, 1);
  EXPECT_EQ(runs.Value->GetAsInt(), 2);
  MemoryStream saved;
  s.scene.Save(saved, kSceneSaveVersion);
  saved.SetPosition(0);
  ImageScene t;
  t.Write("two.mur", {{.Fill = 1, .Delay = 100}, {.Fill = 2, .Delay = 100}});
  TParamCollectionItem& loadedRuns = t.vars.AddVariable(kTypeInt, "runs");
  loadedRuns.Value->SetAsInt(0);
  t.scene.Load(saved, kSceneSaveVersion);
  EXPECT_EQ(loadedRuns.Value->GetAsInt(), 0);
  auto* loaded = dynamic_cast<TOrinImages*>(t.scene.FindControl("a"));
  ASSERT_NE(loaded, nullptr);
  EXPECT_EQ(loaded->ImageTimer(), image.ImageTimer());
}

TEST(TOrinImages, IndexWithAMotionMovesTheMotionTime) {
  ImageScene s;
  TOrinImages& image = s.Image("a");
  auto film = std::make_unique<MotionFilm>();
  film->Fields = MotionFilm::kPosition;
  film->Frames.resize(30);
  image.AttachMotion(std::move(film), "m.omt");
  SetInt(image, kPropIndex, 10);
  EXPECT_EQ(image.Motion()->Elapsed(), 167);
  EXPECT_EQ(image.ImageCount(), 30);
  EXPECT_EQ(image.Index(), -1);
}

// A motion file attaches a motion that starts at once; one cut short is reported and the object
// goes without.
TEST(TOrinImages, MotionFilesAttachOrAreReported) {
  ImageScene s;
  MotionFilm film;
  film.Fields = MotionFilm::kPosition;
  film.Frames.resize(4);
  MemoryStream bytes;
  film.Write(bytes);
  const std::string whole(bytes.View());
  s.dir.Write("walk.omt", whole);
  s.dir.Write("cut.omt", whole.substr(0, whole.size() - 3));
  TOrinImages& image = s.Image("a", "WALK.omt");
  ASSERT_NE(image.Motion(), nullptr);
  EXPECT_EQ(image.ImageCount(), 4);
  EXPECT_TRUE(image.Busy());
  EXPECT_TRUE(s.reported.empty());
  SetStr(image, kPropFile, "cut.omt");
  EXPECT_EQ(image.Motion(), nullptr);
  ASSERT_EQ(s.reported.size(), 1u);
  EXPECT_NE(s.reported[0].find("cut.omt"), std::string::npos);
  s.Frame(16);
}

// A motion's frames show images of the files it names, through the same cache.
TEST(TOrinImages, MotionFramesShowImagesOfFiles) {
  ImageScene s;
  s.Write("cells.mur", {{.Width = 3, .Height = 3, .Fill = 0xFF}, {.Width = 7, .Height = 5, .Fill = 0xFF00}});
  TOrinImages& image = s.Image("a");
  auto film = std::make_unique<MotionFilm>();
  film->Fields = MotionFilm::kImage | MotionFilm::kAlpha;
  film->ImageFiles = {"cells.mur"};
  film->Frames.resize(3);
  film->Frames[0].ImageFile = 0, film->Frames[0].ImageIndex = 1, film->Frames[0].Alpha = 200;
  image.AttachMotion(std::move(film), "m.omt");
  s.Frame(16);
  ASSERT_NE(image.CurrentPicture(), nullptr);
  EXPECT_EQ(image.Width(), 7);
  EXPECT_EQ(image.Height(), 5);
  EXPECT_EQ(image.Alpha(), 200);
  EXPECT_EQ(s.cache.Decodes(), 1u);
}

TEST(TOrinImages, LoopOnShowsImageZeroOrRestartsAFinishedMotion) {
  ImageScene s;
  s.Write("two.mur", {{.Fill = 1, .Delay = 10}, {.Fill = 2, .Delay = 10}});
  TOrinImages& image = s.Image("a", "two.mur");
  for (int i = 0; i < 4; ++i) s.Frame(10);
  EXPECT_FALSE(image.Busy());
  SetFlag(image, kPropLoop, true);
  EXPECT_TRUE(image.Busy());
  s.Frame(10);
  EXPECT_EQ(image.Index(), 0);
}

// ---- Brightness

TEST(TOrinImages, BrightnessShowsALighterOrDarkerCopy) {
  ImageScene s;
  // Pixel 0 is the colour key (green).
  s.Write("b.mur", {{.Width = 2, .Height = 1, .Pixels = {0x00FF00, 0x80C020}, .Key = 0x00FF00}});
  struct Case {
    int32_t Brightness;
    uint32_t Expected;
  } cases[] = {{0, 0x80C020}, {64, 0xC0FF60}, {-64, 0x408000}, {300, 0xFFFFFF}, {-300, 0x000000}};
  TOrinImages& image = s.Image("a", "b.mur", 10, 10);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Brightness);
    SetInt(image, kPropBrightness, c.Brightness);
    EXPECT_EQ(GetInt(image, kPropBrightness), c.Brightness);
    s.Draw();
    EXPECT_EQ(s.Pixel(11, 10), c.Expected);
    EXPECT_EQ(s.Pixel(10, 10), 0x404040u);  // the key stays transparent
  }
  // The cache's image itself is never changed.
  EXPECT_EQ(s.cache.Images("b.mur")->Images[0].Picture.Color.GetPixel(1, 0) & 0xFFFFFF, 0x80C020u);
}

// ---- Drawing

TEST(TOrinImages, OpacityModesWithAndWithoutAnAlphaPlane) {
  ImageScene s;
  const uint32_t d = 0x404040, src = 0xC08020;
  // Pixel 0: the key (no plane) or alpha 0 (plane); pixel 1: opaque; pixel 2: alpha 128 (plane).
  s.Write("key.mur", {{.Width = 3, .Height = 1, .Pixels = {0x00FF00, src, src}, .Key = 0x00FF00}});
  s.Write("plane.mur", {{.Width = 3, .Height = 1, .Pixels = {0x00FF00, src, src}, .Alpha = {0, 255, 128}}});
  struct Case {
    const char* File;
    int32_t Alpha;
    uint32_t Expected[3];
  } cases[] = {
      {"key.mur", 255, {d, src, src}},
      {"key.mur", 128, {d, Blend(d, src, 128), Blend(d, src, 128)}},
      {"key.mur", 256 + 64, {d, Add(d, src, 64), Add(d, src, 64)}},
      {"plane.mur", 255, {d, src, Blend(d, src, 128)}},
      {"plane.mur", 128, {d, Blend(d, src, 128), Blend(d, src, 64)}},
      {"plane.mur", 256 + 100, {d, Add(d, src, 100), Add(d, src, 50)}},
      {"plane.mur", 0, {d, d, d}},
      {"key.mur", INT32_MAX, {d, Add(d, src, 65535), Add(d, src, 65535)}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.File);
    SCOPED_TRACE(c.Alpha);
    TOrinImages& image = s.Image("m", c.File, 20, 20);
    SetInt(image, kPropAlpha, c.Alpha);
    s.Draw();
    for (int x = 0; x < 3; ++x) EXPECT_EQ(s.Pixel(20 + x, 20), c.Expected[x]) << x;
    s.scene.Delete(image);
    s.Frame(0);
  }
}

TEST(TOrinImages, ChildrenDrawAfterTheImageAndAloneBelowAlphaOne) {
  ImageScene s;
  s.Write("bg.mur", {{.Width = 10, .Height = 10, .Fill = 0xFF0000}});
  TOrinImages& image = s.Image("a", "bg.mur", 0, 0);
  TOrinBox& child = *static_cast<TOrinBox*>(s.scene.Create(kKindBox));
  child.Rename("child");
  child.SetParent(&image);
  child.SetBounds(2, 2, 2, 2);
  child.SetColor(0xFF0000);
  s.Draw();
  const uint32_t childPixel = s.Pixel(2, 2);
  EXPECT_EQ(childPixel, 0x0000FFu);
  EXPECT_EQ(s.Pixel(5, 5), 0xFF0000u);
  SetInt(image, kPropAlpha, 0);
  s.Draw();
  EXPECT_EQ(s.Pixel(5, 5), 0x404040u);
  EXPECT_EQ(s.Pixel(2, 2), childPixel);
}

// A full-screen picture drawn as a plain copy hides the root's fill and the objects beneath it,
// which are then not drawn at all; every other way of showing it lets them through, and hidden
// objects still carry their current bounds into saves.
TEST(TOrinImages, AnOpaqueBackgroundHidesWhatLiesBeneath) {
  struct Case {
    const char* name;
    int prop;
    int32_t value;
    bool keyed;
    uint32_t under;   // the pixel at the sprite beneath
    uint32_t corner;  // the pixel where only the background lies
  };
  const uint32_t red = 0xFF0000, green = 0x00FF00;
  const Case cases[] = {
      {"plain", 0, 0, false, red, red},
      {"translucent", kPropAlpha, 200, false, Blend(green, red, 200), Blend(0x404040, red, 200)},
      {"keyed", 0, 0, true, green, 0x404040},
      {"turned a full turn", kPropRotation, 256, false, red, red},
      // Mirrored about its origin, the picture ends a pixel right of the left edge.
      {"mirrored", kPropFlipX, 1, false, green, red},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ImageScene s;
    s.Write("low.mur", {{.Width = 4, .Height = 4, .Fill = green}});
    s.Write("bg.mur", {{.Width = 64, .Height = 48, .Fill = red, .Key = c.keyed ? 0xFF0000 : -1}});
    s.Write("top.mur", {{.Width = 4, .Height = 4, .Fill = 0x0000FF}});
    TOrinImages& low = s.Image("low", "low.mur", 10, 10);
    TOrinBox& child = *static_cast<TOrinBox*>(s.scene.Create(kKindBox));
    child.Rename("child");
    child.SetParent(&low);
    child.SetBounds(1, 1, 2, 2);
    TOrinImages& bg = s.Image("bg", "bg.mur");
    bg.SetDepth(1);
    if (c.prop == kPropFlipX)
      SetFlag(bg, c.prop, true);
    else if (c.prop != 0)
      SetInt(bg, c.prop, c.value);
    s.Image("top", "top.mur", 20, 20).SetDepth(2);
    s.Draw();
    EXPECT_EQ(s.Pixel(10, 10), c.under);
    EXPECT_EQ(s.Pixel(0, 0), c.corner);
    EXPECT_EQ(s.Pixel(20, 20), 0x0000FFu);
    low.SetLeft(30);
    s.Draw();
    EXPECT_EQ(low.BoundsRect(), (Rect{30, 10, 34, 14}));
    EXPECT_EQ(child.BoundsRect(), (Rect{31, 11, 33, 13}));
  }
}

TEST(TOrinImages, ZoomScalesMirrorsAndLaysChildrenOut) {
  ImageScene s;
  s.Write("lr.mur", {{.Width = 2, .Height = 1, .Pixels = {0xFF0000, 0x0000FF}}});
  TOrinImages& image = s.Image("a", "lr.mur", 10, 10);
  // A child of the same zoom placed on the picture keeps its place on it.
  TOrinImages& child = s.Image("child");
  child.SetParent(&image);
  SetFlag(child, kPropScalePosition, true);
  SetInt(child, kPropLeft, 1);
  EXPECT_EQ(child.ScreenX(), 11);
  for (TOrinImages* o : {&image, &child}) {
    SetInt(*o, kPropZoomX, 512);
    SetInt(*o, kPropZoomY, 512);
  }
  EXPECT_EQ(image.Width(), 4);
  EXPECT_EQ(image.Height(), 2);
  EXPECT_EQ(child.ScreenX(), 12);
  s.Draw();
  EXPECT_EQ(s.Pixel(10, 11), 0xFF0000u);
  EXPECT_EQ(s.Pixel(11, 11), 0xFF0000u);
  EXPECT_EQ(s.Pixel(13, 11), 0x0000FFu);
  // Mirrored about its origin (the left edge): the picture now ends at the object's left.
  SetFlag(image, kPropFlipX, true);
  s.Draw();
  EXPECT_EQ(image.ScreenX(), 7);
  EXPECT_EQ(s.Pixel(7, 11), 0x0000FFu);
  EXPECT_EQ(s.Pixel(10, 11), 0xFF0000u);
  EXPECT_EQ(s.Pixel(12, 11), 0x404040u);
}

// A rotated image turns about its origin point; its screen rectangle is the turned bounds, so
// repaints and the pointer follow it.
TEST(TOrinImages, RotationTurnsAboutTheOriginAndMovesTheScreenRect) {
  ImageScene s;
  s.Write("bar.mur", {{.Width = 8, .Height = 2, .Fill = 0xFF0000}});
  TOrinImages& image = s.Image("a", "bar.mur", 30, 20);
  SetInt(image, kPropOriginX, 0);
  SetInt(image, kPropOriginY, 0);
  EXPECT_EQ(image.ScreenRect(), (Rect{30, 20, 38, 22}));
  s.Draw();
  SetInt(image, kPropRotation, 64 + 256);  // a quarter turn; only the low 8 bits count
  const Rect r = image.ScreenRect();
  EXPECT_LE(r.Width(), 3);
  EXPECT_GE(r.Height(), 8);
  s.Draw();
  // The bar now hangs down from the origin, and the place it left is repainted.
  EXPECT_EQ(s.Pixel(35, 20), 0x404040u);
  bool found = false;
  for (int x = r.Left; x < r.Right; ++x) found |= s.Pixel(x, 26) == 0xFF0000u;
  EXPECT_TRUE(found);
  image.SetInputMode(0);
  EXPECT_EQ(s.scene.ActiveRoot().HitTest(r.Left + r.Width() / 2, 26, kHitLeft), &image);
  EXPECT_NE(s.scene.ActiveRoot().HitTest(35, 20, kHitLeft), &image);
}

// A turned image keeps its turn from one redraw to the next, yet every change of its picture
// shows at once: brightness (changed twice between two frames, too), the image index, and
// brightness back to the cache's own picture.
TEST(TOrinImages, AKeptTurnFollowsEveryChangeOfThePicture) {
  ImageScene s;
  s.Write("t.mur", {{.Width = 20, .Height = 12, .Fill = 0x806040}, {.Width = 20, .Height = 12, .Fill = 0x2080C0}});
  TOrinImages& image = s.Image("a", "t.mur", 20, 16);
  SetInt(image, kPropOriginX, 10);
  SetInt(image, kPropOriginY, 6);
  SetInt(image, kPropRotation, 20);
  SetInt(image, kPropZoomX, 300);
  const Rect turned = image.ScreenRect();
  const int cx = (turned.Left + turned.Right) / 2, cy = (turned.Top + turned.Bottom) / 2;
  auto redraw = [&] {
    image.Invalidate();
    s.Draw();
  };
  SetInt(image, kPropBrightness, 64);
  redraw();
  redraw();
  EXPECT_EQ(s.Pixel(cx, cy), 0xC0A080u);
  SetInt(image, kPropBrightness, 128);
  SetInt(image, kPropBrightness, 192);
  redraw();
  redraw();
  EXPECT_EQ(s.Pixel(cx, cy), 0xFFFFFFu);
  SetInt(image, kPropIndex, 1);
  redraw();
  EXPECT_EQ(s.Pixel(cx, cy), 0xE0FFFFu);
  SetInt(image, kPropBrightness, 0);
  redraw();
  redraw();
  EXPECT_EQ(s.Pixel(cx, cy), 0x2080C0u);
}

// ---- Save and load

TEST(TOrinImages, SavedSceneLoadsAndShowsTheSamePixels) {
  ImageScene s;
  s.Write("bg.mur", {{.Width = 64, .Height = 48, .Fill = 0x203040}});
  s.Write("sprite.mur", {{.Width = 8, .Height = 8, .Fill = 0xFF0000, .Alpha = std::vector<uint8_t>(64, 200)},
                         {.Width = 6, .Height = 6, .Fill = 0x00FF00, .Alpha = std::vector<uint8_t>(36, 90)}});
  s.Image("bg", "bg.mur");
  TOrinImages& sprite = s.Image("sprite", "sprite.mur", 20, 10);
  SetInt(sprite, kPropIndex, 1);
  SetInt(sprite, kPropBrightness, -40);
  SetInt(sprite, kPropRotation, 20);
  SetInt(sprite, kPropZoomX, 384);
  SetInt(sprite, kPropZoomY, 300);
  SetInt(sprite, kPropAlpha, 180);
  SetInt(sprite, kPropOriginX, 3);
  SetFlag(sprite, kPropFlipY, true);
  SetFlag(sprite, kPropLoop, true);
  SetFlag(sprite, kPropOneShot, true);
  SetInt(sprite, 88, 1);
  sprite.SetLabel(kEventMotionFinished, "end");
  sprite.SetLabel(kEventEveryFrame, "tick");
  sprite.SetEndDelay(*Expression("40 + 2"));
  s.scene.ActiveRoot().InvalidateAll();
  s.Draw();
  MemoryStream saved;
  s.scene.Save(saved, kSceneSaveVersion);
  const std::string bytes(saved.View());

  ImageScene t;
  t.dir.Write("bg.mur", MurBytes({{.Width = 64, .Height = 48, .Fill = 0x203040}}));
  t.dir.Write("sprite.mur", MurBytes({{.Width = 8, .Height = 8, .Fill = 0xFF0000, .Alpha = std::vector<uint8_t>(64, 200)},
                                      {.Width = 6, .Height = 6, .Fill = 0x00FF00, .Alpha = std::vector<uint8_t>(36, 90)}}));
  saved.SetPosition(0);
  t.scene.Load(saved, kSceneSaveVersion);
  auto* loaded = dynamic_cast<TOrinImages*>(t.scene.FindControl("sprite"));
  ASSERT_NE(loaded, nullptr);
  EXPECT_EQ(loaded->Index(), 1);
  EXPECT_EQ(loaded->ImageTimer(), sprite.ImageTimer());
  EXPECT_TRUE(loaded->Loop());
  EXPECT_TRUE(loaded->FreeWhenFinished());
  EXPECT_EQ(GetInt(*loaded, 88), 1);
  EXPECT_EQ(loaded->Label(kEventMotionFinished), "end");
  EXPECT_EQ(loaded->Label(kEventEveryFrame), "tick");
  t.scene.ActiveRoot().InvalidateAll();
  t.Draw();
  for (int y = 0; y < 48; ++y)
    for (int x = 0; x < 64; ++x) ASSERT_EQ(t.Pixel(x, y), s.Pixel(x, y)) << x << "," << y;
  // Saved again, the record is the same bytes.
  MemoryStream again;
  t.scene.Save(again, kSceneSaveVersion);
  EXPECT_EQ(std::string(again.View()), bytes);
}

// Before version 104 the record has no zoom y and no every-frame label.
TEST(TOrinImages, OlderRecordsLackZoomYAndTheSecondLabel) {
  ImageScene s;
  s.Write("one.mur", {{.Width = 4, .Height = 4, .Fill = 0x102030}});
  TOrinImages& image = s.Image("img", "one.mur");
  SetInt(image, kPropZoomX, 512);
  SetInt(image, kPropZoomY, 1024);
  image.SetLabel(kEventEveryFrame, "tick");
  MemoryStream saved;
  s.scene.Save(saved, 103);
  saved.SetPosition(0);
  ImageScene t;
  t.Write("one.mur", {{.Width = 4, .Height = 4, .Fill = 0x102030}});
  t.scene.Load(saved, 103);
  auto* loaded = dynamic_cast<TOrinImages*>(t.scene.FindControl("img"));
  ASSERT_NE(loaded, nullptr);
  EXPECT_EQ(loaded->ZoomX(), 512);
  EXPECT_EQ(loaded->ZoomY(), 256);
  EXPECT_EQ(loaded->Label(kEventEveryFrame), "");
  EXPECT_EQ(loaded->Width(), 8);
}

}  // namespace
}  // namespace orin
