#include "scene/objects/orin_box.h"

#include "imaging/screen_surface.h"
#include "params/custom_param.h"
#include "resources/stream.h"
#include "scene/model/property_table.h"

namespace orin {

void TOrinBox::Draw(ScreenSurface& surface) {
  if (Color() >= 0) surface.Fill(surface.Clip(), surface.ColorToPixel(Color()));
}

void TOrinBox::SetFile(const std::string& file) {
  if (file == file_) return;
  file_ = file;
  LoadMotionFile(file);
}

void TOrinBox::GetProp(int number, TCustomParam& dest) {
  switch (number) {
    case kPropFile:
      dest.SetAsStr(file_);
      return;
    case kPropBox1:
      dest.SetAsInt(box1_);
      return;
    case kPropBox2:
      dest.SetAsInt(box2_);
      return;
    case kPropLoop:
      dest.SetAsFlag(loop_);
      return;
    case kPropOneShot:
      dest.SetAsFlag(freeWhenFinished_);
      return;
    default:
      TOrinControl::GetProp(number, dest);
  }
}

void TOrinBox::SetProp(int number, const TCustomParam& value) {
  switch (number) {
    case kPropFile:
      SetFile(value.GetAsStr());
      return;
    case kPropBox1:
      box1_ = value.GetAsInt();
      Invalidate();
      return;
    case kPropBox2:
      box2_ = value.GetAsInt();
      Invalidate();
      return;
    case kPropLoop: {
      const bool loop = value.GetAsFlag();
      // Switching loop on restarts a motion that has run out.
      if (loop && !loop_ && Motion() && Motion()->Finished()) RestartMotion();
      loop_ = loop;
      return;
    }
    case kPropOneShot:
      freeWhenFinished_ = value.GetAsFlag();
      return;
    default:
      TOrinControl::SetProp(number, value);
  }
}

void TOrinBox::Save(Stream& s, int version) const {
  TOrinControl::Save(s, version);
  WriteInt32(s, box1_);
  WriteInt32(s, box2_);
  WriteString(s, file_);
  WriteByte(s, loop_);
  WriteByte(s, freeWhenFinished_);
  WriteString(s, Label(kEventMotionFinished));
  WriteString(s, Label(kEventEveryFrame));
  WriteByte(s, Stopped());
}

void TOrinBox::Load(Stream& s, int version) {
  TOrinControl::Load(s, version);
  box1_ = ReadInt32(s);
  box2_ = ReadInt32(s);
  const std::string file = ReadString(s);
  loop_ = ReadByte(s) != 0;
  freeWhenFinished_ = ReadByte(s) != 0;
  SetLabel(kEventMotionFinished, ReadString(s));
  SetLabel(kEventEveryFrame, ReadString(s));
  SetStopped(ReadByte(s) != 0);
  file_.clear();
  SetFile(file);
}

}  // namespace orin
