// Node buffers (layout in zuzBTreeNode.h).
#include "db/index/zuzBTreeNode.h"

#include <cstring>
#include <string>

#include "db/index/zuzIndexUnit.h"
#include "db/index/zuzKeyFormat.h"
#include "db/storage/zuzCoding.h"
#include "db/storage/zuzError.h"

namespace zuz {

TNode::TNode(TBaseIOInterface* io, int nodeSize, int keySize)
    : io_(io), nodeSize_(nodeSize), keySize_(keySize), buf_(static_cast<size_t>(nodeSize), 0) {}

void TNode::CheckOpen(const char* caller) const {
  if (!loaded_) IndexError(caller, "Node Buffer not allocated");
}

void TNode::Load(uint32_t address, int expectLeaf, bool allowEmpty, bool checkEntries) {
  const char* caller = "TNode.ReadNode";
  loaded_ = false;
  if (address == 0 || address % static_cast<uint32_t>(nodeSize_) != 0) {
    IndexError(caller, "Invalid node address: " + std::to_string(address));
  }
  const uint8_t* src = nullptr;
  try {
    // An interface or a file without a page cache reads into the buffer instead.
    src = io_->ReadBlockByRef(address, nodeSize_);
    if (!src) io_->ReadBlock(address, nodeSize_, buf_.data());
  } catch (const EZuzDatabaseError& e) {
    // The interface refuses addresses outside the file: a damaged link, not an I/O failure.
    if (e.ErrorCode() != ZUZ_ERR_CORRUPT) throw;
    IndexError(caller, "Invalid node address: " + std::to_string(address));
  }
  const uint8_t* bytes = src ? src : buf_.data();
  const std::string where = " in node " + std::to_string(address);
  const uint32_t flag = GetU32(bytes + ndLeafFlag) & 0x7F;
  if (flag > 1) IndexError(caller, "Invalid node type" + where);
  const bool leaf = flag == 1;
  if (expectLeaf >= 0 && leaf != (expectLeaf == 1)) {
    IndexError(caller, "Node type does not match its level" + where);
  }
  const uint32_t used = GetU32(bytes + ndUsed);
  if (used % static_cast<uint32_t>(keySize_) != 0 ||
      used + kNodeHeaderSize > static_cast<uint32_t>(nodeSize_)) {
    IndexError(caller, "Invalid used bytes " + std::to_string(used) + where);
  }
  if (src) {
    // Only the used part is copied; the rest of a node is zero by definition.
    const size_t n = kNodeHeaderSize + used;
    std::memcpy(buf_.data(), src, n);
    std::memset(buf_.data() + n, 0, buf_.size() - n);
  }
  address_ = address;
  if (used == 0 && (!allowEmpty || !leaf)) IndexError(caller, "Node is empty" + where);
  if (leaf && (Next() % static_cast<uint32_t>(nodeSize_) != 0 ||
               Prev() % static_cast<uint32_t>(nodeSize_) != 0)) {
    IndexError(caller, "Invalid leaf link" + where);
  }
  loaded_ = true;
  if (checkEntries) CheckEntries();
}

void TNode::CheckEntries() const {
  CheckOpen("TNode.CheckEntries");
  const bool leaf = IsLeaf();
  const int count = Count();
  for (int i = 0; i < count; ++i) {
    const uint8_t* e = buf_.data() + kNodeHeaderSize + i * keySize_;
    const int size = GetU16(e + keEntrySize);
    if (size != keySize_) {
      IndexError("TNode.ReadKey", "Invalid key size: " + std::to_string(size) + " in node " +
                                      std::to_string(address_));
    }
    const uint32_t target = GetU32(e + keAddress);
    if (target == 0 || (!leaf && target % static_cast<uint32_t>(nodeSize_) != 0)) {
      IndexError("TNode.ReadKey", "Invalid address " + std::to_string(target) + " in node " +
                                      std::to_string(address_));
    }
  }
}

void TNode::Write() {
  CheckOpen("TNode.WriteNode");
  io_->WriteBlock(address_, nodeSize_, buf_.data());
}

void TNode::InitEmpty(uint32_t address, bool leaf) {
  std::memset(buf_.data(), 0, buf_.size());
  PutU32(buf_.data() + ndLeafFlag, leaf ? 1 : 0);
  address_ = address;
  loaded_ = true;
}

void TNode::CopyContentFrom(const TNode& other) {
  other.CheckOpen("TNode.CopyNode");
  std::memcpy(buf_.data(), other.buf_.data(), buf_.size());
  loaded_ = true;
}

bool TNode::IsLeaf() const {
  return (GetU32(buf_.data() + ndLeafFlag) & 0x7F) == 1;
}
void TNode::SetLeaf(bool leaf) {
  PutU32(buf_.data() + ndLeafFlag, leaf ? 1 : 0);
}
int TNode::Used() const {
  return static_cast<int>(GetU32(buf_.data() + ndUsed));
}
void TNode::SetUsed(int used) {
  PutU32(buf_.data() + ndUsed, static_cast<uint32_t>(used));
}
uint32_t TNode::Next() const {
  return GetU32(buf_.data() + ndNext);
}
uint32_t TNode::Prev() const {
  return GetU32(buf_.data() + ndPrev);
}
void TNode::SetNext(uint32_t address) {
  PutU32(buf_.data() + ndNext, address);
}
void TNode::SetPrev(uint32_t address) {
  PutU32(buf_.data() + ndPrev, address);
}

const uint8_t* TNode::Entry(int i) const {
  CheckOpen("TNode.GetCurrentKey");
  if (i < 0 || i >= Count()) IndexError("TNode.GetCurrentKey", "Node cursor out of range");
  const uint8_t* e = buf_.data() + kNodeHeaderSize + i * keySize_;
  if (GetU16(e + keEntrySize) != keySize_) {
    IndexError("TNode.ReadKey", "Invalid key size: " + std::to_string(GetU16(e + keEntrySize)) +
                                    " in node " + std::to_string(address_));
  }
  return e;
}

uint8_t* TNode::MutableEntry(int i) {
  return const_cast<uint8_t*>(Entry(i));
}

uint32_t TNode::EntryCount(int i) const {
  return GetU32(Entry(i) + keCount);
}

uint32_t TNode::EntryAddress(int i) const {
  const uint32_t address = GetU32(Entry(i) + keAddress);
  if (address == 0) {
    IndexError("TNode.GetRecordAddress", "Invalid address 0 in node " + std::to_string(address_));
  }
  return address;
}

uint64_t TNode::Total() const {
  CheckOpen("TNode.Total");
  if (IsLeaf()) return static_cast<uint64_t>(Count());
  uint64_t total = 0;
  const int n = Count();
  const uint8_t* p = buf_.data() + kNodeHeaderSize + keCount;
  for (int i = 0; i < n; ++i, p += keySize_) total += GetU32(p);
  return total;
}

void TNode::InsertEntry(int i, const uint8_t* entry) {
  CheckOpen("TNode.InsertKey");
  const int used = Used();
  if (i < 0 || i > Count()) IndexError("TNode.InsertKey", "Cursor is out of range");
  if (used + keySize_ + kNodeHeaderSize > nodeSize_) {
    IndexError("TNode.InsertKey", "Node is overfull");
  }
  uint8_t* at = buf_.data() + kNodeHeaderSize + i * keySize_;
  std::memmove(at + keySize_, at, static_cast<size_t>(used - i * keySize_));
  std::memcpy(at, entry, static_cast<size_t>(keySize_));
  SetUsed(used + keySize_);
}

void TNode::DeleteEntry(int i) {
  CheckOpen("TNode.DeleteKey");
  const int used = Used();
  if (i < 0 || i >= Count()) IndexError("TNode.DeleteKey", "Cursor is out of range");
  uint8_t* at = buf_.data() + kNodeHeaderSize + i * keySize_;
  std::memmove(at, at + keySize_, static_cast<size_t>(used - (i + 1) * keySize_));
  std::memset(buf_.data() + kNodeHeaderSize + used - keySize_, 0, static_cast<size_t>(keySize_));
  SetUsed(used - keySize_);
}

void TNode::MoveTailTo(int i, TNode& dest) {
  CheckOpen("TNode.SplitNode");
  dest.CheckOpen("TNode.SplitNode");
  const int used = Used();
  if (i < 0 || i > Count()) IndexError("TNode.SplitNode", "Cursor is out of range");
  const int bytes = used - i * keySize_;
  const int destUsed = dest.Used();
  if (destUsed + bytes + kNodeHeaderSize > nodeSize_) {
    IndexError("TNode.SplitNode", "Node is overfull");
  }
  uint8_t* from = buf_.data() + kNodeHeaderSize + i * keySize_;
  std::memcpy(dest.buf_.data() + kNodeHeaderSize + destUsed, from, static_cast<size_t>(bytes));
  std::memset(from, 0, static_cast<size_t>(bytes));
  SetUsed(i * keySize_);
  dest.SetUsed(destUsed + bytes);
}

void TNode::MoveHeadToEnd(int n, TNode& dest) {
  CheckOpen("TNode.MoveBlock");
  dest.CheckOpen("TNode.MoveBlock");
  const int used = Used();
  const int bytes = n * keySize_;
  const int destUsed = dest.Used();
  if (n < 0 || bytes > used || destUsed + bytes + kNodeHeaderSize > nodeSize_) {
    IndexError("TNode.MoveBlock", "Move block error - Start Pos - Delta are out of range");
  }
  uint8_t* base = buf_.data() + kNodeHeaderSize;
  std::memcpy(dest.buf_.data() + kNodeHeaderSize + destUsed, base, static_cast<size_t>(bytes));
  std::memmove(base, base + bytes, static_cast<size_t>(used - bytes));
  std::memset(base + used - bytes, 0, static_cast<size_t>(bytes));
  SetUsed(used - bytes);
  dest.SetUsed(destUsed + bytes);
}

void TNode::MoveTailToFront(int i, TNode& dest) {
  CheckOpen("TNode.MoveBlock");
  dest.CheckOpen("TNode.MoveBlock");
  const int used = Used();
  const int bytes = used - i * keySize_;
  const int destUsed = dest.Used();
  if (i < 0 || bytes < 0 || destUsed + bytes + kNodeHeaderSize > nodeSize_) {
    IndexError("TNode.MoveBlock", "Move block error - Start Pos - Delta are out of range");
  }
  uint8_t* destBase = dest.buf_.data() + kNodeHeaderSize;
  std::memmove(destBase + bytes, destBase, static_cast<size_t>(destUsed));
  uint8_t* from = buf_.data() + kNodeHeaderSize + i * keySize_;
  std::memcpy(destBase, from, static_cast<size_t>(bytes));
  std::memset(from, 0, static_cast<size_t>(bytes));
  SetUsed(i * keySize_);
  dest.SetUsed(destUsed + bytes);
}

}  // namespace zuz
