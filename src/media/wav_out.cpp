#include "media/wav_out.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "media/audio_output.h"

namespace orin {

// --- TWavBuffer ---

TWavBuffer::TWavBuffer(TWavOut& mixer, std::unique_ptr<AudioDecoder> decoder)
    : mixer_(mixer), decoder_(std::move(decoder)), format_(decoder_->Format()) {
  size_ = decoder_->LengthFrames() * Format().BlockAlign();
  scratch_.resize(mixer_.BlockFrames() * AudioOutput::kBytesPerFrame);
}

TWavBuffer::~TWavBuffer() = default;

double TWavBuffer::BytesPerMs() const {
  const PcmFormat& f = format_;
  return f.BitsPerSample * f.Channels * static_cast<double>(f.SampleRate) / 8000.0;
}

int64_t TWavBuffer::Size() {
  std::lock_guard lock(mixer_.Lock());
  return size_;
}

int32_t TWavBuffer::LengthMs() { return static_cast<int32_t>(Size() / BytesPerMs()); }

void TWavBuffer::Play() {
  std::lock_guard lock(mixer_.Lock());
  if (!mixer_.IsOpen()) return;
  playing_ = true;
  paused_ = false;
  ended_ = false;
  mixer_.SetActive(this, true);
}

void TWavBuffer::Pause() {
  std::lock_guard lock(mixer_.Lock());
  if (!mixer_.IsOpen()) return;
  paused_ = true;
  mixer_.SetActive(this, false);
}

bool TWavBuffer::Playing() {
  std::lock_guard lock(mixer_.Lock());
  return playing_ && !ended_;
}

void TWavBuffer::SetPosition(int64_t bytes) {
  std::lock_guard lock(mixer_.Lock());
  int align = Format().BlockAlign();
  readPos_ = std::clamp<int64_t>(bytes, 0, size_) / align * align;
}

void TWavBuffer::SetGain(int32_t gain) {
  std::lock_guard lock(mixer_.Lock());
  gain_ = std::clamp(gain, 0, 256);
}

int32_t TWavBuffer::Gain() {
  std::lock_guard lock(mixer_.Lock());
  return gain_;
}

bool TWavBuffer::GetLoop() {
  std::lock_guard lock(mixer_.Lock());
  return loop_;
}

void TWavBuffer::SetLoop(bool value) {
  std::lock_guard lock(mixer_.Lock());
  loop_ = value;
}

bool TWavBuffer::Ended() {
  std::lock_guard lock(mixer_.Lock());
  if (!mixer_.IsOpen()) return true;
  if (!ended_) return false;
  // The blocks already queued must be heard first.
  return mixer_.Now() - lastMix_ > static_cast<uint32_t>(2 * mixer_.DelayTime() + 10);
}

int64_t TWavBuffer::PositionEstimate() {
  std::lock_guard lock(mixer_.Lock());
  int64_t elapsed = std::max<int64_t>(0, static_cast<int32_t>(mixer_.Now() - lastMix_));
  int64_t delay2 = 2 * mixer_.DelayTime();
  if (elapsed >= delay2) return readPos_;
  double bpm = BytesPerMs();
  int64_t pos = readPos_ - std::llround(bpm * static_cast<double>(delay2)) + std::llround(bpm * static_cast<double>(elapsed));
  return std::clamp<int64_t>(pos, 0, size_);
}

size_t TWavBuffer::ReadPcm(uint8_t* out, size_t count) {
  const int align = Format().BlockAlign();
  size_t done = 0;
  int restarts = 0;
  while (done < count) {
    int64_t frame = readPos_ / align;
    if (decoder_->Position() != frame) decoder_->Seek(frame);
    int64_t got = decoder_->Read(out + done, static_cast<int64_t>((count - done) / static_cast<size_t>(align)));
    if (got > 0) {
      done += static_cast<size_t>(got * align);
      readPos_ += got * align;
      if (readPos_ > size_) size_ = readPos_;  // the container's length was short
      restarts = 0;
      continue;
    }
    // The data ends here, whatever the container said.
    size_ = readPos_;
    // A source with nothing in it must not spin: one restart per dry read at most.
    if (!loop_ || size_ == 0 || restarts++ > 0) break;
    readPos_ = 0;
  }
  return done;
}

bool TWavBuffer::Contribute(int16_t* block, size_t frames) {
  if (ended_ || paused_ || !playing_) return false;
  const PcmFormat& f = Format();
  // Output frames per source frame: 1 at 44100 Hz, 2 at 22050 Hz.
  int repeat = f.SampleRate == 44100 ? 1 : f.SampleRate == 22050 ? 2 : 0;
  if (repeat == 0 || (f.Channels != 1 && f.Channels != 2) || (f.BitsPerSample != 8 && f.BitsPerSample != 16))
    return false;
  size_t srcFrames = frames / static_cast<size_t>(repeat);
  size_t bytes = ReadPcm(scratch_.data(), srcFrames * static_cast<size_t>(f.BlockAlign()));
  size_t got = bytes / static_cast<size_t>(f.BlockAlign());
  ended_ = readPos_ >= size_;
  const bool scale = gain_ < 255;
  for (size_t i = 0; i < got; ++i) {
    int32_t left, right;
    const uint8_t* p = scratch_.data() + i * static_cast<size_t>(f.BlockAlign());
    if (f.BitsPerSample == 16) {
      int16_t a, b;
      std::memcpy(&a, p, 2);
      b = a;
      if (f.Channels == 2) std::memcpy(&b, p + 2, 2);
      left = a;
      right = b;
    } else if (f.Channels == 2) {
      left = p[0] * 256 - 32768;
      right = p[1] * 256 - 32768;
    } else {
      left = right = (p[0] - 128) * 256;
    }
    if (scale) {
      left = (left * gain_) >> 8;
      right = (right * gain_) >> 8;
    }
    // Each source frame fills `repeat` output frames, left and right kept apart.
    for (int r = 0; r < repeat; ++r) {
      int16_t* o = block + (i * static_cast<size_t>(repeat) + static_cast<size_t>(r)) * 2;
      o[0] = static_cast<int16_t>(std::clamp(o[0] + left, -32768, 32767));
      o[1] = static_cast<int16_t>(std::clamp(o[1] + right, -32768, 32767));
    }
  }
  lastMix_ = mixer_.Now();
  return got > 0;
}

// --- TWavOut ---

TWavOut::TWavOut(MediaEngine& engine, int32_t delayTime)
    : engine_(engine),
      delayTime_(delayTime),
      blockFrames_(static_cast<size_t>(delayTime) * AudioOutput::kRate / 1000) {
  pool_.reserve(8);
}

TWavOut::~TWavOut() = default;

bool TWavOut::Open() {
  std::lock_guard lock(lock_);
  if (open_) return false;
  open_ = true;
  // The engine keeps a non-owning share: the manager owns the mixer and closes it first.
  engine_.AddSource(std::shared_ptr<MixSource>(this, [](MixSource*) {}));
  return true;
}

void TWavOut::Close() {
  {
    std::lock_guard lock(lock_);
    if (!open_) return;
  }
  engine_.RemoveSource(this);
  std::lock_guard lock(lock_);
  open_ = false;
  active_.clear();
  sources_.clear();
  std::lock_guard engineLock(engine_.Lock());
  queue_.clear();
  queueHead_ = 0;
}

TWavBuffer* TWavOut::AddSource(std::unique_ptr<AudioDecoder> decoder) {
  auto buffer = std::make_unique<TWavBuffer>(*this, std::move(decoder));
  std::lock_guard lock(lock_);
  sources_.push_back(std::move(buffer));
  return sources_.back().get();
}

void TWavOut::RemoveSource(TWavBuffer* buffer) {
  std::lock_guard lock(lock_);
  std::erase(active_, buffer);
  std::erase_if(sources_, [&](const auto& p) { return p.get() == buffer; });
}

void TWavOut::SetActive(TWavBuffer* buffer, bool active) {
  std::erase(active_, buffer);
  if (active) active_.push_back(buffer);
}

size_t TWavOut::QueuedBlocks() {
  std::lock_guard lock(engine_.Lock());
  return queue_.size();
}

void TWavOut::Pump() {
  std::lock_guard lock(lock_);
  if (!open_) return;
  for (int pass = 0; pass < 2; ++pass) {
    std::vector<int16_t> block;
    {
      std::lock_guard engineLock(engine_.Lock());
      if (queue_.size() > 1 || active_.empty()) return;
      if (!pool_.empty()) {
        block = std::move(pool_.back());
        pool_.pop_back();
      }
    }
    block.assign(blockFrames_ * 2, 0);
    bool sound = false;
    for (auto& s : sources_) sound |= s->Contribute(block.data(), blockFrames_);
    std::lock_guard engineLock(engine_.Lock());
    if (sound)
      queue_.push_back(std::move(block));
    else
      pool_.push_back(std::move(block));
  }
}

void TWavOut::MixLocked(int32_t* acc, size_t frames) {
  size_t i = 0;
  while (i < frames && !queue_.empty()) {
    std::vector<int16_t>& front = queue_.front();
    size_t n = std::min(frames - i, front.size() / 2 - queueHead_);
    for (size_t k = 0; k < n * 2; ++k) acc[i * 2 + k] += front[queueHead_ * 2 + k];
    i += n;
    queueHead_ += n;
    if (queueHead_ * 2 >= front.size()) {
      // Recycled by the next service pass, never freed here on the audio thread.
      pool_.push_back(std::move(front));
      queue_.pop_front();
      queueHead_ = 0;
    }
  }
}

}  // namespace orin
