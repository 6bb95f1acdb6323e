// Writes the pictures of the pictures test game as PNG files into a folder; the build turns them
// into layered images with `orintool img frompng`. Every picture is a few flat colours, so the
// game tests can probe exact pixels (tests/games/pictures_game_test.cpp names them).
//
//   make_pictures OUTDIR
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
  void Fill(uint32_t rgb, uint8_t alpha = 255) {
    for (int y = 0; y < Height; ++y)
      for (int x = 0; x < Width; ++x) Set(x, y, rgb, alpha);
  }
};

void Write(const std::string& dir, const std::string& name, const Picture& p) {
  const auto png = orin::EncodePngRgba(p.Rgba.data(), p.Width, p.Height, static_cast<size_t>(p.Width) * 4);
  std::ofstream out(dir + "/" + name, std::ios::binary);
  out.write(reinterpret_cast<const char*>(png->Data()), static_cast<std::streamsize>(png->Size()));
  if (!out) throw orin::Error(dir + "/" + name + ": cannot be written");
}

// A square with transparent corners (a 2-pixel cut on each corner), so the alpha plane shows.
Picture Sprite(uint32_t rgb) {
  Picture p(16, 16);
  p.Fill(rgb);
  for (int y = 0; y < 16; ++y)
    for (int x = 0; x < 16; ++x) {
      const int dx = x < 8 ? x : 15 - x, dy = y < 8 ? y : 15 - y;
      if (dx + dy < 3) p.Set(x, y, 0, 0);
    }
  return p;
}

// A white bar with a red head on a transparent ground: its turn is easy to see.
Picture Arrow() {
  Picture p(24, 24);
  p.Fill(0, 0);
  for (int y = 10; y < 14; ++y)
    for (int x = 2; x < 22; ++x) p.Set(x, y, x >= 16 ? 0xFF0000 : 0xFFFFFF);
  return p;
}

Picture Flat(int width, int height, uint32_t rgb) {
  Picture p(width, height);
  p.Fill(rgb);
  return p;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_pictures OUTDIR\n");
    return 2;
  }
  const std::string dir = argv[1];
  try {
    Write(dir, "bg.png", Flat(160, 120, 0x305070));
    Write(dir, "sprite0.png", Sprite(0xE02020));
    Write(dir, "sprite1.png", Sprite(0x20E020));
    Write(dir, "sprite2.png", Sprite(0x2020E0));
    Write(dir, "arrow.png", Arrow());
    Write(dir, "btn_n.png", Flat(32, 16, 0x808080));
    Write(dir, "btn_h.png", Flat(32, 16, 0xC0C0C0));
    Write(dir, "btn_d.png", Flat(32, 16, 0x404040));
    Write(dir, "btn_c0.png", Flat(32, 16, 0xFF8000));
    Write(dir, "btn_c1.png", Flat(32, 16, 0xFFFF00));
    Write(dir, "radio_n.png", Flat(16, 16, 0x606060));
    Write(dir, "radio_on.png", Flat(16, 16, 0x00C000));
  } catch (const orin::Error& e) {
    std::fprintf(stderr, "make_pictures: %s\n", e.what());
    return 1;
  }
  return 0;
}
