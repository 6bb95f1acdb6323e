// Commands that create, change and delete scene objects and variables, and the screen flip.
//
// TComComponent reads the property records: one expression per property whose bit is set in the
// page's property set for the command's kind, in ascending property number. Its subclasses
// follow the class tree of the page format: TComTimer, TComSound, TComCabinet (the parent of the
// two cabinet commands) and TComControl, the parent of every other object-creating kind. What
// the kinds do when they run is in script/exec_object.cpp.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "script/command.h"

namespace orin {

class TOrinObject;
class TParamCollection;

// The scene kind an object-creating command makes (kKindNone for the cabinet commands and other
// kinds).
uint8_t SceneKindOfCommand(ComKind kind);

class TComComponent : public TCommand {
 public:
  using TCommand::TCommand;

  struct PropertyExpr {
    uint8_t Number;
    CommandExpr Expr;
  };
  // The present properties, ascending by number.
  std::vector<PropertyExpr> Properties;

  // One empty expression for each property of the page's set for this kind (what a new
  // command of the kind carries).
  void CreateProperties();
  // The property's expression, or null when the record has none for it.
  const CommandExpr* Property(int number) const;
  CommandExpr* Property(int number);
  // The property's expression, added (empty) when absent.
  CommandExpr& AddProperty(int number);

  // Evaluate the property's expression; the fallback when it is absent or yields no value.
  int32_t GetInt(int number, TParamCollection& vars, int32_t fallback = 0) const;
  long double GetFloat(int number, TParamCollection& vars, long double fallback = 0) const;
  bool GetFlag(int number, TParamCollection& vars, bool fallback = false) const;
  std::string GetStr(int number, TParamCollection& vars, std::string fallback = {}) const;

  void DescribeFields(FieldVisitor& v) override;

  // Creates the object of the kind and applies the properties (the object-creating kinds).
  void Execute(TCallMan& interpreter, TPage*& page, int32_t& index) override;
  // Applies the record's properties to a new object in the fixed order, with the creation
  // defaults for expressions that yield no value.
  void ApplyProperties(TOrinObject& object, TCallMan& interpreter) const;
};

class TComControl : public TComComponent {
 public:
  using TComComponent::TComComponent;
};

#define ORIN_PROPS_COMMAND(Class, Parent, KindName)                      \
  class Class : public Parent {                                          \
   public:                                                               \
    using Parent::Parent;                                                \
    ComKind Kind() const override { return ComKind::KindName; }          \
  };

ORIN_PROPS_COMMAND(TComTimer, TComComponent, Timer)
ORIN_PROPS_COMMAND(TComSound, TComComponent, Sound)
ORIN_PROPS_COMMAND(TComBoxNew, TComControl, BoxNew)
ORIN_PROPS_COMMAND(TComImgNew, TComControl, ImgNew)
ORIN_PROPS_COMMAND(TComMesNew, TComControl, MesNew)
ORIN_PROPS_COMMAND(TComMovie, TComControl, Movie)
ORIN_PROPS_COMMAND(TComCinema, TComControl, Cinema)
ORIN_PROPS_COMMAND(TComCaption, TComControl, Caption)
ORIN_PROPS_COMMAND(TComMenu, TComControl, Menu)
ORIN_PROPS_COMMAND(TComBtnNew, TComControl, BtnNew)
ORIN_PROPS_COMMAND(TComParticleNew, TComControl, ParticleNew)
ORIN_PROPS_COMMAND(TComFireNew, TComControl, FireNew)
ORIN_PROPS_COMMAND(TComEditNew, TComControl, EditNew)
ORIN_PROPS_COMMAND(TComMemoNew, TComControl, MemoNew)
ORIN_PROPS_COMMAND(TComMapImgNew, TComControl, MapImgNew)
ORIN_PROPS_COMMAND(TComWaveNew, TComControl, WaveNew)
ORIN_PROPS_COMMAND(TComTileNew, TComControl, TileNew)
ORIN_PROPS_COMMAND(TComSliderNew, TComControl, SliderNew)
ORIN_PROPS_COMMAND(TComScrollbarNew, TComControl, ScrollbarNew)
ORIN_PROPS_COMMAND(TComGaugeNew, TComControl, GaugeNew)
ORIN_PROPS_COMMAND(TComCGCaption, TComControl, CGCaption)
ORIN_PROPS_COMMAND(TComPrevMenuNew, TComControl, PrevMenuNew)

#undef ORIN_PROPS_COMMAND

// 59 / 60: property 0 names the cabinet; Mode inverts the selection of Names.
class TComCabinet : public TComComponent {
 public:
  using TComComponent::TComComponent;
  CommandExpr Mode;
  std::vector<CommandExpr> Names;
  void DescribeFields(FieldVisitor& v) override;
};

class TComCabinetSave : public TComCabinet {
 public:
  using TComCabinet::TComCabinet;
  ComKind Kind() const override { return ComKind::CabinetSave; }
  void Execute(TCallMan& interpreter, TPage*& page, int32_t& index) override;
};

class TComCabinetLoad : public TComCabinet {
 public:
  using TComCabinet::TComCabinet;
  ComKind Kind() const override { return ComKind::CabinetLoad; }
  void Execute(TCallMan& interpreter, TPage*& page, int32_t& index) override;
};

// 13: swap the screen roots with a transition.
class TComFlip : public TCommand {
 public:
  using TCommand::TCommand;
  CommandExpr Transition;
  CommandExpr Duration;
  CommandExpr Reverse;
  CommandExpr Selection;
  std::vector<CommandExpr> NameLists;
  CommandExpr ClearOld;
  CommandExpr Param0;
  CommandExpr Param1;
  CommandExpr StrParam;     // pages of version 101 and later
  CommandExpr NoInterrupt;  // pages of version 107 and later
  ComKind Kind() const override { return ComKind::Flip; }
  void DescribeFields(FieldVisitor& v) override;
  void Execute(TCallMan& interpreter, TPage*& page, int32_t& index) override;
  void Begin(TCallMan& interpreter) override;
  bool Blocking() const override { return duration_ > 0; }
  bool Uninterruptible() const override { return noInterrupt_; }
  void Finish(TCallMan& interpreter) override;
  void SaveState(std::unique_ptr<MemoryStream>& stream) const override;
  void LoadState(Stream& s) override;

 private:
  void Complete(TCallMan& interpreter, bool clearCabinets);

  // 0 showing the start, 1 about to start the clock, 2 transition running, 3 no transition.
  int32_t phase_ = 0;
  int32_t startClock_ = 0;
  int32_t duration_ = 0;  // the duration expression's last value
  // The scene's first root when the flip began: another one means the scene was cleared since
  // (a game was loaded), and with it the transition.
  uint64_t rootSerial_ = 0;
  bool noInterrupt_ = false;
  bool clearOld_ = false;
};

// 14: evaluate an expression for its assignments.
class TComCalc : public TCommand {
 public:
  using TCommand::TCommand;
  CommandExpr Expression;
  ComKind Kind() const override { return ComKind::Calc; }
  void DescribeFields(FieldVisitor& v) override;
  void Execute(TCallMan& interpreter, TPage*& page, int32_t& index) override;
};

// 15: declare a variable: type 1-4, scope kind 0-3.
class TComVarNew : public TCommand {
 public:
  using TCommand::TCommand;
  std::string VarName;
  uint8_t VarType = 1;
  CommandExpr InitialValue;
  uint8_t Scope = 0;
  ComKind Kind() const override { return ComKind::VarNew; }
  void DescribeFields(FieldVisitor& v) override;
  void Execute(TCallMan& interpreter, TPage*& page, int32_t& index) override;
};

// 16: free a variable.
class TComVarDel : public TCommand {
 public:
  using TCommand::TCommand;
  std::string VarName;
  ComKind Kind() const override { return ComKind::VarDel; }
  void DescribeFields(FieldVisitor& v) override;
  void Execute(TCallMan& interpreter, TPage*& page, int32_t& index) override;
};

// 17: read an object's property into a variable.
class TComGetProp : public TCommand {
 public:
  using TCommand::TCommand;
  CommandExpr ObjectName;
  CommandExpr PropNumber;
  std::string ResultName;
  ComKind Kind() const override { return ComKind::GetProp; }
  void DescribeFields(FieldVisitor& v) override;
  void Execute(TCallMan& interpreter, TPage*& page, int32_t& index) override;
};

// 18: set an object's property.
class TComSetProp : public TCommand {
 public:
  using TCommand::TCommand;
  CommandExpr ObjectName;
  CommandExpr PropNumber;
  CommandExpr Value;
  ComKind Kind() const override { return ComKind::SetProp; }
  void DescribeFields(FieldVisitor& v) override;
  void Execute(TCallMan& interpreter, TPage*& page, int32_t& index) override;
};

// 19: delete an object.
class TComObjDel : public TCommand {
 public:
  using TCommand::TCommand;
  CommandExpr ObjectName;
  ComKind Kind() const override { return ComKind::ObjDel; }
  void DescribeFields(FieldVisitor& v) override;
  void Execute(TCallMan& interpreter, TPage*& page, int32_t& index) override;
};

// 57: animate one property of an object towards an end value.
class TComPropMotion : public TCommand {
 public:
  using TCommand::TCommand;
  CommandExpr MotionName;
  CommandExpr TargetName;
  CommandExpr PropNumber;
  CommandExpr EndValue;
  CommandExpr Duration;
  CommandExpr Easing;
  CommandExpr Stopped;  // pages of version 108 and later
  ComKind Kind() const override { return ComKind::PropMotion; }
  void DescribeFields(FieldVisitor& v) override;
  void Execute(TCallMan& interpreter, TPage*& page, int32_t& index) override;
};

}  // namespace orin
