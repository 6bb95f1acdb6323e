#include "scene/objects/orin_cinema.h"

#include <algorithm>

#include "core/error.h"
#include "imaging/screen_surface.h"
#include "params/custom_param.h"
#include "resources/stream.h"
#include "scene/model/orin_base.h"
#include "scene/model/orin_base_list.h"
#include "scene/model/property_table.h"

namespace orin {

namespace {

constexpr int kPropSpeed = 28;
constexpr int kPropHold = 139;
constexpr int kPropFlag158 = 158;
constexpr int32_t kRecordVersion = 1;
// The film's screen is a real surface: its sides are kept to what a screen may be.
constexpr int32_t kMaxSide = 4096;

}  // namespace

// ---- TOrinPrevImages

void TOrinPrevImages::SetFile(const std::string& file) {
  file_ = file;
  ResetImage();
  List(0).Load(Services().Images(), file);
  if (!Images().Empty()) ShowImage(0);
}

void TOrinPrevImages::Rewind(int32_t n) { SetIndex(n); }

bool TOrinPrevImages::LastImageRanOut() {
  if (Loop()) return TOrinCustomImages::LastImageRanOut();
  SetAnimationFinished(true);
  return false;
}

// ---- TOrinCinema

TOrinCinema::TOrinCinema(TOrinBaseList* owner, const SceneServices& services)
    : TOrinControl(owner), services_(services) {}

TOrinCinema::~TOrinCinema() = default;

void TOrinCinema::FitFilm() {
  if (!film_) return;
  const int w = std::clamp(Width(), 1, kMaxSide), h = std::clamp(Height(), 1, kMaxSide);
  if (film_->Width() != w || film_->Height() != h) film_->SetSize(w, h);
}

void TOrinCinema::SetFile(const std::string& file) {
  file_ = file;
  player_ = nullptr;
  film_.reset();
  ended_ = false;
  carry_ = 0;
  if (!file.empty()) {
    // The film shows pictures only: its scene makes no objects by kind.
    film_ = std::make_unique<TOrinBaseListCinema>(Owner() ? Owner()->Files() : nullptr, services_, ObjectClasses());
    FitFilm();
    player_ = static_cast<TOrinPrevImages*>(film_->Adopt(std::make_unique<TOrinPrevImages>(film_.get(), services_)));
    film_->ActiveRoot().SetColor(Color() >= 0 ? Color() : 0);
    player_->Rename("film");
    player_->SetLoop(loop_);
    player_->SetFile(file);
    if (player_->Images().Empty()) ended_ = true;
  }
  Invalidate();
}

bool TOrinCinema::Step() {
  if (TOrinControl::Step()) return true;
  if (!player_ || ended_ || Paused() || speed_ <= 0) return false;
  const int32_t delta = Owner() ? std::max(Owner()->FrameDelta(), 0) : 0;
  const int64_t scaled = carry_ + int64_t{delta} * speed_;
  const int32_t filmDelta = static_cast<int32_t>(std::min<int64_t>(scaled / 1000, INT32_MAX));
  carry_ = scaled % 1000;
  FitFilm();
  const int32_t before = player_->Index();
  filmClock_ = static_cast<int32_t>((int64_t{filmClock_} + filmDelta) & 0x7FFFFFFF);
  film_->InputStep(filmClock_, filmDelta);
  film_->Step();
  if (player_->Index() != before) Invalidate();
  if (player_->AnimationFinished()) {
    ended_ = true;
    if (freeWhenFinished_) return true;
    QueueEvent(Label(kEventMotionFinished), kEventMotionFinished, nullptr, false);
    if (!hold_) Invalidate();
  }
  return false;
}

void TOrinCinema::Draw(ScreenSurface& surface) {
  if (!film_ || (ended_ && !hold_)) return;
  FitFilm();
  film_->Draw();
  film_->ClearDirty();
  const ScreenSurface& screen = film_->ActiveRoot().Surface();
  if (screen.Depth() != surface.Depth()) return;
  surface.Copy(ScreenX(), ScreenY(), screen, screen.Bounds());
}

void TOrinCinema::GetProp(int number, TCustomParam& dest) {
  switch (number) {
    case kPropFile:
      dest.SetAsStr(file_);
      return;
    case kPropSpeed:
      dest.SetAsInt(speed_);
      return;
    case kPropLoop:
      dest.SetAsFlag(loop_);
      return;
    case kPropOneShot:
      dest.SetAsFlag(freeWhenFinished_);
      return;
    case kPropIndex:
      dest.SetAsInt(player_ ? player_->Index() : -1);
      return;
    case kPropBusy:
      dest.SetAsFlag(player_ && !ended_);
      return;
    case kPropHold:
      dest.SetAsFlag(hold_);
      return;
    case kPropFlag158:
      dest.SetAsFlag(flag158_);
      return;
    default:
      TOrinControl::GetProp(number, dest);
  }
}

void TOrinCinema::SetProp(int number, const TCustomParam& value) {
  switch (number) {
    case kPropFile:
      SetFile(value.GetAsStr());
      return;
    case kPropSpeed:
      speed_ = value.GetAsInt();
      return;
    case kPropLoop:
      loop_ = value.GetAsFlag();
      if (player_) player_->SetLoop(loop_);
      // Switching loop on plays an ended film again.
      if (loop_ && ended_ && player_ && !player_->Images().Empty()) {
        ended_ = false;
        player_->Rewind(0);
        Invalidate();
      }
      return;
    case kPropOneShot:
      freeWhenFinished_ = value.GetAsFlag();
      return;
    case kPropIndex:
      if (player_ && !player_->Images().Empty()) {
        player_->Rewind(value.GetAsInt());
        ended_ = player_->Index() < 0;
        Invalidate();
      }
      return;
    case kPropHold:
      hold_ = value.GetAsFlag();
      Invalidate();
      return;
    case kPropFlag158:
      flag158_ = value.GetAsFlag();
      return;
    default:
      TOrinControl::SetProp(number, value);
  }
}

void TOrinCinema::Save(Stream& s, int version) const {
  TOrinControl::Save(s, version);
  WriteInt32(s, kRecordVersion);
  WriteString(s, file_);
  WriteInt32(s, speed_);
  WriteByte(s, loop_);
  WriteByte(s, freeWhenFinished_);
  WriteByte(s, hold_);
  WriteByte(s, flag158_);
  WriteString(s, Label(kEventMotionFinished));
  WriteString(s, Label(kEventEveryFrame));
  WriteByte(s, Stopped());
  WriteInt32(s, player_ ? player_->Index() : -1);
  WriteByte(s, ended_);
}

void TOrinCinema::Load(Stream& s, int version) {
  TOrinControl::Load(s, version);
  const int32_t record = ReadInt32(s);
  if (record < 1 || record > kRecordVersion)
    throw Error("cinema: unknown record version " + std::to_string(record));
  const std::string file = ReadString(s);
  speed_ = ReadInt32(s);
  loop_ = ReadByte(s) != 0;
  freeWhenFinished_ = ReadByte(s) != 0;
  hold_ = ReadByte(s) != 0;
  flag158_ = ReadByte(s) != 0;
  SetLabel(kEventMotionFinished, ReadString(s));
  SetLabel(kEventEveryFrame, ReadString(s));
  SetStopped(ReadByte(s) != 0);
  const int32_t index = ReadInt32(s);
  const bool ended = ReadByte(s) != 0;
  SetFile(file);
  if (player_ && index >= 0 && index < player_->Images().Count()) player_->Rewind(index);
  if (ended && player_) {
    ended_ = true;
  }
}

}  // namespace orin
