// System variables: the fifty TParamSystem values at the head of the variable collection, named
// "@Result" ... "@StackCount", which read and write the state of the player instead of stored
// elements.
//
// Every value operation of a TParamSystem goes to the collection's SystemVariableHost with the
// variable's number. The host given here answers neutral values (type: the native type of the
// table below, 0 for "@Result" and "@Temp"; reads 0, 0.0, FALSE or empty; writes ignored; one
// element, 258 for the key tables); the player's host replaces it.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "params/custom_param.h"

namespace orin {

class TParamCollection;
class Stream;

struct SystemVariableInfo {
  const char* Name;  // ASCII, so the same bytes in cp932
  uint8_t
      NativeType;  // 0 where the type follows the running page ("@Result") or the alias ("@Temp")
};

constexpr int kSystemVariableCount = 50;
extern const SystemVariableInfo kSystemVariables[kSystemVariableCount];

// Indices of system variables whose number other code needs.
enum SystemVariableIndex : int {
  kSysResult = 0,
  kSysTextDelay = 7,
  kSysParamStr = 10,
  kSysCursor = 27,
  kSysSelStr = 28,
  kSysSelIndex = 29,
  kSysKeyPush = 35,
  kSysKeyClick = 36,
  kSysKeyRepeat = 42,
  kSysTemp = 44,
  kSysMidiPorts = 46,
};

// The behaviour of the system variables, keyed by variable number. Each operation mirrors the
// value operation of the same name; the defaults are the neutral answers described above.
class SystemVariableHost {
 public:
  virtual ~SystemVariableHost() = default;

  virtual int GetCount(int index);
  virtual void SetCount(int /*index*/, int /*n*/) {}
  virtual uint8_t GetType(int index);
  virtual bool GetAsFlag(int /*index*/) { return false; }
  virtual long double GetAsFloat(int /*index*/) { return 0; }
  virtual int32_t GetAsInt(int /*index*/) { return 0; }
  virtual std::string GetAsStr(int /*index*/) { return {}; }
  virtual void SetAsFlag(int /*index*/, bool /*v*/) {}
  virtual void SetAsFloat(int /*index*/, long double /*v*/) {}
  virtual void SetAsInt(int /*index*/, int32_t /*v*/) {}
  virtual void SetAsStr(int /*index*/, const std::string& /*v*/) {}
  virtual int32_t GetIntAt(int /*index*/, int /*i*/) { return 0; }
  virtual void SetIntAt(int /*index*/, int /*i*/, int32_t /*v*/) {}
  virtual long double GetFloatAt(int /*index*/, int /*i*/) { return 0; }
  virtual void SetFloatAt(int /*index*/, int /*i*/, long double /*v*/) {}
  virtual bool GetFlagAt(int /*index*/, int /*i*/) { return false; }
  virtual void SetFlagAt(int /*index*/, int /*i*/, bool /*v*/) {}
  virtual std::string GetStrAt(int /*index*/, int /*i*/) { return {}; }
  virtual void SetStrAt(int /*index*/, int /*i*/, const std::string& /*v*/) {}
  virtual int GetDimCount(int /*index*/) { return 1; }
  virtual int GetDim(int index, int k) { return k == 0 ? GetCount(index) : 1; }
  virtual void SetDims(int /*index*/, const std::vector<int32_t>& /*sizes*/) {}
  virtual void FillInt(int /*index*/, int32_t /*v*/) {}
  virtual void FillFloat(int /*index*/, long double /*v*/) {}
  virtual void FillFlag(int /*index*/, bool /*v*/) {}
  virtual void FillStr(int /*index*/, const std::string& /*v*/) {}
  virtual void CopyMem(int /*index*/, const TCustomParam& /*source*/) {}
  virtual void ResetToScalar(int /*index*/) {}
  virtual int IndexOfStr(int /*index*/, std::string_view /*text*/, bool /*caseSensitive*/,
                         bool /*partial*/) {
    return -1;
  }
};

// The neutral host, shared by collections that were given none.
SystemVariableHost& NeutralSystemVariableHost();

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
  // Never stored: the native type, for completeness.
  uint8_t StorageType() const override { return GetType(); }
  void Reset() override {}

 private:
  // The host, after checking Index ("内部エラー" outside 0-49, possible only in damaged data).
  SystemVariableHost& Host() const;

  TParamCollection& owner_;
};

}  // namespace orin
