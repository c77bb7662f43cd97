// Values and expression evaluation of the executor.
//
// A value is NULL, a number (every numeric type, held as a double), a text (UTF-8), a boolean or
// a date (a day number: days since 30 December 1899, the fraction the time of day), each with
// the field type it came from or was computed as.
//
// Rules:
//   arithmetic   NULL when either side is NULL; numbers as doubles (real division); "+" and
//                "||" join texts; a date plus or minus a number moves it by that many days; a
//                date minus a date gives the days between them
//   comparison   unknown when either side is NULL; texts by the sort order's string comparison,
//                with case; a text meeting a date is converted to a date first; booleans with
//                False below True (a number is True when not 0); other values by number
//   logic        three-valued: AND is false when either side is false, unknown when neither is
//                false and one is unknown; OR is true when either side is true, unknown when
//                neither is true and one is unknown; NOT of unknown is unknown
//   LIKE         false for NULL (NOT LIKE too); "%" any run, "_" one character, others with case
//   IN           true when some item equals the value, false otherwise (also for NULL), so NOT
//                IN holds for NULL
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "db/index/zuzKeyCollation.h"
#include "db/record/zuzDataUnit.h"
#include "db/sql/zuzSqlStatements.h"

namespace zuz {

enum class TZuzValueKind : uint8_t { Null, Number, Text, Boolean, Date };

struct TZuzValue {
  TZuzValueKind Kind = TZuzValueKind::Null;
  // The type it came from (a field's type) or was computed as; for dates ftDate, ftTime or
  // ftDateTime.
  TFieldType Type = TFieldType::ftUnknown;
  double Number = 0;  // numbers, day numbers, booleans as 1 or 0
  std::string Text;

  bool IsNull() const { return Kind == TZuzValueKind::Null; }
  bool AsBool() const { return Number != 0; }

  static TZuzValue Null() { return {}; }
  static TZuzValue Num(double v, TFieldType type = TFieldType::ftFloat) {
    return {TZuzValueKind::Number, type, v, {}};
  }
  static TZuzValue Str(std::string s) {
    return {TZuzValueKind::Text, TFieldType::ftString, 0, std::move(s)};
  }
  static TZuzValue Bool(bool b) {
    return {TZuzValueKind::Boolean, TFieldType::ftBoolean, b ? 1.0 : 0.0, {}};
  }
  static TZuzValue Date(double d, TFieldType type) { return {TZuzValueKind::Date, type, d, {}}; }
};

using TZuzRow = std::vector<TZuzValue>;

// Whether values of the type are texts, numbers, dates.
bool IsTextValueType(TFieldType type);
bool IsDateValueType(TFieldType type);
bool IsWholeValueType(TFieldType type);

// A field value of a record as a value of the field's type.
TZuzValue ValueFromField(TFieldValue v, TFieldType type);
// The value converted for a field of the type by the rules of assignment (text as text, whole
// numbers rounded, booleans 1 when not 0, dates as day numbers, texts meeting dates through the
// string-to-date conversion); 9645 with "Cannot convert type" for what does not convert.
TZuzValue ConvertValue(const TZuzValue& v, TFieldType target, const char* caller);
// Assigns the value to a field of the table's record buffer (NULL clears it): the value
// converted by ConvertValue; a text longer than a string field is 8581 "Field data length is out
// of range"; a field type that takes no value is 10000.
void AssignValueToField(TOpenTable& table, int field, const TZuzValue& v, const char* caller);

// The value as text: numbers in "." form with the shortest digits that read back the same,
// dates as yyyy-mm-dd (with hh:nn:ss[.zzz] when they hold a time), booleans True or False.
std::string ValueToText(const TZuzValue& v);

// Compares two texts with the sort order's function, with case, at any length: -1, 0, +1.
int CompareTexts(std::string_view a, std::string_view b, TSortOrderFunc order);
// Compares two non-NULL values by the comparison rules: -1, 0, +1.
int CompareValues(const TZuzValue& a, const TZuzValue& b, TSortOrderFunc order);
// The order of a result index: NULL before every value, then CompareValues.
int CompareKeyValues(const TZuzValue& a, const TZuzValue& b, TSortOrderFunc order);
// LIKE of a text against a pattern ("%" any run, "_" one character).
bool MatchLike(std::string_view text, std::string_view pattern);

enum class TZuzTruth : uint8_t { False, True, Unknown };

class TZuzExprEvaluator;
struct TZuzEvalContext;

// Runs the subqueries of an expression: the rows of the query's result for the context of the
// enclosing query (cached by the runner when the subquery does not depend on it).
class TZuzSubqueryRunner {
 public:
  virtual ~TZuzSubqueryRunner() = default;
  // The rows of the result and its number of columns.
  virtual const std::vector<TZuzRow>& RunSubquery(const TSqlSelect& select,
                                                  const TZuzEvalContext& outer,
                                                  size_t& columnCount) = 0;
  // Whether a name inside the subquery reaches past it (its rows then depend on the row of the
  // enclosing query).
  virtual bool Correlated(const TSqlSelect& select) = 0;
};

// The rows an expression sees: the current row of each source of its query (null for a row of
// NULLs), the context of the enclosing query, and for grouped results the aggregate values and
// the output row.
struct TZuzEvalContext {
  std::vector<const TZuzValue*> Rows;
  const TZuzEvalContext* Outer = nullptr;
  const TZuzValue* Outputs = nullptr;
  const TZuzValue* Aggregates = nullptr;
  const std::unordered_map<const TSqlExpr*, int>* AggregateIndex = nullptr;
};

// Named parameter values (names without case).
class TZuzParams {
 public:
  void Set(const std::string& name, TZuzValue value);
  const TZuzValue* Find(std::string_view name) const;
  void Clear() { values_.clear(); }
  bool Empty() const { return values_.empty(); }

 private:
  std::vector<std::pair<std::string, TZuzValue>> values_;
};

class TZuzExprEvaluator {
 public:
  TZuzExprEvaluator(TSortOrderFunc order, TZuzSubqueryRunner* subqueries, const TZuzParams* params)
      : order_(order), subqueries_(subqueries), params_(params) {}

  TZuzValue Eval(const TSqlExpr& e, const TZuzEvalContext& ctx);
  TZuzTruth Test(const TSqlExpr& e, const TZuzEvalContext& ctx);
  // True only when the condition is true (a null condition is true).
  bool Holds(const TSqlExpr* e, const TZuzEvalContext& ctx) {
    return !e || Test(*e, ctx) == TZuzTruth::True;
  }
  TSortOrderFunc Order() const { return order_; }

  // The value of a column of the context (NULL in a row of NULLs).
  static const TZuzValue& ColumnValue(const TSqlColumnRef& c, const TZuzEvalContext& ctx);

  // Whether the subquery's rows are the same for every row of the enclosing query.
  bool SubqueryIsConstant(const TSqlSelect& s) {
    return subqueries_ && !subqueries_->Correlated(s);
  }
  const std::vector<TZuzRow>& Subquery(const TSqlSelect& s, const TZuzEvalContext& ctx,
                                       size_t& columns);

 private:
  TZuzTruth Compare(const TZuzValue& a, TSqlCompareOp op, const TZuzValue& b);
  TZuzValue Arithmetic(const TSqlArithmetic& a, const TZuzEvalContext& ctx);
  TZuzTruth Quantified(const TSqlComparison& c, const TZuzEvalContext& ctx);
  TZuzValue Cast(const TSqlCast& c, const TZuzEvalContext& ctx);
  TZuzValue Extract(const TSqlExtract& x, const TZuzEvalContext& ctx);

  TSortOrderFunc order_;
  TZuzSubqueryRunner* subqueries_;
  const TZuzParams* params_;
};

// A statement failed with a message of its own: the query object reports it as 9645 "SQL Error"
// under its caller text.
class EZuzSqlFailure : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};
[[noreturn]] void SqlExecError(const std::string& message);

}  // namespace zuz
