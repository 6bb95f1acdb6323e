// Text operations behind the string functions of scripts, on cp932 byte strings.
//
//   * Locale case: ASCII letters and the full-width Latin, Greek and Cyrillic letters change
//     case (the Japanese locale's rule); kana, kanji and half-width katakana do not. Case
//     changes never change a text's length in bytes, so positions found in a folded text hold
//     in the original.
//   * HanToZen / ZenToHan: the half-width <-> full-width tables (printable ASCII, half-width
//     katakana and punctuation, voiced and semi-voiced kana).
//   * Lines: a text list's rule — a line ends at CR LF, at a lone LF or at a lone CR; a final
//     line break does not start another line; the empty text has no lines.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace orin {

std::string LocaleUpperCase(std::string_view s);
std::string LocaleLowerCase(std::string_view s);
// Negative, 0 or positive; case-insensitive by the rule above, else by character code.
int LocaleCompareText(std::string_view a, std::string_view b);

// Every single-byte character becomes its full-width form: printable ASCII (blank "　",
// backslash "￥", double quote "”", apostrophe "’", grave accent "‘", tilde "～"), half-width
// katakana and punctuation; a half-width kana followed by "ﾞ" or "ﾟ" becomes one voiced or
// semi-voiced kana where one exists. Double-byte characters and control bytes pass unchanged.
std::string HanToZen(std::string_view s);
// The reverse: full-width ASCII forms, katakana and punctuation become single bytes, a voiced or
// semi-voiced kana the base kana followed by "ﾞ" or "ﾟ"; both "”" and "“" become a double quote,
// "’" an apostrophe, "‘" a grave accent, "￥" and "＼" a backslash. Other characters pass
// unchanged.
std::string ZenToHan(std::string_view s);

std::vector<std::string> SplitLines(std::string_view s);

// Without the leading and trailing bytes up to 0x20 (blanks and control characters).
std::string_view TrimBlanks(std::string_view s);

}  // namespace orin
