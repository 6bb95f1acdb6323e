#include "resources/file_manager.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <functional>
#include <stdexcept>

#include "core/error.h"
#include "core/log.h"
#include "core/text.h"
#include "resources/install_set.h"
#include "support/test_support.h"

namespace orin {
namespace {

using namespace literals;

struct SourceFile {
  std::string name;  // game name, "\" between folders
  std::string bytes;
};

std::string HostRelative(std::string name) {
  for (char& c : name)
    if (c == '\\') c = '/';
  return name;
}

// Writes the files into a staging folder and archives them from there; ".wav" files and
// incompressible ones end up stored, the others compressed.
std::string WriteArchive(const test::TempDir& dir, const std::string& archive, const std::vector<SourceFile>& files) {
  const std::string staging = "staging/" + HostRelative(archive) + "/";
  HostFileSystem fs;
  TVrFileCollection c(fs);
  c.Folder = dir / staging;
  std::filesystem::create_directories(dir / staging);
  for (const auto& f : files) {
    dir.Write(staging + HostRelative(f.name), f.bytes);
    c.AddEntry(f.name);
  }
  const std::string path = dir / archive;
  std::filesystem::create_directories(std::filesystem::path(path).parent_path());
  TTpBigFileStream out(path, TTpBigFileStream::kCreate);
  EXPECT_TRUE(c.Save(out));
  return path;
}

std::string Load(TVrFileManager& fm, std::string_view name) {
  MemoryStream m;
  fm.LoadToStream(m, name);
  EXPECT_EQ(m.GetPosition(), 0);
  return std::string(m.View());
}

std::string ReadAll(Stream& s) {
  std::string r(static_cast<size_t>(s.GetSize()), '\0');
  s.SetPosition(0);
  s.ReadBuffer(r.data(), static_cast<int64_t>(r.size()));
  return r;
}

std::string MissingText(std::string_view name) { return Format("%s:ファイルがありません"_sj, name); }

template <class F>
std::string ErrorOf(F&& f) {
  try {
    f();
  } catch (const Error& e) {
    return e.Message();
  }
  return "(no error)";
}

// A game folder "game/" for loose files, a private temporary folder and a manager with the memory
// collection; roots are fake optical media.
class Fixture {
 public:
  explicit Fixture(std::vector<std::string> roots = {}) : temp(dir.Path()) {
    std::filesystem::create_directories(dir / "game");
    fm = std::make_unique<TVrFileManager>(temp, pending, std::move(roots));
    fm->SetBaseFolder(dir / "game");
    fm->AddArchive("");
  }

  test::TempDir dir;
  TempFolder temp;
  PendingDeletes pending;
  std::unique_ptr<TVrFileManager> fm;
};

TEST(TVrFileManager_Lookup, LooseFileOverridesArchiveButExistsAsksArchivesFirst) {
  Fixture f;
  f.fm->AddArchive(WriteArchive(f.dir, "arc/game.dat", {{"bg\\room.png", "from archive"}, {"only.txt", "A"}}));
  const std::string loose = f.dir.Write("game/bg/room.png", "loose");

  EXPECT_EQ(Load(*f.fm, "bg\\room.png"), "loose");
  EXPECT_EQ(ReadAll(*f.fm->OpenRange("bg\\room.png")), "loose");
  EXPECT_EQ(f.fm->GetLocalFileName("bg\\room.png"), loose);
  EXPECT_EQ(f.fm->Locks.Count(), 0);
  // The archive answers first; the loose file is not what Exists or FindEntry looked at.
  ASSERT_NE(f.fm->FindEntry("BG\\ROOM.PNG"), nullptr);
  EXPECT_EQ(f.fm->FindEntry("bg\\room.png")->Name(), "bg\\room.png");

  EXPECT_TRUE(f.fm->Exists("bg\\room.png"));
  EXPECT_TRUE(f.fm->Exists("ONLY.TXT"));
  f.dir.Write("game/loose-only.txt", "x");
  EXPECT_TRUE(f.fm->Exists("loose-only.txt"));
  EXPECT_FALSE(f.fm->Exists("nowhere.txt"));
  EXPECT_FALSE(f.fm->Exists(""));
  EXPECT_EQ(f.fm->FindEntry("loose-only.txt"), nullptr);
  EXPECT_EQ(f.fm->GetLocalFileName("nowhere.txt"), "nowhere.txt");
}

TEST(TVrFileManager_Lookup, NameInTwoArchivesComesFromTheEarlierOne) {
  Fixture f;
  int first = f.fm->AddArchive(WriteArchive(f.dir, "one/game.dat", {{"a.txt", "first"}}));
  int second = f.fm->AddArchive(WriteArchive(f.dir, "two/game.dat", {{"A.TXT", "second"}, {"b.txt", "b"}}));
  EXPECT_EQ(first, 1);
  EXPECT_EQ(second, 2);
  EXPECT_EQ(Load(*f.fm, "a.txt"), "first");
  EXPECT_EQ(Load(*f.fm, "b.txt"), "b");
  EXPECT_EQ(f.fm->FindEntry("a.txt"), f.fm->Items(first).FindItem("a.txt"));
}

TEST(TVrFileManager_Lookup, LooseNamesResolveWithoutRegardToCaseFromUtf8Disk) {
  Fixture f;
  // "ソ" is 0x83 0x5C in cp932: its trail byte must not split the folder name.
  const std::string path = f.dir.Write("game/ソフト/背景/Room.PNG", "room");
  const std::string name = "ソフト\\背景\\room.png"_sj;
  EXPECT_TRUE(f.fm->Exists(name));
  EXPECT_EQ(Load(*f.fm, name), "room");
  EXPECT_EQ(f.fm->GetLocalFileName("ソフト\\背景\\ROOM.png"_sj), path);
}

TEST(TVrFileManager_Archives, AddArchiveAndDeleteArchive) {
  Fixture f;  // holds the memory collection at 0
  EXPECT_EQ(f.fm->AddArchive(""), -1);
  EXPECT_EQ(f.fm->Count(), 1);

  // A missing path gives an empty collection whose folder is the path itself.
  EXPECT_EQ(f.fm->AddArchive(f.dir / "no-such"), 1);
  EXPECT_EQ(f.fm->Items(1).Folder, f.dir / "no-such/");
  EXPECT_EQ(f.fm->AddArchive(f.dir / "no-such/"), -1);

  const std::string damaged = f.dir.Write("bad/game.dat", std::string("vf\x66\0\0\0\xFF\xFF\xFF\x7F", 10));
  EXPECT_THROW(f.fm->AddArchive(damaged), Error);
  EXPECT_EQ(f.fm->Count(), 2);

  f.fm->DeleteArchive(1);
  EXPECT_EQ(f.fm->Count(), 1);
  EXPECT_THROW(f.fm->DeleteArchive(5), Error);
}

TEST(TVrFileManager_Load, MissingNameFailsAndLeavesAnEmptyCacheObject) {
  Fixture f;
  MemoryLog log;
  f.fm->SetLog(&log);
  MemoryStream m;
  m.Assign("old");
  EXPECT_EQ(ErrorOf([&] { f.fm->LoadToStream(m, "ev\\missing.png"); }), MissingText("ev\\missing.png"));
  EXPECT_EQ(m.Size(), 0u);
  // The game may survive it; the log says so all the same.
  ASSERT_EQ(log.Lines.size(), 1u);
  EXPECT_NE(log.Lines[0].find("warn  files: ev\\missing.png:ファイルがありません"),
            std::string::npos)
      << log.Lines[0];
  TVrCache* cache = f.fm->Caches.Find("EV\\MISSING.PNG");
  ASSERT_NE(cache, nullptr);
  EXPECT_EQ(cache->Data.Size(), 0u);

  // The empty object is no hit: the file, once there, is found.
  f.dir.Write("game/ev/missing.png", "now here");
  EXPECT_EQ(Load(*f.fm, "ev\\missing.png"), "now here");
  EXPECT_EQ(f.fm->Caches.Count(), 1);
}

TEST(TVrFileManager_Load, EmptyEntriesAndCollectionsWithoutArchiveStream) {
  Fixture f;
  // Collection 0 knows "a.txt" without having content for it: the search goes on.
  f.fm->Items(0).AddEntry("a.txt");
  f.fm->AddArchive(WriteArchive(f.dir, "arc/game.dat", {{"a.txt", "archived"}, {"empty.txt", ""}}));
  EXPECT_EQ(Load(*f.fm, "a.txt"), "archived");

  MemoryStream m;
  m.Assign("old");
  f.fm->LoadToStream(m, "empty.txt");
  EXPECT_EQ(m.Size(), 0u);

  // A stream that is not a memory stream gets the bytes written and is rewound.
  FileStream file(f.dir / "out.bin", FileStream::kCreate);
  f.fm->LoadToStream(file, "a.txt");
  EXPECT_EQ(file.GetPosition(), 0);
  EXPECT_EQ(test::ReadHostFile(f.dir / "out.bin"), "archived");
}

TEST(TVrFileManager_Load, MemoryEntriesAreNeverCachedAndAlwaysCurrent) {
  Fixture f;
  f.fm->AddArchive(WriteArchive(f.dir, "arc/game.dat", {{"mem:shot", "archived"}}));
  TVrFile& entry = f.fm->Items(0).AddMemoryEntry("mem:shot");
  entry.Content->Assign("one");

  MemoryStream first;
  f.fm->LoadToStream(first, "MEM:SHOT");
  EXPECT_EQ(first.View(), "one");
  EXPECT_EQ(f.fm->Caches.Find("mem:shot"), nullptr);

  entry.Content->Clear();
  entry.Content->Write("two", 3);
  EXPECT_EQ(Load(*f.fm, "mem:shot"), "two");
  // What a reader already holds is not changed behind its back.
  EXPECT_EQ(first.View(), "one");
}

TEST(TVrFileManager_Cache, HitSharesTheBytesInsteadOfCopying) {
  Fixture f;
  const std::string payload = test::PatternBytes(200000);
  f.fm->AddArchive(WriteArchive(f.dir, "arc/game.dat", {{"page.osb", payload}}));
  ASSERT_EQ(f.fm->FindEntry("page.osb")->Stored, 0);

  MemoryStream a, b;
  f.fm->LoadToStream(a, "page.osb");
  f.fm->LoadToStream(b, "PAGE.OSB");
  EXPECT_EQ(a.View(), payload);
  EXPECT_EQ(a.Data(), b.Data());
  EXPECT_EQ(a.Data(), f.fm->Caches.Find("page.osb")->Data.Data());
  EXPECT_EQ(f.fm->Caches.Count(), 1);

  // A reader that writes gets its own copy; the cache keeps the file's content.
  a.MutableData()[0] ^= 0xFF;
  EXPECT_NE(a.Data(), b.Data());
  EXPECT_EQ(Load(*f.fm, "page.osb"), payload);
}

TEST(TVrFileManager_Cache, EvictsOldestOnlyWhenANewNameArrives) {
  Fixture f;
  constexpr size_t kMiB = 0x100000;
  for (const char* name : {"a", "b", "c"}) f.dir.Write(std::string("game/") + name, test::PatternBytes(kMiB));
  f.dir.Write("game/d", test::PatternBytes(2 * kMiB));
  f.dir.Write("game/e", "e");
  f.dir.Write("game/big", test::PatternBytes(5 * kMiB));
  f.dir.Write("game/g", "g");
  auto keys = [&] {
    std::string k;
    for (const auto& c : f.fm->Caches.Items()) k += c.Key + " ";
    return k;
  };

  Load(*f.fm, "a");
  Load(*f.fm, "b");
  Load(*f.fm, "c");
  Load(*f.fm, "a");  // a hit moves "a" to the front: "b" is now the oldest
  EXPECT_EQ(keys(), "A C B ");
  EXPECT_EQ(f.fm->Caches.TotalSize(), int64_t{3 * kMiB});

  Load(*f.fm, "d");  // 3 MiB held when "d" arrives: nothing goes, even though 5 MiB are held after
  EXPECT_EQ(keys(), "D A C B ");
  EXPECT_EQ(f.fm->Caches.TotalSize(), int64_t{5 * kMiB});

  Load(*f.fm, "d");  // a hit never evicts
  EXPECT_EQ(f.fm->Caches.Count(), 4);

  Load(*f.fm, "e");  // evicts "b": 4 MiB is not above the limit
  EXPECT_EQ(keys(), "E D A C ");

  Load(*f.fm, "big");  // 4 MiB + 1 byte held when it arrives: "c" goes; then 8 MiB + 1 stay
  EXPECT_EQ(keys(), "BIG E D A ");
  Load(*f.fm, "g");  // everything but the newest goes, the 5 MiB file included
  EXPECT_EQ(keys(), "G ");

  f.fm->Caches.DropByName("g");
  EXPECT_EQ(f.fm->Caches.Count(), 0);
}

TEST(TVrFileManager_Range, StoredEntryLooseFileAndMissingName) {
  Fixture f;
  const std::string wave = test::NoiseBytes(5000);
  const std::string text = test::PatternBytes(5000);
  f.fm->AddArchive(WriteArchive(f.dir, "arc/game.dat", {{"se\\hit.wav", wave}, {"text.txt", text}}));

  auto range = f.fm->OpenRange("SE\\HIT.WAV");
  EXPECT_EQ(range->GetSize(), 5000);
  EXPECT_EQ(ReadAll(*range), wave);

  // A compressed entry shows its stored bytes.
  TVrFile* packed = f.fm->FindEntry("text.txt");
  ASSERT_EQ(packed->Stored, 0);
  EXPECT_EQ(f.fm->OpenRange("text.txt")->GetSize(), packed->Size);

  // A loose file is shown whole, and only that file.
  f.dir.Write("game/movie.dat", "movie");
  f.dir.Write("game/movie.001", "not part of it");
  EXPECT_EQ(ReadAll(*f.fm->OpenRange("MOVIE.DAT")), "movie");

  EXPECT_EQ(ErrorOf([&] { f.fm->OpenRange("none.wav"); }), MissingText("none.wav"));
}

TEST(TVrFileManager_Optical, RootsComeAfterArchivesAndLooseFiles) {
  test::TempDir media;
  const std::string onDisc = media.Write("DATA/ONDISC.TXT", "from disc");
  media.Write("DATA/BOTH.TXT", "disc copy");
  Fixture f({media.Path()});
  f.fm->AddArchive(WriteArchive(f.dir, "arc/game.dat", {{"data\\both.txt", "archive copy"}}));

  EXPECT_TRUE(f.fm->Exists("data\\ondisc.txt"));
  EXPECT_EQ(Load(*f.fm, "data\\ondisc.txt"), "from disc");
  EXPECT_EQ(Load(*f.fm, "data\\both.txt"), "archive copy");
  EXPECT_EQ(ReadAll(*f.fm->OpenRange("data\\ondisc.txt")), "from disc");
  EXPECT_EQ(f.fm->GetLocalFileName("data\\ondisc.txt"), onDisc);
  EXPECT_EQ(f.fm->Locks.Count(), 0);
}

TEST(TVrFileManager_Temp, TwoSpellingsShareACacheObjectButNotATemporaryFile) {
  Fixture f;
  const std::string voice = test::NoiseBytes(3000);
  f.fm->AddArchive(WriteArchive(f.dir, "arc/game.dat", {{"voice\\v001.wav", voice}}));

  const std::string lower = f.fm->GetLocalFileName("voice\\v001.wav");
  const std::string upper = f.fm->GetLocalFileName("VOICE\\V001.WAV");
  EXPECT_EQ(lower, f.temp.Path() + "~qz00000000.wav");
  EXPECT_EQ(upper, f.temp.Path() + "~qz00000001.WAV");
  EXPECT_EQ(test::ReadHostFile(lower), voice);
  EXPECT_EQ(test::ReadHostFile(upper), voice);
  EXPECT_EQ(f.fm->Caches.Count(), 1);

  // A locked name is never extracted again.
  EXPECT_EQ(f.fm->GetLocalFileName("voice\\v001.wav"), lower);
  EXPECT_EQ(f.fm->Locks.Count(), 2);
}

TEST(TVrFileManager_Temp, FilesAndFolderAreGoneAfterShutdown) {
  test::TempDir dir;
  PendingDeletes pending;
  std::string folder, extracted, memoryFile;
  {
    TempFolder temp(dir.Path());
    {
      TVrFileManager fm(temp, pending, {});
      fm.AddArchive("");
      fm.Items(0).AddMemoryEntry("mem:cursor.ani").Content->Assign("cursor");
      fm.AddArchive(WriteArchive(dir, "arc/game.dat", {{"movie.mpg", "mpeg"}}));
      extracted = fm.GetLocalFileName("movie.mpg");
      memoryFile = fm.GetLocalFileName("mem:cursor.ani");
      EXPECT_EQ(test::ReadHostFile(memoryFile), "cursor");
      folder = temp.Path();
      EXPECT_TRUE(pending.Empty());
    }
    // The locks went with the manager; their files wait for DeletePendingFiles.
    EXPECT_EQ(pending.Paths(), (std::vector<std::string>{extracted, memoryFile}));
    EXPECT_TRUE(IsHostFile(extracted));
    pending.DeletePendingFiles();
    EXPECT_TRUE(pending.Empty());
    for (const auto& e : std::filesystem::directory_iterator(folder))
      ADD_FAILURE() << "left behind: " << e.path();
    EXPECT_TRUE(IsHostDirectory(folder));
  }
  EXPECT_FALSE(IsHostDirectory(folder));
}

TEST(TVrFileManager_Temp, NothingIsMadeWithoutAnExtraction) {
  test::TempDir dir;
  PendingDeletes pending;
  {
    TempFolder temp(dir.Path());
    TVrFileManager fm(temp, pending, {});
    fm.AddArchive("");
    fm.AddArchive(WriteArchive(dir, "arc/game.dat", {{"a.txt", "a"}}));
    EXPECT_EQ(Load(fm, "a.txt"), "a");
    EXPECT_FALSE(temp.IsCreated());
  }
  for (const auto& e : std::filesystem::directory_iterator(dir.Path()))
    EXPECT_NE(e.path().filename().string().rfind("orinplay-", 0), 0u) << e.path();
}

TEST(TVrFileManager_Temp, FailuresToExtract) {
  Fixture f;
  f.fm->AddArchive(WriteArchive(f.dir, "arc/game.dat", {{"a.wav", "wave"}, {"b.txt", test::PatternBytes(4000)}}));

  // A temporary folder that cannot be made.
  test::TempDir other;
  PendingDeletes pending;
  TempFolder nowhere(other / "missing/parent");
  TVrFileManager fm(nowhere, pending, {});
  fm.AddArchive(f.dir / "arc/game.dat");
  EXPECT_EQ(ErrorOf([&] { fm.GetLocalFileName("a.wav"); }), "作業用ファイルが作れません"_sj);

  // Content that cannot be inflated: the lock is released, so no unfilled file is handed out later.
  TVrFile* entry = f.fm->FindEntry("b.txt");
  {
    FileStream archive(f.dir / "arc/game.dat", FileStream::kReadWrite);
    archive.SetPosition(entry->Offset);
    const std::string junk(static_cast<size_t>(entry->Size), '\x55');
    archive.WriteBuffer(junk.data(), entry->Size);
  }
  EXPECT_THROW(f.fm->GetLocalFileName("b.txt"), Error);
  EXPECT_EQ(f.fm->Locks.Count(), 0);
  EXPECT_THROW(f.fm->GetLocalFileName("b.txt"), Error);
  EXPECT_EQ(f.pending.Paths().size(), 2u);
}

TEST(TVrLockList, IdsAndTemporaryNames) {
  test::TempDir dir;
  TempFolder temp(dir.Path());
  PendingDeletes pending;
  TVrLockList locks(temp, pending);
  struct Case {
    int32_t nextId;
    std::string name;
    std::string file;
  };
  const Case cases[] = {
      {0, "bgm\\title.ogg", "~qz00000000.ogg"},
      {10, "cursor", "~qz0000000A"},
      {-1, "a.b\\c", "~qzFFFFFFFF"},
      {0x7ABCDEF0, "x.Mpg", "~qz7ABCDEF0.Mpg"},
      {0, "ソ.ｗａｖ"_sj, "~qz00000000.ｗａｖ"},  // the extension becomes UTF-8 on disk
  };
  for (const auto& c : cases) {
    locks.NextId = c.nextId;
    EXPECT_EQ(locks.NewLock(c.name).TempPath, temp.Path() + c.file) << c.file;
    locks.Clear();
  }

  // NextId moves past every id in use.
  locks.NextId = 0;
  for (const char* name : {"a", "b", "c"}) locks.NewLock(name);
  locks.Delete(1);
  locks.NextId = 1;
  EXPECT_EQ(locks.NewLock("d").Id, 1);
  EXPECT_EQ(locks.NextId, 3);
  EXPECT_EQ(locks.IndexOfId(2), 1);
  EXPECT_EQ(locks.IndexOfName("D"), -1);
  EXPECT_EQ(locks.IndexOfName("d"), 2);
}

TEST(TVrFileManager, ExtractDir) {
  const std::pair<std::string, std::string> cases[] = {
      {"bg\\room.png", "bg\\"},
      {"a\\b\\c.txt", "a\\b\\"},
      {"room.png", ""},
      {"", ""},
      {"ソ"_sj, ""},  // its trail byte is 0x5C
      {"表示\\ソ.png"_sj, "表示\\"_sj},
      {"C:\\game\\a.txt", "C:\\game\\"},
      {"C:a.txt", "C:"},
      {"\\\\server\\share\\a.txt", "\\\\server\\share\\"},
      {"ab:c.txt", ""},
  };
  for (const auto& [path, dir] : cases) EXPECT_EQ(TVrFileManager::ExtractDir(path), dir) << path;
}

// ---- discs

class PromptDouble : public DiskPrompt {
 public:
  bool OkCancel(const std::string& caption, const std::string& text) override {
    captions.push_back(caption);
    texts.push_back(text);
    if (beforeAnswer) beforeAnswer(texts.size());
    if (next >= answers.size()) throw std::runtime_error("more prompts than answers");
    return answers[next++];
  }
  void RequestQuit() override { ++quitRequests; }

  std::vector<bool> answers;
  size_t next = 0;
  std::vector<std::string> captions, texts;
  std::function<void(size_t)> beforeAnswer;
  int quitRequests = 0;
};

// A disc: game.dat with one file and install.dat with the title and disc index, named as an
// iso9660 disc names them.
void BurnDisc(const test::TempDir& dir, const std::string& root, const std::string& title, int32_t index,
              const std::string& content) {
  WriteArchive(dir, root + "GAME.DAT", {{"disc\\which.txt", content}});
  TOrinInstallSet set;
  set.Title = title;
  set.DiscIndex = index;
  set.SaveToFile(dir / (root + "INSTALL.DAT"));
}

TEST(TVrFileManager_Disc, FindDiskMatchesTitleAndDiscIndexOnEveryRoot) {
  test::TempDir media;
  const std::string title = "夏の日"_sj;
  std::vector<std::string> roots;
  for (const char* r : {"r0/", "r1/", "r2/", "r3/", "r4/", "r5/"}) {
    std::filesystem::create_directories(media / r);
    roots.push_back(media / r);
  }
  BurnDisc(media, "r0/", "夏の日2"_sj, 1, "other game");
  BurnDisc(media, "r1/", title, 0, "disc 1");
  BurnDisc(media, "r2/", title, 1, "disc 2");
  media.Write("r3/install.dat", "is107");  // cut short: another game's, for all we know
  media.Write("r3/game.dat", "");
  WriteArchive(media, "r4/game.dat", {{"disc\\which.txt", "no install.dat"}});
  BurnDisc(media, "r5/", title, 1, "disc 2 again");

  PendingDeletes pending;
  TempFolder temp(media.Path());
  TVrFileManager fm(temp, pending, roots);
  fm.AddArchive("");
  EXPECT_FALSE(fm.FindDisk(2, title));
  EXPECT_EQ(fm.Count(), 1);
  EXPECT_TRUE(fm.FindDisk(1, title));
  ASSERT_EQ(fm.Count(), 3);  // the scan does not stop at the first disc found
  EXPECT_EQ(fm.Items(1).Folder, roots[2]);
  EXPECT_EQ(fm.Items(2).Folder, roots[5]);
  EXPECT_EQ(Load(fm, "disc\\which.txt"), "disc 2");
}

TEST(TVrFileManager_Disc, AskForDiskUntilTheDiscIsThere) {
  test::TempDir media;
  std::filesystem::create_directories(media / "cd/");
  const std::string title = "夏の日"_sj;
  BurnDisc(media, "cd/", title, 0, "disc 1");
  PendingDeletes pending;
  TempFolder temp(media.Path());
  TVrFileManager fm(temp, pending, {media / "cd"});
  fm.AddArchive("");
  fm.AddArchive(fm.CdRoots[0] + "GAME.DAT");
  EXPECT_EQ(Load(fm, "disc\\which.txt"), "disc 1");
  fm.Caches.Clear();

  DiskRequest request;
  request.ApplicationTitle = "app"_sj;
  request.ProjectTitle = title;
  PromptDouble prompt;
  prompt.answers = {true, true};
  // The user swaps the disc while the second box is open.
  prompt.beforeAnswer = [&](size_t n) {
    if (n == 2) BurnDisc(media, "cd/", title, 1, "disc 2");
  };
  EXPECT_TRUE(fm.AskForDisk(2, prompt, request));
  const std::string text = "ディスク2を入れてから[OK]をクリックしてください"_sj;
  EXPECT_EQ(prompt.texts, (std::vector<std::string>{text, text}));
  EXPECT_EQ(prompt.captions, (std::vector<std::string>{"app"_sj, "app"_sj}));
  EXPECT_EQ(prompt.quitRequests, 0);
  // Disc 1's archive went when the request began; the memory collection stays.
  ASSERT_EQ(fm.Count(), 2);
  EXPECT_EQ(fm.Items(0).Folder, "");
  EXPECT_EQ(Load(fm, "disc\\which.txt"), "disc 2");
}

TEST(TVrFileManager_Disc, CancelAsksTheQuitTextAndOkQuits) {
  test::TempDir media;
  PendingDeletes pending;
  TempFolder temp(media.Path());
  TVrFileManager fm(temp, pending, {media.Path()});
  DiskRequest request;
  request.ApplicationTitle = "app";
  request.DiskText = "insert disc %d, %s";
  request.QuitText = "quit?";
  PromptDouble prompt;
  // Cancel, do not quit, OK without the disc, cancel, quit.
  prompt.answers = {false, false, true, false, true};
  EXPECT_FALSE(fm.AskForDisk(3, prompt, request));
  const std::string disc = "insert disc 3, %s";
  EXPECT_EQ(prompt.texts, (std::vector<std::string>{disc, "quit?", disc, disc, "quit?"}));
  EXPECT_EQ(prompt.quitRequests, 1);
}

TEST(TVrFileManager_Patch, PatchFoldersStandBeforeLooseFilesAndArchivesInOrder) {
  Fixture f;
  f.fm->AddArchive(WriteArchive(f.dir, "arc/game.dat", {{"scn\\a.osb", "archive a"}, {"b.osb", "archive b"}}));
  f.dir.Write("game/scn/a.osb", "loose a");
  f.dir.Write("fr/SCN/A.OSB", "french a");
  f.dir.Write("mod/scn/a.osb", "mod a");
  f.dir.Write("mod/c.png", "mod c");
  f.fm->AddPatchFolder(f.dir / "fr");
  f.fm->AddPatchFolder(f.dir / "mod");

  // Every way of reading a file sees the first patch folder that has it.
  EXPECT_EQ(Load(*f.fm, "scn\\a.osb"), "french a");
  EXPECT_EQ(ReadAll(*f.fm->OpenRange("scn\\a.osb")), "french a");
  EXPECT_EQ(f.fm->GetLocalFileName("scn\\a.osb"), f.dir / "fr/SCN/A.OSB");
  EXPECT_EQ(Load(*f.fm, "c.png"), "mod c");
  EXPECT_TRUE(f.fm->Exists("C.PNG"));
  // What no patch folder has still comes from the game.
  EXPECT_EQ(Load(*f.fm, "b.osb"), "archive b");
  EXPECT_EQ(f.fm->Locks.Count(), 0);
  EXPECT_EQ(MissingText("none.osb"), ErrorOf([&] { Load(*f.fm, "none.osb"); }));
}

TEST(TVrFileManager_Patch, MissingPatchFolderIsNoFolderAtAll) {
  Fixture f;
  f.fm->AddPatchFolder(f.dir / "not-there");
  f.dir.Write("game/a.txt", "loose");
  EXPECT_EQ(Load(*f.fm, "a.txt"), "loose");
  EXPECT_FALSE(f.fm->Exists("b.txt"));
}

}  // namespace
}  // namespace orin
