#include "shell/read_aloud_gate.h"

#include <gtest/gtest.h>

namespace orin {
namespace {

TEST(ReadAloudGate, SpeaksUnvoicedPagesAfterTheWaitAndLeavesVoicedOnesToTheGame) {
  ReadAloudGate gate;
  // No voice: spoken once the wait is over, and only once.
  gate.PageShown("一", 1000, false);
  EXPECT_EQ(gate.Frame(1016, false), std::nullopt);
  EXPECT_EQ(gate.Frame(1299, false), std::nullopt);
  EXPECT_EQ(gate.Frame(1300, false), "一");
  EXPECT_EQ(gate.Frame(1316, false), std::nullopt);
  // A voice that starts with the page, or was already playing: not spoken.
  gate.PageShown("二", 2000, false);
  EXPECT_EQ(gate.Frame(2100, true), std::nullopt);
  EXPECT_EQ(gate.Frame(2400, false), std::nullopt);
  gate.PageShown("三", 3000, true);
  EXPECT_EQ(gate.Frame(3400, false), std::nullopt);
  // A newer page replaces the one waiting; a click drops it.
  gate.PageShown("四", 4000, false);
  gate.PageShown("五", 4100, false);
  EXPECT_EQ(gate.Frame(4350, false), std::nullopt);
  EXPECT_EQ(gate.Frame(4400, false), "五");
  gate.PageShown("六", 5000, false);
  gate.Clicked();
  EXPECT_EQ(gate.Frame(5400, false), std::nullopt);
  // Across the millisecond clock's wrap.
  gate.PageShown("七", 0xFFFFFF00u, false);
  EXPECT_EQ(gate.Frame(0x100, false), "七");
}

}  // namespace
}  // namespace orin
