#include "params/param_system.h"

#include "core/error.h"
#include "core/text.h"
#include "params/param_collection.h"

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

// --- SystemVariableHost ----------------------------------------------------------------------

int SystemVariableHost::GetCount(int index) {
  switch (index) {
    case kSysKeyPush:
    case kSysKeyClick:
    case kSysKeyRepeat:
      return 258;
    case kSysParamStr:   // as many as the call's parameters: none
    case kSysMidiPorts:  // as many as the MIDI ports: none
      return 0;
    default:
      return 1;
  }
}

uint8_t SystemVariableHost::GetType(int index) {
  return (index >= 0 && index < kSystemVariableCount) ? kSystemVariables[index].NativeType : 0;
}

SystemVariableHost& NeutralSystemVariableHost() {
  static SystemVariableHost host;
  return host;
}

// --- TParamSystem ----------------------------------------------------------------------------

SystemVariableHost& TParamSystem::Host() const {
  if (Index >= kSystemVariableCount) throw Error("内部エラー"_sj);
  return owner_.SystemHost();
}

int TParamSystem::GetCount() const {
  return Host().GetCount(Index);
}
void TParamSystem::SetCount(int n) {
  Host().SetCount(Index, n);
}
uint8_t TParamSystem::GetType() const {
  return Host().GetType(Index);
}
bool TParamSystem::GetAsFlag() const {
  return Host().GetAsFlag(Index);
}
long double TParamSystem::GetAsFloat() const {
  return Host().GetAsFloat(Index);
}
int32_t TParamSystem::GetAsInt() const {
  return Host().GetAsInt(Index);
}
std::string TParamSystem::GetAsStr() const {
  return Host().GetAsStr(Index);
}
void TParamSystem::SetAsFlag(bool v) {
  Host().SetAsFlag(Index, v);
}
void TParamSystem::SetAsFloat(long double v) {
  Host().SetAsFloat(Index, v);
}
void TParamSystem::SetAsInt(int32_t v) {
  Host().SetAsInt(Index, v);
}
void TParamSystem::SetAsStr(const std::string& v) {
  Host().SetAsStr(Index, v);
}
int32_t TParamSystem::GetIntAt(int i) const {
  return Host().GetIntAt(Index, i);
}
void TParamSystem::SetIntAt(int i, int32_t v) {
  Host().SetIntAt(Index, i, v);
}
long double TParamSystem::GetFloatAt(int i) const {
  return Host().GetFloatAt(Index, i);
}
void TParamSystem::SetFloatAt(int i, long double v) {
  Host().SetFloatAt(Index, i, v);
}
bool TParamSystem::GetFlagAt(int i) const {
  return Host().GetFlagAt(Index, i);
}
void TParamSystem::SetFlagAt(int i, bool v) {
  Host().SetFlagAt(Index, i, v);
}
std::string TParamSystem::GetStrAt(int i) const {
  return Host().GetStrAt(Index, i);
}
void TParamSystem::SetStrAt(int i, const std::string& v) {
  Host().SetStrAt(Index, i, v);
}
int TParamSystem::GetDimCount() const {
  return Host().GetDimCount(Index);
}
int TParamSystem::GetDim(int k) const {
  return Host().GetDim(Index, k);
}
void TParamSystem::SetDims(const std::vector<int32_t>& sizes) {
  Host().SetDims(Index, sizes);
}
void TParamSystem::FillInt(int32_t v) {
  Host().FillInt(Index, v);
}
void TParamSystem::FillFloat(long double v) {
  Host().FillFloat(Index, v);
}
void TParamSystem::FillFlag(bool v) {
  Host().FillFlag(Index, v);
}
void TParamSystem::FillStr(const std::string& v) {
  Host().FillStr(Index, v);
}
void TParamSystem::CopyMem(const TCustomParam& source) {
  Host().CopyMem(Index, source);
}
void TParamSystem::ResetToScalar() {
  Host().ResetToScalar(Index);
}
int TParamSystem::IndexOfStr(std::string_view text, bool caseSensitive, bool partial) const {
  return Host().IndexOfStr(Index, text, caseSensitive, partial);
}
void TParamSystem::SaveToStream(Stream& s) const {
  TCustomParam::SaveToStream(s);
}
void TParamSystem::LoadFromStream(Stream& s, const TParamCollection* scope) {
  TCustomParam::LoadFromStream(s, scope);
}

}  // namespace orin
