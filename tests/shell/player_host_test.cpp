// PlayerHost: the game behind the main window — start, a frame, drawing, the system variables it
// answers (title, screen, save captions, the call, the repeatable clock of headless runs), and
// the closing order: the status data written when it closes, even when the exit page fails.
#include <gtest/gtest.h>

#include <filesystem>

#include "core/cp932.h"
#include "core/error.h"
#include "core/text.h"
#include "imaging/mura.h"
#include "media/media_item.h"
#include "media/media_set.h"
#include "media/orin_sound.h"
#include "params/param_collection.h"
#include "params/param_host.h"
#include "params/params_test_support.h"
#include "resources/file_collection.h"
#include "resources/file_manager.h"
#include "resources/install_set.h"
#include "resources/stream.h"
#include "scene/model/orin_base_list.h"
#include "scene/objects/orin_custom_image.h"
#include "script/page.h"
#include "script/page_text.h"
#include "script/project_file.h"
#include "script/project_text.h"
#include "script/versions.h"
#include "shell/headless/headless_platform.h"
#include "shell/form_view.h"
#include "shell/player_host.h"
#include "support/test_support.h"

namespace orin {
namespace {

class FakeWindow final : public MainWindow {
 public:
  void PostClose() override { closed = true; }
  void SetCaption(const std::string& cp932) override { caption = ToUtf8(cp932); }
  MessageResult ShowMessage(const std::string&, const std::string& text, MessageButtons, MessageIcon) override {
    messages.push_back(ToUtf8(text));
    return MessageResult::kOk;
  }
  void RunFrameNow() override {}

  bool closed = false;
  std::string caption;
  std::vector<std::string> messages;
};

void WriteGame(const std::string& folder, const std::string& projectText, const std::string& page) {
  std::filesystem::create_directories(folder);
  ProjectFile project;
  ProjectFromText(projectText, project);
  MemoryStream s;
  project.SaveToStream(s);
  s.SaveToFile(folder + "orin.opb");
  TOrinInstallSet install;
  InstallSetFromText("identifier \"x\"\nfullinstall 1\n", install);
  install.SaveToFile(folder + "install.dat");
  TPage start;
  PageFromText(page, start);
  MemoryStream p;
  start.SaveToStream(p);
  p.SaveToFile(folder + "start.osb");
}

struct Player {
  explicit Player(const std::string& folder, TraceSink* trace = nullptr, PlayerMachine machine = {})
      : paths(folder), files(tempFolder, pending, {}), host(files, pending, state, paths, trace, machine) {
    files.AddArchive("");
    files.SetBaseFolder(folder);
  }
  void Frame() {
    state.RunningClock += 16;
    state.FrameDelta = 16;
    host.DeletePendingFiles();
    host.SceneInputStep();
    host.RunInterpreter();
    if (state.Closing) return;
    host.SceneStep();
    host.EndOfFrame();
  }
  std::string Str(const char* name) {
    TParamCollectionItem* v = host.Variables()->FindVariable(name);
    return v ? ToUtf8(v->Value->GetAsStr()) : "<none>";
  }

  ShellState state;
  DataPaths paths;
  TempFolder tempFolder;
  PendingDeletes pending;
  TVrFileManager files;
  PlayerHost host;
  FakeWindow window;
};

TEST(PlayerHost, RunsDrawsAndAnswersTheSystemVariables) {
  test::TempDir dir;
  const std::string folder = dir / "game/";
  WriteGame(folder, "version 110\ntitle \"タイトル\"\nscreen 32 24\nstart \"start.osb\"\npacing 0\n",
            "propset BoxNew name width height color\n"
            "BoxNew chain\n    name={\"red\"}\n    width={32}\n    height={24}\n    color={255}\n"
            "VarNew name=\"title\" type=str value={@Title} scope=0 chain\n"
            "VarNew name=\"size\" type=str value={@ScrWidth ++ \"x\" ++ @ScrHeight} scope=0 chain\n"
            "VarNew name=\"tick\" type=str value={@PCTickCount} scope=0 chain\n"
            "VarNew name=\"caps\" type=str value={\"\"} scope=0 chain\n"
            "VarNew name=\"slots\" type=int value={0} scope=0 chain\n"
            "VarNew name=\"count\" type=int value={ListSaveCaption(caps, slots)} scope=0 chain\n"
            "VarNew name=\"second\" type=str value={caps[1] ++ \"@\" ++ slots[1] ++ \"/\" ++ GetSaveCaption(3)} "
            "scope=0 chain\n"
            "Call page=\"start.osb\" target=@sub result=\"\" cond={TRUE} args=[{\"a\"}, {\"b\"}] chain\n"
            "Wait\n"
            "sub: VarNew name=\"call\" type=str value={@ParamCount ++ @ParamStr[1] ++ @StackCount} scope=0 chain\n");
  {
    HostFileSystem fs;
    TVrFileCollection saves(fs);
    saves.Open("");
    for (int slot : {7, 3}) {
      MemoryStream& s = *saves.AddMemoryEntry(Format("GAMESAVEDATA%d", slot)).Content;
      WriteInt32(s, kSaveDataVersion);
      WriteString(s, Format("slot %d", slot));
    }
    TTpBigFileStream out(folder + "save.dat", TTpBigFileStream::kCreate);
    saves.Save(out);
  }

  Player p(folder);
  p.host.Initialise(GameSettings{}, p.window);
  ASSERT_TRUE(p.host.HasProject());
  EXPECT_FALSE(p.state.Closing);
  EXPECT_EQ(p.window.caption, "タイトル");
  EXPECT_EQ(p.host.ScreenWidth(), 32);
  EXPECT_FALSE(p.host.FramePacing());
  p.Frame();
  EXPECT_EQ(p.Str("title"), "タイトル");
  EXPECT_EQ(p.Str("size"), "32x24");
  EXPECT_EQ(p.Str("tick"), "16");  // no platform's clock: the running clock stands in
  EXPECT_EQ(p.Str("count"), "2");
  EXPECT_EQ(p.Str("second"), "slot 3@3/slot 3");
  EXPECT_EQ(p.Str("call"), "2b1");

  DrawnFrame frame = p.host.Draw();
  ASSERT_EQ(frame.BackBuffer.Width, 32);
  ASSERT_EQ(frame.BackBuffer.Height, 24);
  ASSERT_EQ(frame.Dirty.size(), 1u);
  EXPECT_EQ(frame.Dirty[0].Width(), 32);
  EXPECT_EQ(frame.BackBuffer.Row(10)[10] & 0xFFFFFF, 0xFF0000u);
  p.host.FramePresented();
  EXPECT_TRUE(p.host.Draw().Dirty.empty());

  p.state.Closing = true;
  p.host.Close();
  HostFileSystem fs;
  TVrFileCollection saves(fs);
  saves.Open(folder + "save.dat");
  EXPECT_GE(saves.IndexOf("STATUSSAVEDATA"), 0);
  EXPECT_GE(saves.IndexOf("GAMESAVEDATA7"), 0);
}

class LinesTrace final : public TraceSink {
 public:
  void Write(const std::string& cp932Line) override { lines.push_back(ToUtf8(cp932Line)); }
  std::vector<std::string> lines;
};

// The player's image objects: ImgNew shows a picture from the game folder through the shared
// cache, takes its end delay, a missing picture is said once in the trace, and @CGDither keeps
// what a script sets.
TEST(PlayerHost, ShowsImageObjectsAndReportsMissingPictures) {
  test::TempDir dir;
  const std::string folder = dir / "game/";
  WriteGame(folder, "version 110\ntitle \"t\"\nscreen 32 24\nstart \"start.osb\"\npacing 0\n",
            "propset ImgNew name file left top interval\n"
            "ImgNew chain\n    name={\"bg\"}\n    file={\"Pic\\\\Blue.mur\"}\n    interval={250}\n"
            "ImgNew chain\n    name={\"a\"}\n    file={\"gone.mur\"}\n"
            "ImgNew chain\n    name={\"b\"}\n    file={\"GONE.mur\"}\n    left={4}\n"
            "VarNew name=\"dither\" type=str value={\"\"} scope=0 chain\n"
            "Calc {@CGDither = TRUE} chain\n"
            "Calc {dither = \"\" ++ @CGDither} chain\n"
            "Wait\n");
  {
    TMuraFrameList pic;
    TMuraFrame& f = pic.AddFrame();
    f.Surface.SetSize(32, 24, 32);
    f.Surface.FillRect(f.Surface.ClientRect(), 0x0000FF);
    std::filesystem::create_directories(folder + "pic");
    pic.SaveToFile(folder + "pic/blue.mur");
  }
  LinesTrace trace;
  Player p(folder, &trace);
  p.host.Initialise(GameSettings{}, p.window);
  ASSERT_TRUE(p.host.HasProject());
  p.Frame();
  auto* bg = dynamic_cast<TOrinCustomImages*>(p.host.GameScene()->Find("bg"));
  ASSERT_NE(bg, nullptr);
  EXPECT_NE(bg->EndDelayExpression(), nullptr);
  EXPECT_EQ(bg->Width(), 32);
  int missing = 0;
  for (const std::string& line : trace.lines)
    if (line.find("gone.mur") != std::string::npos || line.find("GONE.mur") != std::string::npos) ++missing;
  EXPECT_EQ(missing, 1);
  EXPECT_EQ(p.Str("dither"), "TRUE");
  DrawnFrame frame = p.host.Draw();
  ASSERT_EQ(frame.BackBuffer.Height, 24);
  EXPECT_EQ(frame.BackBuffer.Row(10)[10] & 0xFFFFFF, 0x0000FFu);
  p.state.Closing = true;
  p.host.Close();
}

// Scripts see the window's full screen and the display-mode manager: the modes that hold the game,
// the chosen one (the preferred size of the project), and @FullScr switches the window.
TEST(PlayerHost, ScriptsReadAndSwitchTheScreenMode) {
  test::TempDir dir;
  const std::string folder = dir / "game/";
  WriteGame(folder,
            "version 110\ntitle \"t\"\nscreen 800 600\nfullscreen 1024 768\nstart \"start.osb\"\n",
            "Wait\n");
  HeadlessOptions options;
  options.Messages = nullptr;
  HeadlessPlatform platform(std::move(options));
  Player p(folder, nullptr, PlayerMachine{&platform, false});
  TFormView form(platform, p.state, p.host, p.paths);
  ASSERT_TRUE(form.FormCreate());
  TParamCollection& vars = *p.host.Variables();
  // Of the headless modes, 1920x1080, 1280x1024, 1280x720 and 1024x768 hold 800 x 600 (800x600
  // itself too); 1024x768 is the preferred size.
  EXPECT_EQ(test::Eval(vars, "@DisplayModeCount"), "int 5");
  EXPECT_EQ(test::Eval(vars, "@DisplayModeIndex"), "int 3");
  EXPECT_EQ(test::Eval(vars, "@FullScr"), "flag FALSE");
  for (const char* n : {"w", "h", "b", "r"}) vars.AddVariable(kTypeInt, n);
  EXPECT_EQ(test::Eval(vars, "GetDisplayMode(3, w, h, b, r)"), "flag TRUE");
  EXPECT_EQ(test::Eval(vars, "w ++ \"x\" ++ h ++ \"x\" ++ b ++ \"@\" ++ r"), "str 1024x768x32@60");
  EXPECT_EQ(test::Eval(vars, "GetDisplayMode(5, w, h, b, r)"), "flag FALSE");
  test::Eval(vars, "@DisplayModeIndex = 1");
  EXPECT_EQ(test::Eval(vars, "@DisplayModeIndex"), "int 1");
  test::Eval(vars, "@FullScr = TRUE");
  EXPECT_TRUE(platform.FullScreen());
  EXPECT_EQ(test::Eval(vars, "@FullScr"), "flag TRUE");
  test::Eval(vars, "@FullScr = FALSE");
  EXPECT_FALSE(form.FullScreen());
  form.FormClose();
}

TEST(PlayerHost, RefusesAScreenTooLargeToAllocate) {
  test::TempDir dir;
  const std::string folder = dir / "game/";
  WriteGame(folder, "version 110\ntitle \"t\"\nscreen 40000 10\nstart \"start.osb\"\n", "Wait\n");
  Player p(folder);
  EXPECT_THROW(p.host.Initialise(GameSettings{}, p.window), Error);
  EXPECT_TRUE(p.state.Closing);
  p.host.Close();
}

TEST(PlayerHost, GameThatDoesNotStartHasNoProject) {
  test::TempDir dir;
  const std::string folder = dir / "game/";
  WriteGame(folder, "version 110\ntitle \"t\"\nscreen 32 24\nstart \"missing.osb\"\n", "Wait\n");
  Player p(folder);
  p.host.Initialise(GameSettings{}, p.window);
  EXPECT_TRUE(p.state.Closing);
  ASSERT_EQ(p.window.messages.size(), 1u);
  EXPECT_EQ(p.window.messages[0], "スタートページがありません");
  p.host.Close();
}

// Headless runs see the same clock and date every time: the platform's virtual milliseconds, and
// the fixed start date advanced by them; the run-time generator starts from that date too.
TEST(PlayerHost, HeadlessRunsSeeTheVirtualClock) {
  test::TempDir dir;
  const std::string folder = dir / "game/";
  WriteGame(folder, "version 110\ntitle \"t\"\nscreen 32 24\nstart \"start.osb\"\n", "Wait\n");
  HeadlessOptions options;
  options.DeltaMs = 1000;
  options.Messages = nullptr;
  HeadlessPlatform platform(std::move(options));
  Player p(folder, nullptr, PlayerMachine{&platform, false});
  p.host.Initialise(GameSettings{}, p.window);
  ASSERT_TRUE(p.host.HasProject());
  TParamCollection& vars = *p.host.Variables();
  const char* kDate = "@Year ++ \"-\" ++ @Month ++ \"-\" ++ @Day ++ \" \" ++ @Week ++ \" \" ++ @Hour ++ \":\" ++ @Min ++ \":\" ++ @Sec";
  EXPECT_EQ(test::Eval(vars, "@PCTickCount"), "int 0");
  EXPECT_EQ(test::Eval(vars, kDate), "str 2000-1-1 7 12:0:0");
  EXPECT_EQ(test::Eval(vars, "Random(1000000)"), "int 377317");
  std::vector<InputEvent> events;
  for (int i = 0; i < 43201; ++i) platform.PollEvents(i, events);  // 12 hours and a second
  EXPECT_EQ(test::Eval(vars, "@PCTickCount"), "int 43201000");
  EXPECT_EQ(test::Eval(vars, kDate), "str 2000-1-2 1 0:0:1");
  EXPECT_EQ(test::Eval(vars, "OpenUrl(\"http://localhost/\")"), "flag FALSE");
  p.state.Closing = true;
  p.host.Close();
}

// Fails with something other than the game's own error once armed, as running out of memory
// would.
class FailingTrace final : public TraceSink {
 public:
  void Write(const std::string&) override {
    if (armed) throw std::bad_alloc();
  }
  bool armed = false;
};

TEST(PlayerHost, ClosingSurvivesAFailingExitPageAndStillWritesTheStatusData) {
  test::TempDir dir;
  const std::string folder = dir / "game/";
  WriteGame(folder, "version 110\ntitle \"t\"\nscreen 32 24\nstart \"start.osb\"\nexit \"exit.osb\"\n",
            "Wait\n");
  {
    TPage exitPage;
    PageFromText("VarNew name=\"x\" type=int value={1} scope=0\n", exitPage);
    MemoryStream s;
    exitPage.SaveToStream(s);
    s.SaveToFile(folder + "exit.osb");
  }
  FailingTrace trace;
  Player p(folder, &trace);
  p.host.Initialise(GameSettings{}, p.window);
  ASSERT_TRUE(p.host.HasProject());
  p.Frame();
  trace.armed = true;
  p.state.Closing = true;
  testing::internal::CaptureStderr();
  EXPECT_NO_THROW(p.host.Close());
  const std::string err = testing::internal::GetCapturedStderr();
  EXPECT_NE(err.find("while closing the game"), std::string::npos) << err;
  EXPECT_EQ(p.host.Project(), nullptr);
  EXPECT_EQ(p.host.Variables(), nullptr);
  EXPECT_EQ(p.host.GameScene(), nullptr);
  HostFileSystem fs;
  TVrFileCollection saves(fs);
  saves.Open(folder + "save.dat");
  EXPECT_GE(saves.IndexOf("STATUSSAVEDATA"), 0);
}

// One second of a constant 16-bit stereo signal as a WAV file.
std::string ConstantWav() {
  const uint32_t frames = 44100, data = frames * 4;
  std::string w = "RIFF";
  auto u32 = [&](uint32_t v) {
    for (int i = 0; i < 4; ++i) w.push_back(static_cast<char>(v >> (8 * i)));
  };
  auto u16 = [&](uint16_t v) {
    w.push_back(static_cast<char>(v));
    w.push_back(static_cast<char>(v >> 8));
  };
  u32(36 + data);
  w += "WAVEfmt ";
  u32(16);
  u16(1);
  u16(2);
  u32(44100);
  u32(44100 * 4);
  u16(4);
  u16(16);
  w += "data";
  u32(data);
  for (uint32_t i = 0; i < frames * 2; ++i) u16(1000);
  return w;
}

// The player makes its media set at start with game.ini's settings, hands sounds to the scene,
// pauses them while the window is inactive and when @SoundON is off, and frees the set at close.
// Without an audio output it plays on the frame clock, silently.
TEST(PlayerHost, SoundsFollowFocusAndTheSoundSwitch) {
  for (bool directSound : {true, false}) {
    SCOPED_TRACE(directSound ? "engine" : "wave mixer");
    test::TempDir dir;
    const std::string folder = dir / "game/";
    WriteGame(folder, "version 110\ntitle \"t\"\nscreen 32 24\nstart \"start.osb\"\n",
              "propset Sound name file loop\nSound chain\n    name={\"bgm\"}\n    file={\"bgm.wav\"}\n"
              "    loop={TRUE}\nWait\n");
    dir.Write("game/bgm.wav", ConstantWav());
    Player p(folder);
    p.host.Initialise(GameSettings{directSound, 200}, p.window);
    ASSERT_NE(p.host.Media(), nullptr);
    EXPECT_EQ(p.host.Media()->Settings().DirectSound, directSound);
    EXPECT_EQ(p.host.Media()->Settings().DelayTime, 200);
    EXPECT_FALSE(p.host.Media()->HasDevice());
    for (int i = 0; i < 3; ++i) p.Frame();
    auto* bgm = dynamic_cast<TOrinSound*>(p.host.GameScene()->Find("bgm"));
    ASSERT_NE(bgm, nullptr);
    EXPECT_TRUE(bgm->IsPlaying());
    p.host.Deactivated();
    EXPECT_FALSE(bgm->IsPlaying());
    p.host.Activated();
    EXPECT_TRUE(bgm->IsPlaying());
    TParamCollection& vars = *p.host.Variables();
    test::Eval(vars, "@SoundON = FALSE");
    EXPECT_EQ(test::Eval(vars, "@SoundON"), "flag FALSE");
    EXPECT_FALSE(bgm->IsPlaying());
    test::Eval(vars, "@SoundON = TRUE");
    EXPECT_TRUE(bgm->IsPlaying());
    p.state.Closing = true;
    p.host.Close();
    EXPECT_EQ(p.host.Media(), nullptr);
  }
}

}  // namespace
}  // namespace orin
