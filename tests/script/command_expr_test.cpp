// CommandExpr: records kept byte for byte, checked exactly as TOrinParser reads them, and run
// on first use.
#include <gtest/gtest.h>

#include <random>

#include "core/error.h"
#include "core/text.h"
#include "params/build_orin_parser.h"
#include "params/param_collection.h"
#include "resources/stream.h"
#include "script/command_expr.h"

namespace orin {
namespace {

std::string Compiled(std::string_view text) {
  TBuildOrinParser compiler;
  compiler.Compile(text);
  MemoryStream s;
  compiler.WriteTo(s);
  return std::string(s.View());
}

// A stream that is not a MemoryStream, so the reader takes its general path.
class PlainStream : public Stream {
 public:
  explicit PlainStream(std::string bytes) { m_.Assign(bytes); }
  int64_t Read(void* b, int64_t n) override { return m_.Read(b, n); }
  int64_t Write(const void* b, int64_t n) override { return m_.Write(b, n); }
  int64_t Seek(int64_t o, int origin) override { return m_.Seek(o, origin); }

 private:
  MemoryStream m_;
};

TEST(CommandExpr, ReadsOneRecordFromAnyStreamAndRunsIt) {
  const std::string record = Compiled("1 + 2 * 3");
  for (bool memory : {true, false}) {
    std::string bytes = record + "next";
    MemoryStream m;
    m.Assign(bytes);
    PlainStream p(bytes);
    Stream& s = memory ? static_cast<Stream&>(m) : p;
    CommandExpr e;
    e.ReadFrom(s);
    EXPECT_EQ(e.Record(), record);
    EXPECT_EQ(s.GetPosition(), static_cast<int64_t>(record.size()));
    TParamCollection vars;
    EXPECT_EQ(e.GetInt(vars), 7);
    EXPECT_EQ(e.GetStr(vars), "7");
  }
}

TEST(CommandExpr, EmptyAndValuelessExpressionsAnswerTheDefault) {
  TParamCollection vars;
  CommandExpr empty;
  EXPECT_TRUE(empty.Empty());
  EXPECT_EQ(empty.Record(), std::string(4, '\0'));
  EXPECT_EQ(empty.GetInt(vars, 256), 256);
  CommandExpr assignment;
  assignment.Compile("x = 5");  // an assignment has no value
  EXPECT_FALSE(assignment.Empty());
  EXPECT_FALSE(assignment.GetFlag(vars, true) == false);
  CommandExpr flag;
  flag.Compile("2 > 1");
  EXPECT_TRUE(flag.GetFlag(vars));
  CommandExpr copy = flag;
  EXPECT_EQ(copy.Record(), flag.Record());
  EXPECT_TRUE(copy.GetFlag(vars));
}

TEST(CommandExpr, CompileErrorsLeaveTheExpressionAsItWas) {
  CommandExpr e;
  e.Compile("3");
  EXPECT_THROW(e.Compile("1 +"), Error);
  EXPECT_THROW(e.Compile("NoSuchFunction(1)"), Error);
  TParamCollection vars;
  EXPECT_EQ(e.GetInt(vars), 3);
  EXPECT_THROW(e.SetRecord(Compiled("4") + "x"), Error) << "bytes after the record";
}

// The record check must accept exactly what TOrinParser accepts, so that a page that loads
// never holds an expression that fails later.
TEST(CommandExpr, AcceptsExactlyWhatTheParserAccepts) {
  const std::string base = Compiled("f = Length(\"abc\") + a[1, 2] * 2.5 ++ TRUE");
  std::mt19937 rng(5);
  for (int round = 0; round < 4000; ++round) {
    std::string bytes = base;
    int edits = 1 + static_cast<int>(rng() % 3);
    for (int k = 0; k < edits; ++k) {
      size_t at = rng() % bytes.size();
      switch (rng() % 3) {
        case 0: bytes[at] = static_cast<char>(rng()); break;
        case 1: bytes.resize(at); break;
        default: bytes[at] = static_cast<char>(bytes[at] ^ 0x80); break;
      }
      if (bytes.empty()) break;
    }
    bool parserOk = true;
    int64_t parserEnd = 0;
    try {
      MemoryStream s;
      s.Assign(bytes);
      TOrinParser parser;
      parser.LoadFromStream(s);
      parserEnd = s.GetPosition();
    } catch (const Error&) {
      parserOk = false;
    }
    bool ok = true;
    size_t size = 0;
    try {
      size = ExpressionRecordSize(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
    } catch (const Error&) {
      ok = false;
    }
    ASSERT_EQ(ok, parserOk) << "round " << round;
    if (ok) {
      ASSERT_EQ(static_cast<int64_t>(size), parserEnd) << "round " << round;
    }
  }
}

}  // namespace
}  // namespace orin
