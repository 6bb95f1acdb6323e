#include "script/page.h"

#include <algorithm>

#include "core/byte_reader.h"
#include "core/error.h"
#include "core/text.h"
#include "params/param_collection.h"
#include "resources/file_manager.h"
#include "resources/stream.h"
#include "script/commands_object.h"

namespace orin {

using namespace literals;

namespace {

// Kind byte and header: the least a command record can take.
constexpr uint64_t kSmallestCommand = 1 + 4 + 1 + 1 + 4;
// A kind table larger than this is refused when writing: no page needs one, and a count and
// length typed into a page text could otherwise ask for exabytes of zeros.
constexpr int64_t kLargestKindTable = int64_t{1} << 30;

void WriteZeros(Stream& s, int64_t n) {
  static const char kZeros[4096] = {};
  while (n > 0) {
    int64_t k = std::min<int64_t>(n, sizeof kZeros);
    s.WriteBuffer(kZeros, k);
    n -= k;
  }
}

bool AllZero(std::string_view bytes) {
  return std::all_of(bytes.begin(), bytes.end(), [](char c) { return c == 0; });
}

}  // namespace

void PropSet::Set(int i, bool on) {
  if (i < 0 || i >= kBits) return;
  auto bit = static_cast<uint8_t>(1u << (i % 8));
  if (on)
    bytes_[i / 8] |= bit;
  else
    bytes_[i / 8] &= static_cast<uint8_t>(~bit);
}

bool PropSet::Any() const {
  return std::any_of(bytes_.begin(), bytes_.end(), [](uint8_t b) { return b != 0; });
}

void TPage::Clear() {
  Commands.clear();
  ReturnType = 1;
  for (PropSet& set : PropSets) set.Clear();
  Version = kNewPageVersion;
  KindRecordCount = kCommandKindCount;
  KindRecordLength = PropSet::kBytes;
  KindTableSurplus.clear();
  Trailer.clear();
}

PageLoadResult TPage::Load(TVrFileManager& files, const std::string& name, PageMessages* messages) {
  Clear();
  Name = name;
  MemoryStream data;
  files.LoadToStream(data, name);
  data.SetPosition(0);
  return LoadFromStream(data, messages);
}

PageLoadResult TPage::LoadFromStream(Stream& s, PageMessages* messages) {
  Clear();
  StreamBytes bytes(s);
  // Messages name the page, so a damaged one is found without its context lines.
  const std::string label = (Name.empty() ? std::string("page") : Name) + ": damaged page";
  ByteReader r = bytes.Reader(label);
  try {
    int32_t version = r.I32("the version");
    Version = version;
    if (version > kNewestScriptVersion) return PageLoadResult::kTooNew;
    if (version <= kLastRebuildPageVersion) {
      if (messages) {
        std::string text = Name;
        text += "\r\n";
        text += "リビルドしてください"_sj;
        messages->RebuildRequired(text);
      }
      return PageLoadResult::kTooOld;
    }
    ReadBody(r);
    bytes.Finish(r);
  } catch (Error& e) {
    Clear();
    if (!Name.empty()) e.AddContext(Name + ": while reading the page");
    throw;
  } catch (...) {
    Clear();
    throw;
  }
  return PageLoadResult::kLoaded;
}

void TPage::ReadBody(ByteReader& r) {
  ReturnType = r.U8("the return type");
  const int32_t count = r.I32("the kind table"), length = r.I32("the kind table");
  if (length < 0) r.Fail("the kind table", "negative record length");
  r.Count(count, static_cast<uint64_t>(length), "the kind table");
  KindRecordCount = count;
  KindRecordLength = length;
  const int32_t used = std::min<int32_t>(length, PropSet::kBytes);
  const int32_t sets = std::min<int32_t>(count, kCommandKindCount);
  std::string surplus;
  for (int32_t i = 0; i < sets; ++i) {
    r.Read(PropSets[static_cast<size_t>(i)].Bytes().data(), static_cast<uint64_t>(used), "the kind table");
    const auto rest = r.Bytes(static_cast<uint64_t>(length - used), "the kind table");
    surplus.append(reinterpret_cast<const char*>(rest.data()), rest.size());
  }
  if (count > kCommandKindCount) {
    const auto rest = r.Bytes(static_cast<uint64_t>(count - kCommandKindCount) * length, "the kind table");
    surplus.append(reinterpret_cast<const char*>(rest.data()), rest.size());
  }
  if (!AllZero(surplus)) KindTableSurplus = std::move(surplus);

  const size_t n = r.ReadCount(kSmallestCommand, "the commands");
  Commands.reserve(n);
  const std::string label = r.Label();
  for (size_t i = 0; i < n; ++i) {
    r.SetLabel(label + ": command " + std::to_string(i));
    const uint8_t kindByte = r.U8("the kind");
    const int kind = kindByte & 0x7F;
    try {
      std::unique_ptr<TCommand> command = CreateCommand(kind, *this);
      if (!command) throw Error("不正なコマンド"_sj);
      command->KindHighBit = (kindByte & 0x80) != 0;
      command->ReadRecord(r);
      Commands.push_back(std::move(command));
    } catch (Error& e) {
      e.AddContext(Format("command %d (kind %d)", static_cast<int64_t>(i), kind));
      throw;
    }
  }
  r.SetLabel(label);
  const auto rest = r.Bytes(r.Remaining(), "the trailer");
  Trailer.assign(reinterpret_cast<const char*>(rest.data()), rest.size());
}

void TPage::SaveToStream(Stream& s) const {
  const int32_t count = KindRecordCount, length = KindRecordLength;
  if (count < 0 || length < 0 || static_cast<int64_t>(count) * length > kLargestKindTable)
    throw Error(Format("the kind table of %d records of %d bytes cannot be written", count, length));
  const int32_t used = std::min<int32_t>(length, PropSet::kBytes);
  for (int k = 0; k < kCommandKindCount; ++k) {
    const PropSet& set = PropSets[static_cast<size_t>(k)];
    for (int bit = 0; bit < PropSet::kBits; ++bit)
      if (set.Test(bit) && (k >= count || bit >= used * 8))
        throw Error(Format("property %d of kind %d does not fit a kind table of %d records of %d bytes",
                           bit, k, count, length));
  }
  const int32_t sets = std::min<int32_t>(count, kCommandKindCount);
  const int64_t surplusSize = static_cast<int64_t>(sets) * (length - used) +
                              static_cast<int64_t>(count - sets) * length;
  if (!KindTableSurplus.empty() && static_cast<int64_t>(KindTableSurplus.size()) != surplusSize)
    throw Error(Format("the kind table needs %d surplus bytes, not %d", surplusSize,
                       KindTableSurplus.size()));

  WriteInt32(s, Version);
  WriteByte(s, ReturnType);
  WriteInt32(s, count);
  WriteInt32(s, length);
  size_t at = 0;
  auto surplus = [&](int64_t n) {
    if (KindTableSurplus.empty()) {
      WriteZeros(s, n);
    } else {
      s.WriteBuffer(KindTableSurplus.data() + at, n);
      at += static_cast<size_t>(n);
    }
  };
  for (int32_t i = 0; i < sets; ++i) {
    s.WriteBuffer(PropSets[static_cast<size_t>(i)].Bytes().data(), used);
    surplus(length - used);
  }
  surplus(static_cast<int64_t>(count - sets) * length);

  WriteInt32(s, Count());
  for (const auto& command : Commands) command->WriteRecord(s);
  s.WriteBuffer(Trailer.data(), static_cast<int64_t>(Trailer.size()));
}

TCommand& TPage::Add(int kind) {
  std::unique_ptr<TCommand> command = CreateCommand(kind, *this);
  if (!command) throw Error(Format("there is no command kind %d", kind));
  if (HasPropertyRecord(kind)) static_cast<TComComponent&>(*command).CreateProperties();
  Commands.push_back(std::move(command));
  return *Commands.back();
}

int32_t TPage::FindLabel(std::string_view name) const {
  for (size_t i = 0; i < Commands.size(); ++i)
    if (Commands[i]->IsLabel(name)) return static_cast<int32_t>(i);
  return -1;
}

int32_t TPage::IndexOf(const TCommand* command) const {
  for (size_t i = 0; i < Commands.size(); ++i)
    if (Commands[i].get() == command) return static_cast<int32_t>(i);
  return -1;
}

void TPage::FreePageVariable(TParamCollection& vars) const {
  std::string name = "\x01";
  name += Name;
  if (vars.FindVariable(name)) vars.DeleteVariable(name);
}

}  // namespace orin
