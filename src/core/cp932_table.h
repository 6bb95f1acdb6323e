// The character codes of cp932 as Unicode code points, for the glyph rasteriser and anything else
// that meets a character as a 16-bit code rather than as bytes of a string.
//
// A code is a single byte (0x00-0xFF) or, for a double-byte character, lead byte × 256 + trail
// byte (CharCodeAt's form). The table is made once, on first use, from the same iconv conversion
// that Cp932ToUtf8 uses, so both agree on every character; it is immutable afterwards and safe to
// read from any thread.
#pragma once

#include <cstdint>

namespace orin {

// What Cp932CodeToUnicode answers for a code that has no character: a lone lead byte, a pair that
// is not assigned, a high byte that is not a lead byte.
inline constexpr char32_t kNoUnicode = 0xFFFFFFFF;

char32_t Cp932CodeToUnicode(uint16_t code);

}  // namespace orin
