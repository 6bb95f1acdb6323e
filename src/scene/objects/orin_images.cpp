#include "scene/objects/orin_images.h"

#include "core/cp932.h"
#include "core/error.h"
#include "resources/file_manager.h"
#include "scene/model/motion_film.h"
#include "scene/model/orin_base_list.h"
#include "params/custom_param.h"
#include "resources/stream.h"
#include "scene/model/property_table.h"

namespace orin {

TOrinImages::FileKind TOrinImages::KindOfFile(const std::string& name) {
  std::string file = name;
  // The cache's "?m" and "?t" forms name the same file.
  if (file.size() >= 2 && file[file.size() - 2] == '?') file.resize(file.size() - 2);
  if (file.size() < 4) return FileKind::kNone;
  const std::string extension = LowerCase(file.substr(file.size() - 4));
  if (extension == ".mur") return FileKind::kImages;
  if (extension == ".omt") return FileKind::kMotion;
  return FileKind::kNone;
}

TOrinImages::TOrinImages(TOrinBaseList* owner, const SceneServices& services, int listCount)
    : TOrinCustomImages(owner, services, listCount) {}

TOrinImages::FileKind TOrinImages::LoadList(int list, const std::string& file) {
  if (list < 0 || list >= ListCount()) return FileKind::kNone;
  List(list).Clear();
  const FileKind kind = KindOfFile(file);
  if (kind == FileKind::kImages) List(list).Load(Services().Images(), file);
  return kind;
}

void TOrinImages::SetFile(const std::string& file) {
  if (file == file_) return;
  file_ = file;
  if (CurrentList() == 0) ResetImage();
  DetachMotion();
  ClearMotionImages();
  const FileKind kind = LoadList(0, file);
  if (kind == FileKind::kMotion) LoadMotion(file);
  if (kind == FileKind::kNone || (kind == FileKind::kImages && List(0).Empty()))
    SetBounds(Left(), Top(), 0, 0);
  if ((Index() < 0 || Index() >= Images().Count()) && Images().Count() > 0) ShowImage(0);
}

void TOrinImages::LoadMotion(const std::string& file) {
  TVrFileManager* files = Owner() ? Owner()->Files() : nullptr;
  if (!files) return;
  auto film = std::make_unique<MotionFilm>();
  try {
    MemoryStream content;
    files->LoadToStream(content, file);
    content.SetPosition(0);
    film->Read(content);
  } catch (const Error& e) {
    // The object stays without a motion; the game goes on.
    if (TMuraCollection* cache = Services().Images()) cache->Report(file + ": the motion cannot be played: " + e.Message());
    return;
  }
  AttachMotion(std::move(film), file);
}

void TOrinImages::SetLoop(bool loop) {
  const bool switchedOn = loop && !loop_;
  loop_ = loop;
  if (!switchedOn) return;
  if (Motion()) {
    if (Motion()->Finished()) RestartMotion();
    return;
  }
  SetAnimationFinished(false);
  if ((Index() < 0 || Index() >= Images().Count()) && Images().Count() > 0) ShowImage(0);
}

void TOrinImages::GetProp(int number, TCustomParam& dest) {
  switch (number) {
    case kPropFile:
      dest.SetAsStr(file_);
      return;
    case kPropLoop:
      dest.SetAsFlag(loop_);
      return;
    case kPropOneShot:
      dest.SetAsFlag(freeWhenFinished_);
      return;
    default:
      TOrinCustomImages::GetProp(number, dest);
  }
}

void TOrinImages::SetProp(int number, const TCustomParam& value) {
  switch (number) {
    case kPropFile:
      SetFile(value.GetAsStr());
      return;
    case kPropLoop:
      SetLoop(value.GetAsFlag());
      return;
    case kPropOneShot:
      freeWhenFinished_ = value.GetAsFlag();
      return;
    default:
      TOrinCustomImages::SetProp(number, value);
  }
}

void TOrinImages::Save(Stream& s, int version) const {
  TOrinCustomImages::Save(s, version);
  WriteByte(s, loop_);
  WriteByte(s, freeWhenFinished_);
  WriteString(s, file_);
  WriteString(s, Label(kEventMotionFinished));
  if (version >= 104) WriteString(s, Label(kEventEveryFrame));
}

void TOrinImages::Load(Stream& s, int version) {
  TOrinCustomImages::Load(s, version);
  loop_ = ReadByte(s) != 0;
  freeWhenFinished_ = ReadByte(s) != 0;
  const std::string file = ReadString(s);
  SetLabel(kEventMotionFinished, ReadString(s));
  if (version >= 104) SetLabel(kEventEveryFrame, ReadString(s));
  file_.clear();
  SetFile(file);
  RestoreSavedIndex();
}

}  // namespace orin
