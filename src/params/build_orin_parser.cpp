#include "params/build_orin_parser.h"

#include <cstring>

#include "core/cp932.h"
#include "core/error.h"
#include "core/text.h"
#include "params/custom_param.h"
#include "params/orin_parser.h"
#include "params/param_text.h"
#include "params/system_functions_table.h"
#include "resources/stream.h"

namespace orin {

using namespace literals;

namespace {

// The text is compiled as a sequence of characters, a double-byte character being one code
// (lead * 256 + trail, always above 0xFF), so that no search can match a trail byte.
using Chars = std::vector<uint16_t>;
constexpr size_t npos = static_cast<size_t>(-1);

Chars ToChars(std::string_view s) {
  Chars out;
  out.reserve(s.size());
  ForEachChar(s, [&](size_t pos, size_t len) {
    out.push_back(CharCodeAt(s, pos));
    (void)len;
  });
  return out;
}

void AppendCode(std::string& out, uint16_t c) {
  if (c > 0xFF) out += static_cast<char>(c >> 8);
  out += static_cast<char>(c & 0xFF);
}

std::string ToBytes(const Chars& text, size_t begin, size_t end) {
  std::string out;
  out.reserve(end - begin);
  for (size_t i = begin; i < end; ++i) AppendCode(out, text[i]);
  return out;
}

bool IsBlank(uint16_t c) {
  return c <= 0x20;
}

bool IsNameCode(uint16_t c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
}

bool IsOneOf(uint16_t c, const char* set) {
  return c != 0 && c < 0x80 && std::strchr(set, static_cast<char>(c));
}

// Characters that make an argument an expression of its own, and that end an array name.
constexpr const char* kOperatorSet = "+-*/%|&^=[](),<>";
// Characters at which the token pass splits.
constexpr const char* kSplitSet = "%&*+-/<=>^|";
constexpr const char* kTwoCharOperators[] = {"==", ">=", "<=", "++", "<>", "<<", ">>"};

[[noreturn]] void SyntaxError() {
  throw Error("構文エラー"_sj);
}

void Trim(const Chars& text, size_t& begin, size_t& end) {
  while (begin < end && IsBlank(text[begin])) ++begin;
  while (end > begin && IsBlank(text[end - 1])) --end;
}

std::string TrimmedBytes(const Chars& text, size_t begin, size_t end) {
  Trim(text, begin, end);
  return ToBytes(text, begin, end);
}

void Replace(Chars& text, size_t begin, size_t end, std::string_view name) {
  Chars replacement = ToChars(name);
  text.erase(text.begin() + static_cast<std::ptrdiff_t>(begin),
             text.begin() + static_cast<std::ptrdiff_t>(end));
  text.insert(text.begin() + static_cast<std::ptrdiff_t>(begin), replacement.begin(),
              replacement.end());
}

// Index of the ")" that closes the "(" at open, or npos.
size_t MatchingParen(const Chars& text, size_t open, size_t end) {
  int depth = 0;
  for (size_t i = open; i < end; ++i) {
    if (text[i] == '(') ++depth;
    if (text[i] == ')' && --depth == 0) return i;
  }
  return npos;
}

struct Range {
  size_t begin, end;
};

// Argument ranges of a call: split at commas outside square brackets.
std::vector<Range> SplitArguments(const Chars& text, size_t begin, size_t end) {
  std::vector<Range> parts;
  size_t b = begin, e = end;
  Trim(text, b, e);
  if (b == e) return parts;
  int depth = 0;
  size_t start = begin;
  for (size_t i = begin; i < end; ++i) {
    if (text[i] == '[') ++depth;
    if (text[i] == ']' && --depth < 0) SyntaxError();
    if (text[i] == ',' && depth == 0) {
      parts.push_back({start, i});
      start = i + 1;
    }
  }
  if (depth != 0) SyntaxError();
  parts.push_back({start, end});
  return parts;
}

bool IsPlainTemp(std::string_view name) {
  if (name.size() <= kTempPrefix.size() || name.substr(0, kTempPrefix.size()) != kTempPrefix)
    return false;
  for (char c : name.substr(kTempPrefix.size()))
    if (c < '0' || c > '9') return false;
  return true;
}

uint8_t BinaryOpe(std::string_view token) {
  static const struct {
    const char* text;
    uint8_t op;
  } kOps[] = {{"*", ocMul},     {"/", ocDiv},       {"%", ocMod},     {"+", ocPlus},
              {"-", ocMinus},   {"<<", ocShiftL},   {">>", ocShiftR}, {"==", ocEqual},
              {">=", ocEBig},   {"<=", ocESmall},   {">", ocBig},     {"<", ocSmall},
              {"<>", ocNEqual}, {"++", ocComboStr}, {"&", ocAnd},     {"^", ocXor},
              {"|", ocOr},      {"=", ocTo}};
  for (const auto& o : kOps)
    if (token == o.text) return o.op;
  return ocNone;
}

// The operators of each precedence level, strongest first.
const std::vector<std::vector<std::string_view>> kLevels = {
    {"*", "/", "%"}, {"+", "-"}, {"<<", ">>"}, {"==", ">=", "<=", ">", "<", "<>"}, {"++"}, {"&"},
    {"^"},           {"|"},      {"="},
};

bool BeginsWithOneOf(std::string_view token, const char* set) {
  return !token.empty() && std::strchr(set, token[0]) != nullptr;
}

}  // namespace

void TBuildOrinParser::Clear() {
  Operations.clear();
  TempCounter = 0;
}

std::string TBuildOrinParser::NewTemp() {
  return Format("____%d", TempCounter++);
}
std::string TBuildOrinParser::NewElementTemp() {
  return Format("____d_%d", TempCounter++);
}

void TBuildOrinParser::Emit(uint8_t op, std::string dest, std::vector<std::string> operands,
                            uint8_t funcCode) {
  TBuildOpeData data;
  data.Op = op;
  data.Dest = std::move(dest);
  data.Operands = std::move(operands);
  data.FuncCode = funcCode;
  Operations.push_back(std::move(data));
}

void TBuildOrinParser::Compile(std::string_view text) {
  Clear();
  try {
    CompileText(ToChars(text));
    CleanUp();
  } catch (...) {
    Clear();
    throw;
  }
}

std::string TBuildOrinParser::CompileArgument(const Chars& text, size_t begin, size_t end) {
  Trim(text, begin, end);
  while (end - begin >= 2 && text[begin] == '(' && MatchingParen(text, begin, end) == end - 1) {
    ++begin;
    --end;
    Trim(text, begin, end);
  }
  if (begin == end) return {};
  bool isExpression = false;
  for (size_t i = begin; i < end && !isExpression; ++i)
    isExpression = IsOneOf(text[i], kOperatorSet);
  if (!isExpression) return ToBytes(text, begin, end);
  std::string temp = NewTemp();
  Chars assignment = ToChars(temp + " = ");
  assignment.insert(assignment.end(), text.begin() + static_cast<std::ptrdiff_t>(begin),
                    text.begin() + static_cast<std::ptrdiff_t>(end));
  CompileText(std::move(assignment));
  return temp;
}

void TBuildOrinParser::CompileText(Chars text) {
  // 1. String literals, first to last: \" and \\ stand for the second character, \n for CR LF.
  for (;;) {
    size_t open = npos;
    for (size_t i = 0; i < text.size() && open == npos; ++i)
      if (text[i] == '"') open = i;
    if (open == npos) break;
    std::string content;
    size_t i = open + 1;
    bool closed = false;
    while (i < text.size()) {
      uint16_t c = text[i];
      if (c == '\\' && i + 1 < text.size() && (text[i + 1] == '"' || text[i + 1] == '\\')) {
        content += static_cast<char>(text[i + 1]);
        i += 2;
      } else if (c == '\\' && i + 1 < text.size() && text[i + 1] == 'n') {
        content += "\r\n";
        i += 2;
      } else if (c == '"') {
        closed = true;
        break;
      } else {
        AppendCode(content, c);
        ++i;
      }
    }
    // An unclosed quote is no literal; it stays in the text.
    if (!closed) break;
    std::string temp = NewTemp();
    Emit(ocTo, temp, {"\"" + content + "\""});
    Replace(text, open, i + 1, temp);
  }

  // 2. Function calls: the last "(" that follows a name, so inner calls go first.
  for (;;) {
    size_t open = npos;
    for (size_t i = 0; i < text.size(); ++i) {
      if (text[i] != '(') continue;
      size_t j = i;
      while (j > 0 && IsBlank(text[j - 1])) --j;
      if (j > 0 && IsNameCode(text[j - 1])) open = i;
    }
    if (open == npos) break;
    size_t nameEnd = open;
    while (nameEnd > 0 && IsBlank(text[nameEnd - 1])) --nameEnd;
    size_t nameBegin = nameEnd;
    while (nameBegin > 0 && IsNameCode(text[nameBegin - 1])) --nameBegin;
    std::string name = ToBytes(text, nameBegin, nameEnd);
    size_t close = MatchingParen(text, open, text.size());
    if (close == npos) SyntaxError();

    int code = FindSystemFunction(name);
    if (code < 0) throw Error("\"" + name + "\"" + " 関数名がありません"_sj);
    std::vector<Range> args = SplitArguments(text, open + 1, close);
    const SystemFunctionInfo& info = kSystemFunctions[code];
    int argCount = static_cast<int>(args.size());
    if (argCount < info.MinArgs || (info.MaxArgs >= 0 && argCount > info.MaxArgs))
      throw Error(name + " 引数の数が不正です"_sj);
    std::vector<std::string> operands{name};
    for (const Range& arg : args) operands.push_back(CompileArgument(text, arg.begin, arg.end));
    std::string temp = NewTemp();
    Emit(ocFunc, temp, std::move(operands), static_cast<uint8_t>(code));
    Replace(text, nameBegin, close + 1, temp);
  }

  // 3. Array elements: the last "[" with the first "]" after it, so inner groups go first.
  for (;;) {
    size_t open = npos;
    for (size_t i = 0; i < text.size(); ++i)
      if (text[i] == '[') open = i;
    if (open == npos) {
      for (uint16_t c : text)
        if (c == ']') SyntaxError();
      break;
    }
    size_t close = npos;
    for (size_t i = open + 1; i < text.size() && close == npos; ++i)
      if (text[i] == ']') close = i;
    if (close == npos) SyntaxError();
    size_t nameEnd = open;
    while (nameEnd > 0 && IsBlank(text[nameEnd - 1])) --nameEnd;
    if (nameEnd == 0 || IsOneOf(text[nameEnd - 1], kOperatorSet)) SyntaxError();
    size_t nameBegin = nameEnd;
    while (nameBegin > 0 && !IsBlank(text[nameBegin - 1]) &&
           !IsOneOf(text[nameBegin - 1], kOperatorSet))
      --nameBegin;

    size_t b = open + 1, e = close;
    Trim(text, b, e);
    if (b == e) throw Error("配列の添え字が不正です"_sj);
    std::vector<std::string> operands{ToBytes(text, nameBegin, nameEnd)};
    size_t start = open + 1;
    for (size_t i = open + 1; i <= close; ++i) {
      if (i == close || text[i] == ',') {
        operands.push_back(CompileArgument(text, start, i));
        start = i + 1;
      }
    }
    std::string temp = NewElementTemp();
    Emit(ocDimTo, temp, std::move(operands));
    Replace(text, nameBegin, close + 1, temp);
  }

  // 4. Parenthesised groups, the last first: each becomes a temporary assigned from its inside.
  // Taking the last "(" with the first ")" after it means the inside holds no group, so however
  // deep the nesting, the recursion here is one level.
  for (;;) {
    size_t open = npos;
    for (size_t i = 0; i < text.size(); ++i)
      if (text[i] == '(') open = i;
    if (open == npos) {
      for (uint16_t c : text)
        if (c == ')') SyntaxError();
      break;
    }
    size_t close = npos;
    for (size_t i = open + 1; i < text.size() && close == npos; ++i)
      if (text[i] == ')') close = i;
    if (close == npos) SyntaxError();
    std::string temp = NewTemp();
    Chars assignment = ToChars(temp + " = ");
    assignment.insert(assignment.end(), text.begin() + static_cast<std::ptrdiff_t>(open + 1),
                      text.begin() + static_cast<std::ptrdiff_t>(close));
    CompileText(std::move(assignment));
    Replace(text, open, close + 1, temp);
  }

  // 5. Tokens: operators (two-character ones whole) and the trimmed text between them.
  std::vector<std::string> tokens;
  size_t runStart = 0;
  auto flush = [&](size_t end) {
    std::string operand = TrimmedBytes(text, runStart, end);
    if (!operand.empty()) tokens.push_back(std::move(operand));
  };
  for (size_t i = 0; i < text.size();) {
    if (!IsOneOf(text[i], kSplitSet)) {
      ++i;
      continue;
    }
    flush(i);
    size_t length = 1;
    if (i + 1 < text.size())
      for (const char* two : kTwoCharOperators)
        if (text[i] == static_cast<uint8_t>(two[0]) && text[i + 1] == static_cast<uint8_t>(two[1]))
          length = 2;
    tokens.push_back(ToBytes(text, i, i + length));
    i += length;
    runStart = i;
  }
  flush(text.size());
  if (tokens.empty()) {
    Emit(ocTo, std::string(kArgName), {TrimmedBytes(text, 0, text.size())});
    return;
  }

  // 6. Unary signs after an operator, from the right: "+" goes, "-" becomes 0 - operand.
  for (ptrdiff_t i = static_cast<ptrdiff_t>(tokens.size()) - 2; i >= 1; --i) {
    auto k = static_cast<size_t>(i);
    if ((tokens[k] != "+" && tokens[k] != "-") || !BeginsWithOneOf(tokens[k - 1], "=+-*/%&^|[(,<>"))
      continue;
    if (tokens[k] == "+") {
      tokens.erase(tokens.begin() + i);
    } else {
      std::string temp = NewTemp();
      Emit(ocMinus, temp, {"0", tokens[k + 1]});
      tokens[k] = temp;
      tokens.erase(tokens.begin() + i + 1);
    }
  }

  // 7. Precedence, strongest level first, leftmost operator first within a level.
  bool assigned = false;
  for (const auto& level : kLevels) {
    for (;;) {
      size_t p = npos;
      for (size_t i = 0; i < tokens.size() && p == npos; ++i)
        for (std::string_view op : level)
          if (tokens[i] == op) p = i;
      if (p == npos) break;
      const uint8_t op = BinaryOpe(tokens[p]);
      if (op == ocTo) {
        if (p == 0 || p + 1 >= tokens.size()) SyntaxError();
        Emit(ocTo, tokens[p - 1], {tokens[p + 1]});
        tokens.erase(tokens.begin() + static_cast<ptrdiff_t>(p - 1),
                     tokens.begin() + static_cast<ptrdiff_t>(p + 2));
        assigned = true;
      } else if (p == 0) {
        if ((op != ocPlus && op != ocMinus) || tokens.size() < 2) SyntaxError();
        std::string temp = NewTemp();
        Emit(op, temp, {"0", tokens[1]});
        tokens[0] = temp;
        tokens.erase(tokens.begin() + 1);
      } else {
        if (BeginsWithOneOf(tokens[p - 1], "+-*/%|&^=[(<>") || p + 1 >= tokens.size())
          SyntaxError();
        std::string temp = NewTemp();
        Emit(op, temp, {tokens[p - 1], tokens[p + 1]});
        tokens[p - 1] = temp;
        tokens.erase(tokens.begin() + static_cast<ptrdiff_t>(p),
                     tokens.begin() + static_cast<ptrdiff_t>(p + 2));
      }
    }
  }
  if (assigned) {
    if (!tokens.empty()) SyntaxError();
  } else {
    if (tokens.size() != 1) SyntaxError();
    Emit(ocTo, std::string(kArgName), {tokens[0]});
  }
}

void TBuildOrinParser::CleanUp() {
  // A copy from one "____%d" temporary into another is dropped; later uses of the copy's
  // destination read its source instead.
  for (size_t i = 0; i < Operations.size();) {
    const TBuildOpeData& op = Operations[i];
    if (op.Op != ocTo || op.Operands.size() != 1 || !IsPlainTemp(op.Dest) ||
        !IsPlainTemp(op.Operands[0])) {
      ++i;
      continue;
    }
    std::string from = op.Dest, to = op.Operands[0];
    Operations.erase(Operations.begin() + static_cast<ptrdiff_t>(i));
    for (size_t j = i; j < Operations.size(); ++j) {
      if (Operations[j].Dest == from) Operations[j].Dest = to;
      for (std::string& operand : Operations[j].Operands)
        if (operand == from) operand = to;
    }
  }
}

void TBuildOrinParser::WriteTo(Stream& s) const {
  WriteInt32(s, static_cast<int32_t>(Operations.size()));
  for (const TBuildOpeData& op : Operations) {
    const bool isFunc = op.Op == ocFunc;
    const size_t first = isFunc ? 1 : 0;
    WriteByte(s, op.Op);
    WriteString(s, op.Dest);
    WriteInt32(s, static_cast<int32_t>(op.Operands.size() - std::min(first, op.Operands.size())));
    if (isFunc) WriteByte(s, op.FuncCode);
    for (size_t i = first; i < op.Operands.size(); ++i) {
      const std::string& token = op.Operands[i];
      if (auto v = ParseInt(token)) {
        WriteByte(s, kTypeInt);
        WriteInt32(s, *v);
      } else if (auto x = ParseFloat(token)) {
        WriteByte(s, kTypeFloat);
        WriteExtended(s, *x);
      } else if (token == "TRUE" || token == "FALSE") {
        WriteByte(s, kTypeFlag);
        WriteByte(s, token == "TRUE" ? 1 : 0);
      } else if (token.size() > 1 && token.front() == '"' && token.back() == '"') {
        WriteByte(s, kTypeStr);
        WriteString(s, std::string_view(token).substr(1, token.size() - 2));
      } else {
        WriteByte(s, kTypeVar);
        WriteString(s, token);
      }
    }
  }
}

}  // namespace orin
