#include "scene/text/decorate.h"

#include <algorithm>
#include <functional>

namespace orin {

size_t TDecorateList::HashOf(const TDecorate& d) {
  size_t h = std::hash<std::string>()(d.FontName) ^ (std::hash<std::string>()(d.Ruby) << 1);
  for (int64_t v : {int64_t{d.Color}, int64_t{d.BorderColor}, int64_t{d.ShadowColor}, int64_t{d.FontSize},
                    int64_t{d.Style}, int64_t{d.NoBreak}, int64_t{d.BorderWidth}, int64_t{d.ShadowOffset}})
    h = h * 1000003u ^ static_cast<size_t>(v);
  return h;
}

DecoratePtr TDecorateList::Acquire(const TDecorate& look) {
  const size_t hash = HashOf(look);
  const Listed* found = nullptr;
  // Of several records of one look (a stored document may hold them) the first listed serves.
  const auto [from, to] = byLook_.equal_range(hash);
  for (auto it = from; it != to; ++it)
    if (it->second.Record->SameLook(look) && (!found || it->second.Order < found->Order)) found = &it->second;
  if (found) {
    ++found->Record->RefCount;
    return found->Record;
  }
  auto d = std::make_shared<TDecorate>(look);
  d->RefCount = 1;
  Append(d);
  return d;
}

void TDecorateList::Append(DecoratePtr record) {
  byLook_.emplace(HashOf(*record), Listed{nextOrder_++, record});
  items_.push_back(std::move(record));
}

void TDecorateList::Release(const DecoratePtr& record) {
  if (!record) return;
  if (--record->RefCount > 0) return;
  auto it = std::find(items_.begin(), items_.end(), record);
  if (it == items_.end()) return;
  const auto [from, to] = byLook_.equal_range(HashOf(*record));
  for (auto m = from; m != to; ++m)
    if (m->second.Record == record) {
      byLook_.erase(m);
      break;
    }
  items_.erase(it);
}

DecoratePtr TDecorateList::Change(const DecoratePtr& from, const TDecorate& look) {
  // Acquire first: when the look is the same, the record must not leave the list in between.
  DecoratePtr to = Acquire(look);
  Release(from);
  return to;
}

int TDecorateList::IndexOf(const TDecorate* record) const {
  for (size_t i = 0; i < items_.size(); ++i)
    if (items_[i].get() == record) return static_cast<int>(i);
  return -1;
}

}  // namespace orin
