// SaveSections: the parts of a game save and of the status data that belong to the message
// history, the read list and the image collection, and what resets and loads ask of them.
//
// The message-window part of the player derives from this class. This base class is what the
// player has until then: it keeps nothing, writes empty records of the shapes the original
// reads, and reads such records (of any content) and drops them, so saves stay readable both
// ways.
//
//   history (slot versions 113 and later): older-form list (int32 count; per entry page file,
//     command index, width, height), pending page file, pending command index, one int32, window
//     width and height, window name, maximum entries, six layout values, pending first and last
//     glyph, entry list (int32 count; per entry page file, command index, first glyph, last
//     glyph, row height and, from 124, local variables), pending local variables (from 124).
//     Before 113: a leading string, then the fields up to the window name.
//   read list (status versions 100 and later): int32 count; per item page file, int32 n, n
//     command indexes, n page indexes; then pending page file, command index, page index, window
//     name.
//   image collection: int32 count and that many names.
// Readers check every count against the bytes left and throw Error on damage.
#pragma once

#include <cstdint>

namespace orin {

class Stream;
class TOrinBaseList;

class SaveSections {
 public:
  virtual ~SaveSections() = default;

  virtual void SaveHistory(Stream& s) const;
  virtual void LoadHistory(Stream& s, int version);
  virtual void SaveReadList(Stream& s) const;
  virtual void LoadReadList(Stream& s, int version);
  virtual void SaveImageCollection(Stream& s) const;
  virtual void LoadImageCollection(Stream& s, int version);

  // Reset and ClrHist: the history and its display position go.
  virtual void ClearHistory() {}
  // ClrRead: every read mark goes.
  virtual void ClearReadList() {}
  // After a game load: every message window shows its restored state again.
  virtual void AfterGameLoad(TOrinBaseList& /*scene*/) {}
  // @HistoryCount and @HistoryMaxCount.
  virtual int32_t HistoryCount() { return 0; }
  virtual int32_t HistoryMaxCount() { return 0; }
  virtual void SetHistoryMaxCount(int32_t /*n*/) {}
};

}  // namespace orin
