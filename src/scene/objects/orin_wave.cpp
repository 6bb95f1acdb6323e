#include "scene/objects/orin_wave.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "core/error.h"
#include "imaging/screen_surface.h"
#include "params/custom_param.h"
#include "resources/stream.h"
#include "scene/model/orin_base_list.h"
#include "scene/model/property_table.h"

namespace orin {

namespace {

constexpr int kPropAmplitude = 107;
constexpr int kPropWavelength = 108;
constexpr int32_t kRecordVersion = 1;
constexpr int32_t kMaxAmplitude = 1024;

}  // namespace

TOrinWave::TOrinWave(TOrinBaseList* owner) : TOrinControl(owner) { underlayFlag_ = true; }

int32_t TOrinWave::Shift(int32_t row) const {
  const double wavelength = std::max(wavelength_, 1);
  double phase = row / wavelength;
  if (period_ > 0) phase -= static_cast<double>(clock_ % period_) / period_;
  return static_cast<int32_t>(std::lround(amplitude_ * std::sin(2 * std::numbers::pi * phase)));
}

bool TOrinWave::Step() {
  if (TOrinControl::Step()) return true;
  if (Paused() || period_ <= 0 || amplitude_ == 0) return false;
  const int32_t delta = Owner() ? std::max(Owner()->FrameDelta(), 0) : 0;
  if (delta == 0) return false;
  // Only the phase matters, so the clock wraps at the period and never overflows.
  clock_ = static_cast<int32_t>((int64_t{clock_} + delta) % period_);
  Invalidate();
  return false;
}

void TOrinWave::Draw(ScreenSurface& surface) {
  const TDIBSurface* under = Underlay();
  if (!under || under->Empty() || amplitude_ == 0) return;
  const Rect clip = surface.Clip();
  if (under->Width() != clip.Width() || under->Height() != clip.Height()) return;
  const int32_t top = ScreenY();
  for (int32_t row = 0; row < under->Height(); ++row) {
    const int32_t shift = Shift(clip.Top + row - top);
    if (shift == 0) continue;
    surface.Copy(clip.Left + shift, clip.Top + row, *under, Rect{0, row, under->Width(), row + 1});
  }
}

void TOrinWave::GetProp(int number, TCustomParam& dest) {
  switch (number) {
    case kPropAmplitude:
      dest.SetAsInt(amplitude_);
      return;
    case kPropWavelength:
      dest.SetAsInt(wavelength_);
      return;
    case kPropInterval:
      dest.SetAsInt(period_);
      return;
    default:
      TOrinControl::GetProp(number, dest);
  }
}

void TOrinWave::SetProp(int number, const TCustomParam& value) {
  switch (number) {
    case kPropAmplitude:
      amplitude_ = std::clamp(value.GetAsInt(), -kMaxAmplitude, kMaxAmplitude);
      Invalidate();
      return;
    case kPropWavelength:
      wavelength_ = std::max(value.GetAsInt(), 1);
      Invalidate();
      return;
    case kPropInterval:
      period_ = value.GetAsInt();
      if (period_ > 0) clock_ %= period_;
      return;
    default:
      TOrinControl::SetProp(number, value);
  }
}

void TOrinWave::Save(Stream& s, int version) const {
  TOrinControl::Save(s, version);
  WriteInt32(s, kRecordVersion);
  WriteInt32(s, amplitude_);
  WriteInt32(s, wavelength_);
  WriteInt32(s, period_);
  WriteInt32(s, clock_);
  WriteByte(s, Stopped());
}

void TOrinWave::Load(Stream& s, int version) {
  TOrinControl::Load(s, version);
  const int32_t record = ReadInt32(s);
  if (record < 1 || record > kRecordVersion)
    throw Error("wave: unknown record version " + std::to_string(record));
  amplitude_ = std::clamp(ReadInt32(s), -kMaxAmplitude, kMaxAmplitude);
  wavelength_ = std::max(ReadInt32(s), 1);
  period_ = ReadInt32(s);
  clock_ = std::max(ReadInt32(s), 0);
  if (period_ > 0) clock_ %= period_;
  SetStopped(ReadByte(s) != 0);
}

}  // namespace orin
