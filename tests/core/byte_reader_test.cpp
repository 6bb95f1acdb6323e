#include "core/byte_reader.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <limits>
#include <string>
#include <vector>

#include "core/error.h"

namespace orin {
namespace {

std::vector<uint8_t> Bytes(std::initializer_list<int> v) {
  std::vector<uint8_t> r;
  for (int b : v) r.push_back(static_cast<uint8_t>(b));
  return r;
}

std::string MessageOf(auto&& f) {
  try {
    f();
  } catch (const Error& e) {
    return e.Message();
  }
  return "(no error)";
}

TEST(ByteReader, ReadsLittleEndianFieldsAndStrings) {
  const auto b = Bytes({0x01, 0x34, 0x12, 0x78, 0x56, 0x34, 0x12, 0xFE, 0xFF, 0xFF, 0xFF,  //
                        3, 0, 0, 0, 'a', 'b', 'c', 0xFF, 0xFF, 0xFF, 0xFF, 9});
  ByteReader r(b, "test");
  EXPECT_EQ(r.U8("a"), 1);
  EXPECT_EQ(r.U16("b"), 0x1234);
  EXPECT_EQ(r.U32("c"), 0x12345678u);
  EXPECT_EQ(r.I32("d"), -2);
  EXPECT_EQ(r.String("e"), "abc");
  EXPECT_EQ(r.String("f"), "");  // a negative length is an empty string and takes no bytes
  EXPECT_EQ(r.U8("g"), 9);
  EXPECT_TRUE(r.AtEnd());
}

TEST(ByteReader, ShortReadsNameTheLabelAndTheField) {
  const auto b = Bytes({5, 0, 0, 0, 'x', 1, 2});
  struct Case {
    const char* name;
    std::function<void(ByteReader&)> read;
    std::string message;
  };
  const std::vector<Case> cases = {
      {"string longer than the data", [](ByteReader& r) { r.String("command 12's expression"); },
       "page: command 12's expression: length runs past the end"},
      {"int64 past the end", [](ByteReader& r) { r.I64("a value"); }, "page: a value: length runs past the end"},
      {"skip past the end", [](ByteReader& r) { r.Skip(8, "the trailer"); }, "page: the trailer: length runs past the end"},
      {"seek past the end", [](ByteReader& r) { r.Seek(8, "the table"); }, "page: the table: position lies beyond the end"},
  };
  for (const Case& c : cases) {
    ByteReader r(b, "page");
    EXPECT_EQ(MessageOf([&] { c.read(r); }), c.message) << c.name;
  }
}

TEST(ByteReader, CountsAreCheckedWithoutOverflow) {
  const std::vector<uint8_t> b(16);
  ByteReader r(b, "save");
  EXPECT_EQ(r.Count(4, 4, "items"), 4u);
  EXPECT_EQ(r.Count(0, 4, "items"), 0u);
  EXPECT_EQ(MessageOf([&] { r.Count(5, 4, "items"); }), "save: items: count runs past the end");
  EXPECT_EQ(MessageOf([&] { r.Count(-1, 4, "items"); }), "save: items: negative count");
  // A product that would wrap around in 64 bits still fails.
  EXPECT_EQ(MessageOf([&] { r.Count(std::numeric_limits<int64_t>::max(), uint64_t{1} << 62, "items"); }),
            "save: items: count runs past the end");
  EXPECT_EQ(MessageOf([&] { r.Skip(std::numeric_limits<uint64_t>::max(), "bytes"); }),
            "save: bytes: length runs past the end");
}

TEST(ByteReader, EmptyLabelLeavesOnlyTheField) {
  ByteReader r(nullptr, 0, "");
  EXPECT_EQ(MessageOf([&] { r.U8("the kind"); }), "the kind: length runs past the end");
  r.SetLabel("x");
  EXPECT_EQ(MessageOf([&] { r.ReadCount(1, "names"); }), "x: names: length runs past the end");
}

}  // namespace
}  // namespace orin
