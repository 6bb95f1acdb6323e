// The user's answer to "may this game use the network?", remembered per game folder in the
// player's own settings: $XDG_CONFIG_HOME/orinplay/network.ini (else ~/.config/...), one
// allowed game folder per line. Only a yes is remembered; a no is asked again next run.
#pragma once

#include <string>

namespace orin {

// The settings file (empty when neither XDG_CONFIG_HOME nor HOME is set).
std::string NetworkConsentFile();
bool NetworkRemembered(const std::string& gameFolder);
// False when the file could not be written (the answer then holds for this run only).
bool RememberNetwork(const std::string& gameFolder);

}  // namespace orin
