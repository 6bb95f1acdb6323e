// Errors of the host file system, reported with the path (as UTF-8 on disk, carried as cp932 in
// the message) and the system's reason.
#pragma once

#include <string>

namespace orin {

// Throws Error("<path>: <what> (<strerror(errno)>)"); reads errno.
[[noreturn]] void ThrowHostError(const std::string& hostPath, const char* what);

}  // namespace orin
