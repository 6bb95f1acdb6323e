#include "media/orin_video.h"

#include <algorithm>

#include "imaging/screen_surface.h"
#include "media/media_engine.h"
#include "media/media_set.h"
#include "media/orin_sound.h"
#include "media/video_manager.h"
#include "params/custom_param.h"
#include "resources/file_manager.h"
#include "resources/stream.h"
#include "scene/model/property_table.h"

namespace orin {
namespace {

enum : int {
  kPropVideoVolume = 28,
  kPropVideoPan = 30,
  kPropRestartFlag = 139,
  kPropOverlay = 150,
  kPropSilenceFlag = 158,
};

}  // namespace

TOrinVideo::TOrinVideo(TOrinBaseList* owner, const SceneServices& services, MediaSet& media)
    : TOrinCustomImage(owner, services), media_(media) {}

TOrinVideo::~TOrinVideo() { ReleaseItem(); }

int32_t TOrinVideo::ItemVolume() const { return TOrinSound::ItemVolume(volume_, false); }

bool TOrinVideo::Holding() const { return Paused() || !Showing(); }

uint32_t TOrinVideo::ClockMs() const { return media_.Engine().ClockMs(); }

void TOrinVideo::ReleaseItem() {
  fader_.reset();
  fadingOut_ = false;
  if (!item_) return;
  TVideoItem* item = item_;
  item_ = nullptr;
  item->Manager().Remove(item);
}

void TOrinVideo::StartFadeIn() {
  if (!item_) return;
  fader_ = std::make_unique<TOrinMixerFadein>(*item_, ItemVolume(), fadeTime_, ClockMs(), false);
  fadingOut_ = false;
}

void TOrinVideo::SetSource(const std::string& source) {
  if (source == source_) return;
  SetState(kStopped);
  source_ = source;
  finished_ = false;
}

void TOrinVideo::SetState(uint8_t state) {
  fader_.reset();
  fadingOut_ = false;
  if (state == kFadeIn && fadeTime_ <= 0) state = kPlay;
  if ((state == kPlay || state == kFadeIn) && !item_) {
    if (source_.empty() || !media_.Engine().Files().Exists(source_)) {
      media_.Engine().Trace(source_ + ": there is no such movie; nothing plays");
      return;
    }
    item_ = static_cast<TVideoItem*>(media_.Video().Add(source_));
    item_->SetAutoRepeat(loop_);
    item_->SetPan(pan_);
    frame_ = std::make_shared<FrameDrawable>();
    frame_->Color.SetSize(std::max(1, item_->SourceWidth()), std::max(1, item_->SourceHeight()), 32);
    // The picture sizes the object: the movie's size times the zoom.
    SetPicture(frame_);
    finished_ = false;
    holding_ = false;
  }
  if (state == kStopped) {
    if (item_) {
      Invalidate();
      ReleaseItem();
      SetPicture(nullptr);
      frame_.reset();
    }
    pendingPosition_ = 0;
    state_ = kStopped;
    return;
  }
  state_ = state;
  switch (state) {
    case kPlay:
      item_->SetVol(ItemVolume());
      item_->Play();
      holding_ = Holding();
      if (holding_) item_->Pause();
      break;
    case kFadeIn:
      holding_ = Holding();
      if (!holding_) StartFadeIn();
      break;
    case kFadeOut:
      if (!item_) {
        Delete();
        return;
      }
      fader_ = std::make_unique<TOrinMixerFadeout>(*item_, fadeTime_, ClockMs(), false);
      fadingOut_ = true;
      return;
    default:
      return;
  }
  // A loaded save or an overlay switch starts where the movie was.
  if (pendingPosition_ > 0) {
    item_->SetPosition(pendingPosition_);
    pendingPosition_ = 0;
  }
}

void TOrinVideo::Restart() {
  pendingPosition_ = 0;
  finished_ = false;
  SetPaused(false);
  if (!item_) {
    SetState(kFadeIn);
    return;
  }
  state_ = kFadeIn;
  fader_.reset();
  fadingOut_ = false;
  item_->SetPosition(0);
  if (fadeTime_ <= 0) {
    state_ = kPlay;
    item_->SetVol(ItemVolume());
    if (!item_->IsPlaying()) item_->Play();
  } else {
    item_->Pause();
    StartFadeIn();
  }
  holding_ = false;
}

void TOrinVideo::SetLoop(bool loop) {
  loop_ = loop;
  if (item_) item_->SetAutoRepeat(loop);
}

void TOrinVideo::SetVolume(int32_t volume) {
  if (volume == volume_) return;
  volume_ = volume;
  if (item_ && !fader_) item_->SetVol(ItemVolume());
}

void TOrinVideo::SetPan(int32_t pan) {
  pan_ = std::clamp(pan, -10000, 10000);
  if (item_) item_->SetPan(pan_);
}

int32_t TOrinVideo::Position() { return item_ ? item_->GetPosition() : pendingPosition_; }

void TOrinVideo::SetPosition(int32_t ms) {
  ms = std::max(ms, 0);
  finished_ = false;
  if (!item_) {
    pendingPosition_ = ms;
    return;
  }
  item_->SetPosition(ms);
  if (!holding_ && !item_->IsPlaying()) item_->Play();
}

void TOrinVideo::SetOverlay(bool overlay) {
  if (overlay == overlay_) return;
  overlay_ = overlay;
  if (!item_ || state_ == kFadeOut) {
    Invalidate();
    return;
  }
  const int32_t at = item_->GetPosition();
  SetState(kStopped);
  pendingPosition_ = at;
  SetState(kPlay);
}

bool TOrinVideo::IsPlaying() { return item_ && item_->IsPlaying(); }

int32_t TOrinVideo::Length() {
  if (item_) return item_->GetLen();
  if (source_.empty() || !media_.Engine().Files().Exists(source_)) return 0;
  TDMediaItem* probe = media_.Video().Add(source_);
  const int32_t length = probe->GetLen();
  media_.Video().Remove(probe);
  return length;
}

void TOrinVideo::ApplyPause() {
  if (!item_ || state_ == kFadeOut) return;
  const bool hold = Holding();
  if (hold == holding_) return;
  holding_ = hold;
  if (hold) {
    fader_.reset();
    item_->Pause();
  } else if (state_ == kFadeIn) {
    StartFadeIn();
  } else {
    item_->SetVol(ItemVolume());
    item_->Play();
  }
}

void TOrinVideo::OverlayPlacement(Rect& screen, Rect& source) const {
  screen = Rect{};
  source = Rect{};
  if (!item_ || !Showing()) return;
  const int64_t zx = std::max(1, ZoomX()), zy = std::max(1, ZoomY());
  const int64_t w = item_->SourceWidth(), h = item_->SourceHeight();
  const int64_t left = ScreenX(), top = ScreenY();
  const int64_t right = left + w * zx / 256, bottom = top + h * zy / 256;
  if (left < INT32_MIN || top < INT32_MIN || right > INT32_MAX || bottom > INT32_MAX) return;
  const Rect full{static_cast<int32_t>(left), static_cast<int32_t>(top), static_cast<int32_t>(right),
                  static_cast<int32_t>(bottom)};
  Rect clipped = full;
  if (Parent() && !IntersectRect(clipped, full, Parent()->EffectiveClip())) return;
  const Rect part{static_cast<int32_t>((int64_t{clipped.Left} - full.Left) * 256 / zx),
                  static_cast<int32_t>((int64_t{clipped.Top} - full.Top) * 256 / zy),
                  static_cast<int32_t>(w - (int64_t{full.Right} - clipped.Right) * 256 / zx),
                  static_cast<int32_t>(h - (int64_t{full.Bottom} - clipped.Bottom) * 256 / zy)};
  if (part.IsEmpty()) return;
  screen = clipped;
  source = part;
}

bool TOrinVideo::Step() {
  bool gone = TOrinCustomImage::Step();
  if (item_) {
    ApplyPause();
    if (frame_ && item_->NeedPaint() && item_->TakeFrame(frame_->Color)) Invalidate();
    if (!loop_ && !finished_ && !fadingOut_ && item_->IsEnd()) {
      finished_ = true;
      if (freeWhenFinished_) return true;
      QueueEvent(Label(kEventMotionFinished), kEventMotionFinished);
    }
  }
  if (fader_ && fader_->Update(ClockMs())) {
    const bool out = fadingOut_;
    fader_.reset();
    fadingOut_ = false;
    if (out) {
      Invalidate();
      return true;
    }
  }
  return gone;
}

void TOrinVideo::Draw(ScreenSurface& surface) {
  // Until the first frame arrives there is nothing to show (not a black box).
  if (!item_ || !frame_ || item_->FrameTime() < 0) return;
  if (!overlay_) {
    TOrinCustomImage::Draw(surface);
    return;
  }
  Rect screen, part;
  OverlayPlacement(screen, part);
  if (screen.IsEmpty()) return;
  if (screen.Width() == part.Width() && screen.Height() == part.Height())
    surface.Copy(screen.Left, screen.Top, frame_->Color, part);
  else
    surface.DrawScaled(screen, frame_->Color, part, nullptr, DrawOptions{});
}

void TOrinVideo::GetProp(int number, TCustomParam& dest) {
  switch (number) {
    case kPropFile: dest.SetAsStr(source_); return;
    case kPropInterval: dest.SetAsInt(fadeTime_); return;
    case kPropVideoVolume: dest.SetAsInt(volume_); return;
    case kPropLoop: dest.SetAsFlag(loop_); return;
    case kPropVideoPan: dest.SetAsInt(pan_); return;
    case kPropIndex: dest.SetAsInt(Position()); return;
    case kPropOneShot: dest.SetAsFlag(freeWhenFinished_); return;
    case kPropBusy: dest.SetAsFlag(IsPlaying()); return;
    case kPropRestartFlag: dest.SetAsFlag(restartFlag_); return;
    case kPropOverlay: dest.SetAsFlag(overlay_); return;
    case kPropSilenceFlag: dest.SetAsFlag(silenceFlag_); return;
    default: TOrinCustomImage::GetProp(number, dest);
  }
}

void TOrinVideo::SetProp(int number, const TCustomParam& value) {
  switch (number) {
    case kPropFile: SetSource(value.GetAsStr()); return;
    case kPropInterval: SetFadeTime(value.GetAsInt()); return;
    case kPropVideoVolume: SetVolume(value.GetAsInt()); return;
    case kPropLoop: SetLoop(value.GetAsFlag()); return;
    case kPropVideoPan: SetPan(value.GetAsInt()); return;
    case kPropIndex: SetPosition(value.GetAsInt()); return;
    case kPropOneShot: SetFreeWhenFinished(value.GetAsFlag()); return;
    case kPropBusy: return;
    case kPropRestartFlag: restartFlag_ = value.GetAsFlag(); return;
    case kPropOverlay: SetOverlay(value.GetAsFlag()); return;
    case kPropSilenceFlag: silenceFlag_ = value.GetAsFlag(); return;
    case kPropPaused:
    case kPropVisible:
      TOrinCustomImage::SetProp(number, value);
      ApplyPause();
      return;
    default: TOrinCustomImage::SetProp(number, value);
  }
}

void TOrinVideo::Save(Stream& s, int version) const {
  TOrinCustomImage::Save(s, version);
  WriteString(s, source_);
  WriteByte(s, loop_);
  WriteByte(s, freeWhenFinished_);
  WriteByte(s, Paused());
  WriteInt32(s, volume_);
  WriteInt32(s, pan_);
  WriteInt32(s, fadeTime_);
  WriteInt32(s, item_ ? item_->GetPosition() : pendingPosition_);
  WriteByte(s, state_);
  WriteString(s, Label(kEventMotionFinished));
  WriteString(s, EveryFrameLabel());
  if (version > 107) WriteByte(s, restartFlag_);
  if (version >= 112) WriteByte(s, overlay_);
  if (version > 128) WriteByte(s, silenceFlag_);
}

void TOrinVideo::Load(Stream& s, int version) {
  TOrinCustomImage::Load(s, version);
  const std::string source = ReadString(s);
  loop_ = ReadByte(s) != 0;
  freeWhenFinished_ = ReadByte(s) != 0;
  const bool paused = ReadByte(s) != 0;
  volume_ = ReadInt32(s);
  pan_ = std::clamp(ReadInt32(s), -10000, 10000);
  const int32_t fadeTime = ReadInt32(s);
  const int32_t position = ReadInt32(s);
  uint8_t state = ReadByte(s);
  SetLabel(kEventMotionFinished, ReadString(s));
  SetLabel(kEventEveryFrame, ReadString(s));
  restartFlag_ = version > 107 && ReadByte(s) != 0;
  overlay_ = version >= 112 ? ReadByte(s) != 0 : true;
  silenceFlag_ = version > 128 && ReadByte(s) != 0;
  if (state > kFadeOut) state = kStopped;

  if (silenceFlag_) volume_ = 0;
  SetSource(source);
  pendingPosition_ = restartFlag_ ? 0 : std::max(position, 0);
  SetPaused(paused);
  // A movie saved while it faded out plays first, so its fade runs from where it was.
  if (state == kFadeOut) SetState(kPlay);
  fadeTime_ = fadeTime;
  SetState(state);
}

}  // namespace orin
