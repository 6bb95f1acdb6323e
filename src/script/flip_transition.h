// The seams through which the screen flip starts a transition and object classes add to their
// creation by a command. Both are filled in by the parts of the player that own transitions and
// the object classes; without them a flip is immediate and objects get their properties only.
//
// WipeTransitions is the player's TransitionFactory: it makes the kind's wipe from a WipeTable
// (imaging/wipes/wipe_table.h), gives it its defaults, then the flip's reverse flag, the
// parameters present and the string parameter, prepares it and runs it on a target surface the
// size of the screen, from the active root's picture (outgoing) to the inactive root's
// (incoming). The target starts as a copy of the outgoing picture, so the frame before the
// first step shows what was there. The flip's steps set the time; the scene composes the picture
// when it draws, from both roots as they are drawn in that frame. A flip that starts while
// another transition runs (from an event handler) starts from the picture on the screen, which
// it keeps a copy of, rather than jumping back to the active root's.
//
// The project's screen size sets kind 30's defaults to the screen's centre.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "imaging/wipes/wipe_table.h"
#include "script/command.h"

namespace orin {

class TComComponent;
class TOrinBaseList;
class TOrinObject;

struct FlipRequest {
  int32_t Kind = 0;  // 1-38; others make no transition
  bool Reverse = false;
  int32_t Duration = 1;  // milliseconds, at least 1
  std::optional<int32_t> Param0;
  std::optional<int32_t> Param1;
  std::optional<std::string> StrParam;
};

class TransitionFactory {
 public:
  virtual ~TransitionFactory() = default;
  // Makes the transition of the request's kind, gives it the parameters that are present, starts
  // it and hands it to the scene (TOrinBaseList::SwitchActive with the active index), which then
  // presents it. False when the kind makes no transition.
  virtual bool Start(TOrinBaseList& scene, const FlipRequest& request) = 0;
  // The project's screen size, known at game start (kind 30's default centre follows it).
  virtual void SetScreenSize(int32_t /*width*/, int32_t /*height*/) {}
  // The player's run-time generator, handed to every transition (null: the random kinds draw
  // from one of their own).
  virtual void SetRandom(RunTimeRandom* /*random*/) {}
};

class WipeTransitions final : public TransitionFactory {
 public:
  explicit WipeTransitions(WipeTable table = WipeTable::Standard()) : table_(std::move(table)) {}
  void SetRandom(RunTimeRandom* random) override { random_ = random; }
  void SetScreenSize(int32_t width, int32_t height) override;
  bool Start(TOrinBaseList& scene, const FlipRequest& request) override;

 private:
  WipeTable table_;
  RunTimeRandom* random_ = nullptr;
};

class CreationHooks {
 public:
  virtual ~CreationHooks() = default;
  // Before the properties are applied: classes that evaluate expressions of the record themselves
  // take copies of them (images property 26; particles 92, 93 and 26).
  virtual void BeforeProperties(ComKind /*kind*/, TOrinObject& /*object*/,
                                const TComComponent& /*command*/) {}
  // After them: sounds and videos start playing, menus start opening.
  virtual void AfterProperties(ComKind /*kind*/, TOrinObject& /*object*/,
                               const TComComponent& /*command*/) {}
};

}  // namespace orin
