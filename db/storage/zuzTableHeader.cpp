#include "db/storage/zuzTableHeader.h"

#include <string>

#include "db/storage/zuzCoding.h"
#include "db/storage/zuzDisk.h"
#include "db/storage/zuzError.h"

namespace zuz {

namespace {

constexpr const char* kObject = "TTableHeader";

void CheckItem(int offset, int width) {
  if (offset < 0 || offset + width > TTableHeader::kSize) {
    ZuzDatabaseError(ZUZ_ERR_INTERNAL, "TTableHeader",
                     "Table header: The offset value is out of range", kObject);
  }
}

void CheckSlot(int slot) {
  if (slot < 0 || slot >= TTableHeader::kMaxIndexes) {
    ZuzDatabaseError(ZUZ_ERR_INTERNAL, "TTableHeader",
                     "Table header: The offset value is out of range", kObject);
  }
}

}  // namespace

TTableHeader::TTableHeader(TDiskMgr& disk, uint32_t tableId, int64_t address)
    : disk_(disk), tableId_(tableId), address_(address) {}

int TTableHeader::HeaderSizeFor(int indexCount) {
  int raw = thIndexSlots + 6 * indexCount;
  return ((raw + kSize - 1) / kSize) * kSize;
}

std::array<uint8_t, TTableHeader::kSize> TTableHeader::NewHeaderBytes(uint32_t tableId,
                                                                      int indexCount) {
  if (indexCount < 0 || HeaderSizeFor(indexCount) != kSize) {
    ZuzDatabaseError(ZUZ_ERR_INTERNAL, "TTableHeaderMgr.AddTable",
                     "Debug check -  header size <> 256", "TTableHeaderMgr");
  }
  std::array<uint8_t, kSize> b{};
  PutU32(b.data() + thTableId, tableId);
  PutU32(b.data() + thWriteCounter, 1);
  PutU32(b.data() + thHeaderSize, kSize);
  PutU32(b.data() + thIndexCount, static_cast<uint32_t>(indexCount));
  return b;
}

void TTableHeader::ReadHeader() {
  std::array<uint8_t, kSize> b;
  disk_.ReadData(address_, kSize, b.data(), 0, 0);
  if (GetU32(b.data() + thTableId) != tableId_ || GetU32(b.data() + thHeaderSize) != kSize ||
      GetU32(b.data() + thIndexCount) > kMaxIndexes) {
    ZuzDatabaseError(ZUZ_ERR_CORRUPT, "TTableHeader.ReadHeader",
                     "Table header: the header of table " + std::to_string(tableId_) + " at " +
                         std::to_string(address_) + " is damaged",
                     kObject);
  }
  data_ = b;
  dirty_ = false;
  rollbacks_ = disk_.RollbackCount();
}

bool TTableHeader::Outdated() const {
  return disk_.RollbackCount() != rollbacks_;
}

void TTableHeader::WriteHeader() {
  std::array<uint8_t, kSize> b = data_;
  PutU32(b.data() + thWriteCounter, GetU32(b.data() + thWriteCounter) + 1);
  disk_.WriteData(address_, kSize, b.data(), 0, 0);
  data_ = b;
  dirty_ = false;
  rollbacks_ = disk_.RollbackCount();
}

uint32_t TTableHeader::DWord(int offset) const {
  CheckItem(offset, 4);
  return GetU32(data_.data() + offset);
}

void TTableHeader::SetDWord(int offset, uint32_t value) {
  CheckItem(offset, 4);
  if (GetU32(data_.data() + offset) == value) return;
  PutU32(data_.data() + offset, value);
  dirty_ = true;
}

uint16_t TTableHeader::Word(int offset) const {
  CheckItem(offset, 2);
  return GetU16(data_.data() + offset);
}

void TTableHeader::SetWord(int offset, uint16_t value) {
  CheckItem(offset, 2);
  if (GetU16(data_.data() + offset) == value) return;
  PutU16(data_.data() + offset, value);
  dirty_ = true;
}

uint32_t TTableHeader::IndexRoot(int slot) const {
  CheckSlot(slot);
  return DWord(thIndexSlots + 6 * slot);
}

uint16_t TTableHeader::IndexLevels(int slot) const {
  CheckSlot(slot);
  return Word(thIndexSlots + 6 * slot + 4);
}

void TTableHeader::SetIndexSlot(int slot, uint32_t root, uint16_t levels) {
  CheckSlot(slot);
  SetDWord(thIndexSlots + 6 * slot, root);
  SetWord(thIndexSlots + 6 * slot + 4, levels);
}

}  // namespace zuz
