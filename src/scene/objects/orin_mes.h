// TOrinMes (kind 13), the message window, and TOrinNewMesData, what a window shows.
//
// A message window owns a text document, lays its text out into pages, reveals the current page
// glyph by glyph with waits and fade-in, and tells scripts through events: page started (101,
// one argument: "1" when the page was read before, else "0"), text revealed (32, the text of
// the frame), page complete (43), link clicked (46: the link's text, then each line of its
// target) and EVENT marks (33: the lines of the mark's text, once everything before it has
// faded in; revealing waits while such an event is pending). Waiting for a click is not the
// window's business: scripts decide what a click does.
//
// Where the text comes from (the message data): markup set through property 50; one
// text-insert command (page file and command index: the window reads the stored document
// through TextServices::Documents); a range of history entries; or references to single pages.
// Building pages: one reference to a whole text lays the document out with the reference's
// size; several references make one page, each referenced page's rows below the last (by
// content, or by each reference's height); history segments are laid out one after another,
// their rows stacked by content, a new page beginning where a row would pass the window's
// height. A page file that cannot be read ends the building there.
//
// Showing a page resets its reveal; the window then prepares it (variable marks take their
// values, and the text from that page on is laid out again, as values change widths). With a
// text-insert command that records history (source kind 1) the page becomes the history's
// pending page and the read list's pending mark, committed when another page is shown or the
// page completes.
//
// Properties beyond the control's: 11 image alpha, 15 font name, 16 font size, 18 line spacing,
// 19 text colour, 20 link colour, 21 border colour, 22 active-link colour, 141 shadow colour, 142
// border width, 143 shadow offset (these change the page's layout), 25 smoothing (render mode 3
// or 0), 26 fade time (negative: 0), 27 stopped, 32/33/43/46/101 labels, 44 current page, 50
// text, 78/79 caret x/y and 161 caret row height (read only), 81 hold, 82 wait scale, 110 page
// scroll, 138 busy (read only), 152 window flag. The document's text area is the window less
// its left/top origin. The page is drawn through a text layer (scene/word_render.h) that covers
// only the part of the window the screen shows.
//
// The scene creates windows by kind (scene/object_classes.h) with the text services it was given;
// a scene without them still reads and writes their records.
//
// Save record, after the control's: the document settings (scene/tp_word.h); the message
// data (the reference list of scene/orin_new_history.h; from version 113 the history-data
// record); stacking (byte); start offset (int32, from 113); raw text (string); current page,
// page scroll and one int32; eight strings (three kept for the class, the labels of 32, 101,
// 43, 46 and 33); stopped, hold (bytes); wait scale (int32); source kind (byte); source page
// file (string); source command (int32); one string (from 104); the window flag (byte, from
// 120); then the pages' reveal states: page count (int32) and per page a byte length (int32)
// and that many bytes, the int32 positions of the page's revealed glyphs. Loading rebuilds the
// pages from the message data (RefreshAfterLoad, or the first step) and restores those states.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "scene/model/orin_control.h"
#include "scene/text/orin_new_history.h"
#include "scene/text/tp_word.h"
#include "scene/text/word_layout.h"
#include "scene/text/word_render.h"

namespace orin {

struct SceneServices;
struct TextServices;

class TOrinNewMesData {
 public:
  std::vector<TOrinMesRef> Refs;
  TOrinHistData Hist;
  // Stored documents of what the window shows, by page file and command index (upper case);
  // emptied whenever the window is given other text.
  std::map<std::pair<std::string, int32_t>, std::string> Cache;

  void Clear() {
    Refs.clear();
    Hist.Clear();
  }
};

class TOrinMes : public TOrinControl {
 public:
  enum SourceKind : uint8_t { kSourcePlain = 0, kSourceText = 1, kSourceHistory = 2 };

  // services may be null: no glyphs, images, variables, stored documents, history or read list.
  explicit TOrinMes(TOrinBaseList* owner, TextServices* services = nullptr);
  TOrinMes(TOrinBaseList* owner, const SceneServices& services);
  ~TOrinMes() override;

  uint8_t Kind() const override { return kKindMes; }
  TextServices* Services() const { return services_; }
  void SetServices(TextServices* services) { services_ = services; }

  // --- What the text commands use ---
  // Shows the stored document of a text-insert command (page file and command index). With
  // readTracking the pages count for the history and the read list. document, when not empty,
  // is the command's stored document (else it is read through the services).
  void InsertText(const std::string& pageFile, int32_t commandIndex, bool readTracking,
                  std::string_view document = {});
  // Property 50 with "": no pages, nothing from a text-insert command.
  void ClearText();
  // Markup (property 50).
  void SetText(const std::string& markup);
  // Shows history entries first .. first + count − 1 (source kind 2: no read marks, no new
  // history); flag is kept as the window flag (property 152).
  void ShowHistory(int32_t first, int32_t count, bool flag);
  // Property 44: another valid page.
  void ShowPage(int32_t n);
  // Rebuilds the pages from the message data, keeping the current page.
  void Next(bool pageStartEvent);
  // After a game load: pages rebuilt from the restored message data, reveal states applied.
  void RefreshAfterLoad();

  int32_t PageCount() const { return static_cast<int32_t>(pages_.size()); }
  int32_t CurrentPage() const { return current_; }
  bool HasPages() const { return !pages_.empty(); }
  // A later page exists, or the current one is still revealing.
  bool HasMore() const;
  const TWdPage* Page(int32_t n) const;
  TTpWord& Document() { return doc_; }
  const std::string& HighlightedLink() const { return highlightLink_; }
  uint8_t SourceKind() const { return sourceKind_; }
  const std::string& SourcePage() const { return sourcePage_; }
  int32_t SourceCommand() const { return sourceIndex_; }
  const TOrinNewMesData& MessageData() const { return data_; }

  // --- Control ---
  bool Step() override;
  void Draw(ScreenSurface& surface) override;
  void MouseDown(MouseButton button, int32_t x, int32_t y) override;
  void MouseMove(int32_t x, int32_t y) override;
  void MouseLeave() override;
  void SetStopped(bool stopped) override;
  void AfterMove() override;
  void ReleaseSurfaces() override { layer_.Clear(); }
  void RebuildSurfaces() override { layerDirty_ = true; }
  const std::string& Label(int code) const override;
  void SetLabel(int code, const std::string& label) override;
  void GetProp(int number, TCustomParam& dest) override;
  void SetProp(int number, const TCustomParam& value) override;
  void Save(Stream& s, int version) const override;
  void Load(Stream& s, int version) override;

 private:
  TWdPage* CurrentPageObject() const;
  void ClearPages();
  void BuildPages();
  // One document laid out as pages, from glyph index first to last (−1: the end).
  void BuildSingle(const std::string& pageFile, int32_t command, int32_t first, int32_t last,
                   const std::string& localVars, int32_t width, int32_t height);
  void BuildCombined();
  void BuildFromMarkup();
  bool LoadDocument(const std::string& pageFile, int32_t command, TTpWord& into);
  LayoutParams SingleParams(int32_t width, int32_t height) const;
  void PreparePage();
  void RaisePageStart();
  void RegisterPage();
  void CommitHistory();
  void ResetPageState();
  void SyncDocumentSize();
  void SyncSuspended();
  void EnsureLayer();
  // The part of the window the screen shows, in the window's coordinates.
  Rect VisibleLocal() const;
  void InvalidateLocal(const Rect& r);
  void SetHighlight(const TWdReal* glyph);
  // The link under the pointer (window coordinates of the screen) becomes the highlighted one.
  void UpdateHighlight(int32_t x, int32_t y);
  const TWdReal* LinkGlyphAt(int32_t x, int32_t y) const;
  int32_t TextDelay() const;
  // The document settings a property sets; repaints, and marks the page for a new layout.
  void SettingChanged();

  TextServices* services_;
  TTpWord doc_;
  std::vector<std::unique_ptr<TWdPage>> pages_;
  // Documents of combined pages (their rows point into them).
  std::vector<std::unique_ptr<TTpWord>> docs_;
  PageLayer layer_;
  // Where the layer lies in the window's coordinates.
  Rect layerArea_{};
  bool layerDirty_ = true;
  int32_t current_ = -1;
  int32_t pageScroll_ = 0;
  int32_t extraInt_ = 0;
  TOrinNewMesData data_;
  std::string rawText_;
  uint8_t sourceKind_ = kSourcePlain;
  std::string sourcePage_;
  int32_t sourceIndex_ = 0;
  bool hold_ = false;
  std::array<std::string, 3> classStrings_;
  std::string labelRevealed_;   // 32
  std::string labelPageStart_;  // 101
  std::string labelLink_;       // 46
  std::string labelEvent_;      // 33
  int32_t skip_ = 0;
  bool newLayout_ = false;
  bool afresh_ = false;
  uint8_t windowFlag_ = 0;  // 152
  bool stacking_ = false;
  int32_t startOffset_ = 0;
  std::string extraString_;
  bool completeReported_ = false;
  // Pages of a single document run over its glyphs from one position; the last glyph index
  // they may take (−1: the end), for laying the rest out again.
  bool singleDocument_ = false;
  int32_t singleLast_ = -1;
  LayoutParams singleParams_;
  // Reveal states read from a save, applied once the pages are rebuilt.
  std::vector<std::vector<int32_t>> savedStates_;
  bool needsRefresh_ = false;
  std::string highlightLink_;
  int32_t lastWidth_ = 1;
  int32_t lastHeight_ = 1;
};

}  // namespace orin
