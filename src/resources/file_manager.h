// TVrFileManager: the one place through which the player reads game files by their relative
// names, with its content cache (TVrCacheList) and its temporary-file locks (TVrLockList).
//
// Lookup order:
//   * LoadToStream, OpenRange, GetLocalFileName: the cache (LoadToStream only), the patch folders
//     in the order added, the loose folder BaseFolder, the collections in the order added, the
//     optical roots CdRoots.
//   * Exists: the patch folders, the collections, then BaseFolder and CdRoots. FindEntry: the
//     collections only (a patch file has no archive entry).
// Patch folders (translations, mods) stand in front of everything the game brings, so a file
// there replaces the game's file of that name without repacking its archive; a broken file there
// fails as the game's own would.
// Game names use "\" and compare without regard to case; on disk they are resolved through one
// HostFileSystem shared with every collection, so folder listings are read once. An empty
// BaseFolder means no loose folder (never the current directory).
//
// Cache: whole uncompressed contents, newest first, keyed by the upper-cased name. A new name may
// evict the oldest objects while the total is above 4 MiB, but never the newest one. Contents are
// shared with the memory streams handed out (copy on write), so a hit copies nothing. Memory
// entries are never cached: their Content can change at any time.
//
// Temporary files: GetLocalFileName extracts archive entries into the TempFolder as "~qz" + eight
// upper-case hex digits + the name's extension. A lock lives until the manager is destroyed; its
// file is then handed to PendingDeletes. The TempFolder and PendingDeletes must outlive the
// manager.
//
// Everything here runs on one thread.
#pragma once

#include <cstdint>
#include <list>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "core/log.h"
#include "resources/file_collection.h"
#include "resources/host_fs.h"
#include "resources/range_stream.h"
#include "resources/stream.h"
#include "resources/temp_folder.h"

namespace orin {

class TVrCache {
 public:
  explicit TVrCache(std::string key) : Key(std::move(key)) {}
  TVrCache(const TVrCache&) = delete;
  TVrCache& operator=(const TVrCache&) = delete;

  const std::string Key;  // the name, upper-cased
  MemoryStream Data;      // the uncompressed content; empty until loaded
};

class TVrCacheList {
 public:
  static constexpr int64_t kLimit = 0x400000;  // 4 MiB of content

  TVrCacheList() = default;
  TVrCacheList(const TVrCacheList&) = delete;
  TVrCacheList& operator=(const TVrCacheList&) = delete;

  // The object of that name, moved to the front. A new name gets a new empty object at the front;
  // then, while more than one object is held and the total is above kLimit, the oldest is freed.
  // The reference stays valid until the object is dropped or evicted.
  TVrCache& Acquire(std::string_view name);
  void Drop(TVrCache& cache);
  void DropByName(std::string_view name);
  int64_t TotalSize() const;

  // The object of that name or null; does not change the order.
  TVrCache* Find(std::string_view name);
  int Count() const { return static_cast<int>(items_.size()); }
  // Newest first.
  const std::list<TVrCache>& Items() const { return items_; }
  void Clear();

 private:
  std::list<TVrCache> items_;
  std::unordered_map<std::string, std::list<TVrCache>::iterator> index_;
};

class TVrLockData {
 public:
  TVrLockData(int32_t id, std::string name, std::string tempPath, PendingDeletes& pending)
      : Id(id), Name(std::move(name)), TempPath(std::move(tempPath)), pending_(pending) {}
  // Hands TempPath to PendingDeletes.
  ~TVrLockData() { pending_.Add(TempPath); }
  TVrLockData(const TVrLockData&) = delete;
  TVrLockData& operator=(const TVrLockData&) = delete;

  const int32_t Id;
  const std::string Name;      // the game name it was extracted for, as asked
  const std::string TempPath;  // host path of the extracted file

 private:
  PendingDeletes& pending_;
};

class TVrLockList {
 public:
  TVrLockList(TempFolder& tempFolder, PendingDeletes& pending) : tempFolder_(tempFolder), pending_(pending) {}
  ~TVrLockList() { Clear(); }
  TVrLockList(const TVrLockList&) = delete;
  TVrLockList& operator=(const TVrLockList&) = delete;

  // Appends a lock with Id = NextId, then advances NextId past every id in use. Makes the
  // TempFolder when needed (throws Error when it cannot be made).
  TVrLockData& NewLock(std::string_view name);
  // Names compare exactly (with case): two spellings are two locks. -1 when absent.
  int IndexOfName(std::string_view name) const;
  int IndexOfId(int32_t id) const;

  int Count() const { return static_cast<int>(items_.size()); }
  TVrLockData& Item(int index) { return *items_[static_cast<size_t>(index)]; }
  // Frees a lock / every lock; their files go to PendingDeletes.
  void Delete(int index) { items_.erase(items_.begin() + index); }
  void Clear();

  int32_t NextId = 0;

 private:
  TempFolder& tempFolder_;
  PendingDeletes& pending_;
  std::vector<std::unique_ptr<TVrLockData>> items_;
};

// How AskForDisk talks to the user. Texts are cp932.
class DiskPrompt {
 public:
  virtual ~DiskPrompt() = default;
  // A box with OK and Cancel; true for OK.
  virtual bool OkCancel(const std::string& caption, const std::string& text) = 0;
  // The user chose to quit: set the closing flag and close the main window.
  virtual void RequestQuit() = 0;
};

// The texts and the title a disc request uses; the defaults are the project's defaults.
struct DiskRequest {
  DiskRequest();
  std::string ApplicationTitle;  // caption of the boxes
  std::string ProjectTitle;      // must equal the title in the disc's install.dat
  std::string DiskText;          // formatted with the disc number (%d)
  std::string QuitText;
};

class TVrFileManager {
 public:
  // cdRoots: folders of mounted optical media (the shell passes ProbeOpticalRoots()).
  TVrFileManager(TempFolder& tempFolder, PendingDeletes& pending, std::vector<std::string> cdRoots);
  ~TVrFileManager();
  TVrFileManager(const TVrFileManager&) = delete;
  TVrFileManager& operator=(const TVrFileManager&) = delete;

  // A host folder; "/" is added when missing. Empty: no loose folder.
  void SetBaseFolder(const std::string& hostPath);
  // Puts a host folder after the patch folders added before it ("/" is added when missing).
  void AddPatchFolder(const std::string& hostPath);
  // Opens the archive at hostPath and appends it; returns its index. -1, and nothing added, when a
  // collection's Folder equals the path (case-insensitively): a second empty path, the memory
  // collection, is a no-op. Errors of a damaged archive propagate and add nothing.
  int AddArchive(const std::string& hostPath);
  int AddResourceArchive(const std::string& modulePath, const std::string& resourceName,
                         const std::string& resourceType);
  // Throws Error for an index out of range.
  void DeleteArchive(int index);

  // False for an empty name. Collections first, then BaseFolder, then CdRoots.
  bool Exists(std::string_view name);
  // The whole uncompressed content into stream (a memory stream is cleared first and then shares
  // the cached bytes); position 0 after. Throws "%s:ファイルがありません" when found nowhere; the
  // empty cache object of the name stays in the cache.
  void LoadToStream(Stream& stream, std::string_view name);
  // A read-only stream on the file without loading it: a loose file or a CdRoots file as a whole,
  // an archive entry as its stored bytes (usable for entries stored without compression). Throws
  // "%s:ファイルがありません".
  std::unique_ptr<TRangeStream> OpenRange(std::string_view name);
  // A host path of a real file with that content: the loose file, else an extraction (one per
  // exact spelling of the name) when a collection knows the name, else the CdRoots file; the name
  // unchanged when found nowhere.
  std::string GetLocalFileName(std::string_view name);
  // Extracts into a new temporary file under a new lock; returns its host path. Throws
  // "作業用ファイルが作れません" when the file cannot be made. When the content cannot be loaded the
  // lock is released again and the error propagates, so a later call does not hand out a file
  // that was never filled.
  std::string ExtractToTemp(std::string_view name);
  // The entry of the first collection that knows the name, or null.
  TVrFile* FindEntry(std::string_view name);
  // The folder part of a game name including its final "\" ("" when it has none); for a drive or
  // network path (":" second, or a leading "\\") a final ":" also ends the folder.
  static std::string ExtractDir(std::string_view path);

  // Removes the collections on optical media and asks for disc diskNumber (1 for the first) until
  // FindDisk finds it (true) or the user confirms the quit text (RequestQuit, false).
  bool AskForDisk(int diskNumber, DiskPrompt& prompt, const DiskRequest& request);
  // Adds root + "game.dat" of every optical root whose install.dat has that title and disc index
  // (0 for the first disc); true when at least one was found. An unreadable install.dat counts as
  // another game's.
  bool FindDisk(int diskIndex, std::string_view projectTitle);

  // Files asked for and found nowhere go to this log's files channel (none: nowhere). Not owned.
  void SetLog(Log* log) { log_ = log; }

  int Count() const { return static_cast<int>(collections_.size()); }
  TVrFileCollection& Items(int index) { return *collections_[static_cast<size_t>(index)]; }
  HostFileSystem& FileSystem() { return fs_; }

  std::vector<std::string> CdRoots;  // host folders ending in "/"
  std::string BaseFolder;            // host folder ending in "/", or empty
  std::vector<std::string> PatchFolders;  // host folders ending in "/", first wins
  TVrCacheList Caches;
  TVrLockList Locks;

 private:
  std::optional<std::string> PatchFile(std::string_view name);
  std::optional<std::string> LooseFile(std::string_view name);
  std::optional<std::string> CdRootFile(std::string_view name);
  [[noreturn]] void ThrowMissing(std::string_view name);

  Log* log_ = nullptr;
  HostFileSystem fs_;  // before the collections, which hold references to it
  std::vector<std::unique_ptr<TVrFileCollection>> collections_;
};

}  // namespace orin
