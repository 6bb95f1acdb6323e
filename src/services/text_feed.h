// The text feed: the plain text of every page a message window shows, handed from the frame loop
// to outside readers (a JSON-lines file, WebSocket clients, the clipboard, the speech service).
//
// TextFeed::Publish only queues the page and returns: the sinks run on the feed's own thread, so
// a slow disk or a hanging reader never holds a frame up. At most kMaxQueued pages wait; beyond
// that the oldest waiting page is dropped (a reader that far behind wants the newest text). A
// sink that throws is taken out of the feed with a line in the log; the others go on.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "core/log.h"

namespace orin {

struct FeedRuby {
  std::string Base;     // UTF-8
  std::string Reading;  // UTF-8
  bool operator==(const FeedRuby&) const = default;
};

struct FeedPage {
  std::string Window;  // the message window's name, UTF-8
  std::string Text;    // UTF-8, rows of the page joined by "\n", without ruby and markup
  std::vector<FeedRuby> Ruby;
};

class FeedSink {
 public:
  virtual ~FeedSink() = default;
  virtual const char* Name() const = 0;
  // Runs on the feed's thread; throws Error when the sink cannot go on.
  virtual void Publish(const FeedPage& page) = 0;
};

// One JSON object (a line without its "\n"): {"window":…,"text":…,"ruby":[{"base":…,"ruby":…}]}.
std::string PageJson(const FeedPage& page);
// s as a JSON string, quotes included; control characters escaped.
std::string JsonString(const std::string& utf8);

// JSON lines appended to a file, or written to stdout ("-").
class JsonLinesSink final : public FeedSink {
 public:
  // Throws Error when the file cannot be opened.
  explicit JsonLinesSink(const std::string& path);
  ~JsonLinesSink() override;
  const char* Name() const override { return "--text-feed"; }
  void Publish(const FeedPage& page) override;

 private:
  std::string path_;
  std::FILE* file_ = nullptr;
  bool own_ = false;
};

class TextFeed {
 public:
  static constexpr size_t kMaxQueued = 64;

  explicit TextFeed(Log& log);
  // Publishes what is queued, then stops the thread.
  ~TextFeed();
  TextFeed(const TextFeed&) = delete;
  TextFeed& operator=(const TextFeed&) = delete;

  // Before the first Publish.
  void AddSink(std::unique_ptr<FeedSink> sink);
  bool Empty() const { return sinks_.empty(); }
  void Publish(FeedPage page);
  // Waits until every page queued so far has gone to the sinks (tests, the end of a run).
  void Flush();

 private:
  void Run();

  Log& log_;
  std::vector<std::unique_ptr<FeedSink>> sinks_;
  std::mutex mutex_;
  std::condition_variable wake_;
  std::condition_variable idle_;
  std::deque<FeedPage> queue_;
  bool busy_ = false;
  bool stop_ = false;
  std::thread thread_;
};

}  // namespace orin
