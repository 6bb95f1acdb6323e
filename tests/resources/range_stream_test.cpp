#include "resources/range_stream.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <thread>
#include <vector>

#include "core/endian.h"
#include "core/error.h"
#include "support/test_support.h"

namespace orin {
namespace {

// A memory big stream whose byte at position p is p mod 256.
std::unique_ptr<TTpBigMemoryStream> Counting(int size) {
  auto s = std::make_unique<TTpBigMemoryStream>();
  for (int i = 0; i < size; ++i) {
    auto b = static_cast<uint8_t>(i);
    s->Write(&b, 1);
  }
  return s;
}

TEST(TRangeStream, SeekAndReadStayInsideTheRange) {
  TRangeStream r(Counting(256), 100, 50);
  EXPECT_EQ(r.GetSize(), 50);
  EXPECT_EQ(r.GetPosition(), 0);
  EXPECT_EQ(r.Seek(-10, Stream::kFromBeginning), 0);
  EXPECT_EQ(r.Seek(0, Stream::kFromEnd), 50);
  EXPECT_EQ(r.Seek(5, Stream::kFromCurrent), 50);
  EXPECT_EQ(r.Seek(1000, Stream::kFromBeginning), 50);
  EXPECT_EQ(r.Seek(-60, Stream::kFromEnd), 0);
  EXPECT_EQ(r.Seek(40, Stream::kFromBeginning), 40);
  uint8_t buf[80] = {};
  EXPECT_EQ(r.Read(buf, 80), 10);
  for (int i = 0; i < 10; ++i) EXPECT_EQ(buf[i], 140 + i);
  EXPECT_EQ(r.Read(buf, 80), 0);
  EXPECT_EQ(r.Seek(-3, Stream::kFromCurrent), 47);
  EXPECT_EQ(r.Read(buf, 0), 0);
  EXPECT_EQ(r.Read(buf, -1), 0);
  EXPECT_EQ(r.Write(buf, 5), 0);
  EXPECT_EQ(r.Seek(0, Stream::kFromCurrent), 47);
  // Offsets at the limits of the type clamp like any other.
  EXPECT_EQ(r.Seek(INT64_MAX, Stream::kFromBeginning), 50);
  EXPECT_EQ(r.Seek(INT64_MAX, Stream::kFromEnd), 50);
  EXPECT_EQ(r.Seek(INT64_MIN, Stream::kFromCurrent), 0);
  EXPECT_EQ(r.Seek(INT64_MIN, Stream::kFromEnd), 0);
}

TEST(TRangeStream, UnknownOriginKeepsThePosition) {
  TRangeStream r(Counting(256), 100, 50);
  r.Seek(12, Stream::kFromBeginning);
  for (int origin : {3, -1, 99}) EXPECT_EQ(r.Seek(30, origin), 12) << origin;
  uint8_t b = 0;
  EXPECT_EQ(r.Read(&b, 1), 1);
  EXPECT_EQ(b, 112);
}

TEST(TRangeStream, ZeroLength) {
  // 0 stands for the whole source ...
  TRangeStream whole(Counting(256), 0, 0);
  EXPECT_EQ(whole.GetSize(), 256);
  // ... unless the range is an archive entry of size 0.
  TRangeStream empty(Counting(256), 100, 0, true);
  EXPECT_EQ(empty.GetSize(), 0);
  EXPECT_EQ(empty.Seek(0, Stream::kFromEnd), 0);
  EXPECT_EQ(empty.Seek(5, Stream::kFromBeginning), 0);
  uint8_t b;
  EXPECT_EQ(empty.Read(&b, 1), 0);
  // A negative length is empty too.
  TRangeStream negative(Counting(256), 10, -5);
  EXPECT_EQ(negative.GetSize(), 0);
  EXPECT_EQ(negative.Read(&b, 1), 0);
}

TEST(TRangeStream, RangeBeyondTheSourceReadsWhatThereIs) {
  TRangeStream r(Counting(120), 100, 50);
  uint8_t buf[50];
  EXPECT_EQ(r.Read(buf, 50), 20);
  EXPECT_EQ(buf[19], 119);
}

TEST(TFileRangeStream, OverAFileAndOverVolumes) {
  test::TempDir dir;
  const std::string data = test::NoiseBytes(100);
  {
    TTpBigFileStream out(dir / "game.dat", TTpBigFileStream::kCreate, 16);
    out.WriteBuffer(data.data(), 100);
  }
  TFileRangeStream r(dir / "game.dat", 10, 60, false, 16);
  std::string got(60, '\0');
  EXPECT_EQ(r.Read(got.data(), 100), 60);
  EXPECT_EQ(got, data.substr(10, 60));
  TFileRangeStream whole(dir / "game.dat", 0, 0, false, 16);
  EXPECT_EQ(whole.GetSize(), 100);
  EXPECT_THROW(TFileRangeStream(dir / "absent.dat", 0, 0), Error);
}

// Media decoders read one range stream from several threads. Every word of the file holds its own
// index, and the file is split into volumes of an odd size, so that one Read is several reads of
// the volumes. While the stream's lock serialises Seek and Read, each Read returns consecutive
// words, wherever another thread's Seek left the position; without the lock, another thread
// moves the position in the middle of a Read and the words jump.
TEST(TRangeStream, ConcurrentReadsEachReturnConsecutiveData) {
  test::TempDir dir;
  constexpr uint32_t kWords = 16384;
  std::string data(kWords * 4, '\0');
  for (uint32_t i = 0; i < kWords; ++i) StoreU32LE(&data[i * 4], i);
  {
    TTpBigFileStream out(dir / "game.dat", TTpBigFileStream::kCreate, 61);
    out.WriteBuffer(data.data(), static_cast<int64_t>(data.size()));
  }
  constexpr int64_t kStart = 4 * 1000;
  constexpr int64_t kLength = 4 * 12000;
  TFileRangeStream r(dir / "game.dat", kStart, kLength, false, 61);

  std::atomic<int> bad{0};
  std::atomic<int> reads{0};
  auto worker = [&](uint32_t seed) {
    uint32_t x = seed;
    for (int i = 0; i < 3000; ++i) {
      x = x * 1103515245u + 12345u;
      int64_t word = (x >> 8) % 12000;
      int64_t at = r.Seek(word * 4, Stream::kFromBeginning);
      if (at != word * 4) ++bad;
      uint8_t buf[4 * 64];
      int64_t n = r.Read(buf, sizeof buf);
      if (n <= 0) continue;
      ++reads;
      // Where this read started is unknown (another thread may have sought in between), but it is
      // inside the range, on a word boundary, and the words follow each other.
      if (n % 4 != 0) {
        ++bad;
        continue;
      }
      uint32_t first = LoadU32LE(buf);
      if (first < 1000 || first >= 13000) ++bad;
      for (int64_t k = 1; k < n / 4; ++k)
        if (LoadU32LE(buf + k * 4) != first + static_cast<uint32_t>(k)) {
          ++bad;
          break;
        }
      if (first + static_cast<uint32_t>(n / 4) < 13000 && n != static_cast<int64_t>(sizeof buf)) ++bad;
    }
  };
  std::vector<std::thread> threads;
  for (uint32_t t = 0; t < 4; ++t) threads.emplace_back(worker, t + 1);
  for (auto& t : threads) t.join();
  EXPECT_EQ(bad.load(), 0);
  EXPECT_GT(reads.load(), 0);
}

}  // namespace
}  // namespace orin
