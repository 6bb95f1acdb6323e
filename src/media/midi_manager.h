// TMidiManager and TMidiItem: music in standard MIDI files, played by the manager's one sequencer
// (TMidiPlayV) for whichever item is current, on the selected MIDI device.
//
// Devices: index 0 is "MIDIマッパー", the built-in synthesizer (FluidSynth with a General MIDI
// SoundFont) heard through the player's one audio output; 1, 2, … are the ALSA sequencer's
// writable ports by name. Without a SoundFont the synthesizer cannot open: one line in the media
// log says so, the sequencer plays on without a device (music silent, ends on time), the game
// goes on.
//
// The sequencer steps on its own timer thread when the set decodes on a thread (live play), and
// on the engine's sample clock otherwise (headless runs: what a capture holds depends only on
// the virtual clock).
//
// Items keep their own repeat flag and hand it to the sequencer when they become current, so an
// item set to repeat before another one plays keeps its setting.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "media/alsa/alsa_midi.h"
#include "media/media_item.h"
#include "media/midi_play_v.h"

namespace orin {

class MediaEngine;
class MidiMixSource;
class MidiSynth;
class TMidiManager;

class TMidiItem : public TDMediaItem {
 public:
  TMidiItem(TMidiManager& manager, std::string name);
  ~TMidiItem() override;

  bool GetAutoRepeat() override { return autoRepeat_; }
  void SetAutoRepeat(bool value) override;
  int32_t GetPan() override { return pan_; }
  int32_t GetVol() override { return vol_; }
  // Pan is kept but not applied: the music's own pan controllers place its instruments.
  void SetPan(int32_t pan) override { pan_ = pan; }
  void SetVol(int32_t vol) override;
  int32_t GetPosition() override;
  void SetPosition(int32_t ms) override;
  int32_t GetLen() override;
  bool IsEnd() override;
  bool IsPlaying() override;
  bool IsPaused() override { return !IsPlaying(); }
  void Play() override;
  void Pause() override;

 private:
  friend class TMidiManager;
  TMidiManager& Midi();
  bool Current();
  // Reads the whole file; false (with the failure traced) when it is missing or empty.
  bool ReadData(std::vector<uint8_t>& data);

  int32_t position_ = 0;
  int32_t vol_ = 0;
  int32_t pan_ = 0;
  std::optional<int32_t> length_;
  bool autoRepeat_ = false;
  bool failedPlay_ = false;  // played, but its data could not be read: it counts as ended
};

class TMidiManager : public TDMediaManager {
 public:
  // threaded: the sequencer runs its own timer (live play); otherwise it steps on the engine's
  // sample clock.
  TMidiManager(MediaEngine& engine, bool threaded);
  ~TMidiManager() override;

  // "MIDIマッパー" followed by the ALSA ports' names (cp932). Listed once, at the first ask.
  const std::vector<std::string>& DeviceNames();
  // The name of a device; an index outside the list reads as "MIDIマッパー".
  std::string DeviceName(int index);
  int SelectedDevice() const { return selected_; }
  // Clamps to the list; music that plays moves to the new device at the same time.
  void SelectDevice(int index);

  // Around a switch between window and full screen: the device closes and opens again, and music
  // that played goes on from where it was.
  void BeforeDisplaySwitch();
  void AfterDisplaySwitch();

  TMidiPlayV& Sequencer() { return sequencer_; }
  MediaEngine& Engine() { return engine_; }
  // Why device 0 cannot sound (empty while it can, or before it was first opened).
  const std::string& SynthFailure() const { return synthFailure_; }

 protected:
  std::unique_ptr<TDMediaItem> MakeItem(std::string_view name) override;

 private:
  friend class TMidiItem;
  // Opens the selected device when none is open.
  void EnsureOpen();
  void CloseDevice();
  std::unique_ptr<MidiOut> OpenDevice(int index);

  MediaEngine& engine_;
  TMidiPlayV sequencer_;
  std::shared_ptr<MidiMixSource> source_;
  std::unique_ptr<MidiSynth> synth_;
  bool synthTried_ = false;
  std::string synthFailure_;
  bool listed_ = false;
  std::vector<std::string> deviceNames_;
  std::vector<AlsaMidiPort> ports_;
  int selected_ = 0;
  TMidiItem* current_ = nullptr;
  bool resumeAfterSwitch_ = false;
  int32_t switchPosition_ = 0;
};

}  // namespace orin
