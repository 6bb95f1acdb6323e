// One player per game folder: the instance name of a game folder and the lock that holds it.
//
// The instance name is the folder path upper-cased, with a trailing separator added when missing
// and every separator replaced by "-": "c:\game" and "C:\GAME\" are both "C:-GAME-"; on Linux
// "/home/me/game" is "-HOME-ME-GAME-". Linux paths are made absolute first, so a relative
// argument and the same folder found another way name the same instance; only ASCII letters are
// upper-cased (host paths are UTF-8).
//
// InstanceLock holds an exclusive flock on "orinplay-<uid>-<name>.lock" in $XDG_RUNTIME_DIR
// (else $TMPDIR, else /tmp) for its lifetime. A name too long for a file name is cut and given a
// hash of the whole name. The lock file stays behind: removing it would race with a starting
// instance.
#pragma once

#include <string>
#include <string_view>

namespace orin {

// The rule on a path whose components are separated by `separator`.
std::string InstanceName(std::string_view path, char separator);
// The rule on a host folder: made absolute (symbolic links resolved where the folder exists).
std::string HostInstanceName(const std::string& hostFolder);

// The folder that holds lock files: $XDG_RUNTIME_DIR when it is a folder, else the temp folder.
std::string LockFolder();
// The lock file's name for an instance name (no folder).
std::string LockFileName(std::string_view instanceName);

class InstanceLock {
 public:
  enum class Result {
    kAcquired,       // this process holds the instance
    kHeldElsewhere,  // another process holds it: this one ends silently
    kUnavailable,    // the lock file cannot be made or locked; run without it
  };

  InstanceLock() = default;
  ~InstanceLock() { Release(); }
  InstanceLock(const InstanceLock&) = delete;
  InstanceLock& operator=(const InstanceLock&) = delete;

  // folder: where the lock file goes (LockFolder() when empty).
  Result Acquire(std::string_view instanceName, const std::string& folder = {});
  void Release();
  bool Held() const { return fd_ >= 0; }

 private:
  int fd_ = -1;
};

}  // namespace orin
