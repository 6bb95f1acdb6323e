// TCallMan: the run loop with its modes and levels, events, the page cache, calls and returns,
// the flow-control commands and the interpreter's save record.
#include <gtest/gtest.h>

#include "game_test_support.h"
#include "scene/objects/orin_box.h"
#include "script/commands_flow.h"
#include "script/game_save.h"

namespace orin {
namespace {

using test::TestGame;

const char* kLogVar = "VarNew name=\"log\" type=str value={\"\"} scope=0 chain\n";

// A box to be the sender of raised events (a handler without sender returns as the main script).
TOrinObject* Sender(TestGame& g, const char* name = "sender") {
  TOrinObject* box = g.scene.Create(kKindBox);
  box->Rename(name);
  return box;
}

TEST(TCallMan_RunLoop, NestedEventsRunWhileAHandlerBlocks) {
  TestGame g;
  g.AddPage("main.osb", std::string(kLogVar) + "Wait id=1\n");
  g.AddPage("a.osb",
            "Label \"a\" id=10 chain\n"
            "Calc {log = log ++ \"a\"} id=11 chain\n"
            "Wait time={48} id=12 chain\n"
            "Calc {log = log ++ \"A\"} id=13 chain\n");
  g.AddPage("b.osb", "Label \"b\" id=20 chain\nCalc {log = log ++ \"b\"} id=21 chain\n");
  TOrinObject* sender = Sender(g);
  g.callMan->Start("main.osb");
  g.Frame();
  EXPECT_EQ(g.callMan->Mode(), 0);

  g.Raise("a.osb:a", sender);
  g.Frame();
  EXPECT_EQ(g.Str("log"), "a");
  EXPECT_EQ(g.callMan->Mode(), 2);
  EXPECT_EQ(g.callMan->Level(), 2);
  EXPECT_EQ(g.callMan->StackCount(), 1);

  // A nested event runs at level 3 and returns to the blocked handler, whose Wait runs again.
  g.Raise("b.osb:b", sender);
  g.Frame();
  EXPECT_EQ(g.Str("log"), "ab");
  EXPECT_EQ(g.callMan->Mode(), 2);
  EXPECT_EQ(g.callMan->Level(), 2);
  ASSERT_EQ(g.scene.Events().Count(), 1);  // the running handler's event stays until it returns
  EXPECT_EQ(g.scene.Events()[0].Level, 1);

  g.Frame();
  EXPECT_EQ(g.Str("log"), "ab");
  // 48 ms after the frame that entered it the Wait ends; a blocking command ends the handler's
  // frame even when it is done, so the handler goes on in the next one.
  g.Frame();
  EXPECT_EQ(g.Str("log"), "ab");
  EXPECT_EQ(g.callMan->Mode(), 2);
  g.Frame();
  EXPECT_EQ(g.Str("log"), "abA");
  EXPECT_EQ(g.callMan->Mode(), 0);
  EXPECT_EQ(g.callMan->StackCount(), 0);
  EXPECT_EQ(g.scene.Events().Count(), 0);
  EXPECT_TRUE(g.callMan->Started());  // back in the main script's Wait
}

TEST(TCallMan_RunLoop, BlockedNestedHandlerKeepsItsLevel) {
  TestGame g;
  g.AddPage("main.osb", std::string(kLogVar) + "Wait id=1\n");
  g.AddPage("a.osb", "Wait time={32} id=10 chain\nCalc {log = log ++ \"A\"} id=11 chain\n");
  g.AddPage("b.osb", "Wait time={16} id=20 chain\nCalc {log = log ++ \"B\"} id=21 chain\n");
  TOrinObject* sender = Sender(g);
  g.callMan->Start("main.osb");
  g.Frame();
  g.Raise("a.osb", sender);
  g.Frame();
  g.Raise("b.osb", sender);
  g.Frame();
  EXPECT_EQ(g.callMan->Mode(), 2);
  EXPECT_EQ(g.callMan->Level(), 3);
  EXPECT_EQ(g.callMan->StackCount(), 2);
  g.Frame();  // b's Wait ends, and with it the frame
  EXPECT_EQ(g.Str("log"), "");
  EXPECT_EQ(g.callMan->Level(), 3);
  g.Frame();  // b returns; a's Wait runs again at level 2
  EXPECT_EQ(g.Str("log"), "B");
  EXPECT_EQ(g.callMan->Level(), 2);
  g.Frames(2);
  EXPECT_EQ(g.Str("log"), "BA");
  EXPECT_EQ(g.callMan->Mode(), 0);
}

TEST(TCallMan_RunLoop, HandlerCallsReturnIntoTheHandler) {
  TestGame g;
  g.AddPage("main.osb", std::string(kLogVar) + "Wait id=1\n");
  g.AddPage("h.osb",
            "Call page=\"f.osb\" target=0 result=\"\" cond={TRUE} id=10 chain\n"
            "Calc {log = log ++ \"h\"} id=11 chain\n");
  g.AddPage("f.osb", "Calc {log = log ++ \"f\"} id=20\n");
  TOrinObject* sender = Sender(g);
  g.callMan->Start("main.osb");
  g.Frame();
  g.Raise("h.osb", sender);
  g.Frame();
  // A handler runs to its end in one frame, chain flags or not.
  EXPECT_EQ(g.Str("log"), "fh");
  EXPECT_EQ(g.callMan->Mode(), 0);
}

TEST(TCallMan_RunLoop, UninterruptibleWaitHoldsEventsUntilItEnds) {
  TestGame g;
  g.AddPage("main.osb", std::string(kLogVar) +
                            "Wait time={64} nointerrupt={TRUE} id=1 chain\n"
                            "Calc {log = log ++ \"m\"} id=2 chain\n"
                            "Wait id=3\n");
  g.AddPage("h.osb", "Calc {log = log ++ \"h\"} id=10 chain\n");
  TOrinObject* sender = Sender(g);
  g.callMan->Start("main.osb");
  g.Frame();
  g.Raise("h.osb", sender);
  for (int i = 0; i < 3; ++i) {
    g.Frame();
    EXPECT_EQ(g.Str("log"), "") << i;
  }
  g.Frame();
  // The event starts between the Wait and the next command.
  EXPECT_EQ(g.Str("log"), "hm");
}

TEST(TCallMan_RunLoop, EndOfMainScriptStillStartsEvents) {
  TestGame g;
  g.AddPage("main.osb", std::string(kLogVar) + "Calc {log = log ++ \"m\"} id=1 chain\n");
  g.AddPage("h.osb", "Calc {log = log ++ \"h\"} id=10\n");
  g.callMan->Start("main.osb");
  g.Frames(3);
  EXPECT_EQ(g.Str("log"), "m");
  g.Raise("h.osb", Sender(g));
  g.Frame();
  EXPECT_EQ(g.Str("log"), "mh");
  g.Frames(2);
  EXPECT_EQ(g.Str("log"), "mh");
}

TEST(TCallMan_RunLoop, ReturnToAPageThatIsGoneLeavesNoScriptButEventsRun) {
  TestGame g;
  g.AddPage("main.osb", std::string(kLogVar) + "Call page=\"f.osb\" target=0 result=\"\" cond={TRUE} chain\nWait\n");
  g.AddPage("f.osb", "Wait time={32} chain\nCalc {log = log ++ \"f\"} chain\n");
  g.AddPage("h.osb", "Calc {log = log ++ \"h\"}\n");
  g.callMan->Start("main.osb");
  g.Frame();
  // The page to return to disappears from the cache and the files.
  for (int i = 0; i < TCallMan::kPageCacheLimit; ++i) {
    g.AddPage(Format("p%d.osb", i), "Wait\n");
    g.callMan->LoadPage(Format("p%d.osb", i));
  }
  g.files.Items(0).RemoveEntry("main.osb");
  g.files.Caches.DropByName("main.osb");
  g.Frames(3);
  EXPECT_EQ(g.Str("log"), "f");
  EXPECT_EQ(g.callMan->CurrentPage(), nullptr);
  g.Raise("h.osb", Sender(g));
  g.Frames(2);
  EXPECT_EQ(g.Str("log"), "fh");
  EXPECT_EQ(g.callMan->Mode(), 0);
}

TEST(TCallMan_Wait, DurationCountsFromTheFrameAfterTheEntry) {
  TestGame g;
  g.AddPage("main.osb", "VarNew name=\"done\" type=int value={0} scope=0 chain\n"
                        "Wait time={100} id=1 chain\nCalc {done = 1} id=2 chain\nWait id=3\n");
  g.callMan->Start("main.osb");
  g.Frame();  // enters the Wait
  for (int i = 0; i < 6; ++i) g.Frame();
  EXPECT_EQ(g.Int("done"), 0);  // 96 ms after the entry
  g.Frame();
  EXPECT_EQ(g.Int("done"), 1);  // 112 ms
}

TEST(TCallMan_Wait, ConditionAloneWaitsWhileTrue) {
  TestGame g;
  g.AddPage("main.osb", "VarNew name=\"go\" type=int value={0} scope=0 chain\n"
                        "VarNew name=\"done\" type=int value={0} scope=0 chain\n"
                        "Wait cond={go == 0} id=1 chain\nCalc {done = 1} id=2 chain\nWait id=3\n");
  g.callMan->Start("main.osb");
  g.Frames(5);
  EXPECT_EQ(g.Int("done"), 0);
  g.vars.FindVariable("go")->Value->SetAsInt(1);
  g.Frame();
  EXPECT_EQ(g.Int("done"), 1);
}

TEST(TCallMan_Events, LabelsNamePageAndLabel) {
  struct Case {
    const char* label;
    const char* expected;  // the first command the handler ran
  };
  const Case cases[] = {
      {"ev.osb:second", "ev.osb(2)"},
      {"ev.txt:second", "ev.osb(2)"},  // another extension opens the .osb of the same name
      {"ev.osb:missing", "ev.osb(1)"},
      {"ev.osb", "ev.osb(1)"},
      {"ev.osb:", "ev.osb(1)"},
  };
  for (const Case& c : cases) {
    TestGame g;
    g.AddPage("main.osb", "Wait id=1\n");
    g.AddPage("ev.osb", "Label \"first\" id=1 chain\nLabel \"second\" id=2 chain\n");
    g.callMan->Start("main.osb");
    g.Frame();
    g.Raise(c.label, Sender(g));
    g.Frame();
    ASSERT_GE(g.trace.size(), 2u) << c.label;
    const std::vector<std::string> executed = g.Executed();
    ASSERT_GE(executed.size(), 3u) << c.label;
    EXPECT_EQ(executed[1], std::string("<Event>") + c.expected) << c.label;
    EXPECT_EQ(executed[2], c.expected) << c.label;
  }
}

TEST(TCallMan_Events, UnavailablePageHoldsTheQueue) {
  TestGame g;
  g.AddPage("main.osb", std::string(kLogVar) + "Wait id=1\n");
  g.AddPage("late.osb", "Calc {log = log ++ \"L\"} id=1\n");
  g.AddPage("next.osb", "Calc {log = log ++ \"N\"} id=1\n");
  g.unavailable.insert("late.osb");
  g.callMan->Start("main.osb");
  g.Frame();
  TOrinObject* sender = Sender(g);
  g.Raise("late.osb", sender);
  g.Raise("next.osb", sender);
  g.Frames(3);
  EXPECT_EQ(g.Str("log"), "");
  EXPECT_EQ(g.scene.Events().Count(), 2);
  g.unavailable.clear();
  g.Frame();
  EXPECT_EQ(g.Str("log"), "LN");
}

// A page that exists nowhere (not in the game, on no disc) never comes: its event goes, and the
// events behind it run. (A page on a disc that is not inserted waits: see above.)
TEST(TCallMan_Events, PageThatIsNowhereIsDropped) {
  TestGame g;
  g.AddPage("main.osb", std::string(kLogVar) + "Wait id=1\n");
  g.AddPage("next.osb", "Calc {log = log ++ \"N\"} id=1\n");
  g.callMan->Start("main.osb");
  g.Frame();
  g.Raise("gone.osb:label", Sender(g));
  g.Raise("next.osb", Sender(g, "other"));
  g.Frame();
  EXPECT_EQ(g.Str("log"), "N");
  EXPECT_EQ(g.scene.Events().Count(), 0);
  EXPECT_TRUE(
      g.log.Has("script: the event gone.osb:label was dropped: its page gone.osb is nowhere"))
      << g.log.Lines.size();
  bool traced = false;
  for (const std::string& line : g.trace)
    traced |= line.find("-- the event gone.osb:label was dropped") != std::string::npos;
  EXPECT_TRUE(traced);
}

TEST(TCallMan_Events, UnreadablePageIsDropped) {
  TestGame g;
  g.AddPage("main.osb", std::string(kLogVar) + "Wait id=1\n");
  g.AddFile("bad.osb", "damaged");
  g.AddPage("next.osb", "Calc {log = log ++ \"N\"} id=1\n");
  g.callMan->Start("main.osb");
  g.Frame();
  g.Raise("bad.osb", Sender(g));
  g.Raise("next.osb", Sender(g, "other"));
  g.Frames(2);
  EXPECT_EQ(g.Str("log"), "N");
  EXPECT_EQ(g.scene.Events().Count(), 0);
}

TEST(TCallMan_Pages, CacheKeepsTenPagesButNeverTheCurrent) {
  TestGame g;
  for (int i = 0; i <= 11; ++i) g.AddPage(Format("p%d.osb", i), "Wait\n");
  g.callMan->Start("p0.osb");
  for (int i = 1; i <= 10; ++i) g.callMan->LoadPage(Format("p%d.osb", i));
  // p0 is the oldest but current: nothing more can go.
  EXPECT_EQ(g.callMan->Pages().size(), 11u);
  EXPECT_EQ(g.callMan->Pages().back()->Name, "p0.osb");

  g.callMan->LoadPage("p0.osb");  // moves to the front without loading
  EXPECT_EQ(g.callMan->Pages().front()->Name, "p0.osb");
  g.callMan->LoadPage("p11.osb");
  ASSERT_EQ(g.callMan->Pages().size(), 10u);
  for (const auto& p : g.callMan->Pages()) {
    EXPECT_NE(p->Name, "p1.osb");
    EXPECT_NE(p->Name, "p2.osb");
  }
  EXPECT_EQ(g.callMan->CurrentPage()->Name, "p0.osb");
}

TEST(TCallMan_Pages, NamesAreCaseSensitiveAndFailedLoadsAreNotKept) {
  TestGame g;
  g.AddPage("page.osb", "Wait\n");
  TPage* a = g.callMan->LoadPage("page.osb");
  TPage* b = g.callMan->LoadPage("PAGE.osb");
  EXPECT_NE(a, b);
  EXPECT_THROW(g.callMan->LoadPage("missing.osb"), Error);
  EXPECT_EQ(g.callMan->Pages().size(), 2u);
}

TEST(TCallMan_Calls, ArgumentsResultAndFrameVariables) {
  TestGame g;
  g.AddPage("main.osb",
            "VarNew name=\"x\" type=int value={1} scope=0 chain\n"
            "VarNew name=\"r\" type=int value={0} scope=0 chain\n"
            "VarNew name=\"after\" type=int value={0} scope=0 chain\n"
            "Call page=\"f.osb\" target=0 result=\"r\" cond={TRUE} args=[{5}, {}, {\"b\"}] id=1 chain\n"
            "Calc {after = x} id=2 chain\n"
            "Wait id=3\n");
  g.AddPage("f.osb",
            "page version=110 return=int\n"
            "VarNew name=\"x\" type=int value={100} scope=2 chain\n"
            "VarNew name=\"owned\" type=int value={7} scope=1 chain\n"
            "Calc {@Result = x + StrToIntDef(@ParamStr[0], 0) + @ParamCount * 1000 + @StackCount * 10000} chain\n");
  g.callMan->Start("main.osb");
  g.Frame();
  // The empty argument passes nothing: two arguments, the local x hides the global one.
  EXPECT_EQ(g.Int("r"), 100 + 5 + 2000 + 10000);
  EXPECT_EQ(g.Int("after"), 1);
  EXPECT_EQ(g.vars.FindVariable("owned"), nullptr);
  EXPECT_EQ(g.vars.CurrentFrame, 0);
  EXPECT_EQ(g.callMan->StackCount(), 0);
}

TEST(TCallMan_Calls, ConditionAndUnavailablePageSkipTheCall) {
  TestGame g;
  g.AddPage("main.osb",
            "VarNew name=\"n\" type=int value={0} scope=0 chain\n"
            "Call page=\"f.osb\" target=0 result=\"\" cond={FALSE} chain\n"
            "Call page=\"f.osb\" target=0 result=\"\" cond={} chain\n"
            "Call page=\"gone.osb\" target=0 result=\"\" cond={TRUE} chain\n"
            "Jump page=\"gone.osb\" target=0 cond={TRUE} chain\n"
            "Calc {n = n + 10} chain\n"
            "Wait\n");
  g.AddPage("f.osb", "Calc {n = n + 1} chain\n");
  g.callMan->Start("main.osb");
  g.Frame();
  EXPECT_EQ(g.Int("n"), 10);
}

TEST(TCallMan_Flow, BranchChains) {
  const char* page =
      "VarNew name=\"out\" type=int value={0} scope=0 chain\n"
      "VarNew name=\"tail\" type=int value={0} scope=0 chain\n"
      "If {c == 1} chain\n"
      "  Calc {out = 1} chain\n"
      "  If {TRUE} chain\n"
      "    Calc {out = out + 10} chain\n"
      "  Else chain\n"
      "    Calc {out = out + 20} chain\n"
      "Elseif {c == 2} chain\n"
      "  Calc {out = 2} chain\n"
      "Elseif {c == 3} chain\n"
      "  Calc {out = 3} chain\n"
      "Else chain\n"
      "  Calc {out = 4} chain\n"
      "Calc {tail = 1} chain\n"
      "Wait\n";
  const int expected[] = {4, 11, 2, 3, 4};
  for (int c = 0; c <= 4; ++c) {
    TestGame g;
    g.vars.AddVariable(kTypeInt, "c").Value->SetAsInt(c);
    g.AddPage("main.osb", page);
    g.callMan->Start("main.osb");
    g.Frame();
    EXPECT_EQ(g.Int("out"), expected[c]) << c;
    EXPECT_EQ(g.Int("tail"), 1) << c;
  }
}

TEST(TCallMan_Flow, LoopsWithBreakAndContinue) {
  TestGame g;
  g.AddPage("main.osb",
            "VarNew name=\"i\" type=int value={0} scope=0 chain\n"
            "VarNew name=\"s\" type=int value={0} scope=0 chain\n"
            "VarNew name=\"fin\" type=int value={0} scope=0 chain\n"
            "WhileInit {i = 0}\n"
            "loop: While {i < 10} exit=@done chain\n"
            "  Continue {i % 2 == 1} target=@step chain\n"
            "  Calc {s = s + i} chain\n"
            "  Break {i == 6} target=@done chain\n"
            "step: WhileLoop {i = i + 1} start=@loop chain\n"
            "done: Calc {fin = 1} chain\n"
            "Wait\n");
  g.callMan->Start("main.osb");
  g.Frame();
  EXPECT_EQ(g.Int("s"), 0 + 2 + 4 + 6);
  EXPECT_EQ(g.Int("i"), 6);
  EXPECT_EQ(g.Int("fin"), 1);
}

TEST(TCallMan_Flow, ExitAndBreakLeaveTheCalledPage) {
  TestGame g;
  g.AddPage("main.osb",
            "VarNew name=\"n\" type=int value={0} scope=0 chain\n"
            "Call page=\"f.osb\" target=0 result=\"\" cond={TRUE} chain\n"
            "Call page=\"g.osb\" target=0 result=\"\" cond={TRUE} chain\n"
            "Wait\n");
  g.AddPage("f.osb", "Exit {FALSE} chain\nCalc {n = n + 1} chain\nExit {TRUE} chain\nCalc {n = n + 100} chain\n");
  g.AddPage("g.osb", "Break {TRUE} target=-1 chain\nCalc {n = n + 1000} chain\n");
  g.callMan->Start("main.osb");
  g.Frame();
  EXPECT_EQ(g.Int("n"), 1);
}

TEST(TCallMan_Flow, ChainFlagDecidesWhatRunsInOneFrame) {
  TestGame g;
  g.AddPage("main.osb",
            "VarNew name=\"n\" type=int value={0} scope=0 chain\n"
            "Calc {n = n + 1}\n"
            "Calc {n = n + 1}\n"
            "DoEvent\n"
            "Calc {n = n + 1} chain\n");
  g.callMan->Start("main.osb");
  std::vector<int> seen;
  for (int i = 0; i < 4; ++i) {
    g.Frame();
    seen.push_back(g.Int("n"));
  }
  EXPECT_EQ(seen, (std::vector<int>{1, 2, 2, 3}));
}

TEST(TCallMan_Flow, ErrorsAreSwallowedPerCommand) {
  TestGame g;
  g.AddPage("main.osb",
            "VarNew name=\"\" type=int value={0} scope=0 chain\n"  // "変数名がありません"
            "SetProp object={\"sender\"} prop={} value={1} chain\n"  // no property number
            "VarNew name=\"n\" type=int value={5} scope=0 chain\n"
            "Wait\n");
  Sender(g);
  g.callMan->Start("main.osb");
  g.Frame();
  EXPECT_EQ(g.Int("n"), 5);
}

// A failure is said in the trace every time and in the log once in a row: a command failing in
// every pass of a loop does not flood the log.
TEST(TCallMan_Flow, FailingCommandsLeaveATraceAndALogLine) {
  TestGame g;
  g.AddPage("main.osb",
            "VarNew name=\"i\" type=int value={0} scope=0 chain\n"
            "WhileInit {i = 0} chain\n"
            "loop: While {i < 3} exit=@done chain\n"
            "  VarNew name=\"\" type=int value={0} scope=0 id=5 chain\n"
            "  WhileLoop {i = i + 1} start=@loop chain\n"
            "done: SetProp object={\"sender\"} prop={} value={1} id=7 chain\n"
            "Wait\n");
  Sender(g);
  g.callMan->Start("main.osb");
  g.Frame();
  EXPECT_EQ(g.Int("i"), 3);
  int traced = 0;
  for (const std::string& line : g.trace)
    traced += line.find("-- main.osb(5): 変数名がありません") != std::string::npos;
  EXPECT_EQ(traced, 3);
  ASSERT_EQ(g.log.Lines.size(), 2u);
  EXPECT_EQ(g.log.Lines[0], "00000010 warn  script: main.osb(5): 変数名がありません");
  EXPECT_EQ(g.log.Lines[1], "00000010 warn  script: main.osb(7): プロパティ指定が不正です");
}

TEST(TCallMan_Flow, JumpToAMissingPageIsLogged) {
  TestGame g;
  g.AddPage("main.osb", "Jump page=\"gone.osb\" target=0 cond={TRUE} chain\nWait\n");
  g.callMan->Start("main.osb");
  g.Frames(3);
  EXPECT_EQ(g.callMan->Index(), 1);
  ASSERT_EQ(g.log.Lines.size(), 1u);
  EXPECT_NE(g.log.Lines[0].find("files: gone.osb: the page is not available"), std::string::npos);
}

// A page that calls itself without end: the Call that would go past the bound fails like any
// failing command, and the chain unwinds within the frame.
TEST(TCallMan_Calls, RunawayCallChainIsBounded) {
  TestGame g;
  g.AddPage("main.osb",
            "VarNew name=\"n\" type=int value={0} scope=0 chain\n"
            "VarNew name=\"done\" type=int value={0} scope=0 chain\n"
            "Call page=\"r.osb\" target=0 result=\"\" cond={TRUE} chain\n"
            "Calc {done = 1} chain\n"
            "Wait\n");
  g.AddPage(
      "r.osb",
      "Calc {n = n + 1} chain\nCall page=\"r.osb\" target=0 result=\"\" cond={TRUE} id=2 chain\n");
  g.callMan->Start("main.osb");
  g.Frame();
  EXPECT_EQ(g.Int("n"), TCallMan::kMaxCallDepth);
  EXPECT_EQ(g.Int("done"), 1);
  EXPECT_EQ(g.callMan->StackCount(), 0);
  ASSERT_EQ(g.log.Lines.size(), 1u);
  EXPECT_NE(g.log.Lines[0].find("r.osb(2): r.osb: the call chain is 10000 calls deep"),
            std::string::npos)
      << g.log.Lines[0];
}

// A loop that never yields: the shell is asked in now and then, the run is said once, and a
// closing flag the shell sets stops the run.
TEST(TCallMan_RunLoop, RunawayLoopAsksTheShellAndStopsWhenItCloses) {
  TestGame g;
  g.AddPage("main.osb",
            "VarNew name=\"i\" type=int value={0} scope=0 chain\n"
            "loop: While {TRUE} exit=@done chain\n"
            "  WhileLoop {i = i + 1} start=@loop chain\n"
            "done: Wait\n");
  g.callMan->Start("main.osb");
  int calls = 0;
  g.busy = [&] {
    ++calls;
    if (calls == 6) g.closing = true;
    return static_cast<uint32_t>(calls * 500);
  };
  g.Frame();
  EXPECT_EQ(calls, 6);
  EXPECT_GE(g.Int("i"), 5 * TCallMan::kBusyEvery / 2);
  ASSERT_EQ(g.log.Lines.size(), 2u);
  EXPECT_NE(
      g.log.Lines[0].find("script: the script has not yielded for 1 s (in main.osb at command"),
      std::string::npos)
      << g.log.Lines[0];
  EXPECT_NE(
      g.log.Lines[1].find("script: the run stops: the game closes after 3000 ms without a yield"),
      std::string::npos)
      << g.log.Lines[1];
  int noted = 0;
  for (const std::string& line : g.trace)
    noted += line.find("-- the script has not yielded") != std::string::npos;
  EXPECT_EQ(noted, 1);
}

TEST(TCallMan_Flow, TerminateStopsWhereItIs) {
  TestGame g;
  g.AddPage("main.osb", "Terminate id=1 chain\nCalc {x = 1} id=2 chain\n");
  g.callMan->Start("main.osb");
  g.Frame();
  EXPECT_TRUE(g.closing);
  EXPECT_TRUE(g.closePosted);
  EXPECT_EQ(g.callMan->Index(), 0);
  EXPECT_FALSE(g.Ran("main.osb(2)"));
}

TEST(TCallMan_Trace, LinesNameClockPageAndId) {
  TestGame g;
  g.AddPage("main.osb", "Wait id=7\n");
  g.AddPage("h.osb", "Calc {x = 1} id=9\n");
  g.callMan->Start("main.osb");
  g.clock = 0x1234 - 16;
  g.Frame();
  g.Frame();
  g.Raise("h.osb", Sender(g));
  g.Frame();
  ASSERT_GE(g.trace.size(), 4u);
  EXPECT_EQ(g.trace[0], "00001234 : main.osb(7)");
  EXPECT_EQ(g.trace[1], "00001254 : <Event>h.osb(9)");
  EXPECT_EQ(g.trace[2], "00001254 : h.osb(9)");
  // The Wait is traced again: another command ran since.
  EXPECT_EQ(g.trace[3], "00001254 : main.osb(7)");
}

TEST(TCallMan_Resets, PCResetWithoutFlagInTheMainScriptIsAJump) {
  TestGame g;
  g.AddPage("main.osb",
            "VarNew name=\"n\" type=int value={0} scope=0 chain\n"
            "Call page=\"f.osb\" target=0 result=\"\" cond={TRUE} chain\n"
            "Wait\n");
  g.AddPage("f.osb",
            "PCReset page=\"f.osb\" index=@there flag=0 chain\n"
            "Calc {n = 100} chain\n"
            "there: Calc {n = n + 1} chain\n");
  g.callMan->Start("main.osb");
  g.Frame();
  EXPECT_EQ(g.Int("n"), 1);
  EXPECT_EQ(g.callMan->StackCount(), 0);  // returned from f as a call does
}

TEST(TCallMan_Resets, PCResetWithoutFlagRedirectsTheMainScriptFromAHandler) {
  TestGame g;
  g.AddPage("main.osb",
            "VarNew name=\"n\" type=int value={0} scope=0 chain\n"
            "Wait\n"
            "Calc {n = -1} chain\n"
            "there: Calc {n = n + 1} chain\n"
            "Wait\n");
  g.AddPage("h.osb", "PCReset page=\"main.osb\" index=3 flag=0 chain\nCalc {n = n + 10} chain\n");
  g.callMan->Start("main.osb");
  g.Frame();
  g.Raise("h.osb", Sender(g));
  g.Frame();
  // The handler went on (10), then returned to the new place (+1).
  EXPECT_EQ(g.Int("n"), 11);
}

TEST(TCallMan_Resets, PCResetWithFlagDropsTheStackAndFinishesAFlip) {
  TestGame g;
  g.AddPage("main.osb",
            "VarNew name=\"n\" type=int value={0} scope=0 chain\n"
            "Flip transition={0} time={500} reverse={} select={} lists=[] clear={TRUE} param0={} param1={} "
            "strparam={} nointerrupt={} chain\n"
            "Calc {n = -1} chain\n"
            "Wait\n"
            "there: Calc {n = n + 1} chain\n"
            "Wait\n");
  g.callMan->Start("main.osb");
  TOrinObject* old = g.scene.Create(kKindBox);
  old->Rename("old");
  TOrinObject* cabinet = g.scene.Create(kKindCabinet);
  cabinet->Rename("cab");
  g.Frame();  // the flip shows its start
  EXPECT_EQ(g.scene.ActiveIndex(), 0);
  g.AddPage("h.osb", "PCReset page=\"main.osb\" index=4 flag=1 chain\nCalc {n = 100} chain\n");
  g.Raise("h.osb", Sender(g));
  g.Frame();
  EXPECT_EQ(g.Int("n"), 1);
  EXPECT_EQ(g.callMan->StackCount(), 0);
  EXPECT_EQ(g.callMan->Mode(), 0);
  // The flip finished at once: roots swapped and everything on the old screen deleted, cabinets too.
  EXPECT_EQ(g.scene.ActiveIndex(), 1);
  EXPECT_FALSE(g.scene.IsLive(old));
  EXPECT_FALSE(g.scene.IsLive(cabinet));
  EXPECT_EQ(g.scene.Events().Count(), 0);
}

TEST(TCallMan_Resets, ResetClearsTheGameAndStartsThePage) {
  TestGame g;
  g.AddPage("main.osb",
            "VarNew name=\"n\" type=int value={5} scope=0 chain\n"
            "VarNew name=\"keep\" type=int value={5} scope=3 chain\n"
            "Reset page=\"next.osb\" index=1 flag=0 chain\n");
  g.AddPage("next.osb", "Calc {seen = 1} chain\nVarNew name=\"m\" type=int value={keep} scope=0 chain\nWait\n");
  g.scene.Create(kKindBox)->Rename("box");
  g.tables.CreateTable("t", false);
  g.callMan->Start("main.osb");
  g.Frame();
  EXPECT_EQ(g.vars.FindVariable("n"), nullptr);
  EXPECT_EQ(g.Int("keep"), 5);
  EXPECT_EQ(g.Int("m"), 5);
  EXPECT_EQ(g.scene.Find("box"), nullptr);
  EXPECT_EQ(g.tables.Count(), 0);
  EXPECT_EQ(g.callMan->CurrentPage()->Name, "next.osb");
}

TEST(TCallMan_Save, StateRecordHeaderVersions) {
  struct Case {
    std::string bytes;
    bool readsLastByte;
  };
  const std::string body("\x10\x00\x00\x00\x01\x00\x00\x00\x01", 9);
  const Case cases[] = {
      {"orin100" + body, true},
      {"orin099" + body, false},
      {body, false},  // no header: version 0, read from the first byte
  };
  for (const Case& c : cases) {
    TPage page;
    auto& wait = page.Add<TComWait>(ComKind::Wait);
    MemoryStream s;
    s.Assign(c.bytes);
    wait.LoadState(s);
    EXPECT_EQ(s.Remaining(), c.readsLastByte ? 0 : 1);
    EXPECT_EQ(wait.Uninterruptible(), c.readsLastByte);
    std::unique_ptr<MemoryStream> saved;
    wait.SaveState(saved);
    ASSERT_TRUE(saved);
    EXPECT_EQ(saved->View().substr(0, 7), "orin100");
    EXPECT_EQ(saved->View().substr(7, 8), body.substr(0, 8));
  }
}

// The slot record round trip: a call frame and a Wait begun inside the called page.
TEST(TCallMan_Save, SlotRestoresTheCallStackAndAStartedWait) {
  const char* mainPage =
      "VarNew name=\"r\" type=int value={0} scope=0 chain\n"
      "VarNew name=\"after\" type=int value={0} scope=0 chain\n"
      "Call page=\"w.osb\" target=0 result=\"r\" cond={TRUE} args=[{\"arg\"}] id=1 chain\n"
      "Calc {after = 1} id=2 chain\n"
      "Wait id=3\n";
  const char* waitPage =
      "page version=110 return=int\n"
      "VarNew name=\"p\" type=str value={@ParamStr[0]} scope=2 chain\n"
      "Wait time={160} id=10 chain\n"
      "Calc {@Result = 5} id=11 chain\n";
  MemoryStream slot;
  {
    TestGame g;
    g.AddPage("main.osb", mainPage);
    g.AddPage("w.osb", waitPage);
    g.callMan->Start("main.osb");
    g.Frames(3);  // 32 ms counted
    WriteSlot(slot, g, *g.callMan, FromUtf8("caption"), "", 0);
  }
  TestGame g;
  g.AddPage("main.osb", mainPage);
  g.AddPage("w.osb", waitPage);
  slot.SetPosition(0);
  ReadSlot(slot, g, *g.callMan);
  EXPECT_EQ(slot.Remaining(), 0);
  EXPECT_EQ(g.callMan->StackCount(), 1);
  EXPECT_EQ(g.vars.CurrentFrame, 1);
  EXPECT_EQ(g.callMan->Arg(0), "arg");
  EXPECT_EQ(g.Str("p"), "arg");
  EXPECT_TRUE(g.callMan->Started());
  g.Frames(7);
  EXPECT_EQ(g.Int("after"), 0);
  g.Frame();  // 160 ms counted
  EXPECT_EQ(g.Int("after"), 1);
  EXPECT_EQ(g.Int("r"), 5);
  EXPECT_EQ(g.callMan->StackCount(), 0);
}

TEST(TCallMan_Save, ResumePageRunsFirstAndReturns) {
  const char* mainPage =
      "VarNew name=\"log\" type=str value={\"\"} scope=0 chain\n"
      "Calc {log = log ++ \"1\"} id=1\n"
      "Calc {log = log ++ \"2\"} id=2 chain\n"
      "Wait id=3\n";
  MemoryStream slot;
  {
    TestGame g;
    g.AddPage("main.osb", mainPage);
    g.callMan->Start("main.osb");
    g.Frame();
    WriteSlot(slot, g, *g.callMan, FromUtf8("c"), "resume.osb", 1);
  }
  TestGame g;
  g.AddPage("main.osb", mainPage);
  g.AddPage("resume.osb", "Calc {log = log ++ \"x\"} chain\nCalc {log = log ++ \"R\"} chain\n");
  slot.SetPosition(0);
  ReadSlot(slot, g, *g.callMan);
  g.Frame();
  EXPECT_EQ(g.Str("log"), "1R");
  // The saved place comes back with its chain flag: the command that yielded there yields again.
  g.Frame();
  EXPECT_EQ(g.Str("log"), "1R2");
}

TEST(TCallMan_Save, DamagedInterpreterRecordsAreRefused) {
  TestGame g;
  g.AddPage("main.osb", "Wait\n");
  g.callMan->Start("main.osb");
  g.Frame();
  MemoryStream good;
  g.callMan->Save(good);
  const std::string bytes(good.View());
  // Every cut of the record fails cleanly.
  for (size_t n = 0; n < bytes.size(); ++n) {
    TestGame h;
    h.AddPage("main.osb", "Wait\n");
    MemoryStream s;
    s.Assign(bytes.substr(0, n));
    EXPECT_THROW(h.callMan->Load(s, kSaveDataVersion), Error) << n;
  }
  // A frame count far beyond the data: page name, index, chain, started, mode, sender,
  // arguments and the spare frame come before it.
  const size_t countAt = (4 + 8) + 4 + 1 + 1 + 4 + 4 + 4 + (4 + 4 + 1 + 1 + 4 + 4 + 4 + 4 + 1);
  ASSERT_EQ(bytes.substr(countAt, 4), std::string(4, '\0'));
  std::string huge = bytes;
  huge.replace(countAt, 4, "\xff\xff\xff\x7f");
  TestGame h;
  h.AddPage("main.osb", "Wait\n");
  MemoryStream s;
  s.Assign(huge);
  EXPECT_THROW(h.callMan->Load(s, kSaveDataVersion), Error);
}

}  // namespace
}  // namespace orin
