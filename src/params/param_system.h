// System variables: the fifty TParamSystem values at the head of the variable collection, named
// "@Result" ... "@StackCount", which read and write the state of the player instead of stored
// elements.
//
// The rules live here; the state comes from the collection (@TextDelay, @Cursor, @SelStr,
// @SelIndex and the name @Temp aliases) or from its ParamHost (everything else).
//
//   * @Result and @Temp pass every value operation, shape and element operations included, to a
//     value: the return value of the page call now running, or the variable whose name
//     AssignTemp stored. Without one, reads give 0 / 0.0 / FALSE / empty and writes are ignored;
//     the type is then the running page's result type (@Result) or 0 (@Temp).
//   * The others have a fixed native type and convert through it by their own table: text reads
//     as a number by the integer parse (as a float too) and as a flag when it is not empty.
//     Writes convert the other way; text that does not parse leaves a number unchanged, and a
//     flag set from text takes "integer parse != 0". Writes to read-only variables are ignored.
//   * One element each, except @ParamStr (@ParamCount), @KeyPush / @KeyClick / @KeyRepeat (258:
//     virtual keys 0-255, then @WheelDown and @WheelUp) and @MidiPorts (the port count). One
//     dimension of that size; SetCount and SetDims change nothing. Element access on a scalar
//     variable ignores the index; an index outside an array reads as the fresh value.
//   * A variable number outside 0-49 (only from damaged data) raises "内部エラー".
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "params/custom_param.h"

namespace orin {

struct ParamHost;
class TParamCollection;
class Stream;

struct SystemVariableInfo {
  const char* Name;    // ASCII, so the same bytes in cp932
  uint8_t NativeType;  // 0 where the type follows the running page ("@Result") or the alias ("@Temp")
};

constexpr int kSystemVariableCount = 50;
extern const SystemVariableInfo kSystemVariables[kSystemVariableCount];

enum SystemVariableIndex : int {
  kSysResult = 0,
  kSysLClick = 1,
  kSysRClick = 2,
  kSysLPush = 3,
  kSysRPush = 4,
  kSysMouseX = 5,
  kSysMouseY = 6,
  kSysTextDelay = 7,
  kSysHistoryCount = 8,
  kSysParamCount = 9,
  kSysParamStr = 10,
  kSysSender = 11,
  kSysScrWidth = 12,
  kSysScrHeight = 13,
  kSysTickCount = 14,
  kSysPCTickCount = 15,
  kSysUpdateCount = 16,
  kSysYear = 17,
  kSysMonth = 18,
  kSysDay = 19,
  kSysWeek = 20,
  kSysHour = 21,
  kSysMin = 22,
  kSysSec = 23,
  kSysFonts = 24,
  kSysFixedFonts = 25,
  kSysFullScr = 26,
  kSysCursor = 27,
  kSysSelStr = 28,
  kSysSelIndex = 29,
  kSysPi = 30,
  kSysCGDither = 31,
  kSys1Hour = 32,
  kSys1Min = 33,
  kSys1Sec = 34,
  kSysKeyPush = 35,
  kSysKeyClick = 36,
  kSysDisplayModeCount = 37,
  kSysDisplayModeIndex = 38,
  kSysTitle = 39,
  kSysSoundON = 40,
  kSysActiveCompo = 41,
  kSysKeyRepeat = 42,
  kSysHistoryMaxCount = 43,
  kSysTemp = 44,
  kSysMidiPort = 45,
  kSysMidiPorts = 46,
  kSysWheelDown = 47,
  kSysWheelUp = 48,
  kSysStackCount = 49,
};

// Elements of the key tables: 256 virtual keys, then the wheel.
constexpr int kKeyTableCount = 258;

class TParamSystem : public TCustomParam {
 public:
  TParamSystem(TParamCollection& owner, uint8_t index) : Index(index), owner_(owner) {}

  uint8_t Index;  // the system variable number, 0-49

  int GetCount() const override;
  void SetCount(int n) override;
  uint8_t GetType() const override;
  bool GetAsFlag() const override;
  long double GetAsFloat() const override;
  int32_t GetAsInt() const override;
  std::string GetAsStr() const override;
  void SetAsFlag(bool v) override;
  void SetAsFloat(long double v) override;
  void SetAsInt(int32_t v) override;
  void SetAsStr(const std::string& v) override;
  int32_t GetIntAt(int i) const override;
  void SetIntAt(int i, int32_t v) override;
  long double GetFloatAt(int i) const override;
  void SetFloatAt(int i, long double v) override;
  bool GetFlagAt(int i) const override;
  void SetFlagAt(int i, bool v) override;
  std::string GetStrAt(int i) const override;
  void SetStrAt(int i, const std::string& v) override;
  int GetDimCount() const override;
  int GetDim(int k) const override;
  void AssignRaw(const TCustomParam& source) override;
  void SetDims(const std::vector<int32_t>& sizes) override;
  void FillInt(int32_t v) override;
  void FillFloat(long double v) override;
  void FillFlag(bool v) override;
  void FillStr(const std::string& v) override;
  void CopyMem(const TCustomParam& source) override;
  void ResetToScalar() override;
  int IndexOfStr(std::string_view text, bool caseSensitive, bool partial) const override;
  // System variables are never saved; these exist only to complete the value interface.
  void SaveToStream(Stream& s) const override;
  void LoadFromStream(Stream& s, const TParamCollection* scope) override;
  uint8_t StorageType() const override { return GetType(); }
  void Reset() override {}

  // @Result and @Temp: the value they stand for now, or null (also for every other variable).
  TCustomParam* Forwarded() const;

  // The native value of one element (-1: the scalar read).
  struct Native {
    uint8_t Type = kTypeInt;
    int32_t Int = 0;
    long double Float = 0;
    bool Flag = false;
    std::string Str;
  };

 private:
  bool Forwards() const { return Index == kSysResult || Index == kSysTemp; }
  bool IsArray() const;
  uint8_t NativeType() const;
  Native Read(int element) const;
  // Stores a value already converted to the native type; read-only variables ignore it.
  void Write(const Native& v);
  ParamHost& Host() const;

  template <class F, class R>
  R Through(F f, R none) const;
  template <class F>
  void ThroughVoid(F f) const;

  TParamCollection& owner_;
};

}  // namespace orin
