// One node of an index's B+tree, held in a buffer of the node size (4096 bytes):
//
//   0    u32  1 = leaf, 0 = inner node (the low 7 bits carry the flag)
//   4    u32  bytes used by entries
//   8    u32  leaf: address of the next leaf, 0 for the last; inner node: 0
//   12   u32  leaf: address of the previous leaf, 0 for the first; inner node: 0
//   16   the entries (key entries of MaximumKeySize bytes, zuzKeyFormat.h), back to back in
//        ascending key order
//   ...  zero to the end of the node
//
// A node is full when used + MaximumKeySize + 16 >= node size (no room for one more entry) and
// underfull when used + 16 < node size / 2. Everything read from a node is checked before it is
// used: on loading the flag, the used bytes (a multiple of the entry size within the node) and
// the leaf links (on node boundaries); each entry's size field when the entry is read, and its
// address (non-zero; a child's on a node boundary when the child is loaded). CheckEntries checks
// every entry at once, before a node is changed.
#pragma once

#include <cstdint>
#include <vector>

#include "db/storage/zuzIOInterface.h"

namespace zuz {

enum : int {
  ndLeafFlag = 0,
  ndUsed = 4,
  ndNext = 8,
  ndPrev = 12,
};

class TNode {
 public:
  // REQUIRES: io outlives the node; keySize > 0.
  TNode(TBaseIOInterface* io, int nodeSize, int keySize);

  // Reads the node at the address and checks it (8581 "Invalid node ..." texts on damage).
  // expectLeaf -1 accepts either kind; 0 / 1 requires an inner node / a leaf. allowEmpty
  // accepts a node without entries (only the root may be one). checkEntries checks every entry.
  void Load(uint32_t address, int expectLeaf = -1, bool allowEmpty = true,
            bool checkEntries = false);
  // Checks every entry's size and address (8581 on damage).
  void CheckEntries() const;
  // Writes the whole buffer to its address.
  void Write();
  // A zeroed buffer for the address, of the given kind, not yet written.
  void InitEmpty(uint32_t address, bool leaf);
  // Takes over another node's bytes (not its address).
  void CopyContentFrom(const TNode& other);
  // Forgets the buffer's contents; the next use must load or initialise it.
  void Drop() { loaded_ = false; }
  bool Loaded() const { return loaded_; }
  uint32_t Address() const { return address_; }
  void SetAddress(uint32_t address) { address_ = address; }

  bool IsLeaf() const;
  void SetLeaf(bool leaf);
  int Used() const;
  uint32_t Next() const;
  uint32_t Prev() const;
  void SetNext(uint32_t address);
  void SetPrev(uint32_t address);

  int KeySize() const { return keySize_; }
  int NodeSize() const { return nodeSize_; }
  int Count() const { return Used() / keySize_; }
  bool Full() const { return Used() + keySize_ + 16 >= nodeSize_; }
  bool Underfull() const { return Used() + 16 < nodeSize_ / 2; }

  // REQUIRES: 0 <= i < Count() ("Node cursor out of range" otherwise). 8581 when the entry's
  // size field is not the entry size, or (EntryAddress) its address is 0.
  const uint8_t* Entry(int i) const;
  uint8_t* MutableEntry(int i);
  uint32_t EntryCount(int i) const;
  uint32_t EntryAddress(int i) const;
  // The number of keys below this node: a leaf's entries, or the sum of an inner node's counts.
  uint64_t Total() const;

  // Inserts the entry at position i (0 <= i <= Count()), shifting the following ones.
  // REQUIRES: room for it ("Node is overfull" otherwise).
  void InsertEntry(int i, const uint8_t* entry);
  // Removes the entry at position i, shifting the following ones down; the freed tail is zeroed.
  void DeleteEntry(int i);
  // Moves the entries from position i on to the end of dest (dest keeps its header), zeroing
  // them here.
  void MoveTailTo(int i, TNode& dest);
  // Moves the first n entries to the end of dest.
  void MoveHeadToEnd(int n, TNode& dest);
  // Moves the entries from position i on to the front of dest.
  void MoveTailToFront(int i, TNode& dest);

  const uint8_t* Data() const { return buf_.data(); }

 private:
  void CheckOpen(const char* caller) const;
  void SetUsed(int used);

  TBaseIOInterface* io_;
  int nodeSize_;
  int keySize_;
  uint32_t address_ = 0;
  bool loaded_ = false;
  std::vector<uint8_t> buf_;
};

}  // namespace zuz
