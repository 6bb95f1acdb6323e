#include "scene/objects/orin_mes.h"

#include <gtest/gtest.h>

#include "imaging/font_pixel.h"
#include "imaging/frame_drawable.h"
#include "params/param_collection.h"
#include "resources/stream.h"
#include "scene/text/orin_new_history.h"
#include "scene/model/mura_collection.h"
#include "scene/text/orin_read_list.h"
#include "scene/text/page_plain_text.h"
#include "scene/scene_test_support.h"
#include "scene/text_test_support.h"

namespace orin {
namespace {

using test::Sj;
using Lines = std::vector<std::string>;

// A scene with one message window "mes" of 120 × 48 (ten characters of 12 × 12 by four rows)
// and every service a window uses.
struct Fixture {
  Fixture() : glyphs(std::make_unique<test::BoxRasterizer>()), history(&services) {
    services.Glyphs = &glyphs;
    services.Vars = &vars;
    services.Documents = &docs;
    services.History = &history;
    services.ReadList = &reads;
    mes = MakeWindow(scene);
  }

  TOrinMes* MakeWindow(test::Scene& s) {
    s.list.SetServices({.Text = &services});
    auto* m = static_cast<TOrinMes*>(s.list.Create(kKindMes));
    m->Rename("mes");
    m->SetBounds(0, 0, 120, 48);
    m->Document().TextColor = 0xFFFFFF;
    for (auto [code, label] : {std::pair{32, "rev"}, {101, "start"}, {43, "done"}, {46, "link"}, {33, "ev"},
                               {36, "down"}, {37, "up"}})
      test::SetStr(*m, code, label);
    return m;
  }

  // Frames until nothing is waiting but the text: events are handled as they come.
  Lines Run(int frames, int32_t delta = 16) {
    Lines all;
    for (int i = 0; i < frames; ++i) {
      scene.Frame(delta);
      for (const std::string& e : scene.Events()) all.push_back(e);
      scene.HandleEvents();
    }
    return all;
  }

  // Shows the document of markup as text-insert command index of page p.osb.
  void Insert(int32_t index, const char* markup, bool track = true) {
    docs.Put("p.osb", index, markup);
    mes->InsertText("p.osb", index, track);
  }

  test::FixedDocuments docs;
  TParamCollection vars;
  TFontPixelManager glyphs;
  TextServices services;
  TOrinNewHistory history;
  TOrinReadList reads;
  test::Scene scene{320, 240};
  TOrinMes* mes = nullptr;
};

TEST(TOrinMes, MarkupRevealsWithEventsPerFrame) {
  Fixture f;
  test::SetStr(*f.mes, 50, Sj("<WAIT VALUE=40>abc"));
  EXPECT_EQ(f.mes->PageCount(), 1);
  EXPECT_EQ(f.scene.Events(), Lines{"101 start 0"});
  // The frame after a page start is skipped, and nothing runs while the event waits.
  f.scene.Frame(16);
  f.scene.Frame(16);
  EXPECT_EQ(f.scene.Events(), Lines{"101 start 0"});
  f.scene.HandleEvents();
  EXPECT_EQ(f.Run(6, 20), (Lines{"32 rev a", "32 rev b", "32 rev c", "43 done"}));
  EXPECT_TRUE(test::GetInt(*f.mes, 138) == 0) << "no longer busy";
  EXPECT_EQ(test::GetStr(*f.mes, 50), "<WAIT VALUE=40>abc");
}

TEST(TOrinMes, PropertiesSetTheDocument) {
  Fixture f;
  TTpWord& d = f.mes->Document();
  test::SetFlag(*f.mes, 25, false);
  EXPECT_EQ(d.RenderMode, 0);
  test::SetInt(*f.mes, 26, -5);
  EXPECT_EQ(d.FadeTime, 0);
  test::SetInt(*f.mes, 82, 512);
  EXPECT_EQ(d.WaitScale, 512);
  for (auto [prop, field] : {std::pair{16, &d.FontSize}, {18, &d.LineSpacing}, {19, &d.TextColor}, {20, &d.LinkColor},
                             {21, &d.BorderColor}, {22, &d.ActiveLinkColor}, {141, &d.ShadowColor},
                             {142, &d.BorderWidth}, {143, &d.ShadowOffset}, {11, &d.ImageAlpha}}) {
    test::SetInt(*f.mes, prop, 77);
    EXPECT_EQ(*field, 77) << prop;
    EXPECT_EQ(test::GetInt(*f.mes, prop), 77) << prop;
  }
  EXPECT_EQ(d.Width, 120);
  test::SetInt(*f.mes, 18, 3);
  EXPECT_EQ(TOrinNewHistory::EntrySettingsOf(*f.mes), (std::array<int32_t, 6>{77, 77, 77, 120, 48, 3}));
  f.mes->SetWidth(60);
  EXPECT_EQ(d.Width, 60) << "the text area follows the window";
}

TEST(TOrinMes, ReadMarksAndTheFlagOfThePageStart) {
  Fixture f;
  f.Insert(3, "<WAIT VALUE=0>あいう<BR CLEAR>えお");
  EXPECT_EQ(f.mes->PageCount(), 2);
  EXPECT_EQ(f.Run(4), (Lines{"101 start 0", "32 rev " + Sj("あいう"), "43 done"}));
  EXPECT_TRUE(f.reads.IsRead("p.osb", 3, 0));
  EXPECT_FALSE(f.reads.IsRead("p.osb", 3, 1));
  test::SetInt(*f.mes, 44, 1);
  EXPECT_EQ(f.Run(4), (Lines{"101 start 0", "32 rev " + Sj("えお"), "43 done"}));
  EXPECT_TRUE(f.reads.IsRead("p.osb", 3, 1));

  // The same text again: its first page was read.
  f.mes->InsertText("p.osb", 3, true);
  EXPECT_EQ(f.Run(1), Lines{"101 start 1"});
  // Without read tracking the flag is never set and nothing is marked.
  f.Insert(4, "<WAIT VALUE=0>か", false);
  EXPECT_EQ(f.Run(4), (Lines{"101 start 0", "32 rev " + Sj("か"), "43 done"}));
  EXPECT_FALSE(f.reads.IsRead("p.osb", 4, 0));
}

TEST(TOrinMes, HistoryRowsFillEntriesByHeight) {
  Fixture f;
  // Entries 30 high; rows of two characters, 12 high plus 2 of spacing.
  f.vars.HistoryLayout = {12, 0, 0, 24, 30, 2};
  f.Insert(0, "<WAIT VALUE=0>あいうえおか");
  f.Run(4);
  EXPECT_EQ(f.history.Count(), 0) << "the page waits until the window moves on";
  f.mes->ClearText();
  ASSERT_EQ(f.history.Count(), 2);
  const auto& e = f.history.Entries();
  ASSERT_EQ(e[0].Segments.size(), 2u);
  EXPECT_EQ(e[0].Segments[0].PageFile, "p.osb");
  EXPECT_EQ(e[0].Segments[1].PageFile, "") << "the same page file is not repeated";
  EXPECT_EQ(e[0].Segments[1].First, 2);
  EXPECT_EQ(e[0].Segments[1].Last, 3);
  EXPECT_EQ(e[0].TotalHeight, 28);
  EXPECT_EQ(e[1].Segments[0].First, 4);
  EXPECT_EQ(e[1].Segments[0].RowHeight, 14);

  // History shown in the window: its rows, no read marks, no new history.
  f.reads.Clear();
  f.mes->SetHeight(30);
  f.mes->ShowHistory(0, 2, true);
  EXPECT_EQ(f.mes->PageCount(), 2) << "a new page where a row would pass the window's height";
  EXPECT_EQ(f.Run(4), (Lines{"101 start 0", "32 rev " + Sj("あいうえ"), "43 done"}));
  EXPECT_EQ(f.reads.Count(), 0);
  EXPECT_FALSE(f.history.Pending().has_value());
  EXPECT_TRUE(test::GetInt(*f.mes, 152));
}

TEST(TOrinMes, HistoryKeepsAtMostTheMaximum) {
  Fixture f;
  f.vars.HistoryLayout = {12, 0, 0, 120, 14, 2};  // one row per entry
  f.history.SetMaxCount(50);
  for (int i = 0; i <= 50; ++i) f.Insert(i, "<WAIT VALUE=0>あ");
  f.mes->ClearText();
  ASSERT_EQ(f.history.Count(), 50);
  EXPECT_EQ(f.history.Entries().front().Segments[0].Command, 1) << "the 51st entry removed the first";
  EXPECT_EQ(f.history.Entries().back().Segments[0].Command, 50);

  // The older form keeps whole pages when no layout width is set.
  TOrinNewHistory old(&f.services);
  f.services.History = &old;
  f.vars.HistoryLayout = {};
  f.Insert(7, "<WAIT VALUE=0>い");
  f.Insert(8, "<WAIT VALUE=0>う");
  f.mes->ClearText();
  ASSERT_EQ(old.Count(), 2);
  EXPECT_EQ(old.OldEntries()[0].PageFile, "p.osb");
  EXPECT_EQ(old.OldEntries()[1].PageFile, "");
  EXPECT_EQ(old.OldEntries()[1].Command, 8);
  EXPECT_EQ(old.OldEntries()[1].Width, 120);
  f.scene.HandleEvents();
  f.mes->ShowHistory(1, 1, false);
  EXPECT_EQ(f.Run(4), (Lines{"101 start 0", "32 rev " + Sj("う"), "43 done"}));
}

TEST(TOrinMes, LinksHighlightAndClick) {
  Fixture f;
  test::SetStr(*f.mes, 50, "<WAIT VALUE=0>ab<A HREF=\"t1\\nt2\">cd</A>e");
  f.scene.list.MouseMove(25, 1);
  f.Run(1);
  EXPECT_EQ(f.mes->HighlightedLink(), "") << "not before the page is complete";
  f.Run(3);
  f.scene.list.MouseMove(26, 2);
  f.Run(1);
  EXPECT_EQ(f.mes->HighlightedLink(), "t1\r\nt2");
  f.scene.list.MouseDown(MouseButton::kLeft, 26, 2);
  f.scene.list.MouseUp(MouseButton::kLeft, 26, 2);
  EXPECT_EQ(f.Run(1), Lines{"46 link cd,t1,t2"}) << "neither a left-down nor a left-up event";
  EXPECT_FALSE(f.scene.list.ActiveRoot().LClick()) << "the click is taken";
  // Plain text, pressed without a move in between: an ordinary left-button event.
  f.scene.list.MouseDown(MouseButton::kLeft, 1, 1);
  f.scene.list.MouseUp(MouseButton::kLeft, 1, 1);
  EXPECT_EQ(f.Run(1), (Lines{"36 down 1,1", "37 up 1,1"}));
  EXPECT_EQ(f.mes->HighlightedLink(), "");
}

TEST(TOrinMes, EventMarksWaitForTheirHandler) {
  Fixture f;
  test::SetInt(*f.mes, 26, 48);  // a glyph takes three frames of 16 ms to fade in
  test::SetStr(*f.mes, 50, "<WAIT VALUE=0>a<EVENT VALUE=\"x\\ny\">b");
  f.Run(1);
  f.scene.Frame(16);  // a is revealed
  f.scene.Frame(16);
  EXPECT_EQ(f.scene.Events(), Lines{"32 rev a"});
  f.scene.Frame(16);  // a has faded in: the event is handed over
  EXPECT_EQ(f.scene.Events(), (Lines{"32 rev a", "33 ev x,y"}));
  f.scene.Frame(16);
  f.scene.Frame(16);
  EXPECT_EQ(f.scene.Events().size(), 2u) << "b waits while the handler runs";
  f.scene.HandleEvents();
  EXPECT_EQ(f.Run(1), Lines{"32 rev b"});
}

TEST(TOrinMes, VariablesShowTheirValueAndTheHistoryKeepsIt) {
  Fixture f;
  f.vars.AddVariable(kTypeStr, "who").Value->SetAsStr(Sj("花子"));
  f.vars.HistoryLayout = {12, 0, 0, 120, 48, 0};
  f.Insert(0, "<WAIT VALUE=0><VAR NAME=who>さん");
  EXPECT_EQ(f.Run(4), (Lines{"101 start 0", "32 rev " + Sj("花子さん"), "43 done"}));
  f.mes->ClearText();
  f.vars.FindVariable("who")->Value->SetAsStr("x");
  f.mes->ShowHistory(0, 1, false);
  EXPECT_EQ(f.Run(4), (Lines{"101 start 0", "32 rev " + Sj("花子さん"), "43 done"}));
}

TEST(TOrinMes, AValueThatRunsOntoTheNextPageStaysThere) {
  Fixture f;
  f.vars.AddVariable(kTypeStr, "v").Value->SetAsStr("xyz");
  f.mes->SetBounds(0, 0, 24, 12);  // one row of two characters per page
  f.Insert(0, "<WAIT VALUE=0>あ<VAR NAME=v>い");
  EXPECT_EQ(f.Run(4), (Lines{"101 start 0", "32 rev " + Sj("あ"), "43 done"}));
  ASSERT_EQ(f.mes->PageCount(), 3);
  test::SetInt(*f.mes, 44, 1);
  EXPECT_EQ(f.Run(4), (Lines{"101 start 0", "32 rev xyz", "43 done"}));
  test::SetInt(*f.mes, 44, 2);
  EXPECT_EQ(f.Run(4), (Lines{"101 start 0", "32 rev " + Sj("い"), "43 done"}));
}


// What the text feed gets: each new page once its variables are expanded, wrapped rows joined,
// breaks kept, ruby apart; pages shown from the history are no new text.
struct PageRecorder final : PageObserver {
  void PageShown(const std::string& window, const TWdPage& page) override {
    const PlainPage plain = PagePlainText(page);
    std::string line = window + ": " + plain.Text;
    for (const auto& [base, reading] : plain.Ruby) line += " [" + base + "/" + reading + "]";
    pages.push_back(line);
  }
  Lines pages;
};

TEST(TOrinMes, NewPagesReachThePageObserverAsPlainText) {
  Fixture f;
  PageRecorder recorder;
  f.services.Pages = &recorder;
  f.vars.AddVariable(kTypeStr, "who").Value->SetAsStr(Sj("花子"));
  f.vars.HistoryLayout = {12, 0, 0, 120, 48, 0};
  f.Insert(0, "<WAIT VALUE=0>吾輩は<RUBY VALUE=ねこ>猫</RUBY>である。<FONT COLOR=#FF0000>名前</FONT>はまだ無い。"
              "<BR><VAR NAME=who>と<RUBY VALUE=よ>呼</RUBY>ばれ<BR CLEAR>次");
  ASSERT_EQ(f.mes->PageCount(), 2);
  EXPECT_TRUE(recorder.pages.empty()) << "not before the page start has been handled";
  f.Run(4);
  EXPECT_EQ(recorder.pages,
            Lines{Sj("mes: 吾輩は猫である。名前はまだ無い。\n花子と呼ばれ [猫/ねこ] [呼/よ]")});
  test::SetInt(*f.mes, 44, 1);
  f.Run(4);
  EXPECT_EQ(recorder.pages.back(), Sj("mes: 次"));
  f.Run(4);
  EXPECT_EQ(recorder.pages.size(), 2u) << "a page is told once";
  f.mes->ClearText();
  f.mes->ShowHistory(0, 1, false);
  f.Run(4);
  EXPECT_EQ(recorder.pages.size(), 2u) << "the history is no new page";
  test::SetStr(*f.mes, 50, Sj("<WAIT VALUE=0>はい"));
  f.Run(4);
  EXPECT_EQ(recorder.pages.back(), Sj("mes: はい"));
}
TEST(TOrinMes, SaveAndLoadInTheMiddleOfARevealing) {
  Fixture f;
  f.Insert(5, "<WAIT VALUE=100>abcde<BR CLEAR>fg");
  test::SetInt(*f.mes, 110, 0);
  f.Run(2);
  f.Run(2, 100);  // a, then b and c
  ASSERT_EQ(f.mes->Page(0)->Reveal.Next, 3u);
  MemoryStream saved;
  f.scene.list.Save(saved, kSceneSaveVersion);

  test::Scene other(320, 240);
  f.MakeWindow(other);  // registers the windows with the services
  saved.SetPosition(0);
  other.list.Load(saved, kSceneSaveVersion);
  EXPECT_EQ(saved.Remaining(), 0);
  auto* back = static_cast<TOrinMes*>(other.list.Find("mes"));
  ASSERT_NE(back, nullptr);
  MemoryStream again;
  other.list.Save(again, kSceneSaveVersion);
  EXPECT_EQ(again.View(), saved.View()) << "a loaded window saves what it loaded";

  back->RefreshAfterLoad();
  ASSERT_EQ(back->PageCount(), 2);
  EXPECT_EQ(back->CurrentPage(), 0);
  EXPECT_EQ(back->SourceKind(), TOrinMes::kSourceText);
  const TWdPage& page = *back->Page(0);
  EXPECT_EQ(page.Reveal.Next, 3u);
  EXPECT_EQ(static_cast<const TWdReal&>(*page.Sequence[2]).Alpha, 255);
  EXPECT_EQ(static_cast<const TWdReal&>(*page.Sequence[3]).Alpha, 0);
  other.Frame(16);
  EXPECT_EQ(other.Events(), Lines{"32 rev d"}) << "revealing goes on where it was";
}

TEST(TOrinMes, DrawsItsTextOnTheScreen) {
  Fixture f;
  test::SetStr(*f.mes, 50, Sj("<WAIT VALUE=0><FONT COLOR=#00FF00>あ</FONT>"));
  f.Run(4);
  f.scene.list.Draw();
  EXPECT_EQ(f.scene.Pixel(1, 1) & 0xFFFFFF, 0x00FF00u);
  EXPECT_EQ(f.scene.Pixel(13, 1) & 0xFFFFFF, 0u);
  f.mes->ClearText();
  EXPECT_FALSE(f.mes->HasPages());
  f.scene.list.Draw();
  EXPECT_EQ(f.scene.Pixel(1, 1) & 0xFFFFFF, 0u);
}

TEST(TOrinMes, PicturesInTextComeFromTheImageCache) {
  Fixture f;
  TMuraCollection images(nullptr);
  auto red = std::make_shared<FrameDrawable>();
  red->Color.SetSize(4, 4, 32);
  red->Color.FillRect(red->Color.ClientRect(), 0xFF0000);
  images.Add("red.mur", red);
  f.services.Images = &images;
  test::SetInt(*f.mes, 11, 128);  // image alpha
  test::SetStr(*f.mes, 50, "<WAIT VALUE=0><IMG SRC=red.mur><IMG SRC=gone.mur>x");
  EXPECT_EQ(f.Run(4), (Lines{"101 start 0", "32 rev **x", "43 done"}));
  f.scene.list.Draw();
  EXPECT_EQ(f.scene.Pixel(1, 9) & 0xFFFFFF, 0x7F0000u) << "drawn at half strength, on the baseline";
  EXPECT_EQ(f.mes->Page(0)->Rows[0]->Children[1]->Width, 0) << "a missing picture takes no room";
}

TEST(TOrinMes, MarkupWaitsTheGamesTextDelay) {
  Fixture f;
  f.vars.TextDelay = 0;
  test::SetStr(*f.mes, 50, "abc");
  EXPECT_EQ(f.Run(3), (Lines{"101 start 0", "32 rev abc", "43 done"}));
}

TEST(TOrinMes, MissingDocumentsShowNothing) {
  Fixture f;
  f.mes->InsertText("gone.osb", 1, true);
  EXPECT_FALSE(f.mes->HasPages());
  EXPECT_EQ(f.Run(2), Lines{});
}

}  // namespace
}  // namespace orin
