#include "params/param_host.h"

#include <spawn.h>
#include <sys/wait.h>

#include <cerrno>
#include <chrono>
#include <ctime>

#include "core/clock.h"
#include "core/cp932.h"

extern char** environ;

namespace orin {

uint32_t RunTimeRandom::TimeOfDaySeed() {
  using namespace std::chrono;
  const auto now = system_clock::now().time_since_epoch();
  const int64_t ms = duration_cast<milliseconds>(now).count();
  constexpr int64_t kDay = 24 * 60 * 60 * 1000;
  return static_cast<uint32_t>(((ms % kDay) + kDay) % kDay);
}

ParamHost::ParamHost() : random_(RunTimeRandom::TimeOfDaySeed()) {}

int32_t ParamHost::PCTickCount() {
  return static_cast<int32_t>(MonotonicMilliseconds());
}

LocalDateTime ParamHost::Now() {
  const std::time_t t = std::time(nullptr);
  std::tm tm{};
  localtime_r(&t, &tm);
  LocalDateTime now;
  now.Year = tm.tm_year + 1900;
  now.Month = tm.tm_mon + 1;
  now.Day = tm.tm_mday;
  now.Week = tm.tm_wday + 1;
  now.Hour = tm.tm_hour;
  now.Min = tm.tm_min;
  now.Sec = tm.tm_sec;
  return now;
}

void ParamHost::OpenUrl(const std::string& url) {
  // Desktop programs take UTF-8; a URL with bytes that have no UTF-8 form goes as it is.
  const std::string text = Cp932ToUtf8(url).value_or(url);
  // A short-lived shell puts xdg-open in the background and exits at once, so the player neither
  // waits for the browser nor leaves a child behind. The URL is an argument, never shell text.
  char sh[] = "/bin/sh";
  char dashC[] = "-c";
  char script[] = "xdg-open \"$1\" >/dev/null 2>&1 &";
  char name[] = "orinplay-open-url";
  std::string arg = text;
  char* argv[] = {sh, dashC, script, name, arg.data(), nullptr};
  pid_t pid = 0;
  if (posix_spawn(&pid, sh, nullptr, nullptr, argv, environ) != 0) return;
  int status = 0;
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
}

ParamHost& NullParamHost() {
  static ParamHost host;
  return host;
}

}  // namespace orin
