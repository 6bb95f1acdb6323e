// A frame as the compositor draws it: a 32-bit colour surface (0x00RRGGBB, the fourth byte 0),
// the frame's 8-bit alpha plane when it has one (as the colour surface's Alpha), the colour key
// in the same pixel format and the frame's rectangle lists. Images are converted once, when they
// enter the image cache.
#pragma once

#include <cstdint>
#include <vector>

#include "imaging/dib_surface.h"
#include "imaging/geometry.h"
#include "imaging/mura.h"

namespace orin {

struct FrameDrawable {
  TDIBSurface Color;
  // The frame's TransparentColor as a pixel of Color, −1 when the frame has none.
  int32_t TransparentValue = -1;
  std::vector<Rect> RectsA;
  std::vector<Rect> RectsB;
};

// Sizes drawable.Color to the frame at 32 bits and fills it: 24-bit pixels get a fourth byte 0,
// 32-bit ones have it cleared, palette pixels take their palette entry and 15/16-bit pixels
// their channels unfilled (PixelToRGB), the same conversion that gives the colour key.
void CopyToDrawable(const TMuraFrame& frame, FrameDrawable& drawable);

// The 0x00BBGGRR colour as a 32-bit pixel 0x00RRGGBB; −1 stays −1.
int32_t ColorToPixel32(int32_t color);

}  // namespace orin
