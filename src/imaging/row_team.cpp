#include "imaging/row_team.h"

#include <algorithm>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

namespace orin {

namespace {

void Relax() {
#if defined(__x86_64__)
  _mm_pause();
#else
  std::this_thread::yield();
#endif
}

}  // namespace

RowTeam::RowTeam(int helpers) {
  helpers = std::clamp(helpers, 0, 15);
  helpers_.reserve(static_cast<size_t>(helpers));
  for (int i = 0; i < helpers; ++i) helpers_.emplace_back([this, part = i + 1] { Serve(part); });
}

RowTeam::~RowTeam() {
  stop_.store(true);
  generation_.fetch_add(1);
  Wake();
  for (auto& helper : helpers_) helper.join();
}

void RowTeam::Wake() {
  { std::lock_guard lock(sleep_); }
  wake_.notify_all();
}

int RowTeam::DefaultHelpers() {
  const int processors = static_cast<int>(std::thread::hardware_concurrency());
  return std::clamp(processors - 1, 0, 3);
}

void RowTeam::Work(int part) const {
  const int parts = Parts();
  // The first stripe of this part at or after the stripe holding top_.
  int stripe = top_ / kStripe;
  stripe += ((part - stripe % parts) % parts + parts) % parts;
  for (;; stripe += parts) {
    const int64_t begin = std::max<int64_t>(int64_t{stripe} * kStripe, top_);
    const int64_t end = std::min<int64_t>(int64_t{stripe} * kStripe + kStripe, bottom_);
    if (begin >= bottom_) return;
    if (begin < end) call_(context_, part, static_cast<int>(begin), static_cast<int>(end));
  }
}

void RowTeam::Dispatch(int top, int bottom, void* context, Call call) {
  if (top >= bottom) return;
  if (helpers_.empty() || top < 0) {
    call(context, 0, top, bottom);
    return;
  }
  context_ = context;
  call_ = call;
  top_ = top;
  bottom_ = bottom;
  done_.store(0, std::memory_order_relaxed);
  generation_.fetch_add(1);
  if (sleeping_.load() > 0) Wake();
  Work(0);
  const int helpers = static_cast<int>(helpers_.size());
  while (done_.load(std::memory_order_acquire) < helpers) Relax();
}

void RowTeam::Serve(int part) {
  // Generation 0 is the one before any job: a job given before this thread got here is still
  // seen as new.
  uint32_t seen = 0;
  for (;;) {
    // Poll for a while, then sleep until the generation moves on.
    const auto until = std::chrono::steady_clock::now() + kSpin;
    int polls = 0;
    while (generation_.load(std::memory_order_acquire) == seen) {
      Relax();
      if (++polls % 256 == 0 && std::chrono::steady_clock::now() >= until) {
        // Counted as asleep before the generation is looked at again: a caller that bumped the
        // generation and saw no sleeper is seen here, and one that saw a sleeper takes the lock
        // before notifying, so no wake-up is lost.
        std::unique_lock lock(sleep_);
        sleeping_.fetch_add(1);
        wake_.wait(lock, [&] { return generation_.load() != seen; });
        sleeping_.fetch_sub(1);
      }
    }
    seen = generation_.load();
    if (stop_.load()) return;
    Work(part);
    done_.fetch_add(1, std::memory_order_release);
  }
}

}  // namespace orin
