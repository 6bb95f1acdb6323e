#include "scene/text/tp_word.h"

#include <algorithm>
#include <optional>

#include "core/cp932.h"
#include "core/error.h"
#include "core/text.h"
#include "params/build_orin_parser.h"
#include "params/orin_parser.h"
#include "params/param_collection.h"
#include "resources/stream.h"
#include "scene/model/mura_collection.h"

namespace orin {

using namespace literals;

namespace {

int32_t Clamp32(int64_t v) { return static_cast<int32_t>(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX)); }

void AppendCode(std::string& out, uint16_t code) {
  if (code > 0xFF) out += static_cast<char>(code >> 8);
  out += static_cast<char>(code & 0xFF);
}

}  // namespace

const std::string& TTpWord::DefaultFontName() { return "ＭＳ ゴシック"_sj; }

TTpWord::TTpWord() : FontName(DefaultFontName()) {}

TTpWord::~TTpWord() = default;

void TTpWord::CopySettings(const TTpWord& o) {
  Left = o.Left, Top = o.Top, Width = o.Width, Height = o.Height;
  FontSize = o.FontSize;
  FontName = o.FontName;
  TextColor = o.TextColor, LinkColor = o.LinkColor, ActiveLinkColor = o.ActiveLinkColor;
  BorderColor = o.BorderColor, ShadowColor = o.ShadowColor;
  BorderWidth = o.BorderWidth, ShadowOffset = o.ShadowOffset, LineSpacing = o.LineSpacing;
  Paging = o.Paging;
  FadeTime = o.FadeTime, ImageAlpha = o.ImageAlpha, WaitScale = o.WaitScale;
  EventsEnabled = o.EventsEnabled;
  RenderMode = o.RenderMode;
  RevealSuspended = o.RevealSuspended;
  CaretX = o.CaretX, CaretY = o.CaretY, CaretHeight = o.CaretHeight;
}

void TTpWord::SaveSettings(Stream& s, int version) const {
  WriteInt32(s, Left);
  WriteInt32(s, Top);
  WriteInt32(s, FontSize);
  WriteString(s, FontName);
  for (int32_t v : {TextColor, Height, Width, RenderMode, LineSpacing}) WriteInt32(s, v);
  WriteByte(s, Paging);
  for (int32_t v : {LinkColor, ActiveLinkColor, FadeTime, BorderColor, ImageAlpha}) WriteInt32(s, v);
  WriteByte(s, RevealSuspended);
  WriteInt32(s, CaretX);
  WriteInt32(s, CaretY);
  WriteInt32(s, WaitScale);
  WriteByte(s, EventsEnabled);
  if (version >= 110) WriteInt32(s, ShadowColor);
  if (version >= 111) {
    WriteInt32(s, BorderWidth);
    WriteInt32(s, ShadowOffset);
  }
}

void TTpWord::LoadSettings(Stream& s, int version) {
  Left = ReadInt32(s);
  Top = ReadInt32(s);
  FontSize = ReadInt32(s);
  FontName = ReadString(s);
  for (int32_t* v : {&TextColor, &Height, &Width, &RenderMode, &LineSpacing}) *v = ReadInt32(s);
  Paging = ReadByte(s);
  for (int32_t* v : {&LinkColor, &ActiveLinkColor, &FadeTime, &BorderColor, &ImageAlpha}) *v = ReadInt32(s);
  RevealSuspended = ReadByte(s);
  CaretX = ReadInt32(s);
  CaretY = ReadInt32(s);
  WaitScale = ReadInt32(s);
  EventsEnabled = ReadByte(s);
  if (version >= 110) ShadowColor = ReadInt32(s);
  if (version >= 111) {
    BorderWidth = ReadInt32(s);
    ShadowOffset = ReadInt32(s);
  }
}

void TTpWord::Clear() {
  Glyphs.clear();
  Styles.Clear();
  StyleBase = 0;
  Version = 0;
  HadHeader = false;
  LocalVars.clear();
}

size_t TTpWord::PositionOfIndex(int32_t index) const {
  for (size_t i = 0; i < Glyphs.size(); ++i)
    if (Glyphs[i]->Index >= index) return i;
  return Glyphs.size();
}

// ---- Local variables

std::string TTpWord::LocalVarsText() const {
  std::string out;
  for (size_t i = 0; i < LocalVars.size(); ++i) {
    if (i) out += "\r\n";
    out += LocalVars[i];
  }
  return out;
}

void TTpWord::SetLocalVarsText(std::string_view text) {
  LocalVars.clear();
  size_t start = 0;
  while (start < text.size()) {
    size_t end = start;
    while (end < text.size() && text[end] != '\r' && text[end] != '\n') ++end;
    LocalVars.emplace_back(text.substr(start, end - start));
    if (end < text.size() && text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n') ++end;
    start = end + 1;
  }
}

bool TTpWord::LocalVar(std::string_view name, std::string& value) const {
  for (const std::string& line : LocalVars) {
    const size_t eq = FindChar(line, '=');
    if (eq == std::string::npos || std::string_view(line).substr(0, eq) != name) continue;
    value = line.substr(eq + 1);
    std::replace(value.begin(), value.end(), '\x01', '\r');
    return true;
  }
  return false;
}

// ---- Sizes

int32_t TTpWord::BorderOf(const TDecorate& d) const { return std::max(0, d.BorderWidth >= 0 ? d.BorderWidth : BorderWidth); }

int32_t TTpWord::ShadowOf(const TDecorate& d) const { return std::max(0, d.ShadowOffset >= 0 ? d.ShadowOffset : ShadowOffset); }

const std::string& TTpWord::FontOf(const TDecorate& d) const {
  if (!d.FontName.empty()) return d.FontName;
  return FontName.empty() ? DefaultFontName() : FontName;
}

int32_t TTpWord::DefaultCellHeight() const {
  return Clamp32(int64_t{std::max(0, FontSize)} + 2 * int64_t{std::max(0, BorderWidth)} + std::max(0, ShadowOffset));
}

void TTpWord::MeasureGlyph(TWdGlyph& g, TMuraCollection* images) const {
  switch (g.Type) {
    case WdType::kChar:
    case WdType::kVarChar: {
      const auto& c = static_cast<TWdChar&>(g);
      static const TDecorate kPlain;
      const TDecorate& d = c.Style ? *c.Style : kPlain;
      const int64_t size = std::max(0, SizeOf(d));
      int64_t w = size, h = size;
      if (d.Style & 2) w += size / 5;
      if (!d.Ruby.empty()) h += std::max<int64_t>(1, size / 2);
      const int64_t k = BorderOf(d), s = ShadowOf(d);
      w += 2 * k + s;
      h += 2 * k + s;
      g.Width = Clamp32(w);
      g.Height = Clamp32(h);
      break;
    }
    case WdType::kImg: {
      auto& img = static_cast<TWdImg&>(g);
      if (!img.Picture && images) img.Picture = images->Picture(img.FileName);
      g.Width = img.Picture ? img.Picture->Color.Width() : 0;
      g.Height = img.Picture ? img.Picture->Color.Height() : 0;
      break;
    }
    case WdType::kSpace:
      break;
    default:
      g.Width = g.Height = 0;
      break;
  }
}

// ---- Variable marks

namespace {

// The string value of an expression, or nullopt when it yields none.
std::optional<std::string> Evaluate(TOrinParser& parser, TParamCollection& vars) {
  parser.Execute(vars);
  if (!parser.Result) return std::nullopt;
  return parser.Result->GetAsStr();
}

std::optional<std::string> EvaluateMark(const TWdOpeVar& mark, TParamCollection* vars) {
  if (!vars) return std::nullopt;
  try {
    TOrinParser parser;
    MemoryStream record;
    if (mark.HasCompiled) {
      record.Assign(mark.Compiled);
    } else {
      TBuildOrinParser build;
      build.Compile(mark.Name);
      build.WriteTo(record);
    }
    record.SetPosition(0);
    parser.LoadFromStream(record);
    return Evaluate(parser, *vars);
  } catch (const Error&) {
    return std::nullopt;
  }
}

}  // namespace

size_t TTpWord::ExpandVariables(size_t begin, size_t end, TParamCollection* vars, int32_t defaultWait) {
  end = std::min(end, Glyphs.size());
  auto fromMark = [](const std::unique_ptr<TWdGlyph>& g) {
    return g->Type == WdType::kVarChar || g->Type == WdType::kVarReturn;
  };
  // What a mark before the range made belongs to that mark; what the last mark of the range made
  // may lie beyond the range.
  while (begin < end && fromMark(Glyphs[begin])) ++begin;
  while (end < Glyphs.size() && fromMark(Glyphs[end])) ++end;
  // A mark keeps no wait of its own: its characters take the wait of the text before it, else of
  // the text after it.
  bool waitKnown = false;
  int32_t waitBefore = defaultWait;
  for (size_t k = begin; k-- > 0 && !waitKnown;)
    if (Glyphs[k]->IsReal() && !fromMark(Glyphs[k])) {
      waitBefore = static_cast<TWdReal&>(*Glyphs[k]).Wait;
      waitKnown = true;
    }
  auto waitAfter = [&](size_t at) {
    for (size_t k = at + 1; k < Glyphs.size(); ++k)
      if (Glyphs[k]->IsReal() && !fromMark(Glyphs[k])) return static_cast<TWdReal&>(*Glyphs[k]).Wait;
    return defaultWait;
  };
  // The range is built anew: an earlier expansion's glyphs go, each mark's value follows it.
  std::vector<std::unique_ptr<TWdGlyph>> out;
  out.reserve(end - begin);
  // Glyphs outside the range stay; what the marks make may fill the document up to its limit.
  const size_t outside = Glyphs.size() - (end - begin);
  for (size_t i = begin; i < end; ++i) {
    if (fromMark(Glyphs[i])) continue;
    if (Glyphs[i]->IsReal()) {
      waitBefore = static_cast<TWdReal&>(*Glyphs[i]).Wait;
      waitKnown = true;
    }
    const bool isMark = Glyphs[i]->Type == WdType::kVar;
    const int32_t wait = !isMark ? 0 : waitKnown ? waitBefore : waitAfter(i);
    out.push_back(std::move(Glyphs[i]));
    if (!isMark) continue;
    const auto& mark = static_cast<const TWdOpeVar&>(*out.back());
    std::string value;
    const bool named = !mark.Name.empty();
    if (!(named && LocalVar(mark.Name, value))) {
      auto evaluated = EvaluateMark(mark, vars);
      if (!evaluated) continue;
      value = std::move(*evaluated);
      if (named) {
        std::string kept = value;
        std::replace(kept.begin(), kept.end(), '\r', '\x01');
        std::string line = mark.Name;
        line.append("=").append(kept);
        LocalVars.push_back(std::move(line));
      }
    }
    const int32_t index = mark.Index;
    const DecoratePtr style = mark.Style;
    size_t made = 0;
    ForEachChar(value, [&](size_t at, size_t) {
      if (made >= kMaxMarkChars || outside + out.size() >= kMaxGlyphs) return;
      ++made;
      const uint16_t code = CharCodeAt(value, at);
      if (code == '\r') {
        auto r = std::make_unique<TWdVarReturn>();
        r->Index = index;
        out.push_back(std::move(r));
      } else if (code >= 0x20) {
        auto c = std::make_unique<TWdVarChar>();
        c->Code = code;
        c->Style = style;
        c->Wait = wait;
        c->Index = index;
        out.push_back(std::move(c));
      }
    });
  }
  const size_t newEnd = begin + out.size();
  Glyphs.erase(Glyphs.begin() + static_cast<ptrdiff_t>(begin), Glyphs.begin() + static_cast<ptrdiff_t>(end));
  Glyphs.insert(Glyphs.begin() + static_cast<ptrdiff_t>(begin), std::make_move_iterator(out.begin()),
                std::make_move_iterator(out.end()));
  return newEnd;
}

// ---- Reveal

void TTpWord::ResetReveal(TWdPage& page) {
  page.Reveal = RevealState{};
  for (TWdGlyph* g : page.Sequence)
    if (g->IsReal()) {
      auto& r = static_cast<TWdReal&>(*g);
      r.Alpha = 0;
      r.Highlighted = false;
    }
}

void TTpWord::RevealAtOnce(TWdPage& page, size_t count) {
  ResetReveal(page);
  count = std::min(count, page.Sequence.size());
  for (size_t i = 0; i < count; ++i)
    if (page.Sequence[i]->IsReal()) static_cast<TWdReal&>(*page.Sequence[i]).Alpha = 255;
  page.Reveal.Next = count;
  page.Reveal.Started = count > 0;
}

RevealResult TTpWord::RevealStep(TWdPage& page, int32_t frameDelta, int32_t pageScroll) {
  RevealResult result;
  RevealState& st = page.Reveal;
  if (st.Skip > 0) {
    --st.Skip;
    return result;
  }
  const auto& seq = page.Sequence;
  if (!RevealSuspended && st.PendingEvents.empty()) {
    if (st.Started)
      st.Countdown = Clamp32(int64_t{st.Countdown} - frameDelta);
    else {
      st.Started = true;
      st.Countdown = 0;
      st.FadeAccumulator = 0;
    }
    while (st.Next < seq.size() && st.Countdown <= 0) {
      TWdGlyph* g = seq[st.Next];
      if (g->Row && Height > 0 && int64_t{g->Row->Y} + g->Row->Height - pageScroll > Height) break;
      ++st.Next;
      bool stop = false;
      if (g->IsReal()) {
        auto& r = static_cast<TWdReal&>(*g);
        r.Alpha = 0;
        st.Fading.push_back(&r);
        result.AnyRevealed = true;
        if (g->IsChar())
          AppendCode(result.Text, static_cast<TWdChar&>(*g).Code);
        else
          result.Text += '*';
        const int64_t w = r.Wait;
        int64_t add = 0;
        if (w >= 0)
          add = w * std::max(0, WaitScale) / 256;
        else if (WaitScale >= 0)
          add = -w;
        st.Countdown = Clamp32(st.Countdown + add);
      } else if (g->Type == WdType::kEvent && EventsEnabled) {
        const auto& e = static_cast<TWdOpeEvent&>(*g);
        if (e.AtEnd) {
          st.AtEndEvents.push_back(e.Text);
        } else {
          st.PendingEvents.push_back(e.Text);
          // Events that follow one another go together; anything else waits for the hand-over.
          stop = !(st.Next < seq.size() && seq[st.Next]->Type == WdType::kEvent);
        }
      }
      // The caret goes where the next glyph will appear, or behind this one at the end.
      const TWdGlyph* at = st.Next < seq.size() ? seq[st.Next] : nullptr;
      if (at && at->Row) {
        CaretX = Clamp32(int64_t{Left} + at->X);
        CaretY = Clamp32(int64_t{Top} + at->Row->Y - pageScroll);
        CaretHeight = at->Row->Height;
      } else if (g->Row) {
        CaretX = Clamp32(int64_t{Left} + g->X + g->Width);
        CaretY = Clamp32(int64_t{Top} + g->Row->Y - pageScroll);
        CaretHeight = g->Row->Height;
      }
      if (stop) break;
    }
    if (st.Next >= seq.size() && !st.AtEndQueued) {
      st.AtEndQueued = true;
      for (std::string& e : st.AtEndEvents) st.PendingEvents.push_back(std::move(e));
      st.AtEndEvents.clear();
    }
  }
  // Fade in: the step is the accumulated time × 256 over the fade time, the rest carried over.
  st.FadeAccumulator += int64_t{std::max(0, frameDelta)} * 256;
  int64_t step = 255;
  if (FadeTime > 0) {
    step = st.FadeAccumulator / FadeTime;
    st.FadeAccumulator %= FadeTime;
  } else {
    st.FadeAccumulator = 0;
  }
  if (step > 0) {
    size_t kept = 0;
    for (TWdReal* r : st.Fading) {
      r->Alpha = static_cast<uint8_t>(std::min<int64_t>(255, r->Alpha + step));
      result.Changed.push_back(r);
      if (r->Alpha <= 254) st.Fading[kept++] = r;
    }
    st.Fading.resize(kept);
  }
  if (st.Fading.empty() && !st.PendingEvents.empty()) {
    result.Events = std::move(st.PendingEvents);
    st.PendingEvents.clear();
  }
  return result;
}

}  // namespace orin
