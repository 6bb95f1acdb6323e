// TParamCollection / TParamCollectionItem: the variables of a running game.
//
// One collection holds every variable: the fifty system variables first (items 0-49, never
// freed, never saved), then the game's variables and the temporaries of running expressions
// ("____" names). Lookups follow the scope rule of FindVariable: among equal names, a local of
// the current frame wins; other frames' locals are invisible; otherwise the oldest global wins.
//
// Stream formats (all integers little-endian, strings int32 length + bytes):
//   variable record: type code byte (the value's own class, 0 for a reference), name, value
//     (params/custom_param.h), IsPersistent byte, IsLocal byte, Frame int32, Extra byte.
//   SaveGame: int32 count, the records of every variable that is neither system nor persistent,
//     each reference after its target; int32 @TextDelay, @Cursor, @SelStr, int32 @SelIndex, six
//     int32 history-layout values, the @Temp alias name.
//   LoadGame(version): the same, @SelStr/@SelIndex only when version > 102, the history layout
//     when > 112, the alias name when > 120.
//   SavePersistent / LoadPersistent: count and records of the persistent variables only.
// Readers check every count against the bytes that remain and throw orin::Error on damage.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "core/hash_collection.h"
#include "params/custom_param.h"
#include "params/value_budget.h"

namespace orin {

class FunctionDispatcher;
class Stream;
struct ParamHost;
class NullParamHost;
class TParamCollection;

class TParamCollectionItem : public THashCollectionItem {
 public:
  TParamCollectionItem() = default;
  explicit TParamCollectionItem(std::unique_ptr<TCustomParam> value) : Value(std::move(value)) {}

  std::unique_ptr<TCustomParam> Value;
  bool IsLocal = false;       // visible only while the collection's CurrentFrame equals Frame
  bool IsPersistent = false;  // saved with the persistent set, not with a game
  int32_t Frame = -1;         // call-stack depth that owns the variable
  uint8_t Extra = 0;          // kept as stored

  // Names the variable. An empty name, one with a blank or one that begins with a digit raises
  // "\"name\"：変数名が不正です".
  void SetName(std::string name);
  bool IsSystem() const { return system_; }

  // The record after the type code; scope binds references by name.
  void SaveToStream(Stream& s) const;
  void LoadFromStream(Stream& s, const TParamCollection& scope);

 private:
  friend class TParamCollection;
  friend class TOrinParser;
  bool system_ = false;
  uint64_t runTag_ = 0;  // the evaluation that owns this temporary, 0 for none
  size_t runSlot_ = 0;   // the operation of that evaluation that made it
};

class TParamCollection : public THashCollectionOf<TParamCollectionItem> {
 public:
  static constexpr int kHistoryLayoutCount = 6;

  // Adds the fifty system variables.
  TParamCollection();
  ~TParamCollection() override;

  int32_t CurrentFrame = 0;  // depth of the call stack, kept by the interpreter
  // State of this subsystem that a game save carries.
  int32_t TextDelay = 50;
  std::string Cursor;
  std::string SelStr;
  int32_t SelIndex = 0;
  std::array<int32_t, kHistoryLayoutCount> HistoryLayout{};
  std::string TempName;  // the variable "@Temp" aliases, empty for none
  // Levels of @Result / @Temp forwarding now running (core/depth_guard.h), so that an alias
  // chain leading back to itself is cut.
  int ForwardDepth = 0;

  // The rest of the player as the system variables and functions see it (params/param_host.h),
  // and the dispatcher of the system functions; null restores the collection's own null roles (no
  // scene, no project, no window, a clock that stands still) and the dispatcher that does
  // nothing. Not owned: they must outlive the collection's use.
  void SetHost(ParamHost* host);
  ParamHost& Host() const { return *host_; }
  void SetFunctions(FunctionDispatcher* functions);
  FunctionDispatcher& Functions() const { return *functions_; }

  // Appends an unnamed variable holding a fresh value of the type (code 0: an unbound
  // reference); null for a code that has no value class. Name it with SetName.
  TParamCollectionItem* AddVariable(uint8_t typeCode);
  // Appends a named variable; raises the name error for an invalid name (nothing is added).
  TParamCollectionItem& AddVariable(uint8_t typeCode, std::string name);

  TParamCollectionItem* FindVariable(std::string_view name) const;
  TParamCollectionItem* FindVariable(const VariableKey& key) const;
  // The variable a declaration means: with local set only a local of the current frame,
  // without it only a non-local (the one FindVariable would choose).
  TParamCollectionItem* FindDeclared(std::string_view name, bool local) const;
  // A raw copy (shape and elements) of a variable's value, owned by the caller; null when no
  // variable has that name; "%s:不正な変数です" when its type is not 1-4.
  std::unique_ptr<TCustomParam> ExtractValueCopy(std::string_view name) const;

  // Frees the variable FindVariable finds; unknown names and system variables are left alone.
  void DeleteVariable(std::string_view name);
  // Frees every variable owned by the frame at that depth, last first.
  void DeleteFrame(int32_t depth);
  // Start of a new game: frees every variable that is neither system nor persistent and resets
  // @TextDelay, @Cursor and the history layout.
  void ClearGame();

  void SaveGame(Stream& s) const;
  void LoadGame(Stream& s, int version);
  void SavePersistent(Stream& s) const;
  void LoadPersistent(Stream& s, int version);

  // What the values of this collection's variables may take (params/value_budget.h). Every
  // value added is charged to it, and gives its bytes back when it is freed or extracted.
  ValueBudget& Budget() { return budget_; }
  const ValueBudget& Budget() const { return budget_; }

  // Evaluations tag the temporaries they create, so that they free exactly those.
  uint64_t NewRunTag() { return ++lastRunTag_; }

  // Every variable added or removed through this class changes Structure(), so an evaluation
  // can tell whether a lookup it made is still what a new lookup would give. These hide the
  // base class's operations of the same names; use them, not the base's.
  uint64_t Structure() const { return structure_; }
  TParamCollectionItem& Add(std::unique_ptr<TParamCollectionItem> item);
  void Delete(int index);
  std::unique_ptr<THashCollectionItem> Extract(int index);
  void Clear();

 private:
  void WriteRecords(Stream& s, bool persistent) const;
  void ReadRecords(Stream& s);
  // Frees every variable for which drop(item) is true, last first; never a system variable.
  template <class Pred>
  void FreeWhere(Pred drop);

  // Declared first: the values charged to it are freed before it.
  ValueBudget budget_;
  std::unique_ptr<NullParamHost> nullHost_;
  ParamHost* host_;
  FunctionDispatcher* functions_;
  uint64_t lastRunTag_ = 0;
  uint64_t structure_ = 0;
};

}  // namespace orin
