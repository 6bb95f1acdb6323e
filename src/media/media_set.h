// MediaSet: the media of one running game — the five managers, the media engine that decodes
// and mixes, and the one audio output. The player makes it once at start (after the file
// manager), hands it to the sound and video objects, and destroys it at shutdown.
//
// The managers are made in the order video, WMA, Ogg, CD, MIDI and destroyed in that same order.
// The audio output is opened once, in pull mode, with the buffer of the settings; when it cannot
// be opened (a machine without sound) everything plays silently on the frame clock instead.
//
// Update(deltaMs) runs once per frame step: it decodes ahead for every playing item and, without
// a device, moves the media clock by the frame's time. With DecodeThread a worker decodes ahead
// as well, so a long frame does not starve the device; headless runs leave it off so that what
// is heard depends on the virtual clock only.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "media/media_item.h"

namespace orin {

class AudioOutput;
class Log;
class MediaEngine;
class TVrFileManager;
class TVideoManager;
class TWmpManager;
class TOggManager;
class TCddaManager;
class TMidiManager;

struct MediaSettings {
  // [Sound] "DirectSound": true plays Ogg/WAV as engine items, false through the wave mixer.
  bool DirectSound = true;
  // [Sound] "DelayTime", already normalised (100…500): the wave mixer's block length in ms.
  int32_t DelayTime = 500;
  // The device buffer in sample frames asked for (1024: about 23 ms).
  int BufferFrames = 1024;
  // Decode ahead on a worker thread too (real devices); off for headless, deterministic runs.
  bool DecodeThread = false;
};

class MediaSet {
 public:
  // output: not yet open; may be null (no sound at all). log: the media channel's target, may be
  // null. The file manager must outlive the set.
  MediaSet(TVrFileManager& files, std::unique_ptr<AudioOutput> output, MediaSettings settings,
           Log* log = nullptr);
  ~MediaSet();
  MediaSet(const MediaSet&) = delete;
  MediaSet& operator=(const MediaSet&) = delete;

  TVideoManager& Video() { return *video_; }
  TWmpManager& Wmp() { return *wmp_; }
  TOggManager& Ogg() { return *ogg_; }
  TCddaManager& Cdda() { return *cdda_; }
  TMidiManager& Midi() { return *midi_; }

  // The manager for a name by its lower-cased extension: ".mid", ".sgt" → MIDI; ".wma", ".asf",
  // ".wmv" → WMA; ".ogg", ".wav" → Ogg; otherwise a name beginning "CD_" → CD; else null.
  TDMediaManager* ManagerFor(std::string_view name);
  // Adds an item for the name to its manager; null when no manager takes the name. A name whose
  // data is missing or bad still gives an item (silent, with its Failure).
  TDMediaItem* Open(std::string_view name);

  // The window lost / regained the foreground: WMA, Ogg, CD, MIDI, video.
  void Suspend();
  void Resume();
  // The scene root's sound switch: WMA, Ogg, CD, MIDI.
  void SetSoundEnabled(bool on);

  void Update(uint32_t deltaMs);

  const MediaSettings& Settings() const { return settings_; }
  // Whether the audio output is open (false: silent play on the frame clock).
  bool HasDevice() const;
  MediaEngine& Engine() { return *engine_; }

 private:
  MediaSettings settings_;
  std::unique_ptr<MediaEngine> engine_;
  std::unique_ptr<TVideoManager> video_;
  std::unique_ptr<TWmpManager> wmp_;
  std::unique_ptr<TOggManager> ogg_;
  std::unique_ptr<TCddaManager> cdda_;
  std::unique_ptr<TMidiManager> midi_;
};

}  // namespace orin
