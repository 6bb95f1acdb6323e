#include "resources/folder_disk_list.h"

#include "core/cp932.h"
#include "core/error.h"
#include "core/text.h"

namespace orin {

namespace {

// Compares as the map does: upper-cased, with a "\" at the end unless the last character is one
// (a final 0x5C that is the trail byte of a double-byte character does not count).
std::string FolderKey(std::string_view folder) {
  std::string key = UpperCase(folder);
  if (key.empty() || FindLastChar(key, '\\') != key.size() - 1) key += '\\';
  return key;
}

[[noreturn]] void Damaged(const std::string& what) { throw Error("damaged folder-disk list: " + what); }

}  // namespace

int32_t TFolderDiskList::DiskOf(std::string_view path) const {
  std::string rest = UpperCase(path);
  while (!rest.empty()) {
    const std::string key = FolderKey(rest);
    for (const auto& item : Items)
      if (FolderKey(item.Folder) == key) return item.Disk;
    size_t cut = FindLastChar(rest, '\\');
    rest.resize(cut == std::string::npos ? 0 : cut);
  }
  return 0;
}

void TFolderDiskList::LoadFromStream(Stream& s) {
  Items.clear();
  if (s.Remaining() < 4) Damaged("the count is cut short");
  int32_t count = ReadInt32(s);
  if (count <= 0) return;
  // An item takes at least a folder length and a disc number.
  if (static_cast<int64_t>(count) * 8 > s.Remaining())
    Damaged(Format("%d folders do not fit in the data", count));
  Items.reserve(static_cast<size_t>(count));
  for (int32_t i = 0; i < count; ++i) {
    Item item;
    if (s.Remaining() < 4) Damaged("a folder is cut short");
    int32_t length = ReadInt32(s);
    if (length > 0) {
      if (length > s.Remaining()) Damaged(Format("a folder of %d bytes runs past the end of the data", length));
      item.Folder.resize(static_cast<size_t>(length));
      s.ReadBuffer(item.Folder.data(), length);
    }
    if (s.Remaining() < 4) Damaged("a disc number is cut short");
    item.Disk = ReadInt32(s);
    Items.push_back(std::move(item));
  }
}

void TFolderDiskList::SaveToStream(Stream& s) const {
  WriteInt32(s, static_cast<int32_t>(Items.size()));
  for (const auto& item : Items) {
    WriteString(s, item.Folder);
    WriteInt32(s, item.Disk);
  }
}

}  // namespace orin
