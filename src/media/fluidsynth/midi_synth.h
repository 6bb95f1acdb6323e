// MidiSynth: device 0 of the MIDI device list, a software synthesizer on FluidSynth with a
// General MIDI SoundFont, rendering into the player's one audio output (44.1 kHz stereo) as one
// more source of the mixer. The only file that includes FluidSynth is midi_synth.cpp.
//
// The SoundFont is the file named by ORIN_SOUNDFONT when it is set (only that one), else the first
// found where a Debian system installs one (/usr/share/sounds/sf2/default-GM.sf2, FluidR3_GM.sf2,
// /usr/share/soundfonts/default.sf2, FluidR3_GM.sf2, /usr/share/sounds/sf3/…). It is loaded once,
// when the first piece of music plays, and kept while the player runs.
//
// Thread use: messages come from the sequencer (its timer thread or the frame loop), Render from
// the audio thread; FluidSynth guards its own state, so both may run at once.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "media/midi_out.h"

namespace orin {

class MidiSynth {
 public:
  // The SoundFont files tried, in order (only ORIN_SOUNDFONT's when set).
  static std::vector<std::string> SoundFontCandidates();
  // A synthesizer on the first SoundFont found; null when none can be loaded, with *failure
  // saying what was tried.
  static std::unique_ptr<MidiSynth> Create(std::string* failure);
  ~MidiSynth();
  MidiSynth(const MidiSynth&) = delete;
  MidiSynth& operator=(const MidiSynth&) = delete;

  // Adds frames stereo frames of the synthesizer's sound to acc (interleaved, 16-bit scale).
  void Render(int32_t* acc, size_t frames);
  // Whether Render has anything to add: a device handle is open.
  bool Active() const { return handles_.load(std::memory_order_acquire) > 0; }

  // A device handle for the sequencer; while one is open the synthesizer is heard.
  std::unique_ptr<MidiOut> OpenOut();

  void SendShort(std::span<const uint8_t> message);
  void SendLong(std::span<const uint8_t> message);
  void Reset();

  const std::string& SoundFontPath() const { return soundFont_; }

 private:
  struct Impl;
  MidiSynth() = default;
  std::unique_ptr<Impl> impl_;
  std::string soundFont_;
  std::vector<float> left_, right_;
  std::atomic<int> handles_{0};
  friend class MidiSynthOut;
};

}  // namespace orin
