// List boxes and choice menus: items, layout, the pointer, keys and the scroll bar, the opening
// and closing animation with its events, the choice left in @SelStr / @SelIndex, cancelling,
// item states, bad input and the save record.
#include "scene/objects/orin_list_box.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "core/error.h"
#include "imaging/font_pixel.h"
#include "params/param_collection.h"
#include "resources/stream.h"
#include "scene/model/mura_collection.h"
#include "scene/model/property_table.h"
#include "scene/scene_test_support.h"
#include "scene/text/text_services.h"
#include "scene/text_test_support.h"

namespace orin {
namespace {

using test::GetInt;
using test::GetStr;
using test::SetFlag;
using test::SetInt;
using test::SetStr;

constexpr int kVk_Up = 0x26, kVk_Down = 0x28, kVk_PageUp = 0x21, kVk_PageDown = 0x22;

// A scene whose objects draw text with box glyphs (a single-byte character is 8 × 16 at size
// 16) and keep the choice in variables.
class MenuScene : public test::Scene {
 public:
  MenuScene() : test::Scene(320, 240), glyphs(std::make_unique<test::BoxRasterizer>()), cache(nullptr) {
    text.Glyphs = &glyphs;
    text.Images = &cache;
    text.Vars = &vars;
    list.SetServices(SceneServices{.Text = &text});
  }

  TOrinMenu& Menu(const std::string& items, int32_t rows = 5, const std::string& name = "menu") {
    auto* m = static_cast<TOrinMenu*>(list.Create(kKindMenu));
    m->Rename(name);
    SetInt(*m, 3, 10);
    SetInt(*m, 4, 20);
    SetInt(*m, 49, rows);
    SetStr(*m, 50, items);
    for (int code : {72, 74, 75, 76, 77, 104, 105}) {
      std::string label = "L";  // appended, not "L" + ...: GCC 12 warns falsely on that form
      label += std::to_string(code);
      SetStr(*m, code, label);
    }
    m->RequestOpen(TOrinMenu::kOpen);
    HandleEvents();
    return *m;
  }

  void Click(int32_t x, int32_t y, MouseButton button = MouseButton::kLeft) {
    list.MouseMove(x, y);
    list.MouseDown(button, x, y);
    Frame(16);
    list.MouseUp(button, x, y);
    Frame(16);
  }
  void Key(int key) {
    list.KeyDown(key);
    Frame(16);
    list.KeyUp(key);
    Frame(16);
  }

  TFontPixelManager glyphs;
  TMuraCollection cache;
  TParamCollection vars;
  TextServices text;
};

std::string Items(int n) {
  std::string s;
  for (int i = 0; i < n; ++i) s.append("item").append(std::to_string(i)).append("\r\n");
  return s;
}

TEST(TOrinCustomListBox, ItemsAreLinesOfTheTrimmedText) {
  struct Case {
    std::string Text;
    std::vector<std::string> Items;
  } cases[] = {
      {"A\r\nB\rC\nD", {"A", "B", "C", "D"}},
      {"\r\n\tA\r\nB\r\n\r\n", {"A", "B"}},
      {"A\r\n\r\nB", {"A", "", "B"}},
      {" A \r\nB", {" A ", "B"}},
      {"", {}},
      {"\r\n\x01\r\n", {}},
      // A lead byte at the end stays one byte; a lead byte before a break takes the break as its
      // trail byte, as every reader of cp932 does.
      {"A\r\n\x83", {"A", "\x83"}},
      {"\x83\nB", {"\x83\nB"}},
  };
  for (const Case& c : cases) {
    MenuScene scene;
    TOrinMenu& menu = scene.Menu(c.Text);
    ASSERT_EQ(menu.ItemCount(), static_cast<int32_t>(c.Items.size())) << c.Text;
    for (size_t i = 0; i < c.Items.size(); ++i) EXPECT_EQ(menu.Item(static_cast<int32_t>(i)), c.Items[i]);
    EXPECT_EQ(GetStr(menu, 50), c.Text);
    // Drawing broken or empty text must not fail.
    scene.list.Draw();
  }
}

TEST(TOrinCustomListBox, LayoutSumsRowsFrameMarginsAndScrollBar) {
  MenuScene scene;
  TOrinMenu& small = scene.Menu("Apple\r\nFig\r\nKiwi", 5, "small");
  // Three items of five rows: no scroll bar, three rows high; "Apple" is 5 × 8 wide.
  EXPECT_FALSE(small.ScrollBarShown());
  EXPECT_EQ(small.Width(), 40);
  EXPECT_EQ(small.Height(), 3 * 16);

  TOrinMenu& big = scene.Menu(Items(10), 4, "big");
  SetInt(big, 18, 2);                     // row spacing
  SetInt(big, 141, 1);                    // frame
  for (int p : {153, 154, 155, 156}) SetInt(big, p, p - 152);  // margins 1, 2, 3, 4
  SetInt(big, 51, 5);
  SetInt(big, 52, 6);
  big.Layout();
  EXPECT_TRUE(big.ScrollBarShown());
  EXPECT_EQ(big.Width(), 40 + 2 * 1 + 1 + 3 + 2 * 5 + 16);
  EXPECT_EQ(big.Height(), 4 * 16 + 3 * 2 + 2 * 1 + 2 + 4 + 2 * 6);

  TOrinMenu& empty = scene.Menu("", 5, "empty");
  EXPECT_EQ(empty.Height(), 0);
}

TEST(TOrinMenu_Pointer, HoverRaisesItemEventsAndAReleaseChooses) {
  MenuScene scene;
  TOrinMenu& menu = scene.Menu("Apple\r\nFig\r\nKiwi");
  scene.list.MouseMove(12, 20 + 16 + 3);
  scene.Frame(16);
  EXPECT_EQ(menu.Highlighted(), 1);
  scene.list.MouseMove(12, 20 + 32 + 3);
  scene.Frame(16);
  // No second 104 while the first is pending.
  EXPECT_EQ(scene.Events(), (std::vector<std::string>{"104 L104 Fig,1", "105 L105 Fig,1"}));
  scene.HandleEvents();
  scene.Click(12, 20 + 32 + 3);
  EXPECT_EQ(menu.Selected(), 2);
  EXPECT_EQ(GetInt(menu, 44), 2);
  EXPECT_EQ(scene.vars.SelStr, "Kiwi");
  EXPECT_EQ(scene.vars.SelIndex, 2);
  EXPECT_EQ(scene.Events(), (std::vector<std::string>{"72 L72 Kiwi,2"}));
}

TEST(TOrinMenu_Pointer, APressOutsideTheItemsOrOnADisabledItemChoosesNothing) {
  MenuScene scene;
  TOrinMenu& menu = scene.Menu("Apple\r\nFig\r\nKiwi");
  menu.SetEnabled(1, false);
  scene.Click(12, 20 + 16 + 3);
  EXPECT_EQ(menu.Selected(), -1);
  EXPECT_EQ(menu.Highlighted(), -1);
  // A press that starts outside the list never chooses, even when released over an item.
  scene.list.MouseMove(200, 200);
  scene.list.MouseDown(MouseButton::kLeft, 200, 200);
  scene.Frame(16);
  scene.list.MouseMove(12, 23);
  scene.list.MouseUp(MouseButton::kLeft, 12, 23);
  scene.Frame(16);
  EXPECT_EQ(menu.Selected(), -1);
  EXPECT_EQ(scene.vars.SelIndex, 0);
}

TEST(TOrinMenu_Keys, KeysMoveTheHighlightAndScrollItIntoView) {
  struct Case {
    std::vector<int> Keys;
    int32_t Highlight;
    int32_t Top;
  } cases[] = {
      {{kVk_Down}, 0, 0},
      {{kVk_Up}, 9, 6},
      {{kVk_PageDown}, 0, 0},
      {{kVk_PageUp}, 9, 6},
      {{kVk_Down, kVk_Down, kVk_Down, kVk_Down, kVk_Down}, 4, 1},
      {{kVk_Down, kVk_PageDown, kVk_PageDown, kVk_PageDown}, 9, 6},
      {{kVk_Up, kVk_PageUp, kVk_PageUp, kVk_PageUp}, 0, 0},
      {{kVk_Up, kVk_Up}, 8, 6},
  };
  for (const Case& c : cases) {
    MenuScene scene;
    TOrinMenu& menu = scene.Menu(Items(10), 4);
    SetFlag(menu, 147, true);
    ASSERT_TRUE(scene.list.SetFocus(&menu));
    for (int k : c.Keys) scene.Key(k);
    EXPECT_EQ(menu.Highlighted(), c.Highlight) << c.Keys.size();
    EXPECT_EQ(menu.TopIndex(), c.Top) << c.Keys.size();
    // Keys never choose.
    EXPECT_EQ(menu.Selected(), -1);
  }
}

TEST(TOrinMenu_ScrollBar, HeldArrowRepeatsAfterTheKeyDelayThenEveryInterval) {
  MenuScene scene;
  TOrinMenu& menu = scene.Menu(Items(20), 5);
  const int32_t x = 10 + menu.Width() - 4, y = 20 + menu.Height() - 4;  // the down arrow
  scene.list.MouseMove(x, y);
  scene.list.MouseDown(MouseButton::kLeft, x, y);
  scene.Frame(16);
  EXPECT_EQ(menu.TopIndex(), 1);
  scene.Frame(483);
  EXPECT_EQ(menu.TopIndex(), 1);
  scene.Frame(1);
  EXPECT_EQ(menu.TopIndex(), 2);
  scene.Frame(TOrinBaseList::kKeyRepeatInterval);
  EXPECT_EQ(menu.TopIndex(), 3);
  // Off the arrow the repeat pauses; the release ends it.
  scene.list.MouseMove(12, 23);
  scene.Frame(100);
  EXPECT_EQ(menu.TopIndex(), 3);
  scene.list.MouseUp(MouseButton::kLeft, 12, 23);
  scene.Frame(100);
  EXPECT_EQ(menu.ScrollStateNow(), TOrinCustomListBox::kScrollNone);
  EXPECT_EQ(menu.Selected(), -1);
}

TEST(TOrinMenu_ScrollBar, TrackPagesThumbDragsAndWheelScrolls) {
  MenuScene scene;
  TOrinMenu& menu = scene.Menu(Items(20), 5);  // 80 high: arrows 16, track 48
  const int32_t x = 10 + menu.Width() - 4;
  scene.Click(x, 20 + 16 + 40);  // the track below the thumb
  EXPECT_EQ(menu.TopIndex(), 5);
  scene.Click(x, 20 + 16 + 1);  // above it
  EXPECT_EQ(menu.TopIndex(), 0);
  // Dragging: top = 15 × (pointer − 16 − 8) / (80 − 48), rounded; the thumb is taken at its
  // top pixel, so the pointer stands 8 above the thumb's middle.
  scene.list.MouseMove(x, 20 + 16);
  scene.list.MouseDown(MouseButton::kLeft, x, 20 + 16);
  scene.Frame(16);
  EXPECT_EQ(menu.ScrollStateNow(), TOrinCustomListBox::kScrollThumb);
  scene.list.MouseMove(x, 20 + 16 + 16);
  scene.Frame(16);
  EXPECT_EQ(menu.TopIndex(), 8);  // 15 × 16 / 32 = 7.5
  scene.list.MouseMove(x, 200);
  scene.Frame(16);
  EXPECT_EQ(menu.TopIndex(), 15);
  scene.list.MouseUp(MouseButton::kLeft, x, 200);
  scene.Frame(16);
  scene.list.MouseMove(12, 23);
  scene.list.MouseWheel(false);
  scene.Frame(16);
  EXPECT_EQ(menu.TopIndex(), 14);
}

TEST(TOrinMenu_Open, AnimatedOpenReachesFullHeightAfterTheDurationAndRaisesOpenedOnce) {
  MenuScene scene;
  auto* menu = static_cast<TOrinMenu*>(scene.list.Create(kKindMenu));
  SetStr(*menu, 50, "A\r\nB\r\nC");
  SetInt(*menu, 26, 300);
  SetStr(*menu, 74, "open");
  SetStr(*menu, 75, "opened");
  menu->RequestOpen(TOrinMenu::kOpening);
  std::vector<int32_t> heights;
  int opened = 0;
  for (int i = 0; i < 6; ++i) {
    scene.Frame(100);
    heights.push_back(menu->Height());
    for (const std::string& e : scene.Events()) opened += e.starts_with("75 ");
    scene.HandleEvents();
  }
  // 100: layout and 74 (height 0); 101: the start; 102: grows by elapsed × 48 / 300.
  EXPECT_EQ(heights, (std::vector<int32_t>{0, 0, 16, 32, 48, 48}));
  EXPECT_EQ(opened, 1);
  EXPECT_EQ(menu->OpenStateNow(), TOrinMenu::kOpen);
  // A second open request changes nothing.
  menu->RequestOpen(TOrinMenu::kOpen);
  menu->RequestOpen(TOrinMenu::kOpening);
  scene.Frame(100);
  EXPECT_TRUE(scene.Events().empty());
}

TEST(TOrinMenu_Close, AnimatedCloseRaisesItsEventsAndFreesTheMenuOnceTheyAreHandled) {
  MenuScene scene;
  TOrinMenu& menu = scene.Menu("A\r\nB");
  SetInt(menu, 26, 100);
  menu.RequestOpen(TOrinMenu::kClosing);
  scene.Frame(50);  // 200: start, 76
  scene.Frame(50);  // 201: half way
  EXPECT_EQ(menu.Height(), 16);
  scene.Frame(50);  // the end: 77
  EXPECT_EQ(scene.Events(), (std::vector<std::string>{"76 L76", "77 L77"}));
  scene.Frame(16);
  EXPECT_NE(scene.list.Find("menu"), nullptr);  // waits for the events
  scene.HandleEvents();
  scene.Frame(16);
  EXPECT_EQ(scene.list.Find("menu"), nullptr);
}

TEST(TOrinMenu_Choose, FreeWhenFinishedClosesAtOnceAfterTheChoice) {
  MenuScene scene;
  TOrinMenu& menu = scene.Menu("A\r\nB");
  SetFlag(menu, 71, true);
  scene.Click(12, 20 + 16 + 3);
  EXPECT_EQ(scene.Events(), (std::vector<std::string>{"104 L104 B,1", "72 L72 B,1", "76 L76", "77 L77"}));
  EXPECT_EQ(scene.vars.SelStr, "B");
  scene.HandleEvents();
  scene.Frame(16);
  EXPECT_EQ(scene.list.Find("menu"), nullptr);
}

TEST(TOrinMenu_Cancel, RightPressWithTheCancelFlagClearsTheChoiceAndCloses) {
  MenuScene scene;
  TOrinMenu& menu = scene.Menu("A\r\nB");
  scene.vars.SelStr = "old";
  scene.vars.SelIndex = 4;
  scene.Click(12, 23, MouseButton::kRight);
  EXPECT_EQ(scene.vars.SelIndex, 4);  // no cancel flag: nothing
  SetFlag(menu, 73, true);
  SetInt(menu, 26, 1000);
  scene.Click(12, 23, MouseButton::kRight);
  EXPECT_EQ(scene.vars.SelIndex, -1);
  EXPECT_EQ(scene.vars.SelStr, "");
  EXPECT_EQ(menu.AnimationState(), 201);
}

TEST(TOrinCustomListBox, ItemStatesIndexOfAndOutOfRangeValues) {
  MenuScene scene;
  TOrinMenu& menu = scene.Menu(" Apple \r\nFig\r\nKiwi", 2);
  menu.SetCheck(1, true);
  EXPECT_TRUE(menu.GetCheck(1));
  EXPECT_FALSE(menu.GetCheck(0));
  for (int32_t bad : {-1, 3, 1000}) {
    menu.SetCheck(bad, true);
    menu.SetEnabled(bad, false);
    menu.SetVisible(bad, false);
    EXPECT_FALSE(menu.GetCheck(bad));
    EXPECT_FALSE(menu.GetEnabled(bad));
    EXPECT_FALSE(menu.GetVisible(bad));
  }
  EXPECT_EQ(menu.IndexOfItem("Apple"), 0);
  EXPECT_EQ(menu.IndexOfItem(" Kiwi\r\n"), 2);
  EXPECT_EQ(menu.IndexOfItem("Pear"), -1);
  // A selection or top index beyond the items is held to them.
  SetInt(menu, 44, 7);
  EXPECT_EQ(GetInt(menu, 44), -1);
  SetInt(menu, 97, 99);
  EXPECT_EQ(GetInt(menu, 97), 1);
  SetInt(menu, 97, -5);
  EXPECT_EQ(GetInt(menu, 97), 0);
  SetInt(menu, 49, -3);
  EXPECT_EQ(GetInt(menu, 49), 1);
  // New items drop the states.
  SetStr(menu, 50, "X\r\nY");
  EXPECT_FALSE(menu.GetCheck(1));
}

TEST(TOrinCustomListBox_Draw, ItemsShowInTheirLookAndTheHighlight) {
  MenuScene scene;
  TOrinMenu& menu = scene.Menu("AB\r\nCD");
  SetInt(menu, 19, 0x0000FF);  // red text
  SetInt(menu, 22, 0x00FF00);  // green highlight
  scene.list.Draw();
  EXPECT_EQ(scene.Pixel(12, 22) & 0xFFFFFF, 0xFF0000u);
  EXPECT_EQ(scene.Pixel(12, 38) & 0xFFFFFF, 0xFF0000u);
  scene.list.MouseMove(12, 38);
  scene.Frame(16);
  scene.list.Draw();
  EXPECT_EQ(scene.Pixel(12, 38) & 0xFFFFFF, 0x00FF00u);
  EXPECT_EQ(scene.Pixel(12, 22) & 0xFFFFFF, 0xFF0000u);
}

TEST(TOrinMenu_Save, RoundTripKeepsItemsLookStateAndLabels) {
  for (int version : {107, 119, 134}) {
    MenuScene scene;
    TOrinMenu& menu = scene.Menu(Items(12), 4);
    SetStr(menu, 15, "font");
    SetInt(menu, 16, 20);
    SetInt(menu, 18, 3);
    SetInt(menu, 19, 0x123456);
    SetInt(menu, 22, 0x654321);
    SetInt(menu, 26, 250);
    SetFlag(menu, 71, true);
    SetFlag(menu, 73, true);
    SetInt(menu, 65, 9);
    SetInt(menu, 141, 2);
    SetInt(menu, 155, 7);
    SetInt(menu, 97, 5);
    SetInt(menu, 44, 3);
    menu.SetCheck(2, true);
    menu.SetEnabled(4, false);
    MemoryStream s;
    scene.list.Save(s, version);

    MenuScene other;
    s.SetPosition(0);
    other.list.Load(s, version);
    EXPECT_EQ(s.Remaining(), 0);
    auto* loaded = dynamic_cast<TOrinMenu*>(other.list.Find("menu"));
    ASSERT_NE(loaded, nullptr) << version;
    EXPECT_EQ(loaded->ItemCount(), 12);
    for (int p : {16, 18, 19, 22, 26, 44, 49, 65, 97, 141, 155}) EXPECT_EQ(GetInt(*loaded, p), GetInt(menu, p)) << p;
    for (int p : {15, 50, 72, 74, 75, 76, 77, 104, 105}) EXPECT_EQ(GetStr(*loaded, p), GetStr(menu, p)) << p;
    EXPECT_TRUE(loaded->GetCheck(2));
    EXPECT_FALSE(loaded->GetEnabled(4));
    EXPECT_EQ(loaded->OpenStateNow(), TOrinMenu::kOpen);
    EXPECT_EQ(loaded->Width(), menu.Width());
    EXPECT_EQ(loaded->Height(), menu.Height());
  }
}

TEST(TOrinMenu_Save, TruncatedOrHostileRecordsFailCleanly) {
  MenuScene scene;
  scene.Menu(Items(3), 4);
  MemoryStream whole;
  scene.list.Save(whole, kSceneSaveVersion);
  const std::string bytes(reinterpret_cast<const char*>(whole.Data()), whole.Size());
  for (size_t cut : {bytes.size() / 2, bytes.size() - 5, bytes.size() - 60}) {
    MenuScene other;
    MemoryStream s;
    s.Write(bytes.data(), static_cast<int64_t>(cut));
    s.SetPosition(0);
    EXPECT_THROW(other.list.Load(s, kSceneSaveVersion), Error) << cut;
  }
}

}  // namespace
}  // namespace orin
