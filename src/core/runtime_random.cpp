#include "core/runtime_random.h"

#include <chrono>

namespace orin {

namespace {
constexpr int64_t kDayMs = 24 * 60 * 60 * 1000;
}  // namespace

uint32_t RunTimeRandom::TimeOfDaySeed() {
  using namespace std::chrono;
  const auto now = system_clock::now().time_since_epoch();
  const int64_t ms = duration_cast<milliseconds>(now).count();
  return static_cast<uint32_t>(((ms % kDayMs) + kDayMs) % kDayMs);
}

}  // namespace orin
