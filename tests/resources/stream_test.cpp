#include "resources/stream.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>

#include "core/error.h"
#include "support/test_support.h"

namespace orin {
namespace {

std::string ReadAll(Stream& s) {
  std::string r(static_cast<size_t>(s.Remaining()), '\0');
  s.ReadBuffer(r.data(), static_cast<int64_t>(r.size()));
  return r;
}

TEST(MemoryStream, ReadWriteSeek) {
  MemoryStream m;
  EXPECT_EQ(m.GetSize(), 0);
  EXPECT_EQ(m.Write("hello world", 11), 11);
  EXPECT_EQ(m.GetPosition(), 11);
  EXPECT_EQ(m.Seek(-5, Stream::kFromEnd), 6);
  char buf[16] = {};
  EXPECT_EQ(m.Read(buf, 16), 5);
  EXPECT_EQ(std::string(buf, 5), "world");
  EXPECT_EQ(m.Read(buf, 1), 0);  // at the end
  EXPECT_EQ(m.Seek(-3, Stream::kFromCurrent), 8);
  EXPECT_EQ(m.Seek(-100, Stream::kFromCurrent), 0);  // never below 0
  EXPECT_EQ(m.Seek(20, Stream::kFromBeginning), 20);
  EXPECT_EQ(m.Read(buf, 4), 0);  // beyond the end
  EXPECT_EQ(m.Remaining(), 0);
  EXPECT_EQ(m.Read(buf, 0), 0);
  EXPECT_EQ(m.Read(buf, -1), 0);
  EXPECT_EQ(m.Write(buf, -1), 0);
  // A write past the end leaves zeros in the gap.
  EXPECT_EQ(m.Write("!", 1), 1);
  EXPECT_EQ(m.View(), std::string("hello world") + std::string(9, '\0') + "!");
}

TEST(MemoryStream, SeekArithmeticNeverOverflows) {
  MemoryStream m;
  m.Assign("abc");
  m.Seek(2, Stream::kFromBeginning);
  EXPECT_EQ(m.Seek(INT64_MAX, Stream::kFromCurrent), INT64_MAX);
  EXPECT_EQ(m.Seek(INT64_MIN, Stream::kFromEnd), 0);
  m.Seek(INT64_MAX, Stream::kFromBeginning);
  char c = 0;
  EXPECT_EQ(m.Read(&c, 1), 0);
  EXPECT_THROW(m.Write("x", 1), Error);
  EXPECT_EQ(m.View(), "abc");
}

TEST(MemoryStream, SetSize) {
  MemoryStream m;
  m.Assign("abcdef");
  m.Seek(5, Stream::kFromBeginning);
  m.SetSize(3);
  EXPECT_EQ(m.View(), "abc");
  EXPECT_EQ(m.GetPosition(), 3);
  m.SetSize(6);
  EXPECT_EQ(m.View(), std::string("abc\0\0\0", 6));
  m.SetSize(-1);
  EXPECT_EQ(m.GetSize(), 0);
  EXPECT_EQ(m.GetPosition(), 0);
}

TEST(MemoryStream, SharersNeverSeeEachOthersWrites) {
  MemoryStream a;
  a.Assign("hello");
  MemoryStream b, c;
  b.ShareFrom(a);
  c.ShareFrom(b);
  EXPECT_EQ(b.Data(), a.Data());  // no copy until someone writes
  EXPECT_EQ(b.GetPosition(), 0);

  b.Write("J", 1);
  EXPECT_EQ(a.View(), "hello");
  EXPECT_EQ(b.View(), "Jello");
  EXPECT_EQ(c.View(), "hello");

  // A reader holding the buffer keeps its bytes whatever the stream does next.
  std::shared_ptr<const ByteBuffer> held = a.SharedBuffer();
  a.Seek(0, Stream::kFromEnd);
  a.Write("!", 1);
  EXPECT_EQ(a.View(), "hello!");
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(held->Data()), held->Size()), "hello");
  EXPECT_EQ(c.View(), "hello");

  // Each way of changing the content unshares first.
  struct Change {
    const char* what;
    void (*apply)(MemoryStream&);
  };
  const Change changes[] = {
      {"MutableData", [](MemoryStream& s) { s.MutableData()[0] = 'X'; }},
      {"SetSize", [](MemoryStream& s) { s.SetSize(2); }},
      {"Write", [](MemoryStream& s) { s.Write("XY", 2); }},
      {"Clear", [](MemoryStream& s) { s.Clear(); }},
      {"Assign", [](MemoryStream& s) { s.Assign("other"); }},
      {"Reserve+Write", [](MemoryStream& s) { s.Reserve(1000); s.Write("Z", 1); }},
  };
  for (const auto& change : changes) {
    MemoryStream source, sharer;
    source.Assign("original");
    sharer.ShareFrom(source);
    change.apply(sharer);
    EXPECT_EQ(source.View(), "original") << change.what;
    const std::string changed(sharer.View());
    source.Seek(3, Stream::kFromBeginning);
    change.apply(source);
    EXPECT_EQ(sharer.View(), changed) << change.what;
  }

  // Adopting a read-only buffer and writing leaves the buffer as it was.
  MemoryStream d;
  d.Adopt(held);
  d.Write("W", 1);
  EXPECT_EQ(d.View(), "Wello");
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(held->Data()), held->Size()), "hello");

  // Sharing with itself changes nothing but the position.
  a.ShareFrom(a);
  EXPECT_EQ(a.View(), "hello!");
}

TEST(MemoryStream, CopyFrom) {
  MemoryStream src;
  src.Assign("0123456789");
  src.Seek(7, Stream::kFromBeginning);
  MemoryStream dst;
  EXPECT_EQ(dst.CopyFrom(src, 0), 10);  // 0: the whole source from its start
  EXPECT_EQ(dst.View(), "0123456789");
  src.Seek(2, Stream::kFromBeginning);
  MemoryStream part;
  EXPECT_EQ(part.CopyFrom(src, 3), 3);
  EXPECT_EQ(part.View(), "234");
  EXPECT_EQ(part.CopyFrom(src, -5), 0);
  EXPECT_THROW(part.CopyFrom(src, 100), Error);  // the source ends early
  MemoryStream empty, into;
  EXPECT_EQ(into.CopyFrom(empty, 0), 0);
}

TEST(MemoryStream, Files) {
  test::TempDir dir;
  MemoryStream m;
  m.Assign(test::NoiseBytes(5000));
  m.SaveToFile(dir / "x.bin");
  EXPECT_EQ(test::ReadHostFile(dir / "x.bin"), m.View());
  MemoryStream back;
  back.Write("junk", 4);
  back.LoadFromFile(dir / "x.bin");
  EXPECT_EQ(back.View(), m.View());
  EXPECT_EQ(back.GetPosition(), 0);
  EXPECT_THROW(back.LoadFromFile(dir / "missing.bin"), Error);
  EXPECT_THROW(m.SaveToFile(dir / "no/such/folder/x.bin"), Error);
}

TEST(FileStream, ReadWriteSeekAndSize) {
  test::TempDir dir;
  const std::string path = dir / "f.bin";
  {
    FileStream f(path, FileStream::kCreate);
    f.WriteBuffer("abcdef", 6);
    EXPECT_EQ(f.GetSize(), 6);
    EXPECT_EQ(f.Seek(-2, Stream::kFromEnd), 4);
    f.WriteBuffer("XYZ", 3);
    EXPECT_EQ(f.GetSize(), 7);
    f.Sync();
  }
  EXPECT_EQ(test::ReadHostFile(path), "abcdXYZ");
  {
    FileStream f(path, FileStream::kReadWrite);  // keeps the content
    EXPECT_EQ(f.GetSize(), 7);
    f.SetSize(3);
    EXPECT_EQ(f.GetPosition(), 0);
    f.Seek(10, Stream::kFromBeginning);
    char c;
    EXPECT_EQ(f.Read(&c, 1), 0);
    f.SetSize(2);
    EXPECT_EQ(f.GetPosition(), 2);
  }
  EXPECT_EQ(test::ReadHostFile(path), "ab");
  FileStream r(path, FileStream::kRead);
  EXPECT_EQ(ReadAll(r), "ab");
  EXPECT_THROW(r.Write("x", 1), Error);
  EXPECT_EQ(r.Seek(INT64_MAX, Stream::kFromEnd), INT64_MAX);
  EXPECT_EQ(r.Seek(INT64_MIN, Stream::kFromCurrent), 0);
}

TEST(FileStream, OpenFailuresNameThePath) {
  test::TempDir dir;
  try {
    FileStream f(dir / "missing.bin", FileStream::kRead);
    FAIL() << "opened a missing file";
  } catch (const Error& e) {
    EXPECT_NE(e.Message().find("missing.bin"), std::string::npos) << e.Message();
  }
  EXPECT_THROW(FileStream(dir.Path(), FileStream::kRead), Error);  // a folder
  EXPECT_THROW(FileStream(dir / "no/such/x", FileStream::kCreate), Error);
}

TEST(StreamHelpers, IntegersAreLittleEndian) {
  MemoryStream m;
  WriteInt32(m, -2);
  WriteUInt32(m, 0x11223344);
  WriteByte(m, 0xAB);
  WriteInt64(m, 0x0102030405060708);
  EXPECT_EQ(m.View(), std::string("\xFE\xFF\xFF\xFF\x44\x33\x22\x11\xAB\x08\x07\x06\x05\x04\x03\x02\x01", 17));
  m.SetPosition(0);
  EXPECT_EQ(ReadInt32(m), -2);
  EXPECT_EQ(ReadUInt32(m), 0x11223344u);
  EXPECT_EQ(ReadByte(m), 0xAB);
  EXPECT_EQ(ReadInt64(m), 0x0102030405060708);
  EXPECT_THROW(ReadByte(m), Error);
  m.Assign("abc");
  EXPECT_THROW(ReadInt32(m), Error);
}

TEST(StreamHelpers, Strings) {
  MemoryStream m;
  WriteString(m, "\x83\x5C\x95\x5C");
  WriteString(m, "");
  EXPECT_EQ(m.View(), std::string("\x04\0\0\0\x83\x5C\x95\x5C\0\0\0\0", 12));
  m.SetPosition(0);
  EXPECT_EQ(ReadString(m), "\x83\x5C\x95\x5C");
  EXPECT_EQ(ReadString(m), "");
  EXPECT_EQ(m.Remaining(), 0);
}

TEST(StreamHelpers, ReadStringOfLengthZeroOrLessConsumesFourBytes) {
  for (std::string length : {std::string("\0\0\0\0", 4), std::string("\xFF\xFF\xFF\xFF"), std::string("\0\0\0\x80", 4)}) {
    MemoryStream m;
    m.Assign(length + "rest");
    EXPECT_EQ(ReadString(m), "");
    EXPECT_EQ(m.GetPosition(), 4);
  }
}

TEST(StreamHelpers, ReadStringRunningPastTheEndThrows) {
  // 0x7FFFFFFF would be 2 GiB if it were allocated before the check.
  for (std::string length : {std::string("\x05\0\0\0", 4), std::string("\xFF\xFF\xFF\x7F")}) {
    MemoryStream m;
    m.Assign(length + "abcd");
    EXPECT_THROW(ReadString(m), Error);
  }
}

TEST(StreamHelpers, ExtendedValues) {
  MemoryStream m;
  WriteExtended(m, -2.5L);
  EXPECT_EQ(m.View(), std::string("\0\0\0\0\0\0\0\xA0\x00\xC0", 10));
  WriteExtended(m, 0.1L);
  m.SetPosition(0);
  EXPECT_EQ(ReadExtended(m), -2.5L);
  EXPECT_EQ(ReadExtended(m), 0.1L);
  m.Assign(std::string(9, '\0'));
  EXPECT_THROW(ReadExtended(m), Error);
}

}  // namespace
}  // namespace orin
