#include "scene/objects/region_file.h"

#include <algorithm>
#include <cstring>

#include "core/byte_reader.h"
#include "resources/stream.h"

namespace orin {

namespace {

// Coordinates are held to this range in the polygon test, so that doubled coordinates and their
// cross products stay inside int64; a map is never that large.
constexpr int64_t kCoordinateLimit = int64_t{1} << 29;

int64_t Held(int32_t v) { return std::clamp<int64_t>(v, -kCoordinateLimit, kCoordinateLimit); }

int32_t PlusOne(int32_t v) { return v == INT32_MAX ? v : v + 1; }

// The smallest size a record can take: an empty name, the shape byte and four int32 (a polygon
// takes at least its count, which is less).
constexpr uint64_t kMinRecordSize = 4 + 1 + 4;

bool EllipseContains(const MapRegion& r, int32_t x, int32_t y) {
  if (r.Right < r.Left || r.Bottom < r.Top) return false;
  if (x < r.Left || x > r.Right || y < r.Top || y > r.Bottom) return false;
  // In doubled units the centre is l + r + 1 and the radii are the box's width and height, so
  // every term is an integer.
  const int64_t w = int64_t{r.Right} - r.Left + 1, h = int64_t{r.Bottom} - r.Top + 1;
  const int64_t dx = 2 * int64_t{x} + 1 - (int64_t{r.Left} + r.Right + 1);
  const int64_t dy = 2 * int64_t{y} + 1 - (int64_t{r.Top} + r.Bottom + 1);
  if (w <= 32768 && h <= 32768) return dx * dx * h * h + dy * dy * w * w <= w * w * h * h;
  const long double fx = static_cast<long double>(dx) / static_cast<long double>(w);
  const long double fy = static_cast<long double>(dy) / static_cast<long double>(h);
  return fx * fx + fy * fy <= 1.0L;
}

bool PolygonContains(const std::vector<RegionPoint>& points, int32_t x, int32_t y) {
  if (points.size() < 3) return false;
  // The pixel centre in doubled units is odd, the doubled vertices even: the point never lies on
  // a vertex's row, so the crossing test needs no tie rule.
  const int64_t px = 2 * Held(x) + 1, py = 2 * Held(y) + 1;
  int winding = 0;
  const size_t n = points.size();
  for (size_t i = 0; i < n; ++i) {
    const RegionPoint& a = points[i];
    const RegionPoint& b = points[i + 1 == n ? 0 : i + 1];
    const int64_t ax = 2 * Held(a.X), ay = 2 * Held(a.Y), bx = 2 * Held(b.X), by = 2 * Held(b.Y);
    if (ay < py) {
      if (by > py && (bx - ax) * (py - ay) - (px - ax) * (by - ay) > 0) ++winding;
    } else if (by < py && (bx - ax) * (py - ay) - (px - ax) * (by - ay) < 0) {
      --winding;
    }
  }
  return winding != 0;
}

}  // namespace

Rect MapRegion::BoundingBox() const {
  if (Kind() != kPolygon) {
    if (Right < Left || Bottom < Top) return Rect{};
    return Rect{Left, Top, PlusOne(Right), PlusOne(Bottom)};
  }
  if (Points.size() < 3) return Rect{};
  Rect r{INT32_MAX, INT32_MAX, INT32_MIN, INT32_MIN};
  for (const RegionPoint& p : Points) {
    r.Left = std::min(r.Left, p.X);
    r.Top = std::min(r.Top, p.Y);
    r.Right = std::max(r.Right, p.X);
    r.Bottom = std::max(r.Bottom, p.Y);
  }
  // Pixel centres inside lie between the extreme vertices, so the box ends at the largest one.
  if (r.IsEmpty()) return Rect{};
  return r;
}

bool MapRegion::Contains(int32_t x, int32_t y) const {
  switch (Kind()) {
    case kRectangle:
      return x >= Left && x <= Right && y >= Top && y <= Bottom;
    case kEllipse:
      return EllipseContains(*this, x, y);
    case kPolygon:
      return PolygonContains(Points, x, y);
  }
  return false;
}

RegionFile RegionFile::Read(std::span<const uint8_t> bytes, const std::string& label) {
  ByteReader r(bytes, label);
  RegionFile file;
  const size_t count = r.ReadCount(kMinRecordSize, "region count");
  file.Regions.reserve(count);
  for (size_t i = 0; i < count; ++i) {
    MapRegion region;
    region.Name = r.String("region name");
    region.ShapeByte = r.U8("region shape");
    if (region.Kind() == MapRegion::kPolygon) {
      const size_t points = r.ReadCount(8, "polygon point count");
      region.Points.resize(points);
      for (RegionPoint& p : region.Points) {
        p.X = r.I32("polygon point");
        p.Y = r.I32("polygon point");
      }
    } else {
      region.Left = r.I32("region box");
      region.Top = r.I32("region box");
      region.Right = r.I32("region box");
      region.Bottom = r.I32("region box");
    }
    file.Regions.push_back(std::move(region));
  }
  file.Index();
  return file;
}

std::string RegionFile::Write() const {
  MemoryStream s;
  WriteInt32(s, static_cast<int32_t>(Regions.size()));
  for (const MapRegion& region : Regions) {
    WriteString(s, region.Name);
    WriteByte(s, region.ShapeByte);
    if (region.Kind() == MapRegion::kPolygon) {
      WriteInt32(s, static_cast<int32_t>(region.Points.size()));
      for (const RegionPoint& p : region.Points) {
        WriteInt32(s, p.X);
        WriteInt32(s, p.Y);
      }
    } else {
      WriteInt32(s, region.Left);
      WriteInt32(s, region.Top);
      WriteInt32(s, region.Right);
      WriteInt32(s, region.Bottom);
    }
  }
  return std::string(s.View());
}

void RegionFile::Index() {
  boxes_.clear();
  boxes_.reserve(Regions.size());
  for (const MapRegion& region : Regions) boxes_.push_back(region.BoundingBox());
}

int32_t RegionFile::HitTest(int32_t x, int32_t y) const {
  const bool indexed = boxes_.size() == Regions.size();
  for (size_t i = 0; i < Regions.size(); ++i) {
    if (indexed) {
      const Rect& b = boxes_[i];
      if (x < b.Left || x >= b.Right || y < b.Top || y >= b.Bottom) continue;
    }
    if (Regions[i].Contains(x, y)) return static_cast<int32_t>(i);
  }
  return -1;
}

namespace {

__extension__ typedef __int128 Wide;

// floor(a / b) for b > 0.
Wide FloorDiv(Wide a, Wide b) {
  const Wide q = a / b;
  return (a % b != 0 && a < 0) ? q - 1 : q;
}

// Row y of a polygon as runs. A crossing at doubled x = xc stops counting for the pixels whose
// doubled centre 2x + 1 is at or beyond xc (PolygonContains counts an edge only for points
// strictly left of it), so the pixel from which it is passed is ceil((xc − 1) / 2).
void PolygonRow(const std::vector<RegionPoint>& points, int32_t y, const Rect& box,
                const std::function<void(int32_t, int32_t, int32_t)>& span, std::vector<std::pair<int64_t, int>>& cuts) {
  cuts.clear();
  const int64_t py = 2 * Held(y) + 1;
  int total = 0;
  const size_t n = points.size();
  for (size_t i = 0; i < n; ++i) {
    const RegionPoint& a = points[i];
    const RegionPoint& b = points[i + 1 == n ? 0 : i + 1];
    const int64_t ax = 2 * Held(a.X), ay = 2 * Held(a.Y), bx = 2 * Held(b.X), by = 2 * Held(b.Y);
    int direction;
    if (ay < py && by > py)
      direction = 1;
    else if (ay > py && by < py)
      direction = -1;
    else
      continue;
    // xc = ax + (py − ay)(bx − ax) / (by − ay); with the denominator made positive.
    Wide num = static_cast<Wide>(py - ay) * (bx - ax), den = by - ay;
    if (den < 0) {
      num = -num;
      den = -den;
    }
    // ceil((ax − 1 + num / den) / 2) = −floor(−((ax − 1) den + num) / (2 den)).
    const Wide from = -FloorDiv(-((static_cast<Wide>(ax) - 1) * den + num), 2 * den);
    cuts.emplace_back(static_cast<int64_t>(std::clamp<Wide>(from, INT64_MIN / 2, INT64_MAX / 2)), direction);
    total += direction;
  }
  std::sort(cuts.begin(), cuts.end());
  int winding = total;
  int64_t x = box.Left;
  size_t c = 0;
  while (c < cuts.size() && cuts[c].first <= x) winding -= cuts[c++].second;
  while (x < box.Right) {
    const int64_t next = c < cuts.size() ? std::min<int64_t>(cuts[c].first, box.Right) : box.Right;
    if (winding != 0 && next > x) span(y, static_cast<int32_t>(x), static_cast<int32_t>(next));
    x = next;
    while (c < cuts.size() && cuts[c].first <= x) winding -= cuts[c++].second;
  }
}

}  // namespace

void RegionSpans(const MapRegion& region, const Rect& clip, const std::function<void(int32_t, int32_t, int32_t)>& span) {
  Rect box;
  if (!IntersectRect(box, region.BoundingBox(), clip)) return;
  switch (region.Kind()) {
    case MapRegion::kRectangle:
      for (int32_t y = box.Top; y < box.Bottom; ++y) span(y, box.Left, box.Right);
      return;
    case MapRegion::kEllipse:
      for (int32_t y = box.Top; y < box.Bottom; ++y) {
        int32_t x = box.Left;
        while (x < box.Right) {
          while (x < box.Right && !region.Contains(x, y)) ++x;
          const int32_t start = x;
          while (x < box.Right && region.Contains(x, y)) ++x;
          if (x > start) span(y, start, x);
        }
      }
      return;
    case MapRegion::kPolygon: {
      std::vector<std::pair<int64_t, int>> cuts;
      cuts.reserve(region.Points.size());
      for (int32_t y = box.Top; y < box.Bottom; ++y) PolygonRow(region.Points, y, box, span, cuts);
      return;
    }
  }
}

void PaintRegion(const MapRegion& region, uint8_t* plane, int width, int height, ptrdiff_t stride) {
  RegionSpans(region, Rect{0, 0, width, height}, [&](int32_t y, int32_t x0, int32_t x1) {
    std::memset(plane + stride * y + x0, 255, static_cast<size_t>(x1 - x0));
  });
}

}  // namespace orin
