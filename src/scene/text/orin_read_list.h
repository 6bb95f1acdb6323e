// TOrinReadList: the read marks of a game — which pages of which text-insert commands the player
// has read to the end — kept in the status data, so they outlive a game and its saves.
//
// A hash collection keyed by page file (without regard to case); each item lists the
// (command index, page index) pairs read. One pending mark waits for the window that showed
// the page: it is added when that window's page becomes complete.
//
// Status record: item count (int32); per item the page file (string), n (int32), n command
// indexes and n page indexes (int32 each); then the pending page file (string), command index,
// page index (int32) and window name (string). Status data before version 100 has no read
// list. Loading checks every count against what remains and throws Error on damage; the list
// is left empty then.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "core/hash_collection.h"

namespace orin {

class Stream;

class TOrinReadItem : public THashCollectionItem {
 public:
  using THashCollectionItem::THashCollectionItem;
  // (command index, page index)
  std::vector<std::pair<int32_t, int32_t>> Marks;
};

struct ReadMark {
  std::string PageFile;
  int32_t Command = 0;
  int32_t Page = 0;
  std::string Window;
};

class TOrinReadList {
 public:
  bool IsRead(const std::string& pageFile, int32_t command, int32_t page) const;
  // Adds the pair unless the page file's item has it already.
  void Add(const std::string& pageFile, int32_t command, int32_t page);

  void SetPending(const ReadMark& mark) { pending_ = mark; }
  const ReadMark& Pending() const { return pending_; }
  // The pending mark, when it belongs to this window, becomes read and is cleared.
  void CommitPending(const std::string& window);

  // Forgets every mark, the pending one too.
  void Clear();
  int Count() const { return items_.Count(); }
  const TOrinReadItem& Item(int i) { return items_[i]; }

  void SaveToStream(Stream& s) const;
  void LoadFromStream(Stream& s, int version);

 private:
  THashCollectionOf<TOrinReadItem> items_;
  ReadMark pending_;
};

}  // namespace orin
