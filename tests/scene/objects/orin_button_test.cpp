// Buttons: the state machine under the pointer and the keys, the click animation with its
// deferred state, self-deletion, radio groups and the save record.
#include "scene/objects/orin_button.h"

#include <gtest/gtest.h>

#include <sstream>

#include "core/error.h"
#include "resources/file_manager.h"
#include "resources/stream.h"
#include "resources/temp_folder.h"
#include "scene/model/property_table.h"
#include "scene/scene_test_support.h"
#include "scene/text/text_services.h"
#include "support/test_support.h"

namespace orin {
namespace {

using test::GetInt;
using test::GetStr;
using test::SetFlag;
using test::SetInt;
using test::SetStr;
using Lines = std::vector<std::string>;

constexpr int kPropHoverFile = 83, kPropDownFile = 84, kPropGroup = 85, kPropAllowNone = 86, kPropToggle = 87,
              kPropClickedFile = 133;

// Colours of the state pictures (the screen's 0x00RRGGBB).
constexpr uint32_t kNormal = 0x101010, kHover = 0x202020, kDown = 0x303030, kClick0 = 0x404040, kClick1 = 0x505050;

std::shared_ptr<const MuraImages> Pictures(std::initializer_list<uint32_t> colours, int32_t duration = 100) {
  auto images = std::make_shared<MuraImages>();
  for (uint32_t c : colours) {
    MuraImage image;
    image.Picture.Color.SetSize(8, 8, 32);
    image.Picture.Color.FillRect(image.Picture.Color.ClientRect(), c);
    image.Duration = duration;
    images->Images.push_back(std::move(image));
  }
  return images;
}

// A scene whose image cache knows the state pictures: "n.mur", "h.mur", "d.mur", "c.mur" (two
// images of 100 ms), "on.mur".
class ButtonScene {
 public:
  ButtonScene() {
    cache.Add("n.mur", Pictures({kNormal}));
    cache.Add("h.mur", Pictures({kHover}));
    cache.Add("d.mur", Pictures({kDown}));
    cache.Add("c.mur", Pictures({kClick0, kClick1}));
    cache.Add("on.mur", Pictures({kDown}));
    text.Images = &cache;
    s.list.SetServices(SceneServices{&text, nullptr});
  }

  // A button at (left, top) with the given state files ("" for none).
  TOrinButton& Button(const std::string& name, int32_t left, int32_t top, const std::string& hover = "h.mur",
                      const std::string& down = "d.mur", const std::string& clicked = "c.mur",
                      TOrinControl* parent = nullptr) {
    auto* b = static_cast<TOrinButton*>(s.list.Create(kKindButton));
    b->Rename(name);
    if (parent) b->SetParent(parent);
    SetStr(*b, kPropFile, "n.mur");
    SetStr(*b, kPropHoverFile, hover);
    SetStr(*b, kPropDownFile, down);
    SetStr(*b, kPropClickedFile, clicked);
    SetInt(*b, kPropLeft, left);
    SetInt(*b, kPropTop, top);
    SetStr(*b, kEventFire, "p:click");
    SetStr(*b, kEventMotionFinished, "p:done");
    return *b;
  }

  // Runs input steps, one frame of 16 ms each: "move X Y", "down", "up", "key K" (down and up),
  // "wait MS" (frames until MS have passed). Answers the button's state after each step.
  std::string Play(TOrinButton& b, const std::string& steps) {
    std::istringstream in(steps);
    std::string op, out;
    while (in >> op) {
      if (op == "move") {
        in >> x >> y;
        s.list.MouseMove(x, y);
        s.Frame(16);
      } else if (op == "down") {
        s.list.MouseDown(MouseButton::kLeft, x, y);
        s.Frame(16);
      } else if (op == "up") {
        s.list.MouseUp(MouseButton::kLeft, x, y);
        s.Frame(16);
      } else if (op == "key") {
        int key = 0;
        in >> key;
        s.list.KeyDown(key);
        s.Frame(16);
        s.list.KeyUp(key);
        s.Frame(16);
      } else if (op == "wait") {
        int ms = 0;
        in >> ms;
        for (int t = 0; t < ms; t += 16) s.Frame(16);
      }
      if (!out.empty()) out += ' ';
      out += std::to_string(s.list.IsLive(&b) ? b.State() : -9);
    }
    return out;
  }

  // The queue's click (33) and finished (43) events, in order.
  Lines ButtonEvents() {
    Lines out;
    for (const std::string& e : s.Events())
      if (e.starts_with("33 ") || e.starts_with("43 ")) out.push_back(e);
    return out;
  }

  uint32_t PixelAfterDraw(int px, int py) {
    s.list.Draw();
    return s.Pixel(px, py) & 0xFFFFFF;
  }

  TMuraCollection cache{nullptr};
  TextServices text;
  test::Scene s;
  int32_t x = 0, y = 0;
};

struct Sequence {
  const char* Name;
  const char* Steps;
  const char* States;  // after each step
  Lines Events;
};

// The button lies at (10, 10), 8 × 8; (40, 40) is off it. The click animation takes 200 ms.
TEST(TOrinButton, PointerAndKeySequences) {
  const Lines click = {"33 p:click"};
  const Lines clickAndEnd = {"33 p:click", "43 p:done"};
  const Sequence table[] = {
      {"hover and leave", "move 12 12 move 13 12 move 40 40", "1 1 0", {}},
      {"click plays the animation, then the deferred state", "move 12 12 down up wait 250", "1 2 3 0", clickAndEnd},
      {"a move during the animation is deferred", "move 12 12 down up move 13 13 wait 250", "1 2 3 3 1",
       clickAndEnd},
      {"leaving during the animation ends it in state 0", "move 12 12 down up move 13 13 move 40 40 wait 250",
       "1 2 3 3 3 0", clickAndEnd},
      {"a press during the animation is refused", "move 12 12 down up down up", "1 2 3 3 3", click},
      {"dragged off while pressed: normal, no click", "move 12 12 down move 40 40 up", "1 2 0 0", {}},
      {"dragged off and back: down again, a click", "move 12 12 down move 40 40 move 12 12 up", "1 2 0 2 3", click},
      {"released elsewhere after the press never clicks", "move 12 12 down move 30 30 up move 12 12", "1 2 0 0 1",
       {}},
  };
  for (const Sequence& row : table) {
    ButtonScene t;
    TOrinButton& b = t.Button("b", 10, 10);
    EXPECT_EQ(t.Play(b, row.Steps), row.States) << row.Name;
    EXPECT_EQ(t.ButtonEvents(), row.Events) << row.Name;
  }
}

TEST(TOrinButton, NoLeftDownEventForTheButtonsOwnPressButTheOthersStay) {
  ButtonScene t;
  TOrinButton& b = t.Button("b", 10, 10);
  SetStr(b, kEventLeftDown, "p:down");
  SetStr(b, kEventLeftUp, "p:up");
  SetStr(b, kEventMove, "p:move");
  t.Play(b, "move 12 12 down up");
  EXPECT_EQ(t.s.Events(), (Lines{"34 p:move 2,2", "33 p:click", "37 p:up 2,2"}));
}

TEST(TOrinButton, InputModesDecideWhoTakesThePress) {
  struct Row {
    int Mode;
    const char* States;
    bool Clicks;
  };
  // 0 and 4 take the left button; 2 (hover only) and 3 (right button) see the pointer but no
  // left press; 1 ignores the pointer.
  for (const Row& row : {Row{0, "1 2 3", true}, Row{4, "1 2 3", true}, Row{2, "1 1 1", false},
                         Row{3, "1 1 1", false}, Row{1, "0 0 0", false}}) {
    ButtonScene t;
    TOrinButton& b = t.Button("b", 10, 10);
    SetInt(b, kPropInputMode, row.Mode);
    EXPECT_EQ(t.Play(b, "move 12 12 down up"), row.States) << row.Mode;
    EXPECT_EQ(!t.ButtonEvents().empty(), row.Clicks) << row.Mode;
  }
}

TEST(TOrinButton, StoppedButtonsShowNormalAndTakeNoPress) {
  ButtonScene t;
  TOrinButton& b = t.Button("b", 10, 10);
  SetFlag(b, kPropStopped, true);
  EXPECT_EQ(t.Play(b, "move 12 12 down up key 13"), "0 0 0 0");
  EXPECT_TRUE(t.ButtonEvents().empty());
}

TEST(TOrinButton, EnterAndSpaceClickWhenFocused) {
  ButtonScene t;
  TOrinButton& b = t.Button("b", 10, 10);
  SetStr(b, kEventKeyRepeat, "p:key");
  EXPECT_EQ(t.Play(b, "key 13"), "0");  // not focusable: no focus, no click
  EXPECT_TRUE(t.ButtonEvents().empty());
  SetFlag(b, kPropFocusable, true);
  t.s.Frame(16);
  ASSERT_EQ(t.s.list.Focus(), &b);
  EXPECT_EQ(t.Play(b, "key 65"), "0");  // another key only raises the key event
  EXPECT_EQ(t.s.Events(), (Lines{"146 p:key"}));
  t.s.HandleEvents();
  EXPECT_EQ(t.Play(b, "key 13 wait 250 key 32"), "3 0 3");
  // The key event of the first Enter is still pending: no second one.
  EXPECT_EQ(t.s.Events(), (Lines{"33 p:click", "146 p:key", "43 p:done", "33 p:click"}));
}

TEST(TOrinButton, StateWithoutPicturesIsIgnoredButNormalIsNot) {
  ButtonScene t;
  // No hover picture: the button keeps its normal picture under the pointer.
  TOrinButton& b = t.Button("b", 10, 10, "", "d.mur", "");
  EXPECT_EQ(t.Play(b, "move 12 12"), "0");
  EXPECT_EQ(t.PixelAfterDraw(12, 12), kNormal);
  EXPECT_EQ(t.Play(b, "down"), "2");
  EXPECT_EQ(t.PixelAfterDraw(12, 12), kDown);
  // No click picture: a click leaves the down state and returns to normal.
  EXPECT_EQ(t.Play(b, "up"), "0");
  EXPECT_EQ(t.PixelAfterDraw(12, 12), kNormal);
  EXPECT_EQ(t.ButtonEvents(), (Lines{"33 p:click"}));

  // Losing the shown state's pictures goes back to normal.
  TOrinButton& c = t.Button("c", 30, 10);
  t.Play(c, "move 32 12");
  ASSERT_EQ(c.State(), 1);
  SetStr(c, kPropHoverFile, "");
  EXPECT_EQ(c.State(), 0);
  EXPECT_EQ(t.PixelAfterDraw(32, 12), kNormal);
}

TEST(TOrinButton, ClickAnimationShowsItsImagesOnceFromTheFirst) {
  ButtonScene t;
  TOrinButton& b = t.Button("b", 10, 10);
  t.Play(b, "move 12 12 down up");
  EXPECT_EQ(b.State(), 3);
  EXPECT_EQ(t.PixelAfterDraw(12, 12), kClick0);
  t.Play(b, "wait 100");
  EXPECT_EQ(t.PixelAfterDraw(12, 12), kClick1);
  EXPECT_TRUE(t.ButtonEvents().size() == 1);
  t.Play(b, "wait 100");
  EXPECT_EQ(b.State(), 0);
  EXPECT_EQ(t.PixelAfterDraw(12, 12), kNormal);
  // The event is raised once, and the normal state loops on.
  t.Play(b, "wait 500");
  EXPECT_EQ(t.ButtonEvents(), (Lines{"33 p:click", "43 p:done"}));
}

TEST(TOrinButton, FreeWhenFinishedDeletesAfterTheClick) {
  for (const char* clicked : {"c.mur", ""}) {
    ButtonScene t;
    TOrinButton& b = t.Button("b", 10, 10, "h.mur", "d.mur", clicked);
    SetFlag(b, kPropOneShot, true);
    t.Play(b, "move 12 12 down");
    // The release by hand: the interpreter takes the click event between the input and the step.
    t.s.list.MouseUp(MouseButton::kLeft, 12, 12);
    t.s.list.InputStep(t.s.clock, 16);
    EXPECT_EQ(t.ButtonEvents(), (Lines{"33 p:click"})) << clicked;
    t.s.HandleEvents();
    t.s.list.Step();
    // With a click animation the button goes when it has run out, without an event 43; without
    // one, in the step of the click, before anyone sees a picture of it again.
    EXPECT_EQ(t.s.list.IsLive(&b), *clicked != 0) << clicked;
    EXPECT_EQ(t.Play(b, "wait 250"), "-9") << clicked;
    EXPECT_EQ(t.s.list.Find("b"), nullptr);
    EXPECT_TRUE(t.ButtonEvents().empty()) << clicked;
  }
}

// ---- Radio groups

TEST(TOrinButton, RadioGroupClicks) {
  struct Row {
    const char* Name;
    bool AllowNone;
    int Click;  // index of the clicked button
    const char* Before;
    const char* After;
  };
  const Row table[] = {
      {"clicking an off button selects it", false, 2, "100", "001"},
      {"clicking the button that is on leaves it on", false, 0, "100", "100"},
      {"with allow-none it turns off", true, 0, "100", "000"},
      {"with allow-none an off button is selected", true, 1, "000", "010"},
  };
  for (const Row& row : table) {
    ButtonScene t;
    TOrinButton* r[3];
    for (int i = 0; i < 3; ++i) {
      r[i] = &t.Button(std::string("r").append(std::to_string(i)), 10 + 10 * i, 10, "", "on.mur", "");
      SetInt(*r[i], kPropGroup, 1);
    }
    SetFlag(*r[0], kPropAllowNone, row.AllowNone);
    if (row.Before[0] == '0') SetFlag(*r[0], kPropToggle, false);
    auto toggles = [&] {
      std::string out;
      for (TOrinButton* b : r) out += b->Toggle() ? '1' : '0';
      return out;
    };
    ASSERT_EQ(toggles(), row.Before) << row.Name;
    const int cx = 12 + 10 * row.Click;
    t.Play(*r[row.Click], std::string("move ").append(std::to_string(cx)).append(" 12 down up move 5 40"));
    EXPECT_EQ(toggles(), row.After) << row.Name;
    EXPECT_EQ(t.ButtonEvents(), (Lines{"33 p:click"})) << row.Name;
    for (int i = 0; i < 3; ++i) {
      EXPECT_EQ(r[i]->State(), row.After[i] == '1' ? 2 : 0) << row.Name << " " << i;
      EXPECT_EQ(t.PixelAfterDraw(12 + 10 * i, 12), row.After[i] == '1' ? kDown : kNormal) << row.Name << " " << i;
    }
  }
}

TEST(TOrinButton, GroupNormalising) {
  ButtonScene t;
  TOrinButton& a = t.Button("a", 0, 0);
  TOrinButton& b = t.Button("b", 10, 0);
  TOrinButton& c = t.Button("c", 20, 0);
  TOrinButton& other = t.Button("other", 30, 0);
  auto toggles = [&] {
    std::string out;
    for (TOrinButton* x : {&a, &b, &c, &other}) out += x->Toggle() ? '1' : '0';
    return out;
  };
  // Without a group a button cannot be turned on.
  SetFlag(a, kPropToggle, true);
  EXPECT_EQ(toggles(), "0000");
  // Joining a group without allow-none selects its first button; later members join off.
  SetInt(b, kPropGroup, 5);
  EXPECT_EQ(toggles(), "0100");
  SetInt(c, kPropGroup, 5);
  SetInt(a, kPropGroup, 5);
  EXPECT_EQ(toggles(), "0100");
  // The button just turned on wins.
  SetFlag(c, kPropToggle, true);
  EXPECT_EQ(toggles(), "0010");
  // Turning the selected one off selects the first of the group (child order, not join order).
  SetFlag(c, kPropToggle, false);
  EXPECT_EQ(toggles(), "1000");
  // Allow-none reaches every member; then turning off leaves none on.
  SetFlag(b, kPropAllowNone, true);
  EXPECT_TRUE(a.AllowNone() && c.AllowNone());
  EXPECT_FALSE(other.AllowNone());
  SetFlag(a, kPropToggle, false);
  EXPECT_EQ(toggles(), "0000");
  // Another group number is another group, and only siblings belong to one.
  SetInt(other, kPropGroup, 6);
  EXPECT_EQ(toggles(), "0001");
  TOrinControl& box = t.s.Box("box", 0, 20, 40, 20);
  TOrinButton& child = t.Button("child", 0, 0, "h.mur", "d.mur", "c.mur", &box);
  SetInt(child, kPropGroup, 5);
  SetFlag(child, kPropToggle, true);
  EXPECT_EQ(toggles(), "0001");
  EXPECT_TRUE(child.Toggle());
  EXPECT_EQ(a.GroupMembers().size(), 3u);
}

TEST(TOrinButton, ToggleDuringTheClickAnimationWaitsForItsEnd) {
  ButtonScene t;
  TOrinButton& b = t.Button("b", 10, 10);
  t.Play(b, "move 12 12 down up");
  ASSERT_EQ(b.State(), 3);
  SetInt(b, kPropGroup, 3);  // joins and is selected
  EXPECT_TRUE(b.Toggle());
  EXPECT_EQ(b.State(), 3);
  t.Play(b, "wait 250");
  EXPECT_EQ(b.State(), 2);
}

// ---- Save and load

TEST(TOrinButton, SaveRoundTrip) {
  ButtonScene t;
  TOrinButton* r[3];
  for (int i = 0; i < 3; ++i) {
    r[i] = &t.Button(std::string("r").append(std::to_string(i)), 10 + 10 * i, 10, "h.mur", "on.mur", "c.mur");
    SetInt(*r[i], kPropGroup, 2);
  }
  SetFlag(*r[1], kPropToggle, true);
  TOrinButton& b = t.Button("b", 10, 30);
  t.Play(b, "move 12 32 down up");  // saved in the middle of its click animation
  ASSERT_EQ(b.State(), 3);
  t.Play(b, "wait 100");
  ASSERT_EQ(b.Index(), 1);
  MemoryStream saved;
  t.s.list.Save(saved, kSceneSaveVersion);

  for (int version : {kSceneSaveVersion, 103}) {
    MemoryStream again;
    if (version != kSceneSaveVersion) t.s.list.Save(again, version);
    MemoryStream& stream = version == kSceneSaveVersion ? saved : again;
    stream.SetPosition(0);
    ButtonScene u;
    u.s.list.Load(stream, version);
    EXPECT_EQ(stream.Remaining(), 0) << version;
    std::string toggles;
    for (int i = 0; i < 3; ++i) {
      auto* x = static_cast<TOrinButton*>(u.s.list.Find(std::string("r").append(std::to_string(i))));
      ASSERT_NE(x, nullptr);
      toggles += x->Toggle() ? '1' : '0';
      EXPECT_EQ(x->State(), x->Toggle() ? 2 : 0);
      EXPECT_EQ(x->Group(), 2);
      EXPECT_EQ(GetStr(*x, kPropDownFile), "on.mur");
    }
    EXPECT_EQ(toggles, "010") << version;
    auto* lb = static_cast<TOrinButton*>(u.s.list.Find("b"));
    ASSERT_NE(lb, nullptr);
    EXPECT_EQ(lb->State(), 0);
    EXPECT_EQ(lb->PressState(), 0);
    // The saved index was the click animation's second image: the normal state has one image.
    EXPECT_EQ(lb->Index(), 0);
    EXPECT_EQ(u.PixelAfterDraw(12, 32), kNormal);
    EXPECT_EQ(GetStr(*lb, kPropFireLabel), "p:click");
    EXPECT_EQ(GetStr(*lb, kPropHoverFile), "h.mur");
    // The click file came with version 104.
    EXPECT_EQ(GetStr(*lb, kPropClickedFile), version >= 104 ? "c.mur" : "") << version;
    // The loaded button works.
    u.Play(*lb, "move 12 32 down up");
    EXPECT_EQ(lb->State(), version >= 104 ? 3 : 0) << version;
  }
}

// A damaged record fails with Error wherever it is cut, and the scene is left usable.
TEST(TOrinButton, CutRecordsFailCleanly) {
  ButtonScene t;
  for (int i = 0; i < 2; ++i) {
    TOrinButton& r = t.Button(std::string("r").append(std::to_string(i)), 10 * i, 0, "h.mur", "on.mur", "c.mur");
    SetInt(r, kPropGroup, 1);
  }
  t.s.list.Create(kKindTile)->Rename("tile");
  MemoryStream saved;
  t.s.list.Save(saved, kSceneSaveVersion);
  const std::string good(saved.View());
  for (size_t n = 0; n < good.size(); ++n) {
    MemoryStream cut;
    cut.Assign(std::string_view(good).substr(0, n));
    ButtonScene u;
    EXPECT_THROW(u.s.list.Load(cut, kSceneSaveVersion), Error) << n;
    u.Play(*static_cast<TOrinButton*>(u.s.list.Create(kKindButton)), "move 1 1 down up wait 50");
  }
}

// A state file may be a motion: the state plays it from its start, state 3 once.
TEST(TOrinButton, MotionStates) {
  test::TempDir dir;
  MotionFilm film;
  film.Fields = MotionFilm::kImage;
  for (int i = 0; i < 6; ++i) {
    MotionFrame f;
    f.ImageFile = 0;
    f.ImageIndex = i < 3 ? 0 : 1;
    film.Frames.push_back(f);
  }
  film.ImageFiles = {"c.mur"};
  MemoryStream bytes;
  film.Write(bytes);
  dir.Write("click.omt", bytes.View());
  TempFolder temp;
  PendingDeletes pending;
  TVrFileManager files(temp, pending, {});
  files.SetBaseFolder(dir.Path());

  ButtonScene t;
  t.s.list.SetFiles(&files);
  TOrinButton& b = t.Button("b", 10, 10, "h.mur", "d.mur", "click.omt");
  t.Play(b, "move 12 12 down up");
  ASSERT_EQ(b.State(), 3);
  ASSERT_NE(b.Motion(), nullptr);
  EXPECT_EQ(t.PixelAfterDraw(12, 12), kClick0);
  t.Play(b, "move 13 13 wait 150");
  EXPECT_EQ(b.State(), 1);
  EXPECT_EQ(b.Motion(), nullptr);
  EXPECT_EQ(t.PixelAfterDraw(12, 12), kHover);
  EXPECT_EQ(t.ButtonEvents(), (Lines{"33 p:click", "43 p:done"}));
}

}  // namespace
}  // namespace orin
