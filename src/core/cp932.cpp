#include "core/cp932.h"

#include <iconv.h>

#include <cerrno>
#include <cstring>

namespace orin {

size_t CharCount(std::string_view s) {
  size_t n = 0;
  for (size_t i = 0; i < s.size(); i += CharLength(s, i)) ++n;
  return n;
}

size_t CharOffset(std::string_view s, size_t charIndex) {
  size_t i = 0;
  for (; i < s.size() && charIndex > 0; --charIndex) i += CharLength(s, i);
  return i;
}

uint16_t CharCodeAt(std::string_view s, size_t pos) {
  auto b = static_cast<uint8_t>(s[pos]);
  if (CharLength(s, pos) == 1) return b;
  return static_cast<uint16_t>(b << 8 | static_cast<uint8_t>(s[pos + 1]));
}

size_t FindText(std::string_view hay, std::string_view needle, size_t from) {
  if (needle.empty()) return from <= hay.size() ? from : std::string_view::npos;
  for (size_t i = from; i < hay.size(); i += CharLength(hay, i)) {
    if (hay.size() - i < needle.size()) break;
    if (hay.compare(i, needle.size(), needle) == 0) return i;
  }
  return std::string_view::npos;
}

size_t FindChar(std::string_view s, char c, size_t from) {
  for (size_t i = from; i < s.size(); i += CharLength(s, i))
    if (s[i] == c) return i;
  return std::string_view::npos;
}

size_t FindLastChar(std::string_view s, char c) {
  size_t found = std::string_view::npos;
  for (size_t i = 0; i < s.size(); i += CharLength(s, i))
    if (s[i] == c) found = i;
  return found;
}

std::string UnescapeText(std::string_view s) {
  std::string out;
  out.reserve(s.size());
  for (size_t i = 0; i < s.size();) {
    const size_t n = CharLength(s, i);
    if (n == 1 && s[i] == '\\' && i + 1 < s.size()) {
      const char next = s[i + 1];
      if (next == '"' || next == '\\') {
        out += next;
        i += 2;
        continue;
      }
      if (next == 'n') {
        out += "\r\n";
        i += 2;
        continue;
      }
    }
    out.append(s.substr(i, n));
    i += n;
  }
  return out;
}

namespace {

constexpr char ToUpperByte(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c; }
constexpr char ToLowerByte(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; }

template <char (*Map)(char)>
void MapSingleBytes(std::string& s) {
  for (size_t i = 0; i < s.size();) {
    size_t n = CharLength(s, i);
    if (n == 1) s[i] = Map(s[i]);
    i += n;
  }
}

}  // namespace

void UpperCaseInPlace(std::string& s) { MapSingleBytes<ToUpperByte>(s); }

std::string UpperCase(std::string_view s) {
  std::string r(s);
  MapSingleBytes<ToUpperByte>(r);
  return r;
}

std::string LowerCase(std::string_view s) {
  std::string r(s);
  MapSingleBytes<ToLowerByte>(r);
  return r;
}

int CompareText(std::string_view a, std::string_view b) {
  // Both texts are walked in step: a trail byte is compared as it is, a single byte folded.
  size_t i = 0;
  for (; i < a.size() && i < b.size();) {
    size_t na = CharLength(a, i), nb = CharLength(b, i);
    auto ca = static_cast<uint8_t>(na == 1 ? ToUpperByte(a[i]) : a[i]);
    auto cb = static_cast<uint8_t>(nb == 1 ? ToUpperByte(b[i]) : b[i]);
    if (ca != cb) return ca < cb ? -1 : 1;
    if (na != nb) return na < nb ? -1 : 1;
    if (na == 2) {
      auto ta = static_cast<uint8_t>(a[i + 1]), tb = static_cast<uint8_t>(b[i + 1]);
      if (ta != tb) return ta < tb ? -1 : 1;
    }
    i += na;
  }
  if (a.size() == b.size()) return 0;
  return a.size() < b.size() ? -1 : 1;
}

bool SameText(std::string_view a, std::string_view b) {
  return a.size() == b.size() && CompareText(a, b) == 0;
}

bool StartsWithText(std::string_view s, std::string_view prefix) {
  if (prefix.size() > s.size()) return false;
  // The cut must fall on a character boundary of s, or a half character would match.
  size_t i = 0;
  while (i < prefix.size()) i += CharLength(s, i);
  return i == prefix.size() && SameText(s.substr(0, prefix.size()), prefix);
}

bool EndsWithText(std::string_view s, std::string_view suffix) {
  if (suffix.size() > s.size()) return false;
  size_t start = s.size() - suffix.size();
  size_t i = 0;
  while (i < start) i += CharLength(s, i);
  return i == start && SameText(s.substr(start), suffix);
}

namespace {

// One conversion through iconv. Stops at the first sequence that has no mapping; with escape set
// the offending input byte is replaced and conversion goes on.
size_t Utf8SequenceLength(uint8_t lead) {
  if (lead >= 0xF0 && lead <= 0xF7) return 4;
  if (lead >= 0xE0) return lead <= 0xEF ? 3 : 1;
  if (lead >= 0xC2) return 2;
  return 1;
}

std::optional<std::string> Convert(const char* to, const char* from, std::string_view in,
                                   const char* escapeFormat) {
  const bool fromUtf8 = std::strcmp(from, "UTF-8") == 0;
  iconv_t cd = iconv_open(to, from);
  if (cd == reinterpret_cast<iconv_t>(-1)) return std::nullopt;
  std::string out;
  out.resize(in.size() * 3 + 16);
  char* src = const_cast<char*>(in.data());
  size_t srcLeft = in.size();
  size_t produced = 0;
  bool ok = true;
  while (srcLeft > 0) {
    char* dst = out.data() + produced;
    size_t dstLeft = out.size() - produced;
    size_t r = iconv(cd, &src, &srcLeft, &dst, &dstLeft);
    produced = out.size() - dstLeft;
    if (r != static_cast<size_t>(-1)) break;
    if (errno == E2BIG) {
      out.resize(out.size() * 2);
      continue;
    }
    // EILSEQ or EINVAL (a sequence cut at the end): no mapping.
    if (!escapeFormat) {
      ok = false;
      break;
    }
    char esc[8];
    int n = std::snprintf(esc, sizeof esc, escapeFormat, static_cast<unsigned>(static_cast<uint8_t>(*src)));
    if (out.size() - produced < static_cast<size_t>(n)) out.resize(out.size() * 2 + n);
    std::memcpy(out.data() + produced, esc, static_cast<size_t>(n));
    produced += static_cast<size_t>(n);
    size_t skip = fromUtf8 ? Utf8SequenceLength(static_cast<uint8_t>(*src)) : 1;
    if (skip > srcLeft) skip = srcLeft;
    src += skip;
    srcLeft -= skip;
  }
  iconv_close(cd);
  if (!ok) return std::nullopt;
  out.resize(produced);
  return out;
}

}  // namespace

std::optional<std::string> Cp932ToUtf8(std::string_view cp932) {
  return Convert("UTF-8", "CP932", cp932, nullptr);
}

std::optional<std::string> Utf8ToCp932(std::string_view utf8) {
  return Convert("CP932", "UTF-8", utf8, nullptr);
}

std::string ToUtf8(std::string_view cp932) {
  auto r = Convert("UTF-8", "CP932", cp932, "\\x%02X");
  return r ? *r : std::string();
}

std::string FromUtf8(std::string_view utf8) {
  auto r = Convert("CP932", "UTF-8", utf8, "?");
  return r ? *r : std::string();
}

}  // namespace orin
