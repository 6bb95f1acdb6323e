#include "run_program.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>

#include "support/test_support.h"

namespace orin::test {

ProgramResult RunProgram(const std::string& program, const std::vector<std::string>& args) {
  TempDir dir;
  std::string outPath = dir / "out", errPath = dir / "err";
  pid_t pid = ::fork();
  if (pid == 0) {
    int out = ::open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    int err = ::open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    ::dup2(out, 1);
    ::dup2(err, 2);
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    ::execv(program.c_str(), argv.data());
    ::_exit(127);
  }
  ProgramResult r;
  int status = 0;
  ::waitpid(pid, &status, 0);
  r.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  r.out = ReadHostFile(outPath);
  r.err = ReadHostFile(errPath);
  return r;
}

}  // namespace orin::test

namespace orin::test {

::testing::AssertionResult Exits(const ProgramResult& r, int exitCode, std::string_view errHas,
                                 std::string_view outHas) {
  const bool ok = r.exitCode == exitCode && r.err.find(errHas) != std::string::npos &&
                  r.out.find(outHas) != std::string::npos;
  if (ok) return ::testing::AssertionSuccess();
  auto failure = ::testing::AssertionFailure();
  failure << "expected exit code " << exitCode;
  if (!errHas.empty()) failure << " with \"" << errHas << "\" on stderr";
  if (!outHas.empty()) failure << " with \"" << outHas << "\" on stdout";
  failure << "\n  exit code " << r.exitCode << "\n  stdout: " << r.out << "\n  stderr: " << r.err;
  return failure;
}

}  // namespace orin::test
