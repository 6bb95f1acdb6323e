// TVideoManager and TVideoItem: movies. Video decoding comes with its own work; until then an
// item plays nothing, like a MIDI item (see midi_manager.h). The video manager has no sound
// switch: it is suspended and resumed with the others but never disabled.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "media/media_item.h"

namespace orin {

class TVideoItem : public TDMediaItem {
 public:
  TVideoItem(TDMediaManager& manager, std::string name);

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

class TVideoManager : public TDMediaManager {
 public:
  TVideoManager() : TDMediaManager(MediaKind::kVideo) {}
  ~TVideoManager() override;

  void SuspendAll() { Suspend(); }
  void ResumeAll() { Resume(); }

 protected:
  std::unique_ptr<TDMediaItem> MakeItem(std::string_view name) override;
};

}  // namespace orin
