// orinplay: the player. Runs a game folder or a Windows game executable that carries its archive,
// in an SDL window or headless (no window, no sound device) for tests and automation.
//
//   orinplay [OPTIONS] [GAMEDIR | GAME.exe] [FOLDER...]
//
// SIGINT and SIGTERM end the game as the window's close box does (exit page, status data, 0).
//
// Exit codes: 0 the game ended or the frame count was reached (also when another instance already
// runs this game, or the game lies on an install disc: the player then ends silently, as the
// Windows player does); 1 the game could not start or a run failed (message on stderr); 2 usage.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/common/arg_parser.h"
#include "core/cp932.h"
#include "core/error.h"
#include "core/log.h"
#include "resources/file_manager.h"
#include "resources/host_fs.h"
#include "resources/temp_folder.h"
#include "imaging/font_finder.h"
#include "imaging/font_pixel.h"
#include "imaging/freetype_rasterizer.h"
#include "imaging/row_team.h"
#include "shell/data_paths.h"
#include "shell/display_scale.h"
#include "shell/dock_captions.h"
#include "shell/form_config.h"
#include "shell/form_view.h"
#include "shell/game_ini.h"
#include "shell/game_location.h"
#include "shell/headless/headless_platform.h"
#include "shell/headless/input_script.h"
#include "shell/instance_lock.h"
#include "shell/screenshot.h"
#include "shell/optical_media.h"
#include "shell/player_extras.h"
#include "shell/player_host.h"
#include "shell/player_icon.h"
#include "shell/sdl/sdl_platform.h"
#include "shell/shell_state.h"
#include "shell/stop_signals.h"
#include "services/http/curl_http.h"
#include "services/http/network_consent.h"

namespace orin::play {
namespace {

using app::ArgParser;
using app::UsageError;

constexpr const char* kUsage =
    "usage: orinplay [OPTIONS] [GAMEDIR | GAME.exe] [FOLDER...]\n"
    "\n"
    "Runs the game in GAMEDIR (or the game carried by GAME.exe); each FOLDER's game.dat is added.\n"
    "Without a game: the game beside orinplay, else the one in the current folder, else the demo.\n"
    "\n"
    "  --headless               no window and no sound device (also ORIN_PLATFORM=headless)\n"
    "  --frames N               stop after N frames\n"
    "  --delta MS               fixed frame delta in headless runs, 0-3000 (default 16)\n"
    "  --stall-limit MS         headless: real time one frame may run before the run is ended\n"
    "                           as by the close box and fails (default 10000; 0: no limit)\n"
    "  --input FILE             scripted input for headless runs, one event per line:\n"
    "                           FRAME click|rclick|down|up|move X Y, FRAME wheel up|down,\n"
    "                           FRAME key VK, FRAME keyup VK, FRAME text TEXT,\n"
    "                           FRAME compose TEXT, FRAME clip TEXT\n"
    "  --screenshot PATH        PNG of the screen at the end\n"
    "  --screenshot-every N DIR PNG of the screen every N frames, DIR/frame-000123.png\n"
    "  --trace                  the interpreter's trace lines on stdout\n"
    "  --answer A[,A...]        answers of message boxes in headless runs: ok, cancel, yes, no\n"
    "                           (in order, the last one repeating)\n"
    "  --audio-out FILE.wav     headless: the run's sound as a WAV file (44.1 kHz, 16-bit,\n"
    "                           stereo; sample n at n/44.1 ms of the virtual clock)\n"
    "  --save-dir DIR           where save.dat, game.ini and logs are written\n"
    "  --log-level LEVEL        what goes into orinplay.log: off, error, warn (default), info,\n"
    "                           debug\n"
    "  --config                 the sound settings dialog instead of the game\n"
    "  --scale fit|integer|stretch\n"
    "                           how the game is scaled to the window and the screen (default fit:\n"
    "                           the largest size with its aspect; integer: whole multiples only;\n"
    "                           stretch: the whole window)\n"
    "  --allow-network          the game may make network requests (otherwise every request\n"
    "                           fails, or, in a window, the player asks once per game)\n"
  "  --filter nearest|linear  the scaling filter (default: nearest at whole multiples, else\n"
    "                           linear)\n"
    "  --patch DIR              a folder whose files replace the game's files of the same name\n"
    "                           (repeatable; the first one given wins; docs/translating.md)\n"
    "  --text-feed FILE|-       every new page of a message window as a JSON line (UTF-8) to\n"
    "                           FILE, or to stdout with -\n"
    "  --text-clipboard         every new page's text to the clipboard\n"
    "  --text-websocket PORT    every new page's text to WebSocket clients on 127.0.0.1:PORT\n"
    "  --speak                  read every new page aloud through the speech service\n"
    "  --overlay                start with the debug overlay shown (F3 shows and hides it)\n"
    "  --no-gamepad             game controllers do not move the pointer or press keys\n"
    "  --draw-threads N         threads besides the main one that share large drawing work\n"
    "                           (0 to 15; default: one less than the processors, at most 3)\n"
    "\n"
    "Keys: F11 or Alt+Enter switch between the window and full screen; F12 saves a picture of\n"
    "the game's screen; F3 shows or hides the debug overlay.\n";

struct PlayerOptions {
  bool Headless = false;
  std::optional<int64_t> Frames;
  uint32_t DeltaMs = 16;
  uint32_t StallLimitMs = 10000;
  std::string InputFile;
  std::string Screenshot;
  int64_t ScreenshotEvery = 0;
  std::string ScreenshotDir;
  bool Trace = false;
  std::vector<MessageResult> Answers;
  std::string AudioOut;
  std::string SaveDir;
  LogLevel Logging = LogLevel::kWarn;
  bool Config = false;
  bool AllowNetwork = false;
  ScaleMode Scale = ScaleMode::kFit;
  ScaleFilter Filter = ScaleFilter::kAuto;
  std::vector<std::string> Patches;
  std::string TextFeed;  // "-": stdout
  bool TextClipboard = false;
  int TextWebSocket = 0;  // 0: none
  bool Speak = false;
  bool Overlay = false;
  bool Gamepad = true;
  int DrawHelpers = RowTeam::DefaultHelpers();
  std::vector<std::string> Positionals;
};

int64_t ParseCount(const std::string& option, const std::string& text, int64_t low, int64_t high) {
  char* end = nullptr;
  errno = 0;
  const long long v = std::strtoll(text.c_str(), &end, 10);
  if (text.empty() || *end != '\0' || errno != 0 || v < low || v > high)
    throw UsageError(option + " needs a number from " + std::to_string(low) + " to " +
                     std::to_string(high));
  return v;
}

PlayerOptions ParseCommandLine(std::vector<std::string> args) {
  // --screenshot-every takes two values; the parser knows options of one.
  std::string everyDir;
  std::string everyCount;
  for (size_t i = 0; i < args.size(); ++i) {
    if (args[i] != "--screenshot-every") continue;
    if (i + 2 >= args.size()) throw UsageError("--screenshot-every needs N and DIR");
    everyCount = args[i + 1];
    everyDir = args[i + 2];
    args.erase(args.begin() + static_cast<ptrdiff_t>(i),
               args.begin() + static_cast<ptrdiff_t>(i) + 3);
    break;
  }
  ArgParser p(
      args, {"--headless", "--trace", "--config", "--allow-network", "--help", "--text-clipboard", "--speak",
             "--overlay", "--no-gamepad"},
      {"--frames", "--delta", "--stall-limit", "--input", "--screenshot", "--answer", "--save-dir", "--log-level",
       "--audio-out", "--scale", "--filter", "--patch", "--text-feed", "--text-websocket", "--draw-threads"});
  if (p.Flag("--help")) throw UsageError("");
  PlayerOptions o;
  const char* platform = std::getenv("ORIN_PLATFORM");
  o.Headless = p.Flag("--headless") || (platform != nullptr && std::string(platform) == "headless");
  if (p.Has("--frames"))
    o.Frames = ParseCount("--frames", p.Value("--frames"), 0, INT64_C(1) << 40);
  if (p.Has("--delta"))
    o.DeltaMs = static_cast<uint32_t>(ParseCount("--delta", p.Value("--delta"), 0, 3000));
  if (p.Has("--stall-limit"))
    o.StallLimitMs =
        static_cast<uint32_t>(ParseCount("--stall-limit", p.Value("--stall-limit"), 0, 3600000));
  o.InputFile = p.Value("--input");
  o.Screenshot = p.Value("--screenshot");
  if (!everyCount.empty()) {
    o.ScreenshotEvery = ParseCount("--screenshot-every", everyCount, 1, INT64_C(1) << 40);
    o.ScreenshotDir = everyDir;
  }
  o.Trace = p.Flag("--trace");
  if (p.Has("--answer")) {
    std::string list = p.Value("--answer");
    size_t start = 0;
    while (start <= list.size()) {
      size_t comma = list.find(',', start);
      if (comma == std::string::npos) comma = list.size();
      auto answer =
          HeadlessPlatform::ParseAnswer(std::string_view(list).substr(start, comma - start));
      if (!answer) throw UsageError("--answer takes ok, cancel, yes or no");
      o.Answers.push_back(*answer);
      start = comma + 1;
    }
  }
  o.AudioOut = p.Value("--audio-out");
  if (p.Has("--audio-out") && o.AudioOut.empty()) throw UsageError("--audio-out needs a file name");
  o.SaveDir = p.Value("--save-dir");
  if (p.Has("--log-level")) {
    const auto level = ParseLogLevel(p.Value("--log-level"));
    if (!level) throw UsageError("--log-level takes off, error, warn, info or debug");
    o.Logging = *level;
  }
  o.Config = p.Flag("--config");
  o.AllowNetwork = p.Flag("--allow-network");
  if (p.Has("--scale")) {
    const auto mode = ParseScaleMode(p.Value("--scale"));
    if (!mode) throw UsageError("--scale takes fit, integer or stretch");
    o.Scale = *mode;
  }
  if (p.Has("--filter")) {
    const auto filter = ParseScaleFilter(p.Value("--filter"));
    if (!filter) throw UsageError("--filter takes nearest or linear");
    o.Filter = *filter;
  }
  o.Patches = p.Values("--patch");
  for (const std::string& dir : o.Patches)
    if (dir.empty()) throw UsageError("--patch needs a folder");
  o.TextFeed = p.Value("--text-feed");
  if (p.Has("--text-feed") && o.TextFeed.empty()) throw UsageError("--text-feed needs a file name or -");
  o.TextClipboard = p.Flag("--text-clipboard");
  if (p.Has("--text-websocket"))
    o.TextWebSocket = static_cast<int>(ParseCount("--text-websocket", p.Value("--text-websocket"), 1, 65535));
  o.Speak = p.Flag("--speak");
  o.Overlay = p.Flag("--overlay");
  o.Gamepad = !p.Flag("--no-gamepad");
  if (p.Has("--draw-threads"))
    o.DrawHelpers = static_cast<int>(ParseCount("--draw-threads", p.Value("--draw-threads"), 0, 15));
  o.Positionals = p.Positionals();
  // The Windows player's own spelling of the settings switch.
  if (!o.Positionals.empty() && SameText(o.Positionals.front(), "/config") &&
      !IsHostDirectory("/config")) {
    o.Config = true;
    o.Positionals.erase(o.Positionals.begin());
  }
  if (!o.Headless) {
    if (p.Has("--delta")) throw UsageError("--delta needs --headless");
    if (p.Has("--input")) throw UsageError("--input needs --headless");
    if (p.Has("--answer")) throw UsageError("--answer needs --headless");
    if (p.Has("--audio-out")) throw UsageError("--audio-out needs --headless");
  }
  return o;
}

void PrintError(const std::string& utf8) {
  std::fprintf(stderr, "orinplay: %s\n", utf8.c_str());
}

class StdoutTrace final : public TraceSink {
 public:
  void Write(const std::string& cp932Line) override {
    const std::string line = ToUtf8(cp932Line);
    std::fwrite(line.data(), 1, line.size(), stdout);
    std::fputc('\n', stdout);
  }
};

std::vector<std::string> DemoFolders() {
  std::vector<std::string> folders;
  // Installed under any prefix: bin/orinplay beside share/orinplay/games/demo.
  if (const std::string bin = ProgramFolder(); !bin.empty())
    folders.push_back(bin + "../share/orinplay/games/demo");
#ifdef ORIN_INSTALL_DEMO
  folders.push_back(ORIN_INSTALL_DEMO);
#endif
#ifdef ORIN_SOURCE_DEMO
  folders.push_back(ORIN_SOURCE_DEMO);
#endif
  return folders;
}

// Privacy first: the network only with --allow-network, or, in a window, after the user said
// yes (once per game: a yes is remembered). Headless runs never ask: an automatic answer must
// not open the network.
HttpOptions NetworkOptions(const PlayerOptions& o, const std::string& gameFolder, Platform& platform) {
  HttpOptions options;
  if (o.AllowNetwork || (!o.Headless && NetworkRemembered(gameFolder))) {
    options.Permission = NetworkPermission::kAllowed;
  } else if (!o.Headless) {
    options.Permission = NetworkPermission::kAsk;
    options.Ask = [gameFolder, &platform] {
      const MessageResult answer = platform.ShowMessage(
          "orinplay", FromUtf8("This game wants to use the network. Allow it for this game?"),
          MessageButtons::kYesNo, MessageIcon::kQuestion);
      if (answer != MessageResult::kYes) return false;
      RememberNetwork(gameFolder);
      return true;
    };
  }
  return options;
}

std::unique_ptr<Platform> MakePlatform(const PlayerOptions& o, HeadlessPlatform*& headless) {
  headless = nullptr;
  std::unique_ptr<Platform> platform;
  if (!o.Headless) {
    platform = std::make_unique<SdlPlatform>();
    platform->SetScaleMode(o.Scale);
    platform->SetScaleFilter(o.Filter);
    return platform;
  }
  HeadlessOptions h;
  h.DeltaMs = o.DeltaMs;
  if (!o.InputFile.empty()) h.Input = LoadInputScript(o.InputFile);
  h.Answers = o.Answers;
  h.AudioOut = o.AudioOut;
  h.StallLimitMs = o.StallLimitMs;
  auto made = std::make_unique<HeadlessPlatform>(std::move(h));
  headless = made.get();
  platform = std::move(made);
  platform->SetScaleMode(o.Scale);
  platform->SetScaleFilter(o.Filter);
  return platform;
}

// The settings dialog ("--config", "/config"): after the instance lock, instead of the game.
// Headless, it runs until its input script is over (or --frames), then closes as by the close box.
int RunConfig(const PlayerOptions& o, const DataPaths& paths) {
  HeadlessPlatform* headless = nullptr;
  std::unique_ptr<Platform> platform = MakePlatform(o, headless);
  std::unique_ptr<FontFinder> fonts;
  std::unique_ptr<TFontPixelManager> glyphs;
  try {
    fonts = std::make_unique<FontFinder>(FontFinder::FontDirFromEnvironment());
    glyphs = std::make_unique<TFontPixelManager>(std::make_unique<FreeTypeRasterizer>(*fonts));
  } catch (const Error&) {
    // Without an outline font the dialog still works; its texts are missing.
  }
  TFormConfig dialog(paths.GameIniReadPath(), paths.WritePath(kGameIniName), glyphs.get());
  RunConfigDialog(*platform, dialog, [&](int64_t framesRun) {
    if (o.Frames && framesRun >= *o.Frames) return false;
    return headless == nullptr || !headless->ScriptDone();
  });
  if (!o.Screenshot.empty()) WritePng(o.Screenshot, platform->Screen().View());
  return 0;
}

int Play(const PlayerOptions& o) {
  const GameLocation game =
      FindGame(o.Positionals, GameSearch{ProgramFolder(), CurrentFolder(), DemoFolders()});

  // A game on its install disc is refused, and so is a second player for the same game: both
  // silently.
  if (IsOnOpticalMedia(game.Executable.empty() ? game.Folder : game.Executable)) return 0;
  InstanceLock lock;
  switch (lock.Acquire(HostInstanceName(game.Folder))) {
    case InstanceLock::Result::kHeldElsewhere:
      return 0;
    case InstanceLock::Result::kUnsafe:
      PrintError(lock.Problem());
      return 1;
    case InstanceLock::Result::kAcquired:
    case InstanceLock::Result::kUnavailable:
      break;
  }

  const DataPaths paths(game.Folder, o.SaveDir);
  if (const std::string carried = paths.CarryOverOldSaves(); !carried.empty()) PrintError(carried);
  if (o.Config) return RunConfig(o, paths);
  // Before the platform: SDL leaves handlers alone that somebody already installed.
  StopSignals signals;

  HeadlessPlatform* headless = nullptr;
  std::unique_ptr<Platform> platform = MakePlatform(o, headless);
  if (o.ScreenshotEvery > 0 && !IsHostDirectory(o.ScreenshotDir)) {
    // A folder that is not there yet is made; anything else in its place is an error.
    std::error_code ec;
    std::filesystem::create_directories(o.ScreenshotDir, ec);
    if (ec || !IsHostDirectory(o.ScreenshotDir)) throw Error(FromUtf8(o.ScreenshotDir + ": not a folder"));
  }

  TempFolder tempFolder;
  PendingDeletes pending;
  int exitCode = 0;
  {
    TVrFileManager files(tempFolder, pending, ProbeOpticalRoots());
    LocateGameData(files, game);
    for (const std::string& dir : o.Patches) {
      if (!IsHostDirectory(dir)) throw Error(FromUtf8(dir + ": no such patch folder"));
      files.AddPatchFolder(dir);
    }
    if (!files.Exists("orin.opb")) {
      std::string where = game.Executable.empty() ? game.Folder : game.Executable;
      throw Error(FromUtf8(where + ": no project file (orin.opb) in this game"));
    }

    ShellState state;
    StdoutTrace trace;
    // Nothing may be logged before FormCreate, which deletes the log of the previous run.
    FileLog log(paths.WritePath("orinplay.log"), o.Logging);
    files.SetLog(&log);
    PlayerHost host(files, pending, state, paths, o.Trace ? &trace : nullptr,
                    PlayerMachine{platform.get(), !o.Headless, platform.get()});
    host.SetLog(log);
    PlatformClipboard clipboard(*platform);
    host.SetClipboard(&clipboard);
    CurlHttpService http(NetworkOptions(o, game.Folder, *platform));
    host.SetHttp(&http);
    host.SetDrawHelpers(o.DrawHelpers);
    // The dock's captions; a machine without an outline font shows the buttons blank.
    std::unique_ptr<DockCaptions> captions;
    if (platform->HasDock()) {
      try {
        captions = std::make_unique<DockCaptions>(host.Fonts());
      } catch (const Error&) {
      }
    }
    ExtrasOptions extrasOptions;
    extrasOptions.TextFeed = o.TextFeed;
    extrasOptions.TextClipboard = o.TextClipboard;
    extrasOptions.TextWebSocket = o.TextWebSocket;
    extrasOptions.Speak = o.Speak;
    extrasOptions.Overlay = o.Overlay;
    extrasOptions.ScreenshotFolder = ScreenshotFolder(paths.WritePath(""));
    PlayerExtras extras(*platform, host, log, extrasOptions);
    for (const std::string& problem : extras.Problems()) PrintError(problem);
    host.SetPageObserver(&extras);
    extras.SetMediaCensus([&host] { return host.Media() ? TakeCensus(*host.Media()) : MediaCensus{}; });
    platform->EnableGamepads(o.Gamepad);
    TFormView form(*platform, state, host, paths);
    form.SetExtras(&extras);
    form.SetLog(log);
    form.SetCaptionRenderer(captions.get());
    form.WatchSignals(&signals);
    if (!form.FormCreate()) {
      form.FormClose();
      files.SetLog(nullptr);
      PrintError(std::string(game.Executable.empty() ? game.Folder : game.Executable) +
                 ": the game did not start");
      return 1;
    }
    log.Info(LogChannel::kShell, "the game runs: " + host.Title());
    if (platform->HasDock()) {
      std::optional<PixelBuffer> icon;
      if (!game.Executable.empty()) icon = ExecutableIcon(game.Executable);
      platform->SetIcon(icon ? *icon : PlayerIcon());
    }

    std::string failure;
    auto afterFrame = [&](int64_t framesRun) {
      if (o.ScreenshotEvery > 0 && framesRun % o.ScreenshotEvery == 0) {
        char name[32];
        std::snprintf(name, sizeof name, "frame-%06lld.png", static_cast<long long>(framesRun));
        try {
          WritePng(WithTrailingSlash(o.ScreenshotDir) + name, platform->Screen().View());
        } catch (const Error& e) {
          failure = e.Utf8Report();
          return false;
        }
      }
      return !(o.Frames && framesRun >= *o.Frames);
    };
    if (!o.Frames || *o.Frames > 0) form.Run(afterFrame);
    if (failure.empty() && !o.Screenshot.empty()) {
      try {
        WritePng(o.Screenshot, platform->Screen().View());
      } catch (const Error& e) {
        failure = e.Utf8Report();
      }
    }
    form.FormClose();
    extras.Flush();
    if (headless != nullptr && headless->Stalled() && failure.empty())
      failure = "frame " + std::to_string(headless->StalledFrame()) + " ran longer than " +
                std::to_string(o.StallLimitMs) +
                " ms without its script yielding (--stall-limit): the game was closed";
    if (headless != nullptr) {
      try {
        headless->Audio().FinishRecording();
      } catch (const Error& e) {
        if (failure.empty()) failure = e.Utf8Report();
      }
    }
    // The log goes before the file manager.
    files.SetLog(nullptr);
    if (!failure.empty()) {
      PrintError(failure);
      exitCode = 1;
    }
  }
  pending.DeletePendingFiles();
  std::fflush(stdout);
  return exitCode;
}

}  // namespace
}  // namespace orin::play

int main(int argc, char** argv) {
  using namespace orin;
  std::vector<std::string> args(argv + 1, argv + argc);
  try {
    return play::Play(play::ParseCommandLine(args));
  } catch (const app::UsageError& e) {
    if (e.what()[0] != '\0') std::fprintf(stderr, "orinplay: %s\n", e.what());
    std::fputs(play::kUsage, e.what()[0] != '\0' ? stderr : stdout);
    return e.what()[0] != '\0' ? 2 : 0;
  } catch (const Error& e) {
    play::PrintError(e.Utf8Report());
    return 1;
  } catch (const std::exception& e) {
    play::PrintError(e.what());
    return 1;
  }
}
