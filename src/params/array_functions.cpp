// Array and variable functions: shapes, filling and copying, text <-> array, searching and
// sorting elements, growing and shrinking one-dimensional arrays, the @Temp alias, variable
// tests and Calc.
//
// Functions that reshape a variable act on the whole variable, even when the argument names one
// element of it. AddArray, InsertArray and DeleteArray act only on one-dimensional variables (a
// scalar counts as one element in one dimension). DeleteArray may remove every element; the
// variable then holds none, reads as the fresh value and takes new elements as usual.
#include <algorithm>

#include "core/cp932.h"
#include "core/depth_guard.h"
#include "core/error.h"
#include "core/text.h"
#include "params/build_orin_parser.h"
#include "params/function_call.h"
#include "params/orin_parser.h"
#include "params/param_collection.h"
#include "params/script_text.h"
#include "params/system_functions.h"
#include "resources/stream.h"

namespace orin {

using namespace literals;

namespace {

// dst[dstIndex] := src[srcIndex], converted to dst's type.
void CopyElement(TCustomParam& dst, int dstIndex, const TCustomParam& src, int srcIndex) {
  switch (dst.GetType()) {
    case kTypeInt:
      dst.SetIntAt(dstIndex, src.GetIntAt(srcIndex));
      break;
    case kTypeFloat:
      dst.SetFloatAt(dstIndex, src.GetFloatAt(srcIndex));
      break;
    case kTypeFlag:
      dst.SetFlagAt(dstIndex, src.GetFlagAt(srcIndex));
      break;
    default:
      dst.SetStrAt(dstIndex, src.GetStrAt(srcIndex));
      break;
  }
}

// Gives a stored value a one-dimensional shape of n elements (n may be 0), keeping the elements
// at their positions.
void SetLength(TCustomParam& v, int n) {
  v.Dims.assign(1, n);
  v.SetCount(n);
}

// The whole variable behind argument i, or null when it is a constant or stands for nothing.
TCustomParam* WholeVariable(const FunctionCall& call, size_t i) {
  TCustomParam* v = call.Writable(i);
  return v ? ResolveValue(*v) : nullptr;
}

// Argument i as a value to read whole: the variable behind a reference, else the constant.
const TCustomParam& Source(const FunctionCall& call, size_t i) {
  if (TCustomParam* v = WholeVariable(call, i)) return *v;
  return call.Arg(i);
}

// Rebuilds dst (one-dimensional) from pieces: [0, at) of dst, all of extra, then the rest of
// dst. The pieces are copied first, so extra may be dst itself.
int Splice(TCustomParam& dst, int at, const TCustomParam& extra) {
  const int n0 = dst.GetCount(), n1 = extra.GetCount();
  if (dst.GetDimCount() > 1 || extra.GetDimCount() > 1 || n1 == 0) return n0;
  const int64_t total = static_cast<int64_t>(n0) + n1;
  if (total > INT32_MAX) throw Error("array too large");
  std::unique_ptr<TCustomParam> joined = CreateParam(dst.GetType());
  if (!joined) return n0;
  joined->SetCount(static_cast<int>(total));
  int k = 0;
  for (int i = 0; i < at; ++i) CopyElement(*joined, k++, dst, i);
  for (int i = 0; i < n1; ++i) CopyElement(*joined, k++, extra, i);
  for (int i = at; i < n0; ++i) CopyElement(*joined, k++, dst, i);
  SetLength(dst, static_cast<int>(total));
  for (int i = 0; i < k; ++i) CopyElement(dst, i, *joined, i);
  return dst.GetCount();
}

int DeleteElements(TCustomParam& v, int32_t index, int32_t count) {
  const int n = v.GetCount();
  if (v.GetDimCount() > 1 || n == 0 || count <= 0) return n;
  const int at = std::clamp(index, 0, n - 1);
  const int cut = std::min(count, n - at);
  for (int i = at; i + cut < n; ++i) CopyElement(v, i, v, i + cut);
  SetLength(v, n - cut);
  return v.GetCount();
}

void StringToArray(TCustomParam& v, const std::string& text, const std::string* delimiter) {
  if (text.empty()) {
    v.SetAsStr({});
    return;
  }
  std::vector<std::string> parts;
  if (delimiter && !delimiter->empty()) {
    size_t start = 0;
    for (;;) {
      const size_t found = FindText(text, *delimiter, start);
      if (found == std::string::npos) break;
      parts.push_back(text.substr(start, found - start));
      start = found + delimiter->size();
    }
    parts.push_back(text.substr(start));
  } else {
    parts = SplitLines(text);
  }
  v.SetDims({static_cast<int32_t>(parts.size())});
  for (size_t i = 0; i < parts.size(); ++i) v.SetStrAt(static_cast<int>(i), parts[i]);
}

void SortStr(TCustomParam& v) {
  const int n = v.GetCount();
  std::vector<std::string> items;
  items.reserve(static_cast<size_t>(n));
  for (int i = 0; i < n; ++i) items.push_back(v.GetStrAt(i));
  std::stable_sort(items.begin(), items.end(), [](const std::string& a, const std::string& b) {
    return LocaleCompareText(a, b) < 0;
  });
  for (int i = 0; i < n; ++i) v.SetStrAt(i, items[static_cast<size_t>(i)]);
}

std::string Calc(FunctionCall& call) {
  const std::string text(TrimBlanks(call.Str(0)));
  if (text.empty()) return {};
  TOrinParser parser;
  try {
    TBuildOrinParser compiler;
    compiler.Compile(text);
    MemoryStream record;
    compiler.WriteTo(record);
    record.SetPosition(0);
    parser.LoadFromStream(record);
  } catch (const Error&) {
    return {};
  }
  SystemFunctions& functions = call.Functions;
  // A text that runs itself would recurse until the stack is gone.
  DepthGuard guard(functions.CalcDepth);
  if (!guard.Within(SystemFunctions::kMaxCalcDepth)) throw Error("Calc: nested too deep");
  parser.Execute(call.Vars);
  return "TRUE";
}

}  // namespace

bool CallArrayFunction(FunctionCall& call) {
  switch (call.Code) {
    case 4: {  // GetArraySize
      const TCustomParam& v = call.Variable(0);
      if (call.Has(1))
        call.ResultInt(v.GetDim(v.GetDimCount() - 1 - call.Int(1)));
      else
        call.ResultInt(v.GetCount());
      return true;
    }
    case 21: {  // SetArray
      TCustomParam& v = call.Variable(0);
      std::vector<int32_t> sizes;
      for (size_t i = 1; i < call.Count(); ++i) sizes.push_back(call.Int(i));
      v.SetDims(sizes);
      return true;
    }
    case 22: {  // FillMem
      TCustomParam& v = call.Variable(0);
      switch (v.GetType()) {
        case kTypeInt:
          v.FillInt(call.Int(1));
          break;
        case kTypeFloat:
          v.FillFloat(call.Float(1));
          break;
        case kTypeFlag:
          v.FillFlag(call.Flag(1));
          break;
        default:
          v.FillStr(call.Str(1));
          break;
      }
      return true;
    }
    case 23: {  // CopyMem
      TCustomParam& dst = call.Variable(0);
      TCustomParam* src = ResolveValue(call.Variable(1));
      if (!src) throw Error("CopyMem:変数の型があいません"_sj);
      dst.CopyMem(*src);
      return true;
    }
    case 28: {  // ArrayToString
      const TCustomParam& v = Source(call, 0);
      const std::string delimiter = call.Has(1) ? call.Str(1) : std::string("\r\n");
      std::string out;
      for (int i = 0, n = v.GetCount(); i < n; ++i) {
        if (i) out += delimiter;
        out += v.GetStrAt(i);
      }
      call.ResultStr(out);
      return true;
    }
    case 29: {  // StringToArray
      const std::string text = call.Str(0);
      const std::string delimiter = call.Has(2) ? call.Str(2) : std::string();
      if (TCustomParam* v = WholeVariable(call, 1))
        StringToArray(*v, text, call.Has(2) ? &delimiter : nullptr);
      return true;
    }
    case 30:  // IndexOfStr
      call.ResultInt(
          call.Arg(0).IndexOfStr(call.Str(1), call.Flag(2, true), call.Flag(3, false)));
      return true;
    case 31:  // SortStr
      if (TCustomParam* v = WholeVariable(call, 0)) SortStr(*v);
      return true;
    case 50:  // VarExists
      call.ResultFlag(call.Vars.FindVariable(call.Str(0)) != nullptr);
      return true;
    case 66: {  // AddArray
      TCustomParam* v = WholeVariable(call, 0);
      const TCustomParam& extra = Source(call, 1);
      call.ResultInt(v ? Splice(*v, v->GetCount(), extra) : call.Arg(0).GetCount());
      return true;
    }
    case 67: {  // InsertArray
      TCustomParam* v = WholeVariable(call, 0);
      const int32_t index = call.Int(1);
      const TCustomParam& extra = Source(call, 2);
      if (!v) {
        call.ResultInt(call.Arg(0).GetCount());
        return true;
      }
      call.ResultInt(Splice(*v, std::clamp(index, 0, v->GetCount()), extra));
      return true;
    }
    case 68: {  // DeleteArray
      TCustomParam* v = WholeVariable(call, 0);
      const int32_t index = call.Int(1), count = call.Int(2);
      call.ResultInt(v ? DeleteElements(*v, index, count) : call.Arg(0).GetCount());
      return true;
    }
    case 70: {  // CopyArray
      TCustomParam* v = WholeVariable(call, 0);
      const TCustomParam& source = Source(call, 1);
      if (v && v != &source) v->CopyArrayFrom(source);
      call.ResultFlag(v != nullptr);
      return true;
    }
    case 84: {  // AssignTemp
      const std::string name = call.Str(0);
      const bool found = call.Vars.FindVariable(name) != nullptr;
      if (found) call.Vars.TempName = name;
      call.ResultFlag(found);
      return true;
    }
    case 130:  // GetVarType
      call.ResultInt(call.Arg(0).GetType());
      return true;
    case 136:  // Calc
      call.ResultStr(Calc(call));
      return true;
    default:
      return false;
  }
}

}  // namespace orin
