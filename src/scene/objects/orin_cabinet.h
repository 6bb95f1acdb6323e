// TOrinCabinet (kind 27): a container that keeps objects aside across screen flips. Its
// descendants are frozen: they take no scene step and raise no every-frame events, and the
// cabinet shows neither itself nor them and takes no pointer input. Its save record is the
// control record alone.
#pragma once

#include "scene/model/orin_control.h"

namespace orin {

class TOrinCabinet : public TOrinControl {
 public:
  using TOrinControl::TOrinControl;

  uint8_t Kind() const override { return kKindCabinet; }
  bool ShowsChildren() const override { return false; }
  TOrinControl* HitTest(int32_t, int32_t, InputModes) override { return nullptr; }
};

}  // namespace orin
