// The disk manager: one per open database file. It owns the file (zuzFile.h), the global header
// and the map manager, and carries the header lock protocol, page allocation and the lock calls.
//
// File layout after creation (six pages, then whatever is appended):
//   page 0    database header @0 (254 bytes), security header @768 (40), global header @1024 (128)
//   pages 1-2 system table-header map (8192 bytes)
//   pages 3-4 user table-header map (8192 bytes)
//   page 5    first map page
// Map owner tags: table id x 16 + usage (1 system structures, 2 map pages, 8 index nodes,
// 9 records, 10 blobs); pages 0-4 carry 0x0001, map pages 0x0002.
//
// Header lock protocol. The header lock is table lock id 0. LockHeaderWrite / LockHeaderRead
// take it and, when the header was not locked before, read the global header. UnlockHeader
// writes the global header when dirty, releases the lock (outside a transaction; inside one it
// is held until commit or rollback) and clears both flags. Every operation that changes the map
// or the global header takes the write lock itself unless the caller holds it, and then releases
// it, also when the operation fails.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "db/storage/zuzDbHeader.h"
#include "db/storage/zuzFile.h"
#include "db/storage/zuzGlobalHdr.h"
#include "db/storage/zuzLockProvider.h"
#include "db/storage/zuzMapPage.h"

namespace zuz {

enum : uint32_t {
  usSystem = 1,
  usMapPage = 2,
  usIndex = 8,
  usRecord = 9,
  usBlob = 10,
};

// Page IO flags of a table by its encryption level (encNone, encWeak, encStrong).
enum : uint32_t { ioEncNone = 1, ioEncWeak = 3, ioEncStrong = 5 };

constexpr int kDefaultPageSize = 4096;
constexpr int64_t kSystemTableMapAddress = 4096;
constexpr int64_t kUserTableMapAddress = 12288;
constexpr int64_t kFirstMapPageAddress = 20480;
constexpr int kInitialPages = 6;

// The bytes of a run of size a handed out at once for pages of size b (a group of blocks).
int64_t GetBestPageRequestSize(int64_t a, int64_t b);

class TDiskMgr {
 public:
  // The file system must outlive the disk manager.
  explicit TDiskMgr(TZuzFileSystem& fs);
  ~TDiskMgr();
  TDiskMgr(const TDiskMgr&) = delete;
  TDiskMgr& operator=(const TDiskMgr&) = delete;

  // Settings, taken into account at the next CreateNewFile or Open.
  std::string FileName;
  int PageSize = kDefaultPageSize;
  bool ReadOnly = false;
  bool Exclusive = false;
  int LockRetryCount = 10;
  int LockRetryInterval = 200;
  // The names this program registers under in the lock file (empty: the system's login and
  // computer names), and the seed of its random lock choices (0: from the system).
  std::string LockUserName;
  std::string LockComputerName;
  uint64_t LockRandomSeed = 0;
  // What a lock request does while it waits for another program (see TZuzLockSetup); applies to
  // the open file at once.
  void SetLockWait(std::function<void(int waitedMs)> observer, int limitMs);
  // The lock provider used when locking is active. The engine set-up hands every database the
  // lock file's provider; without one (or given null) the disk manager grants every lock itself
  // (TGrantAllLockProvider), which serves a file that one program alone opens.
  void SetLockProvider(std::unique_ptr<TZuzLockProvider> provider);
  TZuzLockProvider* LockProvider() const { return lockingActive_ ? locks_.get() : nullptr; }

  // Creates FileName (8582 when it exists without overwrite or can't be created) with the six
  // initial pages, the global header and the first map page, and leaves it open.
  void CreateNewFile(bool overwrite);
  // Opens FileName (11010 when missing, 8449 when the system refuses) and reads the global header;
  // 8451 for a file shorter than its initial pages or than the pages its map names.
  void Open();
  // Releases the region lock, writes a dirty global header, releases all locks, closes the file.
  void Close();
  bool IsOpen() const { return file_.IsOpen(); }
  bool LockingActive() const { return lockingActive_; }

  // The global header, under the header lock (10248 without it).
  void ReadHeader();
  void WriteHeader();
  void LockHeaderRead();
  void LockHeaderWrite();
  // Rolls back another program's commit that was cut short (or this program's own that could not
  // be undone at once), when a journal lies beside the file. Every first lock of the header or of
  // a table, and every transaction start, looks first. Inside a transaction a commit cut short
  // is 8578 (the transaction must be rolled back first).
  void CheckForJournal();
  void UnlockHeader();
  bool HeaderLocked() const { return headerLocked_; }
  bool HeaderWriteLocked() const { return headerWriteLocked_; }
  TGlobalHdr& GlobalHdr() { return globalHdr_; }

  // The database header (8961 on a wrong checksum, 12041 on a newer disk format).
  TDatabaseHeader ReadDatabaseHeader();
  void WriteDatabaseHeader(const TDatabaseHeader& header);
  // The security header, checked against / written for the current master key (8451).
  void ReadSecurityHeader();
  void WriteSecurityHeader();
  // Sets the Blowfish key of the pages; an empty key selects the built-in default.
  void SetMasterKey(const std::string& key);
  const std::string& MasterKey() const { return masterKey_; }

  // Writes the pages (zeros when data is null) at the logical end of the file.
  int64_t AppendPages(const void* data, int pageCount, uint32_t ioFlags, uint32_t tableId);
  // Reuses a run of free pages or appends; tags the pages table id x 16 + usage.
  // REQUIRES: tableId < 2048, usage < 16.
  int64_t AllocatePages(uint32_t tableId, uint32_t ioFlags, const void* data, int pageCount,
                        uint32_t usage);
  // Marks the pages free and zero-fills them. Refuses pages that are not allocated to a table.
  void FreePages(int64_t address, int pageCount);
  // Frees every page of the table (of one usage when matchUsage) and zero-fills them.
  void FreeTablePages(uint32_t tableId, uint32_t usage, bool matchUsage);
  // Every block of blockSize bytes on the pages carrying the tag, in map order.
  std::vector<int64_t> ListAllocatedFixedBlocks(uint32_t blockSize, uint16_t tag);

  // Brings this program's view of the file up to date with what other programs changed: the
  // file's size and the global header (map page count, first-empty addresses). Called after a
  // table lock is taken; takes no lock itself, and does nothing while the header is locked here
  // or nobody else can write. True when it read the global header (and so noted the change
  // counter: see SyncEpoch).
  bool RefreshSharedState();

  // The sync epoch: a number that stays the same for as long as the file's change counter holds
  // the value this program last read from it under a table lock, moved along by this program's
  // own commits from that value. What a table object read under a lock in an epoch is still
  // what the file holds while the epoch lasts: no other program has committed since. A
  // different counter, a rollback, or a commit of this program that did not start from the
  // noted value begins a new epoch. 0 is never an epoch.
  uint64_t SyncEpoch() const { return epochValid_ ? epoch_ : 0; }
  // Takes the table's first lock (the caller holds none on it) like LockTable, but when the
  // epoch is still the one given and the change counter, read after the lock is taken, is the
  // epoch's, it neither looks for a journal nor asks for the file's size again: nothing was
  // committed since, so nothing was cut short either (a commit writes its raised counter
  // before any other byte of the database). Returns true then; false when the caller must read
  // what it keeps again (the journal was looked at, as LockTable does). Only while this program
  // holds neither the header lock nor a changed global header, and others can write.
  bool LockTableIfUnchanged(uint16_t tableId, int lockType, uint64_t epoch);

  // Locks (forwarded to the lock provider; nothing happens while locking is inactive).
  int LockTable(uint16_t tableId, int lockType);
  void UnlockTable(uint16_t tableId);
  int LockRecord(uint32_t address, uint16_t tableId);
  void UnlockRecord(uint32_t address);
  void ReleaseAllLocks();

  // Transfers (see zuzFile.h for the IO flags).
  void ReadPages(int64_t address, int pageCount, void* buffer, uint32_t ioFlags, uint32_t tableId);
  void WritePages(int64_t address, int pageCount, const void* buffer, uint32_t ioFlags,
                  uint32_t tableId);
  void ReadData(int64_t address, int64_t n, void* buffer, uint32_t ioFlags, uint32_t tableId);
  void WriteData(int64_t address, int64_t n, const void* buffer, uint32_t ioFlags,
                 uint32_t tableId);
  bool CanReadByRef(int64_t address, int64_t size, uint32_t ioFlags) const {
    return file_.CanReadByRef(address, size, ioFlags);
  }
  const uint8_t* ReadBlockByRef(int64_t address, int64_t size, uint32_t ioFlags, uint32_t tableId);
  void WriteBlockByRef(int64_t address, int64_t size, uint32_t ioFlags, uint32_t tableId,
                       const std::function<void(uint8_t*)>& edit);

  // Transactions. Commit upgrades the table locks, takes the header write lock (commits of all
  // programs take turns), raises the change counter when anything was written, writes through
  // the rollback journal (the counter with the data), then releases all locks; when it
  // fails the file is as it was and the transaction stays open for Rollback. Rollback drops the
  // changes, reads the global header again (without waiting for the header lock) and releases
  // all locks.
  void StartTransaction(bool skipTransactionLocks = false);
  void Commit();
  void Rollback();
  bool InTransaction() const { return file_.InTransaction(); }
  // The change counter (global header item 40) as the file holds it now: four bytes read past
  // every cache, without any lock. REQUIRES: the file is open.
  uint32_t ChangeCounterOnDisk();
  // The counter just before and just after this disk manager's last commit that wrote (0 and 0
  // before the first), and how many such commits it made since it was made.
  uint32_t CounterBeforeLastCommit() const { return counterBefore_; }
  uint32_t CounterAfterLastCommit() const { return counterAfter_; }
  uint64_t WritingCommits() const { return writingCommits_; }
  // Counts the rollbacks (and restores) of this disk manager: whatever was read from the file
  // before one may be gone.
  uint64_t RollbackCount() const { return rollbacks_; }
  // Counts the calls that may release a table lock: a table lock held now and no release since a
  // moment means the lock was held all the time since then.
  uint64_t LockReleaseCount() const { return lockReleases_; }
  // The table's cached pages as of a write counter read from its header: those kept by any of
  // this program's table objects stay when they were cached at that counter (and no rollback
  // came between); otherwise the table's clean pages leave the cache. A table write of this
  // program notes its new counter.
  void CheckCachedTablePages(uint32_t tableId, uint32_t writeCounter);
  void NoteCachedTablePages(uint32_t tableId, uint32_t writeCounter);
  // After a change of a catalogue: no table's cached pages are taken as current any longer until
  // its write counter was checked again (and its clean pages dropped).
  void ForgetCachedTablePages() { cacheStamps_.clear(); }
  // Whether the write counter is the newest one this program has read or written for the table
  // (since its last rollback): a table object that holds an older one missed a write made
  // through another of this program's objects.
  bool IsNewestWriteCounter(uint32_t tableId, uint32_t writeCounter) const {
    auto it = cacheStamps_.find(tableId);
    return it != cacheStamps_.end() && it->second.writeCounter == writeCounter &&
           it->second.rollbacks == rollbacks_;
  }

  void CopyZuzFile(const std::string& destination) { file_.CopyZuzFile(destination); }

  TZuzFile& File() { return file_; }
  TMapPageMgr& MapMgr() { return mapMgr_; }
  TZuzFileSystem& FileSystem() { return fs_; }
  int64_t LogicalEndOfFile() const { return file_.LogicalEndOfFile(); }

 private:
  void NoteTableId(uint32_t tableId) const;
  void CheckGlobalHeader() const;
  // 8451 when a page the map names (in use or free) or a map page lies beyond the end of the
  // file. REQUIRES: the header lock.
  void CheckFileLength();

  TZuzFileSystem& fs_;
  TZuzFile file_;
  TGlobalHdr globalHdr_;
  TMapPageMgr mapMgr_;
  std::unique_ptr<TZuzLockProvider> locks_;
  bool lockingActive_ = false;
  bool lockProviderOpen_ = false;
  bool regionLocked_ = false;
  bool skipTransactionLocks_ = false;
  bool headerLocked_ = false;
  bool headerWriteLocked_ = false;
  uint64_t rollbacks_ = 0;
  uint64_t lockReleases_ = 0;
  uint32_t counterBefore_ = 0;
  uint32_t counterAfter_ = 0;
  uint64_t writingCommits_ = 0;
  // See SyncEpoch: the epoch and the change counter it stands for.
  void NoteCounter(uint32_t counter);
  void EndEpoch() { epochValid_ = false; }
  uint64_t epoch_ = 0;
  uint32_t epochCounter_ = 0;
  bool epochValid_ = false;
  std::function<void(int)> lockWaitObserver_;
  int lockWaitLimitMs_ = 0;
  struct TCacheStamp {
    uint32_t writeCounter;
    uint64_t rollbacks;
  };
  std::unordered_map<uint32_t, TCacheStamp> cacheStamps_;
  std::string masterKey_;
};

// Holds the header write lock for one operation: takes it unless the caller holds it, and
// releases it at Release() or, on the failure path, in the destructor, only if taken here.
class THeaderWriteLock {
 public:
  explicit THeaderWriteLock(TDiskMgr& disk);
  ~THeaderWriteLock();
  THeaderWriteLock(const THeaderWriteLock&) = delete;
  THeaderWriteLock& operator=(const THeaderWriteLock&) = delete;
  // Ends the operation: writes a dirty header and releases the lock if taken here.
  void Release();

 private:
  TDiskMgr& disk_;
  bool taken_ = false;
};

// A transaction of the disk manager that rolls back in its destructor unless committed.
class TZuzTransaction {
 public:
  explicit TZuzTransaction(TDiskMgr& disk, bool skipTransactionLocks = false);
  ~TZuzTransaction();
  TZuzTransaction(const TZuzTransaction&) = delete;
  TZuzTransaction& operator=(const TZuzTransaction&) = delete;
  void Commit();
  void Rollback();
  bool Active() const { return active_; }

 private:
  TDiskMgr& disk_;
  bool active_ = true;
};

// A transaction of its own for one operation when no transaction is open, so that everything
// the operation writes reaches the file whole or not at all; inside an open transaction it does
// nothing (the operation belongs to that transaction). Rolls back in its destructor unless
// committed.
class TZuzOwnTransaction {
 public:
  explicit TZuzOwnTransaction(TDiskMgr& disk);
  ~TZuzOwnTransaction();
  TZuzOwnTransaction(const TZuzOwnTransaction&) = delete;
  TZuzOwnTransaction& operator=(const TZuzOwnTransaction&) = delete;
  void Commit();

 private:
  std::unique_ptr<TZuzTransaction> own_;
};

}  // namespace zuz
