#include "resources/big_stream.h"

#include <gtest/gtest.h>

#include <vector>

#include "core/error.h"
#include "resources/host_fs.h"
#include "support/test_support.h"

namespace orin {
namespace {

constexpr int64_t kVolume = 16;

std::string ReadBig(TTpBigStream& s, int64_t count) {
  std::string r(static_cast<size_t>(count), '\0');
  r.resize(static_cast<size_t>(s.Read(r.data(), count)));
  return r;
}

void WriteBig(const std::string& path, const std::string& bytes, int64_t volume = kVolume) {
  TTpBigFileStream out(path, TTpBigFileStream::kCreate, volume);
  out.WriteBuffer(bytes.data(), static_cast<int64_t>(bytes.size()));
}

TEST(TTpBigFileStream, VolumeName) {
  struct Case {
    std::string path;
    int index;
    std::string expected;
  };
  const std::vector<Case> cases = {
      {"dir/game.dat", 0, "dir/game.dat"},   {"dir/game.dat", 1, "dir/game.001"},
      {"dir/game.dat", 12, "dir/game.012"},  {"dir/game.dat", 1234, "dir/game.1234"},
      {"dir.x/game", 2, "dir.x/game.002"},   {"game", 3, "game.003"},
      {"a.b.c", 1, "a.b.001"},               {"/abs/Game.DAT", 999, "/abs/Game.999"},
  };
  for (const auto& c : cases) EXPECT_EQ(TTpBigFileStream::VolumeName(c.path, c.index), c.expected);
}

TEST(TTpBigFileStream, OneByteMoreThanAVolumeSpillsIntoTheNext) {
  test::TempDir dir;
  const std::string data = test::NoiseBytes(kVolume + 1);
  WriteBig(dir / "game.dat", data);
  EXPECT_EQ(test::ReadHostFile(dir / "game.dat"), data.substr(0, kVolume));
  EXPECT_EQ(test::ReadHostFile(dir / "game.001"), data.substr(kVolume));
  EXPECT_FALSE(IsHostFile(dir / "game.002"));

  TTpBigFileStream in(dir / "game.dat", TTpBigFileStream::kRead, kVolume);
  EXPECT_EQ(in.VolumeCount(), 2);
  EXPECT_EQ(in.GetSize(), kVolume + 1);
  EXPECT_EQ(ReadBig(in, 100), data);
  EXPECT_EQ(in.GetPosition(), kVolume + 1);
  EXPECT_EQ(ReadBig(in, 1), "");
}

TEST(TTpBigFileStream, ReadsAcrossVolumesFromAnyPosition) {
  test::TempDir dir;
  const std::string data = test::NoiseBytes(kVolume * 3 + 5);
  WriteBig(dir / "game.dat", data);
  for (const char* v : {"game.dat", "game.001", "game.002", "game.003"}) EXPECT_TRUE(IsHostFile(dir / v)) << v;
  TTpBigFileStream in(dir / "game.dat", TTpBigFileStream::kRead, kVolume);
  for (int64_t start = 0; start <= in.GetSize(); ++start) {
    in.SetPosition(start);
    EXPECT_EQ(ReadBig(in, 2 * kVolume + 3), data.substr(static_cast<size_t>(start), 2 * kVolume + 3)) << start;
  }
  MemoryStream copy;
  in.SetPosition(10);
  EXPECT_EQ(in.CopyTo(copy, 1000), static_cast<int64_t>(data.size()) - 10);
  EXPECT_EQ(copy.View(), data.substr(10));
}

TEST(TTpBigFileStream, AMissingVolumeEndsTheSet) {
  test::TempDir dir;
  dir.Write("game.dat", "first");
  dir.Write("game.002", "third");
  TTpBigFileStream in(dir / "game.dat", TTpBigFileStream::kRead, kVolume);
  EXPECT_EQ(in.VolumeCount(), 1);
  EXPECT_EQ(in.GetSize(), 5);
  EXPECT_EQ(ReadBig(in, 100), "first");
}

TEST(TTpBigFileStream, WithoutVolumesOnlyTheFileItself) {
  test::TempDir dir;
  dir.Write("game.exe", "program");
  dir.Write("game.001", "not mine");
  TTpBigFileStream in(dir / "game.exe", TTpBigFileStream::kRead, kVolume, false);
  EXPECT_EQ(in.VolumeCount(), 1);
  EXPECT_EQ(ReadBig(in, 100), "program");
}

TEST(TTpBigFileStream, CreateDeletesExistingVolumesUpToTheFirstGap) {
  test::TempDir dir;
  for (const char* v : {"game.dat", "game.001", "game.002", "game.004"}) dir.Write(v, "old");
  {
    TTpBigFileStream out(dir / "game.dat", TTpBigFileStream::kCreate, kVolume);
    EXPECT_FALSE(IsHostFile(dir / "game.dat"));
    EXPECT_FALSE(IsHostFile(dir / "game.001"));
    EXPECT_FALSE(IsHostFile(dir / "game.002"));
    EXPECT_TRUE(IsHostFile(dir / "game.004"));  // behind the gap: not part of the set
    out.WriteBuffer("new", 3);
  }
  EXPECT_EQ(test::ReadHostFile(dir / "game.dat"), "new");
  EXPECT_FALSE(IsHostFile(dir / "game.001"));
  // The write mode behaves as create.
  { TTpBigFileStream out(dir / "game.dat", TTpBigFileStream::kWrite, kVolume); }
  EXPECT_FALSE(IsHostFile(dir / "game.dat"));
}

TEST(TTpBigFileStream, SetPositionClampsToTheSize) {
  test::TempDir dir;
  WriteBig(dir / "game.dat", test::NoiseBytes(40));
  TTpBigFileStream in(dir / "game.dat", TTpBigFileStream::kRead, kVolume);
  in.SetPosition(1000);
  EXPECT_EQ(in.GetPosition(), 40);
  in.SetPosition(-5);
  EXPECT_EQ(in.GetPosition(), 0);
  in.SetPosition(17);
  EXPECT_EQ(in.GetPosition(), 17);
  EXPECT_EQ(in.Remaining(), 23);
}

TEST(TTpBigFileStream, ReadWriteModeOverwritesAndGrows) {
  test::TempDir dir;
  const std::string data = test::NoiseBytes(20);
  WriteBig(dir / "game.dat", data);
  {
    TTpBigFileStream rw(dir / "game.dat", TTpBigFileStream::kReadWrite, kVolume);
    rw.SetPosition(14);
    rw.WriteBuffer("ABCDEFGHIJKLMNOPQRS", 19);  // through game.001 into a new game.002
    EXPECT_EQ(rw.GetSize(), 33);
  }
  std::string expected = data.substr(0, 14) + "ABCDEFGHIJKLMNOPQRS";
  TTpBigFileStream in(dir / "game.dat", TTpBigFileStream::kRead, kVolume);
  EXPECT_EQ(in.VolumeCount(), 3);
  EXPECT_EQ(ReadBig(in, 100), expected);
  EXPECT_EQ(test::ReadHostFile(dir / "game.001"), expected.substr(16, 16));
  EXPECT_EQ(test::ReadHostFile(dir / "game.002"), "S");
}

TEST(TTpBigFileStream, ReadOnlyAndMissingFiles) {
  test::TempDir dir;
  dir.Write("game.dat", "x");
  TTpBigFileStream in(dir / "game.dat", TTpBigFileStream::kRead, kVolume);
  EXPECT_THROW(in.Write("y", 1), Error);
  EXPECT_THROW(TTpBigFileStream(dir / "absent.dat", TTpBigFileStream::kRead), Error);
  EXPECT_THROW(TTpBigFileStream(dir.Path(), TTpBigFileStream::kRead), Error);
}

TEST(TTpBigFileStream, Copies) {
  test::TempDir dir;
  const std::string data = test::NoiseBytes(50);
  WriteBig(dir / "a.dat", data);
  TTpBigFileStream a(dir / "a.dat", TTpBigFileStream::kRead, kVolume);
  a.SetPosition(5);
  {
    TTpBigFileStream b(dir / "b.dat", TTpBigFileStream::kCreate, 7);
    EXPECT_EQ(b.CopyFromBig(a, 30), 30);
    MemoryStream m;
    m.Assign("0123456789");
    m.SetPosition(8);
    EXPECT_EQ(b.CopyFrom(m, 0), 10);  // 0: the whole source from its start
    m.SetPosition(2);
    EXPECT_EQ(b.CopyFrom(m, 3), 3);
    TTpBigMemoryStream big;
    big.Write("xyz", 3);
    big.SetPosition(0);
    EXPECT_EQ(b.CopyFromBig(big, 10), 3);  // stops where the source ends
  }
  TTpBigFileStream b(dir / "b.dat", TTpBigFileStream::kRead, 7);
  EXPECT_EQ(ReadBig(b, 100), data.substr(5, 30) + "0123456789" + "234" + "xyz");
}

TEST(TTpBigMemoryStream, CopiesOnlyFromItsOwnKind) {
  TTpBigMemoryStream a;
  a.Write("abcdef", 6);
  a.SetPosition(1);
  TTpBigMemoryStream b;
  EXPECT_EQ(b.CopyFromBig(a, 3), 3);
  EXPECT_EQ(b.Memory().View(), "bcd");
  test::TempDir dir;
  dir.Write("f.dat", "file");
  TTpBigFileStream f(dir / "f.dat", TTpBigFileStream::kRead);
  EXPECT_EQ(b.CopyFromBig(f, 4), 0);
  MemoryStream out;
  a.SetPosition(4);
  EXPECT_EQ(a.CopyTo(out, 10), 2);
  EXPECT_EQ(out.View(), "ef");
  EXPECT_EQ(a.GetPosition(), 6);
  EXPECT_EQ(a.CopyTo(out, 10), 0);
  EXPECT_EQ(a.CopyTo(out, -1), 0);
}

TEST(TTpBigStream, BaseClassDoesNothing) {
  TTpBigStream s;
  MemoryStream m;
  m.Assign("abc");
  EXPECT_EQ(s.GetSize(), 0);
  EXPECT_EQ(s.Read(nullptr, 5), 0);
  EXPECT_EQ(s.Write("x", 1), 0);
  EXPECT_EQ(s.CopyFrom(m, 0), 0);
  EXPECT_EQ(s.CopyTo(m, 1), 0);
  EXPECT_EQ(s.CopyFromBig(s, 1), 0);
  char c;
  EXPECT_THROW(s.ReadBuffer(&c, 1), Error);
  EXPECT_THROW(s.WriteBuffer(&c, 1), Error);
}

TEST(TTpBuffBigStream, PutsTheSourceBackBehindTheLastByteHandedOut) {
  const std::string data = test::NoiseBytes(300000);
  TTpBigMemoryStream source;
  source.Write(data.data(), static_cast<int64_t>(data.size()));
  struct Case {
    int64_t start;
    std::vector<int64_t> reads;
  };
  const std::vector<Case> cases = {
      {0, {}},
      {0, {10}},
      {7, {1, 2, 3}},
      {0, {102400}},         // exactly one buffer
      {0, {102400, 1}},      // one byte of the second
      {5, {102400 + 5, 20}},
      {299990, {4, 100}},    // runs out
      {300000, {1}},
  };
  for (const auto& c : cases) {
    source.SetPosition(c.start);
    int64_t handedOut = 0;
    std::string got;
    {
      TTpBuffBigStream buffered(source);
      for (int64_t n : c.reads) {
        std::string part(static_cast<size_t>(n), '\0');
        int64_t r = buffered.Read(part.data(), n);
        got += part.substr(0, static_cast<size_t>(r));
        handedOut += r;
      }
      EXPECT_EQ(buffered.Remaining(), static_cast<int64_t>(data.size()) - c.start - handedOut);
    }
    EXPECT_EQ(got, data.substr(static_cast<size_t>(c.start), static_cast<size_t>(handedOut)));
    EXPECT_EQ(source.GetPosition(), c.start + handedOut) << c.start;
  }
  source.SetPosition(299999);
  TTpBuffBigStream buffered(source);
  char two[2];
  EXPECT_THROW(buffered.ReadBuffer(two, 2), Error);
}

}  // namespace
}  // namespace orin
