// TCddaManager and TCddaItem: audio-CD tracks "CD_n", played from ripped files in the game
// folder. Track n is the first file found (without regard to case) among
//   trackNN.EXT, trackN.EXT, cdda/NN.EXT, cdda/trackNN.EXT   (NN: two digits)
// with EXT one of ogg, flac, wav, mp3, opus, wma. No file: the item is silent and says so.
//
// The rules of the CD player: one current item per manager; Play stops the current track,
// starts this one from its saved position in whole seconds and applies the volume again; Pause
// saves the position in whole seconds and stops; GetLen and GetPosition are whole seconds × 1000.
// Volume: each channel at (max(v, -5000) + 5000) ÷ 5000 of full level.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "media/media_item.h"

namespace orin {

class MediaEngine;
class Playback;
class TVrFileManager;
class TCddaManager;

class TCddaItem : public TDMediaItem {
 public:
  // playback: the track's file, or null when there is none (Failure says why).
  TCddaItem(TCddaManager& manager, std::string name, int track, std::shared_ptr<Playback> playback,
            std::string failure);
  ~TCddaItem() override;

  bool GetAutoRepeat() override { return autoRepeat_; }
  void SetAutoRepeat(bool value) override;
  int32_t GetPan() override { return pan_; }
  int32_t GetVol() override { return vol_; }
  void SetPan(int32_t pan) override { pan_ = pan; }
  void SetVol(int32_t vol) override;
  int32_t GetPosition() override;
  void SetPosition(int32_t ms) override;
  int32_t GetLen() override;
  bool IsEnd() override;
  bool IsPlaying() override;
  bool IsPaused() override;
  void Play() override;
  void Pause() override;

  int Track() const { return track_; }
  // "CD_3" → 3; -1 when what follows "CD_" is not a number.
  static int TrackOf(std::string_view name);

 private:
  TCddaManager& cdda_;
  int track_;
  std::shared_ptr<Playback> playback_;
  int32_t savedSeconds_ = 0;
  int32_t vol_ = 0;
  int32_t pan_ = 0;
  bool autoRepeat_ = false;
  bool paused_ = false;
  int32_t cachedLen_ = -1;
};

class TCddaManager : public TDMediaManager {
 public:
  TCddaManager(MediaEngine& engine, TVrFileManager& files);
  ~TCddaManager() override;

  TCddaItem* Current() const { return current_; }
  // The host path of track n's file, or "" when there is none.
  std::string FindTrackFile(int track);

 protected:
  std::unique_ptr<TDMediaItem> MakeItem(std::string_view name) override;

 private:
  friend class TCddaItem;
  MediaEngine& engine_;
  TVrFileManager& files_;
  TCddaItem* current_ = nullptr;
};

}  // namespace orin
