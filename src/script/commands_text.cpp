#include "script/commands_text.h"

namespace orin {

void TComTextIns::DescribeFields(FieldVisitor& v) {
  v.Data("text", TextData);
  v.Expr("window", WindowName);
  v.Expr("history", RecordHistory);
  v.Expr("wait", Wait);
  v.Expr("nointerrupt", NoInterrupt, 107);
}

void TComTextClr::DescribeFields(FieldVisitor& v) { v.Expr("window", WindowName); }

void TComCallHist::DescribeFields(FieldVisitor& v) {
  v.Expr("window", WindowName);
  v.Expr("first", First);
  v.Expr("count", Count);
  v.Expr("flag", Flag);
}

void TComEntryHist::DescribeFields(FieldVisitor& v) { v.Expr("object", ObjectName); }

void TComMenuClose::DescribeFields(FieldVisitor& v) { v.Expr("menu", MenuName); }

void TComMovieStop::DescribeFields(FieldVisitor& v) {
  v.Expr("object", ObjectName);
  v.Expr("fade", FadeTime);
  v.Expr("wait", Wait);
  v.Expr("nointerrupt", NoInterrupt, 107);
}

void TComMediaPlay::DescribeFields(FieldVisitor& v) { v.Expr("object", ObjectName); }

}  // namespace orin
