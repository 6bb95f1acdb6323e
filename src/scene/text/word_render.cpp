#include "scene/text/word_render.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "core/cp932.h"
#include "core/error.h"
#include "imaging/draw_char.h"
#include "imaging/font_pixel.h"
#include "imaging/frame_drawable.h"
#include "imaging/screen_surface.h"
#include "scene/text/tp_word.h"

namespace orin {

namespace {

int32_t Clamp32(int64_t v) { return static_cast<int32_t>(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX)); }

// What a character looks like once the document's defaults are filled in.
struct Ink {
  int32_t Size = 0;
  uint8_t Style = 0;
  int32_t Text = 0, Border = 0, Shadow = 0;  // colours 0x00BBGGRR
  int32_t BorderWidth = 0, ShadowOffset = 0;
  const std::string* Font = nullptr;

  bool JoinsWith(const Ink& o) const {
    return Text == o.Text && Border == o.Border && Shadow == o.Shadow && BorderWidth == o.BorderWidth &&
           ShadowOffset == o.ShadowOffset;
  }
};

Ink InkOf(const TWdChar& c, const TTpWord& doc) {
  static const TDecorate kPlain;
  const TDecorate& d = c.Style ? *c.Style : kPlain;
  Ink ink;
  ink.Size = doc.SizeOf(d);
  ink.Style = static_cast<uint8_t>(d.Style | (c.Link.empty() ? 0 : 4));
  if (c.Highlighted)
    ink.Text = doc.ActiveLinkColor;
  else if (d.Color != -1)
    ink.Text = d.Color;
  else if (!c.Link.empty())
    ink.Text = doc.LinkColor;
  else
    ink.Text = doc.TextColor;
  ink.Border = d.BorderColor != -1 ? d.BorderColor : doc.BorderColor;
  ink.Shadow = d.ShadowColor != -1 ? d.ShadowColor : doc.ShadowColor;
  ink.BorderWidth = doc.BorderOf(d);
  ink.ShadowOffset = doc.ShadowOf(d);
  ink.Font = &doc.FontOf(d);
  return ink;
}

uint32_t PixelOf(const TDIBSurface& s, int32_t bgr) {
  const uint32_t c = static_cast<uint32_t>(bgr);
  return s.ColorToPixel(static_cast<int>(c & 0xFF), static_cast<int>(c >> 8 & 0xFF), static_cast<int>(c >> 16 & 0xFF));
}

const std::string* RubyOf(const TWdGlyph* g) {
  if (!g || !g->IsChar()) return nullptr;
  const auto& c = static_cast<const TWdChar&>(*g);
  return c.Style && !c.Style->Ruby.empty() ? &c.Style->Ruby : nullptr;
}

}  // namespace

void PageLayer::Clear() {
  colour_ = TDIBSurface();
  coverage_ = TDIBSurface();
  display_ = TDIBSurface();
  valid_ = false;
}

Rect PageLayer::CellOf(const TWdGlyph& g) const {
  const int64_t x = int64_t{g.X} + dx_, y = int64_t{g.Y} + dy_;
  return Rect{Clamp32(x), Clamp32(y), Clamp32(x + g.Width), Clamp32(y + g.Height)};
}

void PageLayer::Render(const TWdPage& page, const TTpWord& settings, TFontPixelManager* glyphs, int width, int height,
                       int depth, int dx, int dy) {
  width = std::clamp(width, 1, TDIBSurface::kMaxSide);
  height = std::clamp(height, 1, TDIBSurface::kMaxSide);
  if (int64_t{width} * height > TDIBSurface::kMaxPixels) height = static_cast<int>(TDIBSurface::kMaxPixels / width);
  if (colour_.Width() != width || colour_.Height() != height || colour_.BitCount() != depth) {
    colour_.SetSize(width, height, depth);
    coverage_.SetSize(width, height, 8);
    display_.SetSize(width, height, 8);
  } else {
    std::memset(colour_.Bits(), 0, colour_.ImageSize());
    std::memset(coverage_.Bits(), 0, coverage_.ImageSize());
    std::memset(display_.Bits(), 0, display_.ImageSize());
  }
  dx_ = dx;
  dy_ = dy;
  valid_ = true;
  if (!glyphs) return;
  glyphs->SetRenderMode(settings.RenderMode);
  for (const auto& row : page.Rows) {
    const TTpWord& doc = row->Document ? *row->Document : settings;
    const auto& kids = row->Children;
    auto charAt = [&](size_t i) -> const TWdChar* {
      return i < kids.size() && kids[i]->IsChar() ? static_cast<const TWdChar*>(kids[i]) : nullptr;
    };
    for (size_t i = 0; i < kids.size(); ++i) {
      const TWdChar* c = charAt(i);
      if (!c) continue;
      const Ink ink = InkOf(*c, doc);
      if (ink.Size <= 0) continue;
      const Rect cell = CellOf(*c);
      // Skip what lies wholly outside the layer (rows scrolled away).
      if (cell.Bottom <= 0 || cell.Top >= height || cell.Right <= 0 || cell.Left >= width) continue;
      const uint32_t text = PixelOf(colour_, ink.Text), border = PixelOf(colour_, ink.Border),
                     shadow = PixelOf(colour_, ink.Shadow);
      const int32_t k = std::min(ink.BorderWidth, kMaxBorderWidth), d = ink.ShadowOffset;
      const TWdChar* prev = i > 0 ? charAt(i - 1) : nullptr;
      const TWdChar* next = charAt(i + 1);
      const bool joinLeft = prev && prev->X + prev->Width == c->X && InkOf(*prev, doc).JoinsWith(ink);
      const bool joinRight = next && c->X + c->Width == next->X && InkOf(*next, doc).JoinsWith(ink);
      int32_t rubyHeight = 0;
      if (const std::string* ruby = RubyOf(c)) {
        const int32_t rs = std::max(1, ink.Size / 2);
        rubyHeight = rs;
        const std::string* before = i > 0 ? RubyOf(kids[i - 1]) : nullptr;
        if (!before || *before != *ruby) {
          int64_t groupWidth = 0;
          for (size_t j = i; j < kids.size(); ++j) {
            const std::string* r = RubyOf(kids[j]);
            if (!r || *r != *ruby) break;
            groupWidth += kids[j]->Width;
          }
          const size_t count = CharCount(*ruby);
          size_t n = 0;
          ForEachChar(*ruby, [&](size_t at, size_t len) {
            const uint16_t code = CharCodeAt(*ruby, at);
            const int64_t centre =
                std::llround(static_cast<double>(2 * n + 1) * static_cast<double>(groupWidth) / (2.0 * count));
            ++n;
            const int32_t rw = len == 2 ? rs : std::max(1, rs / 2);
            const int64_t rx = int64_t{cell.Left} + centre - (len == 2 ? rs / 2 : rs / 4);
            DrawOne(*glyphs, code, *ink.Font, static_cast<uint8_t>(ink.Style & 3), rs, shadow, border, text, false,
                    false, d, k,
                    Rect{Clamp32(rx), cell.Top, Clamp32(rx + rw + 2 * k + d), Clamp32(int64_t{cell.Top} + rs + 2 * k + d)});
          });
        }
      }
      DrawOne(*glyphs, c->Code, *ink.Font, ink.Style, ink.Size, shadow, border, text, joinLeft, joinRight, d, k,
              Rect{cell.Left, Clamp32(int64_t{cell.Top} + rubyHeight), cell.Right, cell.Bottom});
    }
  }
}

void PageLayer::DrawOne(TFontPixelManager& glyphs, uint16_t code, const std::string& font, uint8_t style, int32_t size,
                        uint32_t shadow, uint32_t border, uint32_t text, bool joinLeft, bool joinRight, int32_t d,
                        int32_t k, const Rect& cell) {
  try {
    auto g = glyphs.GetGlyph(code, font, style, size);
    Rect changed;
    glyphs.DrawChar(*g, colour_, coverage_, false, changed, shadow, border, text, joinLeft, joinRight, d, k, cell);
  } catch (const Error&) {
    // A font that cannot be made at this size (a stored document may ask for any) draws nothing.
  }
}

Rect PageLayer::UpdateAlpha(const TWdReal& g) {
  if (!valid_ || !g.IsChar()) return Rect{};
  Rect r;
  if (!IntersectRect(r, CellOf(g), colour_.ClientRect())) return Rect{};
  const uint32_t a = g.Alpha;
  const int w = r.Width();
  for (int y = r.Top; y < r.Bottom; ++y) {
    const uint8_t* src = coverage_.ScanLine(y) + r.Left;
    uint8_t* dst = display_.ScanLine(y) + r.Left;
    if (a == 255) {
      std::memcpy(dst, src, static_cast<size_t>(w));
    } else if (a == 0) {
      std::memset(dst, 0, static_cast<size_t>(w));
    } else {
      // (q × a + 127) / 255 without a division.
      for (int x = 0; x < w; ++x) {
        const uint32_t v = src[x] * a + 128;
        dst[x] = static_cast<uint8_t>((v + (v >> 8)) >> 8);
      }
    }
  }
  return r;
}

void PageLayer::UpdateAll(const TWdPage& page) {
  if (!valid_) return;
  std::memset(display_.Bits(), 0, display_.ImageSize());
  for (const auto& row : page.Rows)
    for (const TWdGlyph* g : row->Children)
      if (g->IsChar()) UpdateAlpha(static_cast<const TWdReal&>(*g));
}

void PageLayer::Draw(ScreenSurface& surface, int x, int y, const TWdPage& page, const TTpWord& settings) const {
  if (!valid_) return;
  if (surface.Depth() == 32) {
    for (const auto& row : page.Rows)
      for (const TWdGlyph* g : row->Children) {
        if (g->Type != WdType::kImg) continue;
        const auto& img = static_cast<const TWdImg&>(*g);
        if (!img.Picture || img.Alpha == 0 || img.Picture->Color.Empty()) continue;
        const int64_t strength = settings.ImageAlpha > 255 ? settings.ImageAlpha - 256 : settings.ImageAlpha;
        const int64_t scaled = std::clamp<int64_t>(strength, 0, 255) * img.Alpha / 255;
        DrawOptions o;
        if (settings.ImageAlpha > 255) {
          o.Opacity = static_cast<int>(256 + scaled);
        } else {
          if (scaled <= 0) continue;
          o.Opacity = static_cast<int>(scaled);
        }
        const TDIBSurface& picture = img.Picture->Color;
        const TDIBSurface* mask = picture.Alpha.get();
        if (!mask) o.Key = img.Picture->TransparentValue;
        const Rect cell = CellOf(img);
        surface.Draw(Clamp32(int64_t{x} + cell.Left), Clamp32(int64_t{y} + cell.Top), picture, picture.ClientRect(),
                     mask, o);
      }
  }
  const Rect clip = surface.Clip();
  Rect src{Clamp32(int64_t{clip.Left} - x), Clamp32(int64_t{clip.Top} - y), Clamp32(int64_t{clip.Right} - x),
           Clamp32(int64_t{clip.Bottom} - y)};
  if (!IntersectRect(src, src, colour_.ClientRect())) return;
  if (surface.Depth() != colour_.BitCount()) return;
  surface.Draw(Clamp32(int64_t{x} + src.Left), Clamp32(int64_t{y} + src.Top), colour_, src, &display_, DrawOptions{});
}

}  // namespace orin
