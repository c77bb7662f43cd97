#include "db/objects/zuzDatabase.h"

#include <algorithm>

#include "db/objects/zuzDataSet.h"
#include "db/storage/zuzError.h"
#include "db/storage/zuzMemoryFile.h"
#include "db/storage/zuzPosixFile.h"
#include "planner/base/qorStrings.h"

namespace zuz {

namespace {

constexpr const char* kObject = "TZuzDataBase";
constexpr const char* kMemoryPath = "/memory/tables.zuz";
// The database object's page cache: the disk manager sizes it from the file at open (a quarter of
// its pages, 50 to 1000), which keeps a new or small file at 50 pages for the whole session while
// the file grows. A planner's file fits in memory, so the object lets the cache grow to 16,384
// pages (64 MiB of 4 KiB pages); it never holds more pages than the file has.
constexpr int kCachePages = 16384;

}  // namespace

TZuzDataBase::TZuzDataBase(TZuzFileSystem* fs) : fs_(fs ? fs : &TPosixFileSystem::Instance()) {}

TZuzDataBase::~TZuzDataBase() {
  try {
    Close();
  } catch (...) {
    // A failure to write the last header can't be reported from a destructor.
  }
  std::vector<TZuzDataSet*> sets = dataSets_;
  for (TZuzDataSet* ds : sets) ds->SetDataBase(nullptr);
}

void TZuzDataBase::CheckNotConnected() const {
  if (connected_)
    ZuzDatabaseError(ZUZ_ERR_CONNECTED, "TZuzDataBase.CheckNotConnected", {}, kObject);
}

void TZuzDataBase::CheckConnected() const {
  if (!connected_)
    ZuzDatabaseError(ZUZ_ERR_NOT_CONNECTED, "TZuzDataBase.CheckConnected", {}, kObject);
}

void TZuzDataBase::CheckExclusive() const {
  if (!exclusive_)
    ZuzDatabaseError(ZUZ_ERR_NOT_EXCLUSIVE, "TZuzDataBase.CheckExclusive", {}, kObject);
}

void TZuzDataBase::CheckMinorVersion() const {
  if (db_ && !db_->Tables().HasSystemTables()) {
    ZuzDatabaseError(ZUZ_ERR_VERSION, "TZuzDataBase.CheckMinorVersion", {}, kObject);
  }
}

bool TZuzDataBase::HasPrivilege(const std::string& table, TZuzPrivilege privilege) const {
  return !(CheckPrivilegeHook && !CheckPrivilegeHook(table, privilege)) &&
         !(security_ && !security_->HasPrivilege(table, privilege));
}

void TZuzDataBase::CheckPrivilege(const std::string& table, TZuzPrivilege privilege) const {
  if (!HasPrivilege(table, privilege)) {
    ZuzDatabaseError(ZUZ_ERR_PRIVILEGE, "TZuzDataBase.CheckPrivilege", table, kObject);
  }
}

void TZuzDataBase::SetExclusive(bool v) {
  CheckNotConnected();
  exclusive_ = v;
}

void TZuzDataBase::SetReadOnly(bool v) {
  CheckNotConnected();
  readOnly_ = v;
}

void TZuzDataBase::SetDirectory(const std::string& v) {
  CheckNotConnected();
  directory_ = v;
  if (!directory_.empty() && directory_.back() != '/' && directory_.back() != '\\') {
    directory_ += '/';
  }
}

void TZuzDataBase::SetDataBaseName(const std::string& v) {
  CheckNotConnected();
  if (SameTextIgnoringCase(v, kMemoryName)) {
    name_ = kMemoryName;
    return;
  }
  size_t cut = v.find_last_of("/\\");
  if (cut == std::string::npos) {
    name_ = v;
    return;
  }
  directory_ = v.substr(0, cut + 1);
  name_ = v.substr(cut + 1);
}

void TZuzDataBase::SetMasterKey(const std::string& key) {
  masterKey_ = key;
}

void TZuzDataBase::OpenMemoryTables() {
  memFs_ = std::make_unique<TMemoryFileSystem>();
  TDatabaseCreateOptions create;
  create.databaseName = kMemoryName;
  create.sortOrder = DefaultSortOrder;
  TZuzEngineDb::Create(*memFs_, kMemoryPath, create, false);
  TZuzOpenOptions options;
  options.fileName = kMemoryPath;
  options.exclusive = true;
  options.locking = false;
  memDb_ = std::make_unique<TZuzEngineDb>(*memFs_, options);
}

void TZuzDataBase::Open() {
  if (connected_) return;
  if (BeforeConnect) BeforeConnect(*this);
  if (name_.empty()) {
    ZuzDatabaseError(ZUZ_ERR_DATABASE_NAME, "TZuzDataBase.DoConnect", directory_ + name_, kObject);
  }
  if (!IsMemory()) {
    const std::string path = FullPath();
    if (!fs_->Exists(path))
      ZuzDatabaseError(ZUZ_ERR_FILE_NOT_FOUND, "TZuzDataBase.DoConnect", path, kObject);
    std::string user, password;
    uint32_t securityLevel = 0;
    TZuzOpenOptions options;
    options.fileName = path;
    options.readOnly = readOnly_;
    options.exclusive = exclusive_;
    options.lockRetryCount = LockRetryMaximum;
    options.lockRetryInterval = LockRetryInterval;
    options.lockWaitObserver = lockWaitObserver_;
    options.lockWaitLimitMs = lockWaitLimitMs_;
    options.login = [&](const TDatabaseHeader& header) {
      securityLevel = header.securityLevel;
      loginMode_ = LoginModeFor(header.securityLevel, !masterKey_.empty());
      if (loginMode_ != TZuzLoginMode::None) {
        std::string key = masterKey_;
        AskLogin(loginMode_, user, password, key);
        if (loginMode_ != TZuzLoginMode::User) masterKey_ = key;
      }
      return masterKey_;
    };
    try {
      db_ = std::make_unique<TZuzEngineDb>(*fs_, options);
    } catch (...) {
      // A database password that did not open the database is forgotten.
      if (securityLevel != 0) masterKey_.clear();
      loginMode_ = TZuzLoginMode::None;
      throw;
    }
    try {
      if (securityLevel == 2) LogOn(std::move(user), std::move(password));
    } catch (...) {
      loginMode_ = TZuzLoginMode::None;
      security_.reset();
      db_.reset();
      throw;
    }
    loginMode_ = TZuzLoginMode::None;
    TZuzFile& file = db_->Disk().File();
    file.SetCacheCapacity(std::max(file.Cache().Capacity(), kCachePages));
  }
  try {
    OpenMemoryTables();
  } catch (...) {
    memDb_.reset();
    memFs_.reset();
    security_.reset();
    db_.reset();
    throw;
  }
  connected_ = true;
  if (AfterConnect) AfterConnect(*this);
}

void TZuzDataBase::ReopenFile(bool exclusive) {
  try {
    db_->Reopen(exclusive);
  } catch (...) {
    Close();
    throw;
  }
  TZuzFile& file = db_->Disk().File();
  file.SetCacheCapacity(std::max(file.Cache().Capacity(), kCachePages));
}

void TZuzDataBase::RunExclusive(const std::function<void()>& work) {
  const char* caller = "TZuzDataBase.CheckExclusive";
  CheckConnected();
  if (!db_ || exclusive_ || !db_->Disk().LockingActive()) {
    work();
    return;
  }
  for (const TZuzDataSet* ds : dataSets_) {
    if (ds->Active()) {
      ZuzDatabaseError(ZUZ_ERR_NOT_EXCLUSIVE, caller,
                       "The database is open shared, and tables or queries of it are open",
                       kObject);
    }
  }
  try {
    db_->Reopen(true);
  } catch (const EZuzDatabaseError& e) {
    ReopenFile(false);
    if (e.ErrorCode() != ZUZ_ERR_OPEN_FILE) throw;
    ZuzDatabaseError(ZUZ_ERR_NOT_EXCLUSIVE, caller,
                     "Another program has the database open; the statement needs it alone",
                     kObject);
  }
  try {
    work();
  } catch (...) {
    try {
      ReopenFile(false);
    } catch (...) {
      // The work's failure is the one reported.
    }
    throw;
  }
  ReopenFile(false);
}

void TZuzDataBase::AskLogin(TZuzLoginMode mode, std::string& user, std::string& password,
                            std::string& key) {
  if (BeforeLogin) {
    BeforeLogin(*this, user, password, key);
    return;
  }
  if (!LoginDialog || !LoginDialog(*this, mode, user, password, key)) {
    ZuzDatabaseError(ZUZ_ERR_INVALID_LOGIN, "TZuzDataBase.DoConnect", {}, kObject);
  }
}

void TZuzDataBase::LogOn(std::string user, std::string password) {
  security_ = std::make_unique<TSecurityManager>(db_->Tables());
  security_->PasswordAgeLimit = PasswordAgeLimit;
  for (;;) {
    try {
      security_->Logon(user, password, name_);
      return;
    } catch (const EZuzDatabaseError& e) {
      if (BeforeLogin || !LoginDialog || e.ErrorCode() != ZUZ_ERR_BAD_PASSWORD) throw;
      if (LoginError) LoginError(*this, e.what());
    }
    // The dialog asks again for the user; the database password stays as it was.
    loginMode_ = TZuzLoginMode::User;
    std::string key = masterKey_;
    password.clear();
    AskLogin(loginMode_, user, password, key);
  }
}

void TZuzDataBase::Close() {
  if (!connected_) return;
  if (BeforeDisconnect) BeforeDisconnect(*this);
  std::vector<TZuzDataSet*> sets = dataSets_;
  for (TZuzDataSet* ds : sets) ds->DatabaseClosing();
  connected_ = false;
  std::unique_ptr<TZuzEngineDb> db = std::move(db_);
  std::unique_ptr<TZuzEngineDb> mem = std::move(memDb_);
  try {
    if (mem && mem->Disk().InTransaction()) mem->Disk().Rollback();
    if (db && db->Disk().InTransaction()) db->Disk().Rollback();
  } catch (...) {
  }
  mem.reset();
  memFs_.reset();
  security_.reset();
  masterKey_.clear();
  if (db) db->Close();
  db.reset();
  if (AfterDisconnect) AfterDisconnect(*this);
}

void TZuzDataBase::SetLockWait(std::function<void(int waitedMs)> observer, int limitMs) {
  lockWaitObserver_ = std::move(observer);
  lockWaitLimitMs_ = limitMs;
  if (db_) db_->Disk().SetLockWait(lockWaitObserver_, lockWaitLimitMs_);
}

TDiskMgr* TZuzDataBase::Disk() {
  CheckConnected();
  return db_ ? &db_->Disk() : nullptr;
}

TTableMgr* TZuzDataBase::Tables() {
  CheckConnected();
  return db_ ? &db_->Tables() : nullptr;
}

TTableMgr& TZuzDataBase::MemoryTables() {
  CheckConnected();
  return memDb_->Tables();
}

const TDatabaseHeader* TZuzDataBase::Header() const {
  return db_ ? &db_->Tables().DatabaseHeader() : nullptr;
}

TZuzExecEnv TZuzDataBase::ExecEnv() {
  CheckConnected();
  TZuzExecEnv env;
  env.Disk = db_ ? &db_->Tables() : nullptr;
  env.Memory = &memDb_->Tables();
  if (db_ && (security_ || CheckPrivilegeHook)) {
    env.CheckRead = [this](const std::string& table) {
      CheckPrivilege(table, TZuzPrivilege::Open);
    };
  }
  env.SortOrder =
      db_ ? static_cast<TSortOrder>(db_->Tables().DatabaseHeader().sortOrder == 1 ? 1 : 0)
          : DefaultSortOrder;
  return env;
}

void TZuzDataBase::RegisterDataSet(TZuzDataSet* ds) {
  if (std::find(dataSets_.begin(), dataSets_.end(), ds) == dataSets_.end()) {
    dataSets_.push_back(ds);
  }
}

void TZuzDataBase::UnregisterDataSet(TZuzDataSet* ds) {
  dataSets_.erase(std::remove(dataSets_.begin(), dataSets_.end(), ds), dataSets_.end());
}

// --- Transactions ---

bool TZuzDataBase::InTransaction() const {
  if (!connected_) return false;
  if (db_) return db_->Disk().InTransaction();
  return memDb_ && memDb_->Disk().InTransaction();
}

void TZuzDataBase::StartTransaction() {
  CheckConnected();
  if (InTransaction()) {
    ZuzDatabaseError(ZUZ_ERR_TRANSACTION_ACTIVE, "TZuzDataBase.StartTransaction", {}, kObject);
  }
  if (db_) db_->Disk().StartTransaction();
  try {
    memDb_->Disk().StartTransaction();
  } catch (...) {
    if (db_) db_->Disk().Rollback();
    throw;
  }
}

void TZuzDataBase::Commit() {
  if (!InTransaction()) {
    ZuzDatabaseError(ZUZ_ERR_NO_TRANSACTION, "TZuzDataBase.Commit", {}, kObject);
  }
  if (db_) db_->Disk().Commit();
  if (memDb_->Disk().InTransaction()) memDb_->Disk().Commit();
}

void TZuzDataBase::Rollback() {
  if (!InTransaction()) {
    ZuzDatabaseError(ZUZ_ERR_NO_TRANSACTION, "TZuzDataBase.Rollback", {}, kObject);
  }
  if (memDb_->Disk().InTransaction()) memDb_->Disk().Rollback();
  if (db_) db_->Disk().Rollback();
  std::vector<TZuzDataSet*> sets = dataSets_;
  for (TZuzDataSet* ds : sets) ds->AfterRollback();
}

TZuzStatementTransaction::TZuzStatementTransaction(TZuzDataBase& db, bool skipTransactionLocks) {
  TDiskMgr* disk = db.Disk();
  if (disk && !disk->InTransaction()) {
    disk_ = std::make_unique<TZuzTransaction>(*disk, skipTransactionLocks);
  }
  TDiskMgr& mem = db.MemoryTables().Disk();
  if (!mem.InTransaction()) memory_ = std::make_unique<TZuzTransaction>(mem, skipTransactionLocks);
}

TZuzStatementTransaction::~TZuzStatementTransaction() = default;

void TZuzStatementTransaction::Commit() {
  if (disk_) disk_->Commit();
  if (memory_) memory_->Commit();
}

// --- Databases and tables ---

void TZuzDataBase::CreateDatabase() {
  if (name_.empty() || IsMemory()) {
    ZuzDatabaseError(ZUZ_ERR_DATABASE_NAME, "TZuzTable.CreateDatabase", directory_ + name_,
                     kObject);
  }
  if (!masterKey_.empty() && (masterKey_.size() < 4 || masterKey_.size() > 100)) {
    // The password itself stays out of the message (and so out of the diagnostic log).
    ZuzDatabaseError(ZUZ_ERR_INVALID_LOGIN, "TZuzTable.CreateDatabase",
                     "The database password is not a valid value (min. length 4, max. length 100)",
                     kObject);
  }
  TDatabaseCreateOptions options;
  options.databaseName = name_;
  options.sortOrder = DefaultSortOrder;
  options.masterKey = masterKey_;
  options.userSecurity = UserSecurity;
  options.createSecurityTables = &TSecurityManager::CreateSecurityTables;
  TZuzEngineDb::Create(*fs_, FullPath(), options);
}

void TZuzDataBase::CopyDatabase(const std::string& target, bool overwrite) {
  const std::string source = FullPath();
  if (target == source)
    ZuzDatabaseError(ZUZ_ERR_COPY_FAILED, "TZuzDataBase.CopyDatabase", target, kObject);
  if (IsMemory() || !fs_->Exists(source)) {
    ZuzDatabaseError(ZUZ_ERR_FILE_NOT_FOUND, "TZuzDataBase.CopyDatabase", source, kObject);
  }
  if (fs_->Exists(target) && !overwrite) {
    ZuzDatabaseError(ZUZ_ERR_UNKNOWN, "TZuzDataBase.CopyDatabase", target, kObject);
  }
  if (connected_ && exclusive_ && db_) {
    try {
      db_->Disk().CopyZuzFile(target);
    } catch (const EZuzDatabaseError& e) {
      ZuzDatabaseError(ZUZ_ERR_COPY_FAILED, "TZuzDataBase.CopyDatabase",
                       source + "." + e.CustomMessage(), kObject);
    }
    return;
  }
  std::string error;
  auto in = fs_->Open(source, TZuzAccess::ReadOnly, TZuzShare::DenyNone, TZuzCreate::OpenExisting,
                      &error);
  std::unique_ptr<TZuzOSFile> out;
  if (in) {
    out = fs_->Open(target, TZuzAccess::ReadWrite, TZuzShare::Exclusive, TZuzCreate::CreateAlways,
                    &error);
  }
  bool ok = in && out;
  if (ok) {
    std::vector<uint8_t> buf(65536);
    int64_t offset = 0;
    for (;;) {
      int64_t got = in->ReadAt(offset, buf.data(), static_cast<int64_t>(buf.size()));
      if (got < 0) {
        ok = false;
        error = in->LastErrorText();
        break;
      }
      if (got == 0) break;
      if (out->WriteAt(offset, buf.data(), got) != got) {
        ok = false;
        error = out->LastErrorText();
        break;
      }
      offset += got;
    }
    ok = ok && out->Sync();
  }
  if (!ok)
    ZuzDatabaseError(ZUZ_ERR_COPY_FAILED, "TZuzDataBase.CopyDatabase", source + "." + error,
                     kObject);
}

void TZuzDataBase::DeleteTable(const std::string& name) {
  CheckConnected();
  CheckPrivilege(name, TZuzPrivilege::Drop);
  if (db_) {
    db_->Tables().DeleteTable(name);
  } else {
    memDb_->Tables().DeleteTable(name);
  }
}

std::vector<std::string> TZuzDataBase::TableNames() {
  CheckConnected();
  return db_ ? db_->Tables().TableNames() : memDb_->Tables().TableNames();
}

std::vector<std::string> TZuzDataBase::MemoryTableNames() {
  CheckConnected();
  return memDb_->Tables().TableNames();
}

}  // namespace zuz
