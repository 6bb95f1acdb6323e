// Byte strings in code page 932 (Windows Japanese).
//
// Every name, file name and script text of a game is a std::string holding cp932 bytes. A
// double-byte character is a lead byte (0x81-0x9F, 0xE0-0xFC) followed by any trail byte; a
// lead byte in the last position stands alone. Trail bytes overlap ASCII (0x40-0x7E include "\",
// "@", "[" and the letters), so every search and every case change here walks the text character
// by character and never matches inside a double-byte character.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace orin {

constexpr bool IsLeadByte(uint8_t b) { return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC); }
constexpr bool IsLeadByte(char c) { return IsLeadByte(static_cast<uint8_t>(c)); }

// Length in bytes (1 or 2) of the character that starts at pos; pos must be inside s.
inline size_t CharLength(std::string_view s, size_t pos) {
  return (IsLeadByte(s[pos]) && pos + 1 < s.size()) ? 2 : 1;
}

// Number of characters (a double-byte character counts once).
size_t CharCount(std::string_view s);

// Byte offset of the character with the given index, or s.size() when there are fewer.
size_t CharOffset(std::string_view s, size_t charIndex);

// Character code at pos: the byte for a single-byte character, lead * 256 + trail otherwise.
uint16_t CharCodeAt(std::string_view s, size_t pos);

// Visits each character: f(offset, length).
template <class F>
void ForEachChar(std::string_view s, F&& f) {
  for (size_t i = 0; i < s.size();) {
    size_t n = CharLength(s, i);
    f(i, n);
    i += n;
  }
}

// Finds needle at a character boundary of hay, starting at the byte offset from (which must be a
// boundary). Returns npos when absent.
size_t FindText(std::string_view hay, std::string_view needle, size_t from = 0);

// Byte offset of the first / last single-byte character c, or npos. A trail byte equal to c is
// never found.
size_t FindChar(std::string_view s, char c, size_t from = 0);
size_t FindLastChar(std::string_view s, char c);

// The backslash escapes of table lines and link targets: \" and \\ give the character, \n gives
// CR LF; any other backslash stays, and a trail byte 0x5C never starts an escape.
std::string UnescapeText(std::string_view s);

// Case mapping: single-byte letters A-Z / a-z change, everything else (double-byte characters,
// half-width katakana) stays as it is.
std::string UpperCase(std::string_view s);
std::string LowerCase(std::string_view s);
void UpperCaseInPlace(std::string& s);

// Case-insensitive equality and ordering with the same rule.
bool SameText(std::string_view a, std::string_view b);
int CompareText(std::string_view a, std::string_view b);
bool StartsWithText(std::string_view s, std::string_view prefix);
bool EndsWithText(std::string_view s, std::string_view suffix);

// Strict conversions: nullopt when a byte sequence has no mapping.
std::optional<std::string> Cp932ToUtf8(std::string_view cp932);
std::optional<std::string> Utf8ToCp932(std::string_view utf8);

// Conversions for display: unmappable cp932 bytes become "\xNN" escapes, unmappable UTF-8 becomes
// "?". Never fail.
std::string ToUtf8(std::string_view cp932);
std::string FromUtf8(std::string_view utf8);

}  // namespace orin
