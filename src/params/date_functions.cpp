// Date and time functions on date values (days since 1899-12-30, params/date_time.h).
#include "core/error.h"
#include "core/text.h"
#include "params/date_time.h"
#include "params/function_call.h"

namespace orin {

using namespace literals;

namespace {

void Put(FunctionCall& call, size_t i, int32_t v) {
  if (TCustomParam* target = call.Writable(i)) target->SetAsInt(v);
}

const std::string& WeekJText(int week) {
  switch (week) {
    case 1:
      return "日"_sj;
    case 2:
      return "月"_sj;
    case 3:
      return "火"_sj;
    case 4:
      return "水"_sj;
    case 5:
      return "木"_sj;
    case 6:
      return "金"_sj;
    default:
      return "土"_sj;
  }
}

}  // namespace

bool CallDateFunction(FunctionCall& call) {
  switch (call.Code) {
    case 51: {  // EncodeDate
      auto date = EncodeDate(call.Int(0), call.Int(1), call.Int(2));
      if (!date) throw Error("EncodeDate: invalid date");
      call.ResultFloat(*date);
      return true;
    }
    case 52: {  // EncodeTime
      auto time = EncodeTime(call.Int(0), call.Int(1), call.Int(2));
      if (!time) throw Error("EncodeTime: invalid time");
      call.ResultFloat(*time);
      return true;
    }
    case 53: {  // DecodeDate
      const DateParts d = DecodeDate(call.Float(0));
      Put(call, 1, d.Year);
      Put(call, 2, d.Month);
      Put(call, 3, d.Day);
      return true;
    }
    case 54: {  // DecodeTime
      const TimeParts t = DecodeTime(call.Float(0));
      Put(call, 1, t.Hour);
      Put(call, 2, t.Min);
      Put(call, 3, t.Sec);
      return true;
    }
    case 55:  // GetYear
      call.ResultInt(DecodeDate(call.Float(0)).Year);
      return true;
    case 56:  // GetMonth
      call.ResultInt(DecodeDate(call.Float(0)).Month);
      return true;
    case 57:  // GetDay
      call.ResultInt(DecodeDate(call.Float(0)).Day);
      return true;
    case 58:  // GetHour
      call.ResultInt(DecodeTime(call.Float(0)).Hour);
      return true;
    case 59:  // GetMin
      call.ResultInt(DecodeTime(call.Float(0)).Min);
      return true;
    case 60:  // GetSec
      call.ResultInt(DecodeTime(call.Float(0)).Sec);
      return true;
    case 61:  // GetWeek
      call.ResultInt(DayOfWeek(call.Float(0)));
      return true;
    case 62: {  // GetWeekStr
      static const char* const kNames[] = {"Sunday",   "Monday", "Tuesday", "Wednesday",
                                           "Thursday", "Friday", "Saturday"};
      call.ResultStr(kNames[DayOfWeek(call.Float(0)) - 1]);
      return true;
    }
    case 63:  // GetWeekJStr
      call.ResultStr(WeekJText(DayOfWeek(call.Float(0))));
      return true;
    default:
      return false;
  }
}

}  // namespace orin
