// Text-keyed hash maps: TStringHash (text to text) and TObjectHash (text to object).
// Keys are compared exactly (letter case counts); an empty key is refused on insertion.
#pragma once

#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

// Raised when a hash table is given an empty key to store.
class EHashError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

namespace hashes_detail {

inline void CheckKey(std::string_view key) {
  if (key.empty()) throw EHashError("Key cannot be an empty string");
}

// Open addressing with linear probing over a power-of-two array of (hash, entry) slots. The
// full hash is kept in the slot, so probing and growing never touch the entries themselves
// except to compare a key whose hash matched. Deletion shifts later slots back, so no
// tombstones build up.
template <class V>
class TextTable {
 public:
  struct Entry {
    std::string key;
    V value;
  };

  Entry* Find(std::string_view key) const {
    if (count_ == 0) return nullptr;
    const size_t h = Hash(key);
    for (size_t i = h & Mask();; i = (i + 1) & Mask()) {
      const Slot& s = slots_[i];
      if (!s.entry) return nullptr;
      if (s.hash == h && s.entry->key == key) return s.entry.get();
    }
  }

  // Inserts or replaces; returns the entry.
  Entry* Set(std::string_view key, V value) {
    if (Entry* e = Find(key)) {
      e->value = std::move(value);
      return e;
    }
    if ((count_ + 1) * 10 > slots_.size() * 7) Grow();
    const size_t h = Hash(key);
    size_t i = h & Mask();
    while (slots_[i].entry) i = (i + 1) & Mask();
    slots_[i].hash = h;
    slots_[i].entry.reset(new Entry{std::string(key), std::move(value)});
    ++count_;
    return slots_[i].entry.get();
  }

  bool Delete(std::string_view key) {
    if (count_ == 0) return false;
    const size_t h = Hash(key);
    size_t i = h & Mask();
    for (;; i = (i + 1) & Mask()) {
      if (!slots_[i].entry) return false;
      if (slots_[i].hash == h && slots_[i].entry->key == key) break;
    }
    // Free the entry only once the table is consistent again.
    std::unique_ptr<Entry> doomed = std::move(slots_[i].entry);
    --count_;
    for (size_t j = (i + 1) & Mask(); slots_[j].entry; j = (j + 1) & Mask()) {
      const size_t home = slots_[j].hash & Mask();
      // Slot j may move to the hole at i unless its home lies cyclically in (i, j].
      const bool stays = i <= j ? (i < home && home <= j) : (i < home || home <= j);
      if (stays) continue;
      slots_[i] = std::move(slots_[j]);
      i = j;
    }
    return true;
  }

  void Clear() {
    std::vector<Slot> doomed;
    doomed.swap(slots_);
    count_ = 0;
  }

  size_t Count() const { return count_; }

 private:
  struct Slot {
    size_t hash = 0;
    std::unique_ptr<Entry> entry;  // none: the slot is free
  };

  static size_t Hash(std::string_view key) { return std::hash<std::string_view>{}(key); }
  size_t Mask() const { return slots_.size() - 1; }

  void Grow() {
    std::vector<Slot> old;
    old.swap(slots_);
    slots_.resize(old.empty() ? 16 : old.size() * 2);
    for (Slot& s : old) {
      if (!s.entry) continue;
      size_t i = s.hash & Mask();
      while (slots_[i].entry) i = (i + 1) & Mask();
      slots_[i] = std::move(s);
    }
  }

  std::vector<Slot> slots_;
  size_t count_ = 0;
};

}  // namespace hashes_detail

// Text to text.
class TStringHash {
 public:
  // Inserts or replaces. Raises EHashError for an empty key.
  void Set(std::string_view key, std::string value) {
    hashes_detail::CheckKey(key);
    table_.Set(key, std::move(value));
  }
  // The value stored under key, or nullptr.
  const std::string* Find(std::string_view key) const {
    auto* e = table_.Find(key);
    return e ? &e->value : nullptr;
  }
  bool Exists(std::string_view key) const { return table_.Find(key) != nullptr; }
  // Removes the key; false when it was not present.
  bool Delete(std::string_view key) { return table_.Delete(key); }
  void Clear() { table_.Clear(); }
  size_t Count() const { return table_.Count(); }

 private:
  hashes_detail::TextTable<std::string> table_;
};

// Text to object. With Owning = true the table owns its objects (replacing, deleting or clearing
// frees them); otherwise it only refers to objects owned elsewhere.
template <class T, bool Owning = false>
class TObjectHash {
 public:
  using Stored = std::conditional_t<Owning, std::unique_ptr<T>, T*>;

  // Inserts or replaces (freeing the replaced object when owning). Raises EHashError for an
  // empty key; an owned object passed with an empty key is freed.
  T* Set(std::string_view key, Stored value) {
    hashes_detail::CheckKey(key);
    T* raw = Raw(value);
    table_.Set(key, std::move(value));
    return raw;
  }
  // The object stored under key, or nullptr.
  T* Find(std::string_view key) const {
    auto* e = table_.Find(key);
    return e ? Raw(e->value) : nullptr;
  }
  bool Exists(std::string_view key) const { return table_.Find(key) != nullptr; }
  // Removes the key (freeing the object when owning); false when it was not present.
  bool Delete(std::string_view key) { return table_.Delete(key); }
  void Clear() { table_.Clear(); }
  size_t Count() const { return table_.Count(); }

 private:
  static T* Raw(const Stored& v) {
    if constexpr (Owning)
      return v.get();
    else
      return v;
  }

  hashes_detail::TextTable<Stored> table_;
};
