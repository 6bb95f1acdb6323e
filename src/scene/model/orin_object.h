// TOrinObject, the root of every scene class, and TOrinComponent, the root of the non-visual
// ones; the kind numbers of the scene classes.
//
// An object belongs to one scene container (its owner), which holds it in its flat list, gives
// it a unique default name, renames it with the collision rule and deletes it later. Scripts
// reach its state only through numbered properties (scene/property_table.h): GetProp writes a
// property's value into a script value with the setter of the property's type, SetProp reads it
// with the getter of that type. A class answers the numbers it knows and passes the rest to its
// parent class; numbers no class knows read as 0 / empty / FALSE and ignore writes.
//
// The object header of the save stream: name (string), depth (int32), depth offset (int32, from
// version 104), comment (string, from version 120).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace orin {

class Stream;
class TCustomParam;
class TOrinBaseList;
class TOrinControl;

// Kind numbers, as save streams and the creation command use them. 1 and 10 create nothing.
enum SceneKind : uint8_t {
  kKindNone = 0,
  kKindBox = 2,
  kKindButton = 3,
  kKindCinema = 4,
  kKindEdit = 5,
  kKindFire = 6,
  kKindHttp = 7,
  kKindImages = 8,
  kKindLabel = 9,
  kKindMemo = 11,
  kKindMenu = 12,
  kKindMes = 13,
  kKindParticle = 14,
  kKindTimer = 15,
  kKindVideo = 16,
  kKindSound = 17,
  kKindMapImage = 18,
  kKindWave = 19,
  kKindTile = 20,
  kKindSlider = 21,
  kKindScrollbar = 22,
  kKindGauge = 23,
  kKindCGLabel = 24,
  kKindPrevMenu = 25,
  kKindPropMotion = 26,
  kKindCabinet = 27,
};
constexpr int kKindLimit = 28;  // kinds are below this

// The save-format version the scene writes.
constexpr int kSceneSaveVersion = 134;

class TOrinObject {
 public:
  // Registers nothing by itself: the owner's Create makes objects and lists them.
  explicit TOrinObject(TOrinBaseList* owner) : owner_(owner) {}
  virtual ~TOrinObject() = default;
  TOrinObject(const TOrinObject&) = delete;
  TOrinObject& operator=(const TOrinObject&) = delete;

  TOrinBaseList* Owner() const { return owner_; }
  const std::string& Name() const { return name_; }
  // Internal objects (a name beginning with the byte 0x01) are never saved and draw below their
  // ordinary siblings.
  bool IsInternal() const { return !name_.empty() && name_[0] == '\x01'; }
  bool IsDeleted() const { return deleted_; }
  // A number unique among the objects the owner ever made; it outlives the object, so holders of
  // a pointer can ask the owner whether the object still exists.
  uint64_t Serial() const { return serial_; }

  virtual uint8_t Kind() const { return kKindNone; }
  virtual TOrinControl* AsControl() { return nullptr; }
  virtual const TOrinControl* AsControl() const { return nullptr; }

  // With the owner's collision rule (another object of that name is renamed out of the way).
  void Rename(const std::string& name);
  // Deferred: the owner clears the name at once and frees the object at the end of its step.
  void Delete();

  int32_t Depth() const { return depth_; }
  int32_t DepthOffset() const { return depthOffset_; }
  // Setting the depth resets the depth offset; both re-sort the parent's children.
  virtual void SetDepth(int32_t depth);
  virtual void SetDepthOffset(int32_t offset);
  const std::string& Comment() const { return comment_; }
  void SetComment(const std::string& comment) { comment_ = comment; }
  virtual bool Stopped() const { return stopped_; }
  virtual void SetStopped(bool stopped) { stopped_ = stopped; }

  virtual void GetProp(int number, TCustomParam& dest);
  virtual void SetProp(int number, const TCustomParam& value);

  // Item states of the object functions (GetCheck, GetEnabled, GetVisible and their setters).
  // Objects without items answer for themselves: enabled is "not stopped", visible is the
  // visible flag, and there is no check state.
  virtual bool GetCheck(int32_t item);
  virtual void SetCheck(int32_t item, bool checked);
  virtual bool GetEnabled(int32_t item);
  virtual void SetEnabled(int32_t item, bool enabled);
  virtual bool GetVisible(int32_t item);
  virtual void SetVisible(int32_t item, bool visible);
  // Index of the item whose trimmed text equals text; −1 for objects without items.
  virtual int32_t IndexOfItem(const std::string& text);

  // One scene step; true when the object has finished and is to be destroyed now.
  virtual bool Step() { return false; }
  // True when the class keeps this object from raising pointer, key and every-frame events.
  virtual bool EventsBlocked() const { return false; }
  // The every-frame label (property 113), empty for classes without one.
  virtual const std::string& EveryFrameLabel() const;
  // Called by the owner right before the object is freed, while the scene is intact.
  virtual void BeforeFree() {}

  virtual void Save(Stream& s, int version) const;
  virtual void Load(Stream& s, int version);

 protected:
  // Queues an event of this object on the owner's queue unless the label is empty or (with
  // onlyOnce) an event of this code is already pending for it; false when nothing was queued.
  bool QueueEvent(const std::string& label, uint8_t code, const std::vector<std::string>* args = nullptr,
                  bool onlyOnce = true);

 private:
  friend class TOrinBaseList;

  TOrinBaseList* owner_;
  std::string name_;
  std::string comment_;
  int32_t depth_ = 0;
  int32_t depthOffset_ = 0;
  bool stopped_ = false;
  bool deleted_ = false;
  uint64_t serial_ = 0;
};

class TOrinComponent : public TOrinObject {
 public:
  using TOrinObject::TOrinObject;
};

}  // namespace orin
