#include "resources/host_fs.h"

#include <dirent.h>
#include <sys/stat.h>
#include <utime.h>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <fstream>
#include <sstream>

#include "core/cp932.h"

namespace orin {

namespace {

constexpr int64_t kUnsettledNs = int64_t{3} * 1000000000;

std::vector<std::string_view> SplitGameName(std::string_view name) {
  std::vector<std::string_view> parts;
  size_t start = 0;
  for (size_t i = 0; i <= name.size();) {
    if (i == name.size() || ((name[i] == '\\' || name[i] == '/') && CharLength(name, i) == 1)) {
      if (i > start) parts.push_back(name.substr(start, i - start));
      start = i + 1;
      ++i;
      continue;
    }
    i += CharLength(name, i);
  }
  return parts;
}

bool Exists(const std::string& path) {
  struct stat st;
  return ::lstat(path.c_str(), &st) == 0;
}

}  // namespace

bool IsHostFile(const std::string& hostPath) {
  struct stat st;
  return ::stat(hostPath.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool IsHostDirectory(const std::string& hostPath) {
  struct stat st;
  return ::stat(hostPath.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::string HostDirOf(const std::string& hostPath) {
  size_t slash = hostPath.rfind('/');
  return slash == std::string::npos ? std::string() : hostPath.substr(0, slash + 1);
}

std::string HostBaseName(const std::string& hostPath) {
  size_t slash = hostPath.rfind('/');
  return slash == std::string::npos ? hostPath : hostPath.substr(slash + 1);
}

std::string WithTrailingSlash(std::string hostPath) {
  if (!hostPath.empty() && hostPath.back() != '/') hostPath += '/';
  return hostPath;
}

std::string ExtensionOf(std::string_view name) {
  size_t dot = std::string_view::npos;
  for (size_t i = 0; i < name.size(); i += CharLength(name, i)) {
    if (name[i] == '.') dot = i;
    if (name[i] == '\\' || name[i] == '/') dot = std::string_view::npos;
  }
  return dot == std::string_view::npos ? std::string() : std::string(name.substr(dot));
}

const HostFileSystem::Listing* HostFileSystem::ListingOf(const std::string& hostDir) {
  struct stat st;
  std::string dir = hostDir.empty() ? std::string(".") : hostDir;
  if (::stat(dir.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return nullptr;
  int64_t mtime = int64_t{st.st_mtim.tv_sec} * 1000000000 + st.st_mtim.tv_nsec;
  auto it = listings_.find(hostDir);
  if (it != listings_.end() && it->second.settled && it->second.mtimeNs == mtime) return &it->second;

  Listing listing;
  listing.mtimeNs = mtime;
  // Folder times are coarse (a clock tick; whole seconds, or two on FAT media), so a file added
  // right after this listing may leave the time as it is. Until the folder's time is safely in
  // the past, the listing is read again on every use.
  struct timespec now {};
  ::clock_gettime(CLOCK_REALTIME, &now);
  int64_t nowNs = int64_t{now.tv_sec} * 1000000000 + now.tv_nsec;
  listing.settled = nowNs - mtime > kUnsettledNs;
  if (DIR* d = ::opendir(dir.c_str())) {
    while (dirent* e = ::readdir(d)) {
      std::string name = e->d_name;
      if (name == "." || name == "..") continue;
      Entry entry;
      entry.hostName = name;
      if (auto cp = Utf8ToCp932(name)) entry.keyUtf8 = UpperCase(*cp);
      entry.keyRaw = UpperCase(name);
      listing.entries.push_back(std::move(entry));
    }
    ::closedir(d);
  }
  std::sort(listing.entries.begin(), listing.entries.end(),
            [](const Entry& a, const Entry& b) { return a.hostName < b.hostName; });
  auto& slot = listings_[hostDir];
  slot = std::move(listing);
  return &slot;
}

std::optional<std::string> HostFileSystem::MatchComponent(const std::string& hostDir, std::string_view component) {
  // A NUL would cut the host path short and name another file.
  if (component.find('\0') != std::string_view::npos) return std::nullopt;
  std::string cp932(component);
  std::optional<std::string> utf8 = Cp932ToUtf8(cp932);
  if (utf8 && Exists(hostDir + *utf8)) return *utf8;
  if (Exists(hostDir + cp932)) return cp932;
  const Listing* listing = ListingOf(hostDir);
  if (!listing) return std::nullopt;
  std::string key = UpperCase(cp932);
  for (const auto& e : listing->entries)
    if ((!e.keyUtf8.empty() && e.keyUtf8 == key) || e.keyRaw == key) return e.hostName;
  return std::nullopt;
}

std::optional<std::string> HostFileSystem::Resolve(const std::string& hostFolder, std::string_view gameName) {
  return ResolvePath(hostFolder, gameName, false);
}

std::optional<std::string> HostFileSystem::ResolvePath(const std::string& hostFolder, std::string_view gameName,
                                                       bool allowRoot) {
  std::string base = WithTrailingSlash(hostFolder);
  std::vector<std::string> resolved;
  for (std::string_view part : SplitGameName(gameName)) {
    if (part == ".") continue;
    if (part == "..") {
      if (resolved.empty()) return std::nullopt;
      resolved.pop_back();
      continue;
    }
    std::string dir = base;
    for (const auto& r : resolved) dir += r + "/";
    auto match = MatchComponent(dir, part);
    if (!match) return std::nullopt;
    resolved.push_back(std::move(*match));
  }
  if (resolved.empty()) return allowRoot ? std::optional<std::string>(base) : std::nullopt;
  std::string path = base;
  for (size_t i = 0; i < resolved.size(); ++i) path += (i ? "/" : "") + resolved[i];
  return path;
}

std::optional<std::string> HostFileSystem::FindFile(const std::string& hostFolder, std::string_view gameName) {
  auto path = Resolve(hostFolder, gameName);
  if (path && IsHostFile(*path)) return path;
  return std::nullopt;
}

std::optional<std::string> HostFileSystem::PathForWrite(const std::string& hostFolder, std::string_view gameName) {
  if (auto existing = Resolve(hostFolder, gameName)) {
    if (IsHostDirectory(*existing)) return std::nullopt;
    return existing;
  }
  std::string name(gameName);
  size_t cut = std::string::npos;
  for (size_t i = 0; i < name.size(); i += CharLength(name, i))
    if (name[i] == '\\' || name[i] == '/') cut = i;
  std::string dir = WithTrailingSlash(hostFolder);
  if (cut != std::string::npos) {
    // ".\save.dat" and "sub\..\save.dat" are in the folder itself.
    auto folder = ResolvePath(hostFolder, std::string_view(name).substr(0, cut), true);
    if (!folder || !IsHostDirectory(*folder)) return std::nullopt;
    dir = WithTrailingSlash(*folder);
    name = name.substr(cut + 1);
  }
  if (name.empty() || name == "." || name == "..") return std::nullopt;
  auto utf8 = Cp932ToUtf8(name);
  return dir + (utf8 ? *utf8 : name);
}

uint32_t HostFileDosTime(const std::string& hostPath) {
  struct stat st;
  if (::stat(hostPath.c_str(), &st) != 0) return 0;
  std::tm tm{};
  time_t t = st.st_mtime;
  if (!::localtime_r(&t, &tm)) return 0;
  if (tm.tm_year < 80) return (1 << 5 | 1) << 16;  // DOS time starts at 1980-01-01
  uint32_t date = static_cast<uint32_t>((tm.tm_year - 80) << 9 | (tm.tm_mon + 1) << 5 | tm.tm_mday);
  uint32_t time = static_cast<uint32_t>(tm.tm_hour << 11 | tm.tm_min << 5 | tm.tm_sec / 2);
  return date << 16 | time;
}

bool SetHostFileDosTime(const std::string& hostPath, uint32_t dosTime) {
  uint32_t date = dosTime >> 16, time = dosTime & 0xFFFF;
  std::tm tm{};
  tm.tm_year = static_cast<int>((date >> 9) + 80);
  tm.tm_mon = static_cast<int>((date >> 5 & 0xF)) - 1;
  tm.tm_mday = static_cast<int>(date & 0x1F);
  tm.tm_hour = static_cast<int>(time >> 11);
  tm.tm_min = static_cast<int>(time >> 5 & 0x3F);
  tm.tm_sec = static_cast<int>((time & 0x1F) * 2);
  tm.tm_isdst = -1;
  if (tm.tm_mon < 0 || tm.tm_mon > 11 || tm.tm_mday < 1) return false;
  time_t t = std::mktime(&tm);
  if (t == static_cast<time_t>(-1)) return false;
  struct utimbuf times{t, t};
  return ::utime(hostPath.c_str(), &times) == 0;
}

std::vector<std::string> ProbeOpticalRoots() {
  std::vector<std::string> roots;
  std::ifstream mounts("/proc/self/mounts");
  std::string line;
  while (std::getline(mounts, line)) {
    std::istringstream fields(line);
    std::string device, mountPoint, type;
    if (!(fields >> device >> mountPoint >> type)) continue;
    if (type != "iso9660" && type != "udf") continue;
    // The kernel writes blanks and a few other bytes of mount points as octal escapes.
    std::string decoded;
    for (size_t i = 0; i < mountPoint.size(); ++i) {
      if (mountPoint[i] == '\\' && i + 3 < mountPoint.size()) {
        int v = 0;
        bool ok = true;
        for (size_t k = 1; k <= 3; ++k) {
          char c = i + k < mountPoint.size() ? mountPoint[i + k] : 'x';
          if (c < '0' || c > '7') ok = false;
          v = v * 8 + (c - '0');
        }
        if (ok) {
          decoded += static_cast<char>(v);
          i += 3;
          continue;
        }
      }
      decoded += mountPoint[i];
    }
    roots.push_back(WithTrailingSlash(decoded));
  }
  return roots;
}

}  // namespace orin
