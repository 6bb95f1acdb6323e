#include "core/text.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace orin {
namespace {

using namespace literals;

TEST(SjLiteral, ConvertsToCp932) {
  EXPECT_EQ("%s:ファイルがありません"_sj, "%s:\x83\x74\x83\x40\x83\x43\x83\x8B\x82\xAA\x82\xA0\x82\xE8\x82\xDC\x82\xB9\x82\xF1");
  EXPECT_EQ("リソースが見つかりません"_sj.size(), 24u);
  EXPECT_EQ("plain"_sj, "plain");
  EXPECT_EQ(""_sj, "");
  // Different literals with the same length stay different objects.
  EXPECT_NE(&"ab"_sj, &"cd"_sj);
}

TEST(Format, Directives) {
  struct Case {
    std::string expected, actual;
  };
  const std::string so = "\x83\x5C";
  const std::vector<Case> cases = {
      {"a:b", Format("%s:%s", "a", std::string("b"))},
      {"[42]", Format("[%d]", 42)},
      {"-7", Format("%d", -7)},
      {"-2147483648", Format("%d", INT32_MIN)},
      {"005", Format("%.3d", 5)},
      {"1234", Format("%.3d", 1234)},
      {"-005", Format("%.3d", -5)},
      {"page007", Format("page%.3d", 7)},
      {"0000BEEF", Format("%08X", 0xBEEF)},
      {"FFFFFFFF", Format("%08X", -1)},
      {"FFFFFFFE", Format("%X", int64_t{-2})},
      {"100000000", Format("%X", int64_t{0x100000000})},
      {"ff", Format("%x", 255)},
      {"4294967295", Format("%u", uint32_t{0xFFFFFFFF})},
      {"4294967295", Format("%u", -1)},
      {"   42", Format("%5d", 42)},
      {"-0042", Format("%05d", -42)},
      {"  abc", Format("%5s", "abc")},
      {"100%", Format("%d%%", 100)},
      {"%", Format("%%")},
      {"1", Format("%d", true)},
      // Double-byte characters pass through whole, including one whose trail byte is "\".
      {so + "3" + so, Format(so + "%d" + so, 3)},
      {"\x83\x74\x83\x40\x83\x43\x83\x8B:x", Format("ファイル:%s"_sj, "x")},
  };
  for (const auto& c : cases) EXPECT_EQ(c.actual, c.expected);
}

TEST(Format, MismatchedOrMissingArgumentsAreWrittenOut) {
  struct Case {
    std::string expected, actual;
  };
  const std::vector<Case> cases = {
      {"%s:x", Format("%s:x")},
      {"%d", Format("%d", "text")},
      {"%s", Format("%s", 5)},
      {"1 %d", Format("%d %d", 1)},
      {"%08X", Format("%08X")},
      {"%q", Format("%q", 1)},
      {"%", Format("%")},
      {"50%", Format("50%")},
      {"%-5d", Format("%-5d", 3)},
  };
  for (const auto& c : cases) EXPECT_EQ(c.actual, c.expected);
}

TEST(Format, HugeWidthDoesNotAllocateWithoutBound) {
  std::string r = Format("%99999999999d", 1);
  EXPECT_LT(r.size(), 100000u);
  EXPECT_LT(Format("%.99999999999d", 1).size(), 100000u);
}

}  // namespace
}  // namespace orin
