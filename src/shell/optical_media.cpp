#include "shell/optical_media.h"

#include <sys/vfs.h>

#include <cstdlib>

#include "resources/host_fs.h"

namespace orin {
namespace {

constexpr long kIso9660Magic = 0x9660;
constexpr long kUdfMagic = 0x15013346;

}  // namespace

bool IsOpticalFileSystemType(long type) {
  return type == kIso9660Magic || type == kUdfMagic;
}

bool IsBelowAnyRoot(const std::string& hostPath, const std::vector<std::string>& roots) {
  const std::string path = WithTrailingSlash(hostPath);
  for (const std::string& root : roots) {
    const std::string r = WithTrailingSlash(root);
    if (path.compare(0, r.size(), r) == 0) return true;
  }
  return false;
}

bool IsOnOpticalMedia(const std::string& hostPath) {
  struct statfs info {};
  if (statfs(hostPath.c_str(), &info) == 0)
    return IsOpticalFileSystemType(static_cast<long>(info.f_type));
  std::string absolute = hostPath;
  if (char* real = realpath(hostPath.c_str(), nullptr)) {
    absolute = real;
    std::free(real);
  }
  return IsBelowAnyRoot(absolute, ProbeOpticalRoots());
}

}  // namespace orin
