// TWavOut and TWavBuffer: the player's own wave mixer, used for Ogg and WAV sounds when
// "DirectSound" is off.
//
// Sources keep their decoded PCM in the source's own format (channels, rate, 8 or 16 bits); the
// mixer converts one output block of "DelayTime" ms at a time to 44.1 kHz 16-bit stereo, scales it
// by the source's linear gain (sample × gain >> 8 below 255) and adds it with saturation. At most
// two blocks are queued, so what is heard lags the mix by up to 2 × DelayTime; Ended and
// PositionEstimate allow for that. The queue is played as one source of the media engine, so both
// paths end in the same output.
//
// Formats: 44100 and 22050 Hz, mono or stereo, 8 or 16 bits. A stereo 22050 Hz source keeps left
// and right apart (each frame is doubled, not each sample). Any other format contributes nothing.
//
// The service pass (reap finished blocks, mix up to two new ones) runs from the engine's pump;
// the clock is the media clock, so headless runs follow the virtual clock.
#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <vector>

#include "media/audio_decoder.h"
#include "media/media_engine.h"

namespace orin {

class TWavOut;

class TWavBuffer {
 public:
  TWavBuffer(TWavOut& mixer, std::unique_ptr<AudioDecoder> decoder);
  ~TWavBuffer();

  void Play();
  void Pause();
  // In source bytes; clamped to 0…Size.
  void SetPosition(int64_t bytes);
  void SetGain(int32_t gain);
  int32_t Gain();
  bool Ended();
  // Source bytes heard so far, allowing for the queued blocks.
  int64_t PositionEstimate();
  bool GetLoop();
  void SetLoop(bool value);
  bool Playing();

  const PcmFormat& Format() const { return format_; }
  // Bytes of decoded PCM in the whole source.
  int64_t Size();
  int32_t LengthMs();
  // bits × channels × rate ÷ 8000.
  double BytesPerMs() const;

 private:
  friend class TWavOut;
  // Adds this source's share of one output block; false when it gave nothing. Mixer lock held.
  bool Contribute(int16_t* block, size_t frames);
  // Reads up to count bytes of PCM at readPos_, looping when asked; returns bytes read.
  size_t ReadPcm(uint8_t* out, size_t count);

  TWavOut& mixer_;
  std::unique_ptr<AudioDecoder> decoder_;
  PcmFormat format_;  // copied once: the decoder reopens (and rewrites its own) on loops
  std::vector<uint8_t> scratch_;
  int64_t readPos_ = 0;
  int64_t size_ = 0;
  int32_t gain_ = 256;
  bool playing_ = false;
  bool paused_ = false;
  bool ended_ = false;
  bool loop_ = false;
  uint32_t lastMix_ = 0;
};

class TWavOut : public MixSource {
 public:
  // delayTime: normalised "DelayTime" ms.
  TWavOut(MediaEngine& engine, int32_t delayTime);
  ~TWavOut() override;

  // Registers with the engine; true only when it opened now.
  bool Open();
  // Drops every source and every queued block; registers off.
  void Close();
  bool IsOpen() const { return open_; }

  TWavBuffer* AddSource(std::unique_ptr<AudioDecoder> decoder);
  void RemoveSource(TWavBuffer* buffer);

  int32_t DelayTime() const { return delayTime_; }
  size_t BlockFrames() const { return blockFrames_; }
  // Blocks queued and not yet fully heard.
  size_t QueuedBlocks();
  uint32_t Now() const { return engine_.ClockMs(); }
  std::mutex& Lock() { return lock_; }

  // The service pass.
  void Pump() override;
  void MixLocked(int32_t* acc, size_t frames) override;

 private:
  friend class TWavBuffer;
  void SetActive(TWavBuffer* buffer, bool active);

  MediaEngine& engine_;
  int32_t delayTime_;
  size_t blockFrames_;
  bool open_ = false;
  std::mutex lock_;  // sources and their fields; taken before the engine lock
  std::vector<std::unique_ptr<TWavBuffer>> sources_;
  std::vector<TWavBuffer*> active_;
  // The queue the engine plays (engine lock): blocks in order, the first partly heard.
  std::deque<std::vector<int16_t>> queue_;
  size_t queueHead_ = 0;
  std::vector<std::vector<int16_t>> pool_;  // free blocks (engine lock)
};

}  // namespace orin
