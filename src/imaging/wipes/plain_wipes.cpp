#include "imaging/wipes/plain_wipes.h"

#include <algorithm>
#include <cmath>

#include "imaging/screen_surface.h"
#include "imaging/wipes/mask_kernels.h"

namespace orin {

namespace {

// The source with a grey level added (darken: subtracted) to every channel, in one pass.
void CopyWithGrey(ScreenSurface& target, const ScreenSurface& source, int level, bool darken) {
  const int width = target.Width();
  if (target.Depth() == 32) {
    for (int y = 0; y < target.Height(); ++y)
      wipes::GreyCopyRow32(target.ScanLine(y), source.ScanLine(y), width, level, darken);
    return;
  }
  for (int y = 0; y < target.Height(); ++y) {
    const Rect row{0, y, width, y + 1};
    target.Copy(0, y, source, row);
    if (darken)
      target.SubtractGrey(row, level);
    else
      target.AddGrey(row, level);
  }
}

}  // namespace

// The steps go row by row, each row copied and then changed while it is still in the cache: one
// pass over the screen instead of two.

bool TWipeFade::Step() {
  if (Done()) return true;
  const int64_t t = Time(), T = Duration();
  const double f = static_cast<double>(T - t - 1) / static_cast<double>(T);
  ScreenSurface& target = Target();
  DrawOptions options;
  options.Opacity = static_cast<int>(t * 256 / T);
  const int dx = static_cast<int>(std::lround(f * GetParam(0)));
  const int dy = static_cast<int>(std::lround(f * GetParam(1)));
  const int width = target.Width();
  if (dx == 0 && dy == 0 && target.Depth() == 32) {
    // Unshifted (the usual case): the blend over the copy is the mask composition with one mask
    // value everywhere, in a single pass. (The draw's key −1 matches no pixel of a screen.)
    fadeMask_.assign(static_cast<size_t>(width), static_cast<uint8_t>(std::clamp(options.Opacity, 0, 255)));
    for (int y = 0; y < target.Height(); ++y)
      wipes::MaskComposeRow32(target.ScanLine(y), Outgoing().ScanLine(y), Incoming().ScanLine(y), fadeMask_.data(),
                              width, false);
    MarkChanged();
    return false;
  }
  for (int y = 0; y < target.Height(); ++y) {
    target.Copy(0, y, Outgoing(), Rect{0, y, width, y + 1});
    // The incoming row that lands on row y; none when the shift takes it off the picture.
    const int64_t from = int64_t{y} - dy;
    if (from >= 0 && from < Incoming().Height())
      target.Draw(dx, y, Incoming().Picture(), Rect{0, static_cast<int>(from), width, static_cast<int>(from) + 1}, nullptr,
                  options);
  }
  MarkChanged();
  return false;
}

bool TWipeWhite::Step() {
  if (Done()) return true;
  const int a = static_cast<int>(int64_t{Time()} * 511 / Duration());
  const ScreenSurface& source = a < 256 ? Outgoing() : Incoming();
  const int level = a < 256 ? a : 511 - a;
  CopyWithGrey(Target(), source, level, darken_);
  MarkChanged();
  return false;
}

bool TWipeFlash::Step() {
  if (Done()) return true;
  const int b = static_cast<int>(int64_t{Time()} * 255 / Duration());
  CopyWithGrey(Target(), Incoming(), 255 - b, false);
  MarkChanged();
  return false;
}

}  // namespace orin
