// Speed of script pages: loading a 5,000-command page of mixed kinds with typical expressions
// (target: under 10 ms), the same with every expression parsed as the interpreter will on first
// use, and the page text both ways. Speed of the interpreter: 1,000,000 chained Calc commands of
// "x = x + 1" in one frame (target: at least 3 million commands per second), and a game save and
// load of a scene of 500 objects with 2,000 variables (target: under 20 ms each).
#include <benchmark/benchmark.h>

#include <string>

#include "bench_support.h"
#include "core/text.h"
#include "params/db_manager.h"
#include "params/param_collection.h"
#include "params/system_functions.h"
#include "resources/file_collection.h"
#include "resources/file_manager.h"
#include "resources/stream.h"
#include "resources/temp_folder.h"
#include "scene/model/orin_base_list.h"
#include "script/call_man.h"
#include "script/game_context.h"
#include "script/game_save.h"
#include "script/save_sections.h"
#include "script/commands_flow.h"
#include "script/commands_object.h"
#include "script/commands_text.h"
#include "script/page.h"
#include "script/page_text.h"

namespace orin {
namespace {

constexpr int kCommands = 5000;

void Set(CommandExpr& e, const std::string& source) { e.Compile(source); }

// A page like the ones games have: text, property changes, branches, objects, waits and flips.
std::string MakePage() {
  TPage page;
  page.Version = 110;
  PropSet& img = page.PropSets[static_cast<size_t>(ComKind::ImgNew)];
  for (int p : {0, 1, 2, 3, 4, 11, 12, 47}) img.Set(p);
  PropSet& sound = page.PropSets[static_cast<size_t>(ComKind::Sound)];
  for (int p : {0, 2, 26, 28, 29}) sound.Set(p);
  const std::string text(180, 'T');
  for (int i = 0; page.Count() < kCommands; ++i) {
    const std::string n = std::to_string(i);
    switch (i % 12) {
      case 0:
      case 6: {
        auto& c = page.Add<TComTextIns>(ComKind::TextIns);
        c.TextData = text;
        Set(c.WindowName, "\"mes\"");
        Set(c.RecordHistory, "TRUE");
        Set(c.Wait, "TRUE");
        break;
      }
      case 1:
      case 7: {
        auto& c = page.Add<TComSetProp>(ComKind::SetProp);
        Set(c.ObjectName, "\"chara" + n + "\"");
        Set(c.PropNumber, "3");
        Set(c.Value, "x * 2 + " + n);
        break;
      }
      case 2:
        Set(page.Add<TComCalc>(ComKind::Calc).Expression, "flag" + n + " = count + 1 > limit");
        break;
      case 3: {
        auto& c = page.Add<TComIf>(ComKind::If);
        Set(c.Condition, "(score >= 10) & (route == \"a\")");
        page.Add<TComElse>(ComKind::Else);
        break;
      }
      case 4: {
        auto& c = page.Add<TComImgNew>(ComKind::ImgNew);
        const char* const values[] = {"\"bg\"", "\"\"", "\"bg\\\\room.mur\"", "0", "0", "255", "10", "TRUE"};
        for (size_t k = 0; k < c.Properties.size(); ++k) Set(c.Properties[k].Expr, values[k]);
        break;
      }
      case 5: {
        auto& c = page.Add<TComWait>(ComKind::Wait);
        Set(c.Duration, "500");
        break;
      }
      case 8: {
        auto& c = page.Add<TComFlip>(ComKind::Flip);
        Set(c.Transition, "12");
        Set(c.Duration, "800");
        Set(c.Selection, "0");
        c.NameLists.resize(1);
        Set(c.NameLists[0], "\"mes\" ++ \"\\n\" ++ \"name\"");
        break;
      }
      case 9: {
        auto& c = page.Add<TComJump>(ComKind::Jump);
        c.PageName = "scene" + n + ".osb";
        Set(c.Condition, "Length(name) > 3");
        break;
      }
      case 10: {
        auto& c = page.Add<TComSound>(ComKind::Sound);
        const char* const values[] = {"\"bgm\"", "\"bgm\\\\theme.ogg\"", "1000", "800", "TRUE"};
        for (size_t k = 0; k < c.Properties.size(); ++k) Set(c.Properties[k].Expr, values[k]);
        break;
      }
      default:
        page.Add<TComLabel>(ComKind::Label).LabelName = "label" + n;
        break;
    }
  }
  MemoryStream s;
  page.SaveToStream(s);
  return std::string(s.View());
}

const std::string& PageFile() {
  static const std::string bytes = MakePage();
  return bytes;
}

// Parses every expression of a command, as the interpreter does on first use.
class ParseAll final : public FieldVisitor {
 public:
  void Expr(const char*, CommandExpr& e, int32_t) override { e.Parser(); }
  void String(const char*, std::string&) override {}
  void Int(const char*, int32_t&, TargetRole, int32_t) override {}
  void Byte(const char*, uint8_t&) override {}
  void ExprList(const char*, std::vector<CommandExpr>& list) override {
    for (auto& e : list) e.Parser();
  }
  void Data(const char*, std::string&) override {}
  void Properties(TComComponent& c) override {
    for (auto& p : c.Properties) p.Expr.Parser();
  }
};

void BM_LoadPage5000(benchmark::State& state) {
  MemoryStream s;
  s.Assign(PageFile());
  for (auto _ : state) {
    TPage page;
    s.SetPosition(0);
    page.LoadFromStream(s, nullptr);
    if (page.Count() != kCommands) state.SkipWithError("wrong count");
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * PageFile().size()));
}
BENCHMARK(BM_LoadPage5000)->Unit(benchmark::kMillisecond);

void BM_LoadPage5000AndParseAll(benchmark::State& state) {
  MemoryStream s;
  s.Assign(PageFile());
  for (auto _ : state) {
    TPage page;
    s.SetPosition(0);
    page.LoadFromStream(s, nullptr);
    ParseAll parse;
    for (auto& c : page.Commands) c->DescribeFields(parse);
  }
}
BENCHMARK(BM_LoadPage5000AndParseAll)->Unit(benchmark::kMillisecond);

void BM_PageToText5000(benchmark::State& state) {
  MemoryStream s;
  s.Assign(PageFile());
  TPage page;
  page.LoadFromStream(s, nullptr);
  for (auto _ : state) benchmark::DoNotOptimize(PageToText(page));
}
BENCHMARK(BM_PageToText5000)->Unit(benchmark::kMillisecond);

void BM_PageFromText5000(benchmark::State& state) {
  MemoryStream s;
  s.Assign(PageFile());
  TPage page;
  page.LoadFromStream(s, nullptr);
  const std::string text = PageToText(page);
  for (auto _ : state) {
    TPage back;
    PageFromText(text, back);
  }
}
BENCHMARK(BM_PageFromText5000)->Unit(benchmark::kMillisecond);

// ---- The interpreter

// A game with variables, a scene and a file manager whose pages are memory entries.
class BenchGame final : public GameContext, public CallManOwner {
 public:
  BenchGame() : files(tempFolder, pending, {}), functions(tables), scene(&files), callMan(*this, *this) {
    files.AddArchive("");
    scene.SetSize(640, 480);
    vars.SetFunctions(&functions);
  }
  ~BenchGame() override { vars.SetFunctions(nullptr); }

  void AddPage(const std::string& name, const TPage& page) {
    MemoryStream s;
    page.SaveToStream(s);
    files.Items(0).AddMemoryEntry(name).Content->Assign(s.View());
  }

  TParamCollection& Vars() override { return vars; }
  TOrinBaseList& Scene() override { return scene; }
  TVrFileManager& Files() override { return files; }
  TDBManager& Tables() override { return tables; }
  SaveSections& Sections() override { return sections; }
  int32_t RunningClock() const override { return 0; }
  int32_t FrameDelta() const override { return 16; }
  bool Closing() const override { return false; }
  void SetClosing(bool) override {}
  void PostClose() override {}
  void SetTitle(const std::string&) override {}
  MessageResult ShowMessage(const std::string&, const std::string&, MessageButtons,
                            MessageIcon) override {
    return MessageResult::kOk;
  }
  std::string GameFolder() override { return {}; }
  std::string SaveFilePath() override { return {}; }
  bool FileAvailable(const std::string& name) override { return files.Exists(name); }
  void RequestSave(int32_t, const std::string&, int32_t, const std::string&) override {}
  void RequestLoad(int32_t) override {}

  TempFolder tempFolder;
  PendingDeletes pending;
  TVrFileManager files;
  TParamCollection vars;
  TDBManager tables;
  SystemFunctions functions;
  TOrinBaseList scene;
  SaveSections sections;
  TCallMan callMan;
};

constexpr int kCalcCount = 1000000;
constexpr int kCalcsPerRound = 1000;

// 1,000 chained Calcs and a chained Jump back to the first while x is below the count: one frame
// runs 1,000,000 Calcs (and 1,000 Jumps).
void BM_ChainedCalc(benchmark::State& state) {
  BenchGame game;
  TPage page;
  page.Version = 110;
  for (int i = 0; i < kCalcsPerRound; ++i) {
    auto& c = page.Add<TComCalc>(ComKind::Calc);
    c.Chain = 1;
    Set(c.Expression, "x = x + 1");
  }
  auto& jump = page.Add<TComJump>(ComKind::Jump);
  jump.Chain = 1;
  jump.PageName = "calc.osb";
  jump.Target = 0;
  Set(jump.Condition, "x < " + std::to_string(kCalcCount));
  game.AddPage("calc.osb", page);
  TParamCollectionItem& x = game.vars.AddVariable(kTypeInt, "x");
  for (auto _ : state) {
    x.Value->SetAsInt(0);
    game.callMan.Start("calc.osb");
    game.callMan.Run();
    if (x.Value->GetAsInt() != kCalcCount) state.SkipWithError("the loop did not run to its end");
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * kCalcCount);
  state.counters["commands_per_s"] =
      benchmark::Counter(static_cast<double>(kCalcCount), benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_ChainedCalc)->Unit(benchmark::kMillisecond);

// A scene of 500 boxes (100 of them nested in others) and 2,000 variables of every type, and an
// interpreter waiting inside a call.
void FillGame(BenchGame& game) {
  TPage page;
  page.Version = 110;
  auto& call = page.Add<TComCall>(ComKind::Call);
  call.PageName = "main.osb";
  call.Target = 1;
  Set(call.Condition, "TRUE");
  auto& wait = page.Add<TComWait>(ComKind::Wait);
  Set(wait.Duration, "100000");
  game.AddPage("main.osb", page);
  game.callMan.Start("main.osb");
  game.callMan.Run();
  game.callMan.Run();
  for (int i = 0; i < 500; ++i) {
    TOrinObject* o = game.scene.Create(kKindBox);
    o->Rename("box" + std::to_string(i));
    TOrinControl* c = o->AsControl();
    c->SetBounds(i % 600, i % 440, 32, 32);
    c->SetColor(i * 997);
    if (i >= 400) c->SetParent(game.scene.FindControl("box" + std::to_string(i - 400)));
  }
  for (int i = 0; i < 2000; ++i) {
    const uint8_t type = static_cast<uint8_t>(1 + i % 4);
    TParamCollectionItem& v = game.vars.AddVariable(type, "var" + std::to_string(i));
    if (i % 50 == 0) v.Value->SetDims({16});
    v.Value->SetAsStr(std::to_string(i * 31));
  }
}

std::string SaveImage(BenchGame& game) {
  HostFileSystem& fs = game.files.FileSystem();
  TVrFileCollection saves(fs);
  saves.Open("");
  WriteSlot(*saves.AddMemoryEntry(SlotEntryName(1)).Content, game, game.callMan, "caption", "", 0);
  TTpBigMemoryStream image;
  saves.Save(image);
  return std::string(image.Memory().View());
}

void BM_GameSave500Objects2000Variables(benchmark::State& state) {
  BenchGame game;
  FillGame(game);
  size_t bytes = 0;
  for (auto _ : state) bytes = SaveImage(game).size();
  state.counters["save_bytes"] = static_cast<double>(bytes);
}
BENCHMARK(BM_GameSave500Objects2000Variables)->Unit(benchmark::kMillisecond);

void BM_GameLoad500Objects2000Variables(benchmark::State& state) {
  BenchGame source;
  FillGame(source);
  const std::string image = SaveImage(source);
  BenchGame game;
  FillGame(game);
  const std::string path = game.tempFolder.Path() + "save.dat";
  ReplaceFile(path, image);
  for (auto _ : state) {
    // As the project loads a slot: open "save.dat", inflate the entry, read every section.
    TVrFileCollection saves(game.files.FileSystem());
    saves.Open(path);
    MemoryStream slot;
    saves.LoadEntry(slot, SlotEntryName(1));
    ReadSlot(slot, game, game.callMan);
  }
  if (game.scene.ObjectCount() != 500) state.SkipWithError("the scene did not come back");
}
BENCHMARK(BM_GameLoad500Objects2000Variables)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace orin

int main(int argc, char** argv) { return orin::bench::RunWithRatios(argc, argv, {}); }
