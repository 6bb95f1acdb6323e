// Waves: the shift of each row over time, the ripple of the picture below and the save record.
#include "scene/objects/orin_wave.h"

#include <gtest/gtest.h>

#include "scene/model/property_table.h"
#include "scene/objects/effects_test_support.h"

namespace orin {
namespace {

using test::EffectScene;
using test::GetInt;
using test::SetInt;

constexpr int kPropAmplitude = 107;
constexpr int kPropWavelength = 108;

TEST(TOrinWave, RowsShiftAlongATravellingSine) {
  EffectScene s;
  auto& w = s.Make<TOrinWave>(kKindWave, "wave", 0, 0, 64, 48);
  SetInt(w, kPropAmplitude, 3);
  SetInt(w, kPropWavelength, 8);
  SetInt(w, kPropInterval, 400);
  struct Case {
    int32_t Row, Shift;
  };
  for (const Case c : {Case{0, 0}, Case{2, 3}, Case{4, 0}, Case{6, -3}, Case{10, 3}}) EXPECT_EQ(w.Shift(c.Row), c.Shift) << c.Row;
  // A quarter period later the crest has moved down by a quarter wavelength.
  s.Frame(100);
  EXPECT_EQ(w.Shift(4), 3);
  EXPECT_EQ(w.Shift(2), 0);
  // Stopped, paused or without a period the wave stands.
  SetInt(w, kPropInterval, 0);
  s.Frame(100);
  EXPECT_EQ(w.Shift(2), 3);
  SetInt(w, kPropWavelength, -5);
  EXPECT_EQ(GetInt(w, kPropWavelength), 1);
  SetInt(w, kPropAmplitude, 1 << 30);
  EXPECT_EQ(GetInt(w, kPropAmplitude), 1024);
}

TEST(TOrinWave, RipplesThePictureBelow) {
  EffectScene s;
  // A vertical edge at x = 32: black left, white right.
  s.Make<TOrinControl>(kKindBox, "white", 32, 0, 32, 48).SetColor(0xFFFFFF);
  s.Make<TOrinControl>(kKindBox, "black", 0, 0, 32, 48).SetColor(0);
  auto& w = s.Make<TOrinWave>(kKindWave, "wave", 8, 0, 48, 48);
  w.SetDepth(10);
  SetInt(w, kPropAmplitude, 2);
  SetInt(w, kPropWavelength, 8);
  SetInt(w, kPropInterval, 0);
  s.Frame(16);
  s.Draw();
  // Row 2 moves right by 2: the edge lies at 34; row 6 moves left: at 30; row 0 stays.
  EXPECT_EQ(s.Pixel(33, 2), 0u);
  EXPECT_EQ(s.Pixel(34, 2), 0xFFFFFFu);
  EXPECT_EQ(s.Pixel(29, 6), 0u);
  EXPECT_EQ(s.Pixel(30, 6), 0xFFFFFFu);
  EXPECT_EQ(s.Pixel(31, 0), 0u);
  EXPECT_EQ(s.Pixel(32, 0), 0xFFFFFFu);
  // Outside the wave nothing moves.
  EXPECT_EQ(s.Pixel(4, 2), 0u);
}

TEST(TOrinWave, SaveRoundTrip) {
  EffectScene s;
  auto& w = s.Make<TOrinWave>(kKindWave, "wave", 1, 2, 30, 40);
  SetInt(w, kPropAmplitude, -5);
  SetInt(w, kPropWavelength, 17);
  SetInt(w, kPropInterval, 300);
  s.Frame(250);
  MemoryStream saved;
  s.scene.Save(saved, kSceneSaveVersion);
  saved.SetPosition(0);
  EffectScene u;
  u.scene.Load(saved, kSceneSaveVersion);
  EXPECT_EQ(saved.Remaining(), 0);
  auto* back = static_cast<TOrinWave*>(u.scene.Find("wave"));
  ASSERT_NE(back, nullptr);
  EXPECT_EQ(GetInt(*back, kPropAmplitude), -5);
  EXPECT_EQ(GetInt(*back, kPropWavelength), 17);
  EXPECT_EQ(GetInt(*back, kPropInterval), 300);
  for (int32_t row = 0; row < 40; ++row) EXPECT_EQ(back->Shift(row), w.Shift(row)) << row;
}

}  // namespace
}  // namespace orin
