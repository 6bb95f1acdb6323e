// DepthGuard: the one guard against runaway recursion and re-entry. It counts one level on a
// counter owned by whatever recurses (a collection, a dispatcher, a scene loader) for as long as
// it lives, so every way out — return or exception — gives the level back.
//
//   DepthGuard guard(depth_);
//   if (!guard.Within(kMaxDepth)) throw Error("...: nested too deep");
//
// Within(limit) is true while the counter, this level included, is at most limit.
#pragma once

namespace orin {

class DepthGuard {
 public:
  explicit DepthGuard(int& depth) : depth_(depth) { ++depth_; }
  ~DepthGuard() { --depth_; }
  DepthGuard(const DepthGuard&) = delete;
  DepthGuard& operator=(const DepthGuard&) = delete;

  bool Within(int limit) const { return depth_ <= limit; }

 private:
  int& depth_;
};

}  // namespace orin
