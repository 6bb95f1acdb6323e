// One player per game folder: the instance name of a game folder and the lock that holds it.
//
// The instance name is the folder path upper-cased, with a trailing separator added when missing
// and every separator replaced by "-": "c:\game" and "C:\GAME\" are both "C:-GAME-"; on Linux
// "/home/me/game" is "-HOME-ME-GAME-". Linux paths are made absolute first, so a relative
// argument and the same folder found another way name the same instance; only ASCII letters are
// upper-cased (host paths are UTF-8).
//
// InstanceLock holds an exclusive flock on "orinplay-<uid>-<name>.lock" for its lifetime, in
// $XDG_RUNTIME_DIR, else in a private folder "orinplay-<uid>/" of $TMPDIR (else /tmp). Another
// local user must not be able to take a player's lock (the player would then end silently), so
// that folder is made with mode 0700 and, when it is there already, must be a real folder (not a
// symbolic link) owned by this user; a group- or world-accessible one of ours is made private.
// The lock file is never followed through a symbolic link and must be a regular file of ours.
// Otherwise Acquire refuses with a message and the player does not start. A name too long for a
// file name is cut and given a hash of the whole name. The lock file stays behind: removing it
// would race with a starting instance.
#pragma once

#include <string>
#include <string_view>

namespace orin {

// The rule on a path whose components are separated by `separator`.
std::string InstanceName(std::string_view path, char separator);
// The rule on a host folder: made absolute (symbolic links resolved where the folder exists).
std::string HostInstanceName(const std::string& hostFolder);

// The folder that holds lock files: $XDG_RUNTIME_DIR when it is a folder, else
// <$TMPDIR or /tmp>/orinplay-<uid>/ (not made here).
std::string LockFolder();
// Makes the per-user folder (0700) or checks the one there. kUnsafe (with the reason in problem)
// when what is there is not a private folder of this user; kCannotMake when it is missing and
// cannot be made.
enum class PrivateFolder { kReady, kCannotMake, kUnsafe };
PrivateFolder EnsurePrivateFolder(const std::string& folder, std::string& problem);
// The lock file's name for an instance name (no folder).
std::string LockFileName(std::string_view instanceName);

class InstanceLock {
 public:
  enum class Result {
    kAcquired,       // this process holds the instance
    kHeldElsewhere,  // another process holds it: this one ends silently
    kUnavailable,    // the lock file cannot be made or locked; run without it
    kUnsafe,         // the folder or the file could be another user's: refuse (Problem says why)
  };

  InstanceLock() = default;
  ~InstanceLock() { Release(); }
  InstanceLock(const InstanceLock&) = delete;
  InstanceLock& operator=(const InstanceLock&) = delete;

  // folder: where the lock file goes; when empty LockFolder(), whose per-user folder is made
  // private first (EnsurePrivateFolder).
  Result Acquire(std::string_view instanceName, const std::string& folder = {});
  void Release();
  bool Held() const { return fd_ >= 0; }
  // Why the last Acquire answered kUnsafe (UTF-8, the path first).
  const std::string& Problem() const { return problem_; }

 private:
  int fd_ = -1;
  std::string problem_;
};

}  // namespace orin
