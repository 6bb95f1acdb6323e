// TOrinWave (kind 19): a ripple over whatever is drawn below it. The wave takes the picture under
// its rectangle (the control's underlay) and draws it back with every row shifted sideways along
// a sine that travels down the rectangle:
//   shift(row) = amplitude × sin(2π × (row / wavelength − time / period))
//   107  amplitude in pixels (clamped to ±1024);
//   108  wavelength in pixels (below 1 counts as 1);
//   26   period in milliseconds, the time one crest takes to travel a wavelength (0 or below:
//        the wave stands still);
//   27 stopped, 134 paused: the wave stands still.
// Where a shifted row leaves a gap at the rectangle's edge, the picture below shows unshifted.
//
// Save record, after the control record: record version (int32, 1); amplitude, wavelength,
// period, the wave's clock in milliseconds (int32); stopped (byte).
#pragma once

#include <cstdint>

#include "scene/model/orin_control.h"

namespace orin {

class TOrinWave : public TOrinControl {
 public:
  explicit TOrinWave(TOrinBaseList* owner);

  uint8_t Kind() const override { return kKindWave; }

  // The sideways shift of row (relative to the control's top) at the wave's present time.
  int32_t Shift(int32_t row) const;

  bool Step() override;
  void Draw(ScreenSurface& surface) override;
  void GetProp(int number, TCustomParam& dest) override;
  void SetProp(int number, const TCustomParam& value) override;
  void Save(Stream& s, int version) const override;
  void Load(Stream& s, int version) override;

 private:
  int32_t amplitude_ = 1;
  int32_t wavelength_ = 100;
  int32_t period_ = 1000;
  int32_t clock_ = 0;
};

}  // namespace orin
