// The query parser:
//
//   query      := block {UNION [ALL] block} [ORDER BY order-item {, order-item}]
//   block       := SELECT [DISTINCT | ALL] ("*" | item {, item}) FROM ref {, ref}
//                 [WHERE condition] [GROUP BY column {, column}] [HAVING condition]
//   item       := qualifier.* | condition [[AS] alias]
//   ref        := primary {join}
//   primary    := [TEMPORARY] table [[AS] alias] | "(" ref ")" | "(" query ")" [[AS] alias]
//   join       := CROSS JOIN primary
//               | [NATURAL] [INNER | UNION | LEFT [OUTER] | RIGHT [OUTER] | FULL [OUTER]] JOIN
//                 primary [ON condition | USING "(" column {, column} ")"]
//   order-item := (number | tokens up to "," or ASC/DESC) [ASC | ASCENDING | DESC | DESCENDING]
//
// Subqueries use the same parser over the same tokens and stop before their closing ")".
#pragma once

#include "db/sql/zuzParserUtils.h"

namespace zuz {

class TZuzSelectParser {
 public:
  explicit TZuzSelectParser(TZuzSqlParseState& state) : s_(state) {}

  // A query at its SELECT token. It ends before ";", the end of the text or (subquery) the ")"
  // that closes it; the caller checks what follows.
  std::unique_ptr<TSqlSelect> ParseQuery(bool subquery);

 private:
  std::unique_ptr<TSqlQuerySpec> Spec();
  void SelectList(TSqlQuerySpec& block);
  TSqlSelectItem Item();
  TSqlTableRefPtr TableRef();
  TSqlTableRefPtr TablePrimary();
  // The join at the current token, or nullptr when no join starts there.
  TSqlTableRefPtr Join(TSqlTableRefPtr left);
  void Alias(TSqlTableSource& source);
  void GroupBy(TSqlQuerySpec& block);
  void OrderBy(TSqlSelect& select);
  void Finish(TSqlQuerySpec& block);
  // Sets the height from the highest part below it.
  void Finish(TSqlTableRef& ref, int childHeight);

  TZuzSqlParseState& s_;
  bool subquery_ = false;
};

}  // namespace zuz
