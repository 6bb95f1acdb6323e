#include "core/hash_collection.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace orin {
namespace {

TEST(THashCollection, BucketOfFormula) {
  // h = n * 16 + (n >= 2 ? lower(name)[n-2] + lower(name)[0] : 0), mod 256; only single-byte letters
  // are lowered.
  struct Case {
    std::string name;
    int bucket;
  };
  const std::vector<Case> cases = {
      {"", 0},
      {"a", 16},
      {"Z", 16},
      {"ab", (32 + 'a' + 'a') % 256},
      {"AB", (32 + 'a' + 'a') % 256},
      {"abc", (48 + 'b' + 'a') % 256},
      {"ABC", (48 + 'b' + 'a') % 256},
      {"Data\\bg.mur", (11 * 16 + 'u' + 'd') % 256},
      // ア = 0x83 0x41: its trail byte is an "A" that must not be lowered.
      {"\x83\x41" "a", (48 + 0x41 + 0x83) % 256},  // second-to-last byte is the trail 0x41
      {"A\x83\x41", (48 + 0x83 + 'a') % 256},      // second-to-last byte is the lead 0x83
      {"\x83\x41", (32 + 0x83 + 0x83) % 256},
      {"\x83\x41\x83\x41", (64 + 0x83 + 0x83) % 256},
      {"x\x83\x41Q", (64 + 0x41 + 'x') % 256},
      {std::string(20, 'K'), (320 + 'k' + 'k') % 256},
  };
  for (const auto& c : cases) EXPECT_EQ(THashCollection::BucketOf(c.name), c.bucket) << testing::PrintToString(c.name);
}

class Named : public THashCollectionItem {
 public:
  Named(std::string name, int tag) : THashCollectionItem(std::move(name)), Tag(tag) {}
  int Tag;
};

class Collection : public THashCollectionOf<Named> {
 public:
  Named& Put(std::string name, int tag) { return Add(std::make_unique<Named>(std::move(name), tag)); }
  int TagOf(std::string_view name) const {
    Named* n = FindItem(name);
    return n ? n->Tag : -1;
  }
  // Names along the chain that name hashes to, newest first.
  std::vector<std::string> Chain(std::string_view name) const {
    std::vector<std::string> r;
    for (auto* p = ChainHead(name); p; p = p->NextInChain()) r.push_back(p->Name());
    return r;
  }
};

TEST(THashCollection, LaterAddedWinsAmongEqualNames) {
  Collection c;
  c.Put("foo", 0);
  c.Put("bar", 1);
  c.Put("FOO", 2);
  EXPECT_EQ(c.IndexOf("Foo"), 2);
  EXPECT_EQ(c.TagOf("foo"), 2);
  c.Delete(2);
  EXPECT_EQ(c.IndexOf("fOO"), 0);
  EXPECT_EQ(c.IndexOf("baz"), -1);
  EXPECT_EQ(c.Find("baz"), nullptr);
}

TEST(THashCollection, CaseInsensitiveOnlyForSingleByteLetters) {
  Collection c;
  c.Put("Data\\\x83\x41.txt", 0);  // Data\ア.txt
  EXPECT_EQ(c.IndexOf("DATA\\\x83\x41.TXT"), 0);
  EXPECT_EQ(c.IndexOf("data\\\x83\x61.txt"), -1);  // ャ-like trail byte: another name
  c.Put("\xB1", 1);                               // half-width ｱ is no letter
  EXPECT_EQ(c.IndexOf("\xB1"), 1);
  EXPECT_EQ(c.IndexOf("\xD1"), -1);
}

TEST(THashCollection, DeleteKeepsCachedIndexCurrent) {
  Collection c;
  for (int i = 0; i < 6; ++i) c.Put("item" + std::to_string(i), i);
  c.Delete(1);
  c.Delete(3);  // item4
  ASSERT_EQ(c.Count(), 4);
  const std::vector<std::string> left = {"item0", "item2", "item3", "item5"};
  for (int i = 0; i < c.Count(); ++i) {
    EXPECT_EQ(c[i].Name(), left[static_cast<size_t>(i)]);
    EXPECT_EQ(c[i].CachedIndex(), i);
    EXPECT_EQ(c.IndexOf(left[static_cast<size_t>(i)]), i);
  }
  EXPECT_EQ(c.IndexOf("item1"), -1);
  EXPECT_EQ(c.IndexOf("item4"), -1);
  c.Delete(0);
  c.Delete(c.Count() - 1);
  EXPECT_EQ(c.IndexOf("item2"), 0);
  EXPECT_EQ(c.IndexOf("item3"), 1);
}

TEST(THashCollection, ChainOrderIsNewestFirst) {
  Collection c;
  // Two-byte names hash by their first byte only, so these share one bucket.
  c.Put("ab", 0);
  c.Put("ac", 1);
  c.Put("x", 2);
  c.Put("AD", 3);
  ASSERT_EQ(THashCollection::BucketOf("ab"), THashCollection::BucketOf("AD"));
  EXPECT_EQ(c.Chain("ab"), (std::vector<std::string>{"AD", "ac", "ab"}));
  c.Delete(1);
  EXPECT_EQ(c.Chain("ab"), (std::vector<std::string>{"AD", "ab"}));
  EXPECT_EQ(c.Chain("x"), (std::vector<std::string>{"x"}));
  EXPECT_EQ(c[0].Bucket(), THashCollection::BucketOf("ab"));
}

TEST(THashCollection, SetNameRehashesToTheHeadOfItsChain) {
  Collection c;
  Named& first = c.Put("old", 0);
  c.Put("ya", 1);
  c.Put("yb", 2);
  // "yc" shares the bucket of "ya" and "yb"; renamed, the oldest item becomes the head.
  first.SetName("YC");
  EXPECT_EQ(c.Chain("ya"), (std::vector<std::string>{"YC", "yb", "ya"}));
  EXPECT_EQ(c.IndexOf("old"), -1);
  EXPECT_EQ(c.IndexOf("yc"), 0);
  EXPECT_EQ(first.Bucket(), THashCollection::BucketOf("yc"));
  EXPECT_EQ(first.CachedIndex(), 0);

  // Renamed to a name that an item added later also bears: the renamed one now wins.
  first.SetName("yb");
  EXPECT_EQ(c.IndexOf("YB"), 0);
  EXPECT_EQ(c.Chain("ya"), (std::vector<std::string>{"yb", "yb", "ya"}));
  EXPECT_EQ(c[0].Tag, 0);
}

TEST(THashCollection, ExtractAndClear) {
  Collection c;
  c.Put("a", 0);
  c.Put("b", 1);
  c.Put("c", 2);
  auto b = c.Extract(1);
  EXPECT_EQ(b->Name(), "b");
  EXPECT_EQ(b->Bucket(), -1);
  EXPECT_EQ(c.IndexOf("b"), -1);
  EXPECT_EQ(c.IndexOf("c"), 1);
  b->SetName("renamed outside");  // no collection to tell
  EXPECT_EQ(c.IndexOf("renamed outside"), -1);
  c.Add(std::unique_ptr<Named>(static_cast<Named*>(b.release())));
  EXPECT_EQ(c.IndexOf("RENAMED OUTSIDE"), 2);
  c.Clear();
  EXPECT_EQ(c.Count(), 0);
  EXPECT_EQ(c.IndexOf("a"), -1);
  EXPECT_EQ(c.ChainHead("a"), nullptr);
  c.Put("a", 5);
  EXPECT_EQ(c.TagOf("A"), 5);
}

}  // namespace
}  // namespace orin
