// Date values (days since 1899-12-30) and the date and time functions.
#include <gtest/gtest.h>

#include "fake_param_host.h"
#include "params/date_time.h"

namespace orin {
namespace {

using test::ExpectEvals;
using test::ScriptRuntime;

// Every day of the first and last years and of 1580-2420 (three kinds of century, both signs of
// day numbers); the calendar is walked day by day alongside.
TEST(DateTime, DaysRoundTripAcrossLeapYearsAndNegativeDayNumbers) {
  const long double first = *EncodeDate(1, 1, 1), last = *EncodeDate(9999, 12, 31);
  EXPECT_EQ(first, -693593);
  EXPECT_EQ(last, 2958465);
  int y = 1, m = 1, d = 1, week = DayOfWeek(first);
  EXPECT_EQ(week, 2);  // a Monday
  static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  int failures = 0;
  for (int64_t day = static_cast<int64_t>(first); day <= static_cast<int64_t>(last); ++day) {
    const auto value = static_cast<long double>(day);
    const bool checked = y <= 4 || (y >= 1580 && y <= 2420) || y >= 9996;
    const DateParts p = checked ? DecodeDate(value) : DateParts{};
    // Any time of the day keeps the date, before 1899-12-30 as after it.
    const DateParts evening =
        checked ? DecodeDate(day < 0 ? value - 0.75L : value + 0.75L) : DateParts{};
    if (checked && (p.Year != y || p.Month != m || p.Day != d || evening.Year != y || evening.Month != m ||
        evening.Day != d || EncodeDate(y, m, d) != value || DayOfWeek(value) != week)) {
      if (++failures < 5) ADD_FAILURE() << "day " << day << ": " << y << "-" << m << "-" << d;
    }
    week = week % 7 + 1;
    const bool leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
    if (++d > (m == 2 && leap ? 29 : kDays[m - 1])) {
      d = 1;
      if (++m > 12) {
        m = 1;
        ++y;
      }
    }
  }
  EXPECT_EQ(failures, 0);
}

TEST(DateTime, FractionsAndTheEdges) {
  struct Case {
    long double value;
    int year, month, day, hour, min, sec, msec;
  };
  const Case cases[] = {
      {0, 1899, 12, 30, 0, 0, 0, 0},
      {-1.25L, 1899, 12, 29, 6, 0, 0, 0},
      {-0.25L, 1899, 12, 30, 6, 0, 0, 0},
      {2.5L, 1900, 1, 1, 12, 0, 0, 0},
      {36526.999999999L, 2000, 1, 2, 0, 0, 0, 0},  // rounds to the next midnight
      {0.5L + 1.0L / 86400000, 1899, 12, 30, 12, 0, 0, 1},
      {-693593, 1, 1, 1, 0, 0, 0, 0},
      {-693594, 0, 0, 0, 0, 0, 0, 0},  // before year 1
      {1e30L, 0, 0, 0, 0, 0, 0, 0},    // no millisecond count
  };
  for (const Case& c : cases) {
    const DateParts d = DecodeDate(c.value);
    const TimeParts t = DecodeTime(c.value);
    EXPECT_EQ((std::array{d.Year, d.Month, d.Day, t.Hour, t.Min, t.Sec, t.MSec}),
              (std::array{c.year, c.month, c.day, c.hour, c.min, c.sec, c.msec}))
        << static_cast<double>(c.value);
  }
  EXPECT_FALSE(EncodeDate(1900, 2, 29));
  EXPECT_TRUE(EncodeDate(2000, 2, 29));
  EXPECT_TRUE(EncodeDate(1600, 2, 29));
  EXPECT_FALSE(EncodeDate(0, 1, 1));
  EXPECT_FALSE(EncodeDate(10000, 1, 1));
  EXPECT_FALSE(EncodeDate(2000, 13, 1));
  EXPECT_FALSE(EncodeDate(2000, 4, 31));
  EXPECT_FALSE(EncodeTime(24, 0, 0));
  EXPECT_FALSE(EncodeTime(0, -1, 0));
  EXPECT_EQ(*EncodeTime(18, 0, 0), 0.75L);
}

TEST(DateFunctions, Results) {
  ScriptRuntime rt;
  ExpectEvals(rt, {
                      {"EncodeDate(2024, 2, 29)", "float 45351"},
                      {"EncodeDate(1600, 2, 29)", "float -109512"},
                      {"EncodeDate(2023, 2, 29)", "none"},
                      {"EncodeTime(6, 0, 0)", "float 0.25"},
                      {"EncodeTime(24, 0, 0)", "none"},
                      {"GetYear(45351)", "int 2024"},
                      {"GetMonth(45351)", "int 2"},
                      {"GetDay(45351.9)", "int 29"},
                      {"GetHour(EncodeTime(13, 45, 30))", "int 13"},
                      {"GetMin(EncodeTime(13, 45, 30))", "int 45"},
                      {"GetSec(EncodeTime(13, 45, 30))", "int 30"},
                      {"GetHour(-1.25)", "int 6"},
                      {"GetDay(-1.25)", "int 29"},
                      {"GetWeek(0)", "int 7"},
                      {"GetWeek(EncodeDate(1600, 2, 29))", "int 3"},
                      {"GetWeekStr(0)", "str Saturday"},
                      {"GetWeekStr(1)", "str Sunday"},
                      {"GetWeekJStr(1)", "str 日"},
                      {"GetWeekJStr(45351)", "str 木"},
                      {"GetYear(EncodeDate(2000, 1, 1) + @1Hour * 23)", "int 2000"},
                      {"GetHour(@1Hour * 5 + @1Min * 3)", "int 5"},
                      {"GetMin(@1Hour * 5 + @1Min * 3 + @1Sec)", "int 3"},
                  });
}

TEST(DateFunctions, DecodeWritesTheVariables) {
  ScriptRuntime rt;
  for (const char* name : {"y", "m", "d"}) rt.Declare(kTypeInt, name);
  rt.Declare(kTypeStr, "s");
  ExpectEvals(rt, {
                      {"DecodeDate(-109512.5, y, m, d)", "int 0"},
                      {"y * 10000 + m * 100 + d", "int 16000229"},
                      {"DecodeTime(EncodeTime(23, 59, 58), y, m, s)", "int 0"},
                      {"y * 100 + m", "int 2359"},
                      {"s", "str 58"},
                      // A constant in a variable's place takes nothing.
                      {"DecodeDate(0, y, 5, d)", "int 0"},
                      {"y", "int 1899"},
                  });
}

}  // namespace
}  // namespace orin
