#include "scene/text/orin_read_list.h"

#include <algorithm>
#include <memory>

#include "core/error.h"
#include "resources/stream.h"

namespace orin {

bool TOrinReadList::IsRead(const std::string& pageFile, int32_t command, int32_t page) const {
  const TOrinReadItem* item = items_.FindItem(pageFile);
  if (!item) return false;
  return std::find(item->Marks.begin(), item->Marks.end(), std::pair{command, page}) != item->Marks.end();
}

void TOrinReadList::Add(const std::string& pageFile, int32_t command, int32_t page) {
  TOrinReadItem* item = items_.FindItem(pageFile);
  if (!item) item = &items_.Add(std::make_unique<TOrinReadItem>(pageFile));
  const std::pair mark{command, page};
  if (std::find(item->Marks.begin(), item->Marks.end(), mark) == item->Marks.end()) item->Marks.push_back(mark);
}

void TOrinReadList::CommitPending(const std::string& window) {
  if (pending_.PageFile.empty() || pending_.Window != window) return;
  Add(pending_.PageFile, pending_.Command, pending_.Page);
  pending_ = ReadMark{};
}

void TOrinReadList::Clear() {
  items_.Clear();
  pending_ = ReadMark{};
}

void TOrinReadList::SaveToStream(Stream& s) const {
  WriteInt32(s, items_.Count());
  for (int i = 0; i < items_.Count(); ++i) {
    const auto& item = static_cast<const TOrinReadItem&>(items_.Item(i));
    WriteString(s, item.Name());
    WriteInt32(s, static_cast<int32_t>(item.Marks.size()));
    for (const auto& m : item.Marks) WriteInt32(s, m.first);
    for (const auto& m : item.Marks) WriteInt32(s, m.second);
  }
  WriteString(s, pending_.PageFile);
  WriteInt32(s, pending_.Command);
  WriteInt32(s, pending_.Page);
  WriteString(s, pending_.Window);
}

void TOrinReadList::LoadFromStream(Stream& s, int version) {
  Clear();
  if (version < 100) return;
  try {
    const int32_t count = ReadInt32(s);
    // Every item takes at least its name's length and its pair count.
    if (count < 0 || count > s.Remaining() / 8) throw Error("read list: damaged record: bad item count");
    for (int32_t i = 0; i < count; ++i) {
      const std::string name = ReadString(s);
      const int32_t n = ReadInt32(s);
      if (n < 0 || n > s.Remaining() / 8) throw Error("read list: damaged record: bad mark count");
      std::vector<int32_t> commands(static_cast<size_t>(n));
      for (int32_t& c : commands) c = ReadInt32(s);
      TOrinReadItem* item = items_.FindItem(name);
      if (!item) item = &items_.Add(std::make_unique<TOrinReadItem>(name));
      for (int32_t k = 0; k < n; ++k) item->Marks.emplace_back(commands[static_cast<size_t>(k)], ReadInt32(s));
    }
    pending_.PageFile = ReadString(s);
    pending_.Command = ReadInt32(s);
    pending_.Page = ReadInt32(s);
    pending_.Window = ReadString(s);
  } catch (...) {
    Clear();
    throw;
  }
}

}  // namespace orin
