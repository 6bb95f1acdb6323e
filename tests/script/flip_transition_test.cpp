// The player's transition factory under the flip command: the wipe of the kind is made from the
// table, configured from the command, stepped with the elapsed time on a target the scene
// presents, and a kind without a wipe flips at once.
#include <gtest/gtest.h>

#include "game_test_support.h"
#include "imaging/screen_surface.h"
#include "script/flip_transition.h"

namespace orin {
namespace {

using test::TestGame;

struct WipeLog {
  bool prepared = false;
  bool reverse = false;
  int32_t p0 = 0, p1 = 0;
  std::string name;
  std::vector<int32_t> times;
};

// Records what it is given and paints the target with the elapsed time.
class RecordingWipe final : public TCustomWipe {
 public:
  explicit RecordingWipe(WipeLog& log) : log_(log) {}
  void Prepare() override {
    log_.prepared = true;
    log_.reverse = Reverse();
    log_.p0 = GetParam(0);
    log_.p1 = GetParam(1);
  }
  void SetName(const std::string& name) override { log_.name = name; }
  bool Step() override {
    log_.times.push_back(Time());
    if (Done()) return true;
    Target().Fill(Target().Bounds(), static_cast<uint32_t>(Time()));
    return false;
  }

 private:
  WipeLog& log_;
};

class WipeGame : public TestGame {
 public:
  explicit WipeGame(WipeTable table) : transitions(std::move(table)) {}
  TransitionFactory* Transitions() override { return &transitions; }
  WipeTransitions transitions;
};

void RunPage(TestGame& g, const std::string& page) {
  g.AddPage("main.osb", page);
  g.callMan->Start("main.osb");
  g.Frame();
}

std::string FlipPage(int kind, int time, const std::string& params) {
  return "Flip transition={" + std::to_string(kind) + "} time={" + std::to_string(time) +
         "} reverse={TRUE} select={} lists=[] clear={} " + params +
         " nointerrupt={} chain\nVarNew name=\"after\" type=int value={1} scope=0 chain\nWait\n";
}

TEST(WipeTransitions, TheFlipRunsTheKindsWipeOnTheTargetTheScenePresents) {
  WipeLog log;
  WipeTable table = WipeTable::Standard();
  table.Set(3, [&log] { return std::make_unique<RecordingWipe>(log); });
  WipeGame g(std::move(table));
  RunPage(g, FlipPage(3, 40, "param0={7} param1={} strparam={\"s\"}"));
  ASSERT_NE(g.scene.Transition(), nullptr);
  EXPECT_TRUE(log.prepared);
  EXPECT_TRUE(log.reverse);
  EXPECT_EQ(log.p0, 7);  // given
  EXPECT_EQ(log.p1, 1);  // the kind's default
  EXPECT_EQ(log.name, FromUtf8("s"));
  EXPECT_EQ(&g.scene.PresentSurface(), &g.scene.Transition()->Target());
  g.Frames(3);
  EXPECT_EQ(log.times, (std::vector<int32_t>{0, 16, 32}));
  EXPECT_EQ(g.scene.PresentSurface().GetPixel(0, 0), 32u);
  EXPECT_EQ(g.vars.FindVariable("after"), nullptr);
  g.Frame();
  EXPECT_EQ(g.Int("after"), 1);
  EXPECT_EQ(g.scene.Transition(), nullptr);
  EXPECT_EQ(g.scene.ActiveIndex(), 1);
}

TEST(WipeTransitions, AKindWithoutAWipeFlipsAtOnce) {
  for (int kind : {0, 2, 39}) {
    WipeTable table = WipeTable::Standard();
    table.Set(2, nullptr);  // a kind this table has no wipe for
    WipeGame g(std::move(table));
    RunPage(g, FlipPage(kind, 5000, "param0={} param1={} strparam={}"));
    EXPECT_EQ(g.scene.Transition(), nullptr) << kind;
    g.Frame();
    EXPECT_EQ(g.Int("after"), 1) << kind;
    EXPECT_EQ(g.scene.ActiveIndex(), 1) << kind;
  }
}

TEST(WipeTransitions, TheTargetStartsAsTheOutgoingPictureAndWhiteReachesWhite) {
  WipeGame g(WipeTable::Standard());
  g.scene.ActiveRoot().SetColor(0x0000FF);  // red
  g.scene.InactiveRoot().SetColor(0xFF0000);
  g.scene.Draw();
  RunPage(g, FlipPage(12, 64, "param0={} param1={} strparam={}"));
  ASSERT_NE(g.scene.Transition(), nullptr);
  EXPECT_EQ(g.scene.PresentSurface().GetPixel(3, 3) & 0xFFFFFF, 0xFF0000u);
  g.Frames(3);  // t = 32 of 64: the midpoint
  EXPECT_EQ(g.scene.PresentSurface().GetPixel(3, 3) & 0xFFFFFF, 0xFFFFFFu);
}

}  // namespace
}  // namespace orin
