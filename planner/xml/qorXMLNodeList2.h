// The owning lists of the XML tree: a node's children and its attributes.
#pragma once

#include <memory>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

// Raised for a list position outside the list: "List index out of bounds (N)".
class EListError : public std::out_of_range {
 public:
  explicit EListError(long long index)
      : std::out_of_range("List index out of bounds (" + std::to_string(index) + ")") {}
};

// An owning list: clearing or destroying it frees every item.
template <class T>
class TqorXMLNodeList2 {
 public:
  int Count() const { return static_cast<int>(items_.size()); }
  // The item at a 0-based position; raises EListError outside 0..Count()-1.
  T* Item(int index) const {
    Check(index);
    return items_[static_cast<size_t>(index)].get();
  }
  // Appends the item and takes ownership of it.
  T* Add(std::unique_ptr<T> item) {
    items_.push_back(std::move(item));
    return items_.back().get();
  }
  // Position of the item, -1 when it is not in the list.
  int IndexOf(const T* item) const {
    for (size_t i = 0; i < items_.size(); ++i)
      if (items_[i].get() == item) return static_cast<int>(i);
    return -1;
  }
  // Removes and frees the item at a position; raises EListError outside the list (and then
  // changes nothing).
  void Delete(int index) {
    Check(index);
    // Take the item out before freeing it, so that the list is consistent while it is freed.
    std::unique_ptr<T> doomed = std::move(items_[static_cast<size_t>(index)]);
    items_.erase(items_.begin() + index);
  }
  // Swaps two positions; raises EListError for a position outside the list.
  void Exchange(int i, int j) {
    Check(i);
    Check(j);
    std::swap(items_[static_cast<size_t>(i)], items_[static_cast<size_t>(j)]);
  }
  // Frees every item, last first.
  void Clear() {
    while (!items_.empty()) {
      std::unique_ptr<T> doomed = std::move(items_.back());
      items_.pop_back();
    }
  }

  auto begin() const { return items_.begin(); }
  auto end() const { return items_.end(); }

 private:
  void Check(int index) const {
    if (index < 0 || static_cast<size_t>(index) >= items_.size()) throw EListError(index);
  }

  std::vector<std::unique_ptr<T>> items_;
};
