#include "imaging/frame_drawable.h"

#include <cstring>

#include "core/endian.h"

namespace orin {

int32_t ColorToPixel32(int32_t color) {
  if (color == -1) return -1;
  const uint32_t c = static_cast<uint32_t>(color);
  return static_cast<int32_t>((c & 0xFF) << 16 | (c & 0xFF00) | (c >> 16 & 0xFF));
}

void CopyToDrawable(const TMuraFrame& frame, FrameDrawable& drawable) {
  const TDIBSurface& s = frame.Surface;
  const int width = s.Width(), height = s.Height();
  TDIBSurface& d = drawable.Color;
  d.DropAlpha();
  d.SetSize(width, height, 32);
  for (int y = 0; y < height; ++y) {
    const uint8_t* src = s.ScanLine(y);
    uint8_t* dst = d.ScanLine(y);
    switch (s.BitCount()) {
      case 24:
        for (int x = 0; x < width; ++x) {
          dst[4 * x] = src[3 * x], dst[4 * x + 1] = src[3 * x + 1], dst[4 * x + 2] = src[3 * x + 2];
          dst[4 * x + 3] = 0;
        }
        break;
      case 32:
        for (int x = 0; x < width; ++x) StoreU32LE(dst + 4 * x, LoadU32LE(src + 4 * x) & 0x00FFFFFFu);
        break;
      default:
        for (int x = 0; x < width; ++x) {
          const Rgb c = s.PixelToRGB(s.GetPixel(x, y));
          StoreU32LE(dst + 4 * x, uint32_t{c.Red} << 16 | uint32_t{c.Green} << 8 | c.Blue);
        }
        break;
    }
  }
  if (s.HasAlpha()) d.CopyAlpha(*s.Alpha);
  drawable.TransparentValue = ColorToPixel32(frame.TransparentColor);
  drawable.RectsA = frame.RectsA;
  drawable.RectsB = frame.RectsB;
}

}  // namespace orin
