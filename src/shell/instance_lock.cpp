#include "shell/instance_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "resources/host_fs.h"
#include "shell/game_location.h"

namespace orin {
namespace {

constexpr size_t kMaxNameBytes = 200;  // well below NAME_MAX with the prefix and the hash

uint64_t Fnv1a(std::string_view s) {
  uint64_t h = 1469598103934665603ull;
  for (unsigned char c : s) {
    h ^= c;
    h *= 1099511628211ull;
  }
  return h;
}

}  // namespace

std::string InstanceName(std::string_view path, char separator) {
  std::string name(path);
  for (char& c : name)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  if (name.empty() || name.back() != separator) name.push_back(separator);
  for (char& c : name)
    if (c == separator) c = '-';
  return name;
}

std::string HostInstanceName(const std::string& hostFolder) {
  return InstanceName(AbsolutePath(hostFolder), '/');
}

namespace {

std::string RuntimeFolder() {
  if (const char* runtime = std::getenv("XDG_RUNTIME_DIR");
      runtime != nullptr && *runtime != '\0' && IsHostDirectory(runtime))
    return WithTrailingSlash(runtime);
  return {};
}

}  // namespace

std::string LockFolder() {
  if (std::string runtime = RuntimeFolder(); !runtime.empty()) return runtime;
  std::string base = "/tmp/";
  if (const char* tmp = std::getenv("TMPDIR");
      tmp != nullptr && *tmp != '\0' && IsHostDirectory(tmp))
    base = WithTrailingSlash(tmp);
  return base + "orinplay-" + std::to_string(getuid()) + "/";
}

PrivateFolder EnsurePrivateFolder(const std::string& folder, std::string& problem) {
  std::string path = folder;
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  if (mkdir(path.c_str(), 0700) != 0 && errno != EEXIST) {
    problem = folder + ": cannot make the lock folder (" + std::strerror(errno) + ")";
    return PrivateFolder::kCannotMake;
  }
  // Checked through a descriptor of the folder itself, so that a link swapped in meanwhile is
  // not followed.
  const int fd = open(path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) {
    problem = folder + (errno == ELOOP || errno == ENOTDIR
                            ? ": is not a folder (a symbolic link or a file); another user may "
                              "have put it there: remove it"
                            : std::string(": cannot open the lock folder (") +
                                  std::strerror(errno) + ")");
    return PrivateFolder::kUnsafe;
  }
  struct stat st {};
  bool ok = fstat(fd, &st) == 0 && S_ISDIR(st.st_mode);
  if (ok && st.st_uid != getuid()) {
    problem = folder + ": the lock folder belongs to another user (uid " +
              std::to_string(st.st_uid) + "); remove it or set XDG_RUNTIME_DIR";
    ok = false;
  } else if (ok && (st.st_mode & 077) != 0 && fchmod(fd, 0700) != 0) {
    problem = folder + ": cannot make the lock folder private (" + std::strerror(errno) + ")";
    ok = false;
  } else if (!ok) {
    problem = folder + ": cannot read the lock folder";
  }
  close(fd);
  return ok ? PrivateFolder::kReady : PrivateFolder::kUnsafe;
}

std::string LockFileName(std::string_view instanceName) {
  std::string safe(instanceName);
  // The rule leaves no "/" behind; a NUL cannot come from a path. Be safe anyway.
  for (char& c : safe)
    if (c == '/' || c == '\0') c = '-';
  if (safe.size() > kMaxNameBytes) {
    char hash[17];
    std::snprintf(hash, sizeof hash, "%016llx",
                  static_cast<unsigned long long>(Fnv1a(instanceName)));
    safe.resize(kMaxNameBytes);
    safe.append("~").append(hash);
  }
  std::string name = "orinplay-";
  name.append(std::to_string(getuid())).append("-").append(safe).append(".lock");
  return name;
}

InstanceLock::Result InstanceLock::Acquire(std::string_view instanceName,
                                           const std::string& folder) {
  Release();
  problem_.clear();
  const std::string where = folder.empty() ? LockFolder() : WithTrailingSlash(folder);
  if (folder.empty() && RuntimeFolder().empty()) {
    switch (EnsurePrivateFolder(where, problem_)) {
      case PrivateFolder::kReady:
        break;
      case PrivateFolder::kCannotMake:
        problem_.clear();
        return Result::kUnavailable;
      case PrivateFolder::kUnsafe:
        return Result::kUnsafe;
    }
  }
  const std::string path = where + LockFileName(instanceName);
  int fd = open(path.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
  if (fd < 0) {
    if (errno != ELOOP) return Result::kUnavailable;
    problem_ = path + ": the lock file is a symbolic link; another user may have put it there";
    return Result::kUnsafe;
  }
  struct stat st {};
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_uid != getuid()) {
    close(fd);
    problem_ = path + ": the lock file is not a file of this user; remove it";
    return Result::kUnsafe;
  }
  if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
    const int error = errno;
    close(fd);
    return error == EWOULDBLOCK ? Result::kHeldElsewhere : Result::kUnavailable;
  }
  fd_ = fd;
  return Result::kAcquired;
}

void InstanceLock::Release() {
  if (fd_ < 0) return;
  flock(fd_, LOCK_UN);
  close(fd_);
  fd_ = -1;
}

}  // namespace orin
