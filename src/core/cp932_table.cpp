#include "core/cp932_table.h"

#include <iconv.h>

#include <array>
#include <memory>

#include "core/cp932.h"

namespace orin {

namespace {

using Table = std::array<char32_t, 65536>;

// One character through the converter: the code point, or kNoUnicode unless the bytes give exactly
// one character.
char32_t ConvertOne(iconv_t cd, const char* bytes, size_t count) {
  iconv(cd, nullptr, nullptr, nullptr, nullptr);
  char in[2] = {bytes[0], count > 1 ? bytes[1] : '\0'};
  unsigned char out[8];
  char* src = in;
  size_t srcLeft = count;
  char* dst = reinterpret_cast<char*>(out);
  size_t dstLeft = sizeof out;
  if (iconv(cd, &src, &srcLeft, &dst, &dstLeft) == static_cast<size_t>(-1) || srcLeft != 0) return kNoUnicode;
  if (sizeof out - dstLeft != 4) return kNoUnicode;
  return static_cast<char32_t>(out[0] | out[1] << 8 | out[2] << 16 | static_cast<uint32_t>(out[3]) << 24);
}

std::unique_ptr<Table> BuildTable() {
  auto table = std::make_unique<Table>();
  table->fill(kNoUnicode);
  iconv_t cd = iconv_open("UTF-32LE", "CP932");
  if (cd == reinterpret_cast<iconv_t>(-1)) return table;
  for (int b = 0; b < 256; ++b) {
    const auto lead = static_cast<uint8_t>(b);
    const char one = static_cast<char>(lead);
    if (!IsLeadByte(lead)) {
      (*table)[lead] = ConvertOne(cd, &one, 1);
      continue;
    }
    for (int t = 0x40; t <= 0xFC; ++t) {
      const char pair[2] = {one, static_cast<char>(t)};
      (*table)[static_cast<size_t>(lead) << 8 | static_cast<size_t>(t)] = ConvertOne(cd, pair, 2);
    }
  }
  iconv_close(cd);
  return table;
}

}  // namespace

char32_t Cp932CodeToUnicode(uint16_t code) {
  static const std::unique_ptr<Table> table = BuildTable();
  return (*table)[code];
}

}  // namespace orin
