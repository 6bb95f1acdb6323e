#include "shell/data_paths.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fstream>

#include "core/error.h"
#include "resources/host_error.h"
#include "resources/host_fs.h"
#include "shell/game_location.h"

namespace orin {

DataPaths::DataPaths(std::string gameFolder, std::string overrideFolder)
    : gameFolder_(WithTrailingSlash(std::move(gameFolder))) {
  if (!overrideFolder.empty())
    writable_ = WithTrailingSlash(std::move(overrideFolder));
  else if (IsWritableFolder(gameFolder_))
    writable_ = gameFolder_;
  else
    writable_ = FallbackFolder(gameFolder_);
}

bool DataPaths::IsWritableFolder(const std::string& hostFolder) {
  return IsHostDirectory(hostFolder) && access(hostFolder.c_str(), W_OK | X_OK) == 0;
}

namespace {

std::string TrimmedFolder(std::string folder) {
  while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
  return folder;
}

// Copies through a temporary name beside the target and a rename, so that an interrupted copy
// never passes for a save.
void CopyHostFile(const std::string& from, const std::string& to) {
  std::ifstream in(from, std::ios::binary);
  if (!in) ThrowHostError(from, "cannot read");
  const std::string partial = to + ".partial";
  {
    std::ofstream out(partial, std::ios::binary | std::ios::trunc);
    if (!out) ThrowHostError(partial, "cannot write");
    out << in.rdbuf();
    out.flush();
    if (!out || in.bad()) {
      std::remove(partial.c_str());
      throw Error(HostPathText(to) + ": cannot copy the old save here");
    }
  }
  if (std::rename(partial.c_str(), to.c_str()) != 0) {
    const int error = errno;
    std::remove(partial.c_str());
    errno = error;
    ThrowHostError(to, "cannot write");
  }
}

}  // namespace

std::string DataPaths::FolderHash(const std::string& gameFolder) {
  const std::string path = TrimmedFolder(AbsolutePath(TrimmedFolder(gameFolder)));
  uint64_t h = 1469598103934665603ull;
  for (unsigned char c : path) {
    h ^= c;
    h *= 1099511628211ull;
  }
  char text[9];
  std::snprintf(text, sizeof text, "%08x", static_cast<unsigned>((h ^ (h >> 32)) & 0xFFFFFFFFu));
  return text;
}

std::string DataPaths::FallbackFolder(const std::string& gameFolder) {
  std::string folder = OldFallbackFolder(gameFolder);
  folder.pop_back();
  return folder + "-" + FolderHash(gameFolder) + "/";
}

std::string DataPaths::OldFallbackFolder(const std::string& gameFolder) {
  std::string base;
  if (const char* data = std::getenv("XDG_DATA_HOME"); data != nullptr && data[0] == '/') {
    base = WithTrailingSlash(data);
  } else {
    const char* home = std::getenv("HOME");
    base = WithTrailingSlash(home != nullptr && *home != '\0' ? home : "/tmp");
    base.append(".local/share/");
  }
  std::string name = HostBaseName(TrimmedFolder(gameFolder));
  if (name.empty() || name == "/" || name == "." || name == "..") name = "game";
  base.append("orinplay/").append(name).append("/");
  return base;
}

bool DataPaths::EnsureWritableFolder() const {
  if (IsHostDirectory(writable_)) return true;
  for (size_t slash = writable_.find('/', 1); slash != std::string::npos;
       slash = writable_.find('/', slash + 1)) {
    const std::string part = writable_.substr(0, slash);
    if (mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) return false;
  }
  return IsHostDirectory(writable_);
}

std::string DataPaths::WritePath(const std::string& name) const {
  EnsureWritableFolder();
  return writable_ + name;
}

std::string DataPaths::GameIniReadPath() const {
  const std::string own = writable_ + "game.ini";
  if (IsHostFile(own) || writable_ == gameFolder_) return own;
  const std::string shipped = gameFolder_ + "game.ini";
  return IsHostFile(shipped) ? shipped : own;
}

std::string DataPaths::CarryOverOldSaves() const {
  if (writable_ != FallbackFolder(gameFolder_)) return {};
  const std::string old = OldFallbackFolder(gameFolder_);
  if (IsHostFile(writable_ + "save.dat") || !IsHostFile(old + "save.dat")) return {};
  if (!EnsureWritableFolder())
    throw Error(HostPathText(writable_) + ": cannot make the folder for saves");
  CopyHostFile(old + "save.dat", writable_ + "save.dat");
  std::string note = "copied save.dat";
  if (IsHostFile(old + "game.ini") && !IsHostFile(writable_ + "game.ini")) {
    CopyHostFile(old + "game.ini", writable_ + "game.ini");
    note += " and game.ini";
  }
  return note + " of " + TrimmedFolder(old) + " (the save folder of earlier versions) to " +
         writable_ + "; the old files stay where they are";
}

}  // namespace orin
