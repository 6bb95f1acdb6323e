#include "scene/objects/orin_prev_menu.h"

#include <algorithm>

#include "imaging/screen_surface.h"
#include "params/custom_param.h"
#include "resources/stream.h"
#include "scene/model/property_table.h"

namespace orin {

TOrinPrevMenu::TOrinPrevMenu(TOrinBaseList* owner, const SceneServices& services) : TOrinMenu(owner, services) {}

TOrinPrevMenu::~TOrinPrevMenu() = default;

int32_t TOrinPrevMenu::PreviewIndex() const {
  if (Highlighted() >= 0) return Highlighted();
  return Selected();
}

void TOrinPrevMenu::LoadFile(const std::string& file) {
  file_ = file;
  pictures_.Clear();
  paneW_ = paneH_ = 0;
  if (!file.empty()) pictures_.Load(Services().Images(), file);
  for (int32_t i = 0; i < pictures_.Count(); ++i) {
    const TDIBSurface& c = pictures_[i].Picture.Color;
    paneW_ = std::max(paneW_, c.Width());
    paneH_ = std::max(paneH_, c.Height());
  }
  LayoutChanged();
}

void TOrinPrevMenu::Draw(ScreenSurface& surface) {
  TOrinMenu::Draw(surface);
  if (OpenStateNow() == kClosed && AnimationState() == 0) return;
  const int32_t i = PreviewIndex();
  if (i < 0 || i >= pictures_.Count()) return;
  const FrameDrawable& p = pictures_[i].Picture;
  const Rect pane = PaneRect();
  if (pane.Width() <= 0 || pane.Height() <= 0) return;
  surface.PushClip(pane);
  DrawOptions o;
  o.Key = p.Color.HasAlpha() ? -1 : p.TransparentValue;
  surface.Draw(pane.Left, pane.Top, p.Color, p.Color.ClientRect(), p.Color.HasAlpha() ? p.Color.Alpha.get() : nullptr, o);
  surface.PopClip();
}

void TOrinPrevMenu::GetProp(int number, TCustomParam& dest) {
  if (number == kPropFile) {
    dest.SetAsStr(file_);
    return;
  }
  TOrinMenu::GetProp(number, dest);
}

void TOrinPrevMenu::SetProp(int number, const TCustomParam& value) {
  if (number == kPropFile) {
    LoadFile(value.GetAsStr());
    return;
  }
  TOrinMenu::SetProp(number, value);
}

void TOrinPrevMenu::Save(Stream& s, int version) const {
  TOrinMenu::Save(s, version);
  WriteString(s, file_);
}

void TOrinPrevMenu::Load(Stream& s, int version) {
  TOrinMenu::Load(s, version);
  LoadFile(ReadString(s));
}

}  // namespace orin
