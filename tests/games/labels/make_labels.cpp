// Writes the pictures of the labels test game as PNG files into a folder; the build turns them
// into layered images with `orintool img frompng`. Every picture is flat colours, so the game
// test can probe exact pixels (tests/games/labels_game_test.cpp names them).
//
//   make_labels OUTDIR
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
  void Fill(int left, int top, int width, int height, uint32_t rgb) {
    for (int y = top; y < top + height; ++y)
      for (int x = left; x < left + width; ++x) {
        uint8_t* p = &Rgba[static_cast<size_t>((y * Width + x) * 4)];
        p[0] = static_cast<uint8_t>(rgb >> 16);
        p[1] = static_cast<uint8_t>(rgb >> 8);
        p[2] = static_cast<uint8_t>(rgb);
        p[3] = 255;
      }
  }
};

void Write(const std::string& dir, const std::string& name, const Picture& p) {
  const auto png = orin::EncodePngRgba(p.Rgba.data(), p.Width, p.Height, static_cast<size_t>(p.Width) * 4);
  std::ofstream out(dir + "/" + name, std::ios::binary);
  out.write(reinterpret_cast<const char*>(png->Data()), static_cast<std::streamsize>(png->Size()));
  if (!out) throw orin::Error(dir + "/" + name + ": cannot be written");
}

// The clock's font: the cells of "0123456789:" side by side, 8 × 12 each; digit d is flat
// 0xRR8040 with RR = 0x20 + 0x10 × d, the colon white.
Picture Digits() {
  Picture p(11 * 8, 12);
  for (int d = 0; d < 10; ++d) p.Fill(8 * d, 0, 8, 12, static_cast<uint32_t>(0x20 + 0x10 * d) << 16 | 0x8040);
  p.Fill(80, 0, 8, 12, 0xFFFFFF);
  return p;
}

// The map's pictures, 160 × 80: four quadrants, dark in the base and bright in the highlight.
Picture Quadrants(const uint32_t (&colours)[4]) {
  Picture p(160, 80);
  for (int q = 0; q < 4; ++q) p.Fill(q % 2 * 80, q / 2 * 40, 80, 40, colours[q]);
  return p;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_labels OUTDIR\n");
    return 2;
  }
  const std::string dir = argv[1];
  try {
    Write(dir, "digits.png", Digits());
    Write(dir, "base.png", Quadrants({0x400000, 0x004000, 0x000040, 0x404000}));
    Write(dir, "hi.png", Quadrants({0xFF0000, 0x00FF00, 0x0000FF, 0xFFFF00}));
  } catch (const orin::Error& e) {
    std::fprintf(stderr, "make_labels: %s\n", e.what());
    return 1;
  }
  return 0;
}
