// TDBManager: the tables of a running game and the active table most table functions work on.
// Table names compare case-insensitively.
//
// Table set (the game save writes the game tables, kind 0; the persistent save the others):
//   int32 version 100; int32 number of tables of that kind; per table its class code (byte) and
//   the table (params/db_table.h); for the game set only, the name of the active table (empty for
//   none). Reading a set frees the tables of that kind, appends each table read and makes it
//   active, then (game set) activates the table of the stored name, or none.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "params/db_table.h"

namespace orin {

class Stream;

class TDBManager {
 public:
  static constexpr int32_t kSetVersion = 100;

  int Count() const { return static_cast<int>(tables_.size()); }
  TDBTable& operator[](int i) { return *tables_[static_cast<size_t>(i)]; }
  const TDBTable& operator[](int i) const { return *tables_[static_cast<size_t>(i)]; }

  int32_t Active = -1;  // index of the active table, -1 for none

  int IndexOf(std::string_view name) const;
  TDBTable* Find(std::string_view name);
  TDBTable* ActiveTable();

  // An empty name fails. An existing table becomes active and, unless persistent is set, is
  // emptied (fields and records); otherwise a new table of that kind is appended and made active.
  bool CreateTable(const std::string& name, bool persistent);
  // Frees the table; the active table is looked up again by its name (-1 if it was this one).
  bool DeleteTable(std::string_view name);
  bool SetActive(std::string_view name);
  // A new game: frees every game table; no table is active.
  void ClearGameTables();

  // The first record of the named table that Find selects with the keys, or -1 (also for a
  // missing table).
  int DirectRecord(std::string_view table, const TCustomParam* keyNames,
                   const TCustomParam* keyValues, bool ignoreCase, bool partial,
                   TDBTable** found);

  void SaveTables(Stream& s, bool persistent) const;
  // Throws orin::Error on damaged data; the tables read before the damage stay.
  void LoadTables(Stream& s, bool persistent);

 private:
  void FreeWhere(bool persistent);

  std::vector<std::unique_ptr<TDBTable>> tables_;
};

}  // namespace orin
