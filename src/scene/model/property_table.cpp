#include "scene/model/property_table.h"

#include <array>

#include "core/text.h"
#include "params/custom_param.h"

namespace orin {

using namespace literals;

namespace {

constexpr std::array<uint8_t, kPropertyCount> MakeTypes() {
  std::array<uint8_t, kPropertyCount> t{};
  for (auto& v : t) v = kTypeInt;
  auto str = [&](std::initializer_list<int> numbers) {
    for (int n : numbers) t[n] = kTypeStr;
  };
  auto flag = [&](std::initializer_list<int> numbers) {
    for (int n : numbers) t[n] = kTypeFlag;
  };
  // Names, files and labels.
  str({0, 1, 2, 15, 32, 33, 34, 35, 36, 37, 38, 39, 40, 41, 43, 46, 50});
  str({54, 55, 56, 57, 58, 59, 60, 61, 62, 69, 70});  // list-box skin and scroll-bar files
  str({72, 74, 75, 76, 77, 83, 84, 99, 101, 103, 104, 105, 106, 113, 121, 122, 129, 133});
  str({135, 136, 144, 145, 146, 148, 149, 151});
  flag({25, 27, 29, 47, 71, 73, 81, 86, 87, 88, 98, 100, 111, 112, 126, 134, 138, 139, 147, 150, 152, 158});
  // The particle settings that share one float setter.
  t[95] = t[96] = t[102] = kTypeFloat;
  return t;
}

constexpr std::array<uint8_t, kPropertyCount> kTypes = MakeTypes();

}  // namespace

uint8_t PropertyValueType(int number) {
  if (number < 0 || number >= kPropertyCount) return kTypeStr;
  return kTypes[static_cast<size_t>(number)];
}

bool IsReadOnlyProperty(int number) {
  return number == kPropCaretX || number == kPropCaretY || number == kPropBusy || number == kPropKind ||
         number == kPropRowHeight;
}

const std::string& PropertyMissingMessage() { return "プロパティ指定が不正です"_sj; }
const std::string& SetPropErrorMessage() { return "SetPropエラー"_sj; }
const std::string& GetPropErrorMessage() { return "GetPropエラー"_sj; }

}  // namespace orin
