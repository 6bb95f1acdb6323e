#include "core/log.h"

#include <cerrno>
#include <cstring>

#include "core/cp932.h"
#include "core/error.h"

namespace orin {

namespace {

constexpr const char* kLevelNames[] = {"off", "error", "warn", "info", "debug"};
constexpr const char* kChannelNames[] = {"script", "scene", "files", "media", "shell"};

}  // namespace

std::optional<LogLevel> ParseLogLevel(std::string_view word) {
  for (int i = 0; i < 5; ++i)
    if (word == kLevelNames[i]) return static_cast<LogLevel>(i);
  return std::nullopt;
}

const char* LogLevelName(LogLevel level) {
  return kLevelNames[static_cast<int>(level)];
}
const char* LogChannelName(LogChannel channel) {
  return kChannelNames[static_cast<int>(channel)];
}

void Log::Write(LogLevel level, LogChannel channel, std::string_view cp932Text) {
  if (!Enabled(level)) return;
  char head[48];
  std::snprintf(head, sizeof head,
                "%.8x %-5s %s: ", static_cast<uint32_t>(clock_.load(std::memory_order_relaxed)),
                LogLevelName(level), LogChannelName(channel));
  std::string line(head);
  line.append(ToUtf8(cp932Text));
  // A text with line breaks would read as several events.
  for (char& c : line)
    if (c == '\r' || c == '\n') c = ' ';
  std::lock_guard<std::mutex> lock(mutex_);
  Emit(line);
}

void Log::Write(LogLevel level, LogChannel channel, std::string_view what, const Error& error) {
  if (!Enabled(level)) return;
  std::string text(what);
  if (!text.empty()) text.append(": ");
  text.append(error.Message());
  if (!error.Context().empty()) {
    text.append(" (");
    for (size_t i = 0; i < error.Context().size(); ++i) {
      if (i > 0) text.append("; ");
      text.append(error.Context()[i]);
    }
    text.append(")");
  }
  Write(level, channel, text);
}

FileLog::FileLog(std::string hostPath, LogLevel level, int64_t cap)
    : Log(level), path_(std::move(hostPath)), cap_(cap) {}

FileLog::~FileLog() {
  if (file_) std::fclose(file_);
}

void FileLog::Emit(std::string_view line) {
  if (failed_ || cut_) return;
  if (!file_) {
    file_ = std::fopen(path_.c_str(), "w");
    if (!file_) {
      failed_ = true;
      std::fprintf(stderr, "orinplay: %s: the log cannot be written: %s\n", path_.c_str(),
                   std::strerror(errno));
      return;
    }
  }
  const int64_t size = static_cast<int64_t>(line.size()) + 1;
  if (written_ + size > cap_) {
    cut_ = true;
    std::fprintf(file_, "-- the log was cut here: it reached its limit of %lld bytes\n",
                 static_cast<long long>(cap_));
  } else {
    std::fwrite(line.data(), 1, line.size(), file_);
    std::fputc('\n', file_);
    written_ += size;
  }
  // A log is read after a crash or while the game still runs.
  std::fflush(file_);
}

bool MemoryLog::Has(std::string_view utf8) const {
  for (const std::string& line : Lines)
    if (line.find(utf8) != std::string::npos) return true;
  return false;
}

}  // namespace orin
