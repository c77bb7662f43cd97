#include "db/storage/zuzIOInterface.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <unordered_set>

#include "db/storage/zuzCoding.h"
#include "db/storage/zuzDisk.h"
#include "db/storage/zuzError.h"
#include "db/storage/zuzTableHeader.h"

namespace zuz {

namespace {

constexpr const char* kObject = "TDiskIOInterface";

constexpr int kRunHeaderSize = 16;

}  // namespace

const uint8_t* TBaseIOInterface::ReadBlockByRef(int64_t, int64_t) {
  return nullptr;
}

void TBaseIOInterface::WriteBlockByRef(int64_t address, int64_t size,
                                       const std::function<void(uint8_t*)>& edit) {
  std::vector<uint8_t> block(static_cast<size_t>(size));
  ReadBlock(address, size, block.data());
  edit(block.data());
  WriteBlock(address, size, block.data());
}

TDiskIOInterface::TDiskIOInterface(TDiskMgr* disk, uint32_t blockSize, uint32_t tableId,
                                   uint32_t usage, uint32_t ioFlags)
    : disk_(disk) {
  blockSize_ = blockSize;
  tableId_ = tableId;
  usage_ = usage;
  ioFlags_ = ioFlags;
}

void TDiskIOInterface::SetGlobalFirstEmpty(int globalOffset) {
  globalOffset_ = globalOffset;
  header_ = nullptr;
  headerOffset_ = 0;
}

void TDiskIOInterface::SetTableFirstEmpty(TTableHeader* header, int itemOffset) {
  globalOffset_ = 0;
  header_ = header;
  headerOffset_ = itemOffset;
}

void TDiskIOInterface::Open() {
  if (!disk_) {
    ZuzDatabaseError(ZUZ_ERR_INTERNAL, "TDiskIOInterface.Open",
                     "Unable to open Disk IOInterface - DiskMgr is null", kObject);
  }
  if (usage_ == 0) {
    ZuzDatabaseError(ZUZ_ERR_INTERNAL, "TDiskIOInterface.Open",
                     "Unable to open Disk IOInterface - Usage is not set", kObject);
  }
  if (blockSize_ == 0) {
    ZuzDatabaseError(ZUZ_ERR_INTERNAL, "TDiskIOInterface.Open",
                     "Unable to open Disk IOInterface - Block size is 0", kObject);
  }
  scratch_.assign(static_cast<size_t>(blockSize_) * 2, 0);
  freeBlock_.assign(static_cast<size_t>(blockSize_), 0);
  open_ = true;
}

void TDiskIOInterface::Close() {
  scratch_.clear();
  open_ = false;
}

uint32_t TDiskIOInterface::LoadFirstEmpty(const char* caller) const {
  if (IsGlobal()) return disk_->GlobalHdr().Item(globalOffset_);
  if (!header_ || headerOffset_ <= 0) {
    ZuzDatabaseError(ZUZ_ERR_INTERNAL, caller, "DiskIOInterface - non global first empty not set",
                     kObject);
  }
  return header_->DWord(headerOffset_);
}

uint32_t TDiskIOInterface::FirstEmpty() const {
  return LoadFirstEmpty("TDiskIOInterface.FirstEmpty");
}

void TDiskIOInterface::StoreFirstEmpty(uint32_t address) {
  if (IsGlobal()) {
    disk_->GlobalHdr().SetItem(globalOffset_, address);
  } else {
    header_->SetDWord(headerOffset_, address);
  }
}

void TDiskIOInterface::CheckRange(int64_t address, int64_t size, const char* caller) const {
  if (!open_) ZuzDatabaseError(ZUZ_ERR_INTERNAL, caller, "The interface is not open", kObject);
  if (address < int64_t{kInitialPages} * disk_->PageSize || size <= 0 ||
      address + size > disk_->LogicalEndOfFile()) {
    ZuzDatabaseError(ZUZ_ERR_CORRUPT, caller, "Invalid block address " + std::to_string(address),
                     kObject);
  }
}

void TDiskIOInterface::CheckOwnBlock(int64_t address, int64_t size, const char* caller) {
  CheckRange(address, size, caller);
  const int64_t page = disk_->PageSize;
  for (int64_t p = address - address % page; p < address + size; p += page) {
    if (disk_->MapMgr().EntryOf(p) != OwnerTag()) {
      ZuzDatabaseError(
          ZUZ_ERR_CORRUPT, caller,
          "The block at " + std::to_string(address) + " does not belong to this interface",
          kObject);
    }
  }
}

std::vector<int64_t> TDiskIOInterface::FreeBlockList() {
  const char* caller = "TDiskIOInterface.FreeBlockList";
  if (!open_) ZuzDatabaseError(ZUZ_ERR_INTERNAL, caller, "The interface is not open", kObject);
  const int64_t B = blockSize_;
  std::vector<int64_t> out;
  std::vector<uint8_t> block(static_cast<size_t>(B));
  std::unordered_set<int64_t> seen;
  const int64_t limit = disk_->LogicalEndOfFile() / B + 1;
  auto damaged = [&](int64_t at, const char* what) {
    ZuzDatabaseError(ZUZ_ERR_CORRUPT, caller,
                     "The free block list is damaged at " + std::to_string(at) + ": " + what,
                     kObject);
  };
  for (int64_t run = LoadFirstEmpty(caller); run != 0;) {
    CheckOwnBlock(run, B, caller);
    disk_->ReadData(run, B, block.data(), ioFlags_, tableId_);
    const int64_t next = GetU32(block.data() + 8);
    const int64_t count = GetU32(block.data() + 12);
    if (GetU64(block.data()) != 0 || count == 0 || count > limit) damaged(run, "a bad run header");
    CheckOwnBlock(run, count * B, caller);
    for (int64_t k = 0; k < count; ++k) {
      const int64_t at = run + k * B;
      if (!seen.insert(at).second) damaged(at, "a block twice");
      if (k > 0) disk_->ReadData(at, B, block.data(), ioFlags_, tableId_);
      const auto from = block.begin() + (k == 0 ? kRunHeaderSize : 0);
      if (std::any_of(from, block.end(), [](uint8_t b) { return b != 0; })) {
        damaged(at, "a block that is not empty");
      }
      out.push_back(at);
    }
    run = next;
  }
  return out;
}

int64_t TDiskIOInterface::AllocateNewAddress(int64_t size, const void* data) {
  const char* caller = "TDiskIOInterface.AllocateNewAddress";
  if (!open_) ZuzDatabaseError(ZUZ_ERR_INTERNAL, caller, "The interface is not open", kObject);
  if (size <= 0 || size > blockSize_) {
    ZuzDatabaseError(ZUZ_ERR_INTERNAL, caller, "Block request sizes < block size", kObject);
  }
  std::unique_ptr<THeaderWriteLock> lock;
  if (IsGlobal()) lock = std::make_unique<THeaderWriteLock>(*disk_);
  const int64_t B = blockSize_;
  const int64_t page = disk_->PageSize;
  // The block as written: the data, then zeros to the block's end.
  std::fill(scratch_.begin(), scratch_.end(), 0);
  if (data) std::memcpy(scratch_.data(), data, static_cast<size_t>(size));

  const uint32_t first = LoadFirstEmpty(caller);
  int64_t address;
  if (first != 0) {
    CheckOwnBlock(first, B, caller);
    // The free block as freeing left it: zero but for the run header's link and count.
    disk_->ReadData(first, B, freeBlock_.data(), ioFlags_, tableId_);
    const uint8_t* run = freeBlock_.data();
    const uint32_t next = GetU32(run + 8);
    const uint32_t count = GetU32(run + 12);
    if (GetU64(run) != 0 || count == 0 || first + int64_t{count} * B > disk_->LogicalEndOfFile() ||
        std::any_of(freeBlock_.begin() + kRunHeaderSize, freeBlock_.end(),
                    [](uint8_t b) { return b != 0; })) {
      ZuzDatabaseError(ZUZ_ERR_CORRUPT, caller,
                       "The free block list is damaged at " + std::to_string(first), kObject);
    }
    disk_->WriteData(first, B, scratch_.data(), ioFlags_, tableId_);
    if (count > 1) {
      uint8_t header[kRunHeaderSize] = {};
      PutU32(header + 8, next);
      PutU32(header + 12, count - 1);
      disk_->WriteData(first + B, kRunHeaderSize, header, ioFlags_, tableId_);
      StoreFirstEmpty(static_cast<uint32_t>(first + B));
    } else {
      StoreFirstEmpty(next);
    }
    address = first;
  } else if (B == page) {
    address = disk_->AllocatePages(tableId_, ioFlags_, scratch_.data(), 1, usage_);
  } else {
    // A new group: this block at its start, the rest one run of free blocks.
    const int64_t groupBytes = GetBestPageRequestSize(B, page);
    const int64_t freeBlocks = (groupBytes - B) / B;
    std::vector<uint8_t> group(static_cast<size_t>(groupBytes), 0);
    std::memcpy(group.data(), scratch_.data(), static_cast<size_t>(B));
    if (freeBlocks > 0) {
      PutU32(group.data() + B + 8, 0);
      PutU32(group.data() + B + 12, static_cast<uint32_t>(freeBlocks));
    }
    address = disk_->AllocatePages(tableId_, ioFlags_, group.data(),
                                   static_cast<int>(groupBytes / page), usage_);
    if (freeBlocks > 0) StoreFirstEmpty(static_cast<uint32_t>(address + B));
  }
  if (lock) lock->Release();
  return address;
}

void TDiskIOInterface::ReleaseBlock(int64_t address, int64_t size) {
  const char* caller = "TDiskIOInterface.ReleaseBlock";
  if (!open_) ZuzDatabaseError(ZUZ_ERR_INTERNAL, caller, "The interface is not open", kObject);
  const int64_t page = disk_->PageSize;
  if (size >= page && address % page == 0 && size % page == 0) {
    CheckOwnBlock(address, size, caller);
    disk_->FreePages(address, static_cast<int>(size / page));
    return;
  }
  const int64_t B = blockSize_;
  const int64_t blocks = (size + B - 1) / B;
  if (size <= 0) ZuzDatabaseError(ZUZ_ERR_INTERNAL, caller, "Invalid block size", kObject);
  std::unique_ptr<THeaderWriteLock> lock;
  if (IsGlobal()) lock = std::make_unique<THeaderWriteLock>(*disk_);
  CheckOwnBlock(address, blocks * B, caller);
  const uint32_t first = LoadFirstEmpty(caller);
  std::vector<uint8_t> run(static_cast<size_t>(blocks * B), 0);
  PutU32(run.data() + 8, first);
  PutU32(run.data() + 12, static_cast<uint32_t>(blocks));
  disk_->WriteData(address, blocks * B, run.data(), ioFlags_, tableId_);
  StoreFirstEmpty(static_cast<uint32_t>(address));
  if (lock) lock->Release();
}

void TDiskIOInterface::Empty() {
  if (!open_) {
    ZuzDatabaseError(ZUZ_ERR_INTERNAL, "TDiskIOInterface.Empty", "The interface is not open",
                     kObject);
  }
  std::unique_ptr<THeaderWriteLock> lock;
  if (IsGlobal()) lock = std::make_unique<THeaderWriteLock>(*disk_);
  disk_->FreeTablePages(tableId_, usage_, true);
  if (!IsGlobal()) {
    StoreFirstEmpty(0);
  } else {
    // A shared first-empty address may lead into another table's pages: keep it unless it lay
    // on the pages just freed.
    uint32_t first = LoadFirstEmpty("TDiskIOInterface.Empty");
    if (first != 0 && (disk_->MapMgr().EntryOf(first - first % disk_->PageSize) & kMapFreeBit)) {
      StoreFirstEmpty(0);
    }
  }
  if (lock) lock->Release();
}

void TDiskIOInterface::WriteBlock(int64_t address, int64_t size, const void* data) {
  CheckRange(address, size, "TDiskIOInterface.WriteBlock");
  disk_->WriteData(address, size, data, ioFlags_, tableId_);
}

void TDiskIOInterface::WriteBlockByRef(int64_t address, int64_t size,
                                       const std::function<void(uint8_t*)>& edit) {
  CheckRange(address, size, "TDiskIOInterface.WriteBlockByRef");
  disk_->WriteBlockByRef(address, size, ioFlags_, tableId_, edit);
}

void TDiskIOInterface::ReadBlock(int64_t address, int64_t size, void* buffer) {
  CheckRange(address, size, "TDiskIOInterface.ReadBlock");
  disk_->ReadData(address, size, buffer, ioFlags_, tableId_);
}

const uint8_t* TDiskIOInterface::ReadBlockByRef(int64_t address, int64_t size) {
  CheckRange(address, size, "TDiskIOInterface.ReadBlockByRef");
  if (!disk_->CanReadByRef(address, size, ioFlags_)) return nullptr;
  return disk_->ReadBlockByRef(address, size, ioFlags_, tableId_);
}

void TDiskIOInterface::WriteBlockHeader(int64_t address, int64_t n, const void* data) {
  if (n > blockSize_) ZuzInternalError("TDiskIOInterface.WriteBlockHeader", "Invalid size");
  WriteBlock(address, n, data);
}

void TDiskIOInterface::ReadBlockHeader(int64_t address, int64_t n, void* buffer) {
  if (n > blockSize_) ZuzInternalError("TDiskIOInterface.ReadBlockHeader", "Invalid size");
  ReadBlock(address, n, buffer);
}

std::vector<int64_t> TDiskIOInterface::ListBlocks() {
  return disk_->ListAllocatedFixedBlocks(blockSize_, OwnerTag());
}

}  // namespace zuz
