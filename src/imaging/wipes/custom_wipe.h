// TCustomWipe, the base of the screen transitions, and TWipeMask, the base of the kinds that
// compose the two pictures through an 8-bit mask.
//
// A wipe draws into a target surface from the outgoing and the incoming picture (three surfaces
// of one size and depth, owned by the caller, which keeps them alive while the wipe runs). The
// caller writes the elapsed time before every Step; Step answers true, and draws nothing, once
// the time has reached the duration. Every step that draws redraws the whole target, so the
// changed rectangle is always the target's bounds.
//
// The mask family: UpdateMask recomputes the mask for the current time and says whether it
// changed; when it did, Step composes the target: mask value 0 the outgoing pixel, 255 the
// incoming one, otherwise every channel (m × incoming + (255 − m) × outgoing) >> 8. The mask is
// MaskHeight rows high and repeats downwards (target row y uses mask row y mod MaskHeight); with
// the hard-edge flag every non-zero mask value counts as 255.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "core/runtime_random.h"
#include "imaging/dib_surface.h"
#include "imaging/geometry.h"

namespace orin {

class ScreenSurface;

class TCustomWipe {
 public:
  virtual ~TCustomWipe() = default;

  // The surfaces and the duration T in milliseconds (below 1 counts as 1). The surfaces must
  // have one size and depth (Error otherwise). Prepare and Step need them: attach first.
  void Attach(ScreenSurface& target, const ScreenSurface& outgoing, const ScreenSurface& incoming,
              int32_t duration);

  // Mirrors the direction of the kind.
  virtual void SetReverse(bool reverse) { reverse_ = reverse; }
  bool Reverse() const { return reverse_; }
  // Parameters 0 and 1; other indexes read 0 and are ignored.
  virtual int32_t GetParam(int index) const;
  virtual void SetParam(int index, int32_t value);
  // The flip's string parameter; kinds without one ignore it.
  virtual void SetName(const std::string& /*name*/) {}
  // Runs once, after the parameters and before the first step.
  virtual void Prepare() {}
  // Draws the picture at Time(); true (nothing drawn) once Time() ≥ Duration().
  virtual bool Step() = 0;

  // The player's run-time generator, which the random kinds draw from so that a script that
  // seeds it sees the same transition again. Without one a kind draws from a generator of its
  // own seeded 0.
  void SetRandom(RunTimeRandom* random) { random_ = random; }

  void SetTime(int32_t time) { time_ = time; }
  int32_t Time() const { return time_; }
  int32_t Duration() const { return duration_; }
  const Rect& Changed() const { return changed_; }

 protected:
  ScreenSurface& Target() { return *target_; }
  const ScreenSurface& Outgoing() const { return *outgoing_; }
  const ScreenSurface& Incoming() const { return *incoming_; }
  bool Done() const { return time_ >= duration_; }
  // range × t ÷ T (rounded down) with t = Time() held to 0 … T; 0 for a range ≤ 0. Exact for any
  // range up to 2^62, so parameters of any size can go into it.
  int64_t Scaled(int64_t range) const;
  // Records that the whole target was redrawn.
  void MarkChanged();
  // 0 .. range − 1 from the run-time generator (RunTimeRandom::Next).
  int32_t Random(int32_t range) { return (random_ ? *random_ : ownRandom_).Next(range); }

  std::array<int32_t, 2> params_{};

 private:
  bool reverse_ = false;
  ScreenSurface* target_ = nullptr;
  const ScreenSurface* outgoing_ = nullptr;
  const ScreenSurface* incoming_ = nullptr;
  int32_t duration_ = 1;
  int32_t time_ = 0;
  Rect changed_{};
  RunTimeRandom* random_ = nullptr;
  RunTimeRandom ownRandom_{0};
};

class TWipeMask : public TCustomWipe {
 public:
  // Sizes the mask (the target's width × MaskHeight rows, zeroed) and forgets the last level;
  // kinds that override it call it first.
  void Prepare() override;
  bool Step() override;
  // Recomputes the mask for Time(); true when it changed.
  virtual bool UpdateMask() = 0;
  virtual int MaskHeight() const;

 protected:
  TDIBSurface& Mask() { return mask_; }
  // The level the mask was last drawn for, −1 before the first.
  int64_t lastLevel_ = -1;
  bool hardEdge_ = false;

 private:
  TDIBSurface mask_;
};

}  // namespace orin
