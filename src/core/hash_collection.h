// THashCollection / THashCollectionItem: an owning, ordered collection of named items with
// case-insensitive hashed lookup. Archives, variables and the image cache are built on it.
//
// Lookup semantics, which scripts can observe:
//   * 256 buckets; the bucket of a name is BucketOf(name) below.
//   * A new item, or one whose name changes, goes to the head of its bucket's chain, so walking a
//     chain meets the newest item first and among equal names the one added later wins.
//   * Names compare case-insensitively with the cp932-aware rule of core/cp932.h.
// The bucket function is weak (length and two bytes), so chains can be long; each item keeps its
// folded name and a 64-bit digest of it so that walking a chain costs one integer compare per
// item that cannot match.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace orin {

class THashCollection;

class THashCollectionItem {
 public:
  THashCollectionItem() = default;
  explicit THashCollectionItem(std::string name) : name_(std::move(name)) {}
  virtual ~THashCollectionItem() = default;
  THashCollectionItem(const THashCollectionItem&) = delete;
  THashCollectionItem& operator=(const THashCollectionItem&) = delete;

  const std::string& Name() const { return name_; }
  // Renames the item; inside a collection it moves to the head of its new bucket's chain.
  void SetName(std::string name);

  int Bucket() const { return bucket_; }            // -1 while not in a collection
  int CachedIndex() const { return cachedIndex_; }  // position in the collection
  // The next (older) item of the same bucket chain, or null.
  THashCollectionItem* NextInChain() const { return next_; }
  // True when this item's name equals name case-insensitively; key and digest come from
  // THashCollection::MakeKey.
  bool KeyEquals(std::string_view key, uint64_t digest) const { return digest_ == digest && key_ == key; }

 private:
  friend class THashCollection;
  std::string name_;
  std::string key_;  // name_ upper-cased
  uint64_t digest_ = 0;
  int bucket_ = -1;
  int cachedIndex_ = -1;
  THashCollectionItem* prev_ = nullptr;
  THashCollectionItem* next_ = nullptr;
  THashCollection* owner_ = nullptr;
};

class THashCollection {
 public:
  THashCollection() = default;
  virtual ~THashCollection();
  THashCollection(const THashCollection&) = delete;
  THashCollection& operator=(const THashCollection&) = delete;

  // The bucket of a name: lower-case it; with n its length in bytes, h = n * 16, plus (n >= 2)
  // its second-to-last byte and its first byte; h mod 256.
  static int BucketOf(std::string_view name);
  // The folded key and its digest, for repeated lookups with KeyEquals.
  static std::string MakeKey(std::string_view name);
  static uint64_t DigestOf(std::string_view key);
  // MakeKey and BucketOf in one pass: the key into *key, the bucket as the result.
  static int MakeKeyAndBucket(std::string_view name, std::string* key);

  int Count() const { return static_cast<int>(items_.size()); }
  THashCollectionItem& Item(int index) { return *items_[static_cast<size_t>(index)]; }
  const THashCollectionItem& Item(int index) const { return *items_[static_cast<size_t>(index)]; }

  // Position of the newest item whose name equals name case-insensitively, else -1.
  int IndexOf(std::string_view name) const;
  THashCollectionItem* Find(std::string_view name) const;
  // Head of the chain that a name hashes to (newest item first), for scope rules that walk it.
  THashCollectionItem* ChainHead(std::string_view name) const { return heads_[BucketOf(name)]; }
  THashCollectionItem* ChainHeadAt(int bucket) const { return heads_[bucket & 255]; }

  // Appends an item (its name already set) and hashes it; returns it.
  THashCollectionItem& AddItem(std::unique_ptr<THashCollectionItem> item);
  // Frees the item at index; later items' CachedIndex move down by one.
  void Delete(int index);
  // Removes the item at index without freeing it.
  std::unique_ptr<THashCollectionItem> Extract(int index);
  void Clear();
  void Reserve(size_t n) { items_.reserve(n); }

 private:
  friend class THashCollectionItem;
  void Link(THashCollectionItem& item);
  void Unlink(THashCollectionItem& item);

  std::vector<std::unique_ptr<THashCollectionItem>> items_;
  THashCollectionItem* heads_[256] = {};
};

// A collection whose items are all of type T; typed access without casts at the call sites.
template <class T>
class THashCollectionOf : public THashCollection {
 public:
  T& operator[](int index) { return static_cast<T&>(Item(index)); }
  const T& operator[](int index) const { return static_cast<const T&>(Item(index)); }
  T* FindItem(std::string_view name) const { return static_cast<T*>(Find(name)); }
  T& Add(std::unique_ptr<T> item) { return static_cast<T&>(AddItem(std::move(item))); }
};

}  // namespace orin
