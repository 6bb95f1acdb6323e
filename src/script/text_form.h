// The pieces shared by the text forms of pages, projects and install sets (script/page_text.h,
// script/project_text.h): lines of items, quoted strings, byte blocks and numbers.
//
// A text form is UTF-8. A line holds items separated by blanks; "#" outside a value starts a
// comment. An item is a value or "name=value". Values:
//   "text"     a string: \" \\ \r \n \t and \xNN (a raw byte) are escapes; everything else is
//              UTF-8 and becomes cp932 (text without a cp932 form is an error)
//   {source}   expression source text, up to the "}" outside a string literal
//   ops{...}   an expression as its list of operations (script/expr_text.h)
//   hex{..}    bytes as pairs of hexadecimal digits; blanks between pairs are allowed
//   [v, v, ..] a list of values
//   word       anything else up to a blank, "=", a bracket, a brace, "," or "#": numbers,
//              names, @label references
#pragma once

#include <cstdint>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/error.h"

namespace orin {

struct TextValue {
  enum Kind { kWord, kString, kSource, kOps, kHex, kList };
  Kind kind = kWord;
  // kWord: the word (UTF-8); kString, kHex: the cp932 / raw bytes; kSource, kOps: the text
  // between the braces (UTF-8), as written.
  std::string text;
  std::vector<TextValue> items;  // kList
};

struct TextItem {
  std::string name;  // empty for a value without "name="
  TextValue value;
};

// The text without a leading UTF-8 byte-order mark.
std::string_view WithoutBom(std::string_view utf8);

// The items of one line. Throws TextError (line set) on a malformed value.
std::vector<TextItem> SplitLine(std::string_view line, int lineNumber);

// An error at a line of a text form; the message reads "line N: what" (what in UTF-8).
Error TextError(int lineNumber, std::string_view what);
// The error with "line N: " put in front of its message, unless it names a line already.
Error AtLine(int lineNumber, const Error& e);

// Joins texts; used instead of "literal" + std::string, which g++ 12 warns about wrongly.
std::string Cat(std::initializer_list<std::string_view> parts);

// The quoted form of cp932 text (UTF-8 where it converts back to the same bytes, escapes else).
std::string QuoteText(std::string_view cp932);
// The cp932 text of a whole quoted string ("..." with the escapes above); throws Error when it is
// malformed.
std::string UnquoteText(std::string_view quoted);
// The position after the closing quote of the string that opens at open, or npos.
size_t QuotedEnd(std::string_view s, size_t open);

// hex{..} of bytes, wrapped into groups of 32 bytes separated by blanks.
std::string HexBlock(std::string_view bytes);

// UTF-8 of cp932 text when the conversion gives back exactly the same bytes.
std::optional<std::string> ExactUtf8(std::string_view cp932);

// Numbers of words: decimal with an optional "-", or "0x" and hexadecimal digits. nullopt when
// the word is not such a number or does not fit.
std::optional<int64_t> ParseWordNumber(std::string_view word);

// The value as a string (kString) or a bare word converted to cp932; what names the field in
// errors.
std::string StringValue(const TextValue& v, std::string_view what);
// The value as an integer in [min, max].
int64_t IntValue(const TextValue& v, std::string_view what, int64_t min, int64_t max);

}  // namespace orin
