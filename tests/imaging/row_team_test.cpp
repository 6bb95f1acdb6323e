#include "imaging/row_team.h"

#include <gtest/gtest.h>

#include <chrono>
#include <mutex>
#include <thread>
#include <vector>

namespace orin {
namespace {

// Every row of [top, bottom) is handed out exactly once, always to the part that owns its
// stripe, for teams of every size and ranges that start and end inside stripes.
TEST(RowTeam, DealsEveryRowOnceToTheOwnerOfItsStripe) {
  struct Range {
    int top, bottom;
  };
  for (int helpers : {0, 1, 3}) {
    RowTeam team(helpers);
    ASSERT_EQ(team.Parts(), helpers + 1);
    for (Range range : {Range{0, 1}, Range{5, 13}, Range{0, 720}, Range{7, 9}, Range{1000, 1001}, Range{3, 3},
                        Range{17, 16}}) {
      SCOPED_TRACE(testing::Message() << helpers << " helpers, rows " << range.top << ".." << range.bottom);
      std::vector<int> seen(1100, 0), owner(1100, -1);
      std::mutex lock;
      team.Run(range.top, range.bottom, [&](int part, int begin, int end) {
        std::lock_guard guard(lock);
        for (int y = begin; y < end; ++y) {
          ++seen[y];
          owner[y] = part;
        }
      });
      for (int y = 0; y < 1100; ++y) {
        const bool inside = y >= range.top && y < range.bottom;
        ASSERT_EQ(seen[y], inside ? 1 : 0) << y;
        if (inside) {
          ASSERT_EQ(owner[y], (y / RowTeam::kStripe) % team.Parts()) << y;
        }
      }
    }
  }
}

// Jobs that come back to back, and jobs after the helpers have gone to sleep, all finish: a
// lost wake-up would hang here.
TEST(RowTeam, WakesSleepingHelpers) {
  RowTeam team(2);
  std::vector<int> rows(64);
  for (int job = 0; job < 3000; ++job) {
    if (job % 300 == 0) std::this_thread::sleep_for(RowTeam::kSpin * 2);
    team.Run(0, 64, [&](int, int begin, int end) {
      for (int y = begin; y < end; ++y) ++rows[y];
    });
  }
  for (int y = 0; y < 64; ++y) EXPECT_EQ(rows[y], 3000) << y;
}

TEST(RowTeam, DefaultLeavesOneProcessorToTheCaller) {
  const int helpers = RowTeam::DefaultHelpers();
  EXPECT_GE(helpers, 0);
  EXPECT_LE(helpers, 3);
  if (std::thread::hardware_concurrency() >= 2) {
    EXPECT_GE(helpers, 1);
  }
}

}  // namespace
}  // namespace orin
