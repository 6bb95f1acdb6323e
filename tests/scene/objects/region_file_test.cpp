// Region files of image maps: the layout both ways, the hit test of each shape at its edges, the
// runs the cut-out paints agreeing with the hit test, and files that lie about their sizes.
#include "scene/objects/region_file.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "core/error.h"
#include "support/byte_builder.h"

namespace orin {
namespace {

std::span<const uint8_t> Span(const std::string& s) {
  return {reinterpret_cast<const uint8_t*>(s.data()), s.size()};
}

MapRegion Box(uint8_t shape, int32_t l, int32_t t, int32_t r, int32_t b, std::string name = "box") {
  MapRegion region;
  region.Name = std::move(name);
  region.ShapeByte = shape;
  region.Left = l;
  region.Top = t;
  region.Right = r;
  region.Bottom = b;
  return region;
}

MapRegion Polygon(std::vector<RegionPoint> points, uint8_t shape = 2) {
  MapRegion region;
  region.Name = "poly";
  region.ShapeByte = shape;
  region.Points = std::move(points);
  return region;
}

// A five-pointed star drawn in one stroke: its edges cross, and its centre winds twice.
MapRegion Star() { return Polygon({{50, 0}, {79, 90}, {2, 35}, {97, 35}, {20, 90}}); }

TEST(RegionFile, WritesTheBytesItReads) {
  RegionFile file;
  file.Regions = {Box(0, 0, 0, 9, 9, "door"), Box(1, 10, 10, 29, 19, "window"),
                  Polygon({{0, 0}, {10, 0}, {0, 10}}, 7)};
  const std::string bytes = file.Write();
  const std::string expected = test::Bytes()
                                   .I32(3)
                                   .Str("door").U8(0).I32(0).I32(0).I32(9).I32(9)
                                   .Str("window").U8(1).I32(10).I32(10).I32(29).I32(19)
                                   .Str("poly").U8(7).I32(3).I32(0).I32(0).I32(10).I32(0).I32(0).I32(10)
                                   .Get();
  EXPECT_EQ(bytes, expected);
  const RegionFile back = RegionFile::Read(Span(bytes), "map.dat");
  ASSERT_EQ(back.Regions.size(), 3u);
  EXPECT_EQ(back.Regions[2].ShapeByte, 7);
  EXPECT_EQ(back.Regions[2].Kind(), MapRegion::kPolygon);
  EXPECT_EQ(back.Write(), bytes);
}

TEST(RegionFile, RefusesFilesThatClaimMoreThanTheyHold) {
  struct Case {
    const char* defect;
    std::string bytes;
  } cases[] = {
      {"empty", ""},
      {"billion regions", test::Bytes().I32(1000000000).Get()},
      {"negative count", test::Bytes().I32(-1).Get()},
      {"cut in a box", test::Bytes().I32(1).Str("a").U8(0).I32(1).I32(2).Get()},
      {"name past the end", test::Bytes().I32(1).I32(1000).U8('a').Get()},
      {"billion points", test::Bytes().I32(1).Str("p").U8(2).I32(1000000000).I32(0).I32(0).Get()},
      {"second record missing", test::Bytes().I32(2).Str("a").U8(0).I32(0).I32(0).I32(1).I32(1).Get()},
  };
  for (const Case& c : cases) {
    try {
      RegionFile::Read(Span(c.bytes), "map.dat");
      ADD_FAILURE() << c.defect << ": read";
    } catch (const Error& e) {
      EXPECT_NE(e.Message().find("map.dat"), std::string::npos) << c.defect;
    }
  }
}

TEST(MapRegion, ContainsAtTheEdgesOfEachShape) {
  struct Case {
    const char* what;
    MapRegion region;
    int32_t x, y;
    bool inside;
  } cases[] = {
      {"rectangle corner, inclusive", Box(0, 0, 0, 9, 9), 9, 9, true},
      {"rectangle beyond", Box(0, 0, 0, 9, 9), 10, 10, false},
      {"rectangle of one pixel", Box(0, 5, 5, 5, 5), 5, 5, true},
      {"inverted rectangle", Box(0, 9, 9, 0, 0), 5, 5, false},
      {"ellipse centre", Box(1, 0, 0, 9, 9), 5, 5, true},
      {"ellipse side", Box(1, 0, 0, 9, 9), 0, 5, true},
      {"ellipse corner", Box(1, 0, 0, 9, 9), 0, 0, false},
      {"ellipse beyond its box", Box(1, 0, 0, 9, 9), 10, 5, false},
      {"thin ellipse", Box(1, 0, 4, 99, 4), 50, 4, true},
      {"star centre (winds twice)", Star(), 50, 45, true},
      {"star point", Star(), 50, 5, true},
      {"star between points", Star(), 50, 85, false},
      {"triangle inside", Polygon({{0, 0}, {10, 0}, {0, 10}}), 2, 2, true},
      {"triangle across its slope", Polygon({{0, 0}, {10, 0}, {0, 10}}), 5, 5, false},
      {"one-point polygon", Polygon({{5, 5}}), 5, 5, false},
      {"two-point polygon", Polygon({{0, 0}, {10, 10}}), 5, 5, false},
      {"square from corners", Polygon({{0, 0}, {10, 0}, {10, 10}, {0, 10}}), 9, 9, true},
      {"square right edge", Polygon({{0, 0}, {10, 0}, {10, 10}, {0, 10}}), 10, 5, false},
      {"huge coordinates", Polygon({{INT32_MIN, INT32_MIN}, {INT32_MAX, INT32_MIN}, {INT32_MAX, INT32_MAX}}), 100, 0,
       true},
  };
  for (const Case& c : cases) EXPECT_EQ(c.region.Contains(c.x, c.y), c.inside) << c.what;
}

TEST(RegionFile, HitTestTakesTheFirstRegionInFileOrder) {
  RegionFile file;
  file.Regions = {Box(0, 0, 0, 9, 9, "a"), Box(0, 5, 5, 19, 19, "b"), Star()};
  file.Index();
  EXPECT_EQ(file.HitTest(7, 7), 0);
  EXPECT_EQ(file.HitTest(15, 15), 1);
  EXPECT_EQ(file.HitTest(50, 45), 2);
  EXPECT_EQ(file.HitTest(200, 200), -1);
}

// The cut-out paints runs; they must cover exactly what the hit test admits, or a highlight would
// show where the pointer does not select.
TEST(RegionSpans, CoverExactlyThePixelsContainsAdmits) {
  std::mt19937 random(7);
  std::uniform_int_distribution<int32_t> coordinate(-8, 72);
  std::vector<MapRegion> regions = {Star(), Box(0, 3, 4, 40, 50), Box(1, -5, 2, 30, 61), Box(1, 10, 10, 10, 30),
                                    Polygon({{5, 5}})};
  for (int i = 0; i < 40; ++i) {
    std::vector<RegionPoint> points(static_cast<size_t>(3 + i % 18));
    for (RegionPoint& p : points) p = {coordinate(random), coordinate(random)};
    regions.push_back(Polygon(points));
    regions.push_back(Box(1, coordinate(random), coordinate(random), coordinate(random), coordinate(random)));
  }
  const Rect clip{0, 0, 64, 64};
  for (size_t n = 0; n < regions.size(); ++n) {
    std::vector<uint8_t> painted(64 * 64, 0);
    RegionSpans(regions[n], clip, [&](int32_t y, int32_t x0, int32_t x1) {
      ASSERT_TRUE(y >= 0 && y < 64 && x0 >= 0 && x0 < x1 && x1 <= 64);
      for (int32_t x = x0; x < x1; ++x) {
        EXPECT_EQ(painted[static_cast<size_t>(y * 64 + x)], 0) << "pixel painted twice";
        painted[static_cast<size_t>(y * 64 + x)] = 1;
      }
    });
    for (int y = 0; y < 64; ++y)
      for (int x = 0; x < 64; ++x)
        ASSERT_EQ(painted[static_cast<size_t>(y * 64 + x)] != 0, regions[n].Contains(x, y))
            << "region " << n << " at " << x << "," << y;
  }
}

}  // namespace
}  // namespace orin
