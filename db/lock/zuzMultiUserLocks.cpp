#include "db/lock/zuzMultiUserLocks.h"

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <random>

#include "db/storage/zuzError.h"
#include "db/storage/zuzOSFile.h"

namespace zuz {

namespace {

uint64_t SystemSeed() {
  std::random_device device;
  uint64_t seed = (uint64_t{device()} << 32) ^ device();
  seed ^= static_cast<uint64_t>(::getpid()) << 16;
  seed ^= static_cast<uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count());
  return seed == 0 ? 1 : seed;
}

}  // namespace

TMultiUserLockProvider::~TMultiUserLockProvider() {
  Close();
}

void TMultiUserLockProvider::Open(const TZuzLockSetup& setup) {
  Close();
  if (!setup.fileSystem || !setup.databaseFile) {
    ZuzInternalError("TDBUserMonitor.Open", "File handle is not set");
  }
  setup_ = setup;
  std::mt19937_64 random(setup.randomSeed != 0 ? setup.randomSeed : SystemSeed());
  auto monitor =
      std::make_unique<TDBUserMonitor>(*setup.fileSystem, setup.lockFileName, setup.databaseFile);
  if (lockFileAttempts_ > 0) monitor->SetLockFileAttempts(lockFileAttempts_, lockFileIntervalMs_);
  monitor->Open(setup.userName, setup.computerName);
  TZuzOSFile* file = monitor->Handle();
  const int retries = setup.retryCount > 0 ? setup.retryCount : 1;
  const int transactionInterval = 80 + static_cast<int>(random() % 40);
  tables_ = std::make_unique<TLinuxLockMgr>(
      file, kTableLockBase, kTableLockRegion, retries, setup.retryIntervalMs,
      "A read lock could not be obtained on the table",
      "A write lock could not be obtained on the table", random());
  records_ =
      std::make_unique<TLinuxLockMgr>(file, kRecordLockBase, 1, retries, setup.retryIntervalMs,
                                      "A lock could not be obtained on the record",
                                      "A lock could not be obtained on the record", random());
  transactions_ = std::make_unique<TLinuxLockMgr>(
      file, kTransactionLockBase, 1, kTransactionRetries, transactionInterval,
      "A transaction lock could not be obtained", "A transaction lock could not be obtained",
      random());
  gate_ = std::make_unique<TWriterGate>(
      file,
      [this] {
        return !tables_->Locks().Empty() || !records_->Locks().Empty() ||
               !transactions_->Locks().Empty();
      },
      random());
  tables_->SetGate(gate_.get());
  records_->SetGate(gate_.get());
  transactions_->SetGate(gate_.get());
  monitor_ = std::move(monitor);
  SetLockWait(setup.lockWaitObserver, setup.lockWaitLimitMs);
  TDBUserMonitor* named = monitor_.get();
  auto describer = [named] { return named->OtherPrograms(); };
  tables_->SetDescriber(describer);
  records_->SetDescriber(describer);
  transactions_->SetDescriber(describer);
}

void TMultiUserLockProvider::SetLockWait(std::function<void(int waitedMs)> observer, int limitMs) {
  setup_.lockWaitObserver = observer;
  setup_.lockWaitLimitMs = limitMs;
  if (!monitor_) return;
  tables_->SetWait(observer, limitMs);
  records_->SetWait(observer, limitMs);
  transactions_->SetWait(observer, limitMs);
}

void TMultiUserLockProvider::Close() {
  if (monitor_) {
    ReleaseAllLocks();
    tables_.reset();
    records_.reset();
    transactions_.reset();
    gate_.reset();
    monitor_->Close();
    monitor_.reset();
  }
  setup_.databaseFile = nullptr;  // closed next by the disk manager
}

void TMultiUserLockProvider::CheckHandle(int lockType, const char* caller) const {
  if (monitor_) return;
  if (lockType == ltRead) ZuzDatabaseError(ZUZ_ERR_OPEN_FILE, caller, {}, "TZuzFile");
  ZuzDatabaseError(ZUZ_ERR_IO, caller, "File handle is invalid", "TZuzFile");
}

int TMultiUserLockProvider::LockTableId(uint16_t tableId, int lockType) {
  if (lockType == ltWrite) {
    CheckHandle(ltWrite, "TZuzFile.SetWriteLock");
    return tables_->SetWriteLock(tableId);
  }
  CheckHandle(ltRead, "TZuzFile.ReadLockZuzFile");
  return tables_->SetReadLock(tableId);
}

void TMultiUserLockProvider::UnlockTableId(uint16_t tableId) {
  CheckHandle(ltWrite, "TZuzFile.UnlockZuzFile");
  tables_->Unlock(tableId);
}

int TMultiUserLockProvider::TableLockHeld(uint16_t tableId) const {
  return tables_ ? tables_->LockType(tableId) : ltNone;
}

void TMultiUserLockProvider::LockTransaction(uint16_t tableId) {
  CheckHandle(ltWrite, "TZuzFile.SetWriteLock");
  transactions_->SetWriteLock(tableId);
}

int TMultiUserLockProvider::LockRecordAt(uint32_t address) {
  CheckHandle(ltWrite, "TZuzFile.SetWriteLock");
  return records_->SetWriteLock(address);
}

void TMultiUserLockProvider::UnlockRecordAt(uint32_t address) {
  CheckHandle(ltWrite, "TZuzFile.UnlockZuzFile");
  records_->Unlock(address);
}

void TMultiUserLockProvider::UpgradeTableLocksToWrite() {
  if (tables_) tables_->UpgradeAll();
}

void TMultiUserLockProvider::ReleaseAllLocks() {
  // The table, transaction and record locks all lie from the table locks' base on, where this
  // program's handle holds nothing else (its presence bytes and the gate lie below): one unlock
  // of the span they cover releases them together.
  int64_t from = INT64_MAX, to = INT64_MIN;
  int held = 0;
  for (TBaseLockMgr* m :
       {static_cast<TBaseLockMgr*>(tables_.get()), static_cast<TBaseLockMgr*>(records_.get()),
        static_cast<TBaseLockMgr*>(transactions_.get())}) {
    int64_t f = 0, t = 0;
    if (m && m->HeldSpan(f, t)) {
      from = std::min(from, f);
      to = std::max(to, t);
      ++held;
    }
  }
  if (held == 0) return;
  if (tables_ && from >= tables_->Base()) {
    tables_->UnlockSpan(from, to);
    tables_->ForgetAll();
    if (records_) records_->ForgetAll();
    if (transactions_) transactions_->ForgetAll();
    return;
  }
  if (tables_) tables_->ReleaseAll();
  if (records_) records_->ReleaseAll();
  if (transactions_) transactions_->ReleaseAll();
}

bool TMultiUserLockProvider::LockDatabaseRange(int64_t offset, int64_t length) {
  return setup_.databaseFile && setup_.databaseFile->LockRange(offset, length);
}

void TMultiUserLockProvider::UnlockDatabaseRange(int64_t offset, int64_t length) {
  if (setup_.databaseFile) (void)setup_.databaseFile->UnlockRange(offset, length);
}

}  // namespace zuz
