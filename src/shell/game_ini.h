// The sound settings of "game.ini": section "Sound", key "DirectSound" (boolean, default true)
// and "DelayTime" (milliseconds, default 500). The main window reads them at start, the settings
// dialog writes them.
#pragma once

#include <cstdint>
#include <string>

namespace orin {

class IniFile;

struct GameSettings {
  bool DirectSound = true;
  int32_t DelayTime = 500;
};

constexpr const char* kGameIniName = "game.ini";

// Rounds down to a multiple of 100 (toward zero) and clamps to 100..500: 1234 → 500, 50 → 100,
// 250 → 200.
int32_t NormalizeDelayTime(int32_t delay);

// The settings as the main window takes them from a read file: a key that is absent or not an
// integer keeps the value in `current`; the delay is normalised.
GameSettings ReadGameSettings(const IniFile& ini, GameSettings current = {});
// Reads the file at hostPath when it exists; otherwise `current` stays as it is.
GameSettings ReadGameIni(const std::string& hostPath, GameSettings current = {});

// Writes both keys into the file at hostPath, keeping its other contents. Throws Error when the
// file cannot be written.
void WriteGameIni(const std::string& hostPath, const GameSettings& settings);

}  // namespace orin
