// Commands that create, change and delete scene objects and variables, and the screen flip.
//
// TComComponent reads the property records: one expression per property whose bit is set in the
// page's property set for the command's kind, in ascending property number. Its subclasses
// follow the class tree of the page format: TComTimer, TComSound, TComCabinet (the parent of the
// two cabinet commands) and TComControl, the parent of every other object-creating kind.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "script/command.h"

namespace orin {

class TParamCollection;

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
};

class TComCabinetLoad : public TComCabinet {
 public:
  using TComCabinet::TComCabinet;
  ComKind Kind() const override { return ComKind::CabinetLoad; }
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
};

// 14: evaluate an expression for its assignments.
class TComCalc : public TCommand {
 public:
  using TCommand::TCommand;
  CommandExpr Expression;
  ComKind Kind() const override { return ComKind::Calc; }
  void DescribeFields(FieldVisitor& v) override;
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
};

// 16: free a variable.
class TComVarDel : public TCommand {
 public:
  using TCommand::TCommand;
  std::string VarName;
  ComKind Kind() const override { return ComKind::VarDel; }
  void DescribeFields(FieldVisitor& v) override;
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
};

// 19: delete an object.
class TComObjDel : public TCommand {
 public:
  using TCommand::TCommand;
  CommandExpr ObjectName;
  ComKind Kind() const override { return ComKind::ObjDel; }
  void DescribeFields(FieldVisitor& v) override;
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
};

}  // namespace orin
