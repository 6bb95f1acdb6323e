#include "script/text_form.h"

#include <charconv>

#include "core/cp932.h"

namespace orin {

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r'; }

bool EndsWord(char c) {
  return IsBlank(c) || c == '=' || c == '{' || c == '}' || c == '[' || c == ']' || c == ',' ||
         c == '#' || c == '"';
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

class LineScanner {
 public:
  LineScanner(std::string_view line, int number) : s_(line), line_(number) {}

  std::vector<TextItem> Items() {
    std::vector<TextItem> items;
    for (;;) {
      SkipBlanks();
      if (AtEnd() || s_[pos_] == '#') break;
      TextItem item;
      size_t start = pos_;
      // "name=value": a word directly followed by "=".
      size_t end = start;
      while (end < s_.size() && !EndsWord(s_[end])) ++end;
      if (end > start && end < s_.size() && s_[end] == '=') {
        item.name = std::string(s_.substr(start, end - start));
        pos_ = end + 1;
        if (AtEnd() || IsBlank(s_[pos_]) || s_[pos_] == '#')
          throw TextError(line_, "'" + item.name + "=' has no value");
      }
      item.value = Value();
      items.push_back(std::move(item));
    }
    return items;
  }

 private:
  bool AtEnd() const { return pos_ >= s_.size(); }
  void SkipBlanks() {
    while (!AtEnd() && IsBlank(s_[pos_])) ++pos_;
  }

  TextValue Value() {
    TextValue v;
    char c = s_[pos_];
    if (c == '"') {
      v.kind = TextValue::kString;
      v.text = QuotedString();
      return v;
    }
    if (c == '{') {
      v.kind = TextValue::kSource;
      v.text = Braced();
      return v;
    }
    if (c == '[') {
      v.kind = TextValue::kList;
      ++pos_;
      SkipBlanks();
      if (!AtEnd() && s_[pos_] == ']') {
        ++pos_;
        return v;
      }
      for (;;) {
        SkipBlanks();
        if (AtEnd()) throw TextError(line_, "the list has no closing ']'");
        v.items.push_back(Value());
        SkipBlanks();
        if (AtEnd()) throw TextError(line_, "the list has no closing ']'");
        if (s_[pos_] == ']') {
          ++pos_;
          return v;
        }
        if (s_[pos_] != ',') throw TextError(line_, "expected ',' or ']' in the list");
        ++pos_;
      }
    }
    if (c == '}' || c == ']' || c == ',' || c == '=')
      throw TextError(line_, std::string("unexpected '") + c + "'");
    size_t start = pos_;
    while (!AtEnd() && !EndsWord(s_[pos_]) ) ++pos_;
    std::string_view word = s_.substr(start, pos_ - start);
    if (!AtEnd() && s_[pos_] == '{' && (word == "ops" || word == "hex")) {
      std::string inner = Braced();
      if (word == "ops") {
        v.kind = TextValue::kOps;
        v.text = std::move(inner);
      } else {
        v.kind = TextValue::kHex;
        v.text = HexBytes(inner);
      }
      return v;
    }
    if (!AtEnd() && (s_[pos_] == '{' || s_[pos_] == '"'))
      throw TextError(line_, Cat({"'", word, "' runs into '", s_.substr(pos_, 1), "'"}));
    v.kind = TextValue::kWord;
    v.text = std::string(word);
    return v;
  }

  // The text between "{" and its "}", skipping string literals (where \" and \\ are pairs).
  std::string Braced() {
    size_t open = pos_++;
    bool inString = false;
    while (!AtEnd()) {
      char c = s_[pos_];
      if (inString) {
        if (c == '\\' && pos_ + 1 < s_.size() && (s_[pos_ + 1] == '"' || s_[pos_ + 1] == '\\')) {
          pos_ += 2;
          continue;
        }
        if (c == '"') inString = false;
      } else if (c == '"') {
        inString = true;
      } else if (c == '}') {
        ++pos_;
        return std::string(s_.substr(open + 1, pos_ - open - 2));
      }
      ++pos_;
    }
    throw TextError(line_, inString ? "a string in braces is not closed on its line"
                                    : "'{' has no closing '}' on its line");
  }

  std::string HexBytes(std::string_view text) {
    std::string out;
    out.reserve(text.size() / 2);
    for (size_t i = 0; i < text.size();) {
      if (IsBlank(text[i])) {
        ++i;
        continue;
      }
      int hi = HexDigit(text[i]);
      int lo = i + 1 < text.size() ? HexDigit(text[i + 1]) : -1;
      if (hi < 0 || lo < 0) throw TextError(line_, "hex{} holds something that is not a pair of hexadecimal digits");
      out += static_cast<char>(hi * 16 + lo);
      i += 2;
    }
    return out;
  }

  std::string QuotedString() {
    ++pos_;
    std::string out, run;
    auto flush = [&] {
      if (run.empty()) return;
      auto cp = Utf8ToCp932(run);
      if (!cp) throw TextError(line_, "the string \"" + run + "\" has characters without a cp932 form");
      out += *cp;
      run.clear();
    };
    while (!AtEnd()) {
      char c = s_[pos_++];
      if (c == '"') {
        flush();
        return out;
      }
      if (c != '\\') {
        run += c;
        continue;
      }
      if (AtEnd()) break;
      char e = s_[pos_++];
      flush();
      switch (e) {
        case '"':
        case '\\':
          out += e;
          break;
        case 'r':
          out += '\r';
          break;
        case 'n':
          out += '\n';
          break;
        case 't':
          out += '\t';
          break;
        case 'x': {
          int hi = pos_ < s_.size() ? HexDigit(s_[pos_]) : -1;
          int lo = pos_ + 1 < s_.size() ? HexDigit(s_[pos_ + 1]) : -1;
          if (hi < 0 || lo < 0) throw TextError(line_, "\\x needs two hexadecimal digits");
          out += static_cast<char>(hi * 16 + lo);
          pos_ += 2;
          break;
        }
        default:
          throw TextError(line_, Cat({"unknown escape \\", std::string_view(&e, 1),
                                     " in a string (a backslash is written \\\\)"}));
      }
    }
    throw TextError(line_, "the string is not closed on its line");
  }

  std::string_view s_;
  int line_;
  size_t pos_ = 0;
};

}  // namespace

std::string Cat(std::initializer_list<std::string_view> parts) {
  std::string out;
  for (std::string_view p : parts) out.append(p);
  return out;
}

Error TextError(int lineNumber, std::string_view what) {
  std::string text = lineNumber > 0 ? Cat({"line ", std::to_string(lineNumber), ": "}) : std::string();
  text += what;
  return Error(FromUtf8(text));
}

Error AtLine(int lineNumber, const Error& e) {
  if (e.Message().rfind("line ", 0) == 0) return e;
  std::string text = Cat({"line ", std::to_string(lineNumber), ": ", e.Message()});
  return Error(text);
}

std::string_view WithoutBom(std::string_view utf8) {
  return utf8.substr(0, 3) == "\xEF\xBB\xBF" ? utf8.substr(3) : utf8;
}

std::vector<TextItem> SplitLine(std::string_view line, int lineNumber) {
  return LineScanner(line, lineNumber).Items();
}

std::optional<std::string> ExactUtf8(std::string_view cp932) {
  auto utf8 = Cp932ToUtf8(cp932);
  if (!utf8) return std::nullopt;
  auto back = Utf8ToCp932(*utf8);
  if (!back || *back != cp932) return std::nullopt;
  return utf8;
}

std::string QuoteText(std::string_view cp932) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string out = "\"";
  auto raw = [&](std::string_view bytes) {
    for (unsigned char b : bytes) {
      out += "\\x";
      out += kHex[b >> 4];
      out += kHex[b & 15];
    }
  };
  ForEachChar(cp932, [&](size_t pos, size_t len) {
    std::string_view ch = cp932.substr(pos, len);
    auto b = static_cast<unsigned char>(ch[0]);
    if (len == 1 && b < 0x80) {
      switch (b) {
        case '"':
          out += "\\\"";
          return;
        case '\\':
          out += "\\\\";
          return;
        case '\r':
          out += "\\r";
          return;
        case '\n':
          out += "\\n";
          return;
        case '\t':
          out += "\\t";
          return;
        default:
          if (b < 0x20 || b == 0x7F)
            raw(ch);
          else
            out += static_cast<char>(b);
          return;
      }
    }
    if (auto utf8 = ExactUtf8(ch))
      out += *utf8;
    else
      raw(ch);
  });
  out += '"';
  return out;
}

std::string UnquoteText(std::string_view quoted) {
  LineScanner scanner(quoted, 0);
  std::vector<TextItem> items = scanner.Items();
  if (items.size() != 1 || !items[0].name.empty() || items[0].value.kind != TextValue::kString)
    throw Error(FromUtf8(Cat({"malformed string ", quoted})));
  return std::move(items[0].value.text);
}

size_t QuotedEnd(std::string_view s, size_t open) {
  for (size_t i = open + 1; i < s.size(); ++i) {
    if (s[i] == '\\') {
      ++i;
      continue;
    }
    if (s[i] == '"') return i + 1;
  }
  return std::string_view::npos;
}

std::string HexBlock(std::string_view bytes) {
  static const char kHex[] = "0123456789abcdef";
  std::string out = "hex{";
  for (size_t i = 0; i < bytes.size(); ++i) {
    if (i > 0 && i % 32 == 0) out += ' ';
    auto b = static_cast<unsigned char>(bytes[i]);
    out += kHex[b >> 4];
    out += kHex[b & 15];
  }
  out += '}';
  return out;
}

std::optional<int64_t> ParseWordNumber(std::string_view word) {
  bool negative = false;
  std::string_view digits = word;
  if (!digits.empty() && digits[0] == '-') {
    negative = true;
    digits.remove_prefix(1);
  }
  int base = 10;
  if (digits.size() > 2 && digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X')) {
    base = 16;
    digits.remove_prefix(2);
  }
  if (digits.empty()) return std::nullopt;
  uint64_t v = 0;
  auto r = std::from_chars(digits.data(), digits.data() + digits.size(), v, base);
  if (r.ec != std::errc() || r.ptr != digits.data() + digits.size()) return std::nullopt;
  if (v > (uint64_t{1} << 62)) return std::nullopt;
  return negative ? -static_cast<int64_t>(v) : static_cast<int64_t>(v);
}

std::string StringValue(const TextValue& v, std::string_view what) {
  if (v.kind == TextValue::kString) return v.text;
  if (v.kind == TextValue::kWord) {
    auto cp = Utf8ToCp932(v.text);
    if (!cp) throw Error(FromUtf8(std::string(what) + ": '" + v.text + "' has characters without a cp932 form"));
    return *cp;
  }
  throw Error(FromUtf8(std::string(what) + " must be a string (\"...\")"));
}

int64_t IntValue(const TextValue& v, std::string_view what, int64_t min, int64_t max) {
  std::optional<int64_t> n;
  if (v.kind == TextValue::kWord) n = ParseWordNumber(v.text);
  if (!n) throw Error(FromUtf8(std::string(what) + " must be a number, not '" + v.text + "'"));
  if (*n < min || *n > max)
    throw Error(FromUtf8(std::string(what) + " must be between " + std::to_string(min) + " and " +
                         std::to_string(max)));
  return *n;
}

}  // namespace orin
