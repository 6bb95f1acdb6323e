// TOrinInstallSet: the installation data "install.dat" that an installer leaves beside a game and
// on each of its discs.
//
// Versions read: 0 (no header; the data starts with the disc index, and the installer's values
// are 4 bytes wide) and "is" + three digits, where 100 and later widen those values to 8 bytes,
// 101 adds one flag, 102 the installed file list, 103 the full-install flag, 104 and 105 one flag
// each, 106 a second list and 107 a closing text. A file that does not begin with "is" is read
// from its first byte as version 0. Every count and text length is checked against the bytes
// left before anything is allocated; a negative count reads as none, as the installer's own
// reader does.
//
// The player uses DiscIndex, Title and FullInstall. The other fields belong to the installer;
// they are kept, in file order, so that reading and writing a file loses nothing.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "resources/stream.h"

namespace orin {

class TOrinInstallSet {
 public:
  static constexpr int kWriteVersion = 107;

  // Reads from the stream's position. Throws Error naming "install.dat" when the data is cut
  // short or a count does not fit.
  void LoadFromStream(Stream& s);
  // Reads a whole file (host path); errors name the file.
  void LoadFromFile(const std::string& hostPath);
  // Writes the layout of the given version (0, or 1 to 999). Throws Error for a version outside
  // that range or, below 100, for an installer value that does not fit in 4 bytes.
  void SaveToStream(Stream& s, int version = kWriteVersion) const;
  void SaveToFile(const std::string& hostPath, int version = kWriteVersion) const;

  // Position in FileList of a name compared without regard to case, or -1.
  int IndexOfFileName(std::string_view name) const;
  // Appends the name unless FileList already has it.
  void AddFileName(std::string name);

  int Version = 0;  // as read
  int32_t DiscIndex = 0;  // 0 for the first disc
  std::string Title;

  // The installer's fields, in file order.
  std::string Text1, Text2, Text3;
  uint8_t Flag1 = 0;
  std::string Text4;
  uint8_t Flag2 = 0;
  std::string Text5;  // stored after the entry count
  int32_t Number1 = 0;
  uint8_t Flag3 = 0, Flag4 = 0;
  std::string Text6, Text7;
  std::vector<std::array<int64_t, 4>> Entries;  // their number is the entry count
  std::array<int64_t, 4> Values{};
  uint8_t Flag5 = 0;
  uint8_t Flag6 = 0;                  // version 101 on
  std::vector<std::string> FileList;  // version 102 on; empty names are not kept
  uint8_t FullInstall = 0;            // version 103 on
  uint8_t Flag7 = 0;                  // version 104 on
  uint8_t Flag8 = 0;                  // version 105 on
  std::vector<std::string> ExtraList;  // version 106 on
  std::string Text8;                   // version 107 on
};

}  // namespace orin
