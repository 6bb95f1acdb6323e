// orintool img, run as a user runs it: pictures into layered images and back, and the listing.
#include <gtest/gtest.h>

#include <filesystem>

#include "imaging/image_codecs.h"
#include "run_program.h"
#include "support/test_support.h"

namespace orin {
namespace {

using test::Exits;
using test::RunOrintool;

// A 5x3 RGBA picture with a distinct colour and alpha per pixel.
std::string Rgba(int width, int height, bool opaque) {
  std::string p(static_cast<size_t>(width * height * 4), '\0');
  for (int i = 0; i < width * height; ++i) {
    p[i * 4 + 0] = static_cast<char>(i * 17);
    p[i * 4 + 1] = static_cast<char>(255 - i * 9);
    p[i * 4 + 2] = static_cast<char>(i * 5 + 3);
    p[i * 4 + 3] = static_cast<char>(opaque ? 255 : i * 16);
  }
  return p;
}

std::string WritePng(const test::TempDir& dir, const std::string& name, const std::string& rgba, int w, int h) {
  auto png = EncodePngRgba(reinterpret_cast<const uint8_t*>(rgba.data()), w, h, static_cast<size_t>(w) * 4);
  return dir.Write(name, std::string_view(reinterpret_cast<const char*>(png->Data()), png->Size()));
}

std::string DecodedRgba(const std::string& path) {
  std::string bytes = test::ReadHostFile(path);
  DecodedPicture pic = DecodePng(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
  std::string out;
  for (int y = 0; y < pic.Surface.Height(); ++y)
    for (int x = 0; x < pic.Surface.Width(); ++x) {
      Rgb c = pic.Surface.PixelToRGB(pic.Surface.GetPixel(x, y), false);
      out += static_cast<char>(c.Red);
      out += static_cast<char>(c.Green);
      out += static_cast<char>(c.Blue);
      out += static_cast<char>(pic.Surface.HasAlpha() ? pic.Surface.Alpha->GetPixel(x, y) : 255);
    }
  return out;
}

TEST(OrintoolImg, PngThroughLayeredImageAndBackIsLossless) {
  test::TempDir dir;
  const std::string rgba = Rgba(5, 3, false), opaque = Rgba(5, 3, true);
  const std::string a = WritePng(dir, "a.png", rgba, 5, 3), b = WritePng(dir, "b.png", opaque, 5, 3);
  for (const char* kind : {"0", "1"}) {
    for (const char* key : {"", "0x2468ACE1"}) {
      std::vector<std::string> args = {"img", "frompng", "--kind", kind, "--delay", "40"};
      std::vector<std::string> keyArgs;
      if (*key) keyArgs = {"--key", key};
      args.insert(args.end(), keyArgs.begin(), keyArgs.end());
      args.insert(args.end(), {a, b, dir / "anim.mur"});
      auto made = RunOrintool(args);
      ASSERT_TRUE(Exits(made, 0)) << kind << key;

      for (int frame = 0; frame < 2; ++frame) {
        std::vector<std::string> back = {"img", "topng", "--frame", std::to_string(frame)};
        back.insert(back.end(), keyArgs.begin(), keyArgs.end());
        back.insert(back.end(), {dir / "anim.mur", dir / "out.png"});
        auto r = RunOrintool(back);
        ASSERT_TRUE(Exits(r, 0));
        EXPECT_EQ(DecodedRgba(dir / "out.png"), frame == 0 ? rgba : opaque) << "kind " << kind << " key " << key;
      }
    }
  }
}

TEST(OrintoolImg, InfoListsFramesAsJson) {
  test::TempDir dir;
  const std::string a = WritePng(dir, "a.png", Rgba(5, 3, false), 5, 3);
  ASSERT_TRUE(Exits(RunOrintool({"img", "frompng", "--delay", "70", a, a, dir / "x.mur"}), 0));
  auto r = RunOrintool({"img", "info", "--json", dir / "x.mur"});
  ASSERT_TRUE(Exits(r, 0));
  EXPECT_NE(r.out.find("\"version\": 106"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("\"width\": 5, \"height\": 3"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("\"delay\": 70"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("\"alpha\": true"), std::string::npos) << r.out;
  auto text = RunOrintool({"img", "info", dir / "x.mur"});
  EXPECT_TRUE(Exits(text, 0));
  EXPECT_FALSE(text.out.empty());
}

TEST(OrintoolImg, ErrorsLeaveNoOutput) {
  test::TempDir dir;
  const std::string a = WritePng(dir, "a.png", Rgba(5, 3, false), 5, 3);
  ASSERT_TRUE(Exits(RunOrintool({"img", "frompng", a, dir / "x.mur"}), 0));
  std::string cut = test::ReadHostFile(dir / "x.mur");
  dir.Write("cut.mur", cut.substr(0, cut.size() / 2));
  struct Case {
    std::vector<std::string> args;
    int exitCode;
    std::string output;  // must not exist afterwards
  };
  const Case cases[] = {
      {{"img", "topng", dir / "cut.mur", dir / "o1.png"}, 1, dir / "o1.png"},
      {{"img", "topng", "--frame", "5", dir / "x.mur", dir / "o2.png"}, 1, dir / "o2.png"},
      {{"img", "frompng", dir / "missing.png", dir / "o3.mur"}, 1, dir / "o3.mur"},
      {{"img", "frompng", "--kind", "7", a, dir / "o4.mur"}, 2, dir / "o4.mur"},
      {{"img", "info", dir / "cut.mur"}, 1, ""},
      {{"img", "frompng", "--quality", "0", "--kind", "2", a, dir / "o5.mur"}, 2, dir / "o5.mur"},
  };
  for (const auto& c : cases) {
    auto r = RunOrintool(c.args);
    EXPECT_TRUE(Exits(r, c.exitCode)) << c.args[1];
    EXPECT_FALSE(r.err.empty());
    if (!c.output.empty()) {
      EXPECT_FALSE(std::filesystem::exists(c.output)) << c.output;
      EXPECT_FALSE(std::filesystem::exists(c.output + ".partial")) << c.output;
    }
  }
}

}  // namespace
}  // namespace orin
