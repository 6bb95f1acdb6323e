// Particle emitters: births from the shared generator, the per-particle expressions, the bounds
// on counts, drawing through the surfaces' kernels and the save record.
#include "scene/objects/orin_particle.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "core/error.h"
#include "scene/model/property_table.h"
#include "scene/objects/effects_test_support.h"

namespace orin {
namespace {

using test::EffectScene;
using test::Expression;
using test::GetInt;
using test::SetInt;
using test::SetStr;

constexpr int kPropRate = 94;
constexpr int kPropAccelY = 96;
constexpr int kPropFade = 102;

void SetFloat(TOrinObject& o, int number, long double v) {
  TParamFloat p;
  p.SetAsFloat(v);
  o.SetProp(number, p);
}

TOrinParticle& Snow(EffectScene& s, int32_t rate, int32_t width = 64, int32_t height = 48) {
  s.Write("flake.mur", test::SolidMur(2, 2, 0xFFFFFF, 200));
  auto& p = s.Make<TOrinParticle>(kKindParticle, "snow", 0, 0, width, height);
  SetStr(p, kPropFile, "flake.mur");
  SetInt(p, kPropRate, rate);
  return p;
}

TEST(TOrinParticle, TheSameSeedGivesTheSamePictureAndAnotherSeedAnother) {
  auto run = [](uint32_t seed) {
    EffectScene s(seed);
    TOrinParticle& p = Snow(s, 200);
    p.SetSpeedYExpression(*Expression("Random(40) + 10"));
    for (int i = 0; i < 20; ++i) s.Frame(16);
    s.Draw();
    return s.Pixels();
  };
  const auto a = run(7), b = run(7), c = run(8);
  EXPECT_EQ(a, b);
  EXPECT_NE(a, c);
  EXPECT_NE(std::count(a.begin(), a.end(), 0x404040u), static_cast<ptrdiff_t>(a.size()));
}

TEST(TOrinParticle, BirthsFollowTheRateAndStayBounded) {
  struct Case {
    int32_t Rate;
    int Frames;
    size_t Expected;
  };
  // 100 per second over 10 frames of 16 ms: 16 born; the huge rates stop at the step's and the
  // emitter's limits; a negative rate bears nothing.
  for (const Case c : {Case{100, 10, 16}, Case{1000000, 1, TOrinParticle::kMaxBirthsPerStep},
                       Case{1000000, 8, TOrinParticle::kMaxParticles}, Case{-5, 10, 0}}) {
    EffectScene s;
    TOrinParticle& p = Snow(s, c.Rate);
    for (int i = 0; i < c.Frames; ++i) s.Frame(16);
    EXPECT_EQ(p.Particles().size(), c.Expected) << c.Rate << " " << c.Frames;
  }
}

TEST(TOrinParticle, ExpressionsAreEvaluatedForEveryParticle) {
  EffectScene s;
  TOrinParticle& p = Snow(s, 1000);
  p.SetSpeedXExpression(*Expression("Random(1000)"));
  p.SetSpeedYExpression(*Expression("25"));
  p.SetLifeExpression(*Expression("Random(500) + 500"));
  s.Frame(16);
  ASSERT_EQ(p.Particles().size(), 16u);
  std::set<float> speeds;
  std::set<int32_t> lives;
  for (const auto& q : p.Particles()) {
    speeds.insert(q.Vx);
    lives.insert(q.Life);
    EXPECT_EQ(q.Vy, 25.0f);
    EXPECT_GE(q.Life, 500);
    EXPECT_LT(q.Life, 1000);
  }
  EXPECT_GT(speeds.size(), 8u);
  EXPECT_GT(lives.size(), 8u);
}

TEST(TOrinParticle, FailingExpressionsFallBackToThePlainValues) {
  EffectScene s;
  TOrinParticle& p = Snow(s, 1000);
  SetInt(p, kPropInterval, 300);
  p.SetSpeedXExpression(*Expression("1 / 0"));
  p.SetSpeedYExpression(*Expression("nosuchvariable + 1"));
  p.SetLifeExpression(*Expression("Random(0) / 0"));
  s.Frame(16);
  ASSERT_FALSE(p.Particles().empty());
  for (const auto& q : p.Particles()) {
    EXPECT_EQ(q.Vx, 0.0f);
    EXPECT_EQ(q.Vy, 0.0f);
    EXPECT_EQ(q.Life, 300);
  }
}

TEST(TOrinParticle, ParticlesDieWhenTheirLifeEndsOrTheyLeaveTheRectangle) {
  EffectScene s;
  TOrinParticle& p = Snow(s, 1000, 20, 20);
  SetInt(p, kPropInterval, 100);
  s.Frame(16);
  SetInt(p, kPropRate, 0);
  const size_t born = p.Particles().size();
  ASSERT_GT(born, 0u);
  for (int i = 0; i < 6; ++i) s.Frame(16);
  EXPECT_EQ(p.Particles().size(), born);
  s.Frame(16);
  EXPECT_TRUE(p.Particles().empty());

  // No lifetime: a fast fall carries them out of the 20-pixel rectangle (plus the picture).
  SetInt(p, kPropInterval, 0);
  SetInt(p, kPropRate, 1000);
  p.SetSpeedYExpression(*Expression("1000"));
  s.Frame(16);
  SetInt(p, kPropRate, 0);
  ASSERT_FALSE(p.Particles().empty());
  for (int i = 0; i < 3; ++i) s.Frame(16);
  EXPECT_TRUE(p.Particles().empty());
}

TEST(TOrinParticle, EmptyAndNegativeRectanglesAreHarmless) {
  for (const int32_t size : {0, -50}) {
    EffectScene s;
    TOrinParticle& p = Snow(s, 1000, size, size);
    SetFloat(p, kPropAccelY, 1e30L);
    for (int i = 0; i < 5; ++i) s.Frame(16);
    s.Draw();
    for (const auto& q : p.Particles()) EXPECT_LE(std::abs(q.Vy), 1.0e6f);
  }
}

// One particle of a 1 × 1 picture (0x80C0FF) on a 1 × 1 emitter over 0x404040 lands on the
// emitter's pixel only.
TEST(TOrinParticle, DrawsBlendedAdditiveAndFadedThroughTheKernels) {
  struct Case {
    int32_t Alpha;
    int PictureAlpha;  // −1: no plane
    long double Fade;
    int Weight;  // the blend's weight; −1 a copy
    int Level;   // additive level when not negative
  };
  const Case cases[] = {
      {255, -1, 0, -1, -1},
      {128, -1, 0, 128, -1},
      {256 + 128, -1, 0, 0, 128},
      {255, 128, 0, 128, -1},  // the plane alone weighs
      {255, -1, 32, 127, -1},  // 16 ms into a 32 ms fade: half of 255
      {256 + 200, -1, 32, 0, 100},
  };
  for (const Case& c : cases) {
    EffectScene s;
    s.Write("dot.mur", test::SolidMur(1, 1, 0x80C0FF, c.PictureAlpha));
    auto& p = s.Make<TOrinParticle>(kKindParticle, "dot", 10, 10, 1, 1);
    SetStr(p, kPropFile, "dot.mur");
    SetInt(p, kPropAlpha, c.Alpha);
    SetFloat(p, kPropFade, c.Fade);
    SetInt(p, kPropRate, 1000);
    s.Frame(1);
    SetInt(p, kPropRate, 0);
    if (c.Fade > 0) s.Frame(16);
    ASSERT_EQ(p.Particles().size(), 1u);
    s.Draw();
    uint32_t expected = 0x80C0FF;
    for (int shift : {0, 8, 16}) {
      const uint32_t d = 0x40, src = (0x80C0FFu >> shift) & 0xFF;
      uint32_t v = src;
      if (c.Level >= 0)
        v = std::min<uint32_t>(255, d + ((src * static_cast<uint32_t>(c.Level)) >> 8));
      else if (c.Weight >= 0)
        v = (d * (255 - static_cast<uint32_t>(c.Weight)) + src * static_cast<uint32_t>(c.Weight)) >> 8;
      expected = (expected & ~(0xFFu << shift)) | v << shift;
    }
    EXPECT_EQ(s.Pixel(10, 10), expected) << c.Alpha << " " << c.PictureAlpha << " " << static_cast<double>(c.Fade);
    EXPECT_EQ(s.Pixel(11, 10), 0x404040u);
  }
}

TEST(TOrinParticle, SaveRoundTripKeepsParticlesAndExpressions) {
  EffectScene s(99);
  TOrinParticle& p = Snow(s, 300);
  SetInt(p, kPropAlpha, 300);
  SetFloat(p, kPropAccelY, 20);
  SetFloat(p, kPropFade, 100);
  p.SetSpeedYExpression(*Expression("Random(30) + 5"));
  for (int i = 0; i < 10; ++i) s.Frame(16);
  MemoryStream saved;
  s.scene.Save(saved, kSceneSaveVersion);
  saved.SetPosition(0);

  EffectScene u(99);
  u.Write("flake.mur", test::SolidMur(2, 2, 0xFFFFFF, 200));
  u.scene.Load(saved, kSceneSaveVersion);
  EXPECT_EQ(saved.Remaining(), 0);
  auto* back = static_cast<TOrinParticle*>(u.scene.Find("snow"));
  ASSERT_NE(back, nullptr);
  ASSERT_EQ(back->Particles().size(), p.Particles().size());
  for (size_t i = 0; i < p.Particles().size(); ++i) {
    EXPECT_EQ(back->Particles()[i].X, p.Particles()[i].X);
    EXPECT_EQ(back->Particles()[i].Vy, p.Particles()[i].Vy);
    EXPECT_EQ(back->Particles()[i].Age, p.Particles()[i].Age);
  }
  EXPECT_EQ(GetInt(*back, kPropAlpha), 300);
  EXPECT_EQ(GetInt(*back, kPropRate), 300);
  // With the generators in step, both go on alike, the expressions included.
  u.vars.Host().Random.State = s.vars.Host().Random.State;
  for (int i = 0; i < 5; ++i) {
    s.Frame(16);
    u.Frame(16);
  }
  s.Draw();
  u.Draw();
  EXPECT_EQ(s.Pixels(), u.Pixels());
}

TEST(TOrinParticle, DamagedRecordsFailCleanly) {
  EffectScene s;
  TOrinParticle& p = Snow(s, 1000);
  s.Frame(16);
  MemoryStream saved;
  p.Save(saved, kSceneSaveVersion);
  const std::string bytes(saved.View());
  // Truncated inside the particles, and a particle count far beyond the limit.
  for (const size_t cut : {bytes.size() - 3, bytes.size() / 2}) {
    MemoryStream in;
    in.WriteBuffer(bytes.data(), static_cast<int64_t>(cut));
    in.SetPosition(0);
    EffectScene u;
    TOrinParticle q(&u.scene, SceneServices{.Text = &u.text});
    EXPECT_THROW(q.Load(in, kSceneSaveVersion), Error) << cut;
  }
  std::string huge = bytes;
  const size_t countAt = bytes.size() - p.Particles().size() * 28 - 4;
  huge[countAt] = '\xFF';
  huge[countAt + 1] = '\xFF';
  huge[countAt + 2] = '\xFF';
  huge[countAt + 3] = '\x7F';
  MemoryStream in;
  in.WriteBuffer(huge.data(), static_cast<int64_t>(huge.size()));
  in.SetPosition(0);
  TOrinParticle q(&s.scene, SceneServices{.Text = &s.text});
  EXPECT_THROW(q.Load(in, kSceneSaveVersion), Error);
}

}  // namespace
}  // namespace orin
