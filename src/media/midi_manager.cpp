#include "media/midi_manager.h"

#include <algorithm>

#include "core/text.h"

namespace orin {
using namespace literals;

TMidiItem::TMidiItem(TDMediaManager& manager, std::string name) : TDMediaItem(manager, std::move(name)) {
  SetFailure(Name() + ": MIDI files are not played yet");
}

void TMidiItem::SetPosition(int32_t ms) { position_ = std::max(ms, 0); }

void TMidiItem::Play() {
  if (!Manager().Enabled()) return;
  playing_ = true;
  played_ = true;
}

TMidiManager::~TMidiManager() { Clear(); }

std::unique_ptr<TDMediaItem> TMidiManager::MakeItem(std::string_view name) {
  if (deviceNames_.empty()) deviceNames_.push_back("MIDIマッパー"_sj);
  return std::make_unique<TMidiItem>(*this, std::string(name));
}

}  // namespace orin
