// DebugOverlay: what the F3 overlay shows — frame time, frames per second, the page and command
// the interpreter is at, the number of scene objects, the audio sources playing and the last
// trace lines — drawn into a picture of its own with a translucent background (alpha in the top
// byte). The platform shows that picture over the game's; the game's screen surface is never
// touched, so screenshots stay clean.
//
// The picture is redrawn at most every kRedrawMs (numbers that change every frame cannot be read
// faster anyway), so a shown overlay costs a few comparisons on most frames. TraceTail keeps the
// last trace lines while the overlay is shown and passes every line on to the trace it stands in
// front of.
#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "script/game_context.h"
#include "shell/pixels.h"

namespace orin {

class GlyphRasterizer;
class TFontPixelManager;

struct OverlayStats {
  double FrameMs = 0;
  double Fps = 0;
  std::string Page;  // cp932; empty: no page
  int32_t Command = -1;
  int Objects = 0;
  std::optional<int> AudioSources;  // nullopt: not known
  std::vector<std::string> Trace;   // cp932, oldest first
};

class TraceTail final : public TraceSink {
 public:
  static constexpr size_t kLines = 6;
  explicit TraceTail(TraceSink* next) : next_(next) {}
  void Write(const std::string& cp932Line) override;
  TraceSink* Next() const { return next_; }
  std::vector<std::string> Lines() const { return {lines_.begin(), lines_.end()}; }

 private:
  TraceSink* next_;
  std::deque<std::string> lines_;
};

class DebugOverlay {
 public:
  static constexpr int kWidth = 400;
  static constexpr int kLineHeight = 14;
  static constexpr int kFontHeight = -12;
  static constexpr uint32_t kBackground = 0xB0000000;  // black, about 70 % opaque
  static constexpr uint32_t kText = 0xFFFFFF;
  static constexpr uint32_t kRedrawMs = 250;

  explicit DebugOverlay(std::unique_ptr<GlyphRasterizer> rasterizer);
  ~DebugOverlay();
  DebugOverlay(const DebugOverlay&) = delete;
  DebugOverlay& operator=(const DebugOverlay&) = delete;

  // The overlay's lines (cp932).
  static std::vector<std::string> Lines(const OverlayStats& stats);
  // Draws the lines into the picture (as tall as they need) and returns it.
  const PixelBuffer& Draw(const OverlayStats& stats);
  const PixelBuffer& Picture() const { return picture_; }
  // Whether a picture drawn at lastMs is due again at nowMs.
  static bool Due(std::optional<uint32_t> lastMs, uint32_t nowMs) { return !lastMs || nowMs - *lastMs >= kRedrawMs; }

 private:
  void DrawLine(const std::string& line, int top);

  std::unique_ptr<TFontPixelManager> glyphs_;
  PixelBuffer picture_;
};

}  // namespace orin
