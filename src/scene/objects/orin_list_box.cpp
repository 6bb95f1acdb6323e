#include "scene/objects/orin_list_box.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "core/cp932.h"
#include "core/error.h"
#include "core/text.h"
#include "imaging/draw_char.h"
#include "imaging/font_pixel.h"
#include "imaging/screen_surface.h"
#include "params/custom_param.h"
#include "params/param_collection.h"
#include "params/script_text.h"
#include "resources/stream.h"
#include "scene/model/orin_base.h"
#include "scene/model/orin_base_list.h"
#include "scene/model/property_table.h"
#include "scene/objects/orin_custom_image.h"
#include "scene/text/text_services.h"

namespace orin {

using namespace literals;

namespace {

constexpr int kPropFontName = 15;
constexpr int kPropFontSize = 16;
constexpr int kPropStyle = 17;
constexpr int kPropLineSpacing = 18;
constexpr int kPropTextColor = 19;
constexpr int kPropBorderColor = 21;
constexpr int kPropHighlightColor = 22;
constexpr int kPropStyle2 = 23;
constexpr int kPropMenuValue = 24;
constexpr int kPropSmooth = 25;
constexpr int kPropVisibleRows = 49;
constexpr int kPropText = 50;
constexpr int kPropMargin51 = 51;
constexpr int kPropMargin52 = 52;
constexpr int kPropAlignment = 53;
constexpr int kPropSkinFirst = 54;
constexpr int kPropSkinLast = 62;
constexpr int kPropTripleFirst = 63;
constexpr int kPropTripleLast = 68;
constexpr int kPropBar = 69;
constexpr int kPropBar2 = 70;
constexpr int kPropCancel = 73;
constexpr int kPropTopIndex = 97;

constexpr int32_t kDefaultBarWidth = 16;
// Sizes and counts come from scripts; a row or a frame of more than this is taken as this, so
// that sums of them never overflow.
constexpr int32_t kMaxMetric = 4096;
constexpr int32_t kMaxFontSize = 1024;

const std::string kNoLabel;

const std::string& DefaultFont() {
  return "ＭＳ ゴシック"_sj;
}

int32_t Metric(int32_t v) { return std::clamp(v, 0, kMaxMetric); }

int32_t Clamp32(int64_t v) { return static_cast<int32_t>(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX)); }

// Index of a label among 72, 74, 75, 76, 77, 104, 105, or −1.
int LabelIndex(int code) {
  switch (code) {
    case kEventChosen:
      return 0;
    case kEventOpenStarted:
    case kEventOpened:
    case kEventCloseStarted:
    case kEventClosed:
      return code - kEventOpenStarted + 1;
    case kEventItemEntered:
      return 5;
    case kEventItemLeft:
      return 6;
    default:
      return -1;
  }
}

// The text without characters below 0x20 at either end, then split into lines at character
// boundaries (a lead byte never pairs with a line break).
std::vector<std::string> SplitItems(const std::string& text) {
  size_t first = 0, last = text.size();
  while (first < last && static_cast<uint8_t>(text[first]) < 0x20) ++first;
  while (last > first && static_cast<uint8_t>(text[last - 1]) < 0x20) --last;
  std::vector<std::string> items;
  if (first == last) return items;
  const std::string_view body(text.data() + first, last - first);
  std::string line;
  bool afterCr = false;
  ForEachChar(body, [&](size_t at, size_t len) {
    const char c = body[at];
    if (len == 1 && (c == '\r' || c == '\n')) {
      if (c == '\n' && afterCr) {
        afterCr = false;
        return;
      }
      items.push_back(std::move(line));
      line.clear();
      afterCr = c == '\r';
      return;
    }
    afterCr = false;
    line.append(body.substr(at, len));
  });
  items.push_back(std::move(line));
  return items;
}

uint32_t LayerPixel(const TDIBSurface& s, int32_t colour) {
  return s.ColorToPixel(colour & 0xFF, (colour >> 8) & 0xFF, (colour >> 16) & 0xFF);
}

}  // namespace

// ---- Item text

int32_t ItemTextWidth(TFontPixelManager* glyphs, const std::string& text, const ItemLook& look) {
  if (!glyphs || look.Size <= 0) return 0;
  int64_t width = 0;
  ForEachChar(text, [&](size_t at, size_t) {
    try {
      auto g = glyphs->GetGlyph(CharCodeAt(text, at), look.Font, look.Style, look.Size);
      width += std::max(0, g->AbcA + g->AbcB + g->AbcC);
    } catch (const Error&) {
      // A font that cannot be made takes no room.
    }
  });
  return static_cast<int32_t>(std::min<int64_t>(width, kMaxMetric * 4));
}

void RenderItemText(TFontPixelManager* glyphs, const std::string& text, const ItemLook& look, int depth,
                    ItemLayer& layer) {
  const int32_t k = std::clamp(look.BorderWidth, 0, kMaxBorderWidth);
  if (glyphs) glyphs->SetRenderMode(look.RenderMode);
  const int32_t textWidth = ItemTextWidth(glyphs, text, look);
  const int32_t w = std::max(1, textWidth + 2 * k), h = std::max(1, std::clamp(look.Size, 0, kMaxFontSize) + 2 * k);
  layer.Colour.SetSize(w, h, depth);
  layer.Coverage.SetSize(w, h, 8);
  layer.Width = textWidth + 2 * k;
  layer.Valid = true;
  if (!glyphs || look.Size <= 0) return;
  const uint32_t ink = LayerPixel(layer.Colour, look.Text);
  const uint32_t border = LayerPixel(layer.Colour, look.Border < 0 ? 0 : look.Border);
  const int32_t kk = look.Border < 0 ? 0 : k;
  int32_t x = look.Border < 0 ? k : 0;
  ForEachChar(text, [&](size_t at, size_t) {
    try {
      auto g = glyphs->GetGlyph(CharCodeAt(text, at), look.Font, look.Style, look.Size);
      const int32_t advance = std::max(0, g->AbcA + g->AbcB + g->AbcC);
      Rect changed;
      glyphs->DrawChar(*g, layer.Colour, layer.Coverage, false, changed, 0, border, ink, false, false, 0, kk,
                       Rect{x, 0, x + advance + 2 * kk, look.Size + 2 * kk});
      x += advance;
    } catch (const Error&) {
    }
  });
}

// ---- TOrinCustomListBox

TOrinCustomListBox::TOrinCustomListBox(TOrinBaseList* owner, const SceneServices& services)
    : TOrinControl(owner), services_(services) {}

TOrinCustomListBox::~TOrinCustomListBox() = default;

TParamCollection* TOrinCustomListBox::Vars() const { return services_.Text ? services_.Text->Vars : nullptr; }

void TOrinCustomListBox::SetItems(const std::string& text) {
  Invalidate();
  text_ = text;
  items_ = SplitItems(text);
  flags_.assign(items_.size(), 0);
  layers_.clear();
  layers_.resize(items_.size());
  top_ = 0;
  if (hover_ >= ItemCount()) hover_ = -1;
  if (selected_ >= ItemCount()) selected_ = -1;
  LayoutChanged();
}

int32_t TOrinCustomListBox::MaxTop() const { return std::max(0, ItemCount() - visibleRows_); }

void TOrinCustomListBox::SetTopIndex(int32_t top) {
  top = std::clamp(top, 0, MaxTop());
  if (top == top_) return;
  top_ = top;
  Invalidate();
}

void TOrinCustomListBox::LayoutChanged() {
  layoutNeeded_ = true;
  Invalidate();
}

void TOrinCustomListBox::LooksChanged() {
  for (auto& pair : layers_)
    for (ItemLayer& l : pair) l.Valid = false;
  LayoutChanged();
}

ItemLook TOrinCustomListBox::LookOf(bool highlighted) const {
  ItemLook look;
  look.Font = fontName_.empty() ? DefaultFont() : fontName_;
  look.Size = std::clamp(fontSize_, 0, kMaxFontSize);
  look.Style = static_cast<uint8_t>((highlighted ? style2_ : style_) & 0x0F);
  look.Text = highlighted ? highlightColor_ : textColor_;
  look.Border = borderColor_;
  look.BorderWidth = borderColor_ < 0 ? 0 : std::clamp(metrics1_[1], 0, kMaxBorderWidth);
  look.RenderMode = smooth_ ? 3 : 0;
  return look;
}

ItemLayer& TOrinCustomListBox::LayerOf(int32_t item, bool highlighted, int depth) {
  if (depth != layerDepth_) {
    for (auto& pair : layers_)
      for (ItemLayer& l : pair) l.Valid = false;
    layerDepth_ = depth;
  }
  ItemLayer& layer = layers_[static_cast<size_t>(item)][highlighted ? 1 : 0];
  if (!layer.Valid) RenderItemText(services_.Glyphs(), items_[static_cast<size_t>(item)], LookOf(highlighted), depth, layer);
  return layer;
}

int32_t TOrinCustomListBox::RowHeight() const {
  const int32_t border = borderColor_ < 0 ? 0 : std::clamp(metrics1_[1], 0, kMaxBorderWidth);
  return std::clamp(fontSize_, 0, kMaxFontSize) + 2 * border + 2 * Metric(metrics1_[2]);
}

int32_t TOrinCustomListBox::ScrollBarWidth() const {
  return bars_[0].Empty() ? kDefaultBarWidth : std::max(1, bars_[0][0].Picture.Color.Width() / 7);
}

int32_t TOrinCustomListBox::ArrowHeight() const {
  return bars_[0].Empty() ? kDefaultBarWidth : std::max(1, bars_[0][0].Picture.Color.Height());
}

void TOrinCustomListBox::Layout() {
  layoutNeeded_ = false;
  TFontPixelManager* glyphs = services_.Glyphs();
  int32_t widest = 0;
  if (glyphs) {
    for (int look = 0; look < 2; ++look) {
      const ItemLook l = LookOf(look == 1);
      for (const std::string& item : items_)
        widest = std::max(widest, ItemTextWidth(glyphs, item, l) + 2 * l.BorderWidth);
    }
  }
  const int32_t frame = Metric(metrics1_[0]);
  const int32_t pad = Metric(metrics1_[2]);
  auto skinSize = [&](int piece, bool vertical) {
    const ImageList& l = skin_[static_cast<size_t>(piece)].Images;
    if (l.Empty()) return 0;
    return vertical ? l[0].Picture.Color.Height() : l[0].Picture.Color.Width();
  };
  const int32_t skinW = std::max(0, skinSize(3, false) + skinSize(5, false) - 2 * frame);
  const int32_t skinH = std::max(0, skinSize(1, true) + skinSize(7, true) - 2 * frame);
  int64_t width = int64_t{widest} + 2 * pad + 2 * frame + Metric(metrics2_[0]) + Metric(metrics2_[2]) +
                  2 * int64_t{Metric(margin51_)} + skinW;
  if (ScrollBarShown()) width += ScrollBarWidth();
  width += std::max(0, PaneWidth());
  const int64_t rows = std::min(visibleRows_, ItemCount());
  const int64_t around = 2 * frame + Metric(metrics2_[1]) + Metric(metrics2_[3]) + 2 * int64_t{Metric(margin52_)} + skinH;
  int64_t height = around;
  if (rows > 0) height += rows * RowHeight() + (rows - 1) * Metric(rowSpacing_);
  height = std::max(height, around + std::max(0, PaneHeight()));
  laidOutHeight_ = Clamp32(height);
  if (KeepsHeight())
    SetWidth(Clamp32(width));
  else
    SetBounds(Left(), Top(), Clamp32(width), laidOutHeight_);
  top_ = std::clamp(top_, 0, MaxTop());
}

TOrinCustomListBox::Area TOrinCustomListBox::ItemArea() const {
  const int32_t frame = Metric(metrics1_[0]);
  const int32_t x = ScreenX(), y = ScreenY();
  Area a;
  a.Left = x + frame + Metric(metrics2_[0]) + Metric(margin51_);
  a.Top = y + frame + Metric(metrics2_[1]) + Metric(margin52_);
  a.Right = x + Width() - frame - Metric(metrics2_[2]) - Metric(margin51_) - (ScrollBarShown() ? ScrollBarWidth() : 0) -
            std::max(0, PaneWidth());
  a.Bottom = y + Height() - frame - Metric(metrics2_[3]) - Metric(margin52_);
  return a;
}

Rect TOrinCustomListBox::PaneRect() const {
  const Area bar = BarArea();
  const Area items = ItemArea();
  const int32_t left = bar.Right;
  return Rect{left, items.Top, left + std::max(0, PaneWidth()), items.Bottom};
}

TOrinCustomListBox::Area TOrinCustomListBox::BarArea() const {
  const int32_t frame = Metric(metrics1_[0]);
  const int32_t x = ScreenX(), y = ScreenY();
  Area a;
  a.Right = x + Width() - frame - Metric(metrics2_[2]) - std::max(0, PaneWidth());
  a.Left = a.Right - ScrollBarWidth();
  a.Top = y + frame + Metric(metrics2_[1]);
  a.Bottom = y + Height() - frame - Metric(metrics2_[3]);
  return a;
}

void TOrinCustomListBox::ThumbSpan(int32_t& top, int32_t& height) const {
  const Area bar = BarArea();
  const int32_t arrow = ArrowHeight();
  const int32_t track = std::max(0, bar.Bottom - bar.Top - 2 * arrow);
  height = std::min(arrow, track);
  const int32_t room = track - height;
  const int32_t maxTop = MaxTop();
  top = bar.Top + arrow + (maxTop > 0 ? static_cast<int32_t>(int64_t{room} * top_ / maxTop) : 0);
}

int32_t TOrinCustomListBox::ItemAt(int32_t x, int32_t y) const {
  const Area a = ItemArea();
  if (x < a.Left || x >= a.Right || y < a.Top || y >= a.Bottom) return -1;
  const int32_t step = RowHeight() + Metric(rowSpacing_);
  if (step <= 0) return -1;
  const int32_t row = (y - a.Top) / step;
  if ((y - a.Top) % step >= RowHeight()) return -1;
  const int64_t item = int64_t{top_} + row;
  return item < ItemCount() && row < visibleRows_ ? static_cast<int32_t>(item) : -1;
}

int TOrinCustomListBox::PartAt(int32_t x, int32_t y) const {
  if (!ScrollBarShown()) return kScrollNone;
  const Area bar = BarArea();
  if (x < bar.Left || x >= bar.Right || y < bar.Top || y >= bar.Bottom) return kScrollNone;
  const int32_t arrow = ArrowHeight();
  if (y < bar.Top + arrow) return kScrollUp;
  if (y >= bar.Bottom - arrow) return kScrollDown;
  int32_t thumbTop = 0, thumbHeight = 0;
  ThumbSpan(thumbTop, thumbHeight);
  if (y < thumbTop) return kScrollPageUp;
  if (y >= thumbTop + thumbHeight) return kScrollPageDown;
  return kScrollThumb;
}

bool TOrinCustomListBox::Selectable(int32_t item) const {
  return item >= 0 && item < ItemCount() && (flags_[static_cast<size_t>(item)] & (kItemDisabled | kItemHidden)) == 0;
}

void TOrinCustomListBox::SetHighlight(int32_t i) {
  if (i < -1 || i >= ItemCount()) i = -1;
  if (i == hover_) return;
  const int32_t old = hover_;
  hover_ = i;
  Invalidate();
  if (old >= 0) {
    const std::vector<std::string> args{items_[static_cast<size_t>(old)], std::to_string(old)};
    QueueEvent(labels_[6], kEventItemLeft, &args);
  }
  if (i >= 0) {
    const std::vector<std::string> args{items_[static_cast<size_t>(i)], std::to_string(i)};
    QueueEvent(labels_[5], kEventItemEntered, &args);
  }
  HighlightChanged();
}

bool TOrinCustomListBox::Choose() {
  if (!Selectable(hover_)) return false;
  selected_ = hover_;
  const std::string& text = items_[static_cast<size_t>(selected_)];
  if (TParamCollection* vars = Vars()) {
    vars->SelStr = text;
    vars->SelIndex = selected_;
  }
  const std::vector<std::string> args{text, std::to_string(selected_)};
  QueueEvent(labels_[0], kEventChosen, &args);
  return true;
}

void TOrinCustomListBox::ScrollBy(int32_t rows) {
  SetTopIndex(static_cast<int32_t>(std::clamp<int64_t>(int64_t{top_} + rows, 0, MaxTop())));
}

void TOrinCustomListBox::RepeatScroll() {
  switch (scroll_) {
    case kScrollUp:
      ScrollBy(-1);
      break;
    case kScrollDown:
      ScrollBy(1);
      break;
    case kScrollPageUp:
      ScrollBy(-std::max(1, visibleRows_));
      break;
    case kScrollPageDown:
      ScrollBy(std::max(1, visibleRows_));
      break;
    default:
      break;
  }
}

void TOrinCustomListBox::DragTo(int32_t y) {
  const int32_t frame = Metric(metrics1_[0]);
  const int32_t arrow = ArrowHeight();
  const int64_t span = int64_t{Height()} - 2 * frame - Metric(metrics2_[1]) - Metric(metrics2_[3]) - 3 * int64_t{arrow};
  if (span <= 0) return;
  const int64_t pos = int64_t{y} - ScreenY() - frame - Metric(metrics2_[1]) - arrow - arrow / 2;
  const double t = static_cast<double>(MaxTop()) * static_cast<double>(pos) / static_cast<double>(span);
  SetTopIndex(static_cast<int32_t>(std::clamp<double>(std::llround(t), 0, MaxTop())));
}

void TOrinCustomListBox::EnsureVisible(int32_t item) {
  if (item < 0) return;
  if (item < top_)
    SetTopIndex(item);
  else if (item >= top_ + visibleRows_)
    SetTopIndex(item - visibleRows_ + 1);
}

bool TOrinCustomListBox::Step() {
  if (scroll_ >= kScrollUp && scroll_ <= kScrollPageDown && Owner()) {
    repeatLeft_ -= Owner()->FrameDelta();
    while (repeatLeft_ <= 0) {
      if (onPressedPart_) RepeatScroll();
      repeatLeft_ += TOrinBaseList::kKeyRepeatInterval;
    }
  }
  return TOrinControl::Step();
}

void TOrinCustomListBox::MouseDown(MouseButton button, int32_t x, int32_t y) {
  if (button != MouseButton::kLeft || inputLock_ || Stopped() || !Admits(kHitLeft)) {
    TOrinControl::MouseDown(button, x, y);
    return;
  }
  if (layoutNeeded_) Layout();
  const int part = PartAt(x, y);
  scroll_ = static_cast<int8_t>(part);
  pressInItems_ = false;
  switch (part) {
    case kScrollThumb: {
      int32_t thumbTop = 0, thumbHeight = 0;
      ThumbSpan(thumbTop, thumbHeight);
      grabOffset_ = y - thumbTop;
      Invalidate();
      return;
    }
    case kScrollUp:
    case kScrollDown:
    case kScrollPageUp:
    case kScrollPageDown:
      onPressedPart_ = true;
      RepeatScroll();
      repeatLeft_ = TOrinBaseList::kKeyRepeatDelay;
      Invalidate();
      return;
    default:
      scroll_ = kScrollItems;
      pressInItems_ = true;
      if (int32_t item = ItemAt(x, y); Selectable(item)) SetHighlight(item);
      TOrinControl::MouseDown(button, x, y);
      return;
  }
}

void TOrinCustomListBox::MouseUp(MouseButton button, int32_t x, int32_t y) {
  if (button != MouseButton::kLeft) {
    TOrinControl::MouseUp(button, x, y);
    return;
  }
  const bool choose = scroll_ == kScrollItems && pressInItems_ && hover_ >= 0 && !inputLock_ && !Stopped();
  if (scroll_ != kScrollNone && scroll_ != kScrollItems) Invalidate();
  scroll_ = kScrollNone;
  pressInItems_ = false;
  onPressedPart_ = false;
  // The list raises no left-up event of its own; the release only ends the press.
  if (choose) Choose();
}

void TOrinCustomListBox::MouseMove(int32_t x, int32_t y) {
  if (layoutNeeded_) Layout();
  const bool over = PartAt(x, y) != kScrollNone;
  if (over != overBar_) {
    overBar_ = over;
    if (!bars_[1].Empty()) Invalidate();
  }
  if (scroll_ == kScrollThumb) {
    DragTo(y - grabOffset_ + ArrowHeight() / 2);
    return;
  }
  if (scroll_ >= kScrollUp && scroll_ <= kScrollPageDown) {
    onPressedPart_ = PartAt(x, y) == scroll_;
    return;
  }
  if (!inputLock_) {
    const int32_t item = ItemAt(x, y);
    if (Selectable(item))
      SetHighlight(item);
    else if (item < 0 && InputMode() != 1)
      SetHighlight(-1);
  }
  TOrinControl::MouseMove(x, y);
}

void TOrinCustomListBox::MouseLeave() {
  if (InputMode() != 1) SetHighlight(-1);
  if (overBar_) {
    overBar_ = false;
    Invalidate();
  }
  TOrinControl::MouseLeave();
}

void TOrinCustomListBox::MouseWheel(bool down) {
  if (!inputLock_ && !Stopped()) ScrollBy(down ? 1 : -1);
  TOrinControl::MouseWheel(down);
}

void TOrinCustomListBox::KeyRepeat() {
  TOrinBaseList* owner = Owner();
  if (owner && !inputLock_ && !Stopped() && ItemCount() > 0) {
    const int32_t last = ItemCount() - 1;
    const int32_t page = std::max(1, visibleRows_);
    int32_t next = hover_;
    if (owner->KeyRepeat(0x26))
      next = hover_ < 0 ? last : std::max(0, hover_ - 1);
    else if (owner->KeyRepeat(0x28))
      next = hover_ < 0 ? 0 : std::min(last, hover_ + 1);
    else if (owner->KeyRepeat(0x21))
      next = hover_ < 0 ? last : std::max(0, hover_ - page);
    else if (owner->KeyRepeat(0x22))
      next = hover_ < 0 ? 0 : std::min(last, hover_ + page);
    if (next != hover_) {
      SetHighlight(next);
      EnsureVisible(next);
    }
  }
  TOrinControl::KeyRepeat();
}

// ---- Drawing

void TOrinCustomListBox::DrawSkin(ScreenSurface& surface, const Rect& r) {
  auto picture = [&](int piece) -> const FrameDrawable* {
    const ImageList& l = skin_[static_cast<size_t>(piece)].Images;
    return l.Empty() ? nullptr : &l[0].Picture;
  };
  auto width = [&](int piece) { return picture(piece) ? picture(piece)->Color.Width() : 0; };
  auto height = [&](int piece) { return picture(piece) ? picture(piece)->Color.Height() : 0; };
  const int32_t leftW = std::max({width(0), width(3), width(6)});
  const int32_t rightW = std::max({width(2), width(5), width(8)});
  const int32_t topH = std::max({height(0), height(1), height(2)});
  const int32_t bottomH = std::max({height(6), height(7), height(8)});
  const int32_t xs[4] = {r.Left, r.Left + leftW, r.Right - rightW, r.Right};
  const int32_t ys[4] = {r.Top, r.Top + topH, r.Bottom - bottomH, r.Bottom};
  for (int row = 0; row < 3; ++row)
    for (int col = 0; col < 3; ++col) {
      const FrameDrawable* p = picture(row * 3 + col);
      if (!p) continue;
      const Rect dest{xs[col], ys[row], xs[col + 1], ys[row + 1]};
      if (dest.Width() <= 0 || dest.Height() <= 0) continue;
      DrawOptions o;
      o.Key = p->Color.HasAlpha() ? -1 : p->TransparentValue;
      surface.DrawScaled(dest, p->Color, p->Color.ClientRect(), p->Color.HasAlpha() ? p->Color.Alpha.get() : nullptr, o);
    }
}

void TOrinCustomListBox::DrawBar(ScreenSurface& surface) {
  const Area bar = BarArea();
  const int32_t arrow = ArrowHeight();
  int32_t thumbTop = 0, thumbHeight = 0;
  ThumbSpan(thumbTop, thumbHeight);
  const ImageList& images = overBar_ && !bars_[1].Empty() ? bars_[1] : bars_[0];
  const int32_t w = bar.Right - bar.Left;
  const Rect up{bar.Left, bar.Top, bar.Right, bar.Top + arrow};
  const Rect down{bar.Left, bar.Bottom - arrow, bar.Right, bar.Bottom};
  const Rect track{bar.Left, bar.Top + arrow, bar.Right, bar.Bottom - arrow};
  const Rect thumb{bar.Left, thumbTop, bar.Right, thumbTop + thumbHeight};
  if (images.Empty()) {
    const int32_t ink = borderColor_ >= 0 ? borderColor_ : 0x808080;
    surface.Fill(track, surface.ColorToPixel(0x404040));
    surface.Fill(up, surface.ColorToPixel(scroll_ == kScrollUp ? 0xFFFFFF : ink));
    surface.Fill(down, surface.ColorToPixel(scroll_ == kScrollDown ? 0xFFFFFF : ink));
    surface.Fill(thumb, surface.ColorToPixel(scroll_ == kScrollThumb ? 0xFFFFFF : ink));
    return;
  }
  const FrameDrawable& p = images[0].Picture;
  const int32_t partW = std::max(1, p.Color.Width() / 7);
  auto part = [&](int n, const Rect& dest) {
    if (dest.Width() <= 0 || dest.Height() <= 0 || w <= 0) return;
    DrawOptions o;
    o.Key = p.Color.HasAlpha() ? -1 : p.TransparentValue;
    surface.DrawScaled(dest, p.Color, Rect{n * partW, 0, (n + 1) * partW, p.Color.Height()},
                       p.Color.HasAlpha() ? p.Color.Alpha.get() : nullptr, o);
  };
  part(4, track);
  part(scroll_ == kScrollUp && onPressedPart_ ? 1 : 0, up);
  part(scroll_ == kScrollDown && onPressedPart_ ? 3 : 2, down);
  part(scroll_ == kScrollThumb ? 6 : 5, thumb);
}

void TOrinCustomListBox::Draw(ScreenSurface& surface) {
  if (layoutNeeded_) Layout();
  const Rect whole = ScreenRect();
  if (Color() >= 0) surface.Fill(surface.Clip(), surface.ColorToPixel(Color()));
  DrawSkin(surface, whole);
  const Area a = ItemArea();
  surface.PushClip(Rect{a.Left, a.Top, a.Right, a.Bottom});
  const int32_t rowHeight = RowHeight();
  const int32_t step = rowHeight + Metric(rowSpacing_);
  const int32_t pad = Metric(metrics1_[2]);
  const int32_t rows = std::min(visibleRows_, ItemCount() - top_);
  const Rect clip = surface.Clip();
  for (int32_t r = 0; r < rows; ++r) {
    const int32_t item = top_ + r;
    const uint8_t f = flags_[static_cast<size_t>(item)];
    if (f & kItemHidden) continue;
    const int32_t y = a.Top + r * step;
    if (y >= clip.Bottom || y + rowHeight <= clip.Top) continue;
    const bool lit = item == hover_ || (f & kItemChecked);
    ItemLayer& layer = LayerOf(item, lit, surface.Depth());
    int32_t x = a.Left + pad;
    const int32_t room = a.Right - a.Left - 2 * pad;
    if (alignment_ == 1) x += (room - layer.Width) / 2;
    if (alignment_ == 2) x += room - layer.Width;
    DrawOptions o;
    o.Opacity = (f & kItemDisabled) ? 128 : 255;
    surface.Draw(x, y + pad, layer.Colour, layer.Colour.ClientRect(), &layer.Coverage, o);
  }
  surface.PopClip();
  if (ScrollBarShown()) DrawBar(surface);
}

void TOrinCustomListBox::ReleaseSurfaces() {
  for (auto& pair : layers_)
    for (ItemLayer& l : pair) {
      l.Colour = TDIBSurface();
      l.Coverage = TDIBSurface();
      l.Valid = false;
    }
}

// ---- Files

void TOrinCustomListBox::LoadSkin(int piece, const std::string& file) {
  Skin& s = skin_[static_cast<size_t>(piece)];
  s.File = file;
  s.Images.Clear();
  if (!file.empty()) s.Images.Load(services_.Images(), file);
  LayoutChanged();
}

void TOrinCustomListBox::LoadBar(int which, const std::string& file) {
  barFiles_[static_cast<size_t>(which)] = file;
  bars_[static_cast<size_t>(which)].Clear();
  if (!file.empty()) bars_[static_cast<size_t>(which)].Load(services_.Images(), file);
  LayoutChanged();
}

// ---- Item states

uint8_t& TOrinCustomListBox::Flags(int32_t item) { return flags_[static_cast<size_t>(item)]; }

bool TOrinCustomListBox::GetCheck(int32_t item) {
  return item >= 0 && item < ItemCount() && (Flags(item) & kItemChecked);
}

void TOrinCustomListBox::SetCheck(int32_t item, bool checked) {
  if (item < 0 || item >= ItemCount()) return;
  Flags(item) = static_cast<uint8_t>(checked ? Flags(item) | kItemChecked : Flags(item) & ~kItemChecked);
  Invalidate();
}

bool TOrinCustomListBox::GetEnabled(int32_t item) {
  return item >= 0 && item < ItemCount() && !(Flags(item) & kItemDisabled);
}

void TOrinCustomListBox::SetEnabled(int32_t item, bool enabled) {
  if (item < 0 || item >= ItemCount()) return;
  Flags(item) = static_cast<uint8_t>(enabled ? Flags(item) & ~kItemDisabled : Flags(item) | kItemDisabled);
  if (!enabled && hover_ == item) SetHighlight(-1);
  Invalidate();
}

bool TOrinCustomListBox::GetVisible(int32_t item) {
  return item >= 0 && item < ItemCount() && !(Flags(item) & kItemHidden);
}

void TOrinCustomListBox::SetVisible(int32_t item, bool visible) {
  if (item < 0 || item >= ItemCount()) return;
  Flags(item) = static_cast<uint8_t>(visible ? Flags(item) & ~kItemHidden : Flags(item) | kItemHidden);
  if (!visible && hover_ == item) SetHighlight(-1);
  Invalidate();
}

int32_t TOrinCustomListBox::IndexOfItem(const std::string& text) {
  const std::string_view wanted = TrimBlanks(text);
  for (int32_t i = 0; i < ItemCount(); ++i)
    if (TrimBlanks(items_[static_cast<size_t>(i)]) == wanted) return i;
  return -1;
}

// ---- Properties

const std::string& TOrinCustomListBox::Label(int code) const {
  const int i = LabelIndex(code);
  return i >= 0 ? labels_[static_cast<size_t>(i)] : TOrinControl::Label(code);
}

void TOrinCustomListBox::SetLabel(int code, const std::string& label) {
  const int i = LabelIndex(code);
  if (i >= 0)
    labels_[static_cast<size_t>(i)] = label;
  else
    TOrinControl::SetLabel(code, label);
}

void TOrinCustomListBox::GetProp(int number, TCustomParam& dest) {
  if (number >= kPropSkinFirst && number <= kPropSkinLast) {
    dest.SetAsStr(skin_[static_cast<size_t>(number - kPropSkinFirst)].File);
    return;
  }
  if (number >= kPropTripleFirst && number <= kPropTripleLast) {
    dest.SetAsInt(triples_[static_cast<size_t>(number - kPropTripleFirst)]);
    return;
  }
  if (LabelIndex(number) >= 0) {
    dest.SetAsStr(Label(number));
    return;
  }
  switch (number) {
    case kPropBox1: dest.SetAsInt(box9_); return;
    case kPropBox2: dest.SetAsInt(box10_); return;
    case kPropAlpha: dest.SetAsInt(classValue_); return;
    case kPropFontName: dest.SetAsStr(fontName_); return;
    case kPropFontSize: dest.SetAsInt(fontSize_); return;
    case kPropStyle: dest.SetAsInt(style_); return;
    case kPropLineSpacing: dest.SetAsInt(rowSpacing_); return;
    case kPropTextColor: dest.SetAsInt(textColor_); return;
    case kPropBorderColor: dest.SetAsInt(borderColor_); return;
    case kPropHighlightColor: dest.SetAsInt(highlightColor_); return;
    case kPropStyle2: dest.SetAsInt(style2_); return;
    case kPropSmooth: dest.SetAsFlag(smooth_); return;
    case kPropIndex: dest.SetAsInt(selected_); return;
    case kPropVisibleRows: dest.SetAsInt(visibleRows_); return;
    case kPropText: dest.SetAsStr(text_); return;
    case kPropMargin51: dest.SetAsInt(margin51_); return;
    case kPropMargin52: dest.SetAsInt(margin52_); return;
    case kPropAlignment: dest.SetAsInt(alignment_); return;
    case kPropBar: dest.SetAsStr(barFiles_[0]); return;
    case kPropBar2: dest.SetAsStr(barFiles_[1]); return;
    case kPropTopIndex: dest.SetAsInt(top_); return;
    case kPropStopped: dest.SetAsFlag(Stopped()); return;
    case 141: case 142: case 143: dest.SetAsInt(metrics1_[static_cast<size_t>(number - 141)]); return;
    case 153: case 154: case 155: case 156: dest.SetAsInt(metrics2_[static_cast<size_t>(number - 153)]); return;
    default:
      TOrinControl::GetProp(number, dest);
  }
}

void TOrinCustomListBox::SetProp(int number, const TCustomParam& value) {
  if (number >= kPropSkinFirst && number <= kPropSkinLast) {
    LoadSkin(number - kPropSkinFirst, value.GetAsStr());
    return;
  }
  if (number >= kPropTripleFirst && number <= kPropTripleLast) {
    triples_[static_cast<size_t>(number - kPropTripleFirst)] = value.GetAsInt();
    return;
  }
  if (LabelIndex(number) >= 0) {
    SetLabel(number, value.GetAsStr());
    return;
  }
  auto look = [&](auto& field, auto v) {
    if (field == v) return;
    field = v;
    LooksChanged();
  };
  auto layoutValue = [&](int32_t& field, int32_t v) {
    if (field == v) return;
    field = v;
    LayoutChanged();
  };
  switch (number) {
    case kPropBox1: box9_ = value.GetAsInt(); Invalidate(); return;
    case kPropBox2: box10_ = value.GetAsInt(); Invalidate(); return;
    case kPropAlpha: classValue_ = value.GetAsInt(); return;
    case kPropFontName: look(fontName_, value.GetAsStr()); return;
    case kPropFontSize: look(fontSize_, value.GetAsInt()); return;
    case kPropStyle: look(style_, value.GetAsInt()); return;
    case kPropLineSpacing: layoutValue(rowSpacing_, value.GetAsInt()); return;
    case kPropTextColor: look(textColor_, value.GetAsInt()); return;
    case kPropBorderColor: look(borderColor_, value.GetAsInt()); return;
    case kPropHighlightColor: look(highlightColor_, value.GetAsInt()); return;
    case kPropStyle2: look(style2_, value.GetAsInt()); return;
    case kPropSmooth: look(smooth_, value.GetAsFlag()); return;
    case kPropIndex: {
      // A script's selection is clamped to the items (−1: none).
      const int32_t v = value.GetAsInt();
      selected_ = v < 0 || v >= ItemCount() ? -1 : v;
      Invalidate();
      return;
    }
    case kPropVisibleRows: layoutValue(visibleRows_, std::max(1, value.GetAsInt())); return;
    case kPropText: SetItems(value.GetAsStr()); return;
    case kPropMargin51: layoutValue(margin51_, value.GetAsInt()); return;
    case kPropMargin52: layoutValue(margin52_, value.GetAsInt()); return;
    case kPropAlignment: alignment_ = value.GetAsInt(); Invalidate(); return;
    case kPropBar: LoadBar(0, value.GetAsStr()); return;
    case kPropBar2: LoadBar(1, value.GetAsStr()); return;
    case kPropTopIndex: SetTopIndex(value.GetAsInt()); return;
    case kPropStopped: SetStopped(value.GetAsFlag()); return;
    case 141: case 142: case 143: look(metrics1_[static_cast<size_t>(number - 141)], value.GetAsInt()); return;
    case 153: case 154: case 155: case 156: layoutValue(metrics2_[static_cast<size_t>(number - 153)], value.GetAsInt()); return;
    default:
      TOrinControl::SetProp(number, value);
  }
}

// ---- Save and load

void TOrinCustomListBox::Save(Stream& s, int version) const {
  TOrinControl::Save(s, version);
  WriteInt32(s, 0);
  WriteInt32(s, 0);
  WriteString(s, text_);
  WriteInt32(s, rowSpacing_);
  for (int32_t v : {visibleRows_, margin51_, margin52_, box9_, box10_, selected_}) WriteInt32(s, v);
  for (const Skin& skin : skin_) {
    WriteString(s, skin.File);
    WriteByte(s, skin.Images.Empty() ? 0 : 1);
    WriteByte(s, 0);
  }
  WriteString(s, barFiles_[0]);
  WriteString(s, barFiles_[1]);
  WriteInt32(s, top_);
  WriteByte(s, inputLock_);
  WriteInt32(s, static_cast<int32_t>(flags_.size()));
  for (uint8_t f : flags_) WriteByte(s, f);
  WriteString(s, fontName_);
  for (int32_t v : {fontSize_, style_, style2_, textColor_, borderColor_, highlightColor_, classValue_, alignment_})
    WriteInt32(s, v);
  WriteByte(s, smooth_);
  for (int32_t v : triples_) WriteInt32(s, v);
  for (int32_t v : metrics1_) WriteInt32(s, v);
  for (int32_t v : metrics2_) WriteInt32(s, v);
  for (const std::string& l : labels_) WriteString(s, l);
}

void TOrinCustomListBox::Load(Stream& s, int version) {
  TOrinControl::Load(s, version);
  for (int list = 0; list < 2; ++list) {
    const int32_t count = ReadInt32(s);
    // Each label takes at least its kind byte.
    if (count < 0 || count > s.Remaining()) throw Error("scene: damaged list record: bad label count");
    for (int32_t i = 0; i < count; ++i)
      if (TOrinObject* label = Owner() ? Owner()->LoadObject(s, version, nullptr) : nullptr) Owner()->Destroy(*label);
  }
  const std::string text = ReadString(s);
  SetItems(text);
  rowSpacing_ = ReadInt32(s);
  visibleRows_ = std::max(1, ReadInt32(s));
  margin51_ = ReadInt32(s);
  margin52_ = ReadInt32(s);
  box9_ = ReadInt32(s);
  box10_ = ReadInt32(s);
  const int32_t selected = ReadInt32(s);
  selected_ = selected < 0 || selected >= ItemCount() ? -1 : selected;
  for (int piece = 0; piece < 9; ++piece) {
    const std::string file = ReadString(s);
    ReadByte(s);
    ReadByte(s);
    LoadSkin(piece, file);
  }
  const std::string bar0 = ReadString(s);
  const std::string bar1 = ReadString(s);
  LoadBar(0, bar0);
  LoadBar(1, bar1);
  const int32_t top = ReadInt32(s);
  inputLock_ = ReadByte(s) != 0;
  const int32_t flagCount = ReadInt32(s);
  if (flagCount < 0 || flagCount > s.Remaining()) throw Error("scene: damaged list record: bad item flag count");
  for (int32_t i = 0; i < flagCount; ++i) {
    const uint8_t f = ReadByte(s);
    if (i < ItemCount()) flags_[static_cast<size_t>(i)] = f;
  }
  fontName_ = ReadString(s);
  for (int32_t* v : {&fontSize_, &style_, &style2_, &textColor_, &borderColor_, &highlightColor_, &classValue_,
                     &alignment_})
    *v = ReadInt32(s);
  smooth_ = ReadByte(s) != 0;
  for (int32_t& v : triples_) v = ReadInt32(s);
  for (int32_t& v : metrics1_) v = ReadInt32(s);
  for (int32_t& v : metrics2_) v = ReadInt32(s);
  for (std::string& l : labels_) l = ReadString(s);
  hover_ = -1;
  scroll_ = kScrollNone;
  LooksChanged();
  top_ = std::clamp(top, 0, MaxTop());
}

// ---- TOrinMenu

TOrinMenu::TOrinMenu(TOrinBaseList* owner, const SceneServices& services) : TOrinCustomListBox(owner, services) {
  if (owner) owner->RegisterMenu(this);
}

TOrinMenu::~TOrinMenu() = default;

void TOrinMenu::BeforeFree() {
  if (Owner()) Owner()->UnregisterMenu(this);
}

void TOrinMenu::Raise(uint8_t code) { QueueEvent(Label(code), code); }

bool TOrinMenu::Pending(uint8_t code) const { return Owner() && Owner()->Events().IsPending(this, code); }

void TOrinMenu::RequestOpen(int32_t state) {
  if (state < kOpen || state > kClosing) return;
  // A request for the state the menu is in or heading for changes nothing.
  const bool opening = anim_ >= 100 && anim_ < 200;
  const bool closing = anim_ >= 200 || anim_ == 10;
  if ((state == kOpen || state == kOpening) && (opening || (anim_ == 0 && open_ == kOpen))) return;
  if ((state == kClosed || state == kClosing) && (closing || (anim_ == 0 && open_ == kClosed))) return;
  switch (state) {
    case kOpen:
      open_ = kOpen;
      anim_ = 0;
      Layout();
      SetHeight(LaidOutHeight());
      Raise(kEventOpenStarted);
      Raise(kEventOpened);
      break;
    case kOpening:
      open_ = kOpening;
      anim_ = 100;
      break;
    case kClosed:
      open_ = kClosed;
      anim_ = 0;
      SetHeight(0);
      Raise(kEventCloseStarted);
      Raise(kEventClosed);
      if (Owner()) Owner()->RequestFocusUpdate();
      break;
    case kClosing:
      open_ = kClosing;
      anim_ = 200;
      if (Owner()) Owner()->RequestFocusUpdate();
      break;
  }
}

void TOrinMenu::CloseNow() {
  if (anim_ >= 300) return;
  anim_ = 300;
}

void TOrinMenu::Cancel() {
  if (inputLock_ || Stopped() || (InputMode() != 0 && InputMode() != 3)) return;
  if (anim_ == 0 && open_ != kClosed) anim_ = 10;
}

bool TOrinMenu::Choose() {
  if (anim_ != 0 || open_ != kOpen) return false;
  if (!TOrinCustomListBox::Choose()) return false;
  if (freeWhenFinished_) CloseNow();
  return true;
}

void TOrinMenu::Draw(ScreenSurface& surface) {
  if (open_ == kClosed && anim_ == 0) return;
  TOrinCustomListBox::Draw(surface);
}

bool TOrinMenu::OfferCancel() {
  if (!cancel_ || anim_ != 0 || open_ != kOpen || inputLock_) return false;
  if (TParamCollection* vars = Vars()) {
    vars->SelStr.clear();
    vars->SelIndex = -1;
  }
  RequestOpen(kClosing);
  return true;
}

bool TOrinMenu::Step() {
  const int32_t clock = Owner() ? Owner()->Clock() : 0;
  switch (anim_) {
    case 10:
      if (LayoutNeeded()) Layout();
      anim_ = 0;
      RequestOpen(kClosing);
      break;
    case 100:
      Layout();
      Raise(kEventOpenStarted);
      fullHeight_ = LaidOutHeight();
      SetHeight(0);
      anim_ = 101;
      break;
    case 101:
      elapsed_ = clock;
      anim_ = 102;
      break;
    case 102: {
      const int64_t t = int64_t{clock} - elapsed_;
      if (duration_ <= 0 || t >= duration_) {
        SetHeight(fullHeight_);
        open_ = kOpen;
        anim_ = 0;
        Raise(kEventOpened);
      } else {
        SetHeight(static_cast<int32_t>(t * fullHeight_ / duration_));
      }
      break;
    }
    case 200:
      elapsed_ = clock;
      fullHeight_ = Height();
      Raise(kEventCloseStarted);
      anim_ = 201;
      break;
    case 201: {
      const int64_t t = int64_t{clock} - elapsed_;
      if (duration_ <= 0 || t >= duration_) {
        SetHeight(0);
        open_ = kClosed;
        Raise(kEventClosed);
        anim_ = 302;
      } else {
        SetHeight(static_cast<int32_t>(fullHeight_ - t * fullHeight_ / duration_));
      }
      break;
    }
    case 300:
      Raise(kEventCloseStarted);
      Raise(kEventClosed);
      open_ = kClosed;
      anim_ = 301;
      break;
    case 301:
      anim_ = 302;
      [[fallthrough]];
    case 302:
      if (!Pending(kEventCloseStarted) && !Pending(kEventClosed)) return true;
      break;
    default:
      break;
  }
  return TOrinCustomListBox::Step();
}

void TOrinMenu::GetProp(int number, TCustomParam& dest) {
  switch (number) {
    case kPropInterval: dest.SetAsInt(duration_); return;
    case kPropOneShot: dest.SetAsFlag(freeWhenFinished_); return;
    case kPropCancel: dest.SetAsFlag(cancel_); return;
    case kPropMenuValue: dest.SetAsInt(menuValue_); return;
    case kPropBusy: dest.SetAsFlag(anim_ != 0); return;
    default:
      TOrinCustomListBox::GetProp(number, dest);
  }
}

void TOrinMenu::SetProp(int number, const TCustomParam& value) {
  switch (number) {
    case kPropInterval: duration_ = std::max(0, value.GetAsInt()); return;
    case kPropOneShot: freeWhenFinished_ = value.GetAsFlag(); return;
    case kPropCancel: cancel_ = value.GetAsFlag(); return;
    case kPropMenuValue: menuValue_ = value.GetAsInt(); return;
    default:
      TOrinCustomListBox::SetProp(number, value);
  }
}

void TOrinMenu::Save(Stream& s, int version) const {
  TOrinCustomListBox::Save(s, version);
  const int32_t clock = Owner() ? Owner()->Clock() : 0;
  const int32_t since = anim_ == 102 || anim_ == 201 ? static_cast<int32_t>(int64_t{clock} - elapsed_) : 0;
  for (int32_t v : {open_, anim_, fullHeight_, since, duration_}) WriteInt32(s, v);
  WriteByte(s, freeWhenFinished_);
  WriteByte(s, cancel_);
  WriteByte(s, closeNow_);
  WriteInt32(s, menuValue_);
}

void TOrinMenu::Load(Stream& s, int version) {
  TOrinCustomListBox::Load(s, version);
  open_ = ReadInt32(s);
  anim_ = ReadInt32(s);
  fullHeight_ = ReadInt32(s);
  const int32_t since = ReadInt32(s);
  duration_ = std::max(0, ReadInt32(s));
  freeWhenFinished_ = ReadByte(s) != 0;
  cancel_ = ReadByte(s) != 0;
  closeNow_ = ReadByte(s) != 0;
  menuValue_ = ReadInt32(s);
  if (open_ < kOpen || open_ > kClosing) open_ = kClosed;
  // Unknown animation states from a damaged save end where the open state says.
  static constexpr int32_t kStates[] = {0, 10, 100, 101, 102, 200, 201, 300, 301, 302};
  if (std::find(std::begin(kStates), std::end(kStates), anim_) == std::end(kStates)) anim_ = 0;
  const int32_t clock = Owner() ? Owner()->Clock() : 0;
  elapsed_ = static_cast<int32_t>(int64_t{clock} - since);
}

}  // namespace orin
