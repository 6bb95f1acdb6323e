#include "params/db_manager.h"

#include "core/cp932.h"
#include "core/error.h"
#include "core/text.h"
#include "resources/stream.h"

namespace orin {

int TDBManager::IndexOf(std::string_view name) const {
  for (size_t i = 0; i < tables_.size(); ++i)
    if (SameText(tables_[i]->Name, name)) return static_cast<int>(i);
  return -1;
}

TDBTable* TDBManager::Find(std::string_view name) {
  const int i = IndexOf(name);
  return i >= 0 ? tables_[static_cast<size_t>(i)].get() : nullptr;
}

TDBTable* TDBManager::ActiveTable() {
  return Active >= 0 && Active < Count() ? tables_[static_cast<size_t>(Active)].get() : nullptr;
}

bool TDBManager::CreateTable(const std::string& name, bool persistent) {
  if (name.empty()) return false;
  const int i = IndexOf(name);
  if (i >= 0) {
    Active = i;
    if (!persistent) tables_[static_cast<size_t>(i)]->ClearAll();
    return true;
  }
  tables_.push_back(std::make_unique<TDBTable>(name, persistent ? 1 : 0));
  Active = Count() - 1;
  return true;
}

bool TDBManager::DeleteTable(std::string_view name) {
  const int i = IndexOf(name);
  if (i < 0) return false;
  TDBTable* active = ActiveTable();
  const std::string activeName = active ? active->Name : std::string();
  tables_.erase(tables_.begin() + i);
  Active = active ? IndexOf(activeName) : -1;
  return true;
}

bool TDBManager::SetActive(std::string_view name) {
  const int i = IndexOf(name);
  if (i < 0) return false;
  Active = i;
  return true;
}

void TDBManager::FreeWhere(bool persistent) {
  std::erase_if(tables_, [persistent](const std::unique_ptr<TDBTable>& t) {
    return (t->Kind != 0) == persistent;
  });
}

void TDBManager::ClearGameTables() {
  FreeWhere(false);
  Active = -1;
}

int TDBManager::DirectRecord(std::string_view table, const TCustomParam* keyNames,
                             const TCustomParam* keyValues, bool ignoreCase, bool partial,
                             TDBTable** found) {
  TDBTable* t = Find(table);
  *found = t;
  if (!t) return -1;
  std::vector<int> matches;
  t->Find(matches, keyNames, keyValues, ignoreCase, partial);
  return matches.empty() ? -1 : matches.front();
}

void TDBManager::SaveTables(Stream& s, bool persistent) const {
  WriteInt32(s, kSetVersion);
  int32_t count = 0;
  for (const auto& t : tables_) count += (t->Kind != 0) == persistent;
  WriteInt32(s, count);
  for (const auto& t : tables_) {
    if ((t->Kind != 0) != persistent) continue;
    WriteByte(s, t->ClassCode());
    t->SaveToStream(s);
  }
  if (!persistent) {
    const TDBTable* active = Active >= 0 && Active < Count() ? tables_[static_cast<size_t>(Active)].get() : nullptr;
    WriteString(s, active ? std::string_view(active->Name) : std::string_view());
  }
}

void TDBManager::LoadTables(Stream& s, bool persistent) {
  const int32_t version = ReadInt32(s);
  FreeWhere(persistent);
  Active = -1;
  const int32_t count = ReadInt32(s);
  // Class code, name length, kind, field count, record count, RecNo.
  constexpr int64_t kSmallestTable = 18;
  if (count < 0 || static_cast<int64_t>(count) * kSmallestTable > s.Remaining())
    throw Error(Format("damaged tables: %d tables run past the end of the data", count));
  for (int32_t i = 0; i < count; ++i) {
    ReadByte(s);  // the class code: there is one class of table
    auto table = std::make_unique<TDBTable>(std::string(), 0);
    table->LoadFromStream(s, version);
    tables_.push_back(std::move(table));
    Active = Count() - 1;
  }
  if (!persistent) Active = IndexOf(ReadString(s));
}

}  // namespace orin
