// Speed of script pages: loading a 5,000-command page of mixed kinds with typical expressions
// (target: under 10 ms), the same with every expression parsed as the interpreter will on first
// use, and the page text both ways.
#include <benchmark/benchmark.h>

#include <string>

#include "bench_support.h"
#include "core/text.h"
#include "resources/stream.h"
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

}  // namespace
}  // namespace orin

int main(int argc, char** argv) { return orin::bench::RunWithRatios(argc, argv, {}); }
