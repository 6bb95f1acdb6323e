#include "shell/debug_overlay.h"

#include <cstdio>

#include "core/cp932.h"
#include "core/error.h"
#include "core/text.h"
#include "imaging/font_pixel.h"

namespace orin {

using namespace literals;

namespace {

const std::string& FontName() { return "ＭＳ ゴシック"_sj; }

}  // namespace

void TraceTail::Write(const std::string& cp932Line) {
  if (lines_.size() == kLines) lines_.pop_front();
  lines_.push_back(cp932Line);
  if (next_ != nullptr) next_->Write(cp932Line);
}

DebugOverlay::DebugOverlay(std::unique_ptr<GlyphRasterizer> rasterizer)
    : glyphs_(std::make_unique<TFontPixelManager>(std::move(rasterizer))) {}

DebugOverlay::~DebugOverlay() = default;

std::vector<std::string> DebugOverlay::Lines(const OverlayStats& s) {
  std::vector<std::string> lines;
  char buffer[160];
  std::snprintf(buffer, sizeof buffer, "frame %.1f ms  %.1f fps", s.FrameMs, s.Fps);
  lines.emplace_back(buffer);
  if (s.Page.empty())
    lines.emplace_back("page -");
  else
    lines.push_back("page " + s.Page + Format("  command %d", static_cast<int>(s.Command)));
  std::string counts = Format("objects %d  audio ", s.Objects);
  counts += s.AudioSources ? std::to_string(*s.AudioSources) : std::string("-");
  lines.push_back(counts);
  for (const std::string& t : s.Trace) lines.push_back(t);
  return lines;
}

const PixelBuffer& DebugOverlay::Draw(const OverlayStats& stats) {
  const std::vector<std::string> lines = Lines(stats);
  const int height = static_cast<int>(lines.size()) * kLineHeight + 4;
  if (picture_.Width() != kWidth || picture_.Height() != height)
    picture_.Resize(kWidth, height, kBackground);
  else
    picture_.Fill(kBackground);
  for (size_t i = 0; i < lines.size(); ++i) DrawLine(lines[i], 2 + static_cast<int>(i) * kLineHeight);
  return picture_;
}

void DebugOverlay::DrawLine(const std::string& line, int top) {
  int x = 4;
  try {
    ForEachChar(line, [&](size_t offset, size_t) {
      if (x >= kWidth) return;
      const auto g = glyphs_->GetGlyph(CharCodeAt(line, offset), FontName(), 0, kFontHeight);
      const int left = x + g->XOffset, gTop = top + g->YOffset;
      for (int row = 0; row < g->CoverageHeight; ++row) {
        const int y = gTop + row;
        if (y < 0 || y >= picture_.Height()) continue;
        uint32_t* out = picture_.Row(y);
        for (int col = 0; col < g->CoverageWidth; ++col) {
          const int px = left + col;
          if (px < 0 || px >= kWidth) continue;
          const uint32_t cover = g->Coverage[static_cast<size_t>(row) * g->CoverageWidth + col];
          if (cover == 0) continue;
          // Text over the translucent black: the ink's share of white, and opaque where it is.
          const uint32_t under = out[px];
          const uint32_t alpha = under >> 24;
          const uint32_t a = alpha + (255 - alpha) * cover / 255;
          const uint32_t v = (kText & 0xFF) * cover / 255;
          out[px] = a << 24 | v << 16 | v << 8 | v;
        }
      }
      x += g->XOffset + g->CoverageWidth + g->ExtraAdvance;
    });
  } catch (const Error&) {
    // Without a font the overlay shows its background only.
  }
}

}  // namespace orin
