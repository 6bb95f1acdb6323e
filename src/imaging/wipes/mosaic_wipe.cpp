#include "imaging/wipes/mosaic_wipe.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "imaging/screen_surface.h"

namespace orin {

namespace {

// The incoming pixel b over the outgoing pixel a with weight w, as the mask transitions mix.
uint32_t Mix(uint32_t a, uint32_t b, uint32_t w, int depth, const uint32_t* masks) {
  if (w == 0) return a;
  if (w == 255) return b;
  uint32_t v = 0;
  if (depth == 32) {
    for (int shift = 0; shift < 24; shift += 8)
      v |= ((w * ((b >> shift) & 0xFF) + (255 - w) * ((a >> shift) & 0xFF)) >> 8) << shift;
  } else {
    for (int k = 0; k < 3; ++k) v |= ((w * (b & masks[k]) + (255 - w) * (a & masks[k])) >> 8) & masks[k];
  }
  return v;
}

uint32_t PixelAt(const ScreenSurface& s, int x, int y, int bytes) {
  uint32_t v = 0;
  std::memcpy(&v, s.ScanLine(y) + static_cast<ptrdiff_t>(x) * bytes, static_cast<size_t>(bytes));
  return v;
}

}  // namespace

int TWipeMosaic::BlockSize(int q, int width) {
  q = std::clamp(q, 0, 255);
  auto curve = [width](int p) {
    const double u = p / 255.0;
    const double factor = (24.0 + 239.0 * u * u) / 256.0;
    return std::max(1, static_cast<int>(std::lround(width / 4.0 * factor)));
  };
  constexpr int kRamp = 8;
  if (q >= kRamp) return curve(q);
  return 1 + static_cast<int>(std::lround((curve(kRamp) - 1) * static_cast<double>(q) / kRamp));
}

bool TWipeMosaic::Step() {
  if (Done()) return true;
  const int a = static_cast<int>(Scaled(1023));
  const int width = Target().Width();
  int size, opacity;
  if (a < 256) {
    size = BlockSize(a, width), opacity = 0;
  } else if (a >= 768) {
    size = BlockSize(1023 - a, width), opacity = 255;
  } else {
    size = BlockSize(255, width), opacity = (a - 256) * 255 / 511;
  }
  if (size <= 1 && (opacity == 0 || opacity == 255)) {
    const ScreenSurface& source = opacity == 0 ? Outgoing() : Incoming();
    Target().Copy(0, 0, source, source.Bounds());
  } else {
    DrawBlocks(size, opacity);
  }
  MarkChanged();
  return false;
}

void TWipeMosaic::DrawBlocks(int size, int opacity) {
  ScreenSurface& target = Target();
  const ScreenSurface& out = Outgoing();
  const ScreenSurface& in = Incoming();
  const int width = target.Width(), height = target.Height();
  const int bytes = target.Depth() == 32 ? 4 : 2;
  // Reversed, the grid is lined up on the bottom-right corner: the first block starts before
  // the left and top edges by what the last one would stick out.
  const int offsetX = Reverse() ? -((size - width % size) % size) : 0;
  const int offsetY = Reverse() ? -((size - height % size) % size) : 0;
  const size_t rowBytes = static_cast<size_t>(width) * bytes;
  for (int by = offsetY; by < height; by += size) {
    const int y0 = std::max(by, 0), y1 = std::min(by + size, height);
    const int sampleY = (y0 + y1 - 1) / 2;
    uint8_t* row = target.ScanLine(y0);
    for (int bx = offsetX; bx < width; bx += size) {
      const int x0 = std::max(bx, 0), x1 = std::min(bx + size, width);
      const int sampleX = (x0 + x1 - 1) / 2;
      const uint32_t pixel = Mix(PixelAt(out, sampleX, sampleY, bytes), PixelAt(in, sampleX, sampleY, bytes),
                                 static_cast<uint32_t>(opacity), target.Depth(), target.Masks());
      if (bytes == 4) {
        auto* p = reinterpret_cast<uint32_t*>(row) + x0;
        std::fill(p, p + (x1 - x0), pixel);
      } else {
        auto* p = reinterpret_cast<uint16_t*>(row) + x0;
        std::fill(p, p + (x1 - x0), static_cast<uint16_t>(pixel));
      }
    }
    for (int y = y0 + 1; y < y1; ++y) std::memcpy(target.ScanLine(y), row, rowBytes);
  }
}

}  // namespace orin
