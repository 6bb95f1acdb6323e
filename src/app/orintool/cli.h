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

#include "resources/stream.h"

namespace orin::tool {

enum ExitCode { kOk = 0, kBadInput = 1, kUsage = 2 };

// Thrown for a malformed command line; main prints it with the command's usage and exits 2.
class UsageError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Splits arguments into options and positionals. Options are declared up front: flags take no
// value, valued options take the next argument (or "--name=value"). "--" ends the options.
class ArgParser {
 public:
  ArgParser(std::vector<std::string> args, std::vector<std::string> flags, std::vector<std::string> valued);

  bool Flag(const std::string& name) const;
  // The value of a valued option, or fallback when absent.
  std::string Value(const std::string& name, const std::string& fallback = "") const;
  bool Has(const std::string& name) const;
  const std::vector<std::string>& Positionals() const { return positionals_; }
  // Throws UsageError unless min <= positionals <= max (max < 0: no limit).
  void ExpectPositionals(int min, int max) const;

 private:
  std::vector<std::pair<std::string, std::string>> options_;
  std::vector<std::string> positionals_;
};

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
