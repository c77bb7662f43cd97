// Expression trees of parsed statements: one node type per construct, owned through
// std::unique_ptr. The parser builds them; name resolution and parse-time typing (the binder)
// fill in each node's Type and each column reference's source; the executor evaluates them.
//
// Every node prints back to canonical SQL (keywords in capitals, one blank around binary
// operators, names bracketed where a bare word would not read back as the same name, the fewest
// parentheses that keep the tree) and to a dump that shows the tree with its types and
// resolution. Parsing the print gives a tree with the same dump.
//
// Precedence, lowest first: OR, AND, NOT, predicates (comparisons, IS NULL, LIKE, IN), sums
// ("+", "-", "||"), products ("*", "/"), primaries. AND and OR hold all operands of a chain in
// one node. BETWEEN never appears: the parser turns it into comparisons.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "db/storage/zuzFieldTypes.h"

namespace zuz {

class TSqlSelect;

// Where a node stands in the statement text: the line, character and text of its first token.
struct TSqlPos {
  int Line = 0;
  int Char = 0;
  std::string Token;
};

enum class TSqlExprKind {
  Literal,
  Column,
  Parameter,
  Arithmetic,
  Comparison,
  Logical,
  Not,
  IsNull,
  Like,
  InList,
  InQuery,
  Subquery,
  Exists,
  Quantified,
  Aggregate,
  CaseChange,
  Substring,
  Trim,
  Cast,
  Extract,
  CurrentValue,
};

// Precedence levels of the printer.
enum TSqlLevel : int {
  kLevelOr = 1,
  kLevelAnd = 2,
  kLevelNot = 3,
  kLevelPredicate = 4,
  kLevelSum = 5,
  kLevelProduct = 6,
  kLevelPrimary = 7,
};

// A data type of CREATE TABLE, ALTER TABLE and CAST: the field type and its arguments as given.
struct TSqlDataType {
  TFieldType Type = TFieldType::ftUnknown;
  std::string Word;  // the type's words in capitals ("VARCHAR", "DOUBLE PRECISION")
  bool HasSize = false;
  int Size = 0;  // the length (strings, 1 when not given), precision or blob size
  bool HasScale = false;
  int Scale = 0;  // the scale, or the blob subtype
  void Print(std::string& out) const;
  void Dump(std::string& out) const;
};

class TSqlExpr {
 public:
  virtual ~TSqlExpr() = default;
  TSqlExpr(const TSqlExpr&) = delete;
  TSqlExpr& operator=(const TSqlExpr&) = delete;

  TSqlExprKind Kind() const { return kind_; }
  template <typename T>
  T& As() {
    return static_cast<T&>(*this);
  }
  template <typename T>
  const T& As() const {
    return static_cast<const T&>(*this);
  }

  // The parse-time type: ftUnknown for NULL, for parameters nothing typed and for names that
  // were not resolved; ftBoolean for conditions.
  TFieldType Type = TFieldType::ftUnknown;
  TSqlPos Pos;
  // Levels of nodes below and including this one, subqueries counted; the parser refuses trees
  // above its limit, so walking a tree recursively is safe.
  int Height = 1;

  virtual int Level() const { return kLevelPrimary; }
  virtual void Print(std::string& out) const = 0;
  virtual void Dump(std::string& out) const = 0;
  // A deep copy (subqueries included) with the same types and resolution.
  virtual std::unique_ptr<TSqlExpr> Clone() const = 0;
  // The direct sub-expressions in order, not those inside a subquery.
  virtual void Children(std::vector<TSqlExpr*>& out) { (void)out; }
  // The subquery the node holds, or nullptr.
  virtual TSqlSelect* Query() const { return nullptr; }

  std::string ToSql() const;
  std::string ToDump() const;

 protected:
  explicit TSqlExpr(TSqlExprKind kind) : kind_(kind) {}
  // Copies the fields of the base part.
  template <typename T>
  std::unique_ptr<T> CloneBase(std::unique_ptr<T> copy) const {
    copy->Type = Type;
    copy->Pos = Pos;
    copy->Height = Height;
    return copy;
  }

 private:
  TSqlExprKind kind_;
};

using TSqlExprPtr = std::unique_ptr<TSqlExpr>;

// Prints the child, in parentheses when its level is below minLevel.
void PrintSqlOperand(std::string& out, const TSqlExpr& child, int minLevel);
// A name as it must be written to read back: bare, in brackets, or (afterQualifier) bare after a
// "." where reserved words are names too.
void PrintSqlName(std::string& out, const std::string& name, bool afterQualifier = false);
// A table name or qualifier: bare, in brackets, or in double quotes when it holds a "]".
void PrintSqlTableName(std::string& out, const std::string& name);
void PrintSqlString(std::string& out, const std::string& text);
// A number as text without loss ("." as decimal separator, whatever the locale).
std::string SqlNumberText(double value);

enum class TSqlLiteralKind { Null, Number, String, Boolean };

// NULL, a number, a string or TRUE/FALSE. The binder may convert a constant to the type of the
// column it meets (a string compared with or assigned to a date becomes a day number): then
// Type tells how to read it, and it still prints as written.
class TSqlLiteral : public TSqlExpr {
 public:
  TSqlLiteral() : TSqlExpr(TSqlExprKind::Literal) {}
  TSqlLiteralKind LiteralKind = TSqlLiteralKind::Null;
  std::string Text;   // a number as written, or a string's content
  double Number = 0;  // the number; a converted date as day number; a boolean as 1 or 0
  bool Boolean = false;
  bool Converted = false;  // the binder converted the constant to Type

  void Print(std::string& out) const override;
  void Dump(std::string& out) const override;
  std::unique_ptr<TSqlExpr> Clone() const override;
};

// A column reference [qualifier.]name. Resolved, it names field FieldIndex of source
// SourceIndex of the query OuterLevel levels out (0: its own query); a HAVING name that is an
// output column's name instead has OutputIndex set.
class TSqlColumnRef : public TSqlExpr {
 public:
  TSqlColumnRef() : TSqlExpr(TSqlExprKind::Column) {}
  std::string Qualifier;
  std::string Name;
  int SourceIndex = -1;
  int FieldIndex = -1;
  int OuterLevel = 0;
  int OutputIndex = -1;

  bool Resolved() const { return SourceIndex >= 0 || OutputIndex >= 0; }
  void Print(std::string& out) const override;
  void Dump(std::string& out) const override;
  std::unique_ptr<TSqlExpr> Clone() const override;
};

// :name. Type is the type of what it meets (a column, a compared value), or ftUnknown.
class TSqlParameter : public TSqlExpr {
 public:
  TSqlParameter() : TSqlExpr(TSqlExprKind::Parameter) {}
  std::string Name;

  void Print(std::string& out) const override;
  void Dump(std::string& out) const override;
  std::unique_ptr<TSqlExpr> Clone() const override;
};

enum class TSqlArithOp { Add, Subtract, Multiply, Divide, Concat };

class TSqlArithmetic : public TSqlExpr {
 public:
  TSqlArithmetic() : TSqlExpr(TSqlExprKind::Arithmetic) {}
  TSqlArithOp Op = TSqlArithOp::Add;
  TSqlExprPtr Left, Right;

  int Level() const override;
  void Print(std::string& out) const override;
  void Dump(std::string& out) const override;
  std::unique_ptr<TSqlExpr> Clone() const override;
  void Children(std::vector<TSqlExpr*>& out) override;
};

enum class TSqlCompareOp { Equal, NotEqual, Less, LessOrEqual, Greater, GreaterOrEqual };
const char* SqlCompareOpText(TSqlCompareOp op);
// The operator with its sides exchanged (< and >, <= and >=).
TSqlCompareOp MirrorCompareOp(TSqlCompareOp op);

// Left op Right. When only the right side was a column the parser exchanged the sides, so a
// column compared with anything else stands on the left.
class TSqlComparison : public TSqlExpr {
 public:
  TSqlComparison() : TSqlExpr(TSqlExprKind::Comparison) {}
  TSqlCompareOp Op = TSqlCompareOp::Equal;
  TSqlExprPtr Left, Right;

  int Level() const override { return kLevelPredicate; }
  void Print(std::string& out) const override;
  void Dump(std::string& out) const override;
  std::unique_ptr<TSqlExpr> Clone() const override;
  void Children(std::vector<TSqlExpr*>& out) override;
};

enum class TSqlLogicalOp { And, Or };

// AND or OR over two or more operands, none of which is a node of the same operator.
class TSqlLogical : public TSqlExpr {
 public:
  TSqlLogical() : TSqlExpr(TSqlExprKind::Logical) {}
  TSqlLogicalOp Op = TSqlLogicalOp::And;
  std::vector<TSqlExprPtr> Operands;

  int Level() const override { return Op == TSqlLogicalOp::And ? kLevelAnd : kLevelOr; }
  void Print(std::string& out) const override;
  void Dump(std::string& out) const override;
  std::unique_ptr<TSqlExpr> Clone() const override;
  void Children(std::vector<TSqlExpr*>& out) override;
};

class TSqlNot : public TSqlExpr {
 public:
  TSqlNot() : TSqlExpr(TSqlExprKind::Not) {}
  TSqlExprPtr Operand;

  int Level() const override { return kLevelNot; }
  void Print(std::string& out) const override;
  void Dump(std::string& out) const override;
  std::unique_ptr<TSqlExpr> Clone() const override;
  void Children(std::vector<TSqlExpr*>& out) override;
};

// Operand IS [NOT] NULL.
class TSqlIsNull : public TSqlExpr {
 public:
  TSqlIsNull() : TSqlExpr(TSqlExprKind::IsNull) {}
  TSqlExprPtr Operand;
  bool Negated = false;

  int Level() const override { return kLevelPredicate; }
  void Print(std::string& out) const override;
  void Dump(std::string& out) const override;
  std::unique_ptr<TSqlExpr> Clone() const override;
  void Children(std::vector<TSqlExpr*>& out) override;
};

// Operand [NOT] LIKE Pattern [ESCAPE Escape]; Escape is a string literal or nullptr.
class TSqlLike : public TSqlExpr {
 public:
  TSqlLike() : TSqlExpr(TSqlExprKind::Like) {}
  TSqlExprPtr Operand, Pattern, Escape;
  bool Negated = false;

  int Level() const override { return kLevelPredicate; }
  void Print(std::string& out) const override;
  void Dump(std::string& out) const override;
  std::unique_ptr<TSqlExpr> Clone() const override;
  void Children(std::vector<TSqlExpr*>& out) override;
};

// Operand [NOT] IN (item, ...); at least one item.
class TSqlInList : public TSqlExpr {
 public:
  TSqlInList() : TSqlExpr(TSqlExprKind::InList) {}
  TSqlExprPtr Operand;
  std::vector<TSqlExprPtr> Items;
  bool Negated = false;

  int Level() const override { return kLevelPredicate; }
  void Print(std::string& out) const override;
  void Dump(std::string& out) const override;
  std::unique_ptr<TSqlExpr> Clone() const override;
  void Children(std::vector<TSqlExpr*>& out) override;
};

// Operand [NOT] IN (query); compared with the query's first column.
class TSqlInQuery : public TSqlExpr {
 public:
  TSqlInQuery();
  ~TSqlInQuery() override;
  TSqlExprPtr Operand;
  std::unique_ptr<TSqlSelect> Select;
  bool Negated = false;

  int Level() const override { return kLevelPredicate; }
  void Print(std::string& out) const override;
  void Dump(std::string& out) const override;
  std::unique_ptr<TSqlExpr> Clone() const override;
  void Children(std::vector<TSqlExpr*>& out) override;
  TSqlSelect* Query() const override { return Select.get(); }
};

// (query) as a value: at most one row of one column.
class TSqlSubquery : public TSqlExpr {
 public:
  TSqlSubquery();
  ~TSqlSubquery() override;
  std::unique_ptr<TSqlSelect> Select;

  void Print(std::string& out) const override;
  void Dump(std::string& out) const override;
  std::unique_ptr<TSqlExpr> Clone() const override;
  TSqlSelect* Query() const override { return Select.get(); }
};

// EXISTS (query).
class TSqlExists : public TSqlExpr {
 public:
  TSqlExists();
  ~TSqlExists() override;
  std::unique_ptr<TSqlSelect> Select;

  void Print(std::string& out) const override;
  void Dump(std::string& out) const override;
  std::unique_ptr<TSqlExpr> Clone() const override;
  TSqlSelect* Query() const override { return Select.get(); }
};

enum class TSqlQuantifier { Any, Some, All };

// ANY, SOME or ALL (query): the right side of a comparison holding for some or every row.
class TSqlQuantified : public TSqlExpr {
 public:
  TSqlQuantified();
  ~TSqlQuantified() override;
  TSqlQuantifier Quantifier = TSqlQuantifier::Any;
  std::unique_ptr<TSqlSelect> Select;

  void Print(std::string& out) const override;
  void Dump(std::string& out) const override;
  std::unique_ptr<TSqlExpr> Clone() const override;
  TSqlSelect* Query() const override { return Select.get(); }
};

enum class TSqlAggregateFunc { Count, Avg, Sum, Max, Min };

// COUNT(*) (Star, no argument) or func([DISTINCT] argument). The result is a double.
class TSqlAggregate : public TSqlExpr {
 public:
  TSqlAggregate() : TSqlExpr(TSqlExprKind::Aggregate) {}
  TSqlAggregateFunc Func = TSqlAggregateFunc::Count;
  bool Star = false;
  bool Distinct = false;
  TSqlExprPtr Argument;

  void Print(std::string& out) const override;
  void Dump(std::string& out) const override;
  std::unique_ptr<TSqlExpr> Clone() const override;
  void Children(std::vector<TSqlExpr*>& out) override;
};

// UPPER(argument) or LOWER(argument).
class TSqlCaseChange : public TSqlExpr {
 public:
  TSqlCaseChange() : TSqlExpr(TSqlExprKind::CaseChange) {}
  bool ToUpper = true;
  TSqlExprPtr Argument;

  void Print(std::string& out) const override;
  void Dump(std::string& out) const override;
  std::unique_ptr<TSqlExpr> Clone() const override;
  void Children(std::vector<TSqlExpr*>& out) override;
};

// SUBSTRING(source FROM start [FOR length]); Length may be nullptr (to the end).
class TSqlSubstring : public TSqlExpr {
 public:
  TSqlSubstring() : TSqlExpr(TSqlExprKind::Substring) {}
  TSqlExprPtr Source, Start, Length;

  void Print(std::string& out) const override;
  void Dump(std::string& out) const override;
  std::unique_ptr<TSqlExpr> Clone() const override;
  void Children(std::vector<TSqlExpr*>& out) override;
};

enum class TSqlTrimSide { Leading, Trailing, Both };

// TRIM(side [characters] FROM source); Characters may be nullptr (spaces).
class TSqlTrim : public TSqlExpr {
 public:
  TSqlTrim() : TSqlExpr(TSqlExprKind::Trim) {}
  TSqlTrimSide Side = TSqlTrimSide::Both;
  TSqlExprPtr Characters, Source;

  void Print(std::string& out) const override;
  void Dump(std::string& out) const override;
  std::unique_ptr<TSqlExpr> Clone() const override;
  void Children(std::vector<TSqlExpr*>& out) override;
};

// CAST(operand AS target).
class TSqlCast : public TSqlExpr {
 public:
  TSqlCast() : TSqlExpr(TSqlExprKind::Cast) {}
  TSqlExprPtr Operand;
  TSqlDataType Target;

  void Print(std::string& out) const override;
  void Dump(std::string& out) const override;
  std::unique_ptr<TSqlExpr> Clone() const override;
  void Children(std::vector<TSqlExpr*>& out) override;
};

enum class TSqlExtractField { Year, Month, Day, Hour, Minute, Second };

// EXTRACT(field FROM operand): an integer, for SECOND a float.
class TSqlExtract : public TSqlExpr {
 public:
  TSqlExtract() : TSqlExpr(TSqlExprKind::Extract) {}
  TSqlExtractField Field = TSqlExtractField::Year;
  TSqlExprPtr Operand;

  void Print(std::string& out) const override;
  void Dump(std::string& out) const override;
  std::unique_ptr<TSqlExpr> Clone() const override;
  void Children(std::vector<TSqlExpr*>& out) override;
};

enum class TSqlCurrent { Date, Time, Timestamp };

// CURRENT_DATE, CURRENT_TIME or CURRENT_TIMESTAMP.
class TSqlCurrentValue : public TSqlExpr {
 public:
  TSqlCurrentValue() : TSqlExpr(TSqlExprKind::CurrentValue) {}
  TSqlCurrent Which = TSqlCurrent::Date;

  void Print(std::string& out) const override;
  void Dump(std::string& out) const override;
  std::unique_ptr<TSqlExpr> Clone() const override;
};

}  // namespace zuz
