// MediaObjects: what the rest of the player sees of the media set of a running game — the scene
// makes its sound (kind 17) and video (kind 16) objects here, the system variables switch the
// sound and name the MIDI ports here, and the window tells it about focus changes and display
// switches. The media set must outlive it, and it must outlive the scene it made objects for.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "media/window_hooks.h"
#include "params/param_host.h"
#include "scene/objects/object_classes.h"

namespace orin {

class MediaSet;

class MediaObjects final : public MediaServices, public MediaRole, public MediaWindowHooks {
 public:
  explicit MediaObjects(MediaSet& set) : set_(set) {}
  MediaObjects(const MediaObjects&) = delete;
  MediaObjects& operator=(const MediaObjects&) = delete;

  MediaSet& Set() { return set_; }

  // MediaServices: a TOrinSound for kind 17; video (16) once the player has it; else null.
  std::unique_ptr<TOrinObject> MakeObject(uint8_t kind, TOrinBaseList& owner) override;

  // MediaRole: @SoundON is the scene root's sound switch, which enables or disables the WMA,
  // Ogg, CD and MIDI managers together. The MIDI ports answer as no port until the MIDI
  // sequencer names them.
  bool SoundOn() override { return soundOn_; }
  void SetSoundOn(bool on) override;
  std::string MidiPort() override { return {}; }
  void SetMidiPort(const std::string&) override {}
  int32_t MidiPortCount() override { return 0; }
  std::string MidiPortName(int) override { return {}; }

  // MediaWindowHooks: focus pauses and resumes every manager; display switches concern only the
  // MIDI device and videos, which add their steps here.
  void Suspend() override;
  void Resume() override;
  void BeforeDisplaySwitch(bool toFullScreen) override;
  void AfterDisplaySwitch(bool fullScreen) override;

 private:
  MediaSet& set_;
  bool soundOn_ = true;
};

}  // namespace orin
