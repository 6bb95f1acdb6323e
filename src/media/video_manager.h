// TVideoManager and TVideoItem: movies. An item decodes its movie's pictures (VideoDecoder) into
// a small bounded queue and plays its sound as an engine Playback in the one audio output; the
// pictures follow the sound's clock (the engine's clock when the movie has no sound or its sound
// ended first). Pictures that fall due together are dropped but for the newest; the frame loop
// never waits for decoding.
//
// Threads: with DecodeThread (real devices) each playing item has a decode thread that keeps the
// queue filled; without it (headless runs) the frame loop decodes exactly what the clock asks for
// when it asks, so that a screenshot at frame N always shows the same picture.
//
// A movie that cannot be played (missing, not a movie, no pictures, an unknown codec, pictures
// too large) gives an item with its Failure set, traced once: it has no pictures and ends as soon
// as it is played. Damage met later ends the pictures there.
//
// The video manager has no sound switch: it is suspended and resumed with the others but never
// disabled.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "media/media_item.h"
#include "media/video_decoder.h"

namespace orin {

class MediaEngine;
class Playback;
class TVideoManager;

// The data of a movie: an archive entry stored as is is read in place through a range stream,
// a compressed one is inflated into memory, an absolute name is a host file. Throws Error.
std::shared_ptr<Stream> OpenMovieData(MediaEngine& engine, std::string_view name);

class TVideoItem : public TDMediaItem {
 public:
  TVideoItem(TVideoManager& manager, std::string name, MediaEngine& engine, bool threaded);
  ~TVideoItem() override;

  bool GetAutoRepeat() override { return autoRepeat_; }
  void SetAutoRepeat(bool value) override { autoRepeat_ = value; }
  int32_t GetPan() override { return pan_; }
  int32_t GetVol() override { return vol_; }
  void SetPan(int32_t pan) override;
  void SetVol(int32_t vol) override;
  int32_t GetPosition() override;
  void SetPosition(int32_t ms) override;
  int32_t GetLen() override;
  // Latches: true from the end of a non-looping movie until SetPosition.
  bool IsEnd() override;
  bool IsPlaying() override;
  bool IsPaused() override { return paused_; }
  void Play() override;
  void Pause() override;

  // The movie's own size (0 × 0 when it cannot be played).
  int32_t SourceWidth() const { return info_.Width; }
  int32_t SourceHeight() const { return info_.Height; }
  const VideoInfo& Info() const { return info_; }
  // Brings the pictures up to the clock; true when a picture newer than the one last taken is due.
  bool NeedPaint();
  // Hands the due picture over to target (swapping storage; target must be SourceWidth ×
  // SourceHeight at 32 bits, else it is sized so); false when there is none new.
  bool TakeFrame(TDIBSurface& target);
  // The time of the picture last taken, −1 before the first.
  int64_t FrameTime() const { return shownMs_; }

 private:
  int64_t Clock();
  void Advance();
  void PopDue(int64_t now);
  void RequestSeek(int64_t ms);
  void StartWorker();
  void StopWorker();
  void WorkerLoop();
  void Restart();

  MediaEngine& engine_;
  bool threaded_;
  std::unique_ptr<VideoDecoder> decoder_;
  std::shared_ptr<Playback> audio_;
  VideoInfo info_;
  int64_t frameMs_ = 40;

  // The queue, shared with the decode thread.
  std::mutex lock_;
  std::condition_variable wake_;
  std::deque<std::unique_ptr<VideoFrame>> queue_;
  std::vector<std::unique_ptr<VideoFrame>> pool_;
  bool eof_ = false;
  bool stop_ = false;
  int64_t seekRequest_ = -1;
  uint64_t generation_ = 0;
  std::thread worker_;

  // The frame loop's side.
  std::unique_ptr<VideoFrame> ready_;
  int64_t shownMs_ = -1;
  int64_t lastQueuedMs_ = -1;  // the newest picture's time seen, for the end of the pictures
  int64_t clockMs_ = 0;
  uint32_t lastEngineMs_ = 0;
  bool playing_ = false;
  bool paused_ = false;
  bool ended_ = false;
  bool damageTraced_ = false;
  bool startPending_ = false;  // played, waiting for the first picture to start the clock
  bool autoRepeat_ = false;
  int32_t vol_ = 0;
  int32_t pan_ = 0;
};

class TVideoManager : public TDMediaManager {
 public:
  // threaded: items decode on threads of their own (see TVideoItem).
  TVideoManager(MediaEngine& engine, bool threaded)
      : TDMediaManager(MediaKind::kVideo), engine_(engine), threaded_(threaded) {}
  ~TVideoManager() override;

  void SuspendAll() { Suspend(); }
  void ResumeAll() { Resume(); }
  MediaEngine& Engine() { return engine_; }

 protected:
  std::unique_ptr<TDMediaItem> MakeItem(std::string_view name) override;

 private:
  MediaEngine& engine_;
  bool threaded_;
};

}  // namespace orin
