// TBuildOrinParser: the expression compiler. Compile turns expression text (cp932) into
// three-address operations over text tokens; WriteTo writes them as the expression record that
// TOrinParser reads (params/orin_parser.h).
//
// Compile works in passes over the text, each replacing what it compiled by the name of a
// temporary: string literals, function calls (innermost, i.e. last, first), array elements,
// parenthesised groups, then the remaining tokens by unary signs and precedence
// (* / % | + - | << >> | == >= <= > < <> | ++ | & | ^ | "|" | =, left to right within a level),
// and a last clean-up that removes copies from one "____%d" temporary to another. Errors throw
// orin::Error with the texts "構文エラー", "\"name\" 関数名がありません", "name 引数の数が不正です"
// and "配列の添え字が不正です".
//
// Limits, far above any script: a text of more than kMaxTextBytes (1 MiB) and brackets or
// parentheses nested more than kMaxNesting (65536) deep are refused with an error of their own.
// Within them every pass takes time about linear in the text: no pass searches the text from its
// start again or splices it once per item.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace orin {

class Stream;

class TBuildOpeData {
 public:
  uint8_t Op = 0;
  std::string Dest;
  // Text tokens; for ocFunc the function name comes first.
  std::vector<std::string> Operands;
  uint8_t FuncCode = 0;
};

class TBuildOrinParser {
 public:
  static constexpr size_t kMaxTextBytes = size_t{1} << 20;
  static constexpr int kMaxNesting = 1 << 16;

  std::vector<TBuildOpeData> Operations;
  int TempCounter = 0;

  // Replaces the operations with those of text; throws orin::Error on a compile error.
  void Compile(std::string_view text);
  // The expression record of the operations. Each token is written as an integer constant when
  // it parses as one, else as a float constant, else as a flag ("TRUE" / "FALSE"), else as a
  // string constant when it is quoted, else as a variable name.
  void WriteTo(Stream& s) const;
  void Clear();

 private:
  using Chars = std::vector<uint16_t>;

  void CompileText(Chars text);
  std::string CompileArgument(const Chars& text, size_t begin, size_t end);
  std::string NewTemp();
  std::string NewElementTemp();
  void Emit(uint8_t op, std::string dest, std::vector<std::string> operands, uint8_t funcCode = 0);
  void CleanUp();
};

}  // namespace orin
