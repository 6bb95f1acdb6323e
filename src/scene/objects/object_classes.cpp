#include "scene/objects/object_classes.h"

#include "scene/objects/orin_box.h"
#include "scene/objects/orin_button.h"
#include "scene/objects/orin_cabinet.h"
#include "scene/objects/orin_cg_label.h"
#include "scene/objects/orin_edit.h"
#include "scene/objects/orin_images.h"
#include "scene/objects/orin_label.h"
#include "scene/objects/orin_list_box.h"
#include "scene/objects/orin_map_image.h"
#include "scene/objects/orin_memo.h"
#include "scene/objects/orin_mes.h"
#include "scene/objects/orin_prev_menu.h"
#include "scene/objects/orin_prop_motion.h"
#include "scene/objects/orin_tile.h"
#include "scene/objects/orin_slider.h"
#include "scene/objects/orin_timer.h"
#include "scene/text/text_services.h"

namespace orin {

namespace {

std::unique_ptr<TOrinObject> MediaObject(uint8_t kind, TOrinBaseList& owner, const SceneServices& services) {
  return services.Media ? services.Media->MakeObject(kind, owner) : nullptr;
}

template <uint8_t kKind>
std::unique_ptr<TOrinObject> MediaKind(TOrinBaseList& owner, const SceneServices& services) {
  return MediaObject(kKind, owner, services);
}

struct ClassEntry {
  uint8_t Kind;
  std::unique_ptr<TOrinObject> (*Make)(TOrinBaseList&, const SceneServices&);
};

// Every class of the player, one line each.
constexpr ClassEntry kClasses[] = {
    {kKindBox, ObjectClasses::MakeOf<TOrinBox>},
    {kKindButton, ObjectClasses::MakeOf<TOrinButton>},
    {kKindImages, ObjectClasses::MakeOf<TOrinImages>},
    {kKindMes, ObjectClasses::MakeOf<TOrinMes>},
    {kKindTimer, ObjectClasses::MakeOf<TOrinTimer>},
    {kKindTile, ObjectClasses::MakeOf<TOrinTile>},
    {kKindPropMotion, ObjectClasses::MakeOf<TOrinPropMotion>},
    {kKindCabinet, ObjectClasses::MakeOf<TOrinCabinet>},
    // Choices and controls.
    {kKindMenu, ObjectClasses::MakeOf<TOrinMenu>},
    {kKindPrevMenu, ObjectClasses::MakeOf<TOrinPrevMenu>},
    {kKindSlider, ObjectClasses::MakeOf<TOrinSlider>},
    {kKindScrollbar, ObjectClasses::MakeOf<TOrinScrollbar>},
    {kKindGauge, ObjectClasses::MakeOf<TOrinGauge>},
    // Labels and image maps.
    {kKindLabel, ObjectClasses::MakeOf<TOrinLabel>},
    {kKindMapImage, ObjectClasses::MakeOf<TOrinMapImage>},
    {kKindCGLabel, ObjectClasses::MakeOf<TOrinCGLabel>},
    // Text entry.
    {kKindEdit, ObjectClasses::MakeOf<TOrinEdit>},
    {kKindMemo, ObjectClasses::MakeOf<TOrinMemo>},
    {kKindVideo, MediaKind<kKindVideo>},
    {kKindSound, MediaKind<kKindSound>},
};

}  // namespace

TFontPixelManager* SceneServices::Glyphs() const { return Text ? Text->Glyphs : nullptr; }
TMuraCollection* SceneServices::Images() const { return Text ? Text->Images : nullptr; }

ObjectClasses ObjectClasses::StandardClasses() {
  ObjectClasses classes;
  for (const ClassEntry& c : kClasses) classes.Set(c.Kind, c.Make);
  return classes;
}

void ObjectClasses::Set(uint8_t kind, Maker maker) {
  kind &= 0x7F;
  if (kind < kKindLimit) makers_[kind] = std::move(maker);
}

bool ObjectClasses::Has(uint8_t kind) const {
  kind &= 0x7F;
  return kind < kKindLimit && makers_[kind] != nullptr;
}

std::unique_ptr<TOrinObject> ObjectClasses::Make(uint8_t kind, TOrinBaseList& owner,
                                                 const SceneServices& services) const {
  if (!Has(kind)) return nullptr;
  return makers_[kind & 0x7F](owner, services);
}

}  // namespace orin
