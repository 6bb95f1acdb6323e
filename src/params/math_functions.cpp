// Mathematical functions: Not, Random, the integer and float conversions, trigonometry, absolute
// values, minimum and maximum.
//
// Float functions compute in extended precision. A result that is not a number, or infinite, from
// finite arguments (ArcSin(2), an overflowing Hypot) is an evaluation error, as the floating-point
// unit's exception was for the scripts these functions were written for.
#include <cmath>

#include "core/error.h"
#include "core/text.h"
#include "params/function_call.h"
#include "params/param_host.h"
#include "params/param_text.h"

namespace orin {

namespace {

long double Checked(const FunctionCall& call, long double result) {
  if (std::isfinite(result)) return result;
  for (size_t i = 0; i < call.Count(); ++i)
    if (!std::isfinite(call.Float(i))) return result;
  throw Error(Format("%s: invalid floating-point operation", call.Name()));
}

}  // namespace

bool CallMathFunction(FunctionCall& call) {
  switch (call.Code) {
    case 20:  // Not
      call.ResultFlag(!call.Flag(0));
      return true;
    case 26:  // Random
      call.ResultInt(call.Host.Random.Next(call.Int(0)));
      return true;
    case 37:  // Int
      call.ResultInt(TruncToInt(call.Float(0)));
      return true;
    case 38:  // Float
      call.ResultFloat(call.Float(0));
      return true;
    case 39:  // Sin
      call.ResultFloat(Checked(call, std::sin(call.Float(0))));
      return true;
    case 40:  // Cos
      call.ResultFloat(Checked(call, std::cos(call.Float(0))));
      return true;
    case 41:  // Tan
      call.ResultFloat(Checked(call, std::tan(call.Float(0))));
      return true;
    case 42:  // ArcSin
      call.ResultFloat(Checked(call, std::asin(call.Float(0))));
      return true;
    case 43:  // ArcCos
      call.ResultFloat(Checked(call, std::acos(call.Float(0))));
      return true;
    case 44:  // ArcTan
      call.ResultFloat(Checked(call, std::atan(call.Float(0))));
      return true;
    case 45:  // ArcTan2
      call.ResultFloat(Checked(call, std::atan2(call.Float(0), call.Float(1))));
      return true;
    case 46:  // Hypot
      call.ResultFloat(Checked(call, std::hypot(call.Float(0), call.Float(1))));
      return true;
    case 48: {  // Abs
      const int32_t v = call.Int(0);
      // The most negative integer has no positive form and stays as it is.
      call.ResultInt(v < 0 ? static_cast<int32_t>(0u - static_cast<uint32_t>(v)) : v);
      return true;
    }
    case 49:  // Fabs
      call.ResultFloat(std::fabs(call.Float(0)));
      return true;
    case 126: {  // Min
      const int32_t a = call.Int(0), b = call.Int(1);
      call.ResultInt(a < b ? a : b);
      return true;
    }
    case 127: {  // Max
      const int32_t a = call.Int(0), b = call.Int(1);
      call.ResultInt(a > b ? a : b);
      return true;
    }
    case 128: {  // Fmin
      const long double a = call.Float(0), b = call.Float(1);
      call.ResultFloat(a < b ? a : b);
      return true;
    }
    case 129: {  // Fmax
      const long double a = call.Float(0), b = call.Float(1);
      call.ResultFloat(a > b ? a : b);
      return true;
    }
    default:
      return false;
  }
}

}  // namespace orin
