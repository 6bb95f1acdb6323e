// Cost and timing of movies: a 30 s 1280 x 720 30 fps WMV2 movie with its sound, read from an
// archive entry.
//   * BM_DecodeAndConvert: pictures decoded and converted to the screen format per second of
//     movie; core_pct is the share of one core that takes (aim: under 50).
//   * BM_FrameLoop / BM_FrameLoopBaseline: what one frame of the frame loop costs with a playing
//     movie (decoding on its thread) and without: the scene step and the draw of a 1280 x 720
//     scene. The difference is the frame loop's extra time per frame (aim: under 1 ms).
//   * BM_AvOffset: the movie played through to its end at 60 frames a second in real time with
//     the decode thread, the frame loop's picture compared each frame with the sound clock:
//     offset_mean_ms and offset_max_ms (aim: under 40), dropped pictures.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "media/audio_output.h"
#include "media/media_engine.h"
#include "media/media_objects.h"
#include "media/media_set.h"
#include "media/orin_video.h"
#include "media/video_decoder.h"
#include "media/video_manager.h"
#include "resources/big_stream.h"
#include "resources/file_collection.h"
#include "resources/file_manager.h"
#include "resources/host_fs.h"
#include "resources/temp_folder.h"
#include "scene/model/orin_base_list.h"
#include "support/movie_fixtures.h"

namespace orin {
namespace {

class PullOutput final : public AudioOutput {
 public:
  void OpenPull(PullCallback callback, int bufferFrames) override {
    callback_ = std::move(callback);
    buffer_ = bufferFrames;
  }
  void OpenQueue(int) override {}
  void Close() override {}
  Mode CurrentMode() const override { return Mode::kPull; }
  void Queue(const int16_t*, size_t) override {}
  size_t QueuedBytes() const override { return 0; }
  void Pause() override {}
  void Resume() override {}
  bool Paused() const override { return false; }
  int BufferFrames() const override { return buffer_; }
  void Pull(size_t frames) {
    block_.resize(frames * 2);
    callback_(block_.data(), frames);
  }

 private:
  PullCallback callback_;
  int buffer_ = 0;
  std::vector<int16_t> block_;
};

constexpr int kSeconds = 30;

struct Game {
  std::string dir;
  Game() {
    std::string pattern = (std::filesystem::temp_directory_path() / "orin-video-bench-XXXXXX").string();
    if (!::mkdtemp(pattern.data())) std::abort();
    dir = pattern + "/";
    const std::string movie = test::MakeMovie({test::MovieCodec::kWmv2, 1280, 720, 30, 30 * kSeconds, true, 30});
    HostFileSystem fs;
    TVrFileCollection c(fs);
    c.Folder = dir + "src/";
    std::filesystem::create_directories(c.Folder);
    FileStream(c.Folder + "movie.wmv", FileStream::kCreate)
        .WriteBuffer(movie.data(), static_cast<int64_t>(movie.size()));
    c.AddEntry("movie.wmv");
    TTpBigFileStream out(dir + "game.dat", TTpBigFileStream::kCreate);
    c.Save(out);
  }
  ~Game() { std::filesystem::remove_all(dir); }
};

Game& TheGame() {
  static Game game;
  return game;
}

// A running game with a 1280 x 720 scene and its media.
struct Player {
  TempFolder temp{TheGame().dir};
  PendingDeletes pending;
  TVrFileManager files{temp, pending, {}};
  PullOutput* device = nullptr;
  std::unique_ptr<MediaSet> media;
  std::unique_ptr<MediaObjects> objects;
  std::unique_ptr<TOrinBaseList> scene;

  explicit Player(bool threaded) {
    files.AddArchive(TheGame().dir + "game.dat");
    auto output = std::make_unique<PullOutput>();
    device = output.get();
    MediaSettings settings;
    settings.DecodeThread = threaded;
    media = std::make_unique<MediaSet>(files, std::move(output), settings);
    objects = std::make_unique<MediaObjects>(*media);
    scene = std::make_unique<TOrinBaseList>(&files, SceneServices{.Media = objects.get()});
    scene->SetSize(1280, 720);
  }
  ~Player() { scene.reset(); }

  TOrinVideo* Play() {
    auto* v = static_cast<TOrinVideo*>(scene->Create(kKindVideo));
    v->SetSource("movie.wmv");
    v->SetLoop(true);
    v->SetState(MediaObject::kPlay);
    return v;
  }
  void Advance(uint32_t ms) {
    device->Pull(static_cast<size_t>(ms) * 441 / 10);
    media->Update(ms);
  }
};

void BM_DecodeAndConvert(benchmark::State& state) {
  Player p(false);
  auto decoder = OpenVideoDecoder(OpenMovieData(p.media->Engine(), "movie.wmv"), "movie.wmv");
  VideoFrame frame;
  for (auto _ : state) {
    for (int i = 0; i < 30; ++i) {
      if (!decoder->Next(frame)) {
        decoder->Seek(0);
        decoder->Next(frame);
      }
    }
    benchmark::DoNotOptimize(frame.Picture.Bits());
  }
  state.counters["core_pct"] =
      benchmark::Counter(0.01, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_DecodeAndConvert)->Unit(benchmark::kMillisecond)->UseRealTime();

// Step and draw of every frame, timed alone; between frames the clock moves 33 ms and the decode
// thread gets the time a real frame loop leaves it.
void FrameLoop(benchmark::State& state, bool withMovie) {
  Player p(true);
  if (withMovie) p.Play();
  for (auto _ : state) {
    state.PauseTiming();
    p.Advance(33);
    std::this_thread::sleep_for(std::chrono::milliseconds(8));
    state.ResumeTiming();
    p.scene->Step();
    p.scene->Draw();
  }
}
void BM_FrameLoop(benchmark::State& state) { FrameLoop(state, true); }
void BM_FrameLoopBaseline(benchmark::State& state) { FrameLoop(state, false); }
BENCHMARK(BM_FrameLoopBaseline)->Unit(benchmark::kMicrosecond)->Iterations(300);
BENCHMARK(BM_FrameLoop)->Unit(benchmark::kMicrosecond)->Iterations(300);

void BM_AvOffset(benchmark::State& state) {
  for (auto _ : state) {
    Player p(true);
    TOrinVideo* v = p.Play();
    v->SetLoop(false);
    double sum = 0, max = 0, maxSettled = 0;
    int frames = 0, pictures = 0, counted = 0;
    int64_t lastShown = -1;
    auto next = std::chrono::steady_clock::now();
    while (!v->Item()->IsEnd() && frames < 60 * (kSeconds + 5)) {
      next += std::chrono::microseconds(16667);
      std::this_thread::sleep_until(next);
      p.Advance(frames % 3 == 2 ? 16 : 17);
      p.scene->Step();
      p.scene->Draw();
      ++frames;
      const int64_t shown = v->Item()->FrameTime();
      const int64_t clock = v->Item()->GetPosition();
      if (shown < 0 || clock >= kSeconds * 1000) continue;
      pictures += shown != lastShown;
      lastShown = shown;
      const double offset = static_cast<double>(clock - shown);
      sum += offset;
      ++counted;
      max = std::max(max, offset < 0 ? -offset : offset);
      // The first half second includes starting the decoder on a busy machine.
      if (clock >= 500) maxSettled = std::max(maxSettled, offset < 0 ? -offset : offset);
    }
    state.counters["offset_mean_ms"] = sum / std::max(counted, 1);
    state.counters["offset_max_ms"] = max;
    state.counters["offset_max_after_500ms"] = maxSettled;
    state.counters["pictures_shown"] = pictures;
    state.counters["pictures_dropped"] = kSeconds * 30 - pictures;
  }
}
BENCHMARK(BM_AvOffset)->Unit(benchmark::kSecond)->Iterations(1)->UseRealTime();

}  // namespace
}  // namespace orin

BENCHMARK_MAIN();
