// The lexer of the engine's SQL dialect: statement text (UTF-8) in, tokens out.
//
// Token kinds and what forms them:
//   identifier        a word that is no keyword; a name in square brackets; any word directly
//                     after a "."
//   qualifier         an identifier or quoted text directly followed by "." (the table part of
//                     table.column); the "." belongs to the token's source range
//   string            text in single quotes, double quotes, back quotes or number signs (a
//                     doubled quote inside single or double quotes stands for one)
//   number            digits and dots (with an exponent "e[+|-]digits" directly after); "+" or
//                     "-" directly followed by a digit or a dot starts a signed number, so x-1 is
//                     the name x and the number -1; a "." directly followed by a digit starts one
//   operator          a run of "<", "=", ">"; "+", "-", "*", "/"; "||" written apart
//   punctuation       "(", ")", ","
//   end               ";" or the end of the text (the token list always ends with the latter)
//   parameter         ":" directly followed by a name
//   keyword, aggregate function, string function, data type name: reserved words, letter case
//                     ignored; GROUP BY, ORDER BY, FOR UPDATE, PRIMARY KEY, NOT LIKE, NOT
//                     BETWEEN, NOT IN, IS NULL, IS NOT NULL and DOUBLE PRECISION are single tokens
//                     when their words are separated by white space only
//   invalid           ":" without a name, a stray "]": the parser reports the token's message
//                     when it reaches it
// Comments ("/* ... */", "// ..." to the end of the line) and white space (tab, LF, CR, space)
// are dropped. A quote character without its closing character is an ordinary character of a
// word. Lines and characters are counted from 1; a CR LF or LF CR pair ends one line; positions
// count characters, not bytes.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace zuz {

enum class TSqlTokenKind {
  Identifier,
  Qualifier,
  String,
  Number,
  Operator,
  Punctuation,
  End,
  Parameter,
  Keyword,
  Aggregate,
  StringFunction,
  DataType,
  Invalid,
};

// Reserved words. X(name, text, kind) with kind one of Keyword, Aggregate, StringFunction,
// DataType; two-word keywords are written with one blank.
#define ZUZ_SQL_KEYWORDS(X)                         \
  X(Distinct, "DISTINCT", Keyword)                  \
  X(All, "ALL", Keyword)                            \
  X(Asc, "ASC", Keyword)                            \
  X(Ascending, "ASCENDING", Keyword)                \
  X(Desc, "DESC", Keyword)                          \
  X(Descending, "DESCENDING", Keyword)              \
  X(Select, "SELECT", Keyword)                      \
  X(And, "AND", Keyword)                            \
  X(Or, "OR", Keyword)                              \
  X(Like, "LIKE", Keyword)                          \
  X(IsNull, "IS NULL", Keyword)                     \
  X(IsNotNull, "IS NOT NULL", Keyword)              \
  X(From, "FROM", Keyword)                          \
  X(Where, "WHERE", Keyword)                        \
  X(GroupBy, "GROUP BY", Keyword)                   \
  X(Having, "HAVING", Keyword)                      \
  X(Union, "UNION", Keyword)                        \
  X(Plan, "PLAN", Keyword)                          \
  X(ForUpdate, "FOR UPDATE", Keyword)               \
  X(OrderBy, "ORDER BY", Keyword)                   \
  X(Null, "NULL", Keyword)                          \
  X(Between, "BETWEEN", Keyword)                    \
  X(Case, "CASE", Keyword)                          \
  X(As, "AS", Keyword)                              \
  X(When, "WHEN", Keyword)                          \
  X(Then, "THEN", Keyword)                          \
  X(NullIf, "NULLIF", Keyword)                      \
  X(Coalesce, "COALESCE", Keyword)                  \
  X(Join, "JOIN", Keyword)                          \
  X(Inner, "INNER", Keyword)                        \
  X(Outer, "OUTER", Keyword)                        \
  X(Left, "LEFT", Keyword)                          \
  X(Right, "RIGHT", Keyword)                        \
  X(Cross, "CROSS", Keyword)                        \
  X(Natural, "NATURAL", Keyword)                    \
  X(Full, "FULL", Keyword)                          \
  X(Cast, "CAST", Keyword)                          \
  X(Not, "NOT", Keyword)                            \
  X(NotLike, "NOT LIKE", Keyword)                   \
  X(NotBetween, "NOT BETWEEN", Keyword)             \
  X(NotIn, "NOT IN", Keyword)                       \
  X(In, "IN", Keyword)                              \
  X(For, "FOR", Keyword)                            \
  X(On, "ON", Keyword)                              \
  X(Using, "USING", Keyword)                        \
  X(Escape, "ESCAPE", Keyword)                      \
  X(True, "TRUE", Keyword)                          \
  X(False, "FALSE", Keyword)                        \
  X(Character, "CHARACTER", Keyword)                \
  X(Char, "CHAR", Keyword)                          \
  X(Varchar, "VARCHAR", Keyword)                    \
  X(Integer, "INTEGER", Keyword)                    \
  X(Int, "INT", Keyword)                            \
  X(AutoInc, "AUTOINC", Keyword)                    \
  X(Smallint, "SMALLINT", Keyword)                  \
  X(Date, "DATE", Keyword)                          \
  X(Time, "TIME", Keyword)                          \
  X(Timestamp, "TIMESTAMP", Keyword)                \
  X(DateTime, "DATETIME", Keyword)                  \
  X(Decimal, "DECIMAL", Keyword)                    \
  X(Numeric, "NUMERIC", Keyword)                    \
  X(Float, "FLOAT", Keyword)                        \
  X(Boolean, "BOOLEAN", Keyword)                    \
  X(Money, "MONEY", Keyword)                        \
  X(Blob, "BLOB", Keyword)                          \
  X(Extract, "EXTRACT", Keyword)                    \
  X(Year, "YEAR", Keyword)                          \
  X(Month, "MONTH", Keyword)                        \
  X(Day, "DAY", Keyword)                            \
  X(Hour, "HOUR", Keyword)                          \
  X(Minute, "MINUTE", Keyword)                      \
  X(Second, "SECOND", Keyword)                      \
  X(CurrentTime, "CURRENT_TIME", Keyword)           \
  X(CurrentDate, "CURRENT_DATE", Keyword)           \
  X(CurrentTimestamp, "CURRENT_TIMESTAMP", Keyword) \
  X(Exists, "EXISTS", Keyword)                      \
  X(Any, "ANY", Keyword)                            \
  X(Some, "SOME", Keyword)                          \
  X(Into, "INTO", Keyword)                          \
  X(Insert, "INSERT", Keyword)                      \
  X(Values, "VALUES", Keyword)                      \
  X(Delete, "DELETE", Keyword)                      \
  X(Update, "UPDATE", Keyword)                      \
  X(Set, "SET", Keyword)                            \
  X(Create, "CREATE", Keyword)                      \
  X(Table, "TABLE", Keyword)                        \
  X(Add, "ADD", Keyword)                            \
  X(Drop, "DROP", Keyword)                          \
  X(Alter, "ALTER", Keyword)                        \
  X(Column, "COLUMN", Keyword)                      \
  X(Unique, "UNIQUE", Keyword)                      \
  X(Index, "INDEX", Keyword)                        \
  X(PrimaryKey, "PRIMARY KEY", Keyword)             \
  X(Type, "TYPE", Keyword)                          \
  X(To, "TO", Keyword)                              \
  X(Temporary, "TEMPORARY", Keyword)                \
  X(Count, "COUNT", Aggregate)                      \
  X(Avg, "AVG", Aggregate)                          \
  X(Sum, "SUM", Aggregate)                          \
  X(Max, "MAX", Aggregate)                          \
  X(Min, "MIN", Aggregate)                          \
  X(Upper, "UPPER", StringFunction)                 \
  X(Lower, "LOWER", StringFunction)                 \
  X(Substring, "SUBSTRING", StringFunction)         \
  X(Trim, "TRIM", StringFunction)                   \
  X(Dec, "DEC", DataType)                           \
  X(Real, "REAL", DataType)                         \
  X(Double, "DOUBLE", DataType)                     \
  X(DoublePrecision, "DOUBLE PRECISION", DataType)

enum class TSqlKeyword {
  None,
#define ZUZ_SQL_KEYWORD_ENUM(name, text, kind) name,
  ZUZ_SQL_KEYWORDS(ZUZ_SQL_KEYWORD_ENUM)
#undef ZUZ_SQL_KEYWORD_ENUM
};

// The text of a reserved word in capitals ("GROUP BY"); "" for None.
const char* SqlKeywordText(TSqlKeyword keyword);
// The reserved word spelled by the text (letter case ignored, one blank between the words of a
// two-word keyword), or None.
TSqlKeyword SqlKeywordOf(std::string_view text);

struct TSqlToken {
  TSqlTokenKind Kind = TSqlTokenKind::End;
  TSqlKeyword Keyword = TSqlKeyword::None;  // keywords, functions and data type names
  // Identifiers and words as written (without brackets, qualifiers without the "."), the content
  // of a string without its quotes, a number or operator as written, a parameter's name without
  // the ":", ";" for the end of a statement and "" for the end of the text.
  std::string Text;
  char Quote = 0;  // the opening character of a quoted token: ' " ` # or [
  int Line = 1;
  int Char = 1;
  size_t Start = 0;  // byte range of the token's source text (with the "." before a name that
                     // only a "." made one)
  size_t End = 0;
  bool SpaceBefore = false;       // white space or a comment between this token and the one before
  const char* Message = nullptr;  // what the parser reports on an invalid token
};

// Splits the text into tokens; the last token is always the end of the text. Never fails: what
// can't be a token becomes an invalid token. Time and memory are linear in the text's length.
std::vector<TSqlToken> SqlTokenize(std::string_view text);

// Whether the word would come back from the lexer as one identifier when written bare (no
// brackets): not empty, made of word characters, not starting like a number, no reserved word
// nor the first word of a two-word one.
bool IsPlainSqlName(std::string_view name);
// Whether the text is one word: not empty, no white space, quote, bracket, parenthesis, comma,
// semicolon, "*", "+", "-", ".", "/", ":", "<", "=" or ">".
bool IsSqlWord(std::string_view text);

}  // namespace zuz
