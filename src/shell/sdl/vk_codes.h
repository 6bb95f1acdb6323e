// SDL key events → the Windows virtual-key numbers that game scripts test (@KeyPush and the
// key labels of objects).
//
// Letters follow the key's meaning in the active layout when it is a Latin letter (an AZERTY "A"
// key gives 0x41, as Windows does), else its position. Everything else follows the key's
// position, named as on a US keyboard: digits of the top row 0x30-0x39, F1-F24 0x70-0x87,
// punctuation the VK_OEM_* numbers (0xBA-0xC0, 0xDB-0xDE, 0xE2 for the extra ISO key and the JIS
// "ろ" key, 0xDC for the JIS yen key). Shift, Control and Alt give the generic 0x10, 0x11, 0x12 as
// Windows key messages do. Keypad digits give 0x60-0x69 with Num Lock on and the navigation
// keys with it off (Windows' rule); keypad Enter gives 0x0D. A key without a Windows number
// gives 0.
#pragma once

#include <SDL.h>

namespace orin {

int VirtualKeyFromSdl(SDL_Scancode scancode, SDL_Keycode keycode, Uint16 modifiers);

}  // namespace orin
