#include "resources/host_error.h"

#include <cerrno>
#include <cstring>

#include "core/cp932.h"
#include "core/error.h"

namespace orin {

void ThrowHostError(const std::string& hostPath, const char* what) {
  int e = errno;
  // Names on disk are UTF-8, except those copied raw from a Japanese system, which are cp932
  // already.
  auto name = Utf8ToCp932(hostPath);
  throw Error((name ? *name : hostPath) + ": " + what + " (" + std::strerror(e) + ")");
}

}  // namespace orin
