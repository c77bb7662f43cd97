// The parsers of the statements ExecSQL runs:
//
//   INSERT INTO table ["(" column {, column} ")"] (VALUES "(" value {, value} ")" | query)
//   UPDATE table SET [table.]column = value {, [table.]column = value} [,] [WHERE condition]
//   DELETE FROM table [WHERE condition]
//   CREATE TABLE [TEMPORARY] name "(" column type [NOT NULL] {, ...} [[,] PRIMARY KEY (cols)] ")"
//   CREATE [UNIQUE] [ASC | DESC] INDEX name ON [TEMPORARY] table "(" column {, column} ")"
//   ALTER TABLE name action {, action}
//     action := ADD [COLUMN] name type [NOT NULL] | DROP [COLUMN] name
//             | ALTER [COLUMN] name TO new-name | ALTER [COLUMN] name TYPE type
//   DROP TABLE name | DROP INDEX table index
//
// A comma after the last SET item is accepted: the list ends at WHERE or at the end. Each
// parser starts at the statement's first word and stops before ";" or the end of the text;
// any other token left over is refused with the statement's own message.
#pragma once

#include "db/sql/zuzParserUtils.h"

namespace zuz {

class TZuzExecParsers {
 public:
  explicit TZuzExecParsers(TZuzSqlParseState& state) : s_(state) {}

  std::unique_ptr<TSqlInsert> ParseInsert();
  std::unique_ptr<TSqlUpdate> ParseUpdate();
  std::unique_ptr<TSqlDelete> ParseDelete();
  // CREATE TABLE or CREATE INDEX.
  std::unique_ptr<TSqlStatement> ParseCreate();
  std::unique_ptr<TSqlAlterTable> ParseAlter();
  // DROP TABLE or DROP INDEX.
  std::unique_ptr<TSqlStatement> ParseDrop();

 private:
  std::unique_ptr<TSqlTableName> Target(const char* missing);
  std::unique_ptr<TSqlStatement> CreateTable();
  std::unique_ptr<TSqlStatement> CreateIndex();
  std::string ColumnName();
  // Refuses tokens left before ";" or the end of the text.
  void End(const char* message);

  TZuzSqlParseState& s_;
};

}  // namespace zuz
