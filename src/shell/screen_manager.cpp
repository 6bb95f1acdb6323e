#include "shell/screen_manager.h"

namespace orin {

TScreenManager::TScreenManager(const DisplayMode& desktop, const std::vector<DisplayMode>& modes,
                               int gameWidth, int gameHeight, int preferredWidth,
                               int preferredHeight)
    : desktop_(desktop),
      desktopDepth_(desktop.BitsPerPixel > 0 ? desktop.BitsPerPixel : 24),
      gameWidth_(gameWidth),
      gameHeight_(gameHeight) {
  for (const DisplayMode& m : modes)
    if (m.Width >= gameWidth && m.Height >= gameHeight && m.BitsPerPixel >= 16)
      modes_.push_back(m);
  if (modes_.empty()) return;
  auto preferred = [&](const DisplayMode& m) {
    return m.Width == preferredWidth && m.Height == preferredHeight;
  };
  chosen_ = 0;
  for (size_t i = 1; i < modes_.size(); ++i) {
    const DisplayMode& later = modes_[i];
    const DisplayMode& current = modes_[static_cast<size_t>(chosen_)];
    const bool replace =
        (preferred(later) && !preferred(current)) ||
        (preferred(later) && preferred(current) && later.BitsPerPixel == desktopDepth_ &&
         (current.BitsPerPixel != desktopDepth_ || current.RefreshRate > later.RefreshRate));
    if (replace) chosen_ = static_cast<int32_t>(i);
  }
}

std::array<int32_t, 4> TScreenManager::ModeFields(int32_t index) const {
  if (index < 0 || index >= ModeCount()) return {};
  const DisplayMode& m = modes_[static_cast<size_t>(index)];
  return {m.Width, m.Height, m.BitsPerPixel, m.RefreshRate};
}

void TScreenManager::SetChosenIndex(int32_t index) {
  if (index >= 0 && index < ModeCount()) chosen_ = index;
}

bool TScreenManager::CanFullScreen() const {
  return chosen_ >= 0 && desktop_.Width >= gameWidth_ && desktop_.Height >= gameHeight_;
}

}  // namespace orin
