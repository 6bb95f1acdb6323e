#include "resources/file_collection.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "core/cp932.h"
#include "core/endian.h"
#include "core/error.h"
#include "core/random.h"
#include "core/text.h"
#include "resources/compression.h"
#include "resources/host_error.h"

namespace orin {

using namespace literals;

void ScrambleName(std::string& name, TTpRandom& gen) {
  for (char& c : name) c = static_cast<char>(static_cast<uint8_t>(c) ^ static_cast<uint8_t>(gen.Next()));
}

namespace {

// Offsets are XORed with the generator's value, sign-extended for the 8-byte form.
void ScrambleOffsets(std::vector<int64_t>& offsets, int width) {
  TTpRandom gen(TVrFileCollection::kKey);
  for (auto& o : offsets) {
    int32_t v = gen.Next();
    if (width == 8)
      o ^= static_cast<int64_t>(v);
    else
      o = static_cast<int64_t>(static_cast<uint32_t>(o) ^ static_cast<uint32_t>(v));
  }
}

struct Layout {
  bool scrambled;
  int offsetWidth;
  bool arrays;
  bool crcUncompressedArray;
};

Layout LayoutOf(uint32_t version) {
  return {version >= 100, version >= 101 ? 8 : 4, version >= 101, version >= 102};
}

std::string HostNameAsGameName(const std::string& hostName) {
  auto cp = Utf8ToCp932(hostName);
  return cp ? *cp : hostName;
}

}  // namespace

void TVrFileCollection::Damaged(const std::string& what) const {
  throw Error(HostPathText(ArchiveName) + ": damaged archive: " + what);
}

void TVrFileCollection::Reset() {
  Clear();
  ArchiveStream.reset();
  ArchiveName.clear();
  Folder.clear();
  Version = 0;
  IsResource = false;
  HasIndexFile = false;
  singleFile_ = false;
  oversizedVolume_ = false;
  resourceName_.clear();
  resourceType_.clear();
}

int TVrFileCollection::EntryCount() const {
  int n = 0;
  for (int i = 0; i < Count(); ++i)
    if (!SameText((*this)[i].Name(), kSentinel)) ++n;
  return n;
}

void TVrFileCollection::Open(const std::string& hostPath) {
  Reset();
  ArchiveName = hostPath;
  if (hostPath.empty()) return;
  if (!IsHostFile(hostPath)) {
    Folder = WithTrailingSlash(hostPath);
    return;
  }
  Folder = HostDirOf(hostPath);
  if (Folder.empty()) Folder = "./";

  std::string ext = UpperCase(ExtensionOf(hostPath));
  if (ext == ".EXE" || ext == ".SCR") {
    singleFile_ = true;
    ArchiveStream = std::make_unique<TTpBigFileStream>(hostPath, TTpBigFileStream::kRead, volumeSize_, false);
    int64_t size = ArchiveStream->GetSize();
    uint8_t trailer[6];
    if (size < 6) Damaged("no archive behind the program");
    ArchiveStream->SetPosition(size - 6);
    ArchiveStream->ReadBuffer(trailer, 6);
    if (trailer[4] != 'q' || trailer[5] != 'z') Damaged("no archive behind the program");
    uint32_t start = LoadU32LE(trailer);
    if (start > size - 6) Damaged("the trailer points outside the program");
    ArchiveStream->SetPosition(start);
    ReadIndex(*ArchiveStream, size - 6);
    return;
  }

  ArchiveStream = std::make_unique<TTpBigFileStream>(hostPath, TTpBigFileStream::kRead, volumeSize_);
  oversizedVolume_ = FileStream(hostPath, FileStream::kRead).GetSize() > volumeSize_;
  std::string base = HostBaseName(hostPath);
  size_t dot = base.rfind('.');
  std::string indexName = (dot == std::string::npos ? base : base.substr(0, dot)) + ".ext";
  if (auto indexPath = fs_.FindFile(Folder, HostNameAsGameName(indexName))) {
    TTpBigMemoryStream index;
    index.LoadFromFile(*indexPath);
    HasIndexFile = true;
    ReadIndex(index, ArchiveStream->GetSize());
    return;
  }
  ReadIndex(*ArchiveStream);
}

void TVrFileCollection::OpenResource(const std::string& modulePath, const std::string& resourceName,
                                     const std::string& resourceType) {
  Reset();
  ArchiveName = modulePath;
  auto stream = std::make_unique<TTpBigResourceStream>(modulePath, resourceName, resourceType);
  if (stream->GetSize() == 0) throw Error("リソースが見つかりません"_sj);
  ArchiveStream = std::move(stream);
  IsResource = true;
  resourceName_ = resourceName;
  resourceType_ = resourceType;
  ArchiveStream->SetPosition(0);
  ReadIndex(*ArchiveStream);
}

void TVrFileCollection::ReadIndex(TTpBigStream& s) { ReadIndex(s, s.GetSize()); }

void TVrFileCollection::ReadIndex(TTpBigStream& s, int64_t dataSize) {
  const int64_t base = s.GetPosition();
  uint32_t version = 0;
  {
    uint8_t magic[2] = {};
    int64_t got = s.Read(magic, 2);
    if (got == 2 && magic[0] == 'v' && magic[1] == 'f') {
      uint8_t v[4];
      if (s.Read(v, 4) != 4) Damaged("the header is cut short");
      version = LoadU32LE(v);
    } else {
      s.SetPosition(base);
    }
  }
  const Layout layout = LayoutOf(version);
  uint8_t countBytes[4];
  if (s.Read(countBytes, 4) != 4) Damaged("the header is cut short");
  int32_t count = LoadI32LE(countBytes);
  if (count < 0) Damaged("negative entry count");

  // The smallest index that count entries can have: a length per name, the offsets, the arrays.
  const uint64_t n = static_cast<uint32_t>(count);
  const uint64_t arrayBytes = layout.arrays ? n * (1 + 4 + 4) + (layout.crcUncompressedArray ? n : 0) : 0;
  const uint64_t tableBytes = (n + 1) * static_cast<uint64_t>(layout.offsetWidth) + arrayBytes;
  if (n * 4 + tableBytes > static_cast<uint64_t>(s.Remaining()))
    Damaged(Format("%d entries do not fit in the data", count));

  std::vector<std::string> names(static_cast<size_t>(n));
  {
    TTpBuffBigStream buffered(s);
    TTpRandom gen(kKey);
    for (auto& name : names) {
      uint8_t lengthBytes[4];
      if (buffered.Read(lengthBytes, 4) != 4) Damaged("the names are cut short");
      int32_t length = LoadI32LE(lengthBytes);
      if (length <= 0) continue;
      if (static_cast<uint64_t>(length) > static_cast<uint64_t>(buffered.Remaining()))
        Damaged(Format("a name of %d bytes runs past the end of the data", length));
      name.resize(static_cast<size_t>(length));
      buffered.ReadBuffer(name.data(), length);
      if (layout.scrambled) ScrambleName(name, gen);
    }
  }

  if (tableBytes > static_cast<uint64_t>(s.Remaining())) Damaged("the offset table is cut short");
  std::vector<uint8_t> table(static_cast<size_t>(tableBytes));
  s.ReadBuffer(table.data(), static_cast<int64_t>(tableBytes));
  std::vector<int64_t> offsets(static_cast<size_t>(n + 1));
  for (size_t i = 0; i <= n; ++i)
    offsets[i] = layout.offsetWidth == 8 ? LoadI64LE(&table[i * 8]) : int64_t{LoadU32LE(&table[i * 4])};
  if (layout.scrambled) ScrambleOffsets(offsets, layout.offsetWidth);

  for (size_t i = 0; i <= n; ++i) {
    if (offsets[i] < 0 || (i > 0 && offsets[i] < offsets[i - 1]))
      Damaged(Format("entry %d has a negative size or offset", static_cast<int64_t>(i)));
  }
  if (offsets[n] > dataSize - base) Damaged("entries run past the end of the data");

  const uint8_t* arrays = table.data() + (n + 1) * static_cast<size_t>(layout.offsetWidth);
  Reserve(static_cast<size_t>(n + 1));
  for (size_t i = 0; i < n; ++i) {
    auto entry = std::make_unique<TVrFile>(std::move(names[i]));
    entry->Offset = base + offsets[i];
    entry->Size = offsets[i + 1] - offsets[i];
    if (layout.arrays) {
      entry->Stored = arrays[i];
      entry->FileTime = LoadU32LE(arrays + n + i * 4);
      entry->Crc = LoadU32LE(arrays + n * 5 + i * 4);
      if (layout.crcUncompressedArray) entry->CrcUncompressed = arrays[n * 9 + i];
    }
    Add(std::move(entry));
  }
  auto sentinel = std::make_unique<TVrFile>(std::string(kSentinel));
  sentinel->Offset = offsets[n];
  Add(std::move(sentinel));
  Version = version;
}

std::shared_ptr<ByteBuffer> TVrFileCollection::ReadStored(const TVrFile& entry) {
  auto buffer = std::make_shared<ByteBuffer>();
  if (entry.Size <= 0) return buffer;
  if (entry.Offset < 0 || entry.Size > ArchiveStream->GetSize() - entry.Offset) Damaged("an entry runs past the end");
  buffer->Resize(static_cast<size_t>(entry.Size));
  ArchiveStream->SetPosition(entry.Offset);
  if (ArchiveStream->Read(buffer->Data(), entry.Size) != entry.Size) {
    // Volumes hold volumeSize_ bytes each; a longer single file is read only that far, which is
    // the real cause when its entries look cut short.
    if (oversizedVolume_)
      Damaged(Format("entry \"%s\" lies beyond the first %d bytes, the most one archive file (volume) may hold",
                     entry.Name(), volumeSize_));
    Damaged("an entry is cut short");
  }
  return buffer;
}

namespace {

std::shared_ptr<const ByteBuffer> NonNull(std::shared_ptr<const ByteBuffer> b) {
  return b ? b : std::make_shared<const ByteBuffer>();
}

std::shared_ptr<const ByteBuffer> LoadHostFile(const std::string& path) {
  MemoryStream file;
  file.LoadFromFile(path);
  return NonNull(file.SharedBuffer());
}

}  // namespace

std::shared_ptr<const ByteBuffer> TVrFileCollection::ContentOf(const TVrFile* entry, std::string_view name) {
  if (entry && entry->Content) return NonNull(entry->Content->SharedBuffer());
  if (entry && ArchiveStream) {
    auto stored = ReadStored(*entry);
    if (entry->Stored || entry->Size <= 0) return stored;
    return InflateBytes(stored->Data(), stored->Size());
  }
  if (Folder.empty()) return nullptr;
  auto path = fs_.FindFile(Folder, name);
  if (!path || *path == ArchiveName) return nullptr;
  return LoadHostFile(*path);
}

std::shared_ptr<const ByteBuffer> TVrFileCollection::EntryContent(const TVrFile& entry) {
  if (!entry.Content && !ArchiveStream) return nullptr;
  return ContentOf(&entry, entry.Name());
}

void TVrFileCollection::LoadEntry(Stream& target, std::string_view name) {
  auto* memory = dynamic_cast<MemoryStream*>(&target);
  if (memory) memory->Clear();
  TVrFile* entry = FindItem(name);
  auto content = ContentOf(entry, name);
  if (!content) throw Error(Format("%s:ファイルがありません"_sj, name));
  if (memory) {
    memory->Adopt(std::move(content));
  } else {
    int64_t start = target.GetPosition();
    target.WriteBuffer(content->Data(), static_cast<int64_t>(content->Size()));
    target.SetPosition(start);
  }
  target.SetPosition(0);
}

TVrFile& TVrFileCollection::AddEntry(std::string name) { return Add(std::make_unique<TVrFile>(std::move(name))); }

TVrFile& TVrFileCollection::AddMemoryEntry(std::string name) {
  TVrFile& entry = AddEntry(std::move(name));
  entry.Content = std::make_unique<TTpMemoryStream>();
  return entry;
}

void TVrFileCollection::RemoveEntry(std::string_view name) {
  int i = IndexOf(name);
  if (i >= 0) Delete(i);
}

std::unique_ptr<TRangeStream> TVrFileCollection::OpenEntryRange(std::string_view name) {
  if (!ArchiveStream) return nullptr;
  TVrFile* entry = FindItem(name);
  if (!entry || entry->Content) return nullptr;
  if (IsResource)
    return std::make_unique<TResourceRangeStream>(ArchiveName, resourceName_, resourceType_, entry->Offset,
                                                  entry->Size, true);
  return std::make_unique<TFileRangeStream>(ArchiveName, entry->Offset, entry->Size, true, volumeSize_, !singleFile_);
}

void TVrFileCollection::WriteEntry(TVrFile& entry, TTpBigStream& target, uint32_t version) {
  const bool canStore = LayoutOf(version).arrays;
  // Versions before 102 cannot store the flag, so their CRCs always cover the stored bytes.
  const bool crcOfContent = entry.CrcUncompressed != 0 && LayoutOf(version).crcUncompressedArray;
  auto writeBytes = [&](const ByteBuffer& b) { target.WriteBuffer(b.Data(), static_cast<int64_t>(b.Size())); };

  // The content comes first: an entry that is only in the archive is read with the flag it was
  // stored with, before the flag is reset below.
  std::shared_ptr<const ByteBuffer> content;
  std::string loosePath;
  if (entry.Content) {
    content = ContentOf(&entry, entry.Name());
  } else if (auto path = Folder.empty() ? std::nullopt : fs_.FindFile(Folder, entry.Name())) {
    loosePath = *path;
    content = LoadHostFile(loosePath);
  } else {
    content = ContentOf(ArchiveStream ? &entry : nullptr, entry.Name());
    if (!content) throw Error(Format("%s:ファイルがありません"_sj, entry.Name()));
  }
  entry.Stored = 0;

  const auto size = static_cast<int64_t>(content->Size());
  auto storeAsIs = [&] {
    writeBytes(*content);
    entry.Stored = 1;
    entry.Crc = Crc32(content->Data(), content->Size());
  };
  auto compress = [&] {
    auto packed = DeflateBytes(content->Data(), content->Size());
    entry.Crc = crcOfContent ? Crc32(content->Data(), content->Size()) : Crc32(packed->Data(), packed->Size());
    return packed;
  };

  if (!loosePath.empty()) {
    entry.FileTime = HostFileDosTime(loosePath);
    MemoryStream view;
    view.Adopt(content);
    if (canStore && !ShouldCompress(loosePath, view)) {
      storeAsIs();
      return;
    }
    auto packed = compress();
    if (canStore && static_cast<int64_t>(packed->Size()) > size * 9 / 10) {
      storeAsIs();
      return;
    }
    writeBytes(*packed);
    return;
  }
  if (canStore && size >= kStoreThreshold) {
    storeAsIs();
    return;
  }
  writeBytes(*compress());
}

bool TVrFileCollection::Save(TTpBigStream& target, uint32_t version) {
  const Layout layout = LayoutOf(version);
  std::vector<TVrFile*> entries;
  for (int i = 0; i < Count(); ++i)
    if (!SameText((*this)[i].Name(), kSentinel)) entries.push_back(&(*this)[i]);
  const int n = static_cast<int>(entries.size());
  const int64_t base = target.GetPosition();

  MemoryStream header;
  if (version > 0) {
    header.WriteBuffer("vf", 2);
    WriteUInt32(header, version);
  }
  WriteInt32(header, n);
  TTpRandom gen(kKey);
  for (TVrFile* e : entries) {
    std::string name = e->Name();
    WriteInt32(header, static_cast<int32_t>(name.size()));
    if (layout.scrambled) ScrambleName(name, gen);
    header.WriteBuffer(name.data(), static_cast<int64_t>(name.size()));
  }
  target.WriteBuffer(header.Data(), static_cast<int64_t>(header.Size()));

  const size_t un = static_cast<size_t>(n);
  const size_t tableBytes = (un + 1) * static_cast<size_t>(layout.offsetWidth) +
                            (layout.arrays ? un * 9 + (layout.crcUncompressedArray ? un : 0) : 0);
  const int64_t tablePosition = target.GetPosition();
  std::vector<uint8_t> table(tableBytes, 0);
  target.WriteBuffer(table.data(), static_cast<int64_t>(tableBytes));

  std::vector<int64_t> offsets(un + 1);
  for (int i = 0; i < n; ++i) {
    TVrFile& e = *entries[static_cast<size_t>(i)];
    int64_t start = target.GetPosition();
    offsets[static_cast<size_t>(i)] = start - base;
    bool cancel = false;
    if (OnProgress) OnProgress(*this, e, cancel, n, i, 0);
    if (cancel) return false;
    WriteEntry(e, target, version);
    if (OnProgress) OnProgress(*this, e, cancel, n, i, target.GetPosition() - start);
    if (cancel) return false;
  }
  const int64_t end = target.GetPosition();
  offsets[un] = end - base;
  if (layout.offsetWidth == 4 && offsets[un] > 0xFFFFFFFFll)
    throw Error(Format("archive version %d cannot hold more than 4 GiB", static_cast<int64_t>(version)));

  if (layout.scrambled) ScrambleOffsets(offsets, layout.offsetWidth);
  uint8_t* p = table.data();
  for (int64_t o : offsets) {
    if (layout.offsetWidth == 8)
      StoreI64LE(p, o);
    else
      StoreU32LE(p, static_cast<uint32_t>(o));
    p += layout.offsetWidth;
  }
  if (layout.arrays) {
    for (size_t i = 0; i < un; ++i) p[i] = entries[i]->Stored;
    for (size_t i = 0; i < un; ++i) StoreU32LE(p + un + i * 4, entries[i]->FileTime);
    for (size_t i = 0; i < un; ++i) StoreU32LE(p + un * 5 + i * 4, entries[i]->Crc);
    if (layout.crcUncompressedArray)
      for (size_t i = 0; i < un; ++i) p[un * 9 + i] = entries[i]->CrcUncompressed;
  }
  target.SetPosition(tablePosition);
  target.WriteBuffer(table.data(), static_cast<int64_t>(tableBytes));
  target.SetPosition(end);
  return true;
}

}  // namespace orin
