// The read-ahead buffer of a table dataset: key entries and record addresses copied from an
// index leaf in key order, each with its record number and, once the dataset has read it, the
// record image. Items are looked up by record address or record number. The buffer covers a
// window of 10,000 record numbers from its first item and is emptied by every add and delete of
// a record.
#pragma once

#include <cstdint>
#include <span>
#include <unordered_map>
#include <vector>

namespace zuz {

struct TReadAheadItem {
  std::vector<uint8_t> Key;  // a copy of the key entry
  uint32_t RecordAddress = 0;
  int64_t RecNo = 0;            // 1-based position in the index order
  std::vector<uint8_t> Record;  // the record image, empty until set
};

class TReadAheadBuffer {
 public:
  static constexpr int64_t kWindow = 10'000;

  void Clear();
  // Appends the next item in key order. REQUIRES: recNo one above the last item's and an address
  // not held yet (8581 "Read ahead buffer recno's are out of sync" / "... has duplicate records").
  void Add(const uint8_t* key, int keySize, uint32_t address, int64_t recNo);
  // Stores the record image of an item; false when no item has the address.
  bool SetRecord(uint32_t address, std::span<const uint8_t> image);

  const TReadAheadItem* FindByAddress(uint32_t address) const;
  const TReadAheadItem* FindByRecNo(int64_t recNo) const;
  // Whether the record number lies in the window that starts at the first item.
  bool InWindow(int64_t recNo) const;

  bool Empty() const { return items_.empty(); }
  int Count() const { return static_cast<int>(items_.size()); }
  const std::vector<TReadAheadItem>& Items() const { return items_; }

 private:
  std::vector<TReadAheadItem> items_;
  std::unordered_map<uint32_t, size_t> byAddress_;
};

}  // namespace zuz
