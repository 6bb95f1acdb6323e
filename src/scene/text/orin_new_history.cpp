#include "scene/text/orin_new_history.h"

#include <algorithm>

#include "core/cp932.h"
#include "core/error.h"
#include "params/custom_param.h"
#include "params/param_collection.h"
#include "resources/stream.h"
#include "scene/model/orin_object.h"
#include "scene/text/text_services.h"
#include "scene/text/tp_word.h"
#include "scene/text/word_layout.h"
#include "scene/text/word_stream.h"

namespace orin {

namespace {

// A count of records that each take at least minBytes, checked against what is left.
int32_t ReadCount(Stream& s, int64_t minBytes, const char* what) {
  const int32_t n = ReadInt32(s);
  if (n < 0 || n > s.Remaining() / std::max<int64_t>(1, minBytes))
    throw Error(std::string("history: damaged record: bad ") + what + " count");
  return n;
}

}  // namespace

// ---- TOrinHistData

void TOrinHistData::Save(Stream& s, int version) const {
  WriteInt32(s, static_cast<int32_t>(Segments.size()));
  for (const TOrinHistSegment& g : Segments) {
    WriteString(s, g.PageFile);
    for (int32_t v : {g.Command, g.First, g.Last, g.RowHeight}) WriteInt32(s, v);
    if (version >= 124) WriteString(s, g.LocalVars);
  }
  WriteInt32(s, TotalHeight);
}

void TOrinHistData::Load(Stream& s, int version) {
  Clear();
  const int32_t n = ReadCount(s, 20, "segment");
  Segments.reserve(static_cast<size_t>(n));
  for (int32_t i = 0; i < n; ++i) {
    TOrinHistSegment g;
    g.PageFile = ReadString(s);
    g.Command = ReadInt32(s);
    g.First = ReadInt32(s);
    g.Last = ReadInt32(s);
    g.RowHeight = ReadInt32(s);
    if (version >= 124) g.LocalVars = ReadString(s);
    Segments.push_back(std::move(g));
  }
  TotalHeight = ReadInt32(s);
}

// ---- References

void SaveReferences(Stream& s, const std::vector<TOrinMesRef>& refs) {
  WriteInt32(s, static_cast<int32_t>(refs.size()));
  for (const TOrinMesRef& r : refs) WriteString(s, r.PageFile);
  for (const TOrinMesRef& r : refs) WriteInt32(s, r.Command);
  for (const TOrinMesRef& r : refs) WriteInt32(s, r.PageIndex);
  for (const TOrinMesRef& r : refs) {
    WriteInt32(s, r.Width);
    WriteInt32(s, r.Height);
  }
}

void LoadReferences(Stream& s, std::vector<TOrinMesRef>& refs) {
  refs.clear();
  // A reference takes at least 20 bytes: an empty name and four int32.
  const int32_t n = ReadCount(s, 20, "reference");
  refs.resize(static_cast<size_t>(n));
  for (TOrinMesRef& r : refs) r.PageFile = ReadString(s);
  for (TOrinMesRef& r : refs) r.Command = ReadInt32(s);
  for (TOrinMesRef& r : refs) r.PageIndex = ReadInt32(s);
  for (TOrinMesRef& r : refs) {
    r.Width = ReadInt32(s);
    r.Height = ReadInt32(s);
  }
}

// ---- TOrinNewHistory

TOrinNewHistory::TOrinNewHistory(TextServices* services)
    : services_(services), doc_(std::make_unique<TTpWord>()) {
  doc_->Paging = 0;
}

TOrinNewHistory::~TOrinNewHistory() = default;

std::array<int32_t, 6> TOrinNewHistory::EntrySettingsOf(TOrinObject& object) {
  std::array<int32_t, 6> out{};
  for (size_t i = 0; i < out.size(); ++i) {
    TParamInt v;
    object.GetProp(kEntryProperties[i], v);
    out[i] = v.GetAsInt();
  }
  return out;
}

int32_t TOrinNewHistory::Count() const {
  return static_cast<int32_t>(entries_.empty() ? old_.size() : entries_.size());
}

void TOrinNewHistory::Register(const HistoryPage& page) {
  pending_ = page;
  if (entries_.empty() && services_ && services_->Vars) layout_ = services_->Vars->HistoryLayout;
}

void TOrinNewHistory::UpdatePending(const std::string& window, int32_t first, int32_t last,
                                    const std::string& localVars) {
  if (!pending_ || pending_->Window != window) return;
  pending_->First = first;
  pending_->Last = last;
  pending_->LocalVars = localVars;
}

void TOrinNewHistory::Commit(const std::string& window) {
  if (!pending_ || pending_->Window != window) return;
  const HistoryPage page = std::move(*pending_);
  pending_.reset();
  if (page.PageFile.empty()) return;
  if (layout_[kWidth] > 0) {
    CommitLaidOut(page);
  } else {
    TOrinMesRef r;
    const std::string* previous = nullptr;
    for (auto it = old_.rbegin(); it != old_.rend() && !previous; ++it)
      if (!it->PageFile.empty()) previous = &it->PageFile;
    if (!previous || !SameText(*previous, page.PageFile)) r.PageFile = page.PageFile;
    r.Command = page.Command;
    r.PageIndex = page.PageIndex;
    r.Width = page.Width;
    r.Height = page.Height;
    old_.push_back(std::move(r));
  }
  Trim();
}

void TOrinNewHistory::CommitLaidOut(const HistoryPage& page) {
  TextDocumentSource* source = services_ ? services_->Documents : nullptr;
  if (!source) return;
  if (loadedCommand_ != page.Command || !SameText(loadedPage_, page.PageFile)) {
    auto data = source->TextData(page.PageFile, page.Command);
    if (!data) return;
    loadedBytes_ = std::move(*data);
    loadedPage_ = page.PageFile;
    loadedCommand_ = page.Command;
  }
  TTpWord& d = *doc_;
  d.Clear();
  try {
    ReadStoredDocument(loadedBytes_, d);
  } catch (const Error&) {
    return;
  }
  d.FontSize = layout_[kFontSize];
  d.BorderWidth = layout_[kBorder];
  d.ShadowOffset = layout_[kShadow];
  d.Width = layout_[kWidth];
  d.Height = layout_[kHeight];
  d.LineSpacing = layout_[kLineSpacing];
  d.SetLocalVarsText(page.LocalVars);
  const size_t begin = d.PositionOfIndex(page.First);
  size_t end = page.Last < 0 ? d.Glyphs.size() : d.PositionOfIndex(page.Last + 1);
  end = d.ExpandVariables(begin, end, services_->Vars,
                          services_->Vars ? services_->Vars->TextDelay : TTpWord::kDefaultWait);
  LayoutParams params = LayoutParamsOf(d);
  params.Paging = false;
  const LayoutResult result = LayoutGlyphs(d, begin, end, params, services_->Images);
  for (const auto& p : result.Pages)
    for (const auto& row : p->Rows) {
      int32_t first = -1, last = -1;
      for (const TWdGlyph* g : row->Children) {
        if (g->Index < 0) continue;
        if (first < 0) first = g->Index;
        last = g->Index;
      }
      if (first < 0) continue;
      const int64_t height = int64_t{row->Height} + d.LineSpacing;
      const int32_t h = static_cast<int32_t>(std::clamp<int64_t>(height, INT32_MIN, INT32_MAX));
      if (entries_.empty() || int64_t{entries_.back().TotalHeight} + height > layout_[kHeight])
        entries_.emplace_back();
      TOrinHistData& entry = entries_.back();
      TOrinHistSegment seg;
      std::string previous;
      for (auto it = entry.Segments.rbegin(); it != entry.Segments.rend() && previous.empty(); ++it)
        previous = it->PageFile;
      // Segments of one page file after the first leave its name out.
      if (entry.Segments.empty() || !SameText(previous, page.PageFile)) seg.PageFile = page.PageFile;
      seg.Command = page.Command;
      seg.First = first;
      seg.Last = last;
      seg.RowHeight = h;
      seg.LocalVars = page.LocalVars;
      entry.Segments.push_back(std::move(seg));
      entry.TotalHeight = static_cast<int32_t>(std::clamp<int64_t>(int64_t{entry.TotalHeight} + height, INT32_MIN, INT32_MAX));
    }
  d.Clear();
}

void TOrinNewHistory::Trim() {
  if (maxCount_ <= 0) return;
  const size_t max = static_cast<size_t>(maxCount_);
  if (entries_.size() > max) entries_.erase(entries_.begin(), entries_.end() - static_cast<ptrdiff_t>(max));
  if (old_.size() > max) {
    // The first kept entry must name its page file: the one it left out was in a dropped entry.
    std::string name;
    for (size_t i = 0; i < old_.size() - max + 1; ++i)
      if (!old_[i].PageFile.empty()) name = old_[i].PageFile;
    old_.erase(old_.begin(), old_.end() - static_cast<ptrdiff_t>(max));
    if (old_.front().PageFile.empty()) old_.front().PageFile = name;
  }
}

void TOrinNewHistory::Clear() {
  entries_.clear();
  old_.clear();
  pending_.reset();
}

std::vector<TOrinHistSegment> TOrinNewHistory::SegmentsOf(int32_t first, int32_t count) const {
  std::vector<TOrinHistSegment> out;
  std::string name;
  const int64_t end = std::min<int64_t>(int64_t{first} + std::max(0, count), static_cast<int64_t>(entries_.size()));
  for (int64_t i = 0; i < end; ++i)
    for (const TOrinHistSegment& g : entries_[static_cast<size_t>(i)].Segments) {
      if (!g.PageFile.empty()) name = g.PageFile;
      if (i < first) continue;
      TOrinHistSegment copy = g;
      copy.PageFile = name;
      out.push_back(std::move(copy));
    }
  return out;
}

std::vector<TOrinMesRef> TOrinNewHistory::ReferencesOf(int32_t first, int32_t count) const {
  std::vector<TOrinMesRef> out;
  std::string name;
  const int64_t end = std::min<int64_t>(int64_t{first} + std::max(0, count), static_cast<int64_t>(old_.size()));
  for (int64_t i = 0; i < end; ++i) {
    const TOrinMesRef& r = old_[static_cast<size_t>(i)];
    if (!r.PageFile.empty()) name = r.PageFile;
    if (i < first) continue;
    TOrinMesRef copy = r;
    copy.PageFile = name;
    out.push_back(std::move(copy));
  }
  return out;
}

void TOrinNewHistory::SaveToStream(Stream& s, int version) const {
  if (version < 113) WriteString(s, {});
  SaveReferences(s, old_);
  const HistoryPage none;
  const HistoryPage& p = pending_ ? *pending_ : none;
  WriteString(s, p.PageFile);
  WriteInt32(s, p.Command);
  WriteInt32(s, p.PageIndex);
  WriteInt32(s, p.Width);
  WriteInt32(s, p.Height);
  WriteString(s, p.Window);
  if (version < 113) return;
  WriteInt32(s, maxCount_);
  for (int32_t v : layout_) WriteInt32(s, v);
  WriteInt32(s, p.First);
  WriteInt32(s, p.Last);
  WriteInt32(s, static_cast<int32_t>(entries_.size()));
  for (const TOrinHistData& e : entries_) e.Save(s, version);
  if (version >= 124) WriteString(s, p.LocalVars);
}

void TOrinNewHistory::LoadFromStream(Stream& s, int version) {
  Clear();
  maxCount_ = 0;
  layout_.fill(0);
  try {
    if (version < 113) ReadString(s);
    LoadReferences(s, old_);
    HistoryPage p;
    p.PageFile = ReadString(s);
    p.Command = ReadInt32(s);
    p.PageIndex = ReadInt32(s);
    p.Width = ReadInt32(s);
    p.Height = ReadInt32(s);
    p.Window = ReadString(s);
    if (version >= 113) {
      maxCount_ = ReadInt32(s);
      for (int32_t& v : layout_) v = ReadInt32(s);
      p.First = ReadInt32(s);
      p.Last = ReadInt32(s);
      // An entry takes at least its segment count and its height.
      const int32_t n = ReadCount(s, 8, "entry");
      entries_.resize(static_cast<size_t>(n));
      for (TOrinHistData& e : entries_) e.Load(s, version);
      if (version >= 124) p.LocalVars = ReadString(s);
    }
    if (!p.PageFile.empty()) pending_ = std::move(p);
  } catch (...) {
    Clear();
    throw;
  }
}

}  // namespace orin
