// The expression parser: search conditions and value expressions of every clause, by recursive
// descent over the grammar (lowest precedence first):
//
//   condition   := conjunction {OR conjunction}
//   conjunction := negation {AND negation}
//   negation    := [NOT] predicate
//   predicate   := sum [compare-op sum | IS [NOT] NULL | [NOT] LIKE sum [ESCAPE string]
//                       | [NOT] BETWEEN sum AND sum | [NOT] IN "(" (condition {, condition} |
//                       query) ")"]
//   sum         := product {("+" | "-" | "||") product}
//   product     := primary {("*" | "/") primary}
//   primary     := "(" condition ")" | "(" query ")" | [qualifier.]name | literal | :parameter
//                  | EXISTS|ANY|SOME|ALL "(" query ")" | aggregate | UPPER | LOWER | SUBSTRING
//                  | TRIM | CAST | EXTRACT | CURRENT_DATE | CURRENT_TIME | CURRENT_TIMESTAMP
//
// BETWEEN becomes (x >= a AND x <= b), NOT BETWEEN (x < a OR x > b); a comparison whose right
// side alone is a column has its sides exchanged and its operator mirrored. The clause's
// feature set decides whether parameters, subqueries, aggregates and column names may appear.
#pragma once

#include "db/sql/zuzParserUtils.h"

namespace zuz {

class TZuzExprParser {
 public:
  explicit TZuzExprParser(TZuzSqlParseState& state) : s_(state) {}

  // A search condition at the current token; stops at the first token that can't continue it.
  TSqlExprPtr ParseCondition(const TSqlFeatures& features);

 private:
  TSqlExprPtr Condition();
  TSqlExprPtr Conjunction();
  TSqlExprPtr Negation();
  TSqlExprPtr Predicate();
  TSqlExprPtr Sum();
  TSqlExprPtr Product();
  TSqlExprPtr Primary();

  // A nested condition with the same features (arguments, parenthesized conditions).
  TSqlExprPtr Nested();
  TSqlExprPtr Comparison(TSqlCompareOp op, TSqlExprPtr left, TSqlExprPtr right, TSqlPos pos);
  TSqlExprPtr Logical(TSqlLogicalOp op, std::vector<TSqlExprPtr> operands, TSqlPos pos);
  TSqlExprPtr Between(TSqlExprPtr operand, bool negated);
  TSqlExprPtr In(TSqlExprPtr operand, bool negated);
  // "(" SELECT ... ")" at the current "(", for a node of a clause that allows subqueries.
  std::unique_ptr<TSqlSelect> SubqueryInParentheses();
  TSqlExprPtr Column();
  TSqlExprPtr Literal();
  TSqlExprPtr Aggregate();
  TSqlExprPtr StringFunction();
  TSqlExprPtr Cast();
  TSqlExprPtr Extract();
  void ExpectOpen();
  void ExpectClose();
  bool StartsOperand() const;

  template <typename T>
  std::unique_ptr<T> Make(const TSqlPos& pos) {
    auto node = std::make_unique<T>();
    node->Pos = pos;
    return node;
  }
  TSqlExprPtr Done(TSqlExprPtr node) {
    s_.Finish(*node);
    return node;
  }

  TZuzSqlParseState& s_;
  TSqlFeatures f_;
};

}  // namespace zuz
