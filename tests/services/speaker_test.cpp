#include "services/speaker.h"

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <thread>

namespace orin {
namespace {

struct Calls {
  std::mutex mutex;
  std::vector<std::string> said;
  int cancels = 0;
  bool hang = false;
  bool open = true;
};

class FakeSpeech final : public SpeechBackend {
 public:
  explicit FakeSpeech(std::shared_ptr<Calls> calls) : calls_(std::move(calls)) {}
  bool Open(std::string& problem) override {
    while (true) {
      {
        std::lock_guard<std::mutex> lock(calls_->mutex);
        if (!calls_->hang) break;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    problem = "no service";
    return calls_->open;
  }
  void Say(const std::string& utf8) override {
    std::lock_guard<std::mutex> lock(calls_->mutex);
    calls_->said.push_back(utf8);
  }
  void Cancel() override {
    std::lock_guard<std::mutex> lock(calls_->mutex);
    ++calls_->cancels;
  }

 private:
  std::shared_ptr<Calls> calls_;
};

bool WaitFor(const std::shared_ptr<Calls>& calls, const std::function<bool(Calls&)>& ok) {
  for (int i = 0; i < 200; ++i) {
    {
      std::lock_guard<std::mutex> lock(calls->mutex);
      if (ok(*calls)) return true;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return false;
}

TEST(Speaker, EachPageCancelsThePreviousAndMutingSilences) {
  auto calls = std::make_shared<Calls>();
  Log log;
  Speaker speaker(std::make_unique<FakeSpeech>(calls), log);
  speaker.Say("一");
  ASSERT_TRUE(WaitFor(calls, [](Calls& c) { return c.said.size() == 1; }));
  speaker.SetMuted(true);
  speaker.Say("muted");
  speaker.SetMuted(false);
  speaker.Say("二");
  ASSERT_TRUE(WaitFor(calls, [](Calls& c) { return c.said.size() == 2; }));
  std::lock_guard<std::mutex> lock(calls->mutex);
  EXPECT_EQ(calls->said, (std::vector<std::string>{"一", "二"}));
  EXPECT_GE(calls->cancels, 2);
}

TEST(Speaker, AHangingServiceHoldsNobody) {
  auto calls = std::make_shared<Calls>();
  calls->hang = true;
  Log log;
  {
    Speaker speaker(std::make_unique<FakeSpeech>(calls), log);
    for (int i = 0; i < 100; ++i) speaker.Say("page");
    speaker.Cancel();
  }  // the speaker goes while its service still hangs
  {
    std::lock_guard<std::mutex> lock(calls->mutex);
    calls->hang = false;
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  std::lock_guard<std::mutex> lock(calls->mutex);
  EXPECT_TRUE(calls->said.empty());
}

}  // namespace
}  // namespace orin
