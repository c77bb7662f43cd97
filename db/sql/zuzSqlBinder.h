// The checks of a parsed statement that need the database's catalogue, and parse-time typing.
//
// First every table named by FROM (subqueries included), INSERT, UPDATE and DELETE is looked up
// among the disk tables, then the memory tables (TEMPORARY names only among the memory tables);
// each missing one is reported. Then names are resolved: a column reference to the first source
// of its query that has it (by qualifier, table name or alias), else to an enclosing query; a
// HAVING name may also name an output column. Types are given bottom-up (numbers ftFloat,
// strings ftString, NULL untyped, an untyped side taking the other side's type), constants
// compared with or assigned to a column take the column's type (strings meeting dates are
// converted here), and the type rules are checked. Without a catalogue no name is looked up and
// only the checks that need no column types are made.
#pragma once

#include <string>
#include <vector>

#include "db/sql/zuzSqlCatalogue.h"
#include "db/sql/zuzSqlStatements.h"

namespace zuz {

class TZuzSqlBinder {
 public:
  explicit TZuzSqlBinder(const TZuzSqlCatalogue* catalogue) : catalogue_(catalogue) {}

  // Looks up the statement's tables and gives each found one its columns; appends a message per
  // missing table ("Table not found - " and the name; for the UPDATE table "Table and/or field
  // not found" with its position).
  void CheckTables(TSqlStatement& statement, std::vector<std::string>& errors);
  // Resolves names and types and checks them; raises TSqlParseError with the first problem, or
  // the engine's 10059/10058 when a string constant is no date or time. REQUIRES: CheckTables
  // found every table.
  void Bind(TSqlStatement& statement);
  // The same for a search condition over the one table.
  void BindFilter(TSqlTableName& table, TSqlExpr& condition);

 private:
  struct TScope;
  struct TContext;

  void LookupTable(TSqlTableName& table, std::vector<std::string>& errors, bool updateTarget);
  void CheckSelectTables(TSqlSelect& select, std::vector<std::string>& errors);
  void CheckRefTables(TSqlTableRef& ref, std::vector<std::string>& errors);
  void CheckExprTables(TSqlExpr& e, std::vector<std::string>& errors);

  void BindSelect(TSqlSelect& select, const TScope* outer);
  void BindSpec(TSqlQuerySpec& block, const TScope* outer);
  void BindJoins(TSqlTableRef& ref, const TScope& scope);
  void ComputeOutputs(TSqlQuerySpec& block);
  void Bind(TSqlExpr& e, const TScope& scope, const TContext& context);
  void ResolveColumn(TSqlColumnRef& column, const TScope& scope, const TContext& context);
  void BindComparison(TSqlComparison& c, const TScope& scope, const TContext& context);
  void BindArithmetic(TSqlArithmetic& a, const TScope& scope, const TContext& context);
  // A value assigned to a field of that type (INSERT, UPDATE).
  void Assign(TSqlExpr& value, TFieldType target);

  void BindInsert(TSqlInsert& insert);
  void BindUpdate(TSqlUpdate& update);
  void BindDelete(TSqlDelete& del);
  void BindCreateIndex(TSqlCreateIndex& create);
  void BindDropIndex(TSqlDropIndex& drop);

  const TZuzSqlCatalogue* catalogue_;
};

// The name of a field type in messages ("Boolean", "Float", "String").
std::string SqlTypeName(TFieldType type);
// Whether a value of type from can be converted to a field of type to (assignment, CAST).
bool SqlCanConvert(TFieldType from, TFieldType to);

}  // namespace zuz
