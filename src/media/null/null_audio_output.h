// The null sound device: no sound card, a virtual clock. Headless runs use it; with a recording
// it writes what the player would have played into a WAV file (orinplay --audio-out).
//
// NullAudioDevice is the virtual sound card. Advance(ms) moves its clock; its outputs then take
// exactly the sample frames of that span: with the clock at t0 ms before and t1 after, that is
// floor(t1 × 441 / 10) − floor(t0 × 441 / 10) frames, so sample n of the device's timeline always
// sounds at n / 44.1 ms and no drift builds up over long runs. Every open output that is not
// paused is pulled (pull mode, in calls of at most kChunkFrames frames) or drained (queue mode;
// a queue that runs dry plays silence for the rest of the span). The outputs are mixed by
// adding, saturated to 16 bits.
//
// The recording holds the device's whole timeline from the moment recording starts, silence
// where no output played: a paused output leaves silence, never a gap.
//
// Open, Close and Advance run on one thread; Queue, QueuedBytes, Pause and Resume may come from
// another. An output may outlive its device: it is then closed and takes nothing more.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "media/audio_output.h"
#include "media/wav_writer.h"

namespace orin {

class NullAudioOutput;

class NullAudioDevice {
 public:
  static constexpr size_t kChunkFrames = 8192;

  NullAudioDevice() = default;
  ~NullAudioDevice();
  NullAudioDevice(const NullAudioDevice&) = delete;
  NullAudioDevice& operator=(const NullAudioDevice&) = delete;

  std::unique_ptr<AudioOutput> CreateOutput();

  // Writes the timeline from now on into a WAV file; throws Error when it cannot be created.
  void RecordTo(const std::string& hostPath);
  // Finalises the recording; throws Error when writing it failed. Nothing without a recording.
  void FinishRecording();
  bool Recording() const { return recording_ != nullptr; }

  void Advance(uint32_t ms);
  uint64_t ElapsedMs() const { return elapsedMs_; }
  // Sample frames of the timeline so far: floor(ElapsedMs × 44.1).
  uint64_t FramesPlayed() const { return FramesAt(elapsedMs_); }
  static uint64_t FramesAt(uint64_t ms) { return ms * 441 / 10; }

 private:
  friend class NullAudioOutput;
  void Attach(NullAudioOutput* output);
  void Detach(NullAudioOutput* output);
  void Play(size_t frames);

  std::vector<NullAudioOutput*> outputs_;
  uint64_t elapsedMs_ = 0;
  std::unique_ptr<WavWriter> recording_;
  std::vector<int32_t> mix_;
  std::vector<int16_t> block_;
  std::vector<int16_t> mixed_;
};

class NullAudioOutput final : public AudioOutput {
 public:
  explicit NullAudioOutput(NullAudioDevice& device) : device_(&device) {}
  ~NullAudioOutput() override;
  NullAudioOutput(const NullAudioOutput&) = delete;
  NullAudioOutput& operator=(const NullAudioOutput&) = delete;

  void OpenPull(PullCallback callback, int bufferFrames = kDefaultBufferFrames) override;
  void OpenQueue(int bufferFrames = kDefaultBufferFrames) override;
  void Close() override;
  Mode CurrentMode() const override;
  void Queue(const int16_t* samples, size_t frames) override;
  size_t QueuedBytes() const override;
  void Pause() override;
  void Resume() override;
  bool Paused() const override;
  int BufferFrames() const override;

 private:
  friend class NullAudioDevice;
  void Open(Mode mode, PullCallback callback, int bufferFrames);
  // Fills frames × 2 samples of out; false when the output has nothing to give (paused, closed).
  bool Render(int16_t* out, size_t frames);

  NullAudioDevice* device_;
  mutable std::mutex lock_;
  Mode mode_ = Mode::kClosed;
  bool paused_ = false;
  int bufferFrames_ = 0;
  PullCallback callback_;
  std::vector<int16_t> queue_;  // samples; those before queueHead_ are taken
  size_t queueHead_ = 0;
};

}  // namespace orin
