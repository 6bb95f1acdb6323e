#include "params/param_host.h"

#include <chrono>

#include "params/date_time.h"

namespace orin {

namespace {

constexpr int64_t kDayMs = 24 * 60 * 60 * 1000;

int64_t FixedStartTimeOfDayMs() {
  return ((int64_t{kFixedStartDate.Hour} * 60 + kFixedStartDate.Min) * 60 + kFixedStartDate.Sec) * 1000;
}

}  // namespace

uint32_t FixedStartSeed() { return static_cast<uint32_t>(FixedStartTimeOfDayMs()); }

LocalDateTime FixedDateAfter(uint32_t ms) {
  // Whole days and the time of day are counted apart, so no float rounding can move a second.
  const int64_t total = FixedStartTimeOfDayMs() + ms;
  const long double start =
      *EncodeDate(kFixedStartDate.Year, kFixedStartDate.Month, kFixedStartDate.Day);
  const long double day = start + static_cast<long double>(total / kDayMs);
  const DateParts date = DecodeDate(day);
  const int64_t secOfDay = (total % kDayMs) / 1000;
  LocalDateTime now;
  now.Year = date.Year;
  now.Month = date.Month;
  now.Day = date.Day;
  now.Week = DayOfWeek(day);
  now.Hour = static_cast<int>(secOfDay / 3600);
  now.Min = static_cast<int>(secOfDay / 60 % 60);
  now.Sec = static_cast<int>(secOfDay % 60);
  return now;
}

}  // namespace orin
