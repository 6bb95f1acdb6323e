// The system's own texts, written in UTF-8 in the source and used as cp932 bytes at run time.
//
//   using namespace orin::literals;
//   throw Error(Format("%s:ファイルがありません"_sj, name));
//
// Each literal is converted once, on first use, and the same std::string is returned after that.
#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>

namespace orin {

namespace detail {

template <size_t N>
struct Utf8Literal {
  char value[N];
  constexpr Utf8Literal(const char (&s)[N]) {  // NOLINT: implicit by design
    for (size_t i = 0; i < N; ++i) value[i] = s[i];
  }
  constexpr std::string_view View() const { return {value, N - 1}; }
};

// Aborts when the text has no cp932 form: that is a fault in our source, not in a game.
std::string LiteralToCp932(std::string_view utf8);

}  // namespace detail

namespace literals {

template <detail::Utf8Literal S>
const std::string& operator""_sj() {
  static const std::string text = detail::LiteralToCp932(S.View());
  return text;
}

}  // namespace literals

// One argument of Format: a byte string or an integer.
class FormatArg {
 public:
  FormatArg(std::string_view s) : text_(s), isText_(true) {}  // NOLINT
  FormatArg(const std::string& s) : text_(s), isText_(true) {}  // NOLINT
  FormatArg(const char* s) : text_(s), isText_(true) {}  // NOLINT
  template <class I>
    requires std::is_integral_v<I>
  FormatArg(I v) : number_(static_cast<int64_t>(v)), isText_(false) {}  // NOLINT

  std::string_view text_;
  int64_t number_ = 0;
  bool isText_;
};

// printf-style formatting of cp932 texts, limited to what the system's messages use: %s, %d,
// %x, %X with optional "0" flag, width and ".precision" (minimum digits), and %%. A directive
// whose argument is missing or of the other kind is written out as it stands.
std::string FormatList(std::string_view format, std::initializer_list<FormatArg> args);

template <class... A>
std::string Format(std::string_view format, const A&... args) {
  return FormatList(format, {FormatArg(args)...});
}

}  // namespace orin
