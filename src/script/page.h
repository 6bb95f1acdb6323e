// TPage: one script page (".osb"), a flat list of command records.
//
// Page file (integers little-endian, strings int32 length + bytes):
//   int32 version; byte return type; int32 kind record count N; int32 kind record length L;
//   N kind records of L bytes (record i <= 60 holds the property set of kind i in its first 21
//   bytes; the rest of a record, and every record above 60, is skipped); int32 command count;
//   the commands (kind byte, its top bit ignored; then the record of script/command.h).
//
// Versions: 103 to 110 are read. A page above 110 reads as empty, without a message. A page of
// 102 or below reads as empty and asks the host to stop the game with "リビルドしてください".
// A kind above 60 fails the load with "不正なコマンド". Every count and length is checked against
// the bytes that remain before anything is allocated; a damaged page throws Error and leaves
// the page empty.
//
// What the player skips (bytes of the kind table that hold no property bit, bytes after the
// last command) is kept, so that writing a page that was read gives the same bytes.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "script/command.h"
#include "script/versions.h"

namespace orin {

class ByteReader;
class Stream;
class TParamCollection;
class TVrFileManager;

// The properties (0-167; the scene knows 0-161) whose expressions a kind's records carry.
// Bit i is bit (i mod 8) of byte (i div 8).
class PropSet {
 public:
  static constexpr int kBytes = 21;
  static constexpr int kBits = kBytes * 8;

  bool Test(int i) const { return i >= 0 && i < kBits && (bytes_[i / 8] >> (i % 8) & 1) != 0; }
  void Set(int i, bool on = true);
  bool Any() const;
  void Clear() { bytes_.fill(0); }
  std::array<uint8_t, kBytes>& Bytes() { return bytes_; }
  const std::array<uint8_t, kBytes>& Bytes() const { return bytes_; }
  bool operator==(const PropSet&) const = default;

 private:
  std::array<uint8_t, kBytes> bytes_{};
};

// What the game does with a page that is too old to run.
class PageMessages {
 public:
  virtual ~PageMessages() = default;
  // text is the page name, CR LF and "リビルドしてください"; the host sets the closing flag,
  // shows it as a warning with the caption "警告" and closes the main window.
  virtual void RebuildRequired(const std::string& text) = 0;
};

using TComList = std::vector<std::unique_ptr<TCommand>>;

enum class PageLoadResult {
  kLoaded,
  kTooNew,  // version above 110: empty, no message
  kTooOld,  // version 102 or below: empty, the host was told
};

class TPage {
 public:
  TPage() = default;
  TPage(const TPage&) = delete;
  TPage& operator=(const TPage&) = delete;

  // The value type of @Result when the page is entered by a call (1-4).
  uint8_t ReturnType = 1;
  TComList Commands;
  // The file the page was loaded from (the key of the page cache).
  std::string Name;
  std::array<PropSet, kCommandKindCount> PropSets;
  int32_t Version = kNewPageVersion;

  // How the kind table was stored: the record count and length, and the bytes of it that hold
  // no property bit, in file order (empty when they are all zero).
  int32_t KindRecordCount = kCommandKindCount;
  int32_t KindRecordLength = PropSet::kBytes;
  std::string KindTableSurplus;
  // Bytes after the last command.
  std::string Trailer;

  // Clears the commands, remembers the name and reads the file through the file manager
  // ("%s:ファイルがありません" when it is missing).
  PageLoadResult Load(TVrFileManager& files, const std::string& name, PageMessages* messages);
  // Reads a page at the stream's position to the end of the stream.
  PageLoadResult LoadFromStream(Stream& s, PageMessages* messages);
  // Writes the page file. Throws Error when a property set or a property expression does not fit
  // the kind table's count and length.
  void SaveToStream(Stream& s) const;

  // Drops the commands and resets everything but the name to a new page.
  void Clear();
  // Appends a new command of the kind (its properties made from the page's set) and returns it.
  TCommand& Add(int kind);
  template <class T>
  T& Add(ComKind kind) {
    return static_cast<T&>(Add(static_cast<int>(kind)));
  }

  // The first command that is a Label of exactly this name, or -1.
  int32_t FindLabel(std::string_view name) const;
  int32_t IndexOf(const TCommand* command) const;
  int32_t Count() const { return static_cast<int32_t>(Commands.size()); }

  // Frees the variable "\x01" + Name, which belongs to the page, when the collection has one.
  void FreePageVariable(TParamCollection& vars) const;

 private:
  void ReadBody(ByteReader& r);
};

}  // namespace orin
