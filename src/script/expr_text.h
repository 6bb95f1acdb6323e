// Text forms of an expression field (UTF-8), for the page text of script/page_text.h.
//
//   {}             no operations (the expression never yields a value)
//   {source}       expression source, compiled with TBuildOrinParser
//   ops{...}       the exact operation list: "DEST = OP [FUNCTION] OPERAND, OPERAND; ..."
//                  OP is an operation name (ocPlus) or "oc" and a code (oc31); FUNCTION, for
//                  ocFunc only, a system function name or "#" and a code. Operands: 12 (int32),
//                  1.5 / 2.0 / 1e+30 / inf / nan (float: with ".", an exponent or as a word),
//                  TRUE / FALSE (flag), "text" (string), a bare name or $"name" (variable).
//                  DEST is a bare name or $"name".
//   hex{...}       the stored expression record byte for byte
//
// ExprToText picks the first of source, operation list and bytes that reads back to exactly
// the stored record, so a page text always rebuilds the page it came from.
#pragma once

#include <optional>
#include <string>

#include "script/command_expr.h"
#include "script/text_form.h"

namespace orin {

std::string ExprToText(const CommandExpr& e);
// Sets e from {source}, ops{...} or hex{...}; throws Error (without a line number) when the
// text does not compile or is malformed.
void ExprFromText(const TextValue& v, CommandExpr& e);

// Source text (cp932) whose compilation gives exactly the record of e, or nullopt.
std::optional<std::string> DecompileExpression(const CommandExpr& e);
// The operation list of a record, as between the braces of ops{...}.
std::string OperationsText(const CommandExpr& e);
// The record of an operation list; throws Error when it is malformed.
std::string OperationsRecord(std::string_view utf8);

}  // namespace orin
