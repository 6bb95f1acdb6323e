// The scene's event queue: TTimerData, one event an object raised for the interpreter, and
// TTimerList, the queue in arrival order that the scene container owns.
//
// An event waits while its Level is 0; the interpreter writes the call level that runs it when
// it starts it, and removes the events of a level when that handler returns. An event's object
// is not owned: when the object is destroyed its waiting events are removed and its running
// events forget it (Object becomes null), so no event ever points at a freed object.
//
// Stream form: count (int32), then per event the label (string), the object's name (string,
// empty when the event has no object), the code (byte), the level (int32; a single byte 0 or 1
// in streams older than version 114) and the arguments (int32 count, then strings).
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace orin {

class Stream;
class TOrinObject;

struct TTimerData {
  std::string Label;
  TOrinObject* Object = nullptr;
  uint8_t Code = 0;
  int32_t Level = 0;
  std::vector<std::string> Args;
};

class TTimerList {
 public:
  // Appends a waiting event; args (copied) may be null.
  TTimerData& Add(TOrinObject* object, const std::string& label, const std::vector<std::string>* args, uint8_t code);
  // Index of the first event of the object with the code, whatever its level; −1 if none.
  int FindPending(const TOrinObject* object, uint8_t code) const;
  bool IsPending(const TOrinObject* object, uint8_t code) const { return FindPending(object, code) >= 0; }
  // The first event whose level is 0, or null.
  TTimerData* FirstWaiting();
  void RemoveLevel(int32_t level);
  // Removes every event whose level is not 0.
  void RemoveHandled();
  // Removes the object's waiting events; its running events keep running without it.
  void RemoveOfObject(const TOrinObject* object);
  void Clear() { events_.clear(); }

  int Count() const { return static_cast<int>(events_.size()); }
  TTimerData& operator[](int i) { return *events_[static_cast<size_t>(i)]; }
  const TTimerData& operator[](int i) const { return *events_[static_cast<size_t>(i)]; }

  // Streams older than version 114 keep the level in one byte: a running event is stored as 1.
  void Save(Stream& s, int version) const;
  // Replaces the queue. find turns a stored object name into an object (null when it names
  // none; an empty name never asks). Throws Error when a count runs past the stream's end.
  void Load(Stream& s, int version, const std::function<TOrinObject*(const std::string&)>& find);

 private:
  std::vector<std::unique_ptr<TTimerData>> events_;
};

}  // namespace orin
