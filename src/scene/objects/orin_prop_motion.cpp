#include "scene/objects/orin_prop_motion.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "core/error.h"
#include "params/custom_param.h"
#include "resources/stream.h"
#include "scene/model/orin_base_list.h"
#include "scene/model/property_table.h"

namespace orin {

long double TOrinPropMotion::Ease(uint8_t easing, long double start, long double end, int32_t e, int32_t d) {
  const long double quarter = std::numbers::pi_v<long double> / 2;
  switch (easing) {
    case kSlowStart:
      return end - std::sin(static_cast<long double>(d - e - 1) / d * quarter) * (end - start);
    case kSlowEnd:
      return start + std::sin(static_cast<long double>(e) / d * quarter) * (end - start);
    default:
      return start + (end - start) * e / d;
  }
}

bool TOrinPropMotion::Step() {
  TOrinBaseList* owner = Owner();
  if (!owner || Stopped()) return false;
  TOrinObject* target = nullptr;
  if (found_) {
    target = owner->FindBySerial(target_);
    if (!target || target->IsDeleted()) return true;
  } else {
    // An empty name would find the active screen root; an animator whose target was gone when
    // it was saved comes back with one, and must not start moving the screen.
    if (targetName_.empty() || property_ >= kPropertyCount) return true;
    target = owner->Find(targetName_);
    if (!target) return true;
    found_ = true;
    target_ = target->Serial();
    if (!keepStart_) {
      TParamFloat current;
      try {
        owner->GetPropOf(*target, property_, current);
      } catch (const Error&) {
        return true;
      }
      startValue_ = current.GetAsFloat();
    }
  }
  const int32_t e = elapsed_, d = duration_;
  long double value;
  bool finished = false;
  if (e == 0) {
    value = startValue_;
  } else if (int64_t{e} < int64_t{d} - 1) {
    value = Ease(easing_, startValue_, endValue_, e, d);
  } else {
    value = endValue_;
    finished = true;
  }
  TParamFloat write;
  write.SetAsFloat(value);
  try {
    owner->SetPropOf(*target, property_, write);
  } catch (const Error&) {
    return true;
  }
  elapsed_ = static_cast<int32_t>(std::min<int64_t>(int64_t{elapsed_} + owner->FrameDelta(), INT32_MAX));
  return finished;
}

void TOrinPropMotion::Save(Stream& s, int version) const {
  TOrinComponent::Save(s, version);
  const TOrinObject* target = found_ && Owner() ? Owner()->FindBySerial(target_) : nullptr;
  const bool gone = found_ && (!target || target->IsDeleted());
  WriteString(s, gone ? std::string() : targetName_);
  WriteByte(s, property_);
  WriteExtended(s, endValue_);
  WriteInt32(s, duration_);
  WriteByte(s, easing_);
  WriteExtended(s, startValue_);
  WriteInt32(s, elapsed_);
  if (version >= 126) WriteByte(s, Stopped());
}

void TOrinPropMotion::Load(Stream& s, int version) {
  TOrinComponent::Load(s, version);
  targetName_ = ReadString(s);
  property_ = ReadByte(s);
  endValue_ = ReadExtended(s);
  duration_ = ReadInt32(s);
  easing_ = ReadByte(s);
  startValue_ = ReadExtended(s);
  elapsed_ = ReadInt32(s);
  if (version >= 126) SetStopped(ReadByte(s) != 0);
  found_ = false;
  keepStart_ = elapsed_ > 0;
}

}  // namespace orin
