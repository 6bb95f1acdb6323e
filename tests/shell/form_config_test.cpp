// The settings dialog: what it reads from "game.ini", what its controls do by keyboard and
// pointer, what OK writes and where.
#include "shell/form_config.h"

#include <gtest/gtest.h>

#include "core/error.h"
#include "resources/host_fs.h"
#include "shell/ini_file.h"
#include "support/test_support.h"

namespace orin {
namespace {

using Control = TFormConfig::Control;

constexpr int kVkTab = 0x09, kVkReturn = 0x0D, kVkShift = 0x10, kVkEscape = 0x1B,
              kVkSpace = 0x20, kVkEnd = 0x23, kVkHome = 0x24, kVkLeft = 0x25, kVkRight = 0x27;

struct Dialog {
  test::TempDir dir;
  std::string readPath = dir / "game/game.ini";
  std::string writePath = dir / "save/game.ini";
  std::unique_ptr<TFormConfig> form;

  explicit Dialog(const std::string& stored = {}, bool hasFile = true) {
    if (hasFile) dir.Write("game/game.ini", stored);
    dir.Write("save/keep", "");
    form = std::make_unique<TFormConfig>(readPath, writePath, nullptr);
  }
  void Key(int vk) { form->HandleInput(InputEvent::KeyDown(vk)); }
  void Click(int x, int y) {
    form->HandleInput(InputEvent::MouseDown(MouseButton::kLeft, x, y));
    form->HandleInput(InputEvent::MouseUp(MouseButton::kLeft, x, y));
  }
  void ClickIn(Control c) {
    const Rect r = form->ControlRect(c);
    Click((r.Left + r.Right) / 2, (r.Top + r.Bottom) / 2);
  }
  IniFile Written() const {
    IniFile ini;
    EXPECT_TRUE(ini.Load(writePath));
    return ini;
  }
};

TEST(TFormConfig, ReadsTheStoredSettings) {
  struct Case {
    const char* stored;
    bool hasFile;
    bool directSound;
    int position;
  } cases[] = {
      {"", false, true, 5},
      {"[Sound]\nDirectSound=0\nDelayTime=250\n", true, false, 2},
      {"[Sound]\nDirectSound=0\nDelayTime=599\n", true, false, 5},
      {"[Sound]\nDirectSound=0\nDelayTime=600\n", true, false, 5},
      {"[Sound]\nDirectSound=0\nDelayTime=50\n", true, false, 1},
      {"[Sound]\nDirectSound=0\nDelayTime=-300\n", true, false, 1},
      {"[Sound]\nDirectSound=yes\nDelayTime=fast\n", true, true, 5},
      {"[sound]\ndirectsound=1\ndelaytime=100\n", true, true, 1},
  };
  for (const Case& c : cases) {
    Dialog d(c.stored, c.hasFile);
    EXPECT_EQ(d.form->DirectSound(), c.directSound) << c.stored;
    EXPECT_EQ(d.form->Position(), c.position) << c.stored;
    EXPECT_EQ(d.form->DelayEnabled(), !c.directSound) << c.stored;
    EXPECT_EQ(d.form->ValueText(), std::to_string(c.position * 100) + "ms") << c.stored;
    EXPECT_TRUE(d.form->Visible());
  }
}

TEST(TFormConfig, OkWritesBothKeysToTheWritePathAndKeepsTheRest) {
  Dialog d("[Sound]\r\nDirectSound=0\r\nDelayTime=250\r\nVolume=7\r\n[Other]\r\nX=1\r\n");
  d.ClickIn(Control::kOk);
  EXPECT_FALSE(d.form->Visible());
  EXPECT_TRUE(d.form->Accepted());
  const IniFile ini = d.Written();
  EXPECT_EQ(ini.ReadString("Sound", "DirectSound", ""), "0");
  EXPECT_EQ(ini.ReadString("Sound", "DelayTime", ""), "200");
  EXPECT_EQ(ini.ReadString("Sound", "Volume", ""), "7");
  EXPECT_EQ(ini.ReadString("Other", "X", ""), "1");
  // The file the game shipped with is left as it was.
  EXPECT_EQ(test::ReadHostFile(d.readPath),
            "[Sound]\r\nDirectSound=0\r\nDelayTime=250\r\nVolume=7\r\n[Other]\r\nX=1\r\n");
}

TEST(TFormConfig, OkWithoutAStoredFileWritesTheDefaults) {
  Dialog d({}, false);
  d.Key(kVkReturn);
  const IniFile ini = d.Written();
  EXPECT_EQ(ini.ReadString("Sound", "DirectSound", ""), "1");
  EXPECT_EQ(ini.ReadString("Sound", "DelayTime", ""), "500");
}

TEST(TFormConfig, CancelEscapeAndCloseWriteNothing) {
  for (int way = 0; way < 4; ++way) {
    Dialog d("[Sound]\nDirectSound=0\nDelayTime=300\n");
    d.Key(kVkRight);  // focus moves on; nothing changes the settings
    d.Key('S');
    switch (way) {
      case 0: d.ClickIn(Control::kCancel); break;
      case 1: d.Key(kVkEscape); break;
      case 2: d.form->HandleInput(InputEvent::Of(InputKind::kClose)); break;
      case 3:
        // Enter on the focused キャンセル presses it, not the default button.
        d.Key(kVkShift);
        d.Key(kVkTab);
        d.form->HandleInput(InputEvent::KeyUp(kVkShift));
        ASSERT_EQ(d.form->Focus(), Control::kCancel);
        d.Key(kVkReturn);
        break;
    }
    EXPECT_FALSE(d.form->Visible()) << way;
    EXPECT_FALSE(d.form->Accepted()) << way;
    EXPECT_FALSE(IsHostFile(d.writePath)) << way;
  }
}

TEST(TFormConfig, TheCheckBoxEnablesTheDelayOnlyWhenClear) {
  Dialog d("[Sound]\nDirectSound=0\nDelayTime=300\n");
  EXPECT_TRUE(d.form->DelayEnabled());
  d.Key(kVkSpace);  // the check box has the focus at first
  EXPECT_TRUE(d.form->DirectSound());
  EXPECT_FALSE(d.form->DelayEnabled());
  // The disabled track bar takes neither the pointer nor the focus.
  d.ClickIn(Control::kTrackBar);
  EXPECT_EQ(d.form->Position(), 3);
  EXPECT_EQ(d.form->Focus(), Control::kCheckBox);
  d.Key(kVkTab);
  EXPECT_EQ(d.form->Focus(), Control::kOk);
  d.Key('D');
  EXPECT_EQ(d.form->Focus(), Control::kOk);
  d.ClickIn(Control::kCheckBox);
  EXPECT_FALSE(d.form->DirectSound());
  d.Key('D');
  EXPECT_EQ(d.form->Focus(), Control::kTrackBar);
  // Ticking the box while the track bar has the focus moves the focus on.
  d.Key('S');
  EXPECT_TRUE(d.form->DirectSound());
  EXPECT_EQ(d.form->Focus(), Control::kCheckBox);
}

TEST(TFormConfig, TheTrackBarMovesByKeysWithinItsRange) {
  Dialog d("[Sound]\nDirectSound=0\nDelayTime=300\n");
  d.Key(kVkTab);
  ASSERT_EQ(d.form->Focus(), Control::kTrackBar);
  const struct {
    int vk;
    int position;
  } steps[] = {{kVkRight, 4}, {kVkRight, 5}, {kVkRight, 5}, {kVkHome, 1},
               {kVkLeft, 1},  {kVkEnd, 5},   {kVkLeft, 4}};
  for (const auto& s : steps) {
    d.Key(s.vk);
    EXPECT_EQ(d.form->Position(), s.position) << s.vk;
  }
  EXPECT_EQ(d.form->ValueText(), "400ms");
  d.Key(kVkReturn);
  EXPECT_EQ(d.Written().ReadString("Sound", "DelayTime", ""), "400");
}

TEST(TFormConfig, TheTrackBarFollowsThePointer) {
  Dialog d("[Sound]\nDirectSound=0\nDelayTime=300\n");
  const Rect track = d.form->ControlRect(Control::kTrackBar);
  const int y = track.Top + 8;
  // Beside the thumb a click pages one step toward the pointer.
  d.Click(track.Left + 2, y);
  EXPECT_EQ(d.form->Position(), 2);
  EXPECT_EQ(d.form->Focus(), Control::kTrackBar);
  d.Click(track.Right - 2, y);
  EXPECT_EQ(d.form->Position(), 3);
  // The thumb (in the middle at 3) is dragged to the nearest step.
  const int middle = (track.Left + track.Right) / 2;
  d.form->HandleInput(InputEvent::MouseDown(MouseButton::kLeft, middle, y));
  d.form->HandleInput(InputEvent::MouseMove(track.Right + 40, y + 30));
  EXPECT_EQ(d.form->Position(), 5);
  d.form->HandleInput(InputEvent::MouseUp(MouseButton::kLeft, track.Left - 10, y));
  EXPECT_EQ(d.form->Position(), 1);
}

TEST(TFormConfig, AButtonReleasedAwayFromItIsNotPressed) {
  Dialog d;
  const Rect ok = d.form->ControlRect(Control::kOk);
  d.form->HandleInput(InputEvent::MouseDown(MouseButton::kLeft, ok.Left + 5, ok.Top + 5));
  d.form->HandleInput(InputEvent::MouseUp(MouseButton::kLeft, 5, 5));
  EXPECT_TRUE(d.form->Visible());
  // The right button presses nothing.
  d.form->HandleInput(InputEvent::MouseDown(MouseButton::kRight, ok.Left + 5, ok.Top + 5));
  d.form->HandleInput(InputEvent::MouseUp(MouseButton::kRight, ok.Left + 5, ok.Top + 5));
  EXPECT_TRUE(d.form->Visible());
}

TEST(TFormConfig, AFileThatCannotBeWrittenKeepsTheDialogOpen) {
  test::TempDir dir;
  dir.Write("blocker", "a file where the folder should be");
  TFormConfig form(dir / "none.ini", dir / "blocker/game.ini", nullptr);
  EXPECT_THROW(form.Ok(), Error);
  EXPECT_TRUE(form.Visible());
  EXPECT_FALSE(form.Accepted());
  form.Cancel();
  EXPECT_FALSE(form.Visible());
}

TEST(TFormConfig, DrawsTheTickAndTheThumbWhereTheStateSays) {
  Dialog d("[Sound]\nDirectSound=0\nDelayTime=100\n");
  const Rect box = d.form->ControlRect(Control::kCheckBox);
  const Rect track = d.form->ControlRect(Control::kTrackBar);
  auto tickInk = [&](const PixelBuffer& p) {
    int ink = 0;
    for (int y = box.Top; y < box.Bottom; ++y)
      for (int x = box.Left + 2; x < box.Left + 11; ++x) ink += p.Pixel(x, y) == TFormConfig::kText;
    return ink;
  };
  // The thumb's lit left edge, at the first and at the last step.
  auto thumbAt = [&](const PixelBuffer& p, int x) { return p.Pixel(x, track.Top + 6); };
  const int first = track.Left + 10 - 5, last = track.Right - 11 - 5;
  PixelBuffer before = d.form->Draw();
  EXPECT_EQ(tickInk(before), 0);
  EXPECT_EQ(thumbAt(before, first), TFormConfig::kHighlight);
  EXPECT_EQ(thumbAt(before, last), TFormConfig::kFace);
  d.Key(kVkTab);
  d.Key(kVkEnd);
  d.Key(kVkShift);
  d.Key(kVkTab);
  d.Key(kVkSpace);
  ASSERT_TRUE(d.form->NeedsRedraw());
  const PixelBuffer& after = d.form->Draw();
  EXPECT_GT(tickInk(after), 10);
  EXPECT_EQ(thumbAt(after, first), TFormConfig::kFace);
  EXPECT_EQ(thumbAt(after, last), TFormConfig::kHighlight);
  EXPECT_FALSE(d.form->NeedsRedraw());
}

}  // namespace
}  // namespace orin
