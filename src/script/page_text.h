// The page text: a readable, editable form of a page file that rebuilds the page byte for byte.
// docs/page-text.md describes it with a complete example.
//
//   page version=110 return=int
//   propset ImgNew 0-4 12
//   loop:
//   While {i < 10} exit=@done
//     Calc {i = i + 1} chain
//   WhileLoop {} start=@loop
//   done:
//
// One command per line: its kind, header attributes (id=N, chain, disabled, hibit, indent=N)
// and its fields, by name or in record order; lines that begin with "name=" continue the command
// above. Two spaces of indentation are one level of the record's indent. Index fields take
// @label, the index of the command that follows "label:". Fields that a page version lacks are
// absent from its text. The text data of a text insert is markup ("...", scene/word_markup.h)
// when markup rebuilds the stored document byte for byte, else its bytes (hex{...}).
#pragma once

#include <string>
#include <string_view>

namespace orin {

class TPage;

struct PageTextOptions {
  // The page's own file name (cp932): Jump and Call targets into it are written as labels.
  std::string SelfName;
};

std::string PageToText(const TPage& page, const PageTextOptions& options = {});

// Replaces the content of page (not its name) with the page the text describes. Throws Error
// with "line N: what is wrong" on any fault; the page is left empty then.
void PageFromText(std::string_view utf8, TPage& page);

// The page-text name of a property ("left" for 3), or null when it has none ("p42" is used).
const char* PropertyTextName(int property);
// The property of a page-text name ("left", "p3"), or -1.
int FindPropertyTextName(std::string_view name);

}  // namespace orin
