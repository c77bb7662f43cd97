// The SQL shell's work apart from the terminal: splitting a script into statements, running one
// statement or dot command on a database, and writing results as aligned tables or as CSV.
//
// CSV (RFC 4180): a header line of column names, then one line per row, lines ended by CR LF;
// a field holding a comma, a double quote, CR or LF is written in double quotes with its double
// quotes doubled. Numbers in "." form with the shortest text that reads back the same value,
// dates as yyyy-mm-dd (with the time when there is one), NULL as an empty field, booleans as
// True or False. In both forms a NUL character of a text or name is written \0, and the rest of
// the text and of the row follows it.
#pragma once

#include <cstdio>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "db/objects/zuzDatabase.h"

namespace zuz {

class TZuzSqlShell {
 public:
  explicit TZuzSqlShell(TZuzDataBase& db, std::FILE* out) : db_(db), out_(out) {}

  bool Csv = false;
  // Prints "(n rows affected)" after data statements.
  bool Verbose = false;
  // Asks for a new password (for .password and .adduser); false, with the reason, when none
  // was given.
  std::function<bool(std::string& password, std::string& reason)> AskNewPassword;

  // Runs one statement (text without its ";") or dot command. Raises the engine's errors.
  // Returns false for ".quit" / ".exit".
  bool Run(std::string_view statement);
  // The text of the help command.
  static std::string HelpText();

 private:
  // The tables of the file the user may read, then the memory tables.
  void Tables();
  // The commands of users, groups and privileges.
  void Security(std::string_view cmd, const std::vector<std::string>& args);
  static std::vector<std::string> Words(std::string_view text);
  // The definition of the named table (10624 when the user may not read it), or of every table
  // the user may read.
  void Schema(const std::string& name);

  TZuzDataBase& db_;
  std::FILE* out_;
};

// Splits statements at ";" outside quotes, brackets and comments; empty statements are left
// out. The text after the last ";" is returned in rest (nothing is lost when it is not empty).
std::vector<std::string> SplitSqlScript(std::string_view text, std::string* rest = nullptr);
// Whether the text, trimmed, is a dot command.
bool IsDotCommand(std::string_view text);
// A CSV field.
std::string CsvField(std::string_view text);
// A text for output: NUL characters written \0.
std::string ShellText(std::string_view text);
// The text of a value for output (empty for NULL).
std::string ShellValueText(const TZuzValue& v);
// The CREATE TABLE and CREATE INDEX statements of a table definition.
std::string SchemaText(const TTableDef& def);

}  // namespace zuz
