#include "core/cp932.h"

#include <gtest/gtest.h>

#include "core/text.h"

namespace orin {
namespace {

using namespace literals;

TEST(Cp932, LiteralConvertsOnce) {
  const std::string& a = "ファイル"_sj;
  EXPECT_EQ(a, "\x83\x74\x83\x40\x83\x43\x83\x8B");
  EXPECT_EQ(&a, &"ファイル"_sj);
}

}  // namespace
}  // namespace orin
