// The B+tree of an index (shape and invariants in zuzBTree.h, nodes in zuzBTreeNode.h, key
// entries in zuzKeyFormat.h).
#include "db/index/zuzBTree.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "db/storage/zuzCoding.h"
#include "db/storage/zuzError.h"
#include "db/storage/zuzLogger.h"

namespace zuz {

namespace {

// Drops the tree's node buffers when an operation that changes nodes fails half-way, so that no
// buffer outlives a change it did not see.
class TDropOnFailure {
 public:
  explicit TDropOnFailure(std::vector<std::unique_ptr<TNode>>& path, TNode& spare)
      : path_(path), spare_(spare) {}
  ~TDropOnFailure() {
    if (!done_) {
      for (auto& n : path_) n->Drop();
      spare_.Drop();
    }
  }
  void Done() { done_ = true; }

 private:
  std::vector<std::unique_ptr<TNode>>& path_;
  TNode& spare_;
  bool done_ = false;
};

}  // namespace

TBTree::TBTree(TBaseIOInterface* io, uint32_t& root, uint16_t& depth, TKeyFields keyFields,
               int keyDataOffset, int maximumKeySize, TSortOrderFunc sortOrder, int nodeSize)
    : io_(io),
      root_(root),
      depth_(depth),
      keyFields_(std::move(keyFields)),
      keyDataOffset_(keyDataOffset),
      maximumKeySize_(maximumKeySize),
      sortOrder_(sortOrder),
      nodeSize_(nodeSize) {}

TBTree::~TBTree() = default;

void TBTree::Open() {
  const char* caller = "TBTree.Open";
  if (!sortOrder_) IndexError(caller, "No sort order function assigned");
  if (!io_) IndexError(caller, "IO Interface is unassigned");
  if (nodeSize_ < 1024 || nodeSize_ % 16 != 0) {
    IndexError(caller, "Invalid node size: " + std::to_string(nodeSize_));
  }
  format_ =
      std::make_unique<TKeyFormat>(keyFields_, keyDataOffset_, maximumKeySize_, sortOrder_, caller);
  const size_t m = static_cast<size_t>(maximumKeySize_);
  searchKey_.assign(m + 1, 0);
  pending_.assign(m + 1, 0);
  scratch_.assign(m + 1, 0);
  PutU16(searchKey_.data(), static_cast<uint16_t>(m));
  optimized_.Build(*format_, searchKey_.data(), nullptr);
  spare_ = std::make_unique<TNode>(io_, nodeSize_, maximumKeySize_);
  path_.clear();
  pathPos_.clear();
  cursorValid_ = false;
}

void TBTree::CheckOpen(const char* caller) const {
  if (!format_) IndexError(caller, "The index is not open");
}

void TBTree::CheckShape(const char* caller) const {
  CheckOpen(caller);
  if (root_ == 0 || root_ % static_cast<uint32_t>(nodeSize_) != 0) {
    IndexError(caller, "Invalid root address: " + std::to_string(root_));
  }
  if (depth_ < 1 || depth_ > kMaxTreeDepth) {
    IndexError(caller, "Invalid index depth: " + std::to_string(depth_));
  }
}

const TKeyFormat& TBTree::Format() const {
  CheckOpen("TBTree.Format");
  return *format_;
}

void TBTree::CreateEmpty() {
  CheckOpen("TBTree.CreateEmpty");
  DropNodes();
  const uint32_t address = AllocateNode();
  spare_->InitEmpty(address, true);
  spare_->Write();
  spare_->Drop();
  root_ = address;
  depth_ = 1;
}

// ---- search key ---------------------------------------------------------------------------

void TBTree::SetKeyFromRecord(std::span<const uint8_t> image, const TPartialFlags* flags) {
  CheckOpen("TBTree.SetKeyFromRecord");
  format_->BuildFromRecord(image, searchKey_.data());
  optimized_.Build(*format_, searchKey_.data(), flags);
}

void TBTree::ConstructKeyBufFromVariants(const std::vector<TKeyValue>& values,
                                         const TPartialFlags* flags) {
  CheckOpen("TBTree.ConstructKeyBufFromVariants");
  format_->BuildFromValues(values, searchKey_.data());
  optimized_.Build(*format_, searchKey_.data(), flags);
}

void TBTree::ConstructKeyBufFromVariants(const TKeyValue& value, const TPartialFlags* flags) {
  ConstructKeyBufFromVariants(std::vector<TKeyValue>{value}, flags);
}

void TBTree::SetKeyAddress(uint32_t recordAddress) {
  CheckOpen("TBTree.SetKeyAddress");
  PutU32(searchKey_.data() + keAddress, recordAddress);
}

void TBTree::BuildKey(std::span<const uint8_t> image, uint8_t* out) const {
  CheckOpen("TBTree.BuildKey");
  format_->BuildFromRecord(image, out);
}

int TBTree::CompareKeys(int n, const TPartialFlags* flags, const uint8_t* stored,
                        const uint8_t* search) const {
  CheckOpen("TBTree.CompareKeys");
  return format_->CompareKeys(n, flags, stored, search);
}

int TBTree::CompareToOptimizedKey(int n, const uint8_t* stored) const {
  CheckOpen("TBTree.CompareToOptimizedKey");
  const int size = GetU16(stored + keEntrySize);
  if (size == 0 || size > maximumKeySize_) {
    IndexError("TBTree.CompareToOptimizedKey", "Invalid key size: " + std::to_string(size));
  }
  if (n <= 0) n = format_->FieldCount();
  return optimized_.Compare(*format_, n, stored, true);
}

// ---- node buffers and the path ------------------------------------------------------------

void TBTree::DropNodes() {
  for (auto& n : path_) n->Drop();
  if (spare_) spare_->Drop();
  cursorValid_ = false;
}

void TBTree::InvalidateNodes() {
  CheckOpen("TBTree.InvalidateNodes");
  DropNodes();
}

void TBTree::EnsurePath() {
  while (path_.size() < depth_) {
    path_.push_back(std::make_unique<TNode>(io_, nodeSize_, maximumKeySize_));
  }
  pathPos_.resize(path_.size(), 0);
}

TNode& TBTree::LoadPathNode(int level, uint32_t address) {
  TNode& node = *path_[static_cast<size_t>(level)];
  const bool leaf = level == depth_ - 1;
  if (node.Loaded() && node.Address() == address && node.IsLeaf() == leaf) return node;
  if (level > 0 && address == root_) {
    IndexError("TBTree.Descend",
               "The root is linked as a child of node " +
                   std::to_string(path_[static_cast<size_t>(level - 1)]->Address()));
  }
  node.Load(address, leaf ? 1 : 0, level == 0);
  return node;
}

int TBTree::Bound(const TNode& node, int n, bool upper, bool honourFlags) const {
  int lo = 0, hi = node.Count();
  while (lo < hi) {
    const int mid = lo + (hi - lo) / 2;
    const int c = optimized_.Compare(*format_, n, node.Entry(mid), honourFlags);
    if (upper ? c < 0 : c <= 0) {
      hi = mid;
    } else {
      lo = mid + 1;
    }
  }
  return lo;
}

int TBTree::Descend(int n, bool upper, bool honourFlags) {
  CheckShape("TBTree.Descend");
  cursorValid_ = false;
  cursorDepth_ = depth_;
  EnsurePath();
  uint32_t address = root_;
  for (int level = 0; level < depth_ - 1; ++level) {
    TNode& node = LoadPathNode(level, address);
    // The child that can hold the bound: the last whose first key lies before it.
    const int i = std::max(Bound(node, n, upper, honourFlags) - 1, 0);
    pathPos_[static_cast<size_t>(level)] = i;
    address = node.EntryAddress(i);
  }
  TNode& leaf = LoadPathNode(depth_ - 1, address);
  return Bound(leaf, n, upper, honourFlags);
}

bool TBTree::StepLeaf(bool forward) {
  const int last = depth_ - 1;
  TNode& leaf = Leaf();
  const uint32_t from = leaf.Address();
  const uint32_t link = forward ? leaf.Next() : leaf.Prev();
  int level = last - 1;
  while (level >= 0) {
    const int pos = pathPos_[static_cast<size_t>(level)];
    if (forward ? pos + 1 < path_[static_cast<size_t>(level)]->Count() : pos > 0) break;
    --level;
  }
  if (level < 0) {
    if (link != 0)
      IndexError("TBTree.NextKey", "Leaf links are inconsistent at node " + std::to_string(from));
    return false;
  }
  cursorValid_ = false;
  pathPos_[static_cast<size_t>(level)] += forward ? 1 : -1;
  for (int l = level; l < last; ++l) {
    const uint32_t child =
        path_[static_cast<size_t>(l)]->EntryAddress(pathPos_[static_cast<size_t>(l)]);
    TNode& node = LoadPathNode(l + 1, child);
    pathPos_[static_cast<size_t>(l + 1)] = forward ? 0 : node.Count() - 1;
  }
  TNode& reached = Leaf();
  if (reached.Address() != link || (forward ? reached.Prev() : reached.Next()) != from) {
    IndexError("TBTree.NextKey", "Leaf links are inconsistent at node " + std::to_string(from));
  }
  cursorValid_ = true;
  return true;
}

// ---- searching and moving -----------------------------------------------------------------

int TBTree::SearchKey(int kind, const TSearchModifier* modifier) {
  CheckOpen("TBTree.SearchKey");
  if (kind < skLess || kind > skNearest) {
    IndexError("TBTree.SearchKey", "Invalid search kind: " + std::to_string(kind));
  }
  const int n = format_->SearchFieldCount(modifier);
  const bool upper = kind == skLessOrEqual || kind == skGreater;
  const int pos = Descend(n, upper, true);
  TNode& leaf = Leaf();
  if (leaf.Count() == 0) return 1;  // only an empty root
  bool atEnd = false;
  LeafPos() = std::min(pos, leaf.Count() - 1);
  cursorValid_ = true;
  if (pos == leaf.Count()) atEnd = !StepLeaf(true);
  switch (kind) {
    case skLess:
    case skLessOrEqual:
      if (atEnd) return 0;
      return PriorKey() ? 0 : -1;
    case skEqual: {
      if (atEnd) return 1;
      return optimized_.Compare(*format_, n, GetCurrentKeyBuf(), true);
    }
    case skGreaterOrEqual:
    case skGreater:
      return atEnd ? 1 : 0;
    default:  // skNearest: the bound, else the last key
      return 0;
  }
}

bool TBTree::NextKey() {
  if (!CursorValid()) return false;
  int& pos = LeafPos();
  if (pos + 1 < Leaf().Count()) {
    ++pos;
    return true;
  }
  return StepLeaf(true);
}

bool TBTree::PriorKey() {
  if (!CursorValid()) return false;
  int& pos = LeafPos();
  if (pos > 0) {
    --pos;
    return true;
  }
  return StepLeaf(false);
}

bool TBTree::MoveBy(int n) {
  for (; n > 0; --n) {
    if (!NextKey()) return false;
  }
  for (; n < 0; ++n) {
    if (!PriorKey()) return false;
  }
  return true;
}

bool TBTree::CursorValid() const {
  // A depth changed since the cursor was set (the caller reloaded it) leaves the path unusable.
  return format_ && cursorValid_ && cursorDepth_ == depth_ && path_.size() >= depth_;
}

const uint8_t* TBTree::GetCurrentKeyBuf() {
  if (!CursorValid()) IndexError("TBTree.GetCurrentKeyBuf", "CurrentKeyCursor is invalid");
  return Leaf().Entry(LeafPos());
}

uint32_t TBTree::GetRecordAddress() {
  GetCurrentKeyBuf();  // checks the cursor
  return Leaf().EntryAddress(LeafPos());
}

// ---- record numbers -----------------------------------------------------------------------

int64_t TBTree::KeyCount() {
  CheckShape("TBTree.KeyCount");
  EnsurePath();
  TNode& root = *path_[0];
  if (root.Loaded() && root.Address() != root_)
    TDBLogger::Instance().IncCounter("ROOTADDRNOTVALID");
  return static_cast<int64_t>(LoadPathNode(0, root_).Total());
}

int64_t TBTree::GetRecNo() {
  GetCurrentKeyBuf();  // checks the cursor
  int64_t recNo = 0;
  for (int level = 0; level < depth_ - 1; ++level) {
    const TNode& node = *path_[static_cast<size_t>(level)];
    for (int i = 0; i < pathPos_[static_cast<size_t>(level)]; ++i) recNo += node.EntryCount(i);
  }
  return recNo + LeafPos() + 1;
}

uint32_t TBTree::SearchByRecNo(int64_t n) {
  const int64_t total = KeyCount();
  cursorValid_ = false;
  cursorDepth_ = depth_;
  if (total == 0) return 0;
  n = std::clamp<int64_t>(n, 1, total);
  uint32_t address = root_;
  for (int level = 0; level < depth_ - 1; ++level) {
    TNode& node = LoadPathNode(level, address);
    int64_t before = 0;
    int i = 0;
    for (; i < node.Count(); ++i) {
      const int64_t c = node.EntryCount(i);
      if (before + c >= n) break;
      before += c;
    }
    if (i == node.Count()) IndexAssert("invalid recno in getaddr of recno");
    n -= before;
    pathPos_[static_cast<size_t>(level)] = i;
    address = node.EntryAddress(i);
  }
  TNode& leaf = LoadPathNode(depth_ - 1, address);
  if (n > leaf.Count()) IndexAssert("invalid recno in getaddr of recno");
  LeafPos() = static_cast<int>(n - 1);
  cursorValid_ = true;
  return GetRecordAddress();
}

// ---- ranges, read-ahead, hash lists -------------------------------------------------------

std::vector<TRangeItem> TBTree::CollectRange(int kind, int fieldCount, uint32_t stopAddress,
                                             bool reverse) {
  std::vector<TRangeItem> items;
  const TSearchModifier modifier{true, fieldCount};
  if (SearchKey(kind, &modifier) != 0) return items;
  const int n = format_->SearchFieldCount(&modifier);
  const bool forward = kind >= skEqual;
  int64_t recNo = GetRecNo();
  for (;;) {
    if (kind == skEqual && optimized_.Compare(*format_, n, GetCurrentKeyBuf(), true) != 0) break;
    const uint32_t address = GetRecordAddress();
    items.push_back({address, recNo});
    if (stopAddress != 0 && address == stopAddress) break;
    if (forward ? !NextKey() : !PriorKey()) break;
    recNo += forward ? 1 : -1;
  }
  if (!forward && reverse) std::reverse(items.begin(), items.end());
  return items;
}

void TBTree::FillReadAhead(int mode, int count, TReadAheadBuffer& buffer) {
  GetCurrentKeyBuf();  // checks the cursor
  TNode& leaf = Leaf();
  const int pos = LeafPos();
  count = std::max(count, 1);
  int first, last;  // entries first .. last - 1
  if (mode == 1) {
    first = pos - count + 1;
    last = pos + 1;
  } else if (mode == 3) {
    first = pos - count / 2;
    last = pos + std::max(count / 2, 1);
  } else {
    first = pos;
    last = pos + count;
  }
  first = std::max(first, 0);
  last = std::min(last, leaf.Count());
  const int64_t firstRecNo = GetRecNo() - (pos - first);
  buffer.Clear();
  for (int i = first; i < last; ++i) {
    buffer.Add(leaf.Entry(i), maximumKeySize_, leaf.EntryAddress(i), firstRecNo + (i - first));
  }
  if (LeafPos() != pos || &Leaf() != &leaf) IndexAssert("CursorPos invalid");
}

void TBTree::LoadHashList(int keyField, THashList& list) {
  GetCurrentKeyBuf();  // checks the cursor
  if (keyField < 0 || keyField >= format_->FieldCount()) {
    IndexError("TBTree.LoadHashList", "Key field out of range: " + std::to_string(keyField));
  }
  auto addEntries = [&](const TNode& node, int from) {
    for (int i = from; i < node.Count(); ++i) {
      const uint8_t* data = nullptr;
      int length = 0;
      if (format_->FieldValue(node.Entry(i), keyField, &data, &length)) {
        list.Add(data, length, node.EntryAddress(i));
      }
    }
  };
  const TNode& leaf = Leaf();
  addEntries(leaf, LeafPos());
  // Every leaf but the root holds a key, so a list longer than the keys has a cycle.
  const int64_t limit = KeyCount();
  uint32_t previous = leaf.Address();
  uint32_t next = leaf.Next();
  for (int64_t leaves = 0; next != 0; ++leaves) {
    if (leaves > limit) IndexError("TBTree.LoadHashList", "Leaf links are inconsistent");
    spare_->Load(next, 1, false);
    if (spare_->Prev() != previous)
      IndexError("TBTree.LoadHashList", "Leaf links are inconsistent");
    addEntries(*spare_, 0);
    previous = next;
    next = spare_->Next();
  }
  spare_->Drop();
}

// ---- changing the tree --------------------------------------------------------------------

uint32_t TBTree::AllocateNode() {
  const int64_t address = io_->AllocateNewAddress(nodeSize_, nullptr);
  if (address <= 0 || address > UINT32_MAX || address % nodeSize_ != 0) {
    IndexError("TBTree.AllocateNode", "Invalid node address: " + std::to_string(address));
  }
  return static_cast<uint32_t>(address);
}

void TBTree::ReleaseNode(uint32_t address) {
  io_->ReleaseBlock(address, nodeSize_);
}

void TBTree::SetLeafLink(uint32_t leaf, bool next, uint32_t value) {
  const char* caller = "TBTree.SetLeafLink";
  if (leaf % static_cast<uint32_t>(nodeSize_) != 0) {
    IndexError(caller, "Invalid node address: " + std::to_string(leaf));
  }
  uint8_t header[kNodeHeaderSize];
  try {
    io_->ReadBlockHeader(leaf, kNodeHeaderSize, header);
  } catch (const EZuzDatabaseError& e) {
    if (e.ErrorCode() != ZUZ_ERR_CORRUPT) throw;
    IndexError(caller, "Invalid node address: " + std::to_string(leaf));
  }
  if ((GetU32(header + ndLeafFlag) & 0x7F) != 1) {
    IndexError(caller, "Leaf links are inconsistent at node " + std::to_string(leaf));
  }
  PutU32(header + (next ? ndNext : ndPrev), value);
  io_->WriteBlockHeader(leaf, kNodeHeaderSize, header);
}

void TBTree::RefreshEntry(TNode& parent, int i, const TNode& child) {
  uint8_t* e = parent.MutableEntry(i);
  const uint8_t* first = child.Entry(0);
  std::memcpy(e + keBitmap, first + keBitmap, static_cast<size_t>(maximumKeySize_ - keBitmap));
  PutU32(e + keCount, static_cast<uint32_t>(child.Total()));
}

void TBTree::SplitNode(TNode& node, uint8_t* pending) {
  const int keep = (node.Used() / 2) / maximumKeySize_;
  if (node.Count() == 0) IndexError("TNode.SplitNode", "Node is empty");
  if (keep < 1 || keep >= node.Count()) IndexError("TNode.SplitNode", "Cursor is out of range");
  TNode& right = *spare_;
  right.InitEmpty(AllocateNode(), node.IsLeaf());
  node.MoveTailTo(keep, right);
  if (node.IsLeaf()) {
    right.SetNext(node.Next());
    right.SetPrev(node.Address());
    if (node.Next() != 0) SetLeafLink(node.Next(), false, right.Address());
    node.SetNext(right.Address());
  }
  right.Write();
  std::memcpy(pending, right.Entry(0), static_cast<size_t>(maximumKeySize_));
  PutU32(pending + keCount, static_cast<uint32_t>(right.Total()));
  PutU32(pending + keAddress, right.Address());
  right.Drop();
}

void TBTree::SplitRoot(TNode& root) {
  if (depth_ >= kMaxTreeDepth) IndexError("TBTree.InsertKey", "The index has too many levels");
  const bool leaf = root.IsLeaf();
  if (leaf && (root.Next() != 0 || root.Prev() != 0)) {
    IndexError("TBTree.InsertKey",
               "Leaf links are inconsistent at node " + std::to_string(root.Address()));
  }
  const int keep = (root.Used() / 2) / maximumKeySize_;
  if (keep < 1 || keep >= root.Count()) IndexError("TNode.SplitNode", "Cursor is out of range");
  const uint32_t rightAddress = AllocateNode();
  const uint32_t leftAddress = AllocateNode();
  TNode& node = *spare_;
  // The right half.
  node.InitEmpty(rightAddress, leaf);
  root.MoveTailTo(keep, node);
  if (leaf) node.SetPrev(leftAddress);
  node.Write();
  std::memcpy(pending_.data(), node.Entry(0), static_cast<size_t>(maximumKeySize_));
  PutU32(pending_.data() + keCount, static_cast<uint32_t>(node.Total()));
  PutU32(pending_.data() + keAddress, rightAddress);
  // The left half moves out of the root.
  node.CopyContentFrom(root);
  node.SetAddress(leftAddress);
  if (leaf) node.SetNext(rightAddress);
  node.Write();
  std::memcpy(scratch_.data(), node.Entry(0), static_cast<size_t>(maximumKeySize_));
  PutU32(scratch_.data() + keCount, static_cast<uint32_t>(node.Total()));
  PutU32(scratch_.data() + keAddress, leftAddress);
  node.Drop();
  // The root becomes an inner node over the two halves.
  root.InitEmpty(root.Address(), false);
  root.InsertEntry(0, scratch_.data());
  root.InsertEntry(1, pending_.data());
  root.Write();
  depth_ = static_cast<uint16_t>(depth_ + 1);
}

void TBTree::InsertKey() {
  const char* caller = "TBTree.InsertKey";
  CheckOpen(caller);
  if (GetU32(searchKey_.data() + keAddress) == 0) {
    IndexError(caller, "The key to insert has no record address");
  }
  // The insertion place: after every key equal to the full key.
  const int pos = Descend(format_->FieldCount(), true, false);
  TDropOnFailure guard(path_, *spare_);
  for (int level = 0; level < depth_; ++level) path_[static_cast<size_t>(level)]->CheckEntries();
  const int m = maximumKeySize_;
  std::memcpy(pending_.data(), searchKey_.data(), static_cast<size_t>(m));
  PutU32(pending_.data() + keCount, 0);
  bool hasPending = true;
  int insertAt = pos;
  uint64_t childTotal = 0;
  for (int level = depth_ - 1; level >= 0; --level) {
    TNode& node = *path_[static_cast<size_t>(level)];
    const int at = pathPos_[static_cast<size_t>(level)];
    if (level < depth_ - 1) {
      // The child's first key may have changed and its count has.
      uint8_t* e = node.MutableEntry(at);
      std::memcpy(e + keBitmap, scratch_.data() + keBitmap, static_cast<size_t>(m - keBitmap));
      PutU32(e + keCount, static_cast<uint32_t>(childTotal));
    }
    if (hasPending) {
      node.InsertEntry(insertAt, pending_.data());
      hasPending = false;
    }
    if (node.Full()) {
      if (level == 0) {
        SplitRoot(node);
        break;
      }
      SplitNode(node, pending_.data());
      hasPending = true;
      insertAt = pathPos_[static_cast<size_t>(level - 1)] + 1;
    }
    node.Write();
    std::memcpy(scratch_.data(), node.Entry(0), static_cast<size_t>(m));
    childTotal = node.Total();
  }
  guard.Done();
  DropNodes();
}

void TBTree::Rebalance(TNode& node, TNode& parent, int p, int* removeAt) {
  const int count = parent.Count();
  int s;
  if (p == 0) {
    s = 1;
  } else if (p == count - 1) {
    s = p - 1;
  } else {
    s = parent.EntryCount(p - 1) < parent.EntryCount(p + 1) ? p - 1 : p + 1;
  }
  TNode& sibling = *spare_;
  sibling.Load(parent.EntryAddress(s), node.IsLeaf() ? 1 : 0, false, true);
  const bool siblingLeft = s < p;
  TNode& left = siblingLeft ? sibling : node;
  TNode& right = siblingLeft ? node : sibling;
  const int a = left.Used(), b = right.Used();
  const int m = maximumKeySize_;
  if (a + b <= nodeSize_ / 3) {
    // Merge: the node keeps its address and takes the sibling's entries.
    if (siblingLeft) {
      sibling.MoveTailToFront(0, node);
      if (node.IsLeaf()) {
        node.SetPrev(sibling.Prev());
        if (sibling.Prev() != 0) SetLeafLink(sibling.Prev(), true, node.Address());
      }
    } else {
      sibling.MoveTailTo(0, node);
      if (node.IsLeaf()) {
        node.SetNext(sibling.Next());
        if (sibling.Next() != 0) SetLeafLink(sibling.Next(), false, node.Address());
      }
    }
    ReleaseNode(sibling.Address());
    sibling.Drop();
    *removeAt = s;
    return;
  }
  if (a == b) {
    sibling.Drop();
    return;
  }
  const int half = (a + b) / 2;
  if (a < half) {
    // The right node's first entries up to the boundary at or past half - a go left.
    int k = (half - a + m - 1) / m;
    k = std::min(k, right.Count() - 1);
    if (k > 0) right.MoveHeadToEnd(k, left);
  } else {
    // The left node's entries from the boundary at or below half go right.
    int keep = std::max(half / m, 1);
    if (keep < left.Count()) left.MoveTailToFront(keep, right);
  }
  sibling.Write();
  RefreshEntry(parent, s, sibling);
  sibling.Drop();
}

void TBTree::DeleteCurrentKey() {
  const char* caller = "TBTree.DeleteCurrentKey";
  GetCurrentKeyBuf();  // checks the cursor
  CheckShape(caller);
  TDropOnFailure guard(path_, *spare_);
  for (int level = 0; level < depth_; ++level) path_[static_cast<size_t>(level)]->CheckEntries();
  cursorValid_ = false;
  int removeAt = LeafPos();
  for (int level = depth_ - 1; level >= 0; --level) {
    TNode& node = *path_[static_cast<size_t>(level)];
    if (removeAt >= 0) {
      node.DeleteEntry(removeAt);
      removeAt = -1;
    }
    if (level == 0) {
      node.Write();
      break;
    }
    TNode& parent = *path_[static_cast<size_t>(level - 1)];
    const int p = pathPos_[static_cast<size_t>(level - 1)];
    if (parent.Count() > 1 && (node.Count() == 0 || node.Underfull())) {
      Rebalance(node, parent, p, &removeAt);
      if (node.Count() == 0) IndexAssert("Node is empty after rebalancing");
    }
    if (node.Count() == 0) {
      // Emptied under a parent with a single entry, so there was no sibling to take entries
      // from: the node leaves the tree and its entry leaves the parent.
      if (node.IsLeaf()) {
        if (node.Prev() != 0) SetLeafLink(node.Prev(), true, node.Next());
        if (node.Next() != 0) SetLeafLink(node.Next(), false, node.Prev());
      }
      ReleaseNode(node.Address());
      node.Drop();
      removeAt = p;
      continue;
    }
    node.Write();
    RefreshEntry(parent, p, node);
  }
  TNode& root = *path_[0];
  if (!root.IsLeaf() && root.Count() == 1) {
    // Collapse: the only child moves into the root.
    const uint32_t child = root.EntryAddress(0);
    spare_->Load(child, depth_ == 2 ? 1 : 0, false, true);
    root.CopyContentFrom(*spare_);
    if (root.IsLeaf()) {
      root.SetNext(0);
      root.SetPrev(0);
    }
    root.Write();
    spare_->Drop();
    ReleaseNode(child);
    depth_ = static_cast<uint16_t>(depth_ - 1);
  } else if (!root.IsLeaf() && root.Count() == 0) {
    root.InitEmpty(root.Address(), true);
    root.Write();
    depth_ = 1;
  }
  guard.Done();
  DropNodes();
}

}  // namespace zuz
