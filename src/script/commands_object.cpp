#include "script/commands_object.h"

#include <algorithm>

#include "script/page.h"

namespace orin {

void TComComponent::CreateProperties() {
  Properties.clear();
  const PropSet& set = Page->PropSets[static_cast<size_t>(Kind())];
  for (int i = 0; i < kPropertyCount; ++i)
    if (set.Test(i)) Properties.push_back({static_cast<uint8_t>(i), CommandExpr()});
}

const CommandExpr* TComComponent::Property(int number) const {
  auto it = std::lower_bound(Properties.begin(), Properties.end(), number,
                             [](const PropertyExpr& p, int n) { return p.Number < n; });
  return it != Properties.end() && it->Number == number ? &it->Expr : nullptr;
}

CommandExpr* TComComponent::Property(int number) {
  return const_cast<CommandExpr*>(static_cast<const TComComponent*>(this)->Property(number));
}

CommandExpr& TComComponent::AddProperty(int number) {
  auto it = std::lower_bound(Properties.begin(), Properties.end(), number,
                             [](const PropertyExpr& p, int n) { return p.Number < n; });
  if (it != Properties.end() && it->Number == number) return it->Expr;
  return Properties.insert(it, {static_cast<uint8_t>(number), CommandExpr()})->Expr;
}

int32_t TComComponent::GetInt(int number, TParamCollection& vars, int32_t fallback) const {
  const CommandExpr* e = Property(number);
  return e ? e->GetInt(vars, fallback) : fallback;
}

long double TComComponent::GetFloat(int number, TParamCollection& vars, long double fallback) const {
  const CommandExpr* e = Property(number);
  return e ? e->GetFloat(vars, fallback) : fallback;
}

bool TComComponent::GetFlag(int number, TParamCollection& vars, bool fallback) const {
  const CommandExpr* e = Property(number);
  return e ? e->GetFlag(vars, fallback) : fallback;
}

std::string TComComponent::GetStr(int number, TParamCollection& vars, std::string fallback) const {
  const CommandExpr* e = Property(number);
  return e ? e->GetStr(vars, std::move(fallback)) : fallback;
}

void TComComponent::DescribeFields(FieldVisitor& v) { v.Properties(*this); }

void TComCabinet::DescribeFields(FieldVisitor& v) {
  TComComponent::DescribeFields(v);
  v.Expr("mode", Mode);
  v.ExprList("names", Names);
}

void TComFlip::DescribeFields(FieldVisitor& v) {
  v.Expr("transition", Transition);
  v.Expr("time", Duration);
  v.Expr("reverse", Reverse);
  v.Expr("select", Selection);
  v.ExprList("lists", NameLists);
  v.Expr("clear", ClearOld);
  v.Expr("param0", Param0);
  v.Expr("param1", Param1);
  v.Expr("strparam", StrParam, 101);
  v.Expr("nointerrupt", NoInterrupt, 107);
}

void TComCalc::DescribeFields(FieldVisitor& v) { v.Expr("expr", Expression); }

void TComVarNew::DescribeFields(FieldVisitor& v) {
  v.String("name", VarName);
  v.Byte("type", VarType);
  v.Expr("value", InitialValue);
  v.Byte("scope", Scope);
}

void TComVarDel::DescribeFields(FieldVisitor& v) { v.String("name", VarName); }

void TComGetProp::DescribeFields(FieldVisitor& v) {
  v.Expr("object", ObjectName);
  v.Expr("prop", PropNumber);
  v.String("result", ResultName);
}

void TComSetProp::DescribeFields(FieldVisitor& v) {
  v.Expr("object", ObjectName);
  v.Expr("prop", PropNumber);
  v.Expr("value", Value);
}

void TComObjDel::DescribeFields(FieldVisitor& v) { v.Expr("object", ObjectName); }

void TComPropMotion::DescribeFields(FieldVisitor& v) {
  v.Expr("name", MotionName);
  v.Expr("object", TargetName);
  v.Expr("prop", PropNumber);
  v.Expr("value", EndValue);
  v.Expr("time", Duration);
  v.Expr("easing", Easing);
  v.Expr("stopped", Stopped, 108);
}

}  // namespace orin
