#include "imaging/wipes/wipe_table.h"

#include "imaging/wipes/distort_wipes.h"
#include "imaging/wipes/light_wipes.h"
#include "imaging/wipes/mask_wipes.h"
#include "imaging/wipes/mosaic_wipe.h"
#include "imaging/wipes/plain_wipes.h"
#include "imaging/wipes/slide_wipes.h"
#include "imaging/wipes/sweep_wipes.h"
#include "imaging/wipes/zoom_wipes.h"

namespace orin {

namespace {

// Default parameters (p0, p1) of kinds 1-38.
constexpr int32_t kDefaults[WipeTable::kKinds][2] = {
    {0, 0},   {20, 1}, {20, 1}, {30, 1}, {30, 1}, {0, 0}, {0, 0},  {80, 30}, {80, 30}, {80, 30},
    {0, 0},   {0, 0},  {0, 0},  {0, 0},  {0, 0},  {0, 0}, {0, 0},  {0, 0},   {0, 0},   {0, 0},
    {0, 0},   {0, 0},  {0, 0},  {5, 0},  {0, 0},  {0, 0}, {0, 0},  {0, 0},   {64, 3},  {0, 0},
    {0, 0},   {0, 0},  {0, 0},  {0, 0},  {0, 0},  {0, 0}, {60, 0}, {60, 0},
};

template <class T, class... Args>
WipeTable::Maker MakerOf(Args... args) {
  return [=] { return std::make_unique<T>(args...); };
}

}  // namespace

WipeTable WipeTable::Standard() {
  WipeTable table;
  for (int k = 1; k <= kKinds; ++k) {
    table.kinds_[static_cast<size_t>(k)].Param0 = kDefaults[k - 1][0];
    table.kinds_[static_cast<size_t>(k)].Param1 = kDefaults[k - 1][1];
  }
  table.Set(1, MakerOf<TWipeFade>());
  table.Set(12, MakerOf<TWipeWhite>(false));
  table.Set(13, MakerOf<TWipeWhite>(true));
  table.Set(14, MakerOf<TWipeFlash>());
  // The mask kinds and the mosaic.
  table.Set(2, MakerOf<TWipeBlindH>());
  table.Set(3, MakerOf<TWipeBlindV>());
  table.Set(4, MakerOf<TWipeCurtainH>());
  table.Set(5, MakerOf<TWipeCurtainV>());
  table.Set(8, MakerOf<TWipeGrid>());
  table.Set(9, MakerOf<TWipeGridH>());
  table.Set(10, MakerOf<TWipeGridV>());
  table.Set(11, MakerOf<TWipeDither>());
  table.Set(15, MakerOf<TWipeMosaic>());
  table.Set(19, MakerOf<TWipeShadow>());
  table.Set(31, MakerOf<TWipeClockhand>());
  table.Set(34, MakerOf<TWipeFan>());
  table.Set(35, MakerOf<TWipeWFan>());
  table.Set(36, MakerOf<TWipeCircle>());
  table.Set(37, MakerOf<TWipeBlockCoil>());
  table.Set(38, MakerOf<TWipeBlockRandom>());
  // The kinds that draw their own geometry.
  table.Set(6, MakerOf<TWipeScrollH>());
  table.Set(7, MakerOf<TWipeScrollV>());
  table.Set(16, MakerOf<TWipeSudareH>());
  table.Set(17, MakerOf<TWipeSudareV>());
  table.Set(18, MakerOf<TWipeSpot>());
  table.Set(20, MakerOf<TWipeShadowWhite>());
  table.Set(21, MakerOf<TWipeShadowBlack>());
  table.Set(22, MakerOf<TWipeSmall>());
  table.Set(23, MakerOf<TWipeBig>());
  table.Set(24, MakerOf<TWipeRipple>());
  table.Set(25, MakerOf<TWipeBlurWhite>());
  table.Set(26, MakerOf<TWipeBlurBlack>());
  table.Set(27, MakerOf<TWipeTwistH>());
  table.Set(28, MakerOf<TWipeTwistV>());
  table.Set(29, MakerOf<TWipeCrack>());
  table.Set(30, MakerOf<TWipeZoomin>());
  table.Set(32, MakerOf<TWipeRubberH>());
  table.Set(33, MakerOf<TWipeRubberV>());
  return table;
}

void WipeTable::Set(int kind, Maker maker) {
  if (kind >= 1 && kind <= kKinds) kinds_[static_cast<size_t>(kind)].Make = std::move(maker);
}

void WipeTable::SetDefaults(int kind, int32_t param0, int32_t param1) {
  if (kind < 1 || kind > kKinds) return;
  kinds_[static_cast<size_t>(kind)].Param0 = param0;
  kinds_[static_cast<size_t>(kind)].Param1 = param1;
}

bool WipeTable::Has(int kind) const { return kind >= 1 && kind <= kKinds && kinds_[static_cast<size_t>(kind)].Make; }

std::unique_ptr<TCustomWipe> WipeTable::Make(int kind) const {
  if (!Has(kind)) return nullptr;
  const Kind& k = kinds_[static_cast<size_t>(kind)];
  std::unique_ptr<TCustomWipe> wipe = k.Make();
  if (!wipe) return nullptr;
  wipe->SetParam(0, k.Param0);
  wipe->SetParam(1, k.Param1);
  return wipe;
}

const char* WipeTable::KindName(int kind) {
  static constexpr const char* kNames[kKinds] = {
      "TWipeFade",        "TWipeBlindH",     "TWipeBlindV",     "TWipeCurtainH",    "TWipeCurtainV",
      "TWipeScrollH",     "TWipeScrollV",    "TWipeGrid",       "TWipeGridH",       "TWipeGridV",
      "TWipeDither",      "TWipeWhite",      "TWipeBlack",      "TWipeFlash",       "TWipeMosaic",
      "TWipeSudareH",     "TWipeSudareV",    "TWipeSpot",       "TWipeShadow",      "TWipeShadowWhite",
      "TWipeShadowBlack", "TWipeSmall",      "TWipeBig",        "TWipeRipple",      "TWipeBlurWhite",
      "TWipeBlurBlack",   "TWipeTwistH",     "TWipeTwistV",     "TWipeCrack",       "TWipeZoomin",
      "TWipeClockhand",   "TWipeRubberH",    "TWipeRubberV",    "TWipeFan",         "TWipeWFan",
      "TWipeCircle",      "TWipeBlockCoil",  "TWipeBlockRandom"};
  return kind >= 1 && kind <= kKinds ? kNames[kind - 1] : nullptr;
}

}  // namespace orin
