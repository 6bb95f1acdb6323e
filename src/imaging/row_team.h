// RowTeam: helper threads that share the rows of one large drawing operation with the thread
// that asks for it, so that a full-screen redraw uses more than one core.
//
// Rows are dealt in stripes of kStripe rows counted from row 0 of the surface: stripe s belongs
// to part s mod Parts() (part 0 is the calling thread, 1 … Parts() − 1 the helpers). Run(top,
// bottom, job) calls job(part, begin, end) on each part's thread for each of its stripes cut to
// [top, bottom), and returns when all are done. Because a row always goes to the same thread,
// the rows one operation wrote are still in that core's cache when the next operation blends
// onto them; handing rows out first come, first served made a redraw slower than one thread.
// Stripes never overlap, so a job that writes only its own rows needs no locking, and a job may
// keep scratch memory per part; a job must not throw. Only one thread may call Run at a time
// (the frame loop).
//
// A helper that finishes keeps polling for the next job for a short while (kSpin) before it
// sleeps: the operations of one redraw follow each other within microseconds, and waking a
// sleeping thread costs more than most of them. An idle player therefore costs one wake-up
// per drawn frame and nothing between frames.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>
#include <type_traits>
#include <vector>

namespace orin {

class RowTeam {
 public:
  static constexpr std::chrono::microseconds kSpin{200};
  static constexpr int kStripe = 32;

  // helpers threads besides the caller (0: Run does everything on the calling thread).
  explicit RowTeam(int helpers);
  ~RowTeam();
  RowTeam(const RowTeam&) = delete;
  RowTeam& operator=(const RowTeam&) = delete;

  // One helper less than the processors the system offers, at most 3 (a screen's rows are
  // shared by memory bandwidth beyond that) and at least 0.
  static int DefaultHelpers();

  int Parts() const { return static_cast<int>(helpers_.size()) + 1; }

  template <class Job>
  void Run(int top, int bottom, Job&& job) {
    Dispatch(top, bottom, &job, [](void* context, int part, int begin, int end) {
      (*static_cast<std::remove_reference_t<Job>*>(context))(part, begin, end);
    });
  }

 private:
  using Call = void (*)(void* context, int part, int begin, int end);

  void Dispatch(int top, int bottom, void* context, Call call);
  void Serve(int part);
  void Wake();
  // Runs part's stripes of the current job.
  void Work(int part) const;

  std::vector<std::thread> helpers_;
  // Bumped once per job (and once more to stop); helpers wait for it to change.
  std::atomic<uint32_t> generation_{0};
  std::atomic<int> done_{0};
  std::atomic<int> sleeping_{0};
  // Where helpers sleep after polling in vain.
  std::mutex sleep_;
  std::condition_variable wake_;
  std::atomic<bool> stop_{false};
  void* context_ = nullptr;
  Call call_ = nullptr;
  int top_ = 0, bottom_ = 0;
};

}  // namespace orin
