// TOrinSound (kind 17): the scene object that plays music, effects, voices and CD tracks. It
// owns at most one media item of the manager its source's name chooses, maps its own volume
// (0 silent … 1000 full) onto the item's hundredths of a decibel, fades in and out on the media
// clock, and raises its finished label as event 43 once when a non-looping sound ends.
//
// Properties: 2 source, 26 fade time, 28 volume, 29 loop, 30 pan, 43 finished label, 44
// position (ms), 71 free when finished, 134 paused, 138 playing (read only), 139 restart flag,
// 158 silence flag. Muting has no property of its own; it is saved.
//
// A fade-out renames the object to "\x01SCRAP_" and its old name, so a new sound of that name can
// start while this one fades; it is freed when the fade ends. Stopping (state 2) frees the object.
//
// Save record, after the object header: source (string), loop, free when finished, paused,
// muted, finished (bytes), volume, pan, fade time, the item's position (int32), state (byte),
// finished label (string), restart flag and silence flag (bytes). A short (≤ 2999 ms)
// non-looping sound that is not stopping is saved as stopped, and is not resumed by a load.
// Loading reads the restart flag from version 108 and the silence flag from 129 on.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "media/media_object.h"
#include "scene/model/orin_object.h"

namespace orin {

class MediaSet;
class TDMediaItem;

// A fade of one item's volume on the media clock (milliseconds). A MIDI item fades over the
// whole span; any other over its upper half only, reaching the target in one step at the end.
class TOrinMixer {
 public:
  TOrinMixer(TDMediaItem& item, int32_t from, int32_t to, int32_t fadeTime, uint32_t startMs, bool midi);
  virtual ~TOrinMixer() = default;
  // Sets the item's volume for the clock; true once the target has been reached.
  bool Update(uint32_t clockMs);
  // The volume the fade gives at elapsed milliseconds.
  int32_t VolumeAt(int64_t elapsed) const;
  int32_t Target() const { return to_; }

 private:
  TDMediaItem& item_;
  int32_t from_;
  int32_t to_;
  int32_t fadeTime_;
  uint32_t startMs_;
  bool midi_;
};

// Sets the item silent, plays it and fades it up to volume.
class TOrinMixerFadein : public TOrinMixer {
 public:
  TOrinMixerFadein(TDMediaItem& item, int32_t volume, int32_t fadeTime, uint32_t startMs, bool midi);
};

// Fades the item from its current volume down to silence.
class TOrinMixerFadeout : public TOrinMixer {
 public:
  TOrinMixerFadeout(TDMediaItem& item, int32_t fadeTime, uint32_t startMs, bool midi);
};

class TOrinSound final : public TOrinComponent, public MediaObject {
 public:
  TOrinSound(TOrinBaseList* owner, MediaSet& media);
  ~TOrinSound() override;

  uint8_t Kind() const override { return kKindSound; }

  // The item volume of an object volume: MIDI v × 10 − 10000; others v × 5 − 5000, where −5000
  // and below is silence (−10000) and above 0 is 0.
  static int32_t ItemVolume(int32_t volume, bool midi);

  // MediaObject
  const std::string& Source() const override { return source_; }
  uint8_t State() const override { return state_; }
  void SetState(uint8_t state) override;
  int32_t FadeTime() const override { return fadeTime_; }
  void SetFadeTime(int32_t ms) override { fadeTime_ = ms; }
  void Restart() override;

  void SetSource(const std::string& source);
  bool Loop() const { return loop_; }
  void SetLoop(bool loop);
  bool Paused() const { return paused_; }
  void SetPaused(bool paused);
  bool Muted() const { return muted_; }
  void SetMuted(bool muted);
  int32_t Volume() const { return volume_; }
  void SetVolume(int32_t volume);
  int32_t Pan() const { return pan_; }
  void SetPan(int32_t pan);
  // The position last set (ms).
  int32_t Position() const { return position_; }
  void SetPosition(int32_t ms);
  bool FreeWhenFinished() const { return freeWhenFinished_; }
  void SetFreeWhenFinished(bool v) { freeWhenFinished_ = v; }
  const std::string& EndLabel() const { return endLabel_; }
  void SetEndLabel(const std::string& label) { endLabel_ = label; }
  bool Finished() const { return finished_; }
  bool RestartFlag() const { return restartFlag_; }
  bool SilenceFlag() const { return silenceFlag_; }

  bool IsPlaying();
  // The item's length; without an item, that of a temporary item for the source.
  int32_t Length();
  TDMediaItem* Item() { return item_; }
  bool Fading() const { return fader_ != nullptr; }

  bool Step() override;
  void GetProp(int number, TCustomParam& dest) override;
  void SetProp(int number, const TCustomParam& value) override;
  void Save(Stream& s, int version) const override;
  void Load(Stream& s, int version) override;

 private:
  bool IsMidi() const;
  int32_t ItemVolume() const { return ItemVolume(volume_, IsMidi()); }
  void ReleaseItem();
  // The paused / muted rule, applied when either changes.
  void ApplyPause();
  void StartFadeIn();
  uint32_t ClockMs() const;

  MediaSet& media_;
  TDMediaItem* item_ = nullptr;
  std::unique_ptr<TOrinMixer> fader_;
  bool fadingOut_ = false;
  std::string source_;
  uint8_t state_ = kStopped;
  int32_t fadeTime_ = 0;
  bool loop_ = false;
  bool freeWhenFinished_ = false;
  bool paused_ = false;
  bool muted_ = false;
  bool finished_ = false;
  int32_t volume_ = 1000;
  int32_t pan_ = 0;
  int32_t position_ = 0;
  std::string endLabel_;
  bool restartFlag_ = false;
  bool silenceFlag_ = false;
};

}  // namespace orin
