// Where extracted files live while the player runs, and the list of those waiting to be deleted.
//
// TempFolder is a private folder of this process ("orinplay-XXXXXX" made with mkdtemp under
// $TMPDIR, else /tmp, or under a parent folder given by the owner). It is made on first use, so a
// run that never extracts anything leaves nothing behind, and the destructor removes it with
// everything in it.
//
// PendingDeletes collects host paths of temporary files whose locks were released; the frame loop
// and the end of the program call DeletePendingFiles. Deleting is best effort: a file the system
// refuses to delete is forgotten, not retried.
#pragma once

#include <string>
#include <sys/types.h>
#include <vector>

namespace orin {

class TempFolder {
 public:
  // parent: the folder in which the private folder is made; empty: $TMPDIR, else /tmp.
  explicit TempFolder(std::string parent = {});
  // Removes the folder and its contents when this process made it.
  ~TempFolder();
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  // The folder, ending in "/"; made on the first call. Throws Error with the system's reason when
  // it cannot be made (a later call tries again).
  const std::string& Path();
  bool IsCreated() const { return !path_.empty(); }

 private:
  std::string parent_;
  std::string path_;
  pid_t owner_ = 0;  // a forked child must not remove its parent's folder
};

class PendingDeletes {
 public:
  void Add(std::string hostPath) { paths_.push_back(std::move(hostPath)); }
  // Deletes every listed file, ignoring failures, and empties the list.
  void DeletePendingFiles();

  const std::vector<std::string>& Paths() const { return paths_; }
  bool Empty() const { return paths_.empty(); }

 private:
  std::vector<std::string> paths_;
};

}  // namespace orin
