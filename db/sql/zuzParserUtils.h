// What the statement parsers share: the token cursor with its error reports, the limits that
// keep recursion and tree size bounded, the clause feature sets, name lists and data types.
//
// A parse error is raised as TSqlParseError carrying the message with the position suffix
// " Line %d, Character %d. Token '%s'" of the token where parsing stopped; the statement parser
// collects it into its error list (only the first error of a clause parser is kept).
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "db/sql/zuzSqlExpr.h"
#include "db/sql/zuzSqlLexer.h"
#include "db/sql/zuzSqlStatements.h"

namespace zuz {

struct TSqlParseError {
  std::string Message;
};

// Parser messages.
inline constexpr const char* kSqlInvalidToken = "Invalid token";
inline constexpr const char* kSqlTooDeep = "Statement is nested too deeply";

// How deep conditions and subqueries may nest, how high a tree may grow, and how many nodes a
// statement may produce: a few thousand, and some per token (BETWEEN copies its left operand, so
// BETWEEN nested in such operands doubles the tree each time).
inline constexpr int kMaxSqlNesting = 200;
inline constexpr int kMaxSqlHeight = 1000;
inline constexpr size_t kSqlBaseNodes = 4096;
inline constexpr size_t kSqlNodesPerToken = 16;

// " Line %d, Character %d. Token '%s'".
std::string SqlPositionSuffix(int line, int character, std::string_view token);
std::string SqlPositionSuffix(const TSqlPos& pos);
[[noreturn]] void FailSqlAt(const TSqlPos& pos, const std::string& message);

// What a clause's expressions may contain.
struct TSqlFeatures {
  bool Parameters = false;
  bool Subqueries = false;
  bool Aggregates = false;
  bool Columns = true;
  bool SelectList = false;
};

inline constexpr TSqlFeatures kSelectListFeatures{false, false, true, true, true};
inline constexpr TSqlFeatures kJoinOnFeatures{false, false, false, true, false};
inline constexpr TSqlFeatures kWhereFeatures{true, true, false, true, false};
inline constexpr TSqlFeatures kHavingFeatures{false, true, true, true, false};
inline constexpr TSqlFeatures kInsertValueFeatures{true, false, false, false, false};
inline constexpr TSqlFeatures kUpdateSetFeatures{true, true, false, true, false};
inline constexpr TSqlFeatures kFilterFeatures{false, false, false, true, false};

// The token list of one statement and the position of the parsers in it.
class TZuzSqlParseState {
 public:
  explicit TZuzSqlParseState(std::string_view text);

  std::string_view Text() const { return text_; }
  size_t Position() const { return pos_; }
  size_t TokenCount() const { return tokens_.size(); }

  // The current token; raises the message of an invalid token.
  const TSqlToken& Cur() const;
  // The token ahead of the current one (the end of the text past the last), never raising.
  const TSqlToken& Peek(size_t ahead = 1) const;
  void Advance();
  // Goes back (or forth) to a position Position() gave.
  void Seek(size_t position) { pos_ = position; }

  bool IsKeyword(TSqlKeyword keyword) const;
  bool IsPunct(char c) const;
  bool IsOperator(std::string_view text) const;
  // ";" or the end of the text.
  bool AtEnd() const;
  bool AtEndOfText() const;

  TSqlPos CurPos() const { return PosOf(Cur()); }
  static TSqlPos PosOf(const TSqlToken& t);
  [[noreturn]] void Fail(const std::string& message) const;
  [[noreturn]] static void FailAt(const TSqlToken& t, const std::string& message);

  // The source text of tokens [from, to): each token's source, one blank between two tokens
  // where the source had white space or a comment.
  std::string JoinedText(size_t from, size_t to) const;

  // Conditions and subqueries nest through Enter/Leave; refused beyond kMaxSqlNesting.
  void Enter();
  void Leave() { --depth_; }
  // Sets the node's height from its children and refuses a tree above kMaxSqlHeight.
  void Finish(TSqlExpr& node);
  void CheckHeight(int height) const;
  // Counts nodes against the statement's budget.
  void CountNodes(size_t n);

 private:
  std::string_view text_;
  std::vector<TSqlToken> tokens_;
  size_t pos_ = 0;
  int depth_ = 0;
  size_t nodes_ = 0;
  size_t nodeBudget_ = 0;
};

// Enter and Leave as a scope.
class TSqlNesting {
 public:
  explicit TSqlNesting(TZuzSqlParseState& state) : state_(state) { state_.Enter(); }
  ~TSqlNesting() { state_.Leave(); }
  TSqlNesting(const TSqlNesting&) = delete;
  TSqlNesting& operator=(const TSqlNesting&) = delete;

 private:
  TZuzSqlParseState& state_;
};

// Messages of a parenthesized name list.
struct TSqlListMessages {
  const char* MissingLeft = "Missing Left Parenthesis";
  const char* MissingRight = "Missing Right Parenthesis";
  const char* MissingRightOrComma = "Missing Right Parenthesis or comma";
  const char* Empty = "Column specification is missing";
  const char* EmptyEntry = "Column specification is missing";
  const char* NotAName = kSqlInvalidToken;
};

// "(" name {, name} ")" at the current token.
std::vector<TSqlName> ParseSqlNameList(TZuzSqlParseState& s, const TSqlListMessages& messages);

// A data type of CREATE TABLE, ALTER TABLE or CAST at the current token; the token after it must
// be one that can follow a type (",", ")", NOT, PRIMARY KEY or the end).
TSqlDataType ParseSqlDataType(TZuzSqlParseState& s);

// A table name (identifier or quoted text) at the current token, or fails with the message.
std::string ParseSqlTableName(TZuzSqlParseState& s, const char* message);

// The value of a number token as written ("." as decimal separator in every locale); false when
// the text is no number.
bool SqlNumberValue(std::string_view text, double& value);

// The number of nodes of the tree, subqueries included.
size_t CountSqlNodes(const TSqlExpr& e);
size_t CountSqlNodes(const TSqlSelect& s);

}  // namespace zuz
