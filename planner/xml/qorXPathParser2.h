// A compiled path predicate and the filter that applies it to a list of elements.
#pragma once

#include <string_view>
#include <vector>

#include "planner/xml/qorXPathExpression2.h"

class TqorXMLNode2;

class TqorXPathParser2 {
 public:
  TqorXPathParser2() = default;
  TqorXPathParser2(const TqorXPathParser2&) = delete;
  TqorXPathParser2& operator=(const TqorXPathParser2&) = delete;

  // Compiles predicate text (see TqorXPathExpression2::Compile); never raises.
  bool Compile(std::string_view text) { return expression_.Compile(text); }
  TqorXPathExpression2& Expression() { return expression_; }
  const TqorXPathExpression2& Expression() const { return expression_; }

  // Removes from list every element for which the predicate is not true; the others keep their
  // order. Each element is evaluated, from the last to the first, as the context with its
  // position in the list as it was before filtering; it stays when the variant negation of the
  // result is false (a boolean true stays, a number stays only when it is -1). Raises
  // EqorXPathPredicateError when a result's negation is not a truth value (a Null result, a
  // text that is no number); the list is then unchanged.
  void Filter(std::vector<TqorXMLNode2*>& list);
  // True while Filter runs (a compiled predicate serves one caller at a time).
  bool InUse() const { return inUse_; }

 private:
  TqorXPathExpression2 expression_;
  bool inUse_ = false;
};
