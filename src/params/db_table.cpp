#include "params/db_table.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <utility>

#include "core/cp932.h"
#include "core/endian.h"
#include "core/error.h"
#include "core/extended.h"
#include "core/text.h"
#include "params/custom_param.h"
#include "params/param_text.h"
#include "params/script_text.h"
#include "resources/stream.h"

namespace orin {

namespace {

// Records without fields take no bytes in a stream, so their count is bounded on its own.
constexpr int32_t kMaxEmptyRecords = 1 << 20;
constexpr int32_t kDefaultTextLength = 80;

int32_t RoundToInt(long double v) {
  const long double r = std::nearbyint(v);  // the default mode rounds ties to even
  if (!std::isfinite(r) || std::fabs(r) >= 9.2233720368547758e18L) return 0;
  return static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint64_t>(static_cast<int64_t>(r))));
}

std::string_view FieldText(const uint8_t* p, int32_t size) {
  const auto* text = reinterpret_cast<const char*>(p);
  const void* end = std::memchr(text, 0, static_cast<size_t>(size));
  return {text, end ? static_cast<size_t>(static_cast<const char*>(end) - text)
                    : static_cast<size_t>(size)};
}

void StoreText(uint8_t* p, int32_t size, std::string_view text) {
  const size_t n = std::min(text.size(), static_cast<size_t>(size - 1));
  std::memcpy(p, text.data(), n);
  std::memset(p + n, 0, static_cast<size_t>(size) - n);
}

int32_t ReadInt(const uint8_t* p, const TDBField& f) {
  switch (f.FieldType) {
    case kTypeInt:
      return LoadI32LE(p);
    case kTypeFloat:
      return RoundToInt(ExtendedToLongDouble(p));
    case kTypeFlag:
      return p[0] ? 1 : 0;
    default:
      return ParseInt(FieldText(p, f.Size)).value_or(0);
  }
}

long double ReadFloat(const uint8_t* p, const TDBField& f) {
  switch (f.FieldType) {
    case kTypeInt:
      return LoadI32LE(p);
    case kTypeFloat:
      return ExtendedToLongDouble(p);
    case kTypeFlag:
      return p[0] ? 1 : 0;
    default:
      return ParseFloat(FieldText(p, f.Size)).value_or(0);
  }
}

bool ReadFlag(const uint8_t* p, const TDBField& f) {
  switch (f.FieldType) {
    case kTypeInt:
      return LoadI32LE(p) != 0;
    case kTypeFloat:
      return ExtendedToLongDouble(p) != 0;
    case kTypeFlag:
      return p[0] != 0;
    default:
      return FieldText(p, f.Size) == "TRUE";
  }
}

std::string ReadStr(const uint8_t* p, const TDBField& f) {
  switch (f.FieldType) {
    case kTypeInt:
      return IntToText(LoadI32LE(p));
    case kTypeFloat:
      return FloatToText(ExtendedToLongDouble(p));
    case kTypeFlag:
      return p[0] ? "TRUE" : "FALSE";
    default:
      return std::string(FieldText(p, f.Size));
  }
}

void StoreFloatBytes(uint8_t* p, long double v) {
  const Extended e = LongDoubleToExtended(v);
  std::memcpy(p, e.data(), e.size());
}

void WriteInt(uint8_t* p, const TDBField& f, int32_t v) {
  switch (f.FieldType) {
    case kTypeInt:
      StoreI32LE(p, v);
      break;
    case kTypeFloat:
      StoreFloatBytes(p, v);
      break;
    case kTypeFlag:
      p[0] = v != 0;
      break;
    default:
      StoreText(p, f.Size, IntToText(v));
      break;
  }
}

void WriteFloat(uint8_t* p, const TDBField& f, long double v) {
  switch (f.FieldType) {
    case kTypeInt:
      StoreI32LE(p, RoundToInt(v));
      break;
    case kTypeFloat:
      StoreFloatBytes(p, v);
      break;
    case kTypeFlag:
      p[0] = v != 0;
      break;
    default:
      StoreText(p, f.Size, FloatToText(v));
      break;
  }
}

void WriteFlag(uint8_t* p, const TDBField& f, bool v) {
  switch (f.FieldType) {
    case kTypeInt:
      StoreI32LE(p, v ? 1 : 0);
      break;
    case kTypeFloat:
      StoreFloatBytes(p, v ? 1 : 0);
      break;
    case kTypeFlag:
      p[0] = v ? 1 : 0;
      break;
    default:
      StoreText(p, f.Size, v ? "TRUE" : "FALSE");
      break;
  }
}

void WriteStr(uint8_t* p, const TDBField& f, std::string_view v) {
  switch (f.FieldType) {
    case kTypeInt:
      StoreI32LE(p, ParseInt(v).value_or(0));
      break;
    case kTypeFloat:
      StoreFloatBytes(p, ParseFloat(v).value_or(0));
      break;
    case kTypeFlag:
      p[0] = v == "TRUE";
      break;
    default:
      StoreText(p, f.Size, v);
      break;
  }
}

int CompareFloat(long double a, long double b) {
  if (a < b) return -1;
  if (a > b) return 1;
  // NaN sorts after every number, so the order stays strict and weak.
  const bool na = std::isnan(a), nb = std::isnan(b);
  return na == nb ? 0 : (na ? 1 : -1);
}

// Columns at tab characters (never a tab inside a double-byte character).
std::vector<std::string_view> SplitTabs(std::string_view line) {
  std::vector<std::string_view> columns;
  size_t start = 0;
  for (size_t pos = FindChar(line, '\t'); pos != std::string_view::npos;
       pos = FindChar(line, '\t', pos + 1)) {
    columns.push_back(line.substr(start, pos - start));
    start = pos + 1;
  }
  columns.push_back(line.substr(start));
  return columns;
}

std::string_view NextWord(std::string_view& s) {
  size_t begin = 0;
  while (begin < s.size() && s[begin] == ' ') ++begin;
  size_t end = begin;
  while (end < s.size() && s[end] != ' ') end += CharLength(s, end);
  std::string_view word = s.substr(begin, end - begin);
  s.remove_prefix(end);
  return word;
}

}  // namespace

uint8_t* TDBTable::CurrentRecord() {
  return RecNo >= 0 && RecNo < RecordCount() ? records_[static_cast<size_t>(RecNo)].data() : nullptr;
}

const uint8_t* TDBTable::RecordAt(int i) const {
  return i >= 0 && i < RecordCount() ? records_[static_cast<size_t>(i)].data() : nullptr;
}

const uint8_t* TDBTable::FieldAt(int record, int field) const {
  if (record < 0 || record >= RecordCount() || field < 0 || field >= Fields.Count()) return nullptr;
  return records_[static_cast<size_t>(record)].data() + Fields.Offset(field);
}

uint8_t* TDBTable::FieldAt(int record, int field) {
  return const_cast<uint8_t*>(std::as_const(*this).FieldAt(record, field));
}

int TDBTable::AddField(std::string name, uint8_t type, int32_t length) {
  const int32_t size = TDBFieldList::SizeOf(type, length);
  if (size == 0) return -1;
  if (!Fields.Append(TDBField{size, std::move(name), type})) return -1;
  for (auto& record : records_) record.resize(static_cast<size_t>(Fields.RecordSize()), 0);
  return Fields.Count() - 1;
}

void TDBTable::RemoveField(int i) {
  if (i < 0 || i >= Fields.Count()) return;
  const auto offset = static_cast<size_t>(Fields.Offset(i));
  const auto size = static_cast<size_t>(Fields[i].Size);
  for (auto& record : records_)
    record.erase(record.begin() + static_cast<std::ptrdiff_t>(offset),
                 record.begin() + static_cast<std::ptrdiff_t>(offset + size));
  Fields.Remove(i);
}

void TDBTable::Append() {
  records_.emplace_back(static_cast<size_t>(Fields.RecordSize()), 0);
  RecNo = RecordCount() - 1;
}

void TDBTable::AppendRecord(const uint8_t* record) {
  // Copied before the list grows: record may be one of this table's own.
  std::vector<uint8_t> copy(record, record + Fields.RecordSize());
  records_.push_back(std::move(copy));
  RecNo = RecordCount() - 1;
}

bool TDBTable::Delete() {
  if (!CurrentRecord()) return false;
  records_.erase(records_.begin() + RecNo);
  if (RecNo >= RecordCount()) RecNo = RecordCount() - 1;
  return true;
}

bool TDBTable::First() {
  if (records_.empty()) return false;
  RecNo = 0;
  return true;
}

bool TDBTable::Last() {
  if (records_.empty()) return false;
  RecNo = RecordCount() - 1;
  return true;
}

bool TDBTable::Next() {
  if (RecNo < 0 || RecNo + 1 >= RecordCount()) return false;
  ++RecNo;
  return true;
}

bool TDBTable::Prior() {
  if (RecNo <= 0 || RecNo > RecordCount()) return false;
  --RecNo;
  return true;
}

bool TDBTable::SetRecNo(int i) {
  if (i >= RecordCount()) return false;
  RecNo = i < 0 ? -1 : i;
  return true;
}

bool TDBTable::GetIntByName(std::string_view field, int32_t& v) const {
  return GetInt(RecNo, Fields.IndexOf(field), v);
}
bool TDBTable::SetIntByName(std::string_view field, int32_t v) {
  return SetInt(RecNo, Fields.IndexOf(field), v);
}
bool TDBTable::GetFloatByName(std::string_view field, long double& v) const {
  return GetFloat(RecNo, Fields.IndexOf(field), v);
}
bool TDBTable::SetFloatByName(std::string_view field, long double v) {
  return SetFloat(RecNo, Fields.IndexOf(field), v);
}
bool TDBTable::GetFlagByName(std::string_view field, bool& v) const {
  return GetFlag(RecNo, Fields.IndexOf(field), v);
}
bool TDBTable::SetFlagByName(std::string_view field, bool v) {
  return SetFlag(RecNo, Fields.IndexOf(field), v);
}
bool TDBTable::GetStrByName(std::string_view field, std::string& v) const {
  return GetStr(RecNo, Fields.IndexOf(field), v);
}
bool TDBTable::SetStrByName(std::string_view field, std::string_view v) {
  return SetStr(RecNo, Fields.IndexOf(field), v);
}

bool TDBTable::GetInt(int record, int field, int32_t& v) const {
  const uint8_t* p = FieldAt(record, field);
  if (!p) return false;
  v = ReadInt(p, Fields[field]);
  return true;
}

bool TDBTable::SetInt(int record, int field, int32_t v) {
  uint8_t* p = FieldAt(record, field);
  if (!p) return false;
  WriteInt(p, Fields[field], v);
  return true;
}

bool TDBTable::GetFloat(int record, int field, long double& v) const {
  const uint8_t* p = FieldAt(record, field);
  if (!p) return false;
  v = ReadFloat(p, Fields[field]);
  return true;
}

bool TDBTable::SetFloat(int record, int field, long double v) {
  uint8_t* p = FieldAt(record, field);
  if (!p) return false;
  WriteFloat(p, Fields[field], v);
  return true;
}

bool TDBTable::GetFlag(int record, int field, bool& v) const {
  const uint8_t* p = FieldAt(record, field);
  if (!p) return false;
  v = ReadFlag(p, Fields[field]);
  return true;
}

bool TDBTable::SetFlag(int record, int field, bool v) {
  uint8_t* p = FieldAt(record, field);
  if (!p) return false;
  WriteFlag(p, Fields[field], v);
  return true;
}

bool TDBTable::GetStr(int record, int field, std::string& v) const {
  const uint8_t* p = FieldAt(record, field);
  if (!p) return false;
  v = ReadStr(p, Fields[field]);
  return true;
}

bool TDBTable::SetStr(int record, int field, std::string_view v) {
  uint8_t* p = FieldAt(record, field);
  if (!p) return false;
  WriteStr(p, Fields[field], v);
  return true;
}

bool TDBTable::SetValue(int record, int field, const TCustomParam& value) {
  switch (value.GetType()) {
    case kTypeInt:
      return SetInt(record, field, value.GetAsInt());
    case kTypeFloat:
      return SetFloat(record, field, value.GetAsFloat());
    case kTypeFlag:
      return SetFlag(record, field, value.GetAsFlag());
    default:
      return SetStr(record, field, value.GetAsStr());
  }
}

void TDBTable::Find(std::vector<int>& result, const TCustomParam* keyNames,
                    const TCustomParam* keyValues, bool ignoreCase, bool partial) const {
  if (!keyNames || !keyValues) {
    for (int i = 0; i < RecordCount(); ++i) result.push_back(i);
    return;
  }
  const int keyCount = std::min(keyNames->GetCount(), keyValues->GetCount());
  const uint8_t keyType = keyValues->GetType();

  struct Key {
    std::string name;
    int field = -2;  // looked up when first needed; -1: no such field
    int32_t i = 0;
    long double f = 0;
    bool b = false;
    std::string s;  // upper-cased when ignoreCase
  };
  std::vector<Key> keys(static_cast<size_t>(std::max(keyCount, 0)));
  for (int k = 0; k < keyCount; ++k) {
    Key& key = keys[static_cast<size_t>(k)];
    key.name = keyNames->GetStrAt(k);
    switch (keyType) {
      case kTypeInt:
        key.i = keyValues->GetIntAt(k);
        break;
      case kTypeFloat:
        key.f = keyValues->GetFloatAt(k);
        break;
      case kTypeFlag:
        key.b = keyValues->GetFlagAt(k);
        break;
      default:
        key.s = keyValues->GetStrAt(k);
        if (ignoreCase) key.s = LocaleUpperCase(key.s);
        break;
    }
  }

  for (int r = 0; r < RecordCount(); ++r) {
    const uint8_t* record = records_[static_cast<size_t>(r)].data();
    bool match = true;
    for (Key& key : keys) {
      if (key.field == -2) key.field = Fields.IndexOf(key.name);
      if (key.field < 0) return;
      const TDBField& f = Fields[key.field];
      const uint8_t* p = record + Fields.Offset(key.field);
      switch (keyType) {
        case kTypeInt:
          match = ReadInt(p, f) == key.i;
          break;
        case kTypeFloat:
          match = ReadFloat(p, f) == key.f;
          break;
        case kTypeFlag:
          match = ReadFlag(p, f) == key.b;
          break;
        default: {
          if (f.FieldType == kTypeStr && !ignoreCase) {
            const std::string_view text = FieldText(p, f.Size);
            match = partial ? FindText(text, key.s) != std::string_view::npos : text == key.s;
            break;
          }
          const std::string stored = ReadStr(p, f);
          const std::string folded = ignoreCase ? LocaleUpperCase(stored) : std::string();
          const std::string& text = ignoreCase ? folded : stored;
          match = partial ? FindText(text, key.s) != std::string::npos : text == key.s;
          break;
        }
      }
      if (!match) break;
    }
    if (match) result.push_back(r);
  }
}

void TDBTable::Sort(const TCustomParam* keyNames, const TCustomParam* descending) {
  if (!keyNames || !descending) return;
  struct Key {
    int field;
    bool descending;
  };
  std::vector<Key> keys;
  const int n = std::min(keyNames->GetCount(), descending->GetCount());
  for (int k = 0; k < n; ++k) {
    const int field = Fields.IndexOf(keyNames->GetStrAt(k));
    if (field >= 0) keys.push_back({field, descending->GetFlagAt(k)});
  }
  if (keys.empty()) return;
  auto compare = [&](const std::vector<uint8_t>& a, const std::vector<uint8_t>& b) {
    for (const Key& key : keys) {
      const TDBField& f = Fields[key.field];
      const uint8_t* pa = a.data() + Fields.Offset(key.field);
      const uint8_t* pb = b.data() + Fields.Offset(key.field);
      int c = 0;
      switch (f.FieldType) {
        case kTypeInt: {
          const int32_t x = LoadI32LE(pa), y = LoadI32LE(pb);
          c = x < y ? -1 : x > y ? 1 : 0;
          if (key.descending) c = -c;
          break;
        }
        case kTypeFloat:
          c = CompareFloat(ExtendedToLongDouble(pa), ExtendedToLongDouble(pb));
          if (key.descending) c = -c;
          break;
        case kTypeFlag:
          c = (pa[0] != 0) - (pb[0] != 0);
          break;
        default:
          c = FieldText(pa, f.Size).compare(FieldText(pb, f.Size));
          break;
      }
      if (c) return c < 0;
    }
    return false;
  };
  std::stable_sort(records_.begin(), records_.end(), compare);
}

void TDBTable::LoadTsv(const std::vector<std::string>& lines) {
  ClearAll();
  if (lines.empty()) return;
  for (std::string_view column : SplitTabs(lines[0])) {
    std::string_view rest = column;
    const std::string_view name = NextWord(rest);
    if (name.empty()) {
      ClearAll();
      return;
    }
    const std::string_view word = NextWord(rest);
    uint8_t type = kTypeStr;
    if (word == "int")
      type = kTypeInt;
    else if (word == "float")
      type = kTypeFloat;
    else if (word == "bool")
      type = kTypeFlag;
    const int32_t length = ParseInt(TrimBlanks(rest)).value_or(kDefaultTextLength);
    AddField(std::string(name), type, length);
  }
  const int fieldCount = Fields.Count();
  records_.reserve(lines.size() - 1);
  for (size_t i = 1; i < lines.size(); ++i) {
    if (lines[i].empty()) continue;
    const std::string line = UnescapeText(lines[i]);
    const std::vector<std::string_view> columns = SplitTabs(line);
    Append();
    const int n = std::min(static_cast<int>(columns.size()), fieldCount);
    for (int c = 0; c < n; ++c) SetStr(RecNo, c, columns[static_cast<size_t>(c)]);
  }
}

void TDBTable::ClearAll() {
  records_.clear();
  Fields.Clear();
  RecNo = -1;
}

void TDBTable::ClearRecords() {
  records_.clear();
  RecNo = -1;
}

void TDBTable::CopyFrom(const TDBTable& source, const std::vector<int>& records) {
  // Taken first: source may be this very table.
  TDBFieldList fields = source.Fields;
  std::vector<std::vector<uint8_t>> copies;
  copies.reserve(records.size());
  for (int r : records)
    if (const uint8_t* record = source.RecordAt(r))
      copies.emplace_back(record, record + source.Fields.RecordSize());
  Fields = std::move(fields);
  records_ = std::move(copies);
  RecNo = RecordCount() - 1;
}

void TDBTable::SaveToStream(Stream& s) const {
  WriteString(s, Name);
  WriteByte(s, Kind);
  WriteInt32(s, Fields.Count());
  for (int i = 0; i < Fields.Count(); ++i) {
    WriteInt32(s, Fields[i].Size);
    WriteString(s, Fields[i].Name);
    WriteByte(s, Fields[i].FieldType);
  }
  WriteInt32(s, RecordCount());
  for (const auto& record : records_) s.WriteBuffer(record.data(), static_cast<int64_t>(record.size()));
  WriteInt32(s, RecNo);
}

void TDBTable::LoadFromStream(Stream& s, int /*version*/) {
  std::string name = ReadString(s);
  const uint8_t kind = ReadByte(s);
  const int32_t fieldCount = ReadInt32(s);
  constexpr int64_t kSmallestField = 9;  // size, name length, type
  if (fieldCount < 0 || static_cast<int64_t>(fieldCount) * kSmallestField > s.Remaining())
    throw Error(Format("damaged table: %d fields run past the end of the data", fieldCount));
  TDBFieldList fields;
  for (int32_t i = 0; i < fieldCount; ++i) {
    TDBField field;
    field.Size = ReadInt32(s);
    field.Name = ReadString(s);
    field.FieldType = ReadByte(s);
    if (field.Size <= 0 || TDBFieldList::SizeOf(field.FieldType, field.Size - 1) != field.Size)
      throw Error(Format("damaged table: field %d has type %d and size %d", i, field.FieldType,
                         field.Size));
    if (!fields.Append(std::move(field)))
      throw Error(Format("damaged table: field %d repeats a name or makes the record too large", i));
  }
  const int32_t recordCount = ReadInt32(s);
  const int64_t recordSize = fields.RecordSize();
  if (recordCount < 0 || static_cast<int64_t>(recordCount) * recordSize > s.Remaining() ||
      (recordSize == 0 && recordCount > kMaxEmptyRecords))
    throw Error(Format("damaged table: %d records run past the end of the data", recordCount));
  std::vector<std::vector<uint8_t>> records(static_cast<size_t>(recordCount));
  for (auto& record : records) {
    record.resize(static_cast<size_t>(recordSize));
    s.ReadBuffer(record.data(), recordSize);
  }
  const int32_t recNo = ReadInt32(s);
  Name = std::move(name);
  Kind = kind;
  Fields = std::move(fields);
  records_ = std::move(records);
  RecNo = recNo >= 0 && recNo < RecordCount() ? recNo : -1;
}

}  // namespace orin
