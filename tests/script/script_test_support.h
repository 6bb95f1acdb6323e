// Helpers of the script tests: pages that hold every command kind with recognisable fields, and a
// dump of a command's fields for comparisons.
#pragma once

#include <string>

#include "core/cp932.h"
#include "core/text.h"
#include "resources/stream.h"
#include "script/command.h"
#include "script/commands_object.h"
#include "script/page.h"

namespace orin::test {

// Gives every field of a command its own value, derived from seed: expressions are compiled
// source, index fields point into the page, byte blocks and lists are non-empty. Fields that the
// page version lacks stay empty.
class FieldFiller final : public FieldVisitor {
 public:
  FieldFiller(int seed, int32_t version) : n_(seed * 100), version_(version) {}

  void Expr(const char*, CommandExpr& e, int32_t since) override {
    if (version_ < since) return;
    static const char* const kForms[] = {"x + %d", "\"s%d\"", "a[%d] == 2", "Length(\"ab\") * %d",
                                         "(b + %d) * c", "y = %d"};
    int k = n_++;
    e.Compile(Format(kForms[k % 6], k));
  }
  void String(const char*, std::string& s) override { s = Format("name%d", n_++); }
  void Int(const char*, int32_t& v, TargetRole role, int32_t since) override {
    if (version_ < since) return;
    v = role == TargetRole::kNone ? 7000 + n_++ : n_++ % 3;
  }
  void Byte(const char*, uint8_t& v) override { v = static_cast<uint8_t>(1 + n_++ % 4); }
  void ExprList(const char* name, std::vector<CommandExpr>& list) override {
    list.resize(2);
    Expr(name, list[0], 0);
    Expr(name, list[1], 0);
  }
  void Data(const char*, std::string& bytes) override {
    bytes = std::string("TpWord105\x01\x02\x00\xff", 13) + std::to_string(n_++);
  }
  void Properties(TComComponent& c) override {
    for (auto& p : c.Properties) Expr("p", p.Expr, 0);
  }

 private:
  int n_;
  int32_t version_;
};

// Every field of a command as text, header included.
class FieldDump final : public FieldVisitor {
 public:
  std::string out;

  void Expr(const char* name, CommandExpr& e, int32_t) override { Put(name, Hex(e.Record())); }
  void String(const char* name, std::string& s) override { Put(name, s); }
  void Int(const char* name, int32_t& v, TargetRole, int32_t) override { Put(name, std::to_string(v)); }
  void Byte(const char* name, uint8_t& v) override { Put(name, std::to_string(v)); }
  void ExprList(const char* name, std::vector<CommandExpr>& list) override {
    std::string all;
    for (auto& e : list) {
      all += Hex(e.Record());
      all += ';';
    }
    Put(name, all);
  }
  void Data(const char* name, std::string& bytes) override { Put(name, Hex(bytes)); }
  void Properties(TComComponent& c) override {
    for (auto& p : c.Properties) Put(Format("p%d", p.Number).c_str(), Hex(p.Expr.Record()));
  }

  static std::string Of(TCommand& c) {
    FieldDump d;
    d.out = Format("%s indent=%d disabled=%d chain=%d id=%d hibit=%d", CommandKindName(static_cast<int>(c.Kind())),
                   c.Indent, c.Disabled, c.Chain, c.Id, c.KindHighBit ? 1 : 0);
    c.DescribeFields(d);
    return d.out;
  }

 private:
  static std::string Hex(const std::string& bytes) {
    static const char* k = "0123456789abcdef";
    std::string h;
    for (unsigned char b : bytes) {
      h += k[b >> 4];
      h += k[b & 15];
    }
    return h;
  }
  void Put(const char* name, const std::string& v) {
    out += ' ';
    out += name;
    out += '=';
    out += v;
  }
};

// A page of the version with one command of every kind (kinds 0-60 in order, then, with two
// rounds, again in reverse), headers varied, and property sets for the object-creating kinds.
inline void BuildEveryKindPage(TPage& page, int32_t version, int rounds = 2) {
  page.Clear();
  page.Version = version;
  page.ReturnType = 3;
  for (int k = 0; k < kCommandKindCount; ++k) {
    if (!HasPropertyRecord(k)) continue;
    PropSet& set = page.PropSets[static_cast<size_t>(k)];
    for (int p : {0, 1, 2, 3, 4, 26, 47, 92, 161}) set.Set((p + k) % kPropertyCount);
  }
  for (int round = 0; round < rounds; ++round) {
    for (int i = 0; i < kCommandKindCount; ++i) {
      int k = round == 0 ? i : kCommandKindCount - 1 - i;
      TCommand& c = page.Add(k);
      int seed = round * kCommandKindCount + i;
      c.Indent = seed % 5;
      c.Disabled = seed % 7 == 0 ? 1 : 0;
      c.Chain = seed % 3 == 0 ? 1 : 0;
      c.Id = 1000 + seed;
      c.KindHighBit = seed % 11 == 0;
      FieldFiller filler(seed, version);
      c.DescribeFields(filler);
    }
  }
}

inline std::string PageBytes(const TPage& page) {
  MemoryStream s;
  page.SaveToStream(s);
  return std::string(s.View());
}

inline void LoadPageBytes(TPage& page, std::string_view bytes, PageMessages* messages = nullptr) {
  MemoryStream s;
  s.Assign(bytes);
  page.LoadFromStream(s, messages);
}

}  // namespace orin::test
