#include "scene/objects/orin_cg_label.h"

#include <algorithm>

#include "core/cp932.h"
#include "imaging/screen_surface.h"
#include "params/custom_param.h"
#include "resources/stream.h"
#include "scene/model/orin_base_list.h"
#include "scene/model/property_table.h"

namespace orin {

namespace {

constexpr int kPropSpacing = 18;
constexpr int kPropText = 50;
constexpr int kPropAlignment = 53;
constexpr int kPropPictureWidth = 90;
constexpr int kPropPictureHeight = 91;
constexpr int kPropCharacterSet = 129;
constexpr int kPropCellWidth = 130;
constexpr int kPropCellHeight = 131;

// The characters of cp932 text, each one or two bytes.
std::vector<std::string_view> Characters(std::string_view text) {
  std::vector<std::string_view> out;
  for (size_t pos = 0; pos < text.size();) {
    const size_t n = IsLeadByte(text[pos]) && pos + 1 < text.size() ? 2 : 1;
    out.push_back(text.substr(pos, n));
    pos += n;
  }
  return out;
}

// Lines split at CR LF, LF or a lone CR; a break at the very end opens no empty last line.
std::vector<std::string_view> Lines(std::string_view text) {
  std::vector<std::string_view> out;
  size_t start = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\r' && text[i] != '\n') continue;
    out.push_back(text.substr(start, i - start));
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
    start = i + 1;
  }
  if (start < text.size()) out.push_back(text.substr(start));
  return out;
}

}  // namespace

TOrinCGLabel::TOrinCGLabel(TOrinBaseList* owner, const SceneServices& services)
    : TOrinControl(owner), services_(services) {}

TOrinCGLabel::~TOrinCGLabel() = default;

void TOrinCGLabel::BeforeFree() { Invalidate(); }

void TOrinCGLabel::MakeCurrent(int32_t index) {
  const int32_t count = pictures_.Count();
  if (count == 0) {
    index_ = -1;
    return;
  }
  index_ = std::clamp(index, 0, count - 1);
  timer_ = pictures_[index_].Duration + 1;
}

bool TOrinCGLabel::Animate() {
  const int32_t count = pictures_.Count();
  if (count <= 1 || index_ < 0) return false;
  timer_ -= Owner() ? Owner()->FrameDelta() : 0;
  if (timer_ >= 1) return false;
  while (timer_ < 1) {
    index_ = (index_ + 1) % count;
    if (index_ == 0) {
      timer_ = pictures_[0].Duration;
      break;
    }
    timer_ += pictures_[index_].Duration;
  }
  return true;
}

void TOrinCGLabel::SetFile(const std::string& file) {
  if (file == file_) return;
  Invalidate();
  file_ = file;
  index_ = -1;
  pictures_.Clear();
  if (file.empty()) return;
  pictures_.Load(services_.Images(), file);
  if (!pictures_.Empty()) MakeCurrent(0);
}

void TOrinCGLabel::SetText(const std::string& text) {
  text_ = text;
  Index();
  Size();
}

void TOrinCGLabel::SetCharacterSet(const std::string& set) {
  characterSet_ = set;
  Index();
  Invalidate();
}

void TOrinCGLabel::Index() {
  const std::vector<std::string_view> set = Characters(characterSet_);
  cells_.clear();
  for (std::string_view line : Lines(text_)) {
    std::vector<int32_t>& cells = cells_.emplace_back();
    for (std::string_view c : Characters(line)) {
      const auto at = std::find(set.begin(), set.end(), c);
      cells.push_back(at == set.end() ? -1 : static_cast<int32_t>(at - set.begin()));
    }
  }
}

void TOrinCGLabel::Size() {
  size_t longest = 0;
  for (const auto& line : cells_) longest = std::max(longest, line.size());
  const int64_t lines = static_cast<int64_t>(cells_.size());
  const int64_t width = static_cast<int64_t>(longest) * cellWidth_;
  int64_t height = lines * cellHeight_;
  if (lines > 1) height += int64_t{spacing_} * (lines - 1);
  auto clamp = [](int64_t v) { return static_cast<int32_t>(std::clamp<int64_t>(v, 0, INT32_MAX)); };
  Invalidate();
  SetBounds(Left(), Top(), clamp(width), clamp(height));
  Invalidate();
}

bool TOrinCGLabel::Step() {
  const bool finished = TOrinControl::Step();
  if (finished || Paused()) return finished;
  if (Animate()) Invalidate();
  return finished;
}

bool TOrinCGLabel::DrawsTree() const {
  return Width() > 0 && Height() > 0 && index_ >= 0 && index_ < pictures_.Count() &&
         pictures_[index_].Picture.Color.Width() / cellWidth_ >= 1;
}

void TOrinCGLabel::Draw(ScreenSurface& surface) {
  if (Width() <= 0 || Height() <= 0 || index_ < 0 || index_ >= pictures_.Count()) return;
  // The opacities the picture draw knows: 1-511.
  if (opacity_ <= 0 || opacity_ >= 512) return;
  const FrameDrawable& picture = pictures_[index_].Picture;
  const TDIBSurface& color = picture.Color;
  const int64_t columns = color.Width() / cellWidth_;
  if (columns < 1) return;
  const int64_t cells = (color.Height() / cellHeight_) * columns;
  const TDIBSurface* mask = color.HasAlpha() ? color.Alpha.get() : nullptr;
  DrawOptions options;
  options.Opacity = opacity_;
  options.Key = mask ? -1 : picture.TransparentValue;
  options.FlipX = FlipX();
  options.FlipY = FlipY();
  int64_t y = ScreenY();
  for (const auto& line : cells_) {
    const int64_t used = static_cast<int64_t>(line.size()) * cellWidth_;
    int64_t x = ScreenX();
    if (alignment_ == 1) x += (Width() - used) / 2;
    if (alignment_ == 2) x += Width() - used;
    for (int32_t i : line) {
      if (i >= 0 && i < cells && x >= INT32_MIN && x <= INT32_MAX && y >= INT32_MIN && y <= INT32_MAX) {
        const Rect source{static_cast<int32_t>(i % columns * cellWidth_), static_cast<int32_t>(i / columns * cellHeight_),
                          static_cast<int32_t>(i % columns * cellWidth_ + cellWidth_),
                          static_cast<int32_t>(i / columns * cellHeight_ + cellHeight_)};
        surface.Draw(static_cast<int>(x), static_cast<int>(y), color, source, mask, options);
      }
      x += cellWidth_;
    }
    y += int64_t{cellHeight_} + spacing_;
  }
}

void TOrinCGLabel::GetProp(int number, TCustomParam& dest) {
  switch (number) {
    case kPropFile:
      dest.SetAsStr(file_);
      return;
    case kPropText:
      dest.SetAsStr(text_);
      return;
    case kPropCharacterSet:
      dest.SetAsStr(characterSet_);
      return;
    case kPropCellWidth:
      dest.SetAsInt(cellWidth_);
      return;
    case kPropCellHeight:
      dest.SetAsInt(cellHeight_);
      return;
    case kPropSpacing:
      dest.SetAsInt(spacing_);
      return;
    case kPropAlignment:
      dest.SetAsInt(alignment_);
      return;
    case kPropAlpha:
      dest.SetAsInt(opacity_);
      return;
    case kPropPictureWidth:
      dest.SetAsInt(index_ >= 0 ? pictures_[index_].Picture.Color.Width() : 0);
      return;
    case kPropPictureHeight:
      dest.SetAsInt(index_ >= 0 ? pictures_[index_].Picture.Color.Height() : 0);
      return;
    case kPropBusy:
      dest.SetAsFlag(!Stopped() && !Paused());
      return;
    default:
      TOrinControl::GetProp(number, dest);
  }
}

void TOrinCGLabel::SetProp(int number, const TCustomParam& value) {
  switch (number) {
    case kPropFile:
      SetFile(value.GetAsStr());
      return;
    case kPropText:
      SetText(value.GetAsStr());
      return;
    case kPropCharacterSet:
      SetCharacterSet(value.GetAsStr());
      return;
    case kPropCellWidth:
      cellWidth_ = std::max(value.GetAsInt(), 1);
      Size();
      return;
    case kPropCellHeight:
      cellHeight_ = std::max(value.GetAsInt(), 1);
      Size();
      return;
    case kPropSpacing:
      spacing_ = value.GetAsInt();
      Size();
      return;
    case kPropAlignment:
      alignment_ = static_cast<uint8_t>(value.GetAsInt());
      Invalidate();
      return;
    case kPropAlpha:
      opacity_ = value.GetAsInt();
      Invalidate();
      return;
    default:
      TOrinControl::SetProp(number, value);
  }
}

void TOrinCGLabel::Save(Stream& s, int version) const {
  TOrinControl::Save(s, version);
  WriteString(s, file_);
  WriteString(s, text_);
  WriteString(s, characterSet_);
  WriteInt32(s, cellWidth_);
  WriteInt32(s, cellHeight_);
  WriteInt32(s, spacing_);
  WriteByte(s, Stopped());
  WriteByte(s, alignment_);
  WriteInt32(s, opacity_);
  if (version >= 125) WriteString(s, Label(kEventEveryFrame));
}

void TOrinCGLabel::Load(Stream& s, int version) {
  TOrinControl::Load(s, version);
  SetFile(ReadString(s));
  text_ = ReadString(s);
  characterSet_ = ReadString(s);
  // A damaged record's cell size of 0 must not divide the drawing by zero.
  cellWidth_ = std::max(ReadInt32(s), 1);
  cellHeight_ = std::max(ReadInt32(s), 1);
  spacing_ = ReadInt32(s);
  SetStopped(ReadByte(s) != 0);
  alignment_ = ReadByte(s);
  opacity_ = ReadInt32(s);
  if (version >= 125) SetLabel(kEventEveryFrame, ReadString(s));
  Index();
  Size();
}

}  // namespace orin
