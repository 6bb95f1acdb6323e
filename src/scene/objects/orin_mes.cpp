#include "scene/objects/orin_mes.h"

#include <algorithm>
#include <unordered_map>

#include "core/cp932.h"
#include "core/error.h"
#include "imaging/screen_surface.h"
#include "params/custom_param.h"
#include "params/param_collection.h"
#include "resources/stream.h"
#include "scene/model/orin_base.h"
#include "scene/objects/object_classes.h"
#include "scene/model/orin_base_list.h"
#include "scene/text/orin_read_list.h"
#include "scene/text/page_plain_text.h"
#include "scene/model/property_table.h"
#include "scene/text/text_services.h"
#include "scene/text/word_layout.h"
#include "scene/text/word_markup.h"
#include "scene/text/word_stream.h"

namespace orin {

namespace {

enum MesProp : int {
  kPropImageAlpha = 11,
  kPropFontName = 15,
  kPropFontSize = 16,
  kPropLineSpacing = 18,
  kPropTextColor = 19,
  kPropLinkColor = 20,
  kPropBorderColor = 21,
  kPropActiveLinkColor = 22,
  kPropSmoothing = 25,
  kPropFadeTime = 26,
  kPropText = 50,
  kPropHold = 81,
  kPropWaitScale = 82,
  kPropPageScroll = 110,
  kPropShadowColor = 141,
  kPropBorderWidth = 142,
  kPropShadowOffset = 143,
  kPropWindowFlag = 152,
};

int32_t Clamp32(int64_t v) { return static_cast<int32_t>(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX)); }

// Lines of a text (CR LF, LF or CR); a final line break opens no further line.
std::vector<std::string> SplitLines(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = start;
    while (end < text.size() && text[end] != '\r' && text[end] != '\n') ++end;
    lines.push_back(text.substr(start, end - start));
    if (end + 1 < text.size() && text[end] == '\r' && text[end + 1] == '\n') ++end;
    start = end + 1;
  }
  return lines;
}

void AppendCode(std::string& out, uint16_t code) {
  if (code > 0xFF) out += static_cast<char>(code >> 8);
  out += static_cast<char>(code & 0xFF);
}

void ShiftRow(TWdRow& row, int64_t dy) {
  row.Y = Clamp32(row.Y + dy);
  for (TWdGlyph* g : row.Children) g->Y = Clamp32(g->Y + dy);
}

}  // namespace

TOrinMes::TOrinMes(TOrinBaseList* owner, TextServices* services) : TOrinControl(owner), services_(services) {
  doc_.EventsEnabled = 1;
  doc_.RenderMode = 3;
  doc_.Paging = 1;
  SyncDocumentSize();
}

TOrinMes::~TOrinMes() = default;

TOrinMes::TOrinMes(TOrinBaseList* owner, const SceneServices& services) : TOrinMes(owner, services.Text) {}

// ---- Helpers

int32_t TOrinMes::TextDelay() const {
  return services_ && services_->Vars ? services_->Vars->TextDelay : TTpWord::kDefaultWait;
}

TWdPage* TOrinMes::CurrentPageObject() const {
  return current_ >= 0 && current_ < PageCount() ? pages_[static_cast<size_t>(current_)].get() : nullptr;
}

const TWdPage* TOrinMes::Page(int32_t n) const {
  return n >= 0 && n < PageCount() ? pages_[static_cast<size_t>(n)].get() : nullptr;
}

bool TOrinMes::HasMore() const {
  if (current_ + 1 < PageCount()) return true;
  const TWdPage* page = CurrentPageObject();
  return page && !page->Complete();
}

void TOrinMes::SyncDocumentSize() {
  doc_.Width = std::max(0, Width() - std::max(0, doc_.Left));
  doc_.Height = std::max(0, Height() - std::max(0, doc_.Top));
  lastWidth_ = Width();
  lastHeight_ = Height();
}

void TOrinMes::SyncSuspended() {
  doc_.RevealSuspended = (Stopped() || hold_) ? 1 : 0;
}

void TOrinMes::InvalidateLocal(const Rect& r) {
  if (r.IsEmpty() || !Showing()) return;
  TOrinBase* root = Root();
  if (!root) return;
  const int64_t x = ScreenX(), y = ScreenY();
  Rect screen{Clamp32(x + r.Left), Clamp32(y + r.Top), Clamp32(x + r.Right), Clamp32(y + r.Bottom)};
  if (IntersectRect(screen, screen, EffectiveClip())) root->AddDirty(screen);
}

void TOrinMes::SettingChanged() {
  newLayout_ = true;
  layerDirty_ = true;
  Invalidate();
}

void TOrinMes::ClearPages() {
  pages_.clear();
  docs_.clear();
  layer_.Clear();
  layerDirty_ = true;
  highlightLink_.clear();
  singleDocument_ = false;
}

void TOrinMes::ResetPageState() {
  if (TWdPage* page = CurrentPageObject()) TTpWord::ResetReveal(*page);
  completeReported_ = false;
  highlightLink_.clear();
  layerDirty_ = true;
}

// ---- Documents and pages

bool TOrinMes::LoadDocument(const std::string& pageFile, int32_t command, TTpWord& into) {
  const auto key = std::make_pair(UpperCase(pageFile), command);
  auto it = data_.Cache.find(key);
  if (it == data_.Cache.end()) {
    if (!services_ || !services_->Documents) return false;
    auto bytes = services_->Documents->TextData(pageFile, command);
    if (!bytes) return false;
    it = data_.Cache.emplace(key, std::move(*bytes)).first;
  }
  try {
    ReadStoredDocument(it->second, into);
  } catch (const Error&) {
    // A damaged document shows what could be read of it.
  }
  return true;
}

LayoutParams TOrinMes::SingleParams(int32_t width, int32_t height) const {
  LayoutParams p = LayoutParamsOf(doc_);
  if (width > 0) p.Width = width;
  if (height > 0) p.Height = height;
  return p;
}

void TOrinMes::BuildSingle(const std::string& pageFile, int32_t command, int32_t first, int32_t last,
                           const std::string& localVars, int32_t width, int32_t height) {
  doc_.Clear();
  if (!LoadDocument(pageFile, command, doc_)) return;
  doc_.SetLocalVarsText(localVars);
  const size_t begin = doc_.PositionOfIndex(std::max(0, first));
  const size_t end = last < 0 ? doc_.Glyphs.size() : doc_.PositionOfIndex(last + 1);
  singleDocument_ = true;
  singleLast_ = last;
  singleParams_ = SingleParams(width, height);
  LayoutResult r = LayoutGlyphs(doc_, begin, end, singleParams_, services_ ? services_->Images : nullptr);
  pages_ = std::move(r.Pages);
}

void TOrinMes::BuildFromMarkup() {
  doc_.Clear();
  try {
    ParseMarkup(rawText_, doc_, TextDelay());
  } catch (const Error&) {
    doc_.Clear();
    return;
  }
  singleDocument_ = true;
  singleLast_ = -1;
  singleParams_ = SingleParams(0, 0);
  LayoutResult r = LayoutGlyphs(doc_, 0, doc_.Glyphs.size(), singleParams_, services_ ? services_->Images : nullptr);
  pages_ = std::move(r.Pages);
}

void TOrinMes::BuildCombined() {
  TMuraCollection* images = services_ ? services_->Images : nullptr;
  TParamCollection* vars = services_ ? services_->Vars : nullptr;
  const bool history = sourceKind_ == kSourceHistory;
  const std::array<int32_t, 6>* historyLayout =
      history && services_ && services_->History ? &services_->History->Layout() : nullptr;
  auto newPage = [&] {
    auto p = std::make_unique<TWdPage>();
    pages_.push_back(std::move(p));
    return pages_.back().get();
  };
  TWdPage* target = newPage();
  int64_t y = startOffset_;
  // Moves the rows of a laid-out page below what the combined pages hold; segments begin a new
  // page where a row would pass the window's height.
  auto take = [&](TWdPage& from, bool paginate, int32_t lineSpacing) {
    std::unordered_map<const TWdRow*, TWdPage*> placed;
    TWdPage* first = nullptr;
    for (auto& row : from.Rows) {
      if (paginate && doc_.Paging && doc_.Height > 0 && !target->Rows.empty() && y + row->Height > doc_.Height) {
        target = newPage();
        y = 0;
      }
      ShiftRow(*row, y - row->Y);
      y = int64_t{row->Y} + row->Height + lineSpacing;
      placed.emplace(row.get(), target);
      if (!first) first = target;
      target->Rows.push_back(std::move(row));
    }
    // Marks before the first row go with it.
    TWdPage* into = first ? first : target;
    for (TWdGlyph* g : from.Sequence) {
      if (g->Row)
        if (auto it = placed.find(g->Row); it != placed.end()) into = it->second;
      into->Sequence.push_back(g);
    }
  };
  if (!data_.Hist.Segments.empty()) {
    std::string name;
    for (const TOrinHistSegment& seg : data_.Hist.Segments) {
      if (!seg.PageFile.empty()) name = seg.PageFile;
      auto d = std::make_unique<TTpWord>();
      d->CopySettings(doc_);
      if (historyLayout && (*historyLayout)[TOrinNewHistory::kWidth] > 0) {
        d->FontSize = (*historyLayout)[TOrinNewHistory::kFontSize];
        d->BorderWidth = (*historyLayout)[TOrinNewHistory::kBorder];
        d->ShadowOffset = (*historyLayout)[TOrinNewHistory::kShadow];
        d->Width = (*historyLayout)[TOrinNewHistory::kWidth];
        d->LineSpacing = (*historyLayout)[TOrinNewHistory::kLineSpacing];
      }
      if (!LoadDocument(name, seg.Command, *d)) break;
      d->SetLocalVarsText(seg.LocalVars);
      const size_t begin = d->PositionOfIndex(std::max(0, seg.First));
      size_t end = seg.Last < 0 ? d->Glyphs.size() : d->PositionOfIndex(seg.Last + 1);
      end = d->ExpandVariables(begin, end, vars, TextDelay());
      LayoutParams p = LayoutParamsOf(*d);
      p.Paging = false;
      LayoutResult r = LayoutGlyphs(*d, begin, end, p, images);
      for (auto& page : r.Pages) take(*page, true, d->LineSpacing);
      docs_.push_back(std::move(d));
    }
  } else {
    std::string name;
    for (const TOrinMesRef& ref : data_.Refs) {
      if (!ref.PageFile.empty()) name = ref.PageFile;
      auto d = std::make_unique<TTpWord>();
      d->CopySettings(doc_);
      if (!LoadDocument(name, ref.Command, *d)) break;
      d->ExpandVariables(0, d->Glyphs.size(), vars, TextDelay());
      LayoutParams p = LayoutParamsOf(*d);
      if (ref.Width > 0) p.Width = ref.Width;
      if (ref.Height > 0) p.Height = ref.Height;
      LayoutResult r = LayoutGlyphs(*d, 0, d->Glyphs.size(), p, images);
      const size_t index = static_cast<size_t>(std::max(0, ref.PageIndex));
      const int64_t start = y;
      if (index < r.Pages.size()) take(*r.Pages[index], false, d->LineSpacing);
      if (!stacking_) y = start + ref.Height;
      docs_.push_back(std::move(d));
    }
  }
  while (!pages_.empty() && pages_.back()->Rows.empty() && pages_.back()->Sequence.empty()) pages_.pop_back();
  for (auto& p : pages_)
    for (const auto& row : p->Rows) p->Height = std::max(p->Height, Clamp32(int64_t{row->Y} + row->Height));
}

void TOrinMes::BuildPages() {
  ClearPages();
  if (!data_.Hist.Segments.empty()) {
    if (data_.Hist.Segments.size() == 1 && sourceKind_ != kSourceHistory) {
      const TOrinHistSegment& g = data_.Hist.Segments[0];
      BuildSingle(g.PageFile, g.Command, g.First, g.Last, g.LocalVars, 0, 0);
    } else {
      BuildCombined();
    }
  } else if (data_.Refs.size() == 1 && data_.Refs[0].PageIndex == -1) {
    const TOrinMesRef& r = data_.Refs[0];
    BuildSingle(r.PageFile, r.Command, 0, -1, {}, r.Width, r.Height);
  } else if (!data_.Refs.empty()) {
    BuildCombined();
  } else if (!rawText_.empty()) {
    BuildFromMarkup();
  } else {
    doc_.Clear();
  }
}

void TOrinMes::PreparePage() {
  TWdPage* page = CurrentPageObject();
  if (!page) return;
  if (singleDocument_ && page->Document == &doc_) {
    const size_t revealed = afresh_ ? 0 : page->Reveal.Next;
    const size_t begin = page->BeginPos;
    doc_.ExpandVariables(begin, page->EndPos, services_ ? services_->Vars : nullptr, TextDelay());
    const size_t end = singleLast_ < 0 ? doc_.Glyphs.size() : doc_.PositionOfIndex(singleLast_ + 1);
    LayoutParams params = singleParams_;
    params.StartAlign = page->StartAlign;
    params.StartIndent = page->StartIndent;
    LayoutResult r = LayoutGlyphs(doc_, begin, end, params, services_ ? services_->Images : nullptr);
    pages_.resize(static_cast<size_t>(current_));
    for (auto& p : r.Pages) pages_.push_back(std::move(p));
    if (current_ >= PageCount()) current_ = PageCount() - 1;
    page = CurrentPageObject();
    if (!page) return;
    TTpWord::ResetReveal(*page);
    if (revealed) TTpWord::RevealAtOnce(*page, revealed);
    if (sourceKind_ == kSourceText && services_ && services_->History)
      services_->History->UpdatePending(Name(), page->FirstIndex(), page->LastIndex(), doc_.LocalVarsText());
  } else if (afresh_) {
    TTpWord::ResetReveal(*page);
  }
  if (afresh_) completeReported_ = false;
  highlightLink_.clear();
  layerDirty_ = true;
  Invalidate();
}

// ---- What scripts and commands do

void TOrinMes::RaisePageStart() {
  skip_ = 1;
  const bool read = sourceKind_ == kSourceText && services_ && services_->ReadList &&
                    services_->ReadList->IsRead(sourcePage_, sourceIndex_, current_);
  const std::vector<std::string> args{read ? "1" : "0"};
  QueueEvent(labelPageStart_, kEventPageStarted, &args, false);
}

void TOrinMes::RegisterPage() {
  const TWdPage* page = CurrentPageObject();
  if (!page || !services_) return;
  if (services_->History) {
    HistoryPage h;
    h.PageFile = sourcePage_;
    h.Command = sourceIndex_;
    h.First = page->FirstIndex();
    h.Last = page->LastIndex();
    h.LocalVars = doc_.LocalVarsText();
    h.Window = Name();
    h.PageIndex = current_;
    h.Width = Width();
    h.Height = Height();
    services_->History->Register(h);
  }
  if (services_->ReadList) services_->ReadList->SetPending(ReadMark{sourcePage_, sourceIndex_, current_, Name()});
}

void TOrinMes::CommitHistory() {
  if (services_ && services_->History) services_->History->Commit(Name());
}

void TOrinMes::ShowPage(int32_t n) {
  if (n < 0 || n >= PageCount() || n == current_) return;
  CommitHistory();
  current_ = n;
  RaisePageStart();
  if (sourceKind_ == kSourceText) RegisterPage();
  ResetPageState();
  newLayout_ = afresh_ = true;
  Invalidate();
}

void TOrinMes::InsertText(const std::string& pageFile, int32_t commandIndex, bool readTracking,
                          std::string_view document) {
  Invalidate();
  CommitHistory();
  sourceKind_ = kSourcePlain;
  startOffset_ = 0;
  stacking_ = false;
  if (readTracking) {
    sourceKind_ = kSourceText;
    sourcePage_ = pageFile;
    sourceIndex_ = commandIndex;
  }
  rawText_.clear();
  data_.Clear();
  data_.Cache.clear();
  data_.Hist.Segments.push_back(TOrinHistSegment{pageFile, commandIndex, 0, -1, 0, {}});
  if (!document.empty()) data_.Cache[std::make_pair(UpperCase(pageFile), commandIndex)] = std::string(document);
  BuildPages();
  current_ = -1;
  if (!pages_.empty()) ShowPage(0);
}

void TOrinMes::SetText(const std::string& markup) {
  Invalidate();
  data_.Clear();
  data_.Cache.clear();
  rawText_ = markup;
  CommitHistory();
  ClearPages();
  current_ = -1;
  doc_.Clear();
  try {
    ParseMarkup(markup, doc_, TextDelay());
  } catch (...) {
    doc_.Clear();
    throw;
  }
  singleDocument_ = true;
  singleLast_ = -1;
  singleParams_ = SingleParams(0, 0);
  LayoutResult r = LayoutGlyphs(doc_, 0, doc_.Glyphs.size(), singleParams_, services_ ? services_->Images : nullptr);
  pages_ = std::move(r.Pages);
  if (!pages_.empty()) {
    current_ = 0;
    ResetPageState();
    newLayout_ = afresh_ = true;
    RaisePageStart();
  }
}

void TOrinMes::ClearText() {
  sourceKind_ = kSourcePlain;
  SetText({});
}

void TOrinMes::ShowHistory(int32_t first, int32_t count, bool flag) {
  windowFlag_ = flag ? 1 : 0;
  Invalidate();
  CommitHistory();
  sourceKind_ = kSourceHistory;
  rawText_.clear();
  data_.Clear();
  data_.Cache.clear();
  if (services_ && services_->History) {
    const TOrinNewHistory& h = *services_->History;
    if (!h.Entries().empty())
      data_.Hist.Segments = h.SegmentsOf(first, count);
    else
      data_.Refs = h.ReferencesOf(first, count);
  }
  stacking_ = true;
  startOffset_ = 0;
  BuildPages();
  current_ = -1;
  if (!pages_.empty()) ShowPage(0);
}

void TOrinMes::Next(bool pageStartEvent) {
  if (sourceKind_ == kSourceText && CurrentPageObject()) RegisterPage();
  const int32_t keep = current_;
  BuildPages();
  current_ = pages_.empty() ? -1 : std::clamp(keep, 0, PageCount() - 1);
  ResetPageState();
  newLayout_ = afresh_ = true;
  if (pageStartEvent && current_ >= 0) RaisePageStart();
  Invalidate();
}

void TOrinMes::RefreshAfterLoad() {
  needsRefresh_ = false;
  const int32_t keep = current_;
  BuildPages();
  current_ = keep >= 0 && keep < PageCount() ? keep : -1;
  for (size_t i = 0; i < pages_.size() && i < savedStates_.size(); ++i) {
    TWdPage& p = *pages_[i];
    TTpWord::ResetReveal(p);
    size_t next = 0;
    for (int32_t at : savedStates_[i]) {
      if (at < 0 || static_cast<size_t>(at) >= p.Sequence.size()) continue;
      TWdGlyph* g = p.Sequence[static_cast<size_t>(at)];
      if (g->IsReal()) static_cast<TWdReal&>(*g).Alpha = 255;
      next = std::max(next, static_cast<size_t>(at) + 1);
    }
    p.Reveal.Next = next;
    p.Reveal.Started = next > 0;
    // Events of what was revealed were handed over before the save.
    p.Reveal.AtEndQueued = next >= p.Sequence.size();
  }
  savedStates_.clear();
  const TWdPage* page = CurrentPageObject();
  completeReported_ = page && page->Complete();
  newLayout_ = page != nullptr;
  afresh_ = false;
  layerDirty_ = true;
  Invalidate();
}

// ---- Frame

bool TOrinMes::Step() {
  const bool finished = TOrinControl::Step();
  if (needsRefresh_) RefreshAfterLoad();
  if (skip_ > 0) {
    --skip_;
    return finished;
  }
  TOrinBaseList* owner = Owner();
  if (owner && owner->Events().IsPending(this, kEventPageStarted)) return finished;
  if (newLayout_) {
    const bool fresh = afresh_;
    PreparePage();
    newLayout_ = afresh_ = false;
    // Told here, not when the page is chosen: only now are its variables expanded.
    if (fresh && sourceKind_ != kSourceHistory && services_ && services_->Pages)
      if (const TWdPage* shown = CurrentPageObject()) services_->Pages->PageShown(Name(), *shown);
  }
  TWdPage* page = CurrentPageObject();
  if (!page) return finished;
  EnsureLayer();
  // An EVENT being handled holds the text back, as a suspended reveal does.
  const uint8_t suspended = doc_.RevealSuspended;
  if (owner && owner->Events().IsPending(this, kEventFire)) doc_.RevealSuspended = 1;
  RevealResult r = doc_.RevealStep(*page, owner ? owner->FrameDelta() : 0, pageScroll_);
  doc_.RevealSuspended = suspended;
  if (!r.Text.empty()) {
    const std::vector<std::string> args{r.Text};
    QueueEvent(labelRevealed_, kEventTextRevealed, &args, false);
  }
  for (TWdReal* g : r.Changed) {
    Rect cell = g->IsChar() ? layer_.UpdateAlpha(*g) : layer_.CellOf(*g);
    cell = Rect{Clamp32(int64_t{cell.Left} + layerArea_.Left), Clamp32(int64_t{cell.Top} + layerArea_.Top),
                Clamp32(int64_t{cell.Right} + layerArea_.Left), Clamp32(int64_t{cell.Bottom} + layerArea_.Top)};
    InvalidateLocal(cell);
  }
  for (const std::string& e : r.Events) {
    const std::vector<std::string> args = SplitLines(e);
    QueueEvent(labelEvent_, kEventFire, &args, false);
  }
  if (!completeReported_ && page->Complete()) {
    completeReported_ = true;
    if (services_ && services_->ReadList && sourceKind_ == kSourceText) services_->ReadList->CommitPending(Name());
    QueueEvent(Label(kEventMotionFinished), kEventMotionFinished, nullptr, false);
  }
  return finished;
}

Rect TOrinMes::VisibleLocal() const {
  const Rect clip = EffectiveClip();
  const int64_t x = ScreenX(), y = ScreenY();
  return Rect{Clamp32(clip.Left - x), Clamp32(clip.Top - y), Clamp32(clip.Right - x), Clamp32(clip.Bottom - y)};
}

void TOrinMes::EnsureLayer() {
  const TWdPage* page = CurrentPageObject();
  // The layer covers only what can be seen of the window: never more than the screen.
  const Rect visible = VisibleLocal();
  if (!page || visible.IsEmpty()) {
    layer_.Clear();
    return;
  }
  const int depth = Owner() && Owner()->Depth() ? Owner()->Depth() : 32;
  if (!layerDirty_ && layer_.Valid() && layerArea_ == visible && layer_.Depth() == depth) return;
  layerArea_ = visible;
  layer_.Render(*page, doc_, services_ ? services_->Glyphs : nullptr, visible.Width(), visible.Height(), depth,
                Clamp32(int64_t{doc_.Left} - visible.Left),
                Clamp32(int64_t{doc_.Top} - pageScroll_ - visible.Top));
  layer_.UpdateAll(*page);
  layerDirty_ = false;
}

void TOrinMes::Draw(ScreenSurface& surface) {
  if (Color() >= 0) surface.Fill(surface.Clip(), surface.ColorToPixel(Color()));
  const TWdPage* page = CurrentPageObject();
  if (!page) return;
  EnsureLayer();
  if (!layer_.Valid()) return;
  layer_.Draw(surface, Clamp32(int64_t{ScreenX()} + layerArea_.Left), Clamp32(int64_t{ScreenY()} + layerArea_.Top),
              *page, doc_);
}

void TOrinMes::AfterMove() {
  if (Width() == lastWidth_ && Height() == lastHeight_) return;
  SyncDocumentSize();
  singleParams_.Width = doc_.Width;
  singleParams_.Height = doc_.Height;
  newLayout_ = true;
  layerDirty_ = true;
}

void TOrinMes::SetStopped(bool stopped) {
  TOrinControl::SetStopped(stopped);
  SyncSuspended();
}

// ---- Links

const TWdReal* TOrinMes::LinkGlyphAt(int32_t x, int32_t y) const {
  const TWdPage* page = CurrentPageObject();
  if (!page) return nullptr;
  const int64_t dx = doc_.Left, dy = int64_t{doc_.Top} - pageScroll_;
  for (const auto& row : page->Rows)
    for (const TWdGlyph* g : row->Children) {
      if (!g->IsReal() || static_cast<const TWdReal*>(g)->Link.empty()) continue;
      const int64_t l = dx + g->X, t = dy + g->Y;
      if (x >= l && x < l + g->Width && y >= t && y < t + g->Height) return static_cast<const TWdReal*>(g);
    }
  return nullptr;
}

void TOrinMes::SetHighlight(const TWdReal* glyph) {
  TWdPage* page = CurrentPageObject();
  if (!page) return;
  const auto& seq = page->Sequence;
  size_t from = seq.size(), to = seq.size();
  if (glyph) {
    const auto it = std::find(seq.begin(), seq.end(), glyph);
    if (it == seq.end()) glyph = nullptr;
    else {
      // The neighbours with the same target, across marks, make one link.
      from = to = static_cast<size_t>(it - seq.begin());
      auto same = [&](size_t i) {
        return !seq[i]->IsReal() || static_cast<const TWdReal*>(seq[i])->Link == glyph->Link;
      };
      while (from > 0 && same(from - 1)) --from;
      while (to + 1 < seq.size() && same(to + 1)) ++to;
    }
  }
  bool changed = false;
  for (size_t i = 0; i < seq.size(); ++i) {
    if (!seq[i]->IsReal()) continue;
    auto& r = static_cast<TWdReal&>(*seq[i]);
    const bool on = glyph && i >= from && i <= to;
    if (r.Highlighted != on) {
      r.Highlighted = on;
      changed = true;
    }
  }
  highlightLink_ = glyph ? glyph->Link : std::string();
  if (changed) {
    layerDirty_ = true;
    Invalidate();
  }
}

void TOrinMes::UpdateHighlight(int32_t x, int32_t y) {
  const TWdPage* page = CurrentPageObject();
  if (page && Showing() && !Stopped() && page->Complete())
    SetHighlight(LinkGlyphAt(ToClientX(x), ToClientY(y)));
  else if (!highlightLink_.empty())
    SetHighlight(nullptr);
}

void TOrinMes::MouseMove(int32_t x, int32_t y) {
  UpdateHighlight(x, y);
  TOrinControl::MouseMove(x, y);
}

void TOrinMes::MouseLeave() {
  if (!highlightLink_.empty()) SetHighlight(nullptr);
  TOrinControl::MouseLeave();
}

void TOrinMes::MouseDown(MouseButton button, int32_t x, int32_t y) {
  // The press decides by where it is: a pointer that jumped there without a move in between
  // (a touch, scripted input) must not click the link it left.
  if (button == MouseButton::kLeft) UpdateHighlight(x, y);
  TOrinBaseList* owner = Owner();
  if (button == MouseButton::kLeft && !highlightLink_.empty() && !labelLink_.empty() && !Stopped() && owner &&
      !owner->Events().IsPending(this, kEventLinkClicked)) {
    std::vector<std::string> args(1);
    if (const TWdPage* page = CurrentPageObject())
      for (const TWdGlyph* g : page->Sequence) {
        if (!g->IsReal() || !static_cast<const TWdReal*>(g)->Highlighted) continue;
        if (g->IsChar())
          AppendCode(args[0], static_cast<const TWdChar*>(g)->Code);
        else
          args[0] += '*';
      }
    for (std::string& line : SplitLines(highlightLink_)) args.push_back(std::move(line));
    QueueEvent(labelLink_, kEventLinkClicked, &args, false);
    // A link click is no ordinary click: neither @LClick nor the window's left-up label sees it.
    if (TOrinBase* root = Root()) {
      root->SetLClick(false);
      root->DropCapture(MouseButton::kLeft);
    }
    return;
  }
  TOrinControl::MouseDown(button, x, y);
}

// ---- Properties

const std::string& TOrinMes::Label(int code) const {
  switch (code) {
    case kEventTextRevealed:
      return labelRevealed_;
    case kEventPageStarted:
      return labelPageStart_;
    case kEventLinkClicked:
      return labelLink_;
    case kEventFire:
      return labelEvent_;
    default:
      return TOrinControl::Label(code);
  }
}

void TOrinMes::SetLabel(int code, const std::string& label) {
  switch (code) {
    case kEventTextRevealed:
      labelRevealed_ = label;
      return;
    case kEventPageStarted:
      labelPageStart_ = label;
      return;
    case kEventLinkClicked:
      labelLink_ = label;
      return;
    case kEventFire:
      labelEvent_ = label;
      return;
    default:
      TOrinControl::SetLabel(code, label);
  }
}

void TOrinMes::GetProp(int number, TCustomParam& dest) {
  switch (number) {
    case kPropImageAlpha:
      dest.SetAsInt(doc_.ImageAlpha);
      return;
    case kPropFontName:
      dest.SetAsStr(doc_.FontName);
      return;
    case kPropFontSize:
      dest.SetAsInt(doc_.FontSize);
      return;
    case kPropLineSpacing:
      dest.SetAsInt(doc_.LineSpacing);
      return;
    case kPropTextColor:
      dest.SetAsInt(doc_.TextColor);
      return;
    case kPropLinkColor:
      dest.SetAsInt(doc_.LinkColor);
      return;
    case kPropBorderColor:
      dest.SetAsInt(doc_.BorderColor);
      return;
    case kPropActiveLinkColor:
      dest.SetAsInt(doc_.ActiveLinkColor);
      return;
    case kPropShadowColor:
      dest.SetAsInt(doc_.ShadowColor);
      return;
    case kPropBorderWidth:
      dest.SetAsInt(doc_.BorderWidth);
      return;
    case kPropShadowOffset:
      dest.SetAsInt(doc_.ShadowOffset);
      return;
    case kPropSmoothing:
      dest.SetAsFlag(doc_.RenderMode != 0);
      return;
    case kPropFadeTime:
      dest.SetAsInt(doc_.FadeTime);
      return;
    case kPropWaitScale:
      dest.SetAsInt(doc_.WaitScale);
      return;
    case kPropIndex:
      dest.SetAsInt(current_);
      return;
    case kPropText:
      dest.SetAsStr(rawText_);
      return;
    case kPropHold:
      dest.SetAsFlag(hold_);
      return;
    case kPropPageScroll:
      dest.SetAsInt(pageScroll_);
      return;
    case kPropWindowFlag:
      dest.SetAsFlag(windowFlag_ != 0);
      return;
    case kPropCaretX:
      dest.SetAsInt(doc_.CaretX);
      return;
    case kPropCaretY:
      dest.SetAsInt(doc_.CaretY);
      return;
    case kPropRowHeight:
      dest.SetAsInt(doc_.CaretHeight);
      return;
    case kPropBusy:
      dest.SetAsFlag(HasMore());
      return;
    default:
      TOrinControl::GetProp(number, dest);
  }
}

void TOrinMes::SetProp(int number, const TCustomParam& value) {
  auto setInt = [&](int32_t& field) {
    const int32_t v = value.GetAsInt();
    if (field == v) return;
    field = v;
    SettingChanged();
  };
  switch (number) {
    case kPropImageAlpha:
      doc_.ImageAlpha = value.GetAsInt();
      Invalidate();
      return;
    case kPropFontName: {
      const std::string v = value.GetAsStr();
      if (v != doc_.FontName) {
        doc_.FontName = v;
        SettingChanged();
      }
      return;
    }
    case kPropFontSize:
      setInt(doc_.FontSize);
      return;
    case kPropLineSpacing:
      setInt(doc_.LineSpacing);
      singleParams_.LineSpacing = doc_.LineSpacing;
      return;
    case kPropTextColor:
      setInt(doc_.TextColor);
      return;
    case kPropLinkColor:
      setInt(doc_.LinkColor);
      return;
    case kPropBorderColor:
      setInt(doc_.BorderColor);
      return;
    case kPropActiveLinkColor:
      setInt(doc_.ActiveLinkColor);
      return;
    case kPropShadowColor:
      setInt(doc_.ShadowColor);
      return;
    case kPropBorderWidth:
      setInt(doc_.BorderWidth);
      return;
    case kPropShadowOffset:
      setInt(doc_.ShadowOffset);
      return;
    case kPropSmoothing:
      doc_.RenderMode = value.GetAsFlag() ? 3 : 0;
      layerDirty_ = true;
      Invalidate();
      return;
    case kPropFadeTime:
      doc_.FadeTime = std::max(0, value.GetAsInt());
      return;
    case kPropWaitScale:
      doc_.WaitScale = value.GetAsInt();
      return;
    case kPropIndex:
      ShowPage(value.GetAsInt());
      return;
    case kPropText:
      sourceKind_ = kSourcePlain;
      SetText(value.GetAsStr());
      return;
    case kPropHold:
      hold_ = value.GetAsFlag();
      SyncSuspended();
      return;
    case kPropPageScroll: {
      const int32_t v = value.GetAsInt();
      if (v == pageScroll_) return;
      pageScroll_ = v;
      layerDirty_ = true;
      Invalidate();
      return;
    }
    case kPropWindowFlag:
      windowFlag_ = value.GetAsFlag() ? 1 : 0;
      return;
    case kPropCaretX:
    case kPropCaretY:
    case kPropRowHeight:
    case kPropBusy:
      return;
    default:
      TOrinControl::SetProp(number, value);
  }
}

// ---- Save and load

void TOrinMes::Save(Stream& s, int version) const {
  TOrinControl::Save(s, version);
  doc_.SaveSettings(s, version);
  SaveReferences(s, data_.Refs);
  if (version >= 113) {
    // A text-insert keeps the values its variables showed, so a loaded game shows them again.
    if (singleDocument_ && data_.Hist.Segments.size() == 1 && !doc_.LocalVars.empty()) {
      TOrinHistData hist = data_.Hist;
      hist.Segments[0].LocalVars = doc_.LocalVarsText();
      hist.Save(s, version);
    } else {
      data_.Hist.Save(s, version);
    }
  }
  WriteByte(s, stacking_);
  if (version >= 113) WriteInt32(s, startOffset_);
  WriteString(s, rawText_);
  WriteInt32(s, current_);
  WriteInt32(s, pageScroll_);
  WriteInt32(s, extraInt_);
  for (const std::string& c : classStrings_) WriteString(s, c);
  for (int code : {kEventTextRevealed, kEventPageStarted, kEventMotionFinished, kEventLinkClicked, kEventFire})
    WriteString(s, Label(code));
  WriteByte(s, Stopped());
  WriteByte(s, hold_);
  WriteInt32(s, doc_.WaitScale);
  WriteByte(s, sourceKind_);
  WriteString(s, sourcePage_);
  WriteInt32(s, sourceIndex_);
  if (version >= 104) WriteString(s, extraString_);
  if (version >= 120) WriteByte(s, windowFlag_);
  const bool restored = needsRefresh_;
  const size_t count = restored ? savedStates_.size() : pages_.size();
  WriteInt32(s, static_cast<int32_t>(count));
  for (size_t i = 0; i < count; ++i) {
    std::vector<int32_t> revealed;
    if (restored) {
      revealed = savedStates_[i];
    } else {
      const TWdPage& p = *pages_[i];
      for (size_t k = 0; k < p.Reveal.Next && k < p.Sequence.size(); ++k) revealed.push_back(static_cast<int32_t>(k));
    }
    WriteInt32(s, static_cast<int32_t>(revealed.size() * 4));
    for (int32_t v : revealed) WriteInt32(s, v);
  }
}

void TOrinMes::Load(Stream& s, int version) {
  TOrinControl::Load(s, version);
  ClearPages();
  doc_.Clear();
  doc_.LoadSettings(s, version);
  LoadReferences(s, data_.Refs);
  data_.Hist.Clear();
  data_.Cache.clear();
  if (version >= 113) data_.Hist.Load(s, version);
  stacking_ = ReadByte(s) != 0;
  startOffset_ = version >= 113 ? ReadInt32(s) : 0;
  rawText_ = ReadString(s);
  current_ = ReadInt32(s);
  pageScroll_ = ReadInt32(s);
  extraInt_ = ReadInt32(s);
  for (std::string& c : classStrings_) c = ReadString(s);
  for (int code : {kEventTextRevealed, kEventPageStarted, kEventMotionFinished, kEventLinkClicked, kEventFire})
    SetLabel(code, ReadString(s));
  TOrinControl::SetStopped(ReadByte(s) != 0);
  hold_ = ReadByte(s) != 0;
  doc_.WaitScale = ReadInt32(s);
  sourceKind_ = ReadByte(s);
  sourcePage_ = ReadString(s);
  sourceIndex_ = ReadInt32(s);
  extraString_ = version >= 104 ? ReadString(s) : std::string();
  windowFlag_ = version >= 120 ? ReadByte(s) : 0;
  const int32_t pages = ReadInt32(s);
  // Every page's state takes at least its length.
  if (pages < 0 || pages > s.Remaining() / 4) throw Error("message window: damaged record: bad page count");
  savedStates_.assign(static_cast<size_t>(pages), {});
  for (auto& state : savedStates_) {
    const int32_t bytes = ReadInt32(s);
    if (bytes < 0 || bytes % 4 != 0 || bytes > s.Remaining())
      throw Error("message window: damaged record: bad reveal state");
    state.resize(static_cast<size_t>(bytes / 4));
    for (int32_t& v : state) v = ReadInt32(s);
  }
  SyncSuspended();
  lastWidth_ = Width();
  lastHeight_ = Height();
  singleParams_ = SingleParams(0, 0);
  needsRefresh_ = true;
  skip_ = 0;
  newLayout_ = afresh_ = false;
}

}  // namespace orin
