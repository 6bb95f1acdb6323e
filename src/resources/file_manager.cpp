#include "resources/file_manager.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>

#include "core/cp932.h"
#include "core/error.h"
#include "core/text.h"
#include "resources/install_set.h"

namespace orin {

using namespace literals;

// ---- TVrCacheList

TVrCache& TVrCacheList::Acquire(std::string_view name) {
  std::string key = UpperCase(name);
  if (auto found = index_.find(key); found != index_.end()) {
    items_.splice(items_.begin(), items_, found->second);
    return items_.front();
  }
  items_.emplace_front(key);
  index_.emplace(std::move(key), items_.begin());
  if (items_.size() > 1) {
    int64_t total = TotalSize();
    while (items_.size() > 1 && total > kLimit) {
      total -= static_cast<int64_t>(items_.back().Data.Size());
      index_.erase(items_.back().Key);
      items_.pop_back();
    }
  }
  return items_.front();
}

void TVrCacheList::Drop(TVrCache& cache) {
  auto found = index_.find(cache.Key);
  if (found == index_.end() || &*found->second != &cache) return;
  items_.erase(found->second);
  index_.erase(found);
}

void TVrCacheList::DropByName(std::string_view name) {
  if (TVrCache* cache = Find(name)) Drop(*cache);
}

int64_t TVrCacheList::TotalSize() const {
  int64_t total = 0;
  for (const auto& c : items_) total += static_cast<int64_t>(c.Data.Size());
  return total;
}

TVrCache* TVrCacheList::Find(std::string_view name) {
  auto found = index_.find(UpperCase(name));
  return found == index_.end() ? nullptr : &*found->second;
}

void TVrCacheList::Clear() {
  index_.clear();
  items_.clear();
}

// ---- TVrLockList

TVrLockData& TVrLockList::NewLock(std::string_view name) {
  std::string ext = ExtensionOf(name);
  // Host names are UTF-8; an extension without a UTF-8 form keeps its bytes.
  if (auto utf8 = Cp932ToUtf8(ext)) ext = *utf8;
  char stem[16];
  std::snprintf(stem, sizeof stem, "~qz%08X", static_cast<unsigned>(static_cast<uint32_t>(NextId)));
  std::string path = tempFolder_.Path() + stem + ext;
  items_.push_back(std::make_unique<TVrLockData>(NextId, std::string(name), std::move(path), pending_));
  // Unsigned steps: after 2^32 extractions the ids wrap instead of overflowing.
  do {
    NextId = static_cast<int32_t>(static_cast<uint32_t>(NextId) + 1);
  } while (IndexOfId(NextId) >= 0);
  return *items_.back();
}

void TVrLockList::Clear() {
  // Oldest first, so that the files are deleted in the order they were made.
  for (auto& lock : items_) lock.reset();
  items_.clear();
}

int TVrLockList::IndexOfName(std::string_view name) const {
  for (size_t i = 0; i < items_.size(); ++i)
    if (items_[i]->Name == name) return static_cast<int>(i);
  return -1;
}

int TVrLockList::IndexOfId(int32_t id) const {
  for (size_t i = 0; i < items_.size(); ++i)
    if (items_[i]->Id == id) return static_cast<int>(i);
  return -1;
}

// ---- DiskRequest

DiskRequest::DiskRequest()
    : DiskText("ディスク%dを入れてから[OK]をクリックしてください"_sj), QuitText("終了します"_sj) {}

// ---- TVrFileManager

TVrFileManager::TVrFileManager(TempFolder& tempFolder, PendingDeletes& pending, std::vector<std::string> cdRoots)
    : CdRoots(std::move(cdRoots)), Locks(tempFolder, pending) {
  for (auto& root : CdRoots) root = WithTrailingSlash(std::move(root));
}

TVrFileManager::~TVrFileManager() = default;

void TVrFileManager::SetBaseFolder(const std::string& hostPath) { BaseFolder = WithTrailingSlash(hostPath); }

void TVrFileManager::AddPatchFolder(const std::string& hostPath) {
  PatchFolders.push_back(WithTrailingSlash(hostPath));
}

int TVrFileManager::AddArchive(const std::string& hostPath) {
  for (const auto& c : collections_)
    if (SameText(c->Folder, hostPath)) return -1;
  auto collection = std::make_unique<TVrFileCollection>(fs_);
  collection->Open(hostPath);
  collections_.push_back(std::move(collection));
  return Count() - 1;
}

int TVrFileManager::AddResourceArchive(const std::string& modulePath, const std::string& resourceName,
                                       const std::string& resourceType) {
  auto collection = std::make_unique<TVrFileCollection>(fs_);
  collection->OpenResource(modulePath, resourceName, resourceType);
  collections_.push_back(std::move(collection));
  return Count() - 1;
}

void TVrFileManager::DeleteArchive(int index) {
  if (index < 0 || index >= Count()) throw Error(Format("archive index %d out of range", index));
  collections_.erase(collections_.begin() + index);
}

std::optional<std::string> TVrFileManager::PatchFile(std::string_view name) {
  for (const auto& folder : PatchFolders)
    if (auto path = fs_.FindFile(folder, name)) return path;
  return std::nullopt;
}

std::optional<std::string> TVrFileManager::LooseFile(std::string_view name) {
  if (BaseFolder.empty()) return std::nullopt;
  return fs_.FindFile(BaseFolder, name);
}

std::optional<std::string> TVrFileManager::CdRootFile(std::string_view name) {
  for (const auto& root : CdRoots)
    if (auto path = fs_.FindFile(root, name)) return path;
  return std::nullopt;
}

bool TVrFileManager::Exists(std::string_view name) {
  if (name.empty()) return false;
  if (PatchFile(name)) return true;
  for (const auto& c : collections_)
    if (c->IndexOf(name) >= 0) return true;
  return LooseFile(name) || CdRootFile(name);
}

namespace {

// Puts content into a stream at its position; a memory stream (cleared by the caller) takes the
// bytes shared.
void Deliver(Stream& stream, const MemoryStream& content) {
  if (auto* memory = dynamic_cast<MemoryStream*>(&stream)) {
    memory->ShareFrom(content);
    return;
  }
  stream.WriteBuffer(content.Data(), static_cast<int64_t>(content.Size()));
}

}  // namespace

void TVrFileManager::LoadToStream(Stream& stream, std::string_view name) {
  if (auto* memory = dynamic_cast<MemoryStream*>(&stream)) memory->Clear();
  TVrCache& cache = Caches.Acquire(name);
  auto done = [&](const MemoryStream& content) {
    Deliver(stream, content);
    stream.SetPosition(0);
  };
  if (cache.Data.Size() > 0) return done(cache.Data);

  if (auto path = PatchFile(name)) {
    cache.Data.LoadFromFile(*path);
    return done(cache.Data);
  }
  if (auto path = LooseFile(name)) {
    cache.Data.LoadFromFile(*path);
    return done(cache.Data);
  }

  for (const auto& c : collections_) {
    TVrFile* entry = c->FindItem(name);
    if (!entry) continue;
    if (entry->Content) {
      // Memory entries change under the program's hands; a cached copy would go stale.
      Caches.Drop(cache);
      return done(*entry->Content);
    }
    if (!c->ArchiveStream) continue;
    if (entry->Size > 0) {
      if (auto content = c->EntryContent(*entry)) cache.Data.Adopt(std::move(content));
    }
    return done(cache.Data);
  }

  if (auto path = CdRootFile(name)) {
    cache.Data.LoadFromFile(*path);
    return done(cache.Data);
  }
  ThrowMissing(name);
}

void TVrFileManager::ThrowMissing(std::string_view name) {
  std::string message = Format("%s:ファイルがありません"_sj, std::string(name));
  if (log_) log_->Warn(LogChannel::kFiles, message);
  throw Error(std::move(message));
}

std::unique_ptr<TRangeStream> TVrFileManager::OpenRange(std::string_view name) {
  // A loose file is one file: a neighbour that happens to be named like a volume ("x.001") is not
  // part of it.
  if (auto path = PatchFile(name))
    return std::make_unique<TFileRangeStream>(*path, 0, 0, false, TTpBigFileStream::kVolumeSize, false);
  if (auto path = LooseFile(name))
    return std::make_unique<TFileRangeStream>(*path, 0, 0, false, TTpBigFileStream::kVolumeSize, false);
  for (const auto& c : collections_)
    if (auto range = c->OpenEntryRange(name)) return range;
  if (auto path = CdRootFile(name))
    return std::make_unique<TFileRangeStream>(*path, 0, 0, false, TTpBigFileStream::kVolumeSize, false);
  ThrowMissing(name);
}

std::string TVrFileManager::GetLocalFileName(std::string_view name) {
  if (auto path = PatchFile(name)) return *path;
  if (auto path = LooseFile(name)) return *path;
  for (const auto& c : collections_) {
    if (c->IndexOf(name) < 0) continue;
    int lock = Locks.IndexOfName(name);
    return lock >= 0 ? Locks.Item(lock).TempPath : ExtractToTemp(name);
  }
  if (auto path = CdRootFile(name)) return *path;
  return std::string(name);
}

std::string TVrFileManager::ExtractToTemp(std::string_view name) {
  std::string path;
  std::unique_ptr<FileStream> file;
  try {
    path = Locks.NewLock(name).TempPath;
    // Only this process writes in its folder, so whatever stands here is ours to replace, read-only
    // or not.
    struct stat st;
    if (::lstat(path.c_str(), &st) == 0) ::unlink(path.c_str());
    file = std::make_unique<FileStream>(path, FileStream::kCreate);
  } catch (Error& e) {
    Error failure("作業用ファイルが作れません"_sj);
    failure.AddContext(e.Message());
    throw failure;
  }
  try {
    LoadToStream(*file, name);
  } catch (...) {
    file.reset();
    Locks.Delete(Locks.Count() - 1);
    throw;
  }
  return path;
}

TVrFile* TVrFileManager::FindEntry(std::string_view name) {
  for (const auto& c : collections_)
    if (TVrFile* entry = c->FindItem(name)) return entry;
  return nullptr;
}

std::string TVrFileManager::ExtractDir(std::string_view path) {
  size_t cut = FindLastChar(path, '\\');
  const bool drive = path.size() >= 2 && path[1] == ':';
  const bool network = path.size() >= 2 && path[0] == '\\' && path[1] == '\\';
  if (drive || network) {
    size_t colon = FindLastChar(path, ':');
    if (colon != std::string_view::npos && (cut == std::string_view::npos || colon > cut)) cut = colon;
  }
  return cut == std::string_view::npos ? std::string() : std::string(path.substr(0, cut + 1));
}

bool TVrFileManager::AskForDisk(int diskNumber, DiskPrompt& prompt, const DiskRequest& request) {
  for (int i = Count() - 1; i >= 0; --i) {
    const std::string& folder = collections_[static_cast<size_t>(i)]->Folder;
    for (const auto& root : CdRoots) {
      if (StartsWithText(folder, root)) {
        DeleteArchive(i);
        break;
      }
    }
  }
  const std::string text = Format(request.DiskText, diskNumber);
  while (true) {
    if (prompt.OkCancel(request.ApplicationTitle, text)) {
      if (FindDisk(diskNumber - 1, request.ProjectTitle)) return true;
      continue;
    }
    if (prompt.OkCancel(request.ApplicationTitle, request.QuitText)) {
      prompt.RequestQuit();
      return false;
    }
  }
}

bool TVrFileManager::FindDisk(int diskIndex, std::string_view projectTitle) {
  bool found = false;
  // A disc change need not change the mount point's time stamp; listings of the old disc must go.
  fs_.ForgetListings();
  for (const auto& root : CdRoots) {
    auto archive = fs_.FindFile(root, "game.dat");
    auto install = fs_.FindFile(root, "install.dat");
    if (!archive || !install) continue;
    TOrinInstallSet set;
    try {
      set.LoadFromFile(*install);
    } catch (const Error&) {
      continue;
    }
    if (set.Title != projectTitle || set.DiscIndex != diskIndex) continue;
    AddArchive(*archive);
    found = true;
  }
  return found;
}

}  // namespace orin
