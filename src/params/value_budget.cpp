#include "params/value_budget.h"

#include "core/error.h"
#include "core/text.h"

namespace orin {

void ValueBudget::CheckValue(int64_t newBytes, int64_t maxValue) {
  if (newBytes > maxValue)
    throw Error(Format("value too large: it would take %d bytes, a value may take at most %d",
                       newBytes, maxValue));
}

void ValueBudget::Change(int64_t oldBytes, int64_t newBytes) {
  if (newBytes > oldBytes) {
    CheckValue(newBytes, maxValue_);
    if (used_ - oldBytes + newBytes > maxTotal_)
      throw Error(Format("out of variable memory: the variables would take %d bytes, at most %d",
                         used_ - oldBytes + newBytes, maxTotal_));
  }
  used_ += newBytes - oldBytes;
}

}  // namespace orin
