// AudioOutput: the one sound device of the player — 44.1 kHz, 16-bit signed, stereo,
// interleaved (left first), in the machine's byte order.
//
// An output is opened in one of two modes and stays in it until Close:
//   * pull: the device asks for frames through a callback. The SDL back end calls it on its own
//     audio thread, so the callback guards what it shares with the rest of the player; the null
//     back end calls it from Advance on the caller's thread. The callback fills every sample it
//     is given (silence when it has nothing).
//   * queue: the player appends blocks with Queue and asks QueuedBytes how much is still waiting;
//     a block is done once the queued amount has fallen below what was queued after it.
// A sample frame is one left and one right sample (kBytesPerFrame bytes).
//
// Pause stops the device taking sound: a paused pull output is not asked for frames and a paused
// queue does not drain. Resume continues where it stopped. An output starts playing when opened.
//
// Open throws Error (with the reason) when the device cannot be opened; a player without a sound
// device goes on silently. Closing twice, or closing an output that was never opened, is no
// error. Queue, Pause and Resume do nothing on a closed output.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>

namespace orin {

class AudioOutput {
 public:
  static constexpr int kRate = 44100;
  static constexpr int kChannels = 2;
  static constexpr int kBytesPerFrame = kChannels * 2;
  // What Open asks for when the caller has no wish: about 23 ms.
  static constexpr int kDefaultBufferFrames = 1024;

  // Fills frames × kChannels samples.
  using PullCallback = std::function<void(int16_t* samples, size_t frames)>;

  enum class Mode { kClosed, kPull, kQueue };

  virtual ~AudioOutput() = default;

  // bufferFrames: the device buffer asked for (the device may choose another; see BufferFrames).
  virtual void OpenPull(PullCallback callback, int bufferFrames = kDefaultBufferFrames) = 0;
  virtual void OpenQueue(int bufferFrames = kDefaultBufferFrames) = 0;
  virtual void Close() = 0;
  virtual Mode CurrentMode() const = 0;

  // Queue mode: appends frames × kChannels samples.
  virtual void Queue(const int16_t* samples, size_t frames) = 0;
  // Queue mode: the bytes appended and not yet taken by the device.
  virtual size_t QueuedBytes() const = 0;

  virtual void Pause() = 0;
  virtual void Resume() = 0;
  virtual bool Paused() const = 0;

  // The length of the device's own buffer in sample frames (0 while closed).
  virtual int BufferFrames() const = 0;
};

}  // namespace orin
