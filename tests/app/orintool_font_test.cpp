// orintool font, run as a user runs it: which face a game font maps to, and a rendered line.
#include <gtest/gtest.h>

#include <filesystem>

#include "imaging/image_codecs.h"
#include "run_program.h"
#include "support/test_support.h"

namespace orin {
namespace {

using test::Exits;
using test::RunOrintool;

TEST(OrintoolFont, WindowsFacesMapToTheirStandIns) {
  struct Case {
    const char* name;
    const char* family;
  };
  const Case cases[] = {
      {"ＭＳ ゴシック", "IPAGothic"},
      {"ＭＳ Ｐゴシック", "IPAPGothic"},
      {"ＭＳ 明朝", "IPAMincho"},
      {"ＭＳ Ｐ明朝", "IPAPMincho"},
  };
  for (const auto& c : cases) {
    auto r = RunOrintool({"font", "which", "--json", c.name});
    ASSERT_TRUE(Exits(r, 0)) << c.name;
    EXPECT_NE(r.out.find(std::string("\"family\": \"") + c.family + "\""), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("\"match\": \"stand-in\""), std::string::npos) << r.out;
  }
  // A vertical face never matches; it falls to the default stand-in.
  auto vertical = RunOrintool({"font", "which", "--json", "@ＭＳ 明朝"});
  ASSERT_TRUE(Exits(vertical, 0));
  EXPECT_NE(vertical.out.find("\"family\": \"IPAGothic\""), std::string::npos) << vertical.out;
}

TEST(OrintoolFont, RenderWritesATransparentLineWithInk) {
  test::TempDir dir;
  auto r = RunOrintool({"font", "render", "--size", "24", "--border", "2", "--shadow", "2", "--color", "#FFFFFF",
                        "テスト", dir / "line.png"});
  ASSERT_TRUE(Exits(r, 0));
  std::string png = test::ReadHostFile(dir / "line.png");
  DecodedPicture pic = DecodePng(reinterpret_cast<const uint8_t*>(png.data()), png.size());
  ASSERT_TRUE(pic.Surface.HasAlpha());
  // Three characters of at least 24 px advance each, plus border and shadow.
  EXPECT_GE(pic.Surface.Width(), 3 * 24);
  int transparent = 0, opaque = 0;
  for (int y = 0; y < pic.Surface.Height(); ++y)
    for (int x = 0; x < pic.Surface.Width(); ++x) {
      uint32_t a = pic.Surface.Alpha->GetPixel(x, y);
      transparent += a == 0;
      opaque += a == 255;
    }
  EXPECT_GT(transparent, 0);
  EXPECT_GT(opaque, 0);
}

TEST(OrintoolFont, Errors) {
  test::TempDir dir;
  auto unmappable = RunOrintool({"font", "render", "😀", dir / "x.png"});
  EXPECT_TRUE(Exits(unmappable, 1));
  EXPECT_FALSE(std::filesystem::exists(dir / "x.png"));
  EXPECT_TRUE(Exits(RunOrintool({"font", "render", "--mode", "9", "a", dir / "y.png"}), 2));
  EXPECT_TRUE(Exits(RunOrintool({"font", "render"}), 2));
}

}  // namespace
}  // namespace orin
