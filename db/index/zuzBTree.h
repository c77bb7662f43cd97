// The B+tree of one index: key entries (zuzKeyFormat.h) in nodes (zuzBTreeNode.h) that come
// from the table's index-node storage interface.
//
// Shape. The root address and the number of levels (1 = the root is a leaf) are the index's
// Root and Depth, kept by the caller in the table header's index slot; the tree reads and
// updates them through references. The root keeps its address for the life of the index: the
// tree grows by moving the root's content into a new node and shrinks by copying the root's only
// child back into it. An empty index is a single leaf without entries. Leaves form a doubly
// linked list in key order; inner nodes are not linked.
//
// Invariants after every complete operation:
//   - every node holds entries in non-decreasing key order, and the leaves in list order hold
//     all keys in non-decreasing order; all leaves are on level Depth;
//   - an inner entry's key is its child's first key, and its count the number of keys in the
//     child's subtree;
//   - no node is full, and only the root may be empty; an inner root has at least one entry.
//
// Deleting. A node that falls underfull is merged with, or evened out against, a sibling chosen
// among its parent's neighbouring entries (merge when both fit in a third of a node). A node
// whose parent has a single entry is not rebalanced; when such a node other than the root loses
// its last entry it is removed: taken out of the leaf list (for a leaf), released to the index
// interface, and its entry removed from its parent, which may empty the parent in turn. When the
// root ends up inner with one entry, its child is copied into it (one level per delete); when it
// ends up inner without entries, it becomes an empty leaf.
//
// Searching. A descent finds, for the compared key fields, either the first key not before the
// search key (lower bound) or the first key after it (upper bound); inner nodes choose the child
// that can hold that bound, so duplicate keys that straddle two leaves are found from their
// first. The search kinds put the cursor on: 0 the greatest key < S, 1 the greatest key <= S,
// 2 the first key = S, 3 the smallest key >= S, 4 the smallest key > S, 5 the smallest key >= S
// or else the last key. Moving across leaves walks the search path (and checks the leaf links
// against it), so the path always leads to the cursor's leaf.
//
// Node buffers. The path holds one node buffer per level; a buffer that holds an address is
// reused by the next descent. Every insert and delete drops them. After a rollback, or when
// another program has changed the table, the caller reloads Root and Depth and calls
// InvalidateNodes.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <utility>
#include <vector>

#include "db/index/zuzBTreeNode.h"
#include "db/index/zuzIndexHashList.h"
#include "db/index/zuzIndexReadAhead.h"
#include "db/index/zuzKeyFormat.h"
#include "db/storage/zuzIOInterface.h"

namespace zuz {

enum : int {
  skLess = 0,
  skLessOrEqual = 1,
  skEqual = 2,
  skGreaterOrEqual = 3,
  skGreater = 4,
  skNearest = 5,
};

// One key of a range: the record's address and its 1-based position in key order.
struct TRangeItem {
  uint32_t RecordAddress = 0;
  int64_t RecNo = 0;
  bool operator==(const TRangeItem&) const = default;
};

class TBTree {
 public:
  // REQUIRES: io, root and depth outlive the tree. Nothing is checked before Open.
  TBTree(TBaseIOInterface* io, uint32_t& root, uint16_t& depth, TKeyFields keyFields,
         int keyDataOffset, int maximumKeySize, TSortOrderFunc sortOrder,
         int nodeSize = kIndexPageSize);
  ~TBTree();
  TBTree(const TBTree&) = delete;
  TBTree& operator=(const TBTree&) = delete;

  // Checks the key definition and makes the buffers: 8581 "No sort order function assigned"
  // without a sort order, 8581 / 10000 for a bad key definition.
  void Open();
  bool IsOpen() const { return format_ != nullptr; }
  // Allocates one node, writes it as an empty leaf, sets Root to it and Depth to 1.
  void CreateEmpty();

  // The search key: from a record image (partial flags optional, one per key field), or from
  // values (one per key field, or one value for the first), with a record address for inserts.
  void SetKeyFromRecord(std::span<const uint8_t> image, const TPartialFlags* flags = nullptr);
  void ConstructKeyBufFromVariants(const std::vector<TKeyValue>& values,
                                   const TPartialFlags* flags = nullptr);
  void ConstructKeyBufFromVariants(const TKeyValue& value, const TPartialFlags* flags = nullptr);
  void SetKeyAddress(uint32_t recordAddress);
  // Builds the key of a record image into out (MaximumKeySize bytes), leaving the search key.
  void BuildKey(std::span<const uint8_t> image, uint8_t* out) const;
  const uint8_t* SearchKeyBuf() const { return searchKey_.data(); }

  // Positions the cursor by the search kind (skLess .. skNearest) over the fields the modifier
  // chooses (all without one); 0 when a key was found. On a non-empty index the cursor is on a
  // key afterwards, found or not.
  int SearchKey(int kind, const TSearchModifier* modifier = nullptr);
  // Move the cursor one key, across leaves; false (cursor unchanged) at the end, at the start,
  // or without a cursor.
  bool NextKey();
  bool PriorKey();
  // |n| moves forward (n > 0) or backward; true when all were made.
  bool MoveBy(int n);
  bool CursorValid() const;

  // The cursor's key entry and record address (8581 "CurrentKeyCursor is invalid" without one).
  const uint8_t* GetCurrentKeyBuf();
  uint32_t GetRecordAddress();

  // Comparison of search key S with stored key K over the first n fields (n <= 0: all):
  // -1, 0, +1 for S before, equal to, after K.
  int CompareKeys(int n, const TPartialFlags* flags, const uint8_t* stored,
                  const uint8_t* search) const;
  // The same against the decoded search key, with its partial flags.
  int CompareToOptimizedKey(int n, const uint8_t* stored) const;

  // Inserts the search key with its record address (non-zero) where it belongs in key order
  // (after equal keys). The caller refuses duplicates first. The path is stale afterwards.
  void InsertKey();
  // Deletes the cursor's entry. The path is stale afterwards.
  void DeleteCurrentKey();

  int64_t KeyCount();
  // The cursor's 1-based position in key order.
  int64_t GetRecNo();
  // The address of the n-th key (n below 1 counts as 1, beyond the end as the last), with the
  // cursor on it; 0 for an empty index.
  uint32_t SearchByRecNo(int64_t n);

  // Searches the search key by the kind over fieldCount fields (as a TSearchModifier) and
  // collects from the cursor: kinds 0 and 1 backward to the first key, 3, 4 and 5 forward to the
  // last key, 2 forward while keys equal the search key. Stops after the entry whose record
  // address is stopAddress (0: none). A backward result is turned into ascending order when
  // reverse is set.
  std::vector<TRangeItem> CollectRange(int kind, int fieldCount, uint32_t stopAddress,
                                       bool reverse);

  // Replaces the buffer's items by keys of the cursor's leaf: mode 1 the count entries that end
  // at the cursor, mode 3 count/2 entries before the cursor and count/2 from it on, any other
  // mode count entries from the cursor on (each range cut at the leaf's ends).
  void FillReadAhead(int mode, int count, TReadAheadBuffer& buffer);
  // From the cursor on to the last key, adds the value of key field keyField and the record
  // address of every key in which that field is present.
  void LoadHashList(int keyField, THashList& list);

  // Drops the node buffers; the next operation reads the nodes again.
  void InvalidateNodes();

  const TKeyFormat& Format() const;
  TBaseIOInterface* Interface() const { return io_; }
  uint32_t Root() const { return root_; }
  int Depth() const { return depth_; }
  int NodeSize() const { return nodeSize_; }
  int MaximumKeySize() const { return maximumKeySize_; }

 private:
  void CheckOpen(const char* caller) const;
  void CheckShape(const char* caller) const;
  void EnsurePath();
  TNode& LoadPathNode(int level, uint32_t address);
  // Descends to the leaf of the lower or upper bound over n fields; returns the bound's position
  // in that leaf (0 .. Count()).
  int Descend(int n, bool upper, bool honourFlags);
  int Bound(const TNode& node, int n, bool upper, bool honourFlags) const;
  // Moves the path to the next / previous leaf; false when there is none.
  bool StepLeaf(bool forward);
  TNode& Leaf() { return *path_[static_cast<size_t>(depth_ - 1)]; }
  int& LeafPos() { return pathPos_[static_cast<size_t>(depth_ - 1)]; }
  void DropNodes();

  uint32_t AllocateNode();
  void ReleaseNode(uint32_t address);
  // Rewrites a leaf's previous or next link in place (its 16-byte header).
  void SetLeafLink(uint32_t leaf, bool next, uint32_t value);
  // Copies the child's first key and total count into the parent's entry i.
  void RefreshEntry(TNode& parent, int i, const TNode& child);
  // Splits a full non-root node into a new right node; returns the entry for the parent.
  void SplitNode(TNode& node, uint8_t* pending);
  void SplitRoot(TNode& root);
  void Rebalance(TNode& node, TNode& parent, int p, int* removeAt);

  TBaseIOInterface* io_;
  uint32_t& root_;
  uint16_t& depth_;
  TKeyFields keyFields_;
  int keyDataOffset_;
  int maximumKeySize_;
  TSortOrderFunc sortOrder_;
  int nodeSize_;

  std::unique_ptr<TKeyFormat> format_;
  std::vector<uint8_t> searchKey_;
  std::vector<uint8_t> pending_;
  std::vector<uint8_t> scratch_;
  TPartialFlags flags_;
  TOptimizedSearchKey optimized_;
  std::vector<std::unique_ptr<TNode>> path_;
  std::vector<int> pathPos_;
  std::unique_ptr<TNode> spare_;
  bool cursorValid_ = false;
  uint16_t cursorDepth_ = 0;  // the depth the path was built for
};

}  // namespace zuz
