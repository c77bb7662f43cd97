#include "db/access/qorDatabaseController.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "db/objects/zuzDatabase.h"
#include "db/objects/zuzSQL.h"
#include "db/storage/zuzDisk.h"
#include "planner/base/qorCalendar.h"

TqorDatabaseController::TqorDatabaseController(zuz::TZuzFileSystem* fs)
    : database_(std::make_unique<zuz::TZuzDataBase>(fs)),
      query_(std::make_unique<zuz::TZuzQuery>()) {
  query_->ParamCheck = false;
  query_->SetDatabase(database_.get());
}

TqorDatabaseController::~TqorDatabaseController() {
  // Every query goes before its database: the record sets left open after an error first, then
  // the shared query; then the database disconnects.
  recordSets_.clear();
  query_.reset();
  try {
    database_->Close();
  } catch (...) {
    // A failure to write the last header can't be reported from a destructor.
  }
}

void TqorDatabaseController::OpenDatabase(const std::string& path) {
  database_->Close();
  database_->SetDataBaseName(path);
  database_->Open();
  zuz::TDiskMgr* disk = database_->Disk();
  commitsFollowed_ = disk ? disk->WritingCommits() : 0;
  seenCounter_ = ChangeCounter();
}

void TqorDatabaseController::CloseDatabase() {
  database_->Close();
}

bool TqorDatabaseController::Connected() const {
  return database_->Connected();
}

int64_t TqorDatabaseController::Execute(const std::string& statement) {
  if (ReadOnly()) throw EqorDatabaseError(readOnlyReason_);
  Observe(statement);
  query_->Close();
  query_->SetSQL(statement);
  try {
    query_->ExecSQL();
  } catch (...) {
    FollowOwnCommits();
    throw;
  }
  FollowOwnCommits();
  return query_->RowsAffected();
}

uint32_t TqorDatabaseController::ChangeCounter() {
  if (!database_->Connected()) return 0;
  zuz::TDiskMgr* disk = database_->Disk();
  return disk && disk->IsOpen() ? disk->ChangeCounterOnDisk() : 0;
}

bool TqorDatabaseController::ChangedElsewhere() {
  FollowOwnCommits();
  return ChangeCounter() != seenCounter_;
}

void TqorDatabaseController::NoteSeen(uint32_t counter) {
  FollowOwnCommits();
  seenCounter_ = counter;
}

void TqorDatabaseController::FollowOwnCommits() {
  if (!database_->Connected()) return;
  zuz::TDiskMgr* disk = database_->Disk();
  if (!disk || disk->WritingCommits() == commitsFollowed_) return;
  // Only the last commit is known: when several came since the last call (commits made on the
  // database object directly), a counter that moved through them all looks changed once more.
  if (disk->WritingCommits() == commitsFollowed_ + 1 &&
      disk->CounterBeforeLastCommit() == seenCounter_) {
    seenCounter_ = disk->CounterAfterLastCommit();
  }
  commitsFollowed_ = disk->WritingCommits();
}

void TqorDatabaseController::SetLockWaitObserver(std::function<void(int waitedMs)> observer) {
  lockWaitObserver_ = std::move(observer);
  database_->SetLockWait(lockWaitObserver_, lockWaitLimitMs_);
}

void TqorDatabaseController::SetLockWaitLimit(int milliseconds) {
  lockWaitLimitMs_ = milliseconds;
  database_->SetLockWait(lockWaitObserver_, lockWaitLimitMs_);
}

TqorDatabaseRecordSet* TqorDatabaseController::OpenRecordSet(const std::string& statement) {
  auto owned = std::make_unique<TqorDatabaseRecordSet>();
  TqorDatabaseRecordSet* set = owned.get();
  set->SetController(this);
  recordSets_.push_back(std::move(owned));
  Observe(statement);
  try {
    set->SetSQL(statement);
    set->Open();
  } catch (...) {
    // The caller never receives it, so nobody could hand it back: it goes now.
    recordSets_.pop_back();
    throw;
  }
  return set;
}

void TqorDatabaseController::CloseRecordSet(TqorDatabaseRecordSet* set) {
  CheckRecordSet(set)->CloseAndRelease();
}

void TqorDatabaseController::ReleaseRecordSet(TqorDatabaseRecordSet* set) {
  CheckRecordSet(set);
  auto it = std::find_if(recordSets_.begin(), recordSets_.end(),
                         [set](const auto& owned) { return owned.get() == set; });
  if (it == recordSets_.end()) throw EqorDatabaseError("Can not close recordset " + set->GetSQL());
  set->Close();
  recordSets_.erase(it);
}

TqorDatabaseRecordSet* TqorDatabaseController::CheckRecordSet(TqorDatabaseRecordSet* set) {
  if (!set) throw EqorDatabaseError("Invalid nil cast to TqorDatabaseRecordSet.");
  return set;
}

bool TqorDatabaseController::Eof(TqorDatabaseRecordSet* set) {
  return CheckRecordSet(set)->Eof();
}

bool TqorDatabaseController::Next(TqorDatabaseRecordSet* set) {
  return CheckRecordSet(set)->Next();
}

std::string TqorDatabaseController::GetString(TqorDatabaseRecordSet* set, std::string_view field) {
  return CheckRecordSet(set)->GetString(field);
}

int32_t TqorDatabaseController::GetInteger(TqorDatabaseRecordSet* set, std::string_view field) {
  return CheckRecordSet(set)->GetInteger(field);
}

double TqorDatabaseController::GetFloat(TqorDatabaseRecordSet* set, std::string_view field) {
  return CheckRecordSet(set)->GetFloat(field);
}

double TqorDatabaseController::GetDate(TqorDatabaseRecordSet* set, std::string_view field) {
  return CheckRecordSet(set)->GetDate(field);
}

bool TqorDatabaseController::GetBoolean(TqorDatabaseRecordSet* set, std::string_view field) {
  return CheckRecordSet(set)->GetBoolean(field);
}

std::unique_ptr<zuz::TZuzQuery> TqorDatabaseController::NewQuery(const std::string& statement) {
  Observe(statement);
  auto q = std::make_unique<zuz::TZuzQuery>();
  q->ParamCheck = false;
  q->SetDatabase(database_.get());
  q->SetSQL(statement);
  return q;
}

TqorVariant TqorDatabaseController::LookupValue(const std::string& statement) {
  std::unique_ptr<zuz::TZuzQuery> q = NewQuery(statement);
  q->Open();
  TqorVariant result = q->Eof() || q->FieldCount() == 0 ? TqorVariant::Null() : q->FieldValue(0);
  q->Close();
  return result;
}

int32_t TqorDatabaseController::LookupInteger(const std::string& statement) {
  const TqorVariant v = LookupValue(statement);
  return v.IsNull() ? 0 : v.AsInteger();
}

int32_t TqorDatabaseController::NewId(std::string_view keyColumn, std::string_view table) {
  std::string statement = "SELECT MAX(";
  statement.append(keyColumn).append(") AS NewId FROM ").append(table);
  std::unique_ptr<zuz::TZuzQuery> q = NewQuery(statement);
  q->Open();
  int32_t id = 0;
  if (!q->Eof()) {
    const TqorVariant v = q->FieldValue("NewId");
    if (!v.IsNull()) id = v.AsInteger();
  }
  q->Close();
  return id;
}

// --- Literal formatters ---

std::string TqorDatabaseController::SQLString(std::string_view text) {
  std::string out;
  out.reserve(text.size() + 2);
  out += '\'';
  for (char c : text) {
    if (c == '\'') out += '\'';
    out += c;
  }
  out += '\'';
  return out;
}

std::string TqorDatabaseController::SQLInteger(int64_t value) {
  return std::to_string(value);
}

std::string TqorDatabaseController::SQLFloat(double value) {
  if (!std::isfinite(value)) {
    throw EqorDatabaseError("'" + RealToText(value, ".") + "' is not a valid floating point value");
  }
  return RealToText(value, ".");
}

std::string TqorDatabaseController::SQLDate(double dayNumber) {
  int y = 0, m = 0, d = 0;
  DecodeDate(dayNumber, y, m, d);
  char buf[24];
  std::snprintf(buf, sizeof buf, "'%.4d-%.2d-%.2d'", y, m, d);
  return buf;
}

std::string TqorDatabaseController::SQLBoolean(bool value) {
  return value ? "-1" : "0";
}
