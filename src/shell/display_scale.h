// How the game's picture is laid into a window or the screen, and how a pointer position comes
// back to the game's pixels. Pure arithmetic, shared by the SDL platform and the tests.
//
// Scale modes (orinplay --scale):
//   kFit      the largest size with the picture's aspect that fits the output, centred, black
//             bars on two sides (the default);
//   kInteger  the largest whole multiple (1×, 2×, …) that fits, centred; an output smaller than
//             the picture falls back to kFit, so the whole game stays visible;
//   kStretch  the whole output, aspect not kept.
//
// Pointer mapping is exact and consistent with drawing: output pixel column px shows picture
// column floor((px − left + ½) × contentWidth / width), the column whose scaled span holds the
// pixel's centre (what nearest-neighbour drawing shows there).
// Positions outside the picture (on a bar) map to the nearest edge column or row, so a drag that
// leaves the picture keeps its last position instead of jumping. An output of no size (a window
// resized to 0 height) has an empty picture rectangle; everything then maps to 0.
#pragma once

#include <optional>
#include <string_view>

#include "imaging/geometry.h"
#include "shell/platform.h"

namespace orin {

std::optional<ScaleMode> ParseScaleMode(std::string_view word);
std::optional<ScaleFilter> ParseScaleFilter(std::string_view word);

// Where a contentWidth × contentHeight picture is drawn in an outputWidth × outputHeight output.
// Empty when either size is not positive.
Rect ScaledRect(ScaleMode mode, int contentWidth, int contentHeight, int outputWidth,
                int outputHeight);

// Whether the picture is drawn at a whole multiple of its size in both directions (1× included):
// nearest-neighbour scaling then loses nothing.
bool IsWholeMultiple(const Rect& shown, int contentWidth, int contentHeight);

// The picture pixel under output pixel (x, y) for a picture drawn at `shown` (see above).
struct ContentPoint {
  int X = 0;
  int Y = 0;
  bool Inside = false;  // on the picture, not on a bar
};
ContentPoint OutputToContent(const Rect& shown, int contentWidth, int contentHeight, int x, int y);

// Window coordinates (the desktop's logical pixels) to output pixels, for HiDPI outputs whose
// drawable is larger than the window: x × outputWidth / windowWidth, rounded down.
int WindowToOutput(int v, int windowSize, int outputSize);

}  // namespace orin
