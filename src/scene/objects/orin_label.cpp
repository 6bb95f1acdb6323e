#include "scene/objects/orin_label.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "core/cp932.h"
#include "core/error.h"
#include "core/text.h"
#include "imaging/font_pixel.h"
#include "imaging/screen_surface.h"
#include "params/custom_param.h"
#include "resources/stream.h"
#include "scene/model/orin_base_list.h"
#include "scene/model/property_table.h"

namespace orin {

using namespace literals;

namespace {

constexpr int kPropFontName = 15;
constexpr int kPropFontSize = 16;
constexpr int kPropFontStyle = 17;
constexpr int kPropSpacing = 18;
constexpr int kPropTextColour = 19;
constexpr int kPropSmoothed = 25;
constexpr int kPropText = 50;
constexpr int kPropAlignment = 53;

int32_t Clamp32(int64_t v) { return static_cast<int32_t>(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX)); }

uint32_t PixelOf(const TDIBSurface& s, int32_t bgr);

}  // namespace

std::vector<std::string> SplitTextLines(const std::string& text) {
  std::vector<std::string> lines;
  std::string line;
  for (size_t i = 0; i < text.size();) {
    const size_t n = CharLength(text, i);
    if (n == 1 && (text[i] == '\r' || text[i] == '\n')) {
      if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
      lines.push_back(std::move(line));
      line.clear();
      ++i;
      continue;
    }
    line.append(text, i, n);
    i += n;
  }
  if (!line.empty()) lines.push_back(std::move(line));
  return lines;
}

namespace {

uint32_t PixelOf(const TDIBSurface& s, int32_t bgr) {
  const uint32_t c = static_cast<uint32_t>(bgr);
  return s.ColorToPixel(static_cast<int>(c & 0xFF), static_cast<int>(c >> 8 & 0xFF), static_cast<int>(c >> 16 & 0xFF));
}

}  // namespace

TOrinLabel::TOrinLabel(TOrinBaseList* owner, const SceneServices& services)
    : TOrinControl(owner), services_(services), fontName_("ＭＳ Ｐゴシック"_sj) {}

TOrinLabel::~TOrinLabel() = default;

void TOrinLabel::BeforeFree() { Invalidate(); }

std::string TOrinLabel::Text() const {
  std::string text;
  for (size_t i = 0; i < lines_.size(); ++i) {
    if (i > 0) text += "\r\n";
    text += lines_[i];
  }
  return text;
}

void TOrinLabel::SetText(const std::string& text) {
  if (text == Text()) return;
  lines_ = SplitTextLines(text);
  if (!lines_.empty() && lines_.back().empty()) lines_.pop_back();
  Layout();
}

void TOrinLabel::Layout() {
  ++layouts_;
  TFontPixelManager* glyphs = services_.Glyphs();
  if (glyphs) glyphs->SetRenderMode(smoothed_ ? 3 : 0);
  const std::string& font = fontName_.empty() ? "ＭＳ ゴシック"_sj : fontName_;

  // Every line's glyphs and advances, kept for the drawing pass.
  struct Placed {
    TFontPixelManager::GlyphPtr Glyph;
    int64_t Advance = 0;
  };
  std::vector<std::vector<Placed>> placed(lines_.size());
  std::vector<int64_t> widths(lines_.size(), 0);
  int64_t textWidth = 0;
  for (size_t l = 0; l < lines_.size(); ++l) {
    const std::string& line = lines_[l];
    ForEachChar(line, [&](size_t offset, size_t) {
      Placed p;
      const uint16_t code = CharCodeAt(line, offset);
      if (glyphs) {
        try {
          p.Glyph = glyphs->GetGlyph(code, font, style_, fontSize_);
        } catch (const Error&) {
          // A font that cannot be made at this size shows nothing for the character.
        }
      }
      if (p.Glyph) p.Advance = int64_t{p.Glyph->CoverageWidth} + p.Glyph->XOffset + p.Glyph->ExtraAdvance;
      widths[l] += p.Advance;
      placed[l].push_back(std::move(p));
    });
    textWidth = std::max(textWidth, widths[l]);
  }
  const int64_t lineStep = int64_t{fontSize_} + spacing_;
  const int64_t textHeight = lineStep * static_cast<int64_t>(lines_.size());
  textWidth_ = Clamp32(std::max<int64_t>(textWidth, 0));
  textHeight_ = Clamp32(std::max<int64_t>(textHeight, 0));
  SetBounds(Left(), Top(), Clamp32(int64_t{ZoomX()} * textWidth_ / 256), Clamp32(int64_t{ZoomY()} * textHeight_ / 256));

  lineRects_.clear();
  if (textWidth_ <= 0 || textHeight_ <= 0) {
    Invalidate();
    return;
  }
  const int depth = Owner() && Owner()->Depth() ? Owner()->Depth() : 32;
  try {
    if (colourLayer_.Width() != textWidth_ || colourLayer_.Height() != textHeight_ ||
        colourLayer_.BitCount() != depth) {
      colourLayer_.SetSize(textWidth_, textHeight_, depth, false);
      alpha_.SetSize(textWidth_, textHeight_, 8, false);
    }
  } catch (const Error&) {
    // Text too large for a surface is not shown.
    colourLayer_ = TDIBSurface();
    alpha_ = TDIBSurface();
    lineRects_.clear();
    Invalidate();
    return;
  }
  alpha_.FillRect(alpha_.ClientRect(), 0);
  const uint32_t pixel = PixelOf(colourLayer_, textColour_);
  int64_t y = 0;
  for (size_t l = 0; l < lines_.size(); ++l) {
    int64_t x = 0;
    if (alignment_ == 1)
      x = (textWidth_ - widths[l]) / 2;
    else if (alignment_ == 2)
      x = textWidth_ - widths[l];
    Rect inked;
    const size_t count = placed[l].size();
    for (size_t i = 0; i < count; ++i) {
      const Placed& p = placed[l][i];
      if (p.Glyph && glyphs && y < textHeight_ && x < textWidth_) {
        Rect changed;
        const Rect cell{Clamp32(x), Clamp32(y), Clamp32(x + p.Advance), Clamp32(y + fontSize_)};
        glyphs->DrawChar(*p.Glyph, colourLayer_, alpha_, false, changed, 0, 0, pixel, i + 1 == count, i == 0, 0, 0,
                         cell);
        if (!changed.IsEmpty())
          inked = inked.IsEmpty() ? changed
                                  : Rect{std::min(inked.Left, changed.Left), std::min(inked.Top, changed.Top),
                                         std::max(inked.Right, changed.Right), std::max(inked.Bottom, changed.Bottom)};
      }
      x += p.Advance;
    }
    Rect cut;
    if (IntersectRect(cut, inked, alpha_.ClientRect())) lineRects_.push_back(cut);
    y += lineStep;
  }
  Invalidate();
}

void TOrinLabel::SetZoomX(int32_t zoom) {
  if (std::max(zoom, 1) == ZoomX()) return;
  Invalidate();
  TOrinControl::SetZoomX(zoom);
  SetBounds(Left(), Top(), Clamp32(int64_t{ZoomX()} * textWidth_ / 256), Height());
  Invalidate();
}

void TOrinLabel::SetZoomY(int32_t zoom) {
  if (std::max(zoom, 1) == ZoomY()) return;
  Invalidate();
  TOrinControl::SetZoomY(zoom);
  SetBounds(Left(), Top(), Width(), Clamp32(int64_t{ZoomY()} * textHeight_ / 256));
  Invalidate();
}

void TOrinLabel::SetFile(const std::string& file) {
  if (file == file_) return;
  DetachMotion();
  file_ = file;
  if (file.size() >= 4 && LowerCase(file.substr(file.size() - 4)) == ".omt") LoadMotionFile(file);
}

RotatedDraw TOrinLabel::TurnGeometry() const {
  auto originPart = [](int64_t origin, int64_t zoom, int64_t size, bool flip) {
    int64_t part = zoom != 256 ? zoom * origin / 256 : origin;
    if (flip) part = size - part - 1;
    return part;
  };
  RotatedDraw g;
  g.CenterX = Clamp32(int64_t{ScreenX()} + originPart(OriginX(), ZoomX(), Width(), FlipX()));
  g.CenterY = Clamp32(int64_t{ScreenY()} + originPart(OriginY(), ZoomY(), Height(), FlipY()));
  g.OriginX = OriginX();
  g.OriginY = OriginY();
  g.Angle = rotation_ & 0xFF;
  g.ZoomX = ZoomX();
  g.ZoomY = ZoomY();
  return g;
}

Rect TOrinLabel::ScreenRect() const {
  if (!Turned() || textWidth_ <= 0 || textHeight_ <= 0) return TOrinControl::ScreenRect();
  return ScreenSurface::RotatedBounds(TurnGeometry(), textWidth_, textHeight_, FlipX(), FlipY());
}

void TOrinLabel::Draw(ScreenSurface& surface) {
  if (lines_.empty() || opacity_ == 0 || colourLayer_.Width() <= 0 || colourLayer_.BitCount() != surface.Depth()) return;
  DrawOptions options;
  options.Opacity = std::min(opacity_, 256 + 65535);
  options.FlipX = FlipX();
  options.FlipY = FlipY();
  if (Turned()) {
    surface.DrawRotated(TurnGeometry(), colourLayer_, &alpha_, options);
    return;
  }
  const int32_t x = ScreenX(), y = ScreenY();
  if (Width() == textWidth_ && Height() == textHeight_) {
    const uint32_t pixel = PixelOf(colourLayer_, textColour_);
    for (const Rect& r : lineRects_) surface.FillMasked(Clamp32(int64_t{x} + r.Left), Clamp32(int64_t{y} + r.Top), pixel, alpha_, r, options.Opacity);
    return;
  }
  if (Width() <= 0 || Height() <= 0) return;
  surface.DrawScaled(TOrinControl::ScreenRect(), colourLayer_, colourLayer_.ClientRect(), &alpha_, options);
}

TOrinControl* TOrinLabel::HitTest(int32_t x, int32_t y, InputModes modes) {
  if (!Turned()) return TOrinControl::HitTest(x, y, modes);
  if (!Visible()) return nullptr;
  const Rect visible = VisibleRect();
  if (x < visible.Left || x >= visible.Right || y < visible.Top || y >= visible.Bottom) return nullptr;
  // The pointer turned back onto the unturned text: what lies under it there is what the turned
  // text shows at the pointer.
  const RotatedDraw g = TurnGeometry();
  const double theta = -static_cast<double>(rotation_ & 0xFF) * std::numbers::pi / 128.0;
  const double dx = static_cast<double>(x) - g.CenterX, dy = static_cast<double>(y) - g.CenterY;
  const double tx = std::round(dx * std::cos(theta) - dy * std::sin(theta) + g.CenterX);
  const double ty = std::round(dx * std::sin(theta) + dy * std::cos(theta) + g.CenterY);
  const Rect flat = TOrinControl::ScreenRect();
  if (tx < flat.Left || tx >= flat.Right || ty < flat.Top || ty >= flat.Bottom) return nullptr;
  if (ShowsChildren())
    for (auto it = Children().rbegin(); it != Children().rend(); ++it) {
      if ((*it)->Name().empty()) continue;
      if (TOrinControl* hit = (*it)->HitTest(x, y, modes)) return hit;
    }
  return Admits(modes) ? this : nullptr;
}

void TOrinLabel::GetProp(int number, TCustomParam& dest) {
  switch (number) {
    case kPropText:
      dest.SetAsStr(Text());
      return;
    case kPropFontName:
      dest.SetAsStr(fontName_);
      return;
    case kPropFontSize:
      dest.SetAsInt(fontSize_);
      return;
    case kPropSpacing:
      dest.SetAsInt(spacing_);
      return;
    case kPropFontStyle:
      dest.SetAsInt(style_);
      return;
    case kPropAlpha:
      dest.SetAsInt(opacity_);
      return;
    case kPropTextColour:
      dest.SetAsInt(textColour_);
      return;
    case kPropAlignment:
      dest.SetAsInt(alignment_);
      return;
    case kPropSmoothed:
      dest.SetAsFlag(smoothed_);
      return;
    case kPropRotation:
      dest.SetAsInt(rotation_);
      return;
    case kPropFile:
      dest.SetAsStr(file_);
      return;
    case kPropLoop:
      dest.SetAsFlag(loop_);
      return;
    case kPropOneShot:
      dest.SetAsFlag(freeWhenFinished_);
      return;
    case kPropZoomX:
      dest.SetAsInt(ZoomX());
      return;
    case kPropZoomY:
      dest.SetAsInt(ZoomY());
      return;
    case kPropFlipX:
      dest.SetAsFlag(FlipX());
      return;
    case kPropFlipY:
      dest.SetAsFlag(FlipY());
      return;
    default:
      TOrinControl::GetProp(number, dest);
  }
}

void TOrinLabel::SetProp(int number, const TCustomParam& value) {
  switch (number) {
    case kPropText:
      SetText(value.GetAsStr());
      return;
    case kPropFontName:
      SetLaidOut(fontName_, value.GetAsStr());
      return;
    case kPropFontSize:
      SetLaidOut(fontSize_, value.GetAsInt());
      return;
    case kPropSpacing:
      SetLaidOut(spacing_, value.GetAsInt());
      return;
    case kPropFontStyle:
      SetLaidOut(style_, static_cast<uint8_t>(value.GetAsInt()));
      return;
    case kPropTextColour:
      SetLaidOut(textColour_, value.GetAsInt());
      return;
    case kPropAlignment:
      SetLaidOut(alignment_, static_cast<uint8_t>(value.GetAsInt()));
      return;
    case kPropSmoothed:
      SetLaidOut(smoothed_, value.GetAsFlag());
      return;
    case kPropAlpha: {
      const int32_t opacity = value.GetAsInt();
      if (opacity == opacity_) return;
      opacity_ = opacity;
      Invalidate();
      return;
    }
    case kPropRotation: {
      const int32_t rotation = value.GetAsInt();
      if (rotation == rotation_) return;
      Invalidate();
      rotation_ = rotation;
      Invalidate();
      return;
    }
    case kPropFile:
      SetFile(value.GetAsStr());
      return;
    case kPropLoop: {
      const bool loop = value.GetAsFlag();
      if (loop && !loop_ && Motion() && Motion()->Finished()) RestartMotion();
      loop_ = loop;
      return;
    }
    case kPropOneShot:
      freeWhenFinished_ = value.GetAsFlag();
      return;
    case kPropZoomX:
      SetZoomX(value.GetAsInt());
      return;
    case kPropZoomY:
      SetZoomY(value.GetAsInt());
      return;
    case kPropFlipX:
      SetFlipX(value.GetAsFlag());
      return;
    case kPropFlipY:
      SetFlipY(value.GetAsFlag());
      return;
    default:
      TOrinControl::SetProp(number, value);
  }
}

void TOrinLabel::Save(Stream& s, int version) const {
  TOrinControl::Save(s, version);
  WriteString(s, fontName_);
  WriteInt32(s, fontSize_);
  WriteInt32(s, spacing_);
  WriteByte(s, style_);
  WriteInt32(s, opacity_);
  WriteInt32(s, textColour_);
  WriteByte(s, alignment_);
  WriteByte(s, smoothed_);
  WriteByte(s, FlipX());
  WriteByte(s, FlipY());
  WriteInt32(s, rotation_);
  WriteInt32(s, ZoomX());
  std::string text;
  for (const std::string& line : lines_) text += line + "\r\n";
  WriteString(s, text);
  if (version <= 103) return;
  WriteString(s, Label(kEventEveryFrame));
  WriteString(s, file_);
  WriteByte(s, loop_);
  WriteByte(s, freeWhenFinished_);
  WriteString(s, Label(kEventMotionFinished));
  WriteByte(s, Stopped());
  WriteInt32(s, ZoomY());
}

void TOrinLabel::Load(Stream& s, int version) {
  TOrinControl::Load(s, version);
  fontName_ = ReadString(s);
  fontSize_ = ReadInt32(s);
  spacing_ = ReadInt32(s);
  style_ = ReadByte(s);
  opacity_ = ReadInt32(s);
  textColour_ = ReadInt32(s);
  alignment_ = ReadByte(s);
  smoothed_ = ReadByte(s) != 0;
  SetFlipX(ReadByte(s) != 0);
  SetFlipY(ReadByte(s) != 0);
  rotation_ = ReadInt32(s);
  TOrinControl::SetZoomX(ReadInt32(s));
  const std::string text = ReadString(s);
  if (version > 103) {
    SetLabel(kEventEveryFrame, ReadString(s));
    const std::string file = ReadString(s);
    loop_ = ReadByte(s) != 0;
    freeWhenFinished_ = ReadByte(s) != 0;
    SetLabel(kEventMotionFinished, ReadString(s));
    SetStopped(ReadByte(s) != 0);
    TOrinControl::SetZoomY(ReadInt32(s));
    file_.clear();
    SetFile(file);
  }
  lines_ = SplitTextLines(text);
  if (!lines_.empty() && lines_.back().empty()) lines_.pop_back();
  // The size follows from the text with the loaded zooms, whatever the control record held.
  Layout();
}

}  // namespace orin
