#include "params/param_system.h"

#include <optional>

#include "core/depth_guard.h"
#include "core/error.h"
#include "core/text.h"
#include "params/param_collection.h"
#include "params/param_host.h"
#include "params/param_text.h"

namespace orin {

using namespace literals;

const SystemVariableInfo kSystemVariables[kSystemVariableCount] = {
    {"@Result", 0},
    {"@LClick", kTypeFlag},
    {"@RClick", kTypeFlag},
    {"@LPush", kTypeFlag},
    {"@RPush", kTypeFlag},
    {"@MouseX", kTypeInt},
    {"@MouseY", kTypeInt},
    {"@TextDelay", kTypeInt},
    {"@HistoryCount", kTypeInt},
    {"@ParamCount", kTypeInt},
    {"@ParamStr", kTypeStr},
    {"@Sender", kTypeStr},
    {"@ScrWidth", kTypeInt},
    {"@ScrHeight", kTypeInt},
    {"@TickCount", kTypeInt},
    {"@PCTickCount", kTypeInt},
    {"@UpdateCount", kTypeInt},
    {"@Year", kTypeInt},
    {"@Month", kTypeInt},
    {"@Day", kTypeInt},
    {"@Week", kTypeInt},
    {"@Hour", kTypeInt},
    {"@Min", kTypeInt},
    {"@Sec", kTypeInt},
    {"@Fonts", kTypeStr},
    {"@FixedFonts", kTypeStr},
    {"@FullScr", kTypeFlag},
    {"@Cursor", kTypeStr},
    {"@SelStr", kTypeStr},
    {"@SelIndex", kTypeInt},
    {"@Pi", kTypeFloat},
    {"@CGDither", kTypeFlag},
    {"@1Hour", kTypeFloat},
    {"@1Min", kTypeFloat},
    {"@1Sec", kTypeFloat},
    {"@KeyPush", kTypeFlag},
    {"@KeyClick", kTypeFlag},
    {"@DisplayModeCount", kTypeInt},
    {"@DisplayModeIndex", kTypeInt},
    {"@Title", kTypeStr},
    {"@SoundON", kTypeFlag},
    {"@ActiveCompo", kTypeStr},
    {"@KeyRepeat", kTypeFlag},
    {"@HistoryMaxCount", kTypeInt},
    {"@Temp", 0},
    {"@MidiPort", kTypeStr},
    {"@MidiPorts", kTypeStr},
    {"@WheelDown", kTypeFlag},
    {"@WheelUp", kTypeFlag},
    {"@StackCount", kTypeInt},
};

namespace {

using Native = TParamSystem::Native;

[[noreturn]] void ThrowInternal() {
  throw Error("内部エラー"_sj);
}

// @Temp may alias a variable that leads back to @Temp (directly, or through a reference); such a
// chain is cut here instead of recursing until the stack runs out.
constexpr int kMaxForwardDepth = 16;

// Reads by the system variables' own table.
int32_t ToInt(const Native& v) {
  switch (v.Type) {
    case kTypeInt:
      return v.Int;
    case kTypeFloat:
      return TruncToInt(v.Float);
    case kTypeFlag:
      return v.Flag ? 1 : 0;
    default:
      return ParseInt(v.Str).value_or(0);
  }
}

long double ToFloat(const Native& v) {
  switch (v.Type) {
    case kTypeInt:
      return v.Int;
    case kTypeFloat:
      return v.Float;
    case kTypeFlag:
      return v.Flag ? 1 : 0;
    default:
      // Text reads as a float by the integer parse.
      return ParseInt(v.Str).value_or(0);
  }
}

bool ToFlag(const Native& v) {
  switch (v.Type) {
    case kTypeInt:
      return v.Int != 0;
    case kTypeFloat:
      return v.Float != 0;
    case kTypeFlag:
      return v.Flag;
    default:
      return !v.Str.empty();
  }
}

std::string ToStr(Native v) {
  switch (v.Type) {
    case kTypeInt:
      return IntToText(v.Int);
    case kTypeFloat:
      return FloatToText(v.Float);
    case kTypeFlag:
      return v.Flag ? "TRUE" : "FALSE";
    default:
      return std::move(v.Str);
  }
}

// Writes: the given value in the native type, or nothing when text does not parse.
Native OfType(uint8_t type) {
  Native n;
  n.Type = type;
  return n;
}

Native FromInt(uint8_t type, int32_t v) {
  Native n = OfType(type);
  n.Int = v;
  n.Float = v;
  n.Flag = v != 0;
  if (type == kTypeStr) n.Str = IntToText(v);
  return n;
}

Native FromFloat(uint8_t type, long double v) {
  Native n = OfType(type);
  n.Int = TruncToInt(v);
  n.Float = v;
  n.Flag = v != 0;
  if (type == kTypeStr) n.Str = FloatToText(v);
  return n;
}

Native FromFlag(uint8_t type, bool v) {
  Native n = OfType(type);
  n.Int = v ? 1 : 0;
  n.Float = v ? 1 : 0;
  n.Flag = v;
  if (type == kTypeStr) n.Str = v ? "TRUE" : "FALSE";
  return n;
}

std::optional<Native> FromStr(uint8_t type, const std::string& v) {
  Native n = OfType(type);
  switch (type) {
    case kTypeInt: {
      auto parsed = ParseInt(v);
      if (!parsed) return std::nullopt;
      n.Int = *parsed;
      break;
    }
    case kTypeFloat: {
      auto parsed = ParseFloat(v);
      if (!parsed) return std::nullopt;
      n.Float = *parsed;
      break;
    }
    case kTypeFlag:
      n.Flag = ParseInt(v).value_or(0) != 0;
      break;
    default:
      n.Str = v;
      break;
  }
  return n;
}

// Font lists read as the lines of a text list, with the blanks around the whole text removed.
std::string FontText(const std::vector<std::string>& names) {
  std::string text;
  for (const std::string& name : names) {
    text += name;
    text += "\r\n";
  }
  size_t begin = 0, end = text.size();
  while (begin < end && static_cast<uint8_t>(text[begin]) <= ' ') ++begin;
  while (end > begin && static_cast<uint8_t>(text[end - 1]) <= ' ') --end;
  return text.substr(begin, end - begin);
}

Native MakeInt(int32_t v) {
  Native n;
  n.Type = kTypeInt;
  n.Int = v;
  return n;
}
Native MakeFloat(long double v) {
  Native n;
  n.Type = kTypeFloat;
  n.Float = v;
  return n;
}
Native MakeFlag(bool v) {
  Native n;
  n.Type = kTypeFlag;
  n.Flag = v;
  return n;
}
Native MakeStr(std::string v) {
  Native n;
  n.Type = kTypeStr;
  n.Str = std::move(v);
  return n;
}

}  // namespace

ParamHost& TParamSystem::Host() const {
  return owner_.Host();
}

TCustomParam* TParamSystem::Forwarded() const {
  if (Index == kSysResult) return Host().Call.ResultValue();
  if (Index != kSysTemp || owner_.TempName.empty()) return nullptr;
  TParamCollectionItem* item = owner_.FindVariable(owner_.TempName);
  if (!item || item->Value.get() == this) return nullptr;
  return item->Value.get();
}

template <class F, class R>
R TParamSystem::Through(F f, R none) const {
  DepthGuard guard(owner_.ForwardDepth);
  TCustomParam* value = guard.Within(kMaxForwardDepth) ? Forwarded() : nullptr;
  return value ? f(*value) : none;
}

template <class F>
void TParamSystem::ThroughVoid(F f) const {
  DepthGuard guard(owner_.ForwardDepth);
  if (TCustomParam* value = guard.Within(kMaxForwardDepth) ? Forwarded() : nullptr) f(*value);
}

uint8_t TParamSystem::NativeType() const {
  if (Index >= kSystemVariableCount) ThrowInternal();
  return kSystemVariables[Index].NativeType;
}

bool TParamSystem::IsArray() const {
  switch (Index) {
    case kSysParamStr:
    case kSysKeyPush:
    case kSysKeyClick:
    case kSysKeyRepeat:
    case kSysMidiPorts:
      return true;
    default:
      return false;
  }
}

TParamSystem::Native TParamSystem::Read(int element) const {
  ParamHost& host = Host();
  auto key = [&](bool (InputRole::*held)(int)) {
    const int k = element < 0 ? 0 : element;
    if (k < 256) return MakeFlag((host.Input.*held)(k));
    if (k == 256) return MakeFlag(host.Input.WheelDown());
    if (k == 257) return MakeFlag(host.Input.WheelUp());
    return MakeFlag(false);
  };
  switch (Index) {
    case kSysLClick:
      return MakeFlag(host.Input.LClick());
    case kSysRClick:
      return MakeFlag(host.Input.RClick());
    case kSysLPush:
      return MakeFlag(host.Input.LPush());
    case kSysRPush:
      return MakeFlag(host.Input.RPush());
    case kSysMouseX:
      return MakeInt(host.Input.MouseX());
    case kSysMouseY:
      return MakeInt(host.Input.MouseY());
    case kSysTextDelay:
      return MakeInt(owner_.TextDelay);
    case kSysHistoryCount:
      return MakeInt(host.History.HistoryCount());
    case kSysParamCount:
      return MakeInt(host.Call.ParamCount());
    case kSysParamStr:
      // Read as a scalar, the parameter list is empty.
      if (element < 0 || element >= host.Call.ParamCount()) return MakeStr({});
      return MakeStr(host.Call.ParamStr(element));
    case kSysSender:
      return MakeStr(host.Call.SenderName());
    case kSysScrWidth:
      return MakeInt(host.Screen.ScreenWidth());
    case kSysScrHeight:
      return MakeInt(host.Screen.ScreenHeight());
    case kSysTickCount:
      return MakeInt(host.Clock.TickCount());
    case kSysPCTickCount:
      return MakeInt(host.Clock.PCTickCount());
    case kSysUpdateCount:
      return MakeInt(host.Clock.UpdateCount());
    case kSysYear:
      return MakeInt(host.Clock.Now().Year);
    case kSysMonth:
      return MakeInt(host.Clock.Now().Month);
    case kSysDay:
      return MakeInt(host.Clock.Now().Day);
    case kSysWeek:
      return MakeInt(host.Clock.Now().Week);
    case kSysHour:
      return MakeInt(host.Clock.Now().Hour);
    case kSysMin:
      return MakeInt(host.Clock.Now().Min);
    case kSysSec:
      return MakeInt(host.Clock.Now().Sec);
    case kSysFonts:
      return MakeStr(FontText(host.Screen.FontNames(false)));
    case kSysFixedFonts:
      return MakeStr(FontText(host.Screen.FontNames(true)));
    case kSysFullScr:
      return MakeFlag(host.Screen.FullScreen());
    case kSysCursor:
      return MakeStr(owner_.Cursor);
    case kSysSelStr:
      return MakeStr(owner_.SelStr);
    case kSysSelIndex:
      return MakeInt(owner_.SelIndex);
    case kSysPi:
      return MakeFloat(3.14159265358979323846264338327950288L);
    case kSysCGDither:
      return MakeFlag(host.Screen.CGDither());
    case kSys1Hour:
      return MakeFloat(1.0L / 24);
    case kSys1Min:
      return MakeFloat(1.0L / 1440);
    case kSys1Sec:
      return MakeFloat(1.0L / 86400);
    case kSysKeyPush:
      return key(&InputRole::KeyPush);
    case kSysKeyClick:
      return key(&InputRole::KeyClick);
    case kSysKeyRepeat:
      return key(&InputRole::KeyRepeat);
    case kSysDisplayModeCount:
      return MakeInt(host.Screen.DisplayModeCount());
    case kSysDisplayModeIndex:
      return MakeInt(host.Screen.DisplayModeIndex());
    case kSysTitle:
      return MakeStr(host.Screen.Title());
    case kSysSoundON:
      return MakeFlag(host.Media.SoundOn());
    case kSysActiveCompo:
      return MakeStr(host.Input.ActiveCompo());
    case kSysHistoryMaxCount:
      return MakeInt(host.History.HistoryMaxCount());
    case kSysMidiPort:
      return MakeStr(host.Media.MidiPort());
    case kSysMidiPorts: {
      // Read as a scalar, the list is its first port.
      const int i = element < 0 ? 0 : element;
      if (i >= host.Media.MidiPortCount()) return MakeStr({});
      return MakeStr(host.Media.MidiPortName(i));
    }
    case kSysWheelDown:
      return MakeFlag(host.Input.WheelDown());
    case kSysWheelUp:
      return MakeFlag(host.Input.WheelUp());
    case kSysStackCount:
      return MakeInt(host.Call.StackCount());
    case kSysResult:
    case kSysTemp: {
      // Only reached without a value to forward to.
      Native none;
      none.Type = Index == kSysResult ? host.Call.RunningPageResultType() : kTypeInt;
      if (none.Type < kTypeInt || none.Type > kTypeStr) none.Type = kTypeInt;
      return none;
    }
    default:
      ThrowInternal();
  }
}

void TParamSystem::Write(const Native& v) {
  ParamHost& host = Host();
  switch (Index) {
    case kSysLClick:
      host.Input.SetLClick(v.Flag);
      break;
    case kSysRClick:
      host.Input.SetRClick(v.Flag);
      break;
    case kSysMouseX:
      host.Input.SetMouseX(v.Int);
      break;
    case kSysMouseY:
      host.Input.SetMouseY(v.Int);
      break;
    case kSysTextDelay:
      owner_.TextDelay = v.Int;
      break;
    case kSysFullScr:
      host.Screen.SetFullScreen(v.Flag);
      break;
    case kSysCursor:
      owner_.Cursor = v.Str;
      break;
    case kSysSelStr:
      owner_.SelStr = v.Str;
      break;
    case kSysSelIndex:
      owner_.SelIndex = v.Int;
      break;
    case kSysCGDither:
      host.Screen.SetCGDither(v.Flag);
      break;
    case kSysDisplayModeIndex:
      host.Screen.SetDisplayModeIndex(v.Int);
      break;
    case kSysSoundON:
      host.Media.SetSoundOn(v.Flag);
      break;
    case kSysActiveCompo:
      host.Input.SetActiveCompo(v.Str);
      break;
    case kSysHistoryMaxCount:
      host.History.SetHistoryMaxCount(v.Int);
      break;
    case kSysMidiPort:
      host.Media.SetMidiPort(v.Str);
      break;
    default:
      if (Index >= kSystemVariableCount) ThrowInternal();
      break;  // read-only
  }
}

int TParamSystem::GetCount() const {
  if (Forwards()) return Through([](TCustomParam& v) { return v.GetCount(); }, 1);
  switch (Index) {
    case kSysParamStr: {
      const int32_t n = Host().Call.ParamCount();
      return n > 0 ? n : 0;
    }
    case kSysKeyPush:
    case kSysKeyClick:
    case kSysKeyRepeat:
      return kKeyTableCount;
    case kSysMidiPorts: {
      const int32_t n = Host().Media.MidiPortCount();
      return n > 0 ? n : 0;
    }
    default:
      NativeType();  // checks the number
      return 1;
  }
}

void TParamSystem::SetCount(int n) {
  ThroughVoid([n](TCustomParam& v) { v.SetCount(n); });
}

uint8_t TParamSystem::GetType() const {
  if (Index == kSysResult) {
    DepthGuard guard(owner_.ForwardDepth);
    TCustomParam* value = guard.Within(kMaxForwardDepth) ? Forwarded() : nullptr;
    return value ? value->GetType() : Host().Call.RunningPageResultType();
  }
  if (Index == kSysTemp) return Through([](TCustomParam& v) { return v.GetType(); }, uint8_t{0});
  return NativeType();
}

bool TParamSystem::GetAsFlag() const {
  if (Forwards()) return Through([](TCustomParam& v) { return v.GetAsFlag(); }, false);
  return ToFlag(Read(-1));
}

long double TParamSystem::GetAsFloat() const {
  if (Forwards()) return Through([](TCustomParam& v) { return v.GetAsFloat(); }, 0.0L);
  return ToFloat(Read(-1));
}

int32_t TParamSystem::GetAsInt() const {
  if (Forwards()) return Through([](TCustomParam& v) { return v.GetAsInt(); }, int32_t{0});
  return ToInt(Read(-1));
}

std::string TParamSystem::GetAsStr() const {
  if (Forwards()) return Through([](TCustomParam& v) { return v.GetAsStr(); }, std::string());
  return ToStr(Read(-1));
}

void TParamSystem::SetAsFlag(bool v) {
  if (Forwards()) return ThroughVoid([v](TCustomParam& t) { t.SetAsFlag(v); });
  Write(FromFlag(NativeType(), v));
}

void TParamSystem::SetAsFloat(long double v) {
  if (Forwards()) return ThroughVoid([v](TCustomParam& t) { t.SetAsFloat(v); });
  Write(FromFloat(NativeType(), v));
}

void TParamSystem::SetAsInt(int32_t v) {
  if (Forwards()) return ThroughVoid([v](TCustomParam& t) { t.SetAsInt(v); });
  Write(FromInt(NativeType(), v));
}

void TParamSystem::SetAsStr(const std::string& v) {
  if (Forwards()) return ThroughVoid([&v](TCustomParam& t) { t.SetAsStr(v); });
  if (auto n = FromStr(NativeType(), v)) Write(*n);
}

int32_t TParamSystem::GetIntAt(int i) const {
  if (Forwards()) return Through([i](TCustomParam& v) { return v.GetIntAt(i); }, int32_t{0});
  return ToInt(Read(IsArray() ? i : -1));
}

long double TParamSystem::GetFloatAt(int i) const {
  if (Forwards()) return Through([i](TCustomParam& v) { return v.GetFloatAt(i); }, 0.0L);
  return ToFloat(Read(IsArray() ? i : -1));
}

bool TParamSystem::GetFlagAt(int i) const {
  if (Forwards()) return Through([i](TCustomParam& v) { return v.GetFlagAt(i); }, false);
  return ToFlag(Read(IsArray() ? i : -1));
}

std::string TParamSystem::GetStrAt(int i) const {
  if (Forwards()) return Through([i](TCustomParam& v) { return v.GetStrAt(i); }, std::string());
  return ToStr(Read(IsArray() ? i : -1));
}

// Every array among the system variables is read-only, so element writes reach only scalars,
// which take them as writes of the variable itself.
void TParamSystem::SetIntAt(int i, int32_t v) {
  if (Forwards()) return ThroughVoid([i, v](TCustomParam& t) { t.SetIntAt(i, v); });
  if (!IsArray()) SetAsInt(v);
}

void TParamSystem::SetFloatAt(int i, long double v) {
  if (Forwards()) return ThroughVoid([i, v](TCustomParam& t) { t.SetFloatAt(i, v); });
  if (!IsArray()) SetAsFloat(v);
}

void TParamSystem::SetFlagAt(int i, bool v) {
  if (Forwards()) return ThroughVoid([i, v](TCustomParam& t) { t.SetFlagAt(i, v); });
  if (!IsArray()) SetAsFlag(v);
}

void TParamSystem::SetStrAt(int i, const std::string& v) {
  if (Forwards()) return ThroughVoid([i, &v](TCustomParam& t) { t.SetStrAt(i, v); });
  if (!IsArray()) SetAsStr(v);
}

int TParamSystem::GetDimCount() const {
  if (Forwards()) return Through([](TCustomParam& v) { return v.GetDimCount(); }, 1);
  return 1;
}

int TParamSystem::GetDim(int k) const {
  if (Forwards()) return Through([k](TCustomParam& v) { return v.GetDim(k); }, 1);
  return k == 0 ? GetCount() : 1;
}

void TParamSystem::AssignRaw(const TCustomParam& source) {
  if (Forwards()) return ThroughVoid([&source](TCustomParam& t) { t.AssignRaw(source); });
  TCustomParam::AssignRaw(source);
}

void TParamSystem::SetDims(const std::vector<int32_t>& sizes) {
  if (Forwards()) return ThroughVoid([&sizes](TCustomParam& t) { t.SetDims(sizes); });
  // Sizes are still checked; the element count stays what the player's state gives.
  TCustomParam::SetDims(sizes);
  Dims.clear();
}

void TParamSystem::FillInt(int32_t v) {
  ThroughVoid([v](TCustomParam& t) { t.FillInt(v); });
}

void TParamSystem::FillFloat(long double v) {
  ThroughVoid([v](TCustomParam& t) { t.FillFloat(v); });
}

void TParamSystem::FillFlag(bool v) {
  ThroughVoid([v](TCustomParam& t) { t.FillFlag(v); });
}

void TParamSystem::FillStr(const std::string& v) {
  ThroughVoid([&v](TCustomParam& t) { t.FillStr(v); });
}

void TParamSystem::CopyMem(const TCustomParam& source) {
  ThroughVoid([&source](TCustomParam& t) { t.CopyMem(source); });
}

void TParamSystem::ResetToScalar() {
  ThroughVoid([](TCustomParam& t) { t.ResetToScalar(); });
}

int TParamSystem::IndexOfStr(std::string_view text, bool caseSensitive, bool partial) const {
  if (Forwards())
    return Through([&](TCustomParam& v) { return v.IndexOfStr(text, caseSensitive, partial); }, -1);
  return TCustomParam::IndexOfStr(text, caseSensitive, partial);
}

void TParamSystem::SaveToStream(Stream& s) const {
  TCustomParam::SaveToStream(s);
}

void TParamSystem::LoadFromStream(Stream& s, const TParamCollection* scope) {
  TCustomParam::LoadFromStream(s, scope);
}

}  // namespace orin
