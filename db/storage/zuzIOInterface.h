// Storage interfaces: fixed-size blocks for one owner (table id x 16 + usage), carved out of
// pages allocated from the map.
//
// Blocks smaller than a page come in groups of GetBestPageRequestSize(block size, page size)
// bytes; a group's blocks lie at group start, + B, + 2B, ... as far as they fit.
// Free blocks form a singly linked list of runs; the first block of a run is its header:
//   0    8   zero
//   8    u32 address of the next run (0 = last)
//   12   u32 number of contiguous free blocks in the run, the header block included
// The other bytes of a free block, and the other blocks of the run, are zero. The address of the
// first run (the first-empty address) lives in the global header for global interfaces, or in
// the table header for table interfaces.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

namespace zuz {

class TDiskMgr;
class TTableHeader;

class TBaseIOInterface {
 public:
  virtual ~TBaseIOInterface() = default;

  virtual void Open() = 0;
  virtual void Close() = 0;
  // Frees every block of the interface.
  virtual void Empty() = 0;
  // A block for size bytes (size <= block size) holding the data (zeros when null).
  virtual int64_t AllocateNewAddress(int64_t size, const void* data) = 0;
  virtual void ReleaseBlock(int64_t address, int64_t size) = 0;
  virtual void WriteBlock(int64_t address, int64_t size, const void* data) = 0;
  virtual void ReadBlock(int64_t address, int64_t size, void* buffer) = 0;
  // The first n bytes of a block (n <= block size).
  virtual void WriteBlockHeader(int64_t address, int64_t n, const void* data) = 0;
  virtual void ReadBlockHeader(int64_t address, int64_t n, void* buffer) = 0;
  // Every block of the interface, free ones included, in map order.
  virtual std::vector<int64_t> ListBlocks() = 0;

  // The block's bytes where they lie in a page cache, valid until the next transfer; null when
  // the interface can't hand out its bytes in place (the caller then reads with ReadBlock).
  virtual const uint8_t* ReadBlockByRef(int64_t address, int64_t size);
  // Lets edit change the block's bytes; by default read, edit, write back.
  virtual void WriteBlockByRef(int64_t address, int64_t size,
                               const std::function<void(uint8_t*)>& edit);

  uint32_t BlockSize() const { return blockSize_; }
  uint32_t TableId() const { return tableId_; }
  uint32_t Usage() const { return usage_; }
  uint32_t IoFlags() const { return ioFlags_; }
  uint16_t OwnerTag() const { return static_cast<uint16_t>(tableId_ * 16 + usage_); }

 protected:
  uint32_t blockSize_ = 0;
  uint32_t tableId_ = 0;
  uint32_t usage_ = 0;
  uint32_t ioFlags_ = 0;
};

class TDiskIOInterface : public TBaseIOInterface {
 public:
  TDiskIOInterface(TDiskMgr* disk, uint32_t blockSize, uint32_t tableId, uint32_t usage,
                   uint32_t ioFlags);

  // Where the first-empty address is kept: a global header item (the interface then takes the
  // header lock for every allocation and release) or an item of a table header.
  void SetGlobalFirstEmpty(int globalOffset);
  void SetTableFirstEmpty(TTableHeader* header, int itemOffset);
  // The current first-empty address.
  uint32_t FirstEmpty() const;

  // Needs the disk manager, a usage and a block size (8581 otherwise).
  void Open() override;
  void Close() override;
  void Empty() override;
  int64_t AllocateNewAddress(int64_t size, const void* data) override;
  void ReleaseBlock(int64_t address, int64_t size) override;
  void WriteBlock(int64_t address, int64_t size, const void* data) override;
  void WriteBlockByRef(int64_t address, int64_t size,
                       const std::function<void(uint8_t*)>& edit) override;
  void ReadBlock(int64_t address, int64_t size, void* buffer) override;
  const uint8_t* ReadBlockByRef(int64_t address, int64_t size) override;
  void WriteBlockHeader(int64_t address, int64_t n, const void* data) override;
  void ReadBlockHeader(int64_t address, int64_t n, void* buffer) override;
  std::vector<int64_t> ListBlocks() override;
  // Every block on the free list, walking its runs; 8451 when the list loops, leaves this
  // interface's pages, or holds a block that is not as freeing leaves it (zero but for the run
  // header's link and count).
  std::vector<int64_t> FreeBlockList();

 private:
  bool IsGlobal() const { return globalOffset_ != 0; }
  uint32_t LoadFirstEmpty(const char* caller) const;
  void StoreFirstEmpty(uint32_t address);
  // Checks that the block lies in the file on a page of this interface (8451 otherwise).
  void CheckOwnBlock(int64_t address, int64_t size, const char* caller);
  void CheckRange(int64_t address, int64_t size, const char* caller) const;

  TDiskMgr* disk_;
  int globalOffset_ = 0;
  TTableHeader* header_ = nullptr;
  int headerOffset_ = 0;
  bool open_ = false;
  std::vector<uint8_t> scratch_;    // two blocks
  std::vector<uint8_t> freeBlock_;  // one block
};

}  // namespace zuz
