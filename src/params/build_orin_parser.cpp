#include "params/build_orin_parser.h"

#include <algorithm>
#include <cstring>
#include <iterator>
#include <unordered_map>

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
  if (text.size() > kMaxTextBytes)
    throw Error(Format("expression too long: %d bytes, at most %d", text.size(), kMaxTextBytes));
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
  // One pass: a literal's temporary holds no quote, so the next literal is the next quote on.
  if (std::find(text.begin(), text.end(), uint16_t{'"'}) != text.end()) {
    Chars out;
    out.reserve(text.size());
    size_t i = 0;
    while (i < text.size()) {
      if (text[i] != '"') {
        out.push_back(text[i++]);
        continue;
      }
      const size_t open = i;
      std::string content;
      size_t j = open + 1;
      bool closed = false;
      while (j < text.size()) {
        uint16_t c = text[j];
        if (c == '\\' && j + 1 < text.size() && (text[j + 1] == '"' || text[j + 1] == '\\')) {
          content += static_cast<char>(text[j + 1]);
          j += 2;
        } else if (c == '\\' && j + 1 < text.size() && text[j + 1] == 'n') {
          content += "\r\n";
          j += 2;
        } else if (c == '"') {
          closed = true;
          break;
        } else {
          AppendCode(content, c);
          ++j;
        }
      }
      // An unclosed quote is no literal; it and the rest stay in the text.
      if (!closed) {
        out.insert(out.end(), text.begin() + static_cast<std::ptrdiff_t>(open), text.end());
        break;
      }
      std::string temp = NewTemp();
      Emit(ocTo, temp, {"\"" + content + "\""});
      const Chars name = ToChars(temp);
      out.insert(out.end(), name.begin(), name.end());
      i = j + 1;
    }
    text = std::move(out);
  }

  // Brackets and parentheses (outside literals, which are gone now) nest at most kMaxNesting deep.
  {
    int depth = 0;
    for (uint16_t c : text) {
      if (c == '(' || c == '[') {
        if (++depth > kMaxNesting)
          throw Error(Format("expression nested too deep: more than %d levels of brackets", kMaxNesting));
      } else if ((c == ')' || c == ']') && depth > 0) {
        --depth;
      }
    }
  }

  // 2. Function calls: the last "(" that follows a name, so inner calls go first. The text is
  // kept as the part before a gap (text) and the rest reversed (tail), the gap at the start of
  // the call replaced last: a call and its replacement cost their own length only. Nothing right
  // of that start can follow a name afterwards except a "(" right after the new temporary, which
  // names no function; so the search for the next call goes on leftwards from the gap.
  {
    Chars tail;
    auto size = [&] { return text.size() + tail.size(); };
    auto at = [&](size_t i) { return i < text.size() ? text[i] : tail[tail.size() - 1 - (i - text.size())]; };
    auto followsName = [&](size_t i) {
      size_t j = i;
      while (j > 0 && IsBlank(text[j - 1])) --j;
      return j > 0 && IsNameCode(text[j - 1]);
    };
    auto matchingParen = [&](size_t open) {
      int depth = 0;
      for (size_t i = open; i < size(); ++i) {
        const uint16_t c = at(i);
        if (c == '(') ++depth;
        if (c == ')' && --depth == 0) return i;
      }
      return npos;
    };
    size_t scan = text.size();
    for (;;) {
      size_t open = npos;
      while (scan > 0) {
        --scan;
        if (text[scan] == '(' && followsName(scan)) {
          open = scan;
          break;
        }
      }
      if (open == npos) break;
      size_t nameEnd = open;
      while (nameEnd > 0 && IsBlank(text[nameEnd - 1])) --nameEnd;
      size_t nameBegin = nameEnd;
      while (nameBegin > 0 && IsNameCode(text[nameBegin - 1])) --nameBegin;
      std::string name = ToBytes(text, nameBegin, nameEnd);
      size_t close = matchingParen(open);
      if (close == npos) SyntaxError();

      int code = FindSystemFunction(name);
      if (code < 0) throw Error("\"" + name + "\"" + " 関数名がありません"_sj);
      while (text.size() < close + 1) {
        text.push_back(tail.back());
        tail.pop_back();
      }
      std::vector<Range> args = SplitArguments(text, open + 1, close);
      const SystemFunctionInfo& info = kSystemFunctions[code];
      int argCount = static_cast<int>(args.size());
      if (argCount < info.MinArgs || (info.MaxArgs >= 0 && argCount > info.MaxArgs))
        throw Error(name + " 引数の数が不正です"_sj);
      std::vector<std::string> operands{name};
      for (const Range& arg : args) operands.push_back(CompileArgument(text, arg.begin, arg.end));
      std::string temp = NewTemp();
      Emit(ocFunc, temp, std::move(operands), static_cast<uint8_t>(code));
      for (size_t i = text.size(); i > close + 1; --i) tail.push_back(text[i - 1]);
      text.resize(nameBegin);
      for (auto c = temp.rbegin(); c != temp.rend(); ++c) tail.push_back(static_cast<uint8_t>(*c));
      scan = nameBegin;
      size_t after = nameBegin + temp.size();
      while (after < size() && IsBlank(at(after))) ++after;
      if (after < size() && at(after) == '(') {
        if (matchingParen(after) == npos) SyntaxError();
        throw Error("\"" + temp + "\"" + " 関数名がありません"_sj);
      }
    }
    text.insert(text.end(), tail.rbegin(), tail.rend());
  }

  // 3. Array elements: the last "[" first, each with the first "]" after it that an earlier
  // element did not take, so inner elements go first. The matching is found in one pass from the
  // right; an element's index text then holds the elements already done as their temporaries,
  // and every character is copied once, into the innermost element that holds it. Errors come
  // in the order the elements are done.
  if (std::find(text.begin(), text.end(), uint16_t{'['}) != text.end() ||
      std::find(text.begin(), text.end(), uint16_t{']'}) != text.end()) {
    const size_t n = text.size();
    std::vector<size_t> close(n, npos);
    std::vector<size_t> open;  // the "[" positions, the last first
    std::vector<size_t> closers;
    for (size_t i = n; i-- > 0;) {
      if (text[i] == ']') {
        closers.push_back(i);
      } else if (text[i] == '[') {
        if (!closers.empty()) {
          close[i] = closers.back();
          closers.pop_back();
        }
        open.push_back(i);
      }
    }
    std::vector<size_t> endAt(n, npos);  // for an element's first character: its "]"
    std::vector<std::string> elementTemp(n);
    auto appendText = [&](Chars& out, size_t begin, size_t end) {
      for (size_t i = begin; i < end;) {
        if (endAt[i] != npos) {
          const Chars name = ToChars(elementTemp[i]);
          out.insert(out.end(), name.begin(), name.end());
          i = endAt[i] + 1;
        } else {
          out.push_back(text[i++]);
        }
      }
    };
    for (size_t o : open) {
      if (close[o] == npos) SyntaxError();
      size_t nameEnd = o;
      while (nameEnd > 0 && IsBlank(text[nameEnd - 1])) --nameEnd;
      if (nameEnd == 0 || IsOneOf(text[nameEnd - 1], kOperatorSet)) SyntaxError();
      size_t nameBegin = nameEnd;
      while (nameBegin > 0 && !IsBlank(text[nameBegin - 1]) && !IsOneOf(text[nameBegin - 1], kOperatorSet))
        --nameBegin;

      Chars index;
      appendText(index, o + 1, close[o]);
      size_t b0 = 0, e0 = index.size();
      Trim(index, b0, e0);
      if (b0 == e0) throw Error("配列の添え字が不正です"_sj);
      std::vector<std::string> operands{ToBytes(text, nameBegin, nameEnd)};
      size_t start = 0;
      for (size_t i = 0; i <= index.size(); ++i) {
        if (i == index.size() || index[i] == ',') {
          operands.push_back(CompileArgument(index, start, i));
          start = i + 1;
        }
      }
      std::string temp = NewElementTemp();
      Emit(ocDimTo, temp, std::move(operands));
      endAt[nameBegin] = close[o];
      elementTemp[nameBegin] = std::move(temp);
    }
    if (!closers.empty()) SyntaxError();
    Chars rest;
    rest.reserve(n);
    appendText(rest, 0, n);
    text = std::move(rest);
  }

  // 4. Parenthesised groups, the last "(" first, each with the first ")" after it that an
  // earlier group did not take: each becomes a temporary assigned from its inside, in which the
  // groups already done stand as their temporaries. So the inside holds no group, and however
  // deep the nesting, the recursion here is one level. The matching is found in one pass from
  // the right; every character is then copied once, into the innermost group that holds it.
  if (std::find(text.begin(), text.end(), uint16_t{'('}) != text.end() ||
      std::find(text.begin(), text.end(), uint16_t{')'}) != text.end()) {
    const size_t n = text.size();
    std::vector<size_t> close(n, npos);
    std::vector<size_t> open;  // the "(" positions, the last first
    {
      std::vector<size_t> closers;
      for (size_t i = n; i-- > 0;) {
        if (text[i] == ')') {
          closers.push_back(i);
        } else if (text[i] == '(') {
          if (closers.empty()) SyntaxError();
          close[i] = closers.back();
          closers.pop_back();
          open.push_back(i);
        }
      }
      if (!closers.empty()) SyntaxError();
    }
    std::vector<std::string> groupTemp(n);
    auto appendInside = [&](Chars& out, size_t begin, size_t end) {
      for (size_t i = begin; i < end;) {
        if (text[i] == '(') {
          const Chars name = ToChars(groupTemp[i]);
          out.insert(out.end(), name.begin(), name.end());
          i = close[i] + 1;
        } else {
          out.push_back(text[i++]);
        }
      }
    };
    for (size_t o : open) {
      std::string temp = NewTemp();
      Chars assignment = ToChars(temp + " = ");
      appendInside(assignment, o + 1, close[o]);
      CompileText(std::move(assignment));
      groupTemp[o] = std::move(temp);
    }
    Chars rest;
    rest.reserve(n);
    appendInside(rest, 0, n);
    text = std::move(rest);
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

  // 6. Unary signs after an operator, from the right: "+" goes, "-" becomes 0 - operand. The
  // tokens to the right of the one looked at are final, so they are collected in reverse.
  if (tokens.size() >= 3) {
    std::vector<std::string> reversed;
    reversed.reserve(tokens.size());
    reversed.push_back(std::move(tokens.back()));
    for (size_t k = tokens.size() - 2; k >= 1; --k) {
      std::string& token = tokens[k];
      if ((token == "+" || token == "-") && BeginsWithOneOf(tokens[k - 1], "=+-*/%&^|[(,<>")) {
        if (token == "-") {
          std::string temp = NewTemp();
          Emit(ocMinus, temp, {"0", reversed.back()});
          reversed.back() = std::move(temp);
        }
      } else {
        reversed.push_back(std::move(token));
      }
    }
    reversed.push_back(std::move(tokens.front()));
    tokens.assign(std::make_move_iterator(reversed.rbegin()), std::make_move_iterator(reversed.rend()));
  }

  // 7. Precedence, strongest level first, leftmost operator first within a level. Everything
  // left of the leftmost operator of a level holds none of that level, so one pass from the left
  // per level reduces it: done holds the tokens before the one looked at.
  bool assigned = false;
  for (const auto& level : kLevels) {
    auto inLevel = [&](const std::string& token) {
      for (std::string_view op : level)
        if (token == op) return true;
      return false;
    };
    std::vector<std::string> done;
    done.reserve(tokens.size());
    for (size_t i = 0; i < tokens.size();) {
      if (!inLevel(tokens[i])) {
        done.push_back(std::move(tokens[i++]));
        continue;
      }
      const uint8_t op = BinaryOpe(tokens[i]);
      const bool hasRight = i + 1 < tokens.size();
      if (op == ocTo) {
        if (done.empty() || !hasRight) SyntaxError();
        Emit(ocTo, std::move(done.back()), {tokens[i + 1]});
        done.pop_back();
        assigned = true;
      } else if (done.empty()) {
        if ((op != ocPlus && op != ocMinus) || !hasRight) SyntaxError();
        std::string temp = NewTemp();
        Emit(op, temp, {"0", tokens[i + 1]});
        done.push_back(std::move(temp));
      } else {
        if (BeginsWithOneOf(done.back(), "+-*/%|&^=[(<>") || !hasRight) SyntaxError();
        std::string temp = NewTemp();
        Emit(op, temp, {done.back(), tokens[i + 1]});
        done.back() = std::move(temp);
      }
      i += 2;
    }
    tokens = std::move(done);
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
  // destination read its source instead. The renames are kept in one map, resolved as each
  // later operation is reached, so the pass is linear however many copies there are.
  std::unordered_map<std::string, std::string> renamed;
  auto resolve = [&](std::string& name) {
    auto it = renamed.find(name);
    if (it == renamed.end()) return;
    std::string target = it->second;
    for (auto next = renamed.find(target); next != renamed.end(); next = renamed.find(target))
      target = next->second;
    it->second = target;
    name = std::move(target);
  };
  std::vector<TBuildOpeData> kept;
  kept.reserve(Operations.size());
  for (TBuildOpeData& op : Operations) {
    resolve(op.Dest);
    for (std::string& operand : op.Operands) resolve(operand);
    if (op.Op == ocTo && op.Operands.size() == 1 && IsPlainTemp(op.Dest) && IsPlainTemp(op.Operands[0])) {
      if (op.Dest != op.Operands[0]) renamed[op.Dest] = op.Operands[0];
      continue;
    }
    kept.push_back(std::move(op));
  }
  Operations = std::move(kept);
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
