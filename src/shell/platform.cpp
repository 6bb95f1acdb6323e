#include "shell/platform.h"

namespace orin {

InputEvent InputEvent::KeyDown(int key, bool repeat, bool alt) {
  InputEvent e = Of(InputKind::kKeyDown);
  e.Key = key;
  e.Repeat = repeat;
  e.Alt = alt;
  return e;
}

InputEvent InputEvent::KeyUp(int key) {
  InputEvent e = Of(InputKind::kKeyUp);
  e.Key = key;
  return e;
}

InputEvent InputEvent::MouseDown(MouseButton button, int x, int y, InputTarget target) {
  InputEvent e = Of(InputKind::kMouseDown);
  e.Button = button;
  e.X = x;
  e.Y = y;
  e.Target = target;
  return e;
}

InputEvent InputEvent::MouseUp(MouseButton button, int x, int y, InputTarget target) {
  InputEvent e = MouseDown(button, x, y, target);
  e.Kind = InputKind::kMouseUp;
  return e;
}

InputEvent InputEvent::MouseMove(int x, int y, InputTarget target) {
  InputEvent e = Of(InputKind::kMouseMove);
  e.X = x;
  e.Y = y;
  e.Target = target;
  return e;
}

InputEvent InputEvent::Wheel(bool down) {
  InputEvent e = Of(InputKind::kWheel);
  e.WheelDown = down;
  return e;
}

InputEvent InputEvent::TextInput(std::string utf8) {
  InputEvent e = Of(InputKind::kTextInput);
  e.Text = std::move(utf8);
  return e;
}

InputEvent InputEvent::TextEditing(std::string utf8, int cursor) {
  InputEvent e = Of(InputKind::kTextEditing);
  e.Text = std::move(utf8);
  e.Cursor = cursor;
  return e;
}

InputEvent InputEvent::Of(InputKind kind) {
  InputEvent e;
  e.Kind = kind;
  return e;
}

}  // namespace orin
