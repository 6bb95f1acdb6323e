// The object, variable and screen commands as the interpreter runs them: object creation with the
// fixed property order and defaults, properties by number, animators, variables, the flip and
// the cabinets.
#include <gtest/gtest.h>

#include "game_test_support.h"
#include "params/orin_parser.h"
#include "scene/objects/orin_box.h"
#include "scene/objects/orin_custom_image.h"
#include "scene/objects/orin_particle.h"
#include "scene/objects/orin_prop_motion.h"
#include "scene/model/scene_transition.h"
#include "script/commands_object.h"
#include "script/flip_transition.h"
#include "script/object_creation_hooks.h"

namespace orin {
namespace {

using test::TestGame;

TOrinControl* Control(TestGame& g, const char* name) { return g.scene.FindControl(name); }

TOrinControl* MakeBox(TestGame& g, const char* name, TOrinControl* parent = nullptr) {
  TOrinControl* box = g.scene.Create(kKindBox)->AsControl();
  box->Rename(name);
  if (parent) box->SetParent(parent);
  return box;
}

void RunPage(TestGame& g, const std::string& page, int frames = 1) {
  g.AddPage("main.osb", page);
  g.callMan->Start("main.osb");
  g.Frames(frames);
}

TEST(TComComponent_Create, PropertiesWithoutValueTakeTheCreationDefaults) {
  TestGame g;
  RunPage(g,
      "propset BoxNew name parent left width color depth\n"
      "BoxNew chain\n"
      "    name={\"box\"}\n"
      "    left={7}\n"
      "    width={}\n"
      "    color={}\n"
      "Wait\n");
  TOrinControl* box = Control(g, "box");
  ASSERT_NE(box, nullptr);
  EXPECT_EQ(box->Kind(), kKindBox);
  EXPECT_EQ(box->Left(), 7);
  EXPECT_EQ(box->Width(), 0);   // present, no value: 0
  EXPECT_EQ(box->Color(), -1);  // present, no value: -1
  EXPECT_EQ(box->Height(), 1);  // absent: the object's own default
  EXPECT_EQ(box->Parent(), &g.scene.ActiveRoot());  // an empty parent name
}

TEST(TComComponent_Create, ASoundWithoutTheMediaLayerMakesNothingAndTheGameGoesOn) {
  TestGame g;
  RunPage(g,
      "propset Sound name\n"
      "Sound chain\n    name={\"bgm\"}\n"
      "VarNew name=\"after\" type=int value={1} scope=0 chain\n"
      "Wait\n");
  EXPECT_EQ(g.scene.Find("bgm"), nullptr);
  EXPECT_EQ(g.Int("after"), 1);
}

TEST(TComComponent_Create, ParentPositionAndTimer) {
  TestGame g;
  g.AddPage("tick.osb", "Calc {ticks = ticks + 1}\n");
  RunPage(g,
      "propset BoxNew name parent left top\n"
      "propset Timer name interval onchange\n"
      "VarNew name=\"ticks\" type=int value={0} scope=0 chain\n"
      "BoxNew chain\n    name={\"outer\"}\n    left={10}\n    top={5}\n"
      "BoxNew chain\n    name={\"inner\"}\n    parent={\"outer\"}\n    left={1}\n    top={2}\n"
      "Timer chain\n    name={\"t\"}\n    interval={32}\n    onchange={\"tick.osb\"}\n"
      "Wait\n",
      6);
  TOrinControl* inner = Control(g, "inner");
  ASSERT_NE(inner, nullptr);
  EXPECT_EQ(inner->Parent(), Control(g, "outer"));
  EXPECT_EQ(inner->ScreenX(), 11);
  EXPECT_EQ(inner->ScreenY(), 7);
  EXPECT_NE(g.scene.Find("t"), nullptr);
  EXPECT_GE(g.Int("ticks"), 2);
}

TEST(TComComponent_Create, KindsWithoutAClassMakeNothingAndSaySo) {
  TestGame g;
  // Fire has a class now; this scene is made without it.
  g.scene.Classes().Set(kKindFire, {});
  RunPage(g,
      "propset FireNew name\n"
      "FireNew chain\n    name={\"picture\"}\n"
      "VarNew name=\"after\" type=int value={1} scope=0 chain\n"
      "Wait\n");
  EXPECT_EQ(g.scene.Find("picture"), nullptr);
  EXPECT_EQ(g.Int("after"), 1);
  bool noted = false;
  for (const std::string& line : g.trace)
    if (line.find("-- FireNew: ") != std::string::npos) noted = true;
  EXPECT_TRUE(noted);
}

class RecordingHooks final : public CreationHooks {
 public:
  std::vector<std::string> log;
  void BeforeProperties(ComKind kind, TOrinObject& object, const TComComponent& command) override {
    log.push_back(Format("before %d [%s] %d", static_cast<int>(kind), object.Name(),
                         command.Property(kPropLeft) ? 1 : 0));
  }
  void AfterProperties(ComKind kind, TOrinObject& object, const TComComponent&) override {
    log.push_back(Format("after %d [%s]", static_cast<int>(kind), object.Name()));
  }
};

class HookedGame : public TestGame {
 public:
  RecordingHooks hooks;
  CreationHooks* Creation() override { return &hooks; }
};

TEST(TComComponent_Create, HooksSurroundTheProperties) {
  HookedGame g;
  RunPage(g, "propset BoxNew name left\nBoxNew chain\n    name={\"b\"}\n    left={3}\nWait\n");
  ASSERT_EQ(g.hooks.log.size(), 2u);
  EXPECT_EQ(g.hooks.log[0], "before 8 [object0] 1");
  EXPECT_EQ(g.hooks.log[1], "after 8 [b]");
}

// The player's hooks: an image object takes the record's property-26 expression as its end delay
// and evaluates it itself later; without the expression it has none.
class PlayerHookedGame : public TestGame {
 public:
  ObjectCreationHooks hooks = ObjectCreationHooks::Standard();
  CreationHooks* Creation() override { return &hooks; }
};

TEST(TComComponent_Create, ImagesTakeTheirEndDelayExpression) {
  PlayerHookedGame g;
  RunPage(g,
      "propset ImgNew name interval\n"
      "VarNew name=\"pause\" type=int value={100} scope=0 chain\n"
      "ImgNew chain\n    name={\"with\"}\n    interval={pause * 3}\n"
      "ImgNew chain\n    name={\"without\"}\n    interval={}\n"
      "Calc {pause = 7}\n"
      "Wait\n");
  auto* with = dynamic_cast<TOrinCustomImages*>(g.scene.Find("with"));
  auto* without = dynamic_cast<TOrinCustomImages*>(g.scene.Find("without"));
  ASSERT_NE(with, nullptr);
  ASSERT_NE(without, nullptr);
  ASSERT_NE(with->EndDelayExpression(), nullptr);
  EXPECT_EQ(without->EndDelayExpression(), nullptr);
  TOrinParser copy;
  copy.Assign(*with->EndDelayExpression());
  copy.Execute(g.vars);
  ASSERT_NE(copy.Result, nullptr);
  EXPECT_EQ(copy.Result->GetAsInt(), 21);  // evaluated when asked, not at creation
}

// A particle emitter takes copies of the record's expressions for 92, 93 and 26, evaluated when
// a particle is born; 92 and 93 themselves are not set (scripts may not set them).
TEST(TComComponent_Create, ParticlesTakeTheirExpressions) {
  PlayerHookedGame g;
  RunPage(g,
      "propset ParticleNew name interval 92 93 94\n"
      "VarNew name=\"v\" type=int value={2} scope=0 chain\n"
      "ParticleNew chain\n    name={\"snow\"}\n    interval={v * 100}\n    p92={v}\n    p93={}\n    p94={50}\n"
      "Calc {v = 5}\n"
      "Wait\n");
  auto* snow = dynamic_cast<TOrinParticle*>(g.scene.Find("snow"));
  ASSERT_NE(snow, nullptr);
  EXPECT_EQ(snow->BirthRate(), 50);
  TParamInt life;
  g.scene.GetPropOf(*snow, kPropInterval, life);
  EXPECT_EQ(life.GetAsInt(), 200);
  ASSERT_NE(snow->SpeedXExpression(), nullptr);
  ASSERT_NE(snow->LifeExpression(), nullptr);
  EXPECT_EQ(snow->SpeedYExpression(), nullptr);
  TOrinParser copy;
  copy.Assign(*snow->LifeExpression());
  copy.Execute(g.vars);
  ASSERT_NE(copy.Result, nullptr);
  EXPECT_EQ(copy.Result->GetAsInt(), 500);
}

TEST(TComSetProp, PropertiesByNumber) {
  TestGame g;
  MakeBox(g, "box");
  RunPage(g,
      "VarNew name=\"w\" type=int value={0} scope=0 chain\n"
      "VarNew name=\"name\" type=str value={\"\"} scope=0 chain\n"
      "SetProp object={\"box\"} prop={5} value={40} chain\n"
      "SetProp object={\"box\"} prop={6} value={} chain\n"  // no value: nothing set
      "GetProp object={\"box\"} prop={5} result=\"w\" chain\n"
      "GetProp object={\"box\"} prop={0} result=\"name\" chain\n"
      "GetProp object={\"\"} prop={5} result=\"name\" chain\n"  // an empty name finds nothing
      "SetProp object={\"nobody\"} prop={} value={1} chain\n"  // no object: the number is not asked
      "Wait\n");
  EXPECT_EQ(g.Int("w"), 40);
  EXPECT_EQ(g.Str("name"), "box");
  EXPECT_EQ(Control(g, "box")->Height(), 1);
}

TEST(TComSetProp, MissingPropertyNumberIsAnErrorAfterTheAdvance) {
  TestGame g;
  MakeBox(g, "box");
  RunPage(g,
      "VarNew name=\"n\" type=int value={0} scope=0 chain\n"
      "GetProp object={\"box\"} prop={} result=\"n\"\n"
      "Calc {n = 1}\n");
  EXPECT_EQ(g.callMan->Index(), 2);
  g.Frame();
  EXPECT_EQ(g.Int("n"), 1);
}

TEST(TComObjDel, DeletesAtTheEndOfTheStep) {
  TestGame g;
  TOrinControl* box = MakeBox(g, "box");
  RunPage(g, "ObjDel object={\"box\"} chain\nObjDel object={\"\"} chain\nWait\n");
  EXPECT_EQ(g.scene.Find("box"), nullptr);
  EXPECT_FALSE(g.scene.IsLive(box));
  EXPECT_TRUE(g.scene.IsLive(&g.scene.ActiveRoot()));
}

TEST(TComPropMotion, AnimatesAProperty) {
  TestGame g;
  MakeBox(g, "box");
  RunPage(g,
      "PropMotion name={\"mover\"} object={\"box\"} prop={3} value={32} time={64} easing={0} stopped={} chain\n"
      "Wait\n");
  auto* motion = dynamic_cast<TOrinPropMotion*>(g.scene.Find("mover"));
  ASSERT_NE(motion, nullptr);
  EXPECT_EQ(motion->TargetName(), "box");
  EXPECT_EQ(motion->PropertyNumber(), 3);
  EXPECT_EQ(motion->Duration(), 64);
  g.Frames(6);
  EXPECT_EQ(Control(g, "box")->Left(), 32);
  EXPECT_EQ(g.scene.Find("mover"), nullptr);
}

TEST(TComPropMotion, WithoutPropertyNumberNothingIsMade) {
  TestGame g;
  MakeBox(g, "box");
  const int before = g.scene.ObjectCount();
  RunPage(g, "PropMotion name={\"mover\"} object={\"box\"} prop={} value={32} time={64} easing={} stopped={}\nWait\n");
  EXPECT_EQ(g.scene.ObjectCount(), before);
  EXPECT_EQ(g.callMan->Index(), 1);
}

TEST(TComVarNew, ScopesAndTypes) {
  TestGame g;
  g.vars.AddVariable(kTypeStr, "kept").IsPersistent = true;
  g.vars.FindVariable("kept")->Value->SetAsStr("old");
  RunPage(g,
      "VarNew name=\"i\" type=int value={\"12\"} scope=0 chain\n"
      "VarNew name=\"f\" type=float value={7 / 2} scope=0 chain\n"
      "VarNew name=\"b\" type=flag value={1} scope=0 chain\n"
      "VarNew name=\"s\" type=str value={3} scope=0 chain\n"
      "VarNew name=\"kept\" type=str value={\"new\"} scope=3 chain\n"
      "VarNew name=\"p\" type=int value={9} scope=3 chain\n"
      "VarNew name=\"i\" type=int value={13} scope=0 chain\n"  // redeclared: assigned again
      "VarNew name=\"gone\" type=int value={1} scope=0 chain\n"
      "VarDel name=\"gone\" chain\n"
      "VarDel name=\"never\" chain\n"
      "Wait\n");
  EXPECT_EQ(g.Int("i"), 13);
  EXPECT_EQ(g.vars.FindVariable("f")->Value->GetType(), kTypeFloat);
  EXPECT_EQ(g.Str("b"), "TRUE");
  EXPECT_EQ(g.Str("s"), "3");
  EXPECT_EQ(g.Str("kept"), "old");
  EXPECT_TRUE(g.vars.FindVariable("p")->IsPersistent);
  EXPECT_EQ(g.Int("p"), 9);
  EXPECT_EQ(g.vars.FindVariable("gone"), nullptr);
}

// ---- Flip

const char* FlipCommand(const char* time, const char* select, const char* lists, const char* clear) {
  static std::string text;
  text = Format("Flip transition={0} time={%s} reverse={} select={%s} lists=[%s] clear={%s} param0={} "
                "param1={} strparam={} nointerrupt={}",
                time, select, lists, clear);
  return text.c_str();
}

TEST(TComFlip, WithoutDurationMovesAndSwapsInTheFirstExecution) {
  struct Case {
    const char* select;
    bool keepMoves, otherMoves;
  };
  const Case cases[] = {
      {"0", false, true},  // all but the listed
      {"1", true, false},  // only the listed
      {"2", false, false},  // none
  };
  for (const Case& c : cases) {
    TestGame g;
    TOrinControl* keep = MakeBox(g, "keep");
    TOrinControl* other = MakeBox(g, "other");
    TOrinControl* cabinet = g.scene.Create(kKindCabinet)->AsControl();
    cabinet->Rename("cab");
    RunPage(g, std::string(FlipCommand("0", c.select, "{\"x\\ny\\nkeep\"}", "TRUE")) +
               " chain\nVarNew name=\"after\" type=int value={1} scope=0 chain\nWait\n");
    EXPECT_EQ(g.Int("after"), 1) << c.select;
    EXPECT_EQ(g.scene.ActiveIndex(), 1) << c.select;
    EXPECT_EQ(g.scene.Find(TOrinBaseList::kTopName), nullptr);
    // What moved is on the shown root now; what stayed was on the old screen and is cleared.
    EXPECT_EQ(g.scene.IsLive(keep), c.keepMoves) << c.select;
    EXPECT_EQ(g.scene.IsLive(other), c.otherMoves) << c.select;
    if (c.keepMoves) {
      EXPECT_EQ(keep->Parent(), &g.scene.ActiveRoot());
    }
    // Cabinets survive a clear.
    EXPECT_TRUE(g.scene.IsLive(cabinet)) << c.select;
  }
}

TEST(TComFlip, WithDurationKeepsASnapshotOnTopWhileObjectsMove) {
  TestGame g;
  TOrinControl* box = MakeBox(g, "box");
  box->SetBounds(0, 0, 8, 8);
  box->SetColor(255);
  g.AddPage("main.osb",
            std::string(FlipCommand("100", "0", "", "FALSE")) +
                " chain\nVarNew name=\"after\" type=int value={1} scope=0 chain\nWait\n");
  g.callMan->Start("main.osb");
  g.Frame();
  TOrinObject* top = g.scene.Find(TOrinBaseList::kTopName);
  ASSERT_NE(top, nullptr);
  EXPECT_EQ(top->AsControl()->Parent(), &g.scene.ActiveRoot());
  EXPECT_EQ(top->AsControl()->Width(), 64);
  EXPECT_EQ(box->Parent(), &g.scene.InactiveRoot());
  // The old picture is still what the active root shows.
  g.scene.Draw();
  EXPECT_EQ(g.scene.ActiveRoot().Surface().GetPixel(2, 2) & 0xFFFFFF, 0xFF0000u);
  EXPECT_EQ(g.vars.FindVariable("after"), nullptr);  // the flip yields in its first frame
  EXPECT_TRUE(g.callMan->CurrentCommand()->Blocking());
  g.Frame();  // no transition: done
  EXPECT_EQ(g.Int("after"), 1);
  EXPECT_EQ(g.scene.ActiveIndex(), 1);
  EXPECT_EQ(g.scene.Find(TOrinBaseList::kTopName), nullptr);
  EXPECT_TRUE(g.scene.IsLive(box));
}

class FakeTransition final : public SceneTransition {
 public:
  FakeTransition(int32_t duration, std::vector<int32_t>& steps) : duration_(duration), steps_(steps) {
    target_.SetSize(4, 4, 32);
  }
  bool Step(int32_t time) override {
    steps_.push_back(time);
    return time >= duration_;
  }
  ScreenSurface& Target() override { return target_; }

 private:
  int32_t duration_;
  std::vector<int32_t>& steps_;
  ScreenSurface target_;
};

class FakeTransitions final : public TransitionFactory {
 public:
  std::vector<FlipRequest> requests;
  std::vector<int32_t> steps;
  bool Start(TOrinBaseList& scene, const FlipRequest& r) override {
    requests.push_back(r);
    if (r.Kind == 0) return false;
    scene.SwitchActive(scene.ActiveIndex(), std::make_unique<FakeTransition>(r.Duration, steps));
    return true;
  }
};

class TransitionGame : public TestGame {
 public:
  FakeTransitions transitions;
  TransitionFactory* Transitions() override { return &transitions; }
};

TEST(TComFlip, RunsTheTransitionForItsDuration) {
  TransitionGame g;
  RunPage(g,
      "Flip transition={5} time={40} reverse={TRUE} select={} lists=[] clear={} param0={3} param1={} "
      "strparam={\"s\"} nointerrupt={TRUE} chain\n"
      "VarNew name=\"after\" type=int value={1} scope=0 chain\nWait\n");
  ASSERT_EQ(g.transitions.requests.size(), 1u);
  const FlipRequest& r = g.transitions.requests[0];
  EXPECT_EQ(r.Kind, 5);
  EXPECT_EQ(r.Duration, 40);
  EXPECT_TRUE(r.Reverse);
  EXPECT_EQ(r.Param0, 3);
  EXPECT_FALSE(r.Param1.has_value());
  EXPECT_EQ(r.StrParam, FromUtf8("s"));
  EXPECT_TRUE(g.callMan->CurrentCommand()->Uninterruptible());
  g.Frames(3);
  EXPECT_EQ(g.transitions.steps, (std::vector<int32_t>{0, 16, 32}));
  EXPECT_EQ(g.vars.FindVariable("after"), nullptr);
  EXPECT_EQ(g.scene.ActiveIndex(), 0);
  g.Frame();
  EXPECT_EQ(g.Int("after"), 1);
  EXPECT_EQ(g.scene.ActiveIndex(), 1);
  EXPECT_EQ(g.scene.Transition(), nullptr);
}

TEST(TComFlip, KindsAboveTheTableAndBadDurationsAreClamped) {
  TransitionGame g;
  RunPage(g,
      "Flip transition={39} time={-5} reverse={} select={} lists=[] clear={} param0={} param1={} "
      "strparam={} nointerrupt={} chain\nWait\n");
  ASSERT_EQ(g.transitions.requests.size(), 1u);
  EXPECT_EQ(g.transitions.requests[0].Kind, 0);
  EXPECT_EQ(g.transitions.requests[0].Duration, 1);
  EXPECT_FALSE(g.callMan->CurrentCommand()->Blocking());
}

// ---- Cabinets

TEST(TComCabinet, SaveAndLoadMoveObjectsAsideAcrossFlips) {
  TestGame g;
  TOrinBase& back = g.scene.InactiveRoot();
  TOrinControl* a = MakeBox(g, "a", &back);
  TOrinControl* b = MakeBox(g, "b", &back);
  TOrinControl* c = MakeBox(g, "c", &back);
  RunPage(g,
      "propset CabinetSave name\npropset CabinetLoad name\n"
      "CabinetSave mode={FALSE} names=[{\"a\"}, {\"c\"}] chain\n    name={\"cab\"}\n"
      "Wait\n");
  TOrinObject* cab = g.scene.Find("cab");
  ASSERT_NE(cab, nullptr);
  EXPECT_EQ(cab->Kind(), kKindCabinet);
  EXPECT_EQ(cab->AsControl()->Parent(), &g.scene.ActiveRoot());
  EXPECT_EQ(a->Parent(), cab->AsControl());
  EXPECT_EQ(c->Parent(), cab->AsControl());
  EXPECT_EQ(b->Parent(), &back);

  // Load with the selection inverted: everything but "a" comes back.
  g.AddPage("load.osb",
            "propset CabinetLoad name\n"
            "CabinetLoad mode={TRUE} names=[{\"a\"}] chain\n    name={\"cab\"}\n"
            "CabinetLoad mode={FALSE} names=[{\"a\"}] chain\n    name={\"cab\"}\n"
            "Wait\n");
  g.callMan->Start("load.osb");
  g.Frame();
  EXPECT_EQ(c->Parent(), &back);
  EXPECT_EQ(a->Parent(), &back);
  EXPECT_FALSE(g.scene.IsLive(cab));  // emptied, so deleted
}

TEST(TComCabinet, SavingNothingLeavesNoCabinet) {
  TestGame g;
  MakeBox(g, "a", &g.scene.InactiveRoot());
  RunPage(g, "propset CabinetSave name\nCabinetSave mode={} names=[{\"zzz\"}] chain\n    name={\"cab\"}\nWait\n");
  EXPECT_EQ(g.scene.Find("cab"), nullptr);
}

}  // namespace
}  // namespace orin
