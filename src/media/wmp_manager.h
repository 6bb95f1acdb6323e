// TWmpManager and TWmpItem: WMA/ASF audio. The entry is read whole into memory (these files are
// small) and played by the media engine with the rules of an engine item (see TOggItem).
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "media/media_item.h"

namespace orin {

class MediaEngine;
class Playback;

class TWmpItem : public TDMediaItem {
 public:
  TWmpItem(TDMediaManager& manager, std::string name, std::shared_ptr<Playback> playback);
  ~TWmpItem() override;

  bool GetAutoRepeat() override;
  void SetAutoRepeat(bool value) override;
  int32_t GetPan() override;
  int32_t GetVol() override;
  void SetPan(int32_t pan) override;
  void SetVol(int32_t vol) override;
  int32_t GetPosition() override;
  void SetPosition(int32_t ms) override;
  int32_t GetLen() override;
  bool IsEnd() override;
  bool IsPlaying() override;
  bool IsPaused() override;
  void Play() override;
  void Pause() override;

  Playback& Handle() { return *playback_; }

 private:
  std::shared_ptr<Playback> playback_;
  bool endLatched_ = false;
};

class TWmpManager : public TDMediaManager {
 public:
  explicit TWmpManager(MediaEngine& engine) : TDMediaManager(MediaKind::kWmp), engine_(engine) {}
  ~TWmpManager() override;
  void Restore() {}

 protected:
  std::unique_ptr<TDMediaItem> MakeItem(std::string_view name) override;

 private:
  MediaEngine& engine_;
};

}  // namespace orin
