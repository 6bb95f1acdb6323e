#include "script/object_creation_hooks.h"

#include "media/media_object.h"
#include "scene/model/property_table.h"
#include "scene/objects/orin_custom_image.h"
#include "scene/objects/orin_list_box.h"
#include "script/command_expr.h"
#include "script/commands_object.h"

namespace orin {

namespace {

void TakeEndDelay(TOrinObject& object, const TComComponent& command) {
  auto* images = dynamic_cast<TOrinCustomImages*>(&object);
  const CommandExpr* expression = command.Property(kPropInterval);
  if (images && expression && !expression->Empty()) images->SetEndDelay(expression->Parser());
}

// A menu made by a script opens with its animation; a preview menu too, since nothing else
// would ever open it.
void OpenMenu(TOrinObject& object, const TComComponent&) {
  if (auto* menu = dynamic_cast<TOrinMenu*>(&object)) menu->RequestOpen(TOrinMenu::kOpening);
}

// A sound or video starts once its properties are set: with a fade-in when it has a fade time.
void StartMedia(TOrinObject& object, const TComComponent&) {
  if (MediaObject* media = AsMediaObject(&object))
    media->SetState(media->FadeTime() != 0 ? MediaObject::kFadeIn : MediaObject::kPlay);
}

}  // namespace

ObjectCreationHooks ObjectCreationHooks::Standard() {
  ObjectCreationHooks hooks;
  hooks.AddBefore(ComKind::ImgNew, TakeEndDelay);
  hooks.AddAfter(ComKind::Menu, OpenMenu);
  hooks.AddAfter(ComKind::PrevMenuNew, OpenMenu);
  hooks.AddAfter(ComKind::Sound, StartMedia);
  hooks.AddAfter(ComKind::Movie, StartMedia);
  return hooks;
}

void ObjectCreationHooks::BeforeProperties(ComKind kind, TOrinObject& object, const TComComponent& command) {
  if (auto it = before_.find(kind); it != before_.end() && it->second) it->second(object, command);
}

void ObjectCreationHooks::AfterProperties(ComKind kind, TOrinObject& object, const TComComponent& command) {
  if (auto it = after_.find(kind); it != after_.end() && it->second) it->second(object, command);
}

}  // namespace orin
