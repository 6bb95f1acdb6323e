#include "script/object_creation_hooks.h"

#include "scene/model/property_table.h"
#include "scene/objects/orin_custom_image.h"
#include "scene/objects/orin_list_box.h"
#include "scene/objects/orin_particle.h"
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

// A particle emitter evaluates its speeds and lifetime anew for every particle it bears.
void TakeParticleExpressions(TOrinObject& object, const TComComponent& command) {
  auto* particle = dynamic_cast<TOrinParticle*>(&object);
  if (!particle) return;
  if (const CommandExpr* e = command.Property(kPropParticle1); e && !e->Empty())
    particle->SetSpeedXExpression(e->Parser());
  if (const CommandExpr* e = command.Property(kPropParticle2); e && !e->Empty())
    particle->SetSpeedYExpression(e->Parser());
  if (const CommandExpr* e = command.Property(kPropInterval); e && !e->Empty())
    particle->SetLifeExpression(e->Parser());
}

}  // namespace

ObjectCreationHooks ObjectCreationHooks::Standard() {
  ObjectCreationHooks hooks;
  hooks.AddBefore(ComKind::ImgNew, TakeEndDelay);
  hooks.AddBefore(ComKind::ParticleNew, TakeParticleExpressions);
  hooks.AddAfter(ComKind::Menu, OpenMenu);
  hooks.AddAfter(ComKind::PrevMenuNew, OpenMenu);
  return hooks;
}

void ObjectCreationHooks::BeforeProperties(ComKind kind, TOrinObject& object, const TComComponent& command) {
  if (auto it = before_.find(kind); it != before_.end() && it->second) it->second(object, command);
}

void ObjectCreationHooks::AfterProperties(ComKind kind, TOrinObject& object, const TComComponent& command) {
  if (auto it = after_.find(kind); it != after_.end() && it->second) it->second(object, command);
}

}  // namespace orin
