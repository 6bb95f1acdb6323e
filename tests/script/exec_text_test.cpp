// The text and history commands as the interpreter runs them: text into message windows and the
// wait on them, the message history shown in a window, its layout and clearing, the read marks;
// the history and the read list as sections of saves, and the stored documents of pages.
#include <gtest/gtest.h>

#include <array>
#include <optional>

#include "game_test_support.h"
#include "params/custom_param.h"
#include "scene/objects/orin_mes.h"
#include "scene/text/orin_new_history.h"
#include "scene/text/orin_read_list.h"
#include "scene/text/text_services.h"
#include "script/commands_text.h"
#include "script/game_save.h"
#include "script/message_sections.h"
#include "script/page_documents.h"
#include "script/versions.h"
#include "support/byte_builder.h"

namespace orin {
namespace {

using test::Le32;

using test::TestGame;

// A game whose scene makes message windows with every service but glyphs (cells are the font
// size): the stored documents of its pages, the history and the read list, which the commands
// and the saves reach through the message sections.
class TextGame : public TestGame {
 public:
  TextGame() : documents(files), history(&services), messages(history, reads) {
    scene.SetSize(320, 240);
    services.Vars = &vars;
    services.Documents = &documents;
    services.History = &history;
    services.ReadList = &reads;
    documents.SetInterpreter(callMan.get());
    scene.SetServices({.Text = &services});
  }

  SaveSections& Sections() override { return messages; }

  TOrinMes* Mes(const char* name = "mes") {
    TOrinObject* o = scene.Find(name);
    return o && o->Kind() == kKindMes ? static_cast<TOrinMes*>(o) : nullptr;
  }

  PageDocuments documents;
  TextServices services;
  TOrinNewHistory history;
  TOrinReadList reads;
  MessageSections messages;
};

// The window "mes" (ten characters of 12 x 12 by four rows), the window "hist" whose size is the
// history's layout (one row high), a box "box" whose left-up runs "up.osb", and the log.
const std::string kHead =
    "propset MesNew name left top width height fontsize\n"
    "propset BoxNew name left top width height onleftup\n"
    "MesNew chain\n"
    "    name={\"mes\"}\n    left={0}\n    top={0}\n    width={120}\n    height={48}\n    fontsize={12}\n"
    "MesNew chain\n"
    "    name={\"hist\"}\n    left={0}\n    top={100}\n    width={120}\n    height={12}\n    fontsize={12}\n"
    "BoxNew chain\n"
    "    name={\"box\"}\n    left={200}\n    top={200}\n    width={20}\n    height={20}\n"
    "    onleftup={\"up.osb\"}\n"
    "VarNew name=\"log\" type=str value={\"\"} scope=0 chain\n";
constexpr int32_t kAfterHead = 4;

// Two pages, revealed at once.
const char* kTwoPages = "text=\"<WAIT VALUE=0>あいう<BR CLEAR>えお\"";

std::vector<int32_t> SegmentFirsts(const TOrinMes& mes) {
  std::vector<int32_t> out;
  for (const TOrinHistSegment& s : mes.MessageData().Hist.Segments) out.push_back(s.First);
  return out;
}

// ---- TextIns

TEST(TComTextIns, WaitsWhileTheWindowHasPagesUntilTheScriptClearsIt) {
  TextGame g;
  g.AddPage("next.osb", "SetProp object={\"mes\"} prop={44} value={1}\n");
  g.AddPage("clear.osb", "TextClr window={\"mes\"}\n");
  g.AddPage("main.osb", kHead + "TextIns " + kTwoPages +
                            " window={\"mes\"} history={TRUE} wait={TRUE} nointerrupt={} chain\n"
                            "Calc {log = log ++ \"m\"} chain\n"
                            "Wait\n");
  g.callMan->Start("main.osb");
  g.Frames(3);
  EXPECT_EQ(g.callMan->Index(), kAfterHead);
  EXPECT_EQ(g.Mes()->PageCount(), 2);
  // The next page is still text in the window: the command keeps waiting.
  g.Raise("next.osb", g.scene.Find("box"));
  g.Frames(2);
  EXPECT_EQ(g.Mes()->CurrentPage(), 1);
  EXPECT_EQ(g.Str("log"), "");
  g.Raise("clear.osb", g.scene.Find("box"));
  g.Frame();
  EXPECT_EQ(g.Mes()->PageCount(), 0);
  EXPECT_EQ(g.Str("log"), "m");
}

TEST(TComTextIns, AWaitEndsWhenTheWindowIsDeleted) {
  TextGame g;
  g.AddPage("delete.osb", "ObjDel object={\"mes\"}\n");
  g.AddPage("main.osb", kHead + "TextIns " + kTwoPages +
                            " window={\"mes\"} history={FALSE} wait={TRUE} nointerrupt={} chain\n"
                            "Calc {log = log ++ \"m\"} chain\n"
                            "Wait\n");
  g.callMan->Start("main.osb");
  g.Frames(3);
  EXPECT_EQ(g.Str("log"), "");
  g.Raise("delete.osb", g.scene.Find("box"));
  g.Frames(2);
  EXPECT_EQ(g.Mes(), nullptr);
  EXPECT_EQ(g.Str("log"), "m");
}

TEST(TComTextIns, GoesOnAtOnceWithoutWaitOrWithoutAWindow) {
  struct Case {
    const char* before;  // a command shown before the one tested
    std::string command;
    int32_t pages;        // in "mes" afterwards
    int32_t sourceIndex;  // the text "mes" shows (-1: none)
  };
  const std::string shown = std::string("TextIns ") + kTwoPages + " window={\"mes\"} history={} wait={} chain\n";
  const Case cases[] = {
      {"", std::string("TextIns ") + kTwoPages + " window={\"mes\"} history={} wait={FALSE}", 2, kAfterHead},
      {"", std::string("TextIns ") + kTwoPages + " window={\"mes\"} history={} wait={}", 2, kAfterHead},
      {"", std::string("TextIns ") + kTwoPages + " window={\"nobody\"} history={} wait={TRUE}", 0, -1},
      {"", std::string("TextIns ") + kTwoPages + " window={\"box\"} history={} wait={TRUE}", 0, -1},
      {"", std::string("TextIns ") + kTwoPages + " window={} history={} wait={TRUE}", 0, -1},
      // Bytes that are no document show nothing, so there is nothing to wait for.
      {"", "TextIns text=hex{0102} window={\"mes\"} history={} wait={TRUE}", 0, kAfterHead},
      // Empty text data leaves the window as it was.
      {"", "TextIns text=\"\" window={\"mes\"} history={} wait={TRUE}", 0, -1},
      {shown.c_str(), "TextIns text=\"\" window={\"mes\"} history={TRUE} wait={TRUE}", 2, kAfterHead},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.before + c.command);
    TextGame g;
    g.AddPage("main.osb", kHead + c.before + c.command + " chain\nCalc {log = log ++ \"m\"} chain\nWait\n");
    g.callMan->Start("main.osb");
    g.Frame();
    EXPECT_EQ(g.Str("log"), "m");
    ASSERT_NE(g.Mes(), nullptr);
    EXPECT_EQ(g.Mes()->PageCount(), c.pages);
    const auto& segments = g.Mes()->MessageData().Hist.Segments;
    if (c.sourceIndex < 0) {
      EXPECT_TRUE(segments.empty());
    } else {
      ASSERT_EQ(segments.size(), 1u);
      EXPECT_EQ(segments[0].Command, c.sourceIndex);
      EXPECT_EQ(g.Mes()->SourceKind(), TOrinMes::kSourcePlain);
    }
  }
}

TEST(TComTextIns, TheTextComesFromTheCommandItself) {
  for (bool history : {true, false}) {
    SCOPED_TRACE(history);
    TextGame g;
    // The command runs in a called page: the source is the page it stands in.
    g.AddPage("text.osb", "Calc {1} chain\nTextIns " + std::string(kTwoPages) + " window={\"mes\"} history={" +
                              (history ? "TRUE" : "FALSE") + "} wait={} chain\n");
    g.AddPage("main.osb", kHead + "Call page=\"text.osb\" target=0 result=\"\" cond={TRUE} chain\nWait\n");
    g.callMan->Start("main.osb");
    g.Frame();
    TOrinMes* mes = g.Mes();
    EXPECT_EQ(mes->PageCount(), 2);
    EXPECT_EQ(mes->CurrentPage(), 0);
    const auto& segments = mes->MessageData().Hist.Segments;
    ASSERT_EQ(segments.size(), 1u);
    EXPECT_EQ(segments[0].PageFile, "text.osb");
    EXPECT_EQ(segments[0].Command, 1);
    if (history) {
      EXPECT_EQ(mes->SourceKind(), TOrinMes::kSourceText);
      EXPECT_EQ(mes->SourcePage(), "text.osb");
      EXPECT_EQ(mes->SourceCommand(), 1);
      // The page shown waits for the history and for its read mark.
      ASSERT_TRUE(g.history.Pending().has_value());
      EXPECT_EQ(g.history.Pending()->PageFile, "text.osb");
      EXPECT_EQ(g.history.Pending()->Command, 1);
      EXPECT_EQ(g.reads.Pending().PageFile, "text.osb");
      EXPECT_EQ(g.reads.Pending().Window, "mes");
    } else {
      EXPECT_EQ(mes->SourceKind(), TOrinMes::kSourcePlain);
      EXPECT_FALSE(g.history.Pending().has_value());
      EXPECT_EQ(g.reads.Pending().PageFile, "");
    }
  }
}

TEST(TComTextIns, RunningStateRoundTrip) {
  TextGame g;
  g.AddPage("main.osb", kHead + "TextIns " + kTwoPages +
                            " window={\"mes\"} history={TRUE} wait={TRUE} nointerrupt={TRUE} chain\nWait\n");
  g.callMan->Start("main.osb");
  g.Frame();
  ASSERT_EQ(g.callMan->Index(), kAfterHead);
  const TCommand& running = *g.callMan->CurrentPage()->Commands[kAfterHead];
  std::unique_ptr<MemoryStream> saved;
  running.SaveState(saved);
  ASSERT_TRUE(saved);
  EXPECT_EQ(saved->View(), "orin100" + Le32(3) + "mes" + std::string("\x01\x01", 2));

  TPage page;
  auto& fresh = page.Add<TComTextIns>(ComKind::TextIns);
  saved->SetPosition(0);
  fresh.LoadState(*saved);
  EXPECT_EQ(saved->Remaining(), 0);
  EXPECT_TRUE(fresh.Blocking());
  EXPECT_TRUE(fresh.Uninterruptible());
  std::unique_ptr<MemoryStream> again;
  fresh.SaveState(again);
  ASSERT_TRUE(again);
  EXPECT_EQ(again->View(), saved->View());
}

TEST(TComTextIns, StateRecordsWithoutHeaderLackTheLastByte) {
  struct Case {
    std::string bytes;
    bool readsLastByte;
  };
  const std::string body = Le32(3) + "mes" + std::string("\x01\x01", 2);
  const Case cases[] = {
      {"orin100" + body, true},
      {"orin099" + body, false},
      {body, false},  // no header: version 0, read from the first byte
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.bytes.size());
    TPage page;
    auto& command = page.Add<TComTextIns>(ComKind::TextIns);
    MemoryStream s;
    s.Assign(c.bytes);
    command.LoadState(s);
    EXPECT_EQ(s.Remaining(), c.readsLastByte ? 0 : 1);
    EXPECT_TRUE(command.Blocking());
    EXPECT_EQ(command.Uninterruptible(), c.readsLastByte);
    std::unique_ptr<MemoryStream> saved;
    command.SaveState(saved);
    ASSERT_TRUE(saved);
    EXPECT_EQ(saved->View(), "orin100" + Le32(3) + "mes" + std::string("\x01", 1) +
                                 std::string(1, c.readsLastByte ? '\x01' : '\x00'));
  }
  // A command object that was uninterruptible in an earlier run keeps nothing of it.
  TPage page;
  auto& command = page.Add<TComTextIns>(ComKind::TextIns);
  for (const std::string& bytes : {"orin100" + body, body}) {
    MemoryStream s;
    s.Assign(bytes);
    command.LoadState(s);
  }
  EXPECT_FALSE(command.Uninterruptible());
}

TEST(TComTextIns, UninterruptibleTextHoldsEventsUntilItGoesOn) {
  for (bool noInterrupt : {true, false}) {
    SCOPED_TRACE(noInterrupt);
    TextGame g;
    g.AddPage("up.osb", "Calc {log = log ++ \"h\"}\n");
    g.AddPage("main.osb", kHead + "TextIns " + kTwoPages + " window={\"mes\"} history={} wait={TRUE} nointerrupt={" +
                              (noInterrupt ? "TRUE" : "FALSE") +
                              "} chain\n"
                              "Calc {log = log ++ \"m\"} chain\n"
                              "Wait\n");
    g.callMan->Start("main.osb");
    g.Frame();
    g.Click(205, 205);
    g.Frames(3);
    EXPECT_EQ(g.Str("log"), noInterrupt ? "" : "h");
    // Nothing in the script can clear the window while no event may start.
    g.Mes()->ClearText();
    g.Frame();
    // The event starts between the text and the next command.
    EXPECT_EQ(g.Str("log"), "hm");
  }
}

// ---- The history

// One text of three pages shown page by page with history and cleared; with the layout taken
// from "hist" (one row high) every row is an entry of its own, and entries 0, 1 and 2 begin at
// glyphs 0, 4 and 7. Without it the history keeps the three pages in the older form.
constexpr int32_t kHistoryText = kAfterHead + 1;

void BuildHistory(TextGame& g, bool layout) {
  g.AddPage("main.osb", kHead + "EntryHist object={\"" + (layout ? "hist" : "nobody") +
                            "\"} chain\n"
                            "TextIns text=\"<WAIT VALUE=0>あいう<BR CLEAR>えお<BR CLEAR>かき\" window={\"mes\"} "
                            "history={TRUE} wait={FALSE} chain\n"
                            "Wait time={80} chain\n"
                            "SetProp object={\"mes\"} prop={44} value={1} chain\n"
                            "Wait time={80} chain\n"
                            "SetProp object={\"mes\"} prop={44} value={2} chain\n"
                            "Wait time={80} chain\n"
                            "TextClr window={\"mes\"} chain\n"
                            "Wait\n");
  g.callMan->Start("main.osb");
  g.Frames(20);
  ASSERT_EQ(g.messages.HistoryCount(), 3);
  ASSERT_FALSE(g.history.Pending().has_value());
}

TEST(TComCallHist, ShowsARangeOfEntries) {
  struct Case {
    std::string fields;
    std::vector<int32_t> firsts;  // the glyphs the shown segments begin at; none: nothing shown
    bool flag = false;
  };
  const Case cases[] = {
      {"window={\"mes\"} first={-5} count={2} flag={}", {0, 4}},
      {"window={\"mes\"} first={1} count={} flag={}", {4}},  // count 1
      {"window={\"mes\"} first={1} count={10} flag={}", {4, 7}},
      {"window={\"mes\"} first={2} count={1} flag={TRUE}", {7}, true},
      {"window={\"mes\"} first={0} count={0} flag={}", {}},
      {"window={\"mes\"} first={0} count={-2} flag={}", {}},
      {"window={\"mes\"} first={3} count={1} flag={}", {}},
      {"window={\"mes\"} first={} count={1} flag={}", {}},
      {"window={\"box\"} first={0} count={1} flag={}", {}},
      {"window={\"nobody\"} first={0} count={1} flag={}", {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.fields);
    TextGame g;
    ASSERT_NO_FATAL_FAILURE(BuildHistory(g, true));
    EXPECT_EQ(g.history.Layout(), (std::array<int32_t, 6>{12, 0, 0, 120, 12, 0}));
    g.AddPage("show.osb", "CallHist " + c.fields + " chain\nWait\n");
    g.callMan->Start("show.osb");
    g.Frame();
    TOrinMes* mes = g.Mes();
    EXPECT_EQ(SegmentFirsts(*mes), c.firsts);
    EXPECT_EQ(mes->SourceKind(), c.firsts.empty() ? TOrinMes::kSourcePlain : TOrinMes::kSourceHistory);
    EXPECT_EQ(mes->HasPages(), !c.firsts.empty());
    TParamFlag flag;
    mes->GetProp(152, flag);
    EXPECT_EQ(flag.GetAsFlag(), c.flag);
    // Showing the history adds nothing to it.
    g.Frames(4);
    EXPECT_EQ(g.messages.HistoryCount(), 3);
  }
}

TEST(TComCallHist, OlderFormWithoutLayoutWidth) {
  TextGame g;
  ASSERT_NO_FATAL_FAILURE(BuildHistory(g, false));
  ASSERT_TRUE(g.history.Entries().empty());
  ASSERT_EQ(g.history.OldEntries().size(), 3u);
  g.AddPage("show.osb", "CallHist window={\"mes\"} first={1} count={5} flag={} chain\nWait\n");
  g.callMan->Start("show.osb");
  g.Frame();
  TOrinMes* mes = g.Mes();
  EXPECT_EQ(mes->SourceKind(), TOrinMes::kSourceHistory);
  const auto& refs = mes->MessageData().Refs;
  ASSERT_EQ(refs.size(), 2u);
  EXPECT_EQ(refs[0].PageFile, "main.osb");
  EXPECT_EQ(refs[0].Command, kHistoryText);
  EXPECT_EQ(refs[0].PageIndex, 1);
  EXPECT_EQ(refs[1].PageIndex, 2);
  EXPECT_EQ(mes->PageCount(), 1);
}

TEST(TComClrHist, ClearReadAndClearHistoryEachClearTheirOwn) {
  TextGame g;
  ASSERT_NO_FATAL_FAILURE(BuildHistory(g, true));
  for (int32_t page : {0, 1, 2}) EXPECT_TRUE(g.reads.IsRead("main.osb", kHistoryText, page)) << page;

  g.AddPage("read.osb", "ClrRead chain\nWait\n");
  g.callMan->Start("read.osb");
  g.Frame();
  EXPECT_EQ(g.reads.Count(), 0);
  EXPECT_FALSE(g.reads.IsRead("main.osb", kHistoryText, 0));
  EXPECT_EQ(g.messages.HistoryCount(), 3);

  g.AddPage("hist.osb", "ClrHist chain\nWait\n");
  g.callMan->Start("hist.osb");
  g.Frame();
  EXPECT_EQ(g.messages.HistoryCount(), 0);
  EXPECT_TRUE(g.history.Entries().empty());
}

TEST(TComEntryHist, TakesTheLayoutFromAnObject) {
  struct Case {
    const char* object;
    std::array<int32_t, 6> layout;
  };
  const std::array<int32_t, 6> before{1, 2, 3, 4, 5, 6};
  const Case cases[] = {
      {"{\"hist\"}", {14, 1, 2, 100, 40, 3}},
      {"{\"nobody\"}", before},
      {"{\"\"}", before},  // not the root the empty name finds
      {"{}", before},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.object);
    TextGame g;
    g.vars.HistoryLayout = before;
    g.AddPage("main.osb", kHead +
                              "SetProp object={\"hist\"} prop={16} value={14} chain\n"
                              "SetProp object={\"hist\"} prop={142} value={1} chain\n"
                              "SetProp object={\"hist\"} prop={143} value={2} chain\n"
                              "SetProp object={\"hist\"} prop={5} value={100} chain\n"
                              "SetProp object={\"hist\"} prop={6} value={40} chain\n"
                              "SetProp object={\"hist\"} prop={18} value={3} chain\n"
                              "EntryHist object=" +
                              c.object + " chain\nWait\n");
    g.callMan->Start("main.osb");
    g.Frame();
    EXPECT_EQ(g.vars.HistoryLayout, c.layout);
  }
}

// ---- MessageSections

TEST(MessageSections, HistoryAndReadListRoundTrip) {
  TextGame g;
  ASSERT_NO_FATAL_FAILURE(BuildHistory(g, true));
  g.history.SetMaxCount(50);
  // A text whose first page waits for the history and for its read mark.
  g.AddPage("more.osb", "TextIns text=\"<WAIT VALUE=500>くけ\" window={\"mes\"} history={TRUE} wait={} chain\nWait\n");
  g.callMan->Start("more.osb");
  g.Frame();
  ASSERT_TRUE(g.history.Pending().has_value());
  ASSERT_EQ(g.reads.Pending().PageFile, "more.osb");

  MemoryStream history, reads;
  g.messages.SaveHistory(history);
  g.messages.SaveReadList(reads);

  TOrinNewHistory loadedHistory;
  TOrinReadList loadedReads;
  MessageSections loaded(loadedHistory, loadedReads);
  history.SetPosition(0);
  reads.SetPosition(0);
  loaded.LoadHistory(history, kSaveDataVersion);
  loaded.LoadReadList(reads, kStatusDataVersion);
  EXPECT_EQ(history.Remaining(), 0);
  EXPECT_EQ(reads.Remaining(), 0);

  EXPECT_EQ(loaded.HistoryCount(), 3);
  EXPECT_EQ(loaded.HistoryMaxCount(), 50);
  EXPECT_EQ(loadedHistory.Layout(), g.history.Layout());
  for (size_t i = 0; i < 3; ++i) {
    const TOrinHistData& a = g.history.Entries()[i];
    const TOrinHistData& b = loadedHistory.Entries()[i];
    EXPECT_EQ(b.TotalHeight, a.TotalHeight);
    ASSERT_EQ(b.Segments.size(), a.Segments.size());
    for (size_t k = 0; k < a.Segments.size(); ++k) {
      EXPECT_EQ(b.Segments[k].PageFile, a.Segments[k].PageFile);
      EXPECT_EQ(b.Segments[k].Command, a.Segments[k].Command);
      EXPECT_EQ(b.Segments[k].First, a.Segments[k].First);
      EXPECT_EQ(b.Segments[k].Last, a.Segments[k].Last);
      EXPECT_EQ(b.Segments[k].RowHeight, a.Segments[k].RowHeight);
    }
  }
  ASSERT_TRUE(loadedHistory.Pending().has_value());
  EXPECT_EQ(loadedHistory.Pending()->PageFile, "more.osb");
  EXPECT_EQ(loadedHistory.Pending()->Window, "mes");
  EXPECT_EQ(loadedHistory.Pending()->Last, g.history.Pending()->Last);

  for (int32_t page : {0, 1, 2}) EXPECT_TRUE(loadedReads.IsRead("main.osb", kHistoryText, page)) << page;
  EXPECT_FALSE(loadedReads.IsRead("main.osb", kHistoryText, 3));
  EXPECT_EQ(loadedReads.Count(), g.reads.Count());
  EXPECT_EQ(loadedReads.Pending().PageFile, "more.osb");
  EXPECT_EQ(loadedReads.Pending().Command, 0);
  EXPECT_EQ(loadedReads.Pending().Window, "mes");

  // Saved again, both give the same bytes.
  MemoryStream history2, reads2;
  loaded.SaveHistory(history2);
  loaded.SaveReadList(reads2);
  EXPECT_EQ(history2.View(), history.View());
  EXPECT_EQ(reads2.View(), reads.View());
}

TEST(MessageSections, DamagedRecordsThrowAndLeaveNothing) {
  TextGame g;
  ASSERT_NO_FATAL_FAILURE(BuildHistory(g, true));
  MemoryStream history, reads;
  g.messages.SaveHistory(history);
  g.messages.SaveReadList(reads);
  const std::string historyBytes(history.View()), readBytes(reads.View());

  TOrinNewHistory h;
  TOrinReadList r;
  MessageSections sections(h, r);
  auto loadHistory = [&](const std::string& bytes) {
    MemoryStream s;
    s.Assign(bytes);
    sections.LoadHistory(s, kSaveDataVersion);
  };
  auto loadReads = [&](const std::string& bytes) {
    MemoryStream s;
    s.Assign(bytes);
    sections.LoadReadList(s, kStatusDataVersion);
  };
  // Every record cut short.
  for (size_t cut = 0; cut < historyBytes.size(); ++cut) {
    EXPECT_THROW(loadHistory(historyBytes.substr(0, cut)), Error) << cut;
    EXPECT_EQ(sections.HistoryCount(), 0) << cut;
  }
  for (size_t cut = 0; cut < readBytes.size(); ++cut) {
    EXPECT_THROW(loadReads(readBytes.substr(0, cut)), Error) << cut;
    EXPECT_EQ(r.Count(), 0) << cut;
  }
  // Counts that no data could hold are refused before anything is made of them.
  EXPECT_THROW(loadHistory(Le32(0x7FFFFFFF) + historyBytes.substr(4)), Error);
  EXPECT_THROW(loadHistory(Le32(-1) + historyBytes.substr(4)), Error);
  EXPECT_THROW(loadReads(Le32(0x7FFFFFFF) + readBytes.substr(4)), Error);
  EXPECT_THROW(loadReads(Le32(-1) + readBytes.substr(4)), Error);
  ASSERT_EQ(readBytes.substr(8, 8), "main.osb");
  std::string hugeMarks = readBytes;
  hugeMarks.replace(16, 4, Le32(0x10000000));  // the first item's mark count
  EXPECT_THROW(loadReads(hugeMarks), Error);
}

// A game saved while a text waits in a window with history: the load restores the window's pages
// at once, the history with its pending page, and the waiting command.
TEST(MessageSections, SlotRestoresTheWindowTheHistoryAndTheWaitingText) {
  const std::string mainPage = kHead +
                               "EntryHist object={\"hist\"} chain\n"
                               "TextIns " + kTwoPages +
                               " window={\"mes\"} history={TRUE} wait={TRUE} nointerrupt={} chain\n"
                               "Calc {log = log ++ \"m\"} chain\n"
                               "Wait\n";
  const char* clearPage = "TextClr window={\"mes\"}\n";
  MemoryStream slot;
  {
    TextGame g;
    g.AddPage("main.osb", mainPage);
    g.callMan->Start("main.osb");
    g.Frames(4);
    g.Mes()->ShowPage(1);
    g.Frames(4);
    ASSERT_EQ(g.messages.HistoryCount(), 1);
    WriteSlot(slot, g, *g.callMan, FromUtf8("caption"), "", 0);
  }
  TextGame g;
  g.AddPage("main.osb", mainPage);
  g.AddPage("clear.osb", clearPage);
  slot.SetPosition(0);
  ReadSlot(slot, g, *g.callMan);
  EXPECT_EQ(slot.Remaining(), 0);
  TOrinMes* mes = g.Mes();
  ASSERT_NE(mes, nullptr);
  // Rebuilt by the load itself, before any frame.
  EXPECT_EQ(mes->PageCount(), 2);
  EXPECT_EQ(mes->CurrentPage(), 1);
  EXPECT_EQ(mes->SourceKind(), TOrinMes::kSourceText);
  EXPECT_EQ(g.messages.HistoryCount(), 1);
  ASSERT_TRUE(g.history.Pending().has_value());
  EXPECT_EQ(g.history.Pending()->PageFile, "main.osb");

  g.Frames(2);
  EXPECT_EQ(g.callMan->Index(), kAfterHead + 1);
  EXPECT_EQ(g.Str("log"), "") << "the text still waits";
  g.Raise("clear.osb", g.scene.Find("box"));
  g.Frame();
  EXPECT_EQ(g.Str("log"), "m");
  // The restored pending page is committed from the page's stored document.
  EXPECT_EQ(g.messages.HistoryCount(), 2);
}

TEST(MessageSections, AfterGameLoadRebuildsEveryWindow) {
  const std::string mainPage =
      kHead + "TextIns " + kTwoPages + " window={\"mes\"} history={TRUE} wait={} chain\nWait\n";
  MemoryStream saved;
  {
    TextGame g;
    g.AddPage("main.osb", mainPage);
    g.callMan->Start("main.osb");
    g.Frame();
    ASSERT_EQ(g.Mes()->PageCount(), 2);
    g.scene.Save(saved, kSaveDataVersion);
  }
  TextGame g;
  g.AddPage("main.osb", mainPage);
  saved.SetPosition(0);
  g.scene.Load(saved, kSaveDataVersion);
  ASSERT_NE(g.Mes(), nullptr);
  EXPECT_EQ(g.Mes()->PageCount(), 0) << "a loaded window waits for its pages";
  g.messages.AfterGameLoad(g.scene);
  EXPECT_EQ(g.Mes()->PageCount(), 2);
  EXPECT_EQ(g.Mes()->CurrentPage(), 0);
}

// ---- PageDocuments

TEST(PageDocuments, StoredDocumentOfATextInsert) {
  TestGame g;
  g.AddPage("doc.osb",
            "TextIns text=\"あいう\" window={\"mes\"}\n"
            "Calc {1}\n"
            "TextIns text=\"\" window={\"mes\"}\n");
  g.AddFile("bad.osb", "no page at all");
  TPage page;
  ASSERT_EQ(page.Load(g.files, "doc.osb", nullptr), PageLoadResult::kLoaded);
  const std::string stored = static_cast<const TComTextIns&>(*page.Commands[0]).TextData;
  ASSERT_FALSE(stored.empty());

  PageDocuments documents(g.files);
  struct Case {
    const char* file;
    int32_t index;
    std::optional<std::string> expected;
  };
  const Case cases[] = {
      {"doc.osb", 0, stored},
      {"DOC.OSB", 0, stored},  // game names ignore case
      {"doc.osb", 2, std::string()},
      {"doc.osb", 1, std::nullopt},  // no text insert
      {"doc.osb", 3, std::nullopt},
      {"doc.osb", -1, std::nullopt},
      {"none.osb", 0, std::nullopt},
      {"bad.osb", 0, std::nullopt},
      {"", 0, std::nullopt},
      {"doc.osb", 0, stored},  // a failed read keeps nothing
  };
  for (const Case& c : cases) EXPECT_EQ(documents.TextData(c.file, c.index), c.expected) << c.file << " " << c.index;
}

TEST(PageDocuments, PagesTheInterpreterHoldsComeFirst) {
  TestGame g;
  g.AddPage("doc.osb", "TextIns text=\"あ\" window={\"mes\"} chain\nWait\n");
  g.callMan->Start("doc.osb");
  const std::string running = static_cast<const TComTextIns&>(*g.callMan->CurrentPage()->Commands[0]).TextData;
  // The file changes under the running game: windows keep reading what the script runs.
  g.AddPage("doc.osb", "TextIns text=\"いいい\" window={\"mes\"} chain\nWait\n");
  PageDocuments documents(g.files);
  documents.SetInterpreter(g.callMan.get());
  EXPECT_EQ(documents.TextData("doc.osb", 0), running);
  documents.SetInterpreter(nullptr);
  EXPECT_NE(documents.TextData("doc.osb", 0), running);
}

}  // namespace
}  // namespace orin
