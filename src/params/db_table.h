// TDBTable: a named in-memory table of fixed-size records with typed fields (params/db_field_list.h),
// a current record, search, sort, tab-separated loading and its stream form.
//
// Field conversions (reading a field as another type, or writing another type into it):
//   integer field: as float the value, as flag != 0, as text the decimal text; takes a float
//     rounded to the nearest integer (ties to even), a flag as 0 / 1, text by the integer parse.
//   float field: as integer rounded (ties to even), as flag != 0, as text the general float text;
//     takes text by the float parse (0.0 when it fails).
//   flag field: 0 / 1, 0.0 / 1.0, "FALSE" / "TRUE"; takes a number != 0 and text equal to "TRUE".
//   string field: as integer / float by the parses (0 when they fail), as flag when it is "TRUE";
//     takes decimal, float or "FALSE" / "TRUE" text, cut to the declared length in bytes.
// Rounding a float that has no 64-bit integer form gives 0; otherwise the low 32 bits are kept.
// Out-of-range record or field indices make accessors return false and change nothing. No table
// operation throws, except LoadFromStream on damaged data.
//
// Stream form: Name (string), Kind (byte), field count (int32) and per field Size (int32), Name
// (string), FieldType (byte); record count (int32); the records, RecordSize bytes each, raw;
// RecNo (int32). Reading checks every count and size against the bytes that remain and each
// field's size against its type; a stored RecNo outside the records becomes -1.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "params/db_field_list.h"

namespace orin {

class Stream;
class TCustomParam;

class TDBTable {
 public:
  // Written before each table in a save.
  static constexpr uint8_t kClassCode = 0;

  TDBTable(std::string name, uint8_t kind) : Name(std::move(name)), Kind(kind) {}

  std::string Name;
  uint8_t Kind;  // 0: a game table (saved with games); otherwise persistent
  TDBFieldList Fields;
  int32_t RecNo = -1;  // the current record, -1 for none

  uint8_t ClassCode() const { return kClassCode; }
  int RecordCount() const { return static_cast<int>(records_.size()); }
  // Null when there is no such record.
  uint8_t* CurrentRecord();
  const uint8_t* RecordAt(int i) const;

  // Adds a field; its index, or -1 when a field of that name exists, the type is not 1-4 or the
  // length (strings only) is negative or too large. Every record grows, zero-filled at its end.
  int AddField(std::string name, uint8_t type, int32_t length);
  // Cuts field i out of the definitions and out of every record.
  void RemoveField(int i);

  // Appends a zero-filled record and makes it current.
  void Append();
  // Appends a copy of a record laid out as this table's (RecordSize bytes) and makes it current.
  void AppendRecord(const uint8_t* record);
  // Removes the current record; RecNo stays, or moves to the new last record when it was the
  // last. False without a current record.
  bool Delete();
  bool First();
  bool Last();
  // False when there is no such record or no current one.
  bool Next();
  bool Prior();
  // False when i >= RecordCount(); a negative i sets -1.
  bool SetRecNo(int i);

  // By field name on the current record.
  bool GetIntByName(std::string_view field, int32_t& v) const;
  bool SetIntByName(std::string_view field, int32_t v);
  bool GetFloatByName(std::string_view field, long double& v) const;
  bool SetFloatByName(std::string_view field, long double v);
  bool GetFlagByName(std::string_view field, bool& v) const;
  bool SetFlagByName(std::string_view field, bool v);
  bool GetStrByName(std::string_view field, std::string& v) const;
  bool SetStrByName(std::string_view field, std::string_view v);

  // By record index and field index.
  bool GetInt(int record, int field, int32_t& v) const;
  bool SetInt(int record, int field, int32_t v);
  bool GetFloat(int record, int field, long double& v) const;
  bool SetFloat(int record, int field, long double v);
  bool GetFlag(int record, int field, bool& v) const;
  bool SetFlag(int record, int field, bool v);
  bool GetStr(int record, int field, std::string& v) const;
  bool SetStr(int record, int field, std::string_view v);
  // Writes value with the setter of the value's own type.
  bool SetValue(int record, int field, const TCustomParam& value);

  // Appends to result the indices of the matching records, ascending. Without either key list
  // every record matches. Otherwise the first min(names, values) keys must all match: the field
  // is found by name (a name that is no field ends the whole search, keeping the matches found
  // so far); the key values' type decides the comparison: integers and flags are compared after
  // converting the field, floats for equality, texts for equality or (partial) containment,
  // case-insensitively when ignoreCase is set.
  void Find(std::vector<int>& result, const TCustomParam* keyNames, const TCustomParam* keyValues,
            bool ignoreCase, bool partial) const;
  // Reorders the records by the first min(names, flags) keys whose names are fields: integers and
  // floats by value (reversed where the key's descending flag is set), flags FALSE first and
  // texts by their bytes, both always ascending. Ties keep their order.
  void Sort(const TCustomParam* keyNames, const TCustomParam* descending);
  // Replaces fields and records with those of the lines of a tab-separated file: line 0 holds
  // one "name [type [length]]" column per field ("int", "float", "bool", anything else a string
  // of the given length, 80 by default); a column without a name clears the fields again and
  // ends the load. Each further non-empty line, unescaped ("\"" and "\\" lose the backslash,
  // "\n" becomes CR LF), is a record whose columns are written as text into the fields in order.
  void LoadTsv(const std::vector<std::string>& lines);
  // Removes every field and record.
  void ClearAll();
  void ClearRecords();
  // Makes this table's fields those of source and appends copies of the given records of it.
  void CopyFrom(const TDBTable& source, const std::vector<int>& records);

  void SaveToStream(Stream& s) const;
  void LoadFromStream(Stream& s, int version);

 private:
  // The field's bytes in the record, or null when either index is out of range.
  const uint8_t* FieldAt(int record, int field) const;
  uint8_t* FieldAt(int record, int field);

  std::vector<std::vector<uint8_t>> records_;
};

}  // namespace orin
