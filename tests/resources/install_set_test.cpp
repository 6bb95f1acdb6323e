#include "resources/install_set.h"

#include <gtest/gtest.h>

#include <tuple>

#include "core/cp932.h"
#include "core/endian.h"
#include "core/error.h"
#include "core/text.h"
#include "resources/folder_disk_list.h"
#include "support/test_support.h"
#include "support/byte_builder.h"

namespace orin {
namespace {

using namespace literals;

// Little-endian byte builder for hand-made layouts.
using test::Bytes;

struct Layout {
  int version;
  bool emptyFileName = true;  // an empty name in the file list, which readers drop
  int32_t entryCount = 2;     // the stored count
  int entries = 2;            // the entries actually stored
  int32_t fileCount = 3;      // the stored file-list count
};

int64_t ValueOf(int i, bool wide) { return wide ? (int64_t{1} << 40) + i : -1000 - i; }

// install.dat written field by field as the installer lays it out.
std::string HandMade(const Layout& l) {
  const int v = l.version;
  const bool wide = v >= 100;
  Bytes b;
  if (v > 0) b.Raw(Format("is%.3d", v));
  b.I32(1).Str("夏の日"_sj).Str("t1").Str("t2").Str("t3").U8(0x11).Str("t4").U8(0x12);
  b.I32(l.entryCount).Str("t5").I32(-7).U8(0x13).U8(0x14).Str("t6").Str("t7");
  for (int i = 0; i < l.entries * 4 + 4; ++i) wide ? b.I64(ValueOf(i, true)) : b.I32(static_cast<int32_t>(ValueOf(i, false)));
  b.U8(0x15);
  if (v >= 101) b.U8(0x16);
  if (v >= 102) {
    b.I32(l.fileCount).Str("data\\a.dat");
    if (l.emptyFileName) b.Str("");
    b.Str("data\\b.dat");
  }
  if (v >= 103) b.U8(1);
  if (v >= 104) b.U8(0x17);
  if (v >= 105) b.U8(0x18);
  if (v >= 106) b.I32(2).Str("x").Str("");
  if (v >= 107) b.Str("t8");
  return b.Get();
}

TOrinInstallSet Expected(int v) {
  const bool wide = v >= 100;
  TOrinInstallSet s;
  s.Version = v;
  s.DiscIndex = 1;
  s.Title = "夏の日"_sj;
  s.Text1 = "t1";
  s.Text2 = "t2";
  s.Text3 = "t3";
  s.Flag1 = 0x11;
  s.Text4 = "t4";
  s.Flag2 = 0x12;
  s.Text5 = "t5";
  s.Number1 = -7;
  s.Flag3 = 0x13;
  s.Flag4 = 0x14;
  s.Text6 = "t6";
  s.Text7 = "t7";
  s.Entries.resize(2);
  for (int i = 0; i < 8; ++i) s.Entries[static_cast<size_t>(i / 4)][static_cast<size_t>(i % 4)] = ValueOf(i, wide);
  for (int i = 0; i < 4; ++i) s.Values[static_cast<size_t>(i)] = ValueOf(8 + i, wide);
  s.Flag5 = 0x15;
  if (v >= 101) s.Flag6 = 0x16;
  if (v >= 102) s.FileList = {"data\\a.dat", "data\\b.dat"};
  if (v >= 103) s.FullInstall = 1;
  if (v >= 104) s.Flag7 = 0x17;
  if (v >= 105) s.Flag8 = 0x18;
  if (v >= 106) s.ExtraList = {"x", ""};
  if (v >= 107) s.Text8 = "t8";
  return s;
}

void ExpectSame(const TOrinInstallSet& a, const TOrinInstallSet& b) {
  EXPECT_EQ(a.Version, b.Version);
  EXPECT_EQ(a.DiscIndex, b.DiscIndex);
  EXPECT_EQ(a.Title, b.Title);
  EXPECT_EQ(std::tie(a.Text1, a.Text2, a.Text3, a.Text4, a.Text5, a.Text6, a.Text7, a.Text8),
            std::tie(b.Text1, b.Text2, b.Text3, b.Text4, b.Text5, b.Text6, b.Text7, b.Text8));
  EXPECT_EQ(std::tie(a.Flag1, a.Flag2, a.Flag3, a.Flag4, a.Flag5, a.Flag6, a.Flag7, a.Flag8),
            std::tie(b.Flag1, b.Flag2, b.Flag3, b.Flag4, b.Flag5, b.Flag6, b.Flag7, b.Flag8));
  EXPECT_EQ(a.Number1, b.Number1);
  EXPECT_EQ(a.Entries, b.Entries);
  EXPECT_EQ(a.Values, b.Values);
  EXPECT_EQ(a.FileList, b.FileList);
  EXPECT_EQ(a.FullInstall, b.FullInstall);
  EXPECT_EQ(a.ExtraList, b.ExtraList);
}

TOrinInstallSet Read(const std::string& bytes) {
  MemoryStream m;
  m.Assign(bytes);
  TOrinInstallSet s;
  s.LoadFromStream(m);
  EXPECT_EQ(m.GetPosition(), static_cast<int64_t>(bytes.size())) << "bytes left unread";
  return s;
}

std::string Write(const TOrinInstallSet& s, int version) {
  MemoryStream m;
  s.SaveToStream(m, version);
  return std::string(m.View());
}

const int kVersions[] = {0, 99, 100, 101, 102, 103, 104, 105, 106, 107};

TEST(TOrinInstallSet, ReadsEveryVersion) {
  // Version 0 has no header and 4-byte values; 102 ends after its file list, so the full-install
  // flag stays 0; and so on up to 107.
  for (int v : kVersions) {
    SCOPED_TRACE(v);
    ExpectSame(Read(HandMade({v})), Expected(v));
  }
}

TEST(TOrinInstallSet, WritesTheExactLayoutOfEveryVersion) {
  for (int v : kVersions) {
    SCOPED_TRACE(v);
    Layout l{v};
    l.emptyFileName = false;
    l.fileCount = 2;
    EXPECT_EQ(Write(Expected(v), v), HandMade(l));
  }
  // Written as 107 by default, and read back unchanged.
  const std::string bytes = Write(Expected(107), TOrinInstallSet::kWriteVersion);
  EXPECT_EQ(bytes.substr(0, 5), "is107");
  ExpectSame(Read(bytes), Expected(107));
}

TEST(TOrinInstallSet, TruncatedDataFailsCleanly) {
  for (int v : {0, 102, 107}) {
    const std::string full = HandMade({v});
    for (size_t n = 0; n < full.size(); ++n) {
      MemoryStream m;
      m.Assign(std::string_view(full).substr(0, n));
      TOrinInstallSet s;
      EXPECT_THROW(s.LoadFromStream(m), Error) << "version " << v << ", " << n << " bytes";
    }
  }
}

TEST(TOrinInstallSet, AbsurdCountsAndLengthsFailBeforeAllocating) {
  struct Case {
    const char* what;
    std::string bytes;
  };
  Layout manyEntries{107};
  manyEntries.entryCount = 0x7FFFFFFF;
  Layout manyFiles{107};
  manyFiles.fileCount = 0x20000000;
  std::string longTitle = HandMade({107});
  StoreI32LE(&longTitle[9], 0x7FFFFFF0);
  const Case cases[] = {
      {"entry count", HandMade(manyEntries)},
      {"file count", HandMade(manyFiles)},
      {"title length", longTitle},
  };
  for (const auto& c : cases) {
    MemoryStream m;
    m.Assign(c.bytes);
    TOrinInstallSet s;
    try {
      s.LoadFromStream(m);
      ADD_FAILURE() << c.what << ": no error";
    } catch (const Error& e) {
      EXPECT_EQ(e.Message().rfind("install.dat: damaged install data: ", 0), 0u) << e.Message();
    }
  }

  // A negative count means no entries, as the installer reads it.
  Layout negative{107};
  negative.entryCount = -5;
  negative.entries = 0;
  EXPECT_TRUE(Read(HandMade(negative)).Entries.empty());
}

TEST(TOrinInstallSet, WriterRefusesWhatItCannotStore) {
  TOrinInstallSet s = Expected(107);
  s.Values[3] = int64_t{1} << 33;
  MemoryStream m;
  EXPECT_THROW(s.SaveToStream(m, 99), Error);
  EXPECT_EQ(m.Size(), 0u);  // nothing half-written
  EXPECT_THROW(s.SaveToStream(m, 1000), Error);
  EXPECT_NO_THROW(s.SaveToStream(m, 100));
}

TEST(TOrinInstallSet, FileNames) {
  TOrinInstallSet s;
  s.AddFileName("Data\\A.dat");
  s.AddFileName("data\\a.DAT");
  s.AddFileName("data\\b.dat");
  EXPECT_EQ(s.FileList.size(), 2u);
  EXPECT_EQ(s.IndexOfFileName("DATA\\A.DAT"), 0);
  EXPECT_EQ(s.IndexOfFileName("data\\B.dat"), 1);
  EXPECT_EQ(s.IndexOfFileName("data\\c.dat"), -1);
}

TEST(TOrinInstallSet, ReadsFromAFile) {
  test::TempDir dir;
  const std::string path = dir.Write("install.dat", HandMade({105}));
  TOrinInstallSet s;
  s.LoadFromFile(path);
  ExpectSame(s, Expected(105));

  const std::string damaged = dir.Write("damaged.dat", HandMade({105}).substr(0, 20));
  try {
    s.LoadFromFile(damaged);
    ADD_FAILURE() << "no error";
  } catch (const Error& e) {
    EXPECT_EQ(e.Message().rfind(damaged + ": ", 0), 0u) << e.Message();
  }
  EXPECT_THROW(s.LoadFromFile(dir / "missing.dat"), Error);
}

// ---- TFolderDiskList

TEST(TFolderDiskList, DiskOf) {
  TFolderDiskList map;
  map.AddFolder("BG\\EVENT", 2);
  map.AddFolder("BG", 1);
  map.AddFolder("SE\\", 3);
  map.AddFolder("ソ"_sj, 4);    // 0x83 0x5C: its last byte is no folder separator
  map.AddFolder("表示"_sj, 5);  // 表 is 0x95 0x5C
  const std::pair<std::string, int32_t> cases[] = {
      {"bg\\event\\ev01.png", 2},
      {"bg\\room.png", 1},
      {"Bg\\Event", 2},
      {"bg", 1},
      {"se\\hit.wav", 3},
      {"bgm\\title.ogg", 0},
      {"cg\\bg\\room.png", 0},
      {"room.png", 0},
      {"", 0},
      {"ソ\\a.png"_sj, 4},
      {"ソ"_sj, 4},
      {"表示\\ソ\\a.png"_sj, 5},
  };
  for (const auto& [path, disk] : cases) EXPECT_EQ(map.DiskOf(path), disk) << ToUtf8(path);
}

TEST(TFolderDiskList, StreamRoundTripAndDamage) {
  TFolderDiskList map;
  map.AddFolder("bg", 1);
  map.AddFolder("", 2);
  map.AddFolder("音声"_sj, -3);
  MemoryStream m;
  map.SaveToStream(m);
  const std::string bytes(m.View());
  EXPECT_EQ(bytes, Bytes().I32(3).Str("bg").I32(1).Str("").I32(2).Str("音声"_sj).I32(-3).Get());

  MemoryStream in;
  in.Assign(bytes + "tail");
  TFolderDiskList read;
  read.LoadFromStream(in);
  ASSERT_EQ(read.Items.size(), 3u);
  EXPECT_EQ(read.Items[2].Folder, "音声"_sj);
  EXPECT_EQ(read.Items[2].Disk, -3);
  EXPECT_EQ(in.GetPosition(), static_cast<int64_t>(bytes.size()));

  for (size_t n = 0; n < bytes.size(); ++n) {
    MemoryStream cut;
    cut.Assign(std::string_view(bytes).substr(0, n));
    EXPECT_THROW(read.LoadFromStream(cut), Error) << n << " bytes";
  }
  MemoryStream absurd;
  absurd.Assign(Bytes().I32(0x7FFFFFFF).Str("bg").I32(1).Get());
  EXPECT_THROW(read.LoadFromStream(absurd), Error);
  MemoryStream longName;
  longName.Assign(Bytes().I32(1).I32(0x7FFFFFFF).I32(1).Get());
  EXPECT_THROW(read.LoadFromStream(longName), Error);
}

}  // namespace
}  // namespace orin
