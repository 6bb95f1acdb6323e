// TFolderDiskList: the project's map from data folders to the disc that holds them.
//
// Stored as an int32 count, then per item the folder (int32 length and bytes) and the disc number
// (int32, 1 for the first disc). A negative count reads as an empty list. Folders are game names
// ("bg\event") compared without regard to case.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "resources/stream.h"

namespace orin {

class TFolderDiskList {
 public:
  struct Item {
    std::string Folder;
    int32_t Disk = 0;
  };

  // The disc of the innermost folder of path that the map names: the whole path is tried first,
  // then with its last component removed, and so on; each side is compared with a trailing "\".
  // 0 when no folder on the way is in the map (the file is on no particular disc).
  int32_t DiskOf(std::string_view path) const;
  void AddFolder(std::string folder, int32_t disk) { Items.push_back({std::move(folder), disk}); }
  void Clear() { Items.clear(); }

  // Reads a list at the stream's position (replacing the items) and leaves the stream behind it.
  // Throws Error when the count or a folder does not fit in what the stream has left.
  void LoadFromStream(Stream& s);
  void SaveToStream(Stream& s) const;

  std::vector<Item> Items;
};

}  // namespace orin
