#include "shell/instance_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "resources/host_fs.h"

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

std::string AbsoluteHostPath(const std::string& path) {
  if (char* real = realpath(path.c_str(), nullptr)) {
    std::string out = real;
    std::free(real);
    return out;
  }
  if (!path.empty() && path.front() == '/') return path;
  char cwd[4096];
  if (getcwd(cwd, sizeof cwd) == nullptr) return path;
  std::string out = cwd;
  out.append("/").append(path);
  return out;
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
  return InstanceName(AbsoluteHostPath(hostFolder), '/');
}

std::string LockFolder() {
  if (const char* runtime = std::getenv("XDG_RUNTIME_DIR");
      runtime != nullptr && *runtime != '\0' && IsHostDirectory(runtime))
    return WithTrailingSlash(runtime);
  if (const char* tmp = std::getenv("TMPDIR");
      tmp != nullptr && *tmp != '\0' && IsHostDirectory(tmp))
    return WithTrailingSlash(tmp);
  return "/tmp/";
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
  std::string path = folder.empty() ? LockFolder() : WithTrailingSlash(folder);
  path.append(LockFileName(instanceName));
  int fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  if (fd < 0) return Result::kUnavailable;
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
