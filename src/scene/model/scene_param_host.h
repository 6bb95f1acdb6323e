// SceneParamHost: the scene's roles of the ParamHost (params/param_host.h) — the input system
// variables of the active root (@LClick, @MouseX, @KeyPush, @ActiveCompo, ...) and the object
// functions (GetProp, SetProp, Exists, ListCompo, the coordinate conversions, InPrimary and the
// item states). The player's host hands it in as the Input and Objects roles.
//
// Writing @MouseX / @MouseY does not move the system cursor here: that is the window's, and the
// scene has none.
//
// Object functions follow the scene's lookup: an empty name and "\001BASE0" name the active
// root. A name that finds no object does nothing, leaving the result at its fresh value.
//
// ListCompo(variable [, parent [, kind]]): the variable becomes a one-dimensional string array
// of object names — the children of the named control in drawing order when a parent name that
// is not empty is given, else every object of the scene in creation order — keeping only objects
// of the kind when a kind above 0 is given; internal and deleted objects are never listed. With
// no names the variable becomes the empty string. The result is the number of names. A parent
// name that finds no control lists nothing.
#pragma once

#include "params/param_host.h"

namespace orin {

class TOrinBaseList;

class SceneParamHost : public InputRole, public SceneObjectsRole {
 public:
  explicit SceneParamHost(TOrinBaseList& scene) : scene_(scene) {}

  TOrinBaseList& Scene() { return scene_; }

  bool LClick() override;
  void SetLClick(bool v) override;
  bool RClick() override;
  void SetRClick(bool v) override;
  bool LPush() override;
  bool RPush() override;
  int32_t MouseX() override;
  int32_t MouseY() override;
  void SetMouseX(int32_t) override {}
  void SetMouseY(int32_t) override {}
  bool KeyPush(int key) override;
  bool KeyClick(int key) override;
  bool KeyRepeat(int key) override;
  bool WheelDown() override;
  bool WheelUp() override;
  std::string ActiveCompo() override;
  void SetActiveCompo(const std::string& name) override;

  uint8_t PropertyValueType(int property) override;
  void GetProp(const std::string& object, int32_t property, TCustomParam& dest) override;
  void SetProp(const std::string& object, int32_t property, const TCustomParam& value) override;
  bool Exists(const std::string& object) override;
  bool GetCheck(const std::string& object, int32_t item) override;
  void SetCheck(const std::string& object, int32_t item, bool v) override;
  bool GetEnabled(const std::string& object, int32_t item) override;
  void SetEnabled(const std::string& object, int32_t item, bool v) override;
  bool GetVisible(const std::string& object, int32_t item) override;
  void SetVisible(const std::string& object, int32_t item, bool v) override;
  int32_t ToClientX(const std::string& object, int32_t x) override;
  int32_t ToClientY(const std::string& object, int32_t y) override;
  int32_t ToScreenX(const std::string& object, int32_t x) override;
  int32_t ToScreenY(const std::string& object, int32_t y) override;
  int32_t IndexOfMenu(const std::string& object, const std::string& text) override;
  bool InPrimary(const std::string& object) override;
  void ListCompo(FunctionArgs args, TCustomParam& dest) override;

 private:
  TOrinBaseList& scene_;
};

}  // namespace orin
