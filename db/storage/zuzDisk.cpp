#include "db/storage/zuzDisk.h"

#include <algorithm>
#include <cstring>
#include <exception>

#include "db/storage/zuzCoding.h"
#include "db/storage/zuzError.h"
#include "db/storage/zuzLogger.h"
#include "db/storage/zuzSystemInfo.h"

namespace zuz {

namespace {

constexpr const char* kObject = "TDiskMgr";
constexpr uint32_t kMaxTableId = 2048;

}  // namespace

int64_t GetBestPageRequestSize(int64_t a, int64_t b) {
  if (a <= 0 || b <= 0) return b;
  const int64_t c = b * ((a + b - 1) / b);
  if (a <= b && (b % a) <= b / 4) return c;
  int64_t best = c, bestWaste = c % a;
  for (int64_t e = c; e < 10 * c; e += b) {
    if (e % a < bestWaste) {
      best = e;
      bestWaste = e % a;
    }
  }
  return best;
}

TDiskMgr::TDiskMgr(TZuzFileSystem& fs)
    : fs_(fs), file_(fs), mapMgr_(*this), locks_(std::make_unique<TGrantAllLockProvider>()) {}

TDiskMgr::~TDiskMgr() {
  try {
    Close();
  } catch (...) {
    // A failure to write the last header can't be reported from a destructor.
  }
}

void TDiskMgr::SetLockProvider(std::unique_ptr<TZuzLockProvider> provider) {
  if (IsOpen()) {
    ZuzInternalError("TDiskMgr.SetLockProvider", "Cannot change the lock provider of an open file");
  }
  locks_ = provider ? std::move(provider) : std::make_unique<TGrantAllLockProvider>();
}

void TDiskMgr::SetLockWait(std::function<void(int waitedMs)> observer, int limitMs) {
  lockWaitObserver_ = std::move(observer);
  lockWaitLimitMs_ = limitMs;
  if (lockProviderOpen_) locks_->SetLockWait(lockWaitObserver_, lockWaitLimitMs_);
}

uint32_t TDiskMgr::ChangeCounterOnDisk() {
  uint8_t bytes[4];
  file_.InternalRead(TGlobalHdr::kFileOffset + ghChangeCounter, sizeof bytes, bytes);
  return GetU32(bytes);
}

void TDiskMgr::NoteTableId(uint32_t tableId) const {
  if (tableId > kMaxTableId) TDBLogger::Instance().AddLine(kObject, "Invalid table id");
}

void TDiskMgr::CheckGlobalHeader() const {
  uint32_t first = globalHdr_.Item(ghFirstMapPage);
  uint32_t count = globalHdr_.Item(ghMapPageCount);
  int64_t pages = file_.LogicalEndOfFile() / kMapPageSize;
  if (first < kFirstMapPageAddress || first % kMapPageSize != 0 ||
      first + kMapPageSize > file_.LogicalEndOfFile() || count == 0 ||
      count > pages / kMapEntriesPerPage + 2) {
    ZuzDatabaseError(ZUZ_ERR_CORRUPT, "TDiskMgr.ReadHeader", "The global header is damaged",
                     kObject);
  }
}

void TDiskMgr::CheckFileLength() {
  // Pages are only ever appended, and a rolled-back commit cuts the file back together with the
  // map: a file shorter than the pages its map names was cut short (copied in part, or damaged).
  // Only the map pages that describe pages from the file's end on are read in full; of the
  // others, the link to the next.
  const int64_t size = file_.LogicalEndOfFile();
  const int64_t wholePages = size / PageSize;
  auto cutShort = [&](const std::string& what) {
    ZuzDatabaseError(
        ZUZ_ERR_CORRUPT, "TDiskMgr.Open",
        "The file is shorter than its page map says (" + std::to_string(size) + " bytes): " + what,
        kObject);
  };
  const uint32_t count = globalHdr_.Item(ghMapPageCount);
  int64_t address = globalHdr_.Item(ghFirstMapPage);
  for (uint32_t k = 0; k < count && address != 0; ++k) {
    if (address + PageSize > size) {
      cutShort("map page " + std::to_string(k) + " at " + std::to_string(address) +
               " lies beyond its end");
    }
    const int64_t firstPage = int64_t{k} * kMapEntriesPerPage;
    if (firstPage + kMapEntriesPerPage <= wholePages) {
      uint8_t link[4];
      file_.ReadData(address + 4, sizeof link, link, 0, 0);
      address = GetU32(link);
      continue;
    }
    const TMapPage page = mapMgr_.ReadMapPage(address, k);
    for (int64_t p = std::max(firstPage, wholePages); p < firstPage + kMapEntriesPerPage; ++p) {
      if (page.Entry(static_cast<int>(p - firstPage)) != 0) {
        cutShort("page " + std::to_string(p) + " (at " + std::to_string(p * PageSize) +
                 ") is in use but lies beyond its end");
      }
    }
    address = page.Next();
  }
}

void TDiskMgr::CreateNewFile(bool overwrite) {
  Close();
  if (PageSize < 128 || PageSize != kDefaultPageSize) {
    // The map's layout (2038 entries of 4096-byte pages) fixes the page size.
    ZuzDatabaseError(ZUZ_ERR_INTERNAL, "TDiskMgr.CreateNewFile", "Invalid database page size",
                     kObject);
  }
  if (!overwrite && fs_.Exists(FileName)) {
    ZuzDatabaseError(ZUZ_ERR_CREATE, "TDiskMgr.CreateNewFile", {}, kObject);
  }
  file_.SetPageSize(PageSize);
  file_.SetReadWrite(true);
  file_.SetExclusive(Exclusive);
  file_.SetLockRetry(LockRetryCount, LockRetryInterval);
  std::string error;
  if (!file_.CreateZuzFile(FileName, overwrite, &error)) {
    ZuzDatabaseError(ZUZ_ERR_CREATE, "TDiskMgr.CreateNewFile", error, kObject);
  }
  try {
    lockingActive_ = false;
    file_.SetCacheCapacity(TCacheMgr::kMinPages);
    file_.SetCacheActive(true);
    std::vector<uint8_t> zeros(static_cast<size_t>(kInitialPages) * kMapPageSize, 0);
    for (int p = 0; p < kInitialPages; ++p) {
      file_.WriteData(int64_t{p} * kMapPageSize, kMapPageSize, zeros.data(), 0, 0);
    }
    globalHdr_.Clear();
    mapMgr_.ForgetChain();
    globalHdr_.SetItem(ghFirstMapPage, kFirstMapPageAddress);
    globalHdr_.SetItem(ghMapPageCount, 1);
    globalHdr_.SetItem(ghFreeMapPage, kFirstMapPageAddress);
    file_.WriteData(TGlobalHdr::kFileOffset, TGlobalHdr::kSize, globalHdr_.Data(), 0, 0);
    globalHdr_.ClearDirty();
    // The first map page: index 0, no link, no free entry; pages 0-4 system, page 5 the map.
    TMapPage map;
    map.address = kFirstMapPageAddress;
    for (int p = 0; p < kInitialPages - 1; ++p) map.SetEntry(p, usSystem);
    map.SetEntry(kInitialPages - 1, usMapPage);
    mapMgr_.WriteMapPage(map);
  } catch (...) {
    file_.CloseZuzFile();
    throw;
  }
}

void TDiskMgr::Open() {
  Close();
  if (PageSize == 0) ZuzDatabaseError(ZUZ_ERR_INTERNAL, "TDiskMgr.Open", "PageSize is 0", kObject);
  if (PageSize != kDefaultPageSize) {
    ZuzDatabaseError(ZUZ_ERR_INTERNAL, "TDiskMgr.Open", "Invalid database page size", kObject);
  }
  if (!fs_.Exists(FileName)) {
    ZuzDatabaseError(ZUZ_ERR_NO_SUCH_FILE, "TDiskMgr.Open", FileName, kObject);
  }
  lockingActive_ = !fs_.IsReadOnly(FileName);
  const auto& xorKey = BuiltInXorKey();
  file_.SetXORKeyBuf(xorKey.data(), kXorKeyLength);
  file_.SetPageSize(PageSize);
  file_.SetReadWrite(!ReadOnly);
  file_.SetExclusive(Exclusive);
  file_.SetLockRetry(LockRetryCount, LockRetryInterval);
  file_.OpenZuzFile(FileName);
  try {
    int64_t pages = (file_.LogicalEndOfFile() / 4096) / 4;
    file_.SetCacheCapacity(
        static_cast<int>(std::clamp<int64_t>(pages, TCacheMgr::kMinPages, TCacheMgr::kMaxPages)));
    if (lockingActive_) {
      TZuzLockSetup setup;
      setup.databaseFileName = FileName;
      setup.lockFileName = LockFileNameFor(FileName);
      setup.fileSystem = &fs_;
      setup.databaseFile = file_.Handle();
      setup.retryCount = LockRetryCount;
      setup.retryIntervalMs = LockRetryInterval;
      setup.userName = LockUserName.empty() ? LoginUserName() : LockUserName;
      setup.computerName = LockComputerName.empty() ? ComputerName() : LockComputerName;
      setup.randomSeed = LockRandomSeed;
      setup.lockWaitObserver = lockWaitObserver_;
      setup.lockWaitLimitMs = lockWaitLimitMs_;
      locks_->Open(setup);
      lockProviderOpen_ = true;
    }
    file_.SetCacheActive(true);
    globalHdr_.Clear();
    mapMgr_.ForgetChain();
    CheckForJournal();
    if (file_.LogicalEndOfFile() < int64_t{kInitialPages} * PageSize) {
      ZuzDatabaseError(ZUZ_ERR_CORRUPT, "TDiskMgr.Open",
                       "The file is too short for a database (" +
                           std::to_string(file_.LogicalEndOfFile()) + " bytes)",
                       kObject);
    }
    LockHeaderRead();
    CheckFileLength();
    UnlockHeader();
    if (lockingActive_) {
      // The region's lock result is not used.
      (void)locks_->LockDatabaseRange(kOpenRegionOffset, kOpenRegionLength);
      regionLocked_ = true;
    }
  } catch (...) {
    headerLocked_ = headerWriteLocked_ = false;
    if (lockProviderOpen_) {
      try {
        locks_->Close();
      } catch (...) {
      }
      lockProviderOpen_ = false;
    }
    file_.CloseZuzFile();
    throw;
  }
}

void TDiskMgr::Close() {
  EndEpoch();
  if (!file_.IsOpen()) return;
  std::exception_ptr failure;
  if (regionLocked_) {
    locks_->UnlockDatabaseRange(kOpenRegionOffset, kOpenRegionLength);
    regionLocked_ = false;
  }
  if (!file_.InTransaction() && globalHdr_.Dirty() && !ReadOnly) {
    try {
      WriteHeader();
    } catch (...) {
      failure = std::current_exception();
    }
  }
  headerLocked_ = headerWriteLocked_ = false;
  ++lockReleases_;
  if (lockProviderOpen_) {
    try {
      locks_->ReleaseAllLocks();
      locks_->Close();
    } catch (...) {
      if (!failure) failure = std::current_exception();
    }
    lockProviderOpen_ = false;
  }
  file_.CloseZuzFile();
  globalHdr_.Clear();
  mapMgr_.ForgetChain();
  cacheStamps_.clear();
  if (failure) std::rethrow_exception(failure);
}

void TDiskMgr::ReadHeader() {
  if (!headerLocked_) ZuzDatabaseError(ZUZ_ERR_NO_LOCK, "TDiskMgr.ReadHeader", {}, kObject);
  uint8_t bytes[TGlobalHdr::kSize];
  file_.ReadData(TGlobalHdr::kFileOffset, TGlobalHdr::kSize, bytes, 0, 0);
  globalHdr_.Load(bytes);
  CheckGlobalHeader();
}

void TDiskMgr::WriteHeader() {
  file_.WriteData(TGlobalHdr::kFileOffset, TGlobalHdr::kSize, globalHdr_.Data(), 0, 0);
  globalHdr_.ClearDirty();
}

void TDiskMgr::CheckCachedTablePages(uint32_t tableId, uint32_t writeCounter) {
  auto it = cacheStamps_.find(tableId);
  if (it != cacheStamps_.end() && it->second.writeCounter == writeCounter &&
      it->second.rollbacks == rollbacks_) {
    return;
  }
  file_.InvalidateCleanTablePages(tableId);
  cacheStamps_[tableId] = {writeCounter, rollbacks_};
}

void TDiskMgr::NoteCachedTablePages(uint32_t tableId, uint32_t writeCounter) {
  cacheStamps_[tableId] = {writeCounter, rollbacks_};
}

bool TDiskMgr::RefreshSharedState() {
  if (!IsOpen() || !LockProvider() || Exclusive || headerLocked_ || globalHdr_.Dirty()) {
    return false;
  }
  file_.RefreshSize();
  // Read without the header lock, which a writing transaction of another program may hold to its
  // end: the items used between header locks (first map page, map page count) only ever grow,
  // each 32-bit item is written whole, and a view that went backwards is ignored.
  uint8_t bytes[TGlobalHdr::kSize];
  file_.ReadData(TGlobalHdr::kFileOffset, TGlobalHdr::kSize, bytes, 0, 0);
  TGlobalHdr fresh;
  fresh.Load(bytes);
  if (fresh.Item(ghFirstMapPage) == globalHdr_.Item(ghFirstMapPage) &&
      fresh.Item(ghMapPageCount) >= globalHdr_.Item(ghMapPageCount)) {
    globalHdr_.Load(bytes);
    NoteCounter(fresh.Item(ghChangeCounter));
    return true;
  }
  EndEpoch();
  return false;
}

void TDiskMgr::NoteCounter(uint32_t counter) {
  if (epochValid_ && counter == epochCounter_) return;
  ++epoch_;
  epochCounter_ = counter;
  epochValid_ = true;
}

bool TDiskMgr::LockTableIfUnchanged(uint16_t tableId, int lockType, uint64_t epoch) {
  if (!LockProvider() || Exclusive || !epochValid_ || epoch != epoch_ || headerLocked_ ||
      globalHdr_.Dirty() || locks_->TableLockHeld(tableId) != ltNone) {
    LockTable(tableId, lockType);
    return false;
  }
  if (file_.InTransaction()) {
    if (!skipTransactionLocks_) locks_->LockTransaction(tableId);
    if (lockType == ltWrite) lockType = ltRead;
  }
  locks_->LockTableId(tableId, lockType);
  if (ChangeCounterOnDisk() == epochCounter_) return true;
  // Something was committed since: what LockTable would have done before taking the lock.
  EndEpoch();
  try {
    CheckForJournal();
  } catch (...) {
    UnlockTable(tableId);
    throw;
  }
  return false;
}

void TDiskMgr::CheckForJournal() {
  if (!file_.IsOpen() || !file_.JournalPresent()) return;
  // A program that commits holds the header write lock from before its journal is written until
  // after it is cleared: with that lock in hand, a journal still there was left by a commit cut
  // short. Holding the header lock already, this program keeps every commit out.
  TZuzLockProvider* locks = LockProvider();
  const bool take = locks && !headerLocked_;
  if (take) {
    locks->LockTableId(0, ltWrite);
  } else if (locks && !headerWriteLocked_) {
    locks->LockTableId(0, ltWrite);
    headerWriteLocked_ = true;
  }
  try {
    if (file_.JournalPresent()) {
      if (file_.InTransaction()) {
        ZuzDatabaseError(ZUZ_ERR_IN_USE, "TDiskMgr.CheckForJournal",
                         "A commit of another program was cut short; roll this transaction back "
                         "so that it can be undone, then try again",
                         kObject);
      }
      if (file_.RecoverFromJournal()) {
        ++rollbacks_;
        EndEpoch();
        mapMgr_.ForgetChain();
        TDBLogger::Instance().AddLine(kObject, "Rolled back a commit cut short: " + FileName);
        if (headerLocked_) ReadHeader();
      }
    }
  } catch (...) {
    if (take && !file_.InTransaction()) locks->UnlockTableId(0);
    throw;
  }
  if (take && !file_.InTransaction()) locks->UnlockTableId(0);
}

void TDiskMgr::LockHeaderRead() {
  if (headerLocked_) return;
  CheckForJournal();
  if (LockProvider()) locks_->LockTableId(0, ltRead);
  file_.RefreshSize();
  headerLocked_ = true;
  try {
    ReadHeader();
  } catch (...) {
    headerLocked_ = false;
    if (LockProvider() && !file_.InTransaction()) locks_->UnlockTableId(0);
    throw;
  }
}

void TDiskMgr::LockHeaderWrite() {
  if (headerWriteLocked_) return;
  const bool wasLocked = headerLocked_;
  if (!wasLocked) CheckForJournal();
  if (LockProvider()) locks_->LockTableId(0, ltWrite);
  headerLocked_ = headerWriteLocked_ = true;
  if (wasLocked) return;
  file_.RefreshSize();
  try {
    ReadHeader();
  } catch (...) {
    headerLocked_ = headerWriteLocked_ = false;
    if (LockProvider() && !file_.InTransaction()) locks_->UnlockTableId(0);
    throw;
  }
}

void TDiskMgr::UnlockHeader() {
  if (!headerLocked_) return;
  std::exception_ptr failure;
  if (globalHdr_.Dirty()) {
    try {
      WriteHeader();
    } catch (...) {
      failure = std::current_exception();
    }
  }
  if (LockProvider() && !file_.InTransaction()) locks_->UnlockTableId(0);
  headerLocked_ = headerWriteLocked_ = false;
  if (failure) std::rethrow_exception(failure);
}

TDatabaseHeader TDiskMgr::ReadDatabaseHeader() {
  uint8_t bytes[TDatabaseHeader::kSize];
  file_.ReadData(TDatabaseHeader::kFileOffset, TDatabaseHeader::kSize, bytes, 0, 0);
  TDatabaseHeader header = TDatabaseHeader::Decode(bytes);
  header.CheckDiskFormat();
  return header;
}

void TDiskMgr::WriteDatabaseHeader(const TDatabaseHeader& header) {
  auto bytes = header.Encode();
  file_.WriteData(TDatabaseHeader::kFileOffset, TDatabaseHeader::kSize, bytes.data(), 0, 0);
}

void TDiskMgr::ReadSecurityHeader() {
  uint8_t bytes[TSecurityHeader::kSize];
  file_.ReadData(TSecurityHeader::kFileOffset, TSecurityHeader::kSize, bytes, 0, 0);
  TSecurityHeader::Verify(bytes, masterKey_);
}

void TDiskMgr::WriteSecurityHeader() {
  auto bytes = TSecurityHeader::Encode(masterKey_, NowDayNumber());
  file_.WriteData(TSecurityHeader::kFileOffset, TSecurityHeader::kSize, bytes.data(), 0, 0);
}

void TDiskMgr::SetMasterKey(const std::string& key) {
  masterKey_ = key;
  std::string_view k = key.empty() ? DefaultBlowfishKey() : std::string_view(key);
  file_.SetBlowKeyBuf(reinterpret_cast<const uint8_t*>(k.data()), k.size());
}

int64_t TDiskMgr::AppendPages(const void* data, int pageCount, uint32_t ioFlags, uint32_t tableId) {
  NoteTableId(tableId);
  if (pageCount <= 0) ZuzInternalError("TDiskMgr.AppendPages", "Invalid page count");
  THeaderWriteLock lock(*this);
  const int64_t n = int64_t{pageCount} * PageSize;
  std::vector<uint8_t> zeros;
  if (!data) {
    zeros.assign(static_cast<size_t>(n), 0);
    data = zeros.data();
  }
  int64_t address = file_.SeekAndAppendZuzFile(n, data, ioFlags, tableId);
  lock.Release();
  return address;
}

int64_t TDiskMgr::AllocatePages(uint32_t tableId, uint32_t ioFlags, const void* data, int pageCount,
                                uint32_t usage) {
  if (tableId >= kMaxTableId || usage >= 16 || pageCount <= 0) {
    // A larger id would set the free bit of its map entries.
    ZuzInternalError("TDiskMgr.AllocatePages", "Invalid table id");
  }
  THeaderWriteLock lock(*this);
  int64_t address = mapMgr_.FindEmptyMapRun(pageCount);
  if (address != 0) {
    // Freeing leaves zeros: a free page holding anything else may be a live page the map lost,
    // which is not overwritten.
    std::vector<uint8_t> old(static_cast<size_t>(pageCount) * PageSize);
    file_.ReadData(address, static_cast<int64_t>(old.size()), old.data(), 0, 0);
    if (std::any_of(old.begin(), old.end(), [](uint8_t b) { return b != 0; })) {
      ZuzInternalError("TDiskMgr.AllocatePages",
                       "The free page at " + std::to_string(address) + " is not empty");
    }
    std::vector<uint8_t> zeros;
    if (!data) {
      zeros.assign(static_cast<size_t>(pageCount) * PageSize, 0);
      data = zeros.data();
    }
    WritePages(address, pageCount, data, ioFlags, tableId);
  } else {
    address = AppendPages(data, pageCount, ioFlags, tableId);
  }
  mapMgr_.SetMapEntryFlags(address, pageCount, static_cast<uint16_t>(tableId * 16 + usage));
  lock.Release();
  return address;
}

void TDiskMgr::FreePages(int64_t address, int pageCount) {
  if (pageCount <= 0 || address < int64_t{kInitialPages} * PageSize || address % PageSize != 0 ||
      address + int64_t{pageCount} * PageSize > file_.LogicalEndOfFile()) {
    ZuzInternalError("TDiskMgr.FreePages", "Invalid page address " + std::to_string(address));
  }
  THeaderWriteLock lock(*this);
  mapMgr_.SetMapEntryFlags(address, pageCount, kMapFreeBit);
  const int64_t n = int64_t{pageCount} * PageSize;
  file_.InvalidateRange(address, n);
  std::vector<uint8_t> zeros(static_cast<size_t>(n), 0);
  file_.WriteData(address, n, zeros.data(), 0, 0);
  lock.Release();
}

void TDiskMgr::FreeTablePages(uint32_t tableId, uint32_t usage, bool matchUsage) {
  if (tableId == 0 || tableId >= kMaxTableId) {
    // Table id 0 owns the headers and the map itself.
    ZuzInternalError("TDiskMgr.FreeTablePages", "Invalid table id");
  }
  THeaderWriteLock lock(*this);
  // Only the freed pages leave the cache: dropping every page of the table would also drop the
  // changed pages of its other usages inside a transaction.
  std::vector<int64_t> freed = mapMgr_.FreeMatchingEntries(tableId, usage, matchUsage);
  std::vector<uint8_t> zeros;
  for (std::size_t i = 0; i < freed.size();) {
    std::size_t j = i + 1;
    while (j < freed.size() && freed[j] == freed[j - 1] + PageSize) ++j;
    const int64_t n = static_cast<int64_t>(j - i) * PageSize;
    if (zeros.size() < static_cast<size_t>(n)) zeros.assign(static_cast<size_t>(n), 0);
    file_.InvalidateRange(freed[i], n);
    file_.WriteData(freed[i], n, zeros.data(), 0, 0);
    i = j;
  }
  lock.Release();
}

std::vector<int64_t> TDiskMgr::ListAllocatedFixedBlocks(uint32_t blockSize, uint16_t tag) {
  if (blockSize == 0) {
    ZuzInternalError("TDiskMgr.ListAllocatedFixedBlocks",
                     "Invalid block size of 0 in ListAllocatedFixedBlocks");
  }
  const int64_t groupBytes = GetBestPageRequestSize(blockSize, PageSize);
  const int64_t groupPages = groupBytes / PageSize;
  std::vector<int64_t> pages = mapMgr_.ListTaggedPages(tag);
  std::vector<int64_t> blocks;
  for (std::size_t i = 0; i < pages.size(); i += static_cast<size_t>(groupPages)) {
    if (i + static_cast<size_t>(groupPages) > pages.size()) {
      ZuzInternalError("TDiskMgr.ListAllocatedFixedBlocks",
                       "Invalid requestpage/pagelist sequence");
    }
    for (int64_t p = 1; p < groupPages; ++p) {
      if (pages[i + static_cast<size_t>(p)] != pages[i] + p * PageSize) {
        ZuzInternalError("TDiskMgr.ListAllocatedFixedBlocks",
                         "Invalid requestpage/pagelist sequence");
      }
    }
    for (int64_t offset = 0; offset + blockSize <= groupBytes; offset += blockSize) {
      blocks.push_back(pages[i] + offset);
    }
  }
  return blocks;
}

int TDiskMgr::LockTable(uint16_t tableId, int lockType) {
  if (!LockProvider()) return ltNone;
  if (locks_->TableLockHeld(tableId) == ltNone) CheckForJournal();
  if (file_.InTransaction()) {
    if (!skipTransactionLocks_) locks_->LockTransaction(tableId);
    if (lockType == ltWrite) lockType = ltRead;
  }
  return locks_->LockTableId(tableId, lockType);
}

void TDiskMgr::UnlockTable(uint16_t tableId) {
  if (LockProvider() && !file_.InTransaction()) {
    ++lockReleases_;
    locks_->UnlockTableId(tableId);
  }
}

int TDiskMgr::LockRecord(uint32_t address, uint16_t tableId) {
  if (!LockProvider()) return ltNone;
  if (file_.InTransaction()) locks_->LockTransaction(tableId);
  return locks_->LockRecordAt(address);
}

void TDiskMgr::UnlockRecord(uint32_t address) {
  if (LockProvider() && !file_.InTransaction()) locks_->UnlockRecordAt(address);
}

void TDiskMgr::ReleaseAllLocks() {
  if (headerLocked_ && globalHdr_.Dirty() && !file_.InTransaction()) WriteHeader();
  headerLocked_ = headerWriteLocked_ = false;
  ++lockReleases_;
  if (LockProvider()) locks_->ReleaseAllLocks();
}

void TDiskMgr::ReadPages(int64_t address, int pageCount, void* buffer, uint32_t ioFlags,
                         uint32_t tableId) {
  NoteTableId(tableId);
  file_.ReadData(address, int64_t{pageCount} * PageSize, buffer, ioFlags, tableId);
}

void TDiskMgr::WritePages(int64_t address, int pageCount, const void* buffer, uint32_t ioFlags,
                          uint32_t tableId) {
  NoteTableId(tableId);
  file_.WriteData(address, int64_t{pageCount} * PageSize, buffer, ioFlags, tableId);
}

void TDiskMgr::ReadData(int64_t address, int64_t n, void* buffer, uint32_t ioFlags,
                        uint32_t tableId) {
  NoteTableId(tableId);
  file_.ReadData(address, n, buffer, ioFlags, tableId);
}

void TDiskMgr::WriteData(int64_t address, int64_t n, const void* buffer, uint32_t ioFlags,
                         uint32_t tableId) {
  NoteTableId(tableId);
  file_.WriteData(address, n, buffer, ioFlags, tableId);
}

const uint8_t* TDiskMgr::ReadBlockByRef(int64_t address, int64_t size, uint32_t ioFlags,
                                        uint32_t tableId) {
  NoteTableId(tableId);
  return file_.ReadBlockByRef(address, size, ioFlags, tableId);
}

void TDiskMgr::WriteBlockByRef(int64_t address, int64_t size, uint32_t ioFlags, uint32_t tableId,
                               const std::function<void(uint8_t*)>& edit) {
  NoteTableId(tableId);
  file_.WriteBlockByRef(address, size, ioFlags, tableId, edit);
}

void TDiskMgr::StartTransaction(bool skipTransactionLocks) {
  // A reading statement's transaction that finds the change counter as it was in its epoch
  // needs no look for a journal (nothing was committed since, so nothing was cut short either)
  // and no new size; otherwise the look comes first, before the transaction, where a commit cut
  // short can still be rolled back.
  bool reading =
      skipTransactionLocks && epochValid_ && LockProvider() && !Exclusive && file_.IsOpen();
  if (reading && ChangeCounterOnDisk() != epochCounter_) {
    EndEpoch();
    reading = false;
  }
  if (!reading) CheckForJournal();
  file_.StartTransaction(reading);
  skipTransactionLocks_ = skipTransactionLocks;
}

void TDiskMgr::Commit() {
  if (!file_.InTransaction()) {
    ZuzDatabaseError(ZUZ_ERR_NO_TRANSACTION, "TZuzFile.Commit", {}, "TZuzFile");
  }
  if (!file_.HasPendingWrites() && !globalHdr_.Dirty()) {
    // Nothing written: no journal, no write locks to wait for, only the locks to release.
    file_.Commit();
    headerLocked_ = headerWriteLocked_ = false;
    ++lockReleases_;
    if (LockProvider()) locks_->ReleaseAllLocks();
    return;
  }
  if (LockProvider()) locks_->UpgradeTableLocksToWrite();
  // Commits of all programs take turns: the header write lock is held from before the journal is
  // written until it is cleared (CheckForJournal relies on it).
  if (LockProvider() && !headerWriteLocked_) LockHeaderWrite();
  // The header was read under the lock held now: no other commit came in between. The raised
  // counter goes into the same journaled write as the data.
  const uint32_t before = globalHdr_.Item(ghChangeCounter);
  const uint32_t after = before == 0xFFFFFFFFu ? 1 : before + 1;
  globalHdr_.SetItem(ghChangeCounter, after);
  WriteHeader();
  try {
    file_.Commit();
  } catch (...) {
    // The file holds the counter as it was (or will, once its journal is rolled back); so does
    // the header in memory again. It is not dirty: a header written back later (at close) must
    // not overwrite what the file holds; a second try raises and writes it again.
    globalHdr_.SetItem(ghChangeCounter, before);
    globalHdr_.ClearDirty();
    throw;
  }
  counterBefore_ = before;
  counterAfter_ = after;
  ++writingCommits_;
  // This program's own commit keeps the epoch when it started from the epoch's counter: what it
  // keeps in memory is what it wrote.
  if (epochValid_ && epochCounter_ == before) {
    epochCounter_ = after;
  } else {
    EndEpoch();
  }
  headerLocked_ = headerWriteLocked_ = false;
  ++lockReleases_;
  if (LockProvider()) locks_->ReleaseAllLocks();
}

void TDiskMgr::Rollback() {
  if (file_.InTransaction() && !file_.HasPendingWrites() && !globalHdr_.Dirty() &&
      !headerWriteLocked_) {
    // Nothing was written (a reading statement that failed): nothing to drop, only the locks
    // to release, as a commit of nothing does.
    file_.Rollback();
    headerLocked_ = false;
    ++lockReleases_;
    if (LockProvider()) locks_->ReleaseAllLocks();
    return;
  }
  file_.Rollback();
  ++rollbacks_;
  EndEpoch();
  ++lockReleases_;
  mapMgr_.ForgetChain();
  headerLocked_ = headerWriteLocked_ = false;
  std::exception_ptr failure;
  try {
    // Drops the map and header changes held in memory. The header is read without taking the
    // header lock: a rollback must neither wait for nor fail because of another program whose
    // transaction holds that lock (it writes each 32-bit item whole, and only at its commit).
    file_.RefreshSize();
    uint8_t bytes[TGlobalHdr::kSize];
    file_.ReadData(TGlobalHdr::kFileOffset, TGlobalHdr::kSize, bytes, 0, 0);
    globalHdr_.Load(bytes);
    CheckGlobalHeader();
  } catch (...) {
    failure = std::current_exception();
  }
  if (LockProvider()) locks_->ReleaseAllLocks();
  if (failure) std::rethrow_exception(failure);
}

THeaderWriteLock::THeaderWriteLock(TDiskMgr& disk) : disk_(disk) {
  if (!disk_.HeaderWriteLocked()) {
    disk_.LockHeaderWrite();
    taken_ = true;
  }
}

THeaderWriteLock::~THeaderWriteLock() {
  if (!taken_) return;
  try {
    disk_.UnlockHeader();
  } catch (...) {
    // Already failing: the operation's own error is the one reported.
  }
}

void THeaderWriteLock::Release() {
  if (!taken_) return;
  taken_ = false;
  disk_.UnlockHeader();
}

TZuzTransaction::TZuzTransaction(TDiskMgr& disk, bool skipTransactionLocks) : disk_(disk) {
  disk_.StartTransaction(skipTransactionLocks);
}

TZuzTransaction::~TZuzTransaction() {
  if (!active_) return;
  try {
    disk_.Rollback();
  } catch (...) {
  }
}

void TZuzTransaction::Commit() {
  disk_.Commit();
  active_ = false;
}

TZuzOwnTransaction::TZuzOwnTransaction(TDiskMgr& disk) {
  if (!disk.InTransaction()) own_ = std::make_unique<TZuzTransaction>(disk);
}

TZuzOwnTransaction::~TZuzOwnTransaction() = default;

void TZuzOwnTransaction::Commit() {
  if (own_) own_->Commit();
}

void TZuzTransaction::Rollback() {
  active_ = false;
  disk_.Rollback();
}

}  // namespace zuz
