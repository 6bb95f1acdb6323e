// What the media tests share: a game folder with sounds in an archive and as loose files, a file
// manager over it, a capturing audio output and a media set on it.
#pragma once

#include <algorithm>
#include <filesystem>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "media/audio_output.h"
#include "media/media_set.h"
#include "resources/big_stream.h"
#include "resources/file_collection.h"
#include "resources/file_manager.h"
#include "support/sound_fixtures.h"
#include "support/test_support.h"

namespace orin::test {

// A pull output that plays only when the test asks, keeping every sample it was given.
class CaptureOutput : public AudioOutput {
 public:
  void OpenPull(PullCallback callback, int bufferFrames) override {
    callback_ = std::move(callback);
    mode_ = Mode::kPull;
    buffer_ = bufferFrames;
  }
  void OpenQueue(int) override { mode_ = Mode::kQueue; }
  void Close() override { mode_ = Mode::kClosed; }
  Mode CurrentMode() const override { return mode_; }
  void Queue(const int16_t*, size_t) override {}
  size_t QueuedBytes() const override { return 0; }
  void Pause() override {}
  void Resume() override {}
  bool Paused() const override { return false; }
  int BufferFrames() const override { return buffer_; }

  // Pulls frames and appends them to *samples.
  void Pull(size_t frames, std::vector<int16_t>* samples) {
    std::vector<int16_t> block(frames * 2);
    callback_(block.data(), frames);
    if (samples) samples->insert(samples->end(), block.begin(), block.end());
  }

 private:
  PullCallback callback_;
  Mode mode_ = Mode::kClosed;
  int buffer_ = 0;
};

struct MediaFixture {
  TempDir dir;
  TempFolder temp{dir.Path()};
  PendingDeletes pending;
  TVrFileManager files{temp, pending, {}};
  CaptureOutput* output = nullptr;
  std::unique_ptr<MediaSet> media;

  // Archive entries (name, bytes) in game.dat; loose files written with Loose.
  void Archive(const std::vector<std::pair<std::string, std::string>>& entries,
               uint32_t version = TVrFileCollection::kWriteVersion) {
    HostFileSystem fs;
    TVrFileCollection c(fs);
    c.Folder = dir / "staging/";
    std::filesystem::create_directories(dir / "staging");
    for (const auto& [name, bytes] : entries) {
      std::string host = name;
      std::replace(host.begin(), host.end(), '\\', '/');
      dir.Write("staging/" + host, bytes);
      c.AddEntry(name);
    }
    std::filesystem::create_directories(dir / "game");
    TTpBigFileStream out(dir / "game/game.dat", TTpBigFileStream::kCreate);
    c.Save(out, version);
  }
  void Loose(const std::string& name, const std::string& bytes) { dir.Write("game/" + name, bytes); }

  // Opens the media set; call after the files are in place.
  MediaSet& Start(MediaSettings settings = {}, bool device = true) {
    std::filesystem::create_directories(dir / "game");
    files.SetBaseFolder(dir / "game/");
    if (std::filesystem::exists(dir / "game/game.dat")) files.AddArchive(dir / "game/game.dat");
    std::unique_ptr<AudioOutput> out;
    if (device) {
      auto capture = std::make_unique<CaptureOutput>();
      output = capture.get();
      out = std::move(capture);
    }
    media = std::make_unique<MediaSet>(files, std::move(out), settings);
    return *media;
  }

  // One frame of ms milliseconds: the device takes its share, then the frame step decodes ahead.
  void Frame(uint32_t ms, std::vector<int16_t>* samples = nullptr) {
    if (output) output->Pull(static_cast<size_t>(ms) * 441 / 10, samples);
    media->Update(ms);
  }
  std::vector<int16_t> Run(uint32_t totalMs, uint32_t frameMs = 20) {
    std::vector<int16_t> all;
    for (uint32_t t = 0; t < totalMs; t += frameMs) Frame(frameMs, &all);
    return all;
  }
};

}  // namespace orin::test
