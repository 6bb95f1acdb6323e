#include "resources/pe_resource.h"

#include "resources/host_error.h"

#include <vector>

#include "core/cp932.h"
#include "core/endian.h"
#include "core/error.h"

namespace orin {

namespace {

struct Section {
  uint32_t virtualAddress, virtualSize, rawOffset, rawSize;
};

[[noreturn]] void Damaged(const char* what) { throw Error(std::string("damaged executable: ") + what); }

std::vector<uint8_t> ReadAt(Stream& f, int64_t offset, int64_t size, int64_t fileSize, const char* what) {
  if (offset < 0 || size < 0 || offset > fileSize || size > fileSize - offset) Damaged(what);
  std::vector<uint8_t> b(static_cast<size_t>(size));
  f.SetPosition(offset);
  f.ReadBuffer(b.data(), size);
  return b;
}

struct PeHeaders {
  std::vector<Section> sections;
  uint32_t resourceRva = 0, resourceSize = 0;
};

std::optional<PeHeaders> ReadHeaders(Stream& f, int64_t fileSize, bool strict) {
  if (fileSize < 0x40) {
    if (strict) Damaged("too small");
    return std::nullopt;
  }
  auto dos = ReadAt(f, 0, 0x40, fileSize, "DOS header");
  if (dos[0] != 'M' || dos[1] != 'Z') {
    if (strict) Damaged("no MZ signature");
    return std::nullopt;
  }
  int64_t peOffset = LoadU32LE(&dos[0x3C]);
  if (peOffset + 24 > fileSize) {
    if (strict) Damaged("PE header outside the file");
    return std::nullopt;
  }
  auto coff = ReadAt(f, peOffset, 24, fileSize, "PE header");
  if (coff[0] != 'P' || coff[1] != 'E' || coff[2] != 0 || coff[3] != 0) {
    if (strict) Damaged("no PE signature");
    return std::nullopt;
  }
  PeHeaders h;
  uint16_t sectionCount = LoadU16LE(&coff[6]);
  uint16_t optionalSize = LoadU16LE(&coff[20]);
  auto opt = ReadAt(f, peOffset + 24, optionalSize, fileSize, "optional header");
  if (optionalSize < 2) Damaged("optional header too small");
  uint16_t magic = LoadU16LE(&opt[0]);
  size_t dirBase;
  if (magic == 0x10B)
    dirBase = 96;
  else if (magic == 0x20B)
    dirBase = 112;
  else
    Damaged("unknown optional header");
  // Data directory 2 is the resource table; its count sits just before the directories.
  if (dirBase + 3 * 8 <= opt.size() && LoadU32LE(&opt[dirBase - 4]) > 2) {
    h.resourceRva = LoadU32LE(&opt[dirBase + 16]);
    h.resourceSize = LoadU32LE(&opt[dirBase + 20]);
  }
  auto table = ReadAt(f, peOffset + 24 + optionalSize, int64_t{sectionCount} * 40, fileSize, "section table");
  for (size_t i = 0; i < sectionCount; ++i) {
    const uint8_t* s = &table[i * 40];
    h.sections.push_back({LoadU32LE(s + 12), LoadU32LE(s + 8), LoadU32LE(s + 20), LoadU32LE(s + 16)});
  }
  return h;
}

// Maps [rva, rva + size) to a file offset inside one section's raw data.
std::optional<int64_t> RvaToOffset(const PeHeaders& h, uint32_t rva, uint32_t size) {
  for (const auto& s : h.sections) {
    uint64_t span = std::max(s.virtualSize, s.rawSize);
    if (rva >= s.virtualAddress && uint64_t{rva} - s.virtualAddress < span) {
      uint64_t delta = uint64_t{rva} - s.virtualAddress;
      if (delta + size > s.rawSize) return std::nullopt;
      return int64_t{s.rawOffset} + static_cast<int64_t>(delta);
    }
  }
  return std::nullopt;
}

// The resource section as one block, addressed by offsets relative to its start.
// The section can hold the whole game archive, so the tree is read piece by piece from the file.
class ResourceTree {
 public:
  ResourceTree(Stream& f, int64_t start, uint32_t span) : f_(f), start_(start), span_(span) {}

  // The entry of directory dirOffset matching key; returns its OffsetToData field.
  std::optional<uint32_t> Lookup(uint32_t dirOffset, const std::string& key) const {
    auto head = Bytes(dirOffset, 16);
    uint32_t count = uint32_t{LoadU16LE(&head[12])} + LoadU16LE(&head[14]);
    auto entries = Bytes(dirOffset + 16, uint64_t{count} * 8);
    bool numeric = !key.empty() && key[0] == '#';
    uint32_t id = 0;
    if (numeric) {
      for (size_t i = 1; i < key.size(); ++i) {
        if (key[i] < '0' || key[i] > '9' || id > 0xFFFF) return std::nullopt;
        id = id * 10 + static_cast<uint32_t>(key[i] - '0');
      }
    }
    for (uint32_t i = 0; i < count; ++i) {
      const uint8_t* e = &entries[i * 8];
      uint32_t nameField = LoadU32LE(e);
      uint32_t data = LoadU32LE(e + 4);
      bool isNamed = (nameField & 0x80000000u) != 0;
      if (numeric ? (!isNamed && (nameField & 0xFFFF) == id)
                  : (isNamed && SameText(NameAt(nameField & 0x7FFFFFFFu), key)))
        return data;
    }
    return std::nullopt;
  }

  // The first entry of a directory (any language).
  std::optional<uint32_t> First(uint32_t dirOffset) const {
    auto head = Bytes(dirOffset, 16);
    uint32_t count = uint32_t{LoadU16LE(&head[12])} + LoadU16LE(&head[14]);
    if (count == 0) return std::nullopt;
    return LoadU32LE(&Bytes(dirOffset + 16, 8)[4]);
  }

  uint32_t U32(uint32_t offset) const { return LoadU32LE(Bytes(offset, 4).data()); }

 private:
  // A counted UTF-16 name, as cp932 for comparison (a name with no cp932 form matches nothing).
  std::string NameAt(uint32_t offset) const {
    uint32_t n = LoadU16LE(Bytes(offset, 2).data());
    auto units = Bytes(offset + 2, uint64_t{n} * 2);
    std::string utf8;
    for (uint32_t i = 0; i < n; ++i) {
      uint32_t c = LoadU16LE(&units[i * 2]);
      if (c >= 0xD800 && c <= 0xDBFF && i + 1 < n) {
        uint32_t lo = LoadU16LE(&units[i * 2 + 2]);
        if (lo >= 0xDC00 && lo <= 0xDFFF) {
          c = 0x10000 + ((c - 0xD800) << 10) + (lo - 0xDC00);
          ++i;
        }
      }
      if (c < 0x80) {
        utf8 += static_cast<char>(c);
      } else if (c < 0x800) {
        utf8 += static_cast<char>(0xC0 | c >> 6);
        utf8 += static_cast<char>(0x80 | (c & 0x3F));
      } else if (c < 0x10000) {
        utf8 += static_cast<char>(0xE0 | c >> 12);
        utf8 += static_cast<char>(0x80 | (c >> 6 & 0x3F));
        utf8 += static_cast<char>(0x80 | (c & 0x3F));
      } else {
        utf8 += static_cast<char>(0xF0 | c >> 18);
        utf8 += static_cast<char>(0x80 | (c >> 12 & 0x3F));
        utf8 += static_cast<char>(0x80 | (c >> 6 & 0x3F));
        utf8 += static_cast<char>(0x80 | (c & 0x3F));
      }
    }
    auto cp = Utf8ToCp932(utf8);
    return cp ? *cp : std::string("\x01");
  }

  std::vector<uint8_t> Bytes(uint64_t offset, uint64_t size) const {
    if (offset > span_ || size > span_ - offset) Damaged("resource directory runs past its section");
    std::vector<uint8_t> b(static_cast<size_t>(size));
    f_.SetPosition(start_ + static_cast<int64_t>(offset));
    f_.ReadBuffer(b.data(), static_cast<int64_t>(size));
    return b;
  }

  Stream& f_;
  int64_t start_;
  uint64_t span_;
};

}  // namespace

bool LooksLikePe(Stream& file) {
  try {
    return ReadHeaders(file, file.GetSize(), false).has_value();
  } catch (const Error&) {
    return false;
  }
}

namespace {

std::optional<PeResourceLocation> FindIn(Stream& file, const std::string& name, const std::string& type) {
  int64_t fileSize = file.GetSize();
  PeHeaders h = *ReadHeaders(file, fileSize, true);
  if (h.resourceRva == 0 || h.resourceSize == 0) return std::nullopt;
  // The directory may be larger than the data directory says; take the rest of its section.
  std::optional<int64_t> start;
  uint32_t span = 0;
  for (const auto& s : h.sections) {
    if (h.resourceRva >= s.virtualAddress && h.resourceRva - s.virtualAddress < s.rawSize) {
      span = s.rawSize - (h.resourceRva - s.virtualAddress);
      start = int64_t{s.rawOffset} + (h.resourceRva - s.virtualAddress);
      break;
    }
  }
  if (!start) Damaged("resource directory outside every section");
  if (*start + span > fileSize) Damaged("resource section runs past the end of the file");
  ResourceTree tree(file, *start, span);

  auto typeEntry = tree.Lookup(0, type);
  if (!typeEntry || !(*typeEntry & 0x80000000u)) return std::nullopt;
  auto nameEntry = name.empty() ? tree.First(*typeEntry & 0x7FFFFFFFu)
                                : tree.Lookup(*typeEntry & 0x7FFFFFFFu, name);
  if (!nameEntry) return std::nullopt;
  uint32_t leaf = *nameEntry;
  if (leaf & 0x80000000u) {
    auto lang = tree.First(leaf & 0x7FFFFFFFu);
    if (!lang) return std::nullopt;
    leaf = *lang;
    if (leaf & 0x80000000u) Damaged("resource tree deeper than three levels");
  }
  uint32_t dataRva = tree.U32(leaf);
  uint32_t dataSize = tree.U32(leaf + 4);
  auto offset = RvaToOffset(h, dataRva, dataSize);
  if (!offset || *offset + dataSize > fileSize) Damaged("resource data outside the file");
  return PeResourceLocation{*offset, dataSize};
}

}  // namespace

std::optional<PeResourceLocation> FindPeResource(Stream& file, const std::string& name, const std::string& type) {
  try {
    return FindIn(file, name, type);
  } catch (const Error& e) {
    // A message of its own names the program it is about.
    const auto* host = dynamic_cast<const FileStream*>(&file);
    if (!host) throw;
    Error named(HostPathText(host->Path()) + ": " + e.Message());
    for (const std::string& line : e.Context()) named.AddContext(line);
    throw named;
  }
}

}  // namespace orin
