// The global header: 128 bytes at file offset 1024, items of 32 bits addressed by byte offset.
//
//   0-15    zero
//   16      address of a map page known to have free entries (0 = none known)
//   20      address of the first map page
//   24      number of map pages
//   28      first-empty address of the user table-header blocks
//   32      first-empty address of the system table-header blocks
//   36      first-empty address shared by all index-node interfaces
//   40      change counter: raised by every commit that wrote, in the commit's own journaled
//           write (0 follows 0xFFFFFFFF as 1); 0 in a file no program has committed to since
//   44-127  zero
#pragma once

#include <array>
#include <cstdint>

namespace zuz {

enum : int {
  ghFreeMapPage = 16,
  ghFirstMapPage = 20,
  ghMapPageCount = 24,
  ghUserTableHeaderFirstEmpty = 28,
  ghSystemTableHeaderFirstEmpty = 32,
  ghIndexFirstEmpty = 36,
  ghChangeCounter = 40,
};

class TGlobalHdr {
 public:
  static constexpr int kSize = 128;
  static constexpr int64_t kFileOffset = 1024;

  // REQUIRES: 0 < offset <= 124 ("DB Header. Item offset is out of range", 8581, otherwise).
  uint32_t Item(int offset) const;
  // Marks the header dirty when the value changes.
  void SetItem(int offset, uint32_t value);

  bool Dirty() const { return dirty_; }
  void ClearDirty() { dirty_ = false; }
  const uint8_t* Data() const { return data_.data(); }
  // Replaces the bytes (as read from the file) and clears the dirty flag.
  void Load(const uint8_t* bytes);
  void Clear();

 private:
  std::array<uint8_t, kSize> data_{};
  bool dirty_ = false;
};

}  // namespace zuz
