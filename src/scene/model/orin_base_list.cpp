#include "scene/model/orin_base_list.h"

#include <algorithm>
#include <unordered_set>

#include "core/cp932.h"
#include "core/depth_guard.h"
#include "core/error.h"
#include "core/text.h"
#include "params/custom_param.h"
#include "resources/stream.h"
#include "scene/model/property_table.h"

namespace orin {

const std::string TOrinBaseList::kRoot0Name = "\001BASE0";
const std::string TOrinBaseList::kRoot1Name = "\001BASE1";
const std::string TOrinBaseList::kBackRootName = "\001BACK";
const std::string TOrinBaseList::kTopName = "\001TOP";

namespace {

bool AllDigits(std::string_view s) {
  return !s.empty() && std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

}  // namespace

TOrinBaseList::TOrinBaseList(TVrFileManager* files, const SceneServices& services, ObjectClasses classes)
    : TOrinComponent(nullptr), files_(files), classes_(std::move(classes)), services_(services) {
  MakeRoots();
}

TOrinBaseList::~TOrinBaseList() {
  transition_.reset();
  events_.Clear();
  for (const auto& o : objects_) o->BeforeFree();
  roots_[0].reset();
  roots_[1].reset();
  objects_.clear();
}

std::unique_ptr<TOrinBase> TOrinBaseList::CreateRoot() { return std::make_unique<TOrinBase>(this); }

std::unique_ptr<TOrinBase> TOrinBaseListCinema::CreateRoot() { return std::make_unique<TOrinBaseCinema>(this); }

void TOrinBaseList::MakeRoots() {
  for (int i = 0; i < 2; ++i) {
    if (roots_[i]) bySerial_.erase(roots_[i]->serial_);
    roots_[i] = CreateRoot();
    roots_[i]->name_ = i == 0 ? kRoot0Name : kRoot1Name;
    // Roots are not in the flat list, but holders of a serial (animators) may name them.
    roots_[i]->serial_ = nextSerial_++;
    bySerial_[roots_[i]->serial_] = roots_[i].get();
    if (width_ > 0 && height_ > 0) roots_[i]->SetScreenSize(width_, height_, depth_);
  }
  active_ = 0;
}

void TOrinBaseList::SetSize(int width, int height, int depth) {
  width_ = width;
  height_ = height;
  depth_ = depth;
  for (auto& root : roots_) root->SetScreenSize(width, height, depth);
}

void TOrinBaseList::SetRowTeam(RowTeam* team) {
  for (auto& root : roots_) root->Surface().SetTeam(team);
}

void TOrinBaseList::SwitchActive(int index, std::unique_ptr<SceneTransition> transition) {
  transition_ = std::move(transition);
  const int next = index & 1;
  if (focus_ && focus_->Root() != roots_[next].get()) {
    ChangeFocus(nullptr);
    RequestFocusUpdate();
  }
  active_ = next;
  ActiveRoot().InvalidateAll();
}

ScreenSurface& TOrinBaseList::PresentSurface() {
  return transition_ ? transition_->Target() : ActiveRoot().Surface();
}

// ---- Objects

TOrinObject* TOrinBaseList::Create(uint8_t kind) {
  kind &= 0x7F;
  std::unique_ptr<TOrinObject> made = classes_.Make(kind, *this, services_);
  return made ? Adopt(std::move(made)) : nullptr;
}

TOrinObject* TOrinBaseList::Adopt(std::unique_ptr<TOrinObject> object) {
  TOrinObject* o = object.get();
  if (!o || o->owner_ != this) throw Error("scene: an object can only join the scene it was made for");
  o->serial_ = nextSerial_++;
  if (loadDepth_ == 0) o->name_ = DefaultName();
  objects_.push_back(std::move(object));
  bySerial_[o->serial_] = o;
  if (TOrinControl* c = o->AsControl()) {
    c->SetParent(&ActiveRoot());
    if (!anyControlMade_) {
      anyControlMade_ = true;
      RequestFocusUpdate();
    }
  }
  return o;
}

std::string TOrinBaseList::DefaultName() const {
  static const std::string kStem = "object";
  std::unordered_set<std::string_view> used;
  for (const auto& o : objects_)
    if (!o->deleted_ && o->name_.starts_with(kStem)) used.insert(o->name_);
  for (size_t n = 0;; ++n) {
    std::string name = kStem + std::to_string(n);
    if (!used.contains(name)) return name;
  }
}

bool TOrinBaseList::IsReservedName(std::string_view name) const {
  return name.empty() || name == kRoot0Name || name == kRoot1Name || name == kBackRootName;
}

TOrinObject* TOrinBaseList::Find(std::string_view name) {
  if (name.empty() || name == kRoot0Name) return &ActiveRoot();
  if (name == kRoot1Name || name == kBackRootName) return &InactiveRoot();
  for (const auto& o : objects_)
    if (!o->deleted_ && o->name_ == name) return o.get();
  return nullptr;
}

TOrinControl* TOrinBaseList::FindControl(std::string_view name) {
  TOrinObject* o = Find(name);
  return o ? o->AsControl() : nullptr;
}

TOrinObject* TOrinBaseList::FindBySerial(uint64_t serial) const {
  auto it = bySerial_.find(serial);
  return it == bySerial_.end() ? nullptr : it->second;
}

bool TOrinBaseList::IsLive(const TOrinObject* object) const {
  if (!object) return false;
  if (object == roots_[0].get() || object == roots_[1].get()) return true;
  for (const auto& o : objects_)
    if (o.get() == object) return !o->deleted_;
  return false;
}

bool TOrinBaseList::NameInUse(std::string_view name, const TOrinObject* except) const {
  for (const auto& o : objects_)
    if (o.get() != except && !o->deleted_ && o->name_ == name) return true;
  return false;
}

void TOrinBaseList::Rename(TOrinObject& object, const std::string& name) {
  if (object.name_ == name || object.deleted_) return;
  if (&object == roots_[0].get() || &object == roots_[1].get()) return;
  TOrinObject* other = nullptr;
  if (!name.empty())
    for (const auto& o : objects_)
      if (o.get() != &object && !o->deleted_ && o->name_ == name) {
        other = o.get();
        break;
      }
  if (other) {
    // The other object moves aside: a trailing "_n" (n > 1) is dropped, then "_2", "_3", ... is
    // tried until the name is free.
    std::string stem = name;
    const size_t underscore = FindLastChar(stem, '_');
    if (underscore != std::string::npos) {
      const std::string_view digits = std::string_view(stem).substr(underscore + 1);
      if (AllDigits(digits) && (digits.size() > 9 || std::stol(std::string(digits)) > 1)) stem.resize(underscore);
    }
    for (int n = 2;; ++n) {
      std::string candidate = stem;
      candidate.append("_").append(std::to_string(n));
      if (!NameInUse(candidate, nullptr)) {
        other->name_ = candidate;
        break;
      }
    }
    if (TOrinControl* c = other->AsControl(); c && c->parent_) c->parent_->SortChildren();
  }
  object.name_ = name;
  if (TOrinControl* c = object.AsControl()) {
    if (c->parent_) c->parent_->SortChildren();
    c->Invalidate();
  }
}

void TOrinBaseList::Delete(TOrinObject& object) {
  if (object.deleted_ || &object == roots_[0].get() || &object == roots_[1].get()) return;
  if (TOrinControl* c = object.AsControl()) {
    c->Invalidate();
    RequestFocusUpdate();
  }
  object.deleted_ = true;
  object.name_.clear();
  deleted_.push_back(&object);
}

void TOrinBaseList::RemoveFromFlatList(TOrinObject* object) {
  auto it = std::find_if(objects_.begin(), objects_.end(), [&](const auto& o) { return o.get() == object; });
  if (it == objects_.end()) return;
  const int index = static_cast<int>(it - objects_.begin());
  if (stepCursor_ >= 0 && index < stepCursor_) --stepCursor_;
  bySerial_.erase(object->serial_);
  objects_.erase(it);
}

void TOrinBaseList::Destroy(TOrinObject& object) {
  if (&object == roots_[0].get() || &object == roots_[1].get()) return;
  if (!FindBySerial(object.serial_)) return;
  object.BeforeFree();
  if (TOrinControl* c = object.AsControl()) {
    const std::vector<TOrinControl*> children = c->children_;
    for (TOrinControl* child : children) Destroy(*child);
    if (!object.deleted_) c->Invalidate();
    c->motion_.reset();
    if (c->parent_) c->parent_->ChildRemoved(c);
    c->parent_ = nullptr;
    c->PlacementChanged();
    if (focus_ == c) {
      focus_ = nullptr;
      RequestFocusUpdate();
    }
    for (auto& root : roots_) root->ForgetControl(c);
    UnregisterMenu(c);
  }
  events_.RemoveOfObject(&object);
  std::erase(deleted_, &object);
  RemoveFromFlatList(&object);
}

void TOrinBaseList::Clear() {
  const int32_t x = ActiveRoot().MouseX(), y = ActiveRoot().MouseY();
  transition_.reset();
  events_.Clear();
  for (const auto& o : objects_) o->BeforeFree();
  roots_[0].reset();
  roots_[1].reset();
  objects_.clear();
  bySerial_.clear();
  deleted_.clear();
  menus_.clear();
  focus_ = nullptr;
  focusUpdate_ = false;
  anyControlMade_ = false;
  MakeRoots();
  for (auto& root : roots_) root->SetPointer(x, y);
}

// ---- Properties by name

void TOrinBaseList::GetProp(const std::string& object, int32_t number, TCustomParam& dest) {
  if (TOrinObject* o = Find(object)) GetPropOf(*o, number, dest);
}

void TOrinBaseList::SetProp(const std::string& object, int32_t number, const TCustomParam& value) {
  if (TOrinObject* o = Find(object)) SetPropOf(*o, number, value);
}

void TOrinBaseList::GetPropOf(TOrinObject& object, int32_t number, TCustomParam& dest) {
  if (number < 0 || number >= kPropertyCount) throw Error(GetPropErrorMessage());
  if (number == kPropParticle1 || number == kPropParticle2) {
    dest.SetAsInt(0);
    return;
  }
  object.GetProp(number, dest);
}

void TOrinBaseList::SetPropOf(TOrinObject& object, int32_t number, const TCustomParam& value) {
  if (number < 0 || number >= kPropertyCount || number == kPropParticle1 || number == kPropParticle2)
    throw Error(SetPropErrorMessage());
  if (IsReadOnlyProperty(number)) return;
  object.SetProp(number, value);
}

// ---- Frame

void TOrinBaseList::InputStep(int32_t clock, int32_t frameDelta) {
  clock_ = clock;
  frameDelta_ = frameDelta;
  ++placementEpoch_;
  ActiveRoot().DispatchPointer();
  if (focusUpdate_) UpdateFocus();
  RollKeys();
}

bool TOrinBaseList::Step() {
  for (auto& root : roots_) root->Step();
  stepCursor_ = 0;
  while (stepCursor_ < static_cast<int>(objects_.size())) {
    TOrinObject* o = objects_[static_cast<size_t>(stepCursor_)].get();
    const TOrinControl* c = o->AsControl();
    const bool frozen = c && c->InsideCabinet();
    if (!o->deleted_ && !frozen && !o->EventsBlocked()) o->QueueEvent(o->EveryFrameLabel(), kEventEveryFrame);
    if (o->Stopped() || o->deleted_ || frozen || !o->Step()) {
      ++stepCursor_;
      continue;
    }
    // Destroying the object at the cursor leaves the cursor on the object that followed it.
    Destroy(*o);
  }
  stepCursor_ = -1;
  // Freeing may delete further objects (a class's last words); they go in the same step.
  while (!deleted_.empty()) {
    std::vector<uint64_t> pending;
    for (TOrinObject* o : deleted_) pending.push_back(o->serial_);
    deleted_.clear();
    for (uint64_t serial : pending)
      if (TOrinObject* o = FindBySerial(serial)) Destroy(*o);
  }
  if (focusUpdate_) UpdateFocus();
  return false;
}

void TOrinBaseList::Draw() {
  if (transition_) InactiveRoot().DrawDirty();
  ActiveRoot().DrawDirty();
  if (transition_) transition_->Compose();
}

void TOrinBaseList::ClearDirty() {
  for (auto& root : roots_) {
    root->ClearDirty();
    root->Surface().ClearChanged();
  }
}

// ---- Input

void TOrinBaseList::MouseDown(MouseButton button, int32_t x, int32_t y) {
  for (auto& root : roots_) {
    root->SetButtonHeld(MouseButton::kLeft, button == MouseButton::kLeft);
    root->SetButtonHeld(MouseButton::kRight, button == MouseButton::kRight);
    root->SetPointer(x, y);
  }
  ActiveRoot().QueuePress(button);
}

void TOrinBaseList::MouseUp(MouseButton button, int32_t x, int32_t y) {
  for (auto& root : roots_) {
    root->SetButtonHeld(MouseButton::kLeft, false);
    root->SetButtonHeld(MouseButton::kRight, false);
    root->SetPointer(x, y);
  }
  ActiveRoot().QueueRelease(button);
}

void TOrinBaseList::MouseMove(int32_t x, int32_t y) {
  for (auto& root : roots_) root->SetPointer(x, y);
}

void TOrinBaseList::MouseWheel(bool down) { ActiveRoot().QueueWheel(down); }

void TOrinBaseList::KeyDown(int key) {
  if (key < 0 || key > 255) return;
  // The window's own auto-repeat is not a press; the scene repeats held keys itself.
  if (keyDown_[key]) return;
  keyDown_[key] = true;
  keyPressed_[key] = true;
  keyEdge_[key] = true;
  keyRepeat_[key] = kKeyRepeatDelay;
  wentDown_ = true;
  wentDownOrRepeated_ = true;
}

void TOrinBaseList::KeyUp(int key) {
  if (key < 0 || key > 255 || !keyDown_[key]) return;
  keyDown_[key] = false;
  wentUp_ = true;
}

void TOrinBaseList::ReleaseInput() {
  for (int k = 0; k < 256; ++k)
    if (keyDown_[k]) KeyUp(k);
  for (auto& root : roots_) root->ReleaseButtons();
}

bool TOrinBaseList::KeyPush(int key) const { return key >= 0 && key < 256 && keyDown_[key]; }
bool TOrinBaseList::KeyClick(int key) const { return key >= 0 && key < 256 && keyPressedPrev_[key]; }
bool TOrinBaseList::KeyRepeat(int key) const { return key >= 0 && key < 256 && keyEdgePrev_[key]; }

void TOrinBaseList::TextInput(const std::string& utf8) {
  if (focus_ && CanFocus(focus_) && !focus_->Stopped()) focus_->TextInput(utf8);
}

void TOrinBaseList::TextEditing(const std::string& utf8, int cursor) {
  if (focus_ && CanFocus(focus_) && !focus_->Stopped()) focus_->TextEditing(utf8, cursor);
}

bool TOrinBaseList::WantsTextInput(Rect& caret) const {
  return focus_ && CanFocus(focus_) && !focus_->Stopped() && focus_->TakesText(caret);
}

void TOrinBaseList::RollKeys() {
  keyPressedPrev_ = keyPressed_;
  keyPressed_.fill(false);
  keyEdgePrev_ = keyEdge_;
  keyEdge_.fill(false);
  if (focus_ && CanFocus(focus_) && !focus_->Stopped()) {
    TOrinControl* f = focus_;
    if (wentDown_) f->KeyDown();
    if (wentUp_) f->KeyUp();
    if (wentDownOrRepeated_) f->KeyRepeat();
  }
  wentDown_ = wentUp_ = wentDownOrRepeated_ = false;
  for (int k = 0; k < 256; ++k) {
    if (!keyDown_[k]) continue;
    keyRepeat_[k] -= frameDelta_;
    if (keyRepeat_[k] <= 0) {
      keyEdge_[k] = true;
      keyRepeat_[k] += kKeyRepeatInterval;
      wentDownOrRepeated_ = true;
    }
  }
}

// ---- Focus

bool TOrinBaseList::CanFocus(const TOrinControl* c) const {
  return c && !c->IsRoot() && !c->deleted_ && !c->Name().empty() && c->Focusable() && c->Showing() &&
         c->Root() == roots_[active_].get();
}

TOrinControl* TOrinBaseList::TopmostFocusable(TOrinControl& control) {
  if (!control.ShowsChildren()) return nullptr;
  const auto& children = control.Children();
  for (auto it = children.rbegin(); it != children.rend(); ++it) {
    TOrinControl* child = *it;
    if (!child->Visible() || child->Name().empty()) continue;
    if (TOrinControl* inner = TopmostFocusable(*child)) return inner;
    if (CanFocus(child)) return child;
  }
  return nullptr;
}

void TOrinBaseList::UpdateFocus() {
  focusUpdate_ = false;
  if (focus_ && CanFocus(focus_)) return;
  ChangeFocus(TopmostFocusable(ActiveRoot()));
}

void TOrinBaseList::ChangeFocus(TOrinControl* control) {
  if (control == focus_) return;
  TOrinControl* old = focus_;
  focus_ = control;
  if (old) old->FocusOut();
  if (control) control->FocusIn();
}

bool TOrinBaseList::SetFocus(TOrinControl* control) {
  if (control && !CanFocus(control)) return false;
  ChangeFocus(control);
  return true;
}

// ---- Menus

void TOrinBaseList::RegisterMenu(TOrinControl* menu) {
  if (menu && std::find(menus_.begin(), menus_.end(), menu) == menus_.end()) menus_.push_back(menu);
}

void TOrinBaseList::UnregisterMenu(const TOrinControl* menu) { std::erase(menus_, menu); }

bool TOrinBaseList::OfferCancel(TOrinBase& root) {
  const std::vector<TOrinControl*> menus = menus_;
  for (auto it = menus.rbegin(); it != menus.rend(); ++it) {
    TOrinControl* m = *it;
    if (std::find(menus_.begin(), menus_.end(), m) == menus_.end()) continue;
    if (m->Root() != &root || !m->Showing() || m->Stopped()) continue;
    if (m->OfferCancel()) return true;
  }
  return false;
}

void TOrinBaseList::ReleaseSurfaces() {
  for (const auto& o : objects_)
    if (TOrinControl* c = o->AsControl()) c->ReleaseSurfaces();
}

void TOrinBaseList::RebuildSurfaces() {
  for (const auto& o : objects_)
    if (TOrinControl* c = o->AsControl()) c->RebuildSurfaces();
  for (auto& root : roots_) root->InvalidateAll();
}

// ---- Save and load

bool TOrinBaseList::IsSaved(const TOrinObject& object) {
  return !object.IsDeleted() && object.Kind() != kKindNone && !object.IsInternal();
}

void TOrinBaseList::SaveObject(Stream& s, const TOrinObject& object, int version) const {
  WriteByte(s, object.Kind());
  object.Save(s, version);
}

TOrinObject* TOrinBaseList::LoadObject(Stream& s, int version, TOrinControl* parent) {
  const uint8_t kind = ReadByte(s) & 0x7F;
  if (kind >= kKindLimit || kind == 0 || kind == 1 || kind == 10) return nullptr;
  if (!HasKind(kind))
    throw Error(Format("scene: this player cannot read objects of kind %d", kind));
  DepthGuard guard(loadDepth_);
  if (!guard.Within(kMaxLoadDepth)) throw Error("scene: objects nest too deep");
  TOrinObject* o = Create(kind);
  // A media object in a scene without media: its record cannot be skipped.
  if (!o) throw Error(Format("scene: this player cannot read objects of kind %d", kind));
  if (parent)
    if (TOrinControl* c = o->AsControl()) c->SetParent(parent);
  o->Load(s, version);
  return o;
}

void TOrinBaseList::Save(Stream& s, int version) const {
  roots_[active_]->Save(s, version);
  roots_[1 - active_]->Save(s, version);
  std::vector<const TOrinObject*> components;
  for (const auto& o : objects_)
    if (!o->AsControl() && IsSaved(*o)) components.push_back(o.get());
  WriteInt32(s, static_cast<int32_t>(components.size()));
  for (const TOrinObject* o : components) SaveObject(s, *o, version);
  events_.Save(s, version);
}

void TOrinBaseList::Load(Stream& s, int version) {
  Clear();
  // Objects read from the stream keep their stored names; the default name is not needed.
  DepthGuard guard(loadDepth_);
  for (TOrinBase* root : {&ActiveRoot(), &InactiveRoot()}) {
    const std::string name = root->name_;
    root->Load(s, version);
    root->name_ = name;
  }
  const int32_t count = ReadInt32(s);
  if (count < 0 || count > s.Remaining()) throw Error("scene: damaged scene record: bad object count");
  for (int32_t i = 0; i < count; ++i) LoadObject(s, version, nullptr);
  events_.Load(s, version, [this](const std::string& name) -> TOrinObject* {
    if (IsReservedName(name)) return nullptr;
    return Find(name);
  });
  for (auto& root : roots_) {
    root->SortChildren();
    root->InvalidateAll();
  }
  RequestFocusUpdate();
}

}  // namespace orin
