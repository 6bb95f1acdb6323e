// TDMediaItem and TDMediaManager: one piece of sound or video a script plays, and the list of
// the items of one kind with the flags that pause them as a whole.
//
// Volume is in hundredths of a decibel (0 full, -10000 silent); pan is passed to the item as
// given (-10000 left only … 10000 right only where an item honours it). Positions and lengths are
// milliseconds. Every operation runs on the frame loop's thread.
//
// An item whose data could not be opened (missing file, not audio, damaged) still exists: it is
// silent, reports its end at once when played, and Failure() says why; the manager has written
// that reason to the media log channel. Nothing here throws for bad media.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace orin {

class TDMediaManager;

enum class MediaKind { kVideo, kWmp, kOgg, kCdda, kMidi };

class TDMediaItem {
 public:
  TDMediaItem(TDMediaManager& manager, std::string name) : manager_(&manager), name_(std::move(name)) {}
  virtual ~TDMediaItem() = default;
  TDMediaItem(const TDMediaItem&) = delete;
  TDMediaItem& operator=(const TDMediaItem&) = delete;

  // The operations in the order of the original's table of virtual operations.
  virtual bool GetAutoRepeat() = 0;
  virtual void SetAutoRepeat(bool value) = 0;
  virtual int32_t GetPan() = 0;
  virtual int32_t GetVol() = 0;
  virtual void SetPan(int32_t pan) = 0;
  virtual void SetVol(int32_t vol) = 0;
  virtual int32_t GetPosition() = 0;
  // A negative position is taken as 0.
  virtual void SetPosition(int32_t ms) = 0;
  virtual int32_t GetLen() = 0;
  virtual bool IsEnd() = 0;
  virtual bool IsPlaying() = 0;
  virtual bool IsPaused() = 0;
  virtual void Play() = 0;
  virtual void Pause() = 0;

  TDMediaManager& Manager() const { return *manager_; }
  // The name it was added with (cp932).
  const std::string& Name() const { return name_; }
  // Why the item is silent, as a cp932 message; empty while it is sound.
  const std::string& Failure() const { return failure_; }

  // Set by the manager's Suspend for the items it paused, so Resume restarts exactly those.
  bool ResumeMark = false;

 protected:
  void SetFailure(std::string cp932Message) { failure_ = std::move(cp932Message); }

 private:
  TDMediaManager* manager_;
  std::string name_;
  std::string failure_;
};

class TDMediaManager {
 public:
  explicit TDMediaManager(MediaKind kind) : kind_(kind) {}
  virtual ~TDMediaManager();
  TDMediaManager(const TDMediaManager&) = delete;
  TDMediaManager& operator=(const TDMediaManager&) = delete;

  MediaKind Kind() const { return kind_; }

  // A new item for the name, appended to the list; never null (a failed open gives a silent item
  // with its Failure set).
  TDMediaItem* Add(std::string_view name);
  // Destroys the item when it is in the list; nothing otherwise.
  void Remove(TDMediaItem* item);
  void Clear();

  // When Enabled and not Suspended: pauses every item that plays audibly (playing, not paused,
  // not at its end) and marks it; clears the mark of every other item.
  void Suspend();
  // When Enabled and Suspended: plays every marked item and clears its mark.
  void Resume();
  // Off: Suspend, then clear the flag. On: set the flag, then Resume. No change when equal.
  void SetEnabled(bool value);

  bool Enabled() const { return enabled_; }
  bool Suspended() const { return suspended_; }
  int Count() const { return static_cast<int>(items_.size()); }
  TDMediaItem* Items(int index) const { return items_[static_cast<size_t>(index)].get(); }

 protected:
  virtual std::unique_ptr<TDMediaItem> MakeItem(std::string_view name) = 0;

 private:
  MediaKind kind_;
  bool enabled_ = true;
  bool suspended_ = false;
  std::vector<std::unique_ptr<TDMediaItem>> items_;
};

}  // namespace orin
