#include "services/text_feed.h"

#include <cerrno>
#include <cstring>

#include "core/cp932.h"
#include "core/error.h"

namespace orin {

std::string JsonString(const std::string& utf8) {
  std::string out = "\"";
  for (unsigned char c : utf8) {
    switch (c) {
      case '"':
        out += "\\\"";
        break;
      case '\\':
        out += "\\\\";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\t':
        out += "\\t";
        break;
      default:
        if (c < 0x20) {
          char esc[8];
          std::snprintf(esc, sizeof esc, "\\u%04x", c);
          out += esc;
        } else {
          out.push_back(static_cast<char>(c));
        }
    }
  }
  out += '"';
  return out;
}

std::string PageJson(const FeedPage& page) {
  std::string out = "{\"window\":" + JsonString(page.Window) + ",\"text\":" + JsonString(page.Text) + ",\"ruby\":[";
  for (size_t i = 0; i < page.Ruby.size(); ++i) {
    if (i > 0) out += ',';
    out += "{\"base\":" + JsonString(page.Ruby[i].Base) + ",\"ruby\":" + JsonString(page.Ruby[i].Reading) + "}";
  }
  out += "]}";
  return out;
}

JsonLinesSink::JsonLinesSink(const std::string& path) : path_(path) {
  if (path == "-") {
    file_ = stdout;
    return;
  }
  file_ = std::fopen(path.c_str(), "a");
  if (file_ == nullptr) throw Error(FromUtf8(path + ": " + std::strerror(errno)));
  own_ = true;
}

JsonLinesSink::~JsonLinesSink() {
  if (own_) std::fclose(file_);
}

void JsonLinesSink::Publish(const FeedPage& page) {
  const std::string line = PageJson(page) + "\n";
  if (std::fwrite(line.data(), 1, line.size(), file_) != line.size() || std::fflush(file_) != 0)
    throw Error(FromUtf8(path_ + ": cannot write: " + std::strerror(errno)));
}

TextFeed::TextFeed(Log& log) : log_(log) {}

TextFeed::~TextFeed() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stop_ = true;
  }
  wake_.notify_all();
  if (thread_.joinable()) thread_.join();
}

void TextFeed::AddSink(std::unique_ptr<FeedSink> sink) { sinks_.push_back(std::move(sink)); }

void TextFeed::Publish(FeedPage page) {
  if (sinks_.empty()) return;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!thread_.joinable()) thread_ = std::thread([this] { Run(); });
    if (queue_.size() >= kMaxQueued) queue_.pop_front();
    queue_.push_back(std::move(page));
  }
  wake_.notify_one();
}

void TextFeed::Flush() {
  std::unique_lock<std::mutex> lock(mutex_);
  idle_.wait(lock, [&] { return queue_.empty() && !busy_; });
}

void TextFeed::Run() {
  std::unique_lock<std::mutex> lock(mutex_);
  while (true) {
    wake_.wait(lock, [&] { return stop_ || !queue_.empty(); });
    if (queue_.empty()) break;
    FeedPage page = std::move(queue_.front());
    queue_.pop_front();
    busy_ = true;
    lock.unlock();
    for (auto& sink : sinks_) {
      if (!sink) continue;
      try {
        sink->Publish(page);
      } catch (const Error& e) {
        log_.Warn(LogChannel::kShell, std::string("text feed: ") + sink->Name() + " stops: " + e.Message());
        sink.reset();
      }
    }
    lock.lock();
    busy_ = false;
    idle_.notify_all();
  }
  busy_ = false;
  idle_.notify_all();
}

}  // namespace orin
