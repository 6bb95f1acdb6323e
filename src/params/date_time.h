// Date values of scripts: days since 1899-12-30 as a float, the fraction being the time of day.
// Before that day the value is negative and the fraction still counts forward from midnight by
// its magnitude: -1.25 is 1899-12-29 06:00.
//
// Decoding first rounds the value to whole milliseconds (ties to even), so 0.99999999999 is the
// next midnight. Values whose millisecond count has no 64-bit form, and days before 0001-01-01,
// decode as all zeros (year 0, month 0, day 0, weekday of day 0).
#pragma once

#include <cstdint>
#include <optional>

namespace orin {

struct DateParts {
  int Year = 0;
  int Month = 0;
  int Day = 0;
};

struct TimeParts {
  int Hour = 0;
  int Min = 0;
  int Sec = 0;
  int MSec = 0;
};

// nullopt unless 1 <= year <= 9999 and the month and day exist.
std::optional<long double> EncodeDate(int32_t year, int32_t month, int32_t day);
// nullopt unless 0 <= hour < 24, 0 <= min < 60, 0 <= sec < 60.
std::optional<long double> EncodeTime(int32_t hour, int32_t min, int32_t sec);
DateParts DecodeDate(long double date);
TimeParts DecodeTime(long double date);
// 1 = Sunday ... 7 = Saturday.
int DayOfWeek(long double date);

}  // namespace orin
