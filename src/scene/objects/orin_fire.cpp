#include "scene/objects/orin_fire.h"

#include <algorithm>

#include "core/error.h"
#include "imaging/screen_surface.h"
#include "params/custom_param.h"
#include "resources/stream.h"
#include "scene/model/orin_base_list.h"
#include "scene/model/property_table.h"
#include "scene/objects/orin_particle.h"

namespace orin {

namespace {

constexpr int kPropHeat = 89;
constexpr int kPropCooling = 90;
constexpr int kPropMode = 91;
constexpr int32_t kRecordVersion = 1;

// Cells of the field along one side: the side in pixels over the cell size, at least 1 for a
// non-empty side; 0 for an empty or negative one.
int32_t Cells(int32_t pixels, int32_t zoom) {
  if (pixels < 1) return 0;
  const int64_t cells = int64_t{pixels} * 256 / std::max(zoom, 1);
  return static_cast<int32_t>(std::clamp<int64_t>(cells, 1, 4096));
}

// Black, red, yellow, white as the heat climbs.
uint32_t FlameColor(int heat) {
  const int r = std::min(255, heat * 3);
  const int g = std::clamp(heat * 3 - 255, 0, 255);
  const int b = std::clamp(heat * 3 - 510, 0, 255);
  return static_cast<uint32_t>(r << 16 | g << 8 | b);
}

}  // namespace

TOrinFire::TOrinFire(TOrinBaseList* owner, const SceneServices& services)
    : TOrinControl(owner), services_(services) {}

TOrinFire::~TOrinFire() = default;

void TOrinFire::Resize() {
  int32_t w = Cells(Width(), ZoomX()), h = Cells(Height(), ZoomY());
  // Keep the field within its budget by taking coarser cells in both directions.
  while (int64_t{w} * h > kMaxCells) {
    w = std::max(w / 2, 1);
    h = std::max(h / 2, 1);
  }
  if (w == fieldW_ && h == fieldH_) return;
  fieldW_ = w;
  fieldH_ = h;
  const size_t cells = static_cast<size_t>(w) * static_cast<size_t>(h);
  heat_.assign(cells, 0);
  next_.assign(cells, 0);
  if (cells > 0) {
    picture_.SetSize(w, h, 32);
    picture_.CreateAlpha();
  }
  painted_ = false;
}

void TOrinFire::Tick() {
  RunTimeRandom& random = EffectRandom(services_, ownRandom_);
  const int32_t w = fieldW_, h = fieldH_;
  uint8_t* bottom = heat_.data() + static_cast<size_t>(h - 1) * w;
  for (int32_t x = 0; x < w; ++x) bottom[x] = static_cast<uint8_t>(random.Next(strength_ + 1));
  // Heat moves up: a cell takes the mean of its neighbourhood one and two rows below.
  for (int32_t y = 0; y < h - 1; ++y) {
    const uint8_t* below = heat_.data() + static_cast<size_t>(y + 1) * w;
    const uint8_t* below2 = y + 2 < h ? heat_.data() + static_cast<size_t>(y + 2) * w : below;
    uint8_t* out = next_.data() + static_cast<size_t>(y) * w;
    for (int32_t x = 0; x < w; ++x) {
      const int left = below[x > 0 ? x - 1 : x], right = below[x + 1 < w ? x + 1 : x];
      const int sum = left + below[x] + right + below2[x];
      out[x] = static_cast<uint8_t>(std::max(sum / 4 - cooling_, 0));
    }
  }
  std::copy(next_.begin(), next_.begin() + static_cast<ptrdiff_t>(static_cast<size_t>(h - 1) * w), heat_.begin());
  painted_ = false;
}

void TOrinFire::Paint() {
  for (int32_t y = 0; y < fieldH_; ++y) {
    auto* row = reinterpret_cast<uint32_t*>(picture_.ScanLine(y));
    uint8_t* cover = picture_.Alpha->ScanLine(y);
    const uint8_t* heat = heat_.data() + static_cast<size_t>(y) * fieldW_;
    for (int32_t x = 0; x < fieldW_; ++x) {
      row[x] = FlameColor(heat[x]);
      cover[x] = static_cast<uint8_t>(std::min(255, heat[x] * 2));
    }
  }
  painted_ = true;
}

bool TOrinFire::Step() {
  if (TOrinControl::Step()) return true;
  Resize();
  if (Paused() || fieldW_ == 0 || fieldH_ == 0) return false;
  const int32_t delta = Owner() ? std::max(Owner()->FrameDelta(), 0) : 0;
  owed_ = std::min<int64_t>(int64_t{owed_} + delta, kTickMs * kMaxTicksPerStep);
  bool ticked = false;
  while (owed_ >= kTickMs) {
    owed_ -= kTickMs;
    Tick();
    ticked = true;
  }
  if (ticked) Invalidate();
  return false;
}

void TOrinFire::Draw(ScreenSurface& surface) {
  Resize();
  if (fieldW_ == 0 || fieldH_ == 0 || surface.Depth() != 32) return;
  if (!painted_) Paint();
  DrawOptions options;
  // With the coverage as the mask, 255 blends by the heat and 256 + 255 adds by it.
  options.Opacity = mode_ == 1 ? 256 + 255 : 255;
  const Rect dest{ScreenX(), ScreenY(), ScreenX() + std::max(Width(), 0), ScreenY() + std::max(Height(), 0)};
  surface.DrawScaled(dest, picture_, picture_.ClientRect(), picture_.Alpha.get(), options);
}

void TOrinFire::SetZoomX(int32_t zoom) {
  TOrinControl::SetZoomX(zoom);
  Invalidate();
}

void TOrinFire::SetZoomY(int32_t zoom) {
  TOrinControl::SetZoomY(zoom);
  Invalidate();
}

void TOrinFire::GetProp(int number, TCustomParam& dest) {
  switch (number) {
    case kPropHeat:
      dest.SetAsInt(strength_);
      return;
    case kPropCooling:
      dest.SetAsInt(cooling_);
      return;
    case kPropMode:
      dest.SetAsInt(mode_);
      return;
    default:
      TOrinControl::GetProp(number, dest);
  }
}

void TOrinFire::SetProp(int number, const TCustomParam& value) {
  switch (number) {
    case kPropHeat:
      strength_ = std::clamp(value.GetAsInt(), 0, 255);
      return;
    case kPropCooling:
      cooling_ = std::clamp(value.GetAsInt(), 0, 255);
      return;
    case kPropMode:
      mode_ = value.GetAsInt() == 1 ? 1 : 0;
      Invalidate();
      return;
    default:
      TOrinControl::SetProp(number, value);
  }
}

void TOrinFire::Save(Stream& s, int version) const {
  TOrinControl::Save(s, version);
  WriteInt32(s, kRecordVersion);
  WriteInt32(s, ZoomX());
  WriteInt32(s, ZoomY());
  WriteInt32(s, strength_);
  WriteInt32(s, cooling_);
  WriteInt32(s, mode_);
  WriteInt32(s, owed_);
  WriteByte(s, Stopped());
}

void TOrinFire::Load(Stream& s, int version) {
  TOrinControl::Load(s, version);
  const int32_t record = ReadInt32(s);
  if (record < 1 || record > kRecordVersion)
    throw Error("fire: unknown record version " + std::to_string(record));
  SetZoomX(ReadInt32(s));
  SetZoomY(ReadInt32(s));
  strength_ = std::clamp(ReadInt32(s), 0, 255);
  cooling_ = std::clamp(ReadInt32(s), 0, 255);
  mode_ = ReadInt32(s) == 1 ? 1 : 0;
  owed_ = std::clamp(ReadInt32(s), 0, kTickMs * kMaxTicksPerStep);
  SetStopped(ReadByte(s) != 0);
}

}  // namespace orin
