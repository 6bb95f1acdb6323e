#include "shell/frame_clock.h"

#include <gtest/gtest.h>

namespace orin {
namespace {

TEST(FrameClock, StallLimitAndWrapAround) {
  struct Case {
    uint32_t last, now;
    bool runs;
    int32_t delta;
  } cases[] = {
      {1000, 1016, true, 16},
      {1000, 4000, true, 3000},  // exactly 3000 ms still runs a frame
      {1000, 4001, false, 0},    // one more does not
      {1000, 1000, true, 0},
      {0xFFFFFF00u, 0x100, true, 0x200},  // the 49-day wrap is one ordinary step
      {0x100, 0x0FF, false, 0},           // a clock reading before the last is an enormous delta
  };
  for (const Case& c : cases) {
    ShellState state;
    state.RunningClock = 5;
    state.FrameDelta = 7;
    FrameClock clock(state);
    clock.Start(c.last);
    EXPECT_EQ(clock.BeginFrame(c.now), c.runs) << c.last << " -> " << c.now;
    EXPECT_EQ(state.LastTick, c.now);
    EXPECT_EQ(state.FrameDelta, c.runs ? c.delta : 7);
    EXPECT_EQ(state.RunningClock, c.runs ? 5 + c.delta : 5);
  }
}

TEST(FrameClock, FrameAfterStallMeasuresFromTheNewTick) {
  ShellState state;
  FrameClock clock(state);
  clock.Start(0);
  ASSERT_FALSE(clock.BeginFrame(10000));
  ASSERT_TRUE(clock.BeginFrame(10016));
  EXPECT_EQ(state.FrameDelta, 16);
  EXPECT_EQ(state.RunningClock, 16);
}

TEST(FrameClock, ResetKeepsInactiveTimeOutOfTheDelta) {
  ShellState state;
  FrameClock clock(state);
  clock.Start(0);
  ASSERT_TRUE(clock.BeginFrame(16));
  clock.Reset(10016);  // reactivated ten seconds later
  ASSERT_TRUE(clock.BeginFrame(10030));
  EXPECT_EQ(state.FrameDelta, 14);
  EXPECT_EQ(state.RunningClock, 30);
}

TEST(FrameClock, RunningClockWrapsLikeAnInt32) {
  ShellState state;
  state.RunningClock = INT32_MAX - 5;
  FrameClock clock(state);
  clock.Start(0);
  ASSERT_TRUE(clock.BeginFrame(16));
  EXPECT_EQ(state.RunningClock, INT32_MIN + 10);
}

TEST(FrameClock, FrameRateMeasuredOverTwoSeconds) {
  ShellState state;
  FrameClock clock(state);
  clock.Start(1000);
  for (int i = 0; i < 100; ++i) clock.CountPresented();
  EXPECT_FALSE(clock.UpdateFrameRate(2999).has_value());
  auto rate = clock.UpdateFrameRate(3500);  // 2500 ms
  ASSERT_TRUE(rate.has_value());
  EXPECT_DOUBLE_EQ(*rate, 100.0 * 2000 / 2500);
  EXPECT_DOUBLE_EQ(clock.FrameRate(), *rate);
  // The count starts again from the new tick.
  EXPECT_FALSE(clock.UpdateFrameRate(5499).has_value());
  EXPECT_DOUBLE_EQ(*clock.UpdateFrameRate(5500), 0.0);
}

TEST(FrameClock, PacingSleepsTheRestButAtLeastTwo) {
  struct Case {
    int32_t interval;
    uint32_t start, now, sleep;
  } cases[] = {
      {16, 100, 100, 16}, {16, 100, 106, 10},       {16, 100, 114, 2}, {16, 100, 115, 2},
      {16, 100, 130, 2},  {16, 0xFFFFFFFEu, 3, 11},  // elapsed 5 across the wrap
      {1, 100, 100, 2},
  };
  for (const Case& c : cases)
    EXPECT_EQ(FrameClock::PacingSleep(c.interval, c.start, c.now), c.sleep)
        << c.start << " " << c.now;
}

}  // namespace
}  // namespace orin
