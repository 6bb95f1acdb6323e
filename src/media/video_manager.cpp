#include "media/video_manager.h"

#include <algorithm>

namespace orin {

TVideoItem::TVideoItem(TDMediaManager& manager, std::string name) : TDMediaItem(manager, std::move(name)) {
  SetFailure(Name() + ": movies are not played yet");
}

void TVideoItem::SetPosition(int32_t ms) { position_ = std::max(ms, 0); }

void TVideoItem::Play() {
  if (!Manager().Enabled()) return;
  playing_ = true;
  played_ = true;
}

TVideoManager::~TVideoManager() { Clear(); }

std::unique_ptr<TDMediaItem> TVideoManager::MakeItem(std::string_view name) {
  return std::make_unique<TVideoItem>(*this, std::string(name));
}

}  // namespace orin
