#include "scene/model/orin_object.h"

#include "params/custom_param.h"
#include "resources/stream.h"
#include "scene/model/orin_base_list.h"
#include "scene/model/property_table.h"

namespace orin {

void TOrinObject::Rename(const std::string& name) {
  if (owner_)
    owner_->Rename(*this, name);
  else
    name_ = name;
}

void TOrinObject::Delete() {
  if (owner_) owner_->Delete(*this);
}

void TOrinObject::SetDepth(int32_t depth) {
  depth_ = depth;
  depthOffset_ = 0;
}

void TOrinObject::SetDepthOffset(int32_t offset) { depthOffset_ = offset; }

const std::string& TOrinObject::EveryFrameLabel() const {
  static const std::string none;
  return none;
}

void TOrinObject::GetProp(int number, TCustomParam& dest) {
  switch (number) {
    case kPropName:
      dest.SetAsStr(name_);
      return;
    case kPropDepth:
      dest.SetAsInt(depth_);
      return;
    case kPropStopped:
      dest.SetAsFlag(Stopped());
      return;
    case kPropKind:
      dest.SetAsInt(Kind());
      return;
    case kPropComment:
      dest.SetAsStr(comment_);
      return;
    default:
      break;
  }
  switch (PropertyValueType(number)) {
    case kTypeStr:
      dest.SetAsStr({});
      break;
    case kTypeFlag:
      dest.SetAsFlag(false);
      break;
    case kTypeFloat:
      dest.SetAsFloat(0);
      break;
    default:
      dest.SetAsInt(0);
      break;
  }
}

void TOrinObject::SetProp(int number, const TCustomParam& value) {
  switch (number) {
    case kPropName:
      Rename(value.GetAsStr());
      break;
    case kPropDepth:
      SetDepth(value.GetAsInt());
      break;
    case kPropStopped:
      SetStopped(value.GetAsFlag());
      break;
    case kPropComment:
      comment_ = value.GetAsStr();
      break;
    default:
      break;
  }
}

bool TOrinObject::GetCheck(int32_t /*item*/) { return false; }
void TOrinObject::SetCheck(int32_t /*item*/, bool /*checked*/) {}
bool TOrinObject::GetEnabled(int32_t /*item*/) { return !Stopped(); }
void TOrinObject::SetEnabled(int32_t /*item*/, bool enabled) { SetStopped(!enabled); }
bool TOrinObject::GetVisible(int32_t /*item*/) { return false; }
void TOrinObject::SetVisible(int32_t /*item*/, bool /*visible*/) {}
int32_t TOrinObject::IndexOfItem(const std::string& /*text*/) { return -1; }

bool TOrinObject::QueueEvent(const std::string& label, uint8_t code, const std::vector<std::string>* args,
                             bool onlyOnce) {
  if (label.empty() || !owner_ || (onlyOnce && owner_->Events().IsPending(this, code))) return false;
  owner_->Events().Add(this, label, args, code);
  return true;
}

void TOrinObject::Save(Stream& s, int version) const {
  WriteString(s, name_);
  WriteInt32(s, depth_);
  if (version >= 104) WriteInt32(s, depthOffset_);
  if (version >= 120) WriteString(s, comment_);
}

void TOrinObject::Load(Stream& s, int version) {
  name_ = ReadString(s);
  depth_ = ReadInt32(s);
  depthOffset_ = version >= 104 ? ReadInt32(s) : 0;
  if (version >= 120) comment_ = ReadString(s);
}

}  // namespace orin
