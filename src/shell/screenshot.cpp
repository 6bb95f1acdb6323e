#include "shell/screenshot.h"

#include <cstdlib>
#include <fstream>
#include <sstream>

#include "resources/host_fs.h"

namespace orin {

std::string PicturesFolderFrom(std::string_view userDirs, const std::string& home) {
  std::string found;
  while (!userDirs.empty()) {
    const size_t eol = userDirs.find('\n');
    std::string_view line = userDirs.substr(0, eol);
    userDirs.remove_prefix(eol == std::string_view::npos ? userDirs.size() : eol + 1);
    while (!line.empty() && (line.front() == ' ' || line.front() == '\t')) line.remove_prefix(1);
    constexpr std::string_view kKey = "XDG_PICTURES_DIR=";
    if (line.substr(0, kKey.size()) != kKey) continue;
    line.remove_prefix(kKey.size());
    if (line.size() < 2 || line.front() != '"') continue;
    const size_t close = line.find('"', 1);
    if (close == std::string_view::npos) continue;
    std::string value(line.substr(1, close - 1));
    if (value.rfind("$HOME", 0) == 0) value = home + value.substr(5);
    else if (value.empty() || value.front() != '/') continue;
    found = value;
  }
  while (found.size() > 1 && found.back() == '/') found.pop_back();
  std::string homeTrimmed = home;
  while (homeTrimmed.size() > 1 && homeTrimmed.back() == '/') homeTrimmed.pop_back();
  if (found == homeTrimmed) return {};
  return found;
}

std::string ScreenshotFolder(const std::string& saveFolder) {
  const char* home = std::getenv("HOME");
  const char* config = std::getenv("XDG_CONFIG_HOME");
  const std::string homeDir = home != nullptr ? home : "";
  const std::string configDir = config != nullptr && config[0] == '/' ? config : homeDir + "/.config";
  std::ifstream in(configDir + "/user-dirs.dirs");
  if (in) {
    std::stringstream text;
    text << in.rdbuf();
    const std::string pictures = PicturesFolderFrom(text.str(), homeDir);
    if (!pictures.empty()) return pictures + "/orinplay/";
  }
  return WithTrailingSlash(saveFolder);
}

std::string ScreenshotPath(const std::string& folder, const std::string& gameName, std::time_t t,
                           const std::function<bool(const std::string&)>& exists) {
  std::string name;
  for (unsigned char c : gameName) name.push_back(c < 0x20 || c == '/' || c == 0x7F ? '_' : static_cast<char>(c));
  if (name.empty() || name == "." || name == "..") name = "orinplay";
  std::tm local{};
  localtime_r(&t, &local);
  char stamp[32];
  std::strftime(stamp, sizeof stamp, " %Y-%m-%d %H-%M-%S", &local);
  const std::string stem = folder + name + stamp;
  std::string path = stem + ".png";
  for (int n = 2; exists(path); ++n) path = stem + " (" + std::to_string(n) + ").png";
  return path;
}

}  // namespace orin
