// orintool arc: list, extract, pack, wrap into an executable and verify archives.
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <set>

#include "app/orintool/commands.h"
#include "core/cp932.h"
#include "core/endian.h"
#include "core/error.h"
#include "resources/big_stream.h"
#include "resources/compression.h"
#include "resources/file_collection.h"
#include "resources/host_error.h"
#include "resources/host_fs.h"
#include "resources/pe_resource.h"

namespace orin::tool {

namespace {

namespace fs = std::filesystem;

[[noreturn]] void Fail(const std::string& hostPath, const std::string& what) {
  throw Error(HostPathText(hostPath) + ": " + what);
}

// Opens an archive the way the player finds one: a program with the 6-byte trailer or with the
// "DUMMY"/"BINTYPE" resource, or an archive file (with its volumes and ".ext" index).
void OpenArchive(TVrFileCollection& archive, const std::string& path) {
  if (!IsHostFile(path)) Fail(path, "no such file");
  std::string ext = UpperCase(ExtensionOf(path));
  if (ext == ".EXE" || ext == ".SCR") {
    FileStream file(path, FileStream::kRead);
    int64_t size = file.GetSize();
    char tail[2] = {};
    if (size >= 6) {
      file.SetPosition(size - 2);
      file.ReadBuffer(tail, 2);
    }
    if (tail[0] == 'q' && tail[1] == 'z') {
      archive.Open(path);
      return;
    }
    if (LooksLikePe(file)) {
      auto found = FindPeResource(file, "DUMMY", "BINTYPE");
      if (found && found->size >= 2) {
        file.SetPosition(found->offset + found->size - 2);
        file.ReadBuffer(tail, 2);
        if (tail[0] == 'v' && tail[1] == 'f') {
          archive.OpenResource(path, "DUMMY", "BINTYPE");
          return;
        }
      }
    }
    Fail(path, "the program carries no archive");
  }
  archive.Open(path);
}

std::string Hex8(uint32_t v) {
  char b[9];
  std::snprintf(b, sizeof b, "%08X", v);
  return b;
}

std::vector<TVrFile*> EntriesOf(TVrFileCollection& archive) {
  std::vector<TVrFile*> entries;
  for (int i = 0; i < archive.Count(); ++i)
    if (!SameText(archive[i].Name(), TVrFileCollection::kSentinel)) entries.push_back(&archive[i]);
  return entries;
}

int List(const ArgParser& args) {
  args.ExpectPositionals(1, 1);
  HostFileSystem hostFs;
  TVrFileCollection archive(hostFs);
  OpenArchive(archive, args.Positionals()[0]);
  const bool json = args.Flag("--json");
  std::string out = json ? "[" : "";
  bool first = true;
  for (TVrFile* e : EntriesOf(archive)) {
    std::string name = ToUtf8(e->Name());
    if (json) {
      out += first ? "\n  " : ",\n  ";
      out += "{\"name\": " + JsonString(name) + ", \"size\": " + std::to_string(e->Size) +
             ", \"stored\": " + (e->Stored ? "true" : "false") + ", \"crc\": " + std::to_string(e->Crc) +
             ", \"crc_uncompressed\": " + (e->CrcUncompressed ? "true" : "false") +
             ", \"file_time\": " + std::to_string(e->FileTime) + ", \"offset\": " + std::to_string(e->Offset) + "}";
    } else {
      out += name + "\t" + std::to_string(e->Size) + "\t" + (e->Stored ? "1" : "0") + "\t" + Hex8(e->Crc) + "\t" +
             (e->CrcUncompressed ? "1" : "0") + "\t" + Hex8(e->FileTime) + "\n";
    }
    first = false;
  }
  if (json) out += first ? "]\n" : "\n]\n";
  std::fwrite(out.data(), 1, out.size(), stdout);
  return kOk;
}

// An entry name as messages show it: a NUL byte, which no host name can hold, as "\0".
std::string EntryLabel(const std::string& name) {
  std::string out;
  for (char c : name) out += c == '\0' ? std::string("\\0") : std::string(1, c);
  return out;
}

// The path of an entry relative to the target folder: "\" and "/" separate folders, names become
// UTF-8 (raw bytes when they have no UTF-8 form). Names that would leave the folder, or that hold
// a NUL byte (the host would cut the name there, and two entries could meet), are refused.
std::string ExtractPath(const std::string& name) {
  if (name.find('\0') != std::string::npos)
    throw Error(EntryLabel(name) + ": the entry name holds a NUL byte, which no file name can");
  std::string rel;
  size_t start = 0;
  auto addPart = [&](std::string_view part) {
    if (part.empty()) return;
    if (part == "." || part == "..") throw Error(name + ": the entry name leaves the target folder");
    auto utf8 = Cp932ToUtf8(part);
    if (!rel.empty()) rel += '/';
    rel += utf8 ? *utf8 : std::string(part);
  };
  for (size_t i = 0; i < name.size(); i += CharLength(name, i)) {
    if (CharLength(name, i) == 1 && (name[i] == '\\' || name[i] == '/')) {
      addPart(std::string_view(name).substr(start, i - start));
      start = i + 1;
    }
  }
  addPart(std::string_view(name).substr(start));
  if (rel.empty()) throw Error("an entry has an empty name");
  return rel;
}

// The nearest folder at or above path that exists ("." for a relative path with none).
fs::path ExistingAncestor(const fs::path& path) {
  std::error_code ec;
  for (fs::path p = path.parent_path(); !p.empty(); p = p.parent_path()) {
    if (fs::is_directory(p, ec)) return p;
    if (p == p.parent_path()) break;
  }
  return ".";
}

// A fresh hidden folder "." + stem + ".orintool-XXXXXX" inside where, on the file system the
// files go to (so that moving them into place is a rename); removed with what it still holds.
class StagingFolder {
 public:
  StagingFolder(const fs::path& where, std::string stem) {
    if (stem.empty() || stem == "." || stem == "..") stem = "extract";
    std::string tmpl = (where / ("." + stem + ".orintool-XXXXXX")).string();
    if (!::mkdtemp(tmpl.data()))
      Fail(tmpl, std::string("cannot create a temporary folder (") + std::strerror(errno) + ")");
    path_ = tmpl;
  }
  ~StagingFolder() {
    if (path_.empty()) return;
    std::error_code ec;
    fs::remove_all(path_, ec);
  }
  // Moves the whole folder to target (which must not exist); it is then no longer removed.
  void MoveTo(const std::string& target) {
    if (::rename(path_.c_str(), target.c_str()) != 0)
      Fail(target, std::string("cannot create the folder (") + std::strerror(errno) + ")");
    path_.clear();
  }
  StagingFolder(const StagingFolder&) = delete;
  StagingFolder& operator=(const StagingFolder&) = delete;
  const std::string& Path() const { return path_; }

 private:
  std::string path_;
};

int Extract(const ArgParser& args) {
  args.ExpectPositionals(2, -1);
  const auto& pos = args.Positionals();
  HostFileSystem hostFs;
  TVrFileCollection archive(hostFs);
  OpenArchive(archive, pos[0]);
  const std::string dir = pos[1];

  // Everything is checked before the first file is written.
  std::vector<TVrFile*> chosen;
  if (pos.size() > 2) {
    for (size_t i = 2; i < pos.size(); ++i) {
      std::string name = FromUtf8(pos[i]);
      TVrFile* e = archive.FindItem(name);
      if (!e || SameText(name, TVrFileCollection::kSentinel)) throw Error(name + ": no such entry in the archive");
      // An entry named twice (in any case) is extracted once.
      if (std::find(chosen.begin(), chosen.end(), e) == chosen.end()) chosen.push_back(e);
    }
  } else {
    chosen = EntriesOf(archive);
  }
  std::vector<std::string> paths;
  std::set<std::string> seen;
  for (TVrFile* e : chosen) {
    paths.push_back(ExtractPath(e->Name()));
    // Entries that differ only in their separators would land on one file.
    if (!seen.insert(paths.back()).second)
      throw Error(EntryLabel(e->Name()) + ": another entry of the archive is extracted to the same file");
  }

  // Everything is written into a staging folder first and moved into place only when all of it
  // could be read and written: a damaged entry leaves nothing behind. A new DIR is the staging
  // folder itself, renamed at the end; into an existing DIR (perhaps a link or a mount point)
  // the staging folder goes inside it, so that each file moves within one file system.
  std::error_code ec;
  const bool intoExisting = fs::is_directory(dir, ec);
  const fs::path target = fs::absolute(fs::path(dir).lexically_normal());
  StagingFolder staging(intoExisting ? fs::path(dir) : ExistingAncestor(target),
                        intoExisting ? std::string("extract") : target.filename().string());
  for (size_t i = 0; i < chosen.size(); ++i) {
    const TVrFile& entry = *chosen[i];
    const std::string path = staging.Path() + "/" + paths[i];
    try {
      auto content = archive.EntryContent(entry);
      fs::create_directories(fs::path(path).parent_path(), ec);
      if (ec) throw Error("cannot create the folder (" + ec.message() + ")");
      FileStream out(path, FileStream::kCreate);
      if (content) out.WriteBuffer(content->Data(), static_cast<int64_t>(content->Size()));
    } catch (const Error& e) {
      throw Error(EntryLabel(entry.Name()) + ": " + e.Message());
    }
    if (entry.FileTime) SetHostFileDosTime(path, entry.FileTime);
  }

  if (!intoExisting) {
    if (fs::exists(dir, ec)) Fail(dir, "not a folder");
    fs::create_directories(target.parent_path(), ec);
    if (ec) Fail(target.parent_path().string(), "cannot create the folder (" + ec.message() + ")");
    staging.MoveTo(target.string());
    return kOk;
  }

  // A file cannot replace a folder, nor a folder a file: refused before anything moves.
  for (size_t i = 0; i < paths.size(); ++i) {
    const fs::path to = fs::path(WithTrailingSlash(dir) + paths[i]);
    if (fs::is_directory(to, ec)) Fail(to.string(), "a folder is in the way of entry " + EntryLabel(chosen[i]->Name()));
    for (fs::path up = to.parent_path(); !up.empty() && up != fs::path(dir).parent_path(); up = up.parent_path()) {
      if (fs::exists(up, ec) && !fs::is_directory(up, ec))
        Fail(up.string(), "a file is in the way of entry " + EntryLabel(chosen[i]->Name()));
      if (up == up.parent_path()) break;
    }
  }
  for (size_t i = 0; i < paths.size(); ++i) {
    const std::string from = staging.Path() + "/" + paths[i];
    const std::string to = WithTrailingSlash(dir) + paths[i];
    fs::create_directories(fs::path(to).parent_path(), ec);
    if (ec) Fail(fs::path(to).parent_path().string(), "cannot create the folder (" + ec.message() + ")");
    if (::rename(from.c_str(), to.c_str()) != 0)
      Fail(to, "cannot write entry " + EntryLabel(chosen[i]->Name()) + " (" + std::strerror(errno) + ")");
  }
  return kOk;
}

// Replaces the volumes of `target` by those written under `partial`; volumes of an earlier,
// larger archive that the new one does not reach are removed so no reader picks them up.
void CommitVolumes(const std::string& partial, const std::string& target, int count) {
  for (int i = count;; ++i) {
    std::string stale = TTpBigFileStream::VolumeName(target, i);
    if (i > 0 && !IsHostFile(stale)) break;
    if (IsHostFile(stale)) ::unlink(stale.c_str());
  }
  for (int i = 0; i < count; ++i) {
    std::string from = TTpBigFileStream::VolumeName(partial, i);
    std::string to = TTpBigFileStream::VolumeName(target, i);
    if (::rename(from.c_str(), to.c_str()) != 0) Fail(to, std::string("cannot write (") + std::strerror(errno) + ")");
  }
}

void RemoveVolumes(const std::string& partial) {
  for (int i = 0;; ++i) {
    std::string name = TTpBigFileStream::VolumeName(partial, i);
    if (::unlink(name.c_str()) != 0) break;
  }
}

int Pack(const ArgParser& args) {
  args.ExpectPositionals(2, 2);
  const std::string src = args.Positionals()[0], out = args.Positionals()[1];
  std::string versionText = args.Value("--version", "102");
  uint32_t version;
  if (versionText == "0" || versionText == "100" || versionText == "101" || versionText == "102")
    version = static_cast<uint32_t>(std::stoul(versionText));
  else
    throw UsageError("--version takes 100, 101 or 102 (or 0 for the oldest form)");
  if (!IsHostDirectory(src)) Fail(src, "no such folder");

  // Game names of every regular file below src, sorted by their bytes. A link to a file is
  // stored under its own name with the content of the file it leads to; a link to a folder or to
  // nothing is refused (following folders could loop, and a dangling link has no content).
  std::vector<std::string> names;
  const std::string base = (fs::path(src) / "").string();
  std::error_code ec;
  for (auto it = fs::recursive_directory_iterator(src, ec); !ec && it != fs::recursive_directory_iterator();
       it.increment(ec)) {
    std::error_code linkEc;
    if (it->is_symlink(linkEc)) {
      std::error_code targetEc;
      const fs::file_status target = fs::status(it->path(), targetEc);
      if (!fs::exists(target)) Fail(it->path().string(), "a link to something that does not exist; nothing was packed");
      if (fs::is_directory(target))
        Fail(it->path().string(), "a link to a folder; only links to files can be packed, nothing was packed");
    }
    if (!it->is_regular_file()) continue;
    // The iterator names every file as src joined with its relative path; taken apart by hand,
    // as resolving links here would name a linked file after its target.
    const std::string full = it->path().string();
    if (full.size() <= base.size() || full.compare(0, base.size(), base) != 0)
      Fail(full, "cannot be named relative to the folder");
    std::string rel = full.substr(base.size());
    std::string name;
    size_t start = 0;
    for (size_t i = 0; i <= rel.size(); ++i) {
      if (i == rel.size() || rel[i] == '/') {
        std::string part = rel.substr(start, i - start);
        auto cp = Utf8ToCp932(part);
        name += (name.empty() ? "" : "\\") + (cp ? *cp : part);
        start = i + 1;
      }
    }
    names.push_back(name);
  }
  if (ec) Fail(src, "cannot read the folder (" + ec.message() + ")");
  std::sort(names.begin(), names.end());

  HostFileSystem hostFs;
  TVrFileCollection archive(hostFs);
  archive.Folder = WithTrailingSlash(src);
  for (auto& name : names) {
    TVrFile& e = archive.AddEntry(name);
    e.CrcUncompressed = args.Flag("--crc-uncompressed") ? 1 : 0;
  }

  const std::string partial = out + ".partial";
  int volumes = 0;
  try {
    TTpBigFileStream stream(partial, TTpBigFileStream::kCreate);
    archive.Save(stream, version);
    stream.Flush();
    volumes = stream.VolumeCount();
  } catch (...) {
    RemoveVolumes(partial);
    throw;
  }
  CommitVolumes(partial, out, volumes);
  return kOk;
}

int Exe(const ArgParser& args) {
  args.ExpectPositionals(3, 3);
  const std::string program = args.Positionals()[0], archivePath = args.Positionals()[1],
                    out = args.Positionals()[2];
  {
    // Refuse what would not load: the archive must open, and must be one file holding its index.
    HostFileSystem hostFs;
    TVrFileCollection archive(hostFs);
    archive.Open(archivePath);
    if (!archive.ArchiveStream) Fail(archivePath, "no such file");
    auto* file = dynamic_cast<TTpBigFileStream*>(archive.ArchiveStream.get());
    if (archive.HasIndexFile || (file && file->VolumeCount() > 1))
      Fail(archivePath, "only an archive in one file with its own index can be put behind a program");
  }
  MemoryStream programBytes;
  programBytes.LoadFromFile(program);
  if (programBytes.Size() > 0xFFFFFFFFu - 6) Fail(program, "the program is too large");
  PartialFile target(out);
  target.Out().WriteBuffer(programBytes.Data(), static_cast<int64_t>(programBytes.Size()));
  FileStream archive(archivePath, FileStream::kRead);
  target.Out().CopyFrom(archive, 0);
  uint8_t trailer[6];
  StoreU32LE(trailer, static_cast<uint32_t>(programBytes.Size()));
  trailer[4] = 'q';
  trailer[5] = 'z';
  target.Out().WriteBuffer(trailer, 6);
  // The game keeps the program's permissions, so an executable stays executable.
  struct stat st;
  target.Commit(::stat(program.c_str(), &st) == 0 ? st.st_mode & 07777 : 0);
  return kOk;
}

int Verify(const ArgParser& args) {
  args.ExpectPositionals(1, 1);
  HostFileSystem hostFs;
  TVrFileCollection archive(hostFs);
  OpenArchive(archive, args.Positionals()[0]);
  const bool hasCrc = archive.Version >= 101;
  int bad = 0, checked = 0;
  for (TVrFile* e : EntriesOf(archive)) {
    ++checked;
    std::string name = ToUtf8(e->Name());
    try {
      auto content = archive.EntryContent(*e);
      if (!hasCrc) continue;
      uint32_t crc;
      if (e->CrcUncompressed || e->Stored || e->Size == 0) {
        crc = content ? Crc32(content->Data(), content->Size()) : 0;
      } else {
        // The CRC covers the stored (compressed) bytes: read them again as they are.
        TVrFile raw(e->Name());
        raw.Offset = e->Offset;
        raw.Size = e->Size;
        raw.Stored = 1;
        auto stored = archive.EntryContent(raw);
        crc = Crc32(stored->Data(), stored->Size());
      }
      if (crc != e->Crc) {
        std::printf("%s: CRC mismatch (index %s, data %s)\n", name.c_str(), Hex8(e->Crc).c_str(), Hex8(crc).c_str());
        ++bad;
      }
    } catch (const Error& err) {
      std::printf("%s: %s\n", name.c_str(), ToUtf8(err.Message()).c_str());
      ++bad;
    }
  }
  if (bad) {
    std::fprintf(stderr, "orintool arc verify: %d of %d entries are damaged\n", bad, checked);
    return kBadInput;
  }
  std::printf("%d entries, all %s\n", checked, hasCrc ? "CRCs match" : "readable (this version has no CRCs)");
  return kOk;
}

int RunArc(const std::vector<std::string>& all) {
  if (all.empty()) throw UsageError("missing subcommand");
  const std::string sub = all[0];
  std::vector<std::string> rest(all.begin() + 1, all.end());
  if (sub == "list") return List(ArgParser(rest, {"--json"}, {}));
  if (sub == "extract") return Extract(ArgParser(rest, {}, {}));
  if (sub == "pack") return Pack(ArgParser(rest, {"--crc-uncompressed"}, {"--version"}));
  if (sub == "exe") return Exe(ArgParser(rest, {}, {}));
  if (sub == "verify") return Verify(ArgParser(rest, {}, {}));
  throw UsageError("unknown subcommand " + sub);
}

}  // namespace

extern const Command kArcCommand = {
    "arc", "list, extract, pack and verify archives",
    "usage:\n"
    "  orintool arc list [--json] ARCHIVE\n"
    "  orintool arc extract ARCHIVE DIR [NAME...]\n"
    "  orintool arc pack [--version 100|101|102] [--crc-uncompressed] SRCDIR OUT\n"
    "  orintool arc exe PROGRAM ARCHIVE OUT\n"
    "  orintool arc verify ARCHIVE\n"
    "ARCHIVE is a game.dat (with its volumes game.001 ... and its game.ext index when present),\n"
    "a save.dat, or a Windows program carrying an archive behind its code or as a resource.\n",
    RunArc};

}  // namespace orin::tool
