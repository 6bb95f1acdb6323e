#include "params/param_text.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace orin {

std::string IntToText(int32_t v) {
  char buf[16];
  auto r = std::to_chars(buf, buf + sizeof buf, v);
  return std::string(buf, r.ptr);
}

std::string FloatToText(long double v) {
  if (std::isnan(v)) return "NAN";
  if (std::isinf(v)) return v < 0 ? "-INF" : "INF";
  if (v == 0) return "0";

  // Rounding to 15 significant digits first decides the form: 999999999999999.9 becomes 1E15.
  char buf[48];
  std::snprintf(buf, sizeof buf, "%.14Le", v);
  const char* p = buf;
  bool negative = *p == '-';
  if (negative) ++p;
  char digits[15];
  int count = 0;
  for (; *p && *p != 'e'; ++p)
    if (*p >= '0' && *p <= '9' && count < 15) digits[count++] = *p;
  int exponent = *p == 'e' ? std::atoi(p + 1) : 0;
  while (count > 1 && digits[count - 1] == '0') --count;

  std::string out;
  if (negative) out += '-';
  if (exponent >= 15 || exponent < -5) {
    out += digits[0];
    if (count > 1) {
      out += '.';
      out.append(digits + 1, static_cast<size_t>(count - 1));
    }
    out += 'E';
    out += std::to_string(exponent);
  } else if (exponent >= 0) {
    int whole = exponent + 1;
    for (int i = 0; i < whole; ++i) out += i < count ? digits[i] : '0';
    if (count > whole) {
      out += '.';
      out.append(digits + whole, static_cast<size_t>(count - whole));
    }
  } else {
    out += "0.";
    out.append(static_cast<size_t>(-exponent - 1), '0');
    out.append(digits, static_cast<size_t>(count));
  }
  return out;
}

namespace {

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

// Decimal exponent of the leading significant digit of a checked, unsigned float text.
long DecimalMagnitude(std::string_view s) {
  long magnitude = 0;
  size_t i = 0;
  bool seenSignificant = false;
  for (; i < s.size() && IsDigit(s[i]); ++i) {
    if (s[i] != '0') seenSignificant = true;
    if (seenSignificant) ++magnitude;
  }
  if (seenSignificant) {
    --magnitude;
  } else if (i < s.size() && s[i] == '.') {
    for (++i; i < s.size() && s[i] == '0'; ++i) --magnitude;
    --magnitude;
  }
  while (i < s.size() && s[i] != 'e' && s[i] != 'E') ++i;
  if (i < s.size()) {
    ++i;
    bool negative = s[i] == '-';
    if (s[i] == '+' || s[i] == '-') ++i;
    long e = 0;
    for (; i < s.size() && e < 100000; ++i) e = e * 10 + (s[i] - '0');
    magnitude += negative ? -e : e;
  }
  return magnitude;
}

}  // namespace

std::optional<int32_t> ParseInt(std::string_view text) {
  size_t i = 0;
  while (i < text.size() && text[i] == ' ') ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  if (i >= text.size()) return std::nullopt;
  uint64_t value = 0;
  if (text[i] == '$') {
    if (++i >= text.size()) return std::nullopt;
    for (; i < text.size(); ++i) {
      int d = HexDigit(text[i]);
      if (d < 0) return std::nullopt;
      value = value * 16 + static_cast<uint64_t>(d);
      if (value > 0xFFFFFFFFu) return std::nullopt;
    }
    uint32_t bits = static_cast<uint32_t>(value);
    if (negative) bits = 0u - bits;
    return static_cast<int32_t>(bits);
  }
  for (; i < text.size(); ++i) {
    if (!IsDigit(text[i])) return std::nullopt;
    value = value * 10 + static_cast<uint64_t>(text[i] - '0');
    if (value > 2147483648u) return std::nullopt;
  }
  if (!negative && value > 2147483647u) return std::nullopt;
  return static_cast<int32_t>(negative ? 0u - static_cast<uint32_t>(value)
                                       : static_cast<uint32_t>(value));
}

std::optional<long double> ParseFloat(std::string_view text) {
  size_t begin = 0, end = text.size();
  while (begin < end && text[begin] == ' ') ++begin;
  while (end > begin && text[end - 1] == ' ') --end;
  std::string_view s = text.substr(begin, end - begin);

  // The grammar is checked here; from_chars alone would also take "inf", "nan" and hexadecimal.
  size_t i = 0;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
  size_t mantissaDigits = 0;
  while (i < s.size() && IsDigit(s[i])) ++i, ++mantissaDigits;
  if (i < s.size() && s[i] == '.') {
    ++i;
    while (i < s.size() && IsDigit(s[i])) ++i, ++mantissaDigits;
  }
  if (mantissaDigits == 0) return std::nullopt;
  if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
    ++i;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
    size_t exponentDigits = 0;
    while (i < s.size() && IsDigit(s[i])) ++i, ++exponentDigits;
    if (exponentDigits == 0) return std::nullopt;
  }
  if (i != s.size()) return std::nullopt;

  // from_chars takes no "+" sign.
  bool negative = false;
  if (s[0] == '+' || s[0] == '-') {
    negative = s[0] == '-';
    s.remove_prefix(1);
  }
  long double v = 0;
  auto r = std::from_chars(s.data(), s.data() + s.size(), v, std::chars_format::general);
  if (r.ec == std::errc::result_out_of_range) {
    // Too small gives zero, too large fails; the decimal magnitude tells which.
    if (DecimalMagnitude(s) > 0) return std::nullopt;
    v = 0;
  } else if (r.ec != std::errc() || r.ptr != s.data() + s.size()) {
    return std::nullopt;
  }
  if (std::isinf(v)) return std::nullopt;
  return negative ? -v : v;
}

int32_t TruncToInt(long double v) {
  if (!(std::fabs(v) < 9223372036854775808.0L)) return 0;
  auto wide = static_cast<int64_t>(v);
  return static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint64_t>(wide)));
}

}  // namespace orin
