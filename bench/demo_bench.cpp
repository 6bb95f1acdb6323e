// The bundled demo game as a whole, played by orinplay --headless in a child process:
//   - start to the first drawn frame of the title (a run of one frame, start-up and shutdown
//     included, so an upper bound);
//   - the cost of one frame while the title animates (the stars' motions, the music), as the
//     difference of a 1200- and a 200-frame run divided by the 1000 frames between;
//   - the cost of one frame while the game waits on a complete message, the same way, and what
//     that costs in CPU at 60 frames a second (the player's pacing sleeps out the rest).
// CPU time of the child (user + system) is what is counted, so the figures hold on a loaded
// machine too. Headless runs draw into memory; presenting to a window is not included.
#include <benchmark/benchmark.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fcntl.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

extern char** environ;

namespace {

struct Child {
  double CpuMs;
  double WallMs;
};

double CpuOfChildrenMs() {
  rusage u{};
  getrusage(RUSAGE_CHILDREN, &u);
  return (u.ru_utime.tv_sec + u.ru_stime.tv_sec) * 1000.0 + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1000.0;
}

// The demo in a folder of its own with its own save folder, so runs do not see each other.
const std::string& GameFolder() {
  static const std::string folder = [] {
    const std::filesystem::path dir = std::filesystem::temp_directory_path() / ("demo_bench_" + std::to_string(getpid()));
    std::filesystem::create_directories(dir / "game");
    std::filesystem::copy_file(DEMO_GAME_DAT, dir / "game/game.dat",
                               std::filesystem::copy_options::overwrite_existing);
    std::ofstream(dir / "input.txt") << "5 click 640 360\n200 click 640 383\n380 click 1000 374\n";
    return dir.string();
  }();
  return folder;
}

Child Play(int frames, bool story) {
  const std::string dir = GameFolder();
  std::filesystem::remove_all(dir + "/saves");
  std::vector<std::string> args{ORINPLAY_PATH, "--headless", "--frames", std::to_string(frames), "--save-dir",
                                dir + "/saves"};
  if (story) args.insert(args.end(), {"--input", dir + "/input.txt"});
  args.push_back(dir + "/game");
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  const double cpu0 = CpuOfChildrenMs();
  const auto t0 = std::chrono::steady_clock::now();
  pid_t pid = 0;
  if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0) std::abort();
  int status = 0;
  waitpid(pid, &status, 0);
  posix_spawn_file_actions_destroy(&actions);
  const double wall = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) std::abort();
  return {CpuOfChildrenMs() - cpu0, wall};
}

void BM_StartToFirstTitleFrame(benchmark::State& state) {
  Play(1, false);  // warm the caches
  double wall = 0, cpu = 0;
  for (auto _ : state) {
    const Child c = Play(1, false);
    wall += c.WallMs;
    cpu += c.CpuMs;
    state.SetIterationTime(c.WallMs / 1000.0);
  }
  state.counters["wall_ms"] = wall / static_cast<double>(state.iterations());
  state.counters["cpu_ms"] = cpu / static_cast<double>(state.iterations());
  state.counters["target_ms"] = 150;
}
BENCHMARK(BM_StartToFirstTitleFrame)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(10);

// Frames between first and first + 1000 of a run (with input when story is set).
void FrameCost(benchmark::State& state, int first, bool story, double targetMs) {
  double perFrame = 0;
  for (auto _ : state) {
    const Child shorter = Play(first, story);
    const Child longer = Play(first + 1000, story);
    const double ms = (longer.CpuMs - shorter.CpuMs) / 1000.0;
    perFrame += ms;
    state.SetIterationTime(ms / 1000.0);
  }
  perFrame /= static_cast<double>(state.iterations());
  state.counters["cpu_ms_per_frame"] = perFrame;
  state.counters["cpu_pct_at_60fps"] = perFrame / (1000.0 / 60.0) * 100.0;
  state.counters["target_ms"] = targetMs;
}

// Frames 200-1200: the buttons are in, the stars twinkle, the waltz plays.
void BM_TitleAnimatingFrame(benchmark::State& state) { FrameCost(state, 200, false, 2.0); }
BENCHMARK(BM_TitleAnimatingFrame)->UseManualTime()->Unit(benchmark::kMicrosecond)->Iterations(5);

// Frames 700-1700: the first page of the park is complete and waits for a click.
void BM_WaitingMessageFrame(benchmark::State& state) { FrameCost(state, 700, true, 0.5); }
BENCHMARK(BM_WaitingMessageFrame)->UseManualTime()->Unit(benchmark::kMicrosecond)->Iterations(5);

}  // namespace

BENCHMARK_MAIN();
