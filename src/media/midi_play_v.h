// TMidiPlayV: the sequencer. It plays a TMidiV event list to one MidiOut, stepping every 10 ms:
// each step moves the position by the time since the last step (at most 1 s) and sends every
// event due before the new position. Controller values are sent scaled by the controller's
// percentage (SetControllerScale; 100 for every controller at first), and the last value of
// each controller is kept so that a new scale can be sent at once. Meta events are not sent.
//
// Two ways to step:
//   * threaded (live play): a timer thread of its own wakes every 10 ms on the monotonic clock;
//     the frame loop never waits for it longer than one step;
//   * driven (headless runs, deterministic captures): the caller runs Step(now) on its own clock
//     (the media engine's sample clock, once per 10 ms of sound mixed).
// Every operation takes the sequencer's lock, so no step runs while one changes the playback.
//
// Seeking (PlayFrom) chases from the start or from the current event to the target, sending
// everything except notes, so a seek backwards keeps each channel's program and controllers.
#pragma once

#include <array>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <span>
#include <thread>

#include "media/midi_out.h"
#include "media/midi_v.h"

namespace orin {

class TMidiPlayV {
 public:
  using Clock = std::function<uint32_t()>;

  // threaded: run a timer thread; otherwise Step is called by the owner. clock: milliseconds,
  // wrapping; null is the monotonic clock.
  explicit TMidiPlayV(bool threaded, Clock clock = nullptr);
  ~TMidiPlayV();
  TMidiPlayV(const TMidiPlayV&) = delete;
  TMidiPlayV& operator=(const TMidiPlayV&) = delete;

  // Stops, then reads the file; every channel's controller 7 counts as 127 until the file says.
  void Load(std::span<const uint8_t> data);
  // Takes the device; false (and stays closed) for null.
  bool Open(std::unique_ptr<MidiOut> device);
  // Stops, resets the device and gives it back (the caller destroys it outside the lock).
  std::unique_ptr<MidiOut> Close();
  bool IsOpen() const;

  // Back to the first event, notes off: the next PlayFrom chases from the start, resending every
  // program and controller (after the device was reset or reopened).
  void Rewind();
  void PlayFrom(int32_t ms);
  void Stop();
  bool IsRunning() const;
  int32_t Position() const;
  bool Repeat() const;
  void SetRepeat(bool value);
  bool Ended() const;
  void SetControllerScale(int controller, int percent);
  void SendLong(std::span<const uint8_t> message);
  int32_t TotalLength() const;
  bool Loaded() const;

  // One step at time now; does nothing unless the timer is enabled.
  void Step(uint32_t now);
  uint32_t Now() const { return clock_(); }

  // For tests and benchmarks: the events sent are reported here (under the lock) with the
  // position at which they were sent.
  using Observer = std::function<void(const TMidiMsgEvent&, int32_t position)>;
  void SetObserver(Observer observer);

 private:
  void StopLocked();
  void AllNotesOffLocked();
  void SendLocked(const TMidiMsgEvent& e);
  void TimerLoop();

  Clock clock_;
  const bool threaded_;
  mutable std::mutex lock_;
  TMidiV midi_;
  std::unique_ptr<MidiOut> out_;
  size_t next_ = 0;
  int32_t position_ = 0;
  uint32_t lastStep_ = 0;
  bool repeat_ = false;
  bool enabled_ = false;
  std::array<std::array<uint8_t, 128>, 16> lastValue_{};
  std::array<std::array<int32_t, 128>, 16> scale_{};
  Observer observer_;

  std::thread timer_;
  std::condition_variable wake_;
  bool terminating_ = false;
};

}  // namespace orin
