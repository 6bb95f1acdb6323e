// The order in which a new scene object receives the property expressions of its creating
// command, and the values a property takes when its expression yields none.
//
// Name first, parent second, file third; then zoom, the scale-position flag, size and position;
// the rest in ranges. Properties 78, 79, 92, 93, 138, 140, 159, 160 and 161 are in the order but
// are read, not applied, when an object is created.
#pragma once

#include <array>
#include <cstdint>

namespace orin {

// Every property 0-161 exactly once.
extern const std::array<uint8_t, 162> kPropertyApplyOrder;

// False for the properties a new object does not receive.
bool AppliedAtCreation(int property);

// The value a property gets when its expression is present but yields no value, read as the
// property's type: integer properties take CreationIntDefault (256 for 7, 82 and 132, -1 for 8,
// 10 and 24, 255 for 11, 16 for 16, 1000 for 28, 1 for 48, 49, 107, 127, 128, 130 and 131, 100
// for 108, else 0), flag properties CreationFlagDefault (true for 47 and 150), floats 0 and
// strings empty.
int32_t CreationIntDefault(int property);
bool CreationFlagDefault(int property);

}  // namespace orin
