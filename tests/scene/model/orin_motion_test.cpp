// Motion files and the motion player.
#include "scene/model/orin_motion.h"

#include <gtest/gtest.h>

#include <cmath>

#include "core/error.h"
#include "resources/file_manager.h"
#include "resources/stream.h"
#include "resources/temp_folder.h"
#include "scene/model/motion_film.h"
#include "scene/model/property_table.h"
#include "scene/scene_test_support.h"
#include "support/test_support.h"

namespace orin {
namespace {

using test::Scene;

// A film whose frame n moves to (n, 2n) and sets depth offset n.
std::unique_ptr<MotionFilm> Film(int frames, bool relative = false, int32_t loopStart = 0) {
  auto film = std::make_unique<MotionFilm>();
  film->Fields = MotionFilm::kPosition | MotionFilm::kDepth;
  film->Relative = relative;
  film->LoopStart = loopStart;
  for (int n = 0; n < frames; ++n) {
    MotionFrame f;
    f.X = n;
    f.Y = 2 * n;
    f.DepthOffset = n;
    film->Frames.push_back(f);
  }
  return film;
}

std::string Bytes(const MotionFilm& film) {
  MemoryStream m;
  film.Write(m);
  return std::string(m.View());
}

TEST(MotionFilm, BinaryAndTextRoundTrip) {
  MotionFilm film;
  film.Fields = MotionFilm::kAllFields;
  film.Relative = true;
  film.LoopStart = 1;
  film.ImageFiles = {"a.mur", "\x83\x5C.mur"};
  MotionFrame f;
  for (int n = 0; n < 3; ++n) {
    f.X = n, f.Y = -n, f.ZoomX = 256 + n, f.ZoomY = 128, f.Alpha = 200, f.Rotation = 64 * n, f.DepthOffset = -n;
    f.ImageFile = n % 2, f.ImageIndex = n;
    film.Frames.push_back(f);
  }
  film.Frames.push_back(film.Frames.back());
  MemoryStream m;
  film.Write(m);
  m.SetPosition(0);
  MotionFilm back;
  back.Read(m);
  EXPECT_EQ(back.Frames, film.Frames);
  EXPECT_EQ(back.ImageFiles, film.ImageFiles);
  EXPECT_TRUE(back.Relative);
  EXPECT_EQ(back.LoopStart, 1);
  const MotionFilm fromText = MotionFilm::ParseText(film.ToText());
  EXPECT_EQ(Bytes(fromText), Bytes(film));
  EXPECT_NE(film.ToText().find("repeat 1"), std::string::npos);
}

TEST(MotionFilm, TextKeysCarryOverAndMakeTheFields) {
  const MotionFilm film = MotionFilm::ParseText(
      "# a slide\n"
      "loop-start 2\n"
      "frame pos=0,0 alpha=10\n"
      "frame pos=5,1   # alpha stays 10\n"
      "repeat 2\n"
      "frame alpha=20\n");
  ASSERT_EQ(film.FrameCount(), 5);
  EXPECT_EQ(film.Fields, uint32_t{MotionFilm::kPosition | MotionFilm::kAlpha});
  EXPECT_EQ(film.Frames[3].X, 5);
  EXPECT_EQ(film.Frames[3].Alpha, 10);
  EXPECT_EQ(film.Frames[4].X, 5);
  EXPECT_EQ(film.Frames[4].Alpha, 20);
  EXPECT_EQ(film.LoopStart, 2);
  EXPECT_FALSE(film.Relative);
}

TEST(MotionFilm, MalformedTextNamesTheLine) {
  const char* const texts[] = {
      "frame pos=1\n",        "frame pos=1,x\n", "frame size=3\n", "repeat 2\n", "loop-start 5\nframe\n",
      "frame image=0,0\n",    "jump 3\n",        "relative yes\n",
  };
  for (const char* text : texts) EXPECT_THROW(MotionFilm::ParseText(text), Error) << text;
  try {
    MotionFilm::ParseText("frame\nframe pos=1\n");
    FAIL();
  } catch (const Error& e) {
    EXPECT_NE(e.Message().find("line 2"), std::string::npos) << e.Message();
  }
}

// Damaged files, each named after its defect, give a clean error.
TEST(MotionFilm, MalformedFilesAreRefused) {
  const std::string good = Bytes(*Film(3));
  struct Case {
    const char* defect;
    std::string bytes;
  };
  auto patch32 = [&](size_t at, uint32_t v) {
    std::string b = good;
    for (int i = 0; i < 4; ++i) b[at + i] = static_cast<char>(v >> (8 * i));
    return b;
  };
  std::string version = good;
  version[4] = 2;
  std::string flags = good;
  flags[6] = 2;
  const Case cases[] = {
      {"empty", ""},
      {"bad-signature", std::string("OMT!").append(good.substr(4))},
      {"unknown-version", version},
      {"unknown-flags", flags},
      {"unknown-fields", patch32(8, 0x40)},
      {"frame-count-past-end", patch32(12, 4)},
      {"negative-frame-count", patch32(12, 0x80000000u)},
      {"loop-start-outside", patch32(16, 3)},
      {"file-count-past-end", patch32(20, 1000)},
      {"truncated-frames", good.substr(0, good.size() - 1)},
      {"truncated-header", good.substr(0, 10)},
  };
  for (const Case& c : cases) {
    MemoryStream m;
    m.Assign(c.bytes);
    MotionFilm film;
    EXPECT_THROW(film.Read(m), Error) << c.defect;
  }
  // An image index outside the list.
  MotionFilm film = *Film(1);
  film.Fields |= MotionFilm::kImage;
  film.Frames[0].ImageFile = 0;
  MemoryStream m;
  EXPECT_THROW(film.Write(m), Error);
}

struct MotionScene : Scene {
  MotionScene() : box(Box("box", 100, 50, 10, 10)) {}
  TOrinBox& box;
};

// 30 frames at 60 per second: no time passes in the first two steps; frame = round(elapsed /
// 16.67); paused time does not count; the motion finishes on frame 29 once elapsed rounds past
// it, and raises its finished label once.
TEST(TOrinMotion, FrameTimingWithPauseAndFinish) {
  MotionScene s;
  s.box.AttachMotion(Film(30), "m.omt");
  s.box.SetLabel(kEventMotionFinished, "p:done");
  TOrinMotion& m = *s.box.Motion();
  struct Step {
    int32_t delta;
    bool paused;
    int32_t elapsed, frame;
  };
  const Step steps[] = {
      {16, false, 0, 0},    // first step: countdown 2
      {16, false, 0, 0},    // countdown 1
      {17, false, 17, 1},   // 1.02 frames
      {9, false, 26, 2},    // 1.56
      {100, true, 26, 2},   // paused
      {457, false, 483, 29},
      {8, false, 491, 29},  // 29.46: still frame 29, running
  };
  for (const Step& st : steps) {
    s.box.SetPaused(st.paused);
    s.Frame(st.delta);
    EXPECT_EQ(m.Elapsed(), st.elapsed) << "at " << s.clock;
    EXPECT_EQ(m.CurrentFrame(), st.frame) << "at " << s.clock;
    EXPECT_FALSE(m.Finished());
  }
  EXPECT_EQ(s.box.ScreenX(), 29);  // an absolute film: the frame's position itself
  EXPECT_EQ(s.box.DepthOffset(), 29);
  s.Frame(1);  // 492: 29.52 rounds to 30, past the end
  EXPECT_TRUE(m.Finished());
  EXPECT_EQ(m.CurrentFrame(), 29);
  EXPECT_EQ(s.Events(), (std::vector<std::string>{"43 p:done"}));
  s.Frame(100);
  EXPECT_EQ(s.list.Events().Count(), 1);
  EXPECT_TRUE(test::GetInt(s.box, kPropBusy) == 0);
}

TEST(TOrinMotion, LoopingContinuesAtTheLoopStart) {
  MotionScene s;
  test::SetFlag(s.box, kPropLoop, true);
  s.box.AttachMotion(Film(10, false, 4), "m.omt");
  s.Frame(0);
  s.Frame(0);
  s.Frame(167);  // frame 10 = one past the end: 10 mod 10 + 4
  EXPECT_EQ(s.box.Motion()->CurrentFrame(), 4);
  EXPECT_EQ(s.box.Motion()->Elapsed(), 67);  // 4 × 16.67 rounded
  s.Frame(1000);  // 1067 ms: frame 64: 64 mod 10 + 4 = 8
  EXPECT_EQ(s.box.Motion()->CurrentFrame(), 8);
  EXPECT_FALSE(s.box.Motion()->Finished());
  // Property 44 moves the motion to a frame's time.
  test::SetInt(s.box, kPropIndex, 2);
  EXPECT_EQ(s.box.Motion()->Elapsed(), 33);
}

TEST(TOrinMotion, RelativeFilmsFollowTheControlAndFreeWhenFinished) {
  MotionScene s;
  s.box.AttachMotion(Film(3, true), "m.omt");
  s.Frame(16);
  EXPECT_EQ(s.box.ScreenX(), 100);
  EXPECT_EQ(s.box.ScreenY(), 50);
  s.Frame(16);
  s.Frame(17);  // frame 1
  EXPECT_EQ(s.box.ScreenX(), 101);
  // A script moves the control: the base point follows and the frame is applied again.
  s.box.SetLeft(200);
  s.Frame(0);
  EXPECT_EQ(s.box.ScreenX(), 201);
  EXPECT_EQ(s.box.ScreenY(), 52);
  // Free when finished: the control is deleted on the step where the motion ends.
  test::SetFlag(s.box, kPropOneShot, true);
  const uint64_t serial = s.box.Serial();
  s.Frame(100);
  EXPECT_EQ(s.list.FindBySerial(serial), nullptr);
}

TEST(TOrinMotion, DetachResetsThePositionAndDepthOffset) {
  MotionScene s;
  s.box.AttachMotion(Film(3), "m.omt");
  s.Frame(16);
  s.Frame(16);
  s.Frame(34);  // frame 2
  EXPECT_EQ(s.box.DepthOffset(), 2);
  s.box.DetachMotion();
  EXPECT_EQ(s.box.DepthOffset(), 0);
  EXPECT_EQ(s.box.MotionX(), 0);
  EXPECT_EQ(s.box.ScreenX(), 100);
  // A motion that is stopped takes no steps; a restart starts over.
  s.box.AttachMotion(Film(3), "m.omt");
  s.box.SetStopped(true);
  s.Frame(100);
  EXPECT_EQ(s.box.Motion()->CurrentFrame(), -1);
  s.box.SetStopped(false);
  s.Frame(16), s.Frame(16), s.Frame(34);
  s.box.RestartMotion();
  EXPECT_EQ(s.box.Motion()->Elapsed(), 0);
}

// A box's file property loads a motion through the file manager; a missing or damaged file
// leaves the box standing; a saved box loads its motion again.
TEST(TOrinMotion, BoxesLoadMotionFilesByName) {
  test::TempDir dir;
  MemoryStream bytes;
  Film(5)->Write(bytes);
  dir.Write("anim/slide.omt", bytes.View());
  dir.Write("broken.omt", "OMT\x1a\x01");
  TempFolder temp;
  PendingDeletes pending;
  TVrFileManager files(temp, pending, {});
  files.SetBaseFolder(dir.Path());
  Scene s;
  s.list.SetFiles(&files);
  TOrinBox& box = s.Box("box", 0, 0, 1, 1);
  test::SetStr(box, kPropFile, "ANIM\\Slide.omt");
  ASSERT_NE(box.Motion(), nullptr);
  EXPECT_EQ(box.Motion()->Film().FrameCount(), 5);
  EXPECT_EQ(test::GetStr(box, kPropFile), "ANIM\\Slide.omt");
  for (const char* name : {"missing.omt", "broken.omt", ""}) {
    test::SetStr(box, kPropFile, name);
    EXPECT_EQ(box.Motion(), nullptr) << name;
  }
  test::SetStr(box, kPropFile, "anim\\slide.omt");
  MemoryStream saved;
  s.list.Save(saved, kSceneSaveVersion);
  saved.SetPosition(0);
  Scene t;
  t.list.SetFiles(&files);
  t.list.Load(saved, kSceneSaveVersion);
  TOrinControl* loaded = t.list.FindControl("box");
  ASSERT_NE(loaded, nullptr);
  ASSERT_NE(loaded->Motion(), nullptr);
  EXPECT_EQ(loaded->Motion()->FileName(), "anim\\slide.omt");
}

}  // namespace
}  // namespace orin
