#include "core/random.h"

namespace orin {

void TTpRandom::Reset(int32_t n) {
  list_.clear();
  if (n <= 0) return;
  list_.reserve(static_cast<size_t>(n));
  for (int32_t i = 0; i < n; ++i) list_.push_back(i);
}

int32_t TTpRandom::Draw() {
  if (list_.empty()) return -1;
  Next();
  size_t index = State % static_cast<uint32_t>(list_.size());
  int32_t v = list_[index];
  list_.erase(list_.begin() + static_cast<std::ptrdiff_t>(index));
  return v;
}

}  // namespace orin
