#include "imaging/wipes/plain_wipes.h"

#include <cmath>

#include "imaging/screen_surface.h"

namespace orin {

bool TWipeFade::Step() {
  if (Done()) return true;
  const int64_t t = Time(), T = Duration();
  const double f = static_cast<double>(T - t - 1) / static_cast<double>(T);
  ScreenSurface& target = Target();
  target.Copy(0, 0, Outgoing(), Outgoing().Bounds());
  DrawOptions options;
  options.Opacity = static_cast<int>(t * 256 / T);
  const int dx = static_cast<int>(std::lround(f * GetParam(0)));
  const int dy = static_cast<int>(std::lround(f * GetParam(1)));
  target.Draw(dx, dy, Incoming().Picture(), Incoming().Bounds(), nullptr, options);
  MarkChanged();
  return false;
}

bool TWipeWhite::Step() {
  if (Done()) return true;
  const int a = static_cast<int>(int64_t{Time()} * 511 / Duration());
  const ScreenSurface& source = a < 256 ? Outgoing() : Incoming();
  const int level = a < 256 ? a : 511 - a;
  ScreenSurface& target = Target();
  target.Copy(0, 0, source, source.Bounds());
  if (darken_)
    target.SubtractGrey(target.Bounds(), level);
  else
    target.AddGrey(target.Bounds(), level);
  MarkChanged();
  return false;
}

bool TWipeFlash::Step() {
  if (Done()) return true;
  const int b = static_cast<int>(int64_t{Time()} * 255 / Duration());
  ScreenSurface& target = Target();
  target.Copy(0, 0, Incoming(), Incoming().Bounds());
  target.AddGrey(target.Bounds(), 255 - b);
  MarkChanged();
  return false;
}

}  // namespace orin
