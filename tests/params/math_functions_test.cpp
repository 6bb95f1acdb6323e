// Mathematical functions and the run-time random generator.
#include <gtest/gtest.h>

#include "fake_param_host.h"
#include "core/runtime_random.h"

namespace orin {
namespace {

using test::ExpectEvals;
using test::ScriptRuntime;

TEST(MathFunctions, Results) {
  ScriptRuntime rt;
  ExpectEvals(rt, {
                      {"Int(2.9)", "int 2"},
                      {"Int(-2.9)", "int -2"},
                      {"Int(\"3.5\")", "int 3"},
                      {"Float(\"3.5\") * 2", "float 7"},
                      {"Float(7) / 2", "float 3.5"},
                      {"Sin(0)", "float 0"},
                      {"Cos(0)", "float 1"},
                      {"Tan(0)", "float 0"},
                      {"ArcSin(1) * 2 == @Pi", "flag TRUE"},
                      {"ArcCos(1)", "float 0"},
                      {"ArcTan(1) * 4 == @Pi", "flag TRUE"},
                      {"Int(ArcTan2(1, -1) * 1000)", "int 2356"},
                      {"Int(ArcTan2(-1, -1) * 1000)", "int -2356"},
                      {"Hypot(3, 4)", "float 5"},
                      {"Abs(-5)", "int 5"},
                      {"Abs(5)", "int 5"},
                      {"Abs(-5.7)", "int 5"},
                      {"Fabs(-5.5)", "float 5.5"},
                      {"Min(3, -2)", "int -2"},
                      {"Max(3, -2)", "int 3"},
                      {"Fmin(1.5, 2)", "float 1.5"},
                      {"Fmax(1.5, 2)", "float 2"},
                      // Out of the domain, or beyond the float range: an evaluation error.
                      {"ArcSin(2)", "none"},
                      {"ArcCos(-1.5)", "none"},
                      {"Hypot(1.1E4932, 1.1E4932)", "none"},
                  });
}

TEST(RunTimeRandom, SequenceAndRange) {
  RunTimeRandom r(0);
  // s1 = 1, s2 = 134775814, s3 = 134775814 * 134775813 + 1 (mod 2^32)
  EXPECT_EQ(r.Next(100), 0);
  EXPECT_EQ(r.State, 1u);
  EXPECT_EQ(r.Next(100), 3);
  EXPECT_EQ(r.State, 134775814u);
  const uint32_t s3 = 134775814u * 134775813u + 1u;
  EXPECT_EQ(r.Next(1000), static_cast<int32_t>((uint64_t{1000} * s3) >> 32));
  EXPECT_EQ(r.Next(0), 0);
  for (int i = 0; i < 1000; ++i) {
    const int32_t v = r.Next(7);
    ASSERT_GE(v, 0);
    ASSERT_LT(v, 7);
  }
}

TEST(MathFunctions, RandomUsesTheHostsGenerator) {
  ScriptRuntime rt;
  rt.host.random.State = 0;
  ExpectEvals(rt, {{"Random(100)", "int 0"}, {"Random(100)", "int 3"}});
  EXPECT_EQ(rt.host.random.State, 134775814u);
}

}  // namespace
}  // namespace orin
