#include "media/video_manager.h"

#include <algorithm>
#include <cmath>

#include "core/error.h"
#include "media/media_engine.h"
#include "resources/file_collection.h"
#include "resources/file_manager.h"

namespace orin {
namespace {

// Pictures decoded ahead: enough to ride out a slow picture, little enough to stay small.
constexpr size_t kQueuedFrames = 3;

}  // namespace

std::shared_ptr<Stream> OpenMovieData(MediaEngine& engine, std::string_view name) {
  // A range over a compressed entry would give its zlib bytes to the demuxer.
  const TVrFile* entry = engine.Files().FindEntry(name);
  return engine.OpenData(name, entry && entry->Stored == 0);
}

TVideoItem::TVideoItem(TVideoManager& manager, std::string name, MediaEngine& engine, bool threaded)
    : TDMediaItem(manager, std::move(name)), engine_(engine), threaded_(threaded) {
  try {
    decoder_ = OpenVideoDecoder(OpenMovieData(engine_, Name()), Name());
    info_ = decoder_->Info();
  } catch (const Error& e) {
    decoder_.reset();
    info_ = {};
    SetFailure(e.Message());
    engine_.Trace(e.Message());
    return;
  }
  if (info_.FrameRate > 0) frameMs_ = std::max<int64_t>(1, std::lround(1000 / info_.FrameRate));
  // The first pictures are decoded while the object is set up, so the movie starts with them.
  if (threaded_) StartWorker();
  if (info_.AudioCodec.empty()) return;
  try {
    audio_ = std::make_shared<Playback>(engine_, OpenMovieAudio(OpenMovieData(engine_, Name()), Name()), "");
    engine_.AddSource(audio_);
  } catch (const Error& e) {
    // The pictures play on the engine's clock without it.
    engine_.Trace(e.Message());
  }
}

TVideoItem::~TVideoItem() {
  StopWorker();
  if (audio_) engine_.RemoveSource(audio_.get());
}

void TVideoItem::SetPan(int32_t pan) {
  pan_ = pan;
  if (audio_) audio_->SetPan(pan);
}

void TVideoItem::SetVol(int32_t vol) {
  vol_ = vol;
  if (audio_) audio_->SetVol(vol);
}

int32_t TVideoItem::GetPosition() { return static_cast<int32_t>(std::clamp<int64_t>(Clock(), 0, INT32_MAX)); }

void TVideoItem::SetPosition(int32_t ms) {
  ms = std::max(ms, 0);
  ended_ = false;
  clockMs_ = ms;
  lastEngineMs_ = engine_.ClockMs();
  if (decoder_) RequestSeek(ms);
  if (audio_) audio_->SetPosition(ms);
}

int32_t TVideoItem::GetLen() { return static_cast<int32_t>(std::clamp<int64_t>(info_.LengthMs, 0, INT32_MAX)); }

bool TVideoItem::IsEnd() {
  Advance();
  return ended_;
}

bool TVideoItem::IsPlaying() {
  Advance();
  return playing_ && !paused_ && !ended_;
}

void TVideoItem::Play() {
  if (!Manager().Enabled()) return;
  Clock();
  playing_ = true;
  paused_ = false;
  lastEngineMs_ = engine_.ClockMs();
  if (threaded_ && decoder_) {
    StartWorker();
    // Sound and pictures start together: the clock waits for the first picture.
    if (shownMs_ < 0 && !ready_) {
      startPending_ = true;
      return;
    }
  }
  if (audio_ && !ended_) audio_->Play();
}

void TVideoItem::Pause() {
  Clock();
  paused_ = true;
  if (audio_) audio_->Pause();
}

int64_t TVideoItem::Clock() {
  const uint32_t now = engine_.ClockMs();
  if (playing_ && !paused_ && !ended_ && !startPending_) {
    // The sound's position is what the ear hears; once it has ended (a movie whose sound is
    // shorter than its pictures) the engine's clock carries on from there.
    if (audio_ && audio_->IsPlaying() && !audio_->IsEnd())
      clockMs_ = audio_->GetPosition();
    else
      clockMs_ += static_cast<uint32_t>(now - lastEngineMs_);
  }
  lastEngineMs_ = now;
  return clockMs_;
}

void TVideoItem::PopDue(int64_t now) {
  while (!queue_.empty() && queue_.front()->TimeMs <= now) {
    // A picture overtaken by a later due one is dropped unseen.
    if (ready_) pool_.push_back(std::move(ready_));
    ready_ = std::move(queue_.front());
    queue_.pop_front();
    lastQueuedMs_ = std::max(lastQueuedMs_, ready_->TimeMs);
  }
}

void TVideoItem::Advance() {
  if (!playing_ || ended_) return;
  if (!decoder_) {
    ended_ = true;
    return;
  }
  const int64_t now = Clock();
  bool picturesDone;
  {
    std::lock_guard lock(lock_);
    if (threaded_) {
      PopDue(now);
      wake_.notify_one();
      if (startPending_ && (ready_ || eof_)) {
        startPending_ = false;
        lastEngineMs_ = engine_.ClockMs();
        if (audio_ && !paused_) audio_->Play();
      }
    } else {
      while (true) {
        PopDue(now);
        if (!queue_.empty() || eof_) break;
        std::unique_ptr<VideoFrame> frame;
        if (!pool_.empty()) {
          frame = std::move(pool_.back());
          pool_.pop_back();
        } else {
          frame = std::make_unique<VideoFrame>();
        }
        if (decoder_->Next(*frame)) {
          queue_.push_back(std::move(frame));
        } else {
          pool_.push_back(std::move(frame));
          eof_ = true;
        }
      }
    }
    picturesDone = eof_ && queue_.empty() && now >= lastQueuedMs_ + frameMs_;
  }
  if (!picturesDone || (audio_ && !audio_->IsEnd())) return;
  if (!decoder_->Failure().empty() && !damageTraced_) {
    damageTraced_ = true;
    engine_.Trace(decoder_->Failure());
  }
  if (autoRepeat_)
    Restart();
  else
    ended_ = true;
}

void TVideoItem::Restart() {
  clockMs_ = 0;
  lastEngineMs_ = engine_.ClockMs();
  RequestSeek(0);
  if (audio_) {
    audio_->SetPosition(0);
    if (!paused_) audio_->Play();
  }
}

void TVideoItem::RequestSeek(int64_t ms) {
  std::lock_guard lock(lock_);
  for (auto& f : queue_) pool_.push_back(std::move(f));
  queue_.clear();
  if (ready_) pool_.push_back(std::move(ready_));
  eof_ = false;
  lastQueuedMs_ = -1;
  ++generation_;
  if (worker_.joinable()) {
    seekRequest_ = ms;
    wake_.notify_all();
  } else {
    decoder_->Seek(ms);
  }
}

bool TVideoItem::NeedPaint() {
  Advance();
  return ready_ != nullptr;
}

bool TVideoItem::TakeFrame(TDIBSurface& target) {
  if (!ready_) return false;
  TDIBSurface& picture = ready_->Picture;
  if (target.Width() != picture.Width() || target.Height() != picture.Height() || target.BitCount() != 32)
    target.SetSize(picture.Width(), picture.Height(), 32, false);
  target.SwapPixels(picture);
  shownMs_ = ready_->TimeMs;
  std::lock_guard lock(lock_);
  pool_.push_back(std::move(ready_));
  return true;
}

void TVideoItem::StartWorker() {
  if (worker_.joinable()) return;
  stop_ = false;
  worker_ = std::thread([this] { WorkerLoop(); });
}

void TVideoItem::StopWorker() {
  {
    std::lock_guard lock(lock_);
    stop_ = true;
  }
  wake_.notify_all();
  if (worker_.joinable()) worker_.join();
}

void TVideoItem::WorkerLoop() {
  std::unique_lock lock(lock_);
  while (!stop_) {
    if (seekRequest_ >= 0) {
      const int64_t ms = seekRequest_;
      seekRequest_ = -1;
      lock.unlock();
      decoder_->Seek(ms);
      lock.lock();
      continue;
    }
    if (eof_ || queue_.size() >= kQueuedFrames) {
      wake_.wait(lock);
      continue;
    }
    std::unique_ptr<VideoFrame> frame;
    if (!pool_.empty()) {
      frame = std::move(pool_.back());
      pool_.pop_back();
    } else {
      frame = std::make_unique<VideoFrame>();
    }
    const uint64_t generation = generation_;
    lock.unlock();
    const bool ok = decoder_->Next(*frame);
    lock.lock();
    if (generation != generation_ || seekRequest_ >= 0) {
      // A seek came while this picture was decoded: it belongs to the old place.
      pool_.push_back(std::move(frame));
      continue;
    }
    if (ok) {
      queue_.push_back(std::move(frame));
    } else {
      pool_.push_back(std::move(frame));
      eof_ = true;
    }
  }
}

TVideoManager::~TVideoManager() { Clear(); }

std::unique_ptr<TDMediaItem> TVideoManager::MakeItem(std::string_view name) {
  return std::make_unique<TVideoItem>(*this, std::string(name), engine_, threaded_);
}

}  // namespace orin
