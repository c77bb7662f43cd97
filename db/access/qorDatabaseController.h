// The application's one way into the database: SQL text. The controller holds the engine's
// database object, one shared query for statements that return no rows, and the record sets it
// opened on SELECT statements. Every value the application writes into a statement passes
// through one of the literal formatters below, so that a text like O'Neil or
// "'; DROP TABLE Tasks; --" is stored exactly as typed and numbers carry "." in every locale.
//
// Calling pattern:
//   TqorDatabaseRecordSet* set = controller.OpenRecordSet("SELECT * FROM Projects");
//   while (!controller.Eof(set)) { ... controller.GetString(set, "ProjectName") ...;
//                                  controller.Next(set); }
//   controller.CloseRecordSet(set);
//
// Nothing is caught here: the engine's errors (zuz::EZuzDatabaseError), the variant conversion
// errors (EqorVariantError) and this layer's own (EqorDatabaseError) reach the caller.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "db/access/qorDatabaseRecordSet.h"
#include "planner/base/qorVariant.h"

namespace zuz {
class TZuzDataBase;
class TZuzQuery;
class TZuzFileSystem;
}  // namespace zuz

class TqorDatabaseController {
 public:
  // Files are opened through fs (the system's own file system by default), which must outlive
  // the controller.
  explicit TqorDatabaseController(zuz::TZuzFileSystem* fs = nullptr);
  // Frees the record sets still open, then the shared query, then disconnects the database.
  ~TqorDatabaseController();
  TqorDatabaseController(const TqorDatabaseController&) = delete;
  TqorDatabaseController& operator=(const TqorDatabaseController&) = delete;

  // The engine's database object (for its properties, such as Exclusive, before opening).
  zuz::TZuzDataBase& Database() { return *database_; }

  // Closes the database and connects it to the file at path; the engine's error when the file
  // is missing, damaged or locked by another program. The file must hold the planner's tables:
  // nothing is created.
  void OpenDatabase(const std::string& path);
  // Disconnects (closing every record set's rows); the record sets stay until closed.
  void CloseDatabase();
  bool Connected() const;

  // Runs one statement that returns no rows (INSERT, UPDATE, DELETE, or a schema statement) in
  // a transaction of its own; returns the number of rows it wrote. While read-only, raises
  // EqorDatabaseError with the reason instead and sends nothing to the engine.
  int64_t Execute(const std::string& statement);

  // --- Other programs ---
  // The plan file's change counter now: read from the file at once, without waiting for any
  // lock (one read of four bytes). 0 while not connected, and for a file no program has committed
  // to since counters exist.
  uint32_t ChangeCounter();
  // True when another program committed to the file since this controller last looked: the
  // counter differs from the one last seen. This controller's own commits (Execute and
  // TqorDatabaseTransaction::Commit) move the seen value along when the counter was at the seen
  // value just before the commit; when another program had committed in between, it stays
  // changed.
  bool ChangedElsewhere();
  // The caller has the plan as of this counter (read ChangeCounter() BEFORE loading, then call
  // this with that value after loading; a commit in between only causes one more reload).
  // OpenDatabase notes the counter at open.
  void NoteSeen(uint32_t counter);
  // Called from inside a statement while the engine waits for a lock another program holds:
  // with the milliseconds waited so far, about every 100-200 ms, and once with -1 when the wait
  // ends (lock taken or given up). An empty function removes it.
  void SetLockWaitObserver(std::function<void(int waitedMs)> observer);
  // How long a statement waits for another program's lock before it gives up with the engine's
  // lock error (its message names the other program's user and computer when known). Default:
  // the engine's retry count x interval as today.
  void SetLockWaitLimit(int milliseconds);
  // Moves the seen counter along this controller's own commits since the last call (see
  // ChangedElsewhere); Execute and TqorDatabaseTransaction::Commit call it.
  void FollowOwnCommits();

  // Called with the text of every statement this controller sends to the engine (Execute,
  // record sets, look-ups, NewId), just before it is sent: for a log, or to replay a
  // workflow's statements elsewhere. An empty function removes it.
  void SetStatementObserver(std::function<void(const std::string&)> observer) {
    statementObserver_ = std::move(observer);
  }
  // Read-only: from now on every Execute is refused with the reason (the plan can still be
  // read); an empty reason allows writing again.
  void SetReadOnly(const std::string& reason) { readOnlyReason_ = reason; }
  bool ReadOnly() const { return !readOnlyReason_.empty(); }

  // Runs a SELECT; the record set stands on its first row and stays the controller's until
  // CloseRecordSet. When the SELECT fails nothing is left open.
  TqorDatabaseRecordSet* OpenRecordSet(const std::string& statement);
  // Closes and frees the record set: "Can not close recordset <statement>" when this controller
  // does not hold it. REQUIRES: set is a live object (not one already closed).
  void CloseRecordSet(TqorDatabaseRecordSet* set);
  // The number of record sets opened and not yet closed.
  int OpenRecordSetCount() const { return static_cast<int>(recordSets_.size()); }

  // The record set operations (see TqorDatabaseRecordSet).
  bool Eof(TqorDatabaseRecordSet* set);
  bool Next(TqorDatabaseRecordSet* set);
  std::string GetString(TqorDatabaseRecordSet* set, std::string_view field);
  int32_t GetInteger(TqorDatabaseRecordSet* set, std::string_view field);
  double GetFloat(TqorDatabaseRecordSet* set, std::string_view field);
  double GetDate(TqorDatabaseRecordSet* set, std::string_view field);
  bool GetBoolean(TqorDatabaseRecordSet* set, std::string_view field);

  // The first field of the first row of a SELECT; the null variant when there is no row.
  TqorVariant LookupValue(const std::string& statement);
  // LookupValue as a whole number; null gives 0.
  int32_t LookupInteger(const std::string& statement);
  // The highest value of the key column of the table ("SELECT MAX(key) AS NewId FROM table"),
  // 0 for an empty table: right after an INSERT, the new row's id (ids only grow, one user).
  int32_t NewId(std::string_view keyColumn, std::string_view table);

  // --- Literal formatters ---
  // "'" + the text with every "'" doubled + "'".
  static std::string SQLString(std::string_view text);
  // Decimal digits, "-" before negative numbers.
  static std::string SQLInteger(int64_t value);
  // Up to 15 significant digits with "." (exponent form only for very large or small values);
  // EqorDatabaseError for NaN and infinities, which have no literal.
  static std::string SQLFloat(double value);
  // "'yyyy-mm-dd'" of the day number's calendar date (the time of day dropped); EqorDateError
  // outside the years 1 to 9999.
  static std::string SQLDate(double dayNumber);
  // "-1" or "0".
  static std::string SQLBoolean(bool value);

  // The record set itself; "Invalid nil cast to TqorDatabaseRecordSet." for a null pointer.
  static TqorDatabaseRecordSet* CheckRecordSet(TqorDatabaseRecordSet* set);
  // Takes a closed record set out of the list, which frees it; "Can not close recordset ..."
  // when the list does not hold it.
  void ReleaseRecordSet(TqorDatabaseRecordSet* set);

 private:
  // A query on the database for one look-up, freed with the call.
  std::unique_ptr<zuz::TZuzQuery> NewQuery(const std::string& statement);

  std::unique_ptr<zuz::TZuzDataBase> database_;
  std::unique_ptr<zuz::TZuzQuery> query_;
  std::vector<std::unique_ptr<TqorDatabaseRecordSet>> recordSets_;
  std::string readOnlyReason_;
  // The counter as of the plan the caller has, and the disk's count of writing commits as of the
  // last FollowOwnCommits.
  uint32_t seenCounter_ = 0;
  uint64_t commitsFollowed_ = 0;
  void Observe(const std::string& statement) {
    if (statementObserver_) statementObserver_(statement);
  }
  std::function<void(const std::string&)> statementObserver_;
  std::function<void(int)> lockWaitObserver_;
  int lockWaitLimitMs_ = 0;
};
