// The message history: TOrinHistData (one entry: segments that name glyph ranges of text-insert
// commands), the reference list of the older form, and TOrinNewHistory, the history of a game.
//
// The history keeps no text. A page a message window has shown (from a text-insert command that
// records history) waits as the pending page until the window shows another page, gets new text
// or is rebuilt; then it is committed: with a history layout width above 0 the command's stored
// document is laid out again with the history's layout settings and each row is added to the
// last entry while the entry's height plus the row's height and line spacing fits the history
// height, else to a new entry; the oldest entries go while there are more than the maximum
// (0: no limit). With a layout width of 0 the page is kept as one entry of the older form
// (page file, command index, page index and window size). A pending page whose page file cannot
// be read is dropped.
//
// The six layout settings (font size, border width, shadow offset, width, height, line
// spacing) are the game's values (TParamCollection::HistoryLayout, set by the history-entry
// command), taken when a page is registered while the history has no entries.
//
// Records (integers int32, strings an int32 length and the bytes):
//   entry         segment count; per segment page file (empty when equal to the segment
//                 before), command index, first glyph, last glyph (−1: to the end), row height,
//                 and from version 124 the local variables (string); then the total height
//   reference     count; the page files; the command indexes; the page indexes; the sizes (two
//   list          int32 each) — each a run over all references
//   history       (before version 113 a string, ignored) the older-form list, the pending page
//                 file and command index, the pending page index, the window width and height,
//                 the window name; from version 113 the maximum, the six layout settings, the
//                 pending first and last glyph, the entry count and the entries, and from 124
//                 the pending local variables
// Loading checks every count against what remains and throws Error on damage.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace orin {

class Stream;
class TOrinObject;
class TTpWord;
struct TextServices;

struct TOrinHistSegment {
  std::string PageFile;
  int32_t Command = 0;
  int32_t First = 0;
  int32_t Last = -1;
  int32_t RowHeight = 0;
  std::string LocalVars;
};

class TOrinHistData {
 public:
  std::vector<TOrinHistSegment> Segments;
  int32_t TotalHeight = 0;

  void Clear() {
    Segments.clear();
    TotalHeight = 0;
  }
  void Save(Stream& s, int version) const;
  void Load(Stream& s, int version);
};

// One page shown as a whole: what the older history form keeps and what a window's message data
// refers to.
struct TOrinMesRef {
  std::string PageFile;
  int32_t Command = 0;
  int32_t PageIndex = -1;  // −1: the whole text
  int32_t Width = 0;
  int32_t Height = 0;
};

void SaveReferences(Stream& s, const std::vector<TOrinMesRef>& refs);
void LoadReferences(Stream& s, std::vector<TOrinMesRef>& refs);

// What a window registers for the history when it shows a page.
struct HistoryPage {
  std::string PageFile;
  int32_t Command = 0;
  int32_t First = 0;
  int32_t Last = -1;
  std::string LocalVars;
  std::string Window;
  int32_t PageIndex = 0;
  int32_t Width = 0;
  int32_t Height = 0;
};

class TOrinNewHistory {
 public:
  enum Setting { kFontSize = 0, kBorder, kShadow, kWidth, kHeight, kLineSpacing };

  // services (may be null, or be set later) gives the stored documents, images and variables.
  explicit TOrinNewHistory(TextServices* services = nullptr);
  ~TOrinNewHistory();
  TOrinNewHistory(const TOrinNewHistory&) = delete;
  TOrinNewHistory& operator=(const TOrinNewHistory&) = delete;

  void SetServices(TextServices* services) { services_ = services; }

  // Entries of the history (of the older form when that is what it holds).
  int32_t Count() const;
  int32_t MaxCount() const { return maxCount_; }
  void SetMaxCount(int32_t n) { maxCount_ = n; }
  const std::vector<TOrinHistData>& Entries() const { return entries_; }
  const std::vector<TOrinMesRef>& OldEntries() const { return old_; }
  const std::array<int32_t, 6>& Layout() const { return layout_; }
  void SetLayout(const std::array<int32_t, 6>& layout) { layout_ = layout; }
  // The history's own document (its settings lay out history rows).
  TTpWord& Document() { return *doc_; }

  // Makes page the pending page (committing nothing).
  void Register(const HistoryPage& page);
  const std::optional<HistoryPage>& Pending() const { return pending_; }
  // Corrects the pending page of the window after the window laid it out again.
  void UpdatePending(const std::string& window, int32_t first, int32_t last, const std::string& localVars);
  // Commits the pending page when it belongs to the window.
  void Commit(const std::string& window);
  // Forgets every entry and the pending page.
  void Clear();

  // The segments of entries first .. first + count − 1 (resolving page files left empty),
  // or, for the older form, their references.
  std::vector<TOrinHistSegment> SegmentsOf(int32_t first, int32_t count) const;
  std::vector<TOrinMesRef> ReferencesOf(int32_t first, int32_t count) const;

  // The six settings of the history-entry command, from an object's properties 16, 142, 143,
  // 5, 6 and 18 in that order (what the command stores as the game's history layout).
  static constexpr int kEntryProperties[6] = {16, 142, 143, 5, 6, 18};
  static std::array<int32_t, 6> EntrySettingsOf(TOrinObject& object);

  void SaveToStream(Stream& s, int version) const;
  void LoadFromStream(Stream& s, int version);

 private:
  void CommitLaidOut(const HistoryPage& page);
  void Trim();

  TextServices* services_;
  std::unique_ptr<TTpWord> doc_;
  std::vector<TOrinHistData> entries_;
  std::vector<TOrinMesRef> old_;
  std::optional<HistoryPage> pending_;
  int32_t maxCount_ = 0;
  std::array<int32_t, 6> layout_{};
  // The stored document loaded last, reused while pages of the same command follow.
  std::string loadedPage_;
  int32_t loadedCommand_ = -1;
  std::string loadedBytes_;
};

}  // namespace orin
