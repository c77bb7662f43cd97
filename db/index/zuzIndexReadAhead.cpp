#include "db/index/zuzIndexReadAhead.h"

#include "db/index/zuzIndexUnit.h"

namespace zuz {

void TReadAheadBuffer::Clear() {
  items_.clear();
  byAddress_.clear();
}

void TReadAheadBuffer::Add(const uint8_t* key, int keySize, uint32_t address, int64_t recNo) {
  if (!items_.empty() && recNo != items_.back().RecNo + 1) {
    IndexAssert("Read ahead buffer recno's are out of sync");
  }
  if (byAddress_.count(address) != 0) IndexAssert("Read ahead buffer has duplicate records");
  TReadAheadItem item;
  item.Key.assign(key, key + keySize);
  item.RecordAddress = address;
  item.RecNo = recNo;
  byAddress_.emplace(address, items_.size());
  items_.push_back(std::move(item));
}

bool TReadAheadBuffer::SetRecord(uint32_t address, std::span<const uint8_t> image) {
  auto it = byAddress_.find(address);
  if (it == byAddress_.end()) return false;
  items_[it->second].Record.assign(image.begin(), image.end());
  return true;
}

const TReadAheadItem* TReadAheadBuffer::FindByAddress(uint32_t address) const {
  auto it = byAddress_.find(address);
  return it == byAddress_.end() ? nullptr : &items_[it->second];
}

const TReadAheadItem* TReadAheadBuffer::FindByRecNo(int64_t recNo) const {
  if (items_.empty()) return nullptr;
  const int64_t i = recNo - items_.front().RecNo;
  if (i < 0 || i >= static_cast<int64_t>(items_.size())) return nullptr;
  return &items_[static_cast<size_t>(i)];
}

bool TReadAheadBuffer::InWindow(int64_t recNo) const {
  if (items_.empty()) return false;
  const int64_t start = items_.front().RecNo;
  return recNo >= start && recNo < start + kWindow;
}

}  // namespace zuz
