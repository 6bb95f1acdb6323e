#include "shell/platform.h"

#include <cerrno>
#include <ctime>

namespace orin {

InputEvent InputEvent::KeyDown(int key, bool repeat) {
  InputEvent e = Of(InputKind::kKeyDown);
  e.Key = key;
  e.Repeat = repeat;
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

InputEvent InputEvent::Of(InputKind kind) {
  InputEvent e;
  e.Kind = kind;
  return e;
}

uint32_t MonotonicMilliseconds() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  const uint64_t ms =
      static_cast<uint64_t>(ts.tv_sec) * 1000u + static_cast<uint64_t>(ts.tv_nsec) / 1000000u;
  return static_cast<uint32_t>(ms);
}

void SleepMilliseconds(uint32_t ms) {
  timespec ts{static_cast<time_t>(ms / 1000), static_cast<long>(ms % 1000) * 1000000L};
  while (nanosleep(&ts, &ts) != 0 && errno == EINTR) {
  }
}

}  // namespace orin
