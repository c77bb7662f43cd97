// The page cache and the transaction block cache of a database file.
//
// Page cache: up to a capacity of page images (plaintext, page-size bytes each), found by page
// address. Each image carries the table id and IO flags it was read or written with, a last-use
// number and a state: invalid, clean (equal to the file) or dirty (changed inside a transaction,
// not yet written). Dirty pages are never evicted: the cache grows past its capacity instead.
// The clean pages stand in a list from least to most recently used (every access moves a page to
// its end), so the page to reuse is found without looking at the others.
//
// Block cache: inside a transaction, the bytes of every uncached write, held until commit as
// disjoint address ranges. A later write over the same bytes replaces them; overlapping and
// adjacent writes merge, so reading a range back always sees the newest bytes.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <vector>

namespace zuz {

enum TCachePageState : uint8_t { cpsInvalid = 0, cpsClean = 1, cpsDirty = 2 };

struct TCachePage {
  std::vector<uint8_t> data;
  int64_t address = -1;
  uint32_t tableId = 0;
  uint32_t ioFlags = 0;
  uint64_t lastUse = 0;
  // Change the state through TCacheMgr (MarkDirty, MarkClean), which keeps the use list.
  TCachePageState state = cpsInvalid;
  // The neighbours in the use list of clean pages (both null, and not the list's head, when the
  // page is not in it).
  TCachePage* older = nullptr;
  TCachePage* newer = nullptr;
  // Its place in the cache's list of dirty pages, while dirty.
  size_t dirtyIndex = 0;
};

class TCacheMgr {
 public:
  static constexpr int kMinPages = 50;
  static constexpr int kMaxPages = 1000;

  explicit TCacheMgr(int pageSize);
  TCacheMgr(TCacheMgr&&) = default;
  TCacheMgr& operator=(TCacheMgr&&) = default;

  int PageSize() const { return pageSize_; }
  // Sets the number of pages kept before clean pages are reused.
  void SetCapacity(int pages) { capacity_ = pages < 1 ? 1 : pages; }
  int Capacity() const { return capacity_; }
  int PageCount() const { return static_cast<int>(pages_.size()); }

  // The valid page at the address, or null.
  TCachePage* Find(int64_t address);
  // A page to load into, taken out of the index: the first invalid page, else (at capacity) the
  // least recently used clean page, else a new page.
  TCachePage* GetNextEmptyPage();
  // Stamps the page and enters it in the index under its address.
  void Enter(TCachePage* page, int64_t address, uint32_t tableId, uint32_t ioFlags,
             TCachePageState state);
  // Sets the page's last-use number from the access counter; a clean page becomes the most
  // recently used.
  void Touch(TCachePage* page);
  // A valid page changed inside a transaction / written to the file.
  void MarkDirty(TCachePage* page);
  void MarkClean(TCachePage* page);
  void Invalidate(TCachePage* page);
  // Gives back a page from GetNextEmptyPage that could not be loaded.
  void ReturnEmptyPage(TCachePage* page) { invalid_.push_back(page); }

  void InvalidateAll();
  void InvalidateDirty();
  void InvalidateTable(uint32_t tableId);
  // Invalidates every page that overlaps [address, address + n).
  void InvalidateRange(int64_t address, int64_t n);
  bool HasDirtyPageOf(uint32_t tableId) const;
  int DirtyCount() const { return static_cast<int>(dirty_.size()); }
  // The dirty pages in ascending address order.
  std::vector<TCachePage*> DirtyPages() const;

  // The clean pages from least to most recently used (for tests).
  std::vector<const TCachePage*> CleanPagesByUse() const;

  void CountHit() { ++hits_; }
  void CountMiss() { ++misses_; }
  uint64_t Hits() const { return hits_; }
  uint64_t Misses() const { return misses_; }

 private:
  void Unlink(TCachePage* page);
  void LinkNewest(TCachePage* page);
  // The list of dirty pages (so that a commit finds them without looking at every page).
  void AddDirty(TCachePage* page);
  void RemoveDirty(TCachePage* page);
  // Enters the page under its address / takes it out.
  void Remember(TCachePage* page);
  void Forget(TCachePage* page);

  int pageSize_;
  int capacity_ = kMinPages;
  std::vector<std::unique_ptr<TCachePage>> pages_;
  // The valid pages by page number (address / page size): a page whose address is -1 is in none.
  std::vector<TCachePage*> byPage_;
  std::vector<TCachePage*> invalid_;
  TCachePage* oldest_ = nullptr;  // the use list of clean pages
  TCachePage* newest_ = nullptr;
  uint64_t useCounter_ = 0;
  std::vector<TCachePage*> dirty_;
  uint64_t hits_ = 0;
  uint64_t misses_ = 0;
};

struct TCacheBlock {
  int64_t address = 0;
  uint32_t tableId = 0;
  std::vector<uint8_t> data;
  int64_t End() const { return address + static_cast<int64_t>(data.size()); }
};

class TCacheBlockMgr {
 public:
  // Holds n bytes for the address; requires n > 0.
  void Write(int64_t address, const uint8_t* data, int64_t n, uint32_t tableId);
  // Copies every held byte of [address, address + n) over buf; true when any byte was held.
  bool Overlay(int64_t address, uint8_t* buf, int64_t n) const;
  // The end of the highest block, 0 when empty.
  int64_t HighestEnd() const;
  void Clear() { blocks_.clear(); }
  bool Empty() const { return blocks_.empty(); }
  const std::map<int64_t, TCacheBlock>& Blocks() const { return blocks_; }

 private:
  std::map<int64_t, TCacheBlock> blocks_;  // disjoint, keyed by address
};

}  // namespace zuz
