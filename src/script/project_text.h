// Text forms of the project file "orin.opb" and of the install set "install.dat", one setting
// per line (docs/project-text.md has complete examples):
//
//   version 110
//   title "ゲーム"
//   screen 800 600
//   start "start.osb"
//   var int score 0
//   folder "bgm" 2
//
// The project text rebuilds the project file byte for byte; settings a version lacks are absent
// from its text and refused in it. The install text holds what the player uses of an install
// set: identifier (its Title), disc and fullinstall; the installer's own fields are written
// zero or empty.
#pragma once

#include <string>
#include <string_view>

namespace orin {

class ProjectFile;
class TOrinInstallSet;

std::string ProjectToText(const ProjectFile& project);
// Replaces project with what the text describes; throws Error "line N: ..." on a fault.
void ProjectFromText(std::string_view utf8, ProjectFile& project);

std::string InstallSetToText(const TOrinInstallSet& set);
void InstallSetFromText(std::string_view utf8, TOrinInstallSet& set);

}  // namespace orin
