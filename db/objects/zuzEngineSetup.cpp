#include "db/objects/zuzEngineSetup.h"

#include "db/index/zuzIndexManager.h"
#include "db/lock/zuzMultiUserLocks.h"

namespace zuz {

std::unique_ptr<TZuzLockProvider> MakeEngineLockProvider() {
  return std::make_unique<TMultiUserLockProvider>();
}

TTableMgrServices EngineTableServices() {
  return IndexedTableServices();
}

TZuzEngineDb::TZuzEngineDb(TZuzFileSystem& fs, const TZuzOpenOptions& options)
    : disk_(std::make_unique<TDiskMgr>(fs)) {
  disk_->FileName = options.fileName;
  disk_->ReadOnly = options.readOnly;
  disk_->Exclusive = options.exclusive;
  disk_->LockRetryCount = options.lockRetryCount;
  disk_->LockRetryInterval = options.lockRetryInterval;
  disk_->SetLockWait(options.lockWaitObserver, options.lockWaitLimitMs);
  if (options.locking) disk_->SetLockProvider(MakeEngineLockProvider());
  disk_->Open();
  try {
    disk_->SetMasterKey(options.login ? options.login(disk_->ReadDatabaseHeader())
                                      : options.masterKey);
    tables_ = std::make_unique<TTableMgr>(*disk_, EngineTableServices());
    tables_->Open();
  } catch (...) {
    tables_.reset();
    try {
      disk_->Close();
    } catch (...) {
      // The first failure is the one reported.
    }
    throw;
  }
}

TZuzEngineDb::~TZuzEngineDb() {
  try {
    Close();
  } catch (...) {
    // A failure to write the last header can't be reported from a destructor.
  }
}

void TZuzEngineDb::Close() {
  if (tables_) {
    tables_->Close();
    tables_.reset();
  }
  if (disk_->IsOpen()) disk_->Close();
}

void TZuzEngineDb::Reopen(bool exclusive) {
  const std::string key = disk_->MasterKey();
  tables_->Close();
  if (disk_->IsOpen()) disk_->Close();
  disk_->Exclusive = exclusive;
  disk_->Open();
  try {
    disk_->SetMasterKey(key);
    tables_->Open();
  } catch (...) {
    tables_->Close();
    try {
      disk_->Close();
    } catch (...) {
      // The first failure is the one reported.
    }
    throw;
  }
}

void TZuzEngineDb::Create(TZuzFileSystem& fs, const std::string& fileName,
                          const TDatabaseCreateOptions& options, bool locking) {
  TDiskMgr disk(fs);
  disk.FileName = fileName;
  if (locking) disk.SetLockProvider(MakeEngineLockProvider());
  TTableMgr::CreateDatabase(disk, options, EngineTableServices());
}

}  // namespace zuz
