// Errors of the host file system, reported with the path (as UTF-8 on disk, carried as cp932 in
// the message) and the system's reason.
#pragma once

#include <string>

namespace orin {

// A host path as it appears in a message: its cp932 form, or the raw bytes when it has none (a
// name copied raw from a Japanese system is cp932 already).
std::string HostPathText(const std::string& hostPath);

// Throws Error("<path>: <what> (<strerror(errno)>)"); reads errno.
[[noreturn]] void ThrowHostError(const std::string& hostPath, const char* what);

}  // namespace orin
