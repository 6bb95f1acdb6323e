#include "imaging/wipes/zoom_wipes.h"

#include <algorithm>
#include <cmath>

namespace orin {

namespace {

constexpr double kSmallBigZoom = 4.0;
constexpr double kZoominZoom = 8.0;

// Source line of every screen line for scale about c; −1 outside the source. Returns the
// covered range [first, last).
void MapLines(std::vector<int32_t>& map, int length, double scale, double c, int& first,
              int& last) {
  first = length;
  last = 0;
  for (int i = 0; i < length; ++i) {
    const double u = std::floor(c + (i + 0.5 - c) / scale);
    const bool inside = u >= 0 && u < length;
    map[static_cast<size_t>(i)] = inside ? static_cast<int32_t>(u) : -1;
    if (inside) {
      first = std::min(first, i);
      last = i + 1;
    }
  }
}

// Weight 0 … 256 of a fade.
int Weight(double f) {
  return std::clamp(static_cast<int>(std::lround(f * 256.0)), 0, 256);
}

}  // namespace

void ZoomWipe::Size() {
  cols_.assign(static_cast<size_t>(W()), 0);
  rows_.assign(static_cast<size_t>(H()), 0);
  buffer_.assign(static_cast<size_t>(W()) * 4, 0);
}

void ZoomWipe::Prepare() {
  Size();
}

void ZoomWipe::DrawLayer(const ScreenSurface& source, double scale, double cx, double cy, int w,
                         bool blackAround) {
  if (static_cast<int>(cols_.size()) != W() || static_cast<int>(rows_.size()) != H()) Size();
  int x0 = 0, x1 = 0, y0 = 0, y1 = 0;
  if (w > 0 && scale > 1e-6) {
    MapLines(cols_, W(), scale, cx, x0, x1);
    MapLines(rows_, H(), scale, cy, y0, y1);
  }
  if (x1 <= x0) y0 = y1 = 0;
  const int count = x1 - x0;
  const size_t bytes = static_cast<size_t>(Bytes());
  // An enlarged picture repeats source rows: a row already gathered is taken again.
  int32_t lastRow = -1;
  for (int y = 0; y < H(); ++y) {
    uint8_t* row = TargetRow(y);
    if (y < y0 || y >= y1) {
      if (blackAround) std::memset(row, 0, static_cast<size_t>(W()) * bytes);
      continue;
    }
    if (blackAround) {
      std::memset(row, 0, static_cast<size_t>(x0) * bytes);
      std::memset(At(row, x1), 0, static_cast<size_t>(W() - x1) * bytes);
    }
    const int32_t sy = rows_[static_cast<size_t>(y)];
    uint8_t* dst = At(row, x0);
    if (w >= 256) {
      if (sy == lastRow)
        CopyPixels(dst, At(TargetRow(y - 1), x0), count);
      else
        wipes::GatherRow(dst, Row(source, sy), cols_.data() + x0, count, Bytes());
    } else {
      if (sy != lastRow)
        wipes::GatherRow(buffer_.data(), Row(source, sy), cols_.data() + x0, count, Bytes());
      MixPixels(dst, buffer_.data(), count, w);
    }
    lastRow = sy;
  }
}

bool TWipeSmall::Step() {
  if (Done()) return true;
  const double e = Ease(Progress());
  const double cx = W() / 2.0, cy = H() / 2.0;
  if (!Reverse()) {
    CopyAll(Incoming());
    DrawLayer(Outgoing(), 1.0 - e, cx, cy, 256);
  } else {
    CopyAll(Outgoing());
    DrawLayer(Incoming(), kSmallBigZoom - (kSmallBigZoom - 1.0) * e, cx, cy, Weight(e));
  }
  MarkChanged();
  return false;
}

bool TWipeBig::Step() {
  if (Done()) return true;
  const double e = Ease(Progress());
  const double cx = W() / 2.0, cy = H() / 2.0;
  if (!Reverse()) {
    CopyAll(Outgoing());
    DrawLayer(Incoming(), e, cx, cy, 256);
  } else {
    CopyAll(Incoming());
    DrawLayer(Outgoing(), 1.0 + (kSmallBigZoom - 1.0) * e, cx, cy, Weight(1.0 - e));
  }
  MarkChanged();
  return false;
}

void TWipeZoomin::SetName(const std::string& name) {
  // Only plain ASCII digits, signs and separators: anything else (a lead byte included) is not a
  // point.
  int32_t values[2] = {0, 0};
  int found = 0;
  bool inNumber = false, negative = false;
  int64_t value = 0;
  for (size_t i = 0; i <= name.size(); ++i) {
    const char c = i < name.size() ? name[i] : ',';
    if (c >= '0' && c <= '9') {
      value = std::min<int64_t>(value * 10 + (c - '0'), INT32_MAX);
      inNumber = true;
    } else if (c == '-' && !inNumber && !negative) {
      negative = true;
    } else if (c == ',' || c == ' ') {
      if (inNumber) {
        if (found == 2) return;
        values[found++] = static_cast<int32_t>(negative ? -value : value);
      } else if (negative) {
        return;
      }
      inNumber = negative = false;
      value = 0;
    } else {
      return;
    }
  }
  if (found != 2) return;
  SetParam(0, values[0]);
  SetParam(1, values[1]);
}

bool TWipeZoomin::Step() {
  if (Done()) return true;
  const double e = Ease(Progress());
  const double cx = std::clamp(GetParam(0), 0, std::max(W() - 1, 0)) + 0.5;
  const double cy = std::clamp(GetParam(1), 0, std::max(H() - 1, 0)) + 0.5;
  const int outWeight = Weight(1.0 - e);
  if (!Reverse()) {
    if (outWeight < 256) DrawLayer(Incoming(), std::pow(kZoominZoom, e - 1.0), cx, cy, 256, true);
    DrawLayer(Outgoing(), std::pow(kZoominZoom, e), cx, cy, outWeight);
  } else {
    DrawLayer(Incoming(), std::pow(kZoominZoom, 1.0 - e), cx, cy, 256);
    DrawLayer(Outgoing(), std::pow(kZoominZoom, -e), cx, cy, outWeight);
  }
  MarkChanged();
  return false;
}

bool TWipeSpot::Step() {
  if (Done()) return true;
  const double p = Progress();
  const double cx = W() / 2.0, cy = H() / 2.0;
  const double full = std::hypot(cx, cy) + 1.0;
  // What shows inside and outside the disc (null: black) and its radius.
  const ScreenSurface* inside;
  const ScreenSurface* outside;
  double radius;
  const bool first = p < 0.5;
  if (!Reverse()) {
    inside = first ? &Outgoing() : &Incoming();
    outside = nullptr;
    radius = full * (first ? 1.0 - 2.0 * p : 2.0 * p - 1.0);
  } else {
    inside = nullptr;
    outside = first ? &Outgoing() : &Incoming();
    radius = full * (first ? 2.0 * p : 2.0 - 2.0 * p);
  }
  // A disc narrower than a pixel covers none, so the reversed run ends on the incoming picture
  // also where a pixel's centre is the disc's.
  if (radius < 0.5) radius = 0;
  const int bytes = Bytes();
  for (int y = 0; y < H(); ++y) {
    uint8_t* dst = TargetRow(y);
    const double dy = y + 0.5 - cy;
    int x0 = 0, x1 = 0;
    if (dy * dy < radius * radius) {
      const double half = std::sqrt(radius * radius - dy * dy);
      x0 = std::clamp(static_cast<int>(std::floor(cx - half - 0.5)) + 1, 0, W());
      x1 = std::clamp(static_cast<int>(std::ceil(cx + half - 0.5)), x0, W());
    }
    auto span = [&](const ScreenSurface* source, int from, int to) {
      if (to <= from) return;
      if (source)
        CopyPixels(At(dst, from), At(Row(*source, y), from), to - from);
      else
        std::memset(At(dst, from), 0, static_cast<size_t>(to - from) * static_cast<size_t>(bytes));
    };
    span(outside, 0, x0);
    span(inside, x0, x1);
    span(outside, x1, W());
  }
  MarkChanged();
  return false;
}

}  // namespace orin
