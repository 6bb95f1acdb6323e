// Entry fields: typing and the input method, what cp932 cannot hold, keys, selection and the
// clipboard, the bounds on length, the text property as scripts see it, pixels and the save
// record.
#include "scene/objects/text_entry.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/cp932.h"
#include "core/error.h"
#include "core/text.h"
#include "imaging/font_pixel.h"
#include "params/param_collection.h"
#include "resources/stream.h"
#include "scene/model/clipboard.h"
#include "scene/model/orin_base_list.h"
#include "scene/model/property_table.h"
#include "scene/objects/orin_edit.h"
#include "scene/objects/orin_memo.h"
#include "scene/scene_test_support.h"
#include "scene/text/text_services.h"
#include "scene/text_test_support.h"

namespace orin {
namespace {

using namespace literals;
using test::GetInt;
using test::GetStr;
using test::SetFlag;
using test::SetInt;
using test::SetStr;

constexpr int kPropFontSize = 16;
constexpr int kPropTextColour = 19;
constexpr int kPropText = 50;
constexpr int kPropEditFlag = 98;

constexpr int kVkShift = 16, kVkControl = 17, kVkBack = 8, kVkReturn = 13, kVkLeft = 37,
              kVkUp = 38, kVkRight = 39, kVkDown = 40, kVkHome = 36, kVkEnd = 35, kVkDelete = 46;

class StringClipboard : public Clipboard {
 public:
  std::string Text() override { return text; }
  void SetText(const std::string& utf8) override { text = utf8; }
  std::string text;
};

// A 64 × 48 black scene with box glyphs (a single-byte character is half the font size wide, a
// double-byte one the whole size, every pixel of its box inked) and a clipboard.
struct EntryScene {
  EntryScene() : glyphs(std::make_unique<test::BoxRasterizer>()) {
    services.Glyphs = &glyphs;
    services.Vars = &vars;
    scene.SetServices({.Text = &services, .Clip = &clipboard});
    scene.SetSize(64, 48);
    scene.ActiveRoot().SetColor(0);
  }

  TextEntry& Make(uint8_t kind, int32_t width = 60, int32_t height = 20) {
    auto* e = static_cast<TextEntry*>(scene.Create(kind));
    e->Rename(kind == kKindEdit ? "edit" : "memo");
    e->SetBounds(0, 0, width, height);
    SetInt(*e, kPropFontSize, 8);
    SetInt(*e, kPropTextColour, 0x0000FF);  // red
    SetStr(*e, kPropFireLabel, "changed");
    EXPECT_TRUE(scene.SetFocus(e));
    return *e;
  }
  // Presses the keys together for one frame and lets them go.
  void Keys(std::initializer_list<int> vks) {
    for (int vk : vks) scene.KeyDown(vk);
    Frame();
    for (int vk : vks) scene.KeyUp(vk);
    Frame();
  }
  void Frame() {
    clock += 16;
    scene.InputStep(clock, 16);
    scene.Step();
  }
  std::vector<std::string> Events() {
    std::vector<std::string> out;
    TTimerList& q = scene.Events();
    for (int i = 0; i < q.Count(); ++i) {
      std::string line = std::to_string(q[i].Code) + " " + q[i].Label;
      for (const std::string& a : q[i].Args) line += " " + a;
      out.push_back(line);
    }
    return out;
  }
  void Draw() {
    scene.ActiveRoot().InvalidateAll();
    scene.Draw();
    scene.ClearDirty();
  }
  uint32_t Pixel(int x, int y) { return scene.ActiveRoot().Surface().GetPixel(x, y) & 0xFFFFFF; }

  TFontPixelManager glyphs;
  TParamCollection vars;
  TextServices services;
  StringClipboard clipboard;
  TOrinBaseList scene;
  int32_t clock = 0;
};

TEST(TextEntry_Typing, TextArrivesAsCp932AndQueuesTheChangeLabelOnce) {
  EntryScene s;
  TextEntry& e = s.Make(kKindEdit);
  s.scene.TextInput("ab");
  s.scene.TextInput("日本");
  EXPECT_EQ(e.Text(), "ab日本"_sj);
  EXPECT_EQ(e.Caret(), e.Text().size());
  EXPECT_TRUE(e.Refusal().empty());
  // One pending change event at a time; it carries the text as it was when queued.
  EXPECT_EQ(s.Events(), (std::vector<std::string>{"33 changed ab"}));
  EXPECT_EQ(GetStr(e, kPropText), "ab日本"_sj);
}

TEST(TextEntry_Typing, WhatCp932CannotHoldIsRefusedAndNeverStored) {
  struct Case {
    const char* name;
    std::string typed;
    std::string stored;  // UTF-8
  } cases[] = {
      {"emoji", "a\xF0\x9F\x98\x80z", "az"},
      {"hangul", "x\xED\x95\x9C", "x"},
      {"broken utf-8", "q\xFF\xC3", "q"},
      {"surrogate", "\xED\xA0\x80w", "w"},
      {"control character", "a\x07z", "az"},
  };
  for (const Case& c : cases) {
    EntryScene s;
    TextEntry& e = s.Make(kKindEdit);
    EXPECT_FALSE(e.TypeUtf8(c.typed)) << c.name;
    EXPECT_EQ(e.Text(), FromUtf8(c.stored)) << c.name;
    EXPECT_FALSE(e.Refusal().empty()) << c.name;
    EXPECT_TRUE(e.ShowsRefusal()) << c.name;
    // The text read back is valid cp932 through and through.
    EXPECT_TRUE(Cp932ToUtf8(e.Text()).has_value()) << c.name;
  }
}

TEST(TextEntry_Typing, RefusalHintShowsAsARedFrameAndFades) {
  EntryScene s;
  TextEntry& e = s.Make(kKindEdit, 40, 12);
  SetInt(e, kPropColor, 0xFFFFFF);
  e.TypeUtf8("\xF0\x9F\x98\x80");
  s.Draw();
  EXPECT_EQ(s.Pixel(20, 0), 0xFF0000u);  // red (0x00RRGGBB on screen)
  for (int i = 0; i < 70; ++i) s.Frame();
  EXPECT_FALSE(e.ShowsRefusal());
  s.Draw();
  EXPECT_EQ(s.Pixel(20, 0), 0xFFFFFFu);
}

TEST(TextEntry_Composition, ShownInPlaceUnderlinedAndCommittedOnlyByTextInput) {
  EntryScene s;
  TextEntry& e = s.Make(kKindEdit, 60, 14);
  SetInt(e, kPropColor, 0xFFFFFF);
  s.scene.TextInput("a");
  s.scene.TextEditing("にほ", 2);
  EXPECT_EQ(e.Text(), "a");
  EXPECT_EQ(e.Composition(), "にほ"_sj);
  // Keys belong to the input method while it composes.
  s.Keys({kVkBack});
  EXPECT_EQ(e.Text(), "a");
  s.Draw();
  // "a" is 4 wide at x 2; the composition's boxes follow at 6 .. 22, rows 2 .. 9.
  EXPECT_EQ(s.Pixel(7, 3), 0xFE0000u);
  EXPECT_EQ(s.Pixel(21, 8), 0xFE0000u);
  EXPECT_EQ(s.Pixel(23, 3), 0xFFFFFFu);
  s.scene.TextInput("日本");
  EXPECT_EQ(e.Text(), "a日本"_sj);
  EXPECT_TRUE(e.Composition().empty());
  Rect caret;
  EXPECT_TRUE(s.scene.WantsTextInput(caret));
  EXPECT_EQ(caret.Left, 2 + 4 + 16);
}

TEST(TextEntry_Keys, MovingSelectingAndDeleting) {
  EntryScene s;
  TextEntry& e = s.Make(kKindEdit);
  e.TypeUtf8("abc日d");
  s.Keys({kVkLeft});
  EXPECT_EQ(e.Caret(), 5u);  // before "d", after the double-byte character
  s.Keys({kVkShift, kVkLeft});
  EXPECT_EQ(e.SelectedText(), "日"_sj);
  s.Keys({kVkShift, kVkLeft});
  EXPECT_EQ(e.SelectedText(), "c日"_sj);
  s.Keys({kVkBack});
  EXPECT_EQ(e.Text(), "abd");
  s.Keys({kVkHome});
  s.Keys({kVkDelete});
  EXPECT_EQ(e.Text(), "bd");
  s.Keys({kVkShift, kVkEnd});
  EXPECT_EQ(e.SelectedText(), "bd");
  s.Keys({kVkRight});  // collapses the selection at its end
  EXPECT_EQ(e.Caret(), 2u);
  EXPECT_EQ(e.Anchor(), 2u);
  s.Keys({kVkReturn});  // one line: Enter types nothing
  EXPECT_EQ(e.Text(), "bd");
}

TEST(TextEntry_Keys, MemoLinesUpDownAndLineBreaks) {
  EntryScene s;
  TextEntry& e = s.Make(kKindMemo, 60, 40);
  e.TypeUtf8("abcd");
  s.Keys({kVkReturn});
  e.TypeUtf8("ef");
  EXPECT_EQ(e.Text(), "abcd\r\nef");
  EXPECT_EQ(e.LineCount(), 2);
  s.Keys({kVkUp});
  EXPECT_EQ(e.Caret(), 2u);  // same x on the line above
  s.Keys({kVkEnd});
  s.Keys({kVkDown});
  EXPECT_EQ(e.Caret(), 8u);  // the shorter line's end
  s.Keys({kVkHome});
  s.Keys({kVkBack});  // joins the lines: the break goes as one character
  EXPECT_EQ(e.Text(), "abcdef");
  s.Keys({kVkControl, kVkHome});
  EXPECT_EQ(e.Caret(), 0u);
}

TEST(TextEntry_Clipboard, CopyCutAndPaste) {
  EntryScene s;
  TextEntry& e = s.Make(kKindEdit);
  e.TypeUtf8("名前abc");
  s.Keys({kVkControl, 'A'});
  s.Keys({kVkControl, 'C'});
  EXPECT_EQ(s.clipboard.text, "名前abc");
  s.Keys({kVkEnd});
  s.Keys({kVkShift, kVkLeft});  // from the end: selection "c"
  s.Keys({kVkControl, 'X'});
  EXPECT_EQ(s.clipboard.text, "c");
  EXPECT_EQ(e.Text(), "名前ab"_sj);
  s.clipboard.text = "X\r\nY";
  s.Keys({kVkControl, 'V'});
  EXPECT_EQ(e.Text(), "名前abXY"_sj);  // one line: the break is dropped
}

TEST(TextEntry_Clipboard, InvalidTextFromTheClipboardIsRefusedAndTheRestKept) {
  EntryScene s;
  TextEntry& e = s.Make(kKindMemo, 60, 40);
  s.clipboard.text = "ok\xC0\xAF\n\xF0\x9F\x98\x80line";
  e.Paste();
  EXPECT_EQ(e.Text(), "ok\r\nline");
  EXPECT_TRUE(e.ShowsRefusal());
}

TEST(TextEntry_Limits, TenMegabytesStayBounded) {
  const std::string huge(10 * 1024 * 1024, 'x');
  for (uint8_t kind : {kKindEdit, kKindMemo}) {
    EntryScene s;
    TextEntry& e = s.Make(kind);
    SetStr(e, kPropText, huge);
    EXPECT_EQ(e.Text().size(), e.MaxBytes());
    SetStr(e, kPropText, "");
    s.clipboard.text = huge;
    e.Paste();
    EXPECT_EQ(e.Text().size(), e.MaxBytes());
    EXPECT_TRUE(e.ShowsRefusal());
    EXPECT_FALSE(e.TypeUtf8("y"));  // full
    EXPECT_EQ(e.Text().size(), e.MaxBytes());
  }
}

TEST(TextEntry_Script, TextPropertyNormalisesBreaksAndCutsAtCharacters) {
  struct Case {
    uint8_t kind;
    std::string set;
    std::string get;
  } cases[] = {
      {kKindMemo, "a\nb\rc\r\nd", "a\r\nb\r\nc\r\nd"},
      {kKindEdit, "a\nb\r\nc", "abc"},
      {kKindEdit, "ab\x83", "ab"},  // a lead byte without its trail byte
      {kKindMemo, "x\x07y\tz", "xy\tz"},
  };
  for (const Case& c : cases) {
    EntryScene s;
    TextEntry& e = s.Make(c.kind);
    SetStr(e, kPropText, c.set);
    EXPECT_EQ(GetStr(e, kPropText), c.get);
    EXPECT_TRUE(s.Events().empty());  // a script's change is no user change
  }
  EXPECT_EQ(CutCp932("あい"_sj, 3), "あ"_sj);
  EXPECT_EQ(CutCp932("あい"_sj, 4), "あい"_sj);
}

TEST(TextEntry_Script, EditFlagOffRefusesChangesButAllowsCopying) {
  EntryScene s;
  TextEntry& e = s.Make(kKindEdit);
  SetStr(e, kPropText, "fixed");
  SetFlag(e, kPropEditFlag, false);
  s.scene.TextInput("z");
  s.Keys({kVkBack});
  s.Keys({kVkControl, 'A'});
  s.Keys({kVkControl, 'X'});
  EXPECT_EQ(e.Text(), "fixed");
  EXPECT_EQ(s.clipboard.text, "fixed");
  Rect caret;
  EXPECT_FALSE(s.scene.WantsTextInput(caret));
}

TEST(TextEntry_Pointer, ClickPlacesTheCaretAndShiftClickSelects) {
  EntryScene s;
  TextEntry& e = s.Make(kKindEdit, 60, 14);
  e.TypeUtf8("abcdef");  // 4 pixels a character from x 2
  s.scene.MouseMove(11, 5);
  s.scene.MouseDown(MouseButton::kLeft, 11, 5);
  s.Frame();
  s.scene.MouseUp(MouseButton::kLeft, 11, 5);
  s.Frame();
  EXPECT_EQ(e.Caret(), 2u);
  s.scene.KeyDown(kVkShift);
  s.scene.MouseDown(MouseButton::kLeft, 19, 5);
  s.Frame();
  s.scene.MouseUp(MouseButton::kLeft, 19, 5);
  s.scene.KeyUp(kVkShift);
  s.Frame();
  EXPECT_EQ(e.SelectedText(), "cd");
}

TEST(TextEntry_Drawing, TextCaretAndSelectionPixels) {
  EntryScene s;
  TextEntry& e = s.Make(kKindMemo, 40, 24);
  SetInt(e, kPropColor, 0xFFFFFF);
  e.TypeUtf8("ab");
  s.Draw();
  EXPECT_EQ(s.Pixel(3, 3), 0xFE0000u);   // "a"
  EXPECT_EQ(s.Pixel(10, 3), 0xFF0000u);  // the caret after "b" at x 10
  EXPECT_EQ(s.Pixel(12, 3), 0xFFFFFFu);
  EXPECT_EQ(s.Pixel(45, 3), 0x000000u);  // outside the field
  e.TypeUtf8("\nc");
  e.SelectAll();
  s.Draw();
  // A selected line break shows as a selected half cell after its line.
  EXPECT_EQ(s.Pixel(11, 3), 0x0078D7u);
  EXPECT_EQ(s.Pixel(15, 3), 0xFFFFFFu);
}

TEST(TextEntry_Save, RecordRoundTripsAndLaterVersionsAreRefused) {
  EntryScene s;
  TextEntry& e = s.Make(kKindMemo, 60, 40);
  SetStr(e, kPropText, "one\r\n二"_sj);
  e.SetCaret(1);
  e.SetCaret(3, true);
  SetFlag(e, kPropEditFlag, false);
  MemoryStream stream;
  e.Save(stream, kSceneSaveVersion);
  stream.SetPosition(0);
  EntryScene t;
  auto* copy = static_cast<TextEntry*>(t.scene.Create(kKindMemo));
  copy->Load(stream, kSceneSaveVersion);
  EXPECT_EQ(stream.GetPosition(), stream.GetSize());
  EXPECT_EQ(copy->Text(), "one\r\n二"_sj);
  EXPECT_EQ(copy->SelectedText(), "ne");
  EXPECT_FALSE(copy->Editable());
  EXPECT_EQ(GetStr(*copy, kPropFireLabel), "changed");
  EXPECT_EQ(GetInt(*copy, kPropFontSize), 8);

  // A record of a later version of the field cannot be read: a clean error, not a misreading.
  MemoryStream later;
  e.TOrinControl::Save(later, kSceneSaveVersion);
  WriteInt32(later, TextEntry::kSaveVersion + 1);
  later.SetPosition(0);
  EXPECT_THROW(t.scene.Create(kKindMemo)->Load(later, kSceneSaveVersion), Error);
}

TEST(TextEntry_Save, DamagedCaretAndOversizedTextLoadBounded) {
  EntryScene s;
  TextEntry& e = s.Make(kKindEdit);
  MemoryStream stream;
  e.TOrinControl::Save(stream, kSceneSaveVersion);
  WriteInt32(stream, 1);
  WriteString(stream, "");
  WriteInt32(stream, 12);
  WriteByte(stream, 0);
  WriteInt32(stream, 0);
  WriteByte(stream, 9);
  WriteByte(stream, 1);
  WriteString(stream, "");
  WriteString(stream, std::string(TOrinEdit::kMaxBytes + 10, 'k') + "\x83");
  WriteInt32(stream, -5);
  WriteInt32(stream, 1 << 30);
  WriteInt32(stream, -1);
  WriteInt32(stream, 0);
  stream.SetPosition(0);
  auto* copy = static_cast<TextEntry*>(s.scene.Create(kKindEdit));
  copy->Load(stream, kSceneSaveVersion);
  EXPECT_EQ(copy->Text().size(), TOrinEdit::kMaxBytes);
  EXPECT_EQ(copy->Caret(), 0u);
  EXPECT_EQ(copy->Anchor(), TOrinEdit::kMaxBytes);
  EXPECT_EQ(copy->ScrollX() >= 0, true);
}

}  // namespace
}  // namespace orin
