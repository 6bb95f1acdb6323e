// The host file system as the game sees it.
//
// Games name files with "\" (or "/") between components and without regard to case, in cp932.
// On disk, names are case-sensitive and usually UTF-8, but a folder copied raw from a Japanese
// system keeps cp932 bytes. Resolve walks a game name component by component: an entry whose
// name matches exactly (as UTF-8, then as the raw bytes) wins; otherwise the folder's listing is
// searched case-insensitively, comparing each entry both by its UTF-8 name converted to cp932 and
// by its raw bytes. Listings are cached and re-read when the folder's modification time changes,
// and on every use while that time is within a few seconds of now (folder times are coarse), so
// files the game writes are seen at once.
//
// Host paths are plain byte strings with "/"; a host folder ends in "/" when not empty.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace orin {

class HostFileSystem {
 public:
  // The host path of gameName under hostFolder when every component exists; "." components are
  // skipped and ".." goes up, but never above hostFolder. nullopt when it does not resolve.
  std::optional<std::string> Resolve(const std::string& hostFolder, std::string_view gameName);
  // Resolve and a regular file at the result.
  std::optional<std::string> FindFile(const std::string& hostFolder, std::string_view gameName);
  bool FileExists(const std::string& hostFolder, std::string_view gameName) {
    return FindFile(hostFolder, gameName).has_value();
  }
  // Where a new file of that name should be written: the resolved folders, and the last component
  // either as an existing entry matched as above or as UTF-8 (raw bytes if it has no UTF-8 form).
  // nullopt when a folder on the way does not exist, or when the name is that of a folder.
  std::optional<std::string> PathForWrite(const std::string& hostFolder, std::string_view gameName);

  void ForgetListings() { listings_.clear(); }

 private:
  struct Entry {
    std::string hostName;
    std::string keyUtf8;  // the name converted to cp932 and upper-cased (empty when no form)
    std::string keyRaw;   // the raw bytes upper-cased
  };
  struct Listing {
    int64_t mtimeNs = 0;
    // False while the folder's time is too recent to tell a later change from this state.
    bool settled = false;
    std::vector<Entry> entries;  // sorted by hostName, so the choice among several is stable
  };
  // The host name of component in hostDir, or nullopt.
  std::optional<std::string> MatchComponent(const std::string& hostDir, std::string_view component);
  const Listing* ListingOf(const std::string& hostDir);
  // Resolve; with allowRoot a name that comes back to hostFolder itself resolves to it.
  std::optional<std::string> ResolvePath(const std::string& hostFolder, std::string_view gameName, bool allowRoot);

  std::unordered_map<std::string, Listing> listings_;
};

// Small helpers on host paths.
bool IsHostFile(const std::string& hostPath);
bool IsHostDirectory(const std::string& hostPath);
std::string HostDirOf(const std::string& hostPath);   // up to and including the last "/"
std::string HostBaseName(const std::string& hostPath);
std::string WithTrailingSlash(std::string hostPath);
// The extension of a game name or host path with its dot ("" when none), as stored.
std::string ExtensionOf(std::string_view name);
// The DOS date-time (date in the high word) of a host file's modification time, local time;
// 0 when it cannot be read.
uint32_t HostFileDosTime(const std::string& hostPath);
// Sets a host file's modification time from a DOS date-time (local time); false on failure.
bool SetHostFileDosTime(const std::string& hostPath, uint32_t dosTime);

// Mounted optical media (iso9660 and udf file systems), as folders ending in "/", in mount order.
std::vector<std::string> ProbeOpticalRoots();

}  // namespace orin
