// ValueBudget: how much memory a script's values may take, so that one command cannot exhaust
// the machine (SetArray(a, 30000, 30000) would ask for 3.6 GB, and s = s ++ s in a loop doubles
// without end). Two limits, both far above what real games use:
//   * one value (its elements, strings counted by their bytes): kMaxValueBytes, 256 MiB;
//   * every variable of one collection together (temporaries of running expressions included):
//     kMaxVariableBytes, 1 GiB.
// A change that would pass a limit throws orin::Error before anything is allocated or changed,
// so the command (or expression) fails and the game goes on. Shrinking never fails.
//
// Each value records its footprint; the collection's budget holds the sum over the values it
// owns. A value outside any collection (a constant, a copied result) is held to the single-value
// limit alone.
#pragma once

#include <cstdint>

namespace orin {

inline constexpr int64_t kMaxValueBytes = int64_t{256} << 20;
inline constexpr int64_t kMaxVariableBytes = int64_t{1} << 30;

class ValueBudget {
 public:
  explicit ValueBudget(int64_t maxValue = kMaxValueBytes, int64_t maxTotal = kMaxVariableBytes)
      : maxValue_(maxValue), maxTotal_(maxTotal) {}
  ValueBudget(const ValueBudget&) = delete;
  ValueBudget& operator=(const ValueBudget&) = delete;

  // Tests make the limits small; games keep the defaults.
  void SetLimits(int64_t maxValue, int64_t maxTotal) {
    maxValue_ = maxValue;
    maxTotal_ = maxTotal;
  }
  int64_t MaxValue() const { return maxValue_; }
  int64_t MaxTotal() const { return maxTotal_; }
  int64_t Used() const { return used_; }

  // A value of this budget goes from oldBytes to newBytes: throws when it grows past either
  // limit, else records the change.
  void Change(int64_t oldBytes, int64_t newBytes);
  // Records without a check (a value joining or leaving the collection).
  void Add(int64_t bytes) { used_ += bytes; }
  void Remove(int64_t bytes) { used_ -= bytes; }

  // Throws the single-value error when newBytes passes maxValue (values without a budget use
  // kMaxValueBytes).
  static void CheckValue(int64_t newBytes, int64_t maxValue = kMaxValueBytes);

 private:
  int64_t maxValue_;
  int64_t maxTotal_;
  int64_t used_ = 0;
};

}  // namespace orin
