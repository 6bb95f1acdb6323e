#include "shell/sdl/vk_codes.h"

namespace orin {
namespace {

// Windows virtual-key numbers used below.
enum : int {
  kVkBack = 0x08,
  kVkTab = 0x09,
  kVkClear = 0x0C,
  kVkReturn = 0x0D,
  kVkShift = 0x10,
  kVkControl = 0x11,
  kVkMenu = 0x12,
  kVkPause = 0x13,
  kVkCapital = 0x14,
  kVkKana = 0x15,
  kVkKanji = 0x19,
  kVkConvert = 0x1C,
  kVkNonConvert = 0x1D,
  kVkEscape = 0x1B,
  kVkSpace = 0x20,
  kVkPrior = 0x21,
  kVkNext = 0x22,
  kVkEnd = 0x23,
  kVkHome = 0x24,
  kVkLeft = 0x25,
  kVkUp = 0x26,
  kVkRight = 0x27,
  kVkDown = 0x28,
  kVkSnapshot = 0x2C,
  kVkInsert = 0x2D,
  kVkDelete = 0x2E,
  kVkLWin = 0x5B,
  kVkRWin = 0x5C,
  kVkApps = 0x5D,
  kVkNumpad0 = 0x60,
  kVkMultiply = 0x6A,
  kVkAdd = 0x6B,
  kVkSubtract = 0x6D,
  kVkDecimal = 0x6E,
  kVkDivide = 0x6F,
  kVkF1 = 0x70,
  kVkF13 = 0x7C,
  kVkNumLock = 0x90,
  kVkScroll = 0x91,
  kVkOem1 = 0xBA,
  kVkOemPlus = 0xBB,
  kVkOemComma = 0xBC,
  kVkOemMinus = 0xBD,
  kVkOemPeriod = 0xBE,
  kVkOem2 = 0xBF,
  kVkOem3 = 0xC0,
  kVkOem4 = 0xDB,
  kVkOem5 = 0xDC,
  kVkOem6 = 0xDD,
  kVkOem7 = 0xDE,
  kVkOem102 = 0xE2,
};

// Keypad keys with Num Lock off act as the navigation keys printed on them.
int KeypadWithoutNumLock(SDL_Scancode s) {
  switch (s) {
    case SDL_SCANCODE_KP_0:
      return kVkInsert;
    case SDL_SCANCODE_KP_1:
      return kVkEnd;
    case SDL_SCANCODE_KP_2:
      return kVkDown;
    case SDL_SCANCODE_KP_3:
      return kVkNext;
    case SDL_SCANCODE_KP_4:
      return kVkLeft;
    case SDL_SCANCODE_KP_5:
      return kVkClear;
    case SDL_SCANCODE_KP_6:
      return kVkRight;
    case SDL_SCANCODE_KP_7:
      return kVkHome;
    case SDL_SCANCODE_KP_8:
      return kVkUp;
    case SDL_SCANCODE_KP_9:
      return kVkPrior;
    case SDL_SCANCODE_KP_PERIOD:
      return kVkDelete;
    default:
      return 0;
  }
}

int ByPosition(SDL_Scancode s) {
  if (s >= SDL_SCANCODE_A && s <= SDL_SCANCODE_Z) return 'A' + (s - SDL_SCANCODE_A);
  if (s >= SDL_SCANCODE_1 && s <= SDL_SCANCODE_9) return '1' + (s - SDL_SCANCODE_1);
  if (s >= SDL_SCANCODE_F1 && s <= SDL_SCANCODE_F12) return kVkF1 + (s - SDL_SCANCODE_F1);
  if (s >= SDL_SCANCODE_F13 && s <= SDL_SCANCODE_F24) return kVkF13 + (s - SDL_SCANCODE_F13);
  if (s >= SDL_SCANCODE_KP_1 && s <= SDL_SCANCODE_KP_9)
    return kVkNumpad0 + 1 + (s - SDL_SCANCODE_KP_1);
  switch (s) {
    case SDL_SCANCODE_0:
      return '0';
    case SDL_SCANCODE_RETURN:
      return kVkReturn;
    case SDL_SCANCODE_RETURN2:
      return kVkReturn;
    case SDL_SCANCODE_KP_ENTER:
      return kVkReturn;
    case SDL_SCANCODE_ESCAPE:
      return kVkEscape;
    case SDL_SCANCODE_BACKSPACE:
      return kVkBack;
    case SDL_SCANCODE_TAB:
      return kVkTab;
    case SDL_SCANCODE_SPACE:
      return kVkSpace;
    case SDL_SCANCODE_MINUS:
      return kVkOemMinus;
    case SDL_SCANCODE_EQUALS:
      return kVkOemPlus;
    case SDL_SCANCODE_LEFTBRACKET:
      return kVkOem4;
    case SDL_SCANCODE_RIGHTBRACKET:
      return kVkOem6;
    case SDL_SCANCODE_BACKSLASH:
      return kVkOem5;
    case SDL_SCANCODE_NONUSHASH:
      return kVkOem5;
    case SDL_SCANCODE_SEMICOLON:
      return kVkOem1;
    case SDL_SCANCODE_APOSTROPHE:
      return kVkOem7;
    case SDL_SCANCODE_GRAVE:
      return kVkOem3;
    case SDL_SCANCODE_COMMA:
      return kVkOemComma;
    case SDL_SCANCODE_PERIOD:
      return kVkOemPeriod;
    case SDL_SCANCODE_SLASH:
      return kVkOem2;
    case SDL_SCANCODE_NONUSBACKSLASH:
      return kVkOem102;
    case SDL_SCANCODE_INTERNATIONAL1:
      return kVkOem102;  // JIS "ろ" / "\" "_"
    case SDL_SCANCODE_INTERNATIONAL2:
      return kVkKana;
    case SDL_SCANCODE_INTERNATIONAL3:
      return kVkOem5;  // JIS yen
    case SDL_SCANCODE_INTERNATIONAL4:
      return kVkConvert;
    case SDL_SCANCODE_INTERNATIONAL5:
      return kVkNonConvert;
    case SDL_SCANCODE_LANG1:
      return kVkKana;  // Hangul/English (same number)
    case SDL_SCANCODE_LANG2:
      return kVkKanji;  // Hanja (same number)
    case SDL_SCANCODE_CAPSLOCK:
      return kVkCapital;
    case SDL_SCANCODE_PRINTSCREEN:
      return kVkSnapshot;
    case SDL_SCANCODE_SCROLLLOCK:
      return kVkScroll;
    case SDL_SCANCODE_PAUSE:
      return kVkPause;
    case SDL_SCANCODE_INSERT:
      return kVkInsert;
    case SDL_SCANCODE_HOME:
      return kVkHome;
    case SDL_SCANCODE_PAGEUP:
      return kVkPrior;
    case SDL_SCANCODE_DELETE:
      return kVkDelete;
    case SDL_SCANCODE_END:
      return kVkEnd;
    case SDL_SCANCODE_PAGEDOWN:
      return kVkNext;
    case SDL_SCANCODE_RIGHT:
      return kVkRight;
    case SDL_SCANCODE_LEFT:
      return kVkLeft;
    case SDL_SCANCODE_DOWN:
      return kVkDown;
    case SDL_SCANCODE_UP:
      return kVkUp;
    case SDL_SCANCODE_NUMLOCKCLEAR:
      return kVkNumLock;
    case SDL_SCANCODE_KP_DIVIDE:
      return kVkDivide;
    case SDL_SCANCODE_KP_MULTIPLY:
      return kVkMultiply;
    case SDL_SCANCODE_KP_MINUS:
      return kVkSubtract;
    case SDL_SCANCODE_KP_PLUS:
      return kVkAdd;
    case SDL_SCANCODE_KP_0:
      return kVkNumpad0;
    case SDL_SCANCODE_KP_PERIOD:
      return kVkDecimal;
    case SDL_SCANCODE_KP_COMMA:
      return kVkDecimal;
    case SDL_SCANCODE_APPLICATION:
      return kVkApps;
    case SDL_SCANCODE_MENU:
      return kVkApps;
    case SDL_SCANCODE_LCTRL:
      return kVkControl;
    case SDL_SCANCODE_RCTRL:
      return kVkControl;
    case SDL_SCANCODE_LSHIFT:
      return kVkShift;
    case SDL_SCANCODE_RSHIFT:
      return kVkShift;
    case SDL_SCANCODE_LALT:
      return kVkMenu;
    case SDL_SCANCODE_RALT:
      return kVkMenu;
    case SDL_SCANCODE_LGUI:
      return kVkLWin;
    case SDL_SCANCODE_RGUI:
      return kVkRWin;
    default:
      return 0;
  }
}

}  // namespace

int VirtualKeyFromSdl(SDL_Scancode scancode, SDL_Keycode keycode, Uint16 modifiers) {
  if (keycode >= SDLK_a && keycode <= SDLK_z) return 'A' + (keycode - SDLK_a);
  if ((modifiers & KMOD_NUM) == 0)
    if (int nav = KeypadWithoutNumLock(scancode)) return nav;
  return ByPosition(scancode);
}

}  // namespace orin
