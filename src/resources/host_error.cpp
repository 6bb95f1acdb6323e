#include "resources/host_error.h"

#include <cerrno>
#include <cstring>

#include "core/cp932.h"
#include "core/error.h"

namespace orin {

std::string HostPathText(const std::string& hostPath) {
  auto name = Utf8ToCp932(hostPath);
  return name ? *name : hostPath;
}

void ThrowHostError(const std::string& hostPath, const char* what) {
  int e = errno;
  throw Error(HostPathText(hostPath) + ": " + what + " (" + std::strerror(e) + ")");
}

}  // namespace orin
