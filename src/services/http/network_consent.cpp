#include "services/http/network_consent.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace orin {

std::string NetworkConsentFile() {
  const char* config = std::getenv("XDG_CONFIG_HOME");
  std::string base;
  if (config != nullptr && config[0] == '/') {
    base = config;
  } else if (const char* home = std::getenv("HOME"); home != nullptr && home[0] != '\0') {
    base = std::string(home) + "/.config";
  } else {
    return {};
  }
  return base + "/orinplay/network.ini";
}

bool NetworkRemembered(const std::string& gameFolder) {
  const std::string file = NetworkConsentFile();
  if (file.empty() || gameFolder.empty()) return false;
  std::ifstream in(file);
  std::string line;
  while (std::getline(in, line))
    if (line == gameFolder) return true;
  return false;
}

bool RememberNetwork(const std::string& gameFolder) {
  if (NetworkRemembered(gameFolder)) return true;
  const std::string file = NetworkConsentFile();
  if (file.empty() || gameFolder.empty() || gameFolder.find('\n') != std::string::npos) return false;
  std::error_code ec;
  std::filesystem::create_directories(std::filesystem::path(file).parent_path(), ec);
  std::ofstream out(file, std::ios::app);
  out << gameFolder << '\n';
  return static_cast<bool>(out);
}

}  // namespace orin
