// The record blocks of a table: one block of RecordSize bytes per record, from the table's record
// interface (layout of a record image: zuzTableDef.h). A released block begins with a free-run
// header, so its status byte is 0 and it is never taken for a live record.
#pragma once

#include <cstdint>

namespace zuz {

class TBaseIOInterface;

class TRecordMgr {
 public:
  // REQUIRES: an interface and a record size above 0 (8576 "TRecordMgr.Open" otherwise).
  void Open(TBaseIOInterface* records, uint32_t recordSize);
  void Close();
  bool IsOpen() const { return io_ != nullptr; }

  // Writes the image into a new block; returns its address.
  uint32_t Add(const uint8_t* image);
  // Reads the block at the address into the image (RecordSize bytes).
  void Read(uint32_t address, uint8_t* image);
  void Write(uint32_t address, const uint8_t* image);
  // Releases the block (its status byte becomes 0).
  void Delete(uint32_t address);

  uint32_t RecordSize() const { return recordSize_; }

 private:
  void CheckOpen(const char* caller) const;

  TBaseIOInterface* io_ = nullptr;
  uint32_t recordSize_ = 0;
};

}  // namespace zuz
