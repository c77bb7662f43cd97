// Preparing a statement: the text is tokenised, classified by its first word (SELECT a query;
// INSERT, UPDATE, DELETE; CREATE, ALTER, DROP a schema statement), parsed into its tree, its
// tables looked up and its names and types checked. A refused statement leaves its messages in
// Errors(); the query object reports them as "SQL Error" (9645), each message followed by ". ".
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "db/sql/zuzSqlCatalogue.h"
#include "db/sql/zuzSqlStatements.h"

namespace zuz {

// A dataset filter: a search condition over the columns of one table.
struct TSqlFilter {
  std::unique_ptr<TSqlTableName> Table;
  TSqlExprPtr Condition;
};

class TZuzSqlParser {
 public:
  // Names are looked up in the catalogue; without one only the syntax and the checks that need
  // no table are made.
  explicit TZuzSqlParser(const TZuzSqlCatalogue* catalogue = nullptr) : catalogue_(catalogue) {}

  // True with Statement() set when the text is one valid statement; false with Errors() set
  // otherwise (text that is not UTF-8 is refused whole). A string constant met by a date or time
  // column that is no date or time raises the engine's 10059 or 10058 instead.
  bool Prepare(std::string_view text);
  // The same for a filter over the table: functions allowed, no parameters, no subqueries.
  bool PrepareFilter(std::string_view text, const TTableDef& table);

  const std::vector<std::string>& Errors() const { return errors_; }
  // The messages as the query object reports them: each followed by ". ".
  std::string ErrorText() const;
  TSqlStatement* Statement() const { return statement_.get(); }
  std::unique_ptr<TSqlStatement> TakeStatement() { return std::move(statement_); }
  TSqlFilter TakeFilter() { return std::move(filter_); }

 private:
  const TZuzSqlCatalogue* catalogue_;
  std::vector<std::string> errors_;
  std::unique_ptr<TSqlStatement> statement_;
  TSqlFilter filter_;
};

// Each message followed by ". ".
std::string JoinSqlErrors(const std::vector<std::string>& errors);

// Prepares the text; raises 9645 "SQL Error" with the joined messages under the caller text when
// it is refused (and 10059 / 10058 for a string that is no date or time).
std::unique_ptr<TSqlStatement> ParseSqlStatement(std::string_view text,
                                                 const TZuzSqlCatalogue* catalogue,
                                                 std::string_view caller);

}  // namespace zuz
