#include "media/wmp_manager.h"

#include <algorithm>

#include "media/media_engine.h"

namespace orin {

TWmpItem::TWmpItem(TDMediaManager& manager, std::string name, std::shared_ptr<Playback> playback)
    : TDMediaItem(manager, std::move(name)), playback_(std::move(playback)) {
  SetFailure(playback_->Failure());
}

TWmpItem::~TWmpItem() = default;

bool TWmpItem::GetAutoRepeat() { return playback_->GetAutoRepeat(); }
void TWmpItem::SetAutoRepeat(bool value) { playback_->SetAutoRepeat(value); }
int32_t TWmpItem::GetPan() { return playback_->GetPan(); }
int32_t TWmpItem::GetVol() { return playback_->GetVol(); }
void TWmpItem::SetPan(int32_t pan) { playback_->SetPan(pan); }
void TWmpItem::SetVol(int32_t vol) { playback_->SetVol(vol); }
int32_t TWmpItem::GetPosition() { return playback_->GetPosition(); }
void TWmpItem::SetPosition(int32_t ms) {
  endLatched_ = false;
  playback_->SetPosition(std::max(ms, 0));
}
int32_t TWmpItem::GetLen() { return playback_->GetLen(); }
bool TWmpItem::IsEnd() {
  if (!endLatched_ && playback_->IsEnd()) endLatched_ = true;
  return endLatched_;
}
bool TWmpItem::IsPlaying() { return playback_->IsPlaying(); }
bool TWmpItem::IsPaused() { return playback_->IsPaused(); }
void TWmpItem::Play() {
  if (Manager().Enabled()) playback_->Play();
}
void TWmpItem::Pause() { playback_->Pause(); }

TWmpManager::~TWmpManager() { Clear(); }

std::unique_ptr<TDMediaItem> TWmpManager::MakeItem(std::string_view name) {
  struct Item : TWmpItem {
    using TWmpItem::TWmpItem;
    ~Item() override { engine->RemoveSource(&Handle()); }
    MediaEngine* engine = nullptr;
  };
  auto item = std::make_unique<Item>(*this, std::string(name), engine_.CreatePlayback(name, true));
  item->engine = &engine_;
  return item;
}

}  // namespace orin
