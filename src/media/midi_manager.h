// TMidiManager and TMidiItem: standard MIDI files. The sequencer comes with its own work; until
// then an item keeps its settings, plays nothing and, unless it repeats, reports its end once
// played, so scripts waiting for it go on. Its Failure says that MIDI is not played.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "media/media_item.h"

namespace orin {

class TMidiItem : public TDMediaItem {
 public:
  TMidiItem(TDMediaManager& manager, std::string name);

  bool GetAutoRepeat() override { return autoRepeat_; }
  void SetAutoRepeat(bool value) override { autoRepeat_ = value; }
  int32_t GetPan() override { return pan_; }
  int32_t GetVol() override { return vol_; }
  void SetPan(int32_t pan) override { pan_ = pan; }
  void SetVol(int32_t vol) override { vol_ = vol; }
  int32_t GetPosition() override { return position_; }
  void SetPosition(int32_t ms) override;
  int32_t GetLen() override { return 0; }
  bool IsEnd() override { return played_ && !autoRepeat_; }
  bool IsPlaying() override { return playing_; }
  bool IsPaused() override { return !playing_; }
  void Play() override;
  void Pause() override { playing_ = false; }

 private:
  int32_t position_ = 0;
  int32_t vol_ = 0;
  int32_t pan_ = 0;
  bool autoRepeat_ = false;
  bool playing_ = false;
  bool played_ = false;
};

class TMidiManager : public TDMediaManager {
 public:
  TMidiManager() : TDMediaManager(MediaKind::kMidi) {}
  ~TMidiManager() override;

  // "MIDIマッパー" followed by the output devices' names (cp932).
  const std::vector<std::string>& DeviceNames() const { return deviceNames_; }

 protected:
  std::unique_ptr<TDMediaItem> MakeItem(std::string_view name) override;

 private:
  std::vector<std::string> deviceNames_;
};

}  // namespace orin
