// Command-line parsing shared by orinplay and orintool: options declared up front, usage errors.
#pragma once

#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace orin::app {

// Thrown for a malformed command line; main prints it with the program's usage and exits 2.
class UsageError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Splits arguments into options and positionals. Options are declared up front: flags take no
// value, valued options take the next argument (or "--name=value"). "--" ends the options.
class ArgParser {
 public:
  ArgParser(std::vector<std::string> args, std::vector<std::string> flags,
            std::vector<std::string> valued);

  bool Flag(const std::string& name) const;
  // The value of a valued option, or fallback when absent.
  std::string Value(const std::string& name, const std::string& fallback = "") const;
  bool Has(const std::string& name) const;
  // Every value of a repeatable option, in the order given.
  std::vector<std::string> Values(const std::string& name) const;
  const std::vector<std::string>& Positionals() const { return positionals_; }
  // Throws UsageError unless min <= positionals <= max (max < 0: no limit).
  void ExpectPositionals(int min, int max) const;

 private:
  std::vector<std::pair<std::string, std::string>> options_;
  std::vector<std::string> positionals_;
};

}  // namespace orin::app
