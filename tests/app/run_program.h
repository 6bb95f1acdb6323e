// Runs a program with arguments and collects its exit code and output, for end-to-end tests, and
// the one way those tests check an outcome.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

namespace orin::test {

struct ProgramResult {
  int exitCode = -1;
  std::string out, err;
};

ProgramResult RunProgram(const std::string& program, const std::vector<std::string>& args);

#ifdef ORINTOOL_PATH
// orintool, as built with the tests.
inline ProgramResult RunOrintool(const std::vector<std::string>& args) { return RunProgram(ORINTOOL_PATH, args); }
#endif

// The exit code is exitCode, stderr holds errHas and stdout holds outHas (an empty text holds
// anywhere). On a mismatch the message shows the exit code, stdout and stderr of the run:
//   ASSERT_TRUE(Exits(RunOrintool({...}), 0));
//   EXPECT_TRUE(Exits(r, 1, "no such file"));
::testing::AssertionResult Exits(const ProgramResult& r, int exitCode, std::string_view errHas = {},
                                 std::string_view outHas = {});

}  // namespace orin::test
