#include "script/page_text.h"

#include <algorithm>
#include <map>
#include <set>

#include "core/cp932.h"
#include "scene/text/word_markup.h"
#include "script/commands_flow.h"
#include "script/commands_object.h"
#include "script/expr_text.h"
#include "script/page.h"
#include "script/text_form.h"

namespace orin {

namespace {

const struct {
  int number;
  const char* name;
} kPropertyNames[] = {
    {0, "name"},          {1, "parent"},        {2, "file"},         {3, "left"},
    {4, "top"},           {5, "width"},         {6, "height"},       {7, "zoomx"},
    {8, "color"},         {11, "alpha"},        {12, "depth"},       {13, "originx"},
    {14, "originy"},      {15, "font"},         {16, "fontsize"},    {17, "fontstyle"},
    {18, "linespacing"},  {19, "textcolor"},    {26, "interval"},    {27, "stopped"},
    {29, "loop"},         {31, "rotation"},     {33, "onchange"},    {34, "onmove"},
    {35, "onleave"},      {36, "onleftdown"},   {37, "onleftup"},    {38, "onrightdown"},
    {39, "onrightup"},    {40, "onwheeldown"},  {41, "onwheelup"},   {43, "onfinish"},
    {44, "index"},        {47, "visible"},      {50, "text"},        {71, "autofree"},
    {80, "inputmode"},    {99, "hint"},         {100, "scalepos"},   {111, "flipx"},
    {112, "flipy"},       {113, "oneveryframe"}, {116, "clipleft"},  {117, "cliptop"},
    {118, "clipwidth"},   {119, "clipheight"},  {132, "zoomy"},      {134, "paused"},
    {144, "onkeydown"},   {145, "onkeyup"},     {146, "onkeyrepeat"}, {147, "focusable"},
    {148, "onfocusin"},   {149, "onfocusout"},  {151, "comment"},    {159, "offsetx"},
    {160, "offsety"},
};

const char* const kTypeNames[] = {nullptr, "int", "float", "flag", "str"};

// Text data (the stored document of a text insert) as markup when the markup rebuilds exactly
// these bytes, else as bytes.
std::string TextDataText(const std::string& bytes) {
  if (!bytes.empty())
    if (auto markup = StoredDocumentToMarkup(bytes)) return QuoteText(*markup);
  return HexBlock(bytes);
}

// The stored document of text data written as markup ("..."), or its bytes (hex{...}).
std::string TextDataValue(const TextValue& value, std::string_view name) {
  if (value.kind == TextValue::kHex) return value.text;
  if (value.kind != TextValue::kString)
    throw Error(FromUtf8(Cat({name, " must be markup (\"...\") or bytes (hex{...})"})));
  return value.text.empty() ? std::string() : MarkupToStoredDocument(value.text);
}

std::string TypeText(uint8_t type) {
  return type >= 1 && type <= 4 ? kTypeNames[type] : std::to_string(type);
}

uint8_t TypeValue(const TextValue& v, std::string_view what) {
  if (v.kind == TextValue::kWord)
    for (int t = 1; t <= 4; ++t)
      if (v.text == kTypeNames[t]) return static_cast<uint8_t>(t);
  return static_cast<uint8_t>(IntValue(v, what, 0, 255));
}

bool IsAsciiIdentifier(std::string_view s) {
  if (s.empty() || (s[0] >= '0' && s[0] <= '9')) return false;
  return std::all_of(s.begin(), s.end(), [](char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
  });
}

// A label name of the text: a word without "@" or ":" that does not begin with a digit or "-".
bool IsLabelName(std::string_view s) {
  if (s.empty() || (s[0] >= '0' && s[0] <= '9') || s[0] == '-') return false;
  return s.find_first_of("@:") == std::string_view::npos;
}

std::string PropSetText(const PropSet& set) {
  std::string out;
  for (int i = 0; i < PropSet::kBits;) {
    if (!set.Test(i)) {
      ++i;
      continue;
    }
    int j = i;
    while (j + 1 < PropSet::kBits && set.Test(j + 1)) ++j;
    out += ' ';
    out += std::to_string(i);
    if (j > i) {
      out += j == i + 1 ? ' ' : '-';
      out += std::to_string(j);
    }
    i = j + 1;
  }
  return out;
}

// ------------------------------------------------------------------------------------------
// The fields of a command, in record order.

struct FieldInfo {
  std::string name;
  int32_t since;
};

class FieldLister final : public FieldVisitor {
 public:
  std::vector<FieldInfo> fields;
  bool hasProperties = false;

  void Expr(const char* name, CommandExpr&, int32_t since) override { fields.push_back({name, since}); }
  void String(const char* name, std::string&) override { fields.push_back({name, 0}); }
  void Int(const char* name, int32_t&, TargetRole, int32_t since) override { fields.push_back({name, since}); }
  void Byte(const char* name, uint8_t&) override { fields.push_back({name, 0}); }
  void ExprList(const char* name, std::vector<CommandExpr>&) override { fields.push_back({name, 0}); }
  void Data(const char* name, std::string&) override { fields.push_back({name, 0}); }
  void Properties(TComComponent&) override { hasProperties = true; }
};

// The indices that a command's index fields point at, where the text can name them by label.
class TargetCollector final : public FieldVisitor {
 public:
  TargetCollector(const TPage& page, bool namedPageIsSelf, std::set<int32_t>& out)
      : page_(page), self_(namedPageIsSelf), out_(out) {}

  void Expr(const char*, CommandExpr&, int32_t) override {}
  void String(const char*, std::string&) override {}
  void Int(const char*, int32_t& v, TargetRole role, int32_t since) override {
    if (page_.Version < since) return;
    if (role == TargetRole::kThisPage || (role == TargetRole::kNamedPage && self_))
      if (v >= 0 && v <= page_.Count()) out_.insert(v);
  }
  void Byte(const char*, uint8_t&) override {}
  void ExprList(const char*, std::vector<CommandExpr>&) override {}
  void Data(const char*, std::string&) override {}
  void Properties(TComComponent&) override {}

 private:
  const TPage& page_;
  bool self_;
  std::set<int32_t>& out_;
};

class FieldPrinter final : public FieldVisitor {
 public:
  FieldPrinter(const TPage& page, bool namedPageIsSelf, bool positional,
               const std::map<int32_t, std::string>& labels)
      : page_(page), self_(namedPageIsSelf), positional_(positional), labels_(labels) {}

  std::string line;
  std::vector<std::string> propertyLines;

  void Expr(const char* name, CommandExpr& e, int32_t since) override {
    if (page_.Version >= since) Put(name, ExprToText(e));
  }
  void String(const char* name, std::string& s) override { Put(name, QuoteText(s)); }
  void Int(const char* name, int32_t& v, TargetRole role, int32_t since) override {
    if (page_.Version < since) return;
    if (role == TargetRole::kThisPage || (role == TargetRole::kNamedPage && self_)) {
      auto label = labels_.find(v);
      if (label != labels_.end()) return Put(name, "@" + label->second);
    }
    Put(name, std::to_string(v));
  }
  void Byte(const char* name, uint8_t& v) override {
    Put(name, std::string_view(name) == "type" ? TypeText(v) : std::to_string(v));
  }
  void ExprList(const char* name, std::vector<CommandExpr>& list) override {
    std::string text = "[";
    for (size_t i = 0; i < list.size(); ++i) {
      if (i) text += ", ";
      text += ExprToText(list[i]);
    }
    Put(name, text + "]");
  }
  void Data(const char* name, std::string& bytes) override { Put(name, TextDataText(bytes)); }
  void Properties(TComComponent& command) override {
    for (const auto& p : command.Properties) {
      const char* alias = PropertyTextName(p.Number);
      std::string key = alias ? std::string(alias) : std::string("p").append(std::to_string(p.Number));
      key += '=';
      key += ExprToText(p.Expr);
      propertyLines.push_back(std::move(key));
    }
  }

 private:
  void Put(const char* name, const std::string& value) {
    line += ' ';
    if (!positional_) {
      line += name;
      line += '=';
    }
    line += value;
  }

  const TPage& page_;
  bool self_;
  bool positional_;
  const std::map<int32_t, std::string>& labels_;
};

// ------------------------------------------------------------------------------------------
// Reading.

struct LineItem {
  int line;
  TextItem item;
};

struct PendingCommand {
  int line;
  int kind;
  int indent;
  std::vector<LineItem> items;
};

class FieldAssigner final : public FieldVisitor {
 public:
  FieldAssigner(const std::map<std::string, const LineItem*>& values,
                const std::map<std::string, int32_t>& labels)
      : values_(values), labels_(labels) {}

  void Expr(const char* name, CommandExpr& e, int32_t) override {
    if (const LineItem* item = Find(name)) Guard(*item, [&] { ExprFromText(item->item.value, e); });
  }
  void String(const char* name, std::string& s) override {
    if (const LineItem* item = Find(name)) Guard(*item, [&] { s = StringValue(item->item.value, name); });
  }
  void Int(const char* name, int32_t& v, TargetRole, int32_t) override {
    const LineItem* item = Find(name);
    if (!item) return;
    Guard(*item, [&] {
      const TextValue& value = item->item.value;
      if (value.kind == TextValue::kWord && !value.text.empty() && value.text[0] == '@') {
        auto label = labels_.find(value.text.substr(1));
        if (label == labels_.end())
          throw Error(FromUtf8(Cat({"the label ", std::string_view(value.text).substr(1), " is not defined"})));
        v = label->second;
      } else {
        v = static_cast<int32_t>(IntValue(value, name, INT32_MIN, INT32_MAX));
      }
    });
  }
  void Byte(const char* name, uint8_t& v) override {
    const LineItem* item = Find(name);
    if (!item) return;
    Guard(*item, [&] {
      v = std::string_view(name) == "type" ? TypeValue(item->item.value, name)
                                           : static_cast<uint8_t>(IntValue(item->item.value, name, 0, 255));
    });
  }
  void ExprList(const char* name, std::vector<CommandExpr>& list) override {
    const LineItem* item = Find(name);
    if (!item) return;
    Guard(*item, [&] {
      const TextValue& value = item->item.value;
      if (value.kind != TextValue::kList)
        throw Error(FromUtf8(std::string(name) + " must be a list: [{...}, {...}]"));
      std::vector<CommandExpr> exprs(value.items.size());
      for (size_t i = 0; i < exprs.size(); ++i) ExprFromText(value.items[i], exprs[i]);
      list = std::move(exprs);
    });
  }
  void Data(const char* name, std::string& bytes) override {
    const LineItem* item = Find(name);
    if (!item) return;
    Guard(*item, [&] { bytes = TextDataValue(item->item.value, name); });
  }
  void Properties(TComComponent&) override {}

 private:
  const LineItem* Find(const char* name) const {
    auto it = values_.find(name);
    return it == values_.end() ? nullptr : it->second;
  }
  template <class F>
  void Guard(const LineItem& item, F&& f) {
    try {
      f();
    } catch (const Error& e) {
      throw AtLine(item.line, e);
    }
  }

  const std::map<std::string, const LineItem*>& values_;
  const std::map<std::string, int32_t>& labels_;
};

bool IsFlagAttribute(const TextItem& item) {
  return item.name.empty() && item.value.kind == TextValue::kWord &&
         (item.value.text == "chain" || item.value.text == "disabled" || item.value.text == "hibit");
}

void ApplyCommand(TPage& page, const PendingCommand& pending, const std::map<std::string, int32_t>& labels) {
  TCommand& command = page.Add(pending.kind);
  const std::string kindName = CommandKindName(pending.kind);
  command.Indent = pending.indent;
  FieldLister lister;
  command.DescribeFields(lister);

  std::map<std::string, const LineItem*> values;
  std::vector<const LineItem*> positional;
  std::vector<std::pair<int, const LineItem*>> properties;
  std::set<std::string> attributes;
  for (const LineItem& li : pending.items) {
    const TextItem& item = li.item;
    try {
      if (IsFlagAttribute(item)) {
        const std::string& word = item.value.text;
        if (!attributes.insert(word).second) throw Error(word + " is given twice");
        if (word == "chain") command.Chain = 1;
        if (word == "disabled") command.Disabled = 1;
        if (word == "hibit") command.KindHighBit = true;
        continue;
      }
      if (item.name.empty()) {
        positional.push_back(&li);
        continue;
      }
      const std::string& name = item.name;
      if (name == "id" || name == "chain" || name == "disabled" || name == "indent") {
        if (!attributes.insert(name).second) throw Error(name + " is given twice");
        if (name == "id") command.Id = static_cast<int32_t>(IntValue(item.value, name, INT32_MIN, INT32_MAX));
        if (name == "chain") command.Chain = static_cast<uint8_t>(IntValue(item.value, name, 0, 255));
        if (name == "disabled") command.Disabled = static_cast<uint8_t>(IntValue(item.value, name, 0, 255));
        if (name == "indent") command.Indent = static_cast<int32_t>(IntValue(item.value, name, INT32_MIN, INT32_MAX));
        continue;
      }
      auto field = std::find_if(lister.fields.begin(), lister.fields.end(),
                                [&](const FieldInfo& f) { return f.name == name; });
      if (field != lister.fields.end()) {
        if (page.Version < field->since)
          throw Error(FromUtf8(kindName + ": " + name + " needs page version " + std::to_string(field->since) +
                               " or later"));
        if (!values.emplace(name, &li).second) throw Error(FromUtf8(kindName + ": " + name + " is given twice"));
        continue;
      }
      int property = lister.hasProperties ? FindPropertyTextName(name) : -1;
      if (property >= 0) {
        properties.push_back({property, &li});
        continue;
      }
      throw Error(FromUtf8(kindName + " has no field '" + name + "'"));
    } catch (const Error& e) {
      throw AtLine(li.line, e);
    }
  }
  size_t next = 0;
  for (const LineItem* li : positional) {
    while (next < lister.fields.size() &&
           (values.count(lister.fields[next].name) || page.Version < lister.fields[next].since))
      ++next;
    if (next >= lister.fields.size())
      throw TextError(li->line, Cat({kindName, ": too many values (", kindName, " has ",
                                     std::to_string(lister.fields.size()),
                                     lister.fields.size() == 1 ? " field)" : " fields)"}));
    values.emplace(lister.fields[next].name, li);
  }
  FieldAssigner assigner(values, labels);
  command.DescribeFields(assigner);

  if (!properties.empty()) {
    auto& component = static_cast<TComComponent&>(command);
    std::set<int> seen;
    for (const auto& [number, li] : properties) {
      try {
        if (!seen.insert(number).second) throw Error(Cat({"property ", std::to_string(number), " is given twice"}));
        CommandExpr* e = component.Property(number);
        if (!e)
          throw Error(FromUtf8(Cat({"property ", std::to_string(number), " is not in the propset of ", kindName})));
        ExprFromText(li->item.value, *e);
      } catch (const Error& err) {
        throw AtLine(li->line, err);
      }
    }
  }
}

void ReadPropSet(TPage& page, const std::vector<TextItem>& items, std::set<int>& explicitKinds) {
  if (items.size() < 2 || !items[1].name.empty() || items[1].value.kind != TextValue::kWord)
    throw Error("propset needs a command kind");
  const std::string& kindWord = items[1].value.text;
  int kind = FindCommandKind(kindWord);
  if (kind < 0) {
    auto n = ParseWordNumber(kindWord);
    if (!n || *n < 0 || *n >= kCommandKindCount) throw Error(FromUtf8("unknown command kind " + kindWord));
    kind = static_cast<int>(*n);
  }
  if (!explicitKinds.insert(kind).second) throw Error(FromUtf8("propset " + kindWord + " is given twice"));
  PropSet& set = page.PropSets[static_cast<size_t>(kind)];
  for (size_t i = 2; i < items.size(); ++i) {
    const TextValue& v = items[i].value;
    if (!items[i].name.empty() || v.kind != TextValue::kWord) throw Error("propset takes property numbers");
    int first = -1, last = -1;
    size_t dash = v.text.find('-', 1);
    if (dash != std::string::npos) {
      auto a = ParseWordNumber(v.text.substr(0, dash)), b = ParseWordNumber(v.text.substr(dash + 1));
      if (a && b) first = static_cast<int>(*a), last = static_cast<int>(*b);
    } else if (auto n = ParseWordNumber(v.text)) {
      first = last = static_cast<int>(*n);
    } else {
      first = last = FindPropertyTextName(v.text);
    }
    if (first < 0 || last < first || last >= PropSet::kBits)
      throw Error(FromUtf8("'" + v.text + "' is not a property or range of properties (0-167)"));
    for (int p = first; p <= last; ++p) set.Set(p);
  }
}

void ReadKindTable(TPage& page, const std::vector<TextItem>& items) {
  for (size_t i = 1; i < items.size(); ++i) {
    const TextItem& item = items[i];
    if (item.name == "count")
      page.KindRecordCount = static_cast<int32_t>(IntValue(item.value, "count", 0, INT32_MAX));
    else if (item.name == "length")
      page.KindRecordLength = static_cast<int32_t>(IntValue(item.value, "length", 0, INT32_MAX));
    else if (item.name == "surplus" && item.value.kind == TextValue::kHex)
      page.KindTableSurplus = item.value.text;
    else
      throw Error("kindtable takes count=N, length=N and surplus=hex{...}");
  }
}

void ReadHeader(TPage& page, const std::vector<TextItem>& items) {
  for (size_t i = 1; i < items.size(); ++i) {
    const TextItem& item = items[i];
    if (item.name == "version")
      page.Version = static_cast<int32_t>(IntValue(item.value, "version", INT32_MIN, INT32_MAX));
    else if (item.name == "return")
      page.ReturnType = TypeValue(item.value, "return");
    else
      throw Error("page takes version=N and return=TYPE");
  }
}

}  // namespace

const char* PropertyTextName(int property) {
  for (const auto& p : kPropertyNames)
    if (p.number == property) return p.name;
  return nullptr;
}

int FindPropertyTextName(std::string_view name) {
  for (const auto& p : kPropertyNames)
    if (name == p.name) return p.number;
  if (name.size() > 1 && name[0] == 'p' && name[1] >= '0' && name[1] <= '9') {
    auto n = ParseWordNumber(name.substr(1));
    if (n && *n >= 0 && *n < kPropertyCount && std::to_string(*n) == name.substr(1)) return static_cast<int>(*n);
  }
  return -1;
}

std::string PageToText(const TPage& page, const PageTextOptions& options) {
  auto selfTargets = [&](const TCommand& c) {
    const std::string* target = c.TargetPage();
    return target && !options.SelfName.empty() && SameText(*target, options.SelfName);
  };

  std::set<int32_t> targets;
  for (const auto& c : page.Commands) {
    TargetCollector collector(page, selfTargets(*c), targets);
    c->DescribeFields(collector);
  }
  std::map<int32_t, std::string> labels;
  std::set<std::string> used;
  for (int32_t t : targets) {
    std::string name;
    if (t < page.Count() && page.Commands[static_cast<size_t>(t)]->Kind() == ComKind::Label) {
      const std::string& own = static_cast<const TComLabel&>(*page.Commands[static_cast<size_t>(t)]).LabelName;
      if (IsAsciiIdentifier(own) && !used.count(own)) name = own;
    }
    if (name.empty()) {
      name = Cat({"L", std::to_string(t)});
      while (used.count(name)) name += '_';
    }
    used.insert(name);
    labels[t] = name;
  }

  std::string out = Cat({"page version=", std::to_string(page.Version), " return=", TypeText(page.ReturnType), "\n"});
  if (page.KindRecordCount != kCommandKindCount || page.KindRecordLength != PropSet::kBytes ||
      !page.KindTableSurplus.empty()) {
    out += Cat({"kindtable count=", std::to_string(page.KindRecordCount), " length=",
                std::to_string(page.KindRecordLength)});
    if (!page.KindTableSurplus.empty()) out += Cat({" surplus=", HexBlock(page.KindTableSurplus)});
    out += '\n';
  }
  for (int k = 0; k < kCommandKindCount; ++k)
    if (page.PropSets[static_cast<size_t>(k)].Any())
      out += std::string("propset ") + CommandKindName(k) + PropSetText(page.PropSets[static_cast<size_t>(k)]) + "\n";
  if (!page.Trailer.empty()) out += Cat({"trailer ", HexBlock(page.Trailer), "\n"});
  out += '\n';

  auto labelLines = [&](int32_t index, const std::string& indent) {
    auto it = labels.find(index);
    if (it != labels.end()) out += indent + it->second + ":\n";
  };
  for (int32_t i = 0; i < page.Count(); ++i) {
    TCommand& c = *page.Commands[static_cast<size_t>(i)];
    const bool spaces = c.Indent >= 0 && c.Indent <= 40;
    const std::string indent = spaces ? std::string(static_cast<size_t>(c.Indent) * 2, ' ') : std::string();
    labelLines(i, indent);

    FieldLister lister;
    c.DescribeFields(lister);
    size_t present = std::count_if(lister.fields.begin(), lister.fields.end(),
                                   [&](const FieldInfo& f) { return page.Version >= f.since; });
    FieldPrinter printer(page, selfTargets(c), present == 1 && !lister.hasProperties, labels);
    c.DescribeFields(printer);

    std::string line = indent + CommandKindName(static_cast<int>(c.Kind())) + printer.line;
    if (!spaces) line += Cat({" indent=", std::to_string(c.Indent)});
    if (c.Id != 0) line += Cat({" id=", std::to_string(c.Id)});
    if (c.Chain == 1) line += " chain";
    else if (c.Chain != 0) line += Cat({" chain=", std::to_string(c.Chain)});
    if (c.Disabled == 1) line += " disabled";
    else if (c.Disabled != 0) line += Cat({" disabled=", std::to_string(c.Disabled)});
    if (c.KindHighBit) line += " hibit";
    out += line + "\n";
    for (const std::string& p : printer.propertyLines) out += indent + "    " + p + "\n";
  }
  labelLines(page.Count(), "");
  return out;
}

void PageFromText(std::string_view utf8, TPage& page) {
  page.Clear();
  page.Version = kNewestScriptVersion;
  utf8 = WithoutBom(utf8);
  std::vector<PendingCommand> pending;
  std::map<std::string, int32_t> labels;
  std::set<int> explicitKinds;
  bool sawHeader = false;
  bool lastWasCommand = false;
  int lineNumber = 0;
  try {
    for (size_t start = 0; start <= utf8.size();) {
      size_t end = utf8.find('\n', start);
      if (end == std::string_view::npos) end = utf8.size();
      std::string_view line = utf8.substr(start, end - start);
      start = end + 1;
      ++lineNumber;
      if (!line.empty() && line.back() == '\r') line.remove_suffix(1);

      size_t spaces = 0;
      while (spaces < line.size() && line[spaces] == ' ') ++spaces;
      std::vector<TextItem> items = SplitLine(line, lineNumber);
      if (items.empty()) continue;
      if (spaces < line.size() && line[spaces] == '\t')
        throw TextError(lineNumber, "indent with spaces, two per level, not with tabs");

      const TextItem& first = items[0];
      if (!first.name.empty()) {
        if (!lastWasCommand) throw TextError(lineNumber, "'" + first.name + "=' continues no command");
        for (TextItem& item : items) pending.back().items.push_back({lineNumber, std::move(item)});
        continue;
      }
      if (first.value.kind != TextValue::kWord)
        throw TextError(lineNumber, "a line begins with a command kind, a label or a directive");
      const std::string& word = first.value.text;
      try {
        if (word == "page" || word == "propset" || word == "kindtable" || word == "trailer") {
          lastWasCommand = false;
          if (word == "page") {
            if (sawHeader || !pending.empty()) throw Error("the page line comes once, before the commands");
            sawHeader = true;
            ReadHeader(page, items);
          } else if (!pending.empty() && word != "trailer") {
            throw Error(word + " comes before the commands");
          } else if (word == "propset") {
            ReadPropSet(page, items, explicitKinds);
          } else if (word == "kindtable") {
            ReadKindTable(page, items);
          } else {
            if (items.size() != 2 || !items[1].name.empty() ||
                (items[1].value.kind != TextValue::kHex && items[1].value.kind != TextValue::kString))
              throw Error("trailer takes one hex{...}");
            page.Trailer = items[1].value.text;
          }
          continue;
        }
        size_t at = 0;
        if (word.size() > 1 && word.back() == ':') {
          std::string label = word.substr(0, word.size() - 1);
          if (!IsLabelName(label)) throw Error(FromUtf8("'" + label + "' cannot be a label name"));
          if (!labels.emplace(label, static_cast<int32_t>(pending.size())).second)
            throw Error(FromUtf8("the label " + label + " is defined twice"));
          lastWasCommand = false;
          if (items.size() == 1) continue;
          at = 1;
          if (!items[1].name.empty() || items[1].value.kind != TextValue::kWord)
            throw Error("a command kind must follow the label");
        }
        const std::string& kindWord = items[at].value.text;
        int kind = FindCommandKind(kindWord);
        if (kind < 0) throw Error(FromUtf8("unknown command kind '" + kindWord + "'"));
        if (spaces % 2) throw Error("indentation is two spaces per level");
        PendingCommand command{lineNumber, kind, static_cast<int>(spaces / 2), {}};
        for (size_t i = at + 1; i < items.size(); ++i) command.items.push_back({lineNumber, std::move(items[i])});
        pending.push_back(std::move(command));
        lastWasCommand = true;
      } catch (const Error& e) {
        throw AtLine(lineNumber, e);
      }
    }

    // Kinds without a propset line carry the properties their commands use.
    for (const PendingCommand& c : pending) {
      if (!HasPropertyRecord(c.kind) || explicitKinds.count(c.kind)) continue;
      for (const LineItem& li : c.items) {
        int p = li.item.name.empty() ? -1 : FindPropertyTextName(li.item.name);
        if (p >= 0) page.PropSets[static_cast<size_t>(c.kind)].Set(p);
      }
    }
    for (const PendingCommand& c : pending) {
      try {
        ApplyCommand(page, c, labels);
      } catch (const Error& e) {
        throw AtLine(c.line, e);
      }
    }
  } catch (...) {
    page.Clear();
    throw;
  }
}

}  // namespace orin
