// Where the game is and how its data is registered with the file manager.
//
// A game is a folder (it plays the part of the Windows player's own folder: "game.ini",
// "save.dat" and "install.dat" live there) or a Windows game executable that carries its archive
// (as a resource "DUMMY" of type "BINTYPE", or appended behind the program with the trailer
// "qz"); the executable's folder is then the game folder.
//
// Without an argument the game is the folder beside the player binary when it holds a game, else
// the current folder when it does, else the first demo folder that does. A folder holds a game
// when it has "orin.opb", "game.dat" or "install.dat" (names matched without regard to case).
#pragma once

#include <string>
#include <vector>

namespace orin {

class TVrFileManager;

struct GameLocation {
  std::string Folder;                     // absolute host folder ending in "/"
  std::string Executable;                 // host path of GAME.exe, or empty
  std::vector<std::string> ExtraFolders;  // further folders whose "game.dat" is added
  bool FromArgument = false;              // named on the command line
};

struct GameSearch {
  std::string BinaryFolder;
  std::string CurrentFolder;
  std::vector<std::string> DemoFolders;
};

bool HoldsGame(const std::string& hostFolder);

// positionals: GAMEDIR or GAME.exe, then FOLDERs. Throws Error (plain English, the path first)
// when a named game does not exist or no game is found.
GameLocation FindGame(const std::vector<std::string>& positionals, const GameSearch& search);

// Registers the game's data, in this order: the memory collection; the base folder; for an
// executable its resource archive and its appended archive; else the "game.dat" of the game
// folder; then the "game.dat" of every extra folder. Errors of a damaged archive propagate.
void LocateGameData(TVrFileManager& files, const GameLocation& game);

// The folder of the running program (from /proc/self/exe), ending in "/"; empty when unknown.
std::string ProgramFolder();
std::string CurrentFolder();
// Absolute form of a host path; symbolic links resolved when it exists.
std::string AbsolutePath(const std::string& hostPath);

}  // namespace orin
