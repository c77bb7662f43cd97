#include "db/record/zuzBlob.h"

#include <algorithm>
#include <cstring>
#include <unordered_set>

#include "db/storage/zuzCoding.h"
#include "db/storage/zuzError.h"
#include "db/storage/zuzIOInterface.h"

namespace zuz {

namespace {
constexpr const char* kObject = "TBlobInterface";
constexpr uint32_t kBlockHeadSize = 8;
}  // namespace

TBlobInterface::TBlobInterface(TBaseIOInterface* io, uint32_t blockSize)
    : io_(io), blockSize_(blockSize) {
  if (!io_) {
    ZuzDatabaseError(ZUZ_ERR_INTERNAL, "TBlobInterface.Create",
                     "Unable to create blob interface - IOInterface is null", kObject);
  }
  if (blockSize_ <= kBlockHeadSize) {
    ZuzDatabaseError(ZUZ_ERR_INTERNAL, "TBlobInterface.Create",
                     "Unable to create blob interface - Block size is 0", kObject);
  }
  block_.assign(blockSize_, 0);
}

uint32_t TBlobInterface::BlocksFor(uint64_t n) const {
  return static_cast<uint32_t>((n + DataPerBlock() - 1) / DataPerBlock());
}

void TBlobInterface::CheckBlock(uint32_t address, const char* caller) {
  if (address == 0 || (check_ && !check_(address))) {
    ZuzDatabaseError(ZUZ_ERR_CORRUPT, caller,
                     "The blob chain leads to " + std::to_string(address) +
                         ", which is no blob block of this table",
                     kObject);
  }
}

TBlobInterface::TBlockHead TBlobInterface::ReadHead(uint32_t address) {
  uint8_t head[kBlockHeadSize];
  io_->ReadBlockHeader(address, kBlockHeadSize, head);
  return {GetU32(head), GetU32(head + 4)};
}

std::vector<uint32_t> TBlobInterface::ChainBlocks(uint32_t first, uint32_t length) {
  const char* caller = "TBlobInterface.ReadChain";
  std::vector<uint32_t> blocks;
  if (first == 0 || length == 0) {
    if (first != 0 || length != 0) {
      ZuzDatabaseError(
          ZUZ_ERR_CORRUPT, caller,
          "Blob reference " + std::to_string(first) + "/" + std::to_string(length) + " is damaged",
          kObject);
    }
    return blocks;
  }
  const uint32_t expected = BlocksFor(length);
  uint32_t address = first;
  uint64_t total = 0;
  std::unordered_set<uint32_t> seen;  // a damaged link may lead back into the chain
  for (uint32_t i = 0; i < expected; ++i) {
    CheckBlock(address, caller);
    if (!seen.insert(address).second) {
      ZuzDatabaseError(ZUZ_ERR_CORRUPT, caller,
                       "The blob chain starting at " + std::to_string(first) +
                           " returns to block " + std::to_string(address),
                       kObject);
    }
    const TBlockHead head = ReadHead(address);
    const bool last = i + 1 == expected;
    const uint64_t wantCount = last ? length - total : DataPerBlock();
    if (head.count != wantCount || (last ? head.next != 0 : head.next == 0)) {
      ZuzDatabaseError(ZUZ_ERR_CORRUPT, caller,
                       "The blob chain starting at " + std::to_string(first) +
                           " is damaged at block " + std::to_string(address),
                       kObject);
    }
    blocks.push_back(address);
    total += head.count;
    address = head.next;
  }
  return blocks;
}

uint32_t TBlobInterface::WriteChain(std::string_view data, uint32_t lastNext) {
  const uint32_t d = DataPerBlock();
  const uint32_t count = BlocksFor(data.size());
  uint32_t next = lastNext;
  for (uint32_t i = count; i-- > 0;) {
    const std::size_t start = static_cast<std::size_t>(i) * d;
    const auto n = static_cast<uint32_t>(std::min<std::size_t>(d, data.size() - start));
    std::fill(block_.begin(), block_.end(), 0);
    PutU32(block_.data(), next);
    PutU32(block_.data() + 4, n);
    std::memcpy(block_.data() + kBlockHeadSize, data.data() + start, n);
    next = static_cast<uint32_t>(io_->AllocateNewAddress(blockSize_, block_.data()));
  }
  return next;
}

uint32_t TBlobInterface::WriteNew(std::string_view data) {
  if (data.empty()) return 0;
  if (data.size() > UINT32_MAX) {
    ZuzDatabaseError(ZUZ_ERR_BLOB_LENGTH, "TBlobInterface.WriteNew", {},
                     kObject);  // "Invalid Blob Length"
  }
  return WriteChain(data, 0);
}

void TBlobInterface::Rewrite(uint32_t first, uint32_t oldLength, std::string_view data) {
  if (data.empty() || data.size() > UINT32_MAX) {
    ZuzInternalError("TBlobInterface.Rewrite", "Invalid Blob Length");
  }
  const std::vector<uint32_t> old = ChainBlocks(first, oldLength);
  const uint32_t d = DataPerBlock();
  const std::size_t newCount = BlocksFor(data.size());
  const std::size_t common = std::min(old.size(), newCount);
  // What does not fit into the old blocks goes into a new chain linked from the last of them.
  uint32_t tail = 0;
  if (newCount > old.size()) tail = WriteChain(data.substr(old.size() * d), 0);
  for (std::size_t i = 0; i < common; ++i) {
    const std::size_t start = i * d;
    const auto n = static_cast<uint32_t>(std::min<std::size_t>(d, data.size() - start));
    uint32_t next = 0;
    if (i + 1 < common)
      next = old[i + 1];
    else if (newCount > common)
      next = tail;
    std::fill(block_.begin(), block_.end(), 0);
    PutU32(block_.data(), next);
    PutU32(block_.data() + 4, n);
    std::memcpy(block_.data() + kBlockHeadSize, data.data() + start, n);
    io_->WriteBlock(old[i], blockSize_, block_.data());
  }
  for (std::size_t i = common; i < old.size(); ++i) io_->ReleaseBlock(old[i], blockSize_);
}

std::string TBlobInterface::Read(uint32_t first, uint32_t length) {
  // The chain is followed first, so that a damaged length reserves no more than the file holds.
  const std::vector<uint32_t> blocks = ChainBlocks(first, length);
  std::string out;
  out.reserve(length);
  for (uint32_t address : blocks) {
    io_->ReadBlock(address, blockSize_, block_.data());
    const uint32_t n = std::min(GetU32(block_.data() + 4), DataPerBlock());
    out.append(reinterpret_cast<const char*>(block_.data()) + kBlockHeadSize, n);
  }
  return out;
}

void TBlobInterface::Delete(uint32_t first, uint32_t length) {
  for (uint32_t address : ChainBlocks(first, length)) io_->ReleaseBlock(address, blockSize_);
}

void TBlobMgr::Reset(const std::vector<int>& blobFieldNos) {
  blobs_.clear();
  for (int f : blobFieldNos) blobs_.push_back({f, {}, TBlob::bsNotLoaded});
}

TBlob* TBlobMgr::Find(int fieldNo) {
  for (auto& b : blobs_)
    if (b.fieldNo == fieldNo) return &b;
  return nullptr;
}

void TBlobMgr::MarkWritten() {
  for (auto& b : blobs_)
    if (b.state == TBlob::bsChanged) b.state = TBlob::bsRead;
}

}  // namespace zuz
