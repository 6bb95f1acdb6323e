#include "shell/sdl/sdl_platform.h"

#include <SDL.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>

#include "core/error.h"

namespace orin {
namespace {

// SDL with its window-less video driver; skipped where SDL cannot start even that.
std::unique_ptr<SdlPlatform> DummyPlatform() {
  setenv("SDL_VIDEODRIVER", "dummy", 1);
  try {
    return std::make_unique<SdlPlatform>();
  } catch (const Error&) {
    return nullptr;
  }
}

void PushKey(Uint32 type, SDL_Scancode scancode, SDL_Keycode keycode, bool repeat) {
  SDL_Event e{};
  e.type = type;
  e.key.keysym.scancode = scancode;
  e.key.keysym.sym = keycode;
  e.key.keysym.mod = KMOD_NONE;
  e.key.repeat = repeat ? 1 : 0;
  SDL_PushEvent(&e);
}

void PushButton(Uint32 type, Uint8 button, int x, int y) {
  SDL_Event e{};
  e.type = type;
  e.button.button = button;
  e.button.x = x;
  e.button.y = y;
  SDL_PushEvent(&e);
}

TEST(SdlPlatform_Dummy, WindowPresentAndInput) {
  auto p = DummyPlatform();
  if (!p) GTEST_SKIP() << "SDL cannot start its dummy video driver here";
  p->CreateWindow({"\x83\x65\x83\x58\x83\x67", 8, 6, 22});
  ASSERT_NE(p->Window(), nullptr);
  EXPECT_TRUE(p->IsActive());

  PixelBuffer back(8, 6, 0x336699);
  EXPECT_TRUE(p->Present(back.View(), {Rect{2, 2, 4, 4}}));
  EXPECT_FALSE(p->Present(back.View(), {Rect{10, 10, 12, 12}}));
  EXPECT_EQ(p->Screen().Pixel(2, 2), 0x336699u);
  EXPECT_EQ(p->Screen().Pixel(1, 1), 0u);
  PixelBuffer dock(8, 22, 0xD4D0C8);
  p->PresentDock(dock.View());

  std::vector<InputEvent> drained;
  p->PollEvents(0, drained);
  PushKey(SDL_KEYDOWN, SDL_SCANCODE_A, SDLK_a, false);
  PushKey(SDL_KEYDOWN, SDL_SCANCODE_A, SDLK_a, true);
  PushKey(SDL_KEYUP, SDL_SCANCODE_ESCAPE, SDLK_ESCAPE, false);
  PushKey(SDL_KEYDOWN, SDL_SCANCODE_MUTE, SDLK_MUTE, false);  // no Windows number: dropped
  PushButton(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_LEFT, 5, 10);    // in the dock
  PushButton(SDL_MOUSEBUTTONUP, SDL_BUTTON_RIGHT, 5, 25);     // panel row 3
  SDL_Event wheel{};
  wheel.type = SDL_MOUSEWHEEL;
  wheel.wheel.y = -1;
  SDL_PushEvent(&wheel);
  SDL_Event quit{};
  quit.type = SDL_QUIT;
  SDL_PushEvent(&quit);

  std::vector<InputEvent> events;
  p->PollEvents(0, events);
  ASSERT_EQ(events.size(), 7u);
  EXPECT_EQ(events[0].Kind, InputKind::kKeyDown);
  EXPECT_EQ(events[0].Key, 0x41);
  EXPECT_FALSE(events[0].Repeat);
  EXPECT_TRUE(events[1].Repeat);
  EXPECT_EQ(events[2].Kind, InputKind::kKeyUp);
  EXPECT_EQ(events[2].Key, 0x1B);
  EXPECT_EQ(events[3].Kind, InputKind::kMouseDown);
  EXPECT_EQ(events[3].Target, InputTarget::kDock);
  EXPECT_EQ(events[3].Y, 10);
  EXPECT_EQ(events[4].Kind, InputKind::kMouseUp);
  EXPECT_EQ(events[4].Target, InputTarget::kPanel);
  EXPECT_EQ(events[4].Button, MouseButton::kRight);
  EXPECT_EQ(events[4].Y, 3);
  EXPECT_EQ(events[5].Kind, InputKind::kWheel);
  EXPECT_TRUE(events[5].WheelDown);
  EXPECT_EQ(events[6].Kind, InputKind::kClose);

  // A second CreateWindow resizes and starts black again.
  p->CreateWindow({"x", 4, 4, 22});
  EXPECT_EQ(p->Screen().Width(), 4);
  EXPECT_EQ(p->Screen().Pixel(2, 2), 0u);
}

TEST(SdlPlatform_Dummy, FocusEventsChangeActivation) {
  auto p = DummyPlatform();
  if (!p) GTEST_SKIP() << "SDL cannot start its dummy video driver here";
  p->CreateWindow({"x", 4, 4, 22});
  std::vector<InputEvent> events;
  p->PollEvents(0, events);
  events.clear();
  SDL_Event e{};
  e.type = SDL_WINDOWEVENT;
  e.window.windowID = SDL_GetWindowID(p->Window());
  e.window.event = SDL_WINDOWEVENT_FOCUS_LOST;
  SDL_PushEvent(&e);
  p->PollEvents(0, events);
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(events[0].Kind, InputKind::kDeactivate);
  EXPECT_FALSE(p->IsActive());
  e.window.event = SDL_WINDOWEVENT_FOCUS_GAINED;
  SDL_PushEvent(&e);
  p->PollEvents(0, events);
  ASSERT_EQ(events.size(), 2u);
  EXPECT_EQ(events[1].Kind, InputKind::kActivate);
  EXPECT_TRUE(p->IsActive());
}

// Full screen shows the panel alone: the top row of the screen is the panel's, not the dock's.
TEST(SdlPlatform_Dummy, FullScreenKeepsPanelCoordinatesAndAltIsReported) {
  auto p = DummyPlatform();
  if (!p) GTEST_SKIP() << "SDL cannot start its dummy video driver here";
  p->CreateWindow({"x", 8, 6, 22});
  std::vector<InputEvent> events;
  p->PollEvents(0, events);
  events.clear();
  EXPECT_GT(p->DesktopMode().Width, 0);
  for (const DisplayMode& m : p->DisplayModes()) EXPECT_GT(m.Width * m.Height, 0);
  if (!p->SetFullScreen(true)) GTEST_SKIP() << "no full screen on SDL's dummy driver here";
  EXPECT_TRUE(p->FullScreen());
  PixelBuffer back(8, 6, 0x336699);
  EXPECT_TRUE(p->Present(back.View(), {back.Bounds()}));
  p->PollEvents(0, events);
  events.clear();
  PushButton(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_LEFT, 0, 0);
  SDL_Event key{};
  key.type = SDL_KEYDOWN;
  key.key.keysym.scancode = SDL_SCANCODE_RETURN;
  key.key.keysym.sym = SDLK_RETURN;
  key.key.keysym.mod = KMOD_LALT;
  SDL_PushEvent(&key);
  p->PollEvents(0, events);
  ASSERT_EQ(events.size(), 2u);
  EXPECT_EQ(events[0].Target, InputTarget::kPanel);
  EXPECT_EQ(events[0].Y, 0);
  EXPECT_EQ(events[1].Key, 0x0D);
  EXPECT_TRUE(events[1].Alt);
  EXPECT_TRUE(p->SetFullScreen(false));
  EXPECT_FALSE(p->FullScreen());
  p->SetScaleFilter(ScaleFilter::kNearest);
}

}  // namespace
}  // namespace orin
