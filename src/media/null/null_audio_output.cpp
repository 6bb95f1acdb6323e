#include "media/null/null_audio_output.h"

#include <algorithm>
#include <cstring>

namespace orin {

NullAudioDevice::~NullAudioDevice() {
  for (NullAudioOutput* o : outputs_) {
    std::lock_guard<std::mutex> hold(o->lock_);
    o->device_ = nullptr;
    o->mode_ = AudioOutput::Mode::kClosed;
  }
}

std::unique_ptr<AudioOutput> NullAudioDevice::CreateOutput() {
  return std::make_unique<NullAudioOutput>(*this);
}

void NullAudioDevice::RecordTo(const std::string& hostPath) {
  recording_ = std::make_unique<WavWriter>(hostPath);
}

void NullAudioDevice::FinishRecording() {
  if (!recording_) return;
  std::unique_ptr<WavWriter> done = std::move(recording_);
  done->Finish();
}

void NullAudioDevice::Attach(NullAudioOutput* output) {
  if (std::find(outputs_.begin(), outputs_.end(), output) == outputs_.end())
    outputs_.push_back(output);
}

void NullAudioDevice::Detach(NullAudioOutput* output) {
  outputs_.erase(std::remove(outputs_.begin(), outputs_.end(), output), outputs_.end());
}

void NullAudioDevice::Advance(uint32_t ms) {
  const uint64_t before = FramesPlayed();
  elapsedMs_ += ms;
  uint64_t frames = FramesPlayed() - before;
  while (frames > 0) {
    const size_t chunk = static_cast<size_t>(std::min<uint64_t>(frames, kChunkFrames));
    Play(chunk);
    frames -= chunk;
  }
}

void NullAudioDevice::Play(size_t frames) {
  const size_t samples = frames * AudioOutput::kChannels;
  mix_.assign(samples, 0);
  block_.resize(samples);
  // A callback may close or open outputs; walk a copy.
  const std::vector<NullAudioOutput*> outputs = outputs_;
  for (NullAudioOutput* o : outputs) {
    if (std::find(outputs_.begin(), outputs_.end(), o) == outputs_.end()) continue;
    if (!o->Render(block_.data(), frames)) continue;
    for (size_t i = 0; i < samples; ++i) mix_[i] += block_[i];
  }
  if (!recording_) return;
  mixed_.resize(samples);
  for (size_t i = 0; i < samples; ++i)
    mixed_[i] = static_cast<int16_t>(std::clamp<int32_t>(mix_[i], -32768, 32767));
  recording_->Write(mixed_.data(), frames);
}

NullAudioOutput::~NullAudioOutput() {
  Close();
}

void NullAudioOutput::Open(Mode mode, PullCallback callback, int bufferFrames) {
  Close();
  std::lock_guard<std::mutex> hold(lock_);
  if (device_ == nullptr) return;
  mode_ = mode;
  paused_ = false;
  bufferFrames_ = bufferFrames > 0 ? bufferFrames : kDefaultBufferFrames;
  callback_ = std::move(callback);
  queue_.clear();
  queueHead_ = 0;
  device_->Attach(this);
}

void NullAudioOutput::OpenPull(PullCallback callback, int bufferFrames) {
  Open(Mode::kPull, std::move(callback), bufferFrames);
}

void NullAudioOutput::OpenQueue(int bufferFrames) {
  Open(Mode::kQueue, {}, bufferFrames);
}

void NullAudioOutput::Close() {
  std::lock_guard<std::mutex> hold(lock_);
  if (device_ != nullptr) device_->Detach(this);
  mode_ = Mode::kClosed;
  callback_ = nullptr;
  queue_.clear();
  queueHead_ = 0;
  bufferFrames_ = 0;
}

AudioOutput::Mode NullAudioOutput::CurrentMode() const {
  std::lock_guard<std::mutex> hold(lock_);
  return mode_;
}

void NullAudioOutput::Queue(const int16_t* samples, size_t frames) {
  std::lock_guard<std::mutex> hold(lock_);
  if (mode_ != Mode::kQueue || frames == 0) return;
  // Taken samples are dropped once they make up most of the buffer, so it does not grow without
  // end while the device drains it.
  if (queueHead_ > 0 && queueHead_ >= queue_.size() / 2) {
    queue_.erase(queue_.begin(), queue_.begin() + static_cast<ptrdiff_t>(queueHead_));
    queueHead_ = 0;
  }
  queue_.insert(queue_.end(), samples, samples + frames * kChannels);
}

size_t NullAudioOutput::QueuedBytes() const {
  std::lock_guard<std::mutex> hold(lock_);
  return (queue_.size() - queueHead_) * sizeof(int16_t);
}

void NullAudioOutput::Pause() {
  std::lock_guard<std::mutex> hold(lock_);
  if (mode_ != Mode::kClosed) paused_ = true;
}

void NullAudioOutput::Resume() {
  std::lock_guard<std::mutex> hold(lock_);
  paused_ = false;
}

bool NullAudioOutput::Paused() const {
  std::lock_guard<std::mutex> hold(lock_);
  return paused_;
}

int NullAudioOutput::BufferFrames() const {
  std::lock_guard<std::mutex> hold(lock_);
  return bufferFrames_;
}

bool NullAudioOutput::Render(int16_t* out, size_t frames) {
  const size_t samples = frames * kChannels;
  PullCallback callback;
  {
    std::lock_guard<std::mutex> hold(lock_);
    if (mode_ == Mode::kClosed || paused_) return false;
    if (mode_ == Mode::kQueue) {
      const size_t take = std::min(samples, queue_.size() - queueHead_);
      if (take > 0) std::memcpy(out, queue_.data() + queueHead_, take * sizeof(int16_t));
      std::fill(out + take, out + samples, int16_t{0});
      queueHead_ += take;
      if (queueHead_ == queue_.size()) {
        queue_.clear();
        queueHead_ = 0;
      }
      return take > 0;
    }
    callback = callback_;
  }
  // Called without the lock, as a device thread would: the callback may pause or queue.
  std::fill(out, out + samples, int16_t{0});
  if (callback) callback(out, frames);
  return true;
}

}  // namespace orin
