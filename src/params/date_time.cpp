#include "params/date_time.h"

#include <cmath>

namespace orin {

namespace {

constexpr int64_t kMSecsPerDay = 86400000;
// Day number of 1899-12-30 when 0001-01-01 is day 1.
constexpr int64_t kDateDelta = 693594;
// Day number of 1970-01-01 on the same count, the base of the civil-date conversion below.
constexpr int64_t kUnixDay = 719163;

bool IsLeapYear(int64_t y) {
  return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
}

int DaysInMonth(int64_t y, int m) {
  static constexpr int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return m == 2 && IsLeapYear(y) ? 29 : kDays[m - 1];
}

// Days since 1970-01-01 of a proleptic Gregorian date, and back (H. Hinnant's algorithms).
int64_t DaysFromCivil(int64_t y, int64_t m, int64_t d) {
  y -= m <= 2;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const int64_t yoe = y - era * 400;
  const int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

DateParts CivilFromDays(int64_t z) {
  z += 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const int64_t doe = z - era * 146097;
  const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const int64_t mp = (5 * doy + 2) / 153;
  DateParts parts;
  parts.Day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  parts.Month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  parts.Year = static_cast<int>(yoe + era * 400 + (parts.Month <= 2));
  return parts;
}

struct TimeStamp {
  int64_t Date = 0;  // day number, 0001-01-01 = 1
  int64_t Time = 0;  // milliseconds since midnight
  bool Valid = false;
};

TimeStamp ToTimeStamp(long double value) {
  TimeStamp ts;
  const long double ms = std::nearbyint(value * kMSecsPerDay);
  // Far beyond year 9999 either way, and inside what int64 holds.
  if (!std::isfinite(ms) || std::fabs(ms) > 9.0e17L) return ts;
  const auto whole = static_cast<int64_t>(ms);
  ts.Date = kDateDelta + whole / kMSecsPerDay;
  ts.Time = (whole < 0 ? -whole : whole) % kMSecsPerDay;
  ts.Valid = true;
  return ts;
}

}  // namespace

std::optional<long double> EncodeDate(int32_t year, int32_t month, int32_t day) {
  if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1 ||
      day > DaysInMonth(year, month))
    return std::nullopt;
  return static_cast<long double>(DaysFromCivil(year, month, day) + kUnixDay - kDateDelta);
}

std::optional<long double> EncodeTime(int32_t hour, int32_t min, int32_t sec) {
  if (hour < 0 || hour >= 24 || min < 0 || min >= 60 || sec < 0 || sec >= 60) return std::nullopt;
  const int64_t ms = (static_cast<int64_t>(hour) * 3600 + min * 60 + sec) * 1000;
  return static_cast<long double>(ms) / kMSecsPerDay;
}

DateParts DecodeDate(long double date) {
  const TimeStamp ts = ToTimeStamp(date);
  if (!ts.Valid || ts.Date <= 0) return {};
  return CivilFromDays(ts.Date - kUnixDay);
}

TimeParts DecodeTime(long double date) {
  const TimeStamp ts = ToTimeStamp(date);
  TimeParts parts;
  if (!ts.Valid) return parts;
  parts.Hour = static_cast<int>(ts.Time / 3600000);
  parts.Min = static_cast<int>(ts.Time / 60000 % 60);
  parts.Sec = static_cast<int>(ts.Time / 1000 % 60);
  parts.MSec = static_cast<int>(ts.Time % 1000);
  return parts;
}

int DayOfWeek(long double date) {
  const TimeStamp ts = ToTimeStamp(date);
  const int64_t day = ts.Valid ? ts.Date : 0;
  // Day 1 (0001-01-01) was a Monday.
  return static_cast<int>((day % 7 + 7) % 7) + 1;
}

}  // namespace orin
