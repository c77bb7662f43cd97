// Text-keyed hash maps: TStringHash (text to text) and TObjectHash (text to object).
// Keys are compared exactly (letter case counts); an empty key is refused on insertion.
#pragma once

#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <type_traits>
#include <unordered_map>

// Raised when a hash table is given an empty key to store.
class EHashError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

namespace hashes_detail {

struct TextHash {
  using is_transparent = void;
  size_t operator()(std::string_view s) const noexcept { return std::hash<std::string_view>{}(s); }
};

inline void CheckKey(std::string_view key) {
  if (key.empty()) throw EHashError("Key cannot be an empty string");
}

}  // namespace hashes_detail

// Text to text.
class TStringHash {
 public:
  // Inserts or replaces. Raises EHashError for an empty key.
  void Set(std::string_view key, std::string value) {
    hashes_detail::CheckKey(key);
    auto it = map_.find(key);
    if (it != map_.end())
      it->second = std::move(value);
    else
      map_.emplace(std::string(key), std::move(value));
  }
  // The value stored under key, or nullptr.
  const std::string* Find(std::string_view key) const {
    auto it = map_.find(key);
    return it == map_.end() ? nullptr : &it->second;
  }
  bool Exists(std::string_view key) const { return map_.find(key) != map_.end(); }
  // Removes the key; false when it was not present.
  bool Delete(std::string_view key) {
    auto it = map_.find(key);
    if (it == map_.end()) return false;
    map_.erase(it);
    return true;
  }
  void Clear() { map_.clear(); }
  size_t Count() const { return map_.size(); }

 private:
  std::unordered_map<std::string, std::string, hashes_detail::TextHash, std::equal_to<>> map_;
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
    auto it = map_.find(key);
    if (it != map_.end())
      it->second = std::move(value);
    else
      map_.emplace(std::string(key), std::move(value));
    return raw;
  }
  // The object stored under key, or nullptr.
  T* Find(std::string_view key) const {
    auto it = map_.find(key);
    return it == map_.end() ? nullptr : Raw(it->second);
  }
  bool Exists(std::string_view key) const { return map_.find(key) != map_.end(); }
  // Removes the key (freeing the object when owning); false when it was not present.
  bool Delete(std::string_view key) {
    auto it = map_.find(key);
    if (it == map_.end()) return false;
    map_.erase(it);
    return true;
  }
  void Clear() { map_.clear(); }
  size_t Count() const { return map_.size(); }

 private:
  static T* Raw(const Stored& v) {
    if constexpr (Owning)
      return v.get();
    else
      return v;
  }

  std::unordered_map<std::string, Stored, hashes_detail::TextHash, std::equal_to<>> map_;
};

