// orintool wipe, run as a user runs it: one frame of a transition, contact sheets, and the
// refusals of bad options and pictures.
#include <gtest/gtest.h>

#include <filesystem>

#include "imaging/image_codecs.h"
#include "run_program.h"
#include "support/test_support.h"

namespace orin {
namespace {

using test::Exits;
using test::RunOrintool;

constexpr int kW = 16, kH = 12;

// Pixels as 0xRRGGBB, row by row.
using Pixels = std::vector<uint32_t>;

Pixels Gradient(int w, int h, uint32_t base) {
  Pixels p(static_cast<size_t>(w * h));
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) p[static_cast<size_t>(y * w + x)] = base ^ static_cast<uint32_t>(x * 9 + y * 0x0700);
  return p;
}

std::string WritePng(const test::TempDir& dir, const std::string& name, const Pixels& p, int w, int h) {
  std::vector<uint8_t> rgba;
  for (uint32_t v : p) rgba.insert(rgba.end(), {uint8_t(v >> 16), uint8_t(v >> 8), uint8_t(v), 255});
  auto png = EncodePngRgba(rgba.data(), w, h, static_cast<size_t>(w) * 4);
  return dir.Write(name, std::string_view(reinterpret_cast<const char*>(png->Data()), png->Size()));
}

struct Picture {
  int width = 0, height = 0;
  Pixels pixels;
  uint32_t At(int x, int y) const { return pixels[static_cast<size_t>(y * width + x)]; }
};

Picture ReadPng(const std::string& path) {
  const std::string bytes = test::ReadHostFile(path);
  DecodedPicture d = DecodePng(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
  Picture p{d.Surface.Width(), d.Surface.Height(), {}};
  for (int y = 0; y < p.height; ++y)
    for (int x = 0; x < p.width; ++x) {
      const Rgb c = d.Surface.PixelToRGB(d.Surface.GetPixel(x, y), false);
      p.pixels.push_back(uint32_t(c.Red) << 16 | uint32_t(c.Green) << 8 | uint32_t(c.Blue));
    }
  return p;
}

struct Fixture {
  test::TempDir dir;
  Pixels fromPixels = Gradient(kW, kH, 0x2060A0), toPixels = Gradient(kW, kH, 0xE0C010);
  std::string from = WritePng(dir, "from.png", fromPixels, kW, kH);
  std::string to = WritePng(dir, "to.png", toPixels, kW, kH);
  std::string out = dir / "out.png";
};

TEST(OrintoolWipe, RenderShowsTheStepAtTheTimeAndTheIncomingPictureWhenDone) {
  Fixture f;
  // At t = 0 every kind built here shows the outgoing picture.
  ASSERT_TRUE(Exits(RunOrintool({"wipe", "render", "--kind", "36", "--duration", "100", "--at", "0", f.from, f.to, f.out}), 0));
  EXPECT_EQ(ReadPng(f.out).pixels, f.fromPixels);

  // The circle halfway: the centre shows the incoming picture, the corners the outgoing one.
  ASSERT_TRUE(Exits(RunOrintool({"wipe", "render", "--kind", "36", "--duration", "100", "--at", "50", f.from, f.to, f.out}), 0));
  Picture mid = ReadPng(f.out);
  EXPECT_EQ(mid.At(kW / 2, kH / 2), f.toPixels[kH / 2 * kW + kW / 2]);
  EXPECT_EQ(mid.At(0, 0), f.fromPixels[0]);
  // Reversed, the other way round.
  ASSERT_TRUE(Exits(RunOrintool({"wipe", "render", "--kind", "36", "--reverse", "--duration", "100", "--at", "50", f.from,
                                 f.to, f.out}),
                    0));
  mid = ReadPng(f.out);
  EXPECT_EQ(mid.At(kW / 2, kH / 2), f.fromPixels[kH / 2 * kW + kW / 2]);
  EXPECT_EQ(mid.At(0, 0), f.toPixels[0]);

  for (const char* at : {"100", "5000"}) {
    auto r = RunOrintool({"wipe", "render", "--kind", "2", "--duration", "100", "--at", at, f.from, f.to, f.out});
    ASSERT_TRUE(Exits(r, 0, "", "done")) << at;
    EXPECT_EQ(ReadPng(f.out).pixels, f.toPixels) << at;
  }
}

TEST(OrintoolWipe, ParametersReachTheTransition) {
  Fixture f;
  // Blinds 4 pixels wide, hard-edged, halfway: level (1 + 8 − 2) × 50 ÷ 100 = 3, so the first two
  // columns of every band (offsets 0 and 2) show the incoming picture.
  ASSERT_TRUE(Exits(RunOrintool({"wipe", "render", "--kind", "2", "--p0", "4", "--p1", "1", "--duration", "100", "--at",
                                 "50", f.from, f.to, f.out}),
                    0));
  Picture p = ReadPng(f.out);
  for (int x = 0; x < kW; ++x)
    EXPECT_EQ(p.At(x, 3), (x % 4 < 2 ? f.toPixels : f.fromPixels)[static_cast<size_t>(3 * kW + x)]) << x;
}

TEST(OrintoolWipe, TheSeedChoosesTheRandomBlockOrder) {
  Fixture f;
  auto render = [&](const char* seed) {
    EXPECT_TRUE(Exits(RunOrintool({"wipe", "render", "--kind", "38", "--p0", "2", "--seed", seed, "--duration", "100",
                                   "--at", "40", f.from, f.to, f.out}),
                      0));
    return ReadPng(f.out).pixels;
  };
  const Pixels a = render("1"), again = render("1"), other = render("0xDEADBEEF");
  EXPECT_EQ(a, again);
  EXPECT_NE(a, other);
}

TEST(OrintoolWipe, SheetLaysOutEvenlySpacedFramesInRowsOfEight) {
  Fixture f;
  struct Case {
    const char* frames;
    int columns, rows;
  };
  for (const Case c : {Case{"3", 3, 1}, Case{"10", 8, 2}}) {
    ASSERT_TRUE(Exits(RunOrintool({"wipe", "sheet", "--kind", "11", "--duration", "1000", "--frames", c.frames, f.from,
                                   f.to, f.out}),
                      0));
    const Picture sheet = ReadPng(f.out);
    ASSERT_EQ(sheet.width, c.columns * kW + (c.columns - 1) * 4) << c.frames;
    ASSERT_EQ(sheet.height, c.rows * kH + (c.rows - 1) * 4) << c.frames;
    // The first frame is the outgoing picture, the last (at t = T) the incoming one.
    const int last = std::atoi(c.frames) - 1;
    const int lx = (last % 8) * (kW + 4), ly = (last / 8) * (kH + 4);
    for (int y = 0; y < kH; ++y)
      for (int x = 0; x < kW; ++x) {
        ASSERT_EQ(sheet.At(x, y), f.fromPixels[static_cast<size_t>(y * kW + x)]);
        ASSERT_EQ(sheet.At(lx + x, ly + y), f.toPixels[static_cast<size_t>(y * kW + x)]);
      }
  }
}

TEST(OrintoolWipe, BadOptionsAndPicturesAreRefusedWithoutOutput) {
  Fixture f;
  const std::string small = WritePng(f.dir, "small.png", Gradient(4, 4, 0), 4, 4);
  const std::string text = f.dir.Write("note.txt", "not a picture");
  struct Case {
    std::vector<std::string> args;
    int exitCode;
    const char* message;
  };
  const std::vector<Case> cases = {
      {{"render", "--kind", "0", "--duration", "10", "--at", "1"}, 2, "kinds are 1-38"},
      {{"render", "--kind", "39", "--duration", "10", "--at", "1"}, 2, "kinds are 1-38"},
      {{"render", "--kind", "x", "--duration", "10", "--at", "1"}, 2, "--kind needs a number"},
      {{"render", "--duration", "10", "--at", "1"}, 2, "--kind is required"},
      {{"render", "--kind", "2", "--duration", "0", "--at", "1"}, 2, "--duration must lie between 1"},
      {{"render", "--kind", "2", "--duration", "-5", "--at", "1"}, 2, "--duration must lie between 1"},
      {{"render", "--kind", "2", "--duration", "10"}, 2, "--at is required"},
      {{"render", "--kind", "2", "--duration", "10", "--at", "-1"}, 2, "--at must lie between 0"},
      {{"render", "--kind", "2", "--duration", "10", "--at", "1", "--p0", "99999999999"}, 2, "--p0"},
      {{"render", "--kind", "2", "--duration", "10", "--at", "1", "--str", "\xF0\x9F\x98\x80"}, 2, "cp932"},
      {{"sheet", "--kind", "2", "--duration", "10", "--frames", "1"}, 2, "--frames must lie between 2"},
      {{"fade", "--kind", "2"}, 2, "unknown subcommand"},
  };
  for (const Case& c : cases) {
    std::vector<std::string> args = {"wipe"};
    args.insert(args.end(), c.args.begin(), c.args.end());
    args.insert(args.end(), {f.from, f.to, f.out});
    EXPECT_TRUE(Exits(RunOrintool(args), c.exitCode, c.message)) << c.args[1];
    EXPECT_FALSE(std::filesystem::exists(f.out)) << c.args[1];
  }
  const std::vector<Case> pictures = {
      {{f.from, small}, 1, "must have the same size"},
      {{f.from, f.dir / "missing.png"}, 1, "missing.png"},
      {{text, f.to}, 1, "not a picture"},
  };
  for (const Case& c : pictures) {
    auto r = RunOrintool({"wipe", "render", "--kind", "2", "--duration", "10", "--at", "1", c.args[0], c.args[1], f.out});
    EXPECT_TRUE(Exits(r, c.exitCode, c.message)) << c.message;
    EXPECT_FALSE(std::filesystem::exists(f.out)) << c.message;
  }
}

TEST(OrintoolWipe, HostileParametersStillRender) {
  Fixture f;
  for (const char* kind : {"2", "3", "8", "9", "37", "38"})
    for (const char* p0 : {"0", "-7", "100000", "2147483647"}) {
      auto r = RunOrintool({"wipe", "sheet", "--kind", kind, "--p0", p0, "--p1", "0", "--str", std::string(5000, 'x'),
                            "--duration", "7", "--frames", "4", f.from, f.to, f.out});
      EXPECT_TRUE(Exits(r, 0)) << kind << " " << p0;
    }
}

}  // namespace
}  // namespace orin
