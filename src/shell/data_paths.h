// DataPaths: where the player keeps the files it writes for a game — "save.dat", "game.ini" of
// the settings dialog, "orinplay.log", the player's own "orinplay.ini" — and where it reads
// "game.ini".
//
// The game folder plays the part of the Windows player's own folder: files go beside the game.
// When that folder is not writable (a read-only install, a mounted image) they go to
// $XDG_DATA_HOME/orinplay/<game folder name>-<hash>/ (else ~/.local/share/...), so saves are
// never silently lost. The hash (FolderHash) tells apart games whose folders have the same name;
// the name keeps the folder recognisable. An explicit folder (orinplay --save-dir) replaces both.
//
// Earlier versions used $XDG_DATA_HOME/orinplay/<game folder name>/, shared by every game folder
// of that name. CarryOverOldSaves copies (never moves: it may be another game's) save.dat and
// game.ini from there into the new folder when that has no save.dat yet.
//
// "game.ini" is read from the writable folder when it is there, else from the game folder, so
// the settings the game ships with apply until the user changes them.
//
// Host paths; folders end in "/".
#pragma once

#include <string>

namespace orin {

class DataPaths {
 public:
  // gameFolder: the game's host folder. overrideFolder: empty, or the folder that receives every
  // written file.
  explicit DataPaths(std::string gameFolder, std::string overrideFolder = {});

  const std::string& GameFolder() const { return gameFolder_; }
  // Where written files go (see above). Not created here.
  const std::string& WritableFolder() const { return writable_; }
  // Makes WritableFolder and the folders above it; false when that fails.
  bool EnsureWritableFolder() const;

  // WritableFolder + name, the folder made first (best effort).
  std::string WritePath(const std::string& name) const;
  std::string SaveFilePath() const { return WritePath("save.dat"); }
  std::string LogPath() const { return writable_ + "orinplay.log"; }
  // The player's own settings of this game (full screen), never in "game.ini", which belongs to
  // the game and to the Windows player.
  std::string PlayerSettingsPath() const { return writable_ + "orinplay.ini"; }
  // The "game.ini" to read, or the one in WritableFolder when there is none yet.
  std::string GameIniReadPath() const;

  // $XDG_DATA_HOME/orinplay/<name>-<hash>/ or ~/.local/share/orinplay/<name>-<hash>/; name is
  // the last component of the game folder ("game" for the root folder).
  static std::string FallbackFolder(const std::string& gameFolder);
  // The same without "-<hash>": where earlier versions kept the files.
  static std::string OldFallbackFolder(const std::string& gameFolder);
  // Eight hexadecimal digits of the game folder's absolute path (symbolic links resolved where
  // it exists, no trailing "/"): FNV-1a 64 folded to 32 bits. Saves are found by it, so it never
  // changes.
  static std::string FolderHash(const std::string& gameFolder);

  // When written files go to the fallback folder, it has no save.dat and the old folder has one:
  // copies save.dat and (when the new folder has none) game.ini from the old folder. Returns a
  // line for the user saying so (UTF-8), else empty. Throws Error when the copy fails; nothing is
  // left half-written.
  std::string CarryOverOldSaves() const;
  static bool IsWritableFolder(const std::string& hostFolder);

 private:
  std::string gameFolder_;
  std::string writable_;
};

}  // namespace orin
