// The query object: one SQL statement on a database. Open runs a SELECT and presents its
// result (a table held in memory) as a read-only dataset standing on its first row; ExecSQL
// runs every other statement, with the number of rows written in RowsAffected.
//
// Every execution on a database file runs inside a transaction: when none is open the
// statement starts its own, commits it when the statement succeeds and rolls it back when it
// fails, so a failed INSERT, UPDATE or DELETE changes nothing. A SELECT's own transaction takes
// only the read locks of the tables it reads. Schema statements are refused inside an open
// transaction (10122) and run as transactions of their own; CREATE INDEX, DROP INDEX and ALTER
// TABLE on a table of the database file open a database opened shared for this program alone
// while they run (TZuzDataBase::RunExclusive).
//
// Errors: 9645 "SQL Error" with the parser's or executor's message under the caller text
// "TZuzQuery.ExecSQL" or "TZuzQuery.InternalOpen"; conversion (10058, 10059), record (9729, 8708)
// and subquery (9650, 9656) errors keep their codes.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "db/exec/zuzQueryProvider.h"
#include "db/objects/zuzDataSet.h"

namespace zuz {

class TZuzQuery : public TZuzDataSet {
 public:
  TZuzQuery() = default;
  ~TZuzQuery() override;

  // The statement text; a different text closes the query and drops its preparation, and with
  // ParamCheck rebuilds Params from the text (connecting the database to parse it).
  const std::string& SQL() const { return sql_; }
  void SetSQL(const std::string& text);
  void SetDatabase(TZuzDataBase* db) { SetDataBase(db); }
  TZuzDataBase* Database() const { return DataBase(); }

  // A dataset whose current row supplies parameter values by name.
  TZuzDataSet* DataSource = nullptr;
  int MaxRecords = 0;
  bool ParamCheck = true;
  // An updatable result is not offered: the result is always read-only.
  bool RequestLive = false;

  TZuzParams& Params() { return params_; }
  int ParamCount() const { return static_cast<int>(paramNames_.size()); }
  const std::vector<std::string>& ParamNames() const { return paramNames_; }
  void SetParam(const std::string& name, const TqorVariant& value);

  // Parses the text: 10112 without a database; connects it when needed.
  void Prepare();
  void Unprepare();
  bool Prepared() const { return provider_ && provider_->Prepared(); }
  // Whether the prepared statement is a SELECT.
  bool StatementIsQuery() const { return Prepared() && provider_->Statement()->IsQuery(); }
  // Whether the prepared statement is a schema statement (CREATE, ALTER, DROP).
  bool StatementIsSchema() const { return Prepared() && provider_->Statement()->IsSchema(); }
  // Runs a statement that is not a SELECT (see above).
  void ExecSQL();
  int64_t RowsAffected() const { return rowsAffected_; }
  // The work counts of the last execution (records read, index ranges, join look-ups).
  const TZuzExecStats& Stats() const { return stats_; }
  // The result's columns after Open.
  const TZuzResultSet* Result() const { return result_.get(); }

 protected:
  void DoOpen() override;
  void DoClose() override;
  size_t DoRowCount() override { return result_ ? result_->Rows.size() : 0; }
  void DoReadRow(size_t i, TZuzRow& row) override;
  const TTableDef* FilterTableDef() override;

 private:
  void Connect(const char* caller);
  void FillParamsFromDataSource();

  std::string sql_;
  std::unique_ptr<TZuzQueryProvider> provider_;
  TZuzDataBase* providerDb_ = nullptr;
  TZuzParams params_;
  std::vector<std::string> paramNames_;
  std::unique_ptr<TZuzResultSet> result_;
  std::unique_ptr<TTableDef> filterDef_;
  int64_t rowsAffected_ = 0;
  TZuzExecStats stats_;
};

}  // namespace zuz
