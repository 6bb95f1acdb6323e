#include "core/hash_collection.h"

#include "core/cp932.h"

namespace orin {

void THashCollectionItem::SetName(std::string name) {
  if (owner_) {
    THashCollection* owner = owner_;
    owner->Unlink(*this);
    name_ = std::move(name);
    owner->Link(*this);
  } else {
    name_ = std::move(name);
  }
}

THashCollection::~THashCollection() { Clear(); }

namespace {

// The upper-cased key and the bucket in one pass; the bucket wants the lower-cased bytes at 0
// and n-2, which differ from the key's only where a single-byte letter was folded.
int KeyAndBucket(std::string_view name, std::string* key) {
  size_t n = name.size();
  uint32_t h = static_cast<uint32_t>(n) * 16;
  if (key) key->assign(name);
  uint8_t first = 0, secondLast = 0;
  for (size_t i = 0; i < n;) {
    size_t len = CharLength(name, i);
    auto b = static_cast<uint8_t>(name[i]);
    if (len == 1) {
      uint8_t lower = (b >= 'A' && b <= 'Z') ? static_cast<uint8_t>(b + 32) : b;
      if (key && b >= 'a' && b <= 'z') (*key)[i] = static_cast<char>(b - 32);
      if (i == 0) first = lower;
      if (i + 2 == n) secondLast = lower;
    } else {
      if (i == 0) first = b;
      if (i + 2 == n) secondLast = b;
      if (i + 1 + 2 == n) secondLast = static_cast<uint8_t>(name[i + 1]);
    }
    i += len;
  }
  if (n >= 2) h += secondLast + first;
  return static_cast<int>(h % 256);
}

}  // namespace

int THashCollection::BucketOf(std::string_view name) { return KeyAndBucket(name, nullptr); }

std::string THashCollection::MakeKey(std::string_view name) { return UpperCase(name); }

int THashCollection::MakeKeyAndBucket(std::string_view name, std::string* key) { return KeyAndBucket(name, key); }

uint64_t THashCollection::DigestOf(std::string_view key) {
  uint64_t h = 1469598103934665603ull;  // FNV-1a
  for (char c : key) h = (h ^ static_cast<uint8_t>(c)) * 1099511628211ull;
  return h;
}

int THashCollection::IndexOf(std::string_view name) const {
  const THashCollectionItem* item = Find(name);
  return item ? item->cachedIndex_ : -1;
}

THashCollectionItem* THashCollection::Find(std::string_view name) const {
  std::string key;
  int bucket = KeyAndBucket(name, &key);
  uint64_t digest = DigestOf(key);
  for (THashCollectionItem* p = heads_[bucket]; p; p = p->next_)
    if (p->KeyEquals(key, digest)) return p;
  return nullptr;
}

void THashCollection::Link(THashCollectionItem& item) {
  item.bucket_ = KeyAndBucket(item.name_, &item.key_);
  item.digest_ = DigestOf(item.key_);
  item.owner_ = this;
  item.prev_ = nullptr;
  item.next_ = heads_[item.bucket_];
  if (item.next_) item.next_->prev_ = &item;
  heads_[item.bucket_] = &item;
}

void THashCollection::Unlink(THashCollectionItem& item) {
  if (item.prev_)
    item.prev_->next_ = item.next_;
  else if (item.bucket_ >= 0)
    heads_[item.bucket_] = item.next_;
  if (item.next_) item.next_->prev_ = item.prev_;
  item.prev_ = item.next_ = nullptr;
  item.bucket_ = -1;
  item.owner_ = nullptr;
}

THashCollectionItem& THashCollection::AddItem(std::unique_ptr<THashCollectionItem> item) {
  THashCollectionItem& ref = *item;
  ref.cachedIndex_ = Count();
  items_.push_back(std::move(item));
  Link(ref);
  return ref;
}

std::unique_ptr<THashCollectionItem> THashCollection::Extract(int index) {
  auto pos = items_.begin() + index;
  std::unique_ptr<THashCollectionItem> item = std::move(*pos);
  Unlink(*item);
  item->cachedIndex_ = -1;
  items_.erase(pos);
  for (size_t i = static_cast<size_t>(index); i < items_.size(); ++i)
    items_[i]->cachedIndex_ = static_cast<int>(i);
  return item;
}

void THashCollection::Delete(int index) { Extract(index); }

void THashCollection::Clear() {
  // Newest first, as lists that own their items free them in reverse order of creation.
  while (!items_.empty()) {
    items_.back()->owner_ = nullptr;
    items_.pop_back();
  }
  for (auto& h : heads_) h = nullptr;
}

}  // namespace orin
