// TOrinPropMotion (kind 26): a property animator. It moves one numbered property of a target
// object from the value it has when the animator first runs to an end value over a duration,
// with an easing, writing the value each step as a float through the scene's SetProp, and
// deletes itself after writing the exact end value.
//
// Per step (elapsed e, duration d, start s, end v):
//   e = 0: s;  0 < e < d − 1: linear s + (v − s)·e/d, slow start (easing 1)
//   v − sin((d − e − 1)/d · π/2)·(v − s), slow end (easing 2) s + sin(e/d · π/2)·(v − s);
//   e ≥ d − 1: v, and the animator is finished. Then e += the frame delta.
// The target is looked up by name on the first step (no target, an empty name or a property
// number of 162 or above: finished at once); once found, the animator finishes when the target
// leaves the scene. A write the scene refuses (an error) also finishes it.
//
// Save record, after the object header: target name (string, empty when the target is gone),
// property number (byte), end value (10-byte extended), duration (int32), easing (byte), start
// value (10-byte extended), elapsed (int32), stopped (byte, from version 126). An animator
// loaded part-way (elapsed above 0) keeps its saved start value, so the animation goes on where
// it was instead of jumping.
#pragma once

#include <string>

#include "scene/model/orin_object.h"

namespace orin {

class TOrinPropMotion : public TOrinComponent {
 public:
  enum Easing : uint8_t { kLinear = 0, kSlowStart = 1, kSlowEnd = 2 };

  using TOrinComponent::TOrinComponent;

  uint8_t Kind() const override { return kKindPropMotion; }

  // The setters of the property-motion command.
  void SetTargetName(const std::string& name) { targetName_ = name; }
  void SetPropertyNumber(uint8_t number) { property_ = number; }
  void SetEndValue(long double v) { endValue_ = v; }
  void SetDuration(int32_t ms) { duration_ = ms; }
  void SetEasing(uint8_t easing) { easing_ = easing; }

  const std::string& TargetName() const { return targetName_; }
  uint8_t PropertyNumber() const { return property_; }
  long double EndValue() const { return endValue_; }
  long double StartValue() const { return startValue_; }
  int32_t Duration() const { return duration_; }
  uint8_t EasingKind() const { return easing_; }
  int32_t Elapsed() const { return elapsed_; }

  // The value at elapsed e of duration d (0 < e < d − 1).
  static long double Ease(uint8_t easing, long double start, long double end, int32_t e, int32_t d);

  bool Step() override;
  void Save(Stream& s, int version) const override;
  void Load(Stream& s, int version) override;

 private:
  std::string targetName_;
  uint64_t target_ = 0;  // the target's serial once found
  bool found_ = false;
  bool keepStart_ = false;
  uint8_t property_ = 255;
  long double endValue_ = 0;
  int32_t duration_ = 0;
  uint8_t easing_ = kLinear;
  long double startValue_ = 0;
  int32_t elapsed_ = 0;
};

}  // namespace orin
