// orintool region, run as a user runs it: text form to region file and back byte for byte, the
// painted map of regions, and the messages for damaged files and bad arguments.
#include <gtest/gtest.h>

#include <string>

#include "imaging/image_codecs.h"
#include "run_program.h"
#include "support/test_support.h"

namespace orin {
namespace {

using test::Exits;
using test::RunOrintool;

// A Japanese name, a polygon kept with an odd shape byte, a self-crossing bow tie and a polygon
// of one point, which holds nothing.
constexpr const char* kText =
    "# sample\n"
    "rect \"城\" 0 0 9 9\n"
    "ellipse \"pond\" 10 0 19 9\n"
    "polygon \"bowtie\" 20 0 30 10 20 10 30 0\n"
    "polygon shape=7 \"wedge\" 0 12 8 12 0 20\n"
    "polygon \"dot\" 40 20\n";

TEST(OrintoolRegion, TextAndFileRoundTripExactly) {
  test::TempDir dir;
  const std::string txt = dir.Write("map.txt", kText);
  ASSERT_TRUE(Exits(RunOrintool({"region", "asm", txt, "-o", dir / "map.dat"}), 0));
  auto dis = RunOrintool({"region", "dis", dir / "map.dat"});
  ASSERT_TRUE(Exits(dis, 0, "", "polygon shape=7 \"wedge\" 0 12 8 12 0 20"));
  EXPECT_NE(dis.out.find("rect \"城\" 0 0 9 9"), std::string::npos) << dis.out;
  const std::string again = dir.Write("again.txt", dis.out);
  ASSERT_TRUE(Exits(RunOrintool({"region", "asm", again, "-o", dir / "again.dat"}), 0));
  EXPECT_EQ(test::ReadHostFile(dir / "again.dat"), test::ReadHostFile(dir / "map.dat"));
}

TEST(OrintoolRegion, PngPaintsTheFirstRegionHoldingEachPixel) {
  test::TempDir dir;
  const std::string txt = dir.Write("map.txt", kText);
  ASSERT_TRUE(Exits(RunOrintool({"region", "asm", txt, "-o", dir / "map.dat"}), 0));
  ASSERT_TRUE(Exits(RunOrintool({"region", "png", dir / "map.dat", "48", "24", dir / "map.png"}), 0));
  const std::string bytes = test::ReadHostFile(dir / "map.png");
  DecodedPicture pic = DecodePng(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
  ASSERT_EQ(pic.Surface.Width(), 48);
  ASSERT_EQ(pic.Surface.Height(), 24);
  struct Case {
    int x, y, red;
  };
  const Case cases[] = {
      {0, 0, 1},   {9, 9, 1},   {10, 10, 0},  // the rectangle's edges are inclusive
      {14, 4, 2},  {10, 0, 0},                // the ellipse's centre, its box's corner
      {25, 1, 3},  {25, 8, 3},  {21, 5, 0},   // both lobes of the bow tie, not its side
      {1, 13, 4},  {7, 19, 0},                // the wedge kept as a polygon
      {40, 20, 0}, {47, 23, 0},               // a one-point polygon holds nothing
  };
  for (const Case& c : cases) {
    const Rgb rgb = pic.Surface.PixelToRGB(pic.Surface.GetPixel(c.x, c.y), false);
    EXPECT_EQ(rgb.Red, c.red) << c.x << "," << c.y;
    EXPECT_EQ(rgb.Green, 0);
    EXPECT_EQ(rgb.Blue, 0);
    if (pic.Surface.HasAlpha()) {
      EXPECT_EQ(pic.Surface.Alpha->GetPixel(c.x, c.y), 255u);
    }
  }
}

TEST(OrintoolRegion, DamagedInputAndBadArgumentsFailWithAMessage) {
  test::TempDir dir;
  // Cut short inside the first name, and a count of a billion regions with nothing after it.
  const std::string cut = dir.Write("cut.dat", std::string("\x01\x00\x00\x00\x05\x00\x00\x00" "ab", 10));
  const std::string huge = dir.Write("huge.dat", std::string("\x00\xCA\x9A\x3B", 4));
  for (const std::string& file : {cut, huge}) {
    EXPECT_TRUE(Exits(RunOrintool({"region", "dis", file}), 1, "runs past the end")) << file;
    EXPECT_TRUE(Exits(RunOrintool({"region", "png", file, "8", "8", dir / "x.png"}), 1, "runs past the end"));
  }
  const std::string bad = dir.Write("bad.txt", "rect \"a\" 0 0 1 1\nrect \"b\" 0 0 1\n");
  EXPECT_TRUE(Exits(RunOrintool({"region", "asm", bad, "-o", dir / "b.dat"}), 1, "line 2"));
  const std::string odd = dir.Write("odd.txt", "polygon \"a\" 0 0 1\n");
  EXPECT_TRUE(Exits(RunOrintool({"region", "asm", odd, "-o", dir / "b.dat"}), 1, "line 1"));
  const std::string good = dir.Write("good.txt", "rect \"a\" 0 0 1 1\n");
  ASSERT_TRUE(Exits(RunOrintool({"region", "asm", good, "-o", dir / "g.dat"}), 0));
  EXPECT_TRUE(Exits(RunOrintool({"region", "png", dir / "g.dat", "0", "8", dir / "x.png"}), 2, "WIDTH"));
  EXPECT_TRUE(Exits(RunOrintool({"region", "png", dir / "g.dat", "40000", "40000", dir / "x.png"}), 2));
  EXPECT_TRUE(Exits(RunOrintool({"region", "dis", dir / "missing.dat"}), 1, "missing.dat"));
}

}  // namespace
}  // namespace orin
