#include "media/orin_sound.h"

#include <algorithm>
#include <limits>

#include "media/media_engine.h"
#include "media/media_item.h"
#include "media/media_set.h"
#include "params/custom_param.h"
#include "resources/file_manager.h"
#include "resources/stream.h"
#include "scene/model/orin_base_list.h"
#include "scene/model/property_table.h"

namespace orin {

namespace {

constexpr int32_t kSilent = -10000;
// Sounds up to this long that do not loop are not resumed by a load.
constexpr int32_t kShortSoundMs = 2999;

enum : int {
  kPropSoundVolume = 28,
  kPropSoundPan = 30,
  kPropRestartFlag = 139,
  kPropSilenceFlag = 158,
};

int32_t ClampToInt32(int64_t v) {
  return static_cast<int32_t>(
      std::clamp<int64_t>(v, std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max()));
}

bool IsCdTrackName(const std::string& name) { return name.compare(0, 3, "CD_") == 0; }

}  // namespace

MediaObject* AsMediaObject(TOrinObject* object) { return dynamic_cast<MediaObject*>(object); }

// ---- Fades

TOrinMixer::TOrinMixer(TDMediaItem& item, int32_t from, int32_t to, int32_t fadeTime, uint32_t startMs, bool midi)
    : item_(item), from_(from), to_(to), fadeTime_(fadeTime), startMs_(startMs), midi_(midi) {}

int32_t TOrinMixer::VolumeAt(int64_t elapsed) const {
  if (elapsed >= fadeTime_ || fadeTime_ <= 0) return to_;
  // 64-bit products: a long fade times the span overflows 32 bits.
  const int64_t whole = int64_t{to_} - from_;
  const int64_t span = midi_ ? whole : whole / 2;
  // The half-span start point is what makes the upper-half fade; a MIDI fade up starts from its
  // start volume, else it would begin at the target and overshoot it.
  if (from_ > to_ || midi_) return ClampToInt32(from_ + elapsed * span / fadeTime_);
  return ClampToInt32(from_ + span + elapsed * span / fadeTime_);
}

bool TOrinMixer::Update(uint32_t clockMs) {
  // Unsigned difference: the media clock may wrap like any millisecond counter.
  const int64_t elapsed = static_cast<uint32_t>(clockMs - startMs_);
  item_.SetVol(VolumeAt(elapsed));
  return elapsed >= fadeTime_;
}

TOrinMixerFadein::TOrinMixerFadein(TDMediaItem& item, int32_t volume, int32_t fadeTime, uint32_t startMs, bool midi)
    : TOrinMixer(item, kSilent, volume, fadeTime, startMs, midi) {
  item.SetVol(kSilent);
  item.Play();
}

TOrinMixerFadeout::TOrinMixerFadeout(TDMediaItem& item, int32_t fadeTime, uint32_t startMs, bool midi)
    : TOrinMixer(item, item.GetVol(), kSilent, fadeTime, startMs, midi) {}

// ---- The object

TOrinSound::TOrinSound(TOrinBaseList* owner, MediaSet& media) : TOrinComponent(owner), media_(media) {}

TOrinSound::~TOrinSound() { ReleaseItem(); }

int32_t TOrinSound::ItemVolume(int32_t volume, bool midi) {
  if (midi) return ClampToInt32(int64_t{volume} * 10 - 10000);
  const int64_t t = int64_t{volume} * 5 - 5000;
  if (t <= -5000) return kSilent;
  if (t > 0) return 0;
  return static_cast<int32_t>(t);
}

bool TOrinSound::IsMidi() const { return item_ && item_->Manager().Kind() == MediaKind::kMidi; }

uint32_t TOrinSound::ClockMs() const { return media_.Engine().ClockMs(); }

void TOrinSound::ReleaseItem() {
  fader_.reset();
  fadingOut_ = false;
  if (!item_) return;
  TDMediaItem* item = item_;
  item_ = nullptr;
  item->Manager().Remove(item);
}

void TOrinSound::StartFadeIn() {
  if (!item_) return;
  fader_ = std::make_unique<TOrinMixerFadein>(*item_, ItemVolume(), fadeTime_, ClockMs(), IsMidi());
  fadingOut_ = false;
}

void TOrinSound::SetSource(const std::string& source) {
  if (source == source_) return;
  ReleaseItem();
  source_ = source;
  state_ = kStopped;
  paused_ = false;
  position_ = 0;
  finished_ = false;
}

void TOrinSound::SetState(uint8_t state) {
  fader_.reset();
  fadingOut_ = false;
  if (state == kFadeIn && fadeTime_ <= 0) state = kPlay;
  if ((state == kPlay || state == kFadeIn) && !item_) {
    TDMediaItem* item = nullptr;
    if (media_.Engine().Files().Exists(source_) || IsCdTrackName(source_)) item = media_.Open(source_);
    if (!item) {
      media_.Engine().Trace(source_ + ": there is no such sound; nothing plays");
      state_ = kStopped;
      if (freeWhenFinished_) Delete();
      return;
    }
    item_ = item;
    item_->SetPan(pan_);
    item_->SetAutoRepeat(loop_);
    // A position set before the item existed (a loaded save) is where it starts.
    if (position_ > 0) item_->SetPosition(position_);
  }
  if (state == kStopped) {
    ReleaseItem();
    position_ = 0;
    state_ = state;
    Delete();
    return;
  }
  state_ = state;
  switch (state) {
    case kPlay:
      item_->SetVol(ItemVolume());
      if (paused_)
        item_->Pause();
      else
        item_->Play();
      break;
    case kFadeIn:
      if (!paused_) StartFadeIn();
      break;
    case kFadeOut:
      if (!item_) {
        Delete();
        break;
      }
      fader_ = std::make_unique<TOrinMixerFadeout>(*item_, fadeTime_, ClockMs(), IsMidi());
      fadingOut_ = true;
      position_ = 0;
      Rename(std::string("\x01SCRAP_") + Name());
      break;
    default:
      break;
  }
}

void TOrinSound::Restart() {
  position_ = 0;
  paused_ = false;
  finished_ = false;
  state_ = kFadeIn;
  if (!item_) return;
  fader_.reset();
  fadingOut_ = false;
  if (fadeTime_ <= 0) {
    item_->SetVol(ItemVolume());
    item_->SetPosition(0);
    if (!item_->IsPlaying()) item_->Play();
  } else {
    item_->Pause();
    item_->SetVol(kSilent);
    item_->SetPosition(0);
    StartFadeIn();
  }
}

void TOrinSound::SetLoop(bool loop) {
  const bool turnedOn = loop && !loop_;
  loop_ = loop;
  if (!item_) return;
  item_->SetAutoRepeat(loop);
  if (turnedOn && !paused_ && item_->GetPosition() >= item_->GetLen() - 1) {
    item_->SetPosition(0);
    finished_ = false;
    // The ended item stopped; rewound, it plays on, now looping.
    if (!item_->IsPlaying()) item_->Play();
  }
}

void TOrinSound::ApplyPause() {
  if (!item_) return;
  if (paused_ || muted_) {
    item_->Pause();
    item_->SetVol(kSilent);
  } else if (state_ == kFadeIn) {
    StartFadeIn();
  } else {
    item_->SetVol(ItemVolume());
    item_->Play();
  }
}

void TOrinSound::SetPaused(bool paused) {
  if (paused == paused_) return;
  paused_ = paused;
  ApplyPause();
}

void TOrinSound::SetMuted(bool muted) {
  if (muted == muted_) return;
  muted_ = muted;
  ApplyPause();
}

void TOrinSound::SetVolume(int32_t volume) {
  if (volume == volume_) return;
  volume_ = volume;
  if (item_) item_->SetVol(ItemVolume());
}

void TOrinSound::SetPan(int32_t pan) {
  pan_ = std::clamp(pan, -10000, 10000);
  if (item_) item_->SetPan(pan_);
}

void TOrinSound::SetPosition(int32_t ms) {
  position_ = ms;
  finished_ = false;
  if (!item_) return;
  item_->SetPosition(ms);
  if (!paused_ && !item_->IsPlaying()) item_->Play();
}

bool TOrinSound::IsPlaying() { return item_ && item_->IsPlaying(); }

int32_t TOrinSound::Length() {
  if (item_) return item_->GetLen();
  TDMediaItem* probe = media_.Open(source_);
  if (!probe) return 0;
  const int32_t length = probe->GetLen();
  probe->Manager().Remove(probe);
  return length;
}

bool TOrinSound::Step() {
  if (item_ && item_->IsEnd()) {
    if (loop_) {
      item_->SetPosition(0);
    } else if (!finished_) {
      // Once: the item keeps answering that it has ended until it is moved again.
      finished_ = true;
      if (!freeWhenFinished_) QueueEvent(endLabel_, kEventMotionFinished);
    }
  }
  if (fader_ && fader_->Update(ClockMs())) {
    const bool out = fadingOut_;
    fader_.reset();
    fadingOut_ = false;
    if (out) return true;
  }
  return finished_ && freeWhenFinished_;
}

void TOrinSound::GetProp(int number, TCustomParam& dest) {
  switch (number) {
    case kPropFile: dest.SetAsStr(source_); return;
    case kPropInterval: dest.SetAsInt(fadeTime_); return;
    case kPropSoundVolume: dest.SetAsInt(volume_); return;
    case kPropLoop: dest.SetAsFlag(loop_); return;
    case kPropSoundPan: dest.SetAsInt(pan_); return;
    case kPropFinishedLabel: dest.SetAsStr(endLabel_); return;
    case kPropIndex: dest.SetAsInt(item_ ? item_->GetPosition() : position_); return;
    case kPropOneShot: dest.SetAsFlag(freeWhenFinished_); return;
    case kPropPaused: dest.SetAsFlag(paused_); return;
    case kPropBusy: dest.SetAsFlag(IsPlaying()); return;
    case kPropRestartFlag: dest.SetAsFlag(restartFlag_); return;
    case kPropSilenceFlag: dest.SetAsFlag(silenceFlag_); return;
    default: TOrinComponent::GetProp(number, dest);
  }
}

void TOrinSound::SetProp(int number, const TCustomParam& value) {
  switch (number) {
    case kPropFile: SetSource(value.GetAsStr()); return;
    case kPropInterval: SetFadeTime(value.GetAsInt()); return;
    case kPropSoundVolume: SetVolume(value.GetAsInt()); return;
    case kPropLoop: SetLoop(value.GetAsFlag()); return;
    case kPropSoundPan: SetPan(value.GetAsInt()); return;
    case kPropFinishedLabel: SetEndLabel(value.GetAsStr()); return;
    case kPropIndex: SetPosition(value.GetAsInt()); return;
    case kPropOneShot: SetFreeWhenFinished(value.GetAsFlag()); return;
    case kPropPaused: SetPaused(value.GetAsFlag()); return;
    case kPropBusy: return;
    case kPropRestartFlag: restartFlag_ = value.GetAsFlag(); return;
    case kPropSilenceFlag: silenceFlag_ = value.GetAsFlag(); return;
    default: TOrinComponent::SetProp(number, value);
  }
}

void TOrinSound::Save(Stream& s, int version) const {
  TOrinComponent::Save(s, version);
  WriteString(s, source_);
  WriteByte(s, loop_);
  WriteByte(s, freeWhenFinished_);
  WriteByte(s, paused_);
  WriteByte(s, muted_);
  WriteByte(s, finished_);
  WriteInt32(s, volume_);
  WriteInt32(s, pan_);
  WriteInt32(s, fadeTime_);
  WriteInt32(s, item_ ? item_->GetPosition() : position_);
  const bool resumable = loop_ || (item_ && item_->GetLen() > kShortSoundMs) || state_ > kFadeIn;
  WriteByte(s, resumable ? state_ : kStopped);
  WriteString(s, endLabel_);
  if (version > 107) WriteByte(s, restartFlag_);
  if (version > 128) WriteByte(s, silenceFlag_);
}

void TOrinSound::Load(Stream& s, int version) {
  TOrinComponent::Load(s, version);
  const std::string source = ReadString(s);
  loop_ = ReadByte(s) != 0;
  freeWhenFinished_ = ReadByte(s) != 0;
  const bool paused = ReadByte(s) != 0;
  const bool muted = ReadByte(s) != 0;
  const bool finished = ReadByte(s) != 0;
  volume_ = ReadInt32(s);
  pan_ = std::clamp(ReadInt32(s), -10000, 10000);
  const int32_t fadeTime = ReadInt32(s);
  const int32_t position = ReadInt32(s);
  uint8_t state = ReadByte(s);
  endLabel_ = ReadString(s);
  restartFlag_ = version > 107 && ReadByte(s) != 0;
  silenceFlag_ = version > 128 && ReadByte(s) != 0;
  if (state > kFadeOut) state = kStopped;

  if (silenceFlag_) volume_ = 0;
  SetSource(source);
  position_ = restartFlag_ ? 0 : position;
  paused_ = paused;
  muted_ = muted;
  finished_ = finished;
  // A sound saved while it faded out plays first, so its fade runs from where it was.
  if (state == kFadeOut) SetState(kPlay);
  fadeTime_ = fadeTime;
  if (finished_) {
    state_ = state;
  } else {
    SetState(state);
  }
  if ((paused_ || muted_) && !IsDeleted()) ApplyPause();
}

}  // namespace orin
