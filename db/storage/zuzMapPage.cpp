#include "db/storage/zuzMapPage.h"

#include <algorithm>
#include <string>

#include "db/storage/zuzCoding.h"
#include "db/storage/zuzDisk.h"
#include "db/storage/zuzError.h"

namespace zuz {

namespace {
constexpr const char* kObject = "TMapPageMgr";
}

uint32_t TMapPage::Index() const {
  return GetU32(data.data() + 0);
}
uint32_t TMapPage::Next() const {
  return GetU32(data.data() + 4);
}
void TMapPage::SetNext(uint32_t a) {
  PutU32(data.data() + 4, a);
}
uint16_t TMapPage::Head() const {
  return GetU16(data.data() + 8);
}
void TMapPage::SetHead(uint16_t offset) {
  PutU16(data.data() + 8, offset);
}
uint16_t TMapPage::Entry(int i) const {
  return GetU16(data.data() + OffsetOfEntry(i));
}
void TMapPage::SetEntry(int i, uint16_t value) {
  PutU16(data.data() + OffsetOfEntry(i), value);
}
uint16_t TMapPage::EntryAt(int offset) const {
  return GetU16(data.data() + offset);
}
void TMapPage::SetEntryAt(int offset, uint16_t value) {
  PutU16(data.data() + offset, value);
}

TMapPageMgr::TMapPageMgr(TDiskMgr& disk) : disk_(disk) {}

uint32_t TMapPageMgr::MapPageCount() const {
  return disk_.GlobalHdr().Item(ghMapPageCount);
}

TMapPage TMapPageMgr::ReadMapPage(int64_t address, uint32_t k) {
  if (address < kFirstMapPageAddress || address % kMapPageSize != 0 ||
      address + kMapPageSize > disk_.LogicalEndOfFile()) {
    ZuzDatabaseError(ZUZ_ERR_INTERNAL, "TMapPageMgr.SearchMapsForMapPage",
                     "Map Page address invalid", kObject);
  }
  TMapPage page;
  page.address = address;
  disk_.ReadData(address, kMapPageSize, page.data.data(), 0, 0);
  uint32_t next = page.Next();
  uint16_t head = page.Head();
  if (page.Index() != k || (head != 0 && !TMapPage::IsEntryOffset(head)) ||
      (next != 0 && (next % kMapPageSize != 0 || next == address))) {
    ZuzDatabaseError(
        ZUZ_ERR_INTERNAL, "TMapPageMgr.ReadMapPage",
        "Map page " + std::to_string(k) + " at " + std::to_string(address) + " is damaged",
        kObject);
  }
  return page;
}

void TMapPageMgr::WriteMapPage(const TMapPage& page) {
  disk_.WriteData(page.address, kMapPageSize, page.data.data(), 0, 0);
}

int64_t TMapPageMgr::SearchMapsForMapPage(uint32_t k) {
  if (k >= MapPageCount()) {
    ZuzDatabaseError(ZUZ_ERR_INTERNAL, "TMapPageMgr.SearchMapsForMapPage",
                     "Map Page pageno invalid", kObject);
  }
  const int64_t first = disk_.GlobalHdr().Item(ghFirstMapPage);
  if (chain_.empty() || chain_.front() != first) chain_.assign(1, first);
  while (chain_.size() <= k) {
    const auto i = static_cast<uint32_t>(chain_.size() - 1);
    const int64_t address = ReadMapPage(chain_.back(), i).Next();
    if (address == 0) {
      ZuzDatabaseError(ZUZ_ERR_INTERNAL, "TMapPageMgr.SearchMapsForMapPage",
                       "Map Page address invalid", kObject);
    }
    chain_.push_back(address);
  }
  return chain_[k];
}

int64_t TMapPageMgr::WalkMapPages(const char* caller,
                                  const std::function<bool(TMapPage&, uint32_t)>& visit) {
  const uint32_t count = MapPageCount();
  int64_t address = disk_.GlobalHdr().Item(ghFirstMapPage);
  for (uint32_t k = 0; k < count; ++k) {
    if (address == 0)
      ZuzDatabaseError(ZUZ_ERR_INTERNAL, caller, "Illegal map page address", kObject);
    TMapPage page = ReadMapPage(address, k);
    if (visit(page, k)) return address;
    address = page.Next();
  }
  return 0;
}

int64_t TMapPageMgr::SearchMapsForFirstEmptyMapPage() {
  return WalkMapPages("TMapPageMgr.SearchMapsForFirstEmptyMapPage",
                      [](TMapPage& page, uint32_t) { return page.Head() != 0; });
}

std::vector<int> TMapPageMgr::FreeChain(const TMapPage& page, const char* caller) {
  std::vector<int> chain;
  int offset = page.Head();
  while (offset != 0) {
    if (!TMapPage::IsEntryOffset(offset) || chain.size() >= kMapEntriesPerPage) {
      ZuzDatabaseError(ZUZ_ERR_INTERNAL, caller, "Empty segment found is invalid", kObject);
    }
    uint16_t entry = page.EntryAt(offset);
    if (!(entry & kMapFreeBit)) {
      // The chain leads to a page that has an owner: following it would hand that page out.
      ZuzDatabaseError(ZUZ_ERR_INTERNAL, caller, "Empty segment found is invalid", kObject);
    }
    chain.push_back(offset);
    offset = entry & 0x7FFF;
  }
  return chain;
}

void TMapPageMgr::SortFreeChain(TMapPage& page, const std::vector<int>& extraOffsets) {
  std::vector<int> chain = FreeChain(page, "TMapPageMgr.SortFreeChain");
  chain.insert(chain.end(), extraOffsets.begin(), extraOffsets.end());
  std::sort(chain.begin(), chain.end());
  chain.erase(std::unique(chain.begin(), chain.end()), chain.end());
  for (std::size_t i = 0; i < chain.size(); ++i) {
    uint16_t next = i + 1 < chain.size() ? static_cast<uint16_t>(chain[i + 1]) : 0;
    page.SetEntryAt(chain[i], static_cast<uint16_t>(kMapFreeBit | next));
  }
  page.SetHead(chain.empty() ? 0 : static_cast<uint16_t>(chain.front()));
}

int TMapPageMgr::FindEmptyPagesInMap(TMapPage& page, int pageCount) {
  if (pageCount <= 0 || pageCount > kMapEntriesPerPage) return 0;
  std::vector<int> chain = FreeChain(page, "TMapPageMgr.FindEmptyPagesInMap");
  std::size_t runStart = 0;
  int runLength = 0;
  bool found = false;
  for (std::size_t i = 0; i < chain.size(); ++i) {
    if (runLength > 0 && chain[i] == chain[i - 1] + 2) {
      ++runLength;
    } else {
      runStart = i;
      runLength = 1;
    }
    if (runLength == pageCount) {
      found = true;
      break;
    }
  }
  if (!found) return 0;
  int first = chain[runStart];
  // Unlink the run only: the free entries before it stay in the chain.
  chain.erase(chain.begin() + static_cast<std::ptrdiff_t>(runStart),
              chain.begin() + static_cast<std::ptrdiff_t>(runStart) + pageCount);
  for (std::size_t i = 0; i < chain.size(); ++i) {
    uint16_t next = i + 1 < chain.size() ? static_cast<uint16_t>(chain[i + 1]) : 0;
    page.SetEntryAt(chain[i], static_cast<uint16_t>(kMapFreeBit | next));
  }
  page.SetHead(chain.empty() ? 0 : static_cast<uint16_t>(chain.front()));
  return first;
}

int64_t TMapPageMgr::FindEmptyMapRun(int pageCount) {
  if (pageCount <= 0 || pageCount > kMapEntriesPerPage) return 0;
  auto tryPage = [&](TMapPage& page) -> int64_t {
    int offset = FindEmptyPagesInMap(page, pageCount);
    if (offset == 0) return 0;
    int64_t pageNo =
        static_cast<int64_t>(page.Index()) * kMapEntriesPerPage + TMapPage::EntryOfOffset(offset);
    int64_t address = pageNo * kMapPageSize;
    if (address < kInitialPages * kMapPageSize ||
        address + int64_t{pageCount} * kMapPageSize > disk_.LogicalEndOfFile()) {
      ZuzDatabaseError(ZUZ_ERR_INTERNAL, "TMapPageMgr.FindEmptyPagesInMap",
                       "Empty segment found is invalid", kObject);
    }
    WriteMapPage(page);
    return address;
  };

  uint32_t count = MapPageCount();
  int64_t hint = disk_.GlobalHdr().Item(ghFreeMapPage);
  if (hint != 0) {
    // The hint must name a map page of the chain: check it against the chain before trusting it.
    if (hint % kMapPageSize == 0 && hint + kMapPageSize <= disk_.LogicalEndOfFile()) {
      TMapPage probe;
      disk_.ReadData(hint, 4, probe.data.data(), 0, 0);
      uint32_t k = probe.Index();
      if (k < count && SearchMapsForMapPage(k) == hint) {
        TMapPage page = ReadMapPage(hint, k);
        if (int64_t address = tryPage(page)) return address;
      } else {
        hint = 0;
      }
    } else {
      hint = 0;
    }
  }
  int64_t found = 0;
  WalkMapPages("TMapPageMgr.SearchMapsForEmptyPages", [&](TMapPage& page, uint32_t) {
    if (page.address != hint) found = tryPage(page);
    return found != 0;
  });
  return found;
}

int64_t TMapPageMgr::AddMapPage() {
  uint32_t count = MapPageCount();
  int64_t lastAddress = SearchMapsForMapPage(count - 1);
  TMapPage last = ReadMapPage(lastAddress, count - 1);
  TMapPage fresh;
  PutU32(fresh.data.data(), count);
  int64_t address = disk_.AppendPages(fresh.data.data(), 1, 0, 0);
  last.SetNext(static_cast<uint32_t>(address));
  WriteMapPage(last);
  disk_.GlobalHdr().SetItem(ghMapPageCount, count + 1);
  return address;
}

void TMapPageMgr::UpdateFreeMapPageHint(const TMapPage& page) {
  TGlobalHdr& g = disk_.GlobalHdr();
  uint32_t hint = g.Item(ghFreeMapPage);
  if (page.Head() == 0) {
    // The hint names the lowest map page with free entries; only losing that page's last free
    // entry moves it.
    if (hint == page.address) {
      g.SetItem(ghFreeMapPage, static_cast<uint32_t>(SearchMapsForFirstEmptyMapPage()));
    }
  } else if (hint == 0 || hint > page.address) {
    g.SetItem(ghFreeMapPage, static_cast<uint32_t>(page.address));
  }
}

void TMapPageMgr::SetMapEntryFlagsOnPage(uint32_t k, int firstEntry, int count, uint16_t value) {
  const bool freeing = (value & kMapFreeBit) != 0;
  uint32_t pages = MapPageCount();
  int64_t added = 0;
  if (k == pages && !freeing) {
    added = AddMapPage();
  } else if (k >= pages) {
    ZuzDatabaseError(ZUZ_ERR_INTERNAL, "TMapPageMgr.SetMapEntryFlags",
                     "Error in setting map flags - mapping corrupted", kObject);
  }
  TMapPage page = ReadMapPage(SearchMapsForMapPage(k), k);
  std::vector<int> run;
  bool anyFree = false;
  for (int i = firstEntry; i < firstEntry + count; ++i) {
    uint16_t entry = page.Entry(i);
    if (freeing && (entry == 0 || (!(entry & kMapFreeBit) && (entry >> 4) == 0))) {
      ZuzDatabaseError(ZUZ_ERR_INTERNAL, "TMapPageMgr.SetMapEntryFlags",
                       "Cannot free page " + std::to_string(int64_t{k} * kMapEntriesPerPage + i) +
                           ": it is not allocated to a table",
                       kObject);
    }
    anyFree = anyFree || (entry & kMapFreeBit);
    run.push_back(TMapPage::OffsetOfEntry(i));
  }
  if (freeing) {
    SortFreeChain(page, run);
  } else {
    if (anyFree) {
      // Entries taken for an owner leave the free chain.
      std::vector<int> chain = FreeChain(page, "TMapPageMgr.SetMapEntryFlags");
      for (int offset : run) page.SetEntryAt(offset, value);
      std::vector<int> kept;
      for (int offset : chain) {
        if (page.EntryAt(offset) & kMapFreeBit) kept.push_back(offset);
      }
      for (std::size_t i = 0; i < kept.size(); ++i) {
        uint16_t next = i + 1 < kept.size() ? static_cast<uint16_t>(kept[i + 1]) : 0;
        page.SetEntryAt(kept[i], static_cast<uint16_t>(kMapFreeBit | next));
      }
      page.SetHead(kept.empty() ? 0 : static_cast<uint16_t>(kept.front()));
    } else {
      for (int offset : run) page.SetEntryAt(offset, value);
    }
  }
  WriteMapPage(page);
  UpdateFreeMapPageHint(page);
  if (added != 0) SetMapEntryFlags(added, 1, static_cast<uint16_t>(usMapPage));
}

void TMapPageMgr::SetMapEntryFlags(int64_t address, int pageCount, uint16_t value) {
  if (address < 0 || address % kMapPageSize != 0 || pageCount <= 0) {
    ZuzDatabaseError(ZUZ_ERR_INTERNAL, "TMapPageMgr.SetMapEntryFlags",
                     "Error in setting map flags - mapping corrupted", kObject);
  }
  int64_t pageNo = address / kMapPageSize;
  while (pageCount > 0) {
    auto k = static_cast<uint32_t>(pageNo / kMapEntriesPerPage);
    int first = static_cast<int>(pageNo % kMapEntriesPerPage);
    int count = std::min(pageCount, kMapEntriesPerPage - first);
    SetMapEntryFlagsOnPage(k, first, count, value);
    pageNo += count;
    pageCount -= count;
  }
}

uint16_t TMapPageMgr::EntryOf(int64_t pageAddress) {
  int64_t pageNo = pageAddress / kMapPageSize;
  int64_t k = pageNo / kMapEntriesPerPage;
  if (pageAddress < 0 || k >= MapPageCount()) return 0;
  auto kk = static_cast<uint32_t>(k);
  return ReadMapPage(SearchMapsForMapPage(kk), kk)
      .Entry(static_cast<int>(pageNo % kMapEntriesPerPage));
}

std::vector<int64_t> TMapPageMgr::ListTaggedPages(uint16_t tag) {
  std::vector<int64_t> out;
  WalkMapPages("TMapPageMgr.ListTaggedPages", [&](TMapPage& page, uint32_t k) {
    for (int i = 0; i < kMapEntriesPerPage; ++i) {
      if (page.Entry(i) == tag) out.push_back((int64_t{k} * kMapEntriesPerPage + i) * kMapPageSize);
    }
    return false;
  });
  return out;
}

std::vector<int64_t> TMapPageMgr::FreeMatchingEntries(uint32_t tableId, uint32_t usage,
                                                      bool matchUsage) {
  std::vector<int64_t> freed;
  WalkMapPages("TMapPageMgr.FreeTablePages", [&](TMapPage& page, uint32_t k) {
    std::vector<int> offsets;
    for (int i = 0; i < kMapEntriesPerPage; ++i) {
      uint16_t e = page.Entry(i);
      if (e == 0 || (e & kMapFreeBit) || (e >> 4) != tableId) continue;
      if (matchUsage && (e & 15) != usage) continue;
      offsets.push_back(TMapPage::OffsetOfEntry(i));
      freed.push_back((int64_t{k} * kMapEntriesPerPage + i) * kMapPageSize);
    }
    if (!offsets.empty()) {
      SortFreeChain(page, offsets);
      WriteMapPage(page);
    }
    return false;
  });
  disk_.GlobalHdr().SetItem(ghFreeMapPage, static_cast<uint32_t>(SearchMapsForFirstEmptyMapPage()));
  return freed;
}

}  // namespace zuz
