// ObjectCreationHooks: the player's CreationHooks — what object classes take from the creating
// command beyond their properties, one case per command kind.
//
// Standard() holds the player's cases: an image object (TComImgNew) takes a copy of the record's
// property-26 expression as its end delay, which it evaluates itself each time its last image is
// entered; a menu (TComMenu) or preview menu (TComPrevMenuNew) starts opening once its
// properties are set; a sound (TComSound) or video (TComMovie) starts playing, with a fade-in
// when its fade time is not 0. A class that needs more adds its case with AddBefore or AddAfter (one case
// per kind and moment; adding again replaces it).
#pragma once

#include <functional>
#include <unordered_map>

#include "script/flip_transition.h"

namespace orin {

class ObjectCreationHooks final : public CreationHooks {
 public:
  using Case = std::function<void(TOrinObject& object, const TComComponent& command)>;

  static ObjectCreationHooks Standard();

  void AddBefore(ComKind kind, Case c) { before_[kind] = std::move(c); }
  void AddAfter(ComKind kind, Case c) { after_[kind] = std::move(c); }

  void BeforeProperties(ComKind kind, TOrinObject& object, const TComComponent& command) override;
  void AfterProperties(ComKind kind, TOrinObject& object, const TComComponent& command) override;

 private:
  std::unordered_map<ComKind, Case> before_;
  std::unordered_map<ComKind, Case> after_;
};

}  // namespace orin
