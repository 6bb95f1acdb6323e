#include "scene/objects/orin_particle.h"

#include <algorithm>
#include <bit>
#include <cmath>

#include "core/error.h"
#include "imaging/screen_surface.h"
#include "params/custom_param.h"
#include "params/orin_parser.h"
#include "params/param_collection.h"
#include "params/param_host.h"
#include "resources/stream.h"
#include "scene/model/orin_base_list.h"
#include "scene/model/property_table.h"
#include "scene/text/text_services.h"

namespace orin {

namespace {

constexpr int kPropRate = 94;
constexpr int kPropAccelX = 95;
constexpr int kPropAccelY = 96;
constexpr int kPropFade = 102;
constexpr int32_t kRecordVersion = 1;
// Bytes of one saved particle.
constexpr int64_t kParticleBytes = 7 * 4;

// Speeds and accelerations beyond this are clamped: a particle that moves further in one frame
// than any screen is wide is gone anyway, and the floats stay finite.
constexpr float kMaxSpeed = 1.0e6f;

float Clamped(long double v) {
  if (!(v == v)) return 0;  // NaN
  return static_cast<float>(std::clamp<long double>(v, -kMaxSpeed, kMaxSpeed));
}

void SaveExpression(Stream& s, const std::unique_ptr<TOrinParser>& e) {
  if (e) {
    e->SaveToStream(s);
  } else {
    TOrinParser none;
    none.SaveToStream(s);
  }
}

std::unique_ptr<TOrinParser> LoadExpression(Stream& s) {
  auto e = std::make_unique<TOrinParser>();
  e->LoadFromStream(s);
  if (e->Operations.empty()) return nullptr;
  return e;
}

std::unique_ptr<TOrinParser> CopyOf(const TOrinParser& e) {
  if (e.Operations.empty()) return nullptr;
  auto copy = std::make_unique<TOrinParser>();
  copy->Assign(e);
  return copy;
}

}  // namespace

RunTimeRandom& EffectRandom(const SceneServices& services, RunTimeRandom& fallback) {
  if (services.Text && services.Text->Vars) return services.Text->Vars->Host().Random;
  return fallback;
}

// ---- TOrinParticleImages

void TOrinParticleImages::SetFile(const std::string& file) {
  file_ = file;
  List(0).Load(Services().Images(), file);
}

// ---- TOrinParticle

TOrinParticle::TOrinParticle(TOrinBaseList* owner, const SceneServices& services)
    : TOrinControl(owner), services_(services), images_(owner, services) {}

TOrinParticle::~TOrinParticle() = default;

void TOrinParticle::SetSpeedXExpression(const TOrinParser& e) { speedX_ = CopyOf(e); }
void TOrinParticle::SetSpeedYExpression(const TOrinParser& e) { speedY_ = CopyOf(e); }
void TOrinParticle::SetLifeExpression(const TOrinParser& e) { lifeExpr_ = CopyOf(e); }

void TOrinParticle::SetFile(const std::string& file) {
  file_ = file;
  images_.SetFile(file);
  const int32_t count = images_.Images().Count();
  for (Particle& p : particles_)
    if (p.Picture >= count) p.Picture = 0;
  Invalidate();
}

float TOrinParticle::Evaluate(TOrinParser* e, float fallback) {
  TParamCollection* vars = services_.Text ? services_.Text->Vars : nullptr;
  if (!e || !vars) return fallback;
  try {
    e->Execute(*vars);
  } catch (const Error&) {
    return fallback;
  }
  if (!e->Result) return fallback;
  const long double v = e->Result->GetAsFloat();
  if (!(v == v)) return fallback;  // NaN
  return static_cast<float>(std::clamp<long double>(v, -2.0e9L, 2.0e9L));
}

void TOrinParticle::Bear(int32_t count) {
  RunTimeRandom& random = EffectRandom(services_, ownRandom_);
  const int32_t pictures = images_.Images().Count();
  const int32_t w = std::max(Width(), 1), h = std::max(Height(), 1);
  for (int32_t i = 0; i < count; ++i) {
    Particle p;
    p.X = static_cast<float>(random.Next(w));
    p.Y = static_cast<float>(random.Next(h));
    p.Vx = Clamped(Evaluate(speedX_.get(), 0));
    p.Vy = Clamped(Evaluate(speedY_.get(), 0));
    const float life = Evaluate(lifeExpr_.get(), static_cast<float>(life_));
    p.Life = static_cast<int32_t>(std::clamp(life, -1.0f, 2.0e9f));
    if (index_ >= 0 && index_ < pictures)
      p.Picture = index_;
    else
      p.Picture = pictures > 1 ? random.Next(pictures) : 0;
    particles_.push_back(p);
  }
}

bool TOrinParticle::Step() {
  if (TOrinControl::Step()) return true;
  const bool had = !particles_.empty();
  if (Paused()) return false;
  const int32_t delta = Owner() ? std::max(Owner()->FrameDelta(), 0) : 0;
  if (delta == 0) return false;
  const float dt = static_cast<float>(delta) / 1000.0f;
  const float ax = Clamped(accelX_) * dt, ay = Clamped(accelY_) * dt;
  // A particle dies once its picture is wholly outside the rectangle.
  const int32_t pictures = images_.Images().Count();
  const float marginX = pictures ? static_cast<float>(images_.Images()[0].Picture.Color.Width()) : 0.0f;
  const float marginY = pictures ? static_cast<float>(images_.Images()[0].Picture.Color.Height()) : 0.0f;
  const float right = static_cast<float>(Width()) + marginX, bottom = static_cast<float>(Height()) + marginY;
  size_t kept = 0;
  for (Particle& p : particles_) {
    p.Vx = std::clamp(p.Vx + ax, -kMaxSpeed, kMaxSpeed);
    p.Vy = std::clamp(p.Vy + ay, -kMaxSpeed, kMaxSpeed);
    p.X += p.Vx * dt;
    p.Y += p.Vy * dt;
    p.Age = p.Age > INT32_MAX - delta ? INT32_MAX : p.Age + delta;
    const bool expired = p.Life > 0 && p.Age >= p.Life;
    const bool outside = p.X < -marginX || p.Y < -marginY || p.X > right || p.Y > bottom;
    if (!expired && !outside) particles_[kept++] = p;
  }
  particles_.resize(kept);

  if (rate_ > 0) {
    // rate × delta may not fit 32 bits; what exceeds one step's births is dropped, not owed.
    const int64_t owed = int64_t{birthRemainder_} + int64_t{rate_} * delta;
    const int64_t room = std::min<int64_t>(kMaxParticles - static_cast<int64_t>(particles_.size()), kMaxBirthsPerStep);
    const int64_t births = std::min(owed / 1000, std::max<int64_t>(room, 0));
    birthRemainder_ = static_cast<int32_t>(std::min<int64_t>(owed - births * 1000, 1000));
    if (births > 0) Bear(static_cast<int32_t>(births));
  }
  if (had || !particles_.empty()) Invalidate();
  return false;
}

int32_t TOrinParticle::OpacityOf(const Particle& p) const {
  const int32_t alpha = std::min(alpha_, 256 + 65535);
  const long double fade = fade_ > 0 ? std::min<long double>(fade_, 2.0e9L) : 0;
  int32_t weight = 256;  // of 256
  if (fade > 0) {
    long double f = p.Age / fade;
    if (p.Life > 0) f = std::min(f, (p.Life - p.Age) / fade);
    if (f < 1) weight = static_cast<int32_t>(std::max<long double>(f, 0) * 256);
  }
  if (weight >= 256) return alpha;
  if (alpha >= 256) return 256 + ((alpha - 256) * weight >> 8);
  return alpha * weight >> 8;
}

void TOrinParticle::Draw(ScreenSurface& surface) {
  const ImageList& list = images_.Images();
  if (list.Empty() || alpha_ < 1) return;
  const int32_t sx = ScreenX(), sy = ScreenY();
  const Rect clip = surface.Clip();
  for (const Particle& p : particles_) {
    const FrameDrawable& picture = list[p.Picture].Picture;
    const TDIBSurface& color = picture.Color;
    const int64_t x = int64_t{sx} + static_cast<int64_t>(std::floor(p.X)) - color.Width() / 2;
    const int64_t y = int64_t{sy} + static_cast<int64_t>(std::floor(p.Y)) - color.Height() / 2;
    if (x >= clip.Right || y >= clip.Bottom || x + color.Width() <= clip.Left || y + color.Height() <= clip.Top)
      continue;
    DrawOptions options;
    options.Opacity = OpacityOf(p);
    if (options.Opacity < 1) continue;
    options.Key = picture.TransparentValue;
    surface.Draw(static_cast<int>(x), static_cast<int>(y), color, color.ClientRect(), color.Alpha.get(), options);
  }
}

void TOrinParticle::GetProp(int number, TCustomParam& dest) {
  switch (number) {
    case kPropFile:
      dest.SetAsStr(file_);
      return;
    case kPropAlpha:
      dest.SetAsInt(alpha_);
      return;
    case kPropIndex:
      dest.SetAsInt(index_);
      return;
    case kPropInterval:
      dest.SetAsInt(life_);
      return;
    case kPropRate:
      dest.SetAsInt(rate_);
      return;
    case kPropAccelX:
      dest.SetAsFloat(accelX_);
      return;
    case kPropAccelY:
      dest.SetAsFloat(accelY_);
      return;
    case kPropFade:
      dest.SetAsFloat(fade_);
      return;
    case kPropBusy:
      dest.SetAsFlag(!particles_.empty());
      return;
    default:
      TOrinControl::GetProp(number, dest);
  }
}

void TOrinParticle::SetProp(int number, const TCustomParam& value) {
  switch (number) {
    case kPropFile:
      SetFile(value.GetAsStr());
      return;
    case kPropAlpha:
      alpha_ = value.GetAsInt();
      Invalidate();
      return;
    case kPropIndex:
      index_ = value.GetAsInt();
      return;
    case kPropInterval:
      life_ = value.GetAsInt();
      return;
    case kPropRate:
      rate_ = std::max(value.GetAsInt(), 0);
      return;
    case kPropAccelX:
      accelX_ = Clamped(value.GetAsFloat());
      return;
    case kPropAccelY:
      accelY_ = Clamped(value.GetAsFloat());
      return;
    case kPropFade:
      fade_ = std::max<long double>(Clamped(value.GetAsFloat()), 0);
      return;
    default:
      TOrinControl::SetProp(number, value);
  }
}

void TOrinParticle::Save(Stream& s, int version) const {
  TOrinControl::Save(s, version);
  WriteInt32(s, kRecordVersion);
  WriteString(s, file_);
  WriteInt32(s, alpha_);
  WriteInt32(s, index_);
  WriteInt32(s, life_);
  WriteInt32(s, rate_);
  WriteExtended(s, accelX_);
  WriteExtended(s, accelY_);
  WriteExtended(s, fade_);
  WriteByte(s, Stopped());
  SaveExpression(s, speedX_);
  SaveExpression(s, speedY_);
  SaveExpression(s, lifeExpr_);
  WriteInt32(s, birthRemainder_);
  WriteInt32(s, static_cast<int32_t>(particles_.size()));
  for (const Particle& p : particles_) {
    WriteUInt32(s, std::bit_cast<uint32_t>(p.X));
    WriteUInt32(s, std::bit_cast<uint32_t>(p.Y));
    WriteUInt32(s, std::bit_cast<uint32_t>(p.Vx));
    WriteUInt32(s, std::bit_cast<uint32_t>(p.Vy));
    WriteInt32(s, p.Age);
    WriteInt32(s, p.Life);
    WriteInt32(s, p.Picture);
  }
}

void TOrinParticle::Load(Stream& s, int version) {
  TOrinControl::Load(s, version);
  const int32_t record = ReadInt32(s);
  if (record < 1 || record > kRecordVersion)
    throw Error("particle emitter: unknown record version " + std::to_string(record));
  const std::string file = ReadString(s);
  alpha_ = ReadInt32(s);
  index_ = ReadInt32(s);
  life_ = ReadInt32(s);
  rate_ = std::max(ReadInt32(s), 0);
  accelX_ = Clamped(ReadExtended(s));
  accelY_ = Clamped(ReadExtended(s));
  fade_ = std::max<long double>(Clamped(ReadExtended(s)), 0);
  SetStopped(ReadByte(s) != 0);
  speedX_ = LoadExpression(s);
  speedY_ = LoadExpression(s);
  lifeExpr_ = LoadExpression(s);
  birthRemainder_ = std::clamp(ReadInt32(s), 0, 1000);
  const int32_t count = ReadInt32(s);
  if (count < 0 || count > kMaxParticles || int64_t{count} * kParticleBytes > s.Remaining())
    throw Error("particle emitter: damaged record: " + std::to_string(count) + " particles");
  particles_.clear();
  particles_.reserve(static_cast<size_t>(count));
  for (int32_t i = 0; i < count; ++i) {
    Particle p;
    p.X = Clamped(std::bit_cast<float>(ReadUInt32(s)));
    p.Y = Clamped(std::bit_cast<float>(ReadUInt32(s)));
    p.Vx = Clamped(std::bit_cast<float>(ReadUInt32(s)));
    p.Vy = Clamped(std::bit_cast<float>(ReadUInt32(s)));
    p.Age = std::max(ReadInt32(s), 0);
    p.Life = ReadInt32(s);
    p.Picture = std::max(ReadInt32(s), 0);
    particles_.push_back(p);
  }
  SetFile(file);
}

}  // namespace orin
