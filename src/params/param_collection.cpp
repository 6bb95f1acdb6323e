#include "params/param_collection.h"

#include <algorithm>
#include <unordered_set>
#include <vector>

#include "core/cp932.h"
#include "core/error.h"
#include "core/text.h"
#include "params/function_dispatcher.h"
#include "params/param_host.h"
#include "params/param_system.h"
#include "resources/stream.h"

namespace orin {

using namespace literals;

// --- TParamCollectionItem --------------------------------------------------------------------

void TParamCollectionItem::SetName(std::string name) {
  if (name.empty() || FindChar(name, ' ') != std::string::npos ||
      (name[0] >= '0' && name[0] <= '9'))
    throw Error("\"" + name + "\"" + "：変数名が不正です"_sj);
  THashCollectionItem::SetName(std::move(name));
}

void TParamCollectionItem::SaveToStream(Stream& s) const {
  WriteString(s, Name());
  Value->SaveToStream(s);
  WriteByte(s, IsPersistent ? 1 : 0);
  WriteByte(s, IsLocal ? 1 : 0);
  WriteInt32(s, Frame);
  WriteByte(s, Extra);
}

void TParamCollectionItem::LoadFromStream(Stream& s, const TParamCollection& scope) {
  std::string name = ReadString(s);
  // An empty name is not a valid name, but such a record is still read to its end and dropped
  // by the collection.
  if (!name.empty()) SetName(std::move(name));
  Value->LoadFromStream(s, &scope);
  IsPersistent = ReadByte(s) != 0;
  IsLocal = ReadByte(s) != 0;
  Frame = ReadInt32(s);
  Extra = ReadByte(s);
}

// --- TParamCollection ------------------------------------------------------------------------

TParamCollection::TParamCollection()
    : nullHost_(std::make_unique<NullParamHost>()),
      host_(&nullHost_->Host()),
      functions_(&NullFunctionDispatcher()) {
  Reserve(kSystemVariableCount + 64);
  for (int i = 0; i < kSystemVariableCount; ++i) {
    auto item = std::make_unique<TParamCollectionItem>(
        std::make_unique<TParamSystem>(*this, static_cast<uint8_t>(i)));
    item->system_ = true;
    item->SetName(kSystemVariables[i].Name);
    Add(std::move(item));
  }
}

TParamCollection::~TParamCollection() {
  Clear();
}

TParamCollectionItem& TParamCollection::Add(std::unique_ptr<TParamCollectionItem> item) {
  ++structure_;
  if (item->Value) item->Value->SetBudget(&budget_);
  return THashCollectionOf::Add(std::move(item));
}

void TParamCollection::Delete(int index) {
  ++structure_;
  THashCollection::Delete(index);
}

std::unique_ptr<THashCollectionItem> TParamCollection::Extract(int index) {
  ++structure_;
  std::unique_ptr<THashCollectionItem> item = THashCollection::Extract(index);
  if (auto* variable = dynamic_cast<TParamCollectionItem*>(item.get()); variable && variable->Value)
    variable->Value->SetBudget(nullptr);
  return item;
}

void TParamCollection::Clear() {
  ++structure_;
  THashCollection::Clear();
}

void TParamCollection::SetHost(ParamHost* host) {
  host_ = host ? host : &nullHost_->Host();
}

void TParamCollection::SetFunctions(FunctionDispatcher* functions) {
  functions_ = functions ? functions : &NullFunctionDispatcher();
}

TParamCollectionItem* TParamCollection::AddVariable(uint8_t typeCode) {
  std::unique_ptr<TCustomParam> value = CreateParam(typeCode);
  if (!value) return nullptr;
  return &Add(std::make_unique<TParamCollectionItem>(std::move(value)));
}

TParamCollectionItem& TParamCollection::AddVariable(uint8_t typeCode, std::string name) {
  std::unique_ptr<TCustomParam> value = CreateParam(typeCode);
  if (!value) throw Error(Format("variable type %d has no value class", typeCode));
  auto item = std::make_unique<TParamCollectionItem>(std::move(value));
  item->SetName(std::move(name));
  return Add(std::move(item));
}

TParamCollectionItem* TParamCollection::FindVariable(std::string_view name) const {
  return FindVariable(VariableKey::Make(name));
}

TParamCollectionItem* TParamCollection::FindVariable(const VariableKey& key) const {
  TParamCollectionItem* oldest = nullptr;
  for (THashCollectionItem* p = ChainHeadAt(key.bucket); p; p = p->NextInChain()) {
    if (!p->KeyEquals(key.key, key.digest)) continue;
    auto* item = static_cast<TParamCollectionItem*>(p);
    if (item->IsLocal) {
      if (item->Frame == CurrentFrame) return item;
      continue;
    }
    oldest = item;
  }
  return oldest;
}

TParamCollectionItem* TParamCollection::FindDeclared(std::string_view name, bool local) const {
  VariableKey key = VariableKey::Make(name);
  TParamCollectionItem* oldest = nullptr;
  for (THashCollectionItem* p = ChainHeadAt(key.bucket); p; p = p->NextInChain()) {
    if (!p->KeyEquals(key.key, key.digest)) continue;
    auto* item = static_cast<TParamCollectionItem*>(p);
    if (local) {
      if (item->IsLocal && item->Frame == CurrentFrame) return item;
    } else if (!item->IsLocal) {
      oldest = item;
    }
  }
  return oldest;
}

std::unique_ptr<TCustomParam> TParamCollection::ExtractValueCopy(std::string_view name) const {
  TParamCollectionItem* item = FindVariable(name);
  if (!item) return nullptr;
  const TCustomParam& source = *item->Value;
  uint8_t type = source.GetType();
  if (type < kTypeInt || type > kTypeStr) throw Error(Format("%s:不正な変数です"_sj, name));
  std::unique_ptr<TCustomParam> copy = CreateParam(type);
  if (source.StorageType() == type && !item->IsSystem()) {
    copy->AssignRaw(source);
  } else if (source.GetCount() <= 1) {
    // References and system variables: read through their own operations.
    switch (type) {
      case kTypeInt:
        copy->SetAsInt(source.GetAsInt());
        break;
      case kTypeFloat:
        copy->SetAsFloat(source.GetAsFloat());
        break;
      case kTypeFlag:
        copy->SetAsFlag(source.GetAsFlag());
        break;
      default:
        copy->SetAsStr(source.GetAsStr());
        break;
    }
  } else {
    copy->CopyArrayFrom(source);
  }
  return copy;
}

template <class Pred>
void TParamCollection::FreeWhere(Pred drop) {
  for (int i = Count() - 1; i >= 0; --i) {
    TParamCollectionItem& item = (*this)[i];
    if (!item.IsSystem() && drop(item)) Delete(i);
  }
}

void TParamCollection::DeleteVariable(std::string_view name) {
  TParamCollectionItem* item = FindVariable(name);
  if (item && !item->IsSystem()) Delete(item->CachedIndex());
}

void TParamCollection::DeleteFrame(int32_t depth) {
  FreeWhere([depth](const TParamCollectionItem& item) { return item.Frame == depth; });
}

void TParamCollection::ClearGame() {
  FreeWhere([](const TParamCollectionItem& item) { return !item.IsPersistent; });
  TextDelay = 50;
  Cursor.clear();
  HistoryLayout.fill(0);
}

void TParamCollection::WriteRecords(Stream& s, bool persistent) const {
  std::vector<const TParamCollectionItem*> pending;
  for (int i = 0; i < Count(); ++i) {
    const TParamCollectionItem& item = (*this)[i];
    if (!item.IsSystem() && item.IsPersistent == persistent) pending.push_back(&item);
  }
  WriteInt32(s, static_cast<int32_t>(pending.size()));

  auto targetOf = [](const TParamCollectionItem* item) -> const TParamCollectionItem* {
    const TParamVar* ref = item->Value->AsReference();
    return ref ? ref->Target : nullptr;
  };
  std::unordered_set<std::string> written;  // folded names
  auto write = [&](size_t k) {
    const TParamCollectionItem* item = pending[k];
    WriteByte(s, item->Value->StorageType());
    item->SaveToStream(s);
    written.insert(THashCollection::MakeKey(item->Name()));
    pending.erase(pending.begin() + static_cast<std::ptrdiff_t>(k));
  };

  // Each pass runs from the last pending variable to the first and holds back a reference
  // until a variable of its target's name is written, so loading can bind it by name.
  while (!pending.empty()) {
    bool progress = false;
    for (size_t k = pending.size(); k-- > 0;) {
      const TParamCollectionItem* target = targetOf(pending[k]);
      if (target && !written.count(THashCollection::MakeKey(target->Name()))) continue;
      write(k);
      progress = true;
    }
    if (progress) continue;
    // Only references remain whose targets will never be written here (system variables, the
    // other set, or a cycle of references): write one of them and go on, preferring one whose
    // target is not waiting itself.
    size_t pick = pending.size() - 1;
    for (size_t k = pending.size(); k-- > 0;) {
      const TParamCollectionItem* target = targetOf(pending[k]);
      if (std::find(pending.begin(), pending.end(), target) == pending.end()) {
        pick = k;
        break;
      }
    }
    write(pick);
  }
}

void TParamCollection::ReadRecords(Stream& s) {
  constexpr int64_t kSmallestRecord = 20;
  int32_t count = ReadInt32(s);
  if (count < 0 || static_cast<int64_t>(count) * kSmallestRecord > s.Remaining())
    throw Error(Format("damaged variables: %d records run past the end of the data", count));
  for (int32_t i = 0; i < count; ++i) {
    uint8_t type = ReadByte(s);
    std::unique_ptr<TCustomParam> value = CreateParam(type);
    if (!value)
      throw Error(Format("damaged variables: record %d has the unknown type %d", i, type));
    auto item = std::make_unique<TParamCollectionItem>(std::move(value));
    item->LoadFromStream(s, *this);
    if (!item->Name().empty()) Add(std::move(item));
  }
}

void TParamCollection::SaveGame(Stream& s) const {
  WriteRecords(s, false);
  WriteInt32(s, TextDelay);
  WriteString(s, Cursor);
  WriteString(s, SelStr);
  WriteInt32(s, SelIndex);
  for (int32_t v : HistoryLayout) WriteInt32(s, v);
  WriteString(s, TempName);
}

void TParamCollection::LoadGame(Stream& s, int version) {
  FreeWhere([](const TParamCollectionItem& item) { return !item.IsPersistent; });
  ReadRecords(s);
  TextDelay = ReadInt32(s);
  Cursor = ReadString(s);
  if (version > 102) {
    SelStr = ReadString(s);
    SelIndex = ReadInt32(s);
  }
  if (version > 112)
    for (int32_t& v : HistoryLayout) v = ReadInt32(s);
  if (version > 120) TempName = ReadString(s);
}

void TParamCollection::SavePersistent(Stream& s) const {
  WriteRecords(s, true);
}

void TParamCollection::LoadPersistent(Stream& s, int /*version*/) {
  ReadRecords(s);
}

}  // namespace orin
