// Log: the player's log — what went wrong (or, at the chattier levels, what happened) that the
// game itself does not show: a command that failed, a save that would not load, a status entry
// that could not be read or written, a file that is missing, a script that stopped yielding.
//
// One line per event: the game clock (the running millisecond clock, 8 hex digits as in trace
// lines), the level, the channel and the text:
//
//   0000a2c0 warn  script: main.osb(12): 変数名がありません
//
// Texts are given in cp932 (plain ASCII is the same in both); lines are written in UTF-8.
// Whoever runs the game owns the log and passes it down by reference; a default-constructed Log
// is the null log (level off: nothing is formatted, nothing goes anywhere). FileLog writes a file,
// MemoryLog keeps the lines for tests.
//
// Lines may come from any thread; each line is written whole. The clock is the value last handed
// to SetClock (the frame loop does that once per frame).
#pragma once

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace orin {

class Error;

// From the quietest: kOff writes nothing; each further level adds to the one before.
enum class LogLevel { kOff, kError, kWarn, kInfo, kDebug };

enum class LogChannel { kScript, kScene, kFiles, kMedia, kShell };

// "off", "error", "warn", "info", "debug"; nullopt for anything else.
std::optional<LogLevel> ParseLogLevel(std::string_view word);
const char* LogLevelName(LogLevel level);
const char* LogChannelName(LogChannel channel);

class Log {
 public:
  explicit Log(LogLevel level = LogLevel::kOff) : level_(level) {}
  virtual ~Log() = default;
  Log(const Log&) = delete;
  Log& operator=(const Log&) = delete;

  LogLevel Level() const { return level_; }
  // Whether a line of this level goes in; callers that build costly texts ask first.
  bool Enabled(LogLevel level) const { return level != LogLevel::kOff && level <= level_; }
  void SetClock(int32_t runningClock) { clock_.store(runningClock, std::memory_order_relaxed); }

  void Write(LogLevel level, LogChannel channel, std::string_view cp932Text);
  // what (cp932), ": ", the error's message, then its context lines in parentheses.
  void Write(LogLevel level, LogChannel channel, std::string_view what, const Error& error);

  void ErrorLine(LogChannel channel, std::string_view cp932Text) {
    Write(LogLevel::kError, channel, cp932Text);
  }
  void Warn(LogChannel channel, std::string_view cp932Text) {
    Write(LogLevel::kWarn, channel, cp932Text);
  }
  void Info(LogChannel channel, std::string_view cp932Text) {
    Write(LogLevel::kInfo, channel, cp932Text);
  }
  void Debug(LogChannel channel, std::string_view cp932Text) {
    Write(LogLevel::kDebug, channel, cp932Text);
  }

 protected:
  // One whole UTF-8 line without its end; called under the log's lock.
  virtual void Emit(std::string_view) {}

 private:
  const LogLevel level_;
  std::atomic<int32_t> clock_{0};
  std::mutex mutex_;
};

// The log file. It is made with its first line (a run with nothing to say leaves none) and
// replaces the file of an earlier run. Once the cap is reached one last line says the log was
// cut and nothing more is written. A file that cannot be written is reported once on stderr and
// the log goes quiet.
class FileLog final : public Log {
 public:
  static constexpr int64_t kDefaultCap = 4 * 1024 * 1024;

  FileLog(std::string hostPath, LogLevel level, int64_t cap = kDefaultCap);
  ~FileLog() override;

  const std::string& Path() const { return path_; }

 protected:
  void Emit(std::string_view line) override;

 private:
  std::string path_;
  int64_t cap_;
  int64_t written_ = 0;
  FILE* file_ = nullptr;
  bool failed_ = false;
  bool cut_ = false;
};

// Keeps the lines (UTF-8), for tests.
class MemoryLog final : public Log {
 public:
  explicit MemoryLog(LogLevel level = LogLevel::kDebug) : Log(level) {}
  std::vector<std::string> Lines;
  // Whether some line contains the text (UTF-8).
  bool Has(std::string_view utf8) const;

 protected:
  void Emit(std::string_view line) override { Lines.emplace_back(line); }
};

}  // namespace orin
