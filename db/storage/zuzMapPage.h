// Map pages: the page allocation map, a chain of pages starting at global header item 20.
//
// One map page (4096 bytes):
//   0    u32   index k of this map page in the chain (0 for the first)
//   4    u32   address of the next map page, 0 for the last
//   8    u16   head of the free chain: byte offset of the first free entry, 0 = none
//   10   10    zero
//   20   2038 x u16 entries; map page k describes pages k x 2038 ... k x 2038 + 2037
// Entry values:
//   0           never allocated
//   bit 15 set  free; the low 15 bits are the byte offset of the next free entry of this map
//               page (0x8000 ends the chain). The chain is kept in ascending order.
//   otherwise   owner tag: table id x 16 + usage
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <vector>

namespace zuz {

class TDiskMgr;

constexpr int kMapPageSize = 4096;
constexpr int kMapEntriesOffset = 20;
constexpr int kMapEntriesPerPage = (kMapPageSize - kMapEntriesOffset) / 2;  // 2038
constexpr uint16_t kMapFreeBit = 0x8000;

// One map page image, with accessors that never read outside it.
struct TMapPage {
  std::array<uint8_t, kMapPageSize> data{};
  int64_t address = 0;

  uint32_t Index() const;
  uint32_t Next() const;
  void SetNext(uint32_t address);
  uint16_t Head() const;
  void SetHead(uint16_t offset);
  // REQUIRES: 0 <= i < 2038.
  uint16_t Entry(int i) const;
  void SetEntry(int i, uint16_t value);
  // The entry at a byte offset; REQUIRES: IsEntryOffset(offset).
  uint16_t EntryAt(int offset) const;
  void SetEntryAt(int offset, uint16_t value);

  static bool IsEntryOffset(int offset) {
    return offset >= kMapEntriesOffset && offset < kMapPageSize &&
           (offset - kMapEntriesOffset) % 2 == 0;
  }
  static int OffsetOfEntry(int i) { return kMapEntriesOffset + 2 * i; }
  static int EntryOfOffset(int offset) { return (offset - kMapEntriesOffset) / 2; }
};

class TMapPageMgr {
 public:
  explicit TMapPageMgr(TDiskMgr& disk);

  // The address of n consecutive free pages taken out of a free chain (the map page is written
  // back), or 0 when no map page has such a run. The caller tags them next.
  int64_t FindEmptyMapRun(int pageCount);
  // Tags (value without bit 15) or frees (value 0x8000) the entries of a run of pages, map page
  // by map page, adding a map page when the run reaches one past the last.
  void SetMapEntryFlags(int64_t address, int pageCount, uint16_t value);
  // The address of map page k. Map pages never move or leave the chain, so the addresses found
  // by walking it are kept; ForgetChain drops them (after a rollback or a restore, which may
  // take back appended map pages).
  int64_t SearchMapsForMapPage(uint32_t k);
  void ForgetChain() { chain_.clear(); }
  // The first map page in chain order whose free chain is not empty, or 0.
  int64_t SearchMapsForFirstEmptyMapPage();
  // Appends a map page and links it from the last one; returns its address.
  int64_t AddMapPage();
  // Rewrites the free chain of the page in ascending order, adding the extra entry offsets.
  static void SortFreeChain(TMapPage& page, const std::vector<int>& extraOffsets = {});
  // The offsets of the free chain in chain order (8581 on a bad link, a loop, or a link to an
  // entry that is not free).
  static std::vector<int> FreeChain(const TMapPage& page, const char* caller);

  // Reads map page k at the address and checks it (8581 when it does not look like map page k).
  TMapPage ReadMapPage(int64_t address, uint32_t k);
  void WriteMapPage(const TMapPage& page);
  // The map entry of the page at the address.
  uint16_t EntryOf(int64_t pageAddress);
  // Every page carrying the tag, in map order.
  std::vector<int64_t> ListTaggedPages(uint16_t tag);
  // Frees the entries whose tag matches (table id, or table id and usage) on every map page;
  // returns the freed page addresses in ascending order.
  std::vector<int64_t> FreeMatchingEntries(uint32_t tableId, uint32_t usage, bool matchUsage);
  uint32_t MapPageCount() const;

 private:
  // Finds and unlinks a run of n free entries on one map page; the entry offset of its first
  // entry, or 0.
  int FindEmptyPagesInMap(TMapPage& page, int pageCount);
  void SetMapEntryFlagsOnPage(uint32_t k, int firstEntry, int count, uint16_t value);
  void UpdateFreeMapPageHint(const TMapPage& page);
  // Reads the map pages in chain order, calling visit with each page and its index until it
  // returns true; returns the address of that page, or 0. A zero link is 8581 under caller.
  int64_t WalkMapPages(const char* caller, const std::function<bool(TMapPage&, uint32_t)>& visit);

  TDiskMgr& disk_;
  std::vector<int64_t> chain_;  // addresses of map pages 0, 1, ... as far as walked
};

}  // namespace zuz
