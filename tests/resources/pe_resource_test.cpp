#include "resources/pe_resource.h"

#include <gtest/gtest.h>

#include <vector>

#include "core/error.h"
#include "resources/big_stream.h"
#include "resources/pe_builder.h"
#include "resources/range_stream.h"
#include "support/test_support.h"

namespace orin {
namespace {

using test::BuildPe;
using test::BuiltPe;
using test::PeResource;

struct StreamOf : MemoryStream {
  explicit StreamOf(std::string_view bytes) { Assign(bytes); }
};

std::optional<PeResourceLocation> Find(const std::string& bytes, const std::string& name, const std::string& type) {
  MemoryStream m;
  m.Assign(bytes);
  return FindPeResource(m, name, type);
}

void Put32(std::string& b, size_t at, uint32_t v) { test::pe_detail::Put32(b, at, v); }

const std::string kPayload = "vf payload of the resource";

TEST(FindPeResource, FindsNamedResourceInPe32AndPe32Plus) {
  for (bool plus : {false, true}) {
    BuiltPe pe = BuildPe({{"BINTYPE", "DUMMY", kPayload}}, plus);
    auto found = Find(pe.bytes, "DUMMY", "BINTYPE");
    ASSERT_TRUE(found) << plus;
    EXPECT_EQ(found->offset, pe.dataOffsets[0]);
    EXPECT_EQ(found->size, static_cast<int64_t>(kPayload.size()));
    EXPECT_EQ(pe.bytes.substr(static_cast<size_t>(found->offset), kPayload.size()), kPayload);
    // Names compare without regard to case.
    EXPECT_TRUE(Find(pe.bytes, "dummy", "BinType"));
    EXPECT_FALSE(Find(pe.bytes, "DUMMY2", "BINTYPE"));
    EXPECT_FALSE(Find(pe.bytes, "BINTYPE", "DUMMY"));
  }
}

TEST(FindPeResource, PicksTheRightOneAmongSeveral) {
  BuiltPe pe = BuildPe({
      {"#10", "#1", "rcdata one"},
      {"BINTYPE", "OTHER", "other"},
      {"#10", "NAMED", "rcdata named"},
      {"BINTYPE", "DUMMY", kPayload},
      {"#10", "#300", "rcdata 300"},
      {"\xE5\x9E\x8B", "\xE3\x83\x87\xE3\x83\xBC\xE3\x82\xBF", "japanese"},  // 型 / データ
  });
  struct Case {
    std::string name, type;
    int index;  // -1: not found
  };
  const std::vector<Case> cases = {
      {"DUMMY", "BINTYPE", 3}, {"other", "bintype", 1}, {"#1", "#10", 0},   {"#300", "#10", 4},
      {"NAMED", "#10", 2},     {"#2", "#10", -1},       {"#1", "#11", -1},  {"#abc", "#10", -1},
      {"#1", "10", -1},        {"1", "#10", -1},        {"#70000", "#10", -1},
      {"\x83\x66\x81\x5B\x83\x5E", "\x8C\x5E", 5},  // データ / 型 in cp932
  };
  for (const auto& c : cases) {
    auto found = Find(pe.bytes, c.name, c.type);
    if (c.index < 0) {
      EXPECT_FALSE(found) << c.name << "/" << c.type;
    } else {
      ASSERT_TRUE(found) << c.name << "/" << c.type;
      EXPECT_EQ(found->offset, pe.dataOffsets[static_cast<size_t>(c.index)]) << c.name;
    }
  }
}

TEST(FindPeResource, ExecutableWithoutResourcesGivesNullopt) {
  BuiltPe pe = BuildPe({}, false, false);
  EXPECT_EQ(Find(pe.bytes, "DUMMY", "BINTYPE"), std::nullopt);
  // Fewer than three data directories: no resource directory at all.
  std::string few = BuildPe({{"BINTYPE", "DUMMY", kPayload}}).bytes;
  Put32(few, 0x58 + 92, 2);
  EXPECT_EQ(Find(few, "DUMMY", "BINTYPE"), std::nullopt);
  // An empty root directory.
  BuiltPe empty = BuildPe({});
  EXPECT_EQ(Find(empty.bytes, "DUMMY", "BINTYPE"), std::nullopt);
}

TEST(FindPeResource, LooksLikePe) {
  StreamOf good(BuildPe({{"BINTYPE", "DUMMY", kPayload}}).bytes);
  EXPECT_TRUE(LooksLikePe(good));
  for (std::string bad : {std::string(), std::string("MZ"), std::string("hello world"), std::string(0x40, 'M'),
                          BuildPe({}).bytes.substr(0, 0x50)}) {
    StreamOf m(bad);
    EXPECT_FALSE(LooksLikePe(m));
  }
}

TEST(FindPeResource, EveryTruncationIsAnError) {
  const std::string full = BuildPe({{"BINTYPE", "DUMMY", kPayload}}).bytes;
  for (size_t cut = 0; cut < full.size(); ++cut) {
    EXPECT_THROW(Find(full.substr(0, cut), "DUMMY", "BINTYPE"), Error) << "cut at " << cut;
  }
}

TEST(FindPeResource, DamagedHeadersAreErrors) {
  const BuiltPe pe = BuildPe({{"BINTYPE", "DUMMY", kPayload}});
  struct Case {
    const char* what;
    size_t at;
    uint32_t value;
    int width;
  };
  const std::vector<Case> cases = {
      {"not MZ", 0, 'X', 1},
      {"e_lfanew outside", 0x3C, 0x7FFFFFF0, 4},
      {"e_lfanew far outside", 0x3C, 0xFFFFFFFF, 4},
      {"no PE signature", 0x40, 'N', 1},
      {"unknown optional magic", pe.optionalHeader, 0x777, 2},
      {"optional header size beyond the file", 0x54, 0xFFFF, 2},
      {"optional header too small", 0x54, 1, 2},
      {"section count beyond the file", 0x46, 0xFFFF, 2},
      {"resource RVA in no section", pe.resourceDirectoryEntry, 0x9000, 4},
      {"section raw data beyond the file", pe.sectionTable + 16, 0x7FFFFFFF, 4},
      {"section raw offset beyond the file", pe.sectionTable + 20, 0xFFFFFF00, 4},
  };
  for (const auto& c : cases) {
    std::string b = pe.bytes;
    for (int i = 0; i < c.width; ++i) b[c.at + static_cast<size_t>(i)] = static_cast<char>(c.value >> (8 * i));
    EXPECT_THROW(Find(b, "DUMMY", "BINTYPE"), Error) << c.what;
  }
}

TEST(FindPeResource, DamagedDirectoriesAreErrors) {
  const BuiltPe pe = BuildPe({{"BINTYPE", "DUMMY", kPayload}});
  const size_t s = BuiltPe::kSectionOffset;
  struct Case {
    const char* what;
    size_t at;  // file offset
    uint32_t value;
  };
  const std::vector<Case> cases = {
      {"root entry count runs past the section", s + pe.rootDir + 12, 0xFFFFFFFF},
      {"type subdirectory outside the section", s + pe.rootDir + 20, 0x80FFFF00},
      {"type name outside the section", s + pe.rootDir + 16, 0x8FFFFFF0},
      {"name length runs past the section", s + pe.strings[0], 0x7FFF},
      {"name subdirectory outside the section", s + pe.typeDirs[0] + 20, 0x80100000},
      {"name directory count runs past", s + pe.typeDirs[0] + 12, 0xFFFF0000},
      {"tree deeper than three levels", s + pe.languageDirs[0] + 20, 0x80000000 | pe.rootDir},
      {"data entry outside the section", s + pe.languageDirs[0] + 20, 0x00FFFFF0},
      {"data RVA outside every section", s + pe.dataEntries[0], 0x50000},
      {"data RVA before the section", s + pe.dataEntries[0], 0x10},
      {"data size beyond the section", s + pe.dataEntries[0] + 4, 0x10000},
      {"data size huge", s + pe.dataEntries[0] + 4, 0xFFFFFFFF},
  };
  for (const auto& c : cases) {
    std::string b = pe.bytes;
    Put32(b, c.at, c.value);
    EXPECT_THROW(Find(b, "DUMMY", "BINTYPE"), Error) << c.what;
  }
}

TEST(FindPeResource, AnyDamagedDirectoryByteFailsCleanly) {
  // Whatever a byte of the directory becomes, the reader answers or throws Error; under the
  // sanitizers this also proves it never reads outside what it checked.
  const BuiltPe pe = BuildPe({{"BINTYPE", "DUMMY", kPayload}, {"#10", "#5", "x"}});
  const size_t end = static_cast<size_t>(pe.dataOffsets[0]);
  for (size_t at = BuiltPe::kSectionOffset; at < end; ++at) {
    for (uint8_t v : {uint8_t{0x00}, uint8_t{0x7F}, uint8_t{0x80}, uint8_t{0xFF}}) {
      std::string b = pe.bytes;
      b[at] = static_cast<char>(v);
      try {
        auto found = Find(b, "DUMMY", "BINTYPE");
        if (found) {
          EXPECT_LE(found->offset + found->size, static_cast<int64_t>(b.size()));
        }
      } catch (const Error&) {
      }
    }
  }
}

TEST(TTpBigResourceStream, ReadsTheResourceOfAnExecutable) {
  test::TempDir dir;
  std::string data = test::PatternBytes(3000);
  BuiltPe pe = BuildPe({{"BINTYPE", "OTHER", "zzz"}, {"BINTYPE", "DUMMY", data}});
  std::string exe = dir.Write("game.exe", pe.bytes);

  TTpBigResourceStream r(exe, "DUMMY", "BINTYPE");
  EXPECT_EQ(r.GetSize(), 3000);
  EXPECT_EQ(r.ModulePath(), exe);
  std::string got(3000, '\0');
  EXPECT_EQ(r.Read(got.data(), 5000), 3000);
  EXPECT_EQ(got, data);
  EXPECT_EQ(r.Read(got.data(), 1), 0);
  r.SetPosition(5000);
  EXPECT_EQ(r.GetPosition(), 3000);
  r.SetPosition(-4);
  EXPECT_EQ(r.GetPosition(), 0);
  r.SetPosition(2990);
  MemoryStream tail;
  EXPECT_EQ(r.CopyTo(tail, 100), 10);
  EXPECT_EQ(tail.View(), data.substr(2990));
  EXPECT_THROW(r.Write("x", 1), Error);

  TTpBigResourceStream missing(exe, "NOPE", "BINTYPE");
  EXPECT_EQ(missing.GetSize(), 0);
  EXPECT_EQ(missing.Read(got.data(), 10), 0);

  std::string notPe = dir.Write("readme.txt", "just text, long enough to have sixty-four bytes of header..........");
  EXPECT_THROW(TTpBigResourceStream(notPe, "DUMMY", "BINTYPE"), Error);
  EXPECT_THROW(TTpBigResourceStream(dir / "absent.exe", "DUMMY", "BINTYPE"), Error);
}

TEST(TResourceRangeStream, ShowsPartOfTheResource) {
  test::TempDir dir;
  std::string data = test::PatternBytes(500);
  std::string exe = dir.Write("game.exe", BuildPe({{"BINTYPE", "DUMMY", data}}).bytes);
  TResourceRangeStream r(exe, "DUMMY", "BINTYPE", 100, 50);
  std::string got(50, '\0');
  EXPECT_EQ(r.Read(got.data(), 80), 50);
  EXPECT_EQ(got, data.substr(100, 50));
  TResourceRangeStream whole(exe, "DUMMY", "BINTYPE", 0, 0);
  EXPECT_EQ(whole.GetSize(), 500);
}

}  // namespace
}  // namespace orin
