// orintool calc: compiles and runs expressions against a variable collection with every system
// function, one result line per expression, optionally with the compiled operations. Functions
// that need a player answer as a player with no scene, no project and no window would; files
// come from an optional game folder and archives.
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "app/orintool/commands.h"
#include "core/cp932.h"
#include "core/error.h"
#include "params/build_orin_parser.h"
#include "params/db_manager.h"
#include "params/orin_parser.h"
#include "params/param_collection.h"
#include "params/param_host.h"
#include "params/param_text.h"
#include "params/system_functions.h"
#include "params/system_functions_table.h"
#include "resources/file_manager.h"
#include "resources/stream.h"
#include "resources/temp_folder.h"

namespace orin::tool {

namespace {

// Value text for one output line: CR, LF, TAB and backslash escaped, then UTF-8 (bytes without
// a UTF-8 form become "\xNN", which the doubled backslash keeps unambiguous).
std::string Escaped(const std::string& cp932, bool quote = false) {
  std::string out;
  ForEachChar(cp932, [&](size_t pos, size_t len) {
    if (len == 2) {
      out.append(cp932, pos, 2);
      return;
    }
    char c = cp932[pos];
    switch (c) {
      case '\r':
        out += "\\r";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\t':
        out += "\\t";
        break;
      case '\\':
        out += "\\\\";
        break;
      case '"':
        if (quote) out += '\\';
        out += c;
        break;
      default:
        out += c;
        break;
    }
  });
  return ToUtf8(out);
}

std::string ResultLine(const TCustomParam* result) {
  if (!result) return "none";
  switch (result->GetType()) {
    case kTypeInt:
      return std::string("int ") + result->GetAsStr();
    case kTypeFloat:
      return std::string("float ") + result->GetAsStr();
    case kTypeFlag:
      return std::string("flag ") + result->GetAsStr();
    case kTypeStr:
      return std::string("str ") + Escaped(result->GetAsStr());
    default:
      return "none";
  }
}

std::string OperandText(const TCustomParam& operand) {
  if (const TParamVar* ref = operand.AsReference())
    return ref->Name.empty() ? "<empty>" : Escaped(ref->Name);
  switch (operand.StorageType()) {
    case kTypeFloat: {
      // Marked as a float even when it reads like an integer: 7.0 / 2 and 7 / 2 differ.
      std::string text = FloatToText(operand.GetAsFloat());
      if (text.find_first_of(".EN") == std::string::npos) text += ".0";
      return text;
    }
    case kTypeStr:
      return std::string("\"") + Escaped(operand.GetAsStr(), true) + "\"";
    default:
      return operand.GetAsStr();
  }
}

void PrintOperations(const TOrinParser& parser) {
  for (const auto& op : parser.Operations) {
    std::string line = OpeCodeName(op->Op);
    line += ' ';
    line += Escaped(op->Dest);
    if (op->Op == ocFunc) {
      line += ' ';
      if (op->FuncCode < kSystemFunctionCount) {
        line += kSystemFunctions[op->FuncCode].Name;
      } else {
        line += '#';
        line += std::to_string(op->FuncCode);
      }
    }
    for (const auto& operand : op->Operands) {
      line += ' ';
      line += OperandText(*operand);
    }
    std::printf("%s\n", line.c_str());
  }
}

std::string ToCp932OrUsage(const std::string& utf8, const std::string& what) {
  auto r = Utf8ToCp932(utf8);
  if (!r) throw UsageError(what + " has characters without a cp932 form");
  return *r;
}

// NAME:TYPE[SIZES][=VALUE], declared into vars.
void Declare(TParamCollection& vars, const std::string& declaration) {
  size_t colon = declaration.find(':');
  if (colon == std::string::npos)
    throw UsageError(std::string("--var ") + declaration + ": expected NAME:TYPE[=VALUE]");
  std::string name =
      ToCp932OrUsage(declaration.substr(0, colon), std::string("--var ") + declaration);
  std::string rest = declaration.substr(colon + 1);
  std::string value;
  bool hasValue = false;
  if (size_t eq = rest.find('='); eq != std::string::npos) {
    value = ToCp932OrUsage(rest.substr(eq + 1), std::string("--var ") + declaration);
    hasValue = true;
    rest.resize(eq);
  }
  std::vector<int32_t> sizes;
  bool isArray = false;
  if (size_t open = rest.find('['); open != std::string::npos) {
    if (rest.back() != ']')
      throw UsageError(std::string("--var ") + declaration + ": array sizes must end with ']'");
    std::string list = rest.substr(open + 1, rest.size() - open - 2);
    rest.resize(open);
    isArray = true;
    size_t start = 0;
    for (;;) {
      size_t comma = list.find(',', start);
      std::string part =
          list.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
      auto size = ParseInt(part);
      if (!size)
        throw UsageError(std::string("--var ") + declaration + std::string(": bad array size '") +
                         part + "'");
      sizes.push_back(*size);
      if (comma == std::string::npos) break;
      start = comma + 1;
    }
  }
  uint8_t type;
  if (rest == "int")
    type = kTypeInt;
  else if (rest == "float")
    type = kTypeFloat;
  else if (rest == "flag")
    type = kTypeFlag;
  else if (rest == "str")
    type = kTypeStr;
  else
    throw UsageError(std::string("--var ") + declaration + std::string(": unknown type '") + rest +
                     "' (int, float, flag or str)");

  try {
    TParamCollectionItem& item = vars.AddVariable(type, name);
    if (isArray) item.Value->SetDims(sizes);
    if (hasValue) {
      if (isArray) {
        for (int i = 0; i < item.Value->GetCount(); ++i) item.Value->SetStrAt(i, value);
      } else {
        item.Value->SetAsStr(value);
      }
    }
  } catch (const Error& e) {
    throw UsageError(std::string("--var ") + declaration + std::string(": ") + ToUtf8(e.Message()));
  }
}

// The desktop as calc sees it: the game's files when a folder or archives were given, and no
// browser (OpenUrl opens nothing).
class CalcDesktop : public NullDesktop {
 public:
  TVrFileManager* FileManager() override { return files; }
  TVrFileManager* files = nullptr;
};

int RunCalc(const std::vector<std::string>& args) {
  bool dump = false, optionsDone = false;
  std::vector<std::string> declarations, expressions, archives;
  std::string dir, seed;
  // Options with a value: --name VALUE or --name=VALUE.
  auto valued = [&](size_t& i, const char* name, std::string& out) {
    const std::string& a = args[i];
    const std::string prefix = std::string(name) + "=";
    if (a == name) {
      if (i + 1 >= args.size()) throw UsageError(std::string(name) + " needs a value");
      out = args[++i];
      return true;
    }
    if (a.rfind(prefix, 0) == 0) {
      out = a.substr(prefix.size());
      return true;
    }
    return false;
  };
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    std::string value;
    if (optionsDone) {
      expressions.push_back(a);
    } else if (a == "--") {
      optionsDone = true;
    } else if (a == "--dump") {
      dump = true;
    } else if (valued(i, "--var", value)) {
      declarations.push_back(value);
    } else if (valued(i, "--arc", value)) {
      archives.push_back(value);
    } else if (valued(i, "--dir", dir) || valued(i, "--seed", seed)) {
      continue;  // stored by valued
    } else if (a.size() > 2 && a.rfind("--", 0) == 0) {
      throw UsageError(std::string("unknown option ") + a);
    } else {
      expressions.push_back(a);
    }
  }

  // Everything but the files is the null player: no scene, no project, no window, a clock that
  // stands still at the fixed start date, a generator seeded from that date.
  CalcDesktop desktop;
  NullParamHost nulls;
  ParamHost host = nulls.With({.Desktop = &desktop});
  if (!seed.empty()) {
    auto parsed = ParseInt(seed);
    if (!parsed) throw UsageError("--seed " + seed + ": expected an integer");
    host.Random.State = static_cast<uint32_t>(*parsed);
  }
  TempFolder tempFolder;
  PendingDeletes pending;
  std::unique_ptr<TVrFileManager> files;
  if (!dir.empty() || !archives.empty()) {
    files = std::make_unique<TVrFileManager>(tempFolder, pending, std::vector<std::string>());
    if (!dir.empty()) files->SetBaseFolder(dir);
    for (const std::string& archive : archives) files->AddArchive(archive);
    desktop.files = files.get();
  }
  TDBManager tables;
  SystemFunctions functions(tables);
  TParamCollection vars;
  vars.SetHost(&host);
  vars.SetFunctions(&functions);
  for (const std::string& declaration : declarations) Declare(vars, declaration);
  if (expressions.empty()) throw UsageError("missing expression");
  std::vector<std::string> texts;
  for (size_t i = 0; i < expressions.size(); ++i)
    texts.push_back(
        ToCp932OrUsage(expressions[i], std::string("expression ") + std::to_string(i + 1)));

  for (const std::string& text : texts) {
    TBuildOrinParser compiler;
    TOrinParser parser;
    try {
      compiler.Compile(text);
      MemoryStream record;
      compiler.WriteTo(record);
      record.SetPosition(0);
      parser.LoadFromStream(record);
    } catch (const Error& e) {
      std::printf("error: %s\n", ToUtf8(e.Message()).c_str());
      continue;
    }
    if (dump) PrintOperations(parser);
    parser.Execute(vars);
    std::printf("%s\n", ResultLine(parser.Result.get()).c_str());
  }
  files.reset();
  pending.DeletePendingFiles();
  return kOk;
}

}  // namespace

extern const Command kCalcCommand = {
    "calc", "compile and run expressions",
    "usage:\n"
    "  orintool calc [--var NAME:TYPE[=VALUE]]... [--dir GAMEDIR] [--arc ARCHIVE]...\n"
    "                [--seed N] [--dump] [--] EXPR...\n"
    "\n"
    "TYPE is int, float, flag or str, optionally with array sizes (a:int[2,3]); VALUE is\n"
    "converted as that type converts text (every element of an array). The variables are\n"
    "declared in order, then each EXPR is compiled and run in the same variables. One line per\n"
    "EXPR: 'int 7', 'float 3.5', 'flag TRUE', 'str TEXT' (CR, LF, TAB and backslash shown as\n"
    "\\r \\n \\t \\\\), 'none' when it has no value, or 'error: MESSAGE' when it does not "
    "compile.\n"
    "Every system function runs. Those that need a running player answer as a player with\n"
    "no scene, no project and no window: no objects (object functions leave their result at\n"
    "0, FALSE or empty), no saves, no display modes, no call stack, OpenUrl opens nothing.\n"
    "The clock stands still: @PCTickCount is 0 and the date is Saturday 2000-01-01 12:00:00.\n"
    "Tables live for the whole run. FileExists, LoadTextFile and DBLoadTsvFile read the files\n"
    "of GAMEDIR (loose files) and of the archives given with --arc; without them no file\n"
    "exists. --seed N starts the Random generator at N (else at 43200000, the fixed date's\n"
    "time of day in milliseconds).\n"
    "--dump first prints the compiled operations of each EXPR, one per line: Op Dest operands\n"
    "(names bare, strings quoted, floats with a decimal point). Use -- before an EXPR that\n"
    "begins with \"--\".\n",
    RunCalc};

}  // namespace orin::tool
