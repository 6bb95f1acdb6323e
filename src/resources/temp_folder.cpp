#include "resources/temp_folder.h"

#include <unistd.h>

#include <cstdlib>
#include <filesystem>

#include "resources/host_error.h"
#include "resources/host_fs.h"

namespace orin {

TempFolder::TempFolder(std::string parent) : parent_(std::move(parent)) {}

TempFolder::~TempFolder() {
  if (path_.empty() || owner_ != ::getpid()) return;
  std::error_code ec;
  std::filesystem::remove_all(path_, ec);
}

const std::string& TempFolder::Path() {
  if (!path_.empty()) return path_;
  std::string parent = parent_;
  if (parent.empty()) {
    const char* tmp = std::getenv("TMPDIR");
    parent = tmp && *tmp ? tmp : "/tmp";
  }
  std::string pattern = WithTrailingSlash(parent) + "orinplay-XXXXXX";
  if (!::mkdtemp(pattern.data())) ThrowHostError(pattern, "cannot make the temporary folder");
  owner_ = ::getpid();
  path_ = pattern + "/";
  return path_;
}

void PendingDeletes::DeletePendingFiles() {
  for (const auto& path : paths_) ::unlink(path.c_str());
  paths_.clear();
}

}  // namespace orin
