// The player's transition factory under the flip command: the wipe of the kind is made from the
// table, configured from the command, stepped with the elapsed time and composed when the scene
// draws, on a target the scene presents; a kind without a wipe flips at once. Kind 30 takes the
// screen's centre, a flip during a transition starts from the picture shown, and a flip restored
// from a save finishes at once.
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

// Draws every frame, as the player does.
class WipeGame : public TestGame {
 public:
  explicit WipeGame(WipeTable table) : transitions(std::move(table)) {}
  TransitionFactory* Transitions() override { return &transitions; }
  void Frame(int32_t delta = 16) override {
    TestGame::Frame(delta);
    scene.Draw();
  }
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

uint32_t Shown(TestGame& g, int x, int y) { return g.scene.PresentSurface().GetPixel(x, y) & 0xFFFFFF; }

TEST(WipeTransitions, TheIncomingRootIsComposedAsDrawnInTheSameFrame) {
  WipeGame g(WipeTable::Standard());
  g.scene.ActiveRoot().SetColor(0x0000FF);
  g.scene.InactiveRoot().SetColor(0xFF0000);
  g.scene.Draw();
  RunPage(g, FlipPage(6, 64, "param0={} param1={} strparam={}"));
  g.Frames(3);  // t = 32: reversed, the incoming picture fills the left half (64 × 48 scene)
  EXPECT_EQ(Shown(g, 10, 10), 0x0000FFu);
  EXPECT_EQ(Shown(g, 40, 10), 0xFF0000u);
  g.scene.InactiveRoot().SetColor(0x00FF00);
  g.Frame();  // t = 48
  EXPECT_EQ(Shown(g, 10, 10), 0x00FF00u);
}

TEST(WipeTransitions, KindThirtyZoomsIntoTheScreensCentreUnlessTheFlipNamesAPoint) {
  for (const bool named : {false, true}) {
    WipeLog log;
    WipeTable table = WipeTable::Standard();
    table.Set(30, [&log] { return std::make_unique<RecordingWipe>(log); });
    WipeGame g(std::move(table));
    g.transitions.SetScreenSize(640, 480);
    RunPage(g, FlipPage(30, 40, named ? "param0={5} param1={} strparam={}" : "param0={} param1={} strparam={}"));
    EXPECT_EQ(log.p0, named ? 5 : 320);
    EXPECT_EQ(log.p1, 240);
  }
}

TEST(WipeTransitions, AFlipDuringATransitionStartsFromThePictureShown) {
  WipeGame g(WipeTable::Standard());
  g.scene.ActiveRoot().SetColor(0x0000FF);
  g.scene.InactiveRoot().SetColor(0xFF0000);
  g.scene.Draw();
  RunPage(g, FlipPage(12, 64, "param0={} param1={} strparam={}"));
  g.Frames(3);  // white at the midpoint
  ASSERT_EQ(Shown(g, 3, 3), 0xFFFFFFu);
  // A handler's flip: a fade from what is on the screen, not from the active root.
  FlipRequest fade;
  fade.Kind = 1;
  fade.Duration = 100;
  ASSERT_TRUE(g.transitions.Start(g.scene, fade));
  g.scene.Transition()->Step(0);
  g.scene.Draw();
  EXPECT_EQ(Shown(g, 3, 3), 0xFFFFFFu);
  g.scene.Transition()->Step(99);
  g.scene.Draw();
  EXPECT_EQ(Shown(g, 3, 3), 0x0101FEu);  // the fade's last step (opacity 253) from white to blue
}

TEST(WipeTransitions, AFlipRestoredIntoAClearedSceneFinishesAtOnce) {
  WipeGame g(WipeTable::Standard());
  RunPage(g, FlipPage(12, 1000, "param0={} param1={} strparam={}"));
  g.Frames(3);
  ASSERT_NE(g.scene.Transition(), nullptr);
  // What a load does to the scene before the interpreter resumes the flip.
  g.scene.Clear();
  g.Frame();
  EXPECT_EQ(g.Int("after"), 1);
  EXPECT_EQ(g.scene.ActiveIndex(), 1);
  EXPECT_EQ(g.scene.Transition(), nullptr);
}

TEST(WipeTransitions, AResetDuringATransitionDropsItAndShowsTheNewScreen) {
  WipeGame g(WipeTable::Standard());
  g.AddPage("next.osb", "VarNew name=\"m\" type=int value={7} scope=0 chain\nWait\n");
  g.AddPage("main.osb",
            "VarNew name=\"n\" type=int value={0} scope=0 chain\n"
            "Flip transition={12} time={1000} reverse={} select={} lists=[] clear={} param0={} param1={} "
            "strparam={} nointerrupt={} chain\nWait\n");
  g.callMan->Start("main.osb");
  g.Frames(4);
  ASSERT_NE(g.scene.Transition(), nullptr);
  g.AddPage("h.osb", "Reset page=\"next.osb\" index=0 flag=0 chain\n");
  g.Raise("h.osb");
  g.Frame();
  EXPECT_EQ(g.scene.Transition(), nullptr);
  EXPECT_EQ(&g.scene.PresentSurface(), &g.scene.ActiveRoot().Surface());
  g.Frame();
  EXPECT_EQ(g.Int("m"), 7);
}

// A handler that redirects the main script away from its flip drops the flip unfinished; its
// transition must not stay on the screen.
TEST(WipeTransitions, ARedirectAwayFromAFlipDropsItsTransition) {
  WipeGame g(WipeTable::Standard());
  g.AddPage("main.osb",
            "VarNew name=\"n\" type=int value={0} scope=0 chain\n"
            "Flip transition={12} time={1000} reverse={} select={} lists=[] clear={} param0={} param1={} "
            "strparam={} nointerrupt={} chain\nWait\n"
            "Calc {n = 5} chain\nWait\n");
  g.callMan->Start("main.osb");
  g.Frames(4);
  ASSERT_NE(g.scene.Transition(), nullptr);
  g.AddPage("h.osb", "PCReset page=\"main.osb\" index=3 flag=0 chain\n");
  TOrinObject* button = g.scene.Create(kKindBox);
  button->Rename("button");
  g.Raise("h.osb", button);
  g.Frames(2);
  EXPECT_EQ(g.Int("n"), 5);
  EXPECT_EQ(g.scene.Transition(), nullptr);
  EXPECT_EQ(&g.scene.PresentSurface(), &g.scene.ActiveRoot().Surface());
  EXPECT_EQ(g.scene.ActiveIndex(), 0);
}

}  // namespace
}  // namespace orin
