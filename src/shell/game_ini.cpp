#include "shell/game_ini.h"

#include <algorithm>

#include "shell/ini_file.h"

namespace orin {
namespace {

constexpr const char* kSection = "Sound";
constexpr const char* kDirectSound = "DirectSound";
constexpr const char* kDelayTime = "DelayTime";

}  // namespace

int32_t NormalizeDelayTime(int32_t delay) {
  return std::clamp(delay / 100 * 100, 100, 500);
}

GameSettings ReadGameSettings(const IniFile& ini, GameSettings current) {
  current.DirectSound = ini.ReadBool(kSection, kDirectSound, current.DirectSound);
  current.DelayTime = NormalizeDelayTime(ini.ReadInteger(kSection, kDelayTime, current.DelayTime));
  return current;
}

GameSettings ReadGameIni(const std::string& hostPath, GameSettings current) {
  IniFile ini;
  if (!ini.Load(hostPath)) return current;
  return ReadGameSettings(ini, current);
}

void WriteGameIni(const std::string& hostPath, const GameSettings& settings) {
  IniFile ini;
  ini.Load(hostPath);
  ini.WriteBool(kSection, kDirectSound, settings.DirectSound);
  ini.WriteInteger(kSection, kDelayTime, settings.DelayTime);
  ini.Save(hostPath);
}

}  // namespace orin
