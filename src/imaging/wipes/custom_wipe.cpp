#include "imaging/wipes/custom_wipe.h"

#include <algorithm>
#include <cstring>

#include "core/error.h"
#include "imaging/screen_surface.h"
#include "imaging/wipes/mask_kernels.h"

namespace orin {

namespace {

bool SameShape(const ScreenSurface& a, const ScreenSurface& b) {
  return a.Width() == b.Width() && a.Height() == b.Height() && a.Depth() == b.Depth();
}

}  // namespace

void TCustomWipe::Attach(ScreenSurface& target, const ScreenSurface& outgoing, const ScreenSurface& incoming,
                         int32_t duration) {
  if (!SameShape(target, outgoing) || !SameShape(target, incoming))
    throw Error("transition: the pictures differ in size or depth");
  target_ = &target;
  outgoing_ = &outgoing;
  incoming_ = &incoming;
  duration_ = std::max(duration, 1);
}

int32_t TCustomWipe::GetParam(int index) const {
  return index >= 0 && index < static_cast<int>(params_.size()) ? params_[static_cast<size_t>(index)] : 0;
}

void TCustomWipe::SetParam(int index, int32_t value) {
  if (index >= 0 && index < static_cast<int>(params_.size())) params_[static_cast<size_t>(index)] = value;
}

int64_t TCustomWipe::Scaled(int64_t range) const {
  const int64_t t = std::clamp(time_, 0, duration_), T = duration_;
  if (range <= 0) return 0;
  // range × t ÷ T without the product overflowing: range = q·T + r.
  return range / T * t + range % T * t / T;
}

void TCustomWipe::MarkChanged() {
  changed_ = target_->Bounds();
  target_->AddChanged(changed_);
}

// ---- TWipeMask

int TWipeMask::MaskHeight() const { return Outgoing().Height(); }

void TWipeMask::Prepare() {
  const int rows = std::clamp(MaskHeight(), 1, std::max(Outgoing().Height(), 1));
  mask_.SetSize(std::max(Outgoing().Width(), 1), rows, 8);
  lastLevel_ = -1;
}

bool TWipeMask::Step() {
  if (Done()) return true;
  if (!UpdateMask()) return false;
  ScreenSurface& target = Target();
  const ScreenSurface& out = Outgoing();
  const ScreenSurface& in = Incoming();
  const int width = std::min(target.Width(), mask_.Width());
  const int rows = mask_.Height();
  const uint32_t* masks = target.Masks();
  for (int y = 0; y < target.Height(); ++y) {
    const uint8_t* m = mask_.ScanLine(y % rows);
    uint8_t* d = target.ScanLine(y);
    const uint8_t* o = out.ScanLine(y);
    const uint8_t* i = in.ScanLine(y);
    if (target.Depth() == 32) {
      wipes::MaskComposeRow32(d, o, i, m, width, hardEdge_);
      continue;
    }
    for (int x = 0; x < width; ++x) {
      uint32_t w = m[x];
      if (hardEdge_ && w != 0) w = 255;
      uint16_t a, b;
      std::memcpy(&a, o + 2 * x, 2);
      std::memcpy(&b, i + 2 * x, 2);
      uint32_t v = w == 0 ? a : w == 255 ? b : 0;
      if (w != 0 && w != 255)
        for (int k = 0; k < 3; ++k) v |= ((w * (b & masks[k]) + (255 - w) * (a & masks[k])) >> 8) & masks[k];
      const uint16_t v16 = static_cast<uint16_t>(v);
      std::memcpy(d + 2 * x, &v16, 2);
    }
  }
  MarkChanged();
  return false;
}

}  // namespace orin
