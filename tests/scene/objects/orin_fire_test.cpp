// Fire: the heat field from the shared generator, its budget, the drawing modes and the save
// record.
#include "scene/objects/orin_fire.h"

#include <gtest/gtest.h>

#include "scene/model/property_table.h"
#include "scene/objects/effects_test_support.h"

namespace orin {
namespace {

using test::EffectScene;
using test::GetInt;
using test::SetInt;

constexpr int kPropHeat = 89;
constexpr int kPropCooling = 90;
constexpr int kPropMode = 91;

std::vector<uint8_t> Field(const TOrinFire& f) {
  std::vector<uint8_t> out;
  for (int32_t y = 0; y < f.FieldHeight(); ++y)
    for (int32_t x = 0; x < f.FieldWidth(); ++x) out.push_back(f.Heat(x, y));
  return out;
}

TEST(TOrinFire, HeatRisesFromTheBottomAndTheSeedFixesIt) {
  auto run = [](uint32_t seed) {
    EffectScene s(seed);
    auto& f = s.Make<TOrinFire>(kKindFire, "fire", 0, 16, 32, 32);
    for (int i = 0; i < 40; ++i) s.Frame(16);
    return Field(f);
  };
  const auto a = run(5), b = run(5), c = run(6);
  EXPECT_EQ(a, b);
  EXPECT_NE(a, c);
  ASSERT_EQ(a.size(), 32u * 32u);
  // Cooling takes heat as it rises: the lower half holds more than the upper, and the top row
  // still has some.
  int lower = 0, upper = 0, top = 0;
  for (size_t i = 0; i < a.size(); ++i) (i < a.size() / 2 ? upper : lower) += a[i];
  for (int x = 0; x < 32; ++x) top += a[static_cast<size_t>(x)];
  EXPECT_GT(lower, upper + 4000);
  EXPECT_GT(top, 0);
}

TEST(TOrinFire, SettingsShapeTheFlames) {
  EffectScene s;
  auto& f = s.Make<TOrinFire>(kKindFire, "fire", 0, 0, 16, 16);
  // Full cooling keeps all heat in the bottom row; no heat keeps the field cold.
  SetInt(f, kPropCooling, 255);
  for (int i = 0; i < 20; ++i) s.Frame(16);
  for (int32_t y = 0; y < 15; ++y)
    for (int32_t x = 0; x < 16; ++x) ASSERT_EQ(f.Heat(x, y), 0) << x << "," << y;
  SetInt(f, kPropCooling, 0);
  SetInt(f, kPropHeat, 0);
  for (int i = 0; i < 40; ++i) s.Frame(16);
  for (uint8_t h : Field(f)) ASSERT_EQ(h, 0);
  SetInt(f, kPropHeat, 999);
  EXPECT_EQ(GetInt(f, kPropHeat), 255);
  // A zoom of 512 takes cells of 2 × 2 pixels.
  SetInt(f, kPropZoomX, 512);
  SetInt(f, kPropZoomY, 512);
  s.Frame(16);
  EXPECT_EQ(f.FieldWidth(), 8);
  EXPECT_EQ(f.FieldHeight(), 8);
}

TEST(TOrinFire, HugeEmptyAndNegativeRectanglesStayWithinTheBudget) {
  struct Case {
    int32_t Width, Height;
  };
  for (const Case c : {Case{100000, 100000}, Case{0, 10}, Case{-20, -20}, Case{5000000, 1}}) {
    EffectScene s;
    auto& f = s.Make<TOrinFire>(kKindFire, "fire", 0, 0, c.Width, c.Height);
    s.Frame(16);
    s.Draw();
    EXPECT_LE(int64_t{f.FieldWidth()} * f.FieldHeight(), TOrinFire::kMaxCells) << c.Width;
    if (c.Width <= 0) {
      EXPECT_EQ(f.FieldWidth(), 0);
    }
  }
}

TEST(TOrinFire, BlendsOrAddsByItsHeat) {
  for (const int mode : {0, 1}) {
    EffectScene s;
    auto& f = s.Make<TOrinFire>(kKindFire, "fire", 0, 0, 64, 48);
    SetInt(f, kPropMode, mode);
    SetInt(f, kPropCooling, 0);
    for (int i = 0; i < 60; ++i) s.Frame(16);
    s.Draw();
    // A hot bottom row: red-yellow over the grey, never darker than it when added.
    int changed = 0;
    for (int x = 0; x < 64; ++x) {
      const uint32_t p = s.Pixel(x, 47);
      if (p != 0x404040u) ++changed;
      if (mode == 1) {
        EXPECT_GE((p >> 16) & 0xFF, 0x40u);
        EXPECT_GE((p >> 8) & 0xFF, 0x40u);
        EXPECT_GE(p & 0xFF, 0x40u);
      }
    }
    EXPECT_GT(changed, 32) << mode;
  }
}

TEST(TOrinFire, SaveRoundTrip) {
  EffectScene s;
  auto& f = s.Make<TOrinFire>(kKindFire, "fire", 4, 5, 20, 10);
  SetInt(f, kPropHeat, 180);
  SetInt(f, kPropCooling, 7);
  SetInt(f, kPropMode, 1);
  SetInt(f, kPropZoomX, 1024);
  s.Frame(16);
  MemoryStream saved;
  s.scene.Save(saved, kSceneSaveVersion);
  saved.SetPosition(0);
  EffectScene u;
  u.scene.Load(saved, kSceneSaveVersion);
  EXPECT_EQ(saved.Remaining(), 0);
  auto* back = static_cast<TOrinFire*>(u.scene.Find("fire"));
  ASSERT_NE(back, nullptr);
  EXPECT_EQ(GetInt(*back, kPropHeat), 180);
  EXPECT_EQ(GetInt(*back, kPropCooling), 7);
  EXPECT_EQ(GetInt(*back, kPropMode), 1);
  EXPECT_EQ(GetInt(*back, kPropZoomX), 1024);
  EXPECT_EQ(back->Left(), 4);
  EXPECT_EQ(back->Width(), 20);
}

}  // namespace
}  // namespace orin
