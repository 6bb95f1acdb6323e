#include "core/text.h"

#include <cstdio>
#include <cstdlib>

#include "core/cp932.h"

namespace orin {

namespace detail {

std::string LiteralToCp932(std::string_view utf8) {
  auto r = Utf8ToCp932(utf8);
  if (!r) {
    std::fprintf(stderr, "internal error: text has no cp932 form: %.*s\n",
                 static_cast<int>(utf8.size()), utf8.data());
    std::abort();
  }
  return *r;
}

}  // namespace detail

std::string FormatList(std::string_view format, std::initializer_list<FormatArg> args) {
  std::string out;
  out.reserve(format.size() + 32);
  auto next = args.begin();
  for (size_t i = 0; i < format.size();) {
    size_t n = CharLength(format, i);
    if (n == 2 || format[i] != '%') {
      out.append(format.substr(i, n));
      i += n;
      continue;
    }
    size_t start = i++;
    if (i < format.size() && format[i] == '%') {
      out.push_back('%');
      ++i;
      continue;
    }
    bool zero = false;
    int width = 0, precision = -1;
    if (i < format.size() && format[i] == '0') {
      zero = true;
      ++i;
    }
    while (i < format.size() && format[i] >= '0' && format[i] <= '9' && width < 1000)
      width = width * 10 + (format[i++] - '0');
    if (i < format.size() && format[i] == '.') {
      precision = 0;
      ++i;
      while (i < format.size() && format[i] >= '0' && format[i] <= '9' && precision < 1000)
        precision = precision * 10 + (format[i++] - '0');
    }
    char conv = i < format.size() ? format[i] : '\0';
    bool wantsText = conv == 's';
    bool wantsNumber = conv == 'd' || conv == 'x' || conv == 'X' || conv == 'u';
    if ((!wantsText && !wantsNumber) || next == args.end() || next->isText_ != wantsText) {
      out.append(format.substr(start, i - start));
      continue;
    }
    ++i;
    std::string field;
    if (wantsText) {
      field = std::string(next->text_);
    } else {
      int64_t v = next->number_;
      bool negative = v < 0 && conv == 'd';
      uint64_t mag = negative ? 0 - static_cast<uint64_t>(v) : static_cast<uint64_t>(v);
      // A negative 32-bit value prints as its 32-bit pattern, as printf does with an int; a wider
      // value keeps all its digits.
      if (conv != 'd' && v < 0 && v >= INT32_MIN) mag &= 0xFFFFFFFFu;
      const char* digits = conv == 'x' ? "0123456789abcdef" : "0123456789ABCDEF";
      unsigned base = (conv == 'x' || conv == 'X') ? 16 : 10;
      std::string d;
      do {
        d.insert(d.begin(), digits[mag % base]);
        mag /= base;
      } while (mag);
      if (precision >= 0 && static_cast<int>(d.size()) < precision)
        d.insert(0, static_cast<size_t>(precision) - d.size(), '0');
      if (zero && precision < 0 && static_cast<int>(d.size()) + negative < width)
        d.insert(0, static_cast<size_t>(width - negative) - d.size(), '0');
      field = negative ? "-" + d : d;
    }
    if (static_cast<int>(field.size()) < width) field.insert(0, static_cast<size_t>(width) - field.size(), ' ');
    out += field;
    ++next;
  }
  return out;
}

}  // namespace orin
