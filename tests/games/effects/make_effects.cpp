// Writes the pictures of the effects test game as PNG files into a folder; the build turns them
// into layered images with `orintool img frompng`. The background's stripes make a ripple easy to
// see, and tests/games/effects_game_test.cpp names their colours.
//
//   make_effects OUTDIR
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "core/error.h"
#include "imaging/image_codecs.h"

namespace {

struct Picture {
  int Width;
  int Height;
  std::vector<uint8_t> Rgba;

  Picture(int width, int height) : Width(width), Height(height), Rgba(static_cast<size_t>(width * height * 4)) {}
  void Set(int x, int y, uint32_t rgb, uint8_t alpha = 255) {
    uint8_t* p = &Rgba[static_cast<size_t>((y * Width + x) * 4)];
    p[0] = static_cast<uint8_t>(rgb >> 16);
    p[1] = static_cast<uint8_t>(rgb >> 8);
    p[2] = static_cast<uint8_t>(rgb);
    p[3] = alpha;
  }
};

void Write(const std::string& dir, const std::string& name, const Picture& p) {
  const auto png = orin::EncodePngRgba(p.Rgba.data(), p.Width, p.Height, static_cast<size_t>(p.Width) * 4);
  std::ofstream out(dir + "/" + name, std::ios::binary);
  out.write(reinterpret_cast<const char*>(png->Data()), static_cast<std::streamsize>(png->Size()));
  if (!out) throw orin::Error(dir + "/" + name + ": cannot be written");
}

// Vertical stripes 8 pixels wide, dark and light blue.
Picture Stripes() {
  Picture p(160, 120);
  for (int y = 0; y < 120; ++y)
    for (int x = 0; x < 160; ++x) p.Set(x, y, (x / 8) % 2 ? 0x406080 : 0x203040);
  return p;
}

// A 3 × 3 snowflake: a white centre and half-transparent arms.
Picture Flake() {
  Picture p(3, 3);
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 3; ++x) p.Set(x, y, 0xFFFFFF, x == 1 && y == 1 ? 255 : (x == 1 || y == 1 ? 160 : 0));
  return p;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_effects OUTDIR\n");
    return 2;
  }
  const std::string dir = argv[1];
  try {
    Write(dir, "stripes.png", Stripes());
    Write(dir, "flake.png", Flake());
  } catch (const orin::Error& e) {
    std::fprintf(stderr, "make_effects: %s\n", e.what());
    return 1;
  }
  return 0;
}
