// orinplay, run as a user or a script runs it.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <thread>

#include "app/run_program.h"
#include "imaging/image_codecs.h"
#include "resources/host_fs.h"
#include "shell/instance_lock.h"
#include "support/test_support.h"

namespace orin {
namespace {

using test::RunOrintool;
using test::RunProgram;

test::ProgramResult RunOrinplay(const std::vector<std::string>& args) {
  return RunProgram(ORINPLAY_PATH, args);
}

// The install set every installed game has beside it.
void MakeInstall(const test::TempDir& dir, const std::string& folder) {
  const std::string text = dir.Write(folder + "-install.txt", "identifier \"はじめてのゲーム\"\nfullinstall 1\n");
  auto made = RunOrintool({"install", "asm", text, "-o", dir / (folder + "/install.dat")});
  EXPECT_EQ(made.exitCode, 0) << made.err;
}

// A game folder whose project file is built from project text, with its install set and a start
// page that waits.
std::string MakeGame(const test::TempDir& dir, const std::string& folder,
                     const std::string& projectText) {
  const std::string text = dir.Write(folder + "-project.txt", projectText);
  std::filesystem::create_directories(dir / folder);
  auto made = RunOrintool({"project", "asm", text, "-o", dir / (folder + "/orin.opb")});
  EXPECT_EQ(made.exitCode, 0) << made.err;
  MakeInstall(dir, folder);
  const std::string page = dir.Write(folder + "-start.txt", "Wait\n");
  made = RunOrintool({"page", "asm", page, "-o", dir / (folder + "/start.osb")});
  EXPECT_EQ(made.exitCode, 0) << made.err;
  return dir / folder;
}

const char* kProject =
    "version 110\ntitle \"はじめてのゲーム\"\nscreen 64 48\nstart \"start.osb\"\n";

DecodedPicture ReadPng(const std::string& path) {
  const std::string bytes = test::ReadHostFile(path);
  return DecodePng(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
}

TEST(Orinplay, FolderWithoutProjectDoesNotStart) {
  test::TempDir dir;
  std::filesystem::create_directories(dir / "empty");
  auto r = RunOrinplay({"--headless", "--frames", "3", dir / "empty"});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.err.find("orin.opb"), std::string::npos) << r.err;

  r = RunOrinplay({"--headless", dir / "missing"});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.err.find("no such game"), std::string::npos) << r.err;
}

TEST(Orinplay, RunsFramesAndWritesScreenshots) {
  test::TempDir dir;
  const std::string game = MakeGame(dir, "game", kProject);
  std::filesystem::create_directories(dir / "shots");
  auto r =
      RunOrinplay({"--headless", "--frames", "5", "--delta", "20", "--screenshot", dir / "end.png",
                   "--screenshot-every", "2", dir / "shots", "--save-dir", dir / "saves", game});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  DecodedPicture end = ReadPng(dir / "end.png");
  EXPECT_EQ(end.Surface.Width(), 64);
  EXPECT_EQ(end.Surface.Height(), 48);
  Rgb corner = end.Surface.PixelToRGB(end.Surface.GetPixel(63, 47), false);
  EXPECT_EQ(corner, (Rgb{0, 0, 0}));
  EXPECT_TRUE(IsHostFile(dir / "shots/frame-000002.png"));
  EXPECT_TRUE(IsHostFile(dir / "shots/frame-000004.png"));
  EXPECT_FALSE(IsHostFile(dir / "shots/frame-000006.png"));
  EXPECT_FALSE(IsHostFile(dir / "shots/frame-000001.png"));
}

// The recording covers the run's virtual time exactly: 7 frames of 23 ms are 161 ms, so
// floor(161 × 44.1) = 7100 sample frames (silence: nothing plays sound yet).
TEST(Orinplay, AudioOutRecordsTheRunsVirtualTime) {
  test::TempDir dir;
  const std::string game = MakeGame(dir, "game", kProject);
  auto r = RunOrinplay({"--headless", "--frames", "7", "--delta", "23", "--audio-out",
                        dir / "run.wav", "--save-dir", dir / "saves", game});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  const std::string wav = test::ReadHostFile(dir / "run.wav");
  ASSERT_EQ(wav.size(), 44u + 7100 * 4);
  EXPECT_EQ(wav.substr(0, 4), "RIFF");
  EXPECT_EQ(wav.substr(36, 4), "data");
  EXPECT_EQ(wav.find_first_not_of('\0', 44), std::string::npos);

  r = RunOrinplay({"--headless", "--frames", "1", "--audio-out", dir / "missing/run.wav", game});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.err.find("missing/run.wav"), std::string::npos) << r.err;
}

TEST(Orinplay, ScreenshotFolderIsMadeWhenMissing) {
  test::TempDir dir;
  const std::string game = MakeGame(dir, "game", kProject);
  auto r = RunOrinplay({"--headless", "--frames", "2", "--screenshot-every", "2", dir / "new/shots",
                        "--save-dir", dir / "saves", game});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_TRUE(IsHostFile(dir / "new/shots/frame-000002.png"));
  // A file where the folder should be is an error before the game starts.
  dir.Write("taken", "x");
  r = RunOrinplay({"--headless", "--frames", "2", "--screenshot-every", "2", dir / "taken", game});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.err.find("not a folder"), std::string::npos) << r.err;
}

// Without a display the window would open on a driver that shows nothing, and the game would run
// unseen and never end: the player says so and stops.
TEST(Orinplay, WithoutADisplayTheWindowedPlayerSaysSo) {
  test::TempDir dir;
  const std::string game = MakeGame(dir, "game", kProject);
  for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "SDL_VIDEODRIVER", "ORIN_PLATFORM"}) unsetenv(name);
  const auto r = RunOrinplay({"--save-dir", dir / "saves", game});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.err.find("--headless"), std::string::npos) << r.err;
}

TEST(Orinplay, InputScriptErrorsNameTheLine) {
  test::TempDir dir;
  const std::string game = MakeGame(dir, "game", kProject);
  const std::string input = dir.Write("input.txt", "0 click 1 2\n3 press 4\n");
  auto r = RunOrinplay({"--headless", "--frames", "2", "--input", input, game});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.err.find("input.txt:2: unknown event press"), std::string::npos) << r.err;

  dir.Write("input.txt", "0 click 1 2\n1 key 0x1B\n1 wheel up\n");
  r = RunOrinplay({"--headless", "--frames", "2", "--input", input, game});
  EXPECT_EQ(r.exitCode, 0) << r.err;
}

TEST(Orinplay, EmptyProjectShowsTheWarningAndFails) {
  test::TempDir dir;
  dir.Write("game/orin.opb", "");
  MakeInstall(dir, "game");
  auto r = RunOrinplay({"--headless", "--frames", "1", "--answer", "ok", dir / "game"});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.err.find("[警告] プロジェクトがありません -> ok"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("did not start"), std::string::npos) << r.err;
}

TEST(Orinplay, SecondInstanceOfTheSameGameEndsSilently) {
  test::TempDir dir;
  const std::string game = MakeGame(dir, "game", kProject);
  InstanceLock held;
  ASSERT_EQ(held.Acquire(HostInstanceName(game)), InstanceLock::Result::kAcquired);
  auto r = RunOrinplay({"--headless", "--frames", "1", "--screenshot", dir / "x.png", game});
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(r.err, "");
  EXPECT_FALSE(IsHostFile(dir / "x.png"));
  held.Release();
  r = RunOrinplay({"--headless", "--frames", "1", "--screenshot", dir / "x.png", game});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_TRUE(IsHostFile(dir / "x.png"));
}

// orinplay started in the background; Stop sends a signal and collects the exit code.
class Background {
 public:
  Background(const test::TempDir& dir, const std::vector<std::string>& args)
      : out_(dir / "bg-out") {
    pid_ = ::fork();
    if (pid_ == 0) {
      const int fd = ::open(out_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
      ::dup2(fd, 1);
      ::dup2(fd, 2);
      std::vector<char*> argv{const_cast<char*>(ORINPLAY_PATH)};
      for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
      argv.push_back(nullptr);
      ::execv(ORINPLAY_PATH, argv.data());
      ::_exit(127);
    }
  }
  ~Background() {
    if (pid_ > 0) Stop(SIGKILL);
  }
  // Whether the file came to hold the text within a generous time (the player is busy, not slow).
  static bool WaitFor(const std::string& path, const std::string& text) {
    for (int i = 0; i < 600; ++i) {
      if (IsHostFile(path) && test::ReadHostFile(path).find(text) != std::string::npos) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return false;
  }
  int Stop(int signal) {
    ::kill(pid_, signal);
    int status = 0;
    ::waitpid(pid_, &status, 0);
    pid_ = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  std::string Output() const { return test::ReadHostFile(out_); }

 private:
  std::string out_;
  pid_t pid_ = -1;
};

// A start page that loops without yielding never ends its first frame; SIGTERM still ends the
// game the way the close box does: the exit page runs, the status data is written, exit code 0,
// and the log says what happened.
TEST(Orinplay, SignalEndsAGameWhoseScriptNeverYields) {
  test::TempDir dir;
  const std::string game =
      MakeGame(dir, "game", std::string(kProject) + "exit \"exit.osb\"\nvar int ended 0\n");
  const std::string start = dir.Write("loop.txt",
                                      "loop: While {TRUE} exit=@done chain\n"
                                      "  WhileLoop {} start=@loop chain\n"
                                      "done: Wait\n");
  ASSERT_EQ(RunOrintool({"page", "asm", start, "-o", game + "/start.osb"}).exitCode, 0);
  const std::string exit = dir.Write("exit.txt", "Calc {ended = ended + 1} chain\n");
  ASSERT_EQ(RunOrintool({"page", "asm", exit, "-o", game + "/exit.osb"}).exitCode, 0);

  Background player(dir, {"--headless", "--save-dir", dir / "saves", game});
  const std::string log = dir / "saves/orinplay.log";
  ASSERT_TRUE(Background::WaitFor(log, "has not yielded")) << player.Output();
  EXPECT_EQ(player.Stop(SIGTERM), 0) << player.Output();
  const std::string text = test::ReadHostFile(log);
  EXPECT_NE(text.find("script: the script has not yielded for 1 s (in start.osb at command"),
            std::string::npos)
      << text;
  EXPECT_NE(text.find("shell: the game closes while the script has not yielded"), std::string::npos)
      << text;
  EXPECT_TRUE(IsHostFile(dir / "saves/save.dat"));

  // The exit page ran and its variable reached the status data: the next run counts on from it.
  const std::string wait = dir.Write("wait.txt", "Wait\n");
  ASSERT_EQ(RunOrintool({"page", "asm", wait, "-o", game + "/start.osb"}).exitCode, 0);
  const std::string show =
      dir.Write("show.txt", "If {ended == 1} chain\n  Calc {ended = 2} id=5 chain\n");
  ASSERT_EQ(RunOrintool({"page", "asm", show, "-o", game + "/exit.osb"}).exitCode, 0);
  auto r =
      RunOrinplay({"--headless", "--frames", "1", "--trace", "--save-dir", dir / "saves", game});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_NE(r.out.find("exit.osb(5)"), std::string::npos) << r.out;
}

// Headless, nobody can close the window and --frames is never reached while the first frame
// loops: the stall limit closes the game as the close box would (the exit page runs, the status
// data is written) and the run fails, saying why.
TEST(Orinplay, HeadlessStallLimitEndsAFrameThatNeverYields) {
  test::TempDir dir;
  const std::string game =
      MakeGame(dir, "game", std::string(kProject) + "exit \"exit.osb\"\nvar int ended 0\n");
  const std::string start = dir.Write("loop.txt",
                                      "loop: While {TRUE} exit=@done chain\n"
                                      "  WhileLoop {} start=@loop chain\n"
                                      "done: Wait\n");
  ASSERT_EQ(RunOrintool({"page", "asm", start, "-o", game + "/start.osb"}).exitCode, 0);
  const std::string exit = dir.Write("exit.txt", "Calc {ended = ended + 1} chain\n");
  ASSERT_EQ(RunOrintool({"page", "asm", exit, "-o", game + "/exit.osb"}).exitCode, 0);

  auto r = RunOrinplay({"--headless", "--frames", "5", "--stall-limit", "300", "--save-dir",
                        dir / "saves", game});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.err.find("frame 0 ran longer than 300 ms without its script yielding"), std::string::npos)
      << r.err;
  EXPECT_TRUE(IsHostFile(dir / "saves/save.dat"));
  EXPECT_NE(test::ReadHostFile(dir / "saves/orinplay.log")
                .find("shell: the game closes while the script has not yielded"),
            std::string::npos);

  EXPECT_EQ(RunOrinplay({"--headless", "--stall-limit", "x", game}).exitCode, 2);
}

TEST(Orinplay, SignalEndsANormalRunCleanly) {
  test::TempDir dir;
  const std::string game = MakeGame(dir, "game", kProject);
  Background player(dir, {"--headless", "--log-level", "info", "--save-dir", dir / "saves", game});
  const std::string log = dir / "saves/orinplay.log";
  ASSERT_TRUE(Background::WaitFor(log, "the game runs")) << player.Output();
  EXPECT_EQ(player.Stop(SIGINT), 0) << player.Output();
  EXPECT_NE(test::ReadHostFile(log).find("shell: SIGINT: the game closes"), std::string::npos);
  EXPECT_TRUE(IsHostFile(dir / "saves/save.dat"));
}


TEST(Orinplay, PatchFolderReplacesGameFilesInOrder) {
  test::TempDir dir;
  const std::string game = MakeGame(dir, "game", kProject);
  std::filesystem::create_directories(dir / "fr");
  std::filesystem::create_directories(dir / "mod");
  const std::string page = dir.Write("patched.txt", "VarNew name=\"x\" type=int value={1} scope=0 id=42 chain\nWait id=43\n");
  auto made = RunOrintool({"page", "asm", page, "-o", dir / "fr/START.OSB"});
  ASSERT_EQ(made.exitCode, 0) << made.err;
  dir.Write("mod/start.osb", "not a page at all");

  auto r = RunOrinplay({"--headless", "--frames", "3", "--trace", "--patch", dir / "fr", "--patch",
                        dir / "mod", "--save-dir", dir / "saves", game});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_NE(r.out.find("start.osb(42)"), std::string::npos) << r.out;

  // A broken page in a patch folder fails as the game's own broken page would: the page does
  // not run, the player goes on.
  r = RunOrinplay({"--headless", "--frames", "3", "--trace", "--patch", dir / "mod", "--save-dir",
                   dir / "saves", game});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.out.find("start.osb("), std::string::npos) << r.out;

  r = RunOrinplay({"--headless", "--frames", "1", "--patch", dir / "none", game});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.err.find("no such patch folder"), std::string::npos) << r.err;
}

// A game whose start page shows a two-page message in a message window; a click turns the page.
std::string MakeTextGame(const test::TempDir& dir, const std::string& folder, const std::string& message) {
  const std::string game = MakeGame(dir, folder, "version 110\ntitle \"はじめてのゲーム\"\nscreen 320 240\nstart \"start.osb\"\n");
  const std::string page = dir.Write(folder + "-text.txt",
                                     "page version=110 return=int\n"
                                     "propset MesNew name left top width height fontsize textcolor onleftup\n"
                                     "MesNew id=1 chain\n  name={\"msg\"}\n  left={0}\n  top={0}\n  width={320}\n"
                                     "  height={120}\n  fontsize={24}\n  textcolor={16777215}\n"
                                     "  onleftup={\"start.osb:next\"}\n"
                                     "TextIns text=\"" + message + "\" window={\"msg\"} history={TRUE} wait={TRUE} "
                                     "nointerrupt={} id=2\n"
                                     "Wait id=3\n"
                                     "label next\n"
                                     "SetProp object={\"msg\"} prop={44} value={1} id=4\n");
  auto made = RunOrintool({"page", "asm", page, "-o", game + "/start.osb"});
  EXPECT_EQ(made.exitCode, 0) << made.err;
  return game;
}

TEST(Orinplay, TextFeedWritesEveryNewPageAndAPatchTranslatesIt) {
  test::TempDir dir;
  const std::string game =
      MakeTextGame(dir, "game", "吾輩は<RUBY VALUE=ねこ>猫</RUBY>である。<BR>名前は\\\"まだ\\\"無い。<BR CLEAR>二頁目");
  const std::string input = dir.Write("input.txt", "60 click 100 60\n");
  auto r = RunOrinplay({"--headless", "--frames", "120", "--input", input, "--text-feed", dir / "feed.jsonl",
                        "--save-dir", dir / "saves", game});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(test::ReadHostFile(dir / "feed.jsonl"),
            "{\"window\":\"msg\",\"text\":\"吾輩は猫である。\\n名前は\\\"まだ\\\"無い。\","
            "\"ruby\":[{\"base\":\"猫\",\"ruby\":\"ねこ\"}]}\n"
            "{\"window\":\"msg\",\"text\":\"二頁目\",\"ruby\":[]}\n");

  // The translation workflow: the page as text, its message changed, built into a patch folder.
  auto dis = RunOrintool({"page", "dis", game + "/start.osb", "-o", dir / "start.txt"});
  ASSERT_EQ(dis.exitCode, 0) << dis.err;
  std::string text = test::ReadHostFile(dir / "start.txt");
  const size_t from = text.find("text=\""), to = text.find("\" window=");
  ASSERT_NE(from, std::string::npos);
  text.replace(from + 6, to - from - 6, "I am a cat.");
  dir.Write("translated.txt", text);
  std::filesystem::create_directories(dir / "en");
  auto made = RunOrintool({"page", "asm", dir / "translated.txt", "-o", dir / "en/start.osb"});
  ASSERT_EQ(made.exitCode, 0) << made.err;
  r = RunOrinplay({"--headless", "--frames", "60", "--patch", dir / "en", "--text-feed", "-", "--save-dir",
                   dir / "saves", game});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.out, "{\"window\":\"msg\",\"text\":\"I am a cat.\",\"ruby\":[]}\n");
}

TEST(Orinplay, AFeedThatCannotStartIsLeftOutAndTheGamePlays) {
  test::TempDir dir;
  const std::string game = MakeTextGame(dir, "game", "はい");
  auto r = RunOrinplay({"--headless", "--frames", "30", "--text-feed", dir / "no/such/folder/feed.jsonl",
                        "--save-dir", dir / "saves", game});
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_NE(r.err.find("--text-feed is off"), std::string::npos) << r.err;
}

TEST(Orinplay, F12WritesTheGameScreenToThePicturesFolder) {
  test::TempDir dir;
  const std::string game = MakeGame(dir, "game", kProject);
  dir.Write("config/user-dirs.dirs", "XDG_PICTURES_DIR=\"" + (dir / "pics") + "\"\n");
  const char* before = std::getenv("XDG_CONFIG_HOME");
  const std::string saved = before ? before : "";
  setenv("XDG_CONFIG_HOME", (dir / "config").c_str(), 1);
  const std::string input = dir.Write("input.txt", "3 key 123\n4 keyup 123\n");
  auto r = RunOrinplay({"--headless", "--frames", "6", "--input", input, "--overlay", "--save-dir",
                        dir / "saves", "--screenshot", dir / "end.png", game});
  if (before) setenv("XDG_CONFIG_HOME", saved.c_str(), 1); else unsetenv("XDG_CONFIG_HOME");
  ASSERT_EQ(r.exitCode, 0) << r.err;
  std::vector<std::string> shots;
  for (const auto& e : std::filesystem::directory_iterator(dir / "pics/orinplay")) shots.push_back(e.path());
  ASSERT_EQ(shots.size(), 1u);
  EXPECT_NE(shots[0].find("はじめてのゲーム 20"), std::string::npos) << shots[0];
  const DecodedPicture shot = ReadPng(shots[0]);
  EXPECT_EQ(shot.Surface.Width(), 64);
  EXPECT_EQ(shot.Surface.Height(), 48);
}
TEST(Orinplay, UsageErrors) {
  test::TempDir dir;
  for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
           {"--headless", "--delta", "3001"},
           {"--headless", "--frames", "-1"},
           {"--headless", "--answer", "maybe"},
           {"--headless", "--screenshot-every", "0", "d"},
           {"--headless", "--screenshot-every", "2"},
           {"--headless", "--log-level", "loud"},
           {"--headless", "--audio-out="},
           {"--headless", "--scale", "zoom"},
           {"--headless", "--filter", "cubic"},
           {"--bogus"},
       }) {
    auto r = RunOrinplay(args);
    EXPECT_EQ(r.exitCode, 2) << args.back() << r.err;
    EXPECT_NE(r.err.find("usage:"), std::string::npos);
  }
}

}  // namespace
}  // namespace orin
