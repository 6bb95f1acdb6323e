// Tiles: the image repeated over the tile's own rectangle, moved by the scroll offsets (by hand
// and by the speeds), zoomed, drawn with the opacity modes; the children on the scrolled
// content; the save record.
#include "scene/objects/orin_tile.h"

#include <gtest/gtest.h>

#include "resources/stream.h"
#include "scene/model/property_table.h"
#include "scene/scene_test_support.h"
#include "scene/text/text_services.h"

namespace orin {
namespace {

using test::GetInt;
using test::GetStr;
using test::SetInt;
using test::SetStr;

// A 2 × 2 picture with four colours: p[y][x].
constexpr uint32_t kPattern[2][2] = {{0x000001, 0x000002}, {0x000003, 0x000004}};

MuraImage PatternImage(uint32_t add = 0, int32_t duration = 100) {
  MuraImage image;
  image.Picture.Color.SetSize(2, 2, 32);
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 2; ++x) image.Picture.Color.SetPixel(x, y, kPattern[y][x] + add);
  image.Duration = duration;
  return image;
}

class TileScene {
 public:
  TileScene() {
    auto pattern = std::make_shared<MuraImages>();
    pattern->Images.push_back(PatternImage());
    cache.Add("p.mur", pattern);
    auto animated = std::make_shared<MuraImages>();
    animated->Images.push_back(PatternImage());
    animated->Images.push_back(PatternImage(0x100));
    cache.Add("anim.mur", animated);
    text.Images = &cache;
    s.list.SetServices(SceneServices{&text, nullptr});
  }

  // A 7 × 5 tile at (3, 2) on the 16 × 12 screen.
  TOrinTile& Tile(const std::string& file = "p.mur") {
    auto* t = static_cast<TOrinTile*>(s.list.Create(kKindTile));
    t->Rename("tile");
    t->SetBounds(3, 2, 7, 5);
    SetStr(*t, kPropFile, file);
    return *t;
  }

  void Redraw() {
    s.list.ActiveRoot().InvalidateAll();
    s.list.Draw();
  }
  uint32_t Pixel(int x, int y) { return s.Pixel(x, y) & 0xFFFFFF; }

  TMuraCollection cache{nullptr};
  TextServices text;
  test::Scene s{16, 12};
};

int Mod(int a, int n) { return ((a % n) + n) % n; }

TEST(TOrinTile, RepeatsThePictureOverItsRectangleMovedByTheScroll) {
  struct Row {
    int ScrollX, ScrollY, Zoom;
  };
  for (const Row& row : {Row{0, 0, 256}, Row{1, 0, 256}, Row{-1, 3, 256}, Row{5, -7, 256}, Row{0, 0, 512},
                         Row{3, 1, 512}}) {
    TileScene t;
    TOrinTile& tile = t.Tile();
    SetInt(tile, TOrinTile::kPropScrollX, row.ScrollX);
    SetInt(tile, TOrinTile::kPropScrollY, row.ScrollY);
    SetInt(tile, kPropZoomX, row.Zoom);
    SetInt(tile, kPropZoomY, row.Zoom);
    // The picture's size never becomes the tile's.
    ASSERT_EQ(tile.Width(), 7);
    ASSERT_EQ(tile.Height(), 5);
    t.Redraw();
    const int cell = row.Zoom / 256;
    for (int y = 0; y < 12; ++y)
      for (int x = 0; x < 16; ++x) {
        const bool inside = x >= 3 && x < 10 && y >= 2 && y < 7;
        const uint32_t want =
            inside ? kPattern[Mod(y - 2 + row.ScrollY, 2 * cell) / cell][Mod(x - 3 + row.ScrollX, 2 * cell) / cell]
                   : 0;
        ASSERT_EQ(t.Pixel(x, y), want) << "scroll " << row.ScrollX << "," << row.ScrollY << " zoom " << row.Zoom
                                        << " at " << x << "," << y;
      }
  }
}

TEST(TOrinTile, OpacityModesAndTheAlphaPlane) {
  TileScene t;
  auto masked = std::make_shared<MuraImages>();
  MuraImage image;
  image.Picture.Color.SetSize(2, 1, 32);
  image.Picture.Color.SetPixel(0, 0, 0xC8C8C8);
  image.Picture.Color.SetPixel(1, 0, 0xC8C8C8);
  image.Picture.Color.CreateAlpha();
  image.Picture.Color.Alpha->SetPixel(0, 0, 255);
  image.Picture.Color.Alpha->SetPixel(1, 0, 0);
  masked->Images.push_back(std::move(image));
  t.cache.Add("m.mur", masked);
  t.s.list.ActiveRoot().SetColor(0x404040);
  TOrinTile& tile = t.Tile("m.mur");
  struct Row {
    int Alpha;
    uint32_t Opaque;  // the pixel under the plane's 255; the other keeps the ground
  };
  // 255: the plane alone; 128: blended (0x40·127 + 0xC8·128) >> 8; 256 + 32: added, 0x40 + 0xC8·32/256.
  for (const Row& row : {Row{255, 0xC8C8C8}, Row{128, 0x838383}, Row{288, 0x595959}, Row{0, 0x404040}}) {
    SetInt(tile, kPropAlpha, row.Alpha);
    t.Redraw();
    EXPECT_EQ(t.Pixel(3, 2), row.Opaque) << row.Alpha;
    EXPECT_EQ(t.Pixel(5, 4), row.Opaque) << row.Alpha;
    EXPECT_EQ(t.Pixel(4, 2), 0x404040u) << row.Alpha;
    EXPECT_EQ(t.Pixel(8, 6), 0x404040u) << row.Alpha;
  }
}

TEST(TOrinTile, ChildrenMoveWithTheScrolledContent) {
  TileScene t;
  TOrinTile& tile = t.Tile();
  TOrinBox& child = t.s.Box("child", 2, 1, 2, 2, 0x00FF00, &tile);
  EXPECT_EQ(child.ScreenX(), 5);
  SetInt(tile, TOrinTile::kPropScrollX, 1);
  SetInt(tile, TOrinTile::kPropScrollY, -2);
  EXPECT_EQ(child.ScreenX(), 4);
  EXPECT_EQ(child.ScreenY(), 5);
  t.Redraw();
  EXPECT_EQ(t.Pixel(4, 5), 0x00FF00u);
  // Drawn inside the tile only: its second row lies below it.
  EXPECT_EQ(t.Pixel(4, 6), 0x00FF00u);
  EXPECT_EQ(t.Pixel(4, 7), 0u);
}

TEST(TOrinTile, SpeedsScrollWhileItSteps) {
  TileScene t;
  TOrinTile& tile = t.Tile();
  SetInt(tile, TOrinTile::kPropSpeedX, 100);  // pixels per second
  SetInt(tile, TOrinTile::kPropSpeedY, -50);
  for (int i = 0; i < 10; ++i) t.s.Frame(16);
  EXPECT_EQ(tile.ScrollX(), 16);
  EXPECT_EQ(tile.ScrollY(), -8);
  // Paused and stopped tiles stand still.
  SetInt(tile, kPropPaused, 1);
  t.s.Frame(1000);
  SetInt(tile, kPropPaused, 0);
  SetInt(tile, kPropStopped, 1);
  t.s.Frame(1000);
  EXPECT_EQ(GetInt(tile, TOrinTile::kPropScrollX), 16);
  EXPECT_EQ(GetInt(tile, TOrinTile::kPropScrollY), -8);
}

TEST(TOrinTile, AnimatedPicturesLoop) {
  TileScene t;
  TOrinTile& tile = t.Tile("anim.mur");
  EXPECT_EQ(tile.Index(), 0);
  for (int i = 0; i < 7; ++i) t.s.Frame(16);
  EXPECT_EQ(tile.Index(), 1);
  t.Redraw();
  EXPECT_EQ(t.Pixel(3, 2), 0x000101u);
  for (int i = 0; i < 7; ++i) t.s.Frame(16);
  EXPECT_EQ(tile.Index(), 0);
  EXPECT_TRUE(t.s.Events().empty());
}

TEST(TOrinTile, SaveRoundTrip) {
  TileScene t;
  TOrinTile& tile = t.Tile("anim.mur");
  SetInt(tile, TOrinTile::kPropScrollX, 3);
  SetInt(tile, TOrinTile::kPropScrollY, -1);
  SetInt(tile, TOrinTile::kPropSpeedX, 7);
  SetInt(tile, TOrinTile::kPropSpeedY, 9);
  SetInt(tile, kPropIndex, 1);
  t.Redraw();
  MemoryStream saved;
  t.s.list.Save(saved, kSceneSaveVersion);
  saved.SetPosition(0);
  TileScene u;
  u.s.list.Load(saved, kSceneSaveVersion);
  EXPECT_EQ(saved.Remaining(), 0);
  auto* back = static_cast<TOrinTile*>(u.s.list.Find("tile"));
  ASSERT_NE(back, nullptr);
  EXPECT_EQ(GetStr(*back, kPropFile), "anim.mur");
  EXPECT_EQ(back->ScrollX(), 3);
  EXPECT_EQ(back->ScrollY(), -1);
  EXPECT_EQ(GetInt(*back, TOrinTile::kPropSpeedX), 7);
  EXPECT_EQ(GetInt(*back, TOrinTile::kPropSpeedY), 9);
  EXPECT_EQ(back->Index(), 1);
  EXPECT_EQ(back->Width(), 7);
  u.Redraw();
  for (int y = 0; y < 12; ++y)
    for (int x = 0; x < 16; ++x) ASSERT_EQ(u.Pixel(x, y), t.Pixel(x, y)) << x << "," << y;
}

}  // namespace
}  // namespace orin
