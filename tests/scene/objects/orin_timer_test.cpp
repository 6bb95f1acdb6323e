// The event queue, timers and property animators.
#include <gtest/gtest.h>

#include <cmath>

#include "core/error.h"
#include "resources/stream.h"
#include "scene/objects/orin_prop_motion.h"
#include "scene/objects/orin_timer.h"
#include "scene/model/property_table.h"
#include "scene/model/timer_list.h"
#include "scene/scene_test_support.h"

namespace orin {
namespace {

using test::Scene;
using Lines = std::vector<std::string>;

TEST(TTimerList, PendingWaitingAndLevels) {
  Scene s;
  TOrinObject* a = s.list.Create(kKindTimer);
  TOrinObject* b = s.list.Create(kKindTimer);
  TTimerList q;
  const std::vector<std::string> args = {"1", "2"};
  q.Add(a, "p:a", &args, 36);
  q.Add(b, "p:b", nullptr, 36);
  q.Add(a, "p:a2", nullptr, 37);
  EXPECT_EQ(q.FindPending(a, 37), 2);
  EXPECT_EQ(q.FindPending(b, 37), -1);
  q.FirstWaiting()->Level = 3;
  EXPECT_EQ(q.FirstWaiting()->Label, "p:b");
  EXPECT_EQ(q.FindPending(a, 36), 0);  // running events are still pending
  q.FirstWaiting()->Level = 4;
  q.RemoveLevel(3);
  EXPECT_EQ(q.Count(), 2);
  q.RemoveOfObject(a);  // only the waiting one goes
  ASSERT_EQ(q.Count(), 1);
  EXPECT_EQ(q[0].Label, "p:b");
  q.RemoveHandled();
  EXPECT_EQ(q.Count(), 0);
}

TEST(TTimerList, SaveAndLoadAcrossTheLevelWidth) {
  Scene s;
  TOrinObject* a = s.list.Create(kKindTimer);
  a->Rename("t");
  TTimerList q;
  const std::vector<std::string> args = {"x", "\x83\x5C"};
  q.Add(a, "p:one", &args, 33).Level = 1;
  q.Add(nullptr, "p:two", nullptr, 43);
  MemoryStream m;
  q.Save(m, 134);
  m.SetPosition(0);
  TTimerList back;
  back.Load(m, 134, [&](const std::string& name) { return s.list.Find(name); });
  ASSERT_EQ(back.Count(), 2);
  EXPECT_EQ(back[0].Object, a);
  EXPECT_EQ(back[0].Args, args);
  EXPECT_EQ(back[0].Level, 1);
  EXPECT_EQ(back[1].Object, nullptr);
  EXPECT_EQ(back[1].Code, 43);

  // Before version 114 the level is one byte.
  MemoryStream old;
  WriteInt32(old, 1);
  WriteString(old, "p:old");
  WriteString(old, "t");
  WriteByte(old, 36);
  WriteByte(old, 1);
  WriteInt32(old, 0);
  old.SetPosition(0);
  back.Load(old, 113, [&](const std::string& name) { return s.list.Find(name); });
  ASSERT_EQ(back.Count(), 1);
  EXPECT_EQ(back[0].Level, 1);
  EXPECT_EQ(back[0].Object, a);

  // Counts beyond the data are refused without allocating for them.
  for (int32_t bad : {-1, 0x7FFFFFFF}) {
    MemoryStream b;
    WriteInt32(b, bad);
    b.SetPosition(0);
    EXPECT_THROW(back.Load(b, 134, [](const std::string&) { return nullptr; }), Error);
  }
}

TOrinTimer& MakeTimer(Scene& s, int32_t interval, const char* label = "p:tick") {
  auto* t = static_cast<TOrinTimer*>(s.list.Create(kKindTimer));
  t->SetLabel(label);
  t->SetInterval(interval);
  return *t;
}

TEST(TOrinTimer, IntervalZeroFiresEveryFrameButNeverTwice) {
  Scene s;
  MakeTimer(s, 0);
  s.Frame(16);
  s.Frame(16);
  EXPECT_EQ(s.Events(), (Lines{"33 p:tick"}));
  s.HandleEvents();
  s.Frame(16);
  EXPECT_EQ(s.Events(), (Lines{"33 p:tick"}));
}

// After a 250 ms frame a 100 ms timer queues one event and advances its last tick by one
// interval; it is due again on the next frames until it has caught up with the clock.
TEST(TOrinTimer, CatchesUpOneIntervalPerFrameAfterALongFrame) {
  Scene s;
  TOrinTimer& t = MakeTimer(s, 100);
  struct Step {
    int32_t delta;
    bool fires;
    int32_t lastTick;
  };
  const Step steps[] = {
      {250, true, 100},  // clock 250
      {10, true, 200},   // 260: still 160 behind
      {10, false, 200},  // 270: 70 behind
      {30, true, 300},   // 300
      {50, false, 300},
  };
  for (const Step& st : steps) {
    s.Frame(st.delta);
    EXPECT_EQ(s.list.Events().Count(), st.fires ? 1 : 0) << "at " << s.clock;
    EXPECT_EQ(t.LastTick(), st.lastTick) << "at " << s.clock;
    s.HandleEvents();
  }
}

TEST(TOrinTimer, OneShotDeletesItselfAfterItsEventWasHandled) {
  Scene s;
  TOrinTimer& t = MakeTimer(s, 50);
  test::SetFlag(t, kPropOneShot, true);
  const uint64_t serial = t.Serial();
  s.Frame(60);
  EXPECT_EQ(s.Events(), (Lines{"33 p:tick"}));
  // Running (level 1), the event is still pending: the timer waits.
  s.list.Events()[0].Level = 1;
  s.Frame(60);
  EXPECT_NE(s.list.FindBySerial(serial), nullptr);
  s.list.Events().RemoveLevel(1);
  s.Frame(60);
  EXPECT_EQ(s.list.FindBySerial(serial), nullptr);
}

TEST(TOrinTimer, ChangesRestartTheScheduleAndDropWaitingEvents) {
  Scene s;
  TOrinTimer& t = MakeTimer(s, 100);
  s.Frame(100);
  ASSERT_EQ(s.list.Events().Count(), 1);
  test::SetInt(t, kPropInterval, 40);
  EXPECT_EQ(s.list.Events().Count(), 0);
  EXPECT_EQ(t.LastTick(), 100);
  s.Frame(30);
  EXPECT_EQ(s.list.Events().Count(), 0);
  s.Frame(10);
  EXPECT_EQ(s.list.Events().Count(), 1);
  s.HandleEvents();
  test::SetFlag(t, kPropStopped, true);
  s.Frame(500);
  EXPECT_EQ(s.list.Events().Count(), 0);
  // A negative interval never fires; an empty label queues nothing.
  test::SetFlag(t, kPropStopped, false);
  test::SetInt(t, kPropInterval, -1);
  s.Frame(500);
  EXPECT_EQ(s.list.Events().Count(), 0);
  test::SetStr(t, kPropFireLabel, "");
  test::SetInt(t, kPropInterval, 0);
  s.Frame(16);
  EXPECT_EQ(s.list.Events().Count(), 0);
}

TOrinPropMotion& MakeAnimator(Scene& s, const std::string& target, int property, long double end, int32_t duration,
                              uint8_t easing = TOrinPropMotion::kLinear) {
  auto* a = static_cast<TOrinPropMotion*>(s.list.Create(kKindPropMotion));
  a->SetTargetName(target);
  a->SetPropertyNumber(static_cast<uint8_t>(property));
  a->SetEndValue(end);
  a->SetDuration(duration);
  a->SetEasing(easing);
  return *a;
}

// Duration 1000 from left 0 to 100 in frames of 333 ms: the start value on the first step (the
// step writes before it counts the frame), the eased values (taken as integers by truncation),
// then the exact end value once elapsed reaches 999, and the animator is gone.
TEST(TOrinPropMotion, WritesStartThenEasesThenTheExactEndAndDisappears) {
  Scene s;
  TOrinBox& box = s.Box("box", 7, 0, 1, 1);
  TOrinPropMotion& a = MakeAnimator(s, "box", kPropLeft, 100, 1000);
  const uint64_t serial = a.Serial();
  const int32_t expect[] = {7, 37, 68, 100};
  for (int i = 0; i < 4; ++i) {
    EXPECT_NE(s.list.FindBySerial(serial), nullptr) << i;
    s.Frame(333);
    EXPECT_EQ(box.Left(), expect[i]) << i;
  }
  EXPECT_EQ(s.list.FindBySerial(serial), nullptr);
}

TEST(TOrinPropMotion, EasingFormulas) {
  struct Case {
    uint8_t easing;
    int32_t e;
    long double expect;
  };
  const long double pi = 3.14159265358979323846264338327950288L;
  const Case cases[] = {
      {TOrinPropMotion::kLinear, 250, 25},
      {TOrinPropMotion::kSlowStart, 250, 100 - std::sin((1000 - 250 - 1) / 1000.0L * pi / 2) * 100},
      {TOrinPropMotion::kSlowEnd, 250, std::sin(250 / 1000.0L * pi / 2) * 100},
      {7, 500, 50},  // unknown easings are linear
  };
  for (const Case& c : cases)
    EXPECT_NEAR(static_cast<double>(TOrinPropMotion::Ease(c.easing, 0, 100, c.e, 1000)),
                static_cast<double>(c.expect), 1e-9)
        << int(c.easing);
  // Slow start creeps away from the start; slow end arrives gently.
  EXPECT_LT(TOrinPropMotion::Ease(TOrinPropMotion::kSlowStart, 0, 100, 100, 1000), 10);
  EXPECT_GT(TOrinPropMotion::Ease(TOrinPropMotion::kSlowEnd, 0, 100, 100, 1000), 10);
}

TEST(TOrinPropMotion, FinishesWithoutATargetOrProperty) {
  struct Case {
    const char* target;
    int property;
  };
  const Case cases[] = {{"missing", kPropLeft}, {"box", 162}, {"box", 255}, {"", kPropLeft}, {"box", 92}};
  for (const Case& c : cases) {
    Scene s;
    s.Box("box", 5, 0, 1, 1);
    const uint64_t serial = MakeAnimator(s, c.target, c.property, 50, 1000).Serial();
    s.Frame(16);
    EXPECT_EQ(s.list.FindBySerial(serial), nullptr) << c.target << " " << c.property;
    EXPECT_EQ(s.list.FindControl("box")->Left(), 5);
  }
  // Once found, a target that leaves the scene ends the animation.
  Scene s;
  TOrinBox& box = s.Box("box", 0, 0, 1, 1);
  const uint64_t serial = MakeAnimator(s, "box", kPropLeft, 50, 1000).Serial();
  s.Frame(16);
  box.Delete();
  s.Frame(16);
  EXPECT_EQ(s.list.FindBySerial(serial), nullptr);
}

TEST(TOrinPropMotion, StoppedAnimatorsWaitAndLoadedOnesGoOnWhereTheyWere) {
  Scene s;
  TOrinBox& box = s.Box("box", 0, 0, 1, 1);
  TOrinPropMotion& a = MakeAnimator(s, "box", kPropLeft, 100, 1000);
  test::SetFlag(a, kPropStopped, true);
  s.Frame(500);
  EXPECT_EQ(a.Elapsed(), 0);
  test::SetFlag(a, kPropStopped, false);
  s.Frame(500);
  s.Frame(0);
  EXPECT_EQ(box.Left(), 50);
  MemoryStream m;
  s.list.Save(m, kSceneSaveVersion);
  m.SetPosition(0);
  Scene t;
  t.list.Load(m, kSceneSaveVersion);
  TOrinControl* loaded = t.list.FindControl("box");
  ASSERT_NE(loaded, nullptr);
  // The saved start 0 is kept: the animation goes on from 50 to 75, where a new start taken at
  // 50 would jump to 75 and then 87.
  t.Frame(250);
  EXPECT_EQ(loaded->Left(), 50);
  t.Frame(0);
  EXPECT_EQ(loaded->Left(), 75);
}

}  // namespace
}  // namespace orin
