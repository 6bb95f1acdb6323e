// The region file of image maps: named areas of pixels, and their hit test.
//
// Layout (little-endian): N (int32), then N records: name (int32 length, then the bytes), shape
// (byte: 0 rectangle, 1 ellipse, any other value a polygon), then for a rectangle or an ellipse
// left, top, right, bottom (4 × int32, the edges inclusive: the area covers left ≤ x ≤ right and
// top ≤ y ≤ bottom, the ellipse inscribed in that box), for a polygon P (int32) and P points of
// two int32 (x, y), filled by the non-zero winding rule. Coordinates are pixels from the map's
// top-left corner.
//
// Reading checks every count and length against what is left before anything is allocated: a
// file cut short, or claiming more regions or points than its bytes can hold, fails with Error
// naming the file and the field. Bytes after the last record are ignored. Writing gives back the
// bytes read (the shape byte is kept as it was, so a polygon stored as 7 stays 7).
//
// Hit test: a pixel (x, y) belongs to a rectangle when it lies inside the inclusive box; to an
// ellipse or a polygon when its centre (x + ½, y + ½) lies inside the shape (on an ellipse's edge
// counts as inside). A box whose right is left of its left (or bottom above top) holds nothing;
// so does a polygon of fewer than three points.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

#include "imaging/geometry.h"

namespace orin {

struct RegionPoint {
  int32_t X = 0;
  int32_t Y = 0;
};

struct MapRegion {
  enum Shape : uint8_t { kRectangle = 0, kEllipse = 1, kPolygon = 2 };

  std::string Name;
  // The shape byte as stored; every value above 1 is a polygon.
  uint8_t ShapeByte = kRectangle;
  // Rectangle and ellipse: the inclusive box.
  int32_t Left = 0, Top = 0, Right = 0, Bottom = 0;
  std::vector<RegionPoint> Points;

  Shape Kind() const { return ShapeByte == 0 ? kRectangle : ShapeByte == 1 ? kEllipse : kPolygon; }
  // The smallest rectangle (right and bottom exclusive) holding every pixel of the area; empty
  // when the area has none.
  Rect BoundingBox() const;
  bool Contains(int32_t x, int32_t y) const;
};

// Regions in file order.
class RegionFile {
 public:
  std::vector<MapRegion> Regions;

  // label names the file in errors.
  static RegionFile Read(std::span<const uint8_t> bytes, const std::string& label);
  std::string Write() const;
  // The index of the first region containing the pixel, −1 when none does.
  int32_t HitTest(int32_t x, int32_t y) const;
  // Keeps the regions' bounding boxes for HitTest; Read does it, whoever changes Regions after
  // that calls it again (HitTest tests every region fully while the boxes do not match).
  void Index();

 private:
  std::vector<Rect> boxes_;
};

// The pixels of the region inside clip as runs: span(y, x0, x1) for the pixels x0 ≤ x < x1 of
// row y, rows from the top, each run once; exactly the pixels Contains admits. A polygon's rows
// take time linear in its points, not in its width.
void RegionSpans(const MapRegion& region, const Rect& clip, const std::function<void(int32_t, int32_t, int32_t)>& span);

// Sets the region's pixels of an 8-bit plane (width × height bytes, rows of `stride` bytes) to 255.
void PaintRegion(const MapRegion& region, uint8_t* plane, int width, int height, ptrdiff_t stride);

}  // namespace orin
