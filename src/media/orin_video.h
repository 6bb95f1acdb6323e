// TOrinVideo (kind 16): the scene object that plays a movie. It is an image object whose picture
// is the movie's current frame, so it draws, clips, zooms and sizes like one; its sound goes into
// the one audio output with the sound object's volume mapping and fades (orin_sound.h).
//
// Two ways to show it, both drawn inside the scene: image mode (overlay off) draws the frame as
// the image object draws any picture (alpha, flips, rotation); overlay mode (on, the default)
// shows the frame opaque and unturned in the overlay rectangle — the object's place at the
// movie's size times the zoom, clipped to the parent's clip — with the matching part of the
// movie (OverlayPlacement).
//
// Properties: 2 source, 26 fade time, 28 volume (0 … 1000), 29 loop, 30 pan, 43 finished label,
// 44 position (ms), 71 free when finished, 113 every-frame label, 134 paused, 138 playing (read
// only), 139 restart flag, 150 overlay, 158 silence flag; 7 and 132 zoom as for every image.
// Paused also follows being hidden: a movie inside a hidden parent holds.
//
// States: 0 play, 1 play with fade-in, 2 stopped (the object stays, without item or picture),
// 3 fade out, after which the object is freed. A movie that cannot be played (traced by its
// item) ends at once: its finished label runs, or it is freed when free-when-finished is set.
//
// Save record, after the image object's: source (string), loop, free when finished, paused
// (bytes), volume, pan, fade time, position (int32), state (byte), finished label, every-frame
// label (strings), restart flag (from version 108), overlay (from 112), silence flag (from 129)
// (bytes).
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "media/media_object.h"
#include "scene/objects/orin_custom_image.h"

namespace orin {

class MediaSet;
class TOrinMixer;
class TVideoItem;

class TOrinVideo final : public TOrinCustomImage, public MediaObject {
 public:
  TOrinVideo(TOrinBaseList* owner, const SceneServices& services, MediaSet& media);
  ~TOrinVideo() override;

  uint8_t Kind() const override { return kKindVideo; }

  // MediaObject
  const std::string& Source() const override { return source_; }
  uint8_t State() const override { return state_; }
  void SetState(uint8_t state) override;
  int32_t FadeTime() const override { return fadeTime_; }
  void SetFadeTime(int32_t ms) override { fadeTime_ = ms; }
  void Restart() override;

  // A different source stops the movie (state 2).
  void SetSource(const std::string& source);
  bool Loop() const override { return loop_; }
  void SetLoop(bool loop);
  bool FreeWhenFinished() const override { return freeWhenFinished_; }
  void SetFreeWhenFinished(bool v) { freeWhenFinished_ = v; }
  int32_t Volume() const { return volume_; }
  void SetVolume(int32_t volume);
  int32_t Pan() const { return pan_; }
  void SetPan(int32_t pan);
  // The movie's position (ms); set: the item moves there, or the next start begins there.
  int32_t Position();
  void SetPosition(int32_t ms);
  bool Overlay() const { return overlay_; }
  // Switching while a movie plays restarts it at the same position in the other mode.
  void SetOverlay(bool overlay);
  bool RestartFlag() const { return restartFlag_; }
  bool SilenceFlag() const { return silenceFlag_; }

  bool IsPlaying();
  // The item's length; without an item, that of a temporary item for the source.
  int32_t Length();
  TVideoItem* Item() { return item_; }

  // Where overlay mode shows the movie (scene coordinates) and which part of it; both empty when
  // nothing shows (no item, hidden, clipped away).
  void OverlayPlacement(Rect& screen, Rect& source) const;

  bool Step() override;
  void Draw(ScreenSurface& surface) override;
  void GetProp(int number, TCustomParam& dest) override;
  void SetProp(int number, const TCustomParam& value) override;
  void Save(Stream& s, int version) const override;
  void Load(Stream& s, int version) override;

 private:
  int32_t ItemVolume() const;
  bool Holding() const;
  void ApplyPause();
  void StartFadeIn();
  void ReleaseItem();
  uint32_t ClockMs() const;

  MediaSet& media_;
  TVideoItem* item_ = nullptr;
  std::shared_ptr<FrameDrawable> frame_;
  std::unique_ptr<TOrinMixer> fader_;
  bool fadingOut_ = false;
  bool holding_ = false;  // the pause (or hiding) last applied to the item
  bool finished_ = false;
  std::string source_;
  uint8_t state_ = kStopped;
  int32_t fadeTime_ = 0;
  bool loop_ = false;
  bool freeWhenFinished_ = false;
  int32_t volume_ = 1000;
  int32_t pan_ = 0;
  int32_t pendingPosition_ = 0;
  bool restartFlag_ = false;
  bool silenceFlag_ = false;
  bool overlay_ = true;
};

}  // namespace orin
