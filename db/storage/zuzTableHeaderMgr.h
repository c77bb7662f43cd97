// A table-header map: 8192 bytes at a fixed address leading from table ids to their header
// blocks. The system map at 4096 serves ids 1024 and up, the user map at 12288 ids 1 and up.
//
//   0 + 8i   u32 table id of pair i (0 = unused)      i = 0 .. 999, used from the front
//   4 + 8i   u32 address of the table's header block  without gaps
//   8000     192 bytes never used
//
// Header blocks (256 bytes, zuzTableHeader.h) come from the map's table-header block interface
// (owner tag 0x0001, first-empty address in global header item 32 for the system map, 28 for the
// user map). The map is read again before every add, delete or lookup.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <utility>
#include <vector>

#include "db/storage/zuzIOInterface.h"
#include "db/storage/zuzTableHeader.h"

namespace zuz {

class TDiskMgr;

class TTableHeaderMgr {
 public:
  static constexpr int kMapBytes = 8192;
  static constexpr int kMaxTables = 1000;
  static constexpr uint32_t kSystemBaseId = 1024;
  static constexpr uint32_t kUserBaseId = 1;

  // The system map (ids from 1024) or the user map (ids from 1).
  TTableHeaderMgr(TDiskMgr& disk, bool systemTables);
  ~TTableHeaderMgr();

  // REQUIRES: an open disk manager.
  void Open();
  void Close();

  // A new table with room for indexCount index slots (at most 34); returns its id.
  // 9601 when the map is full.
  uint32_t AddTable(int indexCount);
  // The table's shared header, loaded by the first open (8581 when the id is not in the map).
  TTableHeader& OpenTable(uint32_t tableId);
  // The last close writes a dirty header.
  void CloseTable(uint32_t tableId);
  // Frees the header block and removes the pair (8579 when the id is not in the map).
  void DeleteTable(uint32_t tableId);

  // The used pairs (table id, header address), checked (8451 when the map is damaged).
  std::vector<std::pair<uint32_t, uint32_t>> ReadMap();
  int64_t BaseAddress() const { return baseAddress_; }
  uint32_t BaseId() const { return baseId_; }

 private:
  struct TOpenHeader {
    std::unique_ptr<TTableHeader> header;
    int refs = 0;
  };
  void WriteMap(const std::vector<std::pair<uint32_t, uint32_t>>& pairs);

  TDiskMgr& disk_;
  int64_t baseAddress_;
  uint32_t baseId_;
  TDiskIOInterface headers_;
  bool open_ = false;
  std::map<uint32_t, TOpenHeader> openTables_;
};

}  // namespace zuz
