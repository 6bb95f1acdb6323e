// TOrinFire (kind 6): flames that rise over the object's rectangle.
//
// The fire is a field of heat cells, one cell per (256 / zoom) screen pixels (zoom x and zoom y,
// properties 7 and 132, 256 = a cell per pixel, 512 = cells of 2 × 2 pixels). Sixty times a
// second of scene time the bottom row is lit from the player's run-time generator and every cell
// takes the mean of the three cells below it and the one under those, less the cooling, so the
// heat rises and dies away. Heat maps to colour black → red → yellow → white and to coverage
// (hotter is more opaque); the field is drawn scaled to the rectangle.
//   89  heat of the bottom row, 0-255 (default 255): each cell is lit to a random share of it;
//   90  cooling per row, 0-255 (default 2): higher keeps the flames lower;
//   91  drawing: 0 blends the flames over what is below, 1 adds them (glow);
//   27 stopped, 134 paused: the flames stand still.
// The field is at most kMaxCells cells (larger rectangles take larger cells), and at most
// kMaxTicksPerStep updates run in one step, so a long stall costs no more than a few frames.
//
// Save record, after the control record: record version (int32, 1); zoom x, zoom y, heat,
// cooling, drawing mode, the time owed to the next update (int32); stopped (byte). The heat field
// itself is not saved: the flames rekindle within a second.
#pragma once

#include <cstdint>
#include <vector>

#include "core/runtime_random.h"
#include "imaging/dib_surface.h"
#include "scene/model/orin_control.h"
#include "scene/objects/object_classes.h"

namespace orin {

class TOrinFire : public TOrinControl {
 public:
  static constexpr int32_t kMaxCells = 256 * 1024;
  static constexpr int32_t kTickMs = 16;
  static constexpr int kMaxTicksPerStep = 4;

  TOrinFire(TOrinBaseList* owner, const SceneServices& services);
  ~TOrinFire() override;

  uint8_t Kind() const override { return kKindFire; }
  bool HasImageGeometry() const override { return true; }

  // The size of the heat field in cells (0 × 0 for an empty rectangle).
  int32_t FieldWidth() const { return fieldW_; }
  int32_t FieldHeight() const { return fieldH_; }
  uint8_t Heat(int32_t x, int32_t y) const { return heat_[static_cast<size_t>(y) * fieldW_ + x]; }

  bool Step() override;
  void Draw(ScreenSurface& surface) override;
  void SetZoomX(int32_t zoom) override;
  void SetZoomY(int32_t zoom) override;
  void GetProp(int number, TCustomParam& dest) override;
  void SetProp(int number, const TCustomParam& value) override;
  void Save(Stream& s, int version) const override;
  void Load(Stream& s, int version) override;

 private:
  // Sizes the field to the rectangle and the zoom (clearing it when the size changes).
  void Resize();
  void Tick();
  void Paint();

  SceneServices services_;
  RunTimeRandom ownRandom_{0};
  int32_t strength_ = 255;
  int32_t cooling_ = 2;
  int32_t mode_ = 0;
  int32_t owed_ = 0;
  int32_t fieldW_ = 0, fieldH_ = 0;
  std::vector<uint8_t> heat_;
  std::vector<uint8_t> next_;
  // The field as a picture: colours and coverage.
  TDIBSurface picture_;
  bool painted_ = false;
};

}  // namespace orin
