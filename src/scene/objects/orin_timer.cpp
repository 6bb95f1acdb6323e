#include "scene/objects/orin_timer.h"

#include "params/custom_param.h"
#include "resources/stream.h"
#include "scene/model/orin_base_list.h"
#include "scene/model/property_table.h"

namespace orin {

TOrinTimer::TOrinTimer(TOrinBaseList* owner) : TOrinComponent(owner) {
  lastTick_ = owner ? owner->Clock() : 0;
}

void TOrinTimer::Restart() {
  lastTick_ = Owner() ? Owner()->Clock() : 0;
  if (Owner()) Owner()->Events().RemoveOfObject(this);
}

void TOrinTimer::SetLabel(const std::string& label) {
  if (label == label_) return;
  label_ = label;
  Restart();
}

void TOrinTimer::SetInterval(int32_t interval) {
  if (interval == interval_) return;
  interval_ = interval;
  Restart();
}

void TOrinTimer::SetStopped(bool stopped) {
  if (stopped == Stopped()) return;
  TOrinComponent::SetStopped(stopped);
  Restart();
}

bool TOrinTimer::Step() {
  TOrinBaseList* owner = Owner();
  if (!owner) return false;
  const bool pending = owner->Events().IsPending(this, kEventFire);
  if (fired_ && oneShot_) return !pending;
  if (interval_ < 0 || Stopped()) return false;
  // Unsigned difference: the clock wraps around like the system's millisecond timer.
  if (interval_ > 0 && static_cast<uint32_t>(owner->Clock()) - static_cast<uint32_t>(lastTick_) <
                           static_cast<uint32_t>(interval_))
    return false;
  lastTick_ = static_cast<int32_t>(static_cast<uint32_t>(lastTick_) + static_cast<uint32_t>(interval_));
  // An event without a label would name no page; the interpreter could never run it and it
  // would hold up every event behind it.
  if (!pending && !label_.empty()) {
    owner->Events().Add(this, label_, nullptr, kEventFire);
    fired_ = true;
  }
  return false;
}

void TOrinTimer::GetProp(int number, TCustomParam& dest) {
  switch (number) {
    case kPropFireLabel:
      dest.SetAsStr(label_);
      return;
    case kPropInterval:
      dest.SetAsInt(interval_);
      return;
    case kPropOneShot:
      dest.SetAsFlag(oneShot_);
      return;
    default:
      TOrinComponent::GetProp(number, dest);
  }
}

void TOrinTimer::SetProp(int number, const TCustomParam& value) {
  switch (number) {
    case kPropFireLabel:
      SetLabel(value.GetAsStr());
      return;
    case kPropInterval:
      SetInterval(value.GetAsInt());
      return;
    case kPropOneShot:
      oneShot_ = value.GetAsFlag();
      return;
    default:
      TOrinComponent::SetProp(number, value);
  }
}

void TOrinTimer::Save(Stream& s, int version) const {
  TOrinComponent::Save(s, version);
  WriteString(s, label_);
  WriteInt32(s, interval_);
  WriteByte(s, Stopped());
  if (version >= 104) {
    WriteByte(s, oneShot_);
    WriteByte(s, fired_);
  }
}

void TOrinTimer::Load(Stream& s, int version) {
  TOrinComponent::Load(s, version);
  label_ = ReadString(s);
  interval_ = ReadInt32(s);
  TOrinComponent::SetStopped(ReadByte(s) != 0);
  if (version >= 104) {
    oneShot_ = ReadByte(s) != 0;
    fired_ = ReadByte(s) != 0;
  }
  lastTick_ = Owner() ? Owner()->Clock() : 0;
}

}  // namespace orin
