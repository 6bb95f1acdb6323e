// Runs a program with arguments and collects its exit code and output, for end-to-end tests.
#pragma once

#include <string>
#include <vector>

namespace orin::test {

struct ProgramResult {
  int exitCode = -1;
  std::string out, err;
};

ProgramResult RunProgram(const std::string& program, const std::vector<std::string>& args);

// orintool, as built with the tests.
inline ProgramResult RunOrintool(const std::vector<std::string>& args) { return RunProgram(ORINTOOL_PATH, args); }

}  // namespace orin::test
