#include "script/expr_text.h"

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <unordered_map>

#include "core/cp932.h"
#include "core/endian.h"
#include "core/extended.h"
#include "params/build_orin_parser.h"
#include "params/custom_param.h"
#include "params/param_text.h"
#include "params/system_functions_table.h"
#include "resources/stream.h"

namespace orin {

namespace {

constexpr std::string_view kEmptyRecord("\0\0\0\0", 4);

bool SameExtended(long double a, long double b) {
  return LongDoubleToExtended(a) == LongDoubleToExtended(b);
}

// ---------------------------------------------------------------------------------------------
// Source text that compiles back to the record.

struct DecompileFailed {};

bool DigitsAfter(std::string_view name, std::string_view prefix) {
  if (name.size() <= prefix.size() || name.substr(0, prefix.size()) != prefix) return false;
  for (char c : name.substr(prefix.size()))
    if (c < '0' || c > '9') return false;
  return true;
}
bool IsPlainTemp(std::string_view name) { return DigitsAfter(name, "____"); }
bool IsElementTemp(std::string_view name) { return DigitsAfter(name, "____d_"); }

// A name the compiler reads back as one variable token.
bool IsNameToken(std::string_view name) {
  if (name.empty() || name.substr(0, 4) == "____") return false;
  bool ok = true;
  ForEachChar(name, [&](size_t pos, size_t len) {
    if (len != 1) return;
    auto c = static_cast<unsigned char>(name[pos]);
    if (c <= 0x20 || c == 0x7F || std::strchr("+-*/%|&^=[](),<>\"{}#", c)) ok = false;
  });
  if (!ok) return false;
  if (ParseInt(name) || ParseFloat(name) || name == "TRUE" || name == "FALSE") return false;
  return ExactUtf8(name).has_value();
}

// A float constant as a token the compiler reads back as exactly this value, or nullopt. The
// token may hold no sign: "-" and "+" split tokens.
std::optional<std::string> FloatToken(long double v) {
  if (!std::isfinite(v) || std::signbit(v)) return std::nullopt;
  char buf[128];
  auto r = std::to_chars(buf, buf + sizeof buf, v);
  if (r.ec != std::errc()) return std::nullopt;
  std::string text(buf, r.ptr);
  size_t e = text.find('e');
  if (e != std::string::npos) {
    if (text[e + 1] == '-') {
      auto f = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed);
      if (f.ec != std::errc()) return std::nullopt;
      text.assign(buf, f.ptr);
    } else {
      std::string exponent = text.substr(e + 2);
      text = text.substr(0, e) + "E" + exponent;
    }
  }
  if (text.find_first_of(".E") == std::string::npos) text += ".0";
  auto back = ParseFloat(text);
  if (!back || !SameExtended(*back, v) || ParseInt(text)) return std::nullopt;
  return text;
}

// A string constant as the literal the compiler reduces to it.
std::string Literal(std::string_view text) {
  std::string out = "\"";
  for (size_t i = 0; i < text.size();) {
    size_t n = CharLength(text, i);
    if (n == 1) {
      char c = text[i];
      if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
        out += "\\n";
        i += 2;
        continue;
      }
      if (c == '\r' || c == '\n') throw DecompileFailed{};
      if (c == '"' || c == '\\') out += '\\';
    }
    out.append(text.substr(i, n));
    i += n;
  }
  out += '"';
  return out;
}

int Level(uint8_t op) {
  switch (op) {
    case ocMul:
    case ocDiv:
    case ocMod:
      return 1;
    case ocPlus:
    case ocMinus:
      return 2;
    case ocShiftL:
    case ocShiftR:
      return 3;
    case ocEqual:
    case ocBig:
    case ocSmall:
    case ocEBig:
    case ocESmall:
    case ocNEqual:
      return 4;
    case ocComboStr:
      return 5;
    case ocAnd:
      return 6;
    case ocXor:
      return 7;
    case ocOr:
      return 8;
    default:
      return -1;
  }
}

const char* Symbol(uint8_t op) {
  switch (op) {
    case ocMul: return "*";
    case ocDiv: return "/";
    case ocMod: return "%";
    case ocPlus: return "+";
    case ocMinus: return "-";
    case ocShiftL: return "<<";
    case ocShiftR: return ">>";
    case ocEqual: return "==";
    case ocBig: return ">";
    case ocSmall: return "<";
    case ocEBig: return ">=";
    case ocESmall: return "<=";
    case ocNEqual: return "<>";
    case ocComboStr: return "++";
    case ocAnd: return "&";
    case ocXor: return "^";
    case ocOr: return "|";
    default: return nullptr;
  }
}

class Decompiler {
 public:
  enum Style { kUnaryPrefix = 1, kFullParens = 2 };

  Decompiler(const TOrinParser& parser, int style) : ops_(parser.Operations), style_(style) {}

  std::string Run() {
    const size_t n = ops_.size();
    if (n == 0) throw DecompileFailed{};
    uses_.assign(n, 0);
    for (size_t i = 0; i + 1 < n; ++i) {
      const std::string& dest = ops_[i]->Dest;
      if ((!IsPlainTemp(dest) && !IsElementTemp(dest)) || defs_.count(dest)) throw DecompileFailed{};
      defs_[dest] = i;
    }
    const TOpeData& last = *ops_[n - 1];
    if (last.Op != ocTo || last.Operands.size() != 1) throw DecompileFailed{};
    std::string text;
    if (last.Dest == kArgName) {
      text = Operand(*last.Operands[0], n - 1, false).text;
    } else {
      std::string lhs;
      auto def = defs_.find(last.Dest);
      if (def != defs_.end()) {
        if (ops_[def->second]->Op != ocDimTo) throw DecompileFailed{};
        lhs = Op(def->second, false).text;
      } else if (IsNameToken(last.Dest)) {
        lhs = last.Dest;
      } else {
        throw DecompileFailed{};
      }
      text = lhs + " = " + Operand(*last.Operands[0], n - 1, false).text;
    }
    for (size_t i = 0; i + 1 < n; ++i)
      if (uses_[i] != 1) throw DecompileFailed{};
    return text;
  }

 private:
  struct Part {
    std::string text;
    int level;  // 0: an atom
  };

  Part Operand(const TCustomParam& operand, size_t user, bool argument) {
    if (const TParamVar* ref = operand.AsReference()) {
      auto def = defs_.find(ref->Name);
      if (def != defs_.end() && def->second < user) return Op(def->second, argument);
      if (ref->Name.empty() && argument) return {"", 0};
      if (!IsNameToken(ref->Name)) throw DecompileFailed{};
      return {ref->Name, 0};
    }
    switch (operand.StorageType()) {
      case kTypeInt:
        if (operand.GetAsInt() < 0) throw DecompileFailed{};
        return {std::to_string(operand.GetAsInt()), 0};
      case kTypeFloat: {
        auto token = FloatToken(operand.GetAsFloat());
        if (!token) throw DecompileFailed{};
        return {*token, 0};
      }
      case kTypeFlag:
        return {operand.GetAsFlag() ? "TRUE" : "FALSE", 0};
      default:
        throw DecompileFailed{};
    }
  }

  // An argument or index: the compiler strips a group that spans it whole.
  std::string Argument(const TCustomParam& operand, size_t user) {
    return Operand(operand, user, true).text;
  }

  Part Op(size_t i, bool argument) {
    if (++uses_[i] != 1) throw DecompileFailed{};
    const TOpeData& op = *ops_[i];
    const auto& args = op.Operands;
    switch (op.Op) {
      case ocTo: {
        if (args.size() != 1 || !IsPlainTemp(op.Dest)) throw DecompileFailed{};
        if (!args[0]->AsReference() && args[0]->StorageType() == kTypeStr)
          return {Literal(args[0]->GetAsStr()), 0};
        Part inner = Operand(*args[0], i, false);
        if (argument) return inner;
        return {"(" + inner.text + ")", 0};
      }
      case ocFunc: {
        if (op.FuncCode >= kSystemFunctionCount || !IsPlainTemp(op.Dest)) throw DecompileFailed{};
        std::string text = kSystemFunctions[op.FuncCode].Name;
        text += '(';
        for (size_t k = 0; k < args.size(); ++k) {
          if (k) text += ", ";
          text += Argument(*args[k], i);
        }
        text += ')';
        return {text, 0};
      }
      case ocDimTo: {
        if (args.size() < 2 || !IsElementTemp(op.Dest)) throw DecompileFailed{};
        const TParamVar* array = args[0]->AsReference();
        if (!array || defs_.count(array->Name) || !IsNameToken(array->Name)) throw DecompileFailed{};
        std::string text = array->Name + "[";
        for (size_t k = 1; k < args.size(); ++k) {
          if (k > 1) text += ", ";
          std::string index = Argument(*args[k], i);
          if (index.empty()) throw DecompileFailed{};
          text += index;
        }
        text += ']';
        return {text, 0};
      }
      default:
        break;
    }
    const int level = Level(op.Op);
    if (level < 0 || args.size() != 2 || !IsPlainTemp(op.Dest)) throw DecompileFailed{};
    const bool zeroFirst =
        !args[0]->AsReference() && args[0]->StorageType() == kTypeInt && args[0]->GetAsInt() == 0;
    Part b = Operand(*args[1], i, false);
    if ((style_ & kUnaryPrefix) && op.Op == ocMinus && zeroFirst && b.level == 0)
      return {"-" + b.text, 0};
    Part a = Operand(*args[0], i, false);
    const bool full = (style_ & kFullParens) != 0;
    if (a.level > level || (full && a.level > 0)) a.text = "(" + a.text + ")";
    if (b.level >= level || (full && b.level > 0)) b.text = "(" + b.text + ")";
    return {a.text + " " + Symbol(op.Op) + " " + b.text, level};
  }

  const std::vector<std::unique_ptr<TOpeData>>& ops_;
  int style_;
  std::unordered_map<std::string, size_t> defs_;
  std::vector<int> uses_;
};

std::string CompiledRecord(std::string_view cp932) {
  TBuildOrinParser compiler;
  compiler.Compile(cp932);
  MemoryStream out;
  compiler.WriteTo(out);
  return std::string(out.View());
}

// ---------------------------------------------------------------------------------------------
// Operation lists.

const char* const kOpeNames[] = {
    "ocNone",  "ocTo",   "ocPlus",   "ocMinus",  "ocMul",    "ocDiv",      "ocMod",
    "ocOr",    "ocAnd",  "ocXor",    "ocDimTo",  "ocFunc",   "ocEqual",    "ocBig",
    "ocSmall", "ocEBig", "ocESmall", "ocShiftL", "ocShiftR", "ocComboStr", "ocNEqual",
};
constexpr int kNamedOpes = static_cast<int>(std::size(kOpeNames));

// A variable or destination name: bare when it reads back as the same name, else $"...".
std::string NameText(std::string_view name) {
  bool bare = !name.empty() && name != "TRUE" && name != "FALSE" && name != "inf" && name != "nan";
  if (bare) {
    auto first = static_cast<unsigned char>(name[0]);
    if ((first >= '0' && first <= '9') || first == '-' || first == '+' || first == '.' || first == '$')
      bare = false;
  }
  if (bare) {
    ForEachChar(name, [&](size_t pos, size_t len) {
      if (len != 1) return;
      auto c = static_cast<unsigned char>(name[pos]);
      if (c <= 0x20 || c == 0x7F || std::strchr(",;=\"{}[]()#\\", c)) bare = false;
    });
  }
  if (bare) {
    if (auto utf8 = ExactUtf8(name)) return *utf8;
  }
  return Cat({"$", QuoteText(name)});
}

std::string FloatText(long double v) {
  if (std::isnan(v)) return std::signbit(v) ? "-nan" : "nan";
  if (std::isinf(v)) return v < 0 ? "-inf" : "inf";
  char buf[128];
  auto r = std::to_chars(buf, buf + sizeof buf, v);
  std::string text(buf, r.ptr);
  if (text.find_first_of(".e") == std::string::npos) text += ".0";
  return text;
}

std::string OperandText(const TCustomParam& operand) {
  if (const TParamVar* ref = operand.AsReference()) return NameText(ref->Name);
  switch (operand.StorageType()) {
    case kTypeInt:
      return std::to_string(operand.GetAsInt());
    case kTypeFloat:
      return FloatText(operand.GetAsFloat());
    case kTypeFlag:
      return operand.GetAsFlag() ? "TRUE" : "FALSE";
    default:
      return QuoteText(operand.GetAsStr());
  }
}

[[noreturn]] void BadOps(const std::string& what) { throw Error(FromUtf8("ops{}: " + what)); }

std::string_view Trimmed(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

// Splits at sep outside quoted strings.
std::vector<std::string_view> SplitOutsideStrings(std::string_view s, char sep) {
  std::vector<std::string_view> parts;
  size_t start = 0;
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '"') {
      size_t end = QuotedEnd(s, i);
      if (end == std::string_view::npos) BadOps("a string is not closed");
      i = end - 1;
    } else if (s[i] == sep) {
      parts.push_back(s.substr(start, i - start));
      start = i + 1;
    }
  }
  parts.push_back(s.substr(start));
  return parts;
}

std::string NameFromText(std::string_view text) {
  if (text.empty()) BadOps("a name is missing");
  if (text[0] == '$') {
    if (text.size() < 2 || text[1] != '"') BadOps("'$' must be followed by a quoted name");
    return UnquoteText(text.substr(1));
  }
  for (char c : text)
    if (c == ' ' || c == '\t' || c == '"') BadOps(Cat({"the name '", text, "' needs quotes: $\"...\""}));
  auto cp = Utf8ToCp932(text);
  if (!cp) BadOps(Cat({"the name '", text, "' has characters without a cp932 form"}));
  return *cp;
}

bool IsIntText(std::string_view t) {
  size_t i = t[0] == '-' ? 1 : 0;
  if (i >= t.size()) return false;
  for (; i < t.size(); ++i)
    if (t[i] < '0' || t[i] > '9') return false;
  return true;
}

bool IsFloatText(std::string_view t) {
  size_t i = t[0] == '-' ? 1 : 0;
  size_t digits = 0;
  while (i < t.size() && t[i] >= '0' && t[i] <= '9') ++i, ++digits;
  bool marked = false;
  if (i < t.size() && t[i] == '.') {
    marked = true;
    ++i;
    while (i < t.size() && t[i] >= '0' && t[i] <= '9') ++i, ++digits;
  }
  if (digits == 0) return false;
  if (i < t.size() && (t[i] == 'e' || t[i] == 'E')) {
    marked = true;
    ++i;
    if (i < t.size() && (t[i] == '+' || t[i] == '-')) ++i;
    size_t e = 0;
    while (i < t.size() && t[i] >= '0' && t[i] <= '9') ++i, ++e;
    if (e == 0) return false;
  }
  return marked && i == t.size();
}

void PutInt(std::string& out, int32_t v) {
  char b[4];
  StoreI32LE(b, v);
  out.append(b, 4);
}
void PutString(std::string& out, std::string_view s) {
  PutInt(out, static_cast<int32_t>(s.size()));
  out.append(s);
}

void PutOperand(std::string& out, std::string_view text) {
  if (text.empty()) BadOps("an operand is missing (an empty name is $\"\")");
  if (text[0] == '"') {
    out += static_cast<char>(kTypeStr);
    PutString(out, UnquoteText(text));
  } else if (text == "TRUE" || text == "FALSE") {
    out += static_cast<char>(kTypeFlag);
    out += static_cast<char>(text == "TRUE" ? 1 : 0);
  } else if (IsIntText(text)) {
    int64_t v = 0;
    auto r = std::from_chars(text.data(), text.data() + text.size(), v);
    if (r.ec != std::errc() || v < INT32_MIN || v > INT32_MAX) BadOps(Cat({"the integer ", text, " does not fit 32 bits"}));
    out += static_cast<char>(kTypeInt);
    PutInt(out, static_cast<int32_t>(v));
  } else if (IsFloatText(text) || text == "inf" || text == "-inf" || text == "nan" || text == "-nan") {
    long double v;
    if (text == "inf" || text == "-inf") {
      v = std::numeric_limits<long double>::infinity();
      if (text[0] == '-') v = -v;
    } else if (text == "nan" || text == "-nan") {
      v = std::numeric_limits<long double>::quiet_NaN();
      if (text[0] == '-') v = -v;
    } else {
      std::string z(text);
      v = std::strtold(z.c_str(), nullptr);
      if (std::isinf(v)) BadOps("the float " + z + " is out of range");
    }
    out += static_cast<char>(kTypeFloat);
    Extended x = LongDoubleToExtended(v);
    out.append(reinterpret_cast<const char*>(x.data()), x.size());
  } else {
    out += static_cast<char>(kTypeVar);
    PutString(out, NameFromText(text));
  }
}

// The next word of an operation, up to a blank.
std::string_view NextWord(std::string_view& rest) {
  rest = Trimmed(rest);
  size_t n = 0;
  if (!rest.empty() && (rest[0] == '"' || (rest[0] == '$' && rest.size() > 1 && rest[1] == '"'))) {
    size_t end = QuotedEnd(rest, rest[0] == '$' ? 1 : 0);
    if (end == std::string_view::npos) BadOps("a string is not closed");
    n = end;
  } else {
    while (n < rest.size() && rest[n] != ' ' && rest[n] != '\t' && rest[n] != '=') ++n;
  }
  std::string_view word = rest.substr(0, n);
  rest.remove_prefix(n);
  return word;
}

}  // namespace

std::optional<std::string> DecompileExpression(const CommandExpr& e) {
  if (e.Empty()) return std::nullopt;
  const int styles[] = {0, Decompiler::kUnaryPrefix, Decompiler::kFullParens,
                        Decompiler::kFullParens | Decompiler::kUnaryPrefix};
  for (int style : styles) {
    try {
      std::string text = Decompiler(e.Parser(), style).Run();
      if (CompiledRecord(text) == e.Record()) return text;
    } catch (const DecompileFailed&) {
    } catch (const Error&) {
    }
  }
  return std::nullopt;
}

std::string OperationsText(const CommandExpr& e) {
  std::string out;
  const TOrinParser& parser = e.Parser();
  for (size_t i = 0; i < parser.Operations.size(); ++i) {
    const TOpeData& op = *parser.Operations[i];
    if (i) out += "; ";
    out += NameText(op.Dest);
    out += " = ";
    out += op.Op < kNamedOpes ? std::string(kOpeNames[op.Op]) : Cat({"oc", std::to_string(op.Op)});
    if (op.Op == ocFunc) {
      out += ' ';
      out += op.FuncCode < kSystemFunctionCount ? std::string(kSystemFunctions[op.FuncCode].Name)
                                                : Cat({"#", std::to_string(op.FuncCode)});
    }
    for (size_t k = 0; k < op.Operands.size(); ++k) {
      out += k ? ", " : " ";
      out += OperandText(*op.Operands[k]);
    }
  }
  return out;
}

std::string OperationsRecord(std::string_view utf8) {
  std::string out;
  std::vector<std::string_view> ops;
  if (!Trimmed(utf8).empty()) ops = SplitOutsideStrings(utf8, ';');
  PutInt(out, static_cast<int32_t>(ops.size()));
  for (std::string_view text : ops) {
    std::string_view rest = Trimmed(text);
    if (rest.empty()) BadOps("an operation is empty");
    std::string dest = NameFromText(NextWord(rest));
    rest = Trimmed(rest);
    if (rest.empty() || rest[0] != '=') BadOps(Cat({"expected '=' after the destination ", ToUtf8(dest)}));
    rest.remove_prefix(1);
    std::string_view opName = NextWord(rest);
    int code = -1;
    for (int k = 0; k < kNamedOpes; ++k)
      if (opName == kOpeNames[k]) code = k;
    if (code < 0 && opName.size() > 2 && opName.substr(0, 2) == "oc") {
      if (auto n = ParseWordNumber(opName.substr(2)); n && *n >= 0 && *n <= 255) code = static_cast<int>(*n);
    }
    if (code < 0) BadOps(Cat({"unknown operation '", opName, "'"}));
    int funcCode = -1;
    if (code == ocFunc) {
      std::string_view func = NextWord(rest);
      if (func.size() > 1 && func[0] == '#') {
        if (auto n = ParseWordNumber(func.substr(1)); n && *n >= 0 && *n <= 255) funcCode = static_cast<int>(*n);
      } else {
        funcCode = FindSystemFunction(func);
      }
      if (funcCode < 0) BadOps(Cat({"unknown function '", func, "'"}));
    }
    rest = Trimmed(rest);
    std::vector<std::string_view> operands;
    if (!rest.empty()) operands = SplitOutsideStrings(rest, ',');
    out += static_cast<char>(code);
    PutString(out, dest);
    PutInt(out, static_cast<int32_t>(operands.size()));
    if (code == ocFunc) out += static_cast<char>(funcCode);
    for (std::string_view operand : operands) PutOperand(out, Trimmed(operand));
  }
  return out;
}

void ExprFromText(const TextValue& v, CommandExpr& e) {
  switch (v.kind) {
    case TextValue::kSource: {
      std::string_view text = Trimmed(v.text);
      if (text.empty()) {
        e.Clear();
        return;
      }
      auto cp = Utf8ToCp932(v.text);
      if (!cp) throw Error(FromUtf8("the expression {" + v.text + "} has characters without a cp932 form"));
      try {
        e.Compile(*cp);
      } catch (const Error& err) {
        throw Error(FromUtf8("the expression {" + v.text + "} does not compile: ") + err.Message());
      }
      return;
    }
    case TextValue::kOps:
      e.SetRecord(OperationsRecord(v.text));
      return;
    case TextValue::kHex:
      e.SetRecord(v.text);
      return;
    default:
      throw Error(FromUtf8("an expression must be {source}, ops{...} or hex{...}, not '" + v.text + "'"));
  }
}

std::string ExprToText(const CommandExpr& e) {
  const std::string& record = e.Record();
  if (record == kEmptyRecord) return "{}";
  auto readsBack = [&](const std::string& text) {
    try {
      std::vector<TextItem> items = SplitLine(text, 0);
      if (items.size() != 1 || !items[0].name.empty()) return false;
      CommandExpr check;
      ExprFromText(items[0].value, check);
      return check.Record() == record;
    } catch (const Error&) {
      return false;
    }
  };
  try {
    if (auto source = DecompileExpression(e)) {
      if (auto utf8 = ExactUtf8(*source)) {
        std::string text = "{" + *utf8 + "}";
        if (readsBack(text)) return text;
      }
    }
    std::string ops = Cat({"ops{", OperationsText(e), "}"});
    if (readsBack(ops)) return ops;
  } catch (const Error&) {
    // A record the parser refuses is still shown, as bytes.
  }
  return HexBlock(record);
}

}  // namespace orin
