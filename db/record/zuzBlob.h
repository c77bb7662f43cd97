// Blob values in chains of blocks of the table's blob interface (block size B = the table's
// DefaultBlobSize):
//
//   0    u32   address of the next block of the chain, 0 in the last
//   4    u32   number of data bytes in this block (B - 8 in all blocks but the last)
//   8    ...   the data bytes, then zeros to the end of the block
//
// The record's blob field holds the first block's address and the total length (u32, u32); an
// empty value is address 0, length 0, and the field is NULL. A new chain is written from its end:
// the last chunk first (next = 0), then each earlier chunk pointing at the block written before
// it, so the first block is allocated last. A chain is rewritten in place: the old blocks are
// overwritten in order, a longer value continues in a new chain linked from the last old block,
// and the blocks a shorter value no longer needs are released one by one.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace zuz {

class TBaseIOInterface;

class TBlobInterface {
 public:
  // 8581 without an interface or with a block size of 0 (or one too small to hold data).
  TBlobInterface(TBaseIOInterface* io, uint32_t blockSize);

  // Checks that a block address may be read or written (lies on a page of this table's blobs);
  // without one only the file's bounds are checked.
  void SetBlockCheck(std::function<bool(uint32_t)> check) { check_ = std::move(check); }

  // A new chain holding the data; returns the first block's address (0 for empty data).
  uint32_t WriteNew(std::string_view data);
  // Rewrites the chain of oldLength bytes starting at first with non-empty data, in place.
  void Rewrite(uint32_t first, uint32_t oldLength, std::string_view data);
  // The value of the chain; 8451 when the chain does not hold length bytes.
  std::string Read(uint32_t first, uint32_t length);
  // Releases every block of the chain.
  void Delete(uint32_t first, uint32_t length);

  // The number of blocks a value of n bytes takes.
  uint32_t BlocksFor(uint64_t n) const;
  // The addresses of the chain's blocks, checked as Read checks them.
  std::vector<uint32_t> ChainBlocks(uint32_t first, uint32_t length);
  uint32_t BlockSize() const { return blockSize_; }
  uint32_t DataPerBlock() const { return blockSize_ - 8; }

 private:
  struct TBlockHead {
    uint32_t next = 0;
    uint32_t count = 0;
  };
  TBlockHead ReadHead(uint32_t address);
  void CheckBlock(uint32_t address, const char* caller);
  // Writes the chunks as a chain ending with the given link; returns the first block.
  uint32_t WriteChain(std::string_view data, uint32_t lastNext);

  TBaseIOInterface* io_;
  uint32_t blockSize_;
  std::function<bool(uint32_t)> check_;
  std::vector<uint8_t> block_;
};

// One blob field of the current record: its value and whether it was changed.
struct TBlob {
  enum TState : int { bsNotLoaded = 0, bsRead = 1, bsChanged = 3 };
  int fieldNo = 0;
  std::string data;
  TState state = bsNotLoaded;
};

// The blob fields of a table's current record.
class TBlobMgr {
 public:
  // One blob per field number given, all not loaded.
  void Reset(const std::vector<int>& blobFieldNos);
  TBlob* Find(int fieldNo);
  std::vector<TBlob>& Blobs() { return blobs_; }
  // Marks every blob as read (after its value reached the file).
  void MarkWritten();

 private:
  std::vector<TBlob> blobs_;
};

}  // namespace zuz
