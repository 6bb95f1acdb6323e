// Rectangles of the imaging and scene code: left and top inclusive, right and bottom exclusive,
// the way the image files store them (four int32: left, top, right, bottom).
#pragma once

#include <algorithm>
#include <cstdint>

namespace orin {

struct Rect {
  int32_t Left = 0;
  int32_t Top = 0;
  int32_t Right = 0;
  int32_t Bottom = 0;

  int32_t Width() const { return Right - Left; }
  int32_t Height() const { return Bottom - Top; }
  // A rectangle without area (including an inverted one) is empty.
  bool IsEmpty() const { return Right <= Left || Bottom <= Top; }
  bool operator==(const Rect&) const = default;
};

// The common part of a and b; when they do not overlap the result is the empty (0, 0, 0, 0) and
// the function returns false.
inline bool IntersectRect(Rect& out, const Rect& a, const Rect& b) {
  Rect r{std::max(a.Left, b.Left), std::max(a.Top, b.Top), std::min(a.Right, b.Right), std::min(a.Bottom, b.Bottom)};
  if (r.IsEmpty()) {
    out = Rect{};
    return false;
  }
  out = r;
  return true;
}

}  // namespace orin
