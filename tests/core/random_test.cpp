#include "core/random.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

namespace orin {
namespace {

constexpr int32_t kArchiveKey = 1593578642;

TEST(TTpRandom, NextFollowsStateTimesFivePlusIncrement) {
  TTpRandom r(kArchiveKey);
  EXPECT_EQ(r.Next(), kArchiveKey);  // the first value is the increment
  EXPECT_EQ(r.Next(), 971537260);    // 6K mod 2^32
  EXPECT_EQ(r.Next(), -2138669650);  // 31K mod 2^32, as a signed value
  EXPECT_EQ(r.Next(), -509835016);
  EXPECT_EQ(r.Next(), -955596438);
  EXPECT_EQ(r.Next(), 1110563748);
  EXPECT_EQ(r.State, 1110563748u);

  TTpRandom negative(-1);
  EXPECT_EQ(negative.Next(), -1);
  EXPECT_EQ(negative.Next(), -6);
  EXPECT_EQ(negative.Next(), -31);
}

TEST(TTpRandom, DrawIsAPermutation) {
  TTpRandom r(kArchiveKey);
  r.Reset(100);
  std::vector<int32_t> drawn;
  for (int i = 0; i < 100; ++i) drawn.push_back(r.Draw());
  std::vector<int32_t> sorted = drawn;
  std::sort(sorted.begin(), sorted.end());
  for (int i = 0; i < 100; ++i) EXPECT_EQ(sorted[static_cast<size_t>(i)], i);
  // State mod count with K: 1593578642 % 100 = 42, then 971537260 % 99 = 67 -> 68 (42 is gone), ...
  EXPECT_EQ(std::vector<int32_t>(drawn.begin(), drawn.begin() + 6), (std::vector<int32_t>{42, 68, 20, 27, 10, 73}));
}

TEST(TTpRandom, DrawExactValues) {
  struct Case {
    int32_t increment, count;
    std::vector<int32_t> expected;
  };
  const std::vector<Case> cases = {
      {1, 10, {1, 7, 9, 3}},
      {kArchiveKey, 5, {2, 0, 1, 3, 4}},
      // The state is taken unsigned: 0xFFFFFFFF mod 7 = 3 (a signed -1 would give no index).
      {-1, 7, {3, 5, 0, 1, 2, 4, 6}},
  };
  for (const auto& c : cases) {
    TTpRandom r(c.increment);
    r.Reset(c.count);
    std::vector<int32_t> got;
    for (size_t i = 0; i < c.expected.size(); ++i) got.push_back(r.Draw());
    EXPECT_EQ(got, c.expected) << c.increment;
  }
}

TEST(TTpRandom, DrawOnEmptyListLeavesStateAlone) {
  TTpRandom r(3);
  EXPECT_EQ(r.Draw(), -1);
  EXPECT_EQ(r.State, 0u);
  r.Reset(1);
  EXPECT_EQ(r.Draw(), 0);
  EXPECT_EQ(r.State, 3u);
  EXPECT_EQ(r.Draw(), -1);
  EXPECT_EQ(r.State, 3u);
  for (int32_t n : {0, -5}) {
    r.Reset(n);
    EXPECT_EQ(r.Draw(), -1);
  }
  // Reset refills without touching the state.
  r.Reset(2);
  EXPECT_EQ(r.State, 3u);
  EXPECT_EQ(r.Draw(), 0);  // state 18, 18 mod 2 = 0
}

}  // namespace
}  // namespace orin
