// TDBField / TDBFieldList: the field definitions of a table and the layout of its records.
//
// A record is RecordSize bytes; a field's bytes start at the sum of the sizes before it. Sizes:
// integer 4 (signed 32-bit), float 10 (x87 extended), flag 1 (0 or 1), string the declared
// length + 1 (a zero-terminated text of at most the declared length). Field names are unique,
// compared case-insensitively.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace orin {

struct TDBField {
  int32_t Size = 0;
  std::string Name;
  uint8_t FieldType = 0;  // 1 integer, 2 float, 3 flag, 4 string

  bool operator==(const TDBField&) const = default;
};

class TDBFieldList {
 public:
  // Largest record a table takes; larger layouts are refused instead of allocated.
  static constexpr int32_t kMaxRecordSize = 1 << 24;

  // The size of a field of that type (length counts for strings only), or 0 when the type is not
  // 1-4 or the length is negative or too large.
  static int32_t SizeOf(uint8_t type, int32_t length);

  int Count() const { return static_cast<int>(items_.size()); }
  const TDBField& operator[](int i) const { return items_[static_cast<size_t>(i)]; }
  int32_t Offset(int i) const { return offsets_[static_cast<size_t>(i)]; }
  int32_t RecordSize() const { return recordSize_; }

  // Index of the field with that name (case-insensitive), or -1.
  int IndexOf(std::string_view name) const;
  // Appends a field of a valid size; false (nothing added) when the name exists or the record
  // would grow beyond kMaxRecordSize.
  bool Append(TDBField field);
  void Remove(int i);
  void Clear();

  bool operator==(const TDBFieldList& other) const { return items_ == other.items_; }

 private:
  void Recompute();

  std::vector<TDBField> items_;
  std::vector<int32_t> offsets_;
  int32_t recordSize_ = 0;
};

}  // namespace orin
