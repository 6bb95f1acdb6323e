#include "services/text_feed.h"

#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>

#include "core/error.h"
#include "support/test_support.h"

namespace orin {
namespace {

// Writes what it gets to the test's own vector: the feed frees a sink that fails, so the test
// must not look into the sink afterwards.
class Recorder final : public FeedSink {
 public:
  Recorder(std::vector<std::string>& texts, bool failing) : texts_(texts), failing_(failing) {}
  const char* Name() const override { return "recorder"; }
  void Publish(const FeedPage& page) override {
    texts_.push_back(page.Text);
    if (failing_) throw Error("gone");
  }

 private:
  std::vector<std::string>& texts_;
  bool failing_;
};

TEST(TextFeed, PageJsonEscapesAndCarriesRuby) {
  FeedPage page{"msg", "吾輩は猫である。\n\"名前\"\tは\\まだ\x01", {{"猫", "ねこ"}}};
  EXPECT_EQ(PageJson(page),
            "{\"window\":\"msg\",\"text\":\"吾輩は猫である。\\n\\\"名前\\\"\\tは\\\\まだ\\u0001\","
            "\"ruby\":[{\"base\":\"猫\",\"ruby\":\"ねこ\"}]}");
  EXPECT_EQ(PageJson(FeedPage{}), "{\"window\":\"\",\"text\":\"\",\"ruby\":[]}");
}

TEST(TextFeed, SinksGetPagesInOrderAndAFailingSinkLeavesAlone) {
  Log log;
  TextFeed feed(log);
  std::vector<std::string> good, bad;
  feed.AddSink(std::make_unique<Recorder>(good, false));
  feed.AddSink(std::make_unique<Recorder>(bad, true));
  for (const char* t : {"one", "two", "three"}) feed.Publish(FeedPage{"w", t, {}});
  feed.Flush();
  EXPECT_EQ(good, (std::vector<std::string>{"one", "two", "three"}));
  // The failing sink was asked once and then left out.
  EXPECT_EQ(bad, (std::vector<std::string>{"one"}));
}

TEST(TextFeed, JsonLinesAppendToTheFileAndAnUnwritableFileFailsAtOnce) {
  test::TempDir dir;
  {
    Log log;
    TextFeed feed(log);
    feed.AddSink(std::make_unique<JsonLinesSink>(dir / "feed.jsonl"));
    feed.Publish(FeedPage{"msg", "a", {}});
    feed.Publish(FeedPage{"msg", "b", {}});
  }
  EXPECT_EQ(test::ReadHostFile(dir / "feed.jsonl"),
            "{\"window\":\"msg\",\"text\":\"a\",\"ruby\":[]}\n{\"window\":\"msg\",\"text\":\"b\",\"ruby\":[]}\n");
  EXPECT_THROW(JsonLinesSink(dir / "no/such/folder/feed.jsonl"), Error);
}

// A sink that blocks until released: the frame loop's Publish must not wait for it, and what
// waits beyond the queue's bound is the oldest.
class Stuck final : public FeedSink {
 public:
  const char* Name() const override { return "stuck"; }
  void Publish(const FeedPage& page) override {
    std::unique_lock<std::mutex> lock(mutex);
    released.wait(lock, [&] { return open; });
    texts.push_back(page.Text);
  }
  std::mutex mutex;
  std::condition_variable released;
  bool open = false;
  std::vector<std::string> texts;
};

TEST(TextFeed, AHangingSinkNeverHoldsThePublisher) {
  Log log;
  TextFeed feed(log);
  auto sink = std::make_unique<Stuck>();
  Stuck* stuck = sink.get();
  feed.AddSink(std::move(sink));
  for (size_t i = 0; i < TextFeed::kMaxQueued + 10; ++i) feed.Publish(FeedPage{"w", std::to_string(i), {}});
  {
    std::lock_guard<std::mutex> lock(stuck->mutex);
    stuck->open = true;
  }
  stuck->released.notify_all();
  feed.Flush();
  ASSERT_FALSE(stuck->texts.empty());
  EXPECT_LE(stuck->texts.size(), TextFeed::kMaxQueued + 1);
  EXPECT_EQ(stuck->texts.back(), std::to_string(TextFeed::kMaxQueued + 9));
}

}  // namespace
}  // namespace orin
