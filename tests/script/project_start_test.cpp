// TProject: the start sequence with its messages, the install step and the disc search, the
// status data, slot captions, files on other discs, and game saves and loads in "save.dat".
#include <gtest/gtest.h>

#include <filesystem>

#include "game_test_support.h"
#include "resources/file_collection.h"
#include "resources/host_fs.h"
#include "resources/install_set.h"
#include "script/game_save.h"
#include "script/project.h"
#include "script/project_file.h"
#include "script/project_text.h"
#include "script/versions.h"
#include "support/test_support.h"

namespace orin {
namespace {

using test::TempDir;
using test::TestGame;

const char* kProject =
    "version 110\n"
    "title \"テスト\"\n"
    "screen 64 48\n"
    "start \"start.osb\"\n"
    "var int clears 0\n";
const char* kInstall = "identifier \"テスト\"\ndisc 0\nfullinstall 1\n";
const char* kStart =
    "VarNew name=\"n\" type=int value={0} scope=0 chain\n"
    "Calc {n = n + 1}\n"
    "Wait\n";

void WriteProject(const std::string& folder, const char* text) {
  ProjectFile project;
  ProjectFromText(text, project);
  MemoryStream s;
  project.SaveToStream(s);
  s.SaveToFile(folder + "orin.opb");
}

void WriteInstall(const std::string& folder, const char* text) {
  TOrinInstallSet set;
  InstallSetFromText(text, set);
  set.SaveToFile(folder + "install.dat");
}

void WritePage(const std::string& folder, const std::string& name, const char* text) {
  TPage page;
  PageFromText(text, page);
  MemoryStream s;
  page.SaveToStream(s);
  s.SaveToFile(folder + name);
}

// A game of loose files in a folder of its own, and the game context that runs it.
class DiskGame : public TestGame {
 public:
  explicit DiskGame(const std::string& folder) : TestGame(false) {
    gameFolder = folder;
    saveFile = folder + "save.dat";
    files.SetBaseFolder(folder);
  }
  // Starts the project and points the system variables at its interpreter.
  TProject& Start() {
    project = std::make_unique<TProject>(*this);
    callManPtr = project->CallMan();
    return *project;
  }
  void Frame(int32_t delta = 16) override {
    clock += delta;
    frameDelta = delta;
    scene.InputStep(clock, delta);
    project->Run();
    if (closing) return;
    scene.Step();
    project->EndOfFrame();
  }
  ~DiskGame() override {
    project.reset();
    callManPtr = nullptr;
  }
  std::unique_ptr<TProject> project;
};

std::string MakeFolder(const TempDir& dir, const std::string& name, bool install = true, bool project = true) {
  const std::string folder = dir / (name + "/");
  std::filesystem::create_directories(folder);
  if (project) WriteProject(folder, kProject);
  if (install) WriteInstall(folder, kInstall);
  WritePage(folder, "start.osb", kStart);
  return folder;
}

TEST(TProject_Start, RunsTheStartPage) {
  TempDir dir;
  DiskGame g(MakeFolder(dir, "game"));
  TProject& p = g.Start();
  EXPECT_TRUE(p.Loaded());
  EXPECT_FALSE(g.closing);
  EXPECT_EQ(g.title, "テスト");
  EXPECT_EQ(p.ScreenWidth, 64);
  EXPECT_TRUE(g.messages.empty());
  ASSERT_NE(p.CallMan(), nullptr);
  EXPECT_EQ(p.CallMan()->CurrentPage()->Name, "start.osb");
  EXPECT_EQ(g.Int("clears"), 0);
  EXPECT_TRUE(g.vars.FindVariable("clears")->IsPersistent);
  g.Frame();
  EXPECT_EQ(g.Int("n"), 1);
}

TEST(TProject_Start, StopsWithTheMessageOfWhatIsMissing) {
  struct Case {
    const char* name;
    const char* message;  // empty: stops silently
    bool loaded;
  };
  const Case cases[] = {
      {"no-install", "情報|インストールし直してください", false},
      {"no-project", "", false},
      {"empty-project", "警告|プロジェクトがありません", false},
      {"newer-project", "", false},
      {"no-start-page", "警告|スタートページがありません", true},
  };
  for (const Case& c : cases) {
    TempDir dir;
    const std::string name = c.name;
    const std::string folder = MakeFolder(dir, "game", name != "no-install", name != "no-project");
    if (name == "empty-project") test::WriteHostFile(folder + "orin.opb", "");
    if (name == "newer-project") test::WriteHostFile(folder + "orin.opb", std::string("\x6f\x00\x00\x00", 4));
    if (name == "no-start-page") std::filesystem::remove(folder + "start.osb");
    DiskGame g(folder);
    TProject& p = g.Start();
    EXPECT_TRUE(g.closing) << c.name;
    EXPECT_EQ(p.Loaded(), c.loaded) << c.name;
    if (*c.message) {
      ASSERT_EQ(g.messages.size(), 1u) << c.name;
      EXPECT_EQ(g.messages[0], c.message) << c.name;
    } else {
      EXPECT_TRUE(g.messages.empty()) << c.name;
    }
  }
}

TEST(TProject_Start, PartialInstallSearchesTheDiscs) {
  TempDir dir;
  const std::string folder = MakeFolder(dir, "game", false, false);
  WriteInstall(folder, "identifier \"テスト\"\ndisc 0\nfullinstall 0\n");
  // The disc: its install set and an archive holding the project.
  const std::string disc = dir / "disc/";
  const std::string data = dir / "data/";
  std::filesystem::create_directories(disc);
  std::filesystem::create_directories(data);
  WriteProject(data, kProject);
  {
    HostFileSystem fs;
    TVrFileCollection archive(fs);
    archive.Open("");
    for (const char* name : {"orin.opb"}) {
      TVrFile& e = archive.AddMemoryEntry(name);
      e.Content->LoadFromFile(data + name);
    }
    TTpBigFileStream out(disc + "game.dat", TTpBigFileStream::kCreate);
    archive.Save(out);
  }
  WriteInstall(disc, kInstall);

  {  // No disc in the drive: ask, search again, give up at the quit question.
    DiskGame g(folder);
    g.answers = {MessageResult::kOk, MessageResult::kCancel, MessageResult::kOk};
    TProject& p = g.Start();
    EXPECT_FALSE(p.Loaded());
    EXPECT_EQ(g.messages, (std::vector<std::string>{"情報|ディスクを入れてください", "情報|ディスクを入れてください",
                                                    "情報|終了します"}));
  }
  {  // The disc is there.
    DiskGame g(folder);
    g.files.CdRoots = {disc};
    TProject& p = g.Start();
    EXPECT_TRUE(p.Loaded());
    EXPECT_TRUE(g.messages.empty());
  }
}

TEST(TProject_Start, StatusDataKeepsPersistentVariablesAcrossRuns) {
  TempDir dir;
  const std::string folder = MakeFolder(dir, "game");
  {
    DiskGame g(folder);
    g.Start();
    g.vars.FindVariable("clears")->Value->SetAsInt(5);
    g.project->Exit();
  }
  ASSERT_TRUE(IsHostFile(folder + "save.dat"));
  DiskGame g(folder);
  g.Start();
  // The initial variable of the project file does not replace the value the status data brought.
  EXPECT_EQ(g.Int("clears"), 5);
}

TEST(TProject_Start, DisabledSavesStillWriteGameSavesButNoStatus) {
  TempDir dir;
  const std::string folder = MakeFolder(dir, "game");
  WriteProject(folder, "version 110\ntitle \"テスト\"\nscreen 64 48\nstart \"start.osb\"\nsave 0\n");
  DiskGame g(folder);
  TProject& p = g.Start();
  p.Exit();
  EXPECT_FALSE(IsHostFile(folder + "save.dat"));
  DiskGame h(folder);
  TProject& q = h.Start();
  h.Frame();
  q.SaveSlot(3, "", 0, FromUtf8("slot three"));
  ASSERT_TRUE(IsHostFile(folder + "save.dat"));
  TVrFileCollection saves(h.files.FileSystem());
  saves.Open(folder + "save.dat");
  EXPECT_GE(saves.IndexOf("GAMESAVEDATA3"), 0);
  EXPECT_LT(saves.IndexOf(kStatusEntryName), 0);
}

TEST(TProject_Slots, CaptionsComeFromTheSlotEntries) {
  TempDir dir;
  const std::string folder = MakeFolder(dir, "game");
  {
    HostFileSystem fs;
    TVrFileCollection saves(fs);
    saves.Open("");
    auto add = [&](const char* name, const char* caption) {
      MemoryStream& s = *saves.AddMemoryEntry(name).Content;
      WriteInt32(s, kSaveDataVersion);
      WriteString(s, FromUtf8(caption));
    };
    add("GAMESAVEDATA12", "twelve");
    add("GAMESAVEDATAx", "letter");
    add("GAMESAVEDATA", "none");
    add("OTHER1", "other");
    TTpBigFileStream out(folder + "save.dat", TTpBigFileStream::kCreate);
    saves.Save(out);
  }
  DiskGame g(folder);
  TProject& p = g.Start();
  ASSERT_EQ(p.Captions.size(), 1u);
  EXPECT_EQ(p.Captions[0].Slot, 12);
  EXPECT_EQ(p.GetSlotCaption(12), FromUtf8("twelve"));
  EXPECT_EQ(p.GetSlotCaption(1), "");
}

TEST(TProject_Files, StreamedMediaNeverAskForADisc) {
  TempDir dir;
  const std::string folder = MakeFolder(dir, "game");
  WritePage(folder, "here.osb", kStart);
  DiskGame g(folder);
  TProject& p = g.Start();
  p.FolderDisks.AddFolder("bgm", 2);
  p.FolderDisks.AddFolder("CG", 2);
  EXPECT_FALSE(p.FileAvailable(""));
  EXPECT_TRUE(p.FileAvailable("here.osb"));
  EXPECT_FALSE(p.FileAvailable("elsewhere\\x.mur"));  // on no disc
  EXPECT_FALSE(p.FileAvailable("bgm\\song.ogg"));
  EXPECT_TRUE(g.messages.empty());
  // Only a file on no disc of the map is missing for good.
  EXPECT_TRUE(p.FileMissing("elsewhere\\x.mur"));
  EXPECT_FALSE(p.FileMissing("cg\\a.mur"));
  EXPECT_FALSE(p.FileMissing("here.osb"));
  // An image of a folder on disc 2 asks for it; giving up quits the game.
  g.answers = {MessageResult::kCancel, MessageResult::kOk};
  EXPECT_FALSE(p.FileAvailable("cg\\a.mur"));
  ASSERT_EQ(g.messages.size(), 2u);
  EXPECT_EQ(g.messages[0], "テスト|ディスク2を入れてから[OK]をクリックしてください");
  EXPECT_EQ(g.messages[1], "テスト|終了します");
  EXPECT_TRUE(g.closing);
  EXPECT_TRUE(g.closePosted);
}

// ---- Saves

const char* kSavePage =
    "VarNew name=\"n\" type=int value={0} scope=0 chain\n"
    "loop: Calc {n = n + 1}\n"
    "Jump page=\"start.osb\" target=@loop cond={TRUE}\n";

TEST(TProject_Saves, SaveAndLoadInTheSameFrameLoadFirst) {
  TempDir dir;
  const std::string folder = MakeFolder(dir, "game");
  WritePage(folder, "start.osb", kSavePage);
  DiskGame g(folder);
  TProject& p = g.Start();
  g.Frames(2);
  p.SaveSlot(1, "", 0, FromUtf8("first"));
  const int32_t saved = g.Int("n");
  g.Frames(4);
  p.SaveSlot(1, "", 0, FromUtf8("again"));  // the same slot, overwritten
  g.Frames(4);
  p.RequestLoad(1);
  p.RequestSave(2, "", 0, FromUtf8("second"));
  EXPECT_TRUE(p.EndOfFrame());
  EXPECT_EQ(g.Int("n"), saved + 2);
  EXPECT_EQ(p.GetSlotCaption(1), FromUtf8("again"));
  EXPECT_EQ(p.GetSlotCaption(2), FromUtf8("second"));
  EXPECT_EQ(p.PendingLoad, -1);
  EXPECT_EQ(p.PendingSave, -1);

  TVrFileCollection saves(g.files.FileSystem());
  saves.Open(folder + "save.dat");
  EXPECT_EQ(saves.EntryCount(), 3);
  // Slot 2 holds the state just loaded.
  MemoryStream slot2;
  saves.LoadEntry(slot2, "GAMESAVEDATA2");
  DiskGame h(folder);
  h.Start();
  ReadSlot(slot2, h, *h.project->CallMan());
  EXPECT_EQ(h.Int("n"), saved + 2);
}

TEST(TProject_Saves, EmptyCaptionOrMissingSlotDoNothing) {
  TempDir dir;
  const std::string folder = MakeFolder(dir, "game");
  DiskGame g(folder);
  TProject& p = g.Start();
  g.Frame();
  p.SaveSlot(1, "", 0, "");
  EXPECT_FALSE(IsHostFile(folder + "save.dat"));
  p.LoadSlot(1);
  p.SaveSlot(2, "", 0, FromUtf8("x"));
  p.LoadSlot(1);
  EXPECT_FALSE(g.closing);
  EXPECT_TRUE(g.messages.empty());
}

TEST(TProject_Saves, DamagedSlotsEndTheGameWithTheMessage) {
  struct Case {
    const char* name;
    std::string bytes;
  };
  auto head = [](int32_t version) {
    MemoryStream s;
    WriteInt32(s, version);
    WriteString(s, "caption");
    WriteString(s, "");
    WriteInt32(s, 0);
    return std::string(s.View());
  };
  const Case cases[] = {
      {"version 106", head(106) + std::string(64, '\0')},
      {"cut short", head(kSaveDataVersion)},
      {"garbage scene", head(kSaveDataVersion) + std::string(16, '\xff')},
  };
  for (const Case& c : cases) {
    TempDir dir;
    const std::string folder = MakeFolder(dir, "game");
    {
      HostFileSystem fs;
      TVrFileCollection saves(fs);
      saves.Open("");
      saves.AddMemoryEntry("GAMESAVEDATA1").Content->Assign(c.bytes);
      TTpBigFileStream out(folder + "save.dat", TTpBigFileStream::kCreate);
      saves.Save(out);
    }
    DiskGame g(folder);
    TProject& p = g.Start();
    g.Frame();
    p.RequestLoad(1);
    p.EndOfFrame();
    EXPECT_TRUE(g.closing) << c.name;
    EXPECT_TRUE(g.closePosted) << c.name;
    ASSERT_EQ(g.messages.size(), 1u) << c.name;
    EXPECT_EQ(g.messages[0], "テスト|このセーブデータは使用できません\r\n終了してください") << c.name;
    EXPECT_TRUE(g.log.Has("files: save slot 1 cannot be loaded: ")) << c.name;
  }
}

TEST(TProject_Saves, DamagedSaveFileIsNeverWrittenOver) {
  // An archive whose other slot's compressed data is damaged: a save must read it to keep it.
  std::string badEntry;
  {
    HostFileSystem fs;
    TVrFileCollection saves(fs);
    saves.Open("");
    saves.AddMemoryEntry("GAMESAVEDATA2").Content->Assign(test::PatternBytes(5000));
    TTpBigMemoryStream out;
    saves.Save(out);
    badEntry = std::string(out.Memory().View());
    badEntry[badEntry.size() - 20] ^= 0x55;  // inside the entry's zlib stream
  }
  const std::string junk = "this is not an archive, but somebody's saves may be in it";
  for (const std::string& old : {junk, badEntry}) {
    TempDir dir;
    const std::string folder = MakeFolder(dir, "game");
    test::WriteHostFile(folder + "save.dat", old);
    {
      DiskGame g(folder);
      TProject& p = g.Start();
      EXPECT_TRUE(p.Loaded());
      g.Frame();
      p.RequestSave(1, "", 0, FromUtf8("x"));
      p.EndOfFrame();
      ASSERT_EQ(g.messages.size(), 1u);  // the error is shown, the game goes on
      // In the game's language, naming the file: never a raw reason from the archive reader.
      EXPECT_NE(g.messages[0].find("save.dat:セーブデータが壊れているため保存できません"), std::string::npos)
          << g.messages[0];
      EXPECT_EQ(g.messages[0].find("damaged"), std::string::npos) << g.messages[0];
      EXPECT_FALSE(g.closing);
      p.Exit();
      if (old == junk) {
        // Why nothing was written is in the log.
        EXPECT_TRUE(g.log.Has("save.dat: the save slots cannot be listed"));
        EXPECT_TRUE(g.log.Has("save.dat: the status data cannot be read; it is kept as it is"));
        EXPECT_TRUE(g.log.Has("files: save slot 1 was not written"));
        EXPECT_TRUE(g.log.Has(
            "save.dat: the status data is not written: the entry there could not be read"));
      }
    }
    EXPECT_EQ(test::ReadHostFile(folder + "save.dat"), old);
  }
}

TEST(WriteSaveFile, RefusesWhatTheReaderCouldNotReadBackAndKeepsTheOldFile) {
  TempDir dir;
  const std::string path = dir / "save.dat";
  test::WriteHostFile(path, "old");
  try {
    WriteSaveFile(path, std::string(101, 'n'), 100);
    ADD_FAILURE() << "no error";
  } catch (const Error& e) {
    EXPECT_NE(ToUtf8(e.Message()).find("save.dat:セーブデータが大きすぎるため保存できません（101 バイト、上限 100 バイト）"),
              std::string::npos)
        << ToUtf8(e.Message());
  }
  EXPECT_EQ(test::ReadHostFile(path), "old");
  WriteSaveFile(path, std::string(100, 'n'), 100);
  EXPECT_EQ(test::ReadHostFile(path), std::string(100, 'n'));
}

TEST(ReplaceFile, ReplacesWholeOrNotAtAll) {
  TempDir dir;
  const std::string path = dir / "save.dat";
  test::WriteHostFile(path, "old");
  ReplaceFile(path, "new content");
  EXPECT_EQ(test::ReadHostFile(path), "new content");
  EXPECT_THROW(ReplaceFile(dir / "missing/save.dat", "x"), Error);
  int files = 0;
  for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(dir.Path())) ++files;
  EXPECT_EQ(files, 1);  // no temporary file left behind
}

}  // namespace
}  // namespace orin
