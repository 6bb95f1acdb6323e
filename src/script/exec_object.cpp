// What the object, variable and screen commands do when the interpreter runs them: creating,
// changing and deleting scene objects, variables, property animators, the screen flip and the
// cabinets that keep objects aside across flips.
//
// Unless a kind says otherwise a command advances first, so an error it raises later (a missing
// property number, an error of the scene) leaves the script on the next command. An empty object
// name, or one that finds nothing, does nothing.
#include <memory>
#include <optional>

#include "core/error.h"
#include "core/text.h"
#include "imaging/dib_surface.h"
#include "imaging/screen_surface.h"
#include "params/custom_param.h"
#include "params/param_collection.h"
#include "scene/model/orin_base_list.h"
#include "scene/objects/orin_cabinet.h"
#include "scene/objects/orin_prop_motion.h"
#include "scene/model/property_table.h"
#include "scene/model/scene_transition.h"
#include "script/call_man.h"
#include "script/commands_object.h"
#include "script/flip_transition.h"
#include "script/game_context.h"
#include "script/page.h"
#include "script/property_order.h"

namespace orin {

using namespace literals;

namespace {

// The picture a flip keeps showing on top of the old screen while objects move between the roots.
// Internal by its name: never saved, never listed.
class FlipSnapshot final : public TOrinControl {
 public:
  FlipSnapshot(TOrinBaseList* owner, const TDIBSurface& screen) : TOrinControl(owner) {
    picture_.SetSize(screen.Width(), screen.Height(), screen.BitCount(), false);
    picture_.CopyFrom(0, 0, screen.ClientRect(), screen);
  }
  void Draw(ScreenSurface& surface) override {
    surface.Copy(ScreenX(), ScreenY(), picture_, picture_.ClientRect());
  }

 private:
  TDIBSurface picture_;
};

const TCustomParam* Eval(const CommandExpr& e, TCallMan& interpreter) {
  return e.Evaluate(interpreter.Vars());
}

TOrinObject* FindNamed(TCallMan& interpreter, const std::string& name) {
  return name.empty() ? nullptr : interpreter.Scene().Find(name);
}

int32_t PropertyNumber(const CommandExpr& e, TCallMan& interpreter) {
  const TCustomParam* v = Eval(e, interpreter);
  if (!v) throw Error(PropertyMissingMessage());
  return v->GetAsInt();
}

// The value a property takes when its expression yields none, in the property's type.
std::unique_ptr<TCustomParam> CreationDefault(int property) {
  const uint8_t type = PropertyValueType(property);
  std::unique_ptr<TCustomParam> v = CreateParam(type);
  switch (type) {
    case kTypeInt:
      v->SetAsInt(CreationIntDefault(property));
      break;
    case kTypeFlag:
      v->SetAsFlag(CreationFlagDefault(property));
      break;
    default:
      break;
  }
  return v;
}

// The lines of a name list (CR LF, LF or CR between them; the bytes cannot be trail bytes).
void AddLines(const std::string& text, std::vector<std::string>& lines) {
  size_t start = 0;
  while (start <= text.size()) {
    size_t end = text.find_first_of("\r\n", start);
    if (end == std::string::npos) end = text.size();
    lines.push_back(text.substr(start, end - start));
    if (end + 1 < text.size() && text[end] == '\r' && text[end + 1] == '\n') ++end;
    start = end + 1;
  }
}

bool Listed(const std::vector<std::string>& names, const std::string& name) {
  for (const std::string& n : names)
    if (n == name) return true;
  return false;
}

std::vector<std::string> EvaluateNames(const std::vector<CommandExpr>& list, TCallMan& interpreter) {
  std::vector<std::string> names;
  for (const CommandExpr& e : list) names.push_back(e.GetStr(interpreter.Vars()));
  return names;
}

}  // namespace

uint8_t SceneKindOfCommand(ComKind kind) {
  switch (kind) {
    case ComKind::BoxNew: return kKindBox;
    case ComKind::ImgNew: return kKindImages;
    case ComKind::MesNew: return kKindMes;
    case ComKind::Timer: return kKindTimer;
    case ComKind::Movie: return kKindVideo;
    case ComKind::Cinema: return kKindCinema;
    case ComKind::Caption: return kKindLabel;
    case ComKind::Menu: return kKindMenu;
    case ComKind::BtnNew: return kKindButton;
    case ComKind::ParticleNew: return kKindParticle;
    case ComKind::FireNew: return kKindFire;
    case ComKind::Sound: return kKindSound;
    case ComKind::EditNew: return kKindEdit;
    case ComKind::MemoNew: return kKindMemo;
    case ComKind::MapImgNew: return kKindMapImage;
    case ComKind::WaveNew: return kKindWave;
    case ComKind::TileNew: return kKindTile;
    case ComKind::SliderNew: return kKindSlider;
    case ComKind::ScrollbarNew: return kKindScrollbar;
    case ComKind::GaugeNew: return kKindGauge;
    case ComKind::CGCaption: return kKindCGLabel;
    case ComKind::PrevMenuNew: return kKindPrevMenu;
    default: return kKindNone;
  }
}

// ---- Object creation

void TComComponent::ApplyProperties(TOrinObject& object, TCallMan& interpreter) const {
  TOrinBaseList& scene = interpreter.Scene();
  for (const uint8_t p : kPropertyApplyOrder) {
    if (!AppliedAtCreation(p)) continue;
    const CommandExpr* e = Property(p);
    if (!e) continue;
    if (const TCustomParam* v = e->Evaluate(interpreter.Vars())) {
      scene.SetPropOf(object, p, *v);
    } else {
      scene.SetPropOf(object, p, *CreationDefault(p));
    }
  }
}

void TComComponent::Execute(TCallMan& interpreter, TPage*&, int32_t& index) {
  ++index;
  const uint8_t kind = SceneKindOfCommand(Kind());
  TOrinBaseList& scene = interpreter.Scene();
  // Null also for a class the player has but cannot make now (a sound without the media layer).
  TOrinObject* object = kind == kKindNone ? nullptr : scene.Create(kind);
  if (!object) {
    interpreter.TraceNote(std::string(CommandKindName(static_cast<int>(Kind()))) +
                          ": this player has no class for its objects yet; nothing was made");
    return;
  }
  CreationHooks* hooks = interpreter.Game().Creation();
  if (hooks) hooks->BeforeProperties(Kind(), *object, *this);
  ApplyProperties(*object, interpreter);
  if (hooks) hooks->AfterProperties(Kind(), *object, *this);
}

// ---- Cabinets

void TComCabinetSave::Execute(TCallMan& interpreter, TPage*&, int32_t& index) {
  ++index;
  TOrinBaseList& scene = interpreter.Scene();
  const std::string name = GetStr(kPropName, interpreter.Vars());
  const bool inverted = Mode.GetFlag(interpreter.Vars());
  const std::vector<std::string> names = EvaluateNames(Names, interpreter);
  TOrinObject* found = FindNamed(interpreter, name);
  TOrinControl* cabinet = found && found->Kind() == kKindCabinet ? found->AsControl() : nullptr;
  if (!cabinet) {
    cabinet = scene.Create(kKindCabinet)->AsControl();
    if (!name.empty()) cabinet->Rename(name);
    cabinet->SetParent(&scene.ActiveRoot());
  }
  const std::vector<TOrinControl*> children = scene.InactiveRoot().Children();
  for (auto it = children.rbegin(); it != children.rend(); ++it) {
    TOrinControl* child = *it;
    if (child == cabinet || child->IsDeleted()) continue;
    if (Listed(names, child->Name()) != inverted) child->SetParent(cabinet);
  }
  if (cabinet->Children().empty()) scene.Delete(*cabinet);
}

void TComCabinetLoad::Execute(TCallMan& interpreter, TPage*&, int32_t& index) {
  ++index;
  TOrinBaseList& scene = interpreter.Scene();
  const std::string name = GetStr(kPropName, interpreter.Vars());
  const bool inverted = Mode.GetFlag(interpreter.Vars());
  const std::vector<std::string> names = EvaluateNames(Names, interpreter);
  TOrinObject* found = FindNamed(interpreter, name);
  if (!found || found->Kind() != kKindCabinet) return;
  TOrinControl* cabinet = found->AsControl();
  const std::vector<TOrinControl*> children = cabinet->Children();
  for (auto it = children.rbegin(); it != children.rend(); ++it)
    if (!(*it)->IsDeleted() && Listed(names, (*it)->Name()) != inverted) (*it)->SetParent(&scene.InactiveRoot());
  if (cabinet->Children().empty()) scene.Delete(*cabinet);
}

// ---- The screen flip

void TComFlip::Begin(TCallMan& interpreter) {
  TParamCollection& vars = interpreter.Vars();
  TOrinBaseList& scene = interpreter.Scene();
  phase_ = 0;
  rootSerial_ = scene.Root(0).Serial();
  FlipRequest request;
  request.Kind = Transition.GetInt(vars, 0);
  if (request.Kind > 38) request.Kind = 0;
  const TCustomParam* duration = Eval(Duration, interpreter);
  duration_ = duration ? duration->GetAsInt() : 0;
  request.Duration = duration_ >= 1 ? duration_ : 1;
  request.Reverse = Reverse.GetFlag(vars);
  noInterrupt_ = NoInterrupt.GetFlag(vars);
  clearOld_ = ClearOld.GetFlag(vars);
  std::optional<int32_t> selection;
  if (const TCustomParam* m = Eval(Selection, interpreter)) selection = m->GetAsInt();
  std::vector<std::string> names;
  for (const CommandExpr& list : NameLists) AddLines(list.GetStr(vars), names);

  if (selection) {
    FlipSnapshot* snapshot = nullptr;
    if (!duration || duration_ <= 0) {
      phase_ = 3;
    } else {
      scene.Draw();
      auto made = std::make_unique<FlipSnapshot>(&scene, scene.ActiveRoot().Surface().Picture());
      snapshot = static_cast<FlipSnapshot*>(scene.Adopt(std::move(made)));
      snapshot->Rename(TOrinBaseList::kTopName);
      snapshot->SetBounds(0, 0, scene.Width(), scene.Height());
    }
    const std::vector<TOrinControl*> children = scene.ActiveRoot().Children();
    for (auto it = children.rbegin(); it != children.rend(); ++it) {
      TOrinControl* child = *it;
      if (child == snapshot || child->IsDeleted()) continue;
      bool move = *selection == 0;
      if (Listed(names, child->Name())) move = *selection == 1;
      if (move) child->SetParent(&scene.InactiveRoot());
    }
  }
  if (phase_ == 3) return;
  if (const TCustomParam* p = Eval(Param0, interpreter)) request.Param0 = p->GetAsInt();
  if (const TCustomParam* p = Eval(Param1, interpreter)) request.Param1 = p->GetAsInt();
  if (const TCustomParam* p = Eval(StrParam, interpreter)) request.StrParam = p->GetAsStr();
  if (TransitionFactory* transitions = interpreter.Game().Transitions()) transitions->Start(scene, request);
}

// A flip that stays yields the frame even when its record chains: its first frame only shows the
// start, and every later one a step of the transition.
void TComFlip::Execute(TCallMan& interpreter, TPage*&, int32_t& index) {
  // A flip restored from a save lost its transition with the scene it was saved from: it
  // finishes at once, so the loaded game shows the incoming screen from its first frame.
  if (interpreter.Scene().Root(0).Serial() != rootSerial_) phase_ = 3;
  if (phase_ == 0) {
    phase_ = 1;
    interpreter.SetChain(false);
    return;
  }
  const int32_t clock = interpreter.Game().RunningClock();
  if (phase_ == 1) {
    startClock_ = clock;
    phase_ = 2;
  }
  if (phase_ == 2)
    if (SceneTransition* t = interpreter.Scene().Transition(); t && !t->Step(clock - startClock_)) {
      interpreter.SetChain(false);
      return;
    }
  Complete(interpreter, false);
  ++index;
}

void TComFlip::Finish(TCallMan& interpreter) { Complete(interpreter, true); }

void TComFlip::Complete(TCallMan& interpreter, bool clearCabinets) {
  TOrinBaseList& scene = interpreter.Scene();
  scene.EndTransition();
  scene.SwitchActive(1 - scene.ActiveIndex());
  if (TOrinObject* top = scene.Find(TOrinBaseList::kTopName)) scene.Delete(*top);
  if (!clearOld_) return;
  const std::vector<TOrinControl*> children = scene.InactiveRoot().Children();
  for (TOrinControl* child : children)
    if (clearCabinets || child->Kind() != kKindCabinet) scene.Delete(*child);
}

void TComFlip::SaveState(std::unique_ptr<MemoryStream>& stream) const {
  if (!stream) stream = std::make_unique<MemoryStream>();
  WriteStateHeader(*stream);
  WriteByte(*stream, noInterrupt_ ? 1 : 0);
  WriteByte(*stream, clearOld_ ? 1 : 0);
}

void TComFlip::LoadState(Stream& s) {
  // Records without a version carry neither flag: nothing of an earlier run may stay.
  const bool versioned = ReadStateHeader(s) >= kStateVersion;
  noInterrupt_ = versioned && ReadByte(s) != 0;
  clearOld_ = versioned && ReadByte(s) != 0;
}

// ---- Variables and properties

void TComCalc::Execute(TCallMan& interpreter, TPage*&, int32_t& index) {
  ++index;
  Expression.Evaluate(interpreter.Vars());
}

void TComVarNew::Execute(TCallMan& interpreter, TPage*&, int32_t& index) {
  ++index;
  if (VarName.empty()) throw Error("変数名がありません"_sj);
  TParamCollection& vars = interpreter.Vars();
  TParamCollectionItem* item = vars.FindDeclared(VarName, Scope == 2);
  if (!item) {
    item = &vars.AddVariable(VarType, VarName);
    switch (Scope) {
      case 1:
        item->Frame = interpreter.StackCount();
        break;
      case 2:
        item->IsLocal = true;
        item->Frame = interpreter.StackCount();
        break;
      case 3:
        item->IsPersistent = true;
        break;
      default:
        break;
    }
  } else if (item->IsPersistent) {
    return;
  }
  const TCustomParam* v = InitialValue.Evaluate(vars);
  if (!v) return;
  switch (VarType) {
    case kTypeInt:
      item->Value->SetAsInt(v->GetAsInt());
      break;
    case kTypeFloat:
      item->Value->SetAsFloat(v->GetAsFloat());
      break;
    case kTypeFlag:
      item->Value->SetAsFlag(v->GetAsFlag());
      break;
    default:
      item->Value->SetAsStr(v->GetAsStr());
      break;
  }
}

void TComVarDel::Execute(TCallMan& interpreter, TPage*&, int32_t& index) {
  ++index;
  interpreter.Vars().DeleteVariable(VarName);
}

void TComGetProp::Execute(TCallMan& interpreter, TPage*&, int32_t& index) {
  ++index;
  TOrinObject* object = FindNamed(interpreter, ObjectName.GetStr(interpreter.Vars()));
  if (!object) return;
  const int32_t number = PropertyNumber(PropNumber, interpreter);
  if (TParamCollectionItem* v = interpreter.Vars().FindVariable(ResultName))
    interpreter.Scene().GetPropOf(*object, number, *v->Value);
}

void TComSetProp::Execute(TCallMan& interpreter, TPage*&, int32_t& index) {
  ++index;
  TOrinObject* object = FindNamed(interpreter, ObjectName.GetStr(interpreter.Vars()));
  if (!object) return;
  const int32_t number = PropertyNumber(PropNumber, interpreter);
  if (const TCustomParam* v = Eval(Value, interpreter)) interpreter.Scene().SetPropOf(*object, number, *v);
}

void TComObjDel::Execute(TCallMan& interpreter, TPage*&, int32_t& index) {
  ++index;
  if (TOrinObject* object = FindNamed(interpreter, ObjectName.GetStr(interpreter.Vars())))
    interpreter.Scene().Delete(*object);
}

void TComPropMotion::Execute(TCallMan& interpreter, TPage*&, int32_t& index) {
  ++index;
  TParamCollection& vars = interpreter.Vars();
  // Everything is evaluated before the animator is made, so that a missing property number
  // leaves no animator behind.
  const std::string name = MotionName.GetStr(vars);
  const TCustomParam* v = Eval(TargetName, interpreter);
  const bool hasTarget = v != nullptr;
  const std::string targetName = v ? v->GetAsStr() : std::string();
  const int32_t property = PropertyNumber(PropNumber, interpreter);
  v = Eval(EndValue, interpreter);
  const bool hasEnd = v != nullptr;
  const long double endValue = v ? v->GetAsFloat() : 0;
  v = Eval(Duration, interpreter);
  const bool hasDuration = v != nullptr;
  const int32_t duration = v ? v->GetAsInt() : 0;
  v = Eval(Easing, interpreter);
  const bool hasEasing = v != nullptr;
  const int32_t easing = v ? v->GetAsInt() : 0;
  v = Eval(Stopped, interpreter);
  const bool hasStopped = v != nullptr;
  const bool stopped = v && v->GetAsFlag();

  auto* motion = static_cast<TOrinPropMotion*>(interpreter.Scene().Create(kKindPropMotion));
  if (!motion) return;
  if (!name.empty()) motion->Rename(name);
  if (hasTarget) motion->SetTargetName(targetName);
  // Numbers outside a byte would wrap onto a real property; 255 is none and ends the animator.
  motion->SetPropertyNumber(property >= 0 && property < 256 ? static_cast<uint8_t>(property) : 255);
  if (hasEnd) motion->SetEndValue(endValue);
  if (hasDuration) motion->SetDuration(duration);
  if (hasEasing) motion->SetEasing(static_cast<uint8_t>(easing));
  if (hasStopped) motion->SetStopped(stopped);
}

}  // namespace orin
