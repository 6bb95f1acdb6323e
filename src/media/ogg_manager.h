// TOggManager and its items: Ogg Vorbis and WAV sounds (and, through the same decoder, FLAC,
// MP3 and the like when a CD track is ripped to them).
//
// The setting "DirectSound" chooses the item class at Add:
//   * on:  TOggItem, played by the media engine (decoded ahead, mixed with its volume in
//          hundredths of a decibel and its pan);
//   * off: TOggWaveItem, a source (TWavBuffer) of the player's own wave mixer TWavOut, which the
//          manager owns and opens on first use: blocks of "DelayTime" milliseconds, the linear
//          gain ((max(v, -5000) + 5000) × 256) div 5000, pan ignored.
// Both end in the one audio output of the engine.
//
// Data: a name that begins with a path delimiter or has ":" second is a host file; any other name
// is an archive entry read through a range stream (never copied whole).
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "media/media_item.h"

namespace orin {

class MediaEngine;
class Playback;
class TWavOut;
class TWavBuffer;

class TCustomOggItem : public TDMediaItem {
 public:
  using TDMediaItem::TDMediaItem;
};

// An item of the engine: Play starts only while the manager is Enabled; IsEnd latches once the
// end is reached until SetPosition; IsPlaying is false while paused.
class TOggItem : public TCustomOggItem {
 public:
  TOggItem(TDMediaManager& manager, std::string name, std::shared_ptr<Playback> playback);
  ~TOggItem() override;

  bool GetAutoRepeat() override;
  void SetAutoRepeat(bool value) override;
  int32_t GetPan() override;
  int32_t GetVol() override;
  void SetPan(int32_t pan) override;
  void SetVol(int32_t vol) override;
  int32_t GetPosition() override;
  void SetPosition(int32_t ms) override;
  int32_t GetLen() override;
  bool IsEnd() override;
  bool IsPlaying() override;
  bool IsPaused() override;
  void Play() override;
  void Pause() override;

  Playback& Handle() { return *playback_; }

 private:
  std::shared_ptr<Playback> playback_;
  bool endLatched_ = false;
};

class TOggWaveItem : public TCustomOggItem {
 public:
  // buffer: the item's source in the mixer, or null when the data could not be decoded.
  TOggWaveItem(TDMediaManager& manager, std::string name, TWavOut& mixer, TWavBuffer* buffer,
               std::string failure);
  ~TOggWaveItem() override;

  bool GetAutoRepeat() override;
  void SetAutoRepeat(bool value) override;
  int32_t GetPan() override { return pan_; }
  int32_t GetVol() override { return vol_; }
  void SetPan(int32_t pan) override { pan_ = pan; }
  void SetVol(int32_t vol) override;
  int32_t GetPosition() override;
  void SetPosition(int32_t ms) override;
  int32_t GetLen() override;
  bool IsEnd() override;
  bool IsPlaying() override;
  bool IsPaused() override { return paused_; }
  void Play() override;
  void Pause() override;

  // ((max(v, -5000) + 5000) × 256) div 5000: -5000 and below silent, 0 is 256.
  static int32_t GainOf(int32_t vol);
  TWavBuffer* Buffer() { return buffer_; }

 private:
  TWavOut* mixer_;
  TWavBuffer* buffer_;
  int32_t vol_ = 0;
  int32_t pan_ = 0;
  bool paused_ = false;
};

struct MediaSettings;

class TOggManager : public TDMediaManager {
 public:
  TOggManager(MediaEngine& engine, const MediaSettings& settings);
  ~TOggManager() override;

  // The wave mixer (opened by the first wave item; null before).
  TWavOut* WavOut() { return wavOut_.get(); }
  // After the sound device came back; nothing to do with our own output.
  void Restore() {}

 protected:
  std::unique_ptr<TDMediaItem> MakeItem(std::string_view name) override;

 private:
  MediaEngine& engine_;
  const MediaSettings& settings_;
  std::shared_ptr<TWavOut> wavOut_;
};

}  // namespace orin
