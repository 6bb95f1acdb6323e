// String functions: byte-counted and character-counted (J...) text operations, comparisons, case,
// file names with "\", half-width / full-width conversion, replacement and the text parses.
//
// Positions are 1-based. Out-of-range positions follow the text routines scripts were written
// against: Copy starts at 1 below 1 and yields nothing beyond the end; Delete does nothing at a
// position outside the text or for a count below 1; Insert clamps the position into the text.
// Searches (Pos, StringReplace, the file-name functions) match only at character boundaries,
// so a trail byte never counts as the character it resembles.
#include <algorithm>
#include <cstdio>

#include "core/cp932.h"
#include "core/error.h"
#include "core/text.h"
#include "params/function_call.h"
#include "params/value_budget.h"
#include "params/param_text.h"
#include "params/script_text.h"

namespace orin {

namespace {

// Longest text a function may build: the limit of one value. Scripts asking for more stop with
// an error instead of exhausting memory.
constexpr size_t kMaxText = static_cast<size_t>(kMaxValueBytes);
// Widest zero padding IntToStr and IntToHex give.
constexpr int32_t kMaxDigits = 4096;

[[noreturn]] void ThrowTooLong(const char* name) {
  throw Error(Format("%s: the text would be too long", name));
}

std::string PaddedDigits(std::string digits, int32_t minDigits) {
  minDigits = std::min(minDigits, kMaxDigits);
  if (minDigits > static_cast<int32_t>(digits.size()))
    digits.insert(0, static_cast<size_t>(minDigits) - digits.size(), '0');
  return digits;
}

std::string IntToStrWidth(int32_t v, int32_t minDigits) {
  const uint32_t magnitude = v < 0 ? 0u - static_cast<uint32_t>(v) : static_cast<uint32_t>(v);
  std::string out = v < 0 ? "-" : "";
  out += PaddedDigits(std::to_string(magnitude), minDigits);
  return out;
}

std::string IntToHex(int32_t v, int32_t minDigits) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%X", static_cast<unsigned>(static_cast<uint32_t>(v)));
  return PaddedDigits(buf, minDigits);
}

// Byte offsets of the text's characters, with the end appended.
std::vector<size_t> CharStarts(std::string_view s) {
  std::vector<size_t> starts;
  ForEachChar(s, [&](size_t pos, size_t) { starts.push_back(pos); });
  starts.push_back(s.size());
  return starts;
}

// Copy(s, index, count) on units (bytes or characters) given by their start offsets.
std::string CopyUnits(std::string_view s, const std::vector<size_t>& starts, int32_t index,
                      int32_t count) {
  const int64_t units = static_cast<int64_t>(starts.size()) - 1;
  int64_t first = index < 1 ? 0 : std::min<int64_t>(index - 1, units);
  int64_t n = count < 0 ? 0 : std::min<int64_t>(units - first, count);
  const size_t begin = starts[static_cast<size_t>(first)];
  const size_t end = starts[static_cast<size_t>(first + n)];
  return std::string(s.substr(begin, end - begin));
}

std::string DeleteUnits(std::string s, const std::vector<size_t>& starts, int32_t index,
                        int32_t count) {
  const int64_t units = static_cast<int64_t>(starts.size()) - 1;
  if (index < 1 || index > units || count < 1) return s;
  const int64_t first = index - 1;
  const int64_t n = std::min<int64_t>(units - first, count);
  const size_t begin = starts[static_cast<size_t>(first)];
  s.erase(begin, starts[static_cast<size_t>(first + n)] - begin);
  return s;
}

std::string InsertUnits(std::string s, const std::vector<size_t>& starts, std::string_view what,
                        int32_t index) {
  const int64_t units = static_cast<int64_t>(starts.size()) - 1;
  const int64_t at = std::clamp<int64_t>(static_cast<int64_t>(index) - 1, 0, units);
  s.insert(starts[static_cast<size_t>(at)], what);
  return s;
}

std::vector<size_t> ByteStarts(std::string_view s) {
  std::vector<size_t> starts(s.size() + 1);
  for (size_t i = 0; i <= s.size(); ++i) starts[i] = i;
  return starts;
}

int CompareOrdinal(std::string_view a, std::string_view b) {
  const size_t n = std::min(a.size(), b.size());
  for (size_t i = 0; i < n; ++i) {
    const int d = static_cast<uint8_t>(a[i]) - static_cast<uint8_t>(b[i]);
    if (d) return d;
  }
  return static_cast<int>(static_cast<int64_t>(a.size()) - static_cast<int64_t>(b.size()));
}

std::string JTrim(std::string_view s) {
  size_t begin = s.size(), end = 0;
  bool any = false;
  ForEachChar(s, [&](size_t pos, size_t len) {
    if (len == 1 && static_cast<uint8_t>(s[pos]) <= ' ') return;
    if (!any) begin = pos;
    any = true;
    end = pos + len;
  });
  return any ? std::string(s.substr(begin, end - begin)) : std::string();
}

// Whether byte pos is a single-byte character of its own (neither a lead nor a trail byte).
bool IsSingleByteAt(std::string_view s, size_t pos) {
  for (size_t i = 0; i < s.size();) {
    const size_t n = CharLength(s, i);
    if (pos < i + n) return n == 1 && pos == i;
    i += n;
  }
  return false;
}

// Byte offset of the last single-byte character that is one of delimiters, or npos.
size_t LastDelimiter(std::string_view delimiters, std::string_view s) {
  size_t found = std::string_view::npos;
  ForEachChar(s, [&](size_t pos, size_t len) {
    if (len == 1 && delimiters.find(s[pos]) != std::string_view::npos) found = pos;
  });
  return found;
}

std::string ExtractFilePath(std::string_view s) {
  const size_t i = LastDelimiter("\\:", s);
  return i == std::string_view::npos ? std::string() : std::string(s.substr(0, i + 1));
}

std::string ExtractFileName(std::string_view s) {
  const size_t i = LastDelimiter("\\:", s);
  return std::string(i == std::string_view::npos ? s : s.substr(i + 1));
}

std::string ExtractFileExt(std::string_view s) {
  const size_t i = LastDelimiter(".\\:", s);
  return i != std::string_view::npos && s[i] == '.' ? std::string(s.substr(i)) : std::string();
}

std::string ChangeFileExt(std::string_view s, std::string_view ext) {
  const size_t i = LastDelimiter(".\\:", s);
  std::string out(i != std::string_view::npos && s[i] == '.' ? s.substr(0, i) : s);
  out.append(ext);
  return out;
}

bool IsPathDelimiter(std::string_view s, int32_t index) {
  if (index < 1 || index > static_cast<int64_t>(s.size())) return false;
  const auto pos = static_cast<size_t>(index - 1);
  return s[pos] == '\\' && IsSingleByteAt(s, pos);
}

bool IsDelimiter(std::string_view delimiters, std::string_view s, int32_t index) {
  if (index < 1 || index > static_cast<int64_t>(s.size())) return false;
  const auto pos = static_cast<size_t>(index - 1);
  return IsSingleByteAt(s, pos) && FindChar(delimiters, s[pos]) != std::string_view::npos;
}

std::string AddBackSlash(std::string s) {
  if (!IsPathDelimiter(s, static_cast<int32_t>(std::min<size_t>(s.size(), INT32_MAX)))) s += '\\';
  return s;
}

std::string StringOfChar(const std::string& s, int32_t count) {
  if (count <= 0 || s.empty()) return {};
  if (s.size() > kMaxText / static_cast<size_t>(count)) ThrowTooLong("StringOfChar");
  std::string out;
  out.reserve(s.size() * static_cast<size_t>(count));
  for (int32_t i = 0; i < count; ++i) out += s;
  return out;
}

std::string StringReplace(const std::string& s, const std::string& from, const std::string& to,
                          bool all, bool ignoreCase) {
  if (from.empty()) return s;
  // Folding keeps byte lengths, so positions in the folded texts are positions in s.
  const std::string hay = ignoreCase ? LocaleUpperCase(s) : std::string();
  const std::string needle = ignoreCase ? LocaleUpperCase(from) : std::string();
  const std::string_view h = ignoreCase ? std::string_view(hay) : std::string_view(s);
  const std::string_view n = ignoreCase ? std::string_view(needle) : std::string_view(from);
  std::string out;
  size_t pos = 0;
  for (;;) {
    const size_t found = FindText(h, n, pos);
    if (found == std::string_view::npos) break;
    out.append(s, pos, found - pos);
    out += to;
    if (out.size() > kMaxText) ThrowTooLong("StringReplace");
    pos = found + from.size();
    if (!all) break;
  }
  out.append(s, pos, std::string::npos);
  return out;
}

std::string FixStr(std::string s) {
  if (s.empty()) return s;
  size_t last = 0;
  ForEachChar(s, [&](size_t pos, size_t) { last = pos; });
  if (last == s.size() - 1 && IsLeadByte(s[last])) s.pop_back();
  return s;
}

}  // namespace

bool CallStringFunction(FunctionCall& call) {
  switch (call.Code) {
    case 0:  // IntToStr
      call.ResultStr(call.Has(1) ? IntToStrWidth(call.Int(0), call.Int(1))
                                 : IntToText(call.Int(0)));
      return true;
    case 1:  // IntToHex
      call.ResultStr(IntToHex(call.Int(0), call.Int(1)));
      return true;
    case 5:  // Length
      call.ResultInt(static_cast<int32_t>(call.Str(0).size()));
      return true;
    case 6:  // JLength
      call.ResultInt(static_cast<int32_t>(CharCount(call.Str(0))));
      return true;
    case 7: {  // Copy
      const std::string s = call.Str(0);
      call.ResultStr(CopyUnits(s, ByteStarts(s), call.Int(1), call.Int(2, INT32_MAX)));
      return true;
    }
    case 8: {  // JCopy
      const std::string s = call.Str(0);
      call.ResultStr(CopyUnits(s, CharStarts(s), call.Int(1), call.Int(2, INT32_MAX)));
      return true;
    }
    case 9:     // Delete
    case 10: {  // JDelete
      const int32_t index = call.Int(1), count = call.Int(2, INT32_MAX);
      if (TCustomParam* v = call.Writable(0)) {
        const std::string s = v->GetAsStr();
        v->SetAsStr(DeleteUnits(s, call.Code == 9 ? ByteStarts(s) : CharStarts(s), index, count));
      }
      return true;
    }
    case 11:    // Insert
    case 12: {  // JInsert
      const std::string what = call.Str(0);
      const int32_t index = call.Int(2);
      if (TCustomParam* v = call.Writable(1)) {
        const std::string s = v->GetAsStr();
        if (s.size() + what.size() > kMaxText) ThrowTooLong(call.Name());
        v->SetAsStr(InsertUnits(s, call.Code == 11 ? ByteStarts(s) : CharStarts(s), what, index));
      }
      return true;
    }
    case 13:  // CompareStr
      call.ResultInt(CompareOrdinal(call.Str(0), call.Str(1)));
      return true;
    case 14:  // CompareText
      call.ResultInt(LocaleCompareText(call.Str(0), call.Str(1)));
      return true;
    case 15:    // Pos
    case 16: {  // JPos
      const std::string needle = call.Str(0), hay = call.Str(1);
      const size_t found = needle.empty() ? std::string::npos : FindText(hay, needle);
      if (found == std::string::npos)
        call.ResultInt(0);
      else if (call.Code == 15)
        call.ResultInt(static_cast<int32_t>(found + 1));
      else
        call.ResultInt(static_cast<int32_t>(CharCount(std::string_view(hay).substr(0, found)) + 1));
      return true;
    }
    case 17:  // Trim
      call.ResultStr(std::string(TrimBlanks(call.Str(0))));
      return true;
    case 18:  // JTrim
      call.ResultStr(JTrim(call.Str(0)));
      return true;
    case 64:  // FixStr
      call.ResultStr(FixStr(call.Str(0)));
      return true;
    case 73:  // LowerCase
      call.ResultStr(LocaleLowerCase(call.Str(0)));
      return true;
    case 74:  // UpperCase
      call.ResultStr(LocaleUpperCase(call.Str(0)));
      return true;
    case 75:  // ExtractFilePath
      call.ResultStr(ExtractFilePath(call.Str(0)));
      return true;
    case 76:  // ExtractFileName
      call.ResultStr(ExtractFileName(call.Str(0)));
      return true;
    case 77:  // ExtractFileExt
      call.ResultStr(ExtractFileExt(call.Str(0)));
      return true;
    case 78:  // IsPathDelimiter
      call.ResultFlag(IsPathDelimiter(call.Str(0), call.Int(1)));
      return true;
    case 79:  // AddBackSlash
      call.ResultStr(AddBackSlash(call.Str(0)));
      return true;
    case 80:  // ChangeFileExt
      call.ResultStr(ChangeFileExt(call.Str(0), call.Str(1)));
      return true;
    case 81:  // IsDelimiter
      call.ResultFlag(IsDelimiter(call.Str(0), call.Str(1), call.Int(2)));
      return true;
    case 82:  // StringOfChar
      call.ResultStr(StringOfChar(call.Str(0), call.Int(1)));
      return true;
    case 83:  // StringReplace
      call.ResultStr(StringReplace(call.Str(0), call.Str(1), call.Str(2), call.Flag(3, false),
                                   call.Flag(4, false)));
      return true;
    case 85:  // HanToZen
      call.ResultStr(HanToZen(call.Str(0)));
      return true;
    case 86:  // ZenToHan
      call.ResultStr(ZenToHan(call.Str(0)));
      return true;
    case 133: {  // AddDelimiter
      const std::string text = call.Str(1);
      call.ResultStr(text.empty() ? std::string() : text + call.Str(0));
      return true;
    }
    case 138:  // StrToIntDef
      call.ResultInt(ParseInt(call.Str(0)).value_or(call.Int(1)));
      return true;
    case 139:  // StrToFloatDef
      call.ResultFloat(ParseFloat(call.Str(0)).value_or(call.Float(1)));
      return true;
    default:
      return false;
  }
}

}  // namespace orin
