#include "media/media_engine.h"

#include <algorithm>
#include <chrono>
#include <cmath>

#include "core/error.h"
#include "core/log.h"
#include "media/audio_output.h"
#include "media/media_set.h"
#include "resources/file_manager.h"
#include "resources/stream.h"

namespace orin {
namespace {

constexpr size_t kPumpChunk = 4096;

bool IsAbsoluteName(std::string_view name) {
  return (!name.empty() && (name[0] == '\\' || name[0] == '/')) || (name.size() >= 2 && name[1] == ':');
}

int32_t Clamp16(int32_t v) { return std::clamp(v, -32768, 32767); }

}  // namespace

// --- Playback ---

Playback::Playback(MediaEngine& engine, std::unique_ptr<AudioDecoder> decoder, std::string failure)
    : engine_(engine), decoder_(std::move(decoder)), failure_(std::move(failure)) {
  if (decoder_) {
    ring_.resize(kRingFrames * 2);
    hintFrames_ = decoder_->LengthFrames();
  }
}

Playback::~Playback() = default;

double Playback::AmplitudeOf(int32_t vol) {
  if (vol <= -10000) return 0.0;
  if (vol >= 0) return 1.0;
  return std::pow(10.0, vol / 2000.0);
}

void Playback::UpdateGainsLocked() {
  double left = AmplitudeOf(vol_) * scale_;
  double right = left;
  // Pan as a sound card takes it: the far side is turned down by |pan| hundredths of a decibel.
  if (pan_ < 0) right *= AmplitudeOf(std::max(pan_, -10000));
  if (pan_ > 0) left *= AmplitudeOf(-std::min(pan_, 10000));
  gainLeft_ = static_cast<int32_t>(std::lround(left * 65536));
  gainRight_ = static_cast<int32_t>(std::lround(right * 65536));
}

void Playback::Play() {
  bool prime = false;
  {
    std::lock_guard lock(engine_.Lock());
    if (!decoder_) {
      // Nothing to play: the end comes at once, so a script waiting for it goes on.
      ended_ = true;
      playing_ = false;
      return;
    }
    if (ended_) {
      prime = true;
    } else {
      playing_ = true;
      paused_ = false;
      wanted_ = true;
    }
  }
  if (prime) {
    SetPosition(0);
    std::lock_guard lock(engine_.Lock());
    playing_ = true;
    paused_ = false;
    wanted_ = true;
  }
  // The first block is decoded now, so the next buffer the device takes already holds it.
  Pump();
}

void Playback::Pause() {
  std::lock_guard lock(engine_.Lock());
  if (!decoder_) return;
  paused_ = true;
}

bool Playback::IsPlaying() {
  std::lock_guard lock(engine_.Lock());
  return playing_ && !ended_;
}

bool Playback::IsPaused() {
  std::lock_guard lock(engine_.Lock());
  return paused_;
}

bool Playback::IsEnd() {
  std::lock_guard lock(engine_.Lock());
  return ended_;
}

int64_t Playback::LengthFrames() const {
  int64_t exact = exactFrames_.load();
  if (exact >= 0) return exact;
  return hintFrames_;
}

int32_t Playback::GetLen() { return static_cast<int32_t>(LengthFrames() * 1000 / AudioOutput::kRate); }

int64_t Playback::PositionFramesLocked() const {
  int64_t pos = base_ + consumed_;
  int64_t exact = exactFrames_.load();
  if (exact > 0 && pos >= exact) pos = (loop_ && !ended_) ? pos % exact : exact;
  return pos;
}

int32_t Playback::GetPosition() {
  std::lock_guard lock(engine_.Lock());
  return static_cast<int32_t>(PositionFramesLocked() * 1000 / AudioOutput::kRate);
}

void Playback::SetPosition(int32_t ms) {
  if (!decoder_) return;
  int64_t frame = static_cast<int64_t>(std::max(ms, 0)) * AudioOutput::kRate / 1000;
  std::lock_guard decodeLock(decodeLock_);
  decoder_->Seek(frame);
  std::lock_guard lock(engine_.Lock());
  ringHead_ = 0;
  ringCount_ = 0;
  base_ = decoder_->Position();
  consumed_ = 0;
  eofQueued_ = false;
  ended_ = false;
}

bool Playback::GetAutoRepeat() {
  std::lock_guard lock(engine_.Lock());
  return loop_;
}

void Playback::SetAutoRepeat(bool value) {
  std::lock_guard lock(engine_.Lock());
  loop_ = value;
}

int32_t Playback::GetVol() {
  std::lock_guard lock(engine_.Lock());
  return vol_;
}

void Playback::SetVol(int32_t vol) {
  std::lock_guard lock(engine_.Lock());
  vol_ = vol;
  UpdateGainsLocked();
}

int32_t Playback::GetPan() {
  std::lock_guard lock(engine_.Lock());
  return pan_;
}

void Playback::SetPan(int32_t pan) {
  std::lock_guard lock(engine_.Lock());
  pan_ = pan;
  UpdateGainsLocked();
}

void Playback::SetLinearScale(double scale) {
  std::lock_guard lock(engine_.Lock());
  scale_ = scale;
  UpdateGainsLocked();
}

void Playback::MixLocked(int32_t* acc, size_t frames) {
  if (!playing_ || paused_ || ended_) return;
  size_t n = std::min(frames, ringCount_);
  const int64_t gl = gainLeft_, gr = gainRight_;
  for (size_t i = 0; i < n; ++i) {
    const int16_t* s = &ring_[(ringHead_ + i) % kRingFrames * 2];
    acc[i * 2] += static_cast<int32_t>((s[0] * gl) >> 16);
    acc[i * 2 + 1] += static_cast<int32_t>((s[1] * gr) >> 16);
  }
  ringHead_ = (ringHead_ + n) % kRingFrames;
  ringCount_ -= n;
  consumed_ += static_cast<int64_t>(n);
  if (ringCount_ == 0 && eofQueued_) {
    ended_ = true;
    playing_ = false;
  }
}

void Playback::Pump() {
  if (!decoder_) return;
  std::lock_guard decodeLock(decodeLock_);
  int16_t chunk[kPumpChunk * 2];
  while (true) {
    size_t room;
    bool loop;
    {
      std::lock_guard lock(engine_.Lock());
      if (!wanted_ || eofQueued_ || ended_) return;
      room = kRingFrames - ringCount_;
      loop = loop_;
    }
    if (room < kPumpChunk / 4) return;
    int64_t n = decoder_->Read(chunk, static_cast<int64_t>(std::min(room, kPumpChunk)));
    if (n <= 0) {
      int64_t end = decoder_->Position();
      if (exactFrames_.load() < 0 && end > 0) exactFrames_.store(end);
      if (loop && end > 0) {
        decoder_->Seek(0);
        continue;
      }
      std::lock_guard lock(engine_.Lock());
      eofQueued_ = true;
      if (ringCount_ == 0 && playing_) {
        ended_ = true;
        playing_ = false;
      }
      return;
    }
    std::lock_guard lock(engine_.Lock());
    size_t tail = (ringHead_ + ringCount_) % kRingFrames;
    for (int64_t i = 0; i < n; ++i) {
      ring_[tail * 2] = chunk[i * 2];
      ring_[tail * 2 + 1] = chunk[i * 2 + 1];
      tail = (tail + 1) % kRingFrames;
    }
    ringCount_ += static_cast<size_t>(n);
  }
}

// --- MediaEngine ---

MediaEngine::MediaEngine(TVrFileManager& files, std::unique_ptr<AudioOutput> output, const MediaSettings& settings,
                         Log* log)
    : files_(files), log_(log), output_(std::move(output)) {
  acc_.resize(8192 * 2);
  if (output_) {
    try {
      output_->OpenPull([this](int16_t* out, size_t frames) { Render(out, frames); }, settings.BufferFrames);
      deviceOpen_ = true;
      bufferFrames_ = output_->BufferFrames();
    } catch (const Error& e) {
      if (log_) log_->Write(LogLevel::kWarn, LogChannel::kMedia, "no sound device, playing silently", e);
    }
  }
  if (settings.DecodeThread) worker_ = std::thread([this] { WorkerLoop(); });
}

MediaEngine::~MediaEngine() {
  if (worker_.joinable()) {
    {
      std::lock_guard lock(workerLock_);
      workerStop_ = true;
    }
    workerWake_.notify_all();
    worker_.join();
  }
  if (output_) output_->Close();
}

void MediaEngine::WorkerLoop() {
  std::unique_lock lock(workerLock_);
  while (!workerStop_) {
    workerWake_.wait_for(lock, std::chrono::milliseconds(10));
    if (workerStop_) break;
    lock.unlock();
    Pump();
    lock.lock();
  }
}

std::shared_ptr<Stream> MediaEngine::OpenData(std::string_view name, bool whole) {
  if (IsAbsoluteName(name)) {
    std::string host(name);
    std::replace(host.begin(), host.end(), '\\', '/');
    return std::make_shared<FileStream>(host, FileStream::kRead);
  }
  // A range gives an entry's stored bytes: an entry kept compressed (every entry of the oldest
  // archives) or held in memory has to be read whole to be heard at all.
  const TVrFile* entry = files_.FindEntry(name);
  if (whole || (entry && (entry->IsMemoryEntry() || entry->Stored == 0))) {
    auto memory = std::make_shared<MemoryStream>();
    files_.LoadToStream(*memory, name);
    return memory;
  }
  return std::shared_ptr<Stream>(files_.OpenRange(name).release());
}

std::shared_ptr<Playback> MediaEngine::CreatePlayback(std::string_view name, bool whole) {
  std::unique_ptr<AudioDecoder> decoder;
  std::string failure;
  try {
    decoder = OpenAudioDecoder(OpenData(name, whole), std::string(name), false);
  } catch (const Error& e) {
    failure = e.Message();
    Trace(failure);
  }
  auto playback = std::make_shared<Playback>(*this, std::move(decoder), failure);
  AddSource(playback);
  return playback;
}

std::shared_ptr<Playback> MediaEngine::CreatePlaybackOfHostFile(const std::string& hostPath, std::string_view label) {
  std::unique_ptr<AudioDecoder> decoder;
  std::string failure;
  try {
    decoder = OpenAudioDecoder(std::make_shared<FileStream>(hostPath, FileStream::kRead), std::string(label), false);
  } catch (const Error& e) {
    failure = e.Message();
    Trace(failure);
  }
  auto playback = std::make_shared<Playback>(*this, std::move(decoder), failure);
  AddSource(playback);
  return playback;
}

void MediaEngine::AddSource(std::shared_ptr<MixSource> source) {
  std::lock_guard lock(lock_);
  sources_.push_back(std::move(source));
}

void MediaEngine::RemoveSource(const MixSource* source) {
  std::shared_ptr<MixSource> doomed;  // freed outside the lock
  {
    std::lock_guard pump(pumpLock_);
    std::lock_guard lock(lock_);
    auto it = std::find_if(sources_.begin(), sources_.end(), [&](const auto& p) { return p.get() == source; });
    if (it == sources_.end()) return;
    doomed = std::move(*it);
    sources_.erase(it);
  }
}

void MediaEngine::Render(int16_t* out, size_t frames) {
  std::lock_guard lock(lock_);
  while (frames > 0) {
    size_t n = std::min(frames, acc_.size() / 2);
    std::fill(acc_.begin(), acc_.begin() + static_cast<std::ptrdiff_t>(n * 2), 0);
    for (auto& s : sources_) s->MixLocked(acc_.data(), n);
    if (out) {
      for (size_t i = 0; i < n * 2; ++i) out[i] = static_cast<int16_t>(Clamp16(acc_[i]));
      out += n * 2;
    }
    frames -= n;
    clockFrames_.fetch_add(n, std::memory_order_acq_rel);
  }
}

void MediaEngine::Pump() {
  std::lock_guard pump(pumpLock_);
  std::vector<std::shared_ptr<MixSource>> sources;
  {
    std::lock_guard lock(lock_);
    sources = sources_;
  }
  for (auto& s : sources) s->Pump();
}

void MediaEngine::Update(uint32_t deltaMs) {
  if (!deviceOpen_) {
    // No device: the frame clock plays the sound into nothing, so items still run and end.
    uint64_t before = frameClockMs_ * 441 / 10;
    frameClockMs_ += deltaMs;
    uint64_t after = frameClockMs_ * 441 / 10;
    uint64_t todo = after - before;
    while (todo > 0) {
      size_t n = static_cast<size_t>(std::min<uint64_t>(todo, 2048));
      Pump();
      Render(nullptr, n);
      todo -= n;
    }
  }
  Pump();
}

void MediaEngine::Trace(std::string_view cp932Text) {
  if (log_) log_->Warn(LogChannel::kMedia, cp932Text);
  if (reporter_) reporter_(std::string(cp932Text));
}

}  // namespace orin
