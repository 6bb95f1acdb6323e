// SdlAudioOutput: the sound device through SDL2's audio — one SDL audio device per open output,
// asked for exactly 44.1 kHz, 16-bit, stereo (SDL converts when the hardware wants another
// format). Pull mode is SDL's callback, called on SDL's audio thread; queue mode is
// SDL_QueueAudio / SDL_GetQueuedAudioSize. SDL's audio subsystem is started by the first open
// output and stopped with the last.
//
// While paused SDL plays silence and neither calls back nor drains the queue.
#pragma once

#include <cstdint>

#include "media/audio_output.h"

namespace orin {

class SdlAudioOutput final : public AudioOutput {
 public:
  SdlAudioOutput() = default;
  ~SdlAudioOutput() override;
  SdlAudioOutput(const SdlAudioOutput&) = delete;
  SdlAudioOutput& operator=(const SdlAudioOutput&) = delete;

  void OpenPull(PullCallback callback, int bufferFrames = kDefaultBufferFrames) override;
  void OpenQueue(int bufferFrames = kDefaultBufferFrames) override;
  void Close() override;
  Mode CurrentMode() const override { return mode_; }
  void Queue(const int16_t* samples, size_t frames) override;
  size_t QueuedBytes() const override;
  void Pause() override;
  void Resume() override;
  bool Paused() const override { return paused_; }
  int BufferFrames() const override { return bufferFrames_; }

 private:
  void Open(Mode mode, int bufferFrames);
  static void Trampoline(void* self, uint8_t* stream, int len);

  uint32_t device_ = 0;
  bool subsystem_ = false;
  Mode mode_ = Mode::kClosed;
  bool paused_ = false;
  int bufferFrames_ = 0;
  PullCallback callback_;
};

}  // namespace orin
