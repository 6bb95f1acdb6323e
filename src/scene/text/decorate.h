// TDecorate, the style record that characters of a text document share, and TDecorateList, the
// document's list of them.
//
// Characters with the same look (every field but the reference count) share one record; the
// count says how many glyphs use it, and a stored document carries the counts as the authoring
// tool left them. Records are held by shared pointers: a record whose count reaches 0 leaves the
// list, but a glyph that still holds it (because a stored count was wrong) keeps it alive rather
// than pointing at freed memory.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

namespace orin {

struct TDecorate {
  int32_t RefCount = 0;
  int32_t Color = -1;        // 0x00BBGGRR, −1 the document's
  int32_t BorderColor = -1;  // −1 the document's
  int32_t ShadowColor = -1;  // −1 the document's
  int32_t FontSize = 0;      // 0 the document's
  uint8_t Style = 0;         // 1 bold, 2 italic, 4 underline, 8 strike-out
  uint8_t NoBreak = 0;
  int32_t BorderWidth = -1;  // −1 the document's
  int32_t ShadowOffset = -1; // −1 the document's
  std::string FontName;      // empty: the document's
  std::string Ruby;

  // Every field but the count.
  bool SameLook(const TDecorate& o) const {
    return Color == o.Color && BorderColor == o.BorderColor && ShadowColor == o.ShadowColor &&
           FontSize == o.FontSize && Style == o.Style && NoBreak == o.NoBreak && BorderWidth == o.BorderWidth &&
           ShadowOffset == o.ShadowOffset && FontName == o.FontName && Ruby == o.Ruby;
  }
};

using DecoratePtr = std::shared_ptr<TDecorate>;

class TDecorateList {
 public:
  // The record with this look with its count raised by one, or a new record with count 1 at
  // the end of the list.
  DecoratePtr Acquire(const TDecorate& look);
  // Lowers the count; at 0 the record leaves the list.
  void Release(const DecoratePtr& record);
  // Moves a glyph from one record to the record of another look (Release, then Acquire).
  DecoratePtr Change(const DecoratePtr& from, const TDecorate& look);
  // Adds a record as a stored document holds it: no sharing, the count as given.
  void Append(DecoratePtr record);

  int Count() const { return static_cast<int>(items_.size()); }
  const DecoratePtr& operator[](int i) const { return items_[static_cast<size_t>(i)]; }
  // Position in the list, −1 when absent.
  int IndexOf(const TDecorate* record) const;
  void Clear() {
    items_.clear();
    byLook_.clear();
  }

 private:
  // Records by a hash of their look, so that interning stays fast with many styles. Records
  // are found by look, so a record's look must not change while it is listed.
  static size_t HashOf(const TDecorate& d);
  struct Listed {
    uint64_t Order;  // records listed earlier have lower numbers
    DecoratePtr Record;
  };
  std::vector<DecoratePtr> items_;
  std::unordered_multimap<size_t, Listed> byLook_;
  uint64_t nextOrder_ = 0;
};

}  // namespace orin
