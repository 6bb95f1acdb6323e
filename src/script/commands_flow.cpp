#include "script/commands_flow.h"

namespace orin {

void TComIf::DescribeFields(FieldVisitor& v) { v.Expr("cond", Condition); }

void TComLabel::DescribeFields(FieldVisitor& v) { v.String("name", LabelName); }

void TComComment::DescribeFields(FieldVisitor& v) { v.String("text", LabelName); }

void TComJump::DescribeFields(FieldVisitor& v) {
  v.String("page", PageName);
  v.Int("target", Target, TargetRole::kNamedPage);
  v.Expr("cond", Condition);
}

void TComCall::DescribeFields(FieldVisitor& v) {
  v.String("page", PageName);
  v.Int("target", Target, TargetRole::kNamedPage);
  v.String("result", ResultName);
  v.Expr("cond", Condition);
  v.ExprList("args", Arguments);
}

void TComExit::DescribeFields(FieldVisitor& v) { v.Expr("cond", Condition); }

void TComBreak::DescribeFields(FieldVisitor& v) {
  TComExit::DescribeFields(v);
  v.Int("target", Target, TargetRole::kThisPage);
}

void TComContinue::DescribeFields(FieldVisitor& v) {
  TComExit::DescribeFields(v);
  v.Int("target", Target, TargetRole::kThisPage);
}

void TComWait::DescribeFields(FieldVisitor& v) {
  v.Expr("cond", Condition);
  v.Expr("time", Duration);
  v.Expr("nointerrupt", NoInterrupt, 107);
}

void TComWhile::DescribeFields(FieldVisitor& v) {
  v.Expr("cond", Condition);
  v.Int("exit", ExitIndex, TargetRole::kThisPage);
}

void TComWhileInit::DescribeFields(FieldVisitor& v) { v.Expr("expr", Expression); }

void TComWhileLoop::DescribeFields(FieldVisitor& v) {
  TComWhileInit::DescribeFields(v);
  v.Int("start", LoopStart, TargetRole::kThisPage);
}

void TComPCReset::DescribeFields(FieldVisitor& v) {
  v.String("page", PageName);
  v.Int("index", Index);
  v.Byte("flag", Flag);
}

void TComGameSave::DescribeFields(FieldVisitor& v) {
  v.Expr("slot", Slot);
  v.String("page", ResumePage);
  v.Int("index", ResumeIndex, TargetRole::kNone, 105);
  v.Expr("caption", Caption);
}

void TComGameLoad::DescribeFields(FieldVisitor& v) { v.Expr("slot", Slot); }

}  // namespace orin
