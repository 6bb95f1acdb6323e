// Cost and latency of sound. BM_Mix16OggStreams: 16 Ogg Vorbis streams read from archive
// entries, decoded ahead and mixed, per second of audio; its counter core_pct is the share of one
// core that a second of this sound takes (decode + mix), aimed under 5 (Google Benchmark prints it
// with an "s" suffix because it is an inverted rate). BM_SoundStartLatency: see below.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "media/audio_output.h"
#include "media/media_objects.h"
#include "media/media_set.h"
#include "media/orin_sound.h"
#include "resources/big_stream.h"
#include "resources/file_collection.h"
#include "resources/file_manager.h"
#include "resources/host_fs.h"
#include "resources/temp_folder.h"
#include "scene/model/orin_base_list.h"
#include "support/sound_fixtures.h"

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

 public:
  const std::vector<int16_t>& Block() const { return block_; }
};

struct Game {
  std::string dir;
  Game() {
    std::string pattern = (std::filesystem::temp_directory_path() / "orin-bench-XXXXXX").string();
    if (!::mkdtemp(pattern.data())) std::abort();
    dir = pattern + "/";
    std::string song = test::MakeSound({test::SoundCodec::kVorbis, 2, 44100, 44100 * 10, 330, 0.3});
    HostFileSystem fs;
    TVrFileCollection c(fs);
    c.Folder = dir + "src/";
    std::filesystem::create_directories(c.Folder);
    for (int i = 0; i < 16; ++i) {
      std::string name = "bgm" + std::to_string(i) + ".ogg";
      FileStream(c.Folder + name, FileStream::kCreate).WriteBuffer(song.data(), static_cast<int64_t>(song.size()));
      c.AddEntry(name);
    }
    TTpBigFileStream out(dir + "game.dat", TTpBigFileStream::kCreate);
    c.Save(out);
  }
  ~Game() { std::filesystem::remove_all(dir); }
};

void BM_Mix16OggStreams(benchmark::State& state) {
  static Game game;
  TempFolder temp(game.dir);
  PendingDeletes pending;
  TVrFileManager files(temp, pending, {});
  files.AddArchive(game.dir + "game.dat");
  auto output = std::make_unique<PullOutput>();
  PullOutput* device = output.get();
  MediaSet media(files, std::move(output), MediaSettings{});
  for (int i = 0; i < 16; ++i) {
    TDMediaItem* item = media.Open("bgm" + std::to_string(i) + ".ogg");
    item->SetAutoRepeat(true);
    item->SetVol(-600);
    item->SetPan(i * 1000 - 8000);
    item->Play();
  }
  for (auto _ : state) {
    // One second of audio in frames of 20 ms: the device takes its buffer, the frame step decodes.
    for (int frame = 0; frame < 50; ++frame) {
      device->Pull(882);
      media.Update(20);
    }
  }
  state.counters["core_pct"] = benchmark::Counter(0.01, benchmark::Counter::kIsIterationInvariantRate |
                                                            benchmark::Counter::kInvert);
}
BENCHMARK(BM_Mix16OggStreams)->Unit(benchmark::kMillisecond)->UseRealTime();

// Latency from a sound's start (what TComSound does, at a frame's interpreter step) to its first
// sample in the output, on the frame order of a headless run: the device takes the span of a
// frame, the script runs, the scene steps and the media set decodes ahead. The counters:
// latency_ms, on the output's timeline; device_buffer_ms, the buffer of the default setting; and
// worst_real_ms, what a window run adds at most: one frame of 16 ms plus that buffer.
void BM_SoundStartLatency(benchmark::State& state) {
  static Game game;
  double latencyMs = 0;
  for (auto _ : state) {
    TempFolder temp(game.dir);
    PendingDeletes pending;
    TVrFileManager files(temp, pending, {});
    files.AddArchive(game.dir + "game.dat");
    auto output = std::make_unique<PullOutput>();
    PullOutput* device = output.get();
    MediaSet media(files, std::move(output), MediaSettings{});
    MediaObjects objects(media);
    TOrinBaseList scene(&files, SceneServices{.Media = &objects});
    constexpr int kStartFrame = 5;
    constexpr size_t kSpan = 16 * 441 / 10;
    int64_t heard = -1;
    for (int frame = 0; frame < 20 && heard < 0; ++frame) {
      device->Pull(kSpan);
      const std::vector<int16_t>& block = device->Block();
      for (size_t i = 0; i < block.size() / 2 && frame > kStartFrame; ++i)
        if (block[i * 2] != 0 || block[i * 2 + 1] != 0) {
          heard = static_cast<int64_t>((frame - 1) * kSpan + i);
          break;
        }
      if (frame == kStartFrame) {
        auto* sound = static_cast<TOrinSound*>(scene.Create(kKindSound));
        sound->SetSource("bgm0.ogg");
        sound->SetState(MediaObject::kPlay);
      }
      scene.Step();
      media.Update(16);
    }
    latencyMs = heard < 0 ? -1 : static_cast<double>(heard - static_cast<int64_t>(kStartFrame * kSpan)) / 44.1;
  }
  const double bufferMs = AudioOutput::kDefaultBufferFrames / 44.1;
  state.counters["latency_ms"] = latencyMs;
  state.counters["device_buffer_ms"] = bufferMs;
  state.counters["worst_real_ms"] = 16 + bufferMs;
}
BENCHMARK(BM_SoundStartLatency)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace
}  // namespace orin

BENCHMARK_MAIN();
