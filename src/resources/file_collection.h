// TVrFileCollection: one "vf" archive, read and written; TVrFile: one of its entries.
//
// Versions read: 0 (no magic, count first, plain 4-byte offsets, every entry compressed), 100
// (scrambled names and 4-byte offsets), 101 (8-byte offsets, stored flags, file times and CRCs),
// 102 and later (plus the CRC-of-uncompressed flags). Written: 102 by default; 0, 100 and 101 on
// request, with every entry compressed where the version has no stored flags.
//
// The archive can sit behind a Windows executable (".exe"/".scr" ending in a 6-byte trailer:
// uint32 start, "qz"), in a file such as game.dat (split into game.001, game.002 ... volumes), with
// its index in a separate ".ext" file beside the data, or in the executable's resource
// "DUMMY"/"BINTYPE".
//
// The index is checked against the stream before anything is allocated: counts, name lengths and
// offsets that do not fit give an Error naming the archive, never a read beyond the data.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "core/hash_collection.h"
#include "resources/big_stream.h"
#include "resources/host_fs.h"
#include "resources/range_stream.h"
#include "resources/stream.h"

namespace orin {

class TVrFile : public THashCollectionItem {
 public:
  using THashCollectionItem::THashCollectionItem;

  int64_t Offset = 0;  // absolute, in ArchiveStream, once the index is read
  std::unique_ptr<TTpMemoryStream> Content;  // memory entries only
  int64_t Size = 0;    // stored bytes
  uint8_t Stored = 0;  // 1: as is; 0: a zlib stream
  uint32_t FileTime = 0;  // DOS date-time, date in the high word
  uint32_t Crc = 0;
  uint8_t CrcUncompressed = 0;

  bool IsMemoryEntry() const { return Content != nullptr; }
};

class TVrFileCollection : public THashCollectionOf<TVrFile> {
 public:
  static constexpr int32_t kKey = 1593578642;
  static constexpr uint32_t kWriteVersion = 102;
  static constexpr const char* kSentinel = "\\EOF\\";

  // (collection, entry, cancel, entry count, entry index, bytes): before each entry with bytes 0,
  // after it with the bytes written; setting cancel stops Save.
  using ProgressHandler = std::function<void(TVrFileCollection&, TVrFile&, bool&, int, int, int64_t)>;

  explicit TVrFileCollection(HostFileSystem& fs, int64_t volumeSize = TTpBigFileStream::kVolumeSize)
      : fs_(fs), volumeSize_(volumeSize) {}

  // Clears the collection and opens the archive at hostPath. Folder becomes the file's folder, or
  // the path itself when no file is there (then the collection stays empty); an empty path gives
  // an empty collection without folder. Throws Error for a damaged archive.
  void Open(const std::string& hostPath);
  // Clears the collection and opens the resource archive of a Windows executable. Throws
  // "リソースが見つかりません" when the resource is missing or empty.
  void OpenResource(const std::string& modulePath, const std::string& resourceName,
                    const std::string& resourceType);
  // Reads an index from the stream's position (the archive start B) and adds its entries and the
  // sentinel "\EOF\". dataSize is the size of the stream that holds the entries' data (the index
  // stream itself unless the index came from a ".ext" file).
  void ReadIndex(TTpBigStream& s);
  void ReadIndex(TTpBigStream& s, int64_t dataSize);

  // The entry's content, uncompressed, into target (a memory stream is cleared first); position 0
  // after. Falls back to the loose file Folder + name; else "%s:ファイルがありません".
  void LoadEntry(Stream& target, std::string_view name);
  TVrFile& AddEntry(std::string name);
  TVrFile& AddMemoryEntry(std::string name);
  void RemoveEntry(std::string_view name);
  // A read-only stream over the entry's stored bytes, or null when there is no archive stream or
  // no such entry. Meant for entries with Stored = 1.
  std::unique_ptr<TRangeStream> OpenEntryRange(std::string_view name);

  // Writes the collection as an archive at the target's position (offsets relative to that
  // position). Returns false when the progress handler cancelled.
  bool Save(TTpBigStream& target, uint32_t version = kWriteVersion);
  void WriteEntry(TVrFile& entry, TTpBigStream& target, uint32_t version = kWriteVersion);

  // The content of one entry of this collection, uncompressed: a memory entry's bytes (shared:
  // read them, never write them), or its data in the archive. Null for an entry that has neither.
  // Throws Error for damaged data.
  std::shared_ptr<const ByteBuffer> EntryContent(const TVrFile& entry);

  // Entries other than the sentinel.
  int EntryCount() const;

  std::string Folder;  // host folder for loose files, ending in "/" when not empty
  std::unique_ptr<TTpBigStream> ArchiveStream;
  ProgressHandler OnProgress;
  std::string ArchiveName;
  // Our additions: what was read.
  uint32_t Version = 0;
  bool IsResource = false;
  bool HasIndexFile = false;  // the index came from a ".ext" file

 private:
  void Reset();
  // Reads the entry's stored bytes (Size of them) from the archive.
  std::shared_ptr<ByteBuffer> ReadStored(const TVrFile& entry);
  // Content of an entry uncompressed, from wherever it lives; null when found nowhere. The bytes
  // may be shared with a memory entry: read them, never write them.
  std::shared_ptr<const ByteBuffer> ContentOf(const TVrFile* entry, std::string_view name);
  [[noreturn]] void Damaged(const std::string& what) const;

  HostFileSystem& fs_;
  int64_t volumeSize_;
  bool singleFile_ = false;  // an executable: no volumes
  bool oversizedVolume_ = false;  // the first volume is larger than volumeSize_
  std::string resourceName_, resourceType_;
};

// Applies the name scrambling of the format to bytes in place, drawing from gen.
void ScrambleName(std::string& name, class TTpRandom& gen);

}  // namespace orin
