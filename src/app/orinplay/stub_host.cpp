#include "app/orinplay/stub_host.h"

#include "core/error.h"
#include "core/text.h"
#include "imaging/dib_surface.h"
#include "resources/stream.h"
#include "script/project_file.h"

namespace orin::play {

using namespace literals;

void StubGameHost::Initialise(const GameSettings&, MainWindow& window) {
  // As the project does: stopped until the project file has been read.
  state_.Closing = true;
  MemoryStream data;
  try {
    files_.LoadToStream(data, "orin.opb");
  } catch (const Error&) {
    return;  // an unreadable project file stops the game without a word
  }
  if (data.GetSize() == 0) {
    window.ShowMessage("警告"_sj, "プロジェクトがありません"_sj, MessageButtons::kOk,
                       MessageIcon::kWarning);
    return;
  }
  ProjectFile project;
  if (!project.LoadFromStream(data)) return;
  // The back buffer and the window are sized from these numbers.
  if (project.ScreenWidth > TDIBSurface::kMaxSide || project.ScreenHeight > TDIBSurface::kMaxSide ||
      int64_t{project.ScreenWidth} * project.ScreenHeight > TDIBSurface::kMaxPixels)
    throw Error(Format("orin.opb: the screen size %dx%d is too large", project.ScreenWidth,
                       project.ScreenHeight));
  hasProject_ = true;
  title_ = project.Title;
  width_ = project.ScreenWidth;
  height_ = project.ScreenHeight;
  pacing_ = project.FramePacing != 0;
  window.SetCaption(title_);
  state_.Closing = false;
  if (width_ > 0 && height_ > 0) backBuffer_.Resize(width_, height_, 0);
}

DrawnFrame StubGameHost::Draw() {
  DrawnFrame frame;
  frame.BackBuffer = backBuffer_.View();
  if (firstDraw_) frame.Dirty.push_back(backBuffer_.Bounds());
  return frame;
}

}  // namespace orin::play
