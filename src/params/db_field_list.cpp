#include "params/db_field_list.h"

#include "core/cp932.h"
#include "params/custom_param.h"

namespace orin {

int32_t TDBFieldList::SizeOf(uint8_t type, int32_t length) {
  switch (type) {
    case kTypeInt:
      return 4;
    case kTypeFloat:
      return 10;
    case kTypeFlag:
      return 1;
    case kTypeStr:
      return length >= 0 && length < kMaxRecordSize ? length + 1 : 0;
    default:
      return 0;
  }
}

int TDBFieldList::IndexOf(std::string_view name) const {
  for (size_t i = 0; i < items_.size(); ++i)
    if (SameText(items_[i].Name, name)) return static_cast<int>(i);
  return -1;
}

bool TDBFieldList::Append(TDBField field) {
  if (field.Size <= 0 || IndexOf(field.Name) >= 0) return false;
  if (static_cast<int64_t>(recordSize_) + field.Size > kMaxRecordSize) return false;
  items_.push_back(std::move(field));
  Recompute();
  return true;
}

void TDBFieldList::Remove(int i) {
  items_.erase(items_.begin() + i);
  Recompute();
}

void TDBFieldList::Clear() {
  items_.clear();
  Recompute();
}

void TDBFieldList::Recompute() {
  offsets_.resize(items_.size());
  int32_t offset = 0;
  for (size_t i = 0; i < items_.size(); ++i) {
    offsets_[i] = offset;
    offset += items_[i].Size;
  }
  recordSize_ = offset;
}

}  // namespace orin
