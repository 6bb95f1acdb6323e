#include "resources/compression.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <vector>

#include "core/error.h"
#include "support/test_support.h"

namespace orin {
namespace {

// A memory stream holding the given bytes.
struct StreamOf : MemoryStream {
  explicit StreamOf(std::string_view bytes) { Assign(bytes); }
};

// A layered image header: "Mura" + three digits, uint32 header length, then the header, whose
// byte 22 is the storage kind (1: raw pixels).
std::string Mur(const char* version, uint32_t headerLength, uint8_t kind, size_t headerBytesPresent) {
  std::string s = std::string("Mura") + version;
  for (int i = 0; i < 4; ++i) s += static_cast<char>(headerLength >> (8 * i));
  std::string header(headerBytesPresent, '\0');
  if (headerBytesPresent > 22) header[22] = static_cast<char>(kind);
  return s + header;
}

TEST(ShouldCompress, LayeredImagesDecideByTheirHeader) {
  struct Case {
    const char* what;
    std::string name, bytes;
    bool expected;
  };
  const std::vector<Case> cases = {
      {"raw pixels", "pic.mur", Mur("106", 40, 1, 40), true},
      {"upper-case extension", "PIC.MUR", Mur("106", 40, 1, 40), true},
      {"mixed case", "a\\Pic.Mur", Mur("106", 40, 1, 40), true},
      {"other storage", "pic.mur", Mur("106", 40, 0, 40), false},
      {"storage kind 2", "pic.mur", Mur("106", 40, 2, 40), false},
      {"format 103 is the first", "pic.mur", Mur("103", 40, 1, 40), true},
      {"format 102 is too old", "pic.mur", Mur("102", 40, 1, 40), false},
      {"format 999", "pic.mur", Mur("999", 40, 1, 40), true},
      {"not a number", "pic.mur", Mur("1x6", 40, 1, 40), false},
      {"wrong signature", "pic.mur", "Mure106" + Mur("106", 40, 1, 40).substr(7), false},
      {"header of 23 bytes", "pic.mur", Mur("106", 23, 1, 40), true},
      {"header of 22 bytes has no storage byte", "pic.mur", Mur("106", 22, 1, 40), false},
      {"header longer than 40", "pic.mur", Mur("106", 1000, 1, 40), true},
      {"huge header length", "pic.mur", Mur("106", 0xFFFFFFFF, 1, 60), true},
      {"header cut before byte 22", "pic.mur", Mur("106", 40, 1, 40).substr(0, 11 + 22), false},
      {"header cut right after byte 22", "pic.mur", Mur("106", 40, 1, 40).substr(0, 11 + 23), true},
      {"no header length", "pic.mur", "Mura106\x28\x00", false},
      {"signature only", "pic.mur", "Mura106", false},
      {"short file", "pic.mur", "Mur", false},
      {"empty file", "pic.mur", "", false},
  };
  for (const auto& c : cases) {
    StreamOf s(c.bytes);
    s.Seek(5, Stream::kFromBeginning);  // the header is read from the start whatever the position
    EXPECT_EQ(ShouldCompress(c.name, s), c.expected) << c.what;
  }
  // A raw layered image is compressed whatever its size.
  StreamOf big(Mur("106", 40, 1, 40));
  big.SetSize(kStoreThreshold + 10);
  EXPECT_TRUE(ShouldCompress("big.mur", big));
}

TEST(ShouldCompress, StreamedMediaStaysStored) {
  struct Case {
    std::string name;
    bool expected;
  };
  const std::vector<Case> cases = {
      {"a.wav", false},   {"a.WAV", false},  {"a.Ogg", false},     {"a.wma", false},   {"a.avi", false},
      {"a.mpg", false},   {"a.mpeg", false}, {"a.M1V", false},     {"a.wmv", false},   {"a.asf", false},
      {"a.dat", false},   {"dir.wav\\a.txt", true},
      // The extension is looked up as a piece of ".WAV.WMA.OGG.AVI.MPG.MPEG.M1V.WMV.ASF.DAT.", so parts
      // of the listed ones count too.
      {"a.mp", false},    {"a.MPE", false},  {"a.w", false},       {"a.a", false},     {"a.av", false},
      {"a.", false},      {"a.g", true},     {"a.vi", true},       {"a.wave", true},   {"a.oggx", true},
      {"a.txt", true},    {"a.osb", true},   {"readme", true},     {"a.wav.txt", true}, {"a.png", true},
  };
  for (const auto& c : cases) {
    StreamOf s("small");
    EXPECT_EQ(ShouldCompress(c.name, s), c.expected) << c.name;
  }
}

TEST(ShouldCompress, FiveMiBBoundary) {
  MemoryStream s;
  s.SetSize(5242879);
  EXPECT_TRUE(ShouldCompress("a.txt", s));
  s.SetSize(5242880);
  EXPECT_FALSE(ShouldCompress("a.txt", s));
  EXPECT_EQ(kStoreThreshold, 5242880);
}

TEST(Compression, RoundTripAtLevelOne) {
  for (const std::string& data : {std::string(), std::string("a"), test::PatternBytes(100000), test::NoiseBytes(70000)}) {
    StreamOf s(data);
    s.Seek(3, Stream::kFromBeginning);
    CompressStream(s);
    EXPECT_EQ(s.GetPosition(), 0);
    // zlib header of the fastest level: CMF 0x78, FLG 0x01.
    ASSERT_GE(s.Size(), 2u);
    EXPECT_EQ(s.Data()[0], 0x78);
    EXPECT_EQ(s.Data()[1], 0x01);
    // The same bytes as zlib's own level 1.
    std::string expected(compressBound(data.size()), '\0');
    uLongf n = expected.size();
    ASSERT_EQ(compress2(reinterpret_cast<Bytef*>(expected.data()), &n, reinterpret_cast<const Bytef*>(data.data()),
                        data.size(), 1),
              Z_OK);
    expected.resize(n);
    EXPECT_EQ(s.View(), expected);
    s.Seek(2, Stream::kFromBeginning);
    DecompressStream(s);
    EXPECT_EQ(s.GetPosition(), 0);
    EXPECT_EQ(s.View(), data);
  }
}

TEST(Compression, SizeHintsDoNotMatter) {
  const std::string data = test::PatternBytes(50000);
  auto packed = DeflateBytes(reinterpret_cast<const uint8_t*>(data.data()), data.size());
  for (size_t hint : {size_t{0}, size_t{1}, size_t{49999}, size_t{50000}, size_t{1} << 20}) {
    auto out = InflateBytes(packed->Data(), packed->Size(), hint);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(out->Data()), out->Size()), data) << hint;
  }
}

TEST(Compression, TrailingBytesAfterTheStreamAreIgnored) {
  StreamOf s("hello");
  CompressStream(s);
  s.Seek(0, Stream::kFromEnd);
  s.Write("garbage", 7);
  DecompressStream(s);
  EXPECT_EQ(s.View(), "hello");
}

TEST(Compression, DamagedDataIsAnError) {
  StreamOf packed(test::PatternBytes(20000));
  CompressStream(packed);
  const std::string good(packed.View());
  for (const std::string& bad : {std::string(), std::string("not zlib at all"), std::string("\x78\x01"),
                                 std::string("\x78\x9C\xFF\xFF\xFF\xFF"), std::string("\x78\x01", 2) + std::string(50, '\xFF')}) {
    StreamOf s(bad);
    EXPECT_THROW(DecompressStream(s), Error) << testing::PrintToString(bad);
  }
  // A changed byte in the middle: the deflate data or at the latest the Adler-32 check fails.
  for (size_t at : {size_t{2}, good.size() / 2, good.size() - 1}) {
    std::string bad = good;
    bad[at] = static_cast<char>(bad[at] ^ 0x55);
    StreamOf s(bad);
    EXPECT_THROW(DecompressStream(s), Error) << at;
  }
}

TEST(Compression, EveryTruncationIsAnError) {
  StreamOf packed(test::PatternBytes(3000));
  CompressStream(packed);
  const std::string good(packed.View());
  for (size_t cut = 0; cut < good.size(); ++cut) {
    StreamOf s(good.substr(0, cut));
    EXPECT_THROW(DecompressStream(s), Error) << cut;
  }
}

TEST(Compression, OutputLimitIsExactAndStated) {
  const std::string data = test::PatternBytes(10000);
  auto packed = DeflateBytes(reinterpret_cast<const uint8_t*>(data.data()), data.size());
  struct Case {
    size_t limit;
    bool ok;
  };
  for (const Case c : {Case{10000, true}, Case{9999, false}, Case{1, false}, Case{kMaxInflatedSize + 1, true}}) {
    try {
      auto out = InflateBytes(packed->Data(), packed->Size(), 0, c.limit);
      EXPECT_TRUE(c.ok) << c.limit;
      EXPECT_EQ(out->Size(), data.size());
    } catch (const Error& e) {
      EXPECT_FALSE(c.ok) << c.limit;
      EXPECT_NE(e.Message().find("inflates beyond"), std::string::npos) << e.Message();
    }
  }
}

TEST(Compression, InflateExactWantsTheWholeStream) {
  const std::string data = test::PatternBytes(5000);
  auto packed = DeflateBytes(reinterpret_cast<const uint8_t*>(data.data()), data.size());
  const std::string good(reinterpret_cast<const char*>(packed->Data()), packed->Size());
  std::string out(6000, '\0');
  auto inflate = [&](const std::string& in, size_t size) {
    InflateExact(reinterpret_cast<const uint8_t*>(in.data()), in.size(), reinterpret_cast<uint8_t*>(out.data()), size);
  };
  inflate(good, 5000);
  EXPECT_EQ(out.substr(0, 5000), data);
  inflate(good, 100);  // fewer bytes asked: the rest is checked and dropped
  EXPECT_EQ(out.substr(0, 100), data.substr(0, 100));
  std::string badCheck = good;
  badCheck.back() = static_cast<char>(badCheck.back() ^ 1);
  EXPECT_THROW(inflate(badCheck, 100), Error);                      // the Adler-32 is still checked
  EXPECT_THROW(inflate(good.substr(0, good.size() - 4), 100), Error);  // the stream is cut short
  EXPECT_THROW(inflate(good, 5001), Error);  // the stream holds fewer bytes than asked
  EXPECT_THROW(inflate(good, kMaxInflatedSize + 1), Error);  // refused before a byte is written
}

TEST(Crc32, MatchesZlib) {
  EXPECT_EQ(Crc32(reinterpret_cast<const uint8_t*>("123456789"), 9), 0xCBF43926u);
  EXPECT_EQ(Crc32(nullptr, 0), 0u);
  const std::string data = test::NoiseBytes(3 * 1048576 + 17);
  const uint32_t expected = static_cast<uint32_t>(
      crc32(0, reinterpret_cast<const Bytef*>(data.data()), static_cast<uInt>(data.size())));
  // In two pieces.
  uint32_t first = Crc32(reinterpret_cast<const uint8_t*>(data.data()), 1000);
  EXPECT_EQ(Crc32(reinterpret_cast<const uint8_t*>(data.data()) + 1000, data.size() - 1000, first), expected);
  // A memory stream and a file stream, from position 0 whatever the position.
  StreamOf m(data);
  m.Seek(100, Stream::kFromBeginning);
  EXPECT_EQ(StreamCrc32(m), expected);
  test::TempDir dir;
  const std::string path = dir.Write("f.bin", data);
  FileStream f(path, FileStream::kRead);
  f.Seek(5, Stream::kFromBeginning);
  EXPECT_EQ(StreamCrc32(f), expected);
  MemoryStream empty;
  EXPECT_EQ(StreamCrc32(empty), 0u);
}

}  // namespace
}  // namespace orin
