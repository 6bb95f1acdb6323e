// TScreenManager: the display-mode manager — the list of full-screen display modes and the one
// chosen, and the frame-rate value of the frame loop. Whether full screen is on is the
// platform's to say (a monitor unplugged may end it).
//
// The list and the choice are computed from the platform's modes exactly as the Windows player
// computes them from the display driver's, so scripts that read @DisplayModeCount,
// @DisplayModeIndex or GetDisplayMode see the same answers. Full screen itself never changes the
// display's video mode here: it is a desktop-sized borderless window (platform.h). So the chosen
// mode only decides whether full screen is possible at all:
//
//   * listed: every mode at least as wide and as high as the game's screen, with 16 bits per pixel
//     or more, in the platform's order;
//   * chosen: the first listed; a later one replaces it when it has exactly the preferred
//     full-screen size and the chosen one has not, or when both have it, the later one has the
//     desktop's depth and the chosen one another depth or a higher refresh rate;
//   * no listed mode, or a desktop smaller than the game's screen (the game would have to shrink):
//     no full screen, the game stays in its window.
//
// The desktop's depth is 24 when the platform cannot tell it.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "shell/platform.h"

namespace orin {

class TScreenManager {
 public:
  // gameWidth × gameHeight: the project's screen; preferredWidth × preferredHeight: the project's
  // preferred full-screen size (0 × 0: none).
  TScreenManager(const DisplayMode& desktop, const std::vector<DisplayMode>& modes, int gameWidth,
                 int gameHeight, int preferredWidth, int preferredHeight);

  const std::vector<DisplayMode>& Modes() const { return modes_; }
  int32_t ModeCount() const { return static_cast<int32_t>(modes_.size()); }
  // The four integers of a mode as scripts read them: width, height, bits per pixel, refresh.
  // Zeros for an index outside the list.
  std::array<int32_t, 4> ModeFields(int32_t index) const;
  // The chosen full-screen mode, −1 for none.
  int32_t ChosenIndex() const { return chosen_; }
  // A script's choice: an index of the list. Anything else is ignored (the choice stays) rather
  // than leaving the manager pointing at no mode.
  void SetChosenIndex(int32_t index);
  int DesktopDepth() const { return desktopDepth_; }

  // Whether switching to full screen can succeed: a mode is chosen and the desktop holds the game.
  bool CanFullScreen() const;

  double FrameRate() const { return frameRate_; }
  void SetFrameRate(double fps) { frameRate_ = fps; }

 private:
  std::vector<DisplayMode> modes_;
  DisplayMode desktop_;
  int desktopDepth_ = 24;
  int gameWidth_ = 0;
  int gameHeight_ = 0;
  int32_t chosen_ = -1;
  double frameRate_ = 0;
};

}  // namespace orin
