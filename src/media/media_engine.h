// MediaEngine: what plays the engine items and the wave mixer — our own replacement for the
// original's companion media library. It owns the one audio output (pull mode) and mixes every
// source into it; Playback is one decoded sound with the answers a library handle gives
// (playing, paused, end, position, length, volume in hundredths of a decibel, pan).
//
// Threads and locks:
//   * the device's audio thread calls Render: under the engine lock it sums what the sources have
//     decoded ahead (MixSource::MixLocked), never decoding, reading files or allocating;
//   * Pump decodes ahead into each source's ring, from the frame step (Update) and, with
//     DecodeThread, from a worker; a source's decoder has its own lock, so the frame loop waits
//     at most for one chunk of decoding;
//   * every operation on a Playback runs on the frame loop's thread and takes the engine lock
//     only to change the shared fields.
// The media clock counts the sample frames mixed so far: the device's timeline (the virtual clock
// in headless runs), or the frame clock when there is no device.
#pragma once

#include <atomic>
#include <condition_variable>
#include <functional>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "media/audio_decoder.h"

namespace orin {

class AudioOutput;
class Log;
class Stream;
class TVrFileManager;
struct MediaSettings;

class MixSource {
 public:
  virtual ~MixSource() = default;
  // Adds frames stereo frames into acc (interleaved); called under the engine lock.
  virtual void MixLocked(int32_t* acc, size_t frames) = 0;
  // Decodes ahead; called without the engine lock, from one pumping thread at a time.
  virtual void Pump() = 0;
};

class MediaEngine;

// One sound of an engine item. A Playback without a decoder (its data failed) is silent, and
// reaches its end as soon as it is played.
class Playback : public MixSource {
 public:
  // About 1 s decoded ahead at most.
  static constexpr size_t kRingFrames = 44100;

  Playback(MediaEngine& engine, std::unique_ptr<AudioDecoder> decoder, std::string failure);
  ~Playback() override;

  void Play();
  void Pause();
  bool IsPlaying();
  bool IsPaused();
  bool IsEnd();
  int32_t GetLen();
  int32_t GetPosition();
  void SetPosition(int32_t ms);
  bool GetAutoRepeat();
  void SetAutoRepeat(bool value);
  int32_t GetVol();
  void SetVol(int32_t vol);
  int32_t GetPan();
  void SetPan(int32_t pan);
  // A plain linear scale on top of volume and pan (the CD tracks' volume rule); 1 = unchanged.
  void SetLinearScale(double scale);

  const std::string& Failure() const { return failure_; }
  const AudioDecoder* Decoder() const { return decoder_.get(); }

  void MixLocked(int32_t* acc, size_t frames) override;
  void Pump() override;

  // Amplitude of a volume in hundredths of a decibel, 1.0 at 0 and 0 at -10000 and below.
  static double AmplitudeOf(int32_t vol);

 private:
  void UpdateGainsLocked();
  int64_t PositionFramesLocked() const;
  int64_t LengthFrames() const;

  MediaEngine& engine_;
  std::unique_ptr<AudioDecoder> decoder_;
  std::string failure_;
  std::mutex decodeLock_;  // the decoder; taken before the engine lock, never after

  // Shared with the audio thread (engine lock).
  std::vector<int16_t> ring_;
  size_t ringHead_ = 0;   // frame index of the oldest decoded frame
  size_t ringCount_ = 0;  // frames decoded and not yet mixed
  int64_t base_ = 0;      // the position at the last seek, in frames
  int64_t consumed_ = 0;  // frames mixed since then (loops included)
  std::atomic<int64_t> exactFrames_{-1};  // the length, once an end was decoded
  int64_t hintFrames_ = 0;  // the container's length, read once (the decoder reopens on loops)
  bool playing_ = false;
  bool paused_ = false;
  bool ended_ = false;
  bool eofQueued_ = false;  // the decoder's end is in the ring; no loop follows it
  bool wanted_ = false;     // played at least once: the pump fills it
  bool loop_ = false;
  int32_t gainLeft_ = 65536;  // Q16
  int32_t gainRight_ = 65536;
  int32_t vol_ = 0;
  int32_t pan_ = 0;
  double scale_ = 1.0;
};

class MediaEngine {
 public:
  MediaEngine(TVrFileManager& files, std::unique_ptr<AudioOutput> output, const MediaSettings& settings, Log* log);
  ~MediaEngine();
  MediaEngine(const MediaEngine&) = delete;
  MediaEngine& operator=(const MediaEngine&) = delete;

  // The data of a media name: a host file when the name begins with a path delimiter or has ":"
  // second, else an archive entry through a range stream (whole, or an entry kept compressed or in
  // memory: read into memory). Throws Error.
  std::shared_ptr<Stream> OpenData(std::string_view name, bool whole);
  // A playback of the name's data (never null: a failure gives a silent one, traced).
  std::shared_ptr<Playback> CreatePlayback(std::string_view name, bool whole);
  std::shared_ptr<Playback> CreatePlaybackOfHostFile(const std::string& hostPath, std::string_view label);

  void AddSource(std::shared_ptr<MixSource> source);
  void RemoveSource(const MixSource* source);

  // The device's callback: frames stereo frames into out.
  void Render(int16_t* out, size_t frames);
  void Pump();
  void Update(uint32_t deltaMs);

  bool HasDevice() const { return deviceOpen_; }
  std::mutex& Lock() { return lock_; }
  // Sample frames mixed so far, and the same in milliseconds.
  uint64_t ClockFrames() const { return clockFrames_.load(std::memory_order_acquire); }
  uint32_t ClockMs() const { return static_cast<uint32_t>(ClockFrames() * 10 / 441); }
  int DeviceBufferFrames() const { return bufferFrames_; }

  // What Trace says goes to the log and, when set, to this reporter too (the run's trace).
  void Trace(std::string_view cp932Text);
  void SetReporter(std::function<void(const std::string&)> reporter) { reporter_ = std::move(reporter); }
  TVrFileManager& Files() { return files_; }

 private:
  void WorkerLoop();

  TVrFileManager& files_;
  Log* log_;
  std::function<void(const std::string&)> reporter_;
  std::unique_ptr<AudioOutput> output_;
  bool deviceOpen_ = false;
  int bufferFrames_ = 0;
  std::mutex lock_;
  std::vector<std::shared_ptr<MixSource>> sources_;  // engine lock
  std::vector<int32_t> acc_;
  std::atomic<uint64_t> clockFrames_{0};
  uint64_t frameClockMs_ = 0;  // without a device: the frame clock so far
  std::mutex pumpLock_;
  std::thread worker_;
  std::mutex workerLock_;
  std::condition_variable workerWake_;
  bool workerStop_ = false;
};

}  // namespace orin
