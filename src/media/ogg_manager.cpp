#include "media/ogg_manager.h"

#include <algorithm>
#include <cmath>

#include "core/error.h"
#include "media/media_engine.h"
#include "media/media_set.h"
#include "media/wav_out.h"
#include "resources/host_fs.h"

namespace orin {

// --- TOggItem: the rules of an item of the engine ---

TOggItem::TOggItem(TDMediaManager& manager, std::string name, std::shared_ptr<Playback> playback)
    : TCustomOggItem(manager, std::move(name)), playback_(std::move(playback)) {
  SetFailure(playback_->Failure());
}

TOggItem::~TOggItem() { /* the manager's engine drops the source */ }

bool TOggItem::GetAutoRepeat() { return playback_->GetAutoRepeat(); }
void TOggItem::SetAutoRepeat(bool value) { playback_->SetAutoRepeat(value); }
int32_t TOggItem::GetPan() { return playback_->GetPan(); }
int32_t TOggItem::GetVol() { return playback_->GetVol(); }
void TOggItem::SetPan(int32_t pan) { playback_->SetPan(pan); }
void TOggItem::SetVol(int32_t vol) { playback_->SetVol(vol); }
int32_t TOggItem::GetPosition() { return playback_->GetPosition(); }
void TOggItem::SetPosition(int32_t ms) {
  endLatched_ = false;
  playback_->SetPosition(std::max(ms, 0));
}
int32_t TOggItem::GetLen() { return playback_->GetLen(); }
bool TOggItem::IsEnd() {
  if (!endLatched_ && playback_->IsEnd()) endLatched_ = true;
  return endLatched_;
}
bool TOggItem::IsPlaying() { return playback_->IsPlaying() && !playback_->IsPaused(); }
bool TOggItem::IsPaused() { return playback_->IsPaused(); }
void TOggItem::Play() {
  if (Manager().Enabled()) playback_->Play();
}
void TOggItem::Pause() { playback_->Pause(); }

// --- TOggWaveItem ---

TOggWaveItem::TOggWaveItem(TDMediaManager& manager, std::string name, TWavOut& mixer, TWavBuffer* buffer,
                           std::string failure)
    : TCustomOggItem(manager, std::move(name)), mixer_(&mixer), buffer_(buffer) {
  SetFailure(std::move(failure));
}

TOggWaveItem::~TOggWaveItem() {
  if (buffer_) mixer_->RemoveSource(buffer_);
}

int32_t TOggWaveItem::GainOf(int32_t vol) { return ((std::max(vol, -5000) + 5000) * 256) / 5000; }

bool TOggWaveItem::GetAutoRepeat() { return buffer_ && buffer_->GetLoop(); }
void TOggWaveItem::SetAutoRepeat(bool value) {
  if (buffer_) buffer_->SetLoop(value);
}
void TOggWaveItem::SetVol(int32_t vol) {
  vol_ = vol;
  if (buffer_) buffer_->SetGain(GainOf(std::min(vol, 0)));
}
int32_t TOggWaveItem::GetPosition() {
  if (!buffer_) return 0;
  return static_cast<int32_t>(buffer_->PositionEstimate() / buffer_->BytesPerMs());
}
void TOggWaveItem::SetPosition(int32_t ms) {
  if (buffer_) buffer_->SetPosition(std::llround(std::max(ms, 0) * buffer_->BytesPerMs()));
}
int32_t TOggWaveItem::GetLen() { return buffer_ ? buffer_->LengthMs() : 0; }
bool TOggWaveItem::IsEnd() {
  if (!buffer_) return true;
  if (buffer_->GetLoop() && buffer_->Ended()) {
    buffer_->SetPosition(0);
    buffer_->Play();
    return false;
  }
  return buffer_->Ended();
}
bool TOggWaveItem::IsPlaying() { return buffer_ && buffer_->Playing() && !paused_; }
void TOggWaveItem::Play() {
  if (!buffer_) return;
  buffer_->Play();
  paused_ = false;
}
void TOggWaveItem::Pause() {
  if (!buffer_) return;
  buffer_->Pause();
  paused_ = true;
}

// --- TOggManager ---

TOggManager::TOggManager(MediaEngine& engine, const MediaSettings& settings)
    : TDMediaManager(MediaKind::kOgg), engine_(engine), settings_(settings) {}

TOggManager::~TOggManager() {
  Clear();
  if (wavOut_) wavOut_->Close();
}

std::unique_ptr<TDMediaItem> TOggManager::MakeItem(std::string_view name) {
  if (settings_.DirectSound) {
    auto playback = engine_.CreatePlayback(name, false);
    struct Item : TOggItem {
      using TOggItem::TOggItem;
      ~Item() override { engine->RemoveSource(&Handle()); }
      MediaEngine* engine = nullptr;
    };
    auto item = std::make_unique<Item>(*this, std::string(name), std::move(playback));
    item->engine = &engine_;
    return item;
  }
  if (!wavOut_) wavOut_ = std::make_shared<TWavOut>(engine_, settings_.DelayTime);
  wavOut_->Open();
  std::unique_ptr<AudioDecoder> decoder;
  std::string failure;
  try {
    decoder = OpenAudioDecoder(engine_.OpenData(name, false), std::string(name), true);
  } catch (const Error& e) {
    failure = e.Message();
    engine_.Trace(failure);
  }
  TWavBuffer* buffer = decoder ? wavOut_->AddSource(std::move(decoder)) : nullptr;
  return std::make_unique<TOggWaveItem>(*this, std::string(name), *wavOut_, buffer, failure);
}

}  // namespace orin
