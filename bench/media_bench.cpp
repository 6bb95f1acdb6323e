// Cost of sound: 16 Ogg Vorbis streams read from archive entries, decoded ahead and mixed, per
// second of audio. The counter core_pct is the share of one core that a second of this sound
// takes (decode + mix); the aim is under 5. (Google Benchmark prints it with an "s" suffix
// because it is an inverted rate.)
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "media/audio_output.h"
#include "media/media_set.h"
#include "resources/big_stream.h"
#include "resources/file_collection.h"
#include "resources/file_manager.h"
#include "resources/host_fs.h"
#include "resources/temp_folder.h"
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

}  // namespace
}  // namespace orin

BENCHMARK_MAIN();
