#include "params/db_table.h"

#include <gtest/gtest.h>

#include "core/cp932.h"
#include "core/error.h"
#include "params/custom_param.h"
#include "resources/stream.h"

namespace orin {
namespace {

// String and flag arrays, for key names, key values and sort directions.
struct Texts : TParamStr {
  Texts(std::initializer_list<const char*> items) {
    SetDims({static_cast<int32_t>(items.size())});
    int i = 0;
    for (const char* s : items) SetStrAt(i++, s);
  }
};

struct Flags : TParamFlag {
  Flags(std::initializer_list<bool> items) {
    SetDims({static_cast<int32_t>(items.size())});
    int i = 0;
    for (bool b : items) SetFlagAt(i++, b);
  }
};

TEST(TDBTable, FieldConversions) {
  TDBTable t("t", 0);
  ASSERT_EQ(t.AddField("i", kTypeInt, 0), 0);
  ASSERT_EQ(t.AddField("f", kTypeFloat, 0), 1);
  ASSERT_EQ(t.AddField("b", kTypeFlag, 0), 2);
  ASSERT_EQ(t.AddField("s", kTypeStr, 5), 3);
  EXPECT_EQ(t.Fields.RecordSize(), 4 + 10 + 1 + 6);
  t.Append();

  // Floats into integers round to the nearest integer, ties to even.
  const long double floats[] = {2.5L, 3.5L, -2.5L, 2.4999L, -0.5L, 1e30L};
  const int32_t rounded[] = {2, 4, -2, 2, 0, 0};
  for (size_t k = 0; k < std::size(floats); ++k) {
    int32_t v = -1;
    ASSERT_TRUE(t.SetFloat(0, 0, floats[k]));
    ASSERT_TRUE(t.GetInt(0, 0, v));
    EXPECT_EQ(v, rounded[k]) << static_cast<double>(floats[k]);
    ASSERT_TRUE(t.SetFloat(0, 1, floats[k]));
    ASSERT_TRUE(t.GetInt(0, 1, v));
    EXPECT_EQ(v, rounded[k]) << static_cast<double>(floats[k]);
  }

  struct TextCase {
    int field;
    const char* written;
    const char* asText;
    int32_t asInt;
    bool asFlag;
  };
  const TextCase texts[] = {
      {0, "12", "12", 12, true},       {0, "12abc", "0", 0, false}, {0, "$10", "16", 16, true},
      {1, "2.25", "2.25", 2, true},    {1, "x", "0", 0, false},     {2, "TRUE", "TRUE", 1, true},
      {2, "true", "FALSE", 0, false},  {2, "1", "FALSE", 0, false}, {3, "abcdefgh", "abcde", 0, false},
      {3, "42", "42", 42, false},      {3, "TRUE", "TRUE", 0, true},
  };
  for (const TextCase& c : texts) {
    std::string s;
    int32_t i = -1;
    bool b = !c.asFlag;
    ASSERT_TRUE(t.SetStr(0, c.field, c.written));
    ASSERT_TRUE(t.GetStr(0, c.field, s));
    ASSERT_TRUE(t.GetInt(0, c.field, i));
    ASSERT_TRUE(t.GetFlag(0, c.field, b));
    EXPECT_EQ(s, c.asText) << c.written;
    EXPECT_EQ(i, c.asInt) << c.written;
    EXPECT_EQ(b, c.asFlag) << c.written;
  }

  std::string s;
  long double f = 0;
  bool b = false;
  t.SetInt(0, 3, -12);
  t.GetStr(0, 3, s);
  EXPECT_EQ(s, "-12");
  t.SetFloat(0, 3, 1.5L);
  t.GetStr(0, 3, s);
  EXPECT_EQ(s, "1.5");
  t.SetFlag(0, 3, false);
  t.GetStr(0, 3, s);
  EXPECT_EQ(s, "FALSE");
  t.SetStr(0, 3, "2.5");
  t.GetFloat(0, 3, f);
  EXPECT_EQ(f, 2.5L);
  t.SetInt(0, 2, 5);
  t.GetFlag(0, 2, b);
  EXPECT_TRUE(b);
  t.SetFloat(0, 2, 0.0L);
  t.GetFlag(0, 2, b);
  EXPECT_FALSE(b);
  t.SetFlag(0, 1, true);
  t.GetFloat(0, 1, f);
  EXPECT_EQ(f, 1.0L);
  // The cut counts bytes, so it may split a double-byte character.
  t.SetStr(0, 3, FromUtf8("あいう"));
  t.GetStr(0, 3, s);
  EXPECT_EQ(s, FromUtf8("あい") + "\x82");

  // Indices out of range change nothing and answer false.
  int32_t untouched = 77;
  EXPECT_FALSE(t.GetInt(1, 0, untouched));
  EXPECT_FALSE(t.GetInt(0, 4, untouched));
  EXPECT_FALSE(t.GetInt(-1, 0, untouched));
  EXPECT_EQ(untouched, 77);
  EXPECT_FALSE(t.SetStr(0, -1, "x"));
  EXPECT_FALSE(t.SetIntByName("nope", 1));
  t.RecNo = -1;
  EXPECT_FALSE(t.SetIntByName("i", 1));
}

TEST(TDBTable, FieldsAndRecords) {
  TDBTable t("t", 0);
  EXPECT_EQ(t.AddField("a", kTypeInt, 0), 0);
  EXPECT_EQ(t.AddField("A", kTypeStr, 3), -1);  // names compare without case
  EXPECT_EQ(t.AddField("x", 0, 0), -1);
  EXPECT_EQ(t.AddField("x", 5, 0), -1);
  EXPECT_EQ(t.AddField("x", kTypeStr, -1), -1);
  EXPECT_EQ(t.Fields.Count(), 1);

  for (int i = 0; i < 3; ++i) {
    t.Append();
    t.SetIntByName("a", i + 1);
  }
  // A field added later grows every record with zeros; removing one keeps the others' values.
  EXPECT_EQ(t.AddField("s", kTypeStr, 4), 1);
  EXPECT_EQ(t.AddField("b", kTypeFlag, 0), 2);
  t.SetStr(1, 1, "abc");
  t.SetFlag(1, 2, true);
  std::string s;
  int32_t v = 0;
  bool flag = false;
  t.GetStr(0, 1, s);
  EXPECT_EQ(s, "");
  t.RemoveField(1);
  EXPECT_EQ(t.Fields.RecordSize(), 5);
  t.GetInt(1, 0, v);
  t.GetFlag(1, 1, flag);
  EXPECT_EQ(v, 2);
  EXPECT_TRUE(flag);

  // Navigation.
  EXPECT_EQ(t.RecNo, 2);
  EXPECT_FALSE(t.Next());
  EXPECT_TRUE(t.Prior());
  EXPECT_TRUE(t.First());
  EXPECT_FALSE(t.Prior());
  EXPECT_TRUE(t.Last());
  EXPECT_EQ(t.RecNo, 2);
  EXPECT_FALSE(t.SetRecNo(3));
  EXPECT_EQ(t.RecNo, 2);
  EXPECT_TRUE(t.SetRecNo(-5));
  EXPECT_EQ(t.RecNo, -1);
  EXPECT_FALSE(t.Next());
  EXPECT_FALSE(t.Prior());
  EXPECT_FALSE(t.Delete());

  // Deleting the last record makes the new last one current; deleting the only one leaves none.
  t.SetRecNo(2);
  EXPECT_TRUE(t.Delete());
  EXPECT_EQ(t.RecNo, 1);
  t.SetRecNo(0);
  EXPECT_TRUE(t.Delete());
  EXPECT_EQ(t.RecNo, 0);
  t.GetIntByName("a", v);
  EXPECT_EQ(v, 2);
  EXPECT_TRUE(t.Delete());
  EXPECT_EQ(t.RecNo, -1);
  EXPECT_EQ(t.RecordCount(), 0);
  EXPECT_FALSE(t.First());
}

TDBTable People() {
  TDBTable t("people", 0);
  t.AddField("name", kTypeStr, 20);
  t.AddField("age", kTypeInt, 0);
  t.AddField("score", kTypeFloat, 0);
  t.AddField("member", kTypeFlag, 0);
  const struct {
    const char* name;
    int age;
    long double score;
    bool member;
  } rows[] = {
      {"Alice", 30, 1.5L, true},  {"bob", 25, 2.5L, false}, {"ALICE", 41, 1.5L, false},
      {"Carol", 25, 0.5L, true},  {"Dave", 30, 2.5L, true},
  };
  for (const auto& r : rows) {
    t.Append();
    t.SetStrByName("name", r.name);
    t.SetIntByName("age", r.age);
    t.SetFloatByName("score", r.score);
    t.SetFlagByName("member", r.member);
  }
  return t;
}

std::vector<int> FindIn(const TDBTable& t, const TCustomParam* names, const TCustomParam* values,
                        bool ignoreCase = false, bool partial = false) {
  std::vector<int> found;
  t.Find(found, names, values, ignoreCase, partial);
  return found;
}

TEST(TDBTable, Find) {
  using List = std::vector<int>;
  const TDBTable t = People();
  const Texts name{"name"};
  EXPECT_EQ(FindIn(t, nullptr, nullptr), (List{0, 1, 2, 3, 4}));
  EXPECT_EQ(FindIn(t, &name, nullptr), (List{0, 1, 2, 3, 4}));
  const Texts alice{"Alice"};
  EXPECT_EQ(FindIn(t, &name, &alice), (List{0}));
  EXPECT_EQ(FindIn(t, &name, &alice, true), (List{0, 2}));
  const Texts li{"LI"};
  EXPECT_EQ(FindIn(t, &name, &li, false, true), (List{2}));
  EXPECT_EQ(FindIn(t, &name, &li, true, true), (List{0, 2}));

  // The key values' type decides the comparison.
  TParamInt ages;
  ages.SetDims({2});
  ages.SetIntAt(0, 30);
  ages.SetIntAt(1, 1);
  const Texts ageMember{"age", "member"};
  EXPECT_EQ(FindIn(t, &ageMember, &ages), (List{0, 4}));
  const Texts age{"age"};
  TParamFloat score;
  score.SetAsFloat(2.5L);
  const Texts scoreKey{"score"};
  EXPECT_EQ(FindIn(t, &scoreKey, &score), (List{1, 4}));
  TParamFlag member;
  member.SetAsFlag(false);
  const Texts memberKey{"MEMBER"};
  EXPECT_EQ(FindIn(t, &memberKey, &member), (List{1, 2}));
  // Text values against an integer field compare as text.
  const Texts twentyFive{"25"};
  EXPECT_EQ(FindIn(t, &age, &twentyFive), (List{1, 3}));
  // Only min(names, values) keys count.
  const Texts ageAndMore{"age", "nope"};
  TParamInt thirty;
  thirty.SetAsInt(30);
  EXPECT_EQ(FindIn(t, &ageAndMore, &thirty), (List{0, 4}));

  // A key name that is not a field ends the search at the first record that reaches it.
  const Texts ageNope{"age", "nope"};
  EXPECT_EQ(FindIn(t, &ageNope, &ages), List{});
  const Texts nopeFirst{"nope", "age"};
  EXPECT_EQ(FindIn(t, &nopeFirst, &ages), List{});
  TDBTable empty("e", 0);
  empty.AddField("age", kTypeInt, 0);
  EXPECT_EQ(FindIn(empty, &ageNope, &ages), List{});
}

TEST(TDBTable, SortWithMixedKeys) {
  auto names = [](const TDBTable& t) {
    std::string out;
    for (int i = 0; i < t.RecordCount(); ++i) {
      std::string s;
      t.GetStr(i, 0, s);
      if (i) out += ',';
      out += s;
    }
    return out;
  };
  struct Case {
    std::initializer_list<const char*> keys;
    std::initializer_list<bool> descending;
    const char* order;
  };
  const Case cases[] = {
      {{"age", "score"}, {false, false}, "Carol,bob,Alice,Dave,ALICE"},
      {{"age", "score"}, {true, true}, "ALICE,Dave,Alice,bob,Carol"},
      // Flags and texts are always ascending; the descending flag is ignored for them.
      {{"member", "age"}, {true, true}, "ALICE,bob,Alice,Dave,Carol"},
      {{"name"}, {true}, "ALICE,Alice,Carol,Dave,bob"},
      {{"nope", "score", "name"}, {false, true, false}, "Dave,bob,ALICE,Alice,Carol"},
      // Only min(keys, flags) keys: "name" is not used, ties keep their order.
      {{"score", "name"}, {false}, "Carol,Alice,ALICE,bob,Dave"},
  };
  for (const Case& c : cases) {
    TDBTable t = People();
    Texts keys(c.keys);
    Flags desc(c.descending);
    t.Sort(&keys, &desc);
    EXPECT_EQ(names(t), c.order) << *c.keys.begin();
  }
}

TEST(TDBTable, LoadTsvHeadersAndRecords) {
  TDBTable t("t", 0);
  t.AddField("old", kTypeInt, 0);
  t.Append();
  t.LoadTsv({
      "name\tage int\tscore float 10\tok bool\tmemo  str  3",
      "Al\\\"ice\t20\t1.5\tTRUE\tabcdef",
      "",
      "Bob\\\\\\n2\t-3",
      "Carol\tx\t2\tFALSE\tm\textra",
      FromUtf8("ソ\\n\t7"),
  });
  ASSERT_EQ(t.Fields.Count(), 5);
  const uint8_t types[] = {kTypeStr, kTypeInt, kTypeFloat, kTypeFlag, kTypeStr};
  const int32_t sizes[] = {81, 4, 10, 1, 4};
  for (int i = 0; i < 5; ++i) {
    EXPECT_EQ(t.Fields[i].FieldType, types[i]) << i;
    EXPECT_EQ(t.Fields[i].Size, sizes[i]) << i;
  }
  ASSERT_EQ(t.RecordCount(), 4);
  auto text = [&](int r, int f) {
    std::string s;
    t.GetStr(r, f, s);
    return s;
  };
  EXPECT_EQ(text(0, 0), "Al\"ice");
  EXPECT_EQ(text(0, 4), "abc");
  EXPECT_EQ(text(0, 3), "TRUE");
  EXPECT_EQ(text(1, 0), "Bob\\\r\n2");
  EXPECT_EQ(text(1, 1), "-3");
  EXPECT_EQ(text(1, 2), "0");  // columns beyond the line stay zero
  EXPECT_EQ(text(2, 1), "0");
  EXPECT_EQ(text(2, 4), "m");
  // The trail byte of "ソ" is not an escape.
  EXPECT_EQ(text(3, 0), FromUtf8("ソ") + "\r\n");
  EXPECT_EQ(text(3, 1), "7");

  struct Header {
    const char* line;
    std::vector<std::pair<uint8_t, int32_t>> fields;  // type and size
  };
  const Header headers[] = {
      {"a int", {{kTypeInt, 4}}},
      {"a float 10", {{kTypeFloat, 10}}},
      {"a", {{kTypeStr, 81}}},
      {"a text", {{kTypeStr, 81}}},
      {"a str 12", {{kTypeStr, 13}}},
      {"a str x", {{kTypeStr, 81}}},
      {"a Int", {{kTypeStr, 81}}},
      {"a bool\tb str 0", {{kTypeFlag, 1}, {kTypeStr, 1}}},
      {"a int\ta str", {{kTypeInt, 4}}},  // a repeated name is not added
      {"a int\t\tb", {}},                  // an empty column clears the fields
      {"a int\t  \tb", {}},
      {"", {}},
  };
  for (const Header& h : headers) {
    TDBTable table("h", 0);
    table.LoadTsv({h.line, "1\t2"});
    std::vector<std::pair<uint8_t, int32_t>> fields;
    for (int i = 0; i < table.Fields.Count(); ++i)
      fields.emplace_back(table.Fields[i].FieldType, table.Fields[i].Size);
    EXPECT_EQ(fields, h.fields) << h.line;
    EXPECT_EQ(table.RecordCount(), h.fields.empty() ? 0 : 1) << h.line;
  }
}

TEST(TDBTable, StreamRoundTripAndDamage) {
  TDBTable t = People();
  t.Kind = 1;
  t.SetRecNo(3);
  MemoryStream s;
  t.SaveToStream(s);
  const std::string bytes(s.View());

  TDBTable loaded("", 0);
  s.SetPosition(0);
  loaded.LoadFromStream(s, 100);
  EXPECT_EQ(s.Remaining(), 0);
  EXPECT_EQ(loaded.Name, "people");
  EXPECT_EQ(loaded.Kind, 1);
  EXPECT_EQ(loaded.RecNo, 3);
  EXPECT_TRUE(loaded.Fields == t.Fields);
  MemoryStream again;
  loaded.SaveToStream(again);
  EXPECT_EQ(again.View(), bytes);

  // Layout: name, kind, field count, then per field size, name, type.
  EXPECT_EQ(bytes.substr(0, 4), std::string("\x06\0\0\0", 4));
  EXPECT_EQ(bytes.substr(4, 6), "people");
  EXPECT_EQ(bytes[10], '\x01');
  EXPECT_EQ(bytes.substr(11, 4), std::string("\x04\0\0\0", 4));
  EXPECT_EQ(bytes.substr(15, 4), std::string("\x15\0\0\0", 4));  // name: 20 + 1

  auto load = [](std::string data) {
    MemoryStream m;
    m.Assign(data);
    TDBTable table("x", 0);
    table.LoadFromStream(m, 100);
    return table;
  };
  // A stored RecNo outside the records reads as none.
  std::string outside = bytes;
  outside.replace(outside.size() - 4, 4, std::string("\x09\0\0\0", 4));
  EXPECT_EQ(load(outside).RecNo, -1);
  // Truncated records, a field whose size does not fit its type, a huge count.
  EXPECT_THROW(load(bytes.substr(0, bytes.size() - 10)), Error);
  std::string badSize = bytes;
  badSize[15] = '\x00';
  EXPECT_THROW(load(badSize), Error);
  std::string intSize = bytes;
  const size_t ageSize = 15 + 4 + 4 + 4 + 1;  // after the first field: size of "age"
  ASSERT_EQ(intSize.substr(ageSize, 4), std::string("\x04\0\0\0", 4));
  intSize[ageSize] = '\x03';
  EXPECT_THROW(load(intSize), Error);
  std::string manyFields = bytes;
  manyFields.replace(11, 4, std::string("\xff\xff\xff\x7f", 4));
  EXPECT_THROW(load(manyFields), Error);
}

}  // namespace
}  // namespace orin
