// A table's header block: 256 bytes from a table-header block interface, items of 32 bits unless
// said otherwise.
//
//   0    table id
//   4    write counter, incremented by every WriteHeader
//   8    size of the header: 256
//   12   first-empty address of the table's record blocks
//   16   last auto-increment value handed out
//   20   last record sequence number handed out
//   24   first-empty address of the table's blob blocks
//   28   reserved (kept across restructuring)
//   32   reserved (kept across restructuring)
//   36   number of index slots in use
//   40   zero
//   48 + 6i  index slot i: u32 root node address, u16 number of levels
//
// The size is 48 + 6n rounded up to 256 and must be 256, so a table has at most 34 indexes.
#pragma once

#include <array>
#include <cstdint>

namespace zuz {

class TDiskMgr;

enum : int {
  thTableId = 0,
  thWriteCounter = 4,
  thHeaderSize = 8,
  thRecordFirstEmpty = 12,
  thLastAutoInc = 16,
  thLastSequence = 20,
  thBlobFirstEmpty = 24,
  thReserved1 = 28,
  thReserved2 = 32,
  thIndexCount = 36,
  thIndexSlots = 48,
};

class TTableHeader {
 public:
  static constexpr int kSize = 256;
  static constexpr int kMaxIndexes = 34;

  TTableHeader(TDiskMgr& disk, uint32_t tableId, int64_t address);

  // The header size for n index slots: 48 + 6n rounded up to a multiple of 256.
  static int HeaderSizeFor(int indexCount);
  // The bytes of a new header for the table and index count (8581 for more than 34 indexes).
  static std::array<uint8_t, kSize> NewHeaderBytes(uint32_t tableId, int indexCount);

  // Reads and checks the block (8451 when it is not this table's header).
  void ReadHeader();
  // Increments the write counter, then writes the block.
  void WriteHeader();

  // REQUIRES: the item lies within the header (8581 "Table header: The offset value is out of
  // range" otherwise). Setting a different value marks the header dirty.
  uint32_t DWord(int offset) const;
  void SetDWord(int offset, uint32_t value);
  uint16_t Word(int offset) const;
  void SetWord(int offset, uint16_t value);
  // REQUIRES: 0 <= slot < 34.
  uint32_t IndexRoot(int slot) const;
  uint16_t IndexLevels(int slot) const;
  void SetIndexSlot(int slot, uint32_t root, uint16_t levels);

  uint32_t TableId() const { return tableId_; }
  int64_t Address() const { return address_; }
  bool Dirty() const { return dirty_; }
  // True when the disk manager rolled back since the block was last read or written: what is in
  // memory may hold the rolled-back transaction's values, and is read again, never written.
  bool Outdated() const;
  const uint8_t* Data() const { return data_.data(); }

 private:
  TDiskMgr& disk_;
  uint32_t tableId_;
  int64_t address_;
  std::array<uint8_t, kSize> data_{};
  bool dirty_ = false;
  uint64_t rollbacks_ = 0;  // the disk manager's rollback count at the last read or write
};

}  // namespace zuz
