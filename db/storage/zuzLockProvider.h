// The byte-range locks the disk manager takes, behind one small interface.
//
// Lock ids and regions (in the lock file unless said otherwise):
//   table lock of id t       the header lock is table lock id 0
//   transaction lock of t    taken before a table or record lock inside a transaction
//   record lock of address a while a record is edited
//   database-file ranges     the parent lock (1 byte at 8192) and the 1000-byte region at
//                            0x0FF10000, both on the database file itself
// Lock types: 0 none, 1 read, 4 write.
//
// The lock layer's provider (MakeLockFileProvider, db/lock/zuzMultiUserLocks.h) keeps the lock
// file beside the database and takes real byte-range locks in it; the engine set-up hands it to
// every database it opens.
//
// TGrantAllLockProvider grants every request at once and takes no operating-system lock at all:
// it only records what is held. It is what a disk manager uses when it is given no provider, and
// serves memory tables, private copies and the storage tests; with it, two programs sharing one
// database file are NOT protected from each other.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>

namespace zuz {

class TZuzFileSystem;
class TZuzOSFile;

enum TZuzLockType : int { ltNone = 0, ltRead = 1, ltWrite = 4 };

constexpr int64_t kParentLockOffset = 8192;
constexpr int64_t kOpenRegionOffset = 0x0FF10000;
constexpr int64_t kOpenRegionLength = 1000;

struct TZuzLockSetup {
  std::string databaseFileName;
  std::string lockFileName;
  TZuzFileSystem* fileSystem = nullptr;
  TZuzOSFile* databaseFile = nullptr;  // the open database file (parent lock, open region)
  int retryCount = 10;
  int retryIntervalMs = 200;
  std::string userName;
  std::string computerName;
  // Seeds the choice of read-lock bytes and of the transaction lock interval; 0 takes a seed
  // from the system.
  uint64_t randomSeed = 0;
  // Called while a lock request waits for another program's lock: with the milliseconds waited
  // so far, about every 100-200 ms, and with -1 once the wait ends (lock taken or given up).
  std::function<void(int waitedMs)> lockWaitObserver;
  // How long a request waits before it gives up (10249); 0 or less: retryCount attempts
  // retryIntervalMs apart.
  int lockWaitLimitMs = 0;
};

class TZuzLockProvider {
 public:
  virtual ~TZuzLockProvider() = default;

  // Registers this program in the lock file and opens the lock managers.
  virtual void Open(const TZuzLockSetup& setup) = 0;
  // Releases every lock and closes the lock file (deleting it when this was the last user).
  virtual void Close() = 0;

  // Takes a read or write lock of the table id (0 = the header lock); returns the type now held.
  // Fails with 10249 after the retries.
  virtual int LockTableId(uint16_t tableId, int lockType) = 0;
  virtual void UnlockTableId(uint16_t tableId) = 0;
  virtual int TableLockHeld(uint16_t tableId) const = 0;
  // Takes the write lock on the transaction lock of the table.
  virtual void LockTransaction(uint16_t tableId) = 0;
  // Takes the record lock of the address; returns the type now held.
  virtual int LockRecordAt(uint32_t address) = 0;
  virtual void UnlockRecordAt(uint32_t address) = 0;
  // Turns every table lock held into a write lock (at commit).
  virtual void UpgradeTableLocksToWrite() = 0;
  // Releases every table, record and transaction lock.
  virtual void ReleaseAllLocks() = 0;

  // Byte ranges of the database file itself; the open region's result is not used.
  virtual bool LockDatabaseRange(int64_t offset, int64_t length) = 0;
  virtual void UnlockDatabaseRange(int64_t offset, int64_t length) = 0;

  // Replaces the wait observer and limit of the setup (see TZuzLockSetup) from the next request.
  // A provider that never waits ignores them.
  virtual void SetLockWait(std::function<void(int waitedMs)> /*observer*/, int /*limitMs*/) {}
};

class TGrantAllLockProvider : public TZuzLockProvider {
 public:
  void Open(const TZuzLockSetup& setup) override { setup_ = setup; }
  void Close() override { ReleaseAllLocks(); }

  int LockTableId(uint16_t tableId, int lockType) override {
    int& held = tables_[tableId];
    if (lockType == ltWrite || held == ltNone) held = lockType;
    return held;
  }
  void UnlockTableId(uint16_t tableId) override { tables_.erase(tableId); }
  int TableLockHeld(uint16_t tableId) const override {
    auto it = tables_.find(tableId);
    return it == tables_.end() ? ltNone : it->second;
  }
  void LockTransaction(uint16_t tableId) override { transactions_.insert(tableId); }
  int LockRecordAt(uint32_t address) override {
    records_.insert(address);
    return ltWrite;
  }
  void UnlockRecordAt(uint32_t address) override { records_.erase(address); }
  void UpgradeTableLocksToWrite() override {
    for (auto& [id, type] : tables_) type = ltWrite;
  }
  void ReleaseAllLocks() override {
    tables_.clear();
    transactions_.clear();
    records_.clear();
  }
  bool LockDatabaseRange(int64_t, int64_t) override { return true; }
  void UnlockDatabaseRange(int64_t, int64_t) override {}

  // What is held, for tests.
  const std::map<uint16_t, int>& TableLocks() const { return tables_; }
  const std::set<uint16_t>& TransactionLocks() const { return transactions_; }
  const std::set<uint32_t>& RecordLocks() const { return records_; }
  const TZuzLockSetup& Setup() const { return setup_; }

 private:
  TZuzLockSetup setup_;
  std::map<uint16_t, int> tables_;
  std::set<uint16_t> transactions_;
  std::set<uint32_t> records_;
};

}  // namespace zuz
