// Cinemas: the film plays in its own scene at the images' delays and the cinema's speed, ends with
// its label, loops, frees itself, goes blank without hold, and comes back from a save.
#include "scene/objects/orin_cinema.h"

#include <gtest/gtest.h>

#include "core/error.h"
#include "scene/model/orin_base.h"
#include "scene/model/property_table.h"
#include "scene/objects/effects_test_support.h"

namespace orin {
namespace {

using test::EffectScene;
using test::GetInt;
using test::SetFlag;
using test::SetInt;
using test::SetStr;

constexpr int kPropSpeed = 28;
constexpr int kPropHold = 139;
constexpr uint32_t kFrames[3] = {0xFF0000, 0x00FF00, 0x0000FF};

// Three 4 × 4 pictures of 100 ms each: red, green, blue.
std::string Film() {
  TMuraFrameList list;
  for (uint32_t c : kFrames) {
    TMuraFrame& f = list.AddFrame();
    f.Surface.SetSize(4, 4, 32);
    f.Surface.FillRect(f.Surface.ClientRect(), c);
    f.Delay = 100;
  }
  MemoryStream s;
  list.SaveToStream(s, TMuraFrameList::kZlib, 70);
  return std::string(s.View());
}

TOrinCinema& Cinema(EffectScene& s) {
  s.Write("film.mur", Film());
  auto& c = s.Make<TOrinCinema>(kKindCinema, "cine", 10, 10, 4, 4);
  SetStr(c, kPropFile, "film.mur");
  SetStr(c, kPropFinishedLabel, "done");
  return c;
}

std::vector<uint32_t> Shown(EffectScene& s, int frames, int32_t delta) {
  std::vector<uint32_t> out;
  for (int i = 0; i < frames; ++i) {
    s.Frame(delta);
    s.Draw();
    out.push_back(s.Pixel(11, 11));
  }
  return out;
}

TEST(TOrinCinema, PlaysAtTheDelaysAndTheSpeedThenEndsOnce) {
  struct Case {
    int32_t Speed;
    std::vector<uint32_t> Expected;  // every 50 ms
  };
  const uint32_t r = kFrames[0], g = kFrames[1], b = kFrames[2];
  for (const Case& c : {Case{1000, {r, g, g, b, b, b, b}}, Case{2000, {g, b, b, b, b, b, b}},
                        Case{0, {r, r, r, r, r, r, r}}}) {
    EffectScene s;
    TOrinCinema& cine = Cinema(s);
    SetInt(cine, kPropSpeed, c.Speed);
    EXPECT_EQ(Shown(s, 7, 50), c.Expected) << c.Speed;
    const int ends = c.Speed > 0 ? 1 : 0;
    EXPECT_EQ(s.scene.Events().Count(), ends) << c.Speed;
    EXPECT_EQ(cine.Ended(), ends == 1);
  }
}

TEST(TOrinCinema, LoopsFreesItselfOrGoesBlank) {
  {
    EffectScene s;
    TOrinCinema& cine = Cinema(s);
    SetFlag(cine, kPropLoop, true);
    const auto shown = Shown(s, 8, 50);
    EXPECT_EQ(shown[6], kFrames[0]);
    EXPECT_EQ(s.scene.Events().Count(), 0);
  }
  {
    EffectScene s;
    Cinema(s);
    SetFlag(*s.scene.Find("cine"), kPropOneShot, true);
    Shown(s, 8, 50);
    EXPECT_EQ(s.scene.Find("cine"), nullptr);
    EXPECT_EQ(s.scene.Events().Count(), 0);
  }
  {
    EffectScene s;
    TOrinCinema& cine = Cinema(s);
    SetFlag(cine, kPropHold, false);
    const auto shown = Shown(s, 8, 50);
    EXPECT_EQ(shown.back(), 0x404040u);
  }
}

TEST(TOrinCinema, MissingFilesAndOddSizesShowNothing) {
  EffectScene s;
  auto& cine = s.Make<TOrinCinema>(kKindCinema, "cine", 10, 10, -3, 100000);
  SetStr(cine, kPropFile, "nothere.mur");
  Shown(s, 3, 50);
  EXPECT_TRUE(cine.Ended());
  EXPECT_EQ(GetInt(cine, kPropIndex), -1);
  EXPECT_EQ(s.Pixel(11, 11), 0x404040u);
}

TEST(TOrinCinema, SaveRoundTripKeepsTheImageAndTheSettings) {
  EffectScene s;
  TOrinCinema& cine = Cinema(s);
  SetInt(cine, kPropSpeed, 500);
  SetFlag(cine, kPropLoop, true);
  Shown(s, 5, 50);  // 125 ms of film: the second picture
  ASSERT_EQ(GetInt(cine, kPropIndex), 1);
  MemoryStream saved;
  s.scene.Save(saved, kSceneSaveVersion);
  saved.SetPosition(0);
  EffectScene u;
  u.Write("film.mur", Film());
  u.scene.Load(saved, kSceneSaveVersion);
  EXPECT_EQ(saved.Remaining(), 0);
  auto* back = static_cast<TOrinCinema*>(u.scene.Find("cine"));
  ASSERT_NE(back, nullptr);
  EXPECT_EQ(GetInt(*back, kPropIndex), 1);
  EXPECT_EQ(GetInt(*back, kPropSpeed), 500);
  u.Draw();
  EXPECT_EQ(u.Pixel(11, 11), kFrames[1]);
}

}  // namespace
}  // namespace orin
