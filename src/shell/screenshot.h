// Where the screenshot key (F12) puts its pictures: $XDG_PICTURES_DIR/orinplay/ as the desktop's
// user-dirs.dirs names it, else the save folder; and the file name, the game's name and the local
// time ("はじめてのゲーム 2026-12-10 21-30-05.png"), with " (2)", " (3)" … when a shot of the same
// second exists.
#pragma once

#include <ctime>
#include <functional>
#include <string>
#include <string_view>

namespace orin {

// The pictures folder from the text of user-dirs.dirs ("XDG_PICTURES_DIR=\"$HOME/Pictures\""),
// $HOME expanded; empty when the file names none, or names the home folder itself (which the
// desktop's convention means as "no such folder").
std::string PicturesFolderFrom(std::string_view userDirs, const std::string& home);

// The folder for screenshots: the pictures folder + "orinplay/" when the desktop has one, else
// saveFolder. Reads $XDG_CONFIG_HOME/user-dirs.dirs (~/.config when unset).
std::string ScreenshotFolder(const std::string& saveFolder);

// A file name in folder (ending in "/") for a shot of gameName (UTF-8) at local time t that
// exists(path) says is free. Characters a file name cannot hold become "_".
std::string ScreenshotPath(const std::string& folder, const std::string& gameName, std::time_t t,
                           const std::function<bool(const std::string&)>& exists);

}  // namespace orin
