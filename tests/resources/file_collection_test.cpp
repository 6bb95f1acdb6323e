#include "resources/file_collection.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <filesystem>
#include <optional>
#include <tuple>
#include <vector>

#include "core/error.h"
#include "core/text.h"
#include "resources/compression.h"
#include "resources/pe_builder.h"
#include "support/test_support.h"

namespace orin {
namespace {

using namespace literals;

// ---- An archive builder of the test's own, written from the format, not from the writer.

constexpr uint32_t kKey = 1593578642u;

uint32_t NextKey(uint32_t& state) {
  state = state * 5u + kKey;
  return state;
}

struct EntryPlan {
  std::string name;
  std::string data;  // the bytes as they stand in the archive
  uint8_t stored = 1;
  uint32_t fileTime = 0;
  uint32_t crc = 0;
  uint8_t crcUncompressed = 0;
};

struct Built {
  std::string index, data;
  std::string Whole() const { return index + data; }
};

void PutU32(std::string& s, uint32_t v) {
  for (int i = 0; i < 4; ++i) s += static_cast<char>(v >> (8 * i));
}
void PutU64(std::string& s, uint64_t v) {
  for (int i = 0; i < 8; ++i) s += static_cast<char>(v >> (8 * i));
}

// Version 0: count, plain names, plain 4-byte offsets. 100: "vf", version, scrambled names and
// 4-byte offsets. 101: 8-byte offsets and the Stored, FileTime, Crc arrays. 102 and later: plus
// CrcUncompressed. firstOffset (relative to the index start) defaults to right behind the index.
Built BuildArchive(uint32_t version, const std::vector<EntryPlan>& entries, std::optional<int64_t> firstOffset = {}) {
  const bool scrambled = version >= 100;
  const size_t width = version >= 101 ? 8 : 4;
  const size_t n = entries.size();
  std::string h;
  if (version > 0) {
    h += "vf";
    PutU32(h, version);
  }
  PutU32(h, static_cast<uint32_t>(n));
  uint32_t state = 0;
  for (const auto& e : entries) {
    PutU32(h, static_cast<uint32_t>(e.name.size()));
    for (char c : e.name)
      h += static_cast<char>(static_cast<uint8_t>(c) ^ (scrambled ? static_cast<uint8_t>(NextKey(state)) : 0));
  }
  const size_t arrays = version >= 101 ? n * 9 + (version >= 102 ? n : 0) : 0;
  int64_t offset = firstOffset ? *firstOffset : static_cast<int64_t>(h.size() + (n + 1) * width + arrays);
  std::vector<int64_t> offsets;
  Built b;
  for (const auto& e : entries) {
    offsets.push_back(offset);
    offset += static_cast<int64_t>(e.data.size());
    b.data += e.data;
  }
  offsets.push_back(offset);
  state = 0;
  for (int64_t o : offsets) {
    if (width == 8) {
      int64_t k = scrambled ? static_cast<int64_t>(static_cast<int32_t>(NextKey(state))) : 0;
      PutU64(h, static_cast<uint64_t>(o ^ k));
    } else {
      uint32_t k = scrambled ? NextKey(state) : 0;
      PutU32(h, static_cast<uint32_t>(o) ^ k);
    }
  }
  if (version >= 101) {
    for (const auto& e : entries) h += static_cast<char>(e.stored);
    for (const auto& e : entries) PutU32(h, e.fileTime);
    for (const auto& e : entries) PutU32(h, e.crc);
    if (version >= 102)
      for (const auto& e : entries) h += static_cast<char>(e.crcUncompressed);
  }
  b.index = h;
  return b;
}

std::string Zlib(const std::string& raw) {
  std::string out(compressBound(raw.size()), '\0');
  uLongf n = out.size();
  EXPECT_EQ(compress2(reinterpret_cast<Bytef*>(out.data()), &n, reinterpret_cast<const Bytef*>(raw.data()), raw.size(),
                      1),
            Z_OK);
  out.resize(n);
  return out;
}

uint32_t Crc(const std::string& s) {
  return static_cast<uint32_t>(crc32(0, reinterpret_cast<const Bytef*>(s.data()), static_cast<uInt>(s.size())));
}

std::string Load(TVrFileCollection& c, std::string_view name) {
  MemoryStream m;
  c.LoadEntry(m, name);
  EXPECT_EQ(m.GetPosition(), 0);
  return std::string(m.View());
}

std::string Saved(TVrFileCollection& c, uint32_t version = 102) {
  TTpBigMemoryStream out;
  EXPECT_TRUE(c.Save(out, version));
  return std::string(out.Memory().View());
}

// A collection over an archive held in memory.
void ReadFromBytes(TVrFileCollection& c, const std::string& bytes) {
  auto s = std::make_unique<TTpBigMemoryStream>();
  s->Write(bytes.data(), static_cast<int64_t>(bytes.size()));
  s->SetPosition(0);
  c.ArchiveStream = std::move(s);
  c.ReadIndex(*c.ArchiveStream);
}

std::string VersionName(uint32_t version) {
  std::string name = "V";
  name += std::to_string(version);
  return name;
}

// ---- Layout

// Three entries "a" ("xyz", stored), "" (empty) and "Bc" ("hello", stored), written out by hand:
// names XOR the low byte of the generator's values 0x5EFC1492, (none for ""), 0x39E87B6C, 0x80867DAE;
// offsets 87, 90, 90, 95 XOR those four values sign-extended (0x80867DAE and 0xE19C88F8 are
// negative, so their high words are all ones).
const std::string kVersion102(
    "\x76\x66\x66\x00\x00\x00\x03\x00\x00\x00\x01\x00\x00\x00\xF3\x00"
    "\x00\x00\x00\x02\x00\x00\x00\x2E\xCD\xC5\x14\xFC\x5E\x00\x00\x00"
    "\x00\x36\x7B\xE8\x39\x00\x00\x00\x00\xF4\x7D\x86\x80\xFF\xFF\xFF"
    "\xFF\xA7\x88\x9C\xE1\xFF\xFF\xFF\xFF\x01\x00\x01\x78\x56\x34\x12"
    "\x00\x00\x00\x00\x04\x03\x02\x01\xDD\xCC\xBB\xAA\x00\x00\x00\x00"
    "\x0D\x0C\x0B\x0A\x00\x01\x00\x78\x79\x7A\x68\x65\x6C\x6C\x6F",
    95);

const std::vector<EntryPlan> kVersion102Entries = {
    {"a", "xyz", 1, 0x12345678, 0xAABBCCDD, 0},
    {"", "", 0, 0, 0, 1},
    {"Bc", "hello", 1, 0x01020304, 0x0A0B0C0D, 0},
};

TEST(TVrFileCollection_V102, HandWrittenBytes) {
  ASSERT_EQ(BuildArchive(102, kVersion102Entries).Whole(), kVersion102);  // the builder agrees with the bytes
  HostFileSystem fs;
  TVrFileCollection c(fs);
  ReadFromBytes(c, kVersion102);
  EXPECT_EQ(c.Version, 102u);
  ASSERT_EQ(c.Count(), 4);
  EXPECT_EQ(c.EntryCount(), 3);
  const std::vector<std::string> names = {"a", "", "Bc", "\\EOF\\"};
  for (int i = 0; i < 4; ++i) EXPECT_EQ(c[i].Name(), names[static_cast<size_t>(i)]);
  EXPECT_EQ(c[0].Offset, 87);
  EXPECT_EQ(c[0].Size, 3);
  EXPECT_EQ(c[0].Stored, 1);
  EXPECT_EQ(c[0].FileTime, 0x12345678u);
  EXPECT_EQ(c[0].Crc, 0xAABBCCDDu);
  EXPECT_EQ(c[0].CrcUncompressed, 0);
  EXPECT_EQ(c[1].Size, 0);
  EXPECT_EQ(c[1].CrcUncompressed, 1);
  EXPECT_EQ(c[2].Offset, 90);
  EXPECT_EQ(c[2].Size, 5);
  EXPECT_EQ(c[2].FileTime, 0x01020304u);
  EXPECT_EQ(c[3].Offset, 95);
  EXPECT_EQ(Load(c, "A"), "xyz");
  EXPECT_EQ(Load(c, "bC"), "hello");
  EXPECT_EQ(Load(c, ""), "");  // size 0, and compressed by its flag: nothing to inflate
}

TEST(TVrFileCollection_V102, ReadAtAnArchiveStart) {
  // Offsets are relative to where the index starts.
  HostFileSystem fs;
  TVrFileCollection c(fs);
  auto s = std::make_unique<TTpBigMemoryStream>();
  s->Write("STUB", 4);
  s->Write(kVersion102.data(), static_cast<int64_t>(kVersion102.size()));
  s->SetPosition(4);
  c.ArchiveStream = std::move(s);
  c.ReadIndex(*c.ArchiveStream);
  EXPECT_EQ(c[0].Offset, 91);
  EXPECT_EQ(Load(c, "bc"), "hello");
}

struct ReadCase {
  uint32_t version;
  bool hasArrays, hasCrcUncompressed;
};

class TVrFileCollection_Read : public testing::TestWithParam<ReadCase> {};

TEST_P(TVrFileCollection_Read, EveryVersion) {
  const ReadCase rc = GetParam();
  const std::string text = test::PatternBytes(3000);
  const std::string media = test::NoiseBytes(700);
  // Without the arrays every entry is compressed.
  std::vector<EntryPlan> planned = {
      {"Data\\text.txt", Zlib(text), 0, 0x11111111, Crc(Zlib(text)), 0},
      {"bgm\\\x83\x5C.ogg", rc.hasArrays ? media : Zlib(media), rc.hasArrays ? uint8_t{1} : uint8_t{0}, 0x22222222,
       Crc(media), 1},
      {"", "", 0, 0, 0, 0},
      {"empty.txt", "", 1, 0, 0, 0},
  };
  Built b = BuildArchive(rc.version, planned);
  HostFileSystem fs;
  TVrFileCollection c(fs);
  ReadFromBytes(c, b.Whole());
  EXPECT_EQ(c.Version, rc.version);
  ASSERT_EQ(c.EntryCount(), 4);
  for (size_t i = 0; i < planned.size(); ++i) {
    const TVrFile& e = c[static_cast<int>(i)];
    EXPECT_EQ(e.Name(), planned[i].name);
    EXPECT_EQ(e.Size, static_cast<int64_t>(planned[i].data.size()));
    EXPECT_EQ(e.Stored, rc.hasArrays ? planned[i].stored : 0) << i;
    EXPECT_EQ(e.FileTime, rc.hasArrays ? planned[i].fileTime : 0u) << i;
    EXPECT_EQ(e.Crc, rc.hasArrays ? planned[i].crc : 0u) << i;
    EXPECT_EQ(e.CrcUncompressed, rc.hasCrcUncompressed ? planned[i].crcUncompressed : 0) << i;
  }
  EXPECT_EQ(Load(c, "DATA\\TEXT.TXT"), text);
  EXPECT_EQ(Load(c, "BGM\\\x83\x5C.OGG"), media);
  EXPECT_EQ(Load(c, "Empty.txt"), "");
}

INSTANTIATE_TEST_SUITE_P(Versions, TVrFileCollection_Read,
                         testing::Values(ReadCase{0, false, false}, ReadCase{100, false, false},
                                         ReadCase{101, true, false}, ReadCase{102, true, true},
                                         ReadCase{103, true, true}),
                         [](const auto& p) { return VersionName(p.param.version); });

TEST(TVrFileCollection_V0, WithoutMagicTheCountComesFirst) {
  // Two entries, plain names, plain offsets: exactly what a version-0 index is.
  const std::string packed = Zlib("abc");
  std::string bytes("\x01\x00\x00\x00\x01\x00\x00\x00Q", 9);
  PutU32(bytes, 17);
  PutU32(bytes, 17 + static_cast<uint32_t>(packed.size()));
  bytes += packed;
  HostFileSystem fs;
  TVrFileCollection c(fs);
  ReadFromBytes(c, bytes);
  EXPECT_EQ(c.Version, 0u);
  EXPECT_EQ(c[0].Name(), "Q");
  EXPECT_EQ(c[0].Stored, 0);
  EXPECT_EQ(Load(c, "q"), "abc");
}

TEST(TVrFileCollection_V101, NoCrcUncompressedArray) {
  // The data follows the Crc array directly; a reader that expected the flags would take the
  // first data bytes for them and misplace nothing else, so look at both.
  Built b = BuildArchive(101, {{"x", "DATA", 1, 5, 6, 1}});
  EXPECT_EQ(b.index.size(), 10u + 5u + 16u + 9u);
  HostFileSystem fs;
  TVrFileCollection c(fs);
  ReadFromBytes(c, b.Whole());
  EXPECT_EQ(c[0].CrcUncompressed, 0);
  EXPECT_EQ(c[0].Offset, static_cast<int64_t>(b.index.size()));
  EXPECT_EQ(Load(c, "x"), "DATA");
}

TEST(TVrFileCollection, DuplicateNamesTheLaterWins) {
  Built b = BuildArchive(102, {{"Dup.txt", "first"}, {"other", "o"}, {"DUP.TXT", "second"}});
  HostFileSystem fs;
  TVrFileCollection c(fs);
  ReadFromBytes(c, b.Whole());
  EXPECT_EQ(c.IndexOf("dup.txt"), 2);
  EXPECT_EQ(Load(c, "dup.TXT"), "second");
  c.RemoveEntry("dup.txt");
  EXPECT_EQ(c.IndexOf("dup.txt"), 0);
  EXPECT_EQ(Load(c, "dup.txt"), "first");
  c.RemoveEntry("no such entry");
  EXPECT_EQ(c.EntryCount(), 2);
}

TEST(TVrFileCollection, EmptyEntryLoadsEmptyWhateverItsFlag) {
  for (uint8_t stored : {uint8_t{0}, uint8_t{1}}) {
    Built b = BuildArchive(102, {{"e", "", stored}, {"f", "x", 1}});
    HostFileSystem fs;
    TVrFileCollection c(fs);
    ReadFromBytes(c, b.Whole());
    EXPECT_EQ(Load(c, "e"), "");
    EXPECT_EQ(Load(c, "f"), "x");
  }
}

// ---- Writing

// Loose files of known content and time, and a memory entry.
struct Sources {
  test::TempDir dir;
  std::string wav = test::NoiseBytes(300, 2);
  std::string text = test::PatternBytes(2000, 3);
  std::string noise = test::NoiseBytes(500, 4);
  std::string japanese = test::PatternBytes(700, 5);
  std::string memory = "memory entry " + test::PatternBytes(200, 6);
  static constexpr uint32_t kTime = ((25u << 9 | 6u << 5 | 15u) << 16) | (13u << 11 | 45u << 5 | 15u);

  Sources() {
    for (auto [name, bytes] : std::vector<std::pair<std::string, std::string>>{
             {"voice/a.wav", wav},
             {"text.txt", text},
             {"noise.bin", noise},
             {"\xE7\x94\xBB\xE5\x83\x8F/\xE3\x82\xBD.txt", japanese}})  // 画像/ソ.txt
      EXPECT_TRUE(SetHostFileDosTime(dir.Write("src/" + name, bytes), kTime));
  }

  void Fill(TVrFileCollection& c) const {
    c.Folder = dir / "src/";
    c.AddEntry("Voice\\A.wav");
    c.AddEntry("TEXT.TXT");
    c.AddEntry("noise.bin");
    c.AddEntry("画像\\ソ.txt"_sj);
    TVrFile& m = c.AddMemoryEntry("mem\\entry");
    m.Content->Assign(memory);
    m.CrcUncompressed = 1;
    m.FileTime = 0x0BADF00D;  // kept as it is
  }

  // What each version must write for Fill's entries.
  std::vector<EntryPlan> Expected(uint32_t version) const {
    const bool arrays = version >= 101;
    auto loose = [&](const std::string& name, const std::string& raw, bool streamed) {
      std::string packed = Zlib(raw);
      bool store = arrays && (streamed || packed.size() > raw.size() * 9 / 10);
      const std::string& written = store ? raw : packed;
      return EntryPlan{name, written, uint8_t{store}, kTime, Crc(written), 0};
    };
    return {
        loose("Voice\\A.wav", wav, true),
        loose("TEXT.TXT", text, false),
        loose("noise.bin", noise, false),
        loose("画像\\ソ.txt"_sj, japanese, false),
        // Before 102 the flag has no place in the index, so the CRC covers the stored bytes.
        EntryPlan{"mem\\entry", Zlib(memory), 0, 0x0BADF00D, version >= 102 ? Crc(memory) : Crc(Zlib(memory)), 1},
    };
  }
};

class TVrFileCollection_Write : public testing::TestWithParam<uint32_t> {};

TEST_P(TVrFileCollection_Write, LayoutMatchesTheFormat) {
  const uint32_t version = GetParam();
  Sources src;
  HostFileSystem fs;
  TVrFileCollection c(fs);
  src.Fill(c);
  std::vector<EntryPlan> expected = src.Expected(version);
  if (version >= 101) {
    // The test data must exercise both outcomes of the loose-file rules.
    EXPECT_EQ(expected[0].stored, 1);
    EXPECT_EQ(expected[1].stored, 0);
    EXPECT_EQ(expected[2].stored, 1);
  }
  EXPECT_EQ(Saved(c, version), BuildArchive(version, expected).Whole());
  // Save updates the entries as it writes them.
  for (size_t i = 0; i < expected.size() && version >= 101; ++i) {
    EXPECT_EQ(c[static_cast<int>(i)].Stored, expected[i].stored) << i;
    EXPECT_EQ(c[static_cast<int>(i)].FileTime, expected[i].fileTime) << i;
    EXPECT_EQ(c[static_cast<int>(i)].Crc, expected[i].crc) << i;
  }
}

TEST_P(TVrFileCollection_Write, RoundTrip) {
  const uint32_t version = GetParam();
  Sources src;
  HostFileSystem fs;
  TVrFileCollection c(fs);
  src.Fill(c);
  c.AddMemoryEntry("");  // an empty name and no content
  TVrFile& dup = c.AddMemoryEntry("TEXT.txt");
  dup.Content->Assign("the later one");
  {
    TTpBigFileStream out(src.dir / "game.dat", TTpBigFileStream::kCreate);
    ASSERT_TRUE(c.Save(out, version));
  }
  TVrFileCollection r(fs);
  r.Open(src.dir / "game.dat");
  EXPECT_EQ(r.Version, version);
  EXPECT_EQ(r.Folder, src.dir.Path());
  ASSERT_EQ(r.EntryCount(), c.Count());
  for (int i = 0; i < c.Count(); ++i) {
    EXPECT_EQ(r[i].Name(), c[i].Name());
    EXPECT_EQ(r[i].Stored, version >= 101 ? c[i].Stored : 0) << i;
    EXPECT_EQ(r[i].FileTime, version >= 101 ? c[i].FileTime : 0u) << i;
    EXPECT_EQ(r[i].Crc, version >= 101 ? c[i].Crc : 0u) << i;
    EXPECT_EQ(r[i].CrcUncompressed, version >= 102 ? c[i].CrcUncompressed : 0) << i;
  }
  EXPECT_EQ(Load(r, "voice\\a.wav"), src.wav);
  EXPECT_EQ(Load(r, "noise.BIN"), src.noise);
  EXPECT_EQ(Load(r, "画像\\ソ.TXT"_sj), src.japanese);
  EXPECT_EQ(Load(r, "MEM\\ENTRY"), src.memory);
  EXPECT_EQ(Load(r, ""), "");
  EXPECT_EQ(Load(r, "text.txt"), "the later one");
  EXPECT_EQ(Load(r, "\\EOF\\"), "");
}

INSTANTIATE_TEST_SUITE_P(Versions, TVrFileCollection_Write, testing::Values(0u, 100u, 101u, 102u),
                         [](const auto& p) { return VersionName(p.param); });

TEST(TVrFileCollection, SavingARereadCollectionLeavesOutTheSentinel) {
  test::TempDir dir;
  const std::string text = test::PatternBytes(1000);
  dir.Write("game.dat", BuildArchive(102, {{"a.wav", "stored"}, {"b.txt", Zlib(text), 0}, {"c", ""}}).Whole());
  HostFileSystem fs;
  TVrFileCollection c(fs);
  c.Open(dir / "game.dat");
  ASSERT_EQ(c.Count(), 4);  // with "\EOF\"
  const std::string bytes = Saved(c);
  EXPECT_EQ(bytes.substr(6, 4), std::string("\x03\0\0\0", 4));
  TVrFileCollection r(fs);
  ReadFromBytes(r, bytes);
  ASSERT_EQ(r.Count(), 4);
  EXPECT_EQ(r[3].Name(), "\\EOF\\");
  // Entries only in the archive are taken from it, uncompressed, and written compressed.
  EXPECT_EQ(Load(r, "a.wav"), "stored");
  EXPECT_EQ(Load(r, "b.txt"), text);
  EXPECT_EQ(Load(r, "c"), "");
  EXPECT_EQ(r[0].Stored, 0);
}

TEST(TVrFileCollection, SaveAtAStreamPositionWritesOffsetsFromThere) {
  HostFileSystem fs;
  TVrFileCollection c(fs);
  c.AddMemoryEntry("x").Content->Assign("content");
  TTpBigMemoryStream out;
  out.Write("prefix", 6);
  ASSERT_TRUE(c.Save(out));
  TVrFileCollection r(fs);
  std::string bytes(out.Memory().View());
  auto s = std::make_unique<TTpBigMemoryStream>();
  s->Write(bytes.data(), static_cast<int64_t>(bytes.size()));
  s->SetPosition(6);
  r.ArchiveStream = std::move(s);
  r.ReadIndex(*r.ArchiveStream);
  EXPECT_EQ(Load(r, "x"), "content");
}

TEST(TVrFileCollection, NineTenthsRuleAtTheExactBoundary) {
  // Noise then a run of one byte: the zlib form grows about one byte per byte of noise, so some
  // split hits size * 9 / 10 exactly and some other hits one byte more.
  std::optional<std::string> atLimit, overLimit;
  for (size_t size = 1000; size < 1400 && !(atLimit && overLimit); size += 7) {
    const size_t limit = size * 9 / 10;
    for (size_t noise = size * 3 / 4; noise <= size; ++noise) {
      std::string payload = test::NoiseBytes(noise, static_cast<uint32_t>(size)) + std::string(size - noise, 'a');
      size_t packed = Zlib(payload).size();
      if (packed == limit && !atLimit) atLimit = payload;
      if (packed == limit + 1 && !overLimit) overLimit = payload;
      if (packed > limit + 1) break;
    }
  }
  ASSERT_TRUE(atLimit && overLimit) << "no payload found at the boundary";

  test::TempDir dir;
  dir.Write("src/at.bin", *atLimit);
  dir.Write("src/over.bin", *overLimit);
  HostFileSystem fs;
  TVrFileCollection c(fs);
  c.Folder = dir / "src/";
  c.AddEntry("at.bin");
  c.AddEntry("over.bin");
  TVrFileCollection r(fs);
  ReadFromBytes(r, Saved(c));
  EXPECT_EQ(r[0].Stored, 0);
  EXPECT_EQ(r[0].Size, static_cast<int64_t>(atLimit->size() * 9 / 10));
  EXPECT_EQ(r[1].Stored, 1);
  EXPECT_EQ(r[1].Size, static_cast<int64_t>(overLimit->size()));
  EXPECT_EQ(Load(r, "at.bin"), *atLimit);
  EXPECT_EQ(Load(r, "over.bin"), *overLimit);
}

TEST(TVrFileCollection, FiveMiBMemoryEntriesAreStored) {
  HostFileSystem fs;
  TVrFileCollection c(fs);
  const std::string big = test::PatternBytes(5242880);
  c.AddMemoryEntry("at").Content->Assign(big);
  c.AddMemoryEntry("below").Content->Assign(std::string_view(big).substr(0, 5242879));
  TVrFileCollection r(fs);
  ReadFromBytes(r, Saved(c));
  EXPECT_EQ(r[0].Stored, 1);
  EXPECT_EQ(r[0].Size, 5242880);
  EXPECT_EQ(r[0].Crc, Crc(big));
  EXPECT_EQ(r[1].Stored, 0);
  EXPECT_LT(r[1].Size, 5242879);
  EXPECT_EQ(Load(r, "at"), big);
  EXPECT_EQ(Load(r, "below"), big.substr(0, 5242879));
}

TEST(TVrFileCollection, ProgressAndCancel) {
  HostFileSystem fs;
  TVrFileCollection c(fs);
  for (const char* n : {"a", "b", "c"}) c.AddMemoryEntry(n).Content->Assign(n);
  std::vector<std::tuple<std::string, int, int, bool>> calls;
  c.OnProgress = [&](TVrFileCollection&, TVrFile& e, bool& cancel, int count, int index, int64_t bytes) {
    calls.emplace_back(e.Name(), count, index, bytes > 0);
    if (index == 1 && bytes > 0) cancel = true;
  };
  TTpBigMemoryStream out;
  EXPECT_FALSE(c.Save(out));
  EXPECT_EQ(calls, (std::vector<std::tuple<std::string, int, int, bool>>{
                       {"a", 3, 0, false}, {"a", 3, 0, true}, {"b", 3, 1, false}, {"b", 3, 1, true}}));
}

TEST(TVrFileCollection, SavingAnEntryFoundNowhereFails) {
  HostFileSystem fs;
  TVrFileCollection c(fs);
  c.AddEntry("ghost.txt");
  TTpBigMemoryStream out;
  try {
    c.Save(out);
    FAIL() << "saved an entry that has no content";
  } catch (const Error& e) {
    EXPECT_EQ(e.Message(), Format("%s:ファイルがありません"_sj, "ghost.txt"));
  }
}

// ---- Where archives live

Built SmallArchive(const std::string& stored, const std::string& text) {
  return BuildArchive(102, {{"voice.wav", stored, 1}, {"text.txt", Zlib(text), 0}, {"nothing", "", 1}});
}

TEST(TVrFileCollection, TrailerBehindAnExecutable) {
  test::TempDir dir;
  const std::string stored = test::NoiseBytes(400);
  const std::string text = test::PatternBytes(900);
  const std::string stub = "MZ" + test::NoiseBytes(1000);
  std::string exe = stub + SmallArchive(stored, text).Whole();
  PutU32(exe, static_cast<uint32_t>(stub.size()));
  exe += "qz";
  for (const char* name : {"Game.EXE", "saver.scr"}) {
    dir.Write(name, exe);
    dir.Write("Game.001", "not a volume of the program");
    HostFileSystem fs;
    TVrFileCollection c(fs);
    c.Open(dir / name);
    EXPECT_EQ(c.EntryCount(), 3) << name;
    EXPECT_EQ(c[0].Offset, static_cast<int64_t>(stub.size() + SmallArchive(stored, text).index.size()));
    EXPECT_EQ(Load(c, "VOICE.WAV"), stored);
    EXPECT_EQ(Load(c, "text.txt"), text);
    auto range = c.OpenEntryRange("voice.wav");
    ASSERT_TRUE(range);
    std::string got(400, '\0');
    EXPECT_EQ(range->Read(got.data(), 1000), 400);
    EXPECT_EQ(got, stored);
  }
}

TEST(TVrFileCollection, BrokenTrailersAreErrors) {
  test::TempDir dir;
  const std::string archive = SmallArchive("s", "t").Whole();
  std::string pointsOutside = "MZ" + archive;
  PutU32(pointsOutside, 0xFFFFFF00);
  pointsOutside += "qz";
  std::string noMark = "MZ" + archive;
  PutU32(noMark, 2);
  noMark += "QZ";
  for (const std::string& bytes : {pointsOutside, noMark, std::string("qz"), std::string()}) {
    dir.Write("game.exe", bytes);
    HostFileSystem fs;
    TVrFileCollection c(fs);
    EXPECT_THROW(c.Open(dir / "game.exe"), Error) << testing::PrintToString(bytes.substr(bytes.size() > 6 ? bytes.size() - 6 : 0));
  }
}

TEST(TVrFileCollection, SeparateIndexFile) {
  test::TempDir dir;
  const std::string stored = test::NoiseBytes(100);
  const std::string text = test::PatternBytes(300);
  // The data file holds only entry data: the offsets start at 0.
  Built b = BuildArchive(102, {{"voice.wav", stored, 1}, {"text.txt", Zlib(text), 0}}, 0);
  dir.Write("game.dat", b.data);
  dir.Write("GAME.Ext", b.index);
  HostFileSystem fs;
  TVrFileCollection c(fs);
  c.Open(dir / "game.dat");
  EXPECT_TRUE(c.HasIndexFile);
  EXPECT_EQ(c[0].Offset, 0);
  EXPECT_EQ(Load(c, "voice.wav"), stored);
  EXPECT_EQ(Load(c, "text.txt"), text);
  auto range = c.OpenEntryRange("voice.wav");
  ASSERT_TRUE(range);
  EXPECT_EQ(range->GetSize(), 100);
  std::string got(100, '\0');
  EXPECT_EQ(range->Read(got.data(), 100), 100);
  EXPECT_EQ(got, stored);

  // Offsets are checked against the data file, not the index file.
  dir.Write("game.dat", b.data.substr(0, b.data.size() - 1));
  TVrFileCollection cut(fs);
  EXPECT_THROW(cut.Open(dir / "game.dat"), Error);
}

TEST(TVrFileCollection, SplitVolumes) {
  test::TempDir dir;
  HostFileSystem fs;
  constexpr int64_t kVolume = 64;
  const std::string wav = test::NoiseBytes(500);
  const std::string text = test::PatternBytes(1500);
  {
    TVrFileCollection c(fs, kVolume);
    c.Folder = dir / "src/";
    dir.Write("src/voice.wav", wav);
    dir.Write("src/text.txt", text);
    c.AddEntry("voice.wav");
    c.AddEntry("text.txt");
    TTpBigFileStream out(dir / "game.dat", TTpBigFileStream::kCreate, kVolume);
    ASSERT_TRUE(c.Save(out));
  }
  EXPECT_EQ(test::ReadHostFile(dir / "game.dat").size(), static_cast<size_t>(kVolume));
  EXPECT_TRUE(IsHostFile(dir / "game.010"));
  TVrFileCollection r(fs, kVolume);
  r.Open(dir / "game.dat");
  EXPECT_EQ(Load(r, "voice.wav"), wav);
  EXPECT_EQ(Load(r, "text.txt"), text);
  auto range = r.OpenEntryRange("voice.wav");
  ASSERT_TRUE(range);
  std::string got(500, '\0');
  range->Seek(0, Stream::kFromBeginning);
  EXPECT_EQ(range->Read(got.data(), 500), 500);
  EXPECT_EQ(got, wav);
}

TEST(TVrFileCollection, OneFileLargerThanAVolumeNamesTheCause) {
  // A single file holds at most one volume; entries behind it cannot be read, and the message
  // says so rather than calling a complete file cut short.
  test::TempDir dir;
  HostFileSystem fs;
  constexpr int64_t kVolume = 128;
  const std::string path = dir.Write("save.dat", "");
  {
    TVrFileCollection c(fs);
    c.Open("");
    c.AddMemoryEntry("big").Content->Assign(test::NoiseBytes(500));
    c.AddMemoryEntry("after").Content->Assign("a");
    TTpBigMemoryStream image;
    c.Save(image);
    test::WriteHostFile(path, std::string(image.Memory().View()));
  }
  TVrFileCollection r(fs, kVolume);
  r.Open(path);
  EXPECT_EQ(Load(r, "big"), test::NoiseBytes(500));  // it begins in the first volume
  try {
    Load(r, "after");
    ADD_FAILURE() << "no error";
  } catch (const Error& e) {
    EXPECT_NE(e.Message().find("entry \"after\" lies beyond the first 128 bytes, the most one archive file (volume) may hold"),
              std::string::npos)
        << e.Message();
  }
}

TEST(TVrFileCollection, ResourceArchive) {
  test::TempDir dir;
  const std::string stored = test::NoiseBytes(333);
  const std::string text = test::PatternBytes(800);
  const std::string archive = SmallArchive(stored, text).Whole();
  const std::string exe = dir.Write("game.exe", test::BuildPe({{"BINTYPE", "DUMMY", archive}}).bytes);
  HostFileSystem fs;
  TVrFileCollection c(fs);
  c.OpenResource(exe, "DUMMY", "BINTYPE");
  EXPECT_TRUE(c.IsResource);
  EXPECT_EQ(c.EntryCount(), 3);
  EXPECT_EQ(Load(c, "voice.wav"), stored);
  EXPECT_EQ(Load(c, "text.txt"), text);
  auto range = c.OpenEntryRange("voice.wav");
  ASSERT_TRUE(range);
  std::string got(333, '\0');
  EXPECT_EQ(range->Read(got.data(), 1000), 333);
  EXPECT_EQ(got, stored);

  try {
    c.OpenResource(exe, "MISSING", "BINTYPE");
    FAIL() << "opened a missing resource";
  } catch (const Error& e) {
    EXPECT_EQ(e.Message(), "リソースが見つかりません"_sj);
  }
  EXPECT_EQ(c.Count(), 0);
  const std::string empty = dir.Write("empty.exe", test::BuildPe({{"BINTYPE", "DUMMY", ""}}).bytes);
  EXPECT_THROW(c.OpenResource(empty, "DUMMY", "BINTYPE"), Error);
}

TEST(TVrFileCollection, OpenEntryRange) {
  test::TempDir dir;
  const std::string stored = test::NoiseBytes(64);
  dir.Write("game.dat", SmallArchive(stored, "t").Whole());
  HostFileSystem fs;
  TVrFileCollection c(fs);
  c.Open(dir / "game.dat");
  auto range = c.OpenEntryRange("VOICE.wav");
  ASSERT_TRUE(range);
  EXPECT_EQ(range->GetSize(), 64);
  EXPECT_EQ(range->Seek(10, Stream::kFromBeginning), 10);
  std::string got(100, '\0');
  EXPECT_EQ(range->Read(got.data(), 100), 54);
  EXPECT_EQ(got.substr(0, 54), stored.substr(10));
  auto none = c.OpenEntryRange("nothing");  // size 0: empty, not the whole file
  ASSERT_TRUE(none);
  EXPECT_EQ(none->GetSize(), 0);
  EXPECT_EQ(c.OpenEntryRange("absent"), nullptr);

  TVrFileCollection memoryOnly(fs);
  memoryOnly.AddMemoryEntry("m").Content->Assign("x");
  EXPECT_EQ(memoryOnly.OpenEntryRange("m"), nullptr);
}

TEST(TVrFileCollection, LoadEntryFallsBackToLooseFiles) {
  test::TempDir dir;
  dir.Write("game.dat", SmallArchive("s", "t").Whole());
  dir.Write("Extra/Loose.TXT", "loose");
  dir.Write("voice.wav", "a loose file never shadows an archive entry");
  HostFileSystem fs;
  TVrFileCollection c(fs);
  c.Open(dir / "game.dat");
  EXPECT_EQ(Load(c, "extra\\loose.txt"), "loose");
  EXPECT_EQ(Load(c, "voice.wav"), "s");
  for (const char* missing : {"absent.txt", "game.dat"}) {  // the archive itself is no entry
    try {
      Load(c, missing);
      FAIL() << missing;
    } catch (const Error& e) {
      EXPECT_EQ(e.Message(), Format("%s:ファイルがありません"_sj, missing));
    }
  }
  // Into a stream other than a memory stream: written at its position, then position 0.
  const std::string path = dir / "out.bin";
  FileStream f(path, FileStream::kCreate);
  c.LoadEntry(f, "extra\\loose.txt");
  EXPECT_EQ(f.GetPosition(), 0);
  EXPECT_EQ(test::ReadHostFile(path), "loose");

  // A missing archive leaves an empty collection over the folder of that name.
  TVrFileCollection folder(fs);
  folder.Open(dir / "Extra");
  EXPECT_EQ(folder.Folder, dir / "Extra/");
  EXPECT_EQ(folder.Count(), 0);
  EXPECT_EQ(Load(folder, "LOOSE.txt"), "loose");
  TVrFileCollection none(fs);
  none.Open("");
  EXPECT_EQ(none.Folder, "");
  EXPECT_THROW(Load(none, "loose.txt"), Error);
}

// ---- Damaged archives

TEST(TVrFileCollection, EveryCutPointFailsCleanlyOrLoads) {
  test::TempDir dir;
  const std::string stored = "stored bytes";
  const std::string text = test::PatternBytes(60);
  const std::string full = SmallArchive(stored, text).Whole();
  HostFileSystem fs;
  for (size_t cut = 0; cut < full.size(); ++cut) {
    dir.Write("cut.dat", full.substr(0, cut));
    TVrFileCollection c(fs);
    try {
      c.Open(dir / "cut.dat");
      EXPECT_EQ(Load(c, "voice.wav"), stored) << cut;
      EXPECT_EQ(Load(c, "text.txt"), text) << cut;
    } catch (const Error&) {
    }
  }
}

std::vector<std::filesystem::path> MalformedArchives() {
  std::vector<std::filesystem::path> files;
  for (const auto& e : std::filesystem::directory_iterator(ORIN_TEST_DATA "/archive/malformed"))
    if (e.is_regular_file() && e.path().extension() != ".md") files.push_back(e.path());
  std::sort(files.begin(), files.end());
  return files;
}

TEST(TVrFileCollection, MalformedArchivesAreCleanErrors) {
  const auto files = MalformedArchives();
  ASSERT_GE(files.size(), 5u);
  HostFileSystem fs;
  for (const auto& path : files) {
    TVrFileCollection c(fs);
    try {
      c.Open(path.string());
      // An index that reads must still refuse its data.
      for (int i = 0; i < c.EntryCount(); ++i) Load(c, c[i].Name());
      ADD_FAILURE() << path.filename() << " was accepted";
    } catch (const Error& e) {
      EXPECT_NE(e.Message().find("damaged"), std::string::npos) << path.filename() << ": " << e.Message();
    }
  }
}

}  // namespace
}  // namespace orin
