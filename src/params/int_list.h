// Integer lists used beside the variables: TIntList, whose Put first grows the list with zeros up
// to the index, and TIntArray, a growable array. An index outside the list raises orin::Error.
#pragma once

#include <cstdint>
#include <vector>

#include "core/error.h"

namespace orin {

class TIntList {
 public:
  int Add(int32_t v) {
    items_.push_back(v);
    return Count() - 1;
  }
  int32_t Get(int index) const {
    Check(index);
    return items_[static_cast<size_t>(index)];
  }
  // Grows the list with zeros when index is at or beyond its end.
  void Put(int index, int32_t v) {
    if (index < 0) throw Error("list index out of bounds");
    if (static_cast<size_t>(index) >= items_.size())
      items_.resize(static_cast<size_t>(index) + 1, 0);
    items_[static_cast<size_t>(index)] = v;
  }
  int Count() const { return static_cast<int>(items_.size()); }
  void Clear() { items_.clear(); }

 private:
  void Check(int index) const {
    if (index < 0 || static_cast<size_t>(index) >= items_.size())
      throw Error("list index out of bounds");
  }
  std::vector<int32_t> items_;
};

class TIntArray {
 public:
  void Add(int32_t v) { items_.push_back(v); }
  int Count() const { return static_cast<int>(items_.size()); }
  int32_t Get(int index) const {
    if (index < 0 || static_cast<size_t>(index) >= items_.size())
      throw Error("array index out of bounds");
    return items_[static_cast<size_t>(index)];
  }
  void Clear() { items_.clear(); }

 private:
  std::vector<int32_t> items_;
};

}  // namespace orin
