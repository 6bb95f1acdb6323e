#include "shell/data_paths.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "resources/host_fs.h"

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

std::string DataPaths::FallbackFolder(const std::string& gameFolder) {
  std::string base;
  if (const char* data = std::getenv("XDG_DATA_HOME"); data != nullptr && data[0] == '/') {
    base = WithTrailingSlash(data);
  } else {
    const char* home = std::getenv("HOME");
    base = WithTrailingSlash(home != nullptr && *home != '\0' ? home : "/tmp");
    base.append(".local/share/");
  }
  std::string folder = gameFolder;
  while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
  std::string name = HostBaseName(folder);
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

}  // namespace orin
