// The lock provider of a database opened shared: the user monitor keeps the lock file, and three
// lock managers take byte-range locks in it.
//
//   manager        base        region   retries and wait                  failure text
//   tables         0x800000    8192     the database's retry settings     "A read lock could not be
//                                                                          obtained on the table" /
//                                                                          "A write lock ..."
//   records        0x2000000   1        the database's retry settings     "A lock could not be
//                                                                          obtained on the record"
//   transactions   0x1FFE000   1        20, 80 + a random 0-39 ms chosen  "A transaction lock
//                                       when the database is opened       could not be obtained"
//
// Every attempt of the three passes the pending-writer gate (zuzWriterGate.h).
// Table ids are taken as 16-bit values; table lock id 0 is the header lock. The parent lock
// (8192) and the open region (0x0FF10000, 1000 bytes) are locked on the database file itself.
#pragma once

#include <cstdint>
#include <memory>

#include "db/lock/zuzLockMgrUnit.h"
#include "db/lock/zuzUserMonitor.h"
#include "db/lock/zuzWriterGate.h"
#include "db/storage/zuzLockProvider.h"

namespace zuz {

class TMultiUserLockProvider : public TZuzLockProvider {
 public:
  static constexpr int64_t kTableLockBase = 0x800000;
  static constexpr int64_t kTableLockRegion = 8192;
  static constexpr int64_t kTransactionLockBase = 0x1FFE000;
  static constexpr int64_t kRecordLockBase = 0x2000000;
  static constexpr int kTransactionRetries = 20;

  TMultiUserLockProvider() = default;
  ~TMultiUserLockProvider() override;

  // Needs the file system, the lock file name and the open database file of the setup.
  void Open(const TZuzLockSetup& setup) override;
  void Close() override;

  // Lock requests while closed: 8449 for a read lock, 8450 "File handle is invalid" for a write
  // lock or an unlock.
  int LockTableId(uint16_t tableId, int lockType) override;
  void UnlockTableId(uint16_t tableId) override;
  int TableLockHeld(uint16_t tableId) const override;
  void LockTransaction(uint16_t tableId) override;
  int LockRecordAt(uint32_t address) override;
  void UnlockRecordAt(uint32_t address) override;
  void UpgradeTableLocksToWrite() override;
  void ReleaseAllLocks() override;
  bool LockDatabaseRange(int64_t offset, int64_t length) override;
  void UnlockDatabaseRange(int64_t offset, int64_t length) override;
  // Every manager waits so; a request that gives up names the other programs connected.
  void SetLockWait(std::function<void(int waitedMs)> observer, int limitMs) override;

  // How often and how long apart the lock file's own locks are tried at the next Open (by
  // default those of TDBUserMonitor).
  void SetLockFileAttempts(int attempts, int intervalMs) {
    lockFileAttempts_ = attempts;
    lockFileIntervalMs_ = intervalMs;
  }

  // The parts, for tests and diagnostics; null while closed.
  TDBUserMonitor* Monitor() const { return monitor_.get(); }
  TBaseLockMgr* Tables() const { return tables_.get(); }
  TBaseLockMgr* Records() const { return records_.get(); }
  TBaseLockMgr* Transactions() const { return transactions_.get(); }
  TWriterGate* Gate() const { return gate_.get(); }

 private:
  void CheckHandle(int lockType, const char* caller) const;

  TZuzLockSetup setup_;
  int lockFileAttempts_ = 0;  // 0: the monitor's own
  int lockFileIntervalMs_ = 0;
  std::unique_ptr<TDBUserMonitor> monitor_;
  std::unique_ptr<TLinuxLockMgr> tables_;
  std::unique_ptr<TLinuxLockMgr> records_;
  std::unique_ptr<TLinuxLockMgr> transactions_;
  std::unique_ptr<TWriterGate> gate_;
};

}  // namespace zuz
