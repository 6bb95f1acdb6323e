// Speed of the resource layer: opening a large archive index, reading a stored entry through a
// range stream, and loading a compressed entry through the file manager.
#include <benchmark/benchmark.h>
#include <zlib.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "bench_support.h"
#include "core/endian.h"
#include "core/random.h"
#include "resources/big_stream.h"
#include "resources/compression.h"
#include "resources/file_collection.h"
#include "resources/file_manager.h"
#include "resources/host_fs.h"
#include "resources/temp_folder.h"

namespace orin {
namespace {

// A folder for the run's fixtures, removed at exit.
class BenchDir {
 public:
  BenchDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "orin-bench-XXXXXX").string();
    if (!::mkdtemp(pattern.data())) std::abort();
    path_ = pattern + "/";
  }
  ~BenchDir() { std::filesystem::remove_all(path_); }
  std::string operator/(const std::string& name) const { return path_ + name; }

 private:
  std::string path_;
};

BenchDir& Dir() {
  static BenchDir dir;
  return dir;
}

// A version-102 archive of n empty entries named like a game's images, built byte by byte so that
// making it costs nothing next to what is measured.
std::string MakeWideArchive(int n) {
  std::string path = Dir() / ("wide" + std::to_string(n) + ".dat");
  if (std::filesystem::exists(path)) return path;
  std::string bytes = "vf";
  auto put32 = [&](uint32_t v) {
    char b[4];
    StoreU32LE(b, v);
    bytes.append(b, 4);
  };
  put32(102);
  put32(static_cast<uint32_t>(n));
  TTpRandom names(TVrFileCollection::kKey);
  for (int i = 0; i < n; ++i) {
    char name[64];
    std::snprintf(name, sizeof name, "cg\\chapter%02d\\event%06d.mur", i % 37, i);
    std::string s = name;
    put32(static_cast<uint32_t>(s.size()));
    ScrambleName(s, names);
    bytes += s;
  }
  const uint64_t dataStart = bytes.size() + (uint64_t(n) + 1) * 8 + uint64_t(n) * 10;
  TTpRandom offsets(TVrFileCollection::kKey);
  for (int i = 0; i <= n; ++i) {
    char b[8];
    StoreI64LE(b, static_cast<int64_t>(dataStart) ^ static_cast<int64_t>(offsets.Next()));
    bytes.append(b, 8);
  }
  bytes.append(size_t(n) * 10, '\0');
  FileStream(path, FileStream::kCreate).WriteBuffer(bytes.data(), static_cast<int64_t>(bytes.size()));
  return path;
}

void BM_OpenArchive100k(benchmark::State& state) {
  std::string path = MakeWideArchive(100000);
  HostFileSystem fs;
  for (auto _ : state) {
    TVrFileCollection c(fs);
    c.Open(path);
    benchmark::DoNotOptimize(c.Count());
  }
  state.SetLabel("100,000 entries, target < 100 ms");
}
BENCHMARK(BM_OpenArchive100k)->Unit(benchmark::kMillisecond)->MinTime(1.0);

// Bytes like a game's pictures and scripts: runs and gradients with noise, about 3:1 at level 1.
std::string Payload(size_t size) {
  std::string s(size, '\0');
  uint32_t x = 12345;
  for (size_t i = 0; i < size; ++i) {
    if (i % 64 == 0) x = x * 1103515245u + 12345u;
    s[i] = static_cast<char>(((i / 7) & 0x3F) + ((x >> (i % 13)) & 0x7));
  }
  return s;
}

constexpr size_t k4MiB = 4u << 20;
constexpr size_t k64MiB = 64u << 20;

// game.dat with "pic.bin" (4 MiB, compressed) and "movie.mpg" (64 MiB, stored).
struct Game {
  std::string folder, archive;
  std::string compressed;  // the stored bytes of pic.bin
};

const Game& TheGame() {
  static Game game = [] {
    Game g;
    g.folder = Dir() / "game/";
    std::filesystem::create_directories(g.folder + "src");
    std::string pic = Payload(k4MiB), movie = Payload(k64MiB);
    FileStream(g.folder + "src/pic.bin", FileStream::kCreate).WriteBuffer(pic.data(), static_cast<int64_t>(pic.size()));
    FileStream(g.folder + "src/movie.mpg", FileStream::kCreate)
        .WriteBuffer(movie.data(), static_cast<int64_t>(movie.size()));
    HostFileSystem fs;
    TVrFileCollection writer(fs);
    writer.Folder = g.folder + "src/";
    writer.AddEntry("pic.bin");
    writer.AddEntry("movie.mpg");
    g.archive = g.folder + "game.dat";
    {
      TTpBigFileStream out(g.archive, TTpBigFileStream::kCreate);
      writer.Save(out);
    }
    TVrFileCollection reader(fs);
    reader.Open(g.archive);
    TVrFile raw("pic.bin");
    raw.Offset = reader.FindItem("pic.bin")->Offset;
    raw.Size = reader.FindItem("pic.bin")->Size;
    raw.Stored = 1;
    auto stored = reader.EntryContent(raw);
    g.compressed.assign(reinterpret_cast<const char*>(stored->Data()), stored->Size());
    std::filesystem::remove_all(g.folder + "src");
    return g;
  }();
  return game;
}

// Baseline: inflating the entry's bytes, already in memory, into a buffer of the known size.
void BM_ZlibInflate4MiB(benchmark::State& state) {
  const Game& g = TheGame();
  std::vector<uint8_t> out(k4MiB);
  for (auto _ : state) {
    uLongf size = static_cast<uLongf>(out.size());
    uncompress(out.data(), &size, reinterpret_cast<const Bytef*>(g.compressed.data()), g.compressed.size());
    benchmark::DoNotOptimize(out.data());
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(k4MiB));
}
BENCHMARK(BM_ZlibInflate4MiB)->Unit(benchmark::kMillisecond);

// The file manager's whole path: the cache entry is dropped first, so every load reads the
// archive and inflates.
void BM_LoadToStream4MiB(benchmark::State& state) {
  const Game& g = TheGame();
  TempFolder temp;
  PendingDeletes pending;
  TVrFileManager files(temp, pending, {});
  files.AddArchive(g.archive);
  MemoryStream target;
  for (auto _ : state) {
    files.Caches.DropByName("pic.bin");
    files.LoadToStream(target, "pic.bin");
    benchmark::DoNotOptimize(target.Data());
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(k4MiB));
}
BENCHMARK(BM_LoadToStream4MiB)->Unit(benchmark::kMillisecond);

constexpr size_t kChunk = 64 * 1024;  // what a media decoder asks for at a time

// Baseline: the same 64 MiB read with stdio from the archive file.
void BM_Fread64MiB(benchmark::State& state) {
  const Game& g = TheGame();
  TempFolder temp;
  PendingDeletes pending;
  TVrFileManager files(temp, pending, {});
  files.AddArchive(g.archive);
  const TVrFile* entry = files.FindEntry("movie.mpg");
  std::vector<char> buf(kChunk);
  for (auto _ : state) {
    FILE* f = std::fopen(g.archive.c_str(), "rb");
    std::fseek(f, static_cast<long>(entry->Offset), SEEK_SET);
    size_t left = k64MiB;
    while (left > 0) {
      size_t n = std::fread(buf.data(), 1, std::min(left, kChunk), f);
      if (n == 0) break;
      left -= n;
    }
    std::fclose(f);
    benchmark::DoNotOptimize(buf.data());
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(k64MiB));
}
BENCHMARK(BM_Fread64MiB)->Unit(benchmark::kMillisecond);

void BM_OpenRangeRead64MiB(benchmark::State& state) {
  const Game& g = TheGame();
  TempFolder temp;
  PendingDeletes pending;
  TVrFileManager files(temp, pending, {});
  files.AddArchive(g.archive);
  std::vector<char> buf(kChunk);
  for (auto _ : state) {
    auto range = files.OpenRange("movie.mpg");
    while (range->Read(buf.data(), static_cast<int64_t>(kChunk)) > 0) {
    }
    benchmark::DoNotOptimize(buf.data());
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(k64MiB));
}
BENCHMARK(BM_OpenRangeRead64MiB)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace orin

int main(int argc, char** argv) {
  return orin::bench::RunWithRatios(argc, argv,
                                    {{"BM_ZlibInflate4MiB", "BM_LoadToStream4MiB", 0.9},
                                     {"BM_Fread64MiB", "BM_OpenRangeRead64MiB", 0.8}});
}
