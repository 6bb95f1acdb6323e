// An image object moved by a motion file keeps the picture its motion showed across a save: a
// stopped motion applies no frame after the load, so the load shows the saved one.
#include <gtest/gtest.h>

#include "resources/file_manager.h"
#include "resources/stream.h"
#include "resources/temp_folder.h"
#include "scene/model/motion_film.h"
#include "scene/model/property_table.h"
#include "scene/objects/orin_images.h"
#include "scene/scene_test_support.h"
#include "scene/text/text_services.h"
#include "support/test_support.h"

namespace orin {
namespace {

MuraImage Flat(uint32_t colour) {
  MuraImage image;
  image.Picture.Color.SetSize(4, 4, 32);
  image.Picture.Color.FillRect(image.Picture.Color.ClientRect(), colour);
  return image;
}

TEST(TOrinImages_Motion, StoppedMotionShowsItsPictureAfterALoad) {
  test::TempDir dir;
  MotionFilm film;
  film.Fields = MotionFilm::kImage;
  film.ImageFiles = {"pics.mur"};
  for (int i = 0; i < 10; ++i) {
    MotionFrame f;
    f.ImageFile = 0;
    f.ImageIndex = i < 5 ? 0 : 1;
    film.Frames.push_back(f);
  }
  MemoryStream bytes;
  film.Write(bytes);
  dir.Write("m.omt", bytes.View());
  TempFolder temp;
  PendingDeletes pending;
  TVrFileManager files(temp, pending, {});
  files.SetBaseFolder(dir.Path());
  TMuraCollection cache(nullptr);
  auto pics = std::make_shared<MuraImages>();
  pics->Images.push_back(Flat(0x111111));
  pics->Images.push_back(Flat(0x222222));
  cache.Add("pics.mur", pics);
  TextServices text;
  text.Images = &cache;

  test::Scene s(16, 16);
  s.list.SetFiles(&files);
  s.list.SetServices(SceneServices{&text, nullptr});
  TOrinObject* o = s.list.Create(kKindImages);
  o->Rename("pic");
  test::SetStr(*o, kPropFile, "m.omt");
  for (int i = 0; i < 10; ++i) s.Frame(16);
  test::SetFlag(*o, kPropStopped, true);
  s.list.Draw();
  ASSERT_EQ(s.Pixel(1, 1) & 0xFFFFFF, 0x222222u);
  MemoryStream saved;
  s.list.Save(saved, kSceneSaveVersion);
  saved.SetPosition(0);

  test::Scene t(16, 16);
  t.list.SetFiles(&files);
  t.list.SetServices(SceneServices{&text, nullptr});
  t.list.Load(saved, kSceneSaveVersion);
  t.Frame(16);
  t.list.Draw();
  EXPECT_EQ(t.Pixel(1, 1) & 0xFFFFFF, 0x222222u);
}

}  // namespace
}  // namespace orin
