// Shared pieces of orintool's subcommands: argument parsing, exit codes, JSON output.
//
// Contract of every subcommand: exit 0 on success, 1 on bad input (a message on stderr, nothing
// written half-way), 2 on a usage error. Names are UTF-8 on the command line and in output.
#pragma once

#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "app/common/arg_parser.h"
#include "resources/stream.h"

namespace orin::tool {

enum ExitCode { kOk = 0, kBadInput = 1, kUsage = 2 };

// The shared command-line parser (app/common/arg_parser.h), under the names the subcommands use.
using app::ArgParser;
using app::UsageError;

// Writes a file next to its target ("<target>.partial") and renames it into place on Commit, so
// a failure never leaves half a file under the target's name; without Commit the partial file is
// removed.
class PartialFile {
 public:
  explicit PartialFile(std::string target);
  ~PartialFile();
  PartialFile(const PartialFile&) = delete;
  PartialFile& operator=(const PartialFile&) = delete;

  FileStream& Out() { return *out_; }
  // Flushes to disk and renames over the target; mode, when not 0, becomes the file's mode.
  void Commit(unsigned mode = 0);

 private:
  std::string target_, partial_;
  std::unique_ptr<FileStream> out_;
};

void WriteFileAtomically(const std::string& target, const void* data, size_t size);

// A JSON string literal (with quotes) of UTF-8 text; invalid bytes become U+FFFD.
std::string JsonString(std::string_view utf8);

// One subcommand: orintool NAME ARGS...
struct Command {
  const char* name;
  const char* summary;
  const char* usage;  // printed on a usage error and by "orintool help NAME"
  int (*run)(const std::vector<std::string>& args);
};

}  // namespace orin::tool
