#include "shell/game_location.h"

#include <unistd.h>

#include <cstdlib>
#include <memory>

#include "core/cp932.h"
#include "core/error.h"
#include "resources/file_manager.h"
#include "resources/host_fs.h"
#include "resources/pe_resource.h"
#include "resources/stream.h"

namespace orin {
namespace {

[[noreturn]] void Fail(const std::string& path, const char* reason) {
  std::string message = path;
  message.append(": ").append(reason);
  throw Error(FromUtf8(message));
}

bool EndsWith(Stream& s, int64_t end, const char* two) {
  if (end < 2) return false;
  char tail[2] = {};
  s.SetPosition(end - 2);
  return s.Read(tail, 2) == 2 && tail[0] == two[0] && tail[1] == two[1];
}

void AddGameDat(TVrFileManager& files, const std::string& folder, std::vector<std::string>& added) {
  auto path = files.FileSystem().FindFile(folder, "game.dat");
  if (!path) return;
  for (const std::string& a : added)
    if (a == *path) return;
  files.AddArchive(*path);
  added.push_back(*path);
}

}  // namespace

std::string AbsolutePath(const std::string& hostPath) {
  if (char* real = realpath(hostPath.c_str(), nullptr)) {
    std::string out = real;
    std::free(real);
    return out;
  }
  if (!hostPath.empty() && hostPath.front() == '/') return hostPath;
  std::string out = WithTrailingSlash(CurrentFolder());
  out.append(hostPath);
  return out;
}

std::string ProgramFolder() {
  char buffer[4096];
  const ssize_t n = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
  if (n <= 0) return {};
  return HostDirOf(std::string(buffer, static_cast<size_t>(n)));
}

std::string CurrentFolder() {
  char buffer[4096];
  if (getcwd(buffer, sizeof buffer) == nullptr) return {};
  return WithTrailingSlash(buffer);
}

bool HoldsGame(const std::string& hostFolder) {
  if (hostFolder.empty() || !IsHostDirectory(hostFolder)) return false;
  HostFileSystem fs;
  const std::string folder = WithTrailingSlash(hostFolder);
  for (const char* name : {"orin.opb", "game.dat", "install.dat"})
    if (fs.FileExists(folder, name)) return true;
  return false;
}

GameLocation FindGame(const std::vector<std::string>& positionals, const GameSearch& search) {
  GameLocation game;
  if (!positionals.empty()) {
    const std::string& first = positionals.front();
    const std::string absolute = AbsolutePath(first);
    if (IsHostDirectory(absolute)) {
      game.Folder = WithTrailingSlash(absolute);
    } else if (IsHostFile(absolute)) {
      game.Executable = absolute;
      game.Folder = HostDirOf(absolute);
    } else {
      Fail(first, "no such game folder or game executable");
    }
    for (size_t i = 1; i < positionals.size(); ++i) {
      const std::string folder = AbsolutePath(positionals[i]);
      if (!IsHostDirectory(folder)) Fail(positionals[i], "not a folder");
      game.ExtraFolders.push_back(WithTrailingSlash(folder));
    }
    game.FromArgument = true;
    return game;
  }
  std::vector<std::string> candidates{search.BinaryFolder, search.CurrentFolder};
  candidates.insert(candidates.end(), search.DemoFolders.begin(), search.DemoFolders.end());
  for (const std::string& candidate : candidates) {
    if (!HoldsGame(candidate)) continue;
    game.Folder = WithTrailingSlash(AbsolutePath(candidate));
    return game;
  }
  throw Error(FromUtf8("no game here: name a game folder or a game executable"));
}

void LocateGameData(TVrFileManager& files, const GameLocation& game) {
  std::vector<std::string> added;
  files.AddArchive("");
  files.SetBaseFolder(game.Folder);
  if (!game.Executable.empty()) {
    FileStream exe(game.Executable, FileStream::kRead);
    const int64_t size = exe.GetSize();
    exe.SetPosition(0);
    if (LooksLikePe(exe)) {
      exe.SetPosition(0);
      if (auto resource = FindPeResource(exe, "DUMMY", "BINTYPE");
          resource && resource->size >= 2 && EndsWith(exe, resource->offset + resource->size, "vf"))
        files.AddResourceArchive(game.Executable, "DUMMY", "BINTYPE");
    }
    if (EndsWith(exe, size, "qz")) files.AddArchive(game.Executable);
  } else {
    AddGameDat(files, game.Folder, added);
  }
  for (const std::string& folder : game.ExtraFolders) AddGameDat(files, folder, added);
}

}  // namespace orin
