#include "scene/model/scene_param_host.h"

#include "core/error.h"
#include "params/function_call.h"
#include "scene/model/orin_base_list.h"
#include "scene/model/property_table.h"

namespace orin {

bool SceneParamHost::LClick() { return scene_.ActiveRoot().LClick(); }
void SceneParamHost::SetLClick(bool v) { scene_.ActiveRoot().SetLClick(v); }
bool SceneParamHost::RClick() { return scene_.ActiveRoot().RClick(); }
void SceneParamHost::SetRClick(bool v) { scene_.ActiveRoot().SetRClick(v); }
bool SceneParamHost::LPush() { return scene_.ActiveRoot().LPush(); }
bool SceneParamHost::RPush() { return scene_.ActiveRoot().RPush(); }
int32_t SceneParamHost::MouseX() { return scene_.ActiveRoot().MouseX(); }
int32_t SceneParamHost::MouseY() { return scene_.ActiveRoot().MouseY(); }
bool SceneParamHost::KeyPush(int key) { return scene_.KeyPush(key); }
bool SceneParamHost::KeyClick(int key) { return scene_.KeyClick(key); }
bool SceneParamHost::KeyRepeat(int key) { return scene_.KeyRepeat(key); }
bool SceneParamHost::WheelDown() { return scene_.ActiveRoot().WheelDown(); }
bool SceneParamHost::WheelUp() { return scene_.ActiveRoot().WheelUp(); }

std::string SceneParamHost::ActiveCompo() {
  const TOrinControl* focus = scene_.Focus();
  return focus ? focus->Name() : std::string();
}

void SceneParamHost::SetActiveCompo(const std::string& name) {
  if (TOrinControl* c = scene_.FindControl(name); c && !c->IsRoot()) scene_.SetFocus(c);
}

uint8_t SceneParamHost::PropertyValueType(int property) { return orin::PropertyValueType(property); }

void SceneParamHost::GetProp(const std::string& object, int32_t property, TCustomParam& dest) {
  scene_.GetProp(object, property, dest);
}

void SceneParamHost::SetProp(const std::string& object, int32_t property, const TCustomParam& value) {
  scene_.SetProp(object, property, value);
}

bool SceneParamHost::Exists(const std::string& object) { return scene_.Find(object) != nullptr; }

bool SceneParamHost::GetCheck(const std::string& object, int32_t item) {
  TOrinObject* o = scene_.Find(object);
  return o && o->GetCheck(item);
}

void SceneParamHost::SetCheck(const std::string& object, int32_t item, bool v) {
  if (TOrinObject* o = scene_.Find(object)) o->SetCheck(item, v);
}

bool SceneParamHost::GetEnabled(const std::string& object, int32_t item) {
  TOrinObject* o = scene_.Find(object);
  return o && o->GetEnabled(item);
}

void SceneParamHost::SetEnabled(const std::string& object, int32_t item, bool v) {
  if (TOrinObject* o = scene_.Find(object)) o->SetEnabled(item, v);
}

bool SceneParamHost::GetVisible(const std::string& object, int32_t item) {
  TOrinObject* o = scene_.Find(object);
  return o && o->GetVisible(item);
}

void SceneParamHost::SetVisible(const std::string& object, int32_t item, bool v) {
  if (TOrinObject* o = scene_.Find(object)) o->SetVisible(item, v);
}

// Objects without a place on the screen (components) convert nothing.
int32_t SceneParamHost::ToClientX(const std::string& object, int32_t x) {
  TOrinControl* c = scene_.FindControl(object);
  return c ? c->ToClientX(x) : (scene_.Find(object) ? x : 0);
}

int32_t SceneParamHost::ToClientY(const std::string& object, int32_t y) {
  TOrinControl* c = scene_.FindControl(object);
  return c ? c->ToClientY(y) : (scene_.Find(object) ? y : 0);
}

int32_t SceneParamHost::ToScreenX(const std::string& object, int32_t x) {
  TOrinControl* c = scene_.FindControl(object);
  return c ? c->ToScreenX(x) : (scene_.Find(object) ? x : 0);
}

int32_t SceneParamHost::ToScreenY(const std::string& object, int32_t y) {
  TOrinControl* c = scene_.FindControl(object);
  return c ? c->ToScreenY(y) : (scene_.Find(object) ? y : 0);
}

int32_t SceneParamHost::IndexOfMenu(const std::string& object, const std::string& text) {
  TOrinObject* o = scene_.Find(object);
  return o ? o->IndexOfItem(text) : 0;
}

bool SceneParamHost::InPrimary(const std::string& object) {
  TOrinControl* c = scene_.FindControl(object);
  return c && c->Root() == &scene_.ActiveRoot();
}

void SceneParamHost::ListCompo(FunctionArgs args, TCustomParam& dest) {
  if (args.empty()) return;
  TParamVar* ref = args[0]->AsReference();
  TCustomParam* target = ref && ref->Target ? ResolveValue(*ref) : nullptr;
  const std::string parentName = args.size() > 1 ? args[1]->GetAsStr() : std::string();
  const int32_t kind = args.size() > 2 ? args[2]->GetAsInt() : 0;
  auto wanted = [&](const TOrinObject& o) {
    return !o.IsDeleted() && !o.IsInternal() && !o.Name().empty() && (kind <= 0 || o.Kind() == kind);
  };
  std::vector<std::string> names;
  if (args.size() > 1 && !parentName.empty()) {
    if (TOrinControl* parent = scene_.FindControl(parentName))
      for (const TOrinControl* child : parent->Children())
        if (wanted(*child)) names.push_back(child->Name());
  } else {
    for (int i = 0; i < scene_.ObjectCount(); ++i)
      if (wanted(scene_.Object(i))) names.push_back(scene_.Object(i).Name());
  }
  if (target) {
    if (names.empty()) {
      target->SetAsStr({});
    } else {
      target->SetDims({static_cast<int32_t>(names.size())});
      for (size_t i = 0; i < names.size(); ++i) target->SetStrAt(static_cast<int>(i), names[i]);
    }
  }
  dest.SetAsInt(static_cast<int32_t>(names.size()));
}

}  // namespace orin
