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
#include "resources/host_fs.h"

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

}  // namespace
}  // namespace orin

int main(int argc, char** argv) { return orin::bench::RunWithRatios(argc, argv, {}); }
