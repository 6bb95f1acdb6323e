#include "media/media_item.h"

#include <algorithm>

namespace orin {

TDMediaManager::~TDMediaManager() = default;

TDMediaItem* TDMediaManager::Add(std::string_view name) {
  items_.push_back(MakeItem(name));
  return items_.back().get();
}

void TDMediaManager::Remove(TDMediaItem* item) {
  auto it = std::find_if(items_.begin(), items_.end(), [&](const auto& p) { return p.get() == item; });
  if (it == items_.end()) return;
  // Taken out of the list before it is destroyed, so an item's destructor that asks its manager
  // (the CD's current item) sees a consistent list.
  std::unique_ptr<TDMediaItem> doomed = std::move(*it);
  items_.erase(it);
  doomed.reset();
}

void TDMediaManager::Clear() {
  while (!items_.empty()) Remove(items_.back().get());
}

void TDMediaManager::Suspend() {
  if (!enabled_ || suspended_) return;
  suspended_ = true;
  for (auto& item : items_) {
    if (item->IsPlaying() && !item->IsPaused() && !item->IsEnd()) {
      item->Pause();
      item->ResumeMark = true;
    } else {
      item->ResumeMark = false;
    }
  }
}

void TDMediaManager::Resume() {
  if (!enabled_ || !suspended_) return;
  suspended_ = false;
  for (auto& item : items_) {
    if (!item->ResumeMark) continue;
    item->Play();
    item->ResumeMark = false;
  }
}

void TDMediaManager::SetEnabled(bool value) {
  if (value == enabled_) return;
  if (!value) {
    Suspend();
    enabled_ = false;
  } else {
    enabled_ = true;
    Resume();
  }
}

}  // namespace orin
