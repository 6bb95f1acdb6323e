#include "imaging/wipes/sweep_wipes.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "imaging/screen_surface.h"
#include "imaging/wipes/mask_kernels.h"

namespace orin {

void SweepWipe::Prepare() {
  TWipeMask::Prepare();
  const int width = Mask().Width(), height = Mask().Height();
  order_.assign(static_cast<size_t>(width) * static_cast<size_t>(height), 0);
  FillOrder(order_, width, height);
}

uint16_t SweepWipe::ToOrder(double fraction) const {
  const double v = std::clamp(fraction, 0.0, 1.0) * OrderRange();
  return static_cast<uint16_t>(std::lround(v));
}

bool SweepWipe::UpdateMask() {
  const int64_t level = Scaled(kLevels);
  if (level == lastLevel_) return false;
  lastLevel_ = level;
  TDIBSurface& mask = Mask();
  const int width = mask.Width();
  for (int y = 0; y < mask.Height(); ++y)
    wipes::OrderMaskRow(mask.ScanLine(y), order_.data() + static_cast<size_t>(y) * width, width,
                        static_cast<int>(level), softBits_);
  return true;
}

void TWipeShadow::FillOrder(std::vector<uint16_t>& order, int width, int height) {
  const ScreenSurface& in = Incoming();
  const TDIBSurface& picture = in.Picture();
  // Brightness 0 … 255 to its order value, once per level rather than once per pixel.
  uint16_t byBrightness[256];
  for (int v = 0; v < 256; ++v) byBrightness[v] = ToOrder((Reverse() ? 255 - v : v) / 255.0);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      const Rgb c = picture.PixelToRGB(picture.GetPixel(x, y), true);
      const int brightness = (c.Red * 77 + c.Green * 150 + c.Blue * 29) >> 8;
      order[static_cast<size_t>(y) * width + x] = byBrightness[brightness];
    }
}

void TWipeClockhand::FillOrder(std::vector<uint16_t>& order, int width, int height) {
  const double cx = width / 2.0, cy = height / 2.0;
  const double sign = Reverse() ? -1.0 : 1.0;
  for (int y = 0; y < height; ++y) {
    const double up = cy - (y + 0.5);
    for (int x = 0; x < width; ++x) {
      // Clockwise from 12 o'clock, 0 … 2π.
      double a = std::atan2(sign * (x + 0.5 - cx), up);
      if (a < 0) a += 2 * std::numbers::pi;
      order[static_cast<size_t>(y) * width + x] = ToOrder(a / (2 * std::numbers::pi));
    }
  }
}

namespace {

// The angle of the fan's leaf through a point `height` above the pivot and `dx` to its right,
// from the left edge (0) over the top to the right edge (1); mirrored when reversed.
double FanFraction(double dx, double height, bool reverse) {
  return std::atan2(height, reverse ? dx : -dx) / std::numbers::pi;
}

}  // namespace

void TWipeFan::FillOrder(std::vector<uint16_t>& order, int width, int height) {
  const double cx = width / 2.0;
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      order[static_cast<size_t>(y) * width + x] = ToOrder(FanFraction(x + 0.5 - cx, height - (y + 0.5), Reverse()));
}

void TWipeWFan::FillOrder(std::vector<uint16_t>& order, int width, int height) {
  const double cx = width / 2.0, cy = height / 2.0;
  for (int y = 0; y < height; ++y) {
    // The upper half belongs to the fan hanging from the top, the lower to the one standing on
    // the bottom; both measure from their own pivot.
    const double fromPivot = y + 0.5 < cy ? y + 0.5 : height - (y + 0.5);
    for (int x = 0; x < width; ++x)
      order[static_cast<size_t>(y) * width + x] = ToOrder(FanFraction(x + 0.5 - cx, fromPivot, Reverse()));
  }
}

}  // namespace orin
