// Running one SQL statement against the tables of a database.
//
// Preparing parses the text against the database's catalogue (disk tables first, then memory
// tables, letter case ignored) and makes the checks of the select analysis: DISTINCT limits,
// GROUP BY and HAVING columns, ORDER BY items, UNION column counts and types.
//
// A query runs each part of a UNION in turn: the WHERE condition is split at its ANDs into
// selections of one source (narrowed through indexes), join conditions between two sources and
// a remaining filter; the sources are joined (zuzJoinDataProviderUnit.h); each joined row that
// passes the filter gives a result row, or with aggregates updates the accumulators of its
// group. Aggregates are doubles and give 0 when no value took part. HAVING removes groups
// afterwards; ORDER BY orders the result. MaxRecords above 0 stops a plain query silently after
// that many rows and fails a grouped one with more groups.
//
// INSERT adds one record per VALUES list or query row. UPDATE and DELETE first collect the
// addresses of every matching record, then change or delete them one by one. Schema statements
// run the table and index operations. The caller runs data statements inside a transaction.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "db/exec/zuzExprEvaluator.h"
#include "db/exec/zuzJoinDataProviderUnit.h"
#include "db/exec/zuzResultSet.h"
#include "db/index/zuzReIndex.h"
#include "db/record/zuzTableMgrUnit.h"
#include "db/sql/zuzSqlCatalogue.h"

namespace zuz {

// The tables a statement runs on.
struct TZuzExecEnv {
  TTableMgr* Disk = nullptr;    // the database's tables; null for the in-memory database
  TTableMgr* Memory = nullptr;  // the memory tables
  TSortOrder SortOrder = TSortOrder::soANSI;
  // The read check: called with the stored name of every table of the database file a query
  // reads rows from (also inside INSERT, UPDATE and DELETE), once per run; may raise.
  std::function<void(const std::string& table)> CheckRead;
};

// The catalogue of an environment: the definitions of its tables, read once per statement.
class TZuzEngineCatalogue : public TZuzSqlCatalogue {
 public:
  explicit TZuzEngineCatalogue(const TZuzExecEnv& env) : env_(env) {}
  const TTableDef* FindTable(std::string_view name, bool memory) const override;
  // The stored name of the table (letter case as created), or "".
  std::string ActualName(std::string_view name, bool memory) const;
  void Clear();

 private:
  const std::vector<std::string>& Names(bool memory) const;
  TZuzExecEnv env_;
  mutable bool namesRead_[2] = {false, false};
  mutable std::vector<std::string> names_[2];
  mutable std::map<std::string, std::shared_ptr<const TTableDef>> defs_[2];
};

class TZuzQueryProvider : private TZuzSubqueryRunner {
 public:
  explicit TZuzQueryProvider(TZuzExecEnv env);
  ~TZuzQueryProvider() override;
  TZuzQueryProvider(const TZuzQueryProvider&) = delete;
  TZuzQueryProvider& operator=(const TZuzQueryProvider&) = delete;

  // Parses and checks the text: 9645 "SQL Error" with the messages (each followed by ". ") under
  // the caller text, 10059 / 10058 for a string that is no date or time.
  void Prepare(std::string_view sql, std::string_view caller);
  bool Prepared() const { return statement_ != nullptr; }
  const TSqlStatement* Statement() const { return statement_.get(); }
  void Unprepare();
  // The names of the statement's parameters in order of appearance (each once).
  std::vector<std::string> ParamNames() const;

  TZuzParams Params;
  int MaxRecords = 0;
  // Progress of index rebuilds run by CREATE INDEX and DROP INDEX (may cancel them).
  TUpdateProgressProc Progress;
  TZuzExecStats Stats;

  // Runs the prepared SELECT into a result set. Failures: 9645 with the message under the
  // caller text, or the codes that keep their own (9650, 9656, 9729, 8708, 10058, 10059).
  std::unique_ptr<TZuzResultSet> Open(std::string_view caller);
  // Runs the prepared statement of another kind; returns the number of rows written.
  int64_t Execute(std::string_view caller);
  // Whether the prepared statement changes the definition of a table of the database file
  // (CREATE INDEX, DROP INDEX, ALTER TABLE), which needs the file for this program alone.
  bool RestructuresDiskTable() const;

 private:
  struct TSpecRun;
  struct TAccumulator;

  bool Correlated(const TSqlSelect& select) override;
  const std::vector<TZuzRow>& RunSubquery(const TSqlSelect& select, const TZuzEvalContext& outer,
                                          size_t& columnCount) override;

  void Check(const TSqlSelect& select);
  void CheckSpec(const TSqlQuerySpec& block, bool distinct);
  void CheckExpr(const TSqlExpr& e);

  std::unique_ptr<TZuzResultSet> RunSelect(const TSqlSelect& select, const TZuzEvalContext* outer,
                                           int maxRecords);
  void RunSpec(const TSqlQuerySpec& block, const TZuzEvalContext* outer, TZuzResultSet& result,
               int maxRecords, bool distinct);
  TOpenTable& OpenTable(const TSqlTableName& name);
  TTableMgr& TablesFor(const std::string& name, bool temporary, std::string& actual);
  void CloseTables();

  int64_t RunInsert(const TSqlInsert& insert);
  int64_t RunUpdate(const TSqlUpdate& update);
  int64_t RunDelete(const TSqlDelete& del);
  void RunSchema(const TSqlStatement& st);
  void RunAlter(const TSqlAlterTable& alter);
  // The records of the table that pass the condition (addresses, and the decoded rows).
  std::unique_ptr<TZuzSourceProvider> Matching(TOpenTable& table, const TSqlExpr* where,
                                               const std::vector<bool>& needed,
                                               std::vector<int>& rows);

  TZuzExecEnv env_;
  TZuzEngineCatalogue catalogue_;
  std::unique_ptr<TSqlStatement> statement_;
  std::unique_ptr<TZuzExprEvaluator> ev_;
  // ORDER BY of each query: result column and direction.
  std::map<const TSqlSelect*, std::vector<std::pair<int, bool>>> orderBy_;
  std::map<const TSqlSelect*, bool> correlated_;
  std::map<const TSqlSelect*, std::unique_ptr<TZuzResultSet>> subqueryCache_;
  std::map<const TSqlSelect*, std::unique_ptr<TZuzResultSet>> subqueryLast_;
  std::map<std::string, std::unique_ptr<TOpenTable>> tables_;
  std::set<std::string> readChecked_;     // the tables the read check passed in this run
  std::vector<TSqlExprPtr> synthesized_;  // conditions made for USING and NATURAL joins
};

// The names of the parameters of a statement, in order of appearance, each once.
std::vector<std::string> SqlParamNames(const TSqlStatement& st);

}  // namespace zuz
