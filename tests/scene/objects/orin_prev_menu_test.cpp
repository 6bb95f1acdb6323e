// Preview menus: the pane beside the items, the picture following the highlight and the choice,
// files with fewer pictures than items or none at all, and the save record.
#include "scene/objects/orin_prev_menu.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "imaging/font_pixel.h"
#include "params/param_collection.h"
#include "resources/stream.h"
#include "scene/model/mura_collection.h"
#include "scene/scene_test_support.h"
#include "scene/text/text_services.h"
#include "scene/text_test_support.h"

namespace orin {
namespace {

using test::GetStr;
using test::SetFlag;
using test::SetInt;
using test::SetStr;

constexpr int kVk_Down = 0x28;

class PreviewScene : public test::Scene {
 public:
  PreviewScene() : test::Scene(320, 240), glyphs(std::make_unique<test::BoxRasterizer>()), cache(nullptr) {
    text.Glyphs = &glyphs;
    text.Images = &cache;
    text.Vars = &vars;
    list.SetServices(SceneServices{.Text = &text});
    // Three 30 × 20 pictures of one colour each.
    auto images = std::make_shared<MuraImages>();
    images->Name = "shots.mur";
    for (uint32_t colour : {0xFF0000u, 0x00FF00u, 0x0000FFu}) {
      MuraImage image;
      image.Picture.Color.SetSize(30, 20, 32);
      for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 30; ++x) image.Picture.Color.SetPixel(x, y, colour);
      images->Images.push_back(std::move(image));
    }
    cache.Add("shots.mur", images);
  }

  TOrinPrevMenu& Menu(const std::string& items, const std::string& file = "shots.mur", const std::string& name = "prev",
                      int32_t top = 20) {
    auto* m = static_cast<TOrinPrevMenu*>(list.Create(kKindPrevMenu));
    m->Rename(name);
    SetInt(*m, 3, 10);
    SetInt(*m, 4, top);
    SetStr(*m, 50, items);
    SetStr(*m, 2, file);
    m->RequestOpen(TOrinMenu::kOpen);
    HandleEvents();
    return *m;
  }
  void Key(int key) {
    list.KeyDown(key);
    Frame(16);
    list.KeyUp(key);
    Frame(16);
  }
  uint32_t PanePixel(const TOrinPrevMenu& m) {
    list.Draw();
    return Pixel(m.Left() + m.Width() - 5, m.Top() + 5) & 0xFFFFFF;
  }

  TFontPixelManager glyphs;
  TMuraCollection cache;
  TParamCollection vars;
  TextServices text;
};

TEST(TOrinPrevMenu, PaneWidensTheMenuAndFollowsTheHighlight) {
  PreviewScene scene;
  const int32_t listWidth = scene.Menu("One\r\nTwo\r\nSix", "", "plain", 150).Width();
  TOrinPrevMenu& m = scene.Menu("One\r\nTwo\r\nSix");
  EXPECT_EQ(m.Width(), listWidth + 30);
  EXPECT_EQ(m.PreviewIndex(), -1);
  const uint32_t empty = scene.PanePixel(m);
  SetFlag(m, 147, true);
  ASSERT_TRUE(scene.list.SetFocus(&m));
  scene.Key(kVk_Down);
  EXPECT_EQ(m.PreviewIndex(), 0);
  EXPECT_EQ(scene.PanePixel(m), 0xFF0000u);
  scene.Key(kVk_Down);
  scene.Key(kVk_Down);
  EXPECT_EQ(m.PreviewIndex(), 2);
  EXPECT_EQ(scene.PanePixel(m), 0x0000FFu);
  m.SetHighlight(-1);
  EXPECT_EQ(scene.PanePixel(m), empty);
}

TEST(TOrinPrevMenu, ItemsBeyondThePicturesShowAnEmptyPane) {
  PreviewScene scene;
  TOrinPrevMenu& m = scene.Menu("A\r\nB\r\nC\r\nD\r\nE");
  const uint32_t empty = scene.PanePixel(m);
  m.SetHighlight(4);
  EXPECT_EQ(scene.PanePixel(m), empty);
  m.SetHighlight(1);
  EXPECT_EQ(scene.PanePixel(m), 0x00FF00u);
}

TEST(TOrinPrevMenu, MissingFileGivesNoPane) {
  PreviewScene scene;
  TOrinPrevMenu& m = scene.Menu("A\r\nB", "absent.mur");
  m.SetHighlight(1);
  scene.list.Draw();
  EXPECT_EQ(GetStr(m, 2), "absent.mur");
  TOrinPrevMenu& plain = scene.Menu("A\r\nB", "", "plain", 150);
  EXPECT_EQ(m.Width(), plain.Width());
}

TEST(TOrinPrevMenu, SaveKeepsTheFile) {
  PreviewScene scene;
  TOrinPrevMenu& m = scene.Menu("One\r\nTwo");
  MemoryStream s;
  scene.list.Save(s, kSceneSaveVersion);
  PreviewScene other;
  s.SetPosition(0);
  other.list.Load(s, kSceneSaveVersion);
  EXPECT_EQ(s.Remaining(), 0);
  auto* loaded = dynamic_cast<TOrinPrevMenu*>(other.list.Find("prev"));
  ASSERT_NE(loaded, nullptr);
  EXPECT_EQ(loaded->File(), "shots.mur");
  EXPECT_EQ(loaded->Width(), m.Width());
  loaded->SetHighlight(1);
  EXPECT_EQ(other.PanePixel(*loaded), 0x00FF00u);
}

}  // namespace
}  // namespace orin
