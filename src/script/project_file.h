// ProjectFile: the project file "orin.opb", the game's title, screen, first page and settings.
//
// Layout (integers little-endian, strings int32 length + bytes):
//   int32 version (at most 110); title; screen width, height; full-screen width, height (int32
//   each); start page; exit page (version 110 and later); registry key; int32 image
//   identification code; byte save-enabled (104 and later, else 1); byte frame pacing (106 and
//   later, else 0); streamed extensions (109 and later, else ".wav.wma.ogg.mid"); disc prompt;
//   quit message; int32 initial-variable count, then per variable its type byte (1 integer, 2
//   float, 3 flag, 4 string), name and value (int32, 10-byte extended, byte or string); the
//   folder-disk list (resources/folder_disk_list.h).
//
// Reading checks every count and length against the bytes that remain and throws Error on damage;
// a variable type outside 1-4 is damage. A file of a newer version than 110 is not read.
// Values are kept as stored (flag bytes, the ten bytes of a float), so writing what was read gives
// the same bytes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/extended.h"
#include "resources/folder_disk_list.h"
#include "script/versions.h"

namespace orin {

class Stream;
class TParamCollection;

// The defaults the project file replaces (or keeps, in older versions).
extern const char* const kDefaultStreamedExtensions;  // ".wav.wma.ogg.mid"
// "ディスク%dを入れてから[OK]をクリックしてください" and "終了します" in cp932.
const std::string& DefaultDiscPrompt();
const std::string& DefaultQuitMessage();

struct ProjectVariable {
  uint8_t Type = 1;  // 1 integer, 2 float, 3 flag, 4 string
  std::string Name;
  int32_t Int = 0;
  Extended Float{};
  uint8_t Flag = 0;
  std::string Str;
};

class ProjectFile {
 public:
  int32_t Version = kNewestScriptVersion;
  std::string Title;
  int32_t ScreenWidth = 640, ScreenHeight = 480;
  int32_t FullScreenWidth = 640, FullScreenHeight = 480;
  std::string StartPage;
  std::string ExitPage;  // version 110 and later
  std::string RegistryKey;
  int32_t ImageCode = 0;
  uint8_t SaveEnabled = 1;  // version 104 and later
  uint8_t FramePacing = 1;  // version 106 and later
  std::string StreamedExtensions = kDefaultStreamedExtensions;  // version 109 and later
  std::string DiscPrompt = DefaultDiscPrompt();
  std::string QuitMessage = DefaultQuitMessage();
  std::vector<ProjectVariable> InitialVariables;
  TFolderDiskList FolderDisks;

  // Reads a project at the stream's position. False, with only Version read, when the version is
  // above 110; fields that the version lacks get the values the player gives them.
  // name goes into the messages of a damaged file.
  bool LoadFromStream(Stream& s, const std::string& name = "orin.opb");
  // Writes the fields of Version.
  void SaveToStream(Stream& s) const;

  // The initial-variable rule: a variable whose name is not in use yet is created with the
  // type, marked persistent and given the value; an existing one keeps its type and value.
  void ApplyInitialVariables(TParamCollection& vars) const;
};

}  // namespace orin
