#include "scene/model/timer_list.h"

#include <algorithm>

#include "core/error.h"
#include "resources/stream.h"
#include "scene/model/orin_object.h"

namespace orin {

TTimerData& TTimerList::Add(TOrinObject* object, const std::string& label, const std::vector<std::string>* args,
                            uint8_t code) {
  auto e = std::make_unique<TTimerData>();
  e->Label = label;
  e->Object = object;
  e->Code = code;
  if (args) e->Args = *args;
  events_.push_back(std::move(e));
  return *events_.back();
}

int TTimerList::FindPending(const TOrinObject* object, uint8_t code) const {
  for (size_t i = 0; i < events_.size(); ++i)
    if (events_[i]->Object == object && events_[i]->Code == code) return static_cast<int>(i);
  return -1;
}

TTimerData* TTimerList::FirstWaiting() {
  for (auto& e : events_)
    if (e->Level == 0) return e.get();
  return nullptr;
}

void TTimerList::RemoveLevel(int32_t level) {
  std::erase_if(events_, [&](const auto& e) { return e->Level == level; });
}

void TTimerList::RemoveHandled() {
  std::erase_if(events_, [](const auto& e) { return e->Level != 0; });
}

void TTimerList::RemoveOfObject(const TOrinObject* object) {
  if (!object) return;
  std::erase_if(events_, [&](const auto& e) { return e->Object == object && e->Level == 0; });
  for (auto& e : events_)
    if (e->Object == object) e->Object = nullptr;
}

void TTimerList::Save(Stream& s, int version) const {
  WriteInt32(s, static_cast<int32_t>(events_.size()));
  for (const auto& e : events_) {
    WriteString(s, e->Label);
    WriteString(s, e->Object ? e->Object->Name() : std::string());
    WriteByte(s, e->Code);
    if (version < 114)
      WriteByte(s, e->Level != 0 ? 1 : 0);
    else
      WriteInt32(s, e->Level);
    WriteInt32(s, static_cast<int32_t>(e->Args.size()));
    for (const std::string& a : e->Args) WriteString(s, a);
  }
}

void TTimerList::Load(Stream& s, int version, const std::function<TOrinObject*(const std::string&)>& find) {
  events_.clear();
  const int32_t count = ReadInt32(s);
  // Every event takes at least 14 bytes (two empty strings, the code and a one-byte level), so a
  // count beyond what is left is damage, not a queue.
  if (count < 0 || count > s.Remaining() / 14) throw Error("scene: damaged event queue: bad event count");
  for (int32_t i = 0; i < count; ++i) {
    auto e = std::make_unique<TTimerData>();
    e->Label = ReadString(s);
    const std::string name = ReadString(s);
    e->Object = name.empty() ? nullptr : find(name);
    e->Code = ReadByte(s);
    e->Level = version < 114 ? ReadByte(s) : ReadInt32(s);
    const int32_t args = ReadInt32(s);
    if (args < 0 || args > s.Remaining() / 4) throw Error("scene: damaged event queue: bad argument count");
    e->Args.reserve(static_cast<size_t>(args));
    for (int32_t k = 0; k < args; ++k) e->Args.push_back(ReadString(s));
    events_.push_back(std::move(e));
  }
}

}  // namespace orin
