#include "script/property_order.h"

#include <cstddef>

namespace orin {

namespace {

constexpr std::array<uint8_t, 162> MakeOrder() {
  std::array<uint8_t, 162> order{};
  std::size_t n = 0;
  auto one = [&](int p) { order[n++] = static_cast<uint8_t>(p); };
  auto range = [&](int first, int last) {
    for (int p = first; p <= last; ++p) one(p);
  };
  for (int p : {0, 1, 2, 7, 132, 100, 5, 6, 3, 4, 8, 157}) one(p);
  range(9, 14);
  one(159);
  one(160);
  range(15, 24);
  range(153, 156);
  range(25, 79);
  one(161);
  range(80, 99);
  range(101, 131);
  range(133, 152);
  one(158);
  return order;
}

}  // namespace

const std::array<uint8_t, 162> kPropertyApplyOrder = MakeOrder();

bool AppliedAtCreation(int property) {
  switch (property) {
    case 78:
    case 79:
    case 92:
    case 93:
    case 138:
    case 140:
    case 159:
    case 160:
    case 161:
      return false;
    default:
      return property >= 0 && property < 162;
  }
}

int32_t CreationIntDefault(int property) {
  switch (property) {
    case 7:
    case 82:
    case 132:
      return 256;
    case 8:
    case 10:
    case 24:
      return -1;
    case 11:
      return 255;
    case 16:
      return 16;
    case 28:
      return 1000;
    case 48:
    case 49:
    case 107:
    case 127:
    case 128:
    case 130:
    case 131:
      return 1;
    case 108:
      return 100;
    default:
      return 0;
  }
}

bool CreationFlagDefault(int property) { return property == 47 || property == 150; }

}  // namespace orin
